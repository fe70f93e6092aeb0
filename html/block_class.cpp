#include "block_class.h"

#include <array>

namespace halyard::tagsmith {
namespace {

constexpr int kTypes = 256;

constexpr std::array<unsigned char, kTypes> BuildTable() {
  std::array<unsigned char, kTypes> table{};
#define BLOCK_CLASS(cls, ...)                          \
  for (int type : {__VA_ARGS__}) {                     \
    table[static_cast<std::size_t>(type)] = (cls);     \
  }
#include "block_classes.inc"
#undef BLOCK_CLASS
  return table;
}

constexpr std::array<unsigned char, kTypes> kTable = BuildTable();

}  // namespace

int BlockClassOf(int type) {
  if (type < 0 || type >= kTypes) return 0;
  return kTable[static_cast<std::size_t>(type)];
}

bool IsBlockClass(int blockClass) {
  switch (blockClass) {
    case 6:
    case 7:
    case 22:
    case 23:
    case 30:
    case 31:
      return true;
    default:
      return false;
  }
}

}  // namespace halyard::tagsmith
