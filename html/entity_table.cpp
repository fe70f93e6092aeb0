#include "entity_table.h"

#include "name_table.h"

namespace {

using Table = halyard::tagsmith::NameTable<halyard::tagsmith::NameTableCapacity(96)>;

constexpr Table kTable = [] {
  Table t;
#define ENTITY(name, code) t.Add(name, code);
#include "entities.inc"
#undef ENTITY
  return t;
}();

}  // namespace

int EntityTable::Lookup(const char* name, std::size_t len) {
  return static_cast<int>(kTable.Find(name, len, -1));
}

std::size_t EntityTable::Count() { return kTable.Count(); }
