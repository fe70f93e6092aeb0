// The registry functions of the Windows API over the hive files: HKEY_CLASSES_ROOT.reg,
// HKEY_CURRENT_USER.reg and HKEY_LOCAL_MACHINE.reg in REGEDIT4 text, in the folder named by
// HALYARD_REGISTRY (default $XDG_CONFIG_HOME/halyard/registry, else
// $HOME/.config/halyard/registry). Every change is a locked read-modify-write that replaces
// the hive file atomically, so changes from several processes never lose one another and a
// process that dies mid-change leaves the hive as it was. Reads see the newest file.
// Key and value names are compared without regard to case; subkeys enumerate in the system's
// order of names and values in the order they were first set. The functions return the
// system's error codes (they do not set the last error) and may be called from any thread;
// a key handle may be shared between threads.
#pragma once

#include "platform/kernel/win_error.h"
#include "platform/kernel/win_time.h"
#include "platform/kernel/win_types.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LSTATUS = LONG;

#define HKEY_CLASSES_ROOT \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000))))
#define HKEY_CURRENT_USER \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000001))))
#define HKEY_LOCAL_MACHINE \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000002))))

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_DWORD_LITTLE_ENDIAN 4u
#define REG_DWORD_BIG_ENDIAN 5u
#define REG_LINK 6u
#define REG_MULTI_SZ 7u
#define REG_QWORD 11u

#define REG_OPTION_NON_VOLATILE 0x00000000u
#define REG_OPTION_VOLATILE 0x00000001u
#define REG_CREATED_NEW_KEY 0x00000001u
#define REG_OPENED_EXISTING_KEY 0x00000002u

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_CREATE_LINK 0x0020u
#define KEY_WOW64_64KEY 0x0100u
#define KEY_WOW64_32KEY 0x0200u
#define KEY_READ 0x00020019u
#define KEY_EXECUTE 0x00020019u
#define KEY_WRITE 0x00020006u
#define KEY_ALL_ACCESS 0x000F003Fu
#ifndef DELETE
#define DELETE 0x00010000u
#endif
#define MAXIMUM_ALLOWED 0x02000000u
#define GENERIC_ALL 0x10000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_READ 0x80000000u

struct SECURITY_ATTRIBUTES;

// Creates the key and any missing keys on its way, or opens it when it exists
// (*lpdwDisposition tells which). Asking for write access to a hive that cannot be written
// gives ERROR_ACCESS_DENIED. Volatile keys are kept like others. A null or empty subkey opens
// hKey again.
LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, const SECURITY_ATTRIBUTES* lpSecurityAttributes,
                        PHKEY phkResult, LPDWORD lpdwDisposition);
// ERROR_FILE_NOT_FOUND when the key does not exist.
LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                      PHKEY phkResult);
LSTATUS RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
LSTATUS RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
LSTATUS RegCloseKey(HKEY hKey);

// A null or empty name is the key's default value. Needs KEY_SET_VALUE.
LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                       const BYTE* lpData, DWORD cbData);
// With lpData null, *lpcbData receives the size. A buffer that is too small gives
// ERROR_MORE_DATA, the size needed in *lpcbData, and leaves the buffer alone.
LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                         LPBYTE lpData, LPDWORD lpcbData);
LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED when it has some, as on Windows NT).
LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
// Deletes a key with all its subkeys; a null subkey empties hKey of subkeys and values.
LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey);

// *lpcchName is the buffer's size in characters with the NUL on entry and the name's length
// without it on return; ERROR_MORE_DATA when the name does not fit, ERROR_NO_MORE_ITEMS past
// the last subkey. The write time is that of the hive file.
LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPSTR lpClass, LPDWORD lpcchClass, FILETIME* lpftLastWriteTime);
LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                      LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                         LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                         LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                         LPDWORD lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime);

// The older forms that work on a key's default value as a REG_SZ text.
LSTATUS RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData, DWORD cbData);
LSTATUS RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, LONG* lpcbData);
