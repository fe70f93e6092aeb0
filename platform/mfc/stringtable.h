// The string resources of the libraries in this process. A library registers its table of
// (id, text) pairs once, usually through a static StringTableRegistration in one of its source
// files, and CString::LoadString finds texts by id. When two registered tables hold the same
// id, the table registered last wins, as a module's own resources shadow those loaded before.
// Registration and look-up are safe from any thread.
#pragma once

#include <cstddef>
#include <string>

#include "afx_types.h"

namespace halyard {

struct StringResource {
  UINT id;
  const char* text;
};

// Keeps a table registered for its lifetime. The table itself must outlive the registration.
class StringTableRegistration {
 public:
  StringTableRegistration(const StringResource* table, std::size_t count);
  template <std::size_t N>
  explicit StringTableRegistration(const StringResource (&table)[N])
      : StringTableRegistration(table, N) {}
  ~StringTableRegistration();
  StringTableRegistration(const StringTableRegistration&) = delete;
  StringTableRegistration& operator=(const StringTableRegistration&) = delete;

 private:
  const StringResource* table_;
  std::size_t count_;
};

// The text of resource id from the registered tables; false when no table holds it.
bool FindStringResource(UINT id, std::string* text);

}  // namespace halyard
