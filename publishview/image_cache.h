// The view's cache of images already copied into its image list: triples of the host's image
// identifier (or icon handle), the index in the image list and whether it is an icon, searched
// in order. A miss appends a triple with index -1 for the caller to load and fill in. The array
// grows by an eighth of its count, at least 4 and at most 1024 entries at a time. View thread.
#pragma once

#include <cstdint>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"

class HALYARD_EXPORT ImageCache {
 public:
  struct Entry {
    std::uintptr_t image;
    int index;
    BOOL isIcon;
  };
  ImageCache() = default;
  ~ImageCache() { delete[] entries_; }
  ImageCache(const ImageCache&) = delete;
  ImageCache& operator=(const ImageCache&) = delete;

  // The entry for the image, appended with index -1 when it is new.
  Entry& Find(std::uintptr_t image, BOOL isIcon);
  int Count() const { return count_; }
  int Capacity() const { return capacity_; }
  void Clear();

 private:
  Entry* entries_ = nullptr;
  int count_ = 0;
  int capacity_ = 0;
};
