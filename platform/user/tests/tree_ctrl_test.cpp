// The tree view: items and their order, stale handles, hit tests, selection and drag through
// mouse messages, label editing with Enter and Escape, and what the parent hears of it.
#include "platform/user/tree_ctrl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/kernel/text.h"
#include "platform/user/commctrl.h"
#include "platform/user/desktop.h"
#include "platform/user/gdi.h"
#include "platform/user/image_list.h"

namespace {

class Parent : public CWnd {
 public:
  std::vector<UINT> codes;
  std::string endText;
  bool endCancelled = false;
  LRESULT acceptLabel = TRUE;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == WM_NOTIFY) {
      auto* hdr = reinterpret_cast<NMHDR*>(l);
      codes.push_back(hdr->code);
      if (hdr->code == TVN_ENDLABELEDIT) {
        auto* di = reinterpret_cast<NMTVDISPINFO*>(l);
        endCancelled = di->item.pszText == nullptr;
        endText = di->item.pszText ? di->item.pszText : "";
        return acceptLabel;
      }
      return 0;
    }
    return DefWindowProc(msg, w, l);
  }
  bool Heard(UINT code) const { return std::find(codes.begin(), codes.end(), code) != codes.end(); }
};

class TreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    halyard::user::Desktop::Reset();
    ASSERT_TRUE(parent.Create("", WS_VISIBLE, RECT{0, 0, 300, 300}, nullptr, 0));
    ASSERT_TRUE(tree.Create("",
                            WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES |
                                TVS_LINESATROOT | TVS_EDITLABELS | TVS_SHOWSELALWAYS,
                            RECT{0, 0, 200, 200}, &parent, 1));
  }
  Parent parent;
  CTreeCtrl tree;
};

TEST_F(TreeTest, ItemsKeepTheirOrderAndSortWithoutCase) {
  HTREEITEM root = tree.InsertItem("root", 0, 0);
  HTREEITEM b = tree.InsertItem("beta", 0, 0, root);
  HTREEITEM a = tree.InsertItem("Alpha", 0, 0, root);
  HTREEITEM c = tree.InsertItem("gamma", 0, 0, root, TVI_FIRST);
  EXPECT_EQ(tree.GetChildItem(root), c);
  EXPECT_EQ(tree.GetNextSiblingItem(c), b);
  ASSERT_TRUE(tree.SortChildren(root));
  EXPECT_EQ(tree.GetChildItem(root), a);
  EXPECT_EQ(tree.GetNextSiblingItem(a), b);
  EXPECT_EQ(tree.GetNextSiblingItem(b), c);
  EXPECT_EQ(tree.GetParentItem(a), root);
  EXPECT_EQ(tree.GetParentItem(root), nullptr);
  HTREEITEM sorted = tree.InsertItem("alzo", 0, 0, root, TVI_SORT);
  EXPECT_EQ(tree.GetNextSiblingItem(a), sorted);
  EXPECT_EQ(tree.GetCount(), 5u);
}

// Sorted insertion goes before the first sibling that sorts after the new item, whatever else
// was done to the siblings before: inserted at either end, renamed, sorted, deleted. Checked
// against a plain list after every step of a long mixed sequence.
TEST_F(TreeTest, SortedInsertionKeepsItsPlaceThroughMixedChanges) {
  HTREEITEM root = tree.InsertItem("root", 0, 0);
  std::vector<std::pair<std::string, HTREEITEM>> model;
  auto sortsBefore = [](const std::string& a, const std::string& b) {
    return halyard::CompareNoCaseAscii(a, b) < 0;
  };
  unsigned seed = 12345;
  auto next = [&](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  const char* stems[] = {"Page", "page", "Folder", "folder", "a", "B", "z"};
  for (int step = 0; step < 600; ++step) {
    std::string name = std::string(stems[next(7)]) + std::to_string(next(40));
    unsigned what = next(20);
    if (what < 13 || model.empty()) {
      HTREEITEM h = tree.InsertItem(name.c_str(), 0, 0, root, TVI_SORT);
      auto at = std::find_if(model.begin(), model.end(),
                             [&](const auto& o) { return sortsBefore(name, o.first); });
      model.insert(at, {name, h});
    } else if (what < 15) {
      model.push_back({name, tree.InsertItem(name.c_str(), 0, 0, root, TVI_LAST)});
    } else if (what < 16) {
      model.insert(model.begin(), {name, tree.InsertItem(name.c_str(), 0, 0, root, TVI_FIRST)});
    } else if (what < 18) {
      auto& o = model[next(static_cast<unsigned>(model.size()))];
      ASSERT_TRUE(tree.SetItemText(o.second, name.c_str()));
      o.first = name;
    } else if (what < 19) {
      ASSERT_TRUE(tree.SortChildren(root));
      std::stable_sort(model.begin(), model.end(),
                       [&](const auto& a, const auto& b) { return sortsBefore(a.first, b.first); });
    } else {
      size_t i = next(static_cast<unsigned>(model.size()));
      ASSERT_TRUE(tree.DeleteItem(model[i].second));
      model.erase(model.begin() + static_cast<std::ptrdiff_t>(i));
    }
    HTREEITEM h = tree.GetChildItem(root);
    for (size_t i = 0; i < model.size(); ++i, h = tree.GetNextSiblingItem(h))
      ASSERT_EQ(h, model[i].second) << "step " << step << ", place " << i;
    ASSERT_EQ(h, nullptr);
  }
}

TEST_F(TreeTest, DeletedHandlesAreRefusedNotFollowed) {
  HTREEITEM root = tree.InsertItem("root", 0, 0);
  HTREEITEM kid = tree.InsertItem("kid", 0, 0, root);
  tree.SelectItem(kid);
  ASSERT_TRUE(tree.DeleteItem(root));
  EXPECT_FALSE(tree.IsItem(kid));
  EXPECT_EQ(tree.GetSelectedItem(), nullptr);
  EXPECT_FALSE(tree.SetItemText(kid, "x"));
  EXPECT_EQ(tree.GetItemText(kid), "");
  EXPECT_EQ(tree.InsertItem("orphan", 0, 0, kid), nullptr);
  EXPECT_FALSE(tree.SelectItem(kid));
  EXPECT_EQ(tree.GetCount(), 0u);
}

TEST_F(TreeTest, StateImageOverlayAndCutBitsAreKeptApartFromSelection) {
  HTREEITEM a = tree.InsertItem("a", 0, 0);
  tree.SetItemState(a, INDEXTOSTATEIMAGEMASK(2) | TVIS_CUT, TVIS_STATEIMAGEMASK | TVIS_CUT);
  EXPECT_EQ(tree.GetItemState(a, TVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
  EXPECT_EQ(tree.GetItemState(a, TVIS_SELECTED), 0u);
  tree.SetItemState(a, TVIS_SELECTED, TVIS_SELECTED);  // selection goes through Select only
  EXPECT_EQ(tree.GetSelectedItem(), nullptr);
  tree.SelectItem(a);
  EXPECT_EQ(tree.GetItemState(a, TVIS_SELECTED | TVIS_CUT), TVIS_SELECTED | TVIS_CUT);
}

TEST_F(TreeTest, MouseSelectsHitsTheButtonAndStartsADragPastFourPixels) {
  HTREEITEM root = tree.InsertItem("root", 0, 0);
  HTREEITEM kid = tree.InsertItem("kid", 0, 0, root);
  // Row 0 is root; its button lies in the first indent column.
  UINT flags = 0;
  EXPECT_EQ(tree.HitTest(POINT{5, 5}, &flags), root);
  EXPECT_EQ(flags, TVHT_ONITEMBUTTON);
  tree.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_TRUE(tree.GetItemState(root, TVIS_EXPANDED));
  RECT label;
  ASSERT_TRUE(tree.GetItemRect(kid, &label, TRUE));
  EXPECT_EQ(label.top, CTreeCtrl::kRowHeight);
  EXPECT_EQ(tree.HitTest(POINT{label.left + 2, label.top + 2}, &flags), kid);
  EXPECT_EQ(flags, TVHT_ONITEMLABEL);
  EXPECT_EQ(tree.HitTest(POINT{label.left + 2, 150}, &flags), nullptr);
  EXPECT_EQ(flags, TVHT_NOWHERE);
  parent.codes.clear();
  tree.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(label.left + 2, label.top + 2));
  EXPECT_EQ(tree.GetSelectedItem(), kid);
  EXPECT_TRUE(parent.Heard(TVN_SELCHANGED));
  tree.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(label.left + 4, label.top + 2));
  EXPECT_FALSE(parent.Heard(TVN_BEGINDRAG));
  tree.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(label.left + 12, label.top + 2));
  EXPECT_TRUE(parent.Heard(TVN_BEGINDRAG));
  tree.SendMessage(WM_KEYDOWN, VK_UP, 0);
  EXPECT_EQ(tree.GetSelectedItem(), root);
  tree.SendMessage(WM_KEYDOWN, VK_LEFT, 0);
  EXPECT_FALSE(tree.GetItemState(root, TVIS_EXPANDED));
}

TEST_F(TreeTest, LabelEditEndsWithEnterAcceptedOrEscapeCancelled) {
  HTREEITEM a = tree.InsertItem("old", 0, 0);
  tree.SelectItem(a);
  tree.SetFocus();
  tree.SendMessage(WM_KEYDOWN, VK_F2, 0);
  CEdit* edit = tree.GetEditControl();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(CWnd::GetFocus(), edit);
  for (char c : std::string("new"))
    edit->SendMessage(WM_CHAR, static_cast<WPARAM>(c), 0);  // replaces all
  edit->SendMessage(WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(tree.GetEditControl(), nullptr);
  EXPECT_EQ(parent.endText, "new");
  EXPECT_EQ(tree.GetItemText(a), "new");
  EXPECT_EQ(CWnd::GetFocus(), &tree);
  edit = tree.EditLabel(a);
  ASSERT_NE(edit, nullptr);
  edit->SendMessage(WM_CHAR, 'z', 0);
  edit->SendMessage(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(parent.endCancelled);
  EXPECT_EQ(tree.GetItemText(a), "new");
  parent.acceptLabel = FALSE;  // the parent refuses the new text
  edit = tree.EditLabel(a);
  edit->SendMessage(WM_CHAR, 'q', 0);
  edit->SendMessage(WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(tree.GetItemText(a), "new");
}

TEST_F(TreeTest, PaintingHighlightsTheSelectionAndDrawsTheStateImage) {
  CImageList images, states;
  ASSERT_TRUE(images.Create(16, 16, ILC_COLOR24 | ILC_MASK, 1, 1));
  ASSERT_TRUE(states.Create(16, 16, ILC_COLOR24 | ILC_MASK, 1, 1));
  HBITMAP bm = CreateFilledBitmap(48, 16, RGB(0, 200, 0));
  images.Add(bm, RGB(255, 0, 255));
  states.Add(bm, RGB(255, 0, 255));
  DeleteObject(bm);
  tree.SetImageList(&images, TVSIL_NORMAL);
  tree.SetImageList(&states, TVSIL_STATE);
  HTREEITEM a = tree.InsertItem("folder", 0, 0);
  tree.SetItemState(a, INDEXTOSTATEIMAGEMASK(1), TVIS_STATEIMAGEMASK);
  tree.SelectItem(a);
  tree.SetFocus();
  CDC dc(200, 200);
  halyard::user::Painter::PaintWindow(&tree, dc);
  RECT label;
  tree.GetItemRect(a, &label, TRUE);
  EXPECT_EQ(label.left, 19 + 16 + 16 + 3);
  EXPECT_EQ(dc.GetPixel(label.left + 1, label.top + 3), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(dc.GetPixel(19 + 2, 2), RGB(0, 200, 0));       // state image
  EXPECT_EQ(dc.GetPixel(19 + 16 + 2, 2), RGB(0, 200, 0));  // icon
  EXPECT_EQ(dc.GetPixel(150, 100), RGB(255, 255, 255));
}

}  // namespace
