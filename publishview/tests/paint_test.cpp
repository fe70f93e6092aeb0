// The view's painting checked on rendered pixels: the band and its caption, the splitter's
// lines, owner-drawn rows (highlight, dimmed cut icons, text placement, "..." shortening, red
// dates).
#include <gtest/gtest.h>

#include "view_fixture.h"

namespace outfold_test {
namespace {

class PaintTest : public ViewTest {
 protected:
  void Render() {
    dc = std::make_unique<CDC>(800, 600);
    halyard::user::Painter::PaintWindow(&frame, *dc);
  }
  int ListLeft() { return view->TreeRight() + CPageWnd::kSplitter; }
  int RowTop(int row) { return CHeaderCtrl::kHeight + row * CListCtrl::kRowHeight; }
  int Count(RECT r, COLORREF c) {
    int n = 0;
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) n += dc->GetPixel(x, y) == c;
    return n;
  }
  // The cell of a list row in view coordinates.
  RECT Cell(int row, int column) {
    RECT r;
    EXPECT_TRUE(List().GetSubItemRect(row, column, &r));
    return RECT{r.left + ListLeft(), r.top, r.right + ListLeft(), r.bottom};
  }
  std::unique_ptr<CDC> dc;
};

TEST_F(PaintTest, BandSplitterAndEdgesHaveTheirColours) {
  Render();
  int right = view->TreeRight();
  EXPECT_EQ(dc->GetPixel(right - 2, 2), RGB(0xC0, 0xC0, 0xC0));
  EXPECT_EQ(dc->GetPixel(1, 9), RGB(0xC0, 0xC0, 0xC0));  // left of the caption's 3 pixels
  // The caption: black text in the band, from x = 3 on.
  EXPECT_GT(Count(RECT{3, 0, right, CHeaderCtrl::kHeight - 2}, RGB(0, 0, 0)), 40);
  EXPECT_EQ(Count(RECT{0, 0, 3, CHeaderCtrl::kHeight - 2}, RGB(0, 0, 0)), 0);
  EXPECT_EQ(dc->GetPixel(50, CHeaderCtrl::kHeight - 2), RGB(0x80, 0x80, 0x80));
  for (int y : {5, 300, 599}) {
    EXPECT_EQ(dc->GetPixel(right, y), RGB(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(dc->GetPixel(right + 1, y), RGB(255, 255, 255));
    EXPECT_EQ(dc->GetPixel(right + 4, y), RGB(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(dc->GetPixel(right + 6, y), RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(dc->GetPixel(right + 7, y), RGB(0, 0, 0));
  }
  EXPECT_EQ(dc->GetPixel(100, 500), RGB(255, 255, 255));  // the tree below its rows
  EXPECT_EQ(dc->GetPixel(ListLeft() + 5, 5), GetSysColor(COLOR_BTNFACE));  // the list's header
}

TEST_F(PaintTest, RemoteAndLocalDatesAreRedWhenTheyNeedPublishing) {
  Render();
  int row = RowOf("index.html");
  EXPECT_EQ(Count(Cell(row, 3), RGB(255, 0, 0)), 0);
  index->needsRemote = TRUE;
  Render();
  EXPECT_GT(Count(Cell(row, 3), RGB(255, 0, 0)), 20);
  EXPECT_EQ(Count(Cell(row, 4), RGB(255, 0, 0)), 0);  // a blank local date
  index->local = 0;
  index->needsLocal = TRUE;
  ResetDateColumns();
  Render();
  EXPECT_GT(Count(Cell(row, 4), RGB(255, 0, 0)), 20);
  EXPECT_EQ(Count(Cell(row, 0), RGB(255, 0, 0)), 0);
}

TEST_F(PaintTest, TextsStartTwoPixelsInAndLongOnesAreShortenedToFitTheirCells) {
  view->RenameNode(index->node, CString("a-very-long-file-name-that-cannot-fit-the-column.html"));
  List().SetColumnWidth(0, 90);
  Render();
  int row = RowOf("a-very-long-file-name-that-cannot-fit-the-column.html");
  RECT name = Cell(row, 0);
  RECT type = Cell(row, 1);
  // Text inside the name cell, after the icon and two pixels, and none in the last two
  // pixels: the name was shortened, not only clipped.
  EXPECT_GT(Count(RECT{name.left + 16, name.top, name.right, name.bottom}, RGB(0, 0, 0)), 30);
  EXPECT_EQ(Count(RECT{name.left + 16, name.top, name.left + 18, name.bottom}, RGB(0, 0, 0)), 0);
  EXPECT_EQ(Count(RECT{name.right - 2, name.top, name.right, name.bottom}, RGB(0, 0, 0)), 0);
  EXPECT_EQ(Count(RECT{type.left, type.top, type.left + 2, type.bottom}, RGB(0, 0, 0)), 0);
  EXPECT_EQ(Count(RECT{type.left, type.top, type.right, type.top + 1}, RGB(0, 0, 0)),
            0);  // one pixel down
  EXPECT_GT(Count(type, RGB(0, 0, 0)), 10);
}

TEST_F(PaintTest, SelectedRowsAreHighlightedOnlyWhileTheListHasTheFocus) {
  int row = RowOf("index.html");
  List().SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  Tree().SetFocus();
  Render();
  RECT attrs = Cell(row, 2);
  EXPECT_EQ(Count(attrs, GetSysColor(COLOR_HIGHLIGHT)), 0);
  List().SetFocus();
  Render();
  EXPECT_GT(Count(attrs, GetSysColor(COLOR_HIGHLIGHT)), (attrs.right - attrs.left) * 14);
  EXPECT_GT(Count(Cell(row, 0), GetSysColor(COLOR_HIGHLIGHTTEXT)), 10);  // the name in white
}

TEST_F(PaintTest, CutRowsHaveDimmedIcons) {
  int row = RowOf("index.html");
  Render();
  EXPECT_EQ(dc->GetPixel(ListLeft() + 8, RowTop(row) + 8), RGB(0, 0, 255));
  List().SetFocus();
  SelectRows({"index.html"});
  OutfoldCut();
  List().SetItemState(row, 0, LVIS_SELECTED | LVIS_FOCUSED);
  Render();
  COLORREF dim = dc->GetPixel(ListLeft() + 8, RowTop(row) + 8);
  EXPECT_NE(dim, RGB(0, 0, 255));
  EXPECT_GT(dim & 0xFF, 100u);  // red rose towards the white behind it
  EXPECT_EQ((dim >> 16) & 0xFF, 255u);
}

}  // namespace
}  // namespace outfold_test
