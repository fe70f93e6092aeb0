#include "page_wnd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>

#include "platform/kernel/text.h"
#include "platform/user/mouse.h"

namespace {

const char kColumnCaptions[] =
    "Name Description\tType\tAttributes\tLast Remote Publish\tLast Local Publish\t";
const char kBandCaption[] = "Directory Structure";
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kLightGray = RGB(0xC0, 0xC0, 0xC0);
constexpr COLORREF kDarkGray = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kRed = 255;
constexpr int kIcon = 16;

const CMenu::Template kPopupMenu[] = {
    {MF_POPUP, 0, "Outfold"},
    {MF_STRING, ID_OUTFOLD_CUT, "C&ut\tCtrl+X"},
    {MF_STRING, ID_OUTFOLD_PASTE, "&Paste\tCtrl+V"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_STRING, ID_OUTFOLD_NEWFOLDER, "&New Folder\tCtrl+N"},
    {MF_STRING, ID_OUTFOLD_DELETE, "&Delete Folder"},
    {MF_STRING, ID_OUTFOLD_RENAME, "&Rename"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_STRING, ID_OUTFOLD_PROPERTIES, "Proper&ties..."},
    {0, 0, nullptr},
};

CString NameOf(CPublishObject* object) {
  CString name;
  if (object) object->GetName(name);
  return name;
}

bool SameNameNoCase(const CString& a, const CString& b) {
  return halyard::EqualsNoCaseAscii(std::string_view(a, static_cast<size_t>(a.GetLength())),
                                    std::string_view(b, static_cast<size_t>(b.GetLength())));
}

// The state bits of a folder's tree row: the excluded or read-only picture and the cut look.
UINT TreeItemLook(BYTE attrs, bool hasParent, bool cut) {
  UINT stateImage = 0;
  if (attrs & kPublishExcluded)
    stateImage = 2;
  else if ((attrs & kPublishReadOnly) && hasParent)
    stateImage = 1;
  return INDEXTOSTATEIMAGEMASK(stateImage) | (cut ? TVIS_CUT : 0);
}

bool IsFolder(const CTreeNode* node) {
  return node && node->m_pObject && !node->m_pObject->IsFile();
}

bool IsDescendant(const CTreeNode* node, const CTreeNode* ancestor) {
  for (const CTreeNode* p = node ? node->m_pParent : nullptr; p; p = p->m_pParent)
    if (p == ancestor) return true;
  return false;
}

CDC& Measurer() {
  static CDC dc(1, 1);
  return dc;
}

// Shortens the text from its end until it fits the width with "..." appended.
std::string FitText(CDC& dc, const std::string& text, int width) {
  if (dc.GetTextExtent(text).cx <= width) return text;
  // The widths of prefixes grow with their length: the longest that fits is found by halving.
  size_t lo = 0, hi = text.size();
  while (lo < hi) {
    size_t mid = (lo + hi + 1) / 2;
    if (dc.GetTextExtent(text.substr(0, mid) + "...").cx <= width)
      lo = mid;
    else
      hi = mid - 1;
  }
  return text.substr(0, lo) + "...";
}

int CompareByKey(LPARAM a, LPARAM b, LPARAM column) {
  auto* ra = reinterpret_cast<ListRowRecord*>(a);
  auto* rb = reinterpret_cast<ListRowRecord*>(b);
  bool fa = (ra->flags & kRowFolder) != 0, fb = (rb->flags & kRowFolder) != 0;
  if (fa != fb) return fa ? -1 : 1;
  if (column == 3 || column == 4) {
    LONG ta = column == 3 ? ra->remoteTime : ra->localTime;
    LONG tb = column == 3 ? rb->remoteTime : rb->localTime;
    long long ka = fa ? 0 : static_cast<long long>(ta) + 1;
    long long kb = fb ? 0 : static_cast<long long>(tb) + 1;
    return ka < kb ? -1 : ka > kb ? 1 : 0;
  }
  if (fa) return 0;  // folders are equal among themselves
  if (column == 2) {
    // Rows with letters first, by their letters; blank ones last.
    bool ba = ra->sortKey == " ", bb = rb->sortKey == " ";
    if (ba != bb) return ba ? 1 : -1;
    return ra->sortKey.Compare(rb->sortKey);
  }
  return ra->sortKey.CompareNoCase(rb->sortKey);
}

}  // namespace

CPageWnd::CPageWnd() {
  settings_.Read();
  stack_.SetRelease([this](ChangeRecord& c, bool discarded) { ReleaseRecord(c, discarded); });
}

CPageWnd::~CPageWnd() {
  if (GetCapture() == m_hWnd) ReleaseCapture();
  if (drag_ != Drag::None) CImageList::EndDrag();
  drag_ = Drag::None;
  // The widths the user gave the columns are kept.
  for (int c = 0; c < kColumns && list_.m_hWnd; ++c)
    if (list_.GetColumnWidth(c) > 0)
      settings_.fields[c] = static_cast<DWORD>(list_.GetColumnWidth(c));
  if (m_hWnd) DestroyWindow();
  FreeCutItems();
  FreeRows();
  destroying_ = true;
  stack_.Clear();
  roots_.clear();
  CTreeNode::FreeAll();
  WriteRatioInfo();
}

BOOL CPageWnd::CreateView(CWnd* parent) {
  if (!parent || !parent->m_hWnd) return FALSE;
  return CreateEx(0, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 0, 0}, parent, kViewId);
}

void CPageWnd::ReadRatioInfo() { settings_.Read(); }

void CPageWnd::WriteRatioInfo() { settings_.Write(); }

int CPageWnd::FieldWidth(int column) const {
  return column >= 0 && column < kColumns ? static_cast<int>(settings_.fields[column]) : 0;
}

void CPageWnd::InitColumns() {
  std::string all = kColumnCaptions;
  size_t start = 0;
  int column = 0;
  while (start < all.size() && column < kColumns) {
    size_t tab = all.find('\t', start);
    if (tab == std::string::npos) tab = all.size();
    std::string piece = all.substr(start, std::min<size_t>(tab - start, 255));
    start = tab + 1;
    int width = static_cast<int>(settings_.fields[column]);
    if (width == 0) width = Measurer().GetTextExtent(piece).cx + 10;
    // The first column shows only its first word; its width is measured on the whole piece.
    std::string shown = column == 0 ? piece.substr(0, piece.find(' ')) : piece;
    list_.InsertColumn(column, shown.c_str(), LVCFMT_LEFT, width);
    ++column;
  }
}

void CPageWnd::MakeStateImages() {
  stateImages_.Create(kIcon, kIcon, ILC_COLOR24 | ILC_MASK, 3, 1);
  HBITMAP strip = CreateFilledBitmap(kIcon * 3, kIcon, kMagenta);
  if (!strip) return;
  auto px = [&](int image, int x, int y, COLORREF c) {
    strip->pixels[static_cast<size_t>(y) * strip->width + image * kIcon + x] =
        0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
  };
  // 1: a small padlock in the lower left corner (read-only).
  for (int y = 10; y < 16; ++y)
    for (int x = 0; x < 7; ++x) px(1, x, y, RGB(128, 128, 0));
  for (int y = 7; y < 10; ++y) {
    px(1, 1, y, RGB(64, 64, 64));
    px(1, 5, y, RGB(64, 64, 64));
  }
  for (int x = 1; x < 6; ++x) px(1, x, 7, RGB(64, 64, 64));
  // 2: a red bar across the lower left corner (not published).
  for (int i = 0; i < 8; ++i) {
    px(2, i, 15 - i, kRed);
    if (i + 1 < 8) px(2, i + 1, 15 - i, kRed);
  }
  stateImages_.Add(strip, kMagenta);
  DeleteObject(strip);
}

int CPageWnd::HeaderHeight() const {
  return const_cast<CListCtrl&>(list_).GetHeaderCtrl() ? CHeaderCtrl::kHeight : 21;
}

int CPageWnd::TreeRight() const {
  RECT r;
  GetClientRect(&r);
  long long w = std::max<long long>(0, static_cast<long long>(r.right) - kSplitter);
  return static_cast<int>(w * settings_.ratio / 100);
}

void CPageWnd::Layout() {
  if (!tree_.m_hWnd || !list_.m_hWnd) return;
  RECT r;
  GetClientRect(&r);
  int right = TreeRight();
  tree_.MoveWindow(
      RECT{0, HeaderHeight() - 1, right, std::max<LONG>(r.bottom, HeaderHeight() - 1)});
  list_.MoveWindow(
      RECT{right + kSplitter, 0, std::max<LONG>(r.right, right + kSplitter), r.bottom});
}

void CPageWnd::ClientToClient(CWnd* from, CWnd* to, POINT* pt) const {
  if (!from || !to || !pt) return;
  ClientToScreen(from->m_hWnd, pt);
  ScreenToClient(to->m_hWnd, pt);
}

void CPageWnd::DrawSizeBorder(CDC* dc) {
  if (!dc) return;
  RECT r;
  GetClientRect(&r);
  int x = TreeRight();
  int band = HeaderHeight() - 2;
  // The splitter: a face-coloured gap with a light edge on the left and a shadow and a dark
  // line on the right, and a shadow line under the band.
  dc->FillSolidRect(RECT{x, 0, x + kSplitter, r.bottom}, kLightGray);
  dc->FillSolidRect(RECT{x + 1, 0, x + 2, r.bottom}, RGB(255, 255, 255));
  dc->FillSolidRect(RECT{x + kSplitter - 2, 0, x + kSplitter - 1, r.bottom}, kDarkGray);
  dc->FillSolidRect(RECT{x + kSplitter - 1, 0, x + kSplitter, r.bottom}, RGB(0, 0, 0));
  dc->FillSolidRect(RECT{0, band, x, band + 1}, kDarkGray);
}

void CPageWnd::Paint(CDC& dc) {
  RECT r;
  GetClientRect(&r);
  int right = TreeRight();
  int band = HeaderHeight() - 2;
  dc.FillSolidRect(RECT{0, 0, right, band}, kLightGray);
  dc.SelectObject(GetDefaultGuiFont());  // the list header's font
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(RGB(0, 0, 0));
  RECT text{3, 0, right, band};
  dc.DrawText(kBandCaption, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  DrawSizeBorder(&dc);
}

void CPageWnd::XorSplitter(int x) {
  if (screen_) {
    RECT r;
    GetClientRect(&r);
    int saved = screen_->SaveDC();
    screen_->SetViewportOrg(screenCorner_.x, screenCorner_.y);
    HPEN pen = CreatePen(PS_SOLID, 2, kLightGray);
    screen_->SelectObject(pen);
    screen_->SetROP2(R2_XORPEN);
    screen_->MoveTo(x, 0);
    screen_->LineTo(x, r.bottom);
    screen_->RestoreDC(saved);
    DeleteObject(pen);
  }
}

// ---- roots and the whole ----

CTreeNode* CPageWnd::AddRoot(CPublishObject* object) {
  if (!object) return nullptr;
  auto* node = new CTreeNode(object, nullptr);
  roots_.push_back(node);
  object->AttachNode(node);
  return node;
}

CPublishObject* CPageWnd::FindRoot(const CString& key) const {
  for (CTreeNode* root : roots_) {
    CString k;
    root->m_pObject->GetSortKey(k);
    if (k.GetLength() == key.GetLength() &&
        std::memcmp(static_cast<LPCSTR>(k), static_cast<LPCSTR>(key),
                    static_cast<size_t>(k.GetLength())) == 0)
      return root->m_pObject;
  }
  return nullptr;
}

void CPageWnd::FinishExpand(CTreeNode* only) {
  if (only && std::find(roots_.begin(), roots_.end(), only) == roots_.end()) return;
  filling_ = true;
  CTreeNode* first = nullptr;
  for (CTreeNode* root : roots_) {
    if (only && root != only) continue;
    if (root->m_hItem) {
      tree_.DeleteItem(root->m_hItem);
      std::vector<CTreeNode*> stack{root};
      while (!stack.empty()) {
        CTreeNode* n = stack.back();
        stack.pop_back();
        n->m_hItem = nullptr;
        for (CTreeNode* c = n->m_pFirstChild; c; c = c->m_pNext) stack.push_back(c);
      }
    }
    MultipleInsert(root, TVI_ROOT);
    if (root->m_hItem) tree_.Expand(root->m_hItem, TVE_EXPAND);
    if (!first) first = root;
  }
  tree_.SortChildren(TVI_ROOT);
  filling_ = false;
  if (first && first->m_hItem) {
    if (tree_.GetSelectedItem() == first->m_hItem)
      FillList(first);
    else
      tree_.SelectItem(first->m_hItem);
  }
}

void CPageWnd::DeleteAll() {
  filling_ = true;
  list_.CancelEditLabel();
  tree_.EndEditLabelNow(TRUE);
  list_.DeleteAllItems();
  FreeRows();
  tree_.DeleteAllItems();
  filling_ = false;
  listFolder_ = nullptr;
  for (CTreeNode* root : roots_) {
    std::vector<CTreeNode*> stack{root};
    while (!stack.empty()) {
      CTreeNode* n = stack.back();
      stack.pop_back();
      n->m_hItem = nullptr;
      for (CTreeNode* c = n->m_pFirstChild; c; c = c->m_pNext) stack.push_back(c);
    }
  }
}

void CPageWnd::Reset() {
  DeleteAll();
  FreeCutItems();
  stack_.Clear();
  roots_.clear();
  dragNodes_.clear();
  dragStartFolder_ = dropTarget_ = menuTarget_ = nullptr;
  CTreeNode::FreeAll();
}

// ---- images ----

int CPageWnd::ImageIndex(CPublishObject* object, int state) {
  if (!object) return -1;
  LoadOverlays(object);
  int id = object->GetImage(state);
  if (id == kImageFromIcon) {
    HICON icon = object->GetIcon();
    ImageCache::Entry& e = cache_.Find(reinterpret_cast<std::uintptr_t>(icon), TRUE);
    if (e.index < 0 && icon) e.index = images_.Add(icon);
    return e.index;
  }
  ImageCache::Entry& e = cache_.Find(static_cast<std::uintptr_t>(static_cast<UINT>(id)), FALSE);
  if (e.index < 0) {
    HBITMAP bitmap = object->GetBitmap(id);
    if (bitmap) {
      e.index = images_.Add(bitmap, kMagenta);
      DeleteObject(bitmap);
    }
  }
  return e.index;
}

void CPageWnd::LoadOverlays(CPublishObject* object) {
  if (overlaysLoaded_) return;
  overlaysLoaded_ = true;
  for (int n = 1; n <= 2; ++n) {
    HBITMAP bitmap = object->GetBitmap(object->GetOverlayImage(n));
    if (!bitmap) continue;
    int index = images_.Add(bitmap, kMagenta);
    DeleteObject(bitmap);
    if (index >= 0) images_.SetOverlayImage(index, n);
  }
}

// ---- the tree ----

bool CPageWnd::InTree(const CTreeNode* node) const {
  return node && node->m_hItem && tree_.IsItem(node->m_hItem) &&
         reinterpret_cast<CTreeNode*>(tree_.GetItemData(node->m_hItem)) == node;
}

CTreeNode* CPageWnd::NodeOfTreeItem(HTREEITEM item) const {
  if (!item || !tree_.IsItem(item)) return nullptr;
  auto* node = reinterpret_cast<CTreeNode*>(tree_.GetItemData(item));
  return CTreeNode::IsLive(node) ? node : nullptr;
}

void CPageWnd::SetTreeItemLook(CTreeNode* node) {
  if (!InTree(node)) return;
  UINT state = TreeItemLook(node->m_pObject->GetAttributes(), node->m_pParent != nullptr,
                            IsInCutItems(node) >= 0);
  tree_.SetItemState(node->m_hItem, state, TVIS_STATEIMAGEMASK | TVIS_CUT);
}

void CPageWnd::InsertFolderRow(CTreeNode* node, HTREEITEM parent, bool sorted) {
  if (!IsFolder(node)) return;
  CPublishObject* object = node->m_pObject;
  int attrs = object->GetAttributes();
  CString name = NameOf(object);
  TVINSERTSTRUCT ins{};
  ins.hParent = parent;
  // Sorted insertion keeps the children as the control's sort after every insertion would.
  ins.hInsertAfter = sorted ? TVI_SORT : TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
  ins.item.pszText = const_cast<LPSTR>(static_cast<LPCSTR>(name));
  ins.item.iImage = ImageIndex(object, attrs);
  ins.item.iSelectedImage = ImageIndex(object, kImageSelected | attrs);
  ins.item.lParam = reinterpret_cast<LPARAM>(node);
  // The look goes in with the row, from the attributes already asked (asking the host is a
  // trip to the disk for each folder).
  ins.item.mask |= TVIF_STATE;
  ins.item.stateMask = TVIS_STATEIMAGEMASK | TVIS_CUT;
  ins.item.state = TreeItemLook(static_cast<BYTE>(attrs), node->m_pParent != nullptr,
                                IsInCutItems(node) >= 0);
  node->m_hItem = tree_.InsertItem(ins);
}

void CPageWnd::MultipleInsert(CTreeNode* node, HTREEITEM parent) {
  if (!IsFolder(node)) return;
  InsertFolderRow(node, parent, true);
  if (!node->m_hItem) return;
  for (CTreeNode* c = node->m_pFirstChild; c; c = c->m_pNext) MultipleInsert(c, node->m_hItem);
}

void CPageWnd::SortTreeChildren(CTreeNode* folder) {
  if (folder && InTree(folder))
    tree_.SortChildren(folder->m_hItem);
  else if (!folder)
    tree_.SortChildren(TVI_ROOT);
}

CTreeNode* CPageWnd::SelectedFolder() const { return NodeOfTreeItem(tree_.GetSelectedItem()); }

BOOL CPageWnd::SelectFolder(CTreeNode* node) {
  if (!InTree(node)) return FALSE;
  if (tree_.GetSelectedItem() == node->m_hItem) {
    FillList(node);
    return TRUE;
  }
  tree_.SelectItem(node->m_hItem);
  tree_.EnsureVisible(node->m_hItem);
  return TRUE;
}

void CPageWnd::DetachFromView(CTreeNode* node) {
  // The selection leaves what goes: the nearest remaining ancestor takes it.
  CTreeNode* sel = SelectedFolder();
  if (sel && (sel == node || IsDescendant(sel, node))) {
    CTreeNode* p = node->m_pParent;
    if (p && InTree(p))
      tree_.SelectItem(p->m_hItem);
    else
      tree_.SelectItem(nullptr);
  }
  if (InTree(node)) tree_.DeleteItem(node->m_hItem);
  std::vector<CTreeNode*> stack{node};
  while (!stack.empty()) {
    CTreeNode* n = stack.back();
    stack.pop_back();
    n->m_hItem = nullptr;
    int cut = IsInCutItems(n);
    if (cut >= 0) cut_.erase(cut_.begin() + cut);
    for (CTreeNode* c = n->m_pFirstChild; c; c = c->m_pNext) stack.push_back(c);
  }
}

// ---- the list ----

void CPageWnd::FreeRows() {
  for (ListRowRecord* r : rows_) delete r;
  rows_.clear();
}

ListRowRecord* CPageWnd::RowRecord(int row) const {
  if (row < 0 || row >= list_.GetItemCount()) return nullptr;
  auto* rec = reinterpret_cast<ListRowRecord*>(list_.GetItemData(row));
  return rec && CTreeNode::IsLive(rec->pNode) ? rec : nullptr;
}

int CPageWnd::RowOfNode(CTreeNode* node) const {
  for (int i = 0; i < list_.GetItemCount(); ++i) {
    auto* rec = reinterpret_cast<ListRowRecord*>(list_.GetItemData(i));
    if (rec && rec->pNode == node) return i;
  }
  return -1;
}

CString CPageWnd::FormatTime(LONG time) const {
  if (time == 0) return CString("Never Published");
  if (time == -1) return CString(" ");
  std::time_t t = time;
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return CString(" ");
  char buf[64];
  size_t n = std::strftime(buf, sizeof buf, "%x %X", &tm);
  return CString(buf, static_cast<int>(n));
}

CString CPageWnd::AttributeText(CPublishObject* object) {
  CString text;
  if (!object) return CString(" ");
  BYTE attrs = object->GetAttributes();
  if (attrs & kPublishReadOnly) text += 'R';
  if (object->IsChanged()) text += 'C';
  if (attrs & kPublishExcluded) text += 'D';
  text += ' ';
  return text;
}

void CPageWnd::AppendListRow(CTreeNode* node) {
  CPublishObject* object = node->m_pObject;
  if (!object) return;
  auto* rec = new ListRowRecord;
  rec->pNode = node;
  rec->flags = object->IsFile() ? kRowFile : kRowFolder;
  rec->remoteTime = object->GetRemotePublishTime();
  rec->localTime = object->GetLocalPublishTime();
  rows_.push_back(rec);
  CString name = NameOf(object), type;
  object->GetTypeText(type);
  int row = list_.InsertItem(list_.GetItemCount(), name, ImageIndex(object, kImageNormal));
  list_.SetItemData(row, reinterpret_cast<DWORD_PTR>(rec));
  list_.SetItemText(row, 1, type);
  list_.SetItemText(row, 2, AttributeText(object));
  list_.SetItemText(row, 3, FormatTime(rec->remoteTime));
  list_.SetItemText(row, 4, FormatTime(rec->localTime));
  if (IsInCutItems(node) >= 0) list_.SetItemState(row, LVIS_CUT, LVIS_CUT);
}

void CPageWnd::FillList(CTreeNode* folder) {
  list_.CancelEditLabel();
  list_.DeleteAllItems();
  FreeRows();
  listFolder_ = CTreeNode::IsLive(folder) ? folder : nullptr;
  if (!listFolder_) return;
  for (CTreeNode* c = listFolder_->m_pFirstChild; c; c = c->m_pNext) AppendListRow(c);
  SortList(sortColumn_);
}

void CPageWnd::SortList(int column) {
  if (column < 0 || column >= kColumns) return;
  sortColumn_ = column;
  int n = list_.GetItemCount();
  std::vector<ListRowRecord*> recs;
  recs.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i)
    recs.push_back(reinterpret_cast<ListRowRecord*>(list_.GetItemData(i)));
  if (column == 3 || column == 4) {
    bool any = std::any_of(recs.begin(), recs.end(), [&](const ListRowRecord* r) {
      return (column == 3 ? r->remoteTime : r->localTime) != 0;
    });
    if (!any) return;
  } else {
    for (ListRowRecord* r : recs) {
      CPublishObject* o = r->pNode->m_pObject;
      if (column == 0)
        o->GetSortKey(r->sortKey);
      else if (column == 1)
        o->GetTypeText(r->sortKey);
      else
        r->sortKey = AttributeText(o);
    }
    if (column == 2 && std::all_of(recs.begin(), recs.end(),
                                   [](const ListRowRecord* r) { return r->sortKey == " "; }))
      return;
  }
  list_.SortItems(CompareByKey, column);
}

void CPageWnd::ResetDateColumns() {
  for (int i = 0; i < list_.GetItemCount(); ++i) {
    ListRowRecord* rec = RowRecord(i);
    if (!rec) continue;
    rec->remoteTime = rec->pNode->m_pObject->GetRemotePublishTime();
    rec->localTime = rec->pNode->m_pObject->GetLocalPublishTime();
    list_.SetItemText(i, 3, FormatTime(rec->remoteTime));
    list_.SetItemText(i, 4, FormatTime(rec->localTime));
  }
}

void CPageWnd::DrawListRow(DRAWITEMSTRUCT* di) {
  if (!di || !di->hDC) return;
  auto* rec = reinterpret_cast<ListRowRecord*>(di->itemData);
  if (!rec || !CTreeNode::IsLive(rec->pNode) || !rec->pNode->m_pObject) return;
  CDC& dc = *di->hDC;
  CPublishObject* object = rec->pNode->m_pObject;
  int row = static_cast<int>(di->itemID);
  bool focus = CWnd::GetFocus() == &list_;
  bool selected = (di->itemState & ODS_SELECTED) && focus;
  RECT rc = di->rcItem;
  dc.FillSolidRect(rc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  // The icon, dimmed while the row is cut, and the state image over it.
  UINT style = IsInCutItems(rec->pNode) >= 0 ? ILD_BLEND50 : ILD_NORMAL;
  images_.Draw(&dc, ImageIndex(object, kImageNormal), POINT{rc.left, rc.top}, style);
  BYTE attrs = object->GetAttributes();
  int stateImage = (attrs & kPublishExcluded)                              ? 2
                   : ((attrs & kPublishReadOnly) && rec->pNode->m_pParent) ? 1
                                                                           : 0;
  if (stateImage) stateImages_.Draw(&dc, stateImage, POINT{rc.left, rc.top}, ILD_NORMAL);
  dc.SelectObject(GetDefaultGuiFont());
  dc.SetBkMode(TRANSPARENT);
  int x = rc.left;
  for (int c = 0; c < kColumns; ++c) {
    int width = list_.GetColumnWidth(c);
    // Resized columns are kept for the next session.
    if (width > 0) settings_.fields[c] = static_cast<DWORD>(width);
    RECT cell{x, rc.top, x + width, rc.bottom};
    x += width;
    if (c == 0) cell.left = std::min(cell.right, cell.left + kIcon);
    COLORREF colour = GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    if ((c == 3 && object->NeedsRemotePublish()) || (c == 4 && object->NeedsLocalPublish()))
      colour = kRed;
    dc.SetTextColor(colour);
    std::string text = list_.GetItemText(row, c);
    std::string shown = FitText(dc, text, static_cast<int>(cell.right - cell.left) - 4);
    int saved = dc.SaveDC();
    dc.IntersectClipRect(cell);
    dc.TextOut(cell.left + 2, cell.top + 1, shown);
    dc.RestoreDC(saved);
  }
  if ((di->itemState & ODS_FOCUS) && focus) dc.DrawFocusRect(rc);
}

// ---- the change stack ----

ChangeRecord* CPageWnd::RecordChange(CPublishObject* object, DWORD flags, DWORD_PTR data,
                                     const CString& name) {
  int kind = ChangeKindFromFlags(flags);
  if (kind == 0) return nullptr;
  ChangeRecord rec;
  rec.m_pObject = object;
  rec.m_nKind = kind;
  rec.m_strName = name;
  switch (kind) {
    case kChangeProperty:
      rec.m_dwData = object && (object->GetAttributes() & kPublishExcluded) ? 0 : 1;
      break;
    case kChangeSettings:
      rec.m_dwData = 0;
      break;
    default:
      rec.m_dwData = data;
      break;
  }
  ChangeRecord* pushed = stack_.Push(rec);
  if (pushed->m_pObject) pushed->m_pObject->OnChange(pushed);
  return pushed;
}

void CPageWnd::ReleaseRecord(ChangeRecord& change, bool discarded) {
  if (change.m_nKind == kChangeSettings && change.m_dwData) {
    delete reinterpret_cast<CString*>(change.m_dwData);
    change.m_dwData = 0;
  }
  if (change.m_nKind != kChangeNewFolder || !change.m_pObject) return;
  CTreeNode* node = change.m_pObject->GetNode();
  if (discarded) {
    // The folder was undone and its redo is gone: nothing can bring it back.
    if (CTreeNode::IsLive(node) && !node->m_pParent) {
      node->m_pObject = nullptr;
      delete node;
      change.m_pObject->AttachNode(nullptr);
      change.m_pObject->Destroy(1);
    }
  } else if (destroying_) {
    if (CTreeNode::IsLive(node)) node->m_pObject = nullptr;
    change.m_pObject->Destroy(0);
  }
  change.m_pObject = nullptr;
}

void CPageWnd::MoveBackOneNode(ChangeRecord* change) {
  if (!change || !change->m_pObject) return;
  CTreeNode* node = change->m_pObject->GetNode();
  auto* other = reinterpret_cast<CPublishObject*>(change->m_dwData);
  CTreeNode* target = other ? other->GetNode() : nullptr;
  if (!CTreeNode::IsLive(node) || !CTreeNode::IsLive(target) || !node->m_pParent) return;
  if (target == node || IsDescendant(target, node) || !IsFolder(target)) return;
  CTreeNode* from = node->m_pParent;
  CTreeNode* selected = SelectedFolder();
  HTREEITEM oldItem = InTree(node) ? node->m_hItem : nullptr;
  target->AddChild(node);
  if (oldItem) {
    if (InTree(target)) {
      filling_ = true;
      MultipleInsert(node, target->m_hItem);
      filling_ = false;
    }
    if (selected && (selected == node || IsDescendant(selected, node))) {
      filling_ = true;
      tree_.SelectItem(nullptr);
      filling_ = false;
    }
    tree_.DeleteItem(oldItem);
    if (selected && InTree(selected)) tree_.SelectItem(selected->m_hItem);
  }
  change->m_dwData = reinterpret_cast<DWORD_PTR>(from->m_pObject);
  SortTreeChildren(target);
}

void CPageWnd::RenameBackOneNode(ChangeRecord* change) {
  if (!change || !change->m_pObject) return;
  CString current = NameOf(change->m_pObject);
  change->m_pObject->SetName(change->m_strName);
  change->m_strName = current;
  CTreeNode* node = change->m_pObject->GetNode();
  if (!CTreeNode::IsLive(node)) return;
  if (InTree(node)) {
    tree_.SetItemText(node->m_hItem, NameOf(change->m_pObject));
    SortTreeChildren(node->m_pParent);
  }
}

void CPageWnd::RemoveNewFolder(ChangeRecord* change) {
  if (!change || !change->m_pObject) return;
  CTreeNode* node = change->m_pObject->GetNode();
  if (!CTreeNode::IsLive(node) || !node->m_pParent) return;
  DetachFromView(node);
  node->m_pParent->RemoveChild(node);
}

void CPageWnd::AddBackNewFolder(ChangeRecord* change) {
  if (!change || !change->m_pObject) return;
  CTreeNode* node = change->m_pObject->GetNode();
  auto* parentObject = reinterpret_cast<CPublishObject*>(change->m_dwData);
  CTreeNode* parent = parentObject ? parentObject->GetNode() : nullptr;
  if (!CTreeNode::IsLive(node) || !CTreeNode::IsLive(parent) || node->m_pParent) return;
  parent->AddChild(node);
  if (InTree(parent)) MultipleInsert(node, parent->m_hItem);
}

void CPageWnd::UndoOne(ChangeRecord* change) {
  switch (change->m_nKind) {
    case kChangeMove:
      MoveBackOneNode(change);
      break;
    case kChangeRename:
      RenameBackOneNode(change);
      break;
    case kChangeNewFolder:
      RemoveNewFolder(change);
      break;
    case kChangeDelete:
      AddBackNewFolder(change);
      break;
    default:
      break;  // kinds 1 and 16 are the host's alone
  }
  if (change->m_pObject) change->m_pObject->OnUndo(change);
}

void CPageWnd::RedoOne(ChangeRecord* change) {
  switch (change->m_nKind) {
    case kChangeMove:
      MoveBackOneNode(change);
      break;
    case kChangeRename:
      RenameBackOneNode(change);
      break;
    case kChangeNewFolder:
      AddBackNewFolder(change);
      break;
    case kChangeDelete:
      RemoveNewFolder(change);
      break;
    default:
      break;
  }
  if (change->m_pObject) change->m_pObject->OnChange(change);
}

void CPageWnd::AfterUndoRedo(CTreeNode*) {
  CTreeNode* sel = SelectedFolder();
  if (!sel && !roots_.empty() && InTree(roots_.front())) {
    tree_.SelectItem(roots_.front()->m_hItem);
    return;  // the selection change refilled the list
  }
  FillList(sel);
}

void CPageWnd::Undo() {
  ChangeRecord* r = stack_.StepBack();
  if (!r) return;
  if (r->m_nKind == kChangeGroupEnd) {
    int depth = 1;
    while ((r = stack_.StepBack())) {
      if (r->m_nKind == kChangeGroupEnd)
        ++depth;
      else if (r->m_nKind == kChangeGroupStart) {
        if (--depth == 0) break;
      } else
        UndoOne(r);
    }
  } else if (r->m_nKind != kChangeGroupStart) {
    UndoOne(r);
  }
  AfterUndoRedo(nullptr);
}

void CPageWnd::Redo() {
  ChangeRecord* r = stack_.StepForward();
  if (!r) return;
  if (r->m_nKind == kChangeGroupStart) {
    int depth = 1;
    while ((r = stack_.StepForward())) {
      if (r->m_nKind == kChangeGroupStart)
        ++depth;
      else if (r->m_nKind == kChangeGroupEnd) {
        if (--depth == 0) break;
      } else
        RedoOne(r);
    }
  } else if (r->m_nKind != kChangeGroupEnd) {
    RedoOne(r);
  }
  AfterUndoRedo(nullptr);
}

// ---- moving, cutting, pasting ----

BOOL CPageWnd::CanDrop(CTreeNode* node, CTreeNode* target) const {
  if (!CTreeNode::IsLive(node) || !CTreeNode::IsLive(target) || !node->m_pObject) return FALSE;
  if (!IsFolder(target) || !node->m_pParent) return FALSE;
  if (target == node || target == node->m_pParent || IsDescendant(target, node)) return FALSE;
  CString name = NameOf(node->m_pObject);
  for (CTreeNode* c = target->m_pFirstChild; c; c = c->m_pNext)
    if (SameNameNoCase(NameOf(c->m_pObject), name)) return FALSE;
  return target->m_pObject->CanAccept(node->m_pObject) ? TRUE : FALSE;
}

BOOL CPageWnd::MoveNode(CTreeNode* node, CTreeNode* target) {
  if (!CanDrop(node, target)) return FALSE;
  CTreeNode* from = node->m_pParent;
  CTreeNode* selected = SelectedFolder();
  HTREEITEM oldItem = InTree(node) ? node->m_hItem : nullptr;
  target->AddChild(node);
  if (oldItem) {
    filling_ = true;
    if (InTree(target)) MultipleInsert(node, target->m_hItem);
    if (selected && (selected == node || IsDescendant(selected, node))) tree_.SelectItem(nullptr);
    tree_.DeleteItem(oldItem);
    filling_ = false;
    if (selected && InTree(selected) && tree_.GetSelectedItem() != selected->m_hItem) {
      filling_ = true;
      tree_.SelectItem(selected->m_hItem);
      filling_ = false;
    }
  }
  SortTreeChildren(target);
  RecordChange(node->m_pObject, 0x02, reinterpret_cast<DWORD_PTR>(from->m_pObject), CString());
  return TRUE;
}

BOOL CPageWnd::MoveMultipleNodes(const std::vector<CTreeNode*>& nodes, CTreeNode* target) {
  if (nodes.empty()) return FALSE;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (!CanDrop(nodes[i], target)) return FALSE;
    // Two of them with one name cannot both land in the same folder.
    for (size_t j = 0; j < i; ++j)
      if (nodes[j] == nodes[i] ||
          SameNameNoCase(NameOf(nodes[i]->m_pObject), NameOf(nodes[j]->m_pObject)))
        return FALSE;
  }
  RecordChange(nullptr, 0x04, 0, CString());
  for (CTreeNode* n : nodes) MoveNode(n, target);
  RecordChange(nullptr, 0x08, 0, CString());
  SortTreeChildren(target);
  return TRUE;
}

int CPageWnd::IsInCutItems(CTreeNode* node) const {
  for (size_t i = 0; i < cut_.size(); ++i)
    if (cut_[i].pNode == node) return static_cast<int>(i);
  return -1;
}

void CPageWnd::MarkCut(CTreeNode* node, bool cut) {
  if (!CTreeNode::IsLive(node)) return;
  if (InTree(node)) tree_.SetItemState(node->m_hItem, cut ? TVIS_CUT : 0, TVIS_CUT);
  int row = RowOfNode(node);
  if (row >= 0) list_.SetItemState(row, cut ? LVIS_CUT : 0, LVIS_CUT);
}

void CPageWnd::RemoveAllCutItems() {
  for (const CUT_ITEM& c : cut_) MarkCut(c.pNode, false);
  cut_.clear();
}

void CPageWnd::FreeCutItems() { RemoveAllCutItems(); }

std::vector<CTreeNode*> CPageWnd::FocusedSelection() const {
  std::vector<CTreeNode*> nodes;
  CWnd* focus = CWnd::GetFocus();
  bool inList = focus && (focus == &list_ || focus->GetParent() == &list_);
  if (inList) {
    for (int i = list_.GetNextItem(-1, LVNI_SELECTED); i >= 0;
         i = list_.GetNextItem(i, LVNI_SELECTED))
      if (ListRowRecord* rec = RowRecord(i)) nodes.push_back(rec->pNode);
  } else if (CTreeNode* node = SelectedFolder()) {
    nodes.push_back(node);
  }
  return nodes;
}

BOOL CPageWnd::CanCut() const {
  std::vector<CTreeNode*> nodes = FocusedSelection();
  if (nodes.empty()) return FALSE;
  for (CTreeNode* n : nodes)
    if (!n->m_pParent || !n->m_pObject->CanCut()) return FALSE;
  return TRUE;
}

BOOL CPageWnd::Cut() {
  if (!CanCut()) return FALSE;
  std::vector<CTreeNode*> nodes = FocusedSelection();
  RemoveAllCutItems();
  for (CTreeNode* n : nodes) {
    cut_.push_back(CUT_ITEM{n});
    MarkCut(n, true);
  }
  return TRUE;
}

BOOL CPageWnd::CanPaste() const {
  CTreeNode* target = menuTarget_ ? menuTarget_ : SelectedFolder();
  if (cut_.empty() || !target) return FALSE;
  for (const CUT_ITEM& c : cut_)
    if (!CanDrop(c.pNode, target)) return FALSE;
  return TRUE;
}

BOOL CPageWnd::Paste() {
  CTreeNode* target = menuTarget_ ? menuTarget_ : SelectedFolder();
  if (!CanPaste()) return FALSE;
  std::vector<CTreeNode*> nodes;
  for (const CUT_ITEM& c : cut_) nodes.push_back(c.pNode);
  if (!MoveMultipleNodes(nodes, target)) return FALSE;
  FreeCutItems();
  FillList(SelectedFolder());
  return TRUE;
}

// ---- folders ----

void CPageWnd::FindAnyName(const CTreeNode* node, const CString& name, bool* found) const {
  for (; node && !*found; node = node->m_pNext) {
    if (SameNameNoCase(NameOf(node->m_pObject), name)) *found = true;
    FindAnyName(node->m_pFirstChild, name, found);
  }
}

CString CPageWnd::UniqueFolderName() const {
  CString name("New Folder");
  for (int n = 0; n < kMaxNewFolderNumber; ++n) {
    if (n > 0) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "New Folder (%d)", n);
      name = buf;
    }
    bool found = false;
    for (CTreeNode* root : roots_) {
      if (SameNameNoCase(NameOf(root->m_pObject), name)) found = true;
      if (!found) FindAnyName(root->m_pFirstChild, name, &found);
      if (found) break;
    }
    if (!found) return name;
  }
  return CString();
}

BOOL CPageWnd::CanAddNewFolder() const {
  CTreeNode* parent = SelectedFolder();
  return parent && parent->m_pObject->CanAddFolder() ? TRUE : FALSE;
}

BOOL CPageWnd::AddNewFolder(bool inList, bool editLabel) {
  CTreeNode* parent = SelectedFolder();
  if (!parent || !parent->m_pObject->CanAddFolder()) return FALSE;
  CPublishObject* object = parent->m_pObject->CreateFolder();
  if (!object) return FALSE;
  CString name = UniqueFolderName();
  if (name.IsEmpty()) {
    object->Destroy(1);
    return FALSE;
  }
  auto* node = new CTreeNode(object, parent);
  object->AttachNode(node);
  object->SetName(name);
  InsertFolderRow(node, parent->m_hItem, false);
  if (!node->m_hItem) {
    parent->RemoveChild(node);
    node->m_pObject = nullptr;
    delete node;
    object->AttachNode(nullptr);
    object->Destroy(1);
    return FALSE;
  }
  RecordChange(object, 0x10, reinterpret_cast<DWORD_PTR>(parent->m_pObject), CString());
  tree_.Expand(parent->m_hItem, TVE_EXPAND);
  if (!inList) {
    if (editLabel) {
      if (CEdit* edit = tree_.EditLabel(node->m_hItem)) (void)edit;
    }
    if (listFolder_ == parent) FillList(parent);
    return TRUE;
  }
  // In the list: a row for the folder, dated now, and the label edited there.
  auto now = static_cast<LONG>(std::time(nullptr));
  auto* rec = new ListRowRecord;
  rec->pNode = node;
  rec->flags = kRowFolder;
  rec->created = rec->remoteTime = rec->localTime = now;
  rows_.push_back(rec);
  CString type;
  object->GetTypeText(type);
  int row = list_.InsertItem(list_.GetItemCount(), name, ImageIndex(object, kImageNormal));
  list_.SetItemData(row, reinterpret_cast<DWORD_PTR>(rec));
  list_.SetItemText(row, 1, type);
  list_.SetItemText(row, 2, AttributeText(object));
  list_.SetItemText(row, 3, FormatTime(now));
  list_.SetItemText(row, 4, FormatTime(now));
  list_.SetItemState(-1, 0, LVIS_SELECTED);
  list_.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  if (editLabel) list_.EditLabel(row);
  return TRUE;
}

BOOL CPageWnd::IsNewFolder(CTreeNode* node) const {
  return CTreeNode::IsLive(node) && node->m_pObject &&
                 (node->m_pObject->GetAttributes() & kPublishNewFolder)
             ? TRUE
             : FALSE;
}

BOOL CPageWnd::CanDeleteFolder(CTreeNode* node) const {
  if (!CTreeNode::IsLive(node) || !node->m_pObject || !node->m_pParent) return FALSE;
  if (node->m_pObject->GetAttributes() & kPublishReadOnly) return FALSE;
  if (node->m_pObject->IsFile() || node->m_pFirstChild) return FALSE;
  return TRUE;
}

BOOL CPageWnd::DeleteFolder(CTreeNode* node) {
  if (!CanDeleteFolder(node)) return FALSE;
  CTreeNode* parent = node->m_pParent;
  DetachFromView(node);
  parent->RemoveChild(node);
  RecordChange(node->m_pObject, 0x80, reinterpret_cast<DWORD_PTR>(parent->m_pObject), CString());
  SelectFolder(parent);
  return TRUE;
}

BOOL CPageWnd::CanDeleteSelectedFolder() const {
  std::vector<CTreeNode*> nodes = FocusedSelection();
  return nodes.size() == 1 && CanDeleteFolder(nodes.front());
}

BOOL CPageWnd::DeleteSelectedFolder() {
  std::vector<CTreeNode*> nodes = FocusedSelection();
  if (nodes.size() != 1 || !CanDeleteFolder(nodes.front())) return FALSE;
  CWnd* focus = CWnd::GetFocus();
  bool fromList = focus && (focus == &list_ || focus->GetParent() == &list_);
  CTreeNode* before = SelectedFolder();
  if (!DeleteFolder(nodes.front())) return FALSE;
  if (fromList && InTree(before)) {
    SelectFolder(before);
    FillList(before);
  }
  return TRUE;
}

BOOL CPageWnd::RenameNode(CTreeNode* node, const CString& name) {
  if (!CTreeNode::IsLive(node) || !node->m_pObject || name.IsEmpty()) return FALSE;
  if (!node->m_pObject->CanRename()) return FALSE;
  CString old = NameOf(node->m_pObject);
  if (old == name) return FALSE;
  if (node->m_pParent)
    for (CTreeNode* c = node->m_pParent->m_pFirstChild; c; c = c->m_pNext)
      if (c != node && SameNameNoCase(NameOf(c->m_pObject), name)) return FALSE;
  node->m_pObject->SetName(name);
  // A host that could not take the name keeps the old one: nothing is recorded.
  if (NameOf(node->m_pObject) != name) return FALSE;
  if (!IsNewFolder(node)) RecordChange(node->m_pObject, 0x01, 0, old);
  if (InTree(node)) {
    tree_.SetItemText(node->m_hItem, name);
    SortTreeChildren(node->m_pParent);
  }
  int row = RowOfNode(node);
  if (row >= 0) list_.SetItemText(row, 0, name);
  return TRUE;
}

BOOL CPageWnd::CanRename() const {
  std::vector<CTreeNode*> nodes = FocusedSelection();
  return nodes.size() == 1 && nodes.front()->m_pObject->CanRename();
}

BOOL CPageWnd::Rename() {
  if (!CanRename()) return FALSE;
  CTreeNode* node = FocusedSelection().front();
  CWnd* focus = CWnd::GetFocus();
  if (focus && (focus == &list_ || focus->GetParent() == &list_)) {
    int row = RowOfNode(node);
    return row >= 0 && list_.EditLabel(row) != nullptr;
  }
  return InTree(node) && tree_.EditLabel(node->m_hItem) != nullptr;
}

BOOL CPageWnd::ShowProperties() {
  std::vector<CTreeNode*> nodes = FocusedSelection();
  if (nodes.empty()) return FALSE;
  CPublishObject* object = nodes.front()->m_pObject;
  ChangeRecord* change = object->ShowProperties(this);
  if (change) {
    ChangeRecord* pushed = stack_.Push(*change);
    delete change;
    if (pushed->m_pObject) pushed->m_pObject->OnChange(pushed);
  }
  for (CTreeNode* n : nodes) SetTreeItemLook(n);
  FillList(listFolder_);
  return TRUE;
}

BOOL CPageWnd::PassOnDeleteKey(UINT msg, WPARAM wParam, LPARAM lParam) {
  CWnd* focus = CWnd::GetFocus();
  for (CEdit* edit : {tree_.GetEditControl(), list_.GetEditControl()}) {
    if (edit && focus == edit) {
      edit->SendMessage(msg, wParam, lParam);
      return TRUE;
    }
  }
  if (msg == WM_KEYDOWN && wParam == static_cast<WPARAM>(VK_DELETE) &&
      (focus == &tree_ || focus == &list_)) {
    if (CanDeleteSelectedFolder()) DeleteSelectedFolder();
    return TRUE;
  }
  return FALSE;
}

// ---- menus ----

void CPageWnd::EnableMenuItem(CMenu* menu, BOOL cut, BOOL paste, BOOL newFolder, BOOL del,
                              BOOL rename) {
  if (!menu) return;
  auto state = [](BOOL on) { return MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED); };
  menu->EnableMenuItem(ID_OUTFOLD_CUT, state(cut));
  menu->EnableMenuItem(ID_OUTFOLD_PASTE, state(paste && !cut_.empty()));
  menu->EnableMenuItem(ID_OUTFOLD_NEWFOLDER, state(newFolder));
  menu->EnableMenuItem(ID_OUTFOLD_RENAME, state(rename));
  if (!del) menu->RemoveMenu(ID_OUTFOLD_DELETE, MF_BYCOMMAND);
}

UINT CPageWnd::TrackPopupMenu(POINT screen, BOOL cut, BOOL paste, BOOL newFolder, BOOL del,
                              BOOL rename) {
  CMenu menu;
  if (!menu.LoadMenuTemplate(kPopupMenu, static_cast<int>(std::size(kPopupMenu)))) return 0;
  CMenu* popup = menu.GetSubMenu(0);
  EnableMenuItem(popup, cut, paste, newFolder, del, rename);
  UINT cmd = static_cast<UINT>(popup->TrackPopupMenu(
      TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, screen.x, screen.y, this));
  if (cmd) OnCommand(cmd);
  menuTarget_ = nullptr;
  return cmd;
}

void CPageWnd::ContextMenuTree() {
  POINT screen;
  GetCursorPos(&screen);
  POINT pt = screen;
  ScreenToClient(tree_.m_hWnd, &pt);
  UINT flags = 0;
  HTREEITEM item = tree_.HitTest(pt, &flags);
  CTreeNode* node = NodeOfTreeItem(item);
  if (!node) return;
  tree_.SelectItem(item);
  tree_.SetFocus();
  menuTarget_ = nullptr;
  BOOL paste = !cut_.empty();
  for (const CUT_ITEM& c : cut_) paste = paste && CanDrop(c.pNode, node);
  TrackPopupMenu(screen, node->m_pParent && node->m_pObject->CanCut(), paste, TRUE,
                 CanDeleteFolder(node), node->m_pObject->CanRename());
}

void CPageWnd::ContextMenuList(int row) {
  POINT screen;
  GetCursorPos(&screen);
  list_.SetFocus();
  ListRowRecord* rec = RowRecord(row);
  if (!rec) {
    menuTarget_ = nullptr;
    TrackPopupMenu(screen, FALSE, CanPaste(), FALSE, FALSE, FALSE);
    return;
  }
  CTreeNode* node = rec->pNode;
  BOOL paste = FALSE;
  if (rec->flags & kRowFolder) {
    paste = !cut_.empty();
    for (const CUT_ITEM& c : cut_) paste = paste && CanDrop(c.pNode, node);
    menuTarget_ = node;
  } else {
    menuTarget_ = nullptr;
    paste = CanPaste();
  }
  TrackPopupMenu(screen, TRUE, paste, CanAddNewFolder(), CanDeleteFolder(node),
                 node->m_pObject->CanRename());
}

void CPageWnd::OnCommand(UINT id) {
  CWnd* focus = CWnd::GetFocus();
  bool inList = focus && (focus == &list_ || focus->GetParent() == &list_);
  switch (id) {
    case ID_OUTFOLD_CUT:
      Cut();
      break;
    case ID_OUTFOLD_PASTE:
      Paste();
      break;
    case ID_OUTFOLD_PROPERTIES:
      ShowProperties();
      break;
    case ID_OUTFOLD_NEWFOLDER:
      AddNewFolder(inList, true);
      break;
    case ID_OUTFOLD_RENAME:
      Rename();
      break;
    case ID_OUTFOLD_UNDO:
      Undo();
      break;
    case ID_OUTFOLD_REDO:
      Redo();
      break;
    case ID_OUTFOLD_DELETE:
      DeleteSelectedFolder();
      break;
    default:
      break;
  }
}

// ---- drag and drop ----

CTreeNode* CPageWnd::DropTargetAt(POINT viewPt) {
  RECT tr, lr;
  tree_.GetWindowRect(&tr);
  list_.GetWindowRect(&lr);
  if (PtInRect(tr, viewPt)) {
    POINT p{viewPt.x - tr.left, viewPt.y - tr.top};
    UINT flags = 0;
    HTREEITEM item = tree_.HitTest(p, &flags);
    return (flags & TVHT_ONITEM) ? NodeOfTreeItem(item) : nullptr;
  }
  if (PtInRect(lr, viewPt)) {
    POINT p{viewPt.x - lr.left, viewPt.y - lr.top};
    ListRowRecord* rec = RowRecord(list_.HitTest(p));
    return rec && (rec->flags & kRowFolder) ? rec->pNode : nullptr;
  }
  return nullptr;
}

void CPageWnd::XorOutlines() {
  if (!screen_) return;
  RECT lr;
  list_.GetWindowRect(&lr);
  int saved = screen_->SaveDC();
  screen_->SetViewportOrg(screenCorner_.x + lr.left + outlineOffset_.x,
                          screenCorner_.y + lr.top + outlineOffset_.y);
  for (CTreeNode* n : dragNodes_) {
    RECT r;
    int row = RowOfNode(n);
    if (row >= 0 && list_.GetItemRect(row, &r, LVIR_BOUNDS)) screen_->DrawFocusRect(r);
  }
  screen_->RestoreDC(saved);
}

void CPageWnd::BeginDrag(Drag kind, POINT viewPt) {
  if (dragNodes_.empty()) return;
  drag_ = kind;
  dragStart_ = viewPt;
  dropTarget_ = nullptr;
  SetCapture(m_hWnd);
  if (dragNodes_.size() == 1) {
    int image = ImageIndex(dragNodes_.front()->m_pObject, kImageNormal);
    if (image >= 0 && images_.BeginDrag(image, POINT{0, 0})) CImageList::DragEnter(m_hWnd, viewPt);
  } else {
    outlineOffset_ = POINT{0, 0};
    XorOutlines();
    outlinesShown_ = true;
  }
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
}

void CPageWnd::OnDragMove(POINT viewPt) {
  if (drag_ == Drag::None) return;
  CImageList::DragMove(viewPt);
  if (outlinesShown_) {
    XorOutlines();
    RECT lr;
    list_.GetWindowRect(&lr);
    outlineOffset_ = POINT{viewPt.x - dragStart_.x, viewPt.y - dragStart_.y};
    XorOutlines();
  }
  CTreeNode* target = DropTargetAt(viewPt);
  bool ok = target != nullptr;
  for (CTreeNode* n : dragNodes_) ok = ok && CanDrop(n, target);
  SetCursor(LoadCursor(nullptr, ok ? IDC_ARROW : IDC_NO));
  // The tree's selection follows the pointer over its folders.
  if (target && InTree(target) && tree_.GetSelectedItem() != target->m_hItem) {
    RECT tr;
    tree_.GetWindowRect(&tr);
    if (PtInRect(tr, viewPt)) tree_.SelectItem(target->m_hItem);
  }
  dropTarget_ = ok ? target : nullptr;
}

void CPageWnd::OnDragEnd(POINT viewPt, bool drop) {
  if (drag_ == Drag::None) return;
  Drag kind = drag_;
  drag_ = Drag::None;  // first: releasing the capture comes back here
  if (outlinesShown_) {
    XorOutlines();
    outlinesShown_ = false;
  }
  CImageList::DragLeave(m_hWnd);
  CImageList::EndDrag();
  if (GetCapture() == m_hWnd) ReleaseCapture();
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  std::vector<CTreeNode*> nodes = std::move(dragNodes_);
  dragNodes_.clear();
  CTreeNode* target = drop ? DropTargetAt(viewPt) : nullptr;
  bool ok = target != nullptr;
  for (CTreeNode* n : nodes) ok = ok && CanDrop(n, target);
  if (kind == Drag::Tree) {
    CTreeNode* node = nodes.empty() ? nullptr : nodes.front();
    if (ok && MoveNode(node, target)) {
      FillList(SelectedFolder());
    } else if (InTree(node)) {
      tree_.SelectItem(node->m_hItem);
    }
  } else {
    if (ok) {
      if (nodes.size() == 1)
        MoveNode(nodes.front(), target);
      else
        MoveMultipleNodes(nodes, target);
    }
    if (InTree(dragStartFolder_)) SelectFolder(dragStartFolder_);
    FillList(SelectedFolder());
  }
  dragStartFolder_ = dropTarget_ = nullptr;
}

// ---- notifications ----

void CPageWnd::SubclassLabelEdit(CEdit* edit) {
  if (!edit) return;
  edit->SetFilter([](UINT msg, WPARAM, LPARAM, LRESULT* result) {
    if (msg != WM_GETDLGCODE) return false;
    *result = DLGC_WANTALLKEYS;
    return true;
  });
}

LRESULT CPageWnd::OnTreeNotify(NMHDR* hdr) {
  switch (hdr->code) {
    case TVN_SELCHANGED: {
      if (filling_) return 0;
      auto* nm = reinterpret_cast<NMTREEVIEW*>(hdr);
      FillList(NodeOfTreeItem(nm->itemNew.hItem));
      return 0;
    }
    case TVN_BEGINDRAG: {
      auto* nm = reinterpret_cast<NMTREEVIEW*>(hdr);
      CTreeNode* node = NodeOfTreeItem(nm->itemNew.hItem);
      if (!node || !node->m_pParent || !node->m_pObject->CanCut()) return 0;
      tree_.SelectItem(node->m_hItem);
      dragNodes_ = {node};
      dragStartFolder_ = node;
      POINT p = nm->ptDrag;
      ClientToClient(&tree_, this, &p);
      BeginDrag(Drag::Tree, p);
      return 0;
    }
    case TVN_BEGINLABELEDIT: {
      auto* di = reinterpret_cast<NMTVDISPINFO*>(hdr);
      CTreeNode* node = NodeOfTreeItem(di->item.hItem);
      if (!node || !node->m_pObject->CanRename()) return TRUE;
      SubclassLabelEdit(tree_.GetEditControl());
      return FALSE;
    }
    case TVN_ENDLABELEDIT: {
      auto* di = reinterpret_cast<NMTVDISPINFO*>(hdr);
      CTreeNode* node = NodeOfTreeItem(di->item.hItem);
      if (node && di->item.pszText) RenameNode(node, CString(di->item.pszText));
      return FALSE;  // the row was updated by the rename itself
    }
    case NM_RCLICK:
      ContextMenuTree();
      return TRUE;
    default:
      return 0;
  }
}

LRESULT CPageWnd::OnListNotify(NMHDR* hdr) {
  switch (hdr->code) {
    case LVN_COLUMNCLICK:
      SortList(reinterpret_cast<NMLISTVIEW*>(hdr)->iSubItem);
      return 0;
    case LVN_BEGINDRAG: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      std::vector<CTreeNode*> nodes;
      for (int i = list_.GetNextItem(-1, LVNI_SELECTED); i >= 0;
           i = list_.GetNextItem(i, LVNI_SELECTED)) {
        ListRowRecord* rec = RowRecord(i);
        if (!rec || !rec->pNode->m_pParent || !rec->pNode->m_pObject->CanCut()) return 0;
        nodes.push_back(rec->pNode);
      }
      if (nodes.empty()) return 0;
      dragNodes_ = nodes;
      dragStartFolder_ = SelectedFolder();
      POINT p = nm->ptAction;
      ClientToClient(&list_, this, &p);
      BeginDrag(Drag::List, p);
      return 0;
    }
    case LVN_BEGINLABELEDIT: {
      auto* di = reinterpret_cast<NMLVDISPINFO*>(hdr);
      ListRowRecord* rec = RowRecord(di->item.iItem);
      if (!rec || !rec->pNode->m_pObject->CanRename()) return TRUE;
      SubclassLabelEdit(list_.GetEditControl());
      return FALSE;
    }
    case LVN_ENDLABELEDIT: {
      auto* di = reinterpret_cast<NMLVDISPINFO*>(hdr);
      ListRowRecord* rec = RowRecord(di->item.iItem);
      if (rec && di->item.pszText) RenameNode(rec->pNode, CString(di->item.pszText));
      return FALSE;
    }
    case NM_RCLICK:
      ContextMenuList(reinterpret_cast<NMLISTVIEW*>(hdr)->iItem);
      return TRUE;
    case NM_DBLCLK: {
      ListRowRecord* rec = RowRecord(reinterpret_cast<NMLISTVIEW*>(hdr)->iItem);
      if (rec && (rec->flags & kRowFolder) && InTree(rec->pNode)) {
        CTreeNode* node = rec->pNode;
        SelectFolder(node);
        tree_.EnsureVisible(node->m_hItem);
      }
      return 0;
    }
    case LVN_KEYDOWN:
      if (reinterpret_cast<NMLVKEYDOWN*>(hdr)->wVKey == VK_TAB) tree_.SetFocus();
      return 0;
    case HDN_BEGINTRACK:
      headerTracking_ = true;
      return 0;
    case HDN_TRACK:
      if (headerTracking_) {
        int top = list_.GetTopIndex();
        list_.RedrawItems(top, top + list_.GetCountPerPage());
      }
      return 0;
    case HDN_ENDTRACK:
      headerTracking_ = false;
      return 0;
    default:
      return 0;
  }
}

LRESULT CPageWnd::OnNotify(NMHDR* hdr) {
  if (!hdr) return 0;
  if (hdr->hwndFrom == tree_.m_hWnd) return OnTreeNotify(hdr);
  if (hdr->hwndFrom == list_.m_hWnd) return OnListNotify(hdr);
  // The header's notifications arrive through the list with the header as sender.
  if (list_.GetHeaderCtrl() && hdr->hwndFrom == list_.GetHeaderCtrl()->m_hWnd)
    return OnListNotify(hdr);
  return 0;
}

LRESULT CPageWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      RECT none{0, 0, 0, 0};
      if (!tree_.Create("",
                        WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                            TVS_EDITLABELS | TVS_SHOWSELALWAYS,
                        none, this, kTreeId))
        return -1;
      if (!list_.Create("",
                        WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_EDITLABELS |
                            LVS_SHOWSELALWAYS,
                        none, this, kListId))
        return -1;
      tree_.SetIndent(tree_.GetIndent() - 4);
      images_.Create(kIcon, kIcon, ILC_COLOR24 | ILC_MASK, 8, 8);
      MakeStateImages();
      tree_.SetImageList(&images_, TVSIL_NORMAL);
      tree_.SetImageList(&stateImages_, TVSIL_STATE);
      list_.SetImageList(&images_, LVSIL_SMALL);
      list_.SetImageList(&stateImages_, LVSIL_STATE);
      InitColumns();
      return 0;
    }
    case WM_SIZE:
      Layout();
      return 0;
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_DRAWITEM:
      if (wParam == kListId) DrawListRow(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_COMMAND:
      OnCommand(static_cast<UINT>(LOWORD(wParam)));
      return 0;
    case WM_SETCURSOR: {
      if (drag_ != Drag::None || splitting_) return TRUE;
      POINT p;
      GetCursorPos(&p);
      ScreenToClient(m_hWnd, &p);
      int x = TreeRight();
      bool gap = p.x >= x && p.x < x + kSplitter;
      SetCursor(LoadCursor(nullptr, gap ? IDC_SIZEWE : IDC_ARROW));
      return TRUE;
    }
    case WM_LBUTTONDOWN: {
      int x = GET_X_LPARAM(lParam);
      int right = TreeRight();
      if (x >= right && x < right + kSplitter) {
        splitting_ = true;
        grab_ = x - right;
        SetCapture(m_hWnd);
        splitLine_ = x - grab_;
        XorSplitter(splitLine_);
      }
      return 0;
    }
    case WM_MOUSEMOVE: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (splitting_) {
        XorSplitter(splitLine_);
        splitLine_ = p.x - grab_;
        XorSplitter(splitLine_);
      } else if (drag_ != Drag::None) {
        OnDragMove(p);
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (splitting_) {
        splitting_ = false;
        XorSplitter(splitLine_);
        splitLine_ = -1;
        if (GetCapture() == m_hWnd) ReleaseCapture();
        RECT r;
        GetClientRect(&r);
        long long span = static_cast<long long>(r.right) - kSplitter;
        if (span > 0) {
          long long pos = std::clamp<long long>(p.x - grab_, 0, span);
          settings_.ratio = static_cast<DWORD>((100 * pos + span / 2) / span);
        }
        Layout();
      } else if (drag_ != Drag::None) {
        OnDragEnd(p, true);
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) == m_hWnd) return 0;
      if (splitting_) {
        splitting_ = false;
        XorSplitter(splitLine_);
        splitLine_ = -1;
      }
      if (drag_ != Drag::None) OnDragEnd(POINT{0, 0}, false);
      return 0;
    case WM_PRINTCLIENT:
      if (wParam) Paint(*reinterpret_cast<CDC*>(wParam));
      return 0;
    default:
      return DefWindowProc(msg, wParam, lParam);
  }
}
