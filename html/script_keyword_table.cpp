#include "script_keyword_table.h"

#include <cstring>

namespace {

constexpr const char* kWords[] = {
#define SCRIPT_KEYWORD(word) word,
#include "script_keywords.inc"
#undef SCRIPT_KEYWORD
};
static_assert(sizeof(kWords) / sizeof(kWords[0]) == ScriptKeywordTable::kCount);

constexpr unsigned char kLengths[] = {
#define SCRIPT_KEYWORD(word) sizeof(word) - 1,
#include "script_keywords.inc"
#undef SCRIPT_KEYWORD
};

// The words that begin with each byte, as a range of the table: the scanner looks every name up,
// so a name is compared only with the few words of its first letter.
struct Buckets {
  unsigned char first[256];
  unsigned char end[256];
  constexpr Buckets() : first(), end() {
    for (int i = ScriptKeywordTable::kCount - 1; i >= 0; --i) {
      auto c = static_cast<unsigned char>(kWords[i][0]);
      if (end[c] == 0) end[c] = static_cast<unsigned char>(i + 1);
      first[c] = static_cast<unsigned char>(i);
    }
  }
};
constexpr Buckets kBuckets;

}  // namespace

int ScriptKeywordTable::Lookup(const char* word, std::size_t len) {
  if (!word || len == 0) return 0;
  auto c = static_cast<unsigned char>(word[0]);
  for (int i = kBuckets.first[c]; i < kBuckets.end[c]; ++i) {
    if (kLengths[i] == len && std::memcmp(kWords[i], word, len) == 0) return i + 1;
  }
  return 0;
}

const char* ScriptKeywordTable::Word(int n) {
  return n >= 1 && n <= kCount ? kWords[n - 1] : nullptr;
}
