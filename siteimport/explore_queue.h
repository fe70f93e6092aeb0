// The robot's exploration queue of child links. Before each step the queued images and media
// move to the front: collected in queue order and each inserted at the front, so the last one
// collected ends up first and pages and gateways keep their order behind them. Done literally
// that is a scan of the whole queue per step; here the images and media already at the front
// are kept in their own deque with a direction flag (a reorder reverses them, which is a flip
// of the flag), and those queued since the last reorder wait in arrival order. Every step is
// then constant time and the order is exactly the literal one. One thread.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include "web_site.h"

namespace siteglean {

class ExploreQueue {
 public:
  void Append(ObjectLink* link);
  // Moves the queued images and media to the front (see above).
  void Reorder();
  ObjectLink* Front() const;
  void PopFront();
  void Clear();
  std::size_t Count() const { return front_.size() + pages_.size() + pending_.size(); }
  bool Empty() const { return Count() == 0; }
  // The queue in order, for tests and traces.
  std::vector<ObjectLink*> Snapshot() const;

  static bool MovesToFront(const ObjectLink* link);

 private:
  struct Entry {
    std::size_t seq;
    ObjectLink* link;
  };
  // Images and media moved to the front; read backwards while reversed_ is set.
  std::deque<ObjectLink*> front_;
  bool reversed_ = false;
  // Behind them, by arrival: pages and gateways, and the images and media queued since the
  // last reorder; the arrival numbers merge the two back into queue order.
  std::deque<Entry> pages_;
  std::deque<Entry> pending_;
  std::size_t seq_ = 0;
};

}  // namespace siteglean
