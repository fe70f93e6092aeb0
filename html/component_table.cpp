#include "component_table.h"

#include "name_table.h"

namespace {


const char* const kNames[] = {
#define COMPONENT(name, number) name,
#include "components.inc"
#undef COMPONENT
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == ComponentTable::kCount);

using Table = halyard::tagsmith::NameTable<halyard::tagsmith::NameTableCapacity(
    static_cast<std::size_t>(ComponentTable::kCount))>;

constexpr Table kTable = [] {
  Table t;
#define COMPONENT(name, number) t.Add(name, number);
#include "components.inc"
#undef COMPONENT
  return t;
}();

}  // namespace

int ComponentTable::Lookup(const char* upperName, std::size_t len) {
  return static_cast<int>(kTable.Find(upperName, len, 0));
}

const char* ComponentTable::Name(int n) { return n >= 1 && n <= kCount ? kNames[n - 1] : nullptr; }
