// CEdit: the single-line edit control that tree and list views put over a label while it is
// edited. It keeps its text and the selection; typed characters replace the selection, Back
// and Delete remove, Enter and Escape end the edit through the owner's callback (accept or
// cancel), and losing the focus accepts it. A filter installed by whoever subclasses the
// control sees each message first and may answer it instead (as a subclassed window procedure
// would). One thread only.
#pragma once

#include <functional>
#include <string>

#include "platform/kernel/export.h"
#include "wnd.h"

constexpr UINT EM_GETSEL = 0x00B0;
constexpr UINT EM_SETSEL = 0x00B1;
constexpr UINT EM_LIMITTEXT = 0x00C5;

class HALYARD_EXPORT CEdit : public CWnd {
 public:
  // Returns true when it answered the message (*result is then the answer).
  using Filter = std::function<bool(UINT, WPARAM, LPARAM, LRESULT*)>;

  void SetFilter(Filter filter) { filter_ = std::move(filter); }
  // Called once when Enter (true), Escape (false) or the loss of focus (true) ends the edit.
  void SetOnEnd(std::function<void(bool accept)> onEnd) { onEnd_ = std::move(onEnd); }
  void SetSel(int start, int end);
  // True while the edit ends because it is losing the focus to another window.
  bool IsLosingFocus() const { return losingFocus_; }
  void GetSel(int& start, int& end) const {
    start = selStart_;
    end = selEnd_;
  }

  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  LRESULT OwnProc(UINT msg, WPARAM wParam, LPARAM lParam);
  void End(bool accept);
  void ReplaceSelection(const std::string& with);

  Filter filter_;
  std::function<void(bool)> onEnd_;
  int selStart_ = 0, selEnd_ = 0;
  int limit_ = 260;
  bool ended_ = false;
  bool losingFocus_ = false;
};
