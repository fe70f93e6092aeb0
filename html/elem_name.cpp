#include "elem_name.h"

#include <cstdlib>
#include <new>
#include <ostream>

#include "elem_pool.h"

void ElemName::InitHeap(const char* p, int n) {
  char* q = static_cast<char*>(halyard::tagsmith::AllocateElem(static_cast<std::size_t>(n) + 1));
  std::memcpy(q, p, static_cast<std::size_t>(n));
  q[n] = 0;
  u_.heap.ptr = q;
  u_.heap.len = static_cast<DWORD>(n);
  std::memset(u_.heap.pad, 0, sizeof u_.heap.pad);
}

void ElemName::Release() {
  if (!IsInline())
    halyard::tagsmith::FreeElem(u_.heap.ptr, static_cast<std::size_t>(u_.heap.len) + 1);
  SetInline(0);
}

std::ostream& operator<<(std::ostream& os, const ElemName& n) {
  return os.write(n.data(), n.GetLength());
}
