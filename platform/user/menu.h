// CMenu: a menu of command items and popups, built from a table or item by item, with the
// enabling and removal of items and TrackPopupMenu. Without a display the choice a user would
// make in a tracked popup comes from a chooser the test or tool installs (none: the menu is
// dismissed); every tracked menu is recorded as it stood. A CMenu owns its popups. One thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/export.h"
#include "user_types.h"

struct HMENU__;
using HMENU = HMENU__*;

constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_ERROR = 0xFFFFFFFF;

constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_RETURNCMD = 0x0100;

class CWnd;

class HALYARD_EXPORT CMenu {
 public:
  struct Item {
    UINT id = 0;
    std::string text;
    UINT flags = 0;
    std::unique_ptr<CMenu> popup;
  };
  // One line of a menu template: a popup opens with MF_POPUP and closes with an entry whose
  // text is null.
  struct Template {
    UINT flags;
    UINT id;
    LPCSTR text;
  };

  CMenu();
  ~CMenu();
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  BOOL CreatePopupMenu();
  // Builds the menu from a template (the menu bar holding the popups); FALSE when malformed.
  BOOL LoadMenuTemplate(const Template* items, int count);
  BOOL DestroyMenu();
  HMENU GetSafeHmenu() const { return handle_; }
  static CMenu* FromHandle(HMENU menu);

  BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCSTR text = nullptr);
  CMenu* GetSubMenu(int pos) const;
  int GetMenuItemCount() const { return handle_ ? static_cast<int>(items_.size()) : -1; }
  UINT GetMenuItemID(int pos) const;
  std::string GetMenuString(UINT item, UINT flags) const;
  // The item's flags (MF_GRAYED...), MF_ERROR when there is no such item.
  UINT GetMenuState(UINT item, UINT flags) const;
  // The previous state (MF_ENABLED or MF_GRAYED|MF_DISABLED), MF_ERROR when missing.
  UINT EnableMenuItem(UINT item, UINT enable);
  BOOL RemoveMenu(UINT item, UINT flags);
  // Shows the popup at the screen point; the chooser picks a command (0 dismisses it), and
  // disabled items cannot be picked. With TPM_RETURNCMD the command is returned; otherwise it
  // is sent to the owner as WM_COMMAND and TRUE is returned.
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner);

  const std::vector<Item>& Items() const { return items_; }

 private:
  const Item* Find(UINT item, UINT flags) const;
  Item* Find(UINT item, UINT flags);
  HMENU handle_ = nullptr;
  std::vector<Item> items_;
};

namespace halyard::user {
// What a tracked popup showed: each item's command, text and whether it could be chosen.
struct TrackedMenu {
  struct Entry {
    UINT id;
    std::string text;
    bool enabled;
  };
  std::vector<Entry> entries;
  POINT at;
};
class HALYARD_EXPORT MenuTracker {
 public:
  static void SetChooser(std::function<UINT(const TrackedMenu&)> chooser);
  static const std::vector<TrackedMenu>& Tracked();
  static void Reset();
};
}  // namespace halyard::user
