// CListCtrl: the list view in report style as a model. Rows hold a text per column, an image,
// a state (selected, focused, cut, state-image and overlay numbers) and item data; columns live
// in the CHeaderCtrl child along the top, whose notifications the list passes to its parent
// (and a caption click as LVN_COLUMNCLICK). Rows are fixed-height, one below the other from the
// top index, so that hit tests, item rectangles and painting agree; an owner-drawn list asks
// its parent to draw each visible row with WM_DRAWITEM. Selection follows the mouse (Ctrl
// toggles, Shift extends) and the arrow keys; label editing uses a CEdit child. One thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "commctrl.h"
#include "edit_ctrl.h"
#include "header_ctrl.h"
#include "platform/kernel/export.h"
#include "wnd.h"

class CDC;
class CImageList;

class HALYARD_EXPORT CListCtrl : public CWnd {
 public:
  static constexpr int kRowHeight = 17;

  CListCtrl();
  ~CListCtrl() override;

  int InsertColumn(int pos, LPCSTR text, int fmt = LVCFMT_LEFT, int width = -1);
  int GetColumnCount() const { return header_.GetItemCount(); }
  int GetColumnWidth(int col) const { return header_.GetItemWidth(col); }
  BOOL SetColumnWidth(int col, int width);
  CHeaderCtrl* GetHeaderCtrl() { return header_.m_hWnd ? &header_ : nullptr; }

  int InsertItem(const LVITEM& item);
  int InsertItem(int pos, LPCSTR text, int image = 0);
  BOOL DeleteItem(int item);
  BOOL DeleteAllItems();
  int GetItemCount() const { return static_cast<int>(rows_.size()); }
  BOOL GetItem(LVITEM* item) const;
  BOOL SetItem(const LVITEM& item);
  std::string GetItemText(int item, int sub) const;
  BOOL SetItemText(int item, int sub, LPCSTR text);
  DWORD_PTR GetItemData(int item) const;
  BOOL SetItemData(int item, DWORD_PTR data);
  UINT GetItemState(int item, UINT mask) const;
  // item -1: every row.
  BOOL SetItemState(int item, UINT state, UINT mask);
  int GetNextItem(int start, UINT flags) const;
  UINT GetSelectedCount() const;
  // Reorders the rows by compare(data1, data2, param) (stable).
  BOOL SortItems(PFNLVCOMPARE compare, LPARAM param);

  CImageList* SetImageList(CImageList* list, int which);
  CImageList* GetImageList(int which) const;

  int HitTest(LVHITTESTINFO* info) const;
  int HitTest(POINT pt, UINT* flags = nullptr) const;
  BOOL GetItemRect(int item, RECT* rect, int code) const;
  // The rectangle of a row's cell in a column (client coordinates).
  BOOL GetSubItemRect(int item, int sub, RECT* rect) const;
  int GetTopIndex() const { return top_; }
  int GetCountPerPage() const;
  BOOL EnsureVisible(int item, BOOL partialOK);
  // Paints rows first..last again (counted; painting happens when the window is painted).
  BOOL RedrawItems(int first, int last);
  int RedrawCount() const { return redraws_; }

  CEdit* EditLabel(int item);
  CEdit* GetEditControl() const { return edit_ && edit_->m_hWnd ? edit_.get() : nullptr; }
  void CancelEditLabel();

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  struct Row {
    std::vector<std::string> texts;
    int image = 0;
    UINT state = 0;
    LPARAM param = 0;
  };
  LRESULT Notify(UINT code, NMHDR* hdr);
  LRESULT NotifyList(UINT code, int item, int sub, POINT pt = {0, 0}, UINT oldState = 0,
                     UINT newState = 0);
  void FinishEdit(bool accept);
  void Paint(CDC& dc);
  void SelectOnly(int item);
  void Layout();
  int RowsTop() const;
  int TotalWidth() const;

  CHeaderCtrl header_;
  std::vector<Row> rows_;
  int top_ = 0;
  int anchor_ = -1;
  int redraws_ = 0;
  CImageList* small_ = nullptr;
  CImageList* state_ = nullptr;
  std::unique_ptr<CEdit> edit_;
  std::unique_ptr<CEdit> ended_;
  int editing_ = -1;
  int pressed_ = -1;
  POINT pressPt_{0, 0};
  bool focus_ = false;
};
