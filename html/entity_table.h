// EntityTable: the character entity names (case-sensitive) and the one Windows-1252 character
// each stands for. Built when the library loads; read-only afterwards.
#pragma once

#include <cstddef>

class EntityTable {
 public:
  // The character code of the name (160-255, or 34, 38, 60, 62), or -1 when not in the table.
  static int Lookup(const char* name, std::size_t len);
  static std::size_t Count();
};
