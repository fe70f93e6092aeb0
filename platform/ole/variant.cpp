#include "variant.h"

#include <cstring>

#include "dispatch.h"
#include "safearray.h"

namespace halyard::ole {

// The base types a VARIANT may carry, alone, by reference or as an array.
bool IsVariantBaseType(VARTYPE base) {
  return base <= VT_DECIMAL || (base >= VT_I1 && base <= VT_UINT);
}

bool IsValidVariantType(VARTYPE vt) {
  if (vt & (VT_VECTOR | VT_RESERVED)) return false;
  const VARTYPE base = vt & VT_TYPEMASK;
  if (!IsVariantBaseType(base)) return false;
  if ((vt & (VT_BYREF | VT_ARRAY)) != 0 && (base == VT_EMPTY || base == VT_NULL)) return false;
  // A variant never holds a variant by value: only a reference to one or an array of them.
  if (base == VT_VARIANT && (vt & (VT_BYREF | VT_ARRAY)) == 0) return false;
  if ((vt & VT_ARRAY) != 0 && base == VT_DECIMAL) return false;
  return true;
}

void ClearExcepInfo(EXCEPINFO* info) {
  if (info == nullptr) return;
  SysFreeString(info->bstrSource);
  SysFreeString(info->bstrDescription);
  SysFreeString(info->bstrHelpFile);
  std::memset(info, 0, sizeof(*info));
}

}  // namespace halyard::ole

void VariantInit(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return;
  std::memset(pvarg, 0, sizeof(*pvarg));
  pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  const VARTYPE vt = pvarg->vt;
  if (!halyard::ole::IsValidVariantType(vt)) return DISP_E_BADVARTYPE;
  if ((vt & VT_BYREF) == 0) {
    if (vt & VT_ARRAY) {
      const HRESULT hr = SafeArrayDestroy(pvarg->parray);
      if (FAILED(hr)) return hr;
    } else if (vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
      if (pvarg->punkVal != nullptr) pvarg->punkVal->Release();
    }
  }
  VariantInit(pvarg);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  const VARTYPE vt = pvargSrc->vt;
  if (!halyard::ole::IsValidVariantType(vt)) return DISP_E_BADVARTYPE;
  VARIANT copy = *pvargSrc;
  if ((vt & VT_BYREF) == 0) {
    if (vt & VT_ARRAY) {
      const HRESULT hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
      if (FAILED(hr)) return hr;
    } else if (vt == VT_BSTR && pvargSrc->bstrVal != nullptr) {
      // Byte-length copy, so single-byte texts in a BSTR keep their odd lengths.
      copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(pvargSrc->bstrVal),
                                           SysStringByteLen(pvargSrc->bstrVal));
      if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
    } else if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && pvargSrc->punkVal != nullptr) {
      pvargSrc->punkVal->AddRef();
    }
  }
  const HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *pvargDest = copy;
  return S_OK;
}

namespace halyard::ole {

// A plain (not by-reference) view of a by-reference variant; owns nothing.
HRESULT Dereference(const VARIANT* src, VARIANT* view) {
  const VARTYPE vt = src->vt;
  if ((vt & VT_BYREF) == 0) {
    *view = *src;
    return S_OK;
  }
  if (src->byref == nullptr) return E_INVALIDARG;
  VariantInit(view);
  const VARTYPE base = vt & ~VT_BYREF;
  if (base & VT_ARRAY) {
    view->vt = base;
    view->parray = *src->pparray;
    return S_OK;
  }
  switch (base) {
    case VT_VARIANT:
      // A variant reference may itself hold a reference one level deep, no further.
      if (src->pvarVal->vt == (VT_VARIANT | VT_BYREF)) return E_INVALIDARG;
      return Dereference(src->pvarVal, view);
    case VT_I1:
    case VT_UI1:
      std::memcpy(&view->bVal, src->byref, 1);
      break;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      std::memcpy(&view->iVal, src->byref, 2);
      break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      std::memcpy(&view->lVal, src->byref, 4);
      break;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
      std::memcpy(&view->llVal, src->byref, 8);
      break;
    case VT_BSTR:
      view->bstrVal = *src->pbstrVal;
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      view->punkVal = *src->ppunkVal;
      break;
    default:
      return DISP_E_BADVARTYPE;
  }
  view->vt = base;
  return S_OK;
}

}  // namespace halyard::ole

HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
  if (pvarDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (!halyard::ole::IsValidVariantType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  VARIANT view;
  HRESULT hr = halyard::ole::Dereference(pvargSrc, &view);
  if (FAILED(hr)) return hr;
  VARIANT copy;
  VariantInit(&copy);
  hr = VariantCopy(&copy, &view);
  if (FAILED(hr)) return hr;
  hr = VariantClear(pvarDest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *pvarDest = copy;
  return S_OK;
}
