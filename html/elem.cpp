#include "elem.h"

#include "mfc/cmapstringtostring.h"

Elem::Elem(ElemKind kind_, Token::Type type_, const char* name_, int nameLength, DWORD flags_)
    : kind(kind_),
      type(type_),
      name(name_, nameLength),
      attrs(nullptr),
      flags(flags_ & ~kReserved) {
  if (kind == ElemKind::Text) textLength = static_cast<DWORD>(nameLength);
}

Elem::~Elem() {
  if (parent) parent->Unlink(this);
  DeleteChildren();
  if (kind != ElemKind::Text) delete attrs;
}

void Elem::LayOut(LayoutContext*) {}

void Elem::Measure(LONG* width, LONG* height) {
  if (width) *width = static_cast<LONG>(layout[0]);
  if (height) *height = static_cast<LONG>(layout[1]);
}

void Elem::LayoutStep(LayoutContext*) {}

CString Elem::TextForm() const { return CString(); }

void Elem::Finish(Elem*) {}

void Elem::Hook(void*, void*) {}

int Elem::GetRectAttr(const char*, RECT* rect) const {
  if (rect) *rect = RECT{0, 0, 0, 0};
  return 0;
}

CString Elem::GetText() const { return CString(); }

void Elem::Append(Elem* child) {
  if (!child || child == this) return;
  if (child->parent) child->parent->Unlink(child);
  child->parent = this;
  child->prevSibling = lastChild;
  child->nextSibling = nullptr;
  if (lastChild)
    lastChild->nextSibling = child;
  else
    firstChild = child;
  lastChild = child;
}

void Elem::InsertBefore(Elem* ref, Elem* child) {
  if (!ref || ref->parent != this) return Append(child);
  if (!child || child == ref || child == this) return;
  if (child->parent) child->parent->Unlink(child);
  child->parent = this;
  child->nextSibling = ref;
  child->prevSibling = ref->prevSibling;
  if (ref->prevSibling)
    ref->prevSibling->nextSibling = child;
  else
    firstChild = child;
  ref->prevSibling = child;
}

void Elem::InsertAfter(Elem* ref, Elem* child) {
  if (!ref || ref->parent != this) return Append(child);
  if (!child || child == ref || child == this) return;
  if (ref->nextSibling) return InsertBefore(ref->nextSibling, child);
  Append(child);
}

Elem* Elem::Unlink(Elem* child) {
  if (!child || child->parent != this) return nullptr;
  Elem* next = child->nextSibling;
  if (child->prevSibling)
    child->prevSibling->nextSibling = next;
  else
    firstChild = next;
  if (next)
    next->prevSibling = child->prevSibling;
  else
    lastChild = child->prevSibling;
  if (cursor == child) cursor = nullptr;
  child->parent = nullptr;
  child->nextSibling = nullptr;
  child->prevSibling = nullptr;
  return next ? next : lastChild;
}

void Elem::DeleteChildren() {
  // Grandchildren are moved up into this list before their parent goes, so that a deep tree
  // is deleted without a deep recursion.
  while (Elem* c = firstChild) {
    if (c->firstChild) {
      Elem* first = c->firstChild;
      Elem* last = c->lastChild;
      for (Elem* g = first; g; g = g->nextSibling) g->parent = this;
      c->firstChild = c->lastChild = c->cursor = nullptr;
      last->nextSibling = c;
      c->prevSibling = last;
      firstChild = first;
      continue;
    }
    firstChild = c->nextSibling;
    if (firstChild)
      firstChild->prevSibling = nullptr;
    else
      lastChild = nullptr;
    c->parent = c->nextSibling = nullptr;
    delete c;
  }
  cursor = nullptr;
}

void Elem::SetAttributes(CMapStringToString* map) {
  if (kind == ElemKind::Text) return void(delete map);
  if (attrs != map) delete attrs;
  attrs = map;
  if (attrs && attrs->IsEmpty()) {
    delete attrs;
    attrs = nullptr;
  }
}

bool Elem::GetAttribute(const char* upperName, CString* value) const {
  CMapStringToString* map = Attributes();
  if (!map) return false;
  CString v;
  if (!map->Lookup(upperName, v)) return false;
  if (value) *value = v;
  return true;
}

int Elem::ChildCount() const {
  int n = 0;
  for (Elem* c = firstChild; c; c = c->nextSibling) ++n;
  return n;
}
