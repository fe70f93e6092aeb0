#include "elem_kinds.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "component_table.h"
#include "elem_pool.h"
#include "layout.h"
#include "platform/mfc/cexception.h"
#include "platform/mfc/cmapstringtostring.h"
#include "selector_node.h"

namespace {

// A decimal integer as the C runtime's atoi reads it (leading white space, a sign, digits),
// kept to 32 bits.
LONG ReadDecimal(const char* p, const char* end) {
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
  bool neg = false;
  if (p < end && (*p == '-' || *p == '+')) neg = *p++ == '-';
  std::int64_t v = 0;
  while (p < end && *p >= '0' && *p <= '9') {
    v = v * 10 + (*p++ - '0');
    if (v > 0xFFFFFFFFLL) v &= 0xFFFFFFFFLL;
  }
  return static_cast<LONG>(static_cast<std::uint32_t>(neg ? -v : v));
}

bool EqualNoCase(const CString& a, const char* b) { return a.CompareNoCase(b) == 0; }

}  // namespace

TextElem::TextElem(const char* text, int length, DWORD flags_)
    : Elem(ElemKind::Text, Token::TEXT, text, length, flags_ & (kSpaceBefore | kSpaceAfter)) {}

CString TextElem::TextForm() const {
  CString s;
  if (flags & kSpaceBefore) s += ' ';
  s += name.ToCString();
  if (flags & kSpaceAfter) s += ' ';
  return s;
}

CommentElem::CommentElem(const char* text, int length)
    : ContainerElem(ElemKind::Comment, Token::COMMENT, text, length, 0) {}

CString CommentElem::TextForm() const {
  CString s("<!-- ");
  s += name.ToCString();
  for (Elem* c = firstChild; c; c = c->nextSibling) s += c->GetText();
  s += " -->";
  return s;
}

void CommentElem::Finish(Elem* root) {
  while (Elem* e = root->GetCursor()) {
    if (e->kind != ElemKind::Comment) break;
    root->SetCursor(e->nextSibling);
    root->Unlink(e);
    Append(e);
  }
}

Document::Document() : ContainerElem(ElemKind::Document, Token::UNKNOWN, "", 0, 0) {}

Document::~Document() = default;

LayoutState* Document::GetLayoutState() {
  if (!layout_) layout_ = std::make_unique<LayoutState>();
  return layout_.get();
}

Tag::Tag(Token::Type type_, const char* name_, int nameLength, bool end, ElemKind kind_)
    : ContainerElem(kind_, type_, name_, nameLength, end ? static_cast<DWORD>(kEndTag) : 0u) {}

namespace {

void FreeExtra(char* block) {
  DWORD n;
  std::memcpy(&n, block, 4);
  halyard::tagsmith::FreeElem(block, static_cast<std::size_t>(n) + 5);
}

}  // namespace

Tag::~Tag() {
  if (extra_.heap && !(extra_.inl[0] & 1)) FreeExtra(extra_.heap);
  DropAttributes();
}

CString Tag::GetExtra() const {
  if (extra_.inl[0] & 1)
    return CString(reinterpret_cast<const char*>(extra_.inl + 1), extra_.inl[0] >> 1);
  if (!extra_.heap) return CString();
  DWORD n;
  std::memcpy(&n, extra_.heap, 4);
  return CString(extra_.heap + 4, static_cast<int>(n));
}

void Tag::SetExtra(const char* text, int length) {
  if (extra_.heap && !(extra_.inl[0] & 1)) FreeExtra(extra_.heap);
  extra_.heap = nullptr;
  if (!text || length <= 0) return;
  if (length <= 7) {  // the white space before a tag is mostly a blank or a line end
    extra_.inl[0] = static_cast<unsigned char>(length * 2 + 1);
    std::memcpy(extra_.inl + 1, text, static_cast<std::size_t>(length));
    return;
  }
  char* block =
      static_cast<char*>(halyard::tagsmith::AllocateElem(static_cast<std::size_t>(length) + 5));
  DWORD n = static_cast<DWORD>(length);
  std::memcpy(block, &n, 4);
  std::memcpy(block + 4, text, static_cast<std::size_t>(length));
  block[4 + length] = 0;
  extra_.heap = block;
}

CString Tag::TextForm() const {
  CString s('<');
  if (IsEnd()) s += '/';
  s += name.ToCString();
  if (CMapStringToString* map = Attributes()) {
    CString key, value;
    for (POSITION pos = map->GetStartPosition(); pos;) {
      map->GetNextAssoc(pos, key, value);
      s += ' ';
      s += key;
      s += "=\"";
      s += value;
      s += '"';
    }
  }
  s += '>';
  return s;
}

int Tag::GetRectAttr(const char* upperName, RECT* rect) const {
  RECT r{0, 0, 0, 0};
  CString value;
  int count = 0;
  if (GetAttribute(upperName, &value) && !value.IsEmpty()) {
    LONG* parts[4] = {&r.left, &r.top, &r.right, &r.bottom};
    const char* p = value;
    const char* end = p + value.GetLength();
    for (;;) {
      const char* comma = static_cast<const char*>(std::memchr(p, ',', end - p));
      const char* stop = comma ? comma : end;
      if (count < 4) *parts[count] = ReadDecimal(p, stop);
      ++count;
      if (!comma) break;
      p = comma + 1;
    }
  }
  if (rect) *rect = r;
  return count == 4 ? 1 : 0;
}

int Tag::Alignment() const {
  static const char* const kNames[] = {
      "left",    "center",    "right",    "justify",   "bottom",    "middle",    "top",
      "texttop", "absmiddle", "baseline", "absbottom", "bleedleft", "bleedright"};
  CString value;
  if (GetAttribute("ALIGN", &value)) {
    for (int i = 0; i < 13; ++i)
      if (EqualNoCase(value, kNames[i])) return i + 1;
  }
  switch (static_cast<int>(type)) {
    case Token::CAPTION:
      return 7;
    case 38:
    case Token::HR:
      return 2;
    case Token::IMG:
      return 5;
    default:
      return 0;
  }
}

ImageTag::ImageTag(const char* n, int len, bool end)
    : Tag(Token::IMG, n, len, end, ElemKind::Image) {}
TableTag::TableTag(const char* n, int len, bool end)
    : Tag(Token::TABLE, n, len, end, ElemKind::Table) {}
FormControlTag::FormControlTag(Token::Type t, const char* n, int len, bool end)
    : Tag(t, n, len, end, ElemKind::FormControl) {}
ListTag::ListTag(const char* n, int len, bool end) : Tag(Token::UL, n, len, end, ElemKind::List) {}
RuleTag::RuleTag(const char* n, int len, bool end) : Tag(Token::HR, n, len, end, ElemKind::Rule) {}
EmbeddedObjectTag::EmbeddedObjectTag(Token::Type t, const char* n, int len, bool end)
    : Tag(t, n, len, end, ElemKind::EmbeddedObject) {}
AnchorTag::AnchorTag(const char* n, int len, bool end)
    : Tag(Token::A, n, len, end, ElemKind::Anchor) {}
ScriptTag::ScriptTag(const char* n, int len, bool end)
    : Tag(Token::SCRIPT, n, len, end, ElemKind::Script) {}
ParagraphTag::ParagraphTag(const char* n, int len, bool end)
    : Tag(Token::P, n, len, end, ElemKind::Paragraph) {}
FontTag::FontTag(const char* n, int len, bool end)
    : Tag(Token::FONT, n, len, end, ElemKind::Font) {}
TitleTag::TitleTag(const char* n, int len, bool end)
    : Tag(Token::TITLE, n, len, end, ElemKind::Title) {}
StyleTag::StyleTag(const char* n, int len, bool end)
    : Tag(Token::STYLE, n, len, end, ElemKind::Style) {}

int FormControlTag::GetInputKind() const {
  static const struct {
    const char* name;
    int kind;
  } kKinds[] = {{"checkbox", kCheckbox}, {"hidden", kHidden}, {"image", kImage},
                {"password", kPassword}, {"radio", kRadio},   {"reset", kReset},
                {"submit", kSubmit},     {"file", kFile},     {"button", kButton}};
  CString value;
  if (GetAttribute("TYPE", &value)) {
    for (const auto& k : kKinds)
      if (EqualNoCase(value, k.name)) return k.kind;
  }
  return kText;
}

const char* FormControlTag::DefaultCaption(int inputKind) {
  if (inputKind == kReset) return "Reset";
  if (inputKind == kSubmit) return "Submit";
  return "";
}

ComponentTag::ComponentTag(const char* n, int len, bool end)
    : Tag(Token::COMPONENT, n, len, end, ElemKind::Component),
      number(ComponentTable::Lookup(n, static_cast<std::size_t>(len))) {}

void ComponentTag::Finish(Elem* root) {
  if (IsEnd()) return;
  // Nested components gather their own content first. The open components stand on a stack
  // of our own rather than on the call stack, so that deep nesting cannot exhaust it.
  std::vector<ComponentTag*> open{this};
  while (!open.empty()) {
    Elem* e = root->GetCursor();
    if (!e) break;  // the input ended inside every open component
    root->SetCursor(e->nextSibling);
    root->Unlink(e);
    open.back()->Append(e);
    if (e->kind == ElemKind::Component) {
      if (e->IsEnd())
        open.pop_back();
      else
        open.push_back(static_cast<ComponentTag*>(e));
    } else {
      e->Finish(root);
    }
  }
}

void ComponentTag::Measure(LONG* width, LONG* height) {
  RECT r;
  GetRectAttr("POS", &r);
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  LONG w =
      static_cast<LONG>(static_cast<std::uint32_t>(static_cast<std::int64_t>(r.right) - r.left));
  LONG h =
      static_cast<LONG>(static_cast<std::uint32_t>(static_cast<std::int64_t>(r.bottom) - r.top));
  SetLayout(0, static_cast<DWORD>(w));
  SetLayout(1, static_cast<DWORD>(h));
  if (width) *width = w;
  if (height) *height = h;
}

Elem* CreateElem(Token::Type type, const char* name, int nameLength, bool end) {
  switch (type) {
    case Token::TEXT:
      return new TextElem(name, nameLength, 0);
    case Token::COMMENT:
      return new CommentElem(name, nameLength);
    case Token::IMG:
      return new ImageTag(name, nameLength, end);
    case Token::TABLE:
      return new TableTag(name, nameLength, end);
    case Token::INPUT:
    case Token::SELECT:
    case Token::TEXTAREA:
      return new FormControlTag(type, name, nameLength, end);
    case Token::DIR:
    case Token::MENU:
    case Token::OL:
    case Token::UL:
      return new ListTag(name, nameLength, end);
    case Token::HR:
      return new RuleTag(name, nameLength, end);
    case Token::APPLET:
    case Token::EMBED:
    case Token::OBJECT:
      return new EmbeddedObjectTag(type, name, nameLength, end);
    case Token::A:
      return new AnchorTag(name, nameLength, end);
    case Token::SCRIPT:
      return new ScriptTag(name, nameLength, end);
    case Token::P:
      return new ParagraphTag(name, nameLength, end);
    case Token::FONT:
      return new FontTag(name, nameLength, end);
    case Token::TITLE:
      return new TitleTag(name, nameLength, end);
    case Token::STYLE:
      return new StyleTag(name, nameLength, end);
    case Token::COMPONENT:
      return new ComponentTag(name, nameLength, end);
    default:
      return new Tag(type, name, nameLength, end);
  }
}
