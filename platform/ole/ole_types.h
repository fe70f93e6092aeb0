// The scalar types of COM and OLE Automation: wide characters, strings, dates, currency and the
// 64-bit integer unions of the storage interfaces. OLECHAR is UTF-16 (char16_t), as on Windows,
// so wide text written here has the original's bytes; write wide literals with OLESTR("...").
#pragma once

#include <cstdint>

#include "platform/kernel/win_time.h"
#include "platform/kernel/win_types.h"

using WCHAR = char16_t;
using OLECHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
using LPBSTR = BSTR*;

#define OLESTR(str) u##str

using FLOAT = float;
using DOUBLE = double;
using LPBOOL = BOOL*;
using SCODE = LONG;
using LCID = DWORD;
using DISPID = LONG;
using MEMBERID = DISPID;
using VARTYPE = USHORT;
using VARIANT_BOOL = SHORT;
using DATE = double;

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

// Locale identifiers the conversions accept; every one of them formats as United States English.
#define LOCALE_USER_DEFAULT ((LCID)0x0400)
#define LOCALE_SYSTEM_DEFAULT ((LCID)0x0800)
#define LOCALE_NEUTRAL ((LCID)0x0000)
#define LANG_USER_DEFAULT LOCALE_USER_DEFAULT

// Currency: a 64-bit integer scaled by 10,000, with the 32-bit halves of the Windows union.
union CY {
  struct {
    ULONG Lo;
    LONG Hi;
  };
  LONGLONG int64;
};
using CURRENCY = CY;

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  };
  LONGLONG QuadPart;
};

union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  };
  ULONGLONG QuadPart;
};

