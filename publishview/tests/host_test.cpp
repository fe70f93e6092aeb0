// Outfold as the design tool uses it: liboutfold.so and the platform runtime only, a view made
// in the tool's window, roots added, and the exported functions driving it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "memory_host.h"
#include "platform/kernel/testing/scratch_dir.h"
#include "publishview/outfold.h"

namespace outfold_test {
namespace {

TEST(OutfoldHost, TheToolMakesAViewAddsItsRootAndDrivesIt) {
  halyard::testing::ScratchDir registry("outfold-registry");
  ::setenv("HALYARD_REGISTRY", registry.path().c_str(), 1);
  CWnd frame;
  ASSERT_TRUE(frame.Create("tool", WS_VISIBLE, RECT{0, 0, 640, 480}, nullptr, 0));
  EXPECT_EQ(canundo(), 0);  // no view yet
  CPageWnd* view = CreateView(frame.m_hWnd);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->GetDlgCtrlID(), CPageWnd::kViewId);
  EXPECT_EQ(CreateView(frame.m_hWnd), view);
  MemoryHost host;
  MemoryObject* site = host.Make("Site");
  CTreeNode* root = AddRoot(view, site);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(site->GetNode(), root);
  MemoryObject* docs = host.Add(site, "docs");
  host.Add(site, "pics");
  FinishExpand(nullptr, 0);
  EXPECT_EQ(FindRoot(CString("Site")), site);
  EXPECT_EQ(CanAddNewFolder(), 1);
  AddNewFolder();
  EXPECT_EQ(canundo(), kChangeNewFolder);
  undo();
  EXPECT_EQ(canredo(), 1);
  redo();
  ChangeIterator* it = nullptr;
  ChangeRecord* last = GetPreviousChange(it);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->m_nKind, kChangeNewFolder);
  EXPECT_EQ(GetPreviousChange(it), nullptr);
  EXPECT_EQ(it, nullptr);
  EXPECT_EQ(docs->GetNode()->m_pParent, root);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  DestroyView(view);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  EXPECT_EQ(site->GetNode(), nullptr);
  EXPECT_EQ(CanShowProperties(), 0);
}

}  // namespace
}  // namespace outfold_test
