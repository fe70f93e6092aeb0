#include "change_stack.h"

#include <utility>

int ChangeKindFromFlags(DWORD flags) {
  static const struct {
    DWORD flag;
    int kind;
  } kOrder[] = {{0x01, kChangeRename},    {0x02, kChangeMove},     {0x04, kChangeGroupStart},
                {0x08, kChangeGroupEnd},  {0x20, kChangeSettings}, {0x40, kChangeProperty},
                {0x10, kChangeNewFolder}, {0x80, kChangeDelete}};
  for (const auto& o : kOrder)
    if (flags & o.flag) return o.kind;
  return 0;
}

ChangeStack::~ChangeStack() { Clear(); }

void ChangeStack::Grow() {
  int capacity = capacity_ == 0 ? 1 : capacity_ * 2;
  auto* grown = new ChangeRecord[static_cast<size_t>(capacity)];
  for (int i = 0; i < count_; ++i) grown[i] = std::move(records_[i]);
  delete[] records_;
  records_ = grown;
  capacity_ = capacity;
}

ChangeRecord* ChangeStack::Push(const ChangeRecord& record) {
  if (pos_ == count_) {
    if (count_ == capacity_) Grow();
    records_[count_++] = record;
  } else {
    for (int i = pos_; i < count_; ++i)
      if (release_) release_(records_[i], true);
    records_[pos_] = record;
    for (int i = pos_ + 1; i < count_; ++i) records_[i] = ChangeRecord{};
    count_ = pos_ + 1;
    redo_ = false;
  }
  return &records_[pos_++];
}

int ChangeStack::CanUndo() const {
  if (pos_ <= 0) return 0;
  int kind = records_[pos_ - 1].m_nKind;
  if (kind == kChangeGroupEnd && pos_ >= 2) kind = records_[pos_ - 2].m_nKind;
  return kind;
}

ChangeRecord* ChangeStack::StepBack() {
  if (pos_ <= 0) return nullptr;
  --pos_;
  redo_ = true;
  return &records_[pos_];
}

ChangeRecord* ChangeStack::StepForward() {
  if (!CanRedo()) return nullptr;
  return &records_[pos_++];
}

void ChangeStack::Clear() {
  for (int i = 0; i < count_; ++i)
    if (release_) release_(records_[i], false);
  delete[] records_;
  records_ = nullptr;
  count_ = capacity_ = pos_ = 0;
  redo_ = false;
}
