// Finds the type library that a 32-bit (or 64-bit) PE file (.ocx, .dll, .exe) carries as a
// resource of the type "TYPELIB". Every header, table and tree entry is checked against
// the file before use. Pure function; any thread.
#pragma once

#include <cstddef>

#include "platform/kernel/win_types.h"

namespace halyard::typelib {

// True when the bytes start like a PE file (the "MZ" of its DOS header).
bool LooksLikePe(const BYTE* data, std::size_t size);

// The resource TYPELIB/id (id 0: the first TYPELIB resource) as an offset and size within
// data. False when the file is no well-formed PE file or has no such resource.
bool FindPeTypeLib(const BYTE* data, std::size_t size, DWORD id, std::size_t* offset,
                   std::size_t* length);

}  // namespace halyard::typelib
