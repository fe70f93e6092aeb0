// What the rich edit control shows beyond plain colours: the effects of its character formats
// (bold, italic, underline, strike-out, offset, size), long lines and scrolling sideways, and
// the blinking caret, which repaints nothing but its own rectangle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "platform/user/desktop.h"
#include "platform/user/gdi.h"
#include "platform/user/rich_edit_ctrl.h"
#include "platform/user/timer.h"
#include "platform/user/update_region.h"

using halyard::user::Desktop;
using halyard::user::Timers;
using halyard::user::UpdateRegion;

namespace {

constexpr int kW = 400, kH = 160;
constexpr COLORREF kInk = RGB(0, 0, 160);
constexpr UINT kBlink = 530;

class RichEditViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Desktop::Reset();
    Timers::UseClock(nullptr);
    Timers::Reset();
    SetCaretBlinkTime(kBlink);
    RECT r{0, 0, kW, kH};
    ASSERT_TRUE(top.Create("top", WS_VISIBLE, r, nullptr, 0));
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE, r, &top, 5));
    edit.LimitText(0x7FFFFFFF);
    CHARFORMAT cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_FACE | CFM_SIZE;
    std::strcpy(cf.szFaceName, "Monospace");
    cf.yHeight = 300;  // 20 pixels
    edit.SetDefaultCharFormat(cf);
    UpdateRegion::Take();
  }
  void TearDown() override {
    UpdateRegion::Take();
    Timers::Reset();
  }
  LRESULT Send(UINT m, WPARAM w = 0, LPARAM l = 0) { return ::SendMessage(edit.m_hWnd, m, w, l); }
  void SetText(const std::string& t) { Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t.c_str())); }
  void Format(LONG a, LONG b, DWORD mask, DWORD effects, LONG offset = 0, LONG height = 0) {
    edit.SetSel(a, b);
    CHARFORMAT cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = mask | CFM_COLOR;
    cf.dwEffects = effects;
    cf.crTextColor = kInk;
    cf.yOffset = offset;
    cf.yHeight = height;
    edit.SetSelectionCharFormat(cf);
  }
  void Paint(CDC& dc) { halyard::user::Painter::PaintWindow(&top, dc); }
  RECT Cell(LONG a, LONG b) {
    POINT p = edit.PosFromChar(a), q = edit.PosFromChar(b);
    return RECT{p.x, p.y, q.x, p.y + edit.GetLineHeight()};
  }
  // The ink of one colour in a rectangle: how many pixels, their rows' extent, and the leftmost
  // inked x of the rectangle's upper and lower thirds.
  struct Ink {
    int count = 0, top = 1 << 20, bottom = -1, upperLeft = 1 << 20, lowerLeft = 1 << 20;
    int fullRows = 0;  // rows inked across at least 90% of the width
  };
  static Ink InkIn(CDC& dc, RECT r, COLORREF c) {
    Ink k;
    int h = r.bottom - r.top;
    for (LONG y = r.top; y < r.bottom; ++y) {
      int row = 0;
      for (LONG x = r.left; x < r.right; ++x) {
        if (dc.GetPixel(x, y) != c) continue;
        ++k.count;
        ++row;
        k.top = std::min<int>(k.top, y);
        k.bottom = std::max<int>(k.bottom, y);
        if (y < r.top + h / 3) k.upperLeft = std::min<int>(k.upperLeft, x);
        if (y >= r.bottom - h / 3) k.lowerLeft = std::min<int>(k.lowerLeft, x);
      }
      if (row * 10 >= (r.right - r.left) * 9) ++k.fullRows;
    }
    return k;
  }

  CWnd top;
  CRichEditCtrl edit;
};

TEST_F(RichEditViewTest, EveryCharacterEffectIsDrawn) {
  // Six copies of the same word, each with one effect, side by side.
  SetText("IIIII IIIII IIIII IIIII IIIII IIIII");
  Format(0, 5, 0, 0);
  Format(6, 11, CFM_BOLD, CFE_BOLD);
  Format(12, 17, CFM_ITALIC, CFE_ITALIC);
  Format(18, 23, CFM_UNDERLINE, CFE_UNDERLINE);
  Format(24, 29, CFM_STRIKEOUT, CFE_STRIKEOUT);
  Format(30, 35, CFM_OFFSET, 0, 60);  // raised 4 pixels
  edit.SetSel(0, 0);
  CDC dc(kW, kH);
  Paint(dc);
  Ink plain = InkIn(dc, Cell(0, 5), kInk), bold = InkIn(dc, Cell(6, 11), kInk),
      italic = InkIn(dc, Cell(12, 17), kInk), under = InkIn(dc, Cell(18, 23), kInk),
      strike = InkIn(dc, Cell(24, 29), kInk);
  ASSERT_GT(plain.count, 20);
  // Plain strokes stand upright; italic ones lean right; bold ones are heavier.
  EXPECT_EQ(plain.upperLeft, plain.lowerLeft);
  EXPECT_GT(italic.upperLeft, italic.lowerLeft);
  EXPECT_GT(bold.count, plain.count * 5 / 4);
  // Underline and strike-out are lines across the whole word: low in the cell and near its
  // middle.
  EXPECT_EQ(plain.fullRows, 0);
  EXPECT_GE(under.fullRows, 1);
  EXPECT_GE(strike.fullRows, 1);
  RECT uc = Cell(18, 23), sc = Cell(24, 29);
  int underRow = -1, strikeRow = -1;
  for (LONG y = uc.top; y < uc.bottom; ++y)
    if (InkIn(dc, RECT{uc.left, y, uc.right, y + 1}, kInk).fullRows) underRow = y - uc.top;
  for (LONG y = sc.top; y < sc.bottom; ++y)
    if (InkIn(dc, RECT{sc.left, y, sc.right, y + 1}, kInk).fullRows) strikeRow = y - sc.top;
  EXPECT_GT(underRow, strikeRow);
  EXPECT_GT(strikeRow, edit.GetLineHeight() / 4);
  // An offset raises the characters, in the same cell width.
  RECT oc = Cell(30, 35);
  oc.top = std::max<LONG>(0, oc.top - 8);
  Ink raised = InkIn(dc, oc, kInk);
  EXPECT_EQ(raised.top, plain.top - 4);
  EXPECT_EQ(Cell(30, 35).right - Cell(30, 35).left, Cell(0, 5).right - Cell(0, 5).left);

  // A bigger size takes more room: the characters after it move right.
  LONG before = edit.PosFromChar(6).x;
  Format(0, 5, CFM_SIZE, 0, 0, 600);
  EXPECT_GT(edit.PosFromChar(6).x, before + 20);
  // Selected text shows in the highlight colours, whatever its own colour.
  edit.SetSel(6, 11);
  CDC sel(kW, kH);
  Paint(sel);
  EXPECT_EQ(InkIn(sel, Cell(6, 11), kInk).count, 0);
  EXPECT_GT(InkIn(sel, Cell(6, 11), GetSysColor(COLOR_HIGHLIGHTTEXT)).count, 20);
  // The larger characters leave the rest of the line on its baseline, within its row.
  EXPECT_EQ(InkIn(sel, Cell(12, 17), kInk).top, italic.top);
  EXPECT_EQ(InkIn(sel, Cell(12, 17), kInk).bottom, italic.bottom);
}

TEST_F(RichEditViewTest, LongLinesAreShownWholeAndScrollSideways) {
  // A line far longer than the window, with a mark near its end.
  std::string line(20000, 'a');
  line[19990] = 'M';
  SetText(line + "\r\nshort");
  Format(19990, 19991, 0, 0);
  CDC first(kW, kH);
  Paint(first);
  RECT area{0, 0, kW - CRichEditCtrl::kScrollBarWidth, kH - CRichEditCtrl::kScrollBarWidth};
  // The horizontal bar shows a narrow thumb at its left end.
  COLORREF thumb = GetSysColor(COLOR_BTNSHADOW);
  EXPECT_EQ(first.GetPixel(3, kH - CRichEditCtrl::kScrollBarWidth / 2), thumb);
  EXPECT_NE(first.GetPixel(area.right / 2, kH - CRichEditCtrl::kScrollBarWidth / 2), thumb);

  // The caret goes to the mark: the view follows it sideways and the mark is drawn there.
  edit.SetFocus();
  edit.SetSel(19990, 19990);
  Send(EM_SCROLLCARET);
  EXPECT_GT(edit.GetScrollX(), 0);
  RECT mark = Cell(19990, 19991);
  EXPECT_GE(mark.left, area.left);
  EXPECT_LE(mark.right, area.right);
  CDC far(kW, kH);
  Paint(far);
  EXPECT_GT(InkIn(far, mark, kInk).count, 10);
  // A click there finds the character under the mouse.
  EXPECT_EQ(edit.CharFromPos(POINT{mark.left + 2, mark.top + 3}), 19990);
  // Going home scrolls back.
  Send(WM_KEYDOWN, VK_HOME);
  EXPECT_EQ(edit.GetScrollX(), 0);
  // A sideways wheel turn moves the view three characters a notch, and never before the start.
  int step = Cell(0, 1).right - Cell(0, 1).left;
  Send(WM_MOUSEHWHEEL, static_cast<WPARAM>(static_cast<WORD>(2 * WHEEL_DELTA)) << 16);
  EXPECT_EQ(edit.GetScrollX(), 6 * step);
  Send(WM_MOUSEHWHEEL, static_cast<WPARAM>(static_cast<WORD>(-5 * WHEEL_DELTA)) << 16);
  EXPECT_EQ(edit.GetScrollX(), 0);

  // Typing on at the right edge keeps the caret inside the view.
  int adv = Cell(0, 1).right - Cell(0, 1).left;
  edit.SetSel(100, 100);
  for (int i = 0; i < 60; ++i) Send(WM_CHAR, 'b');
  POINT caret = edit.PosFromChar(160);
  EXPECT_GT(edit.GetScrollX(), 0);
  EXPECT_GE(caret.x, area.left);
  EXPECT_LT(caret.x, area.right);

  // The scroll messages: a character, a page, both ends, the thumb, and by characters and lines.
  Send(WM_HSCROLL, SB_LEFT);
  EXPECT_EQ(edit.GetScrollX(), 0);
  Send(WM_HSCROLL, SB_LINERIGHT);
  EXPECT_EQ(edit.GetScrollX(), adv);
  LONG x10 = edit.PosFromChar(10).x;
  Send(WM_HSCROLL, SB_PAGERIGHT);
  int page = edit.GetScrollX() - adv;
  EXPECT_GT(page, area.right / 2);
  EXPECT_EQ(edit.PosFromChar(10).x, x10 - page);
  Send(WM_HSCROLL, SB_PAGELEFT);
  Send(WM_HSCROLL, SB_LINELEFT);
  Send(WM_HSCROLL, SB_LINELEFT);  // no further than the left end
  EXPECT_EQ(edit.GetScrollX(), 0);
  Send(WM_HSCROLL, SB_THUMBTRACK | (500 << 16));
  EXPECT_EQ(edit.GetScrollX(), 500);
  Send(WM_HSCROLL, SB_RIGHT);
  int right = edit.GetScrollX();
  EXPECT_GT(right, 20000 * adv - area.right);
  EXPECT_LE(right, 20060 * adv);
  Send(EM_LINESCROLL, static_cast<WPARAM>(-10), 1);
  EXPECT_EQ(edit.GetScrollX(), right - 10 * adv);
  EXPECT_EQ(edit.GetFirstVisibleLine(), 0);  // both lines fit: nothing to scroll down
  // A click in the horizontal bar left of its thumb pages left.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, kH - 4));
  EXPECT_LT(edit.GetScrollX(), right - 10 * adv);
  EXPECT_EQ(edit.GetTextLength(), 20067);  // the bar typed and selected nothing
}

TEST_F(RichEditViewTest, TheCaretBlinksOnlyWithTheFocusAndRepaintsOnlyItself) {
  SetText("abc\r\ndef");
  CDC dc(kW, kH);
  Paint(dc);
  edit.SetSel(5, 5);
  EXPECT_EQ(Timers::NextDue(), -1);  // no focus, no blinking
  edit.SetFocus();
  ASSERT_EQ(Timers::NextDue(), static_cast<long long>(kBlink));
  Paint(dc);
  UpdateRegion::Take();
  POINT c = edit.PosFromChar(5);
  EXPECT_EQ(dc.GetPixel(c.x, c.y + 2), RGB(0, 0, 0));

  // Off: exactly the caret's rectangle is repainted, and the caret is gone from it.
  EXPECT_EQ(Timers::Advance(kBlink), 1);
  EXPECT_FALSE(edit.IsCaretShown());
  auto inv = UpdateRegion::Take();
  ASSERT_EQ(inv.size(), 1u);
  EXPECT_EQ(inv[0].rect.left, c.x);
  EXPECT_EQ(inv[0].rect.right, c.x + 1);
  EXPECT_EQ(inv[0].rect.top, c.y);
  EXPECT_EQ(inv[0].rect.bottom, c.y + edit.GetLineHeight());
  dc.SaveDC();
  dc.IntersectClipRect(inv[0].rect);
  Paint(dc);
  dc.RestoreDC(-1);
  EXPECT_NE(dc.GetPixel(c.x, c.y + 2), RGB(0, 0, 0));
  // On again.
  Timers::Advance(kBlink);
  EXPECT_TRUE(edit.IsCaretShown());
  Paint(dc);
  EXPECT_EQ(dc.GetPixel(c.x, c.y + 2), RGB(0, 0, 0));

  // A key shows the caret at once and starts the blink over.
  Timers::Advance(kBlink);
  ASSERT_FALSE(edit.IsCaretShown());
  Timers::Advance(kBlink / 2);
  Send(WM_KEYDOWN, VK_RIGHT);
  EXPECT_TRUE(edit.IsCaretShown());
  Timers::Advance(kBlink - 10);
  EXPECT_TRUE(edit.IsCaretShown());

  // Without the focus the timer goes and the caret is not drawn.
  top.SetFocus();
  EXPECT_EQ(Timers::NextDue(), -1);
  UpdateRegion::Take();
  Timers::Advance(5 * kBlink);
  EXPECT_TRUE(UpdateRegion::Take().empty());
  CDC unfocused(kW, kH);
  Paint(unfocused);
  POINT c6 = edit.PosFromChar(6);
  EXPECT_NE(unfocused.GetPixel(c6.x, c6.y + 2), RGB(0, 0, 0));

  // A blink time of INFINITE: the caret stays.
  ASSERT_TRUE(SetCaretBlinkTime(0xFFFFFFFFu));
  edit.SetFocus();
  EXPECT_EQ(Timers::NextDue(), -1);
  Timers::Advance(5 * kBlink);
  EXPECT_TRUE(edit.IsCaretShown());
  top.SetFocus();
  // Another time takes effect from the next focus on.
  ASSERT_TRUE(SetCaretBlinkTime(200));
  edit.SetFocus();
  EXPECT_EQ(Timers::NextDue(), 200);
  Timers::Advance(200);
  EXPECT_FALSE(edit.IsCaretShown());
  EXPECT_FALSE(SetCaretBlinkTime(0));
  EXPECT_EQ(GetCaretBlinkTime(), 200u);
  SetCaretBlinkTime(kBlink);
}

TEST_F(RichEditViewTest, PageKeysMoveTheViewAndTheCaretByAPage) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + "\r\n";
  SetText(text);
  CDC dc(kW, kH);
  Paint(dc);
  const LONG page = edit.VisibleLineCount();
  ASSERT_GT(page, 2);
  edit.SetFocus();
  edit.SetSel(edit.LineIndex(3) + 2, edit.LineIndex(3) + 2);
  Send(WM_KEYDOWN, VK_NEXT);
  CHARRANGE cr;
  edit.GetSel(cr);
  EXPECT_EQ(cr.cpMax, edit.LineIndex(3 + page) + 2);
  EXPECT_EQ(edit.GetFirstVisibleLine(), page);
  Send(WM_KEYDOWN, VK_PRIOR);
  edit.GetSel(cr);
  EXPECT_EQ(cr.cpMax, edit.LineIndex(3) + 2);
  EXPECT_EQ(edit.GetFirstVisibleLine(), 0);
  // Past the ends: the first and the last line, the column kept within the line.
  Send(WM_KEYDOWN, VK_PRIOR);
  edit.GetSel(cr);
  EXPECT_EQ(cr.cpMax, 2);
  edit.SetSel(edit.LineIndex(95) + 7, edit.LineIndex(95) + 7);
  Send(WM_KEYDOWN, VK_NEXT);
  edit.GetSel(cr);
  EXPECT_EQ(cr.cpMax, edit.GetTextLength());  // the last line is empty
  EXPECT_EQ(edit.GetFirstVisibleLine(), edit.GetLineCount() - page);
}

// Positions along a very long line, after edits and format changes anywhere in it, are where
// a control given the same text and formats afresh puts them.
TEST_F(RichEditViewTest, PositionsAlongALongLineFollowEditsAndFormats) {
  std::string line;
  for (int i = 0; line.size() < 12000; ++i) line += i % 7 ? "word " : "\tx";
  SetText(line + "\r\nend");
  CDC dc(kW, kH);
  Paint(dc);
  std::mt19937 rng(17);
  auto check = [&](int step) {
    CRichEditCtrl fresh;
    ASSERT_TRUE(fresh.Create(WS_CHILD | ES_MULTILINE, RECT{0, 0, kW, kH}, &top, 9));
    fresh.LimitText(0x7FFFFFFF);
    CHARFORMAT cf{};
    cf.cbSize = sizeof cf;
    edit.GetDefaultCharFormat(cf);
    fresh.SetDefaultCharFormat(cf);
    std::string text = edit.GetTextRange(0, edit.GetTextLength());
    fresh.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    for (LONG p = 0; p < edit.GetTextLength();) {
      // Runs of one format, copied over.
      edit.SetSel(p, p + 1);
      CHARFORMAT f{};
      edit.GetSelectionCharFormat(f);
      LONG q = p + 1;
      while (q < edit.GetTextLength() && edit.ColorAt(q) == edit.ColorAt(p)) ++q;
      fresh.SetSel(p, q);
      f.dwMask = CFM_ALL;
      fresh.SetSelectionCharFormat(f);
      p = q;
    }
    for (int i = 0; i < 30; ++i) {
      LONG p = static_cast<LONG>(rng() % static_cast<unsigned>(edit.GetTextLength() + 1));
      ASSERT_EQ(edit.PosFromChar(p).x, fresh.PosFromChar(p).x) << "step " << step << " at " << p;
    }
    fresh.DestroyWindow();
  };
  for (int step = 0; step < 12; ++step) {
    // Far along the line first, so that marks are made, then a change somewhere.
    edit.PosFromChar(static_cast<LONG>(line.size()) - 1);
    LONG at = static_cast<LONG>(rng() % line.size());
    if (step % 3 == 0) {
      edit.SetSel(at, at);
      edit.ReplaceSel(step % 2 ? "\t" : "abc");
    } else if (step % 3 == 1) {
      edit.SetSel(at, at + 3);
      edit.ReplaceSel("");
    } else {
      // A bigger size is wider; each size its own colour, so the copy finds the runs.
      Format(at, at + 40, CFM_SIZE, 0, 0, 450);
      edit.SetSel(at, at + 40);
      CHARFORMAT c{};
      c.cbSize = sizeof c;
      c.dwMask = CFM_COLOR;
      c.crTextColor = RGB(step, 0, 0);
      edit.SetSelectionCharFormat(c);
    }
    check(step);
  }
}

// Formatting a range directly leaves the control as the three messages would: formats,
// selection (a backward one comes back forward) and the pending format of the insertion point.
class DirectFormat : public CRichEditCtrl {
 public:
  using CRichEditCtrl::FormatRangeKeepingSelection;
};

TEST_F(RichEditViewTest, FormattingARangeDirectlyMatchesTheMessages) {
  DirectFormat direct;
  ASSERT_TRUE(direct.Create(WS_CHILD | ES_MULTILINE, RECT{0, 0, kW, kH}, &top, 6));
  const std::string text = "<P ALIGN=center>Row\r\n<B>bold</B> and more\r\n";
  SetText(text);
  direct.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  std::mt19937 rng(11);
  const LONG len = static_cast<LONG>(text.size());
  for (int step = 0; step < 400; ++step) {
    LONG a = static_cast<LONG>(rng() % len), b = a + 1 + static_cast<LONG>(rng() % 6);
    b = std::min(b, len);
    CHARFORMAT cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR | (rng() % 4 == 0 ? CFM_BOLD : 0);
    cf.dwEffects = rng() % 2 ? CFE_BOLD : 0;
    cf.crTextColor = RGB(rng() % 3 * 100, 0, rng() % 2 * 200);
    if (rng() % 3 == 0) {
      // A new selection, maybe backward, and maybe a pending format at the insertion point.
      LONG s1 = static_cast<LONG>(rng() % (len + 1)), s2 = rng() % 2 ? s1 : static_cast<LONG>(rng() % (len + 1));
      for (CRichEditCtrl* e : {static_cast<CRichEditCtrl*>(&edit), static_cast<CRichEditCtrl*>(&direct)})
        e->SendMessage(EM_SETSEL, static_cast<WPARAM>(s1), s2);
      if (s1 == s2 && rng() % 2) {
        CHARFORMAT p{};
        p.cbSize = sizeof p;
        p.dwMask = CFM_COLOR;
        p.crTextColor = RGB(9, 9, 9);
        edit.SetSelectionCharFormat(p);
        direct.SetSelectionCharFormat(p);
      }
    }
    CHARRANGE old;
    edit.GetSel(old);
    CHARRANGE range{a, b};
    edit.SetSel(range);
    edit.SetSelectionCharFormat(cf);
    edit.SetSel(old);
    direct.FormatRangeKeepingSelection(a, b, cf);
    CHARRANGE s1, s2;
    edit.GetSel(s1);
    direct.GetSel(s2);
    ASSERT_EQ(s1.cpMin, s2.cpMin) << step;
    ASSERT_EQ(s1.cpMax, s2.cpMax) << step;
    CHARFORMAT f1{}, f2{};
    ASSERT_EQ(edit.GetSelectionCharFormat(f1), direct.GetSelectionCharFormat(f2)) << step;
    ASSERT_EQ(f1.crTextColor, f2.crTextColor) << step;
    ASSERT_EQ(f1.dwEffects, f2.dwEffects) << step;
  }
  for (LONG i = 0; i < len; ++i) ASSERT_EQ(edit.ColorAt(i), direct.ColorAt(i)) << i;
}

TEST_F(RichEditViewTest, FormattingASelectionRepaintsOnlyItsLines) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "line " + std::to_string(i) + "\r\n";
  SetText(text);
  CDC dc(kW, kH);
  Paint(dc);
  int lh = edit.GetLineHeight();
  Format(edit.LineIndex(2), edit.LineIndex(2) + 4, 0, 0);
  edit.SetSel(edit.LineIndex(2) + 1, edit.LineIndex(2) + 3);
  UpdateRegion::Take();
  Format(edit.LineIndex(2) + 1, edit.LineIndex(2) + 3, CFM_BOLD, CFE_BOLD);
  auto inv = UpdateRegion::Take();
  ASSERT_FALSE(inv.empty());
  for (auto& i : inv) {
    EXPECT_GE(i.rect.top, CRichEditCtrl::kMargin + 2 * lh);
    EXPECT_LE(i.rect.bottom, CRichEditCtrl::kMargin + 3 * lh);
  }
  // The default format changes everything.
  CHARFORMAT cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = CFM_SIZE;
  cf.yHeight = 240;
  edit.SetDefaultCharFormat(cf);
  inv = UpdateRegion::Take();
  ASSERT_EQ(inv.size(), 1u);
  EXPECT_EQ(inv[0].rect.bottom - inv[0].rect.top, kH);
}

}  // namespace
