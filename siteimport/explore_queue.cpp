#include "explore_queue.h"

namespace siteglean {

bool ExploreQueue::MovesToFront(const ObjectLink* link) {
  Category c = link->target ? link->target->category : link->targetCategory;
  return IsImageCategory(c) || IsMediaCategory(c);
}

void ExploreQueue::Append(ObjectLink* link) {
  Entry e{seq_++, link};
  if (MovesToFront(link))
    pending_.push_back(e);
  else
    pages_.push_back(e);
}

void ExploreQueue::Reorder() {
  // Collected: the front in its order, then the pending ones. Inserting each at the front
  // reverses the lot: the pending ones reversed, then the old front reversed.
  if (front_.empty() && pending_.empty()) return;
  reversed_ = !reversed_;
  for (const Entry& e : pending_) {
    if (reversed_)
      front_.push_back(e.link);
    else
      front_.push_front(e.link);
  }
  pending_.clear();
}

ObjectLink* ExploreQueue::Front() const {
  if (!front_.empty()) return reversed_ ? front_.back() : front_.front();
  if (pages_.empty()) return pending_.empty() ? nullptr : pending_.front().link;
  if (pending_.empty() || pages_.front().seq < pending_.front().seq) return pages_.front().link;
  return pending_.front().link;
}

void ExploreQueue::PopFront() {
  if (!front_.empty()) {
    if (reversed_)
      front_.pop_back();
    else
      front_.pop_front();
    return;
  }
  if (pages_.empty() && pending_.empty()) return;
  if (pending_.empty() || (!pages_.empty() && pages_.front().seq < pending_.front().seq))
    pages_.pop_front();
  else
    pending_.pop_front();
}

void ExploreQueue::Clear() {
  front_.clear();
  pages_.clear();
  pending_.clear();
  reversed_ = false;
}

std::vector<ObjectLink*> ExploreQueue::Snapshot() const {
  std::vector<ObjectLink*> out;
  if (reversed_)
    out.assign(front_.rbegin(), front_.rend());
  else
    out.assign(front_.begin(), front_.end());
  std::size_t i = 0, j = 0;
  while (i < pages_.size() || j < pending_.size()) {
    if (j == pending_.size() || (i < pages_.size() && pages_[i].seq < pending_[j].seq))
      out.push_back(pages_[i++].link);
    else
      out.push_back(pending_[j++].link);
  }
  return out;
}

}  // namespace siteglean
