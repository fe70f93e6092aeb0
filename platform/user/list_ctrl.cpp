#include "list_ctrl.h"

#include <algorithm>
#include <cstring>

#include "desktop.h"
#include "gdi.h"
#include "image_list.h"
#include "mouse.h"

CListCtrl::CListCtrl() = default;

CListCtrl::~CListCtrl() {
  if (edit_) edit_->DestroyWindow();
}

int CListCtrl::RowsTop() const {
  return header_.m_hWnd && (GetStyle() & LVS_REPORT) ? CHeaderCtrl::kHeight : 0;
}

int CListCtrl::TotalWidth() const {
  int w = 0;
  for (int c = 0; c < GetColumnCount(); ++c) w += GetColumnWidth(c);
  return w;
}

void CListCtrl::Layout() {
  if (!header_.m_hWnd) return;
  RECT client;
  GetClientRect(&client);
  header_.MoveWindow(RECT{0, 0, std::max<LONG>(client.right, TotalWidth()), CHeaderCtrl::kHeight});
}

int CListCtrl::InsertColumn(int pos, LPCSTR text, int, int width) {
  if (!header_.m_hWnd) return -1;
  int at = header_.InsertItem(pos, text ? text : "", width < 0 ? 100 : width);
  for (Row& r : rows_)
    if (at <= static_cast<int>(r.texts.size()) && at > 0)
      r.texts.insert(r.texts.begin() + at, std::string());
  Layout();
  return at;
}

BOOL CListCtrl::SetColumnWidth(int col, int width) {
  BOOL ok = header_.SetItemWidth(col, width);
  Layout();
  return ok;
}

int CListCtrl::InsertItem(const LVITEM& item) {
  Row r;
  r.texts.resize(static_cast<size_t>(std::max(1, GetColumnCount())));
  if ((item.mask & LVIF_TEXT) && item.pszText) r.texts[0] = item.pszText;
  if (item.mask & LVIF_IMAGE) r.image = item.iImage;
  if (item.mask & LVIF_PARAM) r.param = item.lParam;
  if (item.mask & LVIF_STATE) r.state = item.state & item.stateMask;
  int at = std::clamp(item.iItem, 0, GetItemCount());
  rows_.insert(rows_.begin() + at, std::move(r));
  if (anchor_ >= at) ++anchor_;
  if (editing_ >= at) ++editing_;
  return at;
}

int CListCtrl::InsertItem(int pos, LPCSTR text, int image) {
  LVITEM it{};
  it.mask = LVIF_TEXT | LVIF_IMAGE;
  it.iItem = pos;
  it.pszText = const_cast<LPSTR>(text);
  it.iImage = image;
  return InsertItem(it);
}

BOOL CListCtrl::DeleteItem(int item) {
  if (item < 0 || item >= GetItemCount()) return FALSE;
  if (editing_ == item) CancelEditLabel();
  rows_.erase(rows_.begin() + item);
  if (editing_ > item) --editing_;
  if (anchor_ == item)
    anchor_ = -1;
  else if (anchor_ > item)
    --anchor_;
  pressed_ = -1;
  top_ = std::clamp(top_, 0, std::max(0, GetItemCount() - 1));
  return TRUE;
}

BOOL CListCtrl::DeleteAllItems() {
  if (editing_ >= 0) CancelEditLabel();
  rows_.clear();
  top_ = 0;
  anchor_ = pressed_ = -1;
  return TRUE;
}

BOOL CListCtrl::GetItem(LVITEM* item) const {
  if (!item || item->iItem < 0 || item->iItem >= GetItemCount()) return FALSE;
  const Row& r = rows_[static_cast<size_t>(item->iItem)];
  if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax > 0) {
    std::string t = GetItemText(item->iItem, item->iSubItem);
    size_t n = std::min<size_t>(t.size(), static_cast<size_t>(item->cchTextMax) - 1);
    std::memcpy(item->pszText, t.data(), n);
    item->pszText[n] = '\0';
  }
  if (item->mask & LVIF_IMAGE) item->iImage = r.image;
  if (item->mask & LVIF_PARAM) item->lParam = r.param;
  if (item->mask & LVIF_STATE) item->state = r.state & item->stateMask;
  return TRUE;
}

BOOL CListCtrl::SetItem(const LVITEM& item) {
  if (item.iItem < 0 || item.iItem >= GetItemCount()) return FALSE;
  Row& r = rows_[static_cast<size_t>(item.iItem)];
  if ((item.mask & LVIF_TEXT) && !SetItemText(item.iItem, item.iSubItem, item.pszText))
    return FALSE;
  if (item.mask & LVIF_IMAGE) r.image = item.iImage;
  if (item.mask & LVIF_PARAM) r.param = item.lParam;
  if (item.mask & LVIF_STATE) SetItemState(item.iItem, item.state, item.stateMask);
  return TRUE;
}

std::string CListCtrl::GetItemText(int item, int sub) const {
  if (item < 0 || item >= GetItemCount() || sub < 0) return std::string();
  const Row& r = rows_[static_cast<size_t>(item)];
  return sub < static_cast<int>(r.texts.size()) ? r.texts[static_cast<size_t>(sub)] : std::string();
}

BOOL CListCtrl::SetItemText(int item, int sub, LPCSTR text) {
  if (item < 0 || item >= GetItemCount() || sub < 0 || sub >= std::max(1, GetColumnCount()))
    return FALSE;
  Row& r = rows_[static_cast<size_t>(item)];
  if (static_cast<int>(r.texts.size()) <= sub) r.texts.resize(static_cast<size_t>(sub) + 1);
  r.texts[static_cast<size_t>(sub)] = text ? text : "";
  return TRUE;
}

DWORD_PTR CListCtrl::GetItemData(int item) const {
  return item >= 0 && item < GetItemCount()
             ? static_cast<DWORD_PTR>(rows_[static_cast<size_t>(item)].param)
             : 0;
}

BOOL CListCtrl::SetItemData(int item, DWORD_PTR data) {
  if (item < 0 || item >= GetItemCount()) return FALSE;
  rows_[static_cast<size_t>(item)].param = static_cast<LPARAM>(data);
  return TRUE;
}

UINT CListCtrl::GetItemState(int item, UINT mask) const {
  return item >= 0 && item < GetItemCount() ? rows_[static_cast<size_t>(item)].state & mask : 0;
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
  if (item == -1) {
    for (int i = 0; i < GetItemCount(); ++i) SetItemState(i, state, mask);
    return TRUE;
  }
  if (item < 0 || item >= GetItemCount()) return FALSE;
  // Only one row has the focus.
  if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED))
    for (Row& r : rows_) r.state &= ~LVIS_FOCUSED;
  Row& r = rows_[static_cast<size_t>(item)];
  UINT old = r.state;
  r.state = (r.state & ~mask) | (state & mask);
  if (old != r.state) NotifyList(LVN_ITEMCHANGED, item, 0, POINT{0, 0}, old, r.state);
  return TRUE;
}

int CListCtrl::GetNextItem(int start, UINT flags) const {
  for (int i = std::max(0, start + 1); i < GetItemCount(); ++i) {
    UINT s = rows_[static_cast<size_t>(i)].state;
    if ((flags & LVNI_SELECTED) && !(s & LVIS_SELECTED)) continue;
    if ((flags & LVNI_FOCUSED) && !(s & LVIS_FOCUSED)) continue;
    return i;
  }
  return -1;
}

UINT CListCtrl::GetSelectedCount() const {
  return static_cast<UINT>(std::count_if(
      rows_.begin(), rows_.end(), [](const Row& r) { return (r.state & LVIS_SELECTED) != 0; }));
}

BOOL CListCtrl::SortItems(PFNLVCOMPARE compare, LPARAM param) {
  if (!compare) return FALSE;
  if (editing_ >= 0) CancelEditLabel();
  std::stable_sort(rows_.begin(), rows_.end(), [&](const Row& a, const Row& b) {
    return compare(a.param, b.param, param) < 0;
  });
  anchor_ = -1;
  return TRUE;
}

CImageList* CListCtrl::SetImageList(CImageList* list, int which) {
  CImageList*& slot = which == static_cast<int>(LVSIL_STATE) ? state_ : small_;
  CImageList* old = slot;
  slot = list;
  return old;
}

CImageList* CListCtrl::GetImageList(int which) const {
  return which == static_cast<int>(LVSIL_STATE) ? state_ : small_;
}

int CListCtrl::HitTest(LVHITTESTINFO* info) const {
  if (!info) return -1;
  info->flags = LVHT_NOWHERE;
  info->iItem = -1;
  info->iSubItem = 0;
  RECT client;
  GetClientRect(&client);
  POINT pt = info->pt;
  if (pt.y < RowsTop() || pt.x < 0 || pt.x >= client.right || pt.y >= client.bottom) return -1;
  int row = top_ + (pt.y - RowsTop()) / kRowHeight;
  if (row >= GetItemCount() || pt.x >= TotalWidth()) return -1;
  int x = 0;
  for (int c = 0; c < GetColumnCount(); ++c) {
    if (pt.x < x + GetColumnWidth(c)) {
      info->iSubItem = c;
      break;
    }
    x += GetColumnWidth(c);
  }
  int stateW = state_ && (rows_[static_cast<size_t>(row)].state & LVIS_STATEIMAGEMASK)
                   ? state_->GetIconSize().cx
                   : 0;
  int iconW = small_ ? small_->GetIconSize().cx : 0;
  info->iItem = row;
  if (pt.x < stateW)
    info->flags = LVHT_ONITEMSTATEICON;
  else if (pt.x < stateW + iconW)
    info->flags = LVHT_ONITEMICON;
  else
    info->flags = LVHT_ONITEMLABEL;
  return row;
}

int CListCtrl::HitTest(POINT pt, UINT* flags) const {
  LVHITTESTINFO info{pt, 0, -1, 0};
  int row = HitTest(&info);
  if (flags) *flags = info.flags;
  return row;
}

BOOL CListCtrl::GetItemRect(int item, RECT* rect, int code) const {
  if (!rect || item < 0 || item >= GetItemCount()) return FALSE;
  int y = RowsTop() + (item - top_) * kRowHeight;
  int stateW = state_ && (rows_[static_cast<size_t>(item)].state & LVIS_STATEIMAGEMASK)
                   ? state_->GetIconSize().cx
                   : 0;
  int iconW = small_ ? small_->GetIconSize().cx : 0;
  switch (code) {
    case LVIR_ICON:
      *rect = RECT{stateW, y, stateW + iconW, y + kRowHeight};
      break;
    case LVIR_LABEL:
      *rect = RECT{stateW + iconW, y, std::max(stateW + iconW, GetColumnWidth(0)), y + kRowHeight};
      break;
    default:
      *rect = RECT{0, y, TotalWidth(), y + kRowHeight};
      break;
  }
  return TRUE;
}

BOOL CListCtrl::GetSubItemRect(int item, int sub, RECT* rect) const {
  if (!rect || item < 0 || item >= GetItemCount() || sub < 0 || sub >= GetColumnCount())
    return FALSE;
  int x = 0;
  for (int c = 0; c < sub; ++c) x += GetColumnWidth(c);
  int y = RowsTop() + (item - top_) * kRowHeight;
  *rect = RECT{x, y, x + GetColumnWidth(sub), y + kRowHeight};
  return TRUE;
}

int CListCtrl::GetCountPerPage() const {
  RECT client;
  GetClientRect(&client);
  return std::max<int>(0, (client.bottom - RowsTop()) / kRowHeight);
}

BOOL CListCtrl::EnsureVisible(int item, BOOL partialOK) {
  if (item < 0 || item >= GetItemCount()) return FALSE;
  (void)partialOK;
  int page = std::max(1, GetCountPerPage());
  if (item < top_)
    top_ = item;
  else if (item >= top_ + page)
    top_ = item - page + 1;
  return TRUE;
}

BOOL CListCtrl::RedrawItems(int first, int last) {
  if (first < 0 || last < first) return FALSE;
  redraws_ += std::min(last, GetItemCount() - 1) - first + 1 > 0
                  ? std::min(last, GetItemCount() - 1) - first + 1
                  : 0;
  return TRUE;
}

LRESULT CListCtrl::Notify(UINT code, NMHDR* hdr) {
  CWnd* parent = GetParent();
  if (!parent) return 0;
  *hdr = NMHDR{m_hWnd, static_cast<UINT_PTR>(GetDlgCtrlID()), code};
  return parent->SendMessage(WM_NOTIFY, static_cast<WPARAM>(GetDlgCtrlID()),
                             reinterpret_cast<LPARAM>(hdr));
}

LRESULT CListCtrl::NotifyList(UINT code, int item, int sub, POINT pt, UINT oldState,
                              UINT newState) {
  NMLISTVIEW nm{};
  nm.iItem = item;
  nm.iSubItem = sub;
  nm.ptAction = pt;
  nm.uOldState = oldState;
  nm.uNewState = newState;
  nm.uChanged = code == LVN_ITEMCHANGED ? LVIF_STATE : 0;
  nm.lParam = static_cast<LPARAM>(GetItemData(item));
  return Notify(code, &nm.hdr);
}

CEdit* CListCtrl::EditLabel(int item) {
  if (item < 0 || item >= GetItemCount() || !m_hWnd) return nullptr;
  if (edit_) FinishEdit(false);
  if (item >= GetItemCount()) return nullptr;
  EnsureVisible(item, FALSE);
  RECT r;
  GetItemRect(item, &r, LVIR_LABEL);
  r.right = std::max(r.right, r.left + 60);
  // The edit exists while the parent hears of the beginning, so that it can subclass it.
  auto edit = std::make_unique<CEdit>();
  if (!edit->Create(GetItemText(item, 0).c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER, r, this, 1))
    return nullptr;
  edit_ = std::move(edit);
  editing_ = item;
  edit_->SetSel(0, -1);
  NMLVDISPINFO di{};
  di.item.mask = LVIF_TEXT | LVIF_PARAM;
  di.item.iItem = item;
  di.item.lParam = rows_[static_cast<size_t>(item)].param;
  std::string text = GetItemText(item, 0);
  di.item.pszText = text.data();
  if (Notify(LVN_BEGINLABELEDIT, &di.hdr) || !edit_ || editing_ < 0) {
    if (edit_) {
      edit_->DestroyWindow();
      ended_ = std::move(edit_);
    }
    editing_ = -1;
    return nullptr;
  }
  edit_->SetOnEnd([this](bool accept) { FinishEdit(accept); });
  edit_->SetFocus();
  return edit_.get();
}

void CListCtrl::CancelEditLabel() {
  if (edit_) FinishEdit(false);
}

void CListCtrl::FinishEdit(bool accept) {
  if (!edit_) return;
  std::unique_ptr<CEdit> edit = std::move(edit_);
  int item = editing_;
  editing_ = -1;
  std::string text = edit->GetWindowText();
  bool refocus = !edit->IsLosingFocus();
  edit->SetOnEnd(nullptr);
  edit->DestroyWindow();
  ended_ = std::move(edit);
  if (refocus) SetFocus();
  if (item < 0 || item >= GetItemCount()) return;
  NMLVDISPINFO di{};
  di.item.mask = LVIF_TEXT | LVIF_PARAM;
  di.item.iItem = item;
  di.item.lParam = rows_[static_cast<size_t>(item)].param;
  di.item.pszText = accept ? text.data() : nullptr;
  LPARAM param = di.item.lParam;
  LRESULT keep = Notify(LVN_ENDLABELEDIT, &di.hdr);
  // The parent may have reordered or refilled the rows meanwhile: the row is found again.
  if (accept && keep && item < GetItemCount() && rows_[static_cast<size_t>(item)].param == param)
    SetItemText(item, 0, text.c_str());
}

void CListCtrl::SelectOnly(int item) {
  for (int i = 0; i < GetItemCount(); ++i)
    if (i != item && (rows_[static_cast<size_t>(i)].state & LVIS_SELECTED))
      SetItemState(i, 0, LVIS_SELECTED);
  if (item >= 0) SetItemState(item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  anchor_ = item;
}

void CListCtrl::Paint(CDC& dc) {
  RECT client;
  GetClientRect(&client);
  dc.FillSolidRect(client, GetSysColor(COLOR_WINDOW));
  dc.SelectObject(GetDefaultGuiFont());
  int page = GetCountPerPage() + 1;
  for (int i = top_; i < GetItemCount() && i < top_ + page; ++i) {
    RECT rc;
    GetItemRect(i, &rc, LVIR_BOUNDS);
    const Row& r = rows_[static_cast<size_t>(i)];
    if (GetStyle() & LVS_OWNERDRAWFIXED) {
      DRAWITEMSTRUCT di{};
      di.CtlType = ODT_LISTVIEW;
      di.CtlID = static_cast<UINT>(GetDlgCtrlID());
      di.itemID = static_cast<UINT>(i);
      di.itemAction = ODA_DRAWENTIRE;
      di.itemState = ((r.state & LVIS_SELECTED) ? ODS_SELECTED : 0) |
                     ((r.state & LVIS_FOCUSED) && focus_ ? ODS_FOCUS : 0);
      di.hwndItem = m_hWnd;
      di.hDC = &dc;
      di.rcItem = rc;
      di.itemData = static_cast<ULONG_PTR>(r.param);
      int saved = dc.SaveDC();
      if (CWnd* parent = GetParent())
        parent->SendMessage(WM_DRAWITEM, static_cast<WPARAM>(GetDlgCtrlID()),
                            reinterpret_cast<LPARAM>(&di));
      dc.RestoreDC(saved);
      continue;
    }
    bool hilite = (r.state & LVIS_SELECTED) && (focus_ || (GetStyle() & LVS_SHOWSELALWAYS));
    int x = 0;
    if (small_) {
      small_->Draw(&dc, r.image, POINT{0, rc.top}, (r.state & LVIS_CUT) ? ILD_BLEND50 : ILD_NORMAL);
      x = small_->GetIconSize().cx;
    }
    for (int c = 0; c < GetColumnCount(); ++c) {
      RECT cell;
      GetSubItemRect(i, c, &cell);
      if (c == 0) cell.left = x;
      if (hilite && c == 0) dc.FillSolidRect(cell, GetSysColor(COLOR_HIGHLIGHT));
      dc.SetTextColor(hilite && c == 0 ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                       : GetSysColor(COLOR_WINDOWTEXT));
      dc.SetBkMode(TRANSPARENT);
      RECT t{cell.left + 2, cell.top + 1, cell.right - 2, cell.bottom};
      dc.DrawText(GetItemText(i, c), &t, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
  }
}

LRESULT CListCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      RECT r{0, 0, 0, CHeaderCtrl::kHeight};
      DWORD vis = (GetStyle() & LVS_REPORT) ? WS_VISIBLE : 0;
      if (!header_.Create("", WS_CHILD | vis, r, this, 0)) return -1;
      return 0;
    }
    case WM_SIZE:
      Layout();
      return 0;
    case LVM_SETIMAGELIST:
      return reinterpret_cast<LRESULT>(
          SetImageList(reinterpret_cast<CImageList*>(lParam), static_cast<int>(wParam)));
    case LVM_GETITEMCOUNT:
      return GetItemCount();
    case LVM_GETITEM:
      return GetItem(reinterpret_cast<LVITEM*>(lParam));
    case LVM_SETITEM:
      return lParam ? SetItem(*reinterpret_cast<LVITEM*>(lParam)) : FALSE;
    case LVM_INSERTITEM:
      return lParam ? InsertItem(*reinterpret_cast<LVITEM*>(lParam)) : -1;
    case LVM_DELETEITEM:
      return DeleteItem(static_cast<int>(wParam));
    case LVM_DELETEALLITEMS:
      return DeleteAllItems();
    case LVM_GETNEXTITEM:
      return GetNextItem(static_cast<int>(static_cast<LPARAM>(wParam)), static_cast<UINT>(lParam));
    case LVM_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lParam);
      return r ? GetItemRect(static_cast<int>(wParam), r, r->left) : FALSE;
    }
    case LVM_HITTEST:
      return HitTest(reinterpret_cast<LVHITTESTINFO*>(lParam));
    case LVM_ENSUREVISIBLE:
      return EnsureVisible(static_cast<int>(wParam), static_cast<BOOL>(lParam));
    case LVM_REDRAWITEMS:
      return RedrawItems(static_cast<int>(wParam), static_cast<int>(lParam));
    case LVM_EDITLABEL: {
      CEdit* e = EditLabel(static_cast<int>(wParam));
      return reinterpret_cast<LRESULT>(e ? e->m_hWnd : nullptr);
    }
    case LVM_GETEDITCONTROL: {
      CEdit* e = GetEditControl();
      return reinterpret_cast<LRESULT>(e ? e->m_hWnd : nullptr);
    }
    case LVM_CANCELEDITLABEL:
      CancelEditLabel();
      return 0;
    case LVM_INSERTCOLUMN: {
      auto* col = reinterpret_cast<LVCOLUMN*>(lParam);
      if (!col) return -1;
      return InsertColumn(static_cast<int>(wParam), (col->mask & LVCF_TEXT) ? col->pszText : "",
                          col->fmt, (col->mask & LVCF_WIDTH) ? col->cx : -1);
    }
    case LVM_GETCOLUMNWIDTH:
      return GetColumnWidth(static_cast<int>(wParam));
    case LVM_SETCOLUMNWIDTH:
      return SetColumnWidth(static_cast<int>(wParam), static_cast<int>(lParam));
    case LVM_GETHEADER:
      return reinterpret_cast<LRESULT>(header_.m_hWnd);
    case LVM_GETTOPINDEX:
      return GetTopIndex();
    case LVM_GETCOUNTPERPAGE:
      return GetCountPerPage();
    case LVM_SETITEMSTATE: {
      auto* it = reinterpret_cast<LVITEM*>(lParam);
      return it ? SetItemState(static_cast<int>(static_cast<LPARAM>(wParam)), it->state,
                               it->stateMask)
                : FALSE;
    }
    case LVM_GETITEMSTATE:
      return static_cast<LRESULT>(
          GetItemState(static_cast<int>(wParam), static_cast<UINT>(lParam)));
    case LVM_GETITEMTEXT: {
      auto* it = reinterpret_cast<LVITEM*>(lParam);
      if (!it || !it->pszText || it->cchTextMax <= 0) return 0;
      std::string t = GetItemText(static_cast<int>(wParam), it->iSubItem);
      size_t n = std::min<size_t>(t.size(), static_cast<size_t>(it->cchTextMax) - 1);
      std::memcpy(it->pszText, t.data(), n);
      it->pszText[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case LVM_SETITEMTEXT: {
      auto* it = reinterpret_cast<LVITEM*>(lParam);
      return it ? SetItemText(static_cast<int>(wParam), it->iSubItem, it->pszText) : FALSE;
    }
    case LVM_SORTITEMS:
      return SortItems(reinterpret_cast<PFNLVCOMPARE>(lParam), static_cast<LPARAM>(wParam));
    case LVM_GETSELECTEDCOUNT:
      return GetSelectedCount();
    case WM_NOTIFY: {
      // The header's notifications go on to the list's parent; a caption click becomes a
      // column click.
      auto* hdr = reinterpret_cast<NMHDR*>(lParam);
      if (!hdr || hdr->hwndFrom != header_.m_hWnd) return 0;
      if (hdr->code == HDN_ITEMCLICK) {
        auto* nh = reinterpret_cast<NMHEADER*>(lParam);
        NotifyList(LVN_COLUMNCLICK, -1, nh->iItem);
        return 0;
      }
      if (hdr->code == HDN_TRACK || hdr->code == HDN_ENDTRACK) Layout();
      CWnd* parent = GetParent();
      return parent ? parent->SendMessage(WM_NOTIFY, wParam, lParam) : 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETCURSOR:
      SetCursor(LoadCursor(nullptr, IDC_ARROW));
      return TRUE;
    case WM_SETFOCUS: {
      focus_ = true;
      NMHDR hdr;
      Notify(NM_SETFOCUS, &hdr);
      return 0;
    }
    case WM_KILLFOCUS: {
      focus_ = false;
      NMHDR hdr;
      Notify(NM_KILLFOCUS, &hdr);
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      int row = HitTest(pt);
      if (GetFocus() != this) SetFocus();
      if (msg == WM_LBUTTONDBLCLK) {
        NotifyList(NM_DBLCLK, row, 0, pt);
        return 0;
      }
      bool ctrl = halyard::user::Desktop::IsKeyDown(VK_CONTROL);
      bool shift = halyard::user::Desktop::IsKeyDown(VK_SHIFT);
      if (row < 0) {
        if (!ctrl && !shift) SelectOnly(-1);
        return 0;
      }
      if (msg == WM_RBUTTONDOWN) {
        if (!GetItemState(row, LVIS_SELECTED))
          SelectOnly(row);
        else
          SetItemState(row, LVIS_FOCUSED, LVIS_FOCUSED);
        return 0;
      }
      if (ctrl) {
        SetItemState(row, GetItemState(row, LVIS_SELECTED) ^ LVIS_SELECTED, LVIS_SELECTED);
        SetItemState(row, LVIS_FOCUSED, LVIS_FOCUSED);
        anchor_ = row;
      } else if (shift && anchor_ >= 0) {
        int a = std::min(anchor_, row), b = std::max(anchor_, row);
        for (int i = 0; i < GetItemCount(); ++i)
          SetItemState(i, (i >= a && i <= b) ? LVIS_SELECTED : 0, LVIS_SELECTED);
        SetItemState(row, LVIS_FOCUSED, LVIS_FOCUSED);
      } else if (!GetItemState(row, LVIS_SELECTED)) {
        SelectOnly(row);
      } else {
        // A press on a selected row keeps the selection, so that several rows can be dragged.
        SetItemState(row, LVIS_FOCUSED, LVIS_FOCUSED);
      }
      pressed_ = row;
      pressPt_ = pt;
      return 0;
    }
    case WM_MOUSEMOVE:
      if (pressed_ >= 0 && (wParam & MK_LBUTTON)) {
        int dx = GET_X_LPARAM(lParam) - pressPt_.x, dy = GET_Y_LPARAM(lParam) - pressPt_.y;
        if (dx * dx + dy * dy > 16) {
          int row = pressed_;
          pressed_ = -1;
          NotifyList(LVN_BEGINDRAG, row, 0, pressPt_);
        }
      }
      return 0;
    case WM_LBUTTONUP: {
      int row = pressed_;
      pressed_ = -1;
      bool modifiers = halyard::user::Desktop::IsKeyDown(VK_CONTROL) ||
                       halyard::user::Desktop::IsKeyDown(VK_SHIFT);
      // A click (no drag) on one of several selected rows selects only that row.
      if (row >= 0 && !modifiers &&
          row == HitTest(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}))
        SelectOnly(row);
      return 0;
    }
    case WM_RBUTTONUP: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      NotifyList(NM_RCLICK, HitTest(pt), 0, pt);
      return 0;
    }
    case WM_KEYDOWN: {
      NMLVKEYDOWN kd{};
      kd.wVKey = static_cast<WORD>(wParam);
      Notify(LVN_KEYDOWN, &kd.hdr);
      if (!m_hWnd) return 0;
      int focused = GetNextItem(-1, LVNI_FOCUSED);
      switch (static_cast<int>(wParam)) {
        case VK_DOWN:
          if (focused + 1 < GetItemCount()) {
            SelectOnly(focused + 1);
            EnsureVisible(focused + 1, FALSE);
          }
          break;
        case VK_UP:
          if (focused > 0) {
            SelectOnly(focused - 1);
            EnsureVisible(focused - 1, FALSE);
          }
          break;
        case VK_HOME:
          if (GetItemCount() > 0) SelectOnly(0), EnsureVisible(0, FALSE);
          break;
        case VK_END:
          if (GetItemCount() > 0)
            SelectOnly(GetItemCount() - 1), EnsureVisible(GetItemCount() - 1, FALSE);
          break;
        case VK_F2:
          if (focused >= 0 && (GetStyle() & LVS_EDITLABELS)) EditLabel(focused);
          break;
        default:
          break;
      }
      return 0;
    }
    case WM_PRINTCLIENT:
      if (wParam) Paint(*reinterpret_cast<CDC*>(wParam));
      return 0;
    default:
      return DefWindowProc(msg, wParam, lParam);
  }
}
