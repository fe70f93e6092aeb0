#include "platform/kernel/win_thread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/kernel/win_error.h"
#include "platform/kernel/win_sync.h"

namespace {

DWORD ReturnParam(LPVOID p) { return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(p)); }

DWORD RunUntilStopped(LPVOID p) {
  auto* rounds = static_cast<std::atomic<int>*>(p);
  while (!halyard::SleepUnlessStopped(5)) ++*rounds;
  return 7;
}

TEST(WinThread, ThreadsEndWithTheirExitCodeAndCanBeWaitedFor) {
  DWORD id = 0;
  HANDLE h = CreateThread(nullptr, 0, ReturnParam, reinterpret_cast<LPVOID>(42), 0, &id);
  ASSERT_NE(h, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(h, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_FAILED);
}

TEST(WinThread, ARunningThreadTimesOutUntilAskedToStop) {
  std::atomic<int> rounds{0};
  HANDLE h = CreateThread(nullptr, 0, RunUntilStopped, &rounds, 0, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(WaitForSingleObject(h, 30), WAIT_TIMEOUT);
  DWORD code = 0;
  GetExitCodeThread(h, &code);
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_FALSE(halyard::ThreadStopRequested());  // The test's own thread was not asked.
  ASSERT_TRUE(halyard::RequestThreadStop(h));
  EXPECT_EQ(WaitForSingleObject(h, 5000), WAIT_OBJECT_0);
  GetExitCodeThread(h, &code);
  EXPECT_EQ(code, 7u);
  CloseHandle(h);
}

TEST(WinThread, SuspendedThreadsStartOnResume) {
  std::atomic<int> rounds{0};
  HANDLE h = CreateThread(nullptr, 0, RunUntilStopped, &rounds, CREATE_SUSPENDED, nullptr);
  Sleep(20);
  EXPECT_EQ(rounds.load(), 0);
  EXPECT_EQ(ResumeThread(h), 1u);
  while (rounds.load() == 0) Sleep(1);
  halyard::RequestThreadStop(h);
  EXPECT_EQ(WaitForSingleObject(h, INFINITE), WAIT_OBJECT_0);
  CloseHandle(h);
}

TEST(WinThread, AutoResetEventsReleaseOneWaitManualOnesStaySet) {
  HANDLE autoEv = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE manual = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(autoEv, 10), WAIT_TIMEOUT);
  SetEvent(autoEv);
  EXPECT_EQ(WaitForSingleObject(autoEv, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(autoEv, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
  ResetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
  CloseHandle(autoEv);
  CloseHandle(manual);
}

struct Shared {
  CRITICAL_SECTION cs;
  long counter = 0;
  LONG atomicCounter = 0;
};

DWORD Bump(LPVOID p) {
  auto* s = static_cast<Shared*>(p);
  for (int i = 0; i < 20000; ++i) {
    EnterCriticalSection(&s->cs);
    EnterCriticalSection(&s->cs);  // Recursive entry by the owner.
    long v = s->counter;
    s->counter = v + 1;
    LeaveCriticalSection(&s->cs);
    LeaveCriticalSection(&s->cs);
    InterlockedIncrement(&s->atomicCounter);
  }
  return 0;
}

TEST(WinSync, CriticalSectionsSerialiseThreadsAndAreRecursive) {
  Shared s;
  InitializeCriticalSection(&s.cs);
  HANDLE a = CreateThread(nullptr, 0, Bump, &s, 0, nullptr);
  HANDLE b = CreateThread(nullptr, 0, Bump, &s, 0, nullptr);
  WaitForSingleObject(a, INFINITE);
  WaitForSingleObject(b, INFINITE);
  CloseHandle(a);
  CloseHandle(b);
  EXPECT_EQ(s.counter, 40000);
  EXPECT_EQ(s.atomicCounter, 40000);
  EXPECT_TRUE(TryEnterCriticalSection(&s.cs));
  LeaveCriticalSection(&s.cs);
  DeleteCriticalSection(&s.cs);
  LONG v = 5;
  EXPECT_EQ(InterlockedCompareExchange(&v, 9, 5), 5);
  EXPECT_EQ(v, 9);
  EXPECT_EQ(InterlockedCompareExchange(&v, 1, 5), 9);
  EXPECT_EQ(InterlockedExchange(&v, 3), 9);
  EXPECT_EQ(InterlockedExchangeAdd(&v, 2), 3);
  EXPECT_EQ(InterlockedDecrement(&v), 4);
}

}  // namespace
