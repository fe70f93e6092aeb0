// Raised by the file classes: a portable cause plus the Win32 error code the operating system
// reported, and the name of the file concerned.
#pragma once

#include "cexception.h"
#include "cstring.h"

class CFileException : public CException {
  DECLARE_DYNAMIC(CFileException)

 public:
  enum {
    none,
    generic,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile,
  };
  static constexpr int genericException = generic;

  explicit CFileException(int cause = none, LONG lOsError = -1, LPCTSTR lpszFileName = nullptr)
      : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszFileName) {}

  // Throws a CFileException whose cause is derived from a Win32 error code.
  [[noreturn]] static void ThrowOsError(LONG lOsError, LPCTSTR lpszFileName = nullptr);
  // Throws a CFileException whose cause is derived from a C runtime errno value.
  [[noreturn]] static void ThrowErrno(int nErrno, LPCTSTR lpszFileName = nullptr);
  // The cause for a Win32 error code (generic for codes without a closer cause).
  static int OsErrorToException(LONG lOsError);
  // The cause for a C runtime errno value.
  static int ErrnoToException(int nErrno);
  // The Win32 error code for a host errno value, as the original system would report it.
  static LONG ErrnoToOsError(int nErrno);

  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;

  int m_cause;
  LONG m_lOsError;
  CString m_strFileName;
};

[[noreturn]] void AfxThrowFileException(int cause, LONG lOsError = -1,
                                        LPCTSTR lpszFileName = nullptr);
