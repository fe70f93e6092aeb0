// ComponentTable: the design tool's component pseudo-tag names ("Q-..." in upper case) and
// their component numbers 1 to 64. Built when the library loads; read-only afterwards.
#pragma once

#include <cstddef>

class ComponentTable {
 public:
  enum { kCount = 64 };
  // The component number of an upper-case name, or 0 when it is not in the table.
  static int Lookup(const char* upperName, std::size_t len);
  // The name of component number n (1 to 64), or null.
  static const char* Name(int n);
};
