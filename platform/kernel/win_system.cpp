#include "win_system.h"

#include <fcntl.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "text.h"
#include "win_error.h"
#include "win_path.h"
#include "win_thread.h"

namespace {

DWORD CopyOut(const std::string& text, DWORD size, LPSTR buffer) {
  if (buffer == nullptr || text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

SIZE_T Cap32(unsigned long long v) {
  return v >= 0xFFFFFFFFull ? static_cast<SIZE_T>(0xFFFFFFFFu) : static_cast<SIZE_T>(v);
}

}  // namespace

DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  const char* tmp = std::getenv("TMPDIR");
  std::string host = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  std::string win = halyard::WinNameOfHostPath(host);
  if (win.empty() || win.back() != '\\') win += '\\';
  return CopyOut(win, nBufferLength, lpBuffer);
}

UINT GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique,
                      LPSTR lpTempFileName) {
  if (lpPathName == nullptr || lpTempFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (std::strlen(lpPathName) > MAX_PATH - 14) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  std::string base = lpPathName;
  if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
  if (lpPrefixString != nullptr) base.append(lpPrefixString, strnlen(lpPrefixString, 3));
  auto nameFor = [&](UINT n) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X.tmp", n & 0xFFFFu);
    return base + hex;
  };
  if (uUnique != 0) {
    std::string name = nameFor(uUnique);
    std::memcpy(lpTempFileName, name.c_str(), name.size() + 1);
    return uUnique & 0xFFFFu;
  }
  UINT start = (GetTickCount() ^ static_cast<UINT>(::getpid()) * 2654435761u) & 0xFFFFu;
  for (UINT i = 0; i < 0xFFFFu; ++i) {
    UINT n = (start + i) & 0xFFFFu;
    if (n == 0) continue;
    std::string name = nameFor(n);
    int fd =
        ::open(halyard::MapWinPath(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      std::memcpy(lpTempFileName, name.c_str(), name.size() + 1);
      return n;
    }
    if (errno != EEXIST) {
      DWORD code = halyard::WinErrorFromErrno(errno);
      SetLastError(code == ERROR_FILE_NOT_FOUND ? ERROR_DIRECTORY : code);
      return 0;
    }
  }
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

BOOL GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) {
  if (nSize == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string name;
  const char* forced = std::getenv("HALYARD_COMPUTERNAME");
  if (forced != nullptr) {
    name = forced;
  } else {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) name = host;
    std::size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
  }
  if (name.size() > MAX_COMPUTERNAME_LENGTH) name.resize(MAX_COMPUTERNAME_LENGTH);
  halyard::MakeAsciiUpper(name);
  if (name.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (lpBuffer == nullptr || *nSize < name.size() + 1) {
    *nSize = static_cast<DWORD>(name.size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::memcpy(lpBuffer, name.c_str(), name.size() + 1);
  *nSize = static_cast<DWORD>(name.size());
  return TRUE;
}

BOOL GlobalMemoryStatusEx(LPMEMORYSTATUSEX out) {
  if (out == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct sysinfo si;
  if (::sysinfo(&si) != 0) {
    halyard::SetLastErrorFromErrno();
    return FALSE;
  }
  unsigned long long unit = si.mem_unit == 0 ? 1 : si.mem_unit;
  unsigned long long total = si.totalram * unit;
  unsigned long long avail = (si.freeram + si.bufferram) * unit;
  if (avail > total) avail = total;
  out->dwLength = sizeof(MEMORYSTATUSEX);
  out->dwMemoryLoad = total == 0 ? 0 : static_cast<DWORD>((total - avail) * 100 / total);
  out->ullTotalPhys = total;
  out->ullAvailPhys = avail;
  out->ullTotalPageFile = total + si.totalswap * unit;
  out->ullAvailPageFile = avail + si.freeswap * unit;
  // The user address space of a 32-bit process: 2 GiB less the guard regions.
  out->ullTotalVirtual = 0x7FFE0000ull;
  out->ullAvailVirtual = 0x7FFE0000ull;
  out->ullAvailExtendedVirtual = 0;
  return TRUE;
}

void GlobalMemoryStatus(LPMEMORYSTATUS out) {
  if (out == nullptr) return;
  MEMORYSTATUSEX ex;
  if (!GlobalMemoryStatusEx(&ex)) {
    std::memset(out, 0, sizeof *out);
    out->dwLength = sizeof(MEMORYSTATUS);
    return;
  }
  out->dwLength = sizeof(MEMORYSTATUS);
  out->dwMemoryLoad = ex.dwMemoryLoad;
  out->dwTotalPhys = Cap32(ex.ullTotalPhys);
  out->dwAvailPhys = Cap32(ex.ullAvailPhys);
  out->dwTotalPageFile = Cap32(ex.ullTotalPageFile);
  out->dwAvailPageFile = Cap32(ex.ullAvailPageFile);
  out->dwTotalVirtual = Cap32(ex.ullTotalVirtual);
  out->dwAvailVirtual = Cap32(ex.ullAvailVirtual);
}
