// A fixed table from names to small numbers, built while compiling (constant data: nothing to
// build when the library loads, and any thread may look names up). Open addressing over a
// power-of-two array of Capacity slots; the names are not copied, they are the string literals
// of the table data files.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string>

#include "platform/kernel/win_types.h"

namespace halyard::tagsmith {

// The number of slots for a table of expected names: at least twice as many, a power of two.
constexpr std::size_t NameTableCapacity(std::size_t expected) {
  std::size_t cap = 16;
  while (cap < expected * 2) cap <<= 1;
  return cap;
}

template <std::size_t Capacity>
class NameTable {
  static_assert(Capacity != 0 && (Capacity & (Capacity - 1)) == 0, "a power of two");

 public:
  // Adds a name; a name that is already there keeps its first number. The table must keep a
  // free slot (the lookups stop at one).
  constexpr void Add(const char* name, LONG value) {
    std::size_t len = std::char_traits<char>::length(name);
    std::size_t i = Hash(name, len) & (Capacity - 1);
    while (slots_[i].name) {
      if (slots_[i].len == len && std::char_traits<char>::compare(slots_[i].name, name, len) == 0)
        return;
      i = (i + 1) & (Capacity - 1);
    }
    slots_[i] = Slot{name, len, value};
    ++count_;
    if (count_ >= Capacity) throw "name table full";  // stops the compilation
  }

  // The number of the name (exact bytes), or fallback when it is not in the table.
  LONG Find(const char* name, std::size_t len, LONG fallback) const {
    std::size_t i = Hash(name, len) & (Capacity - 1);
    while (slots_[i].name) {
      if (slots_[i].len == len && std::memcmp(slots_[i].name, name, len) == 0)
        return slots_[i].value;
      i = (i + 1) & (Capacity - 1);
    }
    return fallback;
  }

  constexpr std::size_t Count() const { return count_; }

 private:
  static constexpr std::size_t Hash(const char* s, std::size_t len) {
    std::size_t h = 2166136261u;
    for (std::size_t i = 0; i < len; ++i) h = (h ^ static_cast<unsigned char>(s[i])) * 16777619u;
    return h ^ (h >> 15);
  }

  struct Slot {
    const char* name = nullptr;
    std::size_t len = 0;
    LONG value = 0;
  };
  std::array<Slot, Capacity> slots_{};
  std::size_t count_ = 0;
};

}  // namespace halyard::tagsmith
