// Parser over arbitrary bytes, handed over in pieces whose sizes the input's first bytes
// choose. Outside script and style text the tree must not depend on the cuts, so for inputs
// that cannot enter those states the tree is compared with the one read in a single piece.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "html/elem_kinds.h"
#include "html/parser.h"
#include "html/tree_text.h"

namespace {

std::string Read(const char* data, std::size_t size, const std::uint8_t* cuts, std::size_t ncuts) {
  Document doc;
  Parser p;
  p.SetDocument(&doc);
  std::size_t at = 0, k = 0;
  while (at < size) {
    std::size_t n = ncuts ? 1 + cuts[k++ % ncuts] % 64 : size;
    if (n > size - at) n = size - at;
    p.Parse(data + at, static_cast<int>(n));
    at += n;
  }
  p.End();
  std::string out;
  halyard::tagsmith::DumpTree(&doc, out);
  return out;
}

bool MayLeaveText(const char* data, std::size_t size) {
  static const char* const kWords[] = {"script", "style", "jsb_"};
  for (std::size_t i = 0; i < size; ++i) {
    for (const char* w : kWords) {
      std::size_t n = std::strlen(w), j = 0;
      while (j < n && i + j < size && (data[i + j] | 0x20) == w[j]) ++j;
      if (j == n) return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::size_t ncuts = data[0] % 8;
  if (size < 1 + ncuts) return 0;
  const std::uint8_t* cuts = data + 1;
  const char* text = reinterpret_cast<const char*>(data + 1 + ncuts);
  std::size_t len = size - 1 - ncuts;
  std::string pieces = Read(text, len, cuts, ncuts);
  if (!MayLeaveText(text, len)) {
    std::string whole = Read(text, len, nullptr, 0);
    if (whole != pieces) __builtin_trap();
  }
  return 0;
}
