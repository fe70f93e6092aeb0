// CMemFile: a file held in memory. It either owns a block that it grows in steps of nGrowBytes
// (allocated with malloc, so a detached block is released with free), or works on memory the
// caller attached. Attached memory is never freed by the file: with a growth step of 0 the file
// is exactly the attached bytes and cannot grow (growing throws CMemoryException); with a
// growth step the file starts empty and, when it outgrows the attached block, moves to a block
// of its own, leaving the caller's block untouched. Detach hands the current block to the
// caller. A CMemFile belongs to one thread at a time.
#pragma once

#include "cfile.h"

class CMemFile : public CFile {
  DECLARE_DYNAMIC(CMemFile)

 public:
  explicit CMemFile(UINT nGrowBytes = 1024);
  CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0);
  ~CMemFile() override;

  void Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0);
  // The current block; the file forgets it (length 0) and will not free it.
  BYTE* Detach();

  UINT Read(void* lpBuf, UINT nCount) override;
  void Write(const void* lpBuf, UINT nCount) override;
  // Positions past the end are allowed; a later write fills the gap with zero bytes.
  LONG Seek(LONG lOff, UINT nFrom) override;
  DWORD GetPosition() const override { return m_nPosition; }
  DWORD GetLength() const override { return m_nFileSize; }
  void SetLength(DWORD dwNewLen) override;
  void Flush() override {}
  void Close() override;
  void Abort() override { Close(); }

  // Opening by name makes no sense for memory; always FALSE.
  BOOL Open(LPCTSTR, UINT, CFileException* = nullptr) override { return FALSE; }

 protected:
  virtual BYTE* Alloc(DWORD nBytes);
  virtual BYTE* Realloc(BYTE* lpMem, DWORD nBytes);
  virtual void Free(BYTE* lpMem);
  virtual BYTE* Memcpy(BYTE* lpMemTarget, const BYTE* lpMemSource, UINT nBytes);
  // Makes the block at least dwNewLen bytes long.
  virtual void GrowFile(DWORD dwNewLen);

  UINT m_nGrowBytes;
  DWORD m_nPosition;
  DWORD m_nBufferSize;
  DWORD m_nFileSize;
  BYTE* m_lpBuffer;
  BOOL m_bAutoDelete;  // the block is the file's own
};
