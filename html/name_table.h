// A fixed table from names to small numbers, filled once when the library loads and only read
// afterwards (so any thread may look names up). Open addressing over a power-of-two array; the
// names are not copied, they are the string literals of the table data files.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/kernel/win_types.h"

namespace halyard::tagsmith {

class NameTable {
 public:
  explicit NameTable(std::size_t expected) {
    std::size_t cap = 16;
    while (cap < expected * 2) cap <<= 1;
    slots_.resize(cap);
  }

  // Adds a name; a name that is already there keeps its first number.
  void Add(const char* name, LONG value) {
    std::size_t len = std::strlen(name);
    std::size_t i = Hash(name, len) & (slots_.size() - 1);
    while (slots_[i].name) {
      if (slots_[i].len == len && std::memcmp(slots_[i].name, name, len) == 0) return;
      i = (i + 1) & (slots_.size() - 1);
    }
    slots_[i] = Slot{name, len, value};
    ++count_;
  }

  // The number of the name (exact bytes), or fallback when it is not in the table.
  LONG Find(const char* name, std::size_t len, LONG fallback) const {
    std::size_t i = Hash(name, len) & (slots_.size() - 1);
    while (slots_[i].name) {
      if (slots_[i].len == len && std::memcmp(slots_[i].name, name, len) == 0)
        return slots_[i].value;
      i = (i + 1) & (slots_.size() - 1);
    }
    return fallback;
  }

  std::size_t Count() const { return count_; }

 private:
  static std::size_t Hash(const char* s, std::size_t len) {
    std::size_t h = 2166136261u;
    for (std::size_t i = 0; i < len; ++i) h = (h ^ static_cast<unsigned char>(s[i])) * 16777619u;
    return h ^ (h >> 15);
  }

  struct Slot {
    const char* name = nullptr;
    std::size_t len = 0;
    LONG value = 0;
  };
  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

}  // namespace halyard::tagsmith
