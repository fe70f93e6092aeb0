#include "entity_table.h"

#include "name_table.h"

namespace {

using halyard::tagsmith::NameTable;

const NameTable& Table() {
  static const NameTable table = [] {
    NameTable t(96);
#define ENTITY(name, code) t.Add(name, code);
#include "entities.inc"
#undef ENTITY
    return t;
  }();
  return table;
}

[[maybe_unused]] const NameTable& g_builtAtLoad = Table();

}  // namespace

int EntityTable::Lookup(const char* name, std::size_t len) {
  return static_cast<int>(Table().Find(name, len, -1));
}

std::size_t EntityTable::Count() { return Table().Count(); }
