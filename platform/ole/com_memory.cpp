#include "com_memory.h"

#include <cstdlib>
#include <cstring>

LPVOID CoTaskMemAlloc(size_t cb) { return std::malloc(cb == 0 ? 1 : cb); }

LPVOID CoTaskMemRealloc(LPVOID pv, size_t cb) { return std::realloc(pv, cb == 0 ? 1 : cb); }

void CoTaskMemFree(LPVOID pv) { std::free(pv); }

namespace halyard::ole {

LPOLESTR CoTaskStrDup(LPCOLESTR text) {
  if (text == nullptr) return nullptr;
  size_t n = 0;
  while (text[n] != 0) ++n;
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((n + 1) * sizeof(OLECHAR)));
  if (copy != nullptr) std::memcpy(copy, text, (n + 1) * sizeof(OLECHAR));
  return copy;
}

}  // namespace halyard::ole
