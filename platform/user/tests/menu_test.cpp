// Menus from a template, enabling and removal, tracking with a chooser; mouse capture, the
// cursor and the delivery of mouse messages to the window under the pointer.
#include "platform/user/menu.h"

#include <gtest/gtest.h>

#include "platform/user/mouse.h"
#include "platform/user/wnd.h"

using halyard::user::MenuTracker;
using halyard::user::Mouse;

namespace {

const CMenu::Template kMenu[] = {{MF_POPUP, 0, "Popup"},     {MF_STRING, 10, "&Cut"},
                                 {MF_STRING, 11, "&Paste"},  {MF_SEPARATOR, 0, nullptr},
                                 {MF_STRING, 12, "&Delete"}, {0, 0, nullptr}};

class Owner : public CWnd {
 public:
  std::vector<UINT> commands;
  std::vector<UINT> messages;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    messages.push_back(msg);
    if (msg == WM_COMMAND) commands.push_back(static_cast<UINT>(w));
    return DefWindowProc(msg, w, l);
  }
};

TEST(Menu, TemplateBuildsPopupsAndMalformedOnesAreRefused) {
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenuTemplate(kMenu, 6));
  CMenu* popup = menu.GetSubMenu(0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->GetMenuItemCount(), 4);
  EXPECT_EQ(popup->GetMenuItemID(2), 0u);
  EXPECT_EQ(popup->GetMenuString(11, MF_BYCOMMAND), "&Paste");
  CMenu unclosed;
  EXPECT_FALSE(unclosed.LoadMenuTemplate(kMenu, 3));
  EXPECT_EQ(unclosed.GetSafeHmenu(), nullptr);
  CMenu overclosed;
  const CMenu::Template bad[] = {{MF_STRING, 1, "a"}, {0, 0, nullptr}};
  EXPECT_FALSE(overclosed.LoadMenuTemplate(bad, 2));
}

TEST(Menu, EnableRemoveAndTrackAsTheUserChooses) {
  MenuTracker::Reset();
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenuTemplate(kMenu, 6));
  CMenu* popup = menu.GetSubMenu(0);
  EXPECT_EQ(popup->EnableMenuItem(10, MF_GRAYED), MF_ENABLED);
  EXPECT_EQ(popup->GetMenuState(10, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
  EXPECT_EQ(popup->EnableMenuItem(99, MF_GRAYED), MF_ERROR);
  EXPECT_TRUE(menu.RemoveMenu(12, MF_BYCOMMAND));  // found inside the popup
  EXPECT_EQ(popup->GetMenuState(12, MF_BYCOMMAND), MF_ERROR);
  Owner owner;
  ASSERT_TRUE(owner.Create("", WS_VISIBLE, RECT{0, 0, 10, 10}, nullptr, 0));
  MenuTracker::SetChooser([](const halyard::user::TrackedMenu&) { return 10u; });
  EXPECT_EQ(popup->TrackPopupMenu(TPM_RETURNCMD, 5, 6, &owner), 0);  // grayed: not chosen
  MenuTracker::SetChooser([](const halyard::user::TrackedMenu&) { return 11u; });
  EXPECT_EQ(popup->TrackPopupMenu(TPM_RETURNCMD, 5, 6, &owner), 11);
  EXPECT_TRUE(owner.commands.empty());
  EXPECT_TRUE(popup->TrackPopupMenu(0, 5, 6, &owner));
  EXPECT_EQ(owner.commands, std::vector<UINT>{11});
  ASSERT_EQ(MenuTracker::Tracked().size(), 3u);
  EXPECT_FALSE(MenuTracker::Tracked()[0].entries[0].enabled);
  EXPECT_TRUE(MenuTracker::Tracked()[0].entries[1].enabled);
  MenuTracker::Reset();
}

TEST(Mouse, MessagesGoToTheWindowUnderThePointerOrTheCapture) {
  Mouse::Reset();
  Owner top, a, b;
  ASSERT_TRUE(top.Create("", WS_VISIBLE, RECT{100, 100, 200, 200}, nullptr, 0));
  ASSERT_TRUE(a.Create("", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 100}, &top, 1));
  ASSERT_TRUE(b.Create("", WS_CHILD | WS_VISIBLE, RECT{50, 0, 100, 100}, &top, 2));
  a.messages.clear();
  b.messages.clear();
  EXPECT_EQ(Mouse::WindowAt(&top, POINT{120, 110}), &a);
  EXPECT_EQ(Mouse::WindowAt(&top, POINT{170, 110}), &b);
  EXPECT_EQ(Mouse::WindowAt(&top, POINT{90, 110}), nullptr);
  POINT p{170, 110};
  ASSERT_TRUE(ScreenToClient(b.m_hWnd, &p));
  EXPECT_EQ(p.x, 20);
  EXPECT_EQ(p.y, 10);
  Mouse::Send(&top, WM_MOUSEMOVE, POINT{120, 110});
  ASSERT_GE(a.messages.size(), 2u);
  EXPECT_EQ(a.messages[a.messages.size() - 2], WM_SETCURSOR);
  EXPECT_EQ(SetCapture(a.m_hWnd), nullptr);
  Mouse::Send(&top, WM_LBUTTONUP, POINT{170, 110});
  EXPECT_EQ(a.messages.back(), WM_LBUTTONUP);
  EXPECT_TRUE(b.messages.empty());
  SetCapture(b.m_hWnd);
  EXPECT_EQ(a.messages.back(), WM_CAPTURECHANGED);
  ReleaseCapture();
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(b.messages.back(), WM_CAPTURECHANGED);
  EXPECT_EQ(CursorId(LoadCursor(nullptr, IDC_SIZEWE)), IDC_SIZEWE);
  EXPECT_EQ(LoadCursor(nullptr, 1), nullptr);
}

}  // namespace
