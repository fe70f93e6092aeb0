// An IStream over a file, as SHCreateStreamOnFile gives on Windows. The path is a Windows path
// (mapped by the kernel's path rules). STGM_READ opens for reading only, STGM_WRITE and
// STGM_READWRITE for writing; STGM_CREATE creates the file or empties an existing one, without
// it the file must exist. Writes go straight to the file; Commit flushes them to the disk.
#pragma once

#include <string>

#include "stream.h"

// Failures: HRESULT_FROM_WIN32 of the system error (ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
// ERROR_ACCESS_DENIED...), STG_E_INVALIDFLAG for transacted or delete-on-release modes.
HRESULT SHCreateStreamOnFileA(LPCSTR pszFile, DWORD grfMode, IStream** ppstm);

namespace halyard::ole {

class FileStream final : public StreamBase {
 public:
  static HRESULT Open(const std::string& winPath, DWORD grfMode, IStream** ppstm);

  HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override;
  HRESULT SetSize(ULARGE_INTEGER libNewSize) override;
  HRESULT Commit(DWORD grfCommitFlags) override;
  HRESULT Revert() override;
  HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
  HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
  HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
  HRESULT Clone(IStream** ppstm) override;

 private:
  FileStream(int fd, DWORD mode, std::string winPath);
  ~FileStream() override;

  int fd_;
  DWORD mode_;
  std::string winPath_;
};

}  // namespace halyard::ole
