#include "scheme_table.h"

#include <cstring>

namespace {

const SchemeTable::Entry kEntries[] = {
#define SCHEME(prefix, number) {prefix, number},
#include "schemes.inc"
#undef SCHEME
};

}  // namespace

const SchemeTable::Entry* SchemeTable::Match(const char* url) {
  for (const Entry& e : kEntries) {
    if (std::strncmp(url, e.prefix, std::strlen(e.prefix)) == 0) return &e;
  }
  return nullptr;
}

std::size_t SchemeTable::Count() { return sizeof(kEntries) / sizeof(kEntries[0]); }
const SchemeTable::Entry& SchemeTable::At(std::size_t i) { return kEntries[i]; }
