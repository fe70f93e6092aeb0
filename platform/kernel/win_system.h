// Facts about the machine in the kernel's terms: the folder for temporary files and unique
// temporary names in it, the computer name, and the size of memory. Any thread may call them.
#pragma once

#include "win_types.h"

#define MAX_COMPUTERNAME_LENGTH 15

// The temporary folder as a Windows path with a trailing backslash. It is the host folder in
// TMPDIR (default /tmp), named through the drive whose HALYARD_DRIVE_X root contains it (the
// current drive first), so that MapWinPath maps the answer back to that folder. Returns the
// length without the NUL, or the size needed with the NUL when nBufferLength is too small.
DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);

// Makes "path\PREuuuu.tmp" from the first three characters of the prefix and a hexadecimal
// number. With uUnique 0 the number is chosen and the file is created (exclusively, so two
// callers never get the same name), else uUnique is used and nothing is created. The buffer
// must hold MAX_PATH characters and the path may have at most MAX_PATH - 14 (else
// ERROR_BUFFER_OVERFLOW). Returns the number used, or 0 with the last error set.
UINT GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique, LPSTR lpTempFileName);

// The computer name in upper case, at most MAX_COMPUTERNAME_LENGTH bytes: the host name up to
// its first dot, or HALYARD_COMPUTERNAME when set. On entry *nSize is the buffer's size; on
// success it is the length without the NUL. A buffer that is too small gives FALSE,
// ERROR_BUFFER_OVERFLOW and the size needed (with the NUL) in *nSize.
BOOL GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize);

struct MEMORYSTATUS {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  SIZE_T dwTotalPhys;
  SIZE_T dwAvailPhys;
  SIZE_T dwTotalPageFile;
  SIZE_T dwAvailPageFile;
  SIZE_T dwTotalVirtual;
  SIZE_T dwAvailVirtual;
};
using LPMEMORYSTATUS = MEMORYSTATUS*;

struct MEMORYSTATUSEX {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  DWORDLONG ullTotalPhys;
  DWORDLONG ullAvailPhys;
  DWORDLONG ullTotalPageFile;
  DWORDLONG ullAvailPageFile;
  DWORDLONG ullTotalVirtual;
  DWORDLONG ullAvailVirtual;
  DWORDLONG ullAvailExtendedVirtual;
};
using LPMEMORYSTATUSEX = MEMORYSTATUSEX*;

// Sizes in bytes. As on the 32-bit system, sizes of 4 GiB and more read as 0xFFFFFFFF in
// MEMORYSTATUS; MEMORYSTATUSEX has the full values.
void GlobalMemoryStatus(LPMEMORYSTATUS lpBuffer);
BOOL GlobalMemoryStatusEx(LPMEMORYSTATUSEX lpBuffer);
