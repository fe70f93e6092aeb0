// Window timers: SetTimer makes a window receive WM_TIMER (wParam the timer's identifier) each
// time its interval has passed, until KillTimer. Without a display nothing runs by itself: the
// clock is advanced by Timers::Advance, which delivers the timers that came due, in order of
// their due times. A display installs a waker that it is told the next due time through, and
// calls Advance from its main loop. One thread only.
#pragma once

#include <functional>

#include "platform/kernel/export.h"
#include "user_types.h"

namespace halyard::user {

class HALYARD_EXPORT Timers {
 public:
  // Moves the clock on by ms milliseconds, delivering every timer that came due meanwhile (a
  // timer due several times over is delivered once, as a message queue would coalesce it);
  // returns how many WM_TIMER messages were sent.
  static int Advance(UINT ms);
  // Milliseconds until the next timer is due; -1 when none is set.
  static long long NextDue();
  // Told whenever the next due time may have changed.
  static void SetWaker(std::function<void()> waker);
  // A display's clock in milliseconds: the timers' clock follows it (Advance(0) then delivers
  // what is due by it). Null: the clock moves only by Advance.
  static void UseClock(std::function<unsigned long long()> clock);
  // Forgets every timer and sets the clock to 0 (a clock in use keeps running).
  static void Reset();
};

}  // namespace halyard::user

// Sets (or resets, for an identifier the window already uses) a timer of the window; elapse
// below 10 ms counts as 10. Returns the identifier, 0 for a handle that is no window or an
// identifier of 0.
HALYARD_EXPORT UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, void* unusedProc);
// FALSE when the window has no such timer.
HALYARD_EXPORT BOOL KillTimer(HWND hwnd, UINT_PTR id);

// How long the caret stays shown and then hidden, in milliseconds, for the whole process: 530
// unless set; 0xFFFFFFFF (INFINITE) keeps the caret shown without blinking. A display may set
// the desktop's preference; it applies to carets from their next blink on.
HALYARD_EXPORT UINT GetCaretBlinkTime();
HALYARD_EXPORT BOOL SetCaretBlinkTime(UINT ms);
