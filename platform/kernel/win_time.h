// File times of the kernel: FILETIME counts 100-nanosecond intervals since 1 January 1601
// (UTC), SYSTEMTIME is its calendar form. Conversions between them and the host's time_t and
// timespec, and reading or setting a file's times by its Windows path. Pure functions apart
// from the file calls; any thread may use them.
#pragma once

#include <ctime>

#include "win_types.h"

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
using LPFILETIME = FILETIME*;

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime);
void GetSystemTime(LPSYSTEMTIME lpSystemTime);
void GetLocalTime(LPSYSTEMTIME lpSystemTime);
// -1, 0 or 1.
LONG CompareFileTime(const FILETIME* lpFileTime1, const FILETIME* lpFileTime2);
// FALSE with ERROR_INVALID_PARAMETER for times past the year 30827 or fields out of range.
BOOL FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime);
// Local time uses the host's time zone (TZ) at the given moment.
BOOL FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime);
BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime);

namespace halyard {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr ULONGLONG kFileTimeUnixEpoch = 116444736000000000ull;

ULONGLONG FileTimeToU64(const FILETIME& ft);
FILETIME FileTimeFromU64(ULONGLONG value);
FILETIME FileTimeFromUnix(std::time_t seconds);
FILETIME FileTimeFromTimespec(const struct timespec& ts);
// Seconds since 1970 (rounded down), and the exact timespec.
std::time_t FileTimeToUnix(const FILETIME& ft);
struct timespec FileTimeToTimespec(const FILETIME& ft);

// Reads the times of a file or folder named by a Windows path (the creation time is the
// host's change time, the closest it keeps). FALSE with the last error set on failure; any
// pointer may be null.
BOOL GetPathFileTime(LPCSTR winPath, LPFILETIME creation, LPFILETIME lastAccess,
                     LPFILETIME lastWrite);
// Sets the access and write times (a null pointer keeps the time; the creation time cannot be
// set on this host and is ignored). FALSE with the last error set on failure.
BOOL SetPathFileTime(LPCSTR winPath, const FILETIME* creation, const FILETIME* lastAccess,
                     const FILETIME* lastWrite);

}  // namespace halyard
