// Window timers on the headless clock: intervals, resetting, killing, late timers coalesced,
// order of due times, timers of destroyed windows, and a clock a display supplies.
#include <gtest/gtest.h>

#include <vector>

#include "platform/user/timer.h"
#include "platform/user/wnd.h"

using halyard::user::Timers;

namespace {

class Ticked : public CWnd {
 public:
  std::vector<UINT_PTR> ticks;
  std::vector<UINT_PTR>* shared = nullptr;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_TIMER) {
      ticks.push_back(wParam);
      if (shared) shared->push_back(wParam);
    }
    return CWnd::WindowProc(msg, wParam, lParam);
  }
};

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Timers::UseClock(nullptr);
    Timers::Reset();
    ASSERT_TRUE(a.Create("a", WS_VISIBLE, RECT{0, 0, 10, 10}, nullptr, 0));
    ASSERT_TRUE(b.Create("b", WS_VISIBLE, RECT{0, 0, 10, 10}, nullptr, 0));
  }
  void TearDown() override {
    Timers::UseClock(nullptr);
    Timers::Reset();
  }
  Ticked a, b;
};

TEST_F(TimerTest, FiresEachIntervalUntilKilled) {
  EXPECT_EQ(Timers::NextDue(), -1);
  EXPECT_EQ(SetTimer(a.m_hWnd, 7, 100, nullptr), 7u);
  EXPECT_EQ(Timers::NextDue(), 100);
  EXPECT_EQ(Timers::Advance(99), 0);
  EXPECT_EQ(Timers::NextDue(), 1);
  EXPECT_EQ(Timers::Advance(1), 1);
  EXPECT_EQ(a.ticks, std::vector<UINT_PTR>{7});
  EXPECT_EQ(Timers::Advance(100), 1);
  EXPECT_TRUE(KillTimer(a.m_hWnd, 7));
  EXPECT_FALSE(KillTimer(a.m_hWnd, 7));
  EXPECT_EQ(Timers::Advance(1000), 0);
  EXPECT_EQ(a.ticks.size(), 2u);
}

TEST_F(TimerTest, ResettingRestartsTheIntervalAndBadArgumentsAreRefused) {
  SetTimer(a.m_hWnd, 1, 100, nullptr);
  Timers::Advance(80);
  SetTimer(a.m_hWnd, 1, 50, nullptr);  // the same identifier: one timer, due 50 from now
  EXPECT_EQ(Timers::NextDue(), 50);
  EXPECT_EQ(Timers::Advance(49), 0);
  EXPECT_EQ(Timers::Advance(1), 1);
  EXPECT_EQ(SetTimer(nullptr, 2, 10, nullptr), 0u);
  EXPECT_EQ(SetTimer(a.m_hWnd, 0, 10, nullptr), 0u);
  SetTimer(b.m_hWnd, 2, 1, nullptr);  // below the shortest interval
  EXPECT_EQ(Timers::NextDue(), 10);
}

TEST_F(TimerTest, LateTimersFireOnceAndInOrderOfDueTime) {
  std::vector<UINT_PTR> order;
  a.shared = b.shared = &order;
  SetTimer(a.m_hWnd, 1, 300, nullptr);
  SetTimer(b.m_hWnd, 2, 100, nullptr);
  // 250 ms late for b: b at 100 and again at 200, a at 300, b at 300 after it.
  EXPECT_EQ(Timers::Advance(350), 4);
  EXPECT_EQ(order, (std::vector<UINT_PTR>{2, 2, 1, 2}));
  order.clear();
  Timers::Reset();
  SetTimer(b.m_hWnd, 2, 100, nullptr);
  // A single call far beyond: delivered once per pass, never a burst for every interval.
  EXPECT_EQ(Timers::Advance(100), 1);
}

TEST_F(TimerTest, TimersOfADestroyedWindowGoQuietly) {
  {
    Ticked gone;
    ASSERT_TRUE(gone.Create("gone", WS_VISIBLE, RECT{0, 0, 1, 1}, nullptr, 0));
    SetTimer(gone.m_hWnd, 3, 10, nullptr);
    gone.DestroyWindow();
  }
  SetTimer(a.m_hWnd, 4, 20, nullptr);
  EXPECT_EQ(Timers::Advance(30), 1);
  EXPECT_EQ(a.ticks, std::vector<UINT_PTR>{4});
}

TEST_F(TimerTest, ADisplaysClockDrivesTheTimers) {
  unsigned long long now = 5000;
  Timers::UseClock([&] { return now; });
  SetTimer(a.m_hWnd, 9, 40, nullptr);
  EXPECT_EQ(Timers::NextDue(), 40);
  now += 39;
  EXPECT_EQ(Timers::Advance(0), 0);
  now += 1;
  EXPECT_EQ(Timers::Advance(0), 1);
  EXPECT_EQ(Timers::NextDue(), 40);
}

}  // namespace
