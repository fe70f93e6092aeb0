// TagTypeTable: upper-case tag name to Token::Type. The main table (with the JSB tags) is built
// when the library loads; the copy without the JSB tags, which TagToken uses, on its first use.
// Both only read afterwards; any thread may look up.
#pragma once

#include <cstddef>

#include "token.h"

class TagTypeTable {
 public:
  // The type of an upper-case tag name, 0 when the name is not in the table.
  static Token::Type Lookup(const char* upperName, std::size_t len);
  static Token::Type Lookup(const char* upperName);
  // The same from the copy without the JSB tags (their names give 0 there).
  static Token::Type LookupWithoutJsb(const char* upperName, std::size_t len);
  static std::size_t Count();
  static std::size_t CountWithoutJsb();
};
