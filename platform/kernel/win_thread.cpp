#include "win_thread.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "win_error.h"

namespace halyard {
namespace {

using Clock = std::chrono::steady_clock;

class ThreadObject : public KernelObject {
 public:
  ThreadObject() : KernelObject(Kind::kThread) {}
  std::mutex mutex;
  std::condition_variable changed;
  bool suspended = false;
  bool done = false;
  bool stop = false;
  DWORD exitCode = STILL_ACTIVE;
  DWORD id = 0;
};

class EventObject : public KernelObject {
 public:
  EventObject() : KernelObject(Kind::kEvent) {}
  std::mutex mutex;
  std::condition_variable changed;
  bool manual = false;
  bool signaled = false;
};

thread_local ThreadObject* tCurrent = nullptr;

// Waits on cv until ready() holds or the time is up; ms may be INFINITE.
template <typename Pred>
bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, DWORD ms,
             Pred ready) {
  if (ms == INFINITE) {
    cv.wait(lock, ready);
    return true;
  }
  return cv.wait_until(lock, Clock::now() + std::chrono::milliseconds(ms), ready);
}

}  // namespace

bool RequestThreadStop(HANDLE thread) {
  auto object = LookupHandle(thread, KernelObject::Kind::kThread);
  if (!object) return false;
  auto* t = static_cast<ThreadObject*>(object.get());
  std::lock_guard<std::mutex> lock(t->mutex);
  t->stop = true;
  t->changed.notify_all();
  return true;
}

bool ThreadStopRequested() {
  ThreadObject* t = tCurrent;
  if (t == nullptr) return false;
  std::lock_guard<std::mutex> lock(t->mutex);
  return t->stop;
}

bool SleepUnlessStopped(DWORD milliseconds) {
  ThreadObject* t = tCurrent;
  if (t == nullptr) {
    Sleep(milliseconds);
    return false;
  }
  std::unique_lock<std::mutex> lock(t->mutex);
  WaitFor(t->changed, lock, milliseconds, [t] { return t->stop; });
  return t->stop;
}

}  // namespace halyard

using halyard::KernelObject;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress,
                    LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
  if (lpStartAddress == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_shared<halyard::ThreadObject>();
  object->suspended = (dwCreationFlags & CREATE_SUSPENDED) != 0;
  std::mutex started;
  std::condition_variable startedCv;
  bool haveId = false;
  try {
    std::thread([object, lpStartAddress, lpParameter, &started, &startedCv, &haveId] {
      {
        std::lock_guard<std::mutex> lock(started);
        object->id = static_cast<DWORD>(::syscall(SYS_gettid));
        haveId = true;
        startedCv.notify_all();
      }
      {
        std::unique_lock<std::mutex> lock(object->mutex);
        object->changed.wait(lock, [&] { return !object->suspended; });
      }
      halyard::tCurrent = object.get();
      DWORD code = lpStartAddress(lpParameter);
      halyard::tCurrent = nullptr;
      std::lock_guard<std::mutex> lock(object->mutex);
      object->exitCode = code;
      object->done = true;
      object->changed.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  {
    std::unique_lock<std::mutex> lock(started);
    startedCv.wait(lock, [&] { return haveId; });
  }
  if (lpThreadId != nullptr) *lpThreadId = object->id;
  return halyard::RegisterHandle(object);
}

DWORD ResumeThread(HANDLE hThread) {
  auto object = halyard::LookupHandle(hThread, KernelObject::Kind::kThread);
  if (!object) return static_cast<DWORD>(-1);
  auto* t = static_cast<halyard::ThreadObject*>(object.get());
  std::lock_guard<std::mutex> lock(t->mutex);
  DWORD previous = t->suspended ? 1 : 0;
  t->suspended = false;
  t->changed.notify_all();
  return previous;
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  auto object = halyard::LookupHandle(hThread, KernelObject::Kind::kThread);
  if (!object || lpExitCode == nullptr) {
    if (object) SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto* t = static_cast<halyard::ThreadObject*>(object.get());
  std::lock_guard<std::mutex> lock(t->mutex);
  *lpExitCode = t->exitCode;
  return TRUE;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCSTR) {
  auto object = std::make_shared<halyard::EventObject>();
  object->manual = bManualReset != FALSE;
  object->signaled = bInitialState != FALSE;
  return halyard::RegisterHandle(object);
}

BOOL SetEvent(HANDLE hEvent) {
  auto object = halyard::LookupHandle(hEvent, KernelObject::Kind::kEvent);
  if (!object) return FALSE;
  auto* e = static_cast<halyard::EventObject*>(object.get());
  std::lock_guard<std::mutex> lock(e->mutex);
  e->signaled = true;
  e->changed.notify_all();
  return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
  auto object = halyard::LookupHandle(hEvent, KernelObject::Kind::kEvent);
  if (!object) return FALSE;
  auto* e = static_cast<halyard::EventObject*>(object.get());
  std::lock_guard<std::mutex> lock(e->mutex);
  e->signaled = false;
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  auto object = halyard::LookupAnyHandle(hHandle);
  if (!object) return WAIT_FAILED;
  if (object->kind() == KernelObject::Kind::kThread) {
    auto* t = static_cast<halyard::ThreadObject*>(object.get());
    std::unique_lock<std::mutex> lock(t->mutex);
    return halyard::WaitFor(t->changed, lock, dwMilliseconds, [t] { return t->done; })
               ? WAIT_OBJECT_0
               : WAIT_TIMEOUT;
  }
  if (object->kind() == KernelObject::Kind::kEvent) {
    auto* e = static_cast<halyard::EventObject*>(object.get());
    std::unique_lock<std::mutex> lock(e->mutex);
    if (!halyard::WaitFor(e->changed, lock, dwMilliseconds, [e] { return e->signaled; }))
      return WAIT_TIMEOUT;
    if (!e->manual) e->signaled = false;
    return WAIT_OBJECT_0;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

void Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

DWORD GetTickCount() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      halyard::Clock::now().time_since_epoch());
  return static_cast<DWORD>(ms.count());
}
