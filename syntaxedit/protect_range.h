// ProtectRange and HiddenField: a character range the user may not change, and a range that
// stands for text the host keeps aside. Positions are character offsets, end exclusive.
// ProtectRange keeps the 8-byte layout in which a host hands in whole arrays of them.
#pragma once

#include <cstddef>

#include "platform/kernel/win_types.h"

struct ProtectRange {
  LONG start;
  LONG end;
};
static_assert(sizeof(ProtectRange) == 8, "a protect range is two 32-bit positions");
static_assert(offsetof(ProtectRange, end) == 4, "start comes first");

// The two texts are copies the control owns; it only stores them for the host. The element is
// two text pointers and two 32-bit positions (16 bytes where a pointer has 32 bits).
struct HiddenField {
  char* first;
  char* second;
  LONG start;
  LONG end;
};
static_assert(offsetof(HiddenField, start) == 2 * sizeof(char*), "texts come first");
static_assert(sizeof(HiddenField) == 2 * sizeof(char*) + 8, "no padding between elements");
