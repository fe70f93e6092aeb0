#include "tree_ctrl.h"

#include <algorithm>
#include <cstring>

#include "gdi.h"
#include "image_list.h"
#include "mouse.h"
#include "platform/kernel/text.h"

namespace {
// Text widths without a window: one small context that only measures.
CDC& Measurer() {
  static CDC dc(1, 1);
  return dc;
}
int TextWidth(const std::string& text) { return Measurer().GetTextExtent(text).cx; }
}  // namespace

CTreeCtrl::CTreeCtrl() = default;

CTreeCtrl::~CTreeCtrl() {
  // Edit controls are windows of their own; they go before the items they point at.
  if (edit_) edit_->DestroyWindow();
}

CTreeCtrl::Item* CTreeCtrl::Find(HTREEITEM h) const {
  auto it = items_.find(reinterpret_cast<std::uintptr_t>(h));
  return it == items_.end() ? nullptr : it->second.get();
}

CTreeCtrl::Item* CTreeCtrl::Resolve(HTREEITEM h) const {
  if (h == nullptr || h == TVI_ROOT) return const_cast<Item*>(&root_);
  return Find(h);
}

HTREEITEM CTreeCtrl::InsertItem(const TVINSERTSTRUCT& ins) {
  Item* parent = Resolve(ins.hParent);
  if (!parent) return nullptr;
  auto owned = std::make_unique<Item>();
  Item* item = owned.get();
  item->handle = reinterpret_cast<HTREEITEM>(next_++);
  item->parent = parent;
  const TVITEM& tv = ins.item;
  if ((tv.mask & TVIF_TEXT) && tv.pszText) item->text = tv.pszText;
  if (tv.mask & TVIF_IMAGE) item->image = tv.iImage;
  if (tv.mask & TVIF_SELECTEDIMAGE) item->selImage = tv.iSelectedImage;
  if (tv.mask & TVIF_PARAM) item->param = tv.lParam;
  if (tv.mask & TVIF_STATE) item->state = tv.state & tv.stateMask & ~TVIS_SELECTED;
  auto& sib = parent->children;
  auto before = [](const Item* a, const Item* b) {
    return halyard::CompareNoCaseAscii(a->text, b->text) < 0;
  };
  auto at = sib.end();
  if (ins.hInsertAfter == TVI_FIRST) {
    at = sib.begin();
  } else if (ins.hInsertAfter == TVI_SORT) {
    // Before the first sibling that sorts after it; in children known to be in order that is
    // found by halving, which keeps filling a wide folder from taking the square of its size.
    if (parent->sorted)
      at = std::upper_bound(sib.begin(), sib.end(), item, before);
    else
      at = std::find_if(sib.begin(), sib.end(), [&](const Item* o) { return before(item, o); });
  } else if (ins.hInsertAfter != TVI_LAST && ins.hInsertAfter != TVI_ROOT) {
    Item* after = Find(ins.hInsertAfter);
    auto pos = std::find(sib.begin(), sib.end(), after);
    if (pos != sib.end()) at = pos + 1;
  }
  at = sib.insert(at, item);
  if (parent->sorted && ins.hInsertAfter != TVI_SORT)
    parent->sorted = (at == sib.begin() || !before(item, *(at - 1))) &&
                     (at + 1 == sib.end() || !before(*(at + 1), item));
  items_.emplace(reinterpret_cast<std::uintptr_t>(item->handle), std::move(owned));
  return item->handle;
}

HTREEITEM CTreeCtrl::InsertItem(LPCSTR text, int image, int selImage, HTREEITEM parent,
                                HTREEITEM after) {
  TVINSERTSTRUCT ins{};
  ins.hParent = parent;
  ins.hInsertAfter = after;
  ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  ins.item.pszText = const_cast<LPSTR>(text);
  ins.item.iImage = image;
  ins.item.iSelectedImage = selImage;
  return InsertItem(ins);
}

void CTreeCtrl::Erase(Item* item) {
  for (Item* c : item->children) Erase(c);
  item->children.clear();
  item->sorted = true;
  if (caret_ == item) caret_ = nullptr;
  if (drop_ == item) drop_ = nullptr;
  if (pressed_ == item) pressed_ = nullptr;
  if (editing_ == item) {
    // The label being edited goes: the edit ends without a word to the parent.
    editing_ = nullptr;
    if (edit_) {
      edit_->SetOnEnd(nullptr);
      edit_->DestroyWindow();
      ended_ = std::move(edit_);
    }
  }
  items_.erase(reinterpret_cast<std::uintptr_t>(item->handle));
}

BOOL CTreeCtrl::DeleteItem(HTREEITEM h) {
  Item* item = Resolve(h);
  if (!item) return FALSE;
  if (item == &root_) {
    while (!root_.children.empty()) {
      Item* c = root_.children.back();
      root_.children.pop_back();
      Erase(c);
    }
    root_.sorted = true;
    top_ = 0;
    return TRUE;
  }
  auto& sib = item->parent->children;
  sib.erase(std::find(sib.begin(), sib.end(), item));
  Erase(item);
  return TRUE;
}

void CTreeCtrl::VisibleRows(std::vector<Item*>& rows) const {
  rows.clear();
  std::vector<std::pair<const Item*, size_t>> stack{{&root_, 0}};
  while (!stack.empty()) {
    auto& [item, i] = stack.back();
    if (i >= item->children.size()) {
      stack.pop_back();
      continue;
    }
    Item* c = item->children[i++];
    rows.push_back(c);
    if ((c->state & TVIS_EXPANDED) && !c->children.empty()) stack.push_back({c, 0});
  }
}

int CTreeCtrl::RowOf(const Item* item) const {
  std::vector<Item*> rows;
  VisibleRows(rows);
  auto it = std::find(rows.begin(), rows.end(), item);
  return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

int CTreeCtrl::Level(const Item* item) const {
  int n = -1;
  for (; item && item != &root_; item = item->parent) ++n;
  return n;
}

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM h, UINT code) const {
  switch (code) {
    case TVGN_ROOT:
      return root_.children.empty() ? nullptr : root_.children.front()->handle;
    case TVGN_CARET:
      return caret_ ? caret_->handle : nullptr;
    case TVGN_DROPHILITE:
      return drop_ ? drop_->handle : nullptr;
    case TVGN_FIRSTVISIBLE: {
      std::vector<Item*> rows;
      VisibleRows(rows);
      if (rows.empty()) return nullptr;
      return rows[static_cast<size_t>(std::clamp(top_, 0, static_cast<int>(rows.size()) - 1))]
          ->handle;
    }
    default:
      break;
  }
  Item* item = Find(h);
  if (!item) return nullptr;
  switch (code) {
    case TVGN_CHILD:
      return item->children.empty() ? nullptr : item->children.front()->handle;
    case TVGN_PARENT:
      return item->parent == &root_ ? nullptr : item->parent->handle;
    case TVGN_NEXT:
    case TVGN_PREVIOUS: {
      auto& sib = item->parent->children;
      auto it = std::find(sib.begin(), sib.end(), item);
      if (code == TVGN_NEXT) return it + 1 == sib.end() ? nullptr : (*(it + 1))->handle;
      return it == sib.begin() ? nullptr : (*(it - 1))->handle;
    }
    case TVGN_NEXTVISIBLE:
    case TVGN_PREVIOUSVISIBLE: {
      std::vector<Item*> rows;
      VisibleRows(rows);
      auto it = std::find(rows.begin(), rows.end(), item);
      if (it == rows.end()) return nullptr;
      if (code == TVGN_NEXTVISIBLE) return it + 1 == rows.end() ? nullptr : (*(it + 1))->handle;
      return it == rows.begin() ? nullptr : (*(it - 1))->handle;
    }
    default:
      return nullptr;
  }
}

UINT CTreeCtrl::GetCount() const { return static_cast<UINT>(items_.size()); }

void CTreeCtrl::FillItem(const Item* it, TVITEM* out) const {
  if (out->mask & TVIF_TEXT && out->pszText && out->cchTextMax > 0) {
    size_t n = std::min<size_t>(it->text.size(), static_cast<size_t>(out->cchTextMax) - 1);
    std::memcpy(out->pszText, it->text.data(), n);
    out->pszText[n] = '\0';
  }
  if (out->mask & TVIF_IMAGE) out->iImage = it->image;
  if (out->mask & TVIF_SELECTEDIMAGE) out->iSelectedImage = it->selImage;
  if (out->mask & TVIF_PARAM) out->lParam = it->param;
  if (out->mask & TVIF_STATE)
    out->state = (it->state | (it == caret_ ? TVIS_SELECTED : 0)) & out->stateMask;
  if (out->mask & TVIF_CHILDREN) out->cChildren = it->children.empty() ? 0 : 1;
}

BOOL CTreeCtrl::GetItem(TVITEM* item) const {
  if (!item) return FALSE;
  Item* it = Find(item->hItem);
  if (!it) return FALSE;
  FillItem(it, item);
  return TRUE;
}

BOOL CTreeCtrl::SetItem(const TVITEM& tv) {
  Item* it = Find(tv.hItem);
  if (!it) return FALSE;
  if ((tv.mask & TVIF_TEXT) && tv.pszText) {
    it->text = tv.pszText;
    it->parent->sorted = false;
  }
  if (tv.mask & TVIF_IMAGE) it->image = tv.iImage;
  if (tv.mask & TVIF_SELECTEDIMAGE) it->selImage = tv.iSelectedImage;
  if (tv.mask & TVIF_PARAM) it->param = tv.lParam;
  if (tv.mask & TVIF_STATE) {
    UINT mask = tv.stateMask & ~TVIS_SELECTED;
    it->state = (it->state & ~mask) | (tv.state & mask);
  }
  return TRUE;
}

std::string CTreeCtrl::GetItemText(HTREEITEM h) const {
  Item* it = Find(h);
  return it ? it->text : std::string();
}

BOOL CTreeCtrl::SetItemText(HTREEITEM h, LPCSTR text) {
  Item* it = Find(h);
  if (!it) return FALSE;
  it->text = text ? text : "";
  it->parent->sorted = false;
  return TRUE;
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM h) const {
  Item* it = Find(h);
  return it ? static_cast<DWORD_PTR>(it->param) : 0;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM h, DWORD_PTR data) {
  Item* it = Find(h);
  if (!it) return FALSE;
  it->param = static_cast<LPARAM>(data);
  return TRUE;
}

UINT CTreeCtrl::GetItemState(HTREEITEM h, UINT mask) const {
  Item* it = Find(h);
  return it ? (it->state | (it == caret_ ? TVIS_SELECTED : 0)) & mask : 0;
}

BOOL CTreeCtrl::SetItemState(HTREEITEM h, UINT state, UINT mask) {
  TVITEM tv{};
  tv.mask = TVIF_STATE;
  tv.hItem = h;
  tv.state = state;
  tv.stateMask = mask;
  return SetItem(tv);
}

BOOL CTreeCtrl::GetItemImage(HTREEITEM h, int& image, int& selImage) const {
  Item* it = Find(h);
  if (!it) return FALSE;
  image = it->image;
  selImage = it->selImage;
  return TRUE;
}

LRESULT CTreeCtrl::Notify(UINT code, NMHDR* hdr) {
  CWnd* parent = GetParent();
  if (!parent) return 0;
  *hdr = NMHDR{m_hWnd, static_cast<UINT_PTR>(GetDlgCtrlID()), code};
  return parent->SendMessage(WM_NOTIFY, static_cast<WPARAM>(GetDlgCtrlID()),
                             reinterpret_cast<LPARAM>(hdr));
}

LRESULT CTreeCtrl::NotifyTree(UINT code, Item* oldItem, Item* newItem, UINT action, POINT pt) {
  NMTREEVIEW nm{};
  nm.action = action;
  nm.itemOld.mask = nm.itemNew.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_STATE | TVIF_IMAGE;
  nm.itemOld.stateMask = nm.itemNew.stateMask = 0xFFFF;
  if (oldItem) {
    nm.itemOld.hItem = oldItem->handle;
    FillItem(oldItem, &nm.itemOld);
  }
  if (newItem) {
    nm.itemNew.hItem = newItem->handle;
    FillItem(newItem, &nm.itemNew);
  }
  nm.ptDrag = pt;
  return Notify(code, &nm.hdr);
}

BOOL CTreeCtrl::Select(HTREEITEM h, UINT code, UINT action) {
  Item* item = h ? Find(h) : nullptr;
  if (h && !item) return FALSE;
  if (code == TVGN_DROPHILITE) {
    drop_ = item;
    return TRUE;
  }
  if (code == TVGN_FIRSTVISIBLE) {
    int row = item ? RowOf(item) : 0;
    if (row < 0) return FALSE;
    top_ = row;
    return TRUE;
  }
  if (code != TVGN_CARET) return FALSE;
  if (item == caret_) return TRUE;
  Item* old = caret_;
  caret_ = item;
  if (item) EnsureVisible(item->handle);
  NotifyTree(TVN_SELCHANGED, old, item, action);
  return TRUE;
}

BOOL CTreeCtrl::Expand(HTREEITEM h, UINT code) {
  Item* item = Find(h);
  if (!item) return FALSE;
  UINT before = item->state & TVIS_EXPANDED;
  if (code == TVE_EXPAND)
    item->state |= TVIS_EXPANDED;
  else if (code == TVE_COLLAPSE)
    item->state &= ~TVIS_EXPANDED;
  else if (code == TVE_TOGGLE)
    item->state ^= TVIS_EXPANDED;
  else
    return FALSE;
  if (before != (item->state & TVIS_EXPANDED)) {
    // A collapsed branch cannot keep the selection inside it hidden.
    if (!(item->state & TVIS_EXPANDED) && caret_ && caret_ != item) {
      for (Item* p = caret_->parent; p; p = p->parent)
        if (p == item) {
          Select(item->handle, TVGN_CARET);
          break;
        }
    }
    NotifyTree(TVN_ITEMEXPANDED, nullptr, item, code);
  }
  return TRUE;
}

BOOL CTreeCtrl::EnsureVisible(HTREEITEM h) {
  Item* item = Find(h);
  if (!item) return FALSE;
  for (Item* p = item->parent; p && p != &root_; p = p->parent) p->state |= TVIS_EXPANDED;
  int row = RowOf(item);
  int page = static_cast<int>(std::max<UINT>(1, GetVisibleCount()));
  if (row < top_)
    top_ = row;
  else if (row >= top_ + page)
    top_ = row - page + 1;
  return TRUE;
}

BOOL CTreeCtrl::SortChildren(HTREEITEM h) {
  Item* item = Resolve(h);
  if (!item) return FALSE;
  std::stable_sort(item->children.begin(), item->children.end(), [](const Item* a, const Item* b) {
    return halyard::CompareNoCaseAscii(a->text, b->text) < 0;
  });
  item->sorted = true;
  return TRUE;
}

void CTreeCtrl::SetIndent(UINT indent) { indent_ = std::clamp<UINT>(indent, 4, 200); }

CImageList* CTreeCtrl::SetImageList(CImageList* list, int which) {
  CImageList*& slot = which == static_cast<int>(TVSIL_STATE) ? state_ : normal_;
  CImageList* old = slot;
  slot = list;
  return old;
}

CImageList* CTreeCtrl::GetImageList(int which) const {
  return which == static_cast<int>(TVSIL_STATE) ? state_ : normal_;
}

UINT CTreeCtrl::GetVisibleCount() const {
  RECT r;
  GetClientRect(&r);
  return static_cast<UINT>(std::max<LONG>(0, r.bottom / kRowHeight));
}

BOOL CTreeCtrl::GetItemRect(HTREEITEM h, RECT* rect, BOOL textOnly) const {
  Item* item = Find(h);
  if (!item || !rect) return FALSE;
  int row = RowOf(item);
  if (row < 0) return FALSE;
  int y = (row - top_) * kRowHeight;
  if (!textOnly) {
    RECT client;
    GetClientRect(&client);
    *rect = RECT{0, y, client.right, y + kRowHeight};
    return TRUE;
  }
  int x = (Level(item) + ((GetStyle() & TVS_LINESATROOT) ? 1 : 0)) * static_cast<int>(indent_);
  if (state_ && (item->state & TVIS_STATEIMAGEMASK)) x += state_->GetIconSize().cx;
  if (normal_) x += normal_->GetIconSize().cx + 3;
  *rect = RECT{x, y, x + TextWidth(item->text) + 4, y + kRowHeight};
  return TRUE;
}

HTREEITEM CTreeCtrl::HitTest(POINT pt, UINT* flags) const {
  UINT f = TVHT_NOWHERE;
  HTREEITEM hit = nullptr;
  std::vector<Item*> rows;
  VisibleRows(rows);
  RECT client;
  GetClientRect(&client);
  if (pt.y >= 0 && pt.x >= 0 && pt.x < client.right && pt.y < client.bottom) {
    int row = top_ + pt.y / kRowHeight;
    if (row >= 0 && row < static_cast<int>(rows.size())) {
      Item* item = rows[static_cast<size_t>(row)];
      hit = item->handle;
      int indentRight =
          (Level(item) + ((GetStyle() & TVS_LINESATROOT) ? 1 : 0)) * static_cast<int>(indent_);
      int stateRight =
          indentRight +
          (state_ && (item->state & TVIS_STATEIMAGEMASK) ? state_->GetIconSize().cx : 0);
      int iconRight = stateRight + (normal_ ? normal_->GetIconSize().cx + 3 : 0);
      RECT label;
      GetItemRect(item->handle, &label, TRUE);
      if (pt.x < indentRight) {
        bool onButton = (GetStyle() & TVS_HASBUTTONS) && !item->children.empty() &&
                        pt.x >= indentRight - static_cast<int>(indent_);
        f = onButton ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
      } else if (pt.x < stateRight) {
        f = TVHT_ONITEMSTATEICON;
      } else if (pt.x < iconRight) {
        f = TVHT_ONITEMICON;
      } else if (pt.x < label.right) {
        f = TVHT_ONITEMLABEL;
      } else {
        f = TVHT_ONITEMRIGHT;
      }
    }
  }
  if (flags) *flags = f;
  return hit;
}

CEdit* CTreeCtrl::EditLabel(HTREEITEM h) {
  Item* item = Find(h);
  if (!item || !m_hWnd) return nullptr;
  if (edit_) EndEditLabelNow(FALSE);
  item = Find(h);  // ending the last edit may have changed the tree
  if (!item) return nullptr;
  EnsureVisible(h);
  RECT r;
  GetItemRect(h, &r, TRUE);
  r.right = std::max(r.right + 8, r.left + 60);
  // The edit exists while the parent hears of the beginning, so that it can subclass it.
  auto edit = std::make_unique<CEdit>();
  if (!edit->Create(item->text.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER, r, this, 1))
    return nullptr;
  edit_ = std::move(edit);
  editing_ = item;
  edit_->SetSel(0, -1);
  NMTVDISPINFO di{};
  di.item.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_TEXT;
  di.item.hItem = item->handle;
  di.item.lParam = item->param;
  di.item.pszText = const_cast<LPSTR>(item->text.c_str());
  if (Notify(TVN_BEGINLABELEDIT, &di.hdr) || !Find(h) || !edit_) {
    if (edit_) {
      edit_->DestroyWindow();
      ended_ = std::move(edit_);
    }
    editing_ = nullptr;
    return nullptr;
  }
  edit_->SetOnEnd([this](bool accept) { FinishEdit(accept); });
  edit_->SetFocus();
  return edit_.get();
}

BOOL CTreeCtrl::EndEditLabelNow(BOOL cancel) {
  if (!edit_) return FALSE;
  FinishEdit(!cancel);
  return TRUE;
}

void CTreeCtrl::FinishEdit(bool accept) {
  if (!edit_) return;
  std::unique_ptr<CEdit> edit = std::move(edit_);
  Item* item = editing_;
  editing_ = nullptr;
  std::string text = edit->GetWindowText();
  bool refocus = !edit->IsLosingFocus();
  edit->SetOnEnd(nullptr);
  edit->DestroyWindow();
  // The edit may be ending inside its own message: it is freed later, not now.
  ended_ = std::move(edit);
  if (refocus) SetFocus();
  if (!item) return;
  NMTVDISPINFO di{};
  di.item.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_TEXT;
  di.item.hItem = item->handle;
  di.item.lParam = item->param;
  di.item.pszText = accept ? text.data() : nullptr;
  HTREEITEM h = item->handle;
  LRESULT keep = Notify(TVN_ENDLABELEDIT, &di.hdr);
  if (Item* kept = accept && keep ? Find(h) : nullptr) {
    kept->text = text;
    kept->parent->sorted = false;
  }
}

void CTreeCtrl::Paint(CDC& dc) {
  RECT client;
  GetClientRect(&client);
  dc.FillSolidRect(client, GetSysColor(COLOR_WINDOW));
  dc.SelectObject(GetDefaultGuiFont());
  std::vector<Item*> rows;
  VisibleRows(rows);
  int lines = (GetStyle() & TVS_LINESATROOT) ? 1 : 0;
  int indent = static_cast<int>(indent_);
  for (int row = std::max(0, top_); row < static_cast<int>(rows.size()); ++row) {
    int y = (row - top_) * kRowHeight;
    if (y >= client.bottom) break;
    Item* item = rows[static_cast<size_t>(row)];
    int level = Level(item);
    int x = (level + lines) * indent;
    int midY = y + kRowHeight / 2;
    if ((GetStyle() & TVS_HASLINES) && level + lines > 0) {
      // A dotted line from the parent's column to the item, and the parent's column down.
      int colX = x - indent / 2;
      for (int px = colX; px < x; px += 2)
        dc.FillSolidRect(RECT{px, midY, px + 1, midY + 1}, RGB(128, 128, 128));
      bool last = item->parent->children.back() == item;
      for (int py = y; py < (last ? midY : y + kRowHeight); py += 2)
        dc.FillSolidRect(RECT{colX, py, colX + 1, py + 1}, RGB(128, 128, 128));
      // Ancestors with later siblings keep their columns going.
      int ax = colX - indent;
      for (Item* a = item->parent; a && a != &root_ && ax >= 0; a = a->parent, ax -= indent)
        if (a->parent->children.back() != a)
          for (int py = y; py < y + kRowHeight; py += 2)
            dc.FillSolidRect(RECT{ax, py, ax + 1, py + 1}, RGB(128, 128, 128));
    }
    if ((GetStyle() & TVS_HASBUTTONS) && !item->children.empty() && level + lines > 0) {
      int bx = x - indent / 2 - 4, by = midY - 4;
      dc.FillSolidRect(RECT{bx, by, bx + 9, by + 9}, RGB(128, 128, 128));
      dc.FillSolidRect(RECT{bx + 1, by + 1, bx + 8, by + 8}, RGB(255, 255, 255));
      dc.FillSolidRect(RECT{bx + 2, by + 4, bx + 7, by + 5}, RGB(0, 0, 0));
      if (!(item->state & TVIS_EXPANDED))
        dc.FillSolidRect(RECT{bx + 4, by + 2, bx + 5, by + 7}, RGB(0, 0, 0));
    }
    UINT stateImage = (item->state & TVIS_STATEIMAGEMASK) >> 12;
    if (state_ && stateImage) {
      state_->Draw(&dc, static_cast<int>(stateImage), POINT{x, y}, ILD_NORMAL);
      x += state_->GetIconSize().cx;
    }
    if (normal_) {
      UINT style = (item->state & TVIS_OVERLAYMASK) | ((item->state & TVIS_CUT) ? ILD_BLEND50 : 0);
      normal_->Draw(&dc, item == caret_ ? item->selImage : item->image, POINT{x, y}, style);
      x += normal_->GetIconSize().cx + 3;
    }
    RECT label{x, y, x + TextWidth(item->text) + 4, y + kRowHeight};
    bool hilite =
        item == drop_ || (item == caret_ && !drop_ && (focus_ || (GetStyle() & TVS_SHOWSELALWAYS)));
    if (hilite) {
      bool strong = item == drop_ || focus_;
      dc.FillSolidRect(label, strong ? GetSysColor(COLOR_HIGHLIGHT) : GetSysColor(COLOR_BTNFACE));
      dc.SetTextColor(strong ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_WINDOWTEXT));
    } else {
      dc.SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
    }
    dc.SetBkMode(TRANSPARENT);
    RECT text{label.left + 2, y, label.right, y + kRowHeight};
    dc.DrawText(item->text, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item == caret_ && focus_ && !drop_) dc.DrawFocusRect(label);
  }
}

LRESULT CTreeCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case TVM_INSERTITEM: {
      auto* ins = reinterpret_cast<TVINSERTSTRUCT*>(lParam);
      return ins ? reinterpret_cast<LRESULT>(InsertItem(*ins)) : 0;
    }
    case TVM_DELETEITEM:
      return DeleteItem(reinterpret_cast<HTREEITEM>(lParam));
    case TVM_EXPAND:
      return Expand(reinterpret_cast<HTREEITEM>(lParam), static_cast<UINT>(wParam));
    case TVM_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lParam);
      if (!r) return FALSE;
      HTREEITEM h = *reinterpret_cast<HTREEITEM*>(r);
      return GetItemRect(h, r, static_cast<BOOL>(wParam));
    }
    case TVM_GETCOUNT:
      return GetCount();
    case TVM_GETINDENT:
      return GetIndent();
    case TVM_SETINDENT:
      SetIndent(static_cast<UINT>(wParam));
      return 0;
    case TVM_GETIMAGELIST:
      return reinterpret_cast<LRESULT>(GetImageList(static_cast<int>(wParam)));
    case TVM_SETIMAGELIST:
      return reinterpret_cast<LRESULT>(
          SetImageList(reinterpret_cast<CImageList*>(lParam), static_cast<int>(wParam)));
    case TVM_GETNEXTITEM:
      return reinterpret_cast<LRESULT>(
          GetNextItem(reinterpret_cast<HTREEITEM>(lParam), static_cast<UINT>(wParam)));
    case TVM_SELECTITEM:
      return Select(reinterpret_cast<HTREEITEM>(lParam), static_cast<UINT>(wParam));
    case TVM_GETITEM:
      return GetItem(reinterpret_cast<TVITEM*>(lParam));
    case TVM_SETITEM:
      return lParam ? SetItem(*reinterpret_cast<TVITEM*>(lParam)) : FALSE;
    case TVM_EDITLABEL: {
      CEdit* e = EditLabel(reinterpret_cast<HTREEITEM>(lParam));
      return reinterpret_cast<LRESULT>(e ? e->m_hWnd : nullptr);
    }
    case TVM_GETEDITCONTROL: {
      CEdit* e = GetEditControl();
      return reinterpret_cast<LRESULT>(e ? e->m_hWnd : nullptr);
    }
    case TVM_ENDEDITLABELNOW:
      return EndEditLabelNow(static_cast<BOOL>(wParam));
    case TVM_GETVISIBLECOUNT:
      return GetVisibleCount();
    case TVM_HITTEST: {
      auto* info = reinterpret_cast<TVHITTESTINFO*>(lParam);
      if (!info) return 0;
      info->hItem = HitTest(info->pt, &info->flags);
      return reinterpret_cast<LRESULT>(info->hItem);
    }
    case TVM_SORTCHILDREN:
      return SortChildren(reinterpret_cast<HTREEITEM>(lParam));
    case TVM_ENSUREVISIBLE:
      return EnsureVisible(reinterpret_cast<HTREEITEM>(lParam));
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
    case WM_LBUTTONDBLCLK: {
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      UINT flags = 0;
      HTREEITEM h = HitTest(pt, &flags);
      if (GetFocus() != this) SetFocus();
      if (!h) return 0;
      if (msg == WM_LBUTTONDBLCLK) {
        NMHDR hdr;
        if (!Notify(NM_DBLCLK, &hdr)) Expand(h, TVE_TOGGLE);
        return 0;
      }
      if (flags & TVHT_ONITEMBUTTON) {
        Expand(h, TVE_TOGGLE);
        return 0;
      }
      Select(h, TVGN_CARET, TVC_BYMOUSE);
      pressed_ = Find(h);
      pressPt_ = pt;
      return 0;
    }
    case WM_MOUSEMOVE:
      if (pressed_ && (wParam & MK_LBUTTON)) {
        int dx = GET_X_LPARAM(lParam) - pressPt_.x, dy = GET_Y_LPARAM(lParam) - pressPt_.y;
        if (dx * dx + dy * dy > 16) {
          Item* item = pressed_;
          pressed_ = nullptr;
          NotifyTree(TVN_BEGINDRAG, nullptr, item, 0, pressPt_);
        }
      }
      return 0;
    case WM_LBUTTONUP:
      pressed_ = nullptr;
      return 0;
    case WM_RBUTTONDOWN:
      if (GetFocus() != this) SetFocus();
      return 0;
    case WM_RBUTTONUP: {
      NMHDR hdr;
      Notify(NM_RCLICK, &hdr);
      return 0;
    }
    case WM_KEYDOWN: {
      NMTVKEYDOWN kd{};
      kd.wVKey = static_cast<WORD>(wParam);
      Notify(TVN_KEYDOWN, &kd.hdr);
      if (!m_hWnd) return 0;
      HTREEITEM h = caret_ ? caret_->handle : nullptr;
      switch (static_cast<int>(wParam)) {
        case VK_DOWN:
          if (HTREEITEM n = h ? GetNextItem(h, TVGN_NEXTVISIBLE) : GetRootItem())
            Select(n, TVGN_CARET, TVC_BYKEYBOARD);
          break;
        case VK_UP:
          if (HTREEITEM p = h ? GetNextItem(h, TVGN_PREVIOUSVISIBLE) : nullptr)
            Select(p, TVGN_CARET, TVC_BYKEYBOARD);
          break;
        case VK_LEFT:
          if (h && (caret_->state & TVIS_EXPANDED) && !caret_->children.empty())
            Expand(h, TVE_COLLAPSE);
          else if (h && GetParentItem(h))
            Select(GetParentItem(h), TVGN_CARET, TVC_BYKEYBOARD);
          break;
        case VK_RIGHT:
          if (h && !caret_->children.empty()) {
            if (!(caret_->state & TVIS_EXPANDED))
              Expand(h, TVE_EXPAND);
            else
              Select(GetChildItem(h), TVGN_CARET, TVC_BYKEYBOARD);
          }
          break;
        case VK_F2:
          if (h && (GetStyle() & TVS_EDITLABELS)) EditLabel(h);
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
