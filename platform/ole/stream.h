// ISequentialStream and IStream, the byte streams through which COM objects read and write,
// with the STATSTG that Stat fills and the mode and seek constants. Memory and file
// implementations are in memory_stream.h and file_stream.h. A stream object is used from one
// thread at a time; its reference count may be touched from any thread.
#pragma once

#include "unknown.h"

#define STGM_DIRECT 0x00000000L
#define STGM_TRANSACTED 0x00010000L
#define STGM_READ 0x00000000L
#define STGM_WRITE 0x00000001L
#define STGM_READWRITE 0x00000002L
#define STGM_SHARE_DENY_NONE 0x00000040L
#define STGM_SHARE_DENY_READ 0x00000030L
#define STGM_SHARE_DENY_WRITE 0x00000020L
#define STGM_SHARE_EXCLUSIVE 0x00000010L
#define STGM_CREATE 0x00001000L
#define STGM_FAILIFTHERE 0x00000000L
#define STGM_DELETEONRELEASE 0x04000000L

#define STREAM_SEEK_SET 0
#define STREAM_SEEK_CUR 1
#define STREAM_SEEK_END 2

#define STGTY_STORAGE 1
#define STGTY_STREAM 2
#define STGTY_LOCKBYTES 3
#define STGTY_PROPERTY 4

#define STATFLAG_DEFAULT 0
#define STATFLAG_NONAME 1

#define STGC_DEFAULT 0
#define STGC_OVERWRITE 1
#define STGC_ONLYIFCURRENT 2

#define LOCK_WRITE 1
#define LOCK_EXCLUSIVE 2
#define LOCK_ONLYONCE 4

struct STATSTG {
  LPOLESTR pwcsName;  // task memory (CoTaskMemFree); null with STATFLAG_NONAME or no name
  DWORD type;
  ULARGE_INTEGER cbSize;
  FILETIME mtime;
  FILETIME ctime;
  FILETIME atime;
  DWORD grfMode;
  DWORD grfLocksSupported;
  CLSID clsid;
  DWORD grfStateBits;
  DWORD reserved;
};

struct ISequentialStream : IUnknown {
  // Reads up to cb bytes; fewer at the end of the stream, still S_OK. *pcbRead (if given) gets
  // the count read.
  virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;
  virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;
};

struct IStream : ISequentialStream {
  virtual HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) = 0;
  virtual HRESULT SetSize(ULARGE_INTEGER libNewSize) = 0;
  virtual HRESULT CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                         ULARGE_INTEGER* pcbWritten) = 0;
  virtual HRESULT Commit(DWORD grfCommitFlags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  virtual HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;
  virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;
  virtual HRESULT Clone(IStream** ppstm) = 0;
};
using LPSTREAM = IStream*;

namespace halyard::ole {

// Reference counting, QueryInterface for IUnknown, ISequentialStream and IStream, and a CopyTo
// over Read and Write, for the stream implementations.
class StreamBase : public IStream {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                 ULARGE_INTEGER* pcbWritten) override;

 protected:
  StreamBase() = default;
  virtual ~StreamBase() = default;

 private:
  unsigned long refs_ = 1;  // guarded by atomic builtins
};

// Helpers for callers that want whole-value reads and writes.
// Reads exactly cb bytes: S_OK, or S_FALSE when the stream ended first (*pcbRead tells how
// many came), or the stream's failure.
HRESULT ReadFully(ISequentialStream* stream, void* pv, ULONG cb, ULONG* pcbRead = nullptr);
// Writes all cb bytes: S_OK, or STG_E_MEDIUMFULL when the stream took fewer, or its failure.
HRESULT WriteFully(ISequentialStream* stream, const void* pv, ULONG cb);

}  // namespace halyard::ole
