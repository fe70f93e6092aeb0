#include "edit_ctrl.h"

#include <algorithm>

#include "gdi.h"

void CEdit::SetSel(int start, int end) {
  int n = GetWindowTextLength();
  if (start < 0) {
    selStart_ = selEnd_ = n;
    return;
  }
  if (end < 0 || end > n) end = n;
  selStart_ = std::clamp(start, 0, n);
  selEnd_ = std::clamp(end, selStart_, n);
}

void CEdit::ReplaceSelection(const std::string& with) {
  std::string text = GetWindowText();
  int a = std::clamp(selStart_, 0, static_cast<int>(text.size()));
  int b = std::clamp(selEnd_, a, static_cast<int>(text.size()));
  std::string next =
      text.substr(0, static_cast<size_t>(a)) + with + text.substr(static_cast<size_t>(b));
  if (static_cast<int>(next.size()) > limit_) return;
  DefWindowProc(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(next.c_str()));
  selStart_ = selEnd_ = a + static_cast<int>(with.size());
}

void CEdit::End(bool accept) {
  if (ended_) return;
  ended_ = true;
  // The callback may destroy this window; nothing of it is touched afterwards.
  if (onEnd_) {
    auto cb = std::move(onEnd_);
    cb(accept);
  }
}

LRESULT CEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (filter_) {
    LRESULT r = 0;
    if (filter_(msg, wParam, lParam, &r)) return r;
  }
  return OwnProc(msg, wParam, lParam);
}

LRESULT CEdit::OwnProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_WANTARROWS;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProc(msg, wParam, lParam);
      selStart_ = 0;
      selEnd_ = GetWindowTextLength();
      return r;
    }
    case EM_SETSEL:
      SetSel(static_cast<int>(static_cast<LPARAM>(wParam)), static_cast<int>(lParam));
      return 0;
    case EM_GETSEL:
      return MAKELPARAM(selStart_, selEnd_);
    case EM_LIMITTEXT:
      limit_ = wParam == 0 ? 0x7FFFFFFE : static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFE));
      return 0;
    case WM_CHAR: {
      auto c = static_cast<unsigned char>(wParam);
      if (c == '\r' || c == 27 || c == '\t') return 0;
      if (c == '\b') {
        if (selStart_ == selEnd_ && selStart_ > 0) --selStart_;
        ReplaceSelection("");
        return 0;
      }
      if (c >= 0x20) ReplaceSelection(std::string(1, static_cast<char>(c)));
      return 0;
    }
    case WM_KEYDOWN:
      switch (static_cast<int>(wParam)) {
        case VK_RETURN:
          End(true);
          return 0;
        case VK_ESCAPE:
          End(false);
          return 0;
        case VK_DELETE:
          if (selStart_ == selEnd_ && selEnd_ < GetWindowTextLength()) ++selEnd_;
          ReplaceSelection("");
          return 0;
        case VK_HOME:
          selStart_ = selEnd_ = 0;
          return 0;
        case VK_END:
          selStart_ = selEnd_ = GetWindowTextLength();
          return 0;
        case VK_LEFT:
          selStart_ = selEnd_ = std::max(0, selStart_ - 1);
          return 0;
        case VK_RIGHT:
          selStart_ = selEnd_ = std::min(GetWindowTextLength(), selEnd_ + 1);
          return 0;
        default:
          return 0;
      }
    case WM_KILLFOCUS:
      losingFocus_ = true;
      End(true);
      return 0;
    case WM_PRINTCLIENT: {
      auto* dc = reinterpret_cast<CDC*>(wParam);
      if (!dc) return 0;
      RECT r;
      GetClientRect(&r);
      dc->FillSolidRect(r, GetSysColor(COLOR_WINDOW));
      dc->SelectObject(GetDefaultGuiFont());
      dc->SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
      dc->SetBkMode(TRANSPARENT);
      RECT t{r.left + 2, r.top + 1, r.right - 1, r.bottom - 1};
      dc->DrawText(GetWindowText(), &t, DT_SINGLELINE | DT_NOPREFIX);
      COLORREF frame = GetSysColor(COLOR_WINDOWTEXT);
      dc->FillSolidRect(RECT{r.left, r.top, r.right, r.top + 1}, frame);
      dc->FillSolidRect(RECT{r.left, r.bottom - 1, r.right, r.bottom}, frame);
      dc->FillSolidRect(RECT{r.left, r.top, r.left + 1, r.bottom}, frame);
      dc->FillSolidRect(RECT{r.right - 1, r.top, r.right, r.bottom}, frame);
      return 0;
    }
    default:
      return DefWindowProc(msg, wParam, lParam);
  }
}
