// CDialog: a headless dialog box, a window whose children are its items. It ends itself on
// Escape (cancel) and Enter (OK) as the dialog manager would, and moves the focus through the
// items that are tab stops. GetNextDlgTabItem walks that tab order; RegisterWindowMessage hands
// out the process-wide message numbers that windows agree on by name. One thread only.
#pragma once

#include "platform/kernel/export.h"
#include "wnd.h"

// A child whose own children take part in its parent dialog's tab order.
constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;

class HALYARD_EXPORT CDialog : public CWnd {
 public:
  CDialog();
  ~CDialog() override;

  // Creates the dialog window (hidden unless style has WS_VISIBLE); owner may be null. The owner
  // is the window the dialog reports to; it is not the dialog's parent.
  BOOL CreateDialogWindow(LPCSTR title, DWORD style, const RECT& rect, CWnd* owner);
  CWnd* GetOwner() const { return owner_; }

  // The focus moves to the next or the previous item that is a tab stop.
  void NextDlgCtrl();
  void PrevDlgCtrl();

  // Ends the dialog with the result: hides it and remembers the result.
  void EndDialog(int result);
  bool IsEnded() const { return ended_; }
  int GetResult() const { return result_; }

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }

 private:
  CWnd* owner_ = nullptr;
  bool ended_ = false;
  int result_ = 0;
};

// The item after (or, with previous, before) ctl among the dialog's items that are visible,
// enabled tab stops, in creation order, wrapping around; items of children with
// WS_EX_CONTROLPARENT belong to the order in their place. With ctl null the first (or last)
// one. ctl itself when no other item qualifies; null for a handle that is not a window.
HALYARD_EXPORT HWND GetNextDlgTabItem(HWND dlg, HWND ctl, BOOL previous);

// The same number (0xC000 to 0xFFFF) for the same name, ignoring case, for the life of the
// process; 0 for a null or empty name or when the numbers run out.
HALYARD_EXPORT UINT RegisterWindowMessage(LPCSTR name);
