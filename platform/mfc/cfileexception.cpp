#include "cfileexception.h"

#include <cerrno>

#include "platform/kernel/win_error.h"

IMPLEMENT_DYNAMIC(CFileException, CException)

namespace {

// Win32 error codes the file classes report.
enum : LONG {
  kErrorSuccess = 0,
  kErrorInvalidFunction = 1,
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorTooManyOpenFiles = 4,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorBadFormat = 11,
  kErrorInvalidAccess = 12,
  kErrorInvalidDrive = 15,
  kErrorCurrentDirectory = 16,
  kErrorNotSameDevice = 17,
  kErrorNoMoreFiles = 18,
  kErrorWriteProtect = 19,
  kErrorBadUnit = 20,
  kErrorNotReady = 21,
  kErrorBadCommand = 22,
  kErrorCrc = 23,
  kErrorBadLength = 24,
  kErrorSeek = 25,
  kErrorNotDosDisk = 26,
  kErrorSectorNotFound = 27,
  kErrorWriteFault = 29,
  kErrorReadFault = 30,
  kErrorSharingViolation = 32,
  kErrorLockViolation = 33,
  kErrorWrongDisk = 34,
  kErrorSharingBufferExceeded = 36,
  kErrorHandleEof = 38,
  kErrorHandleDiskFull = 39,
  kErrorNotSupported = 50,
  kErrorBadNetpath = 53,
  kErrorFileExists = 80,
  kErrorCannotMake = 82,
  kErrorInvalidParameter = 87,
  kErrorBrokenPipe = 109,
  kErrorDiskFull = 112,
  kErrorInvalidName = 123,
  kErrorNegativeSeek = 131,
  kErrorDirNotEmpty = 145,
  kErrorBadPathname = 161,
  kErrorLockFailed = 167,
  kErrorBusy = 170,
  kErrorAlreadyExists = 183,
  kErrorFilenameExcedRange = 206,
  kErrorDirectory = 267,
  kErrorIoDevice = 1117,
};

}  // namespace

int CFileException::OsErrorToException(LONG lOsError) {
  switch (lOsError) {
    case kErrorSuccess:
      return none;
    case kErrorFileNotFound:
    case kErrorInvalidHandle:
    case kErrorNoMoreFiles:
      return fileNotFound;
    case kErrorPathNotFound:
    case kErrorInvalidDrive:
    case kErrorNotSameDevice:
    case kErrorWrongDisk:
    case kErrorBadNetpath:
    case kErrorInvalidName:
    case kErrorBadPathname:
    case kErrorFilenameExcedRange:
    case kErrorDirectory:
      return badPath;
    case kErrorTooManyOpenFiles:
    case kErrorSharingBufferExceeded:
      return tooManyOpenFiles;
    case kErrorAccessDenied:
    case kErrorInvalidAccess:
    case kErrorWriteProtect:
    case kErrorWriteFault:
    case kErrorFileExists:
    case kErrorCannotMake:
    case kErrorBusy:
    case kErrorAlreadyExists:
      return accessDenied;
    case kErrorBadFormat:
    case kErrorNotDosDisk:
      return invalidFile;
    case kErrorCurrentDirectory:
    case kErrorDirNotEmpty:
      return removeCurrentDir;
    case kErrorBadUnit:
    case kErrorNotReady:
    case kErrorBadCommand:
    case kErrorCrc:
    case kErrorIoDevice:
      return hardIO;
    case kErrorBadLength:
    case kErrorSeek:
    case kErrorSectorNotFound:
    case kErrorReadFault:
    case kErrorNegativeSeek:
      return badSeek;
    case kErrorSharingViolation:
      return sharingViolation;
    case kErrorLockViolation:
    case kErrorLockFailed:
      return lockViolation;
    case kErrorHandleEof:
      return endOfFile;
    case kErrorHandleDiskFull:
    case kErrorDiskFull:
      return diskFull;
    default:
      return generic;
  }
}

LONG CFileException::ErrnoToOsError(int nErrno) {
  // One mapping for the whole platform layer, so that a file exception carries the same code
  // as GetLastError would after the kernel functions.
  return (LONG)halyard::WinErrorFromErrno(nErrno);
}

int CFileException::ErrnoToException(int nErrno) {
  switch (nErrno) {
    case EPERM:
    case EACCES:
      return accessDenied;
    case EBADF:
      return invalidFile;
    case EDEADLK:
      return sharingViolation;
    case EMFILE:
      return tooManyOpenFiles;
    case ENOENT:
    case ENFILE:
      return fileNotFound;
    case ENOSPC:
      return diskFull;
    case EINVAL:
    case EIO:
      return hardIO;
    default:
      return generic;
  }
}

void CFileException::ThrowOsError(LONG lOsError, LPCTSTR lpszFileName) {
  throw new CFileException(OsErrorToException(lOsError), lOsError, lpszFileName);
}

void CFileException::ThrowErrno(int nErrno, LPCTSTR lpszFileName) {
  throw new CFileException(ErrnoToException(nErrno), nErrno, lpszFileName);
}

BOOL CFileException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext) *pnHelpContext = 0;
  static const char* const kTexts[] = {
      "No error occurred.",
      "An unexpected error occurred while accessing the file.",
      "The file was not found.",
      "The path is invalid.",
      "Too many files are open.",
      "Access to the file was denied.",
      "An invalid file handle was used.",
      "The current working directory cannot be removed.",
      "The directory is full.",
      "An error occurred while setting the file position.",
      "A hardware error occurred while accessing the file.",
      "A sharing violation occurred while accessing the file.",
      "A locking violation occurred while accessing the file.",
      "The disk is full.",
      "Tried to access past the end of the file.",
  };
  const char* text = (m_cause >= 0 && m_cause <= endOfFile) ? kTexts[m_cause] : kTexts[generic];
  CString msg(text);
  if (!m_strFileName.IsEmpty()) msg = m_strFileName + ": " + msg;
  return CopyMessage(msg, lpszError, nMaxError);
}

void AfxThrowFileException(int cause, LONG lOsError, LPCTSTR lpszFileName) {
  throw new CFileException(cause, lOsError, lpszFileName);
}
