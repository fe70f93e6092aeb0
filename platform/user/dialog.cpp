#include "dialog.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "desktop.h"
#include "platform/kernel/text.h"

CDialog::CDialog() = default;

CDialog::~CDialog() = default;

BOOL CDialog::CreateDialogWindow(LPCSTR title, DWORD style, const RECT& rect, CWnd* owner) {
  if (owner && !owner->GetSafeHwnd()) return FALSE;
  owner_ = owner;
  ended_ = false;
  result_ = 0;
  return CreateEx(WS_EX_CONTROLPARENT, title, style, rect, nullptr, 0);
}

void CDialog::NextDlgCtrl() {
  HWND next = GetNextDlgTabItem(m_hWnd, ::GetFocus(), FALSE);
  if (next) ::SetFocus(next);
}

void CDialog::PrevDlgCtrl() {
  HWND prev = GetNextDlgTabItem(m_hWnd, ::GetFocus(), TRUE);
  if (prev) ::SetFocus(prev);
}

void CDialog::EndDialog(int result) {
  ended_ = true;
  result_ = result;
  ShowWindow(SW_HIDE);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        OnCancel();
        return 0;
      }
      if (wParam == VK_RETURN) {
        OnOK();
        return 0;
      }
      if (wParam == VK_TAB) {
        if (GetKeyState(VK_SHIFT) < 0)
          PrevDlgCtrl();
        else
          NextDlgCtrl();
        return 0;
      }
      return 0;
    case WM_CLOSE:
      OnCancel();
      return 0;
    default:
      return CWnd::WindowProc(msg, wParam, lParam);
  }
}

namespace {

bool IsTabStop(const CWnd* w) {
  DWORD s = w->GetStyle();
  return (s & WS_TABSTOP) && (s & WS_VISIBLE) && !(s & WS_DISABLED);
}

// The dialog's items in tab order: children in creation order, the items of a control parent
// in its place.
void CollectItems(const CWnd* parent, std::vector<CWnd*>& out, int depth) {
  if (depth > 64) return;  // a pathological nesting is cut rather than overflowing the stack
  for (CWnd* child : parent->GetChildren()) {
    out.push_back(child);
    if (child->GetExStyle() & WS_EX_CONTROLPARENT) CollectItems(child, out, depth + 1);
  }
}

}  // namespace

HWND GetNextDlgTabItem(HWND dlg, HWND ctl, BOOL previous) {
  CWnd* d = CWnd::FromHandle(dlg);
  if (!d) return nullptr;
  std::vector<CWnd*> items;
  CollectItems(d, items, 0);
  CWnd* current = ctl ? CWnd::FromHandle(ctl) : nullptr;
  // A focus inside an item (the edit inside a composite control) counts as that item.
  size_t at = items.size();
  for (CWnd* w = current; w && at == items.size(); w = w->GetParent())
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i] == w) {
        at = i;
        break;
      }
  size_t n = items.size();
  if (n == 0) return ctl;
  for (size_t step = 1; step <= n; ++step) {
    size_t i;
    if (at == n)
      i = previous ? n - step : step - 1;
    else
      i = previous ? (at + n - step) % n : (at + step) % n;
    if (IsTabStop(items[i])) return items[i]->m_hWnd;
  }
  return ctl;
}

UINT RegisterWindowMessage(LPCSTR name) {
  static std::unordered_map<std::string, UINT> numbers;
  static UINT next = 0xC000;
  if (!name || !*name) return 0;
  std::string key = halyard::AsciiLowerCopy(name);
  auto it = numbers.find(key);
  if (it != numbers.end()) return it->second;
  if (next > 0xFFFF) return 0;
  numbers.emplace(key, next);
  return next++;
}
