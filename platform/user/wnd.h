// CWnd: a headless window. It keeps what a window manager keeps for it (parent, children,
// control identifier, styles, title, rectangle, visibility) and receives messages through its
// virtual WindowProc, sent synchronously or posted to the process queue that PumpMessages
// dispatches. Handles are small numbers that are never reused, so a stale handle is recognised
// instead of reaching freed memory. The object owns neither its parent nor its children; a
// window destroyed with live children destroys them first. One thread only.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel/export.h"
#include "user_types.h"

class HALYARD_EXPORT CWnd {
 public:
  CWnd();
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // Registers the window, links it under the parent and sends WM_CREATE; a WM_CREATE answer
  // of -1 undoes the creation and returns FALSE.
  BOOL CreateEx(DWORD exStyle, LPCSTR title, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  BOOL Create(LPCSTR title, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, title, style, rect, parent, id);
  }
  // Destroys the children, sends WM_DESTROY and forgets the handle.
  BOOL DestroyWindow();

  HWND GetSafeHwnd() const { return m_hWnd; }
  static CWnd* FromHandle(HWND hwnd);

  LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

  CWnd* GetParent() const { return parent_; }
  CWnd* GetDlgItem(int id) const;
  const std::vector<CWnd*>& GetChildren() const { return children_; }
  // Moves this window among its siblings to right after insertAfter (null: first), which is
  // where it then stands in a dialog's tab order; FALSE when that is no sibling.
  BOOL SetOrderAfter(const CWnd* insertAfter);
  int GetDlgCtrlID() const { return static_cast<int>(id_); }

  DWORD GetStyle() const { return style_; }
  DWORD GetExStyle() const { return exStyle_; }
  BOOL ModifyStyle(DWORD remove, DWORD add);

  BOOL ShowWindow(int cmd);
  // Visible when it and every ancestor have WS_VISIBLE.
  BOOL IsWindowVisible() const;

  CWnd* SetFocus();
  static CWnd* GetFocus();

  void MoveWindow(const RECT& rect);
  void GetWindowRect(RECT* rect) const;
  void GetClientRect(RECT* rect) const;

  void SetWindowText(LPCSTR text);
  std::string GetWindowText();
  int GetWindowTextLength();

  void BeginWaitCursor();
  void EndWaitCursor();

  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  // What a window does with a message it does not handle itself: the title, visibility.
  LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = nullptr;

 private:
  void Unlink();

  std::string title_;
  DWORD style_ = 0;
  DWORD exStyle_ = 0;
  UINT id_ = 0;
  RECT rect_{0, 0, 0, 0};
  CWnd* parent_ = nullptr;
  std::vector<CWnd*> children_;
};

HALYARD_EXPORT LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// FALSE for a handle that is not a live window.
HALYARD_EXPORT BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
HALYARD_EXPORT BOOL IsWindow(HWND hwnd);
HALYARD_EXPORT HWND GetFocus();
HALYARD_EXPORT HWND SetFocus(HWND hwnd);
HALYARD_EXPORT HWND GetParent(HWND hwnd);
HALYARD_EXPORT HWND GetDlgItem(HWND hwnd, int id);
HALYARD_EXPORT BOOL ShowWindow(HWND hwnd, int cmd);
HALYARD_EXPORT BOOL IsWindowVisible(HWND hwnd);
HALYARD_EXPORT BOOL DestroyWindow(HWND hwnd);

namespace halyard::user {
// A message waiting in the posted queue.
struct PostedMessage {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};
// Dispatches the posted messages (also those posted meanwhile) and returns how many reached a
// live window; messages for destroyed windows are dropped.
HALYARD_EXPORT int PumpMessages();
HALYARD_EXPORT const std::vector<PostedMessage>& PostedMessages();
HALYARD_EXPORT void DiscardPostedMessages();
}  // namespace halyard::user
