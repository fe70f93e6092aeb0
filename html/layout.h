// The least page layout: enough for a host to ask where each element of a page went. The layout
// state keeps the list of placed elements; a layout context walks a tree, and each element hands
// itself to it through its lay-out and layout-step operations. The design tool's components are
// placed at their POS rectangles with their size; everything else flows top to bottom in one
// column, text measured with a fixed metric. The state belongs to whoever created it (a
// Document owns the one it hands out); a context only borrows its state. One thread at a time.
#pragma once

#include <unordered_map>
#include <vector>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "platform/user/user_types.h"

class Elem;

class HALYARD_EXPORT LayoutState {
 public:
  struct Placed {
    Elem* elem;
    WORD kind;      // the element's ElemKind
    WORD type;      // its tag type
    int component;  // the component number of a component, else 0
    RECT rect;      // left, top, right, bottom in page pixels
  };

  LayoutState() = default;
  LayoutState(const LayoutState&) = delete;
  LayoutState& operator=(const LayoutState&) = delete;
  ~LayoutState();

  // Placed elements in the order they were placed.
  const std::vector<Placed>& Items() const { return items_; }
  int GetCount() const { return static_cast<int>(items_.size()); }
  // Where elem went, or null when it was not placed.
  const Placed* Find(const Elem* elem) const;
  // The height of everything placed (the page's height).
  LONG Height() const { return height_; }

  void Add(Elem* elem, const RECT& rect);
  // Forgets every placement (a new layout run).
  void Clear();

 private:
  std::vector<Placed> items_;
  mutable std::unordered_map<const Elem*, std::size_t> index_;  // built on the first Find
  LONG height_ = 0;
};

class HALYARD_EXPORT LayoutContext {
 public:
  // The fixed metric: every character of text is this wide and every line at least this high.
  enum : LONG { kCharWidth = 8, kLineHeight = 16, kDefaultWidth = 640 };

  // A context that places into state (which must outlive it), on a page of pageWidth pixels.
  explicit LayoutContext(LayoutState* state, LONG pageWidth = kDefaultWidth);
  LayoutContext(const LayoutContext&) = delete;
  LayoutContext& operator=(const LayoutContext&) = delete;
  ~LayoutContext();

  // Clears the state and lays out every element below root, in document order.
  void Run(Elem* root);

  // What the element operations call. LayOut: the element's start or end side (blocks break the
  // line, hidden containers such as SCRIPT and TITLE hide what follows until their end), then
  // its layout step unless it is hidden.
  void LayOut(Elem* elem);
  // The step by the element's type: text is measured and flowed, images and form controls are
  // flowed with their size, a rule takes a line of its own, a component goes to its POS.
  void Step(Elem* elem);

  LayoutState* GetState() const { return state_; }
  LONG X() const { return x_; }
  LONG Y() const { return y_; }

 private:
  void LayOutTree(Elem* elem, int depth);
  void BreakLine();
  void BreakBlock();
  // Places an inline box of width by height at the pen (after a blank when space is set),
  // starting a new line when it does not fit.
  void Flow(Elem* elem, LONG width, LONG height, bool space);

  LayoutState* state_;
  LONG width_;
  LONG x_ = 0;
  LONG y_ = 0;
  LONG lineBottom_ = 0;  // the bottom of the highest box on the current line
  int hidden_ = 0;       // open hidden containers
};
