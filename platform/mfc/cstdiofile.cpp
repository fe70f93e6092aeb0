#include "cstdiofile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/kernel/win_file.h"
#include "platform/kernel/win_path.h"
#include "cfileexception.h"

IMPLEMENT_DYNAMIC(CStdioFile, CFile)

CStdioFile::CStdioFile() : m_pStream(nullptr) {}

CStdioFile::CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags) : CStdioFile() {
  CFileException e;
  if (!Open(lpszFileName, nOpenFlags, &e))
    AfxThrowFileException(e.m_cause, e.m_lOsError, e.m_strFileName);
}

CStdioFile::~CStdioFile() {
  if (stream_) Abort();
}

BOOL CStdioFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
  if (stream_) Abort();
  // CFile opens the handle (so creation and truncation follow the open flags); the stream
  // then buffers it in text or binary mode.
  CFile raw;
  if (!raw.CFile::Open(lpszFileName, nOpenFlags & ~(UINT)(typeText | typeBinary), pError))
    return FALSE;
  int fd = raw.m_hFile;
  raw.m_hFile = hFileNull;
  bool text = !(nOpenFlags & typeBinary);
  stream_ = std::make_unique<halyard::WinFile>(fd, text, true);
  m_pStream = stream_.get();
  m_hFile = fd;
  m_bCloseOnDelete = TRUE;
  m_strFileName = lpszFileName;
  return TRUE;
}

void CStdioFile::ThrowStreamError(int cause) const {
  LONG os = CFileException::ErrnoToOsError(errno);
  AfxThrowFileException(cause, os, m_strFileName);
}

BOOL CStdioFile::ReadString(CString& rString) {
  std::string line;
  bool sawNewline = false;
  bool got = m_pStream->GetLine(line, std::string::npos, &sawNewline);
  if (m_pStream->Error()) ThrowStreamError(CFileException::generic);
  if (line.size() > 0x7FFFFFFE) AfxThrowFileException(CFileException::generic, 8, m_strFileName);
  rString = CString(line.data(), (int)line.size());
  return got ? TRUE : FALSE;
}

LPTSTR CStdioFile::ReadString(LPTSTR lpsz, UINT nMax) {
  if (lpsz == nullptr || nMax == 0) return nullptr;
  UINT n = 0;
  while (n + 1 < nMax) {
    int c = m_pStream->GetC();
    if (c < 0) break;
    lpsz[n++] = (char)c;
    if (c == '\n') break;
  }
  if (m_pStream->Error()) ThrowStreamError(CFileException::generic);
  lpsz[n] = '\0';
  return (n == 0 && nMax > 1) ? nullptr : lpsz;
}

void CStdioFile::WriteString(LPCTSTR lpsz) {
  if (lpsz == nullptr) return;
  if (!m_pStream->Write(lpsz, std::strlen(lpsz))) ThrowStreamError(CFileException::diskFull);
}

UINT CStdioFile::Read(void* lpBuf, UINT nCount) {
  if (nCount == 0) return 0;
  std::size_t n = m_pStream->Read(lpBuf, nCount);
  if (n < nCount && m_pStream->Error()) ThrowStreamError(CFileException::generic);
  return (UINT)n;
}

void CStdioFile::Write(const void* lpBuf, UINT nCount) {
  if (!m_pStream->Write(lpBuf, nCount)) ThrowStreamError(CFileException::diskFull);
}

LONG CStdioFile::Seek(LONG lOff, UINT nFrom) {
  int whence = nFrom == current ? SEEK_CUR : (nFrom == end ? SEEK_END : SEEK_SET);
  if (nFrom > end || !m_pStream->Seek(lOff, whence)) ThrowStreamError(CFileException::badSeek);
  std::int64_t at = m_pStream->Tell();
  if (at < 0) ThrowStreamError(CFileException::badSeek);
  return (LONG)(DWORD)at;
}

DWORD CStdioFile::GetPosition() const {
  std::int64_t at = m_pStream->Tell();
  if (at < 0) ThrowStreamError(CFileException::invalidFile);
  return (DWORD)at;
}

DWORD CStdioFile::GetLength() const {
  // Pending writes count, so flush them before asking the system.
  if (!m_pStream->Flush()) ThrowStreamError(CFileException::diskFull);
  struct stat st;
  if (::fstat(m_pStream->Fd(), &st) != 0) ThrowStreamError(CFileException::invalidFile);
  return (DWORD)st.st_size;
}

void CStdioFile::SetLength(DWORD dwNewLen) {
  if (!m_pStream->Truncate(dwNewLen)) ThrowStreamError(CFileException::generic);
}

void CStdioFile::Flush() {
  if (m_pStream && !m_pStream->Flush()) ThrowStreamError(CFileException::diskFull);
}

void CStdioFile::Close() {
  if (!stream_) return;
  bool ok = m_pStream->Close();
  int err = errno;
  stream_.reset();
  m_pStream = nullptr;
  m_hFile = hFileNull;
  m_bCloseOnDelete = FALSE;
  CString name = m_strFileName;
  m_strFileName.Empty();
  if (!ok)
    AfxThrowFileException(CFileException::diskFull, CFileException::ErrnoToOsError(err), name);
}

void CStdioFile::Abort() {
  if (stream_) m_pStream->Close();
  stream_.reset();
  m_pStream = nullptr;
  m_hFile = hFileNull;
  m_bCloseOnDelete = FALSE;
  m_strFileName.Empty();
}
