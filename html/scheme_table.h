// SchemeTable: the URL scheme prefixes in the order they are tried, with their scheme numbers.
// 4096 stands for "no known scheme". A constant table; any thread may use it.
#pragma once

#include <cstddef>

#include "platform/kernel/win_types.h"

class SchemeTable {
 public:
  enum : DWORD { kNoScheme = 4096, kFile = 4097, kMailto = 4098 };
  struct Entry {
    const char* prefix;
    DWORD number;
  };
  // The first entry whose prefix the URL begins with (case-sensitive); null when none does.
  static const Entry* Match(const char* url);
  static std::size_t Count();
  static const Entry& At(std::size_t i);
};
