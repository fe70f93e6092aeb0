// The robot's lists: doubly linked, with first, last and a count, whose nodes point at their
// items. An item may stand in several lists at once (an object in its category list, a link in
// a page's list and in the queue), so the nodes are separate from the items. A list owns its
// nodes, never its items. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace siteglean {

// Ends the process the way the robot does when its own bookkeeping is wrong.
[[noreturn]] inline void RobotFatal(const char* message) {
  std::fputs(message, stderr);
  std::fputc('\n', stderr);
  std::exit(-1);
}

template <class T>
class RobotList {
 public:
  struct Node {
    Node* next;
    Node* prev;
    T* item;
  };

  RobotList() = default;
  RobotList(const RobotList&) = delete;
  RobotList& operator=(const RobotList&) = delete;
  ~RobotList() { Clear(); }

  Node* First() const { return first_; }
  Node* Last() const { return last_; }
  std::size_t Count() const { return count_; }
  bool Empty() const { return count_ == 0; }

  Node* Append(T* item) {
    Node* n = NewNode(item);
    n->prev = last_;
    if (last_)
      last_->next = n;
    else
      first_ = n;
    last_ = n;
    ++count_;
    return n;
  }

  Node* Prepend(T* item) {
    Node* n = NewNode(item);
    n->next = first_;
    if (first_)
      first_->prev = n;
    else
      last_ = n;
    first_ = n;
    ++count_;
    return n;
  }

  // Unlinks and frees the node; returns its item.
  T* Remove(Node* n) {
    if (n->prev == nullptr && n->next == nullptr && count_ != 1) {
      RobotFatal("INCONSISTANCY IN lst_Remove");
    }
    if (n->prev)
      n->prev->next = n->next;
    else
      first_ = n->next;
    if (n->next)
      n->next->prev = n->prev;
    else
      last_ = n->prev;
    --count_;
    T* item = n->item;
    delete n;
    return item;
  }

  Node* Find(const T* item) const {
    for (Node* n = first_; n; n = n->next)
      if (n->item == item) return n;
    return nullptr;
  }

  void Clear() {
    Node* n = first_;
    while (n) {
      Node* next = n->next;
      delete n;
      n = next;
    }
    first_ = last_ = nullptr;
    count_ = 0;
  }

 private:
  static Node* NewNode(T* item) {
    Node* n = new (std::nothrow) Node{nullptr, nullptr, item};
    if (n == nullptr) RobotFatal("CAN'T GET DYNAMIC MEMORY");
    return n;
  }

  Node* first_ = nullptr;
  Node* last_ = nullptr;
  std::size_t count_ = 0;
};

}  // namespace siteglean
