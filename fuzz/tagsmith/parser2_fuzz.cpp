// Parser2 (and so TokenReader, TagToken and the entity decoder) over arbitrary bytes; the tree
// is also written back as text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "html/elem_kinds.h"
#include "html/parser2.h"
#include "html/tree_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Document doc;
  Parser2 p;
  p.SetDocument(&doc);
  p.Parse(reinterpret_cast<const char*>(data), static_cast<int>(size));
  p.End();
  std::string out;
  halyard::tagsmith::DumpTree(&doc, out);
  halyard::tagsmith::WriteChildren(&doc, out);
  return 0;
}
