// Helpers shared by the Tagsmith tests: tokenize a text in pieces and show the tree as text.
#pragma once

#include <string>

#include "html/elem_kinds.h"
#include "html/parser.h"
#include "html/parser2.h"
#include "html/tree_text.h"

namespace tagsmith_test {

// Parses text with Parser, handing it over in pieces of the given sizes (cycled), and returns
// the dumped tree. A size list of {0} hands the text over in one piece.
inline std::string ParseDump(const std::string& text,
                             std::initializer_list<std::size_t> sizes = {0}) {
  Document doc;
  Parser p;
  p.SetDocument(&doc);
  std::size_t at = 0;
  auto it = sizes.begin();
  while (at < text.size()) {
    std::size_t n = *it ? *it : text.size();
    if (++it == sizes.end()) it = sizes.begin();
    if (n > text.size() - at) n = text.size() - at;
    p.Parse(text.data() + at, static_cast<int>(n));
    at += n;
  }
  p.End();
  std::string out;
  halyard::tagsmith::DumpTree(&doc, out);
  return out;
}

inline std::string Parse2Dump(const std::string& text) {
  Document doc;
  Parser2 p;
  p.SetDocument(&doc);
  p.Parse(text.data(), static_cast<int>(text.size()));
  p.End();
  std::string out;
  halyard::tagsmith::DumpTree(&doc, out);
  return out;
}

}  // namespace tagsmith_test
