// Mouse capture, cursors and the pointer of the headless desktop: SetCapture and its
// companions, the system cursors and the one shown, the conversion between a window's client
// coordinates and the screen's, and Mouse::Send, which delivers a mouse message at a screen
// point to the window that would get it (the capturing window, else the deepest visible
// window under the point) in that window's client coordinates. One thread only.
#pragma once

#include "platform/kernel/export.h"
#include "user_types.h"

class CWnd;

struct HCURSOR__;
using HCURSOR = HCURSOR__*;

// The system cursors, as the numbers LoadCursor takes.
constexpr UINT_PTR IDC_ARROW = 32512;
constexpr UINT_PTR IDC_IBEAM = 32513;
constexpr UINT_PTR IDC_WAIT = 32514;
constexpr UINT_PTR IDC_SIZEWE = 32644;
constexpr UINT_PTR IDC_NO = 32648;

constexpr LRESULT HTCLIENT = 1;

// The system cursor with that number; null for an unknown one.
HALYARD_EXPORT HCURSOR LoadCursor(void* instance, UINT_PTR id);
HALYARD_EXPORT HCURSOR SetCursor(HCURSOR cursor);
HALYARD_EXPORT HCURSOR GetCursor();
// The number of a system cursor handle, 0 for others.
HALYARD_EXPORT UINT_PTR CursorId(HCURSOR cursor);

// Sends WM_CAPTURECHANGED to the window losing the capture; returns the previous holder.
HALYARD_EXPORT HWND SetCapture(HWND hwnd);
HALYARD_EXPORT HWND GetCapture();
HALYARD_EXPORT BOOL ReleaseCapture();

HALYARD_EXPORT BOOL ClientToScreen(HWND hwnd, POINT* pt);
HALYARD_EXPORT BOOL ScreenToClient(HWND hwnd, POINT* pt);
HALYARD_EXPORT BOOL GetCursorPos(POINT* pt);

namespace halyard::user {
class HALYARD_EXPORT Mouse {
 public:
  // The deepest visible window under the screen point in top's tree, or null.
  static CWnd* WindowAt(CWnd* top, POINT screen);
  // Delivers msg at the screen point (see the header's opening); a move first gets
  // WM_SETCURSOR when nothing has the capture. Returns the window's answer.
  static LRESULT Send(CWnd* top, UINT msg, POINT screen, WPARAM keys = 0);
  // Forgets capture, cursor and pointer.
  static void Reset();
};
}  // namespace halyard::user
