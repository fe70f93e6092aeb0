#include "cmemfile.h"

#include <cstdlib>
#include <cstring>

#include "cfileexception.h"
#include "cmemoryexception.h"

IMPLEMENT_DYNAMIC(CMemFile, CFile)

CMemFile::CMemFile(UINT nGrowBytes)
    : m_nGrowBytes(nGrowBytes),
      m_nPosition(0),
      m_nBufferSize(0),
      m_nFileSize(0),
      m_lpBuffer(nullptr),
      m_bAutoDelete(TRUE) {}

CMemFile::CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) : CMemFile(nGrowBytes) {
  Attach(lpBuffer, nBufferSize, nGrowBytes);
}

CMemFile::~CMemFile() { Close(); }

void CMemFile::Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes) {
  Close();
  m_lpBuffer = lpBuffer;
  m_nBufferSize = lpBuffer ? nBufferSize : 0;
  m_nGrowBytes = nGrowBytes;
  m_nPosition = 0;
  // Without a growth step the attached bytes are the file's contents.
  m_nFileSize = nGrowBytes == 0 ? m_nBufferSize : 0;
  m_bAutoDelete = FALSE;
}

BYTE* CMemFile::Detach() {
  BYTE* p = m_lpBuffer;
  m_lpBuffer = nullptr;
  m_nFileSize = m_nBufferSize = m_nPosition = 0;
  m_bAutoDelete = TRUE;
  return p;
}

BYTE* CMemFile::Alloc(DWORD nBytes) { return static_cast<BYTE*>(std::malloc(nBytes ? nBytes : 1)); }

BYTE* CMemFile::Realloc(BYTE* lpMem, DWORD nBytes) {
  return static_cast<BYTE*>(std::realloc(lpMem, nBytes ? nBytes : 1));
}

void CMemFile::Free(BYTE* lpMem) { std::free(lpMem); }

BYTE* CMemFile::Memcpy(BYTE* lpMemTarget, const BYTE* lpMemSource, UINT nBytes) {
  if (nBytes) std::memmove(lpMemTarget, lpMemSource, nBytes);
  return lpMemTarget;
}

void CMemFile::GrowFile(DWORD dwNewLen) {
  if (dwNewLen <= m_nBufferSize) return;
  if (m_nGrowBytes == 0) AfxThrowMemoryException();
  unsigned long long size = m_nBufferSize;
  while (size < dwNewLen) size += m_nGrowBytes;
  if (size > 0xFFFFFFFFull) size = 0xFFFFFFFFull;
  BYTE* p;
  if (m_bAutoDelete) {
    p = Realloc(m_lpBuffer, (DWORD)size);
  } else {
    // The caller's block stays the caller's: move to one of our own.
    p = Alloc((DWORD)size);
    if (p && m_nFileSize) Memcpy(p, m_lpBuffer, m_nFileSize);
  }
  if (p == nullptr) AfxThrowMemoryException();
  m_lpBuffer = p;
  m_nBufferSize = (DWORD)size;
  m_bAutoDelete = TRUE;
}

UINT CMemFile::Read(void* lpBuf, UINT nCount) {
  if (nCount == 0 || m_nPosition >= m_nFileSize) return 0;
  UINT n = m_nFileSize - m_nPosition;
  if (n > nCount) n = nCount;
  Memcpy(static_cast<BYTE*>(lpBuf), m_lpBuffer + m_nPosition, n);
  m_nPosition += n;
  return n;
}

void CMemFile::Write(const void* lpBuf, UINT nCount) {
  if (nCount == 0) return;
  unsigned long long end = (unsigned long long)m_nPosition + nCount;
  if (end > 0xFFFFFFFFull) AfxThrowFileException(CFileException::diskFull, 112, m_strFileName);
  if (end > m_nBufferSize) GrowFile((DWORD)end);
  if (m_nPosition > m_nFileSize)
    std::memset(m_lpBuffer + m_nFileSize, 0, m_nPosition - m_nFileSize);
  Memcpy(m_lpBuffer + m_nPosition, static_cast<const BYTE*>(lpBuf), nCount);
  m_nPosition = (DWORD)end;
  if (m_nPosition > m_nFileSize) m_nFileSize = m_nPosition;
}

LONG CMemFile::Seek(LONG lOff, UINT nFrom) {
  long long base = nFrom == current ? (long long)m_nPosition
                   : nFrom == end   ? (long long)m_nFileSize
                                    : 0;
  if (nFrom > end) AfxThrowFileException(CFileException::badSeek, 87, m_strFileName);
  long long target = base + lOff;
  if (target < 0 || target > 0xFFFFFFFFll)
    AfxThrowFileException(CFileException::badSeek, 131, m_strFileName);
  m_nPosition = (DWORD)target;
  return (LONG)m_nPosition;
}

void CMemFile::SetLength(DWORD dwNewLen) {
  if (dwNewLen > m_nBufferSize) GrowFile(dwNewLen);
  if (dwNewLen > m_nFileSize) std::memset(m_lpBuffer + m_nFileSize, 0, dwNewLen - m_nFileSize);
  if (dwNewLen < m_nPosition) m_nPosition = dwNewLen;
  m_nFileSize = dwNewLen;
}

void CMemFile::Close() {
  if (m_lpBuffer && m_bAutoDelete) Free(m_lpBuffer);
  m_lpBuffer = nullptr;
  m_nBufferSize = m_nFileSize = m_nPosition = 0;
  m_bAutoDelete = TRUE;
}
