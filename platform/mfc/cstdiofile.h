// CStdioFile: a buffered file, in text mode unless typeBinary is given. In text mode a line
// feed is written as CR LF and CR LF reads as a line feed (a lone CR is kept); positions are
// byte offsets in the file. Built on the kernel layer's WinFile. One thread at a time.
#pragma once

#include <memory>

#include "cfile.h"

namespace halyard {
class WinFile;
}

class CStdioFile : public CFile {
  DECLARE_DYNAMIC(CStdioFile)

 public:
  CStdioFile();
  // Opens or throws CFileException.
  CStdioFile(LPCTSTR lpszFileName, UINT nOpenFlags);
  ~CStdioFile() override;

  BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr) override;

  // Reads one line without its line feed. FALSE only when the file was at its end and
  // nothing was read.
  virtual BOOL ReadString(CString& rString);
  // Reads at most nMax - 1 characters, up to and including a line feed, and terminates them
  // (fgets). Null at the end of the file.
  virtual LPTSTR ReadString(LPTSTR lpsz, UINT nMax);
  virtual void WriteString(LPCTSTR lpsz);

  UINT Read(void* lpBuf, UINT nCount) override;
  void Write(const void* lpBuf, UINT nCount) override;
  LONG Seek(LONG lOff, UINT nFrom) override;
  DWORD GetPosition() const override;
  DWORD GetLength() const override;
  void SetLength(DWORD dwNewLen) override;
  void Flush() override;
  void Close() override;
  void Abort() override;

  halyard::WinFile* m_pStream;

 private:
  [[noreturn]] void ThrowStreamError(int cause) const;
  std::unique_ptr<halyard::WinFile> stream_;
};
