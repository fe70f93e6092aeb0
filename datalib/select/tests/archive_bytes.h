// Builds the bytes of a class-library archive by hand, piece by piece as the persistent
// object format lays them out (little-endian numbers, counts as WORDs, new classes as 0xFFFF,
// schema, name length and name, known classes as 0x8000 | index, objects read before as
// their index), so tests can compare what the library writes with an independent picture.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/win_types.h"

namespace vaultkit_test {

class ArchiveBytes {
 public:
  ArchiveBytes& Word(WORD w) {
    bytes.push_back(static_cast<BYTE>(w & 0xFF));
    bytes.push_back(static_cast<BYTE>(w >> 8));
    return *this;
  }
  ArchiveBytes& Long(LONG l) {
    const DWORD d = static_cast<DWORD>(l);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<BYTE>(d >> (8 * i)));
    return *this;
  }
  ArchiveBytes& Count(WORD n) { return Word(n); }
  // A class seen for the first time, schema 0.
  ArchiveBytes& NewClass(const char* name) {
    Word(0xFFFF).Word(0).Word(static_cast<WORD>(std::strlen(name)));
    bytes.insert(bytes.end(), name, name + std::strlen(name));
    return *this;
  }
  ArchiveBytes& KnownClass(WORD index) { return Word(static_cast<WORD>(0x8000 | index)); }
  ArchiveBytes& ObjectRef(WORD index) { return Word(index); }
  // A CString shorter than 255 bytes: a length byte and the bytes.
  ArchiveBytes& Text(const std::string& s) {
    bytes.push_back(static_cast<BYTE>(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  // Type, field and operator of a type selection.
  ArchiveBytes& Head(LONG type, LONG field, LONG op) { return Long(type).Long(field).Long(op); }

  std::vector<BYTE> bytes;
};

}  // namespace vaultkit_test
