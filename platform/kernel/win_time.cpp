#include "win_time.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "file_system.h"
#include "win_error.h"
#include "win_path.h"

namespace halyard {
namespace {

constexpr LONGLONG kTicksPerSecond = 10000000;
constexpr LONGLONG kSecondsPerDay = 86400;
// Days from 1601-01-01 to 1970-01-01.
constexpr LONGLONG kUnixEpochDays = 134774;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
LONGLONG DaysFromCivil(LONGLONG y, unsigned m, unsigned d) {
  y -= m <= 2;
  const LONGLONG era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<LONGLONG>(doe) - 719468;
}

void CivilFromDays(LONGLONG z, LONGLONG* y, unsigned* m, unsigned* d) {
  z += 719468;
  const LONGLONG era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<LONGLONG>(yoe) + era * 400 + (*m <= 2);
}

bool IsLeap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// The host's UTC offset in seconds at the given moment.
long UtcOffsetAt(std::time_t t) {
  struct tm local;
  if (localtime_r(&t, &local) == nullptr) return 0;
  return local.tm_gmtoff;
}

}  // namespace

ULONGLONG FileTimeToU64(const FILETIME& ft) {
  return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME FileTimeFromU64(ULONGLONG v) {
  return FILETIME{static_cast<DWORD>(v), static_cast<DWORD>(v >> 32)};
}

FILETIME FileTimeFromUnix(std::time_t seconds) {
  LONGLONG ticks =
      static_cast<LONGLONG>(seconds) * kTicksPerSecond + static_cast<LONGLONG>(kFileTimeUnixEpoch);
  return FileTimeFromU64(ticks < 0 ? 0 : static_cast<ULONGLONG>(ticks));
}

FILETIME FileTimeFromTimespec(const struct timespec& ts) {
  LONGLONG ticks = static_cast<LONGLONG>(ts.tv_sec) * kTicksPerSecond + ts.tv_nsec / 100 +
                   static_cast<LONGLONG>(kFileTimeUnixEpoch);
  return FileTimeFromU64(ticks < 0 ? 0 : static_cast<ULONGLONG>(ticks));
}

std::time_t FileTimeToUnix(const FILETIME& ft) {
  LONGLONG ticks =
      static_cast<LONGLONG>(FileTimeToU64(ft)) - static_cast<LONGLONG>(kFileTimeUnixEpoch);
  LONGLONG secs = ticks / kTicksPerSecond;
  if (ticks % kTicksPerSecond < 0) --secs;
  return static_cast<std::time_t>(secs);
}

struct timespec FileTimeToTimespec(const FILETIME& ft) {
  LONGLONG ticks =
      static_cast<LONGLONG>(FileTimeToU64(ft)) - static_cast<LONGLONG>(kFileTimeUnixEpoch);
  LONGLONG secs = ticks / kTicksPerSecond;
  LONGLONG rest = ticks % kTicksPerSecond;
  if (rest < 0) {
    --secs;
    rest += kTicksPerSecond;
  }
  struct timespec ts;
  ts.tv_sec = static_cast<std::time_t>(secs);
  ts.tv_nsec = static_cast<long>(rest * 100);
  return ts;
}

BOOL GetPathFileTime(LPCSTR winPath, LPFILETIME creation, LPFILETIME lastAccess,
                     LPFILETIME lastWrite) {
  if (winPath == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct stat st;
  std::string host = MapWinPath(winPath);
  if (::stat(host.c_str(), &st) != 0) {
    SetLastErrorForPath(host.c_str());
    return FALSE;
  }
  if (creation) *creation = FileTimeFromTimespec(st.st_ctim);
  if (lastAccess) *lastAccess = FileTimeFromTimespec(st.st_atim);
  if (lastWrite) *lastWrite = FileTimeFromTimespec(st.st_mtim);
  return TRUE;
}

BOOL SetPathFileTime(LPCSTR winPath, const FILETIME*, const FILETIME* lastAccess,
                     const FILETIME* lastWrite) {
  if (winPath == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct timespec access = {}, write = {};
  if (lastAccess) access = FileTimeToTimespec(*lastAccess);
  if (lastWrite) write = FileTimeToTimespec(*lastWrite);
  std::string host = MapWinPath(winPath);
  if (SetFileTimes(host, lastAccess ? &access : nullptr, lastWrite ? &write : nullptr) != 0) {
    SetLastErrorForPath(host.c_str());
    return FALSE;
  }
  return TRUE;
}

}  // namespace halyard

void GetSystemTimeAsFileTime(LPFILETIME out) {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  *out = halyard::FileTimeFromTimespec(ts);
}

void GetSystemTime(LPSYSTEMTIME out) {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  FileTimeToSystemTime(&ft, out);
}

void GetLocalTime(LPSYSTEMTIME out) {
  FILETIME ft, local;
  GetSystemTimeAsFileTime(&ft);
  FileTimeToLocalFileTime(&ft, &local);
  FileTimeToSystemTime(&local, out);
}

LONG CompareFileTime(const FILETIME* a, const FILETIME* b) {
  ULONGLONG x = halyard::FileTimeToU64(*a), y = halyard::FileTimeToU64(*b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

BOOL FileTimeToSystemTime(const FILETIME* ft, LPSYSTEMTIME st) {
  ULONGLONG ticks = halyard::FileTimeToU64(*ft);
  if (ticks >= 0x8000000000000000ull) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ULONGLONG secs = ticks / halyard::kTicksPerSecond;
  LONGLONG days = static_cast<LONGLONG>(secs / halyard::kSecondsPerDay);
  ULONGLONG rest = secs % halyard::kSecondsPerDay;
  LONGLONG y;
  unsigned m, d;
  halyard::CivilFromDays(days - halyard::kUnixEpochDays, &y, &m, &d);
  st->wYear = static_cast<WORD>(y);
  st->wMonth = static_cast<WORD>(m);
  st->wDay = static_cast<WORD>(d);
  st->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday.
  st->wHour = static_cast<WORD>(rest / 3600);
  st->wMinute = static_cast<WORD>(rest / 60 % 60);
  st->wSecond = static_cast<WORD>(rest % 60);
  st->wMilliseconds = static_cast<WORD>(ticks / 10000 % 1000);
  return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, LPFILETIME ft) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 ||
      st->wDay > kDays[st->wMonth - 1] + (st->wMonth == 2 && halyard::IsLeap(st->wYear)) ||
      st->wHour > 23 || st->wMinute > 59 || st->wSecond > 59 || st->wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LONGLONG days = halyard::DaysFromCivil(st->wYear, st->wMonth, st->wDay) + halyard::kUnixEpochDays;
  LONGLONG secs =
      days * halyard::kSecondsPerDay + st->wHour * 3600 + st->wMinute * 60 + st->wSecond;
  *ft = halyard::FileTimeFromU64(
      static_cast<ULONGLONG>(secs * halyard::kTicksPerSecond + st->wMilliseconds * 10000LL));
  return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* ft, LPFILETIME local) {
  LONGLONG ticks = static_cast<LONGLONG>(halyard::FileTimeToU64(*ft));
  long offset = halyard::UtcOffsetAt(halyard::FileTimeToUnix(*ft));
  *local =
      halyard::FileTimeFromU64(static_cast<ULONGLONG>(ticks + offset * halyard::kTicksPerSecond));
  return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* local, LPFILETIME ft) {
  LONGLONG ticks = static_cast<LONGLONG>(halyard::FileTimeToU64(*local));
  // The offset that applies at the UTC moment found with the offset of the local reading.
  std::time_t guess = halyard::FileTimeToUnix(*local);
  long offset = halyard::UtcOffsetAt(guess - halyard::UtcOffsetAt(guess));
  *ft = halyard::FileTimeFromU64(static_cast<ULONGLONG>(ticks - offset * halyard::kTicksPerSecond));
  return TRUE;
}
