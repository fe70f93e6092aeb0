// The element classes: text, comment, the document root, tags, and the tag classes that the
// factory builds for particular types (images, tables, form controls, lists, rules, embedded
// objects, anchors, scripts, paragraphs, fonts, titles, styles and the design tool's component
// pseudo-tags). CreateElem is the factory that picks the class for a tag type.
#pragma once

#include "platform/kernel/export.h"

#include <memory>

#include "elem.h"

class SelectorNode;
class LayoutState;

class HALYARD_EXPORT TextElem : public Elem {
 public:
  // flags: kSpaceBefore / kSpaceAfter.
  TextElem(const char* text, int length, DWORD flags);
  // The word, with a blank before or after it where the flags say white space stood.
  CString TextForm() const override;
  CString GetText() const override { return name.ToCString(); }
};

class HALYARD_EXPORT CommentElem : public ContainerElem {
 public:
  CommentElem(const char* text, int length);
  // "<!-- ", the text, the texts of the gathered further lines, " -->".
  CString TextForm() const override;
  // Takes the comment elements that directly follow at the root's cursor (the further lines
  // of a comment of several lines) as children.
  void Finish(Elem* root) override;
  CString GetText() const override { return name.ToCString(); }
};

// The root that receives the tokens: kind 4, type 0, empty name.
class HALYARD_EXPORT Document : public ContainerElem {
 public:
  Document();
  ~Document() override;
  // The document's page layout state, made on first use; it goes with the document.
  LayoutState* GetLayoutState();

 private:
  std::unique_ptr<LayoutState> layout_;
};

class HALYARD_EXPORT Tag : public ContainerElem {
 public:
  Tag(Token::Type type, const char* name, int nameLength, bool end, ElemKind kind = ElemKind::Tag);
  // "<", "/" for an end tag, the name, then ` NAME="value"` per attribute in map order, ">".
  CString TextForm() const override;
  int GetRectAttr(const char* upperName, RECT* rect) const override;
  // ALIGN: left 1, center 2, right 3, justify 4, bottom 5, middle 6, top 7, texttop 8,
  // absmiddle 9, baseline 10, absbottom 11, bleedleft 12, bleedright 13; otherwise by type
  // (CAPTION 7, 38 and HR 2, IMG 5, else 0).
  int Alignment() const;

  ~Tag() override;
  friend class Elem;
  // Tags from Parser2: the white space that stood before the tag (empty for Parser's).
  CString GetExtra() const;
  void SetExtra(const char* text, int length);

 private:
  // Up to 7 bytes in place (first byte: length * 2 + 1), else a heap block holding a DWORD
  // length and the text; all zero when empty.
  union {
    char* heap;
    unsigned char inl[8];
  } extra_ = {nullptr};
  // 0, an owned CMapStringToString*, or (low bit set) an owned packed attribute list.
  mutable std::uintptr_t attrSlot_ = 0;
};

class HALYARD_EXPORT ImageTag : public Tag {
 public:
  ImageTag(const char* name, int nameLength, bool end);
};

class HALYARD_EXPORT TableTag : public Tag {
 public:
  TableTag(const char* name, int nameLength, bool end);
};

// INPUT, SELECT and TEXTAREA.
class HALYARD_EXPORT FormControlTag : public Tag {
 public:
  enum InputKind {
    kCheckbox = 1,
    kHidden = 2,
    kImage = 3,
    kPassword = 4,
    kRadio = 5,
    kReset = 6,
    kSubmit = 7,
    kText = 8,
    kFile = 9,
    kButton = 10
  };
  FormControlTag(Token::Type type, const char* name, int nameLength, bool end);
  // The TYPE attribute read as an InputKind (text for a missing or unknown value).
  int GetInputKind() const;
  // "Reset" and "Submit" for those buttons, else an empty text.
  static const char* DefaultCaption(int inputKind);
};

// DIR, MENU, OL and UL: all of type 112, keeping their own names.
class HALYARD_EXPORT ListTag : public Tag {
 public:
  ListTag(const char* name, int nameLength, bool end);
};

class HALYARD_EXPORT RuleTag : public Tag {
 public:
  RuleTag(const char* name, int nameLength, bool end);
};

// APPLET, EMBED and OBJECT.
class HALYARD_EXPORT EmbeddedObjectTag : public Tag {
 public:
  EmbeddedObjectTag(Token::Type type, const char* name, int nameLength, bool end);
};

class HALYARD_EXPORT AnchorTag : public Tag {
 public:
  AnchorTag(const char* name, int nameLength, bool end);
};

class HALYARD_EXPORT ScriptTag : public Tag {
 public:
  ScriptTag(const char* name, int nameLength, bool end);
};

class HALYARD_EXPORT ParagraphTag : public Tag {
 public:
  ParagraphTag(const char* name, int nameLength, bool end);
};

class HALYARD_EXPORT FontTag : public Tag {
 public:
  FontTag(const char* name, int nameLength, bool end);
};

class HALYARD_EXPORT TitleTag : public Tag {
 public:
  TitleTag(const char* name, int nameLength, bool end);
};

class HALYARD_EXPORT StyleTag : public Tag {
 public:
  StyleTag(const char* name, int nameLength, bool end);
  // The style rules of the document, handed to the STYLE end tag by the tokenizer; shared with
  // the tokenizer while it runs, so they outlive it with the tree.
  std::shared_ptr<SelectorNode> rules;
};

// A "Q-" pseudo-tag of the design tool: kind 17, type 119, with its component number (0 when
// the name is not in the component table). Start and end tags are both components.
class HALYARD_EXPORT ComponentTag : public Tag {
 public:
  ComponentTag(const char* name, int nameLength, bool end);
  // A start tag takes the top-level elements from the root's cursor onward as its children,
  // each getting its own end-of-input call, up to and including the next component end tag.
  void Finish(Elem* root) override;
  // The POS rectangle, normalised: width and height, also kept as layout words 0 and 1.
  void Measure(LONG* width, LONG* height) override;

  int number;
};

// The element class for a tag type, as the tokenizers build it. name is the tag name as it
// should be stored (upper case).
Elem* CreateElem(Token::Type type, const char* name, int nameLength, bool end);
