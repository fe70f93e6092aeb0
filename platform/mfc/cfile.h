// CFile: an unbuffered binary file on an operating-system handle, opened by Windows path
// (mapped by the kernel layer). Failures throw CFileException carrying the Win32 error code
// the original would report. Positions and lengths are 32-bit, as on the original.
// The base of CMemFile and CStdioFile; a CFile belongs to one thread at a time.
#pragma once

#include "afx_types.h"
#include "cobject.h"
#include "cstring.h"

class CFileException;

class CFile : public CObject {
  DECLARE_DYNAMIC(CFile)

 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };
  enum SeekPosition : UINT { begin = 0x0, current = 0x1, end = 0x2 };
  static constexpr int hFileNull = -1;

  CFile();
  // Wraps an open descriptor; Close closes it.
  explicit CFile(int hFile);
  // Opens or throws CFileException.
  CFile(LPCTSTR lpszFileName, UINT nOpenFlags);
  ~CFile() override;

  // FALSE on failure, with the cause in *pError when given. The share flags are accepted and
  // not enforced.
  virtual BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);

  // Reads up to nCount bytes; fewer only at the end of the file.
  virtual UINT Read(void* lpBuf, UINT nCount);
  // Writes all nCount bytes or throws (diskFull when the space runs out).
  virtual void Write(const void* lpBuf, UINT nCount);
  // Moves the position; the new position from the start. Before the start: badSeek.
  virtual LONG Seek(LONG lOff, UINT nFrom);
  void SeekToBegin() { Seek(0, begin); }
  DWORD SeekToEnd() { return (DWORD)Seek(0, end); }
  virtual DWORD GetPosition() const;
  virtual DWORD GetLength() const;
  virtual void SetLength(DWORD dwNewLen);
  // Writes what the system holds for the file to the disk.
  virtual void Flush();
  virtual void Close();
  // Closes without reporting errors.
  virtual void Abort();

  virtual CString GetFileName() const;
  virtual CString GetFileTitle() const;
  virtual CString GetFilePath() const { return m_strFileName; }
  virtual void SetFilePath(LPCTSTR lpszNewName) { m_strFileName = lpszNewName; }

  // Renames a file; fails (accessDenied) when the new name exists, as MoveFile does.
  static void Rename(LPCTSTR lpszOldName, LPCTSTR lpszNewName);
  static void Remove(LPCTSTR lpszFileName);

  // The open(2) flags for a set of open flags (O_CLOEXEC included).
  static int HostOpenFlags(UINT nOpenFlags);

  int m_hFile;

 protected:
  [[noreturn]] void ThrowLastError() const;
  BOOL m_bCloseOnDelete;
  CString m_strFileName;
};
