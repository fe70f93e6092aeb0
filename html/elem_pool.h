// ElemPool: where elements (and their longer names, packed attributes and white space) live.
// Elements are small and a page has a great many of them, so they are carved from blocks (from
// 4 KB, doubling to 16 KB, shared by every size) instead of one heap block each; a freed element's
// place goes onto its thread's free list for the next element of that size. Blocks stay with the
// process.
// Builds with AddressSanitizer use the plain heap, so that every element stays checked on its own.
#pragma once

#include <cstddef>

namespace halyard::tagsmith {

void* AllocateElem(std::size_t size);
void FreeElem(void* p, std::size_t size);

}  // namespace halyard::tagsmith
