#include "elem_name.h"

#include <cstdlib>
#include <new>
#include <ostream>

#include "elem_pool.h"

void ElemName::InitHeap(const char* p, int n) {
  const DWORD length = static_cast<DWORD>(n);
  char* q = static_cast<char*>(
      halyard::tagsmith::AllocateElem(sizeof length + static_cast<std::size_t>(n) + 1));
  std::memcpy(q, &length, sizeof length);
  std::memcpy(q + sizeof length, p, static_cast<std::size_t>(n));
  q[sizeof length + length] = 0;
  std::memcpy(b_, &q, sizeof q);
}

void ElemName::Release() {
  if (!IsInline())
    halyard::tagsmith::FreeElem(const_cast<char*>(Block()),
                                sizeof(DWORD) + static_cast<std::size_t>(GetLength()) + 1);
  SetInline(0);
}

std::ostream& operator<<(std::ostream& os, const ElemName& n) {
  return os.write(n.data(), n.GetLength());
}
