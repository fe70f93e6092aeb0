#include "stringtable.h"

#include <mutex>
#include <vector>

namespace halyard {
namespace {

struct Table {
  const StringResource* entries;
  std::size_t count;
  const StringTableRegistration* owner;
};

std::mutex& TablesMutex() {
  static std::mutex m;
  return m;
}
std::vector<Table>& Tables() {
  static std::vector<Table> tables;
  return tables;
}

}  // namespace

StringTableRegistration::StringTableRegistration(const StringResource* table, std::size_t count)
    : table_(table), count_(count) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  Tables().push_back({table_, count_, this});
}

StringTableRegistration::~StringTableRegistration() {
  std::lock_guard<std::mutex> lock(TablesMutex());
  auto& tables = Tables();
  for (auto it = tables.begin(); it != tables.end(); ++it) {
    if (it->owner == this) {
      tables.erase(it);
      break;
    }
  }
}

bool FindStringResource(UINT id, std::string* text) {
  std::lock_guard<std::mutex> lock(TablesMutex());
  const auto& tables = Tables();
  for (auto t = tables.rbegin(); t != tables.rend(); ++t) {
    for (std::size_t i = 0; i < t->count; ++i) {
      if (t->entries[i].id == id && t->entries[i].text != nullptr) {
        *text = t->entries[i].text;
        return true;
      }
    }
  }
  return false;
}

}  // namespace halyard
