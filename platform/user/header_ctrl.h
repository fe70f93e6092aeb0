// CHeaderCtrl: the row of column captions above a report list. It keeps the items' texts and
// widths, answers the header messages and hit tests, and turns mouse input into its
// notifications to the parent: a press near a divider begins tracking (HDN_BEGINTRACK), moves
// resize the column (HDN_TRACK each time), the release ends it (HDN_ENDTRACK); a click on a
// caption is HDN_ITEMCLICK. One thread only.
#pragma once

#include <string>
#include <vector>

#include "commctrl.h"
#include "platform/kernel/export.h"
#include "wnd.h"

class CDC;

class HALYARD_EXPORT CHeaderCtrl : public CWnd {
 public:
  static constexpr int kHeight = 20;

  int GetItemCount() const { return static_cast<int>(items_.size()); }
  int InsertItem(int pos, const std::string& text, int width);
  BOOL DeleteItem(int pos);
  int GetItemWidth(int pos) const;
  BOOL SetItemWidth(int pos, int width);
  std::string GetItemText(int pos) const;
  BOOL GetItemRect(int pos, RECT* rect) const;
  // HHT_ONHEADER or HHT_ONDIVIDER (the divider right of iItem) or HHT_NOWHERE.
  int HitTest(HDHITTESTINFO* info) const;
  bool IsTracking() const { return tracking_ >= 0; }

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  struct Item {
    std::string text;
    int width;
  };
  LRESULT Notify(UINT code, int item);
  void Paint(CDC& dc);

  std::vector<Item> items_;
  int tracking_ = -1;
  int trackStart_ = 0, grabX_ = 0;
  int pressed_ = -1;
};
