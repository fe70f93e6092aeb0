// The sample host over a real folder: each operation of the view is checked on disk, and undo
// must put the disk back as it was; a disk that refuses leaves nothing half-changed.
#include "publishview/folder_host.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/user/desktop.h"
#include "platform/user/update_region.h"
#include "publishview/outfold.h"

using halyard::outfold::FolderHost;
using halyard::outfold::FolderObject;
using halyard::testing::ScratchDir;

namespace {

bool IsDir(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool IsFile(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

class FolderHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("HALYARD_REGISTRY", registry.path().c_str(), 1);
    halyard::user::Desktop::Reset();
    root = dir.Join("site");
    ::mkdir(root.c_str(), 0777);
    ::mkdir((root + "/docs").c_str(), 0777);
    ::mkdir((root + "/docs/old").c_str(), 0777);
    ::mkdir((root + "/images").c_str(), 0777);
    ::mkdir((root + "/empty").c_str(), 0777);
    ScratchDir::Write(root + "/index.html", "<html></html>");
    ScratchDir::Write(root + "/docs/a.html", "a");
    ScratchDir::Write(root + "/images/logo.gif", "GIF89a");
    ScratchDir::Write(root + ".outfold",
                      "# remote local flags path\n86400 -1 D images/logo.gif\n0 86400 - docs\n");
    ASSERT_TRUE(frame.Create("", WS_VISIBLE, RECT{0, 0, 800, 600}, nullptr, 0));
    view = CreateView(frame.m_hWnd);
    ASSERT_NE(view, nullptr);
    view->MoveWindow(RECT{0, 0, 800, 600});
    host = std::make_unique<FolderHost>(root);
    std::string error;
    ASSERT_TRUE(host->Load(&error)) << error;
    ASSERT_NE(host->Attach(view), nullptr);
  }
  void TearDown() override { DestroyView(GetView()); }
  CTreeNode* Node(const std::string& rel) {
    FolderObject* o = host->Find(rel);
    return o ? o->GetNode() : nullptr;
  }

  ScratchDir registry{"outfold-registry"};
  ScratchDir dir{"outfold-host"};
  std::string root;
  CWnd frame;
  CPageWnd* view = nullptr;
  std::unique_ptr<FolderHost> host;
};

TEST_F(FolderHostTest, TheViewShowsTheFolderWithTheStateFilesTimesAndFlags) {
  EXPECT_EQ(view->Tree().GetCount(), 5u);  // site, docs, old, empty, images
  ASSERT_TRUE(view->SelectFolder(Node("images")));
  ASSERT_EQ(view->List().GetItemCount(), 1);
  EXPECT_EQ(view->List().GetItemText(0, 0), "logo.gif");
  EXPECT_EQ(view->List().GetItemText(0, 1), "GIF Image");
  EXPECT_EQ(view->List().GetItemText(0, 2), "D ");
  EXPECT_EQ(view->List().GetItemText(0, 4), " ");
  EXPECT_EQ(view->List().GetItemText(0, 3), std::string(view->FormatTime(86400)));
  view->SelectFolder(Node(""));
  int docs = -1;
  for (int i = 0; i < view->List().GetItemCount(); ++i)
    if (view->List().GetItemText(i, 0) == "docs") docs = i;
  ASSERT_GE(docs, 0);
  EXPECT_EQ(view->List().GetItemText(docs, 3), "Never Published");
  EXPECT_EQ(FindRoot(CString(root.c_str())), host->Root());
}

TEST_F(FolderHostTest, MovesHappenOnDiskAndUndoPutsThemBack) {
  ASSERT_TRUE(view->MoveNode(Node("docs"), Node("images")));
  EXPECT_TRUE(IsFile(root + "/images/docs/a.html"));
  EXPECT_TRUE(IsDir(root + "/images/docs/old"));
  EXPECT_FALSE(IsDir(root + "/docs"));
  undo();
  EXPECT_TRUE(IsFile(root + "/docs/a.html"));
  EXPECT_FALSE(IsDir(root + "/images/docs"));
  redo();
  EXPECT_TRUE(IsDir(root + "/images/docs"));
  // The state file follows the folder to its new path.
  EXPECT_NE(ScratchDir::Read(root + ".outfold").find("images/docs"), std::string::npos);
  EXPECT_TRUE(host->TakeErrors().empty());
}

TEST_F(FolderHostTest, PasteOfFilesMovesThemAllAndOneUndoBringsThemBack) {
  view->SelectFolder(Node(""));
  view->List().SetFocus();
  for (int i = 0; i < view->List().GetItemCount(); ++i)
    if (view->List().GetItemText(i, 0) == "index.html")
      view->List().SetItemState(i, LVIS_SELECTED, LVIS_SELECTED);
  ASSERT_TRUE(view->Cut());
  view->Tree().SetFocus();
  view->SelectFolder(Node("empty"));
  ASSERT_TRUE(view->Paste());
  EXPECT_TRUE(IsFile(root + "/empty/index.html"));
  EXPECT_FALSE(IsFile(root + "/index.html"));
  undo();
  EXPECT_TRUE(IsFile(root + "/index.html"));
  EXPECT_FALSE(IsFile(root + "/empty/index.html"));
}

TEST_F(FolderHostTest, NewFolderRenameAndDeleteOnDiskWithUndo) {
  view->SelectFolder(Node("docs"));
  view->Tree().SetFocus();
  ASSERT_TRUE(view->AddNewFolder(false, false));
  EXPECT_TRUE(IsDir(root + "/docs/New Folder"));
  CTreeNode* made = Node("docs/New Folder");
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(view->IsNewFolder(made));
  ASSERT_TRUE(view->RenameNode(made, CString("fresh")));
  EXPECT_TRUE(IsDir(root + "/docs/fresh"));
  EXPECT_EQ(view->Changes().Count(), 1);  // a new folder's rename is not recorded
  undo();
  EXPECT_FALSE(IsDir(root + "/docs/fresh"));
  redo();
  EXPECT_TRUE(IsDir(root + "/docs/fresh"));
  ASSERT_TRUE(view->RenameNode(Node("docs/old"), CString("older")));
  EXPECT_TRUE(IsDir(root + "/docs/older"));
  undo();
  EXPECT_TRUE(IsDir(root + "/docs/old"));
  EXPECT_FALSE(IsDir(root + "/docs/older"));
  ASSERT_TRUE(view->DeleteFolder(Node("empty")));
  EXPECT_FALSE(IsDir(root + "/empty"));
  undo();
  EXPECT_TRUE(IsDir(root + "/empty"));
  EXPECT_TRUE(host->TakeErrors().empty());
}

TEST_F(FolderHostTest, WhatTheDiskRefusesLeavesViewAndDiskUnchanged) {
  // A folder that vanished behind the view's back cannot be moved.
  ScratchDir::RemoveTree(root + "/images");
  EXPECT_FALSE(view->MoveNode(Node("docs"), Node("images")));
  EXPECT_FALSE(view->MoveNode(Node("images"), Node("docs")));
  EXPECT_TRUE(IsDir(root + "/docs"));
  // A name already on disk (a file the view does not know) is refused for a rename.
  ScratchDir::Write(root + "/docs/taken", "x");
  EXPECT_FALSE(view->RenameNode(Node("docs/old"), CString("taken")));
  EXPECT_TRUE(IsDir(root + "/docs/old"));
  EXPECT_EQ(view->Changes().Count(), 0);
  EXPECT_FALSE(host->TakeErrors().empty());
  // And a move onto a folder holding that name on disk.
  ::mkdir((root + "/empty/old").c_str(), 0777);
  EXPECT_FALSE(view->MoveNode(Node("docs/old"), Node("empty")));
  EXPECT_EQ(view->Changes().Count(), 0);
}

TEST_F(FolderHostTest, PropertiesToggleTheFlagWithUndoAndRedo) {
  view->SelectFolder(Node("docs"));
  view->Tree().SetFocus();
  ASSERT_TRUE(view->ShowProperties());
  EXPECT_TRUE(host->Find("docs")->GetAttributes() & kPublishExcluded);
  EXPECT_EQ(view->Changes().At(0)->m_nKind, kChangeProperty);
  undo();
  EXPECT_FALSE(host->Find("docs")->GetAttributes() & kPublishExcluded);
  redo();
  EXPECT_TRUE(host->Find("docs")->GetAttributes() & kPublishExcluded);
  EXPECT_NE(ScratchDir::Read(root + ".outfold").find("D docs"), std::string::npos);
}

// The folders of the tree control under item, as "name(child,child)" in the control's order.
std::string TreeShape(CTreeCtrl& tree, HTREEITEM item) {
  std::string out = tree.GetItemText(item);
  HTREEITEM c = tree.GetChildItem(item);
  if (!c) return out;
  out += "(";
  for (bool first = true; c; c = tree.GetNextSiblingItem(c), first = false)
    out += (first ? "" : ",") + TreeShape(tree, c);
  return out + ")";
}

// A larger tree than the fixture's, with what must stay out of the view (links, a pipe) and a
// state file naming objects at every depth, read by a fresh view.
TEST(FolderHost, AWideTreeIsReadOncePerFolderAndShownWithEveryObjectInItsPlace) {
  ScratchDir registry("outfold-registry");
  ::setenv("HALYARD_REGISTRY", registry.path().c_str(), 1);
  halyard::user::Desktop::Reset();
  ScratchDir dir("outfold-host");
  std::string root = dir.Join("site");
  ::mkdir(root.c_str(), 0777);
  int folders = 1;
  std::string state;
  for (int i = 0; i < 6; ++i) {
    std::string top = root + "/s" + std::to_string(i);
    ::mkdir(top.c_str(), 0777);
    ++folders;
    for (int j = 0; j < 5; ++j) {
      std::string sub = top + "/f" + std::to_string(j);
      ::mkdir(sub.c_str(), 0777);
      ++folders;
      for (int k = 0; k < 4; ++k) ScratchDir::Write(sub + "/p" + std::to_string(k) + ".html", "x");
      // Each file's times say where it is, so a time on the wrong object shows.
      state += std::to_string(1000 + i * 100 + j * 10) + " 7 - s" + std::to_string(i) + "/f" +
               std::to_string(j) + "/p3.html\n";
    }
  }
  ::mkdir((root + "/s0/f0/deep").c_str(), 0777);
  ::mkdir((root + "/s0/f0/deep/er").c_str(), 0777);
  folders += 2;
  ScratchDir::Write(root + "/s0/f0/deep/er/last.gif", "GIF89a");
  ::mkdir((root + "/s5/f4/two words").c_str(), 0777);
  folders += 1;
  ScratchDir::Write(root + "/s5/f4/two words/a b.html", "x");
  state += "5 6 D /s0/f0/deep/er/last.gif\n9 9 - s0/f0/deep/\n1 1 - no/such/thing\n3 3 D \n"
           "11 +12 - s5/f4/two words/a b.html\r\njunk\n4 x - s1\n4 4\n";
  ScratchDir::Write(root + ".outfold", state);
  ASSERT_EQ(::symlink((root + "/s1").c_str(), (root + "/s0/link-to-folder").c_str()), 0);
  ASSERT_EQ(::symlink((root + "/s1/f0/p0.html").c_str(), (root + "/s2/link.html").c_str()), 0);
  ASSERT_EQ(::mkfifo((root + "/s3/pipe").c_str(), 0600), 0);

  CWnd frame;
  ASSERT_TRUE(frame.Create("", WS_VISIBLE, RECT{0, 0, 800, 600}, nullptr, 0));
  CPageWnd* view = CreateView(frame.m_hWnd);
  ASSERT_NE(view, nullptr);
  view->MoveWindow(RECT{0, 0, 800, 600});
  FolderHost host(root);
  std::string error;
  ASSERT_TRUE(host.Load(&error)) << error;
  EXPECT_EQ(host.FoldersRead(), folders);
  // Filling the tree is one change to the picture, not one per row.
  int invalidations = 0;
  halyard::user::UpdateRegion::SetListener([&](const halyard::user::Invalidation&) { ++invalidations; });
  ASSERT_NE(host.Attach(view), nullptr);
  halyard::user::UpdateRegion::SetListener(nullptr);
  EXPECT_LE(invalidations, 2);

  EXPECT_EQ(view->Tree().GetCount(), static_cast<UINT>(folders));
  std::string shape = TreeShape(view->Tree(), view->Tree().GetRootItem());
  EXPECT_EQ(shape.substr(0, 40), "site(s0(f0(deep(er)),f1,f2,f3,f4),s1(f0,");
  EXPECT_EQ(shape.find("link"), std::string::npos);
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 5; ++j) {
      std::string folder = "s" + std::to_string(i) + "/f" + std::to_string(j);
      FolderObject* f = host.Find(folder);
      ASSERT_NE(f, nullptr) << folder;
      CTreeNode* node = f->GetNode();
      ASSERT_NE(node, nullptr);
      EXPECT_EQ(node->m_pParent, host.Find("s" + std::to_string(i))->GetNode());
      EXPECT_EQ(node->ChildCount(), (i == 0 && j == 0) || (i == 5 && j == 4) ? 5 : 4) << folder;
      FolderObject* p3 = host.Find(folder + "/p3.html");
      ASSERT_NE(p3, nullptr);
      EXPECT_EQ(p3->GetRemotePublishTime(), 1000 + i * 100 + j * 10) << folder;
      EXPECT_EQ(p3->GetNode()->m_pParent, node);
      EXPECT_EQ(host.Find(folder + "/p2.html")->GetRemotePublishTime(), 0);
    }
  FolderObject* last = host.Find("s0/f0/deep/er/last.gif");
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->GetLocalPublishTime(), 6);
  EXPECT_TRUE(last->GetAttributes() & kPublishExcluded);
  EXPECT_EQ(host.Find("s0/f0/deep")->GetRemotePublishTime(), 9);
  FolderObject* spaced = host.Find("s5/f4/two words/a b.html");
  ASSERT_NE(spaced, nullptr);
  EXPECT_EQ(spaced->GetRemotePublishTime(), 11);
  EXPECT_EQ(spaced->GetLocalPublishTime(), 12);
  EXPECT_FALSE(spaced->GetAttributes() & kPublishExcluded);
  // Lines that are no state (a word, a time that is none, no flags) are passed over.
  EXPECT_EQ(host.Find("s1")->GetRemotePublishTime(), 0);
  // The root's line (an empty path) belongs to the root.
  EXPECT_EQ(host.Root()->GetRemotePublishTime(), 3);
  EXPECT_EQ(host.Find("s0/link-to-folder"), nullptr);
  EXPECT_EQ(host.Find("s2/link.html"), nullptr);
  EXPECT_EQ(host.Find("s3/pipe"), nullptr);
  DestroyView(view);
}

TEST(FolderHost, ARootThatIsNoFolderIsRefused) {
  ScratchDir dir("outfold-host");
  ScratchDir::Write(dir.Join("file"), "x");
  FolderHost host(dir.Join("file"));
  std::string error;
  EXPECT_FALSE(host.Load(&error));
  EXPECT_NE(error.find("no folder"), std::string::npos);
  FolderHost missing(dir.Join("nothing"));
  EXPECT_FALSE(missing.Load(&error));
}

}  // namespace
