// The view over a memory host: filling tree and list, the drop test, moves, cut and paste,
// new folders, renames, deletions, the change stack with every kind undone and redone, sorting,
// the exported functions without a view or with stale nodes, and the registry settings.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/registry/win_reg.h"
#include "view_fixture.h"

namespace outfold_test {
namespace {

TEST_F(ViewTest, TreeHoldsFoldersOnlySortedAndTheListTheSelectedFoldersChildren) {
  EXPECT_EQ(TreeKids(site), (std::vector<std::string>{"Alpha", "beta", "Gamma"}));
  EXPECT_EQ(Tree().GetSelectedItem(), site->node->m_hItem);
  EXPECT_TRUE(Tree().GetItemState(site->node->m_hItem, TVIS_EXPANDED));
  EXPECT_EQ(Tree().GetIndent(), 15u);  // four less than the control's own
  // Folders first, then the files by name.
  EXPECT_EQ(Rows(), (std::vector<std::string>{"Alpha", "beta", "Gamma", "index.html"}));
  int row = RowOf("index.html");
  EXPECT_EQ(List().GetItemText(row, 1), "HTML Document");
  EXPECT_EQ(List().GetItemText(row, 2), " ");
  EXPECT_EQ(List().GetItemText(row, 3), "Never Published");
  EXPECT_EQ(List().GetItemText(row, 4), " ");
  EXPECT_EQ(FindRoot(CString("Site")), site);
  EXPECT_EQ(FindRoot(CString("site")), nullptr);  // byte-wise
}

TEST_F(ViewTest, ColumnsHaveTheirCaptionsAndMeasuredDefaultWidths) {
  CHeaderCtrl* header = List().GetHeaderCtrl();
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->GetItemCount(), 5);
  EXPECT_EQ(header->GetItemText(0), "Name");
  EXPECT_EQ(header->GetItemText(4), "Last Local Publish");
  CDC dc(1, 1);
  EXPECT_EQ(List().GetColumnWidth(0), dc.GetTextExtent("Name Description").cx + 10);
  EXPECT_EQ(List().GetColumnWidth(2), dc.GetTextExtent("Attributes").cx + 10);
}

TEST_F(ViewTest, AttributeLettersDatesAndStateImages) {
  index->attrs = kPublishReadOnly | kPublishExcluded;
  index->changed = TRUE;
  index->remote = 86400 * 365;
  beta->attrs = kPublishExcluded;
  gamma->attrs = kPublishReadOnly;
  view->FinishExpand(site->node);
  int row = RowOf("index.html");
  EXPECT_EQ(List().GetItemText(row, 2), "RCD ");
  EXPECT_NE(List().GetItemText(row, 3), "Never Published");
  EXPECT_NE(List().GetItemText(row, 3), " ");
  EXPECT_EQ(Tree().GetItemState(beta->node->m_hItem, TVIS_STATEIMAGEMASK),
            INDEXTOSTATEIMAGEMASK(2));
  EXPECT_EQ(Tree().GetItemState(gamma->node->m_hItem, TVIS_STATEIMAGEMASK),
            INDEXTOSTATEIMAGEMASK(1));
  EXPECT_EQ(Tree().GetItemState(alpha->node->m_hItem, TVIS_STATEIMAGEMASK), 0u);
}

TEST_F(ViewTest, ImagesAreLoadedOncePerIdentifierWithTheOverlays) {
  int asked = 0;
  for (auto& o : host.objects) asked += o->bitmapsAsked;
  // Folder, open folder, file, and the two overlays.
  EXPECT_EQ(asked, 5);
  EXPECT_EQ(view->Images().GetImageCount(), 5);
  EXPECT_GE(view->Images().GetOverlayImage(1), 0);
  EXPECT_GE(view->Images().GetOverlayImage(2), 0);
  Select(gamma);
  Select(site);
  asked = 0;
  for (auto& o : host.objects) asked += o->bitmapsAsked;
  EXPECT_EQ(asked, 5);
}

TEST_F(ViewTest, AFolderCannotBeDroppedOnItselfItsParentOrItsDescendant) {
  EXPECT_FALSE(view->CanDrop(alpha->node, alpha->node));
  EXPECT_FALSE(view->CanDrop(alpha->node, site->node));
  EXPECT_FALSE(view->CanDrop(alpha->node, inner->node));
  EXPECT_FALSE(view->CanDrop(alpha->node, deep->node));
  EXPECT_FALSE(view->CanDrop(alpha->node, index->node));  // a file is no folder
  EXPECT_FALSE(view->CanDrop(site->node, beta->node));    // the root stays
  EXPECT_TRUE(view->CanDrop(alpha->node, beta->node));
  host.Add(beta, "ALPHA");  // the same name without regard to case
  EXPECT_FALSE(view->CanDrop(alpha->node, beta->node));
  EXPECT_TRUE(view->CanDrop(inner->node, gamma->node));
  gamma->canAccept = FALSE;
  EXPECT_FALSE(view->CanDrop(inner->node, gamma->node));
  EXPECT_FALSE(view->MoveNode(inner->node, gamma->node));
  EXPECT_EQ(inner->node->m_pParent, alpha->node);
  EXPECT_EQ(view->Changes().Count(), 0);
}

TEST_F(ViewTest, MoveUndoAndRedoCarryTheSubtreeAndTellTheObject) {
  ASSERT_TRUE(view->MoveNode(alpha->node, beta->node));
  EXPECT_EQ(alpha->node->m_pParent, beta->node);
  EXPECT_EQ(TreeKids(beta), std::vector<std::string>{"Alpha"});
  EXPECT_EQ(TreeKids(site), (std::vector<std::string>{"beta", "Gamma"}));
  EXPECT_EQ(TreeKids(alpha), std::vector<std::string>{"Inner"});  // the subtree came along
  EXPECT_EQ(canundo(), kChangeMove);
  ChangeRecord* r = view->Changes().At(0);
  EXPECT_EQ(r->m_dwData, reinterpret_cast<DWORD_PTR>(site));
  EXPECT_EQ(alpha->told, std::vector<int>{kChangeMove});
  undo();
  EXPECT_EQ(alpha->node->m_pParent, site->node);
  EXPECT_EQ(TreeKids(site), (std::vector<std::string>{"Alpha", "beta", "Gamma"}));
  EXPECT_EQ(r->m_dwData, reinterpret_cast<DWORD_PTR>(beta));
  EXPECT_TRUE(canredo());
  redo();
  EXPECT_EQ(alpha->node->m_pParent, beta->node);
  EXPECT_EQ(alpha->told, (std::vector<int>{kChangeMove, -kChangeMove, kChangeMove}));
  EXPECT_FALSE(canredo());
}

TEST_F(ViewTest, PasteOfSeveralIsOneGroupUndoneAndRedoneInOneStep) {
  Select(gamma);
  List().SetFocus();
  SelectRows({"a.html", "b.html"});
  ASSERT_TRUE(CanOutfoldCut());
  OutfoldCut();
  EXPECT_EQ(view->CutCount(), 2);
  EXPECT_EQ(List().GetItemState(RowOf("a.html"), LVIS_CUT), LVIS_CUT);
  Tree().SetFocus();
  Select(alpha);
  EXPECT_FALSE(CanOutfoldPaste() == 0);
  OutfoldPaste();
  EXPECT_EQ(view->CutCount(), 0);
  EXPECT_EQ(NodeKids(alpha), (std::vector<std::string>{"Inner", "page.html", "a.html", "b.html"}));
  EXPECT_EQ(Rows(), (std::vector<std::string>{"Inner", "a.html", "b.html", "page.html"}));
  EXPECT_EQ(view->Changes().Count(), 4);  // 32, 2, 2, 64
  EXPECT_EQ(view->Changes().At(0)->m_nKind, kChangeGroupStart);
  EXPECT_EQ(view->Changes().At(3)->m_nKind, kChangeGroupEnd);
  EXPECT_EQ(canundo(), kChangeMove);  // looks past the group's end
  undo();
  EXPECT_EQ(view->Changes().Position(), 0);
  std::vector<std::string> back = NodeKids(gamma);
  std::sort(back.begin(), back.end());
  EXPECT_EQ(back, (std::vector<std::string>{"a.html", "b.html"}));
  EXPECT_EQ(Rows(), (std::vector<std::string>{"Inner", "page.html"}));
  redo();
  EXPECT_EQ(view->Changes().Position(), 4);
  EXPECT_EQ(NodeKids(gamma), std::vector<std::string>{});
  EXPECT_EQ(NodeKids(alpha).size(), 4u);
}

TEST_F(ViewTest, PasteIsRefusedWhenAnyCutItemFailsTheDropTest) {
  Select(gamma);
  List().SetFocus();
  SelectRows({"a.html"});
  OutfoldCut();
  Tree().SetFocus();
  Select(gamma);  // its own parent
  EXPECT_EQ(CanOutfoldPaste(), 0);
  OutfoldPaste();
  EXPECT_EQ(view->Changes().Count(), 0);
  EXPECT_EQ(view->CutCount(), 1);
}

TEST_F(ViewTest, NewFoldersGetUniqueNamesAndUndoRemovesThem) {
  Select(beta);
  Tree().SetFocus();
  ASSERT_TRUE(CanAddNewFolder());
  AddNewFolder();
  CEdit* edit = Tree().GetEditControl();
  ASSERT_NE(edit, nullptr);  // the label is being edited
  edit->SendMessage(WM_KEYDOWN, VK_ESCAPE, 0);
  AddNewFolder();
  Tree().EndEditLabelNow(TRUE);
  Select(gamma);
  AddNewFolder();
  Tree().EndEditLabelNow(TRUE);
  EXPECT_EQ(NodeKids(beta), (std::vector<std::string>{"New Folder", "New Folder (1)"}));
  EXPECT_EQ(NodeKids(gamma).back(), "New Folder (2)");
  MemoryObject* made =
      static_cast<MemoryObject*>(gamma->node->m_pFirstChild->m_pNext->m_pNext->m_pObject);
  EXPECT_EQ(made->told, std::vector<int>{kChangeNewFolder});
  EXPECT_EQ(view->Changes().At(2)->m_dwData, reinterpret_cast<DWORD_PTR>(gamma));
  undo();
  EXPECT_EQ(NodeKids(gamma), (std::vector<std::string>{"a.html", "b.html"}));
  EXPECT_EQ(made->node->m_pParent, nullptr);
  EXPECT_FALSE(view->Tree().IsItem(made->node->m_hItem));
  redo();
  EXPECT_EQ(NodeKids(gamma).back(), "New Folder (2)");
  EXPECT_NE(made->node->m_hItem, nullptr);
}

TEST_F(ViewTest, NewFolderFailsCleanlyWhenTheHostOrTheNamesRunOut) {
  Select(beta);
  beta->failCreate = true;
  AddNewFolder();
  EXPECT_EQ(view->Changes().Count(), 0);
  beta->failCreate = false;
  beta->canAdd = FALSE;
  EXPECT_EQ(CanAddNewFolder(), 0);
  AddNewFolder();
  EXPECT_EQ(view->Changes().Count(), 0);
  beta->canAdd = TRUE;
  // Every name up to 32000 taken: the new object is abandoned.
  site->nameCycle = true;
  size_t before = host.objects.size();
  AddNewFolder();
  site->nameCycle = false;
  ASSERT_EQ(host.objects.size(), before + 1);
  EXPECT_TRUE(host.objects.back()->destroyed);
  EXPECT_EQ(host.objects.back()->destroyedAbandoned, 1);
  EXPECT_EQ(site->cycleCount, CPageWnd::kMaxNewFolderNumber);
  EXPECT_EQ(view->Changes().Count(), 0);
  EXPECT_EQ(NodeKids(beta).size(), 0u);
}

TEST_F(ViewTest, NewFolderInTheListAppendsADatedRowAndEditsItsLabel) {
  Select(alpha);
  List().SetFocus();
  view->SendMessage(WM_COMMAND, ID_OUTFOLD_NEWFOLDER, 0);
  ASSERT_NE(List().GetEditControl(), nullptr);
  int row = List().GetItemCount() - 1;
  EXPECT_EQ(List().GetItemText(row, 0), "New Folder");
  EXPECT_NE(List().GetItemText(row, 3), "Never Published");
  EXPECT_EQ(List().GetItemText(row, 3), List().GetItemText(row, 4));
  CEdit* edit = List().GetEditControl();
  EXPECT_EQ(edit->SendMessage(WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);
  edit->SendMessage(WM_CHAR, 'X', 0);
  edit->SendMessage(WM_KEYDOWN, VK_RETURN, 0);
  // A just-created folder's rename is part of its creation: no rename is recorded.
  EXPECT_EQ(NodeKids(alpha).back(), "X");
  EXPECT_EQ(view->Changes().Count(), 1);
  EXPECT_EQ(TreeKids(alpha), (std::vector<std::string>{"Inner", "X"}));
}

TEST_F(ViewTest, RenameRecordsTheFormerNameAndUndoSwapsBack) {
  Select(beta);
  Tree().SetFocus();
  ASSERT_TRUE(CanRename());
  Rename();
  CEdit* edit = Tree().GetEditControl();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->SendMessage(WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);
  for (char c : std::string("zeta")) edit->SendMessage(WM_CHAR, static_cast<WPARAM>(c), 0);
  edit->SendMessage(WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(beta->name, "zeta");
  EXPECT_EQ(TreeKids(site), (std::vector<std::string>{"Alpha", "Gamma", "zeta"}));
  EXPECT_EQ(view->Changes().At(0)->m_strName, CString("beta"));
  undo();
  EXPECT_EQ(beta->name, "beta");
  EXPECT_EQ(TreeKids(site), (std::vector<std::string>{"Alpha", "beta", "Gamma"}));
  redo();
  EXPECT_EQ(beta->name, "zeta");
  EXPECT_EQ(beta->told, (std::vector<int>{kChangeRename, -kChangeRename, kChangeRename}));
}

TEST_F(ViewTest, RenamesThatCannotBeAreRefusedWithNothingRecorded) {
  EXPECT_FALSE(view->RenameNode(beta->node, CString("")));
  EXPECT_FALSE(view->RenameNode(beta->node, CString("GAMMA")));  // a sibling's, in any case
  beta->refuseNames = true;
  EXPECT_FALSE(view->RenameNode(beta->node, CString("other")));
  EXPECT_EQ(beta->name, "beta");
  beta->refuseNames = false;
  beta->canRename = FALSE;
  Select(beta);
  Tree().SetFocus();
  EXPECT_EQ(CanRename(), 0);
  EXPECT_EQ(Tree().EditLabel(beta->node->m_hItem), nullptr);  // the view says no
  EXPECT_EQ(view->Changes().Count(), 0);
  EXPECT_TRUE(view->RenameNode(inner->node, CString("Beta")));  // no sibling of that name
}

TEST_F(ViewTest, DeleteFollowsTheRulesAndUndoPutsTheFolderBack) {
  EXPECT_FALSE(view->CanDeleteFolder(alpha->node));  // has children
  EXPECT_FALSE(view->CanDeleteFolder(index->node));  // a file
  EXPECT_FALSE(view->CanDeleteFolder(site->node));   // the root
  EXPECT_FALSE(view->CanDeleteFolder(nullptr));
  beta->attrs = kPublishReadOnly;
  EXPECT_FALSE(view->CanDeleteFolder(beta->node));
  beta->attrs = 0;
  Select(beta);
  Tree().SetFocus();
  EXPECT_EQ(PassOnDeleteKey(WM_KEYDOWN, VK_DELETE, 0), 1);
  EXPECT_EQ(NodeKids(site), (std::vector<std::string>{"Alpha", "Gamma", "index.html"}));
  EXPECT_EQ(Tree().GetSelectedItem(), site->node->m_hItem);
  EXPECT_EQ(view->Changes().At(0)->m_nKind, kChangeDelete);
  EXPECT_EQ(view->Changes().At(0)->m_dwData, reinterpret_cast<DWORD_PTR>(site));
  undo();
  EXPECT_EQ(beta->node->m_pParent, site->node);
  EXPECT_EQ(TreeKids(site), (std::vector<std::string>{"Alpha", "beta", "Gamma"}));
  redo();
  EXPECT_EQ(beta->node->m_pParent, nullptr);
  EXPECT_EQ(beta->told, (std::vector<int>{kChangeDelete, -kChangeDelete, kChangeDelete}));
  // Not allowed: the key is still taken.
  Select(alpha);
  EXPECT_EQ(PassOnDeleteKey(WM_KEYDOWN, VK_DELETE, 0), 1);
  EXPECT_EQ(view->Changes().Count(), 1);
  EXPECT_EQ(PassOnDeleteKey(WM_KEYDOWN, 'A', 0), 0);
}

TEST_F(ViewTest, DeleteFromTheListRestoresTheTreeSelectionAndList) {
  Select(gamma);
  host.Add(gamma, "empty");
  Select(site);
  Select(gamma);
  List().SetFocus();
  SelectRows({"empty"});
  ASSERT_TRUE(CanDeleteSelectedFolder());
  DeleteSelectedFolder();
  EXPECT_EQ(Tree().GetSelectedItem(), gamma->node->m_hItem);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"a.html", "b.html"}));
}

TEST_F(ViewTest, PropertiesRecordsOfKindsOneAndSixteenAreToldButChangeNothing) {
  Select(beta);
  Tree().SetFocus();
  beta->propertiesKind = kChangeProperty;
  ShowProperties();
  beta->propertiesKind = kChangeSettings;  // carries an owned text the view frees
  ShowProperties();
  EXPECT_EQ(CanShowProperties(), 1);
  EXPECT_EQ(view->Changes().Count(), 2);
  EXPECT_EQ(view->Changes().At(0)->m_strName, CString("props"));
  undo();
  undo();
  redo();
  EXPECT_EQ(beta->told, (std::vector<int>{kChangeProperty, kChangeSettings, -kChangeSettings,
                                          -kChangeProperty, kChangeProperty}));
  EXPECT_EQ(NodeKids(site), (std::vector<std::string>{"Alpha", "beta", "Gamma", "index.html"}));
  beta->propertiesKind = kChangeSettings;
  ShowProperties();  // overwrites the undone kind-16 record: its text is freed, not leaked
  EXPECT_EQ(view->Changes().Count(), 2);
}

TEST_F(ViewTest, APushAfterAnUndoDiscardsRedo) {
  view->MoveNode(alpha->node, beta->node);
  view->MoveNode(gamma->node, beta->node);
  undo();
  undo();
  EXPECT_TRUE(canredo());
  view->RenameNode(index->node, CString("home.html"));
  EXPECT_FALSE(canredo());
  EXPECT_EQ(view->Changes().Count(), 1);
  undo();
  ASSERT_TRUE(canredo());
  redo();
  EXPECT_FALSE(canredo());  // the old moves are gone for good
  EXPECT_EQ(alpha->node->m_pParent, site->node);
  EXPECT_EQ(index->name, "home.html");
}

TEST_F(ViewTest, PreviousChangesAreWalkedBackwardsWithoutGroupMarkers) {
  view->RenameNode(index->node, CString("home.html"));
  view->MoveMultipleNodes({a->node, b->node}, beta->node);
  ChangeIterator* it = nullptr;
  std::vector<int> kinds;
  while (ChangeRecord* r = GetPreviousChange(it)) kinds.push_back(r->m_nKind);
  EXPECT_EQ(kinds, (std::vector<int>{kChangeMove, kChangeMove, kChangeRename}));
  EXPECT_EQ(it, nullptr);
  undo();  // the group
  it = nullptr;
  ChangeRecord* first = GetPreviousChange(it);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->m_nKind, kChangeRename);
  EXPECT_EQ(GetPreviousChange(it), nullptr);
}

TEST_F(ViewTest, SortingByEveryColumn) {
  a->type = "Zebra";
  b->type = "apple";
  a->remote = 5000;
  b->remote = 0;
  a->local = 100;
  b->local = -1;
  a->changed = TRUE;
  host.Add(gamma, "Sub");
  host.Add(gamma, "C.html", true);
  Select(site);
  Select(gamma);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"Sub", "a.html", "b.html", "C.html"}));
  view->SortList(1);
  EXPECT_EQ(Rows(),
            (std::vector<std::string>{"Sub", "b.html", "C.html", "a.html"}));  // apple, HTML, Zebra
  view->SortList(3);
  // Folder 0, never published 1, then the dates.
  EXPECT_EQ(Rows()[0], "Sub");
  EXPECT_EQ(Rows()[3], "a.html");
  view->SortList(4);
  EXPECT_EQ(Rows().back(), "a.html");
  view->SortList(2);
  EXPECT_EQ(Rows()[0], "Sub");
  EXPECT_EQ(Rows()[1], "a.html");  // the only one with letters
  // A click on a caption sorts by that column.
  CHeaderCtrl* header = List().GetHeaderCtrl();
  RECT r;
  header->GetItemRect(0, &r);
  header->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 10, 5));
  header->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(r.left + 10, 5));
  EXPECT_EQ(view->SortColumn(), 0);
  EXPECT_EQ(Rows(), (std::vector<std::string>{"Sub", "a.html", "b.html", "C.html"}));
}

TEST_F(ViewTest, DatesZeroAndMinusOneAndResetDateColumns) {
  Select(gamma);
  int row = RowOf("a.html");
  EXPECT_EQ(List().GetItemText(row, 3), "Never Published");
  EXPECT_EQ(List().GetItemText(row, 4), " ");
  a->remote = -1;
  a->local = 0;
  ResetDateColumns();
  EXPECT_EQ(List().GetItemText(row, 3), " ");
  EXPECT_EQ(List().GetItemText(row, 4), "Never Published");
}

TEST_F(ViewTest, ExportedFunctionsWithoutAViewOrWithStaleNodesDoNothing) {
  CTreeNode* stale = beta->node;
  DestroyView(view);
  view = nullptr;
  EXPECT_EQ(GetView(), nullptr);
  EXPECT_EQ(canundo(), 0);
  EXPECT_EQ(canredo(), 0);
  undo();
  redo();
  OutfoldCut();
  OutfoldPaste();
  AddNewFolder();
  DeleteSelectedFolder();
  Rename();
  ShowProperties();
  ResetDateColumns();
  FinishExpand(stale, 0);
  Reset(nullptr);
  EXPECT_EQ(CanOutfoldCut() + CanOutfoldPaste() + CanAddNewFolder() + CanDeleteSelectedFolder() +
                CanRename() + CanShowProperties(),
            0);
  EXPECT_EQ(PassOnDeleteKey(WM_KEYDOWN, VK_DELETE, 0), 0);
  EXPECT_EQ(FindRoot(CString("Site")), nullptr);
  EXPECT_EQ(AddRoot(nullptr, site), nullptr);
  ChangeIterator* it = nullptr;
  EXPECT_EQ(GetPreviousChange(it), nullptr);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  EXPECT_FALSE(CTreeNode::IsLive(stale));
  EXPECT_EQ(beta->node, nullptr);  // told when its node went
}

TEST_F(ViewTest, CreatingTwiceGivesTheFirstViewAndStaleNodesAreRefused) {
  EXPECT_EQ(CreateView(frame.m_hWnd), view);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  void* object = &frame;
  EXPECT_EQ(DllGetClassObject(IID_NULL, IID_NULL, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  auto* bogus = reinterpret_cast<CTreeNode*>(&frame);
  FinishExpand(bogus, 0);  // not a node: ignored
  EXPECT_FALSE(view->CanDeleteFolder(bogus));
  Reset(view);
  EXPECT_EQ(Tree().GetCount(), 0u);
  EXPECT_EQ(List().GetItemCount(), 0);
  EXPECT_EQ(view->Changes().Count(), 0);
  EXPECT_EQ(site->node, nullptr);
  EXPECT_EQ(FindRoot(CString("Site")), nullptr);
}

TEST_F(ViewTest, SettingsAreWrittenAtDestructionAndReadBack) {
  List().SetColumnWidth(1, 77);
  view->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(view->TreeRight() + 3, 300));
  view->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(400, 300));
  view->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(400, 300));
  // 100 * (400 - 3) / 792 = 50.1
  EXPECT_EQ(view->Ratio(), 50);
  EXPECT_EQ(view->TreeRight(), 396);
  DestroyView(view);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, ViewSettings::KeyPath(), 0, KEY_READ, &key),
            ERROR_SUCCESS);
  DWORD value = 0, size = sizeof value, type = 0;
  ASSERT_EQ(RegQueryValueExA(key, "OutfoldHorzRatio", nullptr, &type,
                             reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(value, 50u);
  ASSERT_EQ(
      RegQueryValueExA(key, "Field 2", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
      ERROR_SUCCESS);
  EXPECT_EQ(value, 77u);
  RegCloseKey(key);
  view = CreateView(frame.m_hWnd);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->Ratio(), 50);
  EXPECT_EQ(List().GetColumnWidth(1), 77);
}

TEST_F(ViewTest, WrongTypedOrOutOfRangeSettingsGiveTheDefaults) {
  DestroyView(view);
  HKEY key;
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, ViewSettings::KeyPath(), &key), ERROR_SUCCESS);
  RegSetValueExA(key, "OutfoldHorzRatio", 0, REG_SZ, reinterpret_cast<const BYTE*>("33"), 3);
  DWORD big = 5000;
  RegSetValueExA(key, "Field 1", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&big), sizeof big);
  DWORD ratio = 250;
  RegSetValueExA(key, "Field 3", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&ratio), 2);
  RegCloseKey(key);
  view = CreateView(frame.m_hWnd);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->Ratio(), 20);
  EXPECT_EQ(view->FieldWidth(0), 5000);
  EXPECT_EQ(view->FieldWidth(2), 0);
  ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, ViewSettings::KeyPath(), &key), ERROR_SUCCESS);
  RegSetValueExA(key, "OutfoldHorzRatio", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ratio),
                 sizeof ratio);
  RegCloseKey(key);
  ViewSettings s;
  s.Read();
  EXPECT_EQ(s.ratio, 20u);  // 250 percent is no width
}

TEST(OutfoldParts, FlagWordsPickTheKindInTheirOrder) {
  EXPECT_EQ(ChangeKindFromFlags(0x01 | 0x80), kChangeRename);
  EXPECT_EQ(ChangeKindFromFlags(0x02), kChangeMove);
  EXPECT_EQ(ChangeKindFromFlags(0x04 | 0x02), kChangeMove);
  EXPECT_EQ(ChangeKindFromFlags(0x04), kChangeGroupStart);
  EXPECT_EQ(ChangeKindFromFlags(0x08), kChangeGroupEnd);
  EXPECT_EQ(ChangeKindFromFlags(0x10 | 0x40), kChangeProperty);
  EXPECT_EQ(ChangeKindFromFlags(0x20 | 0x40), kChangeSettings);
  EXPECT_EQ(ChangeKindFromFlags(0x10), kChangeNewFolder);
  EXPECT_EQ(ChangeKindFromFlags(0x80), kChangeDelete);
  EXPECT_EQ(ChangeKindFromFlags(0x100), 0);
}

TEST(OutfoldParts, ImageCacheGrowsByAnEighthBetweenFourAnd1024) {
  ImageCache cache;
  EXPECT_EQ(cache.Find(7, FALSE).index, -1);
  EXPECT_EQ(cache.Capacity(), 4);
  cache.Find(7, FALSE).index = 3;
  EXPECT_EQ(cache.Find(7, FALSE).index, 3);
  EXPECT_EQ(cache.Find(7, TRUE).index, -1);  // an icon of the same number is another image
  for (std::uintptr_t i = 100; i < 140; ++i) cache.Find(i, FALSE);
  EXPECT_EQ(cache.Count(), 42);
  // 4, 8, 12, 16, 20, 24, 28, 32 (+4 each), 36 (32/8), 40 (36/8=4), 45 (40/8=5)
  EXPECT_EQ(cache.Capacity(), 45);
  for (std::uintptr_t i = 1000; i < 20000; ++i) cache.Find(i, FALSE);
  EXPECT_LE(cache.Capacity() - cache.Count(), 1024);
}

// Nodes made and freed in any order are known exactly while they live, through the growth of
// the set that knows them and the removals that reorder it.
TEST(OutfoldParts, NodesAreLiveFromMakingToFreeingInAnyOrder) {
  std::vector<CTreeNode*> nodes;
  for (int i = 0; i < 5000; ++i) nodes.push_back(new CTreeNode(nullptr, nullptr));
  unsigned seed = 7;
  std::vector<CTreeNode*> freed, kept;
  for (CTreeNode* n : nodes) {
    seed = seed * 1103515245u + 12345u;
    ((seed >> 9) % 3 == 0 ? freed : kept).push_back(n);
  }
  std::vector<const void*> freedAt(freed.begin(), freed.end());
  for (CTreeNode* n : freed) delete n;
  for (CTreeNode* n : kept) ASSERT_TRUE(CTreeNode::IsLive(n));
  // Before anything new is made, no freed address can have been handed out again.
  for (const void* p : freedAt) ASSERT_FALSE(CTreeNode::IsLive(static_cast<const CTreeNode*>(p)));
  for (CTreeNode* n : kept) {
    delete n;
    ASSERT_FALSE(CTreeNode::IsLive(n));
  }
  EXPECT_FALSE(CTreeNode::IsLive(nullptr));
}

TEST(OutfoldParts, ChangeStackGrowsByDoublingAndUndoesToTheBottom) {
  ChangeStack stack;
  EXPECT_EQ(stack.CanUndo(), 0);
  EXPECT_EQ(stack.StepBack(), nullptr);
  ChangeRecord r;
  r.m_nKind = kChangeRename;
  stack.Push(r);
  EXPECT_EQ(stack.Capacity(), 1);
  stack.Push(r);
  EXPECT_EQ(stack.Capacity(), 2);
  stack.Push(r);
  EXPECT_EQ(stack.Capacity(), 4);
  EXPECT_FALSE(stack.CanRedo());
  EXPECT_NE(stack.StepBack(), nullptr);
  EXPECT_TRUE(stack.CanRedo());
  EXPECT_NE(stack.StepForward(), nullptr);
  EXPECT_FALSE(stack.CanRedo());
  EXPECT_EQ(stack.StepForward(), nullptr);
}

}  // namespace
}  // namespace outfold_test
