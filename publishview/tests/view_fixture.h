// The view in a frame window over a small memory host, with the registry in a scratch folder:
//   Site / Alpha / Inner / Deep, Alpha / page.html, beta, Gamma / a.html b.html, index.html
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "memory_host.h"
#include "platform/kernel/testing/scratch_dir.h"
#include "platform/user/desktop.h"
#include "platform/user/menu.h"
#include "platform/user/mouse.h"
#include "publishview/outfold.h"

namespace outfold_test {

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("HALYARD_REGISTRY", registry.path().c_str(), 1);
    halyard::user::Desktop::Reset();
    halyard::user::Mouse::Reset();
    halyard::user::MenuTracker::Reset();
    ASSERT_TRUE(frame.Create("frame", WS_VISIBLE, RECT{0, 0, 800, 600}, nullptr, 0));
    view = CreateView(frame.m_hWnd);
    ASSERT_NE(view, nullptr);
    view->MoveWindow(RECT{0, 0, 800, 600});
    site = host.Make("Site");
    site->canCut = FALSE;
    AddRoot(view, site);
    alpha = host.Add(site, "Alpha");
    inner = host.Add(alpha, "Inner");
    deep = host.Add(inner, "Deep");
    page = host.Add(alpha, "page.html", true);
    beta = host.Add(site, "beta");
    gamma = host.Add(site, "Gamma");
    a = host.Add(gamma, "a.html", true);
    b = host.Add(gamma, "b.html", true);
    index = host.Add(site, "index.html", true);
    FinishExpand(nullptr, 0);
  }
  void TearDown() override {
    DestroyView(GetView());
    halyard::user::MenuTracker::Reset();
  }

  CTreeCtrl& Tree() { return view->Tree(); }
  CListCtrl& List() { return view->List(); }
  // The names of the list's rows, in order.
  std::vector<std::string> Rows() {
    std::vector<std::string> out;
    for (int i = 0; i < List().GetItemCount(); ++i) out.push_back(List().GetItemText(i, 0));
    return out;
  }
  // The names of a folder's rows in the tree, in order.
  std::vector<std::string> TreeKids(MemoryObject* o) {
    std::vector<std::string> out;
    for (HTREEITEM h = Tree().GetChildItem(o->node->m_hItem); h; h = Tree().GetNextSiblingItem(h))
      out.push_back(Tree().GetItemText(h));
    return out;
  }
  std::vector<std::string> NodeKids(MemoryObject* o) {
    std::vector<std::string> out;
    for (CTreeNode* c = o->node->m_pFirstChild; c; c = c->m_pNext)
      out.push_back(static_cast<MemoryObject*>(c->m_pObject)->name);
    return out;
  }
  void Select(MemoryObject* o) { ASSERT_TRUE(view->SelectFolder(o->node)); }
  int RowOf(const std::string& name) {
    for (int i = 0; i < List().GetItemCount(); ++i)
      if (List().GetItemText(i, 0) == name) return i;
    return -1;
  }
  void SelectRows(std::initializer_list<std::string> names) {
    List().SetItemState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (const auto& n : names)
      List().SetItemState(RowOf(n), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
  // Screen points of a tree folder's label and of a list row.
  POINT TreePoint(MemoryObject* o) {
    RECT r;
    EXPECT_TRUE(Tree().GetItemRect(o->node->m_hItem, &r, TRUE));
    POINT p{r.left + 3, r.top + 5};
    ClientToScreen(Tree().m_hWnd, &p);
    return p;
  }
  POINT ListPoint(int row) {
    POINT p{40, 20 + row * 17 + 5};
    ClientToScreen(List().m_hWnd, &p);
    return p;
  }
  LRESULT Mouse(UINT msg, POINT p, WPARAM keys = 0) {
    return halyard::user::Mouse::Send(&frame, msg, p, keys);
  }
  void Drag(POINT from, POINT to) {
    Mouse(WM_LBUTTONDOWN, from, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, POINT{from.x + 6, from.y + 3}, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, to, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, to);
  }

  halyard::testing::ScratchDir registry{"outfold-registry"};
  CWnd frame;
  CPageWnd* view = nullptr;
  MemoryHost host;
  MemoryObject *site, *alpha, *inner, *deep, *page, *beta, *gamma, *a, *b, *index;
};

}  // namespace outfold_test
