// The view driven as a user drives it: drag and drop in tree and list through mouse messages,
// the context menus, keys, the splitter and the column dividers.
#include <gtest/gtest.h>

#include "view_fixture.h"

using halyard::user::MenuTracker;
using halyard::user::TrackedMenu;

namespace outfold_test {
namespace {

bool Enabled(const TrackedMenu& m, UINT id) {
  for (const auto& e : m.entries)
    if (e.id == id) return e.enabled;
  return false;
}
bool Present(const TrackedMenu& m, UINT id) {
  for (const auto& e : m.entries)
    if (e.id == id) return true;
  return false;
}

TEST_F(ViewTest, TreeDragMovesAFolderOntoAnotherWithTheArrowCursor) {
  POINT from = TreePoint(gamma);
  POINT to = TreePoint(beta);
  Mouse(WM_LBUTTONDOWN, from, MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, POINT{from.x + 8, from.y}, MK_LBUTTON);
  ASSERT_TRUE(view->IsDragging());
  EXPECT_EQ(GetCapture(), view->m_hWnd);
  EXPECT_TRUE(CImageList::GetDragState().dragging);
  Mouse(WM_MOUSEMOVE, TreePoint(alpha), MK_LBUTTON);
  EXPECT_EQ(CursorId(GetCursor()), IDC_ARROW);
  EXPECT_EQ(Tree().GetSelectedItem(), alpha->node->m_hItem);  // the selection follows
  Mouse(WM_MOUSEMOVE, TreePoint(site), MK_LBUTTON);           // its own parent
  EXPECT_EQ(CursorId(GetCursor()), IDC_NO);
  Mouse(WM_MOUSEMOVE, to, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, to);
  EXPECT_FALSE(view->IsDragging());
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(CImageList::GetDragState().dragging);
  EXPECT_EQ(gamma->node->m_pParent, beta->node);
  EXPECT_EQ(canundo(), kChangeMove);
  EXPECT_EQ(Rows(), std::vector<std::string>{"Gamma"});
}

TEST_F(ViewTest, TreeDropOnAnInvalidPlaceSelectsTheDraggedFolderAgain) {
  POINT from = TreePoint(alpha);
  Mouse(WM_LBUTTONDOWN, from, MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, POINT{from.x + 8, from.y}, MK_LBUTTON);
  POINT to = TreePoint(site);
  Mouse(WM_MOUSEMOVE, to, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, to);
  EXPECT_EQ(alpha->node->m_pParent, site->node);
  EXPECT_EQ(view->Changes().Count(), 0);
  EXPECT_EQ(Tree().GetSelectedItem(), alpha->node->m_hItem);
}

TEST_F(ViewTest, AFolderThatMayNotMoveIsNotDragged) {
  alpha->canCut = FALSE;
  POINT from = TreePoint(alpha);
  Mouse(WM_LBUTTONDOWN, from, MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, POINT{from.x + 8, from.y}, MK_LBUTTON);
  EXPECT_FALSE(view->IsDragging());
  Mouse(WM_LBUTTONUP, TreePoint(beta));
  EXPECT_EQ(alpha->node->m_pParent, site->node);
}

TEST_F(ViewTest, ListDragOfSeveralRowsOntoAListFolderMovesThemAsOneChange) {
  Select(site);
  List().SetFocus();
  halyard::user::Desktop::SetKeyDown(VK_CONTROL, true);
  Mouse(WM_LBUTTONDOWN, ListPoint(RowOf("beta")), MK_LBUTTON);
  Mouse(WM_LBUTTONUP, ListPoint(RowOf("beta")));
  Mouse(WM_LBUTTONDOWN, ListPoint(RowOf("index.html")), MK_LBUTTON);
  Mouse(WM_LBUTTONUP, ListPoint(RowOf("index.html")));
  halyard::user::Desktop::SetKeyDown(VK_CONTROL, false);
  ASSERT_EQ(List().GetSelectedCount(), 2u);
  CDC screen(800, 600);
  view->AttachScreen(&screen, POINT{0, 0});
  POINT from = ListPoint(RowOf("index.html"));
  Mouse(WM_LBUTTONDOWN, from, MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, POINT{from.x + 8, from.y}, MK_LBUTTON);
  ASSERT_TRUE(view->IsDragging());
  EXPECT_FALSE(CImageList::GetDragState().dragging);  // several rows: outlines, no image
  int dark = 0;
  for (int x = 166; x < 800; ++x)
    dark += screen.GetPixel(x, 20 + RowOf("beta") * 17) == RGB(0, 0, 0);
  EXPECT_GT(dark, 100);  // the top of the outline: a dotted line
  POINT to = ListPoint(RowOf("Gamma"));
  Mouse(WM_MOUSEMOVE, to, MK_LBUTTON);
  EXPECT_EQ(CursorId(GetCursor()), IDC_ARROW);
  Mouse(WM_LBUTTONUP, to);
  view->AttachScreen(nullptr, POINT{0, 0});
  EXPECT_EQ(beta->node->m_pParent, gamma->node);
  EXPECT_EQ(index->node->m_pParent, gamma->node);
  EXPECT_EQ(Tree().GetSelectedItem(), site->node->m_hItem);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"Alpha", "Gamma"}));
  undo();
  // Back under the root (after its other folders: folders keep their order among themselves).
  EXPECT_EQ(Rows(), (std::vector<std::string>{"Alpha", "Gamma", "beta", "index.html"}));
  // The outlines were taken away again.
  int white = 0;
  for (int x = 166; x < 800; ++x) white += screen.GetPixel(x, 20 + 1 * 17) == RGB(255, 255, 255);
  EXPECT_EQ(white, 800 - 166);
}

TEST_F(ViewTest, ListDragOntoATreeFolderAndARowThatMayNotMove) {
  Select(gamma);
  List().SetFocus();
  Mouse(WM_LBUTTONDOWN, ListPoint(RowOf("a.html")), MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, POINT{ListPoint(0).x + 8, ListPoint(0).y}, MK_LBUTTON);
  ASSERT_TRUE(view->IsDragging());
  EXPECT_TRUE(CImageList::GetDragState().dragging);  // one row: the drag image
  POINT to = TreePoint(beta);
  Mouse(WM_MOUSEMOVE, to, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, to);
  EXPECT_EQ(a->node->m_pParent, beta->node);
  EXPECT_EQ(Tree().GetSelectedItem(), gamma->node->m_hItem);  // back where the drag began
  EXPECT_EQ(Rows(), std::vector<std::string>{"b.html"});
  b->canCut = FALSE;
  Mouse(WM_LBUTTONDOWN, ListPoint(0), MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, POINT{ListPoint(0).x + 8, ListPoint(0).y}, MK_LBUTTON);
  EXPECT_FALSE(view->IsDragging());
  Mouse(WM_LBUTTONUP, ListPoint(0));
}

TEST_F(ViewTest, TreeContextMenuOffersWhatTheFolderAllowsAndRunsTheChoice) {
  std::vector<UINT> choices{ID_OUTFOLD_CUT};
  MenuTracker::SetChooser([&](const TrackedMenu&) {
    UINT c = choices.front();
    choices.erase(choices.begin());
    return c;
  });
  POINT p = TreePoint(gamma);
  Mouse(WM_RBUTTONDOWN, p, MK_RBUTTON);
  Mouse(WM_RBUTTONUP, p);
  ASSERT_EQ(MenuTracker::Tracked().size(), 1u);
  const TrackedMenu& m = MenuTracker::Tracked()[0];
  EXPECT_TRUE(Enabled(m, ID_OUTFOLD_CUT));
  EXPECT_FALSE(Enabled(m, ID_OUTFOLD_PASTE));  // nothing cut yet
  EXPECT_TRUE(Enabled(m, ID_OUTFOLD_NEWFOLDER));
  EXPECT_FALSE(Present(m, ID_OUTFOLD_DELETE));  // it has children
  EXPECT_EQ(Tree().GetSelectedItem(), gamma->node->m_hItem);
  EXPECT_EQ(view->CutCount(), 1);
  EXPECT_EQ(Tree().GetItemState(gamma->node->m_hItem, TVIS_CUT), TVIS_CUT);
  choices = {ID_OUTFOLD_PASTE};
  p = TreePoint(beta);
  Mouse(WM_RBUTTONDOWN, p, MK_RBUTTON);
  Mouse(WM_RBUTTONUP, p);
  const TrackedMenu& m2 = MenuTracker::Tracked()[1];
  EXPECT_TRUE(Enabled(m2, ID_OUTFOLD_PASTE));
  EXPECT_TRUE(Present(m2, ID_OUTFOLD_DELETE));  // beta is empty
  EXPECT_EQ(gamma->node->m_pParent, beta->node);
  EXPECT_EQ(view->CutCount(), 0);
}

TEST_F(ViewTest, ListContextMenuOnEmptySpaceOffersOnlyPaste) {
  MenuTracker::SetChooser([](const TrackedMenu&) { return 0u; });
  Select(gamma);
  POINT p = ListPoint(10);
  Mouse(WM_RBUTTONDOWN, p, MK_RBUTTON);
  Mouse(WM_RBUTTONUP, p);
  ASSERT_EQ(MenuTracker::Tracked().size(), 1u);
  const TrackedMenu& m = MenuTracker::Tracked()[0];
  EXPECT_FALSE(Enabled(m, ID_OUTFOLD_CUT));
  EXPECT_FALSE(Enabled(m, ID_OUTFOLD_NEWFOLDER));
  EXPECT_FALSE(Enabled(m, ID_OUTFOLD_RENAME));
  EXPECT_FALSE(Present(m, ID_OUTFOLD_DELETE));
  p = ListPoint(RowOf("a.html"));
  Mouse(WM_RBUTTONDOWN, p, MK_RBUTTON);
  Mouse(WM_RBUTTONUP, p);
  const TrackedMenu& m2 = MenuTracker::Tracked()[1];
  EXPECT_TRUE(Enabled(m2, ID_OUTFOLD_CUT));
  EXPECT_TRUE(Enabled(m2, ID_OUTFOLD_RENAME));
  EXPECT_EQ(List().GetNextItem(-1, LVNI_SELECTED), RowOf("a.html"));
}

TEST_F(ViewTest, ListFolderRowMenuPastesIntoThatFolder) {
  Select(gamma);
  List().SetFocus();
  SelectRows({"b.html"});
  OutfoldCut();
  Select(site);
  MenuTracker::SetChooser(
      [](const TrackedMenu& m) { return Enabled(m, ID_OUTFOLD_PASTE) ? ID_OUTFOLD_PASTE : 0u; });
  POINT p = ListPoint(RowOf("beta"));
  Mouse(WM_RBUTTONDOWN, p, MK_RBUTTON);
  Mouse(WM_RBUTTONUP, p);
  EXPECT_EQ(b->node->m_pParent, beta->node);
}

TEST_F(ViewTest, KeysTabDoubleClickAndLabelEditsGetWhatTheyNeed) {
  Select(site);
  List().SetFocus();
  List().SendMessage(WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(CWnd::GetFocus(), &Tree());
  POINT p = ListPoint(RowOf("Gamma"));
  Mouse(WM_LBUTTONDBLCLK, p, MK_LBUTTON);
  EXPECT_EQ(Tree().GetSelectedItem(), gamma->node->m_hItem);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"a.html", "b.html"}));
  // While a label is edited, the host's keys go to the edit.
  List().SetFocus();
  SelectRows({"a.html"});
  Rename();
  CEdit* edit = List().GetEditControl();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(PassOnDeleteKey(WM_KEYDOWN, VK_DELETE, 0), 1);
  EXPECT_EQ(edit->GetWindowText(), "");  // the selected text was deleted in the edit
  EXPECT_EQ(PassOnDeleteKey(WM_CHAR, 'q', 0), 1);
  EXPECT_EQ(PassOnDeleteKey(WM_KEYDOWN, VK_RETURN, 0), 1);
  EXPECT_EQ(a->name, "q");
  EXPECT_EQ(Rows(), (std::vector<std::string>{"q", "b.html"}));  // renamed in place
}

TEST_F(ViewTest, SplitterDragUsesTheSizingCursorAndAnXorLine) {
  int right = view->TreeRight();
  POINT gap{right + 4, 300};
  Mouse(WM_MOUSEMOVE, gap);
  EXPECT_EQ(CursorId(GetCursor()), IDC_SIZEWE);
  Mouse(WM_MOUSEMOVE, POINT{400, 300});
  EXPECT_EQ(CursorId(GetCursor()), IDC_ARROW);
  CDC screen(800, 600);
  screen.FillSolidRect(RECT{0, 0, 800, 600}, RGB(10, 20, 30));
  view->AttachScreen(&screen, POINT{0, 0});
  Mouse(WM_LBUTTONDOWN, gap, MK_LBUTTON);
  EXPECT_EQ(view->SplitterLineX(), right);
  EXPECT_EQ(screen.GetPixel(right, 100), RGB(10 ^ 0xC0, 20 ^ 0xC0, 30 ^ 0xC0));
  EXPECT_EQ(screen.GetPixel(right + 1, 100), RGB(10 ^ 0xC0, 20 ^ 0xC0, 30 ^ 0xC0));
  Mouse(WM_MOUSEMOVE, POINT{300, 300}, MK_LBUTTON);
  EXPECT_EQ(screen.GetPixel(right, 100), RGB(10, 20, 30));  // the old line erased
  EXPECT_EQ(screen.GetPixel(296, 100), RGB(10 ^ 0xC0, 20 ^ 0xC0, 30 ^ 0xC0));
  Mouse(WM_LBUTTONUP, POINT{300, 300});
  EXPECT_EQ(screen.GetPixel(296, 100), RGB(10, 20, 30));
  EXPECT_EQ(view->SplitterLineX(), -1);
  view->AttachScreen(nullptr, POINT{0, 0});
  // 100 * 296 / 792 = 37.4
  EXPECT_EQ(view->Ratio(), 37);
  RECT tree, list;
  Tree().GetWindowRect(&tree);
  List().GetWindowRect(&list);
  EXPECT_EQ(tree.right, 792 * 37 / 100);
  EXPECT_EQ(list.left, tree.right + 8);
  EXPECT_EQ(tree.top, CHeaderCtrl::kHeight - 1);
}

TEST_F(ViewTest, DraggingAColumnDividerRedrawsTheVisibleRowsEachTime) {
  CHeaderCtrl* header = List().GetHeaderCtrl();
  int w0 = List().GetColumnWidth(0);
  int before = List().RedrawCount();
  header->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(w0, 5));
  header->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(w0 + 10, 5));
  header->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(w0 + 20, 5));
  header->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(w0 + 20, 5));
  EXPECT_EQ(List().RedrawCount() - before, 2 * 4);  // four rows shown, two tracks
  EXPECT_EQ(List().GetColumnWidth(0), w0 + 20);
  // Drawing takes the width into the settings.
  CDC dc(800, 600);
  halyard::user::Painter::PaintWindow(view, dc);
  EXPECT_EQ(view->FieldWidth(0), w0 + 20);
}

}  // namespace
}  // namespace outfold_test
