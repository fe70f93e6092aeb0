// The report list: rows and columns, selection by mouse with Ctrl and Shift, the header's
// tracking and caption clicks reaching the parent, owner drawing of the visible rows, hit tests
// and paging, sorting and label editing.
#include "platform/user/list_ctrl.h"

#include <gtest/gtest.h>

#include "platform/user/commctrl.h"
#include "platform/user/desktop.h"
#include "platform/user/gdi.h"
#include "platform/user/mouse.h"

using halyard::user::Desktop;

namespace {

class Parent : public CWnd {
 public:
  std::vector<UINT> codes;
  std::vector<int> drawn;
  int clickedColumn = -1;
  int trackWidth = -1;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_NOTIFY) {
      auto* hdr = reinterpret_cast<NMHDR*>(l);
      codes.push_back(hdr->code);
      if (hdr->code == LVN_COLUMNCLICK) clickedColumn = reinterpret_cast<NMLISTVIEW*>(l)->iSubItem;
      if (hdr->code == HDN_TRACK) trackWidth = reinterpret_cast<NMHEADER*>(l)->pitem->cxy;
      if (hdr->code == LVN_ENDLABELEDIT) return TRUE;
      return 0;
    }
    if (msg == WM_DRAWITEM) {
      auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(l);
      drawn.push_back(static_cast<int>(di->itemID));
      di->hDC->FillSolidRect(di->rcItem, RGB(0, 0, 200));
      return TRUE;
    }
    return DefWindowProc(msg, w, l);
  }
  int Count(UINT code) const {
    return static_cast<int>(std::count(codes.begin(), codes.end(), code));
  }
};

class ListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Desktop::Reset();
    halyard::user::Mouse::Reset();
    ASSERT_TRUE(parent.Create("", WS_VISIBLE, RECT{0, 0, 400, 300}, nullptr, 0));
    ASSERT_TRUE(list.Create("", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_EDITLABELS,
                            RECT{0, 0, 300, 20 + 17 * 5 + 3}, &parent, 2));
    list.InsertColumn(0, "Name", LVCFMT_LEFT, 100);
    list.InsertColumn(1, "Type", LVCFMT_LEFT, 80);
    for (int i = 0; i < 10; ++i) {
      int row = list.InsertItem(i, ("row" + std::to_string(i)).c_str());
      list.SetItemText(row, 1, ("t" + std::to_string(9 - i)).c_str());
      list.SetItemData(row, static_cast<DWORD_PTR>(9 - i));
    }
  }
  POINT RowPoint(int row) { return POINT{30, 20 + row * 17 + 5}; }
  void Click(int row, UINT msg = WM_LBUTTONDOWN) {
    POINT p = RowPoint(row);
    list.SendMessage(msg, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    if (msg == WM_LBUTTONDOWN) list.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
  }
  Parent parent;
  CListCtrl list;
};

TEST_F(ListTest, RowsColumnsAndOutOfRangeRequests) {
  EXPECT_EQ(list.GetItemCount(), 10);
  EXPECT_EQ(list.GetItemText(3, 1), "t6");
  EXPECT_EQ(list.GetItemText(3, 7), "");
  EXPECT_FALSE(list.SetItemText(3, 2, "x"));
  EXPECT_FALSE(list.SetItemText(30, 0, "x"));
  EXPECT_FALSE(list.DeleteItem(-1));
  EXPECT_EQ(list.GetCountPerPage(), 5);
  EXPECT_EQ(list.GetTopIndex(), 0);
  ASSERT_TRUE(list.EnsureVisible(8, FALSE));
  EXPECT_EQ(list.GetTopIndex(), 4);
  EXPECT_EQ(list.HitTest(POINT{30, 25}), 4);
  EXPECT_EQ(list.HitTest(POINT{250, 25}), -1);  // right of the columns
  EXPECT_EQ(list.HitTest(POINT{30, 5}), -1);    // on the header
}

TEST_F(ListTest, ClicksSelectWithControlTogglingAndShiftExtending) {
  Click(1);
  EXPECT_EQ(list.GetSelectedCount(), 1u);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_FOCUSED), 1);
  Desktop::SetKeyDown(VK_CONTROL, true);
  Click(3);
  Desktop::SetKeyDown(VK_CONTROL, false);
  EXPECT_EQ(list.GetSelectedCount(), 2u);
  Desktop::SetKeyDown(VK_SHIFT, true);
  Click(4);
  Desktop::SetKeyDown(VK_SHIFT, false);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 3);
  EXPECT_EQ(list.GetNextItem(3, LVNI_SELECTED), 4);
  EXPECT_EQ(list.GetNextItem(4, LVNI_SELECTED), -1);
  list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON,
                   MAKELPARAM(30, 20 + 17 * 5 + 1));  // below the rows? no: row 5
  list.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(30, 20 + 17 * 5 + 1));
  EXPECT_EQ(list.GetSelectedCount(), 1u);
  list.SendMessage(WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 6);
}

TEST_F(ListTest, PressingOnASelectedRowKeepsSeveralForTheDrag) {
  Click(1);
  Desktop::SetKeyDown(VK_CONTROL, true);
  Click(2);
  Desktop::SetKeyDown(VK_CONTROL, false);
  POINT p = RowPoint(2);
  list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
  list.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x + 10, p.y));
  EXPECT_EQ(parent.Count(LVN_BEGINDRAG), 1);
  EXPECT_EQ(list.GetSelectedCount(), 2u);
}

TEST_F(ListTest, HeaderTrackingAndCaptionClicksReachTheParent) {
  CHeaderCtrl* header = list.GetHeaderCtrl();
  ASSERT_NE(header, nullptr);
  header->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(99, 5));  // divider of column 0
  EXPECT_EQ(parent.Count(HDN_BEGINTRACK), 1);
  EXPECT_EQ(GetCapture(), header->m_hWnd);
  header->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(129, 5));
  header->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(139, 5));
  EXPECT_EQ(parent.Count(HDN_TRACK), 2);
  EXPECT_EQ(parent.trackWidth, 140);
  header->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(139, 5));
  EXPECT_EQ(parent.Count(HDN_ENDTRACK), 1);
  EXPECT_EQ(list.GetColumnWidth(0), 140);
  EXPECT_EQ(GetCapture(), nullptr);
  header->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(180, 5));
  header->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(180, 5));
  EXPECT_EQ(parent.clickedColumn, 1);
}

int CompareData(LPARAM a, LPARAM b, LPARAM) { return static_cast<int>(a - b); }

TEST_F(ListTest, SortItemsReordersByTheComparison) {
  ASSERT_TRUE(list.SortItems(CompareData, 0));
  EXPECT_EQ(list.GetItemText(0, 0), "row9");
  EXPECT_EQ(list.GetItemText(9, 0), "row0");
  EXPECT_FALSE(list.SortItems(nullptr, 0));
}

TEST_F(ListTest, OwnerDrawnListAsksTheParentForEachVisibleRow) {
  list.ModifyStyle(0, LVS_OWNERDRAWFIXED);
  list.EnsureVisible(6, FALSE);
  CDC dc(300, 200);
  halyard::user::Painter::PaintWindow(&list, dc);
  EXPECT_EQ(parent.drawn, (std::vector<int>{2, 3, 4, 5, 6, 7}));  // five and a part
  EXPECT_EQ(dc.GetPixel(5, 20 + 3), RGB(0, 0, 200));
  EXPECT_EQ(dc.GetPixel(185, 25), RGB(255, 255, 255));       // right of the columns
  EXPECT_EQ(dc.GetPixel(5, 5), GetSysColor(COLOR_BTNFACE));  // the header
}

TEST_F(ListTest, LabelEditSetsTheTextAndSurvivesTheRowGoing) {
  CEdit* edit = list.EditLabel(2);
  ASSERT_NE(edit, nullptr);
  edit->SendMessage(WM_CHAR, 'x', 0);
  edit->SendMessage(WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(list.GetItemText(2, 0), "x");
  ASSERT_NE(list.EditLabel(3), nullptr);
  list.DeleteAllItems();  // cancels the edit
  EXPECT_EQ(list.GetEditControl(), nullptr);
  EXPECT_EQ(list.EditLabel(0), nullptr);
}

}  // namespace
