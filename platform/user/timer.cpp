#include "timer.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "wnd.h"

namespace halyard::user {
namespace {

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  unsigned long long due;
};

struct State {
  unsigned long long now = 0;
  std::vector<Timer> timers;
  std::function<void()> waker;
  std::function<unsigned long long()> clock;
};

State& St() {
  static State* s = new State;  // never destroyed: windows may kill timers during exit
  return *s;
}

// With a clock, now follows it (never backwards).
void Sync() {
  State& st = St();
  if (st.clock) st.now = std::max(st.now, st.clock());
}

void Wake() {
  if (St().waker) St().waker();
}

}  // namespace

int Timers::Advance(UINT ms) {
  Sync();
  State& st = St();
  unsigned long long until = st.now + ms;
  int sent = 0;
  for (;;) {
    // The earliest timer due by then; ties keep the order they were set in.
    auto it = std::min_element(st.timers.begin(), st.timers.end(),
                               [](const Timer& a, const Timer& b) { return a.due < b.due; });
    if (it == st.timers.end() || it->due > until) break;
    st.now = std::max(st.now, it->due);
    HWND hwnd = it->hwnd;
    UINT_PTR id = it->id;
    // Due again one interval after now: a late timer does not fire for each missed interval.
    it->due = st.now + it->elapse;
    if (it->due <= st.now) it->due = st.now + 1;
    if (!IsWindow(hwnd)) {
      st.timers.erase(std::remove_if(st.timers.begin(), st.timers.end(),
                                     [hwnd](const Timer& t) { return t.hwnd == hwnd; }),
                      st.timers.end());
      continue;
    }
    ::SendMessage(hwnd, WM_TIMER, id, 0);
    ++sent;
  }
  st.now = until;
  return sent;
}

long long Timers::NextDue() {
  Sync();
  State& st = St();
  long long best = -1;
  for (const Timer& t : st.timers) {
    long long in = t.due > st.now ? static_cast<long long>(t.due - st.now) : 0;
    if (best < 0 || in < best) best = in;
  }
  return best;
}

void Timers::SetWaker(std::function<void()> waker) { St().waker = std::move(waker); }

void Timers::UseClock(std::function<unsigned long long()> clock) {
  St().clock = std::move(clock);
  Sync();
}

void Timers::Reset() {
  St().timers.clear();
  St().now = 0;
}

}  // namespace halyard::user

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, void*) {
  using namespace halyard::user;
  if (!IsWindow(hwnd) || id == 0) return 0;
  elapse = std::max<UINT>(elapse, 10);
  Sync();
  State& st = St();
  auto it = std::find_if(st.timers.begin(), st.timers.end(),
                         [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it != st.timers.end()) {
    it->elapse = elapse;
    it->due = st.now + elapse;
  } else {
    st.timers.push_back(Timer{hwnd, id, elapse, st.now + elapse});
  }
  Wake();
  return id;
}

namespace {
UINT caretBlinkMs = 530;
}  // namespace

UINT GetCaretBlinkTime() { return caretBlinkMs; }

BOOL SetCaretBlinkTime(UINT ms) {
  if (ms == 0) return FALSE;
  caretBlinkMs = ms;
  return TRUE;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  using namespace halyard::user;
  State& st = St();
  auto it = std::find_if(st.timers.begin(), st.timers.end(),
                         [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == st.timers.end()) return FALSE;
  st.timers.erase(it);
  Wake();
  return TRUE;
}
