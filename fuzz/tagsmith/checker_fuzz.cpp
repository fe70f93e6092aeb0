// The checker over whatever the tokenizer makes of arbitrary bytes: every run ends (the walk is
// bounded by the correction limit), leaves nothing open, and the written page reads back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "html/checker.h"
#include "html/elem_kinds.h"
#include "html/parser.h"
#include "html/tree_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte picks the switches, so that every repair path gets its turn.
  const std::uint8_t sw = data[0];
  Document doc;
  {
    Parser parser;
    parser.SetDocument(&doc);
    parser.Parse(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));
    parser.End();
  }
  Checker checker;
  checker.closeImplied = sw & 1;
  checker.moveIllegalAfter = (sw >> 1) & 1;
  checker.endAndResume = (sw >> 2) & 1;
  checker.addListItem = (sw >> 3) & 1;
  checker.addOption = (sw >> 4) & 1;
  checker.addRowOrCell = (sw >> 5) & 1;
  checker.removeIllegal = (sw >> 6) & 1;
  checker.AddCheckHandler();
  try {
    checker.CheckHtml(&doc);
  } catch (int v) {
    if (v != -1) __builtin_trap();
  }
  if (checker.GetOpenContainerCount() != 0) __builtin_trap();
  std::string page;
  halyard::tagsmith::WriteHtml(&doc, page);
  return 0;
}
