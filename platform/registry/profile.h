// The profile (.ini) functions of the Windows API. Sections and keys are found without regard
// to case, blanks around keys and values are dropped, and a value in matching quotes loses
// them. A file name without a folder is taken from the Windows folder, HALYARD_WINDIR (default
// $XDG_CONFIG_HOME/halyard, else $HOME/.config/halyard; the name is matched there without
// regard to case); other names are Windows paths (MapWinPath). Writes are locked
// read-modify-writes that replace the file atomically and keep every other line as it was.
// Any thread may call them.
#pragma once

#include <string>

#include "platform/kernel/win_types.h"

// Copies the value of key in section app into the buffer, or lpDefault (null is "", trailing
// blanks dropped) when it is missing. A null app lists the section names, a null key the keys
// of the section, each name ended by a NUL and the list by another. Returns the characters
// copied without the final NUL: nSize - 1 when a value was cut, nSize - 2 when a list was.
DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);

// The value read as an integer (blanks, sign and the 0x prefix allowed, reading stops at the
// first character that is no digit); nDefault when the key is missing or empty.
UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName);

// Sets key=value in section app (the section is added at the end of the file, the key at the
// end of its section). A null value deletes the key, a null key the whole section. FALSE with
// the last error set when the file cannot be written.
BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                LPCSTR lpFileName);

// The section's key=value lines, each ended by a NUL and the list by another.
DWORD GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize,
                                LPCSTR lpFileName);

namespace halyard::registry {

// HALYARD_WINDIR, else $XDG_CONFIG_HOME/halyard, else $HOME/.config/halyard.
std::string WindowsFolder();

// The host path of a profile file name as the profile functions resolve it.
std::string ProfilePath(const char* fileName);

}  // namespace halyard::registry
