#include "header_ctrl.h"

#include <algorithm>
#include <cstring>

#include "gdi.h"
#include "mouse.h"

int CHeaderCtrl::InsertItem(int pos, const std::string& text, int width) {
  pos = std::clamp(pos, 0, GetItemCount());
  items_.insert(items_.begin() + pos, Item{text, std::max(0, width)});
  return pos;
}

BOOL CHeaderCtrl::DeleteItem(int pos) {
  if (pos < 0 || pos >= GetItemCount()) return FALSE;
  items_.erase(items_.begin() + pos);
  return TRUE;
}

int CHeaderCtrl::GetItemWidth(int pos) const {
  return pos >= 0 && pos < GetItemCount() ? items_[static_cast<size_t>(pos)].width : 0;
}

BOOL CHeaderCtrl::SetItemWidth(int pos, int width) {
  if (pos < 0 || pos >= GetItemCount()) return FALSE;
  items_[static_cast<size_t>(pos)].width = std::clamp(width, 0, 32767);
  return TRUE;
}

std::string CHeaderCtrl::GetItemText(int pos) const {
  return pos >= 0 && pos < GetItemCount() ? items_[static_cast<size_t>(pos)].text : std::string();
}

BOOL CHeaderCtrl::GetItemRect(int pos, RECT* rect) const {
  if (!rect || pos < 0 || pos >= GetItemCount()) return FALSE;
  int x = 0;
  for (int i = 0; i < pos; ++i) x += items_[static_cast<size_t>(i)].width;
  *rect = RECT{x, 0, x + items_[static_cast<size_t>(pos)].width, kHeight};
  return TRUE;
}

int CHeaderCtrl::HitTest(HDHITTESTINFO* info) const {
  if (!info) return -1;
  info->flags = HHT_NOWHERE;
  info->iItem = -1;
  if (info->pt.y < 0 || info->pt.y >= kHeight) return -1;
  int x = 0;
  for (int i = 0; i < GetItemCount(); ++i) {
    int right = x + items_[static_cast<size_t>(i)].width;
    // The divider takes a few pixels either side of a column's right edge.
    if (info->pt.x >= right - 3 && info->pt.x <= right + 3) {
      info->flags = HHT_ONDIVIDER;
      info->iItem = i;
      // A later zero-width column's divider lies on the same place; the last one wins.
      while (i + 1 < GetItemCount() && items_[static_cast<size_t>(i) + 1].width == 0)
        info->iItem = ++i;
      return info->iItem;
    }
    if (info->pt.x >= x && info->pt.x < right) {
      info->flags = HHT_ONHEADER;
      info->iItem = i;
      return i;
    }
    x = right;
  }
  return -1;
}

LRESULT CHeaderCtrl::Notify(UINT code, int item) {
  CWnd* parent = GetParent();
  if (!parent) return 0;
  HDITEM hd{};
  hd.mask = HDI_WIDTH;
  hd.cxy = GetItemWidth(item);
  NMHEADER nm{};
  nm.hdr = NMHDR{m_hWnd, static_cast<UINT_PTR>(GetDlgCtrlID()), code};
  nm.iItem = item;
  nm.pitem = &hd;
  return parent->SendMessage(WM_NOTIFY, static_cast<WPARAM>(GetDlgCtrlID()),
                             reinterpret_cast<LPARAM>(&nm));
}

void CHeaderCtrl::Paint(CDC& dc) {
  RECT client;
  GetClientRect(&client);
  dc.FillSolidRect(client, GetSysColor(COLOR_BTNFACE));
  dc.SelectObject(GetDefaultGuiFont());
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
  int x = 0;
  for (const Item& it : items_) {
    RECT cell{x, 0, x + it.width, kHeight};
    if (it.width > 0) {
      RECT text{cell.left + 6, cell.top, cell.right - 6, cell.bottom};
      dc.DrawText(it.text, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
      // Raised edges: white top-left, dark grey and black bottom-right.
      dc.FillSolidRect(RECT{cell.left, 0, cell.right, 1}, RGB(255, 255, 255));
      dc.FillSolidRect(RECT{cell.left, 0, cell.left + 1, kHeight}, RGB(255, 255, 255));
      dc.FillSolidRect(RECT{cell.right - 2, 1, cell.right - 1, kHeight - 1}, RGB(128, 128, 128));
      dc.FillSolidRect(RECT{cell.right - 1, 0, cell.right, kHeight}, RGB(0, 0, 0));
      dc.FillSolidRect(RECT{cell.left, kHeight - 1, cell.right, kHeight}, RGB(0, 0, 0));
    }
    x += it.width;
  }
}

LRESULT CHeaderCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case HDM_GETITEMCOUNT:
      return GetItemCount();
    case HDM_INSERTITEM: {
      auto* hd = reinterpret_cast<HDITEM*>(lParam);
      if (!hd) return -1;
      return InsertItem(static_cast<int>(wParam),
                        (hd->mask & HDI_TEXT) && hd->pszText ? hd->pszText : "",
                        (hd->mask & HDI_WIDTH) ? hd->cxy : 0);
    }
    case HDM_DELETEITEM:
      return DeleteItem(static_cast<int>(wParam));
    case HDM_GETITEM: {
      auto* hd = reinterpret_cast<HDITEM*>(lParam);
      int i = static_cast<int>(wParam);
      if (!hd || i < 0 || i >= GetItemCount()) return FALSE;
      if (hd->mask & HDI_WIDTH) hd->cxy = GetItemWidth(i);
      if ((hd->mask & HDI_TEXT) && hd->pszText && hd->cchTextMax > 0) {
        std::string t = GetItemText(i);
        size_t n = std::min<size_t>(t.size(), static_cast<size_t>(hd->cchTextMax) - 1);
        std::memcpy(hd->pszText, t.data(), n);
        hd->pszText[n] = '\0';
      }
      return TRUE;
    }
    case HDM_SETITEM: {
      auto* hd = reinterpret_cast<HDITEM*>(lParam);
      int i = static_cast<int>(wParam);
      if (!hd || i < 0 || i >= GetItemCount()) return FALSE;
      if (hd->mask & HDI_WIDTH) SetItemWidth(i, hd->cxy);
      if ((hd->mask & HDI_TEXT) && hd->pszText) items_[static_cast<size_t>(i)].text = hd->pszText;
      return TRUE;
    }
    case HDM_HITTEST:
      return HitTest(reinterpret_cast<HDHITTESTINFO*>(lParam));
    case HDM_GETITEMRECT:
      return GetItemRect(static_cast<int>(wParam), reinterpret_cast<RECT*>(lParam));
    case WM_SETCURSOR: {
      POINT p;
      GetCursorPos(&p);
      ScreenToClient(m_hWnd, &p);
      HDHITTESTINFO hit{p, 0, -1};
      HitTest(&hit);
      SetCursor(LoadCursor(nullptr, hit.flags == HHT_ONDIVIDER ? IDC_SIZEWE : IDC_ARROW));
      return TRUE;
    }
    case WM_LBUTTONDOWN: {
      HDHITTESTINFO hit{POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, 0, -1};
      HitTest(&hit);
      if (hit.flags == HHT_ONDIVIDER) {
        // A nonzero answer to the begin-track notification forbids the tracking.
        if (Notify(HDN_BEGINTRACK, hit.iItem)) return 0;
        tracking_ = hit.iItem;
        trackStart_ = GetItemWidth(hit.iItem);
        grabX_ = hit.pt.x;
        SetCapture(m_hWnd);
      } else if (hit.flags == HHT_ONHEADER) {
        pressed_ = hit.iItem;
        SetCapture(m_hWnd);
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (tracking_ >= 0) {
        SetItemWidth(tracking_, trackStart_ + GET_X_LPARAM(lParam) - grabX_);
        Notify(HDN_TRACK, tracking_);
      }
      return 0;
    case WM_LBUTTONUP: {
      int tracked = tracking_, pressed = pressed_;
      tracking_ = pressed_ = -1;
      if (GetCapture() == m_hWnd) ReleaseCapture();
      if (tracked >= 0) {
        SetItemWidth(tracked, trackStart_ + GET_X_LPARAM(lParam) - grabX_);
        Notify(HDN_ENDTRACK, tracked);
      } else if (pressed >= 0) {
        HDHITTESTINFO hit{POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, 0, -1};
        HitTest(&hit);
        if (hit.iItem == pressed && hit.flags == HHT_ONHEADER) Notify(HDN_ITEMCLICK, pressed);
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (tracking_ >= 0 && reinterpret_cast<HWND>(lParam) != m_hWnd) {
        int tracked = tracking_;
        tracking_ = -1;
        Notify(HDN_ENDTRACK, tracked);
      }
      pressed_ = -1;
      return 0;
    case WM_PRINTCLIENT:
      if (wParam) Paint(*reinterpret_cast<CDC*>(wParam));
      return 0;
    default:
      return DefWindowProc(msg, wParam, lParam);
  }
}
