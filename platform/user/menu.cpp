#include "menu.h"

#include <unordered_map>

#include "wnd.h"

namespace {
struct MenuState {
  std::unordered_map<HMENU, CMenu*> menus;
  std::uintptr_t next = 0x20000;
  std::function<UINT(const halyard::user::TrackedMenu&)> chooser;
  std::vector<halyard::user::TrackedMenu> tracked;
};
MenuState& M() {
  static MenuState m;
  return m;
}
}  // namespace

CMenu::CMenu() = default;

CMenu::~CMenu() { DestroyMenu(); }

BOOL CMenu::CreatePopupMenu() {
  if (handle_) return FALSE;
  handle_ = reinterpret_cast<HMENU>(M().next++);
  M().menus[handle_] = this;
  return TRUE;
}

BOOL CMenu::LoadMenuTemplate(const Template* items, int count) {
  if (!items || count <= 0 || handle_) return FALSE;
  CreatePopupMenu();
  std::vector<CMenu*> open{this};
  for (int i = 0; i < count; ++i) {
    const Template& t = items[i];
    if (!t.text && !(t.flags & MF_SEPARATOR)) {
      if (open.size() < 2) return DestroyMenu(), FALSE;
      open.pop_back();
      continue;
    }
    if (t.flags & MF_POPUP) {
      auto sub = std::make_unique<CMenu>();
      sub->CreatePopupMenu();
      CMenu* raw = sub.get();
      open.back()->items_.push_back(Item{0, t.text, t.flags, std::move(sub)});
      open.push_back(raw);
    } else {
      open.back()->AppendMenu(t.flags, t.id, t.text);
    }
  }
  if (open.size() != 1) return DestroyMenu(), FALSE;
  return TRUE;
}

BOOL CMenu::DestroyMenu() {
  if (!handle_) return FALSE;
  items_.clear();
  M().menus.erase(handle_);
  handle_ = nullptr;
  return TRUE;
}

CMenu* CMenu::FromHandle(HMENU menu) {
  auto it = M().menus.find(menu);
  return it == M().menus.end() ? nullptr : it->second;
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, LPCSTR text) {
  if (!handle_) return FALSE;
  items_.push_back(Item{static_cast<UINT>(id), text ? text : "", flags & ~MF_POPUP, nullptr});
  return TRUE;
}

CMenu* CMenu::GetSubMenu(int pos) const {
  if (pos < 0 || pos >= static_cast<int>(items_.size())) return nullptr;
  return items_[static_cast<size_t>(pos)].popup.get();
}

UINT CMenu::GetMenuItemID(int pos) const {
  if (pos < 0 || pos >= static_cast<int>(items_.size())) return static_cast<UINT>(-1);
  const Item& it = items_[static_cast<size_t>(pos)];
  return it.popup ? static_cast<UINT>(-1) : it.id;
}

const CMenu::Item* CMenu::Find(UINT item, UINT flags) const {
  if (flags & MF_BYPOSITION) return item < items_.size() ? &items_[item] : nullptr;
  for (const Item& it : items_) {
    if (!it.popup && !(it.flags & MF_SEPARATOR) && it.id == item) return &it;
    if (it.popup)
      if (const Item* in = it.popup->Find(item, flags)) return in;
  }
  return nullptr;
}

CMenu::Item* CMenu::Find(UINT item, UINT flags) {
  return const_cast<Item*>(static_cast<const CMenu*>(this)->Find(item, flags));
}

std::string CMenu::GetMenuString(UINT item, UINT flags) const {
  const Item* it = Find(item, flags);
  return it ? it->text : std::string();
}

UINT CMenu::GetMenuState(UINT item, UINT flags) const {
  const Item* it = Find(item, flags);
  return it ? it->flags : MF_ERROR;
}

UINT CMenu::EnableMenuItem(UINT item, UINT enable) {
  Item* it = Find(item, enable & MF_BYPOSITION);
  if (!it) return MF_ERROR;
  UINT old = it->flags & (MF_GRAYED | MF_DISABLED);
  it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  return old;
}

BOOL CMenu::RemoveMenu(UINT item, UINT flags) {
  if (flags & MF_BYPOSITION) {
    if (item >= items_.size()) return FALSE;
    items_.erase(items_.begin() + item);
    return TRUE;
  }
  for (size_t i = 0; i < items_.size(); ++i) {
    Item& it = items_[i];
    if (!it.popup && !(it.flags & MF_SEPARATOR) && it.id == item) {
      items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
      return TRUE;
    }
    if (it.popup && it.popup->RemoveMenu(item, flags)) return TRUE;
  }
  return FALSE;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner) {
  if (!handle_) return FALSE;
  halyard::user::TrackedMenu shown;
  shown.at = POINT{x, y};
  for (const Item& it : items_)
    if (!(it.flags & MF_SEPARATOR))
      shown.entries.push_back(
          {it.id, it.text, !(it.flags & (MF_GRAYED | MF_DISABLED)) && !it.popup});
  M().tracked.push_back(shown);
  UINT cmd = M().chooser ? M().chooser(shown) : 0;
  bool allowed = false;
  for (const auto& e : shown.entries)
    if (e.id == cmd && e.enabled) allowed = true;
  if (!allowed) cmd = 0;
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(cmd);
  if (cmd && owner && owner->m_hWnd) owner->SendMessage(WM_COMMAND, cmd, 0);
  return TRUE;
}

namespace halyard::user {
void MenuTracker::SetChooser(std::function<UINT(const TrackedMenu&)> chooser) {
  M().chooser = std::move(chooser);
}
const std::vector<TrackedMenu>& MenuTracker::Tracked() { return M().tracked; }
void MenuTracker::Reset() {
  M().chooser = nullptr;
  M().tracked.clear();
}
}  // namespace halyard::user
