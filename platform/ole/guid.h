// GUID, the 128-bit identifier of COM classes and interfaces, with its braced text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper-case hex when written, either case when read).
// The well-known identifiers of the interfaces defined in this folder live here too.
#pragma once

#include <string>
#include <string_view>

#include "hresult.h"
#include "ole_types.h"

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPGUID = GUID*;
using LPIID = IID*;
using LPCLSID = CLSID*;

inline constexpr bool IsEqualGUID(REFGUID a, REFGUID b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}
inline constexpr bool IsEqualIID(REFIID a, REFIID b) { return IsEqualGUID(a, b); }
inline constexpr bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return IsEqualGUID(a, b); }
inline constexpr bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }

// Defines a named identifier usable from any header (one definition across the program).
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

DEFINE_GUID(GUID_NULL, 0x00000000, 0x0000, 0x0000, 0, 0, 0, 0, 0, 0, 0, 0);
DEFINE_GUID(IID_NULL, 0x00000000, 0x0000, 0x0000, 0, 0, 0, 0, 0, 0, 0, 0);
DEFINE_GUID(CLSID_NULL, 0x00000000, 0x0000, 0x0000, 0, 0, 0, 0, 0, 0, 0, 0);
DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
DEFINE_GUID(IID_IClassFactory, 0x00000001, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
DEFINE_GUID(IID_IStream, 0x0000000C, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
DEFINE_GUID(IID_ISequentialStream, 0x0C733A30, 0x2A1C, 0x11CE, 0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44,
            0x77, 0x3A);
DEFINE_GUID(IID_IDispatch, 0x00020400, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);

// Writes the braced form with its terminating NUL into lpsz (room for cchMax characters);
// returns the characters written including the NUL (39), or 0 when the buffer is too small.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);

// Reads the braced form. CLSIDFromString answers CO_E_CLASSSTRING for a malformed text,
// IIDFromString E_INVALIDARG; both answer E_INVALIDARG for a null output. A null text reads as
// GUID_NULL, as on Windows.
HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid);

// A new random identifier (version 4, RFC 4122 variant) from the system's random source.
HRESULT CoCreateGuid(GUID* pguid);

namespace halyard::ole {

// The braced upper-case form as single-byte text, as the registry's class keys spell it.
std::string GuidToString(REFGUID guid);

// Parses the braced form (exactly 38 characters, hex digits of either case); false and *out
// untouched when the text is anything else.
bool ParseGuid(std::string_view text, GUID* out);
bool ParseGuid(std::u16string_view text, GUID* out);

}  // namespace halyard::ole
