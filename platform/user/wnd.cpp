#include "wnd.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "desktop.h"

namespace {

struct Registry {
  std::unordered_map<std::uintptr_t, CWnd*> windows;
  std::uintptr_t next = 0x10000;
  CWnd* focus = nullptr;
  std::vector<halyard::user::PostedMessage> queue;
};

Registry& R() {
  static Registry r;
  return r;
}

}  // namespace

CWnd::CWnd() = default;

CWnd::~CWnd() {
  if (m_hWnd) {
    // Children that outlive a parent being deleted are detached, not destroyed through a
    // virtual call on a half-destroyed object.
    for (CWnd* child : children_) child->parent_ = nullptr;
    children_.clear();
    Unlink();
  }
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR title, DWORD style, const RECT& rect, CWnd* parent,
                    UINT id) {
  if (m_hWnd) return FALSE;
  if (parent && !parent->m_hWnd) return FALSE;
  Registry& r = R();
  std::uintptr_t h = r.next++;
  m_hWnd = reinterpret_cast<HWND>(h);
  r.windows[h] = this;
  title_ = title ? title : "";
  style_ = style;
  exStyle_ = exStyle;
  rect_ = rect;
  id_ = id;
  parent_ = parent;
  if (parent) parent->children_.push_back(this);
  if (SendMessage(WM_CREATE, 0, 0) == -1) {
    DestroyWindow();
    return FALSE;
  }
  return TRUE;
}

void CWnd::Unlink() {
  Registry& r = R();
  if (r.focus == this) r.focus = nullptr;
  if (parent_) {
    auto& sib = parent_->children_;
    sib.erase(std::remove(sib.begin(), sib.end(), this), sib.end());
    parent_ = nullptr;
  }
  r.windows.erase(reinterpret_cast<std::uintptr_t>(m_hWnd));
  m_hWnd = nullptr;
}

BOOL CWnd::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  while (!children_.empty()) {
    CWnd* child = children_.back();
    if (!child->DestroyWindow()) {
      child->Unlink();
    }
  }
  SendMessage(WM_DESTROY, 0, 0);
  if (m_hWnd) Unlink();
  return TRUE;
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  auto& w = R().windows;
  auto it = w.find(reinterpret_cast<std::uintptr_t>(hwnd));
  return it == w.end() ? nullptr : it->second;
}

LRESULT CWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!m_hWnd) return 0;
  return WindowProc(msg, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::PostMessage(m_hWnd, msg, wParam, lParam);
}

CWnd* CWnd::GetDlgItem(int id) const {
  for (CWnd* c : children_)
    if (c->GetDlgCtrlID() == id) return c;
  return nullptr;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add) {
  DWORD old = style_;
  style_ = (style_ & ~remove) | add;
  return old != style_;
}

BOOL CWnd::ShowWindow(int cmd) {
  BOOL was = (style_ & WS_VISIBLE) != 0;
  bool show = cmd != SW_HIDE;
  if (show != static_cast<bool>(was)) {
    if (show)
      style_ |= WS_VISIBLE;
    else
      style_ &= ~WS_VISIBLE;
    SendMessage(WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  }
  return was;
}

BOOL CWnd::IsWindowVisible() const {
  for (const CWnd* w = this; w; w = w->parent_)
    if (!(w->style_ & WS_VISIBLE)) return FALSE;
  return m_hWnd != nullptr;
}

CWnd* CWnd::SetFocus() {
  Registry& r = R();
  CWnd* old = r.focus;
  if (!m_hWnd || old == this) return old;
  if (old) old->SendMessage(WM_KILLFOCUS, reinterpret_cast<WPARAM>(m_hWnd), 0);
  r.focus = this;
  SendMessage(WM_SETFOCUS, old ? reinterpret_cast<WPARAM>(old->m_hWnd) : 0, 0);
  return old;
}

CWnd* CWnd::GetFocus() { return R().focus; }

BOOL CWnd::SetOrderAfter(const CWnd* insertAfter) {
  if (!parent_ || insertAfter == this) return FALSE;
  auto& list = parent_->children_;
  if (insertAfter && std::find(list.begin(), list.end(), insertAfter) == list.end()) return FALSE;
  list.erase(std::find(list.begin(), list.end(), this));
  auto at = insertAfter ? std::find(list.begin(), list.end(), insertAfter) + 1 : list.begin();
  list.insert(at, this);
  return TRUE;
}

void CWnd::MoveWindow(const RECT& rect) {
  rect_ = rect;
  long long w = static_cast<long long>(rect.right) - rect.left;
  long long h = static_cast<long long>(rect.bottom) - rect.top;
  SendMessage(WM_SIZE, 0, static_cast<LPARAM>((h & 0xFFFF) << 16 | (w & 0xFFFF)));
}

void CWnd::GetWindowRect(RECT* rect) const {
  if (rect) *rect = rect_;
}

void CWnd::GetClientRect(RECT* rect) const {
  if (!rect) return;
  long long w = static_cast<long long>(rect_.right) - rect_.left;
  long long h = static_cast<long long>(rect_.bottom) - rect_.top;
  *rect = RECT{0, 0, static_cast<LONG>(std::clamp<long long>(w, 0, INT32_MAX)),
               static_cast<LONG>(std::clamp<long long>(h, 0, INT32_MAX))};
}

void CWnd::SetWindowText(LPCSTR text) {
  SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

std::string CWnd::GetWindowText() {
  int n = GetWindowTextLength();
  std::string s(static_cast<size_t>(n) + 1, '\0');
  LRESULT got = SendMessage(WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(std::clamp<LRESULT>(got, 0, n)));
  return s;
}

int CWnd::GetWindowTextLength() { return static_cast<int>(SendMessage(WM_GETTEXTLENGTH)); }

void CWnd::BeginWaitCursor() { halyard::user::Desktop::BeginWaitCursor(); }

void CWnd::EndWaitCursor() { halyard::user::Desktop::EndWaitCursor(); }

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProc(msg, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETTEXT:
      title_ = lParam ? reinterpret_cast<const char*>(lParam) : "";
      return TRUE;
    case WM_GETTEXT: {
      char* buf = reinterpret_cast<char*>(lParam);
      if (!buf || wParam == 0) return 0;
      size_t n = std::min<size_t>(title_.size(), wParam - 1);
      std::memcpy(buf, title_.data(), n);
      buf[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(title_.size());
    default:
      return 0;
  }
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CWnd* w = CWnd::FromHandle(hwnd);
  return w ? w->SendMessage(msg, wParam, lParam) : 0;
}

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!CWnd::FromHandle(hwnd)) return FALSE;
  R().queue.push_back({hwnd, msg, wParam, lParam});
  return TRUE;
}

BOOL IsWindow(HWND hwnd) { return CWnd::FromHandle(hwnd) != nullptr; }

HWND GetFocus() {
  CWnd* f = CWnd::GetFocus();
  return f ? f->m_hWnd : nullptr;
}

HWND SetFocus(HWND hwnd) {
  CWnd* w = CWnd::FromHandle(hwnd);
  CWnd* old = w ? w->SetFocus() : nullptr;
  return old ? old->m_hWnd : nullptr;
}

HWND GetParent(HWND hwnd) {
  CWnd* w = CWnd::FromHandle(hwnd);
  return w && w->GetParent() ? w->GetParent()->m_hWnd : nullptr;
}

HWND GetDlgItem(HWND hwnd, int id) {
  CWnd* w = CWnd::FromHandle(hwnd);
  CWnd* c = w ? w->GetDlgItem(id) : nullptr;
  return c ? c->m_hWnd : nullptr;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
  CWnd* w = CWnd::FromHandle(hwnd);
  return w ? w->ShowWindow(cmd) : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
  CWnd* w = CWnd::FromHandle(hwnd);
  return w ? w->IsWindowVisible() : FALSE;
}

BOOL DestroyWindow(HWND hwnd) {
  CWnd* w = CWnd::FromHandle(hwnd);
  return w ? w->DestroyWindow() : FALSE;
}

namespace halyard::user {

int PumpMessages() {
  int delivered = 0;
  // Handlers may post more; index-based so that the queue may grow while we walk it.
  for (size_t i = 0; i < R().queue.size(); ++i) {
    PostedMessage m = R().queue[i];
    if (CWnd* w = CWnd::FromHandle(m.hwnd)) {
      w->SendMessage(m.msg, m.wParam, m.lParam);
      ++delivered;
    }
  }
  R().queue.clear();
  return delivered;
}

const std::vector<PostedMessage>& PostedMessages() { return R().queue; }

void DiscardPostedMessages() { R().queue.clear(); }

}  // namespace halyard::user
