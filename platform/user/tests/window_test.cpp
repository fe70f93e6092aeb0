// Windows, messages, focus and the recorded desktop (beeps, message boxes, wait cursor).
#include <gtest/gtest.h>

#include <vector>

#include "platform/user/desktop.h"
#include "platform/user/wnd.h"

using halyard::user::Desktop;

namespace {

class Recorder : public CWnd {
 public:
  std::vector<UINT> seen;
  LRESULT createAnswer = 0;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    seen.push_back(msg);
    if (msg == WM_CREATE) return createAnswer;
    if (msg == WM_USER + 1) return static_cast<LRESULT>(w + static_cast<WPARAM>(l));
    return DefWindowProc(msg, w, l);
  }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override { Desktop::Reset(); }
  RECT r{0, 0, 100, 50};
};

TEST_F(WindowTest, ChildrenHaveParentIdAndStyles) {
  Recorder top, a, b;
  ASSERT_TRUE(top.Create("top", WS_VISIBLE, r, nullptr, 0));
  ASSERT_TRUE(a.Create("a", WS_CHILD | WS_VISIBLE, r, &top, 7));
  ASSERT_TRUE(b.Create("b", WS_CHILD, r, &top, 8));
  EXPECT_EQ(a.GetParent(), &top);
  EXPECT_EQ(top.GetDlgItem(8), &b);
  EXPECT_EQ(::GetDlgItem(top.m_hWnd, 7), a.m_hWnd);
  EXPECT_EQ(top.GetDlgItem(9), nullptr);
  EXPECT_TRUE(a.IsWindowVisible());
  EXPECT_FALSE(b.IsWindowVisible());
  top.ShowWindow(SW_HIDE);
  EXPECT_FALSE(a.IsWindowVisible()) << "a hidden parent hides its children";
  EXPECT_EQ(a.GetWindowText(), "a");
}

TEST_F(WindowTest, CreateRefusedByHandlerLeavesNoWindow) {
  Recorder top, child;
  top.Create("top", 0, r, nullptr, 0);
  child.createAnswer = -1;
  EXPECT_FALSE(child.Create("c", WS_CHILD, r, &top, 1));
  EXPECT_EQ(child.m_hWnd, nullptr);
  EXPECT_TRUE(top.GetChildren().empty());
}

TEST_F(WindowTest, SentMessagesAnswerAndPostedOnesWaitForThePump) {
  Recorder w;
  w.Create("w", 0, r, nullptr, 0);
  EXPECT_EQ(::SendMessage(w.m_hWnd, WM_USER + 1, 2, 3), 5);
  w.seen.clear();
  EXPECT_TRUE(::PostMessage(w.m_hWnd, WM_USER + 2, 0, 0));
  EXPECT_TRUE(w.seen.empty());
  EXPECT_EQ(halyard::user::PostedMessages().size(), 1u);
  EXPECT_EQ(halyard::user::PumpMessages(), 1);
  ASSERT_EQ(w.seen.size(), 1u);
  EXPECT_EQ(w.seen[0], WM_USER + 2);
}

TEST_F(WindowTest, StaleHandlesAreRecognised) {
  HWND h;
  {
    Recorder w;
    w.Create("w", 0, r, nullptr, 0);
    h = w.m_hWnd;
    EXPECT_TRUE(::PostMessage(h, WM_USER, 0, 0));
  }
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(::SendMessage(h, WM_USER + 1, 1, 1), 0);
  EXPECT_FALSE(::PostMessage(h, WM_USER, 0, 0));
  EXPECT_EQ(halyard::user::PumpMessages(), 0) << "a message for a destroyed window is dropped";
}

TEST_F(WindowTest, FocusMovesWithKillAndSetFocus) {
  Recorder top, a, b;
  top.Create("top", 0, r, nullptr, 0);
  a.Create("a", WS_CHILD, r, &top, 1);
  b.Create("b", WS_CHILD, r, &top, 2);
  a.SetFocus();
  b.seen.clear();
  a.seen.clear();
  EXPECT_EQ(b.SetFocus(), &a);
  EXPECT_EQ(CWnd::GetFocus(), &b);
  EXPECT_EQ(a.seen, std::vector<UINT>{WM_KILLFOCUS});
  EXPECT_EQ(b.seen, std::vector<UINT>{WM_SETFOCUS});
  b.DestroyWindow();
  EXPECT_EQ(::GetFocus(), nullptr);
}

TEST_F(WindowTest, DestroyTakesChildrenFirst) {
  Recorder top, child;
  top.Create("top", 0, r, nullptr, 0);
  child.Create("c", WS_CHILD, r, &top, 1);
  top.DestroyWindow();
  EXPECT_EQ(child.m_hWnd, nullptr);
  EXPECT_EQ(child.seen.back(), WM_DESTROY);
}

TEST_F(WindowTest, BeepsMessageBoxesAndWaitCursorAreRecorded) {
  MessageBeep(MB_ICONHAND);
  EXPECT_EQ(Desktop::Beeps(), std::vector<UINT>{MB_ICONHAND});
  Desktop::SetMessageBoxAnswerer(
      [](const halyard::user::MessageBoxCall& c) { return c.type == MB_YESNO ? IDNO : IDOK; });
  EXPECT_EQ(MessageBox(nullptr, "Save?", "Pad", MB_YESNO), IDNO);
  ASSERT_EQ(Desktop::MessageBoxes().size(), 1u);
  EXPECT_EQ(Desktop::MessageBoxes()[0].text, "Save?");
  CWnd w;
  w.BeginWaitCursor();
  w.BeginWaitCursor();
  w.EndWaitCursor();
  EXPECT_EQ(Desktop::WaitCursorDepth(), 1);
  w.EndWaitCursor();
  w.EndWaitCursor();
  EXPECT_EQ(Desktop::WaitCursorDepth(), 0);
  EXPECT_EQ(Desktop::WaitCursorShownCount(), 1);
  Desktop::SetKeyDown(VK_SHIFT, true);
  EXPECT_LT(GetKeyState(VK_SHIFT), 0);
  EXPECT_EQ(GetKeyState(VK_CONTROL), 0);
}

}  // namespace

namespace {

TEST(WindowOrder, SetOrderAfterMovesAWindowAmongItsSiblingsOnly) {
  CWnd top, a, b, c, other;
  RECT r{0, 0, 10, 10};
  ASSERT_TRUE(top.Create("top", WS_VISIBLE, r, nullptr, 0));
  ASSERT_TRUE(a.Create("a", WS_CHILD, r, &top, 1));
  ASSERT_TRUE(b.Create("b", WS_CHILD, r, &top, 2));
  ASSERT_TRUE(c.Create("c", WS_CHILD, r, &top, 3));
  ASSERT_TRUE(other.Create("other", WS_VISIBLE, r, nullptr, 0));
  EXPECT_TRUE(c.SetOrderAfter(&a));
  EXPECT_EQ(top.GetChildren(), (std::vector<CWnd*>{&a, &c, &b}));
  EXPECT_TRUE(b.SetOrderAfter(nullptr));
  EXPECT_EQ(top.GetChildren(), (std::vector<CWnd*>{&b, &a, &c}));
  EXPECT_FALSE(a.SetOrderAfter(&other));
  EXPECT_FALSE(a.SetOrderAfter(&a));
  EXPECT_FALSE(top.SetOrderAfter(nullptr));
  EXPECT_EQ(top.GetChildren(), (std::vector<CWnd*>{&b, &a, &c}));
}

}  // namespace
