// COleStreamFile: a CFile over an IStream, so that code written against files (CArchive,
// text writers) reads and writes a COM stream. An attached stream stays the caller's: the
// file neither releases it on destruction nor after Detach; Close releases it, and a stream
// the file created itself (CreateMemoryStream) is released when the file goes. Stream
// failures become CFileException (CMemoryException when memory ran out), with the status code
// as the error code. Used from one thread at a time, like the stream.
#pragma once

#include "platform/mfc/cfile.h"
#include "platform/mfc/cfileexception.h"
#include "stream.h"

class COleStreamFile : public CFile {
  DECLARE_DYNAMIC(COleStreamFile)

 public:
  explicit COleStreamFile(LPSTREAM lpStream = nullptr);
  ~COleStreamFile() override;

  void Attach(LPSTREAM lpStream);
  LPSTREAM Detach();
  IStream* GetStream() const { return m_lpStream; }
  // A new memory stream that the file owns; FALSE (with the cause in *pError) on failure.
  BOOL CreateMemoryStream(CFileException* pError = nullptr);

  UINT Read(void* lpBuf, UINT nCount) override;
  void Write(const void* lpBuf, UINT nCount) override;
  LONG Seek(LONG lOff, UINT nFrom) override;
  DWORD GetPosition() const override;
  DWORD GetLength() const override;
  void SetLength(DWORD dwNewLen) override;
  void Flush() override;
  void Close() override;
  void Abort() override;
  BOOL Open(LPCTSTR, UINT, CFileException* = nullptr) override { return FALSE; }

  // Throws the file exception that matches a failed stream status; nothing for a success.
  static void ThrowStreamError(HRESULT sc);

 protected:
  LPSTREAM m_lpStream;
};
