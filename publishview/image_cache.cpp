#include "image_cache.h"

#include <algorithm>

ImageCache::Entry& ImageCache::Find(std::uintptr_t image, BOOL isIcon) {
  for (int i = 0; i < count_; ++i)
    if (entries_[i].image == image && (entries_[i].isIcon != 0) == (isIcon != 0))
      return entries_[i];
  if (count_ == capacity_) {
    int step = std::clamp(count_ / 8, 4, 1024);
    auto* grown = new Entry[static_cast<size_t>(capacity_ + step)];
    std::copy(entries_, entries_ + count_, grown);
    delete[] entries_;
    entries_ = grown;
    capacity_ += step;
  }
  entries_[count_] = Entry{image, -1, isIcon};
  return entries_[count_++];
}

void ImageCache::Clear() {
  delete[] entries_;
  entries_ = nullptr;
  count_ = capacity_ = 0;
}
