// PE layout used here: the DOS header's e_lfanew (at 0x3C) leads to "PE\0\0", the COFF
// header (section count, optional header size), the optional header (PE32 or PE32+) whose
// third data directory is the resource table, and the section headers that map relative
// addresses to file offsets. The resource table is a three-level tree: type, name, language.
#include "typelib_pe.h"

#include <algorithm>
#include <cstring>

namespace halyard::typelib {
namespace {

struct View {
  const BYTE* p;
  std::size_t n;
  bool Has(std::size_t off, std::size_t len) const { return off <= n && len <= n - off; }
  DWORD U32(std::size_t off) const {
    return Has(off, 4) ? DWORD(p[off]) | DWORD(p[off + 1]) << 8 | DWORD(p[off + 2]) << 16 |
                             DWORD(p[off + 3]) << 24
                       : 0;
  }
  WORD U16(std::size_t off) const { return Has(off, 2) ? WORD(p[off] | p[off + 1] << 8) : 0; }
};

constexpr DWORD kSubdirectory = 0x80000000u;
constexpr DWORD kNamed = 0x80000000u;

struct Sections {
  View file;
  std::size_t table = 0;
  WORD count = 0;
  // The file offset of a relative address, for len bytes within one section.
  bool Map(DWORD rva, std::size_t len, std::size_t* off) const {
    for (WORD i = 0; i < count; ++i) {
      std::size_t h = table + std::size_t(i) * 40;
      DWORD va = file.U32(h + 12), raw = file.U32(h + 16), ptr = file.U32(h + 20);
      DWORD vsize = file.U32(h + 8);
      DWORD size = vsize && vsize < raw ? vsize : raw;
      if (rva >= va && rva - va < size && len <= size - (rva - va)) {
        *off = std::size_t(ptr) + (rva - va);
        return file.Has(*off, len);
      }
    }
    return false;
  }
};

bool IsTypeLibName(const View& dir, DWORD nameOffset) {
  static const char kName[] = "TYPELIB";
  if (dir.U16(nameOffset) != 7 || !dir.Has(std::size_t(nameOffset) + 2, 14)) return false;
  for (int i = 0; i < 7; ++i)
    if (dir.U16(nameOffset + 2 + 2 * i) != WORD(kName[i])) return false;
  return true;
}

// The entries of one directory of the tree: (name or id, offset to data or subdirectory).
template <typename Each>
bool ForEntries(const View& dir, DWORD at, Each each) {
  if (!dir.Has(at, 16)) return false;
  std::size_t entries = std::size_t(dir.U16(at + 12)) + dir.U16(at + 14);
  if (!dir.Has(std::size_t(at) + 16, entries * 8)) return false;
  for (std::size_t i = 0; i < entries; ++i) {
    std::size_t e = at + 16 + i * 8;
    if (each(dir.U32(e), dir.U32(e + 4))) return true;
  }
  return false;
}

}  // namespace

bool LooksLikePe(const BYTE* data, std::size_t size) {
  return size >= 2 && data[0] == 'M' && data[1] == 'Z';
}

bool FindPeTypeLib(const BYTE* data, std::size_t size, DWORD id, std::size_t* offset,
                   std::size_t* length) {
  View file{data, size};
  if (!LooksLikePe(data, size) || !file.Has(0x3C, 4)) return false;
  std::size_t pe = file.U32(0x3C);
  if (!file.Has(pe, 24) || file.U32(pe) != 0x00004550) return false;  // "PE\0\0"
  WORD sectionCount = file.U16(pe + 6);
  WORD optionalSize = file.U16(pe + 20);
  std::size_t optional = pe + 24;
  if (!file.Has(optional, optionalSize) || !file.Has(optional, 2)) return false;
  WORD magic = file.U16(optional);
  std::size_t dirCountAt = magic == 0x20B ? 108 : magic == 0x10B ? 92 : 0;
  if (!dirCountAt || optionalSize < dirCountAt + 4) return false;
  DWORD dirCount = file.U32(optional + dirCountAt);
  std::size_t resourceDir = optional + dirCountAt + 4 + 2 * 8;
  if (dirCount < 3 || resourceDir + 8 > optional + optionalSize) return false;
  DWORD rsrcRva = file.U32(resourceDir), rsrcSize = file.U32(resourceDir + 4);

  Sections sections{file, optional + optionalSize, sectionCount};
  if (!file.Has(sections.table, std::size_t(sectionCount) * 40)) return false;
  std::size_t rsrcOffset = 0;
  if (rsrcSize < 16 || !sections.Map(rsrcRva, 16, &rsrcOffset)) return false;
  // The tree may extend to the end of its section even when the directory size is short.
  std::size_t avail = size - rsrcOffset;
  View dir{data + rsrcOffset, rsrcSize < avail ? std::max<std::size_t>(rsrcSize, 16) : avail};

  bool found = false;
  ForEntries(dir, 0, [&](DWORD typeName, DWORD typeData) {
    if (!(typeName & kNamed) || !(typeData & kSubdirectory) ||
        !IsTypeLibName(dir, typeName & ~kNamed))
      return false;
    return ForEntries(dir, typeData & ~kSubdirectory, [&](DWORD name, DWORD nameData) {
      if ((name & kNamed) || (id && name != id) || !(nameData & kSubdirectory)) return false;
      return ForEntries(dir, nameData & ~kSubdirectory, [&](DWORD, DWORD langData) {
        if (langData & kSubdirectory) return false;
        if (!dir.Has(langData, 16)) return false;
        DWORD dataRva = dir.U32(langData), dataSize = dir.U32(langData + 4);
        if (!sections.Map(dataRva, dataSize, offset)) return false;
        *length = dataSize;
        found = true;
        return true;
      });
    });
  });
  return found;
}

}  // namespace halyard::typelib
