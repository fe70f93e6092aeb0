// What the rich edit control paints and what it asks to have painted again: colours where the
// characters are, the selection and caret, the background, scrolling, the line index kept
// through edits and undo, and invalidation limited to the lines a change touched.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/user/desktop.h"
#include "platform/user/gdi.h"
#include "platform/user/rich_edit_ctrl.h"
#include "platform/user/update_region.h"

using halyard::user::Desktop;
using halyard::user::UpdateRegion;

namespace {

class RichEditPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Desktop::Reset();
    RECT r{0, 0, 300, 120};
    ASSERT_TRUE(top.Create("top", WS_VISIBLE, r, nullptr, 0));
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE, r, &top, 5));
    UpdateRegion::Take();
  }
  void TearDown() override { UpdateRegion::Take(); }
  LRESULT Send(UINT m, WPARAM w = 0, LPARAM l = 0) { return ::SendMessage(edit.m_hWnd, m, w, l); }
  void SetText(const char* t) { Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t)); }
  void Colour(LONG a, LONG b, COLORREF c) {
    edit.SetSel(a, b);
    CHARFORMAT cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR;
    cf.crTextColor = c;
    edit.SetSelectionCharFormat(cf);
  }
  // Pixels of the colour inside the rectangle.
  static int Count(CDC& dc, RECT r, COLORREF c) {
    int n = 0;
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) n += dc.GetPixel(x, y) == c;
    return n;
  }
  // The cell of the characters [a, b) on one line.
  RECT Cell(LONG a, LONG b) {
    POINT p = edit.PosFromChar(a), q = edit.PosFromChar(b);
    return RECT{p.x, p.y, q.x, p.y + edit.GetLineHeight()};
  }
  void Paint(CDC& dc) { halyard::user::Painter::PaintWindow(&top, dc); }

  CWnd top;
  CRichEditCtrl edit;
};

TEST_F(RichEditPaintTest, CharactersShowTheirColoursWhereTheyStand) {
  SetText("<B>bold</B>\r\nplain");
  Colour(0, 3, RGB(0, 0, 255));
  Colour(3, 7, RGB(200, 0, 0));
  edit.SetSel(20, 20);
  CDC dc(300, 120);
  Paint(dc);
  EXPECT_GT(Count(dc, Cell(0, 3), RGB(0, 0, 255)), 5);
  EXPECT_EQ(Count(dc, Cell(0, 3), RGB(200, 0, 0)), 0);
  EXPECT_GT(Count(dc, Cell(3, 7), RGB(200, 0, 0)), 5);
  EXPECT_EQ(Count(dc, Cell(3, 7), RGB(0, 0, 255)), 0);
  // The second line is black and sits one line lower.
  RECT second = Cell(13, 18);
  EXPECT_EQ(second.top, Cell(0, 1).top + edit.GetLineHeight());
  EXPECT_GT(Count(dc, second, RGB(0, 0, 0)), 5);
  // Nothing is drawn right of the text but the background.
  RECT beyond{Cell(0, 11).right + 2, 0, 300 - CRichEditCtrl::kScrollBarWidth, 30};
  EXPECT_EQ(Count(dc, beyond, RGB(255, 255, 255)), (beyond.right - beyond.left) * 30);
}

TEST_F(RichEditPaintTest, SelectionCaretBackgroundAndReadOnly) {
  SetText("abcdef");
  edit.SetSel(1, 3);
  CDC dc(300, 120);
  Paint(dc);
  COLORREF hl = GetSysColor(COLOR_HIGHLIGHT);
  RECT sel = Cell(1, 3), unsel = Cell(4, 6);
  EXPECT_GT(Count(dc, sel, hl), (sel.right - sel.left) * (sel.bottom - sel.top) / 3);
  EXPECT_EQ(Count(dc, unsel, hl), 0);

  // The caret: a one pixel line at the insertion point, only while the control has the focus.
  edit.SetSel(3, 3);
  POINT c = edit.PosFromChar(3);
  CDC before(300, 120);
  Paint(before);
  EXPECT_NE(before.GetPixel(c.x, c.y + 1), RGB(0, 0, 0));
  edit.SetFocus();
  CDC focused(300, 120);
  Paint(focused);
  EXPECT_EQ(focused.GetPixel(c.x, c.y + 1), RGB(0, 0, 0));

  edit.SetBackgroundColor(FALSE, RGB(255, 255, 200));
  edit.SetReadOnly(TRUE);
  CDC coloured(300, 120);
  Paint(coloured);
  EXPECT_EQ(coloured.GetPixel(200, 100), RGB(255, 255, 200));
  // Read-only changes nothing of the look but refuses typing.
  Send(WM_CHAR, 'x');
  EXPECT_EQ(edit.GetTextRange(0, 100), "abcdef");
}

TEST_F(RichEditPaintTest, LineIndexFollowsEveryEditAndUndo) {
  SetText("one\r\ntwo\r\n\r\nthree");
  EXPECT_EQ(edit.GetLineCount(), 4);
  std::mt19937 rng(7);
  const char* pieces[] = {"x", "\r\n", "ab\ncd", "", "\n\n"};
  for (int i = 0; i < 300; ++i) {
    LONG len = edit.GetTextLength();
    LONG a = static_cast<LONG>(rng() % (len + 1));
    LONG b = std::min<LONG>(len, a + static_cast<LONG>(rng() % 4));
    edit.SetSel(a, b);
    edit.ReplaceSel(pieces[rng() % 5], TRUE);
    if (rng() % 5 == 0) edit.Undo();
    std::string text = edit.GetTextRange(0, edit.GetTextLength());
    std::vector<LONG> starts{0};
    for (size_t p = 0; p < text.size(); ++p)
      if (text[p] == '\n') starts.push_back(static_cast<LONG>(p + 1));
    ASSERT_EQ(edit.GetLineCount(), static_cast<LONG>(starts.size())) << "step " << i;
    for (size_t l = 0; l < starts.size(); ++l) ASSERT_EQ(edit.LineIndex(static_cast<LONG>(l)), starts[l]);
    ASSERT_EQ(edit.LineFromChar(static_cast<LONG>(text.size())), static_cast<LONG>(starts.size()) - 1);
  }
}

TEST_F(RichEditPaintTest, TypingInvalidatesOnlyItsLineAndABreakTheRest) {
  SetText("a\r\nb\r\nc\r\nd");
  CDC dc(300, 120);
  Paint(dc);  // learns the line height
  int lh = edit.GetLineHeight();
  edit.SetSel(4, 4);
  UpdateRegion::Take();
  Send(WM_CHAR, 'x');
  auto inv = UpdateRegion::Take();
  ASSERT_FALSE(inv.empty());
  for (auto& i : inv) {
    EXPECT_EQ(i.top, &top);
    EXPECT_GE(i.rect.top, CRichEditCtrl::kMargin + lh - 1);       // not the first line
    EXPECT_LE(i.rect.bottom, CRichEditCtrl::kMargin + 2 * lh + 1);  // nor the third
  }
  Send(WM_CHAR, '\r');
  inv = UpdateRegion::Take();
  ASSERT_FALSE(inv.empty());
  LONG bottom = 0;
  for (auto& i : inv) bottom = std::max(bottom, i.rect.bottom);
  EXPECT_EQ(bottom, 120);  // the lines below moved down
}

TEST_F(RichEditPaintTest, ScrollingKeepsTheCaretInSightAndMovesThePicture) {
  std::string text;
  for (int i = 0; i < 100; ++i) text += "line " + std::to_string(i) + "\r\n";
  SetText(text.c_str());
  Colour(0, edit.GetTextLength(), RGB(0, 128, 0));
  CDC dc(300, 120);
  Paint(dc);
  LONG shown = edit.VisibleLineCount();
  ASSERT_LT(shown, 100);
  edit.SetSel(0, 0);
  edit.SetFocus();
  Send(WM_KEYDOWN, VK_DOWN);
  EXPECT_EQ(edit.GetFirstVisibleLine(), 0);
  edit.SetSel(edit.LineIndex(50), edit.LineIndex(50));
  Send(WM_KEYDOWN, VK_RIGHT);  // a key makes the caret's line visible
  LONG top50 = edit.GetFirstVisibleLine();
  EXPECT_LE(top50, 50);
  EXPECT_GT(top50 + shown, 50);

  Send(WM_VSCROLL, SB_TOP);
  EXPECT_EQ(edit.GetFirstVisibleLine(), 0);
  Send(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<WORD>(-WHEEL_DELTA)) << 16);
  EXPECT_EQ(edit.GetFirstVisibleLine(), 3);
  Send(WM_VSCROLL, SB_BOTTOM);
  EXPECT_EQ(edit.GetFirstVisibleLine(), edit.GetLineCount() - shown);
  // The thumb sits at the bottom of the bar now.
  CDC end(300, 120);
  Paint(end);
  const int barBottom = 120 - CRichEditCtrl::kScrollBarWidth;
  EXPECT_EQ(end.GetPixel(300 - CRichEditCtrl::kScrollBarWidth / 2, barBottom - 2), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_NE(end.GetPixel(300 - CRichEditCtrl::kScrollBarWidth / 2, 2), GetSysColor(COLOR_BTNSHADOW));
}

TEST_F(RichEditPaintTest, MouseSelectsWhereItPoints) {
  SetText("hello world\r\nsecond");
  CDC dc(300, 120);
  Paint(dc);
  POINT a = edit.PosFromChar(6), b = edit.PosFromChar(11);
  int y = a.y + edit.GetLineHeight() / 2;
  Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(a.x + 1, y));
  Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(b.x + 1, y));
  Send(WM_LBUTTONUP, 0, MAKELPARAM(b.x + 1, y));
  CHARRANGE cr;
  edit.GetSel(cr);
  EXPECT_EQ(cr.cpMin, 6);
  EXPECT_EQ(cr.cpMax, 11);
  EXPECT_EQ(CWnd::GetFocus(), &edit);
  // Below the text: the end of the last line.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 90));
  Send(WM_LBUTTONUP, 0, MAKELPARAM(1, 90));
  edit.GetSel(cr);
  EXPECT_EQ(cr.cpMin, edit.LineIndex(1));
  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(a.x + 2, y));
  edit.GetSel(cr);
  EXPECT_EQ(edit.GetTextRange(cr.cpMin, cr.cpMax), "world");
}

}  // namespace
