// The GTK display as a window meets it, on an X server of the test's own: what a window receives
// when the user types, turns the wheel, resizes it and when its timers fall due, and the
// platform clipboard against another program's use of the desktop's (xclip).
#include "platform/user/desktop_gtk.h"

#include <glib.h>
#include <sys/stat.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/user/clipboard.h"
#include "platform/user/commdlg.h"
#include "platform/user/desktop.h"
#include "platform/user/dialog.h"
#include "platform/user/testing/x_session.h"
#include "platform/user/timer.h"
#include "platform/user/update_region.h"
#include "platform/user/wnd.h"

using halyard::testing::ScratchDir;
using halyard::user::Clipboard;
using halyard::user::GtkDisplay;
using halyard::user::testing::XSession;

// GTK, GLib and the font libraries keep blocks for the life of the process that the leak
// checker cannot trace back (their caches, type system and settings); they are theirs.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libpangoft2-1.0.so\n"
         "leak:libgtk-3.so\n"
         "leak:libgdk-3.so\n"
         "leak:libglib-2.0.so\n"
         "leak:libgobject-2.0.so\n";
}

extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_options() {
  return "print_suppressions=0";
}

namespace {

struct Msg {
  UINT msg;
  WPARAM w;
  LPARAM l;
};

// A top-level window that writes down the messages of the keyboard, the wheel, sizes, focus and
// timers, and what a find/replace dialog told it.
class Recorder : public CWnd {
 public:
  struct Find {
    DWORD flags;
    std::string what, with;
  };
  std::vector<Msg> log;
  std::vector<Find> finds;
  std::function<void(const Msg&)> onMessage;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    switch (msg) {
      case WM_KEYDOWN:
      case WM_KEYUP:
      case WM_CHAR:
      case WM_SYSKEYDOWN:
      case WM_SYSKEYUP:
      case WM_SYSCHAR:
      case WM_MOUSEWHEEL:
      case WM_MOUSEHWHEEL:
      case WM_SIZE:
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
      case WM_TIMER:
        log.push_back({msg, w, l});
        if (onMessage) onMessage(log.back());
        break;
      default:
        if (msg == RegisterWindowMessage(FINDMSGSTRING)) {
          auto* fr = reinterpret_cast<FINDREPLACE*>(l);
          finds.push_back({fr->Flags, fr->lpstrFindWhat, fr->lpstrReplaceWith});
        }
        break;
    }
    return CWnd::WindowProc(msg, w, l);
  }
  std::vector<Msg> Keys() const {
    std::vector<Msg> out;
    for (const Msg& m : log)
      if (m.msg >= WM_KEYDOWN && m.msg <= WM_SYSCHAR) out.push_back(m);
    return out;
  }
};

// One X server and one display connection for the whole process; the server goes at exit.
XSession* Session(std::string* why) {
  static XSession session;
  static std::string failure;
  static bool tried = false, ok = false;
  if (!tried) {
    tried = true;
    std::string missing;
    if (!XSession::ToolsPresent(&missing)) {
      failure = missing + " is not installed";
    } else if (session.Start(800, 600, &failure)) {
      // The desktop's settings: a caret blink cycle of 800 ms.
      static ScratchDir config;
      mkdir(config.Join("gtk-3.0").c_str(), 0755);
      ScratchDir::Write(config.Join("gtk-3.0/settings.ini"), "[Settings]\ngtk-cursor-blink-time=800\n");
      setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
      setenv("DISPLAY", session.Display().c_str(), 1);
      setenv("NO_AT_BRIDGE", "1", 1);  // no accessibility bus to look for
      ok = GtkDisplay::Open(&failure);
    }
  }
  *why = failure;
  return ok ? &session : nullptr;
}

// Runs the display's events until done() or a few seconds have passed.
bool PumpUntil(const std::function<bool()>& done, double seconds = 5) {
  auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    if (!g_main_context_iteration(nullptr, FALSE))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Gives events already sent a moment to arrive and be handled.
void Drain() {
  PumpUntil([] { return false; }, 0.3);
}

std::string Describe(const std::vector<Msg>& ms) {
  std::string s;
  char buf[64];
  for (const Msg& m : ms) {
    std::snprintf(buf, sizeof buf, "(%04X %02X %08lX) ", m.msg, static_cast<unsigned>(m.w),
                  static_cast<unsigned long>(m.l));
    s += buf;
  }
  return s;
}

class GtkDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    x = Session(&why);
    if (!x) {
      if (!XSession::ToolsPresent(&why)) GTEST_SKIP() << why << " is not installed";
      FAIL() << why;
    }
    ASSERT_TRUE(top.Create("recorder", WS_VISIBLE, RECT{0, 0, 640, 360}, nullptr, 0));
    ASSERT_TRUE(GtkDisplay::Show(&top));
    Drain();  // the window is mapped once the display's events run
    window = x->WaitForWindow("^recorder$", 10);
    ASSERT_NE(window, 0u);
    RECT r;
    ASSERT_TRUE(x->Geometry(window, &r));
    // There is no window manager: the keyboard goes to the window under the pointer.
    x->Xdotool(
        {"mousemove", std::to_string(r.left + 50), std::to_string(r.top + 50), "click", "1"});
    ASSERT_TRUE(PumpUntil([&] {
      for (const Msg& m : top.log)
        if (m.msg == WM_SETFOCUS) return true;
      return false;
    })) << "the window never got the keyboard";
    Drain();
    top.log.clear();
  }
  void TearDown() override {
    if (top.GetSafeHwnd()) {
      GtkDisplay::Hide(&top);
      top.DestroyWindow();
    }
  }
  // Sends the keys with xdotool and waits until n key messages arrived.
  std::vector<Msg> Type(const std::vector<std::string>& args, size_t n) {
    x->Xdotool(args);
    PumpUntil([&] { return top.Keys().size() >= n; });
    Drain();
    std::vector<Msg> keys = top.Keys();
    top.log.clear();
    return keys;
  }

  XSession* x = nullptr;
  Recorder top;
  unsigned long window = 0;
};

constexpr LPARAM Down(UINT scan, bool extended = false, bool alt = false) {
  return static_cast<LPARAM>(1u | scan << 16 | (extended ? 1u << 24 : 0u) | (alt ? 1u << 29 : 0u));
}
constexpr LPARAM Up(UINT scan, bool extended = false, bool alt = false) {
  return static_cast<LPARAM>(static_cast<DWORD>(Down(scan, extended, alt)) | 3u << 30);
}

void ExpectKeys(const std::vector<Msg>& got, const std::vector<Msg>& want) {
  bool same = got.size() == want.size();
  for (size_t i = 0; same && i < got.size(); ++i)
    same = got[i].msg == want[i].msg && got[i].w == want[i].w && got[i].l == want[i].l;
  EXPECT_TRUE(same) << "got  " << Describe(got) << "\nwant " << Describe(want);
}

TEST_F(GtkDisplayTest, KeysArriveAsKeyDownCharactersAndKeyUp) {
  // A letter: its key (scan code 0x1E), the character, the release.
  ExpectKeys(
      Type({"key", "a"}, 3),
      {{WM_KEYDOWN, 'A', Down(0x1E)}, {WM_CHAR, 'a', Down(0x1E)}, {WM_KEYUP, 'A', Up(0x1E)}});
  // Shifted, the key is still the key '1'; the character is what it types. (xdotool lets go
  // of the modifier first.)
  ExpectKeys(Type({"key", "shift+1"}, 5), {{WM_KEYDOWN, VK_SHIFT, Down(0x2A)},
                                           {WM_KEYDOWN, '1', Down(0x02)},
                                           {WM_CHAR, '!', Down(0x02)},
                                           {WM_KEYUP, VK_SHIFT, Up(0x2A)},
                                           {WM_KEYUP, '1', Up(0x02)}});
  // An arrow is an extended key and types nothing; Enter types a carriage return.
  ExpectKeys(Type({"key", "Up"}, 2),
             {{WM_KEYDOWN, VK_UP, Down(0x48, true)}, {WM_KEYUP, VK_UP, Up(0x48, true)}});
  ExpectKeys(Type({"key", "Return"}, 3), {{WM_KEYDOWN, VK_RETURN, Down(0x1C)},
                                          {WM_CHAR, '\r', Down(0x1C)},
                                          {WM_KEYUP, VK_RETURN, Up(0x1C)}});
  // Control with a letter makes the control character.
  ExpectKeys(Type({"key", "ctrl+b"}, 5), {{WM_KEYDOWN, VK_CONTROL, Down(0x1D)},
                                          {WM_KEYDOWN, 'B', Down(0x30)},
                                          {WM_CHAR, 0x02, Down(0x30)},
                                          {WM_KEYUP, VK_CONTROL, Up(0x1D)},
                                          {WM_KEYUP, 'B', Up(0x30)}});
}

TEST_F(GtkDisplayTest, AltMakesSystemKeys) {
  // Keys pressed and released while Alt is held are system keys, with Alt in their context; a
  // key released after Alt is an ordinary one again.
  std::vector<Msg> keys =
      Type({"keydown", "alt", "key", "x", "keyup", "alt", "keydown", "x", "keyup", "x"}, 8);
  ExpectKeys(keys, {{WM_SYSKEYDOWN, VK_MENU, Down(0x38, false, true)},
                    {WM_SYSKEYDOWN, 'X', Down(0x2D, false, true)},
                    {WM_SYSCHAR, 'x', Down(0x2D, false, true)},
                    {WM_SYSKEYUP, 'X', Up(0x2D, false, true)},
                    {WM_SYSKEYUP, VK_MENU, Up(0x38, false, true)},
                    {WM_KEYDOWN, 'X', Down(0x2D)},
                    {WM_CHAR, 'x', Down(0x2D)},
                    {WM_KEYUP, 'X', Up(0x2D)}});
}

TEST_F(GtkDisplayTest, AKeyHeldDownRepeatsAsKeyDownsThatWereDown) {
  // Held past the server's repeat delay: the first press, then repeats marked as previously
  // down, each typing its character, then one release.
  std::vector<Msg> keys = Type({"keydown", "q", "sleep", "1.5", "keyup", "q"}, 5);
  ASSERT_GE(keys.size(), 5u) << Describe(keys);
  ExpectKeys({keys[0], keys[1]}, {{WM_KEYDOWN, 'Q', Down(0x10)}, {WM_CHAR, 'q', Down(0x10)}});
  ASSERT_EQ(keys.size() % 2, 1u) << Describe(keys);
  for (size_t i = 2; i + 1 < keys.size(); i += 2)
    ExpectKeys({keys[i], keys[i + 1]},
               {{WM_KEYDOWN, 'Q', Down(0x10) | 1 << 30}, {WM_CHAR, 'q', Down(0x10) | 1 << 30}});
  ExpectKeys({keys.back()}, {{WM_KEYUP, 'Q', Up(0x10)}});
}

TEST_F(GtkDisplayTest, WheelSizeAndTimersArriveAsMessages) {
  // Wheel up is a notch away from the user, down one towards; the point is the screen's.
  x->Xdotool({"click", "4"});
  x->Xdotool({"click", "5"});
  ASSERT_TRUE(PumpUntil([&] {
    int n = 0;
    for (const Msg& m : top.log) n += m.msg == WM_MOUSEWHEEL;
    return n >= 2;
  }));
  std::vector<short> turns;
  for (const Msg& m : top.log)
    if (m.msg == WM_MOUSEWHEEL) {
      turns.push_back(static_cast<short>(HIWORD(m.w)));
      // The window stands at the origin of the platform's screen.
      EXPECT_EQ(GET_X_LPARAM(m.l), 50);
      EXPECT_EQ(GET_Y_LPARAM(m.l), 50);
    }
  EXPECT_EQ(turns, (std::vector<short>{WHEEL_DELTA, -WHEEL_DELTA}));
  // Sideways turns (the pointer's buttons 6 and 7): left negative, right positive.
  top.log.clear();
  x->Xdotool({"click", "6"});
  x->Xdotool({"click", "7"});
  ASSERT_TRUE(PumpUntil([&] {
    int n = 0;
    for (const Msg& m : top.log) n += m.msg == WM_MOUSEHWHEEL;
    return n >= 2;
  }));
  turns.clear();
  for (const Msg& m : top.log)
    if (m.msg == WM_MOUSEHWHEEL) turns.push_back(static_cast<short>(HIWORD(m.w)));
  EXPECT_EQ(turns, (std::vector<short>{-WHEEL_DELTA, WHEEL_DELTA}));

  // A new size reaches the window as WM_SIZE and as its client rectangle.
  top.log.clear();
  x->Xdotool({"windowsize", std::to_string(window), "420", "260"});
  ASSERT_TRUE(PumpUntil([&] {
    for (const Msg& m : top.log)
      if (m.msg == WM_SIZE && m.l == MAKELPARAM(420, 260)) return true;
    return false;
  })) << Describe(top.log);
  RECT c;
  top.GetClientRect(&c);
  EXPECT_EQ(c.right - c.left, 420);
  EXPECT_EQ(c.bottom - c.top, 260);

  // Timers run on the desktop's clock while events are handled, until killed.
  top.log.clear();
  ASSERT_NE(SetTimer(top.m_hWnd, 7, 20, nullptr), 0u);
  int ticks = 0;
  top.onMessage = [&](const Msg& m) {
    if (m.msg == WM_TIMER && m.w == 7 && ++ticks == 3) KillTimer(top.m_hWnd, 7);
  };
  ASSERT_TRUE(PumpUntil([&] { return ticks >= 3; }));
  PumpUntil([] { return false; }, 0.2);
  EXPECT_EQ(ticks, 3);

  // Carets blink at the desktop's pace: shown for half its cycle, hidden for the other half.
  EXPECT_EQ(GetCaretBlinkTime(), 400u);
}

TEST_F(GtkDisplayTest, ThePlatformClipboardIsTheDesktops) {
  if (!XSession::Installed("xclip")) GTEST_SKIP() << "xclip is not installed";
  ScratchDir dir("gtk-clipboard");
  // Copied here (on a key, as a copy command would), read by another program; the text is the
  // platform's code page on this side, UTF-8 on the desktop's.
  top.onMessage = [](const Msg& m) {
    if (m.msg == WM_CHAR && m.w == 'c') Clipboard::SetText("caf\xE9 <B>\r\n");
  };
  Type({"key", "c"}, 3);
  pid_t p = x->Launch({"xclip", "-o", "-selection", "clipboard"}, dir.Join("out.txt"));
  int status = -1;
  ASSERT_TRUE(PumpUntil([&] { return x->Ended(p, &status); }));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ScratchDir::Read(dir.Join("out.txt")), "caf\xC3\xA9 <B>\r\n");

  // Copied by another program, pasted here.
  top.onMessage = nullptr;
  ScratchDir::Write(dir.Join("in.txt"), "na\xC3\xAFve \xE2\x82\xAC");
  p = x->Launch({"xclip", "-i", "-selection", "clipboard", dir.Join("in.txt")},
                dir.Join("xclip.log"));
  ASSERT_TRUE(PumpUntil([&] { return x->Ended(p, &status); }));  // it serves from a child
  Type({"key", "ctrl+v"}, 5);
  std::string text;
  ASSERT_TRUE(Clipboard::GetText(text));
  EXPECT_EQ(text, "na\xEFve \x80");
}

}  // namespace

namespace {

// Pixels of the rectangle (screen coordinates) that are not black.
int Drawn(const halyard::user::testing::Screenshot& shot, const RECT& r) {
  return (r.right - r.left) * (r.bottom - r.top) - shot.Count(r, RGB(0, 0, 0));
}

TEST_F(GtkDisplayTest, TheFindReplaceDialogIsDrawnAndDrivesItsOwner) {
  // Brought up by a key, as a host's accelerator does, over its window (wholly inside it) while
  // a timer (a caret's) repaints the window below.
  ASSERT_NE(SetTimer(top.m_hWnd, 3, 50, nullptr), 0u);
  top.onMessage = [&](const Msg& m) {
    if (m.msg == WM_TIMER) InvalidateRect(top.m_hWnd, nullptr, FALSE);
  };
  CFindReplaceDialog dialog;
  GtkDisplay::SetAccelerators([&](int vk, bool ctrl, bool) {
    if (!ctrl || vk != 'H') return false;
    EXPECT_TRUE(dialog.Create(FALSE, "old", "", FR_DOWN, &top));
    EXPECT_TRUE(GtkDisplay::ShowFindReplace(&dialog));
    return true;
  });
  x->Xdotool({"key", "ctrl+h"});
  Drain();
  GtkDisplay::SetAccelerators(nullptr);
  unsigned long box = x->WaitForWindow("^Replace$", 10);
  ASSERT_NE(box, 0u);
  RECT r;
  ASSERT_TRUE(x->Geometry(box, &r));
  halyard::user::testing::Screenshot shot;
  std::string error;
  // Its labels, fields and buttons are painted: most of it is the theme's light background.
  ASSERT_TRUE(PumpUntil([&] {
    if (!x->Shoot(shot, &error)) return true;
    return Drawn(shot, r) > (r.right - r.left) * (r.bottom - r.top) / 2;
  })) << "the dialog stays black";
  ASSERT_EQ(error, "");
  shot.SavePng(std::string(HALYARD_BINARY_DIR) + "/e2e-shots/display-replace-dialog.png");

  // The first field has the keyboard: the text typed replaces the one it came with; the
  // buttons tell the owner, with the fields and boxes as they stand.
  x->Xdotool({"mousemove", std::to_string((r.left + r.right) / 2), std::to_string(r.bottom - 5)});
  Drain();
  x->Xdotool({"key", "ctrl+a"});
  x->Xdotool({"type", "--delay", "20", "abc"});
  x->Xdotool({"key", "Tab"});
  x->Xdotool({"type", "--delay", "20", "xyz"});
  x->Xdotool({"key", "alt+c", "alt+a"});
  ASSERT_TRUE(PumpUntil([&] { return !top.finds.empty(); }));
  // The window below lost the keyboard to the dialog, and was told so.
  EXPECT_TRUE(std::any_of(top.log.begin(), top.log.end(),
                          [](const Msg& m) { return m.msg == WM_KILLFOCUS; }));
  EXPECT_EQ(top.finds[0].flags & (FR_REPLACEALL | FR_MATCHCASE | FR_DOWN),
            FR_REPLACEALL | FR_MATCHCASE | FR_DOWN);
  EXPECT_EQ(top.finds[0].what, "abc");
  EXPECT_EQ(top.finds[0].with, "xyz");
  // Escape closes it: the owner hears the dialog end, and the desktop window goes.
  x->Xdotool({"key", "Escape"});
  ASSERT_TRUE(PumpUntil([&] { return top.finds.size() >= 2; }));
  EXPECT_NE(top.finds[1].flags & FR_DIALOGTERM, 0u);
  EXPECT_FALSE(dialog.GetSafeHwnd());
  EXPECT_TRUE(PumpUntil([&] {
    return x->Xdotool({"search", "--onlyvisible", "--name", "^Replace$"}).empty();
  }));
}

}  // namespace
