// Which parts of which windows need painting again. A window that changed what it shows calls
// InvalidateRect; the rectangles gather (in screen coordinates of the window's top-level
// ancestor's client area) until the display takes them and paints just those parts. Without a
// display nobody takes them and they only gather, up to a bound, for tests to look at.
// One thread only.
#pragma once

#include <functional>
#include <vector>

#include "platform/kernel/export.h"
#include "user_types.h"

class CWnd;

namespace halyard::user {

struct Invalidation {
  CWnd* top;  // the top-level window whose client area holds the rectangle
  RECT rect;  // in that window's client coordinates
};

class HALYARD_EXPORT UpdateRegion {
 public:
  // Told of every invalidation as it happens (the display wakes its painting); null: nobody.
  static void SetListener(std::function<void(const Invalidation&)> listener);
  // The invalidations gathered since the last Take, oldest first, and forgets them.
  static std::vector<Invalidation> Take();
  // Drops the invalidations that name the window (it is going away).
  static void Forget(CWnd* top);
};

}  // namespace halyard::user

// Marks the rectangle of the window's client area (all of it for null) as needing paint;
// FALSE for a handle that is no window.
HALYARD_EXPORT BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
