#include "memory_stream.h"

#include <cstring>
#include <new>

namespace halyard::ole {

MemoryStream::MemoryStream() : bytes_(std::make_shared<std::vector<BYTE>>()) {}

MemoryStream::MemoryStream(const BYTE* data, size_t size)
    : bytes_(std::make_shared<std::vector<BYTE>>(data, data + size)) {}

MemoryStream::MemoryStream(std::shared_ptr<std::vector<BYTE>> bytes, ULONGLONG position)
    : bytes_(std::move(bytes)), position_(position) {}

HRESULT MemoryStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (pv == nullptr && cb != 0) return STG_E_INVALIDPOINTER;
  const ULONGLONG size = bytes_->size();
  ULONG n = 0;
  if (position_ < size) {
    n = static_cast<ULONG>(std::min<ULONGLONG>(cb, size - position_));
    if (n != 0) std::memcpy(pv, bytes_->data() + position_, n);
    position_ += n;
  }
  if (pcbRead != nullptr) *pcbRead = n;
  return S_OK;
}

HRESULT MemoryStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (pcbWritten != nullptr) *pcbWritten = 0;
  if (pv == nullptr && cb != 0) return STG_E_INVALIDPOINTER;
  if (cb == 0) return S_OK;
  const ULONGLONG end = position_ + cb;
  if (end > kMaxSize) return STG_E_MEDIUMFULL;
  try {
    if (end > bytes_->size()) bytes_->resize(static_cast<size_t>(end), 0);
  } catch (const std::bad_alloc&) {
    return STG_E_MEDIUMFULL;
  }
  std::memcpy(bytes_->data() + position_, pv, cb);
  position_ = end;
  if (pcbWritten != nullptr) *pcbWritten = cb;
  return S_OK;
}

HRESULT MemoryStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                           ULARGE_INTEGER* plibNewPosition) {
  long double base;
  switch (dwOrigin) {
    case STREAM_SEEK_SET:
      base = 0;
      break;
    case STREAM_SEEK_CUR:
      base = static_cast<long double>(position_);
      break;
    case STREAM_SEEK_END:
      base = static_cast<long double>(bytes_->size());
      break;
    default:
      return STG_E_INVALIDFUNCTION;
  }
  const long double target = base + static_cast<long double>(dlibMove.QuadPart);
  if (target < 0 || target > static_cast<long double>(kMaxSize)) return STG_E_INVALIDFUNCTION;
  position_ = static_cast<ULONGLONG>(target);
  if (plibNewPosition != nullptr) plibNewPosition->QuadPart = position_;
  return S_OK;
}

HRESULT MemoryStream::SetSize(ULARGE_INTEGER libNewSize) {
  if (libNewSize.QuadPart > kMaxSize) return STG_E_MEDIUMFULL;
  try {
    bytes_->resize(static_cast<size_t>(libNewSize.QuadPart), 0);
  } catch (const std::bad_alloc&) {
    return STG_E_MEDIUMFULL;
  }
  return S_OK;
}

HRESULT MemoryStream::Commit(DWORD) { return S_OK; }

HRESULT MemoryStream::Revert() { return S_OK; }

HRESULT MemoryStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT MemoryStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT MemoryStream::Stat(STATSTG* pstatstg, DWORD) {
  if (pstatstg == nullptr) return STG_E_INVALIDPOINTER;
  std::memset(pstatstg, 0, sizeof(*pstatstg));
  pstatstg->type = STGTY_STREAM;
  pstatstg->cbSize.QuadPart = bytes_->size();
  pstatstg->grfMode = STGM_READWRITE;
  return S_OK;
}

HRESULT MemoryStream::Clone(IStream** ppstm) {
  if (ppstm == nullptr) return STG_E_INVALIDPOINTER;
  *ppstm = new (std::nothrow) MemoryStream(bytes_, position_);
  return *ppstm != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace halyard::ole

HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL, LPSTREAM* ppstm) {
  if (ppstm == nullptr) return E_INVALIDARG;
  *ppstm = nullptr;
  if (hGlobal != nullptr) return E_INVALIDARG;
  *ppstm = new (std::nothrow) halyard::ole::MemoryStream();
  return *ppstm != nullptr ? S_OK : E_OUTOFMEMORY;
}

IStream* SHCreateMemStream(const BYTE* pInit, UINT cbInit) {
  if (pInit == nullptr) cbInit = 0;
  try {
    return new halyard::ole::MemoryStream(pInit, cbInit);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
