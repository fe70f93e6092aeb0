#include "layout.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "block_class.h"
#include "elem_kinds.h"

namespace {

using halyard::tagsmith::BlockClassOf;
using halyard::tagsmith::IsBlockClass;

// A size attribute (WIDTH, HEIGHT) as pixels; fallback when missing, not a number, negative or
// a percentage (the least layout has no box to take a share of).
LONG SizeAttr(const Elem* e, const char* name, LONG fallback) {
  CString value;
  if (!e->GetAttribute(name, &value)) return fallback;
  const char* s = static_cast<const char*>(value);
  char* end = nullptr;
  long n = std::strtol(s, &end, 10);
  if (end == s || *end == '%' || n < 0) return fallback;
  return static_cast<LONG>(std::min<long>(n, 100000));
}

// Page coordinates stop at the largest LONG rather than wrap: a hostile page may ask for more.
LONG Clamp(std::int64_t v) {
  if (v > 0x7fffffffLL) return 0x7fffffff;
  if (v < -0x7fffffffLL - 1) return static_cast<LONG>(-0x7fffffffLL - 1);
  return static_cast<LONG>(v);
}

// Elements whose content is not drawn on the page.
bool IsHiddenContainer(Token::Type type) {
  switch (type) {
    case Token::SCRIPT:
    case Token::STYLE:
    case Token::TITLE:
    case Token::HEAD:
      return true;
    default:
      return false;
  }
}

}  // namespace

LayoutState::~LayoutState() = default;

const LayoutState::Placed* LayoutState::Find(const Elem* elem) const {
  if (index_.size() != items_.size()) {
    index_.clear();
    index_.reserve(items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i) index_.emplace(items_[i].elem, i);
  }
  auto it = index_.find(elem);
  return it == index_.end() ? nullptr : &items_[it->second];
}

void LayoutState::Add(Elem* elem, const RECT& rect) {
  int component = 0;
  if (elem->kind == ElemKind::Component) component = static_cast<ComponentTag*>(elem)->number;
  items_.push_back({elem, static_cast<WORD>(elem->kind), static_cast<WORD>(elem->type), component,
                    rect});
  height_ = std::max(height_, std::max(rect.top, rect.bottom));
}

void LayoutState::Clear() {
  items_.clear();
  index_.clear();
  height_ = 0;
}

LayoutContext::LayoutContext(LayoutState* state, LONG pageWidth)
    : state_(state), width_(pageWidth > 0 ? pageWidth : kDefaultWidth) {}

LayoutContext::~LayoutContext() = default;

void LayoutContext::Run(Elem* root) {
  if (state_) state_->Clear();
  x_ = y_ = lineBottom_ = 0;
  hidden_ = 0;
  if (!root) return;
  // Document order without recursion: trees from broken pages can be deep.
  Elem* e = root->firstChild;
  while (e) {
    e->LayOut(this);
    // A component's gathered content is its own business: it is placed as one box.
    bool descend = e->firstChild && !(e->kind == ElemKind::Component && !e->IsEnd());
    if (descend) {
      e = e->firstChild;
      continue;
    }
    while (e != root && !e->nextSibling) e = e->parent;
    if (e == root || !e) break;
    e = e->nextSibling;
  }
  BreakLine();
}

void LayoutContext::LayOut(Elem* elem) {
  if (!elem) return;
  if (elem->kind == ElemKind::Text) {
    if (hidden_ == 0) elem->LayoutStep(this);
    return;
  }
  if (elem->kind == ElemKind::Comment || elem->kind == ElemKind::Document) return;
  if (IsHiddenContainer(elem->type)) {
    if (elem->IsEnd())
      hidden_ = hidden_ > 0 ? hidden_ - 1 : 0;
    else
      ++hidden_;
    return;
  }
  if (hidden_ > 0) return;
  int cls = BlockClassOf(elem->type);
  if (IsBlockClass(cls)) BreakBlock();
  if (cls == 2 && !elem->IsEnd()) {  // BR
    if (x_ == 0) lineBottom_ = std::max(lineBottom_, y_ + static_cast<LONG>(kLineHeight));
    BreakLine();
  }
  if (!elem->IsEnd()) elem->LayoutStep(this);
}

void LayoutContext::Step(Elem* elem) {
  if (!elem || !state_) return;
  switch (elem->kind) {
    case ElemKind::Text: {
      std::int64_t chars = elem->name.GetLength();
      Flow(elem, Clamp(chars * kCharWidth), kLineHeight, (elem->flags & Elem::kSpaceBefore) != 0);
      return;
    }
    case ElemKind::Image:
      Flow(elem, SizeAttr(elem, "WIDTH", 32), SizeAttr(elem, "HEIGHT", 32), true);
      return;
    case ElemKind::EmbeddedObject:
      Flow(elem, SizeAttr(elem, "WIDTH", 100), SizeAttr(elem, "HEIGHT", 100), true);
      return;
    case ElemKind::FormControl: {
      std::int64_t w = 20 * kCharWidth, h = kLineHeight + 6;
      if (elem->type == Token::INPUT) {
        int k = static_cast<FormControlTag*>(elem)->GetInputKind();
        if (k == FormControlTag::kHidden) return;
        if (k == FormControlTag::kCheckbox || k == FormControlTag::kRadio) w = h = kLineHeight;
        if (k == FormControlTag::kImage) {
          w = SizeAttr(elem, "WIDTH", 32);
          h = SizeAttr(elem, "HEIGHT", 32);
        }
        if (k == FormControlTag::kSubmit || k == FormControlTag::kReset ||
            k == FormControlTag::kButton) {
          CString caption;
          LONG chars = elem->GetAttribute("VALUE", &caption)
                           ? caption.GetLength()
                           : static_cast<LONG>(std::char_traits<char>::length(
                                 FormControlTag::DefaultCaption(k)));
          w = (static_cast<std::int64_t>(chars) + 2) * kCharWidth;
        }
      } else if (elem->type == Token::TEXTAREA) {
        w = static_cast<std::int64_t>(SizeAttr(elem, "COLS", 20)) * kCharWidth;
        h = static_cast<std::int64_t>(SizeAttr(elem, "ROWS", 2)) * kLineHeight + 6;
      }
      Flow(elem, Clamp(w), Clamp(h), true);
      return;
    }
    case ElemKind::Rule: {
      BreakBlock();
      LONG h = std::max<LONG>(SizeAttr(elem, "SIZE", 2), 1);
      LONG bottom = Clamp(static_cast<std::int64_t>(y_) + h);
      state_->Add(elem, RECT{0, y_, width_, bottom});
      y_ = lineBottom_ = bottom;
      return;
    }
    case ElemKind::Component: {
      // The component keeps its size in its layout words; its box is its POS, normalised.
      RECT pos;
      elem->GetRectAttr("POS", &pos);
      elem->Measure(nullptr, nullptr);
      state_->Add(elem, RECT{std::min(pos.left, pos.right), std::min(pos.top, pos.bottom),
                             std::max(pos.left, pos.right), std::max(pos.top, pos.bottom)});
      return;
    }
    default:
      return;
  }
}

void LayoutContext::Flow(Elem* elem, LONG width, LONG height, bool space) {
  LONG gap = space && x_ > 0 ? static_cast<LONG>(kCharWidth) : 0;
  if (x_ > 0 && static_cast<std::int64_t>(x_) + gap + width > width_) {
    BreakLine();
    gap = 0;
  }
  LONG left = Clamp(static_cast<std::int64_t>(x_) + gap);
  LONG right = Clamp(static_cast<std::int64_t>(left) + width);
  LONG bottom = Clamp(static_cast<std::int64_t>(y_) + height);
  state_->Add(elem, RECT{left, y_, right, bottom});
  x_ = right;
  lineBottom_ = std::max(lineBottom_, bottom);
}

void LayoutContext::BreakLine() {
  if (x_ > 0 || lineBottom_ > y_) y_ = std::max(lineBottom_, y_);
  x_ = 0;
  lineBottom_ = y_;
}

void LayoutContext::BreakBlock() {
  if (x_ > 0) BreakLine();
}
