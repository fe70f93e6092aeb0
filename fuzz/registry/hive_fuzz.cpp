// Feeds arbitrary bytes to the REGEDIT4 reader. Whatever it accepts must write back to a text
// that reads as the same tree: writing, reading and writing again gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/hive.h"

using namespace halyard::registry;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<RegSection> sections;
  std::string error;
  if (!ParseRegText(text, &sections, &error)) return 0;
  for (int i = 0; i < kRootCount; ++i) {
    Root root = static_cast<Root>(i);
    KeyNode tree(RootName(root));
    ApplySections(sections, root, &tree);
    std::string first = WriteHive(tree);
    std::vector<RegSection> again;
    if (!ParseRegText(first, &again, &error)) __builtin_trap();
    KeyNode back(RootName(root));
    ApplySections(again, root, &back);
    if (WriteHive(back) != first) __builtin_trap();
  }
  return 0;
}
