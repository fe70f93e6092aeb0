#include "elem.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "elem_kinds.h"
#include "elem_pool.h"
#include "layout.h"
#include "platform/mfc/cexception.h"
#include "platform/mfc/cmapstringtostring.h"

namespace {

// The packed attribute list: a count, then per pair the two lengths and the NUL-terminated
// key and value, in one block.
struct PackedAttrs {
  DWORD count;
  DWORD bytes;  // the whole block
};

inline bool IsPacked(std::uintptr_t slot) { return (slot & 1u) != 0; }
inline PackedAttrs* Packed(std::uintptr_t slot) {
  return reinterpret_cast<PackedAttrs*>(slot & ~static_cast<std::uintptr_t>(1));
}

// Calls f(key, value) for each packed pair in order.
template <typename F>
void ForEachPacked(const PackedAttrs* p, F f) {
  const char* at = reinterpret_cast<const char*>(p + 1);
  for (DWORD i = 0; i < p->count; ++i) {
    DWORD kl, vl;
    std::memcpy(&kl, at, 4);
    std::memcpy(&vl, at + 4, 4);
    const char* key = at + 8;
    const char* value = key + kl + 1;
    f(key, value);
    at = value + vl + 1;
  }
}

}  // namespace

Elem::Elem(ElemKind kind_, Token::Type type_, const char* name_, int nameLength, DWORD flags_)
    : kind(kind_), type(type_), flags(flags_ & ~kReserved), name(name_, nameLength) {}

std::uintptr_t* Elem::Slot() const {
  if (kind == ElemKind::Text || kind == ElemKind::Comment || kind == ElemKind::Document)
    return nullptr;
  return &static_cast<const Tag*>(this)->attrSlot_;
}

namespace {

struct LayoutStore {
  std::mutex lock;
  std::unordered_map<const Elem*, std::array<DWORD, 4>> words;
};

LayoutStore& Layouts() {
  static LayoutStore* store = new LayoutStore;  // lives as long as any element may
  return *store;
}

// The walk cursors of text elements that hold children, which no tree the library builds has.
struct TextCursorStore {
  std::mutex lock;
  std::unordered_map<const Elem*, Elem*> cursors;
};

TextCursorStore& TextCursors() {
  static TextCursorStore* store = new TextCursorStore;  // lives as long as any element may
  return *store;
}

// Deletes every child of e, leaving its cursor as it is.
void DeleteChildList(Elem* e) {
  // Grandchildren are moved up into this list before their parent goes, so that a deep tree
  // is deleted without a deep recursion.
  while (Elem* c = e->firstChild) {
    if (c->firstChild) {
      Elem* first = c->firstChild;
      Elem* last = c->lastChild;
      for (Elem* g = first; g; g = g->nextSibling) g->parent = e;
      c->firstChild = c->lastChild = nullptr;
      c->SetCursor(nullptr);
      last->nextSibling = c;
      c->prevSibling = last;
      e->firstChild = first;
      continue;
    }
    e->firstChild = c->nextSibling;
    if (e->firstChild)
      e->firstChild->prevSibling = nullptr;
    else
      e->lastChild = nullptr;
    c->parent = c->nextSibling = nullptr;
    delete c;
  }
}

}  // namespace

Elem* Elem::TextCursor() const {
  TextCursorStore& s = TextCursors();
  std::lock_guard<std::mutex> guard(s.lock);
  auto it = s.cursors.find(this);
  return it == s.cursors.end() ? nullptr : it->second;
}

void Elem::SetTextCursor(Elem* child) {
  TextCursorStore& s = TextCursors();
  std::lock_guard<std::mutex> guard(s.lock);
  if (child) {
    s.cursors[this] = child;
    flags |= kHasCursor;
  } else {
    s.cursors.erase(this);
    flags &= ~static_cast<DWORD>(kHasCursor);
  }
}

DWORD Elem::GetLayout(int i) const {
  if (i < 0 || i > 3 || !(flags & kHasLayout)) return 0;
  LayoutStore& s = Layouts();
  std::lock_guard<std::mutex> guard(s.lock);
  auto it = s.words.find(this);
  return it == s.words.end() ? 0 : it->second[static_cast<std::size_t>(i)];
}

void Elem::SetLayout(int i, DWORD value) {
  if (i < 0 || i > 3) return;
  LayoutStore& s = Layouts();
  std::lock_guard<std::mutex> guard(s.lock);
  auto& w = s.words[this];
  if (!(flags & kHasLayout)) w = {0, 0, 0, 0};
  w[static_cast<std::size_t>(i)] = value;
  flags |= kHasLayout;
}

void* Elem::operator new(std::size_t size) { return halyard::tagsmith::AllocateElem(size); }

void Elem::operator delete(void* p, std::size_t size) { halyard::tagsmith::FreeElem(p, size); }

Elem::~Elem() {
  if (parent) parent->Unlink(this);
  // The derived part, where a tag keeps its cursor, is gone by now: only the text cursor kept
  // aside is left to drop.
  DeleteChildList(this);
  if (flags & kHasCursor) {
    TextCursorStore& s = TextCursors();
    std::lock_guard<std::mutex> guard(s.lock);
    s.cursors.erase(this);
  }
  if (flags & kHasLayout) {
    LayoutStore& s = Layouts();
    std::lock_guard<std::mutex> guard(s.lock);
    s.words.erase(this);
  }
}

ContainerElem::~ContainerElem() = default;

void Elem::DropAttributes() {
  std::uintptr_t* slot = Slot();
  if (!slot || !*slot) return;
  if (IsPacked(*slot))
    halyard::tagsmith::FreeElem(Packed(*slot), Packed(*slot)->bytes);
  else
    delete reinterpret_cast<CMapStringToString*>(*slot);
  *slot = 0;
}

CMapStringToString* Elem::Attributes() const {
  std::uintptr_t* slot = Slot();
  if (!slot || !*slot) return nullptr;
  if (IsPacked(*slot)) {
    PackedAttrs* p = Packed(*slot);
    auto* map = new CMapStringToString(static_cast<int>(p->count));
    ForEachPacked(p, [map](const char* key, const char* value) { map->SetAt(key, value); });
    halyard::tagsmith::FreeElem(p, p->bytes);
    *slot = reinterpret_cast<std::uintptr_t>(map);
  }
  return reinterpret_cast<CMapStringToString*>(*slot);
}

void Elem::SetAttributeList(const AttrRef* attrs, int n) {
  std::uintptr_t* slot = Slot();
  if (!slot) return;
  DropAttributes();
  if (n <= 0) return;
  std::size_t bytes = sizeof(PackedAttrs);
  for (int i = 0; i < n; ++i)
    bytes += 8 + static_cast<std::size_t>(attrs[i].keyLength) + 1 +
             static_cast<std::size_t>(attrs[i].valueLength) + 1;
  auto* p = static_cast<PackedAttrs*>(halyard::tagsmith::AllocateElem(bytes));
  p->count = static_cast<DWORD>(n);
  p->bytes = static_cast<DWORD>(bytes);
  char* at = reinterpret_cast<char*>(p + 1);
  for (int i = 0; i < n; ++i) {
    DWORD kl = static_cast<DWORD>(attrs[i].keyLength),
          vl = static_cast<DWORD>(attrs[i].valueLength);
    std::memcpy(at, &kl, 4);
    std::memcpy(at + 4, &vl, 4);
    at += 8;
    std::memcpy(at, attrs[i].key, kl);
    at[kl] = 0;
    at += kl + 1;
    if (vl) std::memcpy(at, attrs[i].value, vl);
    at[vl] = 0;
    at += vl + 1;
  }
  *slot = reinterpret_cast<std::uintptr_t>(p) | 1u;
}

// The element hands itself to the layout, which looks at its kind, type and attributes; the
// layout calls back into LayoutStep for what the element's class measures and places.
void Elem::LayOut(LayoutContext* context) {
  if (context) context->LayOut(this);
}

void Elem::Measure(LONG* width, LONG* height) {
  if (width) *width = static_cast<LONG>(GetLayout(0));
  if (height) *height = static_cast<LONG>(GetLayout(1));
}

void Elem::LayoutStep(LayoutContext* context) {
  if (context) context->Step(this);
}

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
  if (GetCursor() == child) SetCursor(nullptr);
  child->parent = nullptr;
  child->nextSibling = nullptr;
  child->prevSibling = nullptr;
  return next ? next : lastChild;
}

void Elem::DeleteChildren() {
  DeleteChildList(this);
  SetCursor(nullptr);
}


void Elem::SetAttributes(CMapStringToString* map) {
  std::uintptr_t* slot = Slot();
  if (!slot) return void(delete map);
  if (map && !IsPacked(*slot) && reinterpret_cast<CMapStringToString*>(*slot) == map) return;
  DropAttributes();
  if (map && map->IsEmpty()) {
    delete map;
    map = nullptr;
  }
  *slot = reinterpret_cast<std::uintptr_t>(map);
}

bool Elem::PackedAttributesInMapOrder(std::vector<AttrRef>& out) const {
  out.clear();
  std::uintptr_t* slot = Slot();
  if (!slot || !*slot) return true;
  if (!IsPacked(*slot)) return false;
  // The map walks its 17 buckets in ascending order and, within one, the most recently added
  // key first; a repeated key keeps its place and takes the later value. Keys and values end
  // at a NUL, as the map stores them.
  struct Entry {
    AttrRef ref;
    UINT bucket;
    std::size_t order;
  };
  thread_local std::vector<Entry> entries;
  entries.clear();
  std::size_t order = 0;
  ForEachPacked(Packed(*slot), [&](const char* key, const char* value) {
    int kl = static_cast<int>(std::strlen(key)), vl = static_cast<int>(std::strlen(value));
    for (Entry& old : entries) {
      if (old.ref.keyLength == kl && std::memcmp(old.ref.key, key, kl) == 0) {
        old.ref.value = value;
        old.ref.valueLength = vl;
        return;
      }
    }
    entries.push_back({{key, kl, value, vl}, CMapStringToString::HashKey(key) % 17u, order++});
  });
  std::sort(entries.begin(), entries.end(), [](const Entry& x, const Entry& y) {
    return x.bucket != y.bucket ? x.bucket < y.bucket : x.order > y.order;
  });
  for (const Entry& en : entries) out.push_back(en.ref);
  return true;
}

bool Elem::GetAttribute(const char* upperName, CString* value) const {
  std::uintptr_t* slot = Slot();
  if (!slot || !*slot) return false;
  if (IsPacked(*slot)) {
    // The last pair with the name is the one the map would keep.
    const char* found = nullptr;
    ForEachPacked(Packed(*slot), [&](const char* key, const char* v) {
      if (std::strcmp(key, upperName) == 0) found = v;
    });
    if (!found) return false;
    if (value) *value = found;
    return true;
  }
  CMapStringToString* map = reinterpret_cast<CMapStringToString*>(*slot);
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
