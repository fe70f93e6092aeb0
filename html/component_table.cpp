#include "component_table.h"

#include "name_table.h"

namespace {

using halyard::tagsmith::NameTable;

const char* const kNames[] = {
#define COMPONENT(name, number) name,
#include "components.inc"
#undef COMPONENT
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == ComponentTable::kCount);

const NameTable& Table() {
  static const NameTable table = [] {
    NameTable t(ComponentTable::kCount);
#define COMPONENT(name, number) t.Add(name, number);
#include "components.inc"
#undef COMPONENT
    return t;
  }();
  return table;
}

[[maybe_unused]] const NameTable& g_builtAtLoad = Table();

}  // namespace

int ComponentTable::Lookup(const char* upperName, std::size_t len) {
  return static_cast<int>(Table().Find(upperName, len, 0));
}

const char* ComponentTable::Name(int n) { return n >= 1 && n <= kCount ? kNames[n - 1] : nullptr; }
