// The COM task allocator: memory that one side allocates and the other frees, such as the
// name in a STATSTG or the strings of an interface's out parameters. Any thread may use it.
#pragma once

#include <cstddef>

#include "ole_types.h"

// Null for a size the allocator refuses; CoTaskMemFree(nullptr) does nothing.
LPVOID CoTaskMemAlloc(size_t cb);
LPVOID CoTaskMemRealloc(LPVOID pv, size_t cb);
void CoTaskMemFree(LPVOID pv);

namespace halyard::ole {
// A copy of the NUL-terminated wide text in task memory; null for a null text.
LPOLESTR CoTaskStrDup(LPCOLESTR text);
}  // namespace halyard::ole
