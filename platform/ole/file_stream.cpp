#include "file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/kernel/win_error.h"
#include "platform/kernel/win_path.h"
#include "platform/kernel/win_time.h"
#include "bstr.h"
#include "code_page.h"
#include "com_memory.h"

namespace halyard::ole {
namespace {

HRESULT FromErrno(int err) { return HRESULT_FROM_WIN32(halyard::WinErrorFromErrno(err)); }

bool Writable(DWORD mode) { return (mode & (STGM_WRITE | STGM_READWRITE)) != 0; }

}  // namespace

FileStream::FileStream(int fd, DWORD mode, std::string winPath)
    : fd_(fd), mode_(mode), winPath_(std::move(winPath)) {}

FileStream::~FileStream() { ::close(fd_); }

HRESULT FileStream::Open(const std::string& winPath, DWORD grfMode, IStream** ppstm) {
  if (ppstm == nullptr) return E_INVALIDARG;
  *ppstm = nullptr;
  if (grfMode & (STGM_TRANSACTED | STGM_DELETEONRELEASE)) return STG_E_INVALIDFLAG;
  if ((grfMode & 3) == 3) return STG_E_INVALIDFLAG;
  const std::string host = halyard::MapWinPath(winPath);
  if (host.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  int flags = O_CLOEXEC;
  if (grfMode & STGM_READWRITE) {
    flags |= O_RDWR;
  } else if (grfMode & STGM_WRITE) {
    flags |= O_WRONLY;
  } else {
    flags |= O_RDONLY;
  }
  if (grfMode & STGM_CREATE) flags |= O_CREAT | O_TRUNC;
  const int fd = ::open(host.c_str(), flags, 0666);
  if (fd < 0) return FromErrno(errno);
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
  }
  auto* stream = new (std::nothrow) FileStream(fd, grfMode, winPath);
  if (stream == nullptr) {
    ::close(fd);
    return E_OUTOFMEMORY;
  }
  *ppstm = stream;
  return S_OK;
}

HRESULT FileStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (pcbRead != nullptr) *pcbRead = 0;
  if (pv == nullptr && cb != 0) return STG_E_INVALIDPOINTER;
  if ((mode_ & STGM_WRITE) != 0) return STG_E_ACCESSDENIED;
  ULONG done = 0;
  while (done < cb) {
    const ssize_t n = ::read(fd_, static_cast<BYTE*>(pv) + done, cb - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (pcbRead != nullptr) *pcbRead = done;
      return STG_E_READFAULT;
    }
    if (n == 0) break;
    done += static_cast<ULONG>(n);
  }
  if (pcbRead != nullptr) *pcbRead = done;
  return S_OK;
}

HRESULT FileStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (pcbWritten != nullptr) *pcbWritten = 0;
  if (pv == nullptr && cb != 0) return STG_E_INVALIDPOINTER;
  if (!Writable(mode_)) return STG_E_ACCESSDENIED;
  ULONG done = 0;
  while (done < cb) {
    const ssize_t n = ::write(fd_, static_cast<const BYTE*>(pv) + done, cb - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (pcbWritten != nullptr) *pcbWritten = done;
      return errno == ENOSPC ? STG_E_MEDIUMFULL : STG_E_WRITEFAULT;
    }
    done += static_cast<ULONG>(n);
  }
  if (pcbWritten != nullptr) *pcbWritten = done;
  return S_OK;
}

HRESULT FileStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) {
  int whence;
  switch (dwOrigin) {
    case STREAM_SEEK_SET:
      whence = SEEK_SET;
      break;
    case STREAM_SEEK_CUR:
      whence = SEEK_CUR;
      break;
    case STREAM_SEEK_END:
      whence = SEEK_END;
      break;
    default:
      return STG_E_INVALIDFUNCTION;
  }
  const off_t pos = ::lseek(fd_, static_cast<off_t>(dlibMove.QuadPart), whence);
  if (pos < 0) return STG_E_INVALIDFUNCTION;
  if (plibNewPosition != nullptr) plibNewPosition->QuadPart = static_cast<ULONGLONG>(pos);
  return S_OK;
}

HRESULT FileStream::SetSize(ULARGE_INTEGER libNewSize) {
  if (!Writable(mode_)) return STG_E_ACCESSDENIED;
  if (libNewSize.QuadPart > static_cast<ULONGLONG>(INT64_MAX)) return STG_E_INVALIDFUNCTION;
  if (::ftruncate(fd_, static_cast<off_t>(libNewSize.QuadPart)) != 0) {
    return errno == EFBIG || errno == ENOSPC ? STG_E_MEDIUMFULL : STG_E_WRITEFAULT;
  }
  return S_OK;
}

HRESULT FileStream::Commit(DWORD) {
  if (Writable(mode_) && ::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
    return STG_E_WRITEFAULT;
  }
  return S_OK;
}

HRESULT FileStream::Revert() { return S_OK; }

HRESULT FileStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT FileStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT FileStream::Stat(STATSTG* pstatstg, DWORD grfStatFlag) {
  if (pstatstg == nullptr) return STG_E_INVALIDPOINTER;
  struct stat st;
  if (::fstat(fd_, &st) != 0) return FromErrno(errno);
  std::memset(pstatstg, 0, sizeof(*pstatstg));
  pstatstg->type = STGTY_STREAM;
  pstatstg->cbSize.QuadPart = static_cast<ULONGLONG>(st.st_size);
  pstatstg->mtime = halyard::FileTimeFromTimespec(st.st_mtim);
  pstatstg->atime = halyard::FileTimeFromTimespec(st.st_atim);
  pstatstg->ctime = halyard::FileTimeFromTimespec(st.st_ctim);
  pstatstg->grfMode = mode_;
  if ((grfStatFlag & STATFLAG_NONAME) == 0) {
    // The name is the last component of the path, as the shell's file streams report it.
    const size_t cut = winPath_.find_last_of("\\/:");
    const std::u16string name =
        AnsiToWide(cut == std::string::npos ? winPath_ : winPath_.substr(cut + 1));
    pstatstg->pwcsName = CoTaskStrDup(name.c_str());
    if (pstatstg->pwcsName == nullptr) return STG_E_INSUFFICIENTMEMORY;
  }
  return S_OK;
}

HRESULT FileStream::Clone(IStream** ppstm) {
  if (ppstm != nullptr) *ppstm = nullptr;
  return E_NOTIMPL;
}

}  // namespace halyard::ole

HRESULT SHCreateStreamOnFileA(LPCSTR pszFile, DWORD grfMode, IStream** ppstm) {
  if (pszFile == nullptr) {
    if (ppstm != nullptr) *ppstm = nullptr;
    return E_INVALIDARG;
  }
  return halyard::ole::FileStream::Open(pszFile, grfMode, ppstm);
}
