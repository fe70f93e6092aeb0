#include "cfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/kernel/win_path.h"
#include "cfileexception.h"

IMPLEMENT_DYNAMIC(CFile, CObject)

CFile::CFile() : m_hFile(hFileNull), m_bCloseOnDelete(FALSE) {}

CFile::CFile(int hFile) : m_hFile(hFile), m_bCloseOnDelete(TRUE) {}

CFile::CFile(LPCTSTR lpszFileName, UINT nOpenFlags) : CFile() {
  CFileException e;
  if (!Open(lpszFileName, nOpenFlags, &e))
    AfxThrowFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
}

CFile::~CFile() {
  if (m_hFile != hFileNull && m_bCloseOnDelete) Abort();
}

int CFile::HostOpenFlags(UINT nOpenFlags) {
  int flags = O_CLOEXEC;
  switch (nOpenFlags & 3) {
    case modeWrite:
      flags |= O_WRONLY;
      break;
    case modeReadWrite:
      flags |= O_RDWR;
      break;
    default:
      flags |= O_RDONLY;
      break;
  }
  if (nOpenFlags & modeCreate) flags |= (nOpenFlags & modeNoTruncate) ? O_CREAT : O_CREAT | O_TRUNC;
  return flags;
}

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  if (m_hFile != hFileNull) Abort();
  m_strFileName = lpszFileName;
  std::string path = halyard::MapWinPath(lpszFileName ? lpszFileName : "");
  int fd = -1;
  int err = ENOENT;
  if (!path.empty()) {
    fd = ::open(path.c_str(), HostOpenFlags(nOpenFlags), 0666);
    err = errno;
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      fd = -1;
      err = EACCES;  // a folder opened as a file is access denied on the original
    }
  }
  if (fd < 0) {
    if (pError) {
      pError->m_lOsError = CFileException::ErrnoToOsError(err);
      pError->m_cause = CFileException::OsErrorToException(pError->m_lOsError);
      pError->m_strFileName = lpszFileName;
    }
    return FALSE;
  }
  m_hFile = fd;
  m_bCloseOnDelete = TRUE;
  return TRUE;
}

void CFile::ThrowLastError() const {
  CFileException::ThrowOsError(CFileException::ErrnoToOsError(errno), m_strFileName);
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
  UINT done = 0;
  auto* p = static_cast<char*>(lpBuf);
  while (done < nCount) {
    ssize_t n = ::read(m_hFile, p + done, nCount - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowLastError();
    }
    if (n == 0) break;
    done += (UINT)n;
  }
  return done;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
  UINT done = 0;
  const auto* p = static_cast<const char*>(lpBuf);
  while (done < nCount) {
    ssize_t n = ::write(m_hFile, p + done, nCount - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowLastError();
    }
    if (n == 0) AfxThrowFileException(CFileException::diskFull, 112, m_strFileName);
    done += (UINT)n;
  }
}

LONG CFile::Seek(LONG lOff, UINT nFrom) {
  int whence = nFrom == current ? SEEK_CUR : (nFrom == end ? SEEK_END : SEEK_SET);
  if (nFrom > end) {
    errno = EINVAL;
    ThrowLastError();
  }
  off_t base = 0;
  if (whence != SEEK_SET) {
    base = ::lseek(m_hFile, 0, whence);
    if (base < 0) ThrowLastError();
  }
  long long target = (long long)base + lOff;
  if (target < 0) CFileException::ThrowOsError(131 /* negative seek */, m_strFileName);
  if (target > 0xFFFFFFFFll) CFileException::ThrowOsError(87, m_strFileName);
  off_t at = ::lseek(m_hFile, (off_t)target, SEEK_SET);
  if (at < 0) ThrowLastError();
  return (LONG)(DWORD)at;
}

DWORD CFile::GetPosition() const {
  off_t at = ::lseek(m_hFile, 0, SEEK_CUR);
  if (at < 0) ThrowLastError();
  return (DWORD)at;
}

DWORD CFile::GetLength() const {
  struct stat st;
  if (::fstat(m_hFile, &st) != 0) ThrowLastError();
  return (DWORD)st.st_size;
}

void CFile::SetLength(DWORD dwNewLen) {
  if (::ftruncate(m_hFile, (off_t)dwNewLen) != 0) ThrowLastError();
}

void CFile::Flush() {
  if (m_hFile == hFileNull) return;
  if (::fdatasync(m_hFile) != 0 && errno != EINVAL && errno != EROFS) ThrowLastError();
}

void CFile::Close() {
  int fd = m_hFile;
  m_hFile = hFileNull;
  m_bCloseOnDelete = FALSE;
  if (fd != hFileNull && ::close(fd) != 0 && errno != EINTR) {
    CFileException::ThrowOsError(CFileException::ErrnoToOsError(errno), m_strFileName);
  }
  m_strFileName.Empty();
}

void CFile::Abort() {
  if (m_hFile != hFileNull) ::close(m_hFile);
  m_hFile = hFileNull;
  m_bCloseOnDelete = FALSE;
  m_strFileName.Empty();
}

CString CFile::GetFileName() const {
  const char* p = m_strFileName;
  const char* name = p;
  for (const char* q = p; *q; ++q)
    if (*q == '\\' || *q == '/' || *q == ':') name = q + 1;
  return CString(name);
}

CString CFile::GetFileTitle() const {
  CString name = GetFileName();
  int dot = name.ReverseFind('.');
  return dot > 0 ? name.Left(dot) : name;
}

void CFile::Rename(LPCTSTR lpszOldName, LPCTSTR lpszNewName) {
  std::string from = halyard::MapWinPath(lpszOldName ? lpszOldName : "");
  std::string to = halyard::MapWinPath(lpszNewName ? lpszNewName : "");
  // MoveFile refuses to replace an existing file.
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  int err = errno;
  if (err == EINVAL || err == ENOSYS) {
    // File systems without the no-replace flag: check, then rename.
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) {
      err = EEXIST;
    } else if (::rename(from.c_str(), to.c_str()) == 0) {
      return;
    } else {
      err = errno;
    }
  }
  // MoveFile names an existing target ERROR_ALREADY_EXISTS.
  CFileException::ThrowOsError(err == EEXIST ? 183 : CFileException::ErrnoToOsError(err),
                               lpszOldName);
}

void CFile::Remove(LPCTSTR lpszFileName) {
  std::string path = halyard::MapWinPath(lpszFileName ? lpszFileName : "");
  if (::unlink(path.c_str()) != 0)
    CFileException::ThrowOsError(CFileException::ErrnoToOsError(errno), lpszFileName);
}
