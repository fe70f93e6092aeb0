// Conversions between single-byte text and UTF-16 with the semantics of the Windows functions
// of the same names. The ANSI code page (CP_ACP, CP_THREAD_ACP) is Windows-1252; UTF-8 is
// supported as well. Failures return 0 and set the thread's last error (ERROR_INVALID_PARAMETER,
// ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_FLAGS, ERROR_NO_UNICODE_TRANSLATION). Pure functions:
// any thread may call them.
#pragma once

#include <string>
#include <string_view>

#include "ole_types.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_WINDOWS_1252 1252
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008

#define WC_COMPOSITECHECK 0x00000200
#define WC_DISCARDNS 0x00000010
#define WC_SEPCHARS 0x00000020
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_NO_BEST_FIT_CHARS 0x00000400

#ifndef ERROR_NO_UNICODE_TRANSLATION
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#endif

// cbMultiByte -1 means the text up to and including its NUL; cchWideChar 0 asks for the size
// needed. Returns the wide characters written (or needed).
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);

// cchWideChar -1 means the text up to and including its NUL; cbMultiByte 0 asks for the size
// needed. A character the code page lacks becomes *lpDefaultChar (default '?') and sets
// *lpUsedDefaultChar. Both must be null for UTF-8. Returns the bytes written (or needed).
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar);

namespace halyard::ole {

// Windows-1252 one character at a time: every byte has a character.
char16_t Cp1252ToWide(unsigned char byte);
// The byte for a character, or -1 when Windows-1252 has none.
int WideToCp1252(char16_t ch);

// Whole-text forms of the ANSI conversions (unmappable characters become '?').
std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text);

}  // namespace halyard::ole
