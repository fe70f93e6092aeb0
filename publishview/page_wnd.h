// CPageWnd: the publish structure view. A window holding the folder tree (left, under a band
// captioned "Directory Structure") and the report list of the selected folder's contents
// (right), with the splitter between them. It owns its controls, its nodes, the cut list, the
// list's row records, the image cache and the change stack; the folders and files are the
// host's CPublishObjects. It moves, cuts and pastes, creates, renames and deletes folders
// through mouse, keys, menus and the exported functions, records every change for undo and
// redo, and tells the host objects of each change once it is made. One view at a time; the
// view's thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "change_stack.h"
#include "image_cache.h"
#include "platform/kernel/export.h"
#include "platform/user/image_list.h"
#include "platform/user/list_ctrl.h"
#include "platform/user/menu.h"
#include "platform/user/tree_ctrl.h"
#include "publish_object.h"
#include "tree_node.h"
#include "view_settings.h"

// One entry of the cut list.
struct CUT_ITEM {
  CTreeNode* pNode;
};

// One row of the list.
struct ListRowRecord {
  CTreeNode* pNode = nullptr;
  DWORD flags = 0;  // kRowFolder, kRowFile
  LONG created = 0;
  LONG remoteTime = 0;
  LONG localTime = 0;
  CString sortKey;  // filled while sorting
};
constexpr DWORD kRowFolder = 0x01;
constexpr DWORD kRowFile = 0x02;

// Commands of the view's menu.
constexpr UINT ID_OUTFOLD_CUT = 32771;
constexpr UINT ID_OUTFOLD_NONE = 32772;
constexpr UINT ID_OUTFOLD_PASTE = 32773;
constexpr UINT ID_OUTFOLD_PROPERTIES = 32774;
constexpr UINT ID_OUTFOLD_NEWFOLDER = 32775;
constexpr UINT ID_OUTFOLD_RENAME = 32776;
constexpr UINT ID_OUTFOLD_UNDO = 32777;
constexpr UINT ID_OUTFOLD_REDO = 32778;
constexpr UINT ID_OUTFOLD_DELETE = 32780;

class HALYARD_EXPORT CPageWnd : public CWnd {
 public:
  static constexpr int kViewId = 101;
  static constexpr int kTreeId = 1;
  static constexpr int kListId = 2;
  static constexpr int kSplitter = 8;
  static constexpr int kColumns = 5;
  static constexpr int kMaxNewFolderNumber = 32000;

  CPageWnd();
  ~CPageWnd() override;

  BOOL CreateView(CWnd* parent);

  // Roots and the whole.
  CTreeNode* AddRoot(CPublishObject* object);
  void FinishExpand(CTreeNode* root);
  CPublishObject* FindRoot(const CString& key) const;
  void Reset();
  void DeleteAll();
  const std::vector<CTreeNode*>& Roots() const { return roots_; }

  // The change stack.
  void Undo();
  void Redo();
  int CanUndo() const { return stack_.CanUndo(); }
  BOOL CanRedo() const { return stack_.CanRedo(); }
  ChangeStack& Changes() { return stack_; }
  void MoveBackOneNode(ChangeRecord* change);
  void RenameBackOneNode(ChangeRecord* change);
  void RemoveNewFolder(ChangeRecord* change);
  void AddBackNewFolder(ChangeRecord* change);

  // Moving, cutting and pasting.
  BOOL CanDrop(CTreeNode* node, CTreeNode* target) const;
  BOOL MoveNode(CTreeNode* node, CTreeNode* target);
  // Moves the nodes under the target as one group of changes; FALSE when any fails the test.
  BOOL MoveMultipleNodes(const std::vector<CTreeNode*>& nodes, CTreeNode* target);
  // Inserts the node's folder row and its subtree's under the parent row.
  void MultipleInsert(CTreeNode* node, HTREEITEM parent);
  BOOL Cut();
  BOOL CanCut() const;
  BOOL Paste();
  BOOL CanPaste() const;
  void FreeCutItems();
  void RemoveAllCutItems();
  int IsInCutItems(CTreeNode* node) const;
  int CutCount() const { return static_cast<int>(cut_.size()); }

  // Folders.
  BOOL AddNewFolder(bool inList = false, bool editLabel = true);
  BOOL CanAddNewFolder() const;
  // "New Folder", or with " (n)" the first number that makes it unique in the tree; empty
  // when all up to 32000 are taken.
  CString UniqueFolderName() const;
  BOOL IsNewFolder(CTreeNode* node) const;
  BOOL CanDeleteFolder(CTreeNode* node) const;
  BOOL DeleteFolder(CTreeNode* node);
  BOOL DeleteSelectedFolder();
  BOOL CanDeleteSelectedFolder() const;
  BOOL RenameNode(CTreeNode* node, const CString& name);
  BOOL Rename();
  BOOL CanRename() const;
  BOOL ShowProperties();
  void ResetDateColumns();
  BOOL PassOnDeleteKey(UINT msg, WPARAM wParam, LPARAM lParam);

  // Selection and what the list shows.
  CTreeNode* SelectedFolder() const;
  BOOL SelectFolder(CTreeNode* node);
  // The nodes of the focused selection: the tree's folder, or the list's selected rows.
  std::vector<CTreeNode*> FocusedSelection() const;
  void FillList(CTreeNode* folder);
  void SortList(int column);
  int SortColumn() const { return sortColumn_; }
  ListRowRecord* RowRecord(int row) const;
  CString FormatTime(LONG time) const;
  static CString AttributeText(CPublishObject* object);

  // Menus.
  void EnableMenuItem(CMenu* menu, BOOL cut, BOOL paste, BOOL newFolder, BOOL del, BOOL rename);
  UINT TrackPopupMenu(POINT screen, BOOL cut, BOOL paste, BOOL newFolder, BOOL del, BOOL rename);

  // Settings and layout.
  void ReadRatioInfo();
  void WriteRatioInfo();
  int Ratio() const { return static_cast<int>(settings_.ratio); }
  int FieldWidth(int column) const;
  void Layout();
  int TreeRight() const;
  int HeaderHeight() const;
  void DrawSizeBorder(CDC* dc);
  void ClientToClient(CWnd* from, CWnd* to, POINT* pt) const;
  // A picture of the screen under the view, for the lines drawn while dragging (the splitter's
  // XOR line, the outlines of several rows); null when there is none.
  void AttachScreen(CDC* screen, POINT viewCorner) {
    screen_ = screen;
    screenCorner_ = viewCorner;
  }
  int SplitterLineX() const { return splitLine_; }
  bool IsDragging() const { return drag_ != Drag::None; }

  CTreeCtrl& Tree() { return tree_; }
  CListCtrl& List() { return list_; }
  CImageList& Images() { return images_; }
  ImageCache& Cache() { return cache_; }

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  enum class Drag { None, Tree, List };
  // Records a change requested by a flag word; the host is told (OnChange) after the push.
  ChangeRecord* RecordChange(CPublishObject* object, DWORD flags, DWORD_PTR data,
                             const CString& name);
  void UndoOne(ChangeRecord* change);
  void RedoOne(ChangeRecord* change);
  void AfterUndoRedo(CTreeNode* sortFolder);
  void ReleaseRecord(ChangeRecord& change, bool discarded);
  void DetachFromView(CTreeNode* node);
  void InsertFolderRow(CTreeNode* node, HTREEITEM parent, bool sorted);
  void SetTreeItemLook(CTreeNode* node);
  int ImageIndex(CPublishObject* object, int state);
  void LoadOverlays(CPublishObject* object);
  void MakeStateImages();
  void SortTreeChildren(CTreeNode* folder);
  void MarkCut(CTreeNode* node, bool cut);
  void AppendListRow(CTreeNode* node);
  void FreeRows();
  int RowOfNode(CTreeNode* node) const;
  bool InTree(const CTreeNode* node) const;
  CTreeNode* NodeOfTreeItem(HTREEITEM item) const;
  CTreeNode* DropTargetAt(POINT viewPt);
  void FindAnyName(const CTreeNode* node, const CString& name, bool* found) const;
  void InitColumns();
  void Paint(CDC& dc);
  void DrawListRow(DRAWITEMSTRUCT* di);
  void XorSplitter(int x);
  void XorOutlines();
  LRESULT OnNotify(NMHDR* hdr);
  LRESULT OnTreeNotify(NMHDR* hdr);
  LRESULT OnListNotify(NMHDR* hdr);
  void OnCommand(UINT id);
  void BeginDrag(Drag kind, POINT viewPt);
  void OnDragMove(POINT viewPt);
  void OnDragEnd(POINT viewPt, bool drop);
  void ContextMenuTree();
  void ContextMenuList(int row);
  void SubclassLabelEdit(CEdit* edit);

  CTreeCtrl tree_;
  CListCtrl list_;
  CImageList images_;
  CImageList stateImages_;
  bool overlaysLoaded_ = false;
  ImageCache cache_;
  ChangeStack stack_;
  std::vector<CUT_ITEM> cut_;
  std::vector<ListRowRecord*> rows_;
  std::vector<CTreeNode*> roots_;
  CTreeNode* listFolder_ = nullptr;
  ViewSettings settings_;
  int sortColumn_ = 0;
  bool headerTracking_ = false;
  bool filling_ = false;
  bool destroying_ = false;
  // Splitter.
  bool splitting_ = false;
  int grab_ = 0;
  int splitLine_ = -1;
  // Drag and drop.
  Drag drag_ = Drag::None;
  std::vector<CTreeNode*> dragNodes_;
  CTreeNode* dragStartFolder_ = nullptr;
  CTreeNode* dropTarget_ = nullptr;
  POINT dragStart_{0, 0};
  POINT outlineOffset_{0, 0};
  bool outlinesShown_ = false;
  // The paste target a list menu chose (a folder row), else the tree's folder.
  CTreeNode* menuTarget_ = nullptr;
  CDC* screen_ = nullptr;
  POINT screenCorner_{0, 0};
};
