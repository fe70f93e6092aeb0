// BSTR, the length-prefixed wide string of OLE Automation: a 32-bit byte count stored just in
// front of the characters, the UTF-16 characters, and a wide NUL after them. The pointer
// addresses the first character, so a BSTR also reads as a NUL-terminated wide text. The
// Sys... functions allocate and free them; whoever receives a BSTR frees it with SysFreeString.
// A BSTR may also carry single-byte text (SysAllocStringByteLen), as the ANSI string variants do.
#pragma once

#include <string>
#include <string_view>

#include "ole_types.h"

// Null for a null text (SysAllocString) or when memory or the 32-bit length runs out.
BSTR SysAllocString(const OLECHAR* psz);
// ui characters copied from strIn, or left zeroed when strIn is null.
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
// len bytes copied from psz (zeroed when psz is null) followed by a wide NUL.
BSTR SysAllocStringByteLen(LPCSTR psz, UINT len);
void SysFreeString(BSTR bstrString);
// Characters (bytes / 2) and bytes of a BSTR; 0 for a null BSTR.
UINT SysStringLen(BSTR pbstr);
UINT SysStringByteLen(BSTR bstr);
// Replace *pbstr by a new string (freeing the old one); FALSE and *pbstr unchanged on failure.
INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);

namespace halyard::ole {

// The longest BSTR, in bytes, that these functions make: the 32-bit prefix less room for the
// terminator, as on Windows.
inline constexpr UINT kMaxBstrBytes = 0x7FFFFFF0u;

// A BSTR of the single-byte Windows-1252 text, converted to UTF-16.
BSTR BstrFromAnsi(std::string_view text);
// The BSTR's characters converted to Windows-1252 (unmappable characters become '?').
std::string AnsiFromBstr(BSTR bstr);
// The characters of a BSTR (its stored length, embedded NULs included).
std::u16string_view BstrView(BSTR bstr);

}  // namespace halyard::ole
