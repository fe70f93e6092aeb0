#include "update_region.h"

#include <utility>

#include "wnd.h"

namespace halyard::user {
namespace {

// More than this many waiting rectangles are merged into one per window.
constexpr size_t kMaxPending = 4096;

struct State {
  std::function<void(const Invalidation&)> listener;
  std::vector<Invalidation> pending;
};

State& St() {
  static State* s = new State;  // never destroyed: windows may invalidate during exit
  return *s;
}

RECT Union(const RECT& a, const RECT& b) {
  return RECT{a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
              a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom};
}

}  // namespace

void UpdateRegion::SetListener(std::function<void(const Invalidation&)> listener) {
  St().listener = std::move(listener);
}

std::vector<Invalidation> UpdateRegion::Take() {
  std::vector<Invalidation> out;
  out.swap(St().pending);
  return out;
}

void UpdateRegion::Forget(CWnd* top) {
  auto& p = St().pending;
  std::erase_if(p, [top](const Invalidation& i) { return i.top == top; });
}

}  // namespace halyard::user

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL) {
  using namespace halyard::user;
  CWnd* w = CWnd::FromHandle(hwnd);
  if (!w) return FALSE;
  RECT r;
  if (rect) {
    r = *rect;
  } else {
    w->GetClientRect(&r);
  }
  // Into the top-level window's client coordinates, clipped by each window on the way up.
  CWnd* top = w;
  while (top->GetParent()) {
    RECT own;
    top->GetClientRect(&own);
    if (r.left < own.left) r.left = own.left;
    if (r.top < own.top) r.top = own.top;
    if (r.right > own.right) r.right = own.right;
    if (r.bottom > own.bottom) r.bottom = own.bottom;
    RECT place;
    top->GetWindowRect(&place);
    r.left += place.left;
    r.right += place.left;
    r.top += place.top;
    r.bottom += place.top;
    top = top->GetParent();
  }
  if (r.right <= r.left || r.bottom <= r.top) return TRUE;
  Invalidation inv{top, r};
  auto& st = St();
  if (st.pending.size() >= kMaxPending) {
    RECT all = r;
    std::erase_if(st.pending, [&](const Invalidation& i) {
      if (i.top != top) return false;
      all = Union(all, i.rect);
      return true;
    });
    inv.rect = all;
    if (st.pending.size() >= kMaxPending) st.pending.erase(st.pending.begin());
  }
  st.pending.push_back(inv);
  if (st.listener) st.listener(inv);
  return TRUE;
}
