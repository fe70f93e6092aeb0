// Elem: one node of the element tree that the tokenizers build (a tag, a word of text, a
// comment, the document root). Every element carries its tree links; the parent owns its
// children, and deleting an element deletes its whole subtree. An element also owns its name
// or text and its attribute map. A tree belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "elem_name.h"
#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "platform/mfc/cstring.h"
#include "token.h"
#include "platform/user/user_types.h"

class CMapStringToString;
class LayoutContext;  // the page layout's context; opaque to the element tree

// The element class that the factory creates for a type.
enum class ElemKind : WORD {
  Text = 1,
  Comment = 2,
  Tag = 3,
  Document = 4,
  Image = 5,
  Table = 6,
  FormControl = 7,
  List = 8,
  Rule = 9,
  EmbeddedObject = 10,
  Anchor = 11,
  Script = 12,
  Paragraph = 13,
  Font = 14,
  Title = 15,
  Style = 16,
  Component = 17,
};

class HALYARD_EXPORT Elem {
 public:
  // flags: bit 0 is the end-tag flag of tags and the space-before flag of text; bit 3 the
  // space-after flag of text. Bit 1 is cleared at construction.
  enum : DWORD { kEndTag = 1, kSpaceBefore = 1, kReserved = 2, kSpaceAfter = 8 };
  // Internal: the element has layout words stored (see GetLayout); a text element has a walk
  // cursor stored (see GetCursor).
  enum : DWORD { kHasLayout = 0x40000000, kHasCursor = 0x20000000 };

  Elem(const Elem&) = delete;
  Elem& operator=(const Elem&) = delete;
  // Elements come from the element pool (elem_pool.h).
  static void* operator new(std::size_t size);
  static void operator delete(void* p, std::size_t size);

  // The virtual operations, in slot order.
  virtual ~Elem();
  // Hands the element to the page layout.
  virtual void LayOut(LayoutContext* context);
  // The element's width and height.
  virtual void Measure(LONG* width, LONG* height);
  // The class-specific layout step.
  virtual void LayoutStep(LayoutContext* context);
  // The element written back as HTML.
  virtual CString TextForm() const;
  // The end-of-input call, made once for every top-level element when the input is done; the
  // walk over the root's children goes through the root's cursor.
  virtual void Finish(Elem* root);
  virtual void Hook(void* first, void* second);
  // Reads a named attribute as left, top, right, bottom; 1 only for exactly four numbers.
  virtual int GetRectAttr(const char* upperName, RECT* rect) const;
  virtual CString GetText() const;

  // Links child after the last child. A child that is still linked elsewhere is unlinked first.
  void Append(Elem* child);
  // Links child just before (or after) ref, which must be a child of this element.
  void InsertBefore(Elem* ref, Elem* child);
  void InsertAfter(Elem* ref, Elem* child);
  // Unlinks child from this element's list: mends the neighbours, the first and last child
  // and clears the cursor when it pointed at child. Returns the element that followed child,
  // or, when child was the last one, the new last child. Null when child is not ours.
  Elem* Unlink(Elem* child);
  // Deletes every child (and their subtrees).
  void DeleteChildren();

  bool IsEnd() const { return (flags & kEndTag) != 0; }
  bool IsText() const { return kind == ElemKind::Text; }
  // The attribute map of a tag, null when it has none (and for text, whose slot holds the
  // text length instead). The tokenizers store attributes packed, in the order they were read;
  // the map is built from them on the first call, by adding the pairs in that order, so it is
  // the very map (entries and iteration order) that adding them at once would have given.
  CMapStringToString* Attributes() const;
  bool HasAttributes() const {
    const std::uintptr_t* slot = Slot();
    return slot && *slot != 0;
  }
  // Takes ownership of a map (dropping what it held); an empty map is deleted and none kept.
  void SetAttributes(CMapStringToString* map);
  // One attribute as the tokenizers hand it over.
  struct AttrRef {
    const char* key;
    int keyLength;
    const char* value;
    int valueLength;
  };
  // Stores attributes packed, to be added to the map in this order (a later pair with the same
  // name replaces an earlier one). n of 0 leaves the element without attributes.
  void SetAttributeList(const AttrRef* attrs, int n);
  DWORD TextLength() const {
    return kind == ElemKind::Text ? static_cast<DWORD>(name.GetLength()) : 0;
  }
  // While the attributes are still packed: fills out with them as Attributes() would walk
  // them (entries and order), without building the map, as pointers into the element that stay
  // valid while its attributes do. False, with out empty, once they are in a map.
  bool PackedAttributesInMapOrder(std::vector<AttrRef>& out) const;
  // Looks an upper-case attribute name up; false when the element has no such attribute.
  bool GetAttribute(const char* upperName, CString* value) const;
  int ChildCount() const;

  // The four words the page layout keeps for the element, 0 until set. Few elements ever get
  // them, so they are kept aside rather than in every element.
  DWORD GetLayout(int i) const;
  void SetLayout(int i, DWORD value);

  // The child that an ongoing walk over the children visits next, null when none; cleared when
  // that child is unlinked. Elements that hold children (tags, comments, the root) keep it in
  // place; text, which holds none in a tree the tokenizers and the checker build, keeps it aside,
  // so that the many words of a page stay small.
  inline Elem* GetCursor() const;
  inline void SetCursor(Elem* child);

  Elem* parent = nullptr;
  Elem* firstChild = nullptr;
  Elem* lastChild = nullptr;
  Elem* nextSibling = nullptr;
  Elem* prevSibling = nullptr;
  ElemKind kind;
  Token::Type type;
  DWORD flags;
  ElemName name;  // upper-case tag name, the word of text, or the comment text

 protected:
  Elem(ElemKind kind, Token::Type type, const char* name, int nameLength, DWORD flags);
  // Tags drop their attributes when they go.
  void DropAttributes();

 private:
  // The attribute slot: tags only (every kind but text, comment and the document root).
  std::uintptr_t* Slot() const;
  // The cursor of a text element, kept aside.
  Elem* TextCursor() const;
  void SetTextCursor(Elem* child);
};

// An element that keeps its walk cursor in place: the base of tags, comments and the root.
class HALYARD_EXPORT ContainerElem : public Elem {
 public:
  ~ContainerElem() override;

 protected:
  using Elem::Elem;

 private:
  friend class Elem;
  Elem* cursor_ = nullptr;
};

Elem* Elem::GetCursor() const {
  if (kind != ElemKind::Text) return static_cast<const ContainerElem*>(this)->cursor_;
  return (flags & kHasCursor) ? TextCursor() : nullptr;
}

void Elem::SetCursor(Elem* child) {
  if (kind != ElemKind::Text)
    static_cast<ContainerElem*>(this)->cursor_ = child;
  else if (child || (flags & kHasCursor))
    SetTextCursor(child);
}
