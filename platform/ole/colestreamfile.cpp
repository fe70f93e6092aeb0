#include "colestreamfile.h"

#include "platform/mfc/cmemoryexception.h"
#include "memory_stream.h"

IMPLEMENT_DYNAMIC(COleStreamFile, CFile)

namespace {

int CauseOf(HRESULT sc) {
  switch (sc) {
    case STG_E_FILENOTFOUND:
      return CFileException::fileNotFound;
    case STG_E_PATHNOTFOUND:
      return CFileException::badPath;
    case STG_E_TOOMANYOPENFILES:
      return CFileException::tooManyOpenFiles;
    case STG_E_ACCESSDENIED:
    case STG_E_INVALIDFUNCTION:
      return CFileException::accessDenied;
    case STG_E_INVALIDHANDLE:
      return CFileException::invalidFile;
    case STG_E_SEEKERROR:
      return CFileException::badSeek;
    case STG_E_READFAULT:
    case STG_E_WRITEFAULT:
      return CFileException::hardIO;
    case STG_E_SHAREVIOLATION:
      return CFileException::sharingViolation;
    case STG_E_LOCKVIOLATION:
      return CFileException::lockViolation;
    case STG_E_MEDIUMFULL:
      return CFileException::diskFull;
    default:
      return CFileException::generic;
  }
}

}  // namespace

COleStreamFile::COleStreamFile(LPSTREAM lpStream) : m_lpStream(lpStream) {
  m_bCloseOnDelete = FALSE;
}

COleStreamFile::~COleStreamFile() {
  if (m_lpStream != nullptr && m_bCloseOnDelete) Abort();
  m_lpStream = nullptr;
  m_bCloseOnDelete = FALSE;
}

void COleStreamFile::ThrowStreamError(HRESULT sc) {
  if (SUCCEEDED(sc)) return;
  if (sc == STG_E_INSUFFICIENTMEMORY || sc == E_OUTOFMEMORY) AfxThrowMemoryException();
  AfxThrowFileException(CauseOf(sc), sc);
}

void COleStreamFile::Attach(LPSTREAM lpStream) {
  m_lpStream = lpStream;
  m_bCloseOnDelete = FALSE;
}

LPSTREAM COleStreamFile::Detach() {
  LPSTREAM stream = m_lpStream;
  m_lpStream = nullptr;
  m_bCloseOnDelete = FALSE;
  return stream;
}

BOOL COleStreamFile::CreateMemoryStream(CFileException* pError) {
  LPSTREAM stream = nullptr;
  const HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (FAILED(hr)) {
    if (pError != nullptr) {
      pError->m_cause = CauseOf(hr);
      pError->m_lOsError = hr;
    }
    return FALSE;
  }
  m_lpStream = stream;
  m_bCloseOnDelete = TRUE;
  return TRUE;
}

UINT COleStreamFile::Read(void* lpBuf, UINT nCount) {
  if (m_lpStream == nullptr) AfxThrowFileException(CFileException::invalidFile);
  ULONG got = 0;
  ThrowStreamError(m_lpStream->Read(lpBuf, nCount, &got));
  return got;
}

void COleStreamFile::Write(const void* lpBuf, UINT nCount) {
  if (m_lpStream == nullptr) AfxThrowFileException(CFileException::invalidFile);
  ULONG put = 0;
  ThrowStreamError(m_lpStream->Write(lpBuf, nCount, &put));
  if (put != nCount) AfxThrowFileException(CFileException::diskFull);
}

LONG COleStreamFile::Seek(LONG lOff, UINT nFrom) {
  if (m_lpStream == nullptr) AfxThrowFileException(CFileException::invalidFile);
  LARGE_INTEGER move;
  move.QuadPart = lOff;
  ULARGE_INTEGER at;
  const HRESULT hr = m_lpStream->Seek(move, nFrom, &at);
  if (hr != S_OK) ThrowStreamError(FAILED(hr) ? hr : STG_E_SEEKERROR);
  return static_cast<LONG>(at.LowPart);
}

DWORD COleStreamFile::GetPosition() const {
  if (m_lpStream == nullptr) AfxThrowFileException(CFileException::invalidFile);
  LARGE_INTEGER none;
  none.QuadPart = 0;
  ULARGE_INTEGER at;
  ThrowStreamError(m_lpStream->Seek(none, STREAM_SEEK_CUR, &at));
  return at.LowPart;
}

DWORD COleStreamFile::GetLength() const {
  if (m_lpStream == nullptr) AfxThrowFileException(CFileException::invalidFile);
  STATSTG st;
  ThrowStreamError(m_lpStream->Stat(&st, STATFLAG_NONAME));
  return st.cbSize.LowPart;
}

void COleStreamFile::SetLength(DWORD dwNewLen) {
  if (m_lpStream == nullptr) AfxThrowFileException(CFileException::invalidFile);
  ULARGE_INTEGER size;
  size.QuadPart = dwNewLen;
  ThrowStreamError(m_lpStream->SetSize(size));
}

void COleStreamFile::Flush() {
  if (m_lpStream != nullptr) ThrowStreamError(m_lpStream->Commit(STGC_DEFAULT));
}

void COleStreamFile::Close() {
  if (m_lpStream != nullptr) {
    m_lpStream->Release();
    m_lpStream = nullptr;
  }
  m_bCloseOnDelete = FALSE;
}

void COleStreamFile::Abort() { Close(); }
