// UrlString: splitting a URL into scheme, host, port and path, and resolving a link against
// the page it stands on, to an absolute URL or to one relative to the site root. Pure
// functions of their arguments; any thread may call them.
#pragma once

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "platform/mfc/cstring.h"

namespace UrlString {

// 1 when the URL starts with a known scheme (scheme, host, path and port are then set), else 0
// (scheme is SchemeTable::kNoScheme when no prefix matched).
HALYARD_EXPORT int ParseUrl(const char* url, DWORD& scheme, CString& host, CString& path,
                            WORD& port);
// The link resolved against the page base; the link itself when it cannot be resolved.
HALYARD_EXPORT CString Relative2Absolute(const char* base, const char* link);
// As Relative2Absolute, with a relative link taken from the site root of base.
HALYARD_EXPORT CString Relative2Root(const char* base, const char* link);

}  // namespace UrlString
