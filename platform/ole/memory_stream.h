// An IStream over a growable block of memory, as CreateStreamOnHGlobal gives on Windows: reads
// stop at the end, writes and SetSize grow the block (up to 4 GiB less one byte, the reach of a
// 32-bit global block), seeking past the end is allowed and a write there fills the gap with
// zeros. Clones share the bytes and keep their own position. Bytes() lets the owner of the
// object see what was written.
#pragma once

#include <memory>
#include <vector>

#include "stream.h"

using HGLOBAL = void*;

// Only a null hGlobal is accepted (there are no global memory handles here): a new empty
// stream; E_INVALIDARG otherwise.
HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm);

// A new stream holding a copy of cbInit bytes from pInit (positioned at the start); null when
// memory runs out.
IStream* SHCreateMemStream(const BYTE* pInit, UINT cbInit);

namespace halyard::ole {

class MemoryStream final : public StreamBase {
 public:
  // Created with one reference, which the creator releases.
  MemoryStream();
  MemoryStream(const BYTE* data, size_t size);

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

  const std::vector<BYTE>& Bytes() const { return *bytes_; }

  static constexpr ULONGLONG kMaxSize = 0xFFFFFFFFull;

 private:
  MemoryStream(std::shared_ptr<std::vector<BYTE>> bytes, ULONGLONG position);

  std::shared_ptr<std::vector<BYTE>> bytes_;
  ULONGLONG position_ = 0;
};

}  // namespace halyard::ole
