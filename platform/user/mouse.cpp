#include "mouse.h"

#include "wnd.h"

namespace {
struct MouseState {
  HWND capture = nullptr;
  HCURSOR cursor = nullptr;
  POINT pos{0, 0};
};
MouseState& S() {
  static MouseState s;
  return s;
}
bool KnownCursor(UINT_PTR id) {
  return id == IDC_ARROW || id == IDC_IBEAM || id == IDC_WAIT || id == IDC_SIZEWE || id == IDC_NO;
}
// The window's corner on the screen: the sum of its own and its ancestors' positions.
bool Corner(HWND hwnd, POINT* out) {
  CWnd* w = CWnd::FromHandle(hwnd);
  if (!w) return false;
  POINT p{0, 0};
  for (; w; w = w->GetParent()) {
    RECT r;
    w->GetWindowRect(&r);
    p.x += r.left;
    p.y += r.top;
  }
  *out = p;
  return true;
}
}  // namespace

HCURSOR LoadCursor(void*, UINT_PTR id) {
  return KnownCursor(id) ? reinterpret_cast<HCURSOR>(id) : nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = S().cursor;
  S().cursor = cursor;
  return old;
}

HCURSOR GetCursor() { return S().cursor; }

UINT_PTR CursorId(HCURSOR cursor) {
  auto id = reinterpret_cast<UINT_PTR>(cursor);
  return KnownCursor(id) ? id : 0;
}

HWND SetCapture(HWND hwnd) {
  HWND old = S().capture;
  if (!IsWindow(hwnd)) return old;
  S().capture = hwnd;
  if (old && old != hwnd) ::SendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

HWND GetCapture() {
  if (S().capture && !IsWindow(S().capture)) S().capture = nullptr;
  return S().capture;
}

BOOL ReleaseCapture() {
  HWND old = S().capture;
  S().capture = nullptr;
  if (old && IsWindow(old)) ::SendMessage(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* pt) {
  POINT c;
  if (!pt || !Corner(hwnd, &c)) return FALSE;
  pt->x += c.x;
  pt->y += c.y;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* pt) {
  POINT c;
  if (!pt || !Corner(hwnd, &c)) return FALSE;
  pt->x -= c.x;
  pt->y -= c.y;
  return TRUE;
}

BOOL GetCursorPos(POINT* pt) {
  if (!pt) return FALSE;
  *pt = S().pos;
  return TRUE;
}

namespace halyard::user {

CWnd* Mouse::WindowAt(CWnd* top, POINT screen) {
  if (!top || !top->m_hWnd || !(top->GetStyle() & WS_VISIBLE)) return nullptr;
  POINT p = screen;
  ScreenToClient(top->m_hWnd, &p);
  RECT client;
  top->GetClientRect(&client);
  if (!PtInRect(client, p)) return nullptr;
  // Later children lie on top of earlier ones.
  const auto& kids = top->GetChildren();
  for (auto it = kids.rbegin(); it != kids.rend(); ++it)
    if (CWnd* hit = WindowAt(*it, screen)) return hit;
  return top;
}

LRESULT Mouse::Send(CWnd* top, UINT msg, POINT screen, WPARAM keys) {
  S().pos = screen;
  CWnd* target = CWnd::FromHandle(GetCapture());
  bool captured = target != nullptr;
  if (!target) target = WindowAt(top, screen);
  if (!target) return 0;
  POINT p = screen;
  ScreenToClient(target->m_hWnd, &p);
  if (msg == WM_MOUSEMOVE && !captured)
    target->SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(target->m_hWnd),
                        MAKELPARAM(static_cast<int>(HTCLIENT), static_cast<int>(msg)));
  return target->SendMessage(msg, keys, MAKELPARAM(p.x, p.y));
}

void Mouse::Reset() { S() = MouseState{}; }

}  // namespace halyard::user
