// The view's change stack: a growable array of ChangeRecord with the current position and the
// redo-allowed flag. It keeps the records and answers can-undo and can-redo; acting on them is
// the view's. A push below the end discards the records above the position, so that a redo
// never reaches a change made before the undone ones. View thread only.
#pragma once

#include <functional>

#include "change_record.h"
#include "platform/kernel/export.h"

class HALYARD_EXPORT ChangeStack {
 public:
  // Called for each record the stack lets go of (discarded or at Clear), before it is freed.
  using Release = std::function<void(ChangeRecord&, bool discarded)>;

  ChangeStack() = default;
  ~ChangeStack();
  ChangeStack(const ChangeStack&) = delete;
  ChangeStack& operator=(const ChangeStack&) = delete;

  void SetRelease(Release release) { release_ = std::move(release); }
  // Stores a copy of the record at the position and advances; returns the stored record.
  ChangeRecord* Push(const ChangeRecord& record);
  // The kind of the change undo would take back (0 at the bottom).
  int CanUndo() const;
  bool CanRedo() const { return redo_ && pos_ < count_; }
  // Moves down and returns the record to undo, null at the bottom.
  ChangeRecord* StepBack();
  // Returns the record to redo and advances, null when redo is not allowed.
  ChangeRecord* StepForward();
  ChangeRecord* At(int index) { return index >= 0 && index < count_ ? &records_[index] : nullptr; }
  int Position() const { return pos_; }
  int Count() const { return count_; }
  int Capacity() const { return capacity_; }
  // Lets go of every record.
  void Clear();

 private:
  void Grow();
  ChangeRecord* records_ = nullptr;
  int count_ = 0;
  int capacity_ = 0;
  int pos_ = 0;
  bool redo_ = false;
  Release release_;
};
