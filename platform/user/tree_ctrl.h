// CTreeCtrl: the tree view as a model. Items (text, images, state with its state-image and
// overlay numbers, item data) hang under TVI_ROOT; handles are never reused, so a stale handle
// is refused. Rows are laid out one below the other (the expanded items in order) so that hit
// tests, item rectangles and painting agree. Mouse and keys act as the control does and the
// parent hears of it in WM_NOTIFY: selection changes, begin-drag, label editing (in a CEdit
// child), right clicks and keys. Sorting compares texts without regard to case. One thread.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commctrl.h"
#include "edit_ctrl.h"
#include "platform/kernel/export.h"
#include "wnd.h"

class CDC;
class CImageList;

class HALYARD_EXPORT CTreeCtrl : public CWnd {
 public:
  static constexpr int kRowHeight = 17;

  CTreeCtrl();
  ~CTreeCtrl() override;

  HTREEITEM InsertItem(const TVINSERTSTRUCT& ins);
  HTREEITEM InsertItem(LPCSTR text, int image, int selImage, HTREEITEM parent = TVI_ROOT,
                       HTREEITEM after = TVI_LAST);
  BOOL DeleteItem(HTREEITEM item);  // TVI_ROOT or null: every item
  BOOL DeleteAllItems() { return DeleteItem(TVI_ROOT); }
  bool IsItem(HTREEITEM item) const { return Find(item) != nullptr; }

  HTREEITEM GetNextItem(HTREEITEM item, UINT code) const;
  HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
  HTREEITEM GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
  HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
  HTREEITEM GetParentItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PARENT); }
  HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
  HTREEITEM GetDropHilightItem() const { return GetNextItem(nullptr, TVGN_DROPHILITE); }
  BOOL ItemHasChildren(HTREEITEM item) const { return GetChildItem(item) != nullptr; }
  UINT GetCount() const;

  BOOL GetItem(TVITEM* item) const;
  BOOL SetItem(const TVITEM& item);
  std::string GetItemText(HTREEITEM item) const;
  BOOL SetItemText(HTREEITEM item, LPCSTR text);
  DWORD_PTR GetItemData(HTREEITEM item) const;
  BOOL SetItemData(HTREEITEM item, DWORD_PTR data);
  UINT GetItemState(HTREEITEM item, UINT mask) const;
  BOOL SetItemState(HTREEITEM item, UINT state, UINT mask);
  BOOL GetItemImage(HTREEITEM item, int& image, int& selImage) const;

  // TVGN_CARET selects (notifying TVN_SELCHANGED when it changes), TVGN_DROPHILITE marks the
  // drop target; null clears.
  BOOL Select(HTREEITEM item, UINT code, UINT action = TVC_UNKNOWN);
  BOOL SelectItem(HTREEITEM item) { return Select(item, TVGN_CARET); }
  BOOL SelectDropTarget(HTREEITEM item) { return Select(item, TVGN_DROPHILITE); }
  BOOL Expand(HTREEITEM item, UINT code);
  BOOL EnsureVisible(HTREEITEM item);
  BOOL SortChildren(HTREEITEM item);

  UINT GetIndent() const { return indent_; }
  void SetIndent(UINT indent);
  CImageList* SetImageList(CImageList* list, int which);
  CImageList* GetImageList(int which) const;

  HTREEITEM HitTest(POINT pt, UINT* flags = nullptr) const;
  BOOL GetItemRect(HTREEITEM item, RECT* rect, BOOL textOnly) const;
  // The first visible row and how many rows fit.
  HTREEITEM GetFirstVisibleItem() const { return GetNextItem(nullptr, TVGN_FIRSTVISIBLE); }
  UINT GetVisibleCount() const;

  // Starts editing the label (TVN_BEGINLABELEDIT may refuse); the edit control or null.
  CEdit* EditLabel(HTREEITEM item);
  CEdit* GetEditControl() const { return edit_ && edit_->m_hWnd ? edit_.get() : nullptr; }
  BOOL EndEditLabelNow(BOOL cancel);

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  struct Item {
    HTREEITEM handle = nullptr;
    Item* parent = nullptr;
    std::vector<Item*> children;
    // Whether the children are in the control's sort order, so that a sorted insertion can
    // find its place by halving; false once that is not known.
    bool sorted = true;
    std::string text;
    int image = 0, selImage = 0;
    UINT state = 0;
    LPARAM param = 0;
  };
  Item* Find(HTREEITEM h) const;
  Item* Resolve(HTREEITEM h) const;  // TVI_ROOT and null as the root
  void Erase(Item* item);
  void VisibleRows(std::vector<Item*>& rows) const;
  int RowOf(const Item* item) const;
  int Level(const Item* item) const;
  LRESULT Notify(UINT code, NMHDR* hdr);
  LRESULT NotifyTree(UINT code, Item* oldItem, Item* newItem, UINT action, POINT pt = {0, 0});
  void FillItem(const Item* it, TVITEM* out) const;
  void FinishEdit(bool accept);
  void Paint(CDC& dc);

  std::map<std::uintptr_t, std::unique_ptr<Item>> items_;
  Item root_;
  std::uintptr_t next_ = 1;
  Item* caret_ = nullptr;
  Item* drop_ = nullptr;
  UINT indent_ = 19;
  int top_ = 0;
  CImageList* normal_ = nullptr;
  CImageList* state_ = nullptr;
  std::unique_ptr<CEdit> edit_;
  std::unique_ptr<CEdit> ended_;  // an edit control that ended inside its own message
  Item* editing_ = nullptr;
  Item* pressed_ = nullptr;
  POINT pressPt_{0, 0};
  bool focus_ = false;
};
