#include "safearray.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The element type is kept in front of the descriptor, as Windows keeps it.
constexpr size_t kHeader = 16;
constexpr unsigned long long kMaxBytes = 0x7FFFFFFFull;

ULONG ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
      return 8;
    case VT_BSTR:
      return sizeof(BSTR);
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return sizeof(IUnknown*);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;
  }
}

USHORT FeaturesFor(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR:
      return FADF_HAVEVARTYPE | FADF_BSTR;
    case VT_VARIANT:
      return FADF_HAVEVARTYPE | FADF_VARIANT;
    case VT_UNKNOWN:
      return FADF_HAVEVARTYPE | FADF_UNKNOWN;
    case VT_DISPATCH:
      return FADF_HAVEVARTYPE | FADF_DISPATCH;
    default:
      return FADF_HAVEVARTYPE;
  }
}

VARTYPE& TypeSlot(SAFEARRAY* psa) {
  return *reinterpret_cast<VARTYPE*>(reinterpret_cast<char*>(psa) - kHeader);
}

unsigned long long ElementCount(const SAFEARRAY* psa) {
  unsigned long long n = 1;
  for (USHORT i = 0; i < psa->cDims; ++i) n *= psa->rgsabound[i].cElements;
  return n;
}

// Frees what the elements hold, leaving them zeroed.
HRESULT ClearElements(SAFEARRAY* psa) {
  const unsigned long long n = ElementCount(psa);
  if (psa->pvData == nullptr) return S_OK;
  if (psa->fFeatures & FADF_BSTR) {
    auto* items = static_cast<BSTR*>(psa->pvData);
    for (unsigned long long i = 0; i < n; ++i) SysFreeString(items[i]), items[i] = nullptr;
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* items = static_cast<IUnknown**>(psa->pvData);
    for (unsigned long long i = 0; i < n; ++i) {
      if (items[i] != nullptr) items[i]->Release();
      items[i] = nullptr;
    }
  } else if (psa->fFeatures & FADF_VARIANT) {
    auto* items = static_cast<VARIANT*>(psa->pvData);
    for (unsigned long long i = 0; i < n; ++i) {
      const HRESULT hr = VariantClear(&items[i]);
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

HRESULT CopyElement(SAFEARRAY* psa, const void* from, void* to) {
  if (psa->fFeatures & FADF_BSTR) {
    const BSTR src = *static_cast<const BSTR*>(from);
    BSTR copy = nullptr;
    if (src != nullptr) {
      copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src), SysStringByteLen(src));
      if (copy == nullptr) return E_OUTOFMEMORY;
    }
    SysFreeString(*static_cast<BSTR*>(to));
    *static_cast<BSTR*>(to) = copy;
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* src = *static_cast<IUnknown* const*>(from);
    if (src != nullptr) src->AddRef();
    IUnknown*& slot = *static_cast<IUnknown**>(to);
    if (slot != nullptr) slot->Release();
    slot = src;
  } else if (psa->fFeatures & FADF_VARIANT) {
    return VariantCopy(static_cast<VARIANT*>(to), static_cast<const VARIANT*>(from));
  } else {
    std::memcpy(to, from, psa->cbElements);
  }
  return S_OK;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  const ULONG size = ElementSize(vt);
  if (size == 0 || cDims == 0 || cDims > 64 || rgsabound == nullptr) return nullptr;
  unsigned long long count = 1;
  for (UINT i = 0; i < cDims; ++i) {
    count *= rgsabound[i].cElements;
    if (count * size > kMaxBytes) return nullptr;
  }
  const size_t descriptor = sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
  char* block = static_cast<char*>(std::calloc(1, kHeader + descriptor));
  if (block == nullptr) return nullptr;
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kHeader);
  psa->cDims = static_cast<USHORT>(cDims);
  psa->fFeatures = FeaturesFor(vt);
  psa->cbElements = size;
  TypeSlot(psa) = vt;
  // The caller lists the first dimension first; the descriptor keeps the last first.
  for (UINT i = 0; i < cDims; ++i) psa->rgsabound[cDims - 1 - i] = rgsabound[i];
  psa->pvData = std::calloc(count == 0 ? 1 : static_cast<size_t>(count), size);
  if (psa->pvData == nullptr) {
    std::free(block);
    return nullptr;
  }
  return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound{cElements, lLbound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (psa == nullptr) return S_OK;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  const HRESULT hr = ClearElements(psa);
  if (FAILED(hr)) return hr;
  std::free(psa->pvData);
  std::free(reinterpret_cast<char*>(psa) - kHeader);
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks >= 0xFFFF) return E_UNEXPECTED;
  ++psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (psa == nullptr || ppvData == nullptr) return E_INVALIDARG;
  const HRESULT hr = SafeArrayLock(psa);
  if (FAILED(hr)) return hr;
  *ppvData = psa->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa == nullptr ? 0 : psa->cDims; }

UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return psa == nullptr ? 0 : psa->cbElements; }

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (psa == nullptr || plLbound == nullptr) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (psa == nullptr || plUbound == nullptr) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - nDim];
  *plUbound = static_cast<LONG>(static_cast<long long>(b.lLbound) + b.cElements - 1);
  return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (psa == nullptr || pvt == nullptr) return E_INVALIDARG;
  *pvt = TypeSlot(psa);
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (ppsaOut == nullptr) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (psa == nullptr) return S_OK;
  SAFEARRAYBOUND bounds[64];
  for (USHORT i = 0; i < psa->cDims; ++i) bounds[i] = psa->rgsabound[psa->cDims - 1 - i];
  SAFEARRAY* copy = SafeArrayCreate(TypeSlot(psa), psa->cDims, bounds);
  if (copy == nullptr) return E_OUTOFMEMORY;
  const unsigned long long n = ElementCount(psa);
  for (unsigned long long i = 0; i < n; ++i) {
    const HRESULT hr = CopyElement(psa, static_cast<char*>(psa->pvData) + i * psa->cbElements,
                                   static_cast<char*>(copy->pvData) + i * psa->cbElements);
    if (FAILED(hr)) {
      SafeArrayDestroy(copy);
      return hr;
    }
  }
  *ppsaOut = copy;
  return S_OK;
}

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
  if (psa == nullptr || rgIndices == nullptr || ppvData == nullptr) return E_INVALIDARG;
  // The first dimension varies fastest (column-major); its bound is the last in the descriptor.
  unsigned long long offset = 0;
  unsigned long long stride = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - 1 - d];
    const long long rel = static_cast<long long>(rgIndices[d]) - b.lLbound;
    if (rel < 0 || rel >= static_cast<long long>(b.cElements)) return DISP_E_BADINDEX;
    offset += static_cast<unsigned long long>(rel) * stride;
    stride *= b.cElements;
  }
  *ppvData = static_cast<char*>(psa->pvData) + offset * psa->cbElements;
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (pv == nullptr) return E_INVALIDARG;
  void* slot;
  HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &slot);
  if (FAILED(hr)) return hr;
  // The caller's memory is uninitialised: start from an empty element.
  if (psa->fFeatures & FADF_VARIANT) {
    VariantInit(static_cast<VARIANT*>(pv));
  } else if (psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH)) {
    std::memset(pv, 0, psa->cbElements);
  }
  return CopyElement(psa, slot, pv);
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  void* slot;
  HRESULT hr = SafeArrayPtrOfIndex(psa, rgIndices, &slot);
  if (FAILED(hr)) return hr;
  if (psa->fFeatures & FADF_BSTR) {
    // A BSTR element is given by value (the string itself), not by its address.
    BSTR src = static_cast<BSTR>(pv);
    return CopyElement(psa, &src, slot);
  }
  if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* src = static_cast<IUnknown*>(pv);
    return CopyElement(psa, &src, slot);
  }
  if (pv == nullptr) return E_INVALIDARG;
  return CopyElement(psa, pv, slot);
}
