// Builds, in memory, a large MSFT type library for benchmarks and tests: `interfaces` dual interfaces of 50
// members each (15 read-write properties, 5 read-only ones, 15 methods; a fifth of the
// properties typed OLE_COLOR through a local alias) and a component class for every ten
// interfaces. The IDL compiler of the fixtures stops at about 500 types, so this library is
// laid out here directly in the file format the reader reads.
#pragma once

#include <vector>

#include "platform/kernel/win_types.h"

namespace halyard::ole::testing {

std::vector<BYTE> BuildBigLibrary(int interfaces);

}  // namespace halyard::ole::testing
