#include "stream.h"

#include <algorithm>

namespace halyard::ole {

HRESULT StreamBase::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISequentialStream) ||
      IsEqualIID(riid, IID_IStream)) {
    *ppvObject = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

ULONG StreamBase::AddRef() {
  return static_cast<ULONG>(__atomic_add_fetch(&refs_, 1, __ATOMIC_RELAXED));
}

ULONG StreamBase::Release() {
  const unsigned long left = __atomic_sub_fetch(&refs_, 1, __ATOMIC_ACQ_REL);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT StreamBase::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                           ULARGE_INTEGER* pcbWritten) {
  if (pstm == nullptr) return STG_E_INVALIDPOINTER;
  ULONGLONG totalRead = 0;
  ULONGLONG totalWritten = 0;
  HRESULT hr = S_OK;
  BYTE chunk[16384];
  while (totalRead < cb.QuadPart) {
    const ULONG want =
        static_cast<ULONG>(std::min<ULONGLONG>(sizeof(chunk), cb.QuadPart - totalRead));
    ULONG got = 0;
    hr = Read(chunk, want, &got);
    if (FAILED(hr) || got == 0) break;
    totalRead += got;
    ULONG put = 0;
    hr = pstm->Write(chunk, got, &put);
    totalWritten += put;
    if (FAILED(hr)) break;
    if (put < got) {
      hr = STG_E_MEDIUMFULL;
      break;
    }
  }
  if (pcbRead != nullptr) pcbRead->QuadPart = totalRead;
  if (pcbWritten != nullptr) pcbWritten->QuadPart = totalWritten;
  return FAILED(hr) ? hr : S_OK;
}

HRESULT ReadFully(ISequentialStream* stream, void* pv, ULONG cb, ULONG* pcbRead) {
  ULONG done = 0;
  HRESULT hr = S_OK;
  while (done < cb) {
    ULONG got = 0;
    hr = stream->Read(static_cast<BYTE*>(pv) + done, cb - done, &got);
    if (FAILED(hr)) break;
    if (got == 0) break;
    done += got;
  }
  if (pcbRead != nullptr) *pcbRead = done;
  if (FAILED(hr)) return hr;
  return done == cb ? S_OK : S_FALSE;
}

HRESULT WriteFully(ISequentialStream* stream, const void* pv, ULONG cb) {
  ULONG done = 0;
  while (done < cb) {
    ULONG put = 0;
    const HRESULT hr = stream->Write(static_cast<const BYTE*>(pv) + done, cb - done, &put);
    if (FAILED(hr)) return hr;
    if (put == 0) return STG_E_MEDIUMFULL;
    done += put;
  }
  return S_OK;
}

}  // namespace halyard::ole
