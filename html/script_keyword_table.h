// ScriptKeywordTable: the 53 reserved words of the script scanner, numbered from 1 in table
// order. A constant table; any thread may use it.
#pragma once

#include <cstddef>

class ScriptKeywordTable {
 public:
  enum { kCount = 53 };
  // The keyword's number 1 to 53 (exact case, linear search), or 0.
  static int Lookup(const char* word, std::size_t len);
  // The word of keyword number n (1 to 53), or null.
  static const char* Word(int n);
};
