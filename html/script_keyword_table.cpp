#include "script_keyword_table.h"

#include <cstring>

namespace {

const char* const kWords[] = {
#define SCRIPT_KEYWORD(word) word,
#include "script_keywords.inc"
#undef SCRIPT_KEYWORD
};
static_assert(sizeof(kWords) / sizeof(kWords[0]) == ScriptKeywordTable::kCount);

}  // namespace

int ScriptKeywordTable::Lookup(const char* word, std::size_t len) {
  for (int i = 0; i < kCount; ++i) {
    const char* w = kWords[i];
    if (w[0] == word[0] && std::strlen(w) == len && std::memcmp(w, word, len) == 0) return i + 1;
  }
  return 0;
}

const char* ScriptKeywordTable::Word(int n) {
  return n >= 1 && n <= kCount ? kWords[n - 1] : nullptr;
}
