// The MSFT type library file format, read into plain structures. ParseMsft checks every
// offset, count and length against the file before it uses it, so any byte string either
// gives a complete library or an error code; references between types are kept as handles
// and checked, and chains of type descriptions are followed with cycle detection.
// The structures are values owned by the caller; parsing has no shared state.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/kernel/win_types.h"

namespace halyard::typelib {

enum class MsftError {
  kNone,
  kTruncated,  // a structure runs past the end of the file or of its segment
  kBadMagic,   // not an MSFT file
  kBadOffset,  // an offset points outside its segment
  kBadCount,   // a count is negative or larger than the data
  kBadName,    // a name or string runs past its table
  kBadType,    // a type description is malformed or refers to itself
  kBadRef,     // a type reference names no type
};
const char* MsftErrorText(MsftError e);

using MsftGuid = std::array<BYTE, 16>;

// One node of a type description; PTR and SAFEARRAY point at another node, USERDEFINED
// holds a type reference, CARRAY an array description.
struct MsftTypeDesc {
  WORD vt = 0;
  int child = -1;  // node index for VT_PTR / VT_SAFEARRAY
  DWORD href = 0;  // for VT_USERDEFINED
  int array = -1;  // index into MsftLibrary::arrays for VT_CARRAY
};

struct MsftArrayDesc {
  int element = -1;                            // node index
  std::vector<std::pair<DWORD, LONG>> bounds;  // element count, lower bound
};

// A constant's value (enumeration members, module constants).
struct MsftValue {
  WORD vt = 0;  // VT_EMPTY when there is none
  LONGLONG integer = 0;
  double real = 0;
  std::string text;  // VT_BSTR, single-byte as stored
};

struct MsftParam {
  std::string name;
  int type = -1;
  WORD flags = 0;  // PARAMFLAG_*
  MsftValue defaultValue;
};

struct MsftFunc {
  LONG memid = 0;
  std::string name;
  std::string doc;
  DWORD helpContext = 0;
  int result = -1;
  WORD funcFlags = 0;
  BYTE funcKind = 0;
  BYTE invKind = 1;
  BYTE callConv = 4;
  SHORT oVft = 0;
  SHORT optionalParams = 0;
  std::vector<MsftParam> params;
};

struct MsftVar {
  LONG memid = 0;
  std::string name;
  std::string doc;
  DWORD helpContext = 0;
  int type = -1;
  WORD varFlags = 0;
  BYTE varKind = 0;
  LONG offset = 0;  // VAR_PERINSTANCE
  MsftValue value;  // VAR_CONST
};

struct MsftImpl {
  DWORD href = 0;
  LONG flags = 0;  // IMPLTYPEFLAG_*
};

struct MsftType {
  BYTE kind = 0;   // TKIND_*
  WORD flags = 0;  // TYPEFLAG_*
  std::string name;
  std::string doc;
  DWORD helpContext = 0;
  bool hasGuid = false;
  MsftGuid guid{};
  WORD major = 0, minor = 0;
  WORD alignment = 0;
  DWORD sizeInstance = 0;
  WORD sizeVft = 0;
  int alias = -1;       // node index of the aliased type (TKIND_ALIAS)
  std::string dllName;  // TKIND_MODULE
  std::vector<MsftFunc> funcs;
  std::vector<MsftVar> vars;
  std::vector<MsftImpl> impls;  // base interface, or the interfaces of a component class
};

struct MsftImportLib {
  MsftGuid guid{};
  LONG lcid = 0;
  WORD major = 0, minor = 0;
  std::string file;
};

// A type of an imported library, by its handle (offset in the import table + 1).
struct MsftImportRef {
  DWORD href = 0;
  int lib = -1;  // index into MsftLibrary::importLibs
  bool byGuid = false;
  MsftGuid guid{};
  LONG index = 0;  // type index in the imported library when !byGuid; -1: no GUID
  BYTE kind = 0;
};

struct MsftLibrary {
  bool hasGuid = false;
  MsftGuid guid{};
  LONG lcid = 0;
  BYTE syskind = 1;
  WORD major = 0, minor = 0;
  WORD flags = 0;
  std::string name;
  std::string doc;
  std::string helpFile;
  DWORD helpContext = 0;
  std::vector<MsftType> types;
  std::vector<MsftTypeDesc> descs;
  std::vector<MsftArrayDesc> arrays;
  std::vector<MsftImportLib> importLibs;
  std::vector<MsftImportRef> imports;

  // Index of the local type a handle names, or -1.
  int LocalIndex(DWORD href) const;
  // The import entry a handle names, or null.
  const MsftImportRef* Import(DWORD href) const;
};

// The size of one type entry; local type handles are multiples of it.
constexpr DWORD kMsftTypeEntrySize = 0x64;

MsftError ParseMsft(const BYTE* data, std::size_t size, MsftLibrary* out);

}  // namespace halyard::typelib
