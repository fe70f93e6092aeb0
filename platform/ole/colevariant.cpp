#include "colevariant.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "bstr.h"
#include "coleexception.h"
#include "safearray.h"

namespace {

void CheckCopy(HRESULT hr) { AfxCheckError(hr); }

BSTR AllocText(LPCTSTR text, VARTYPE vtSrc) {
  if (text == nullptr) return nullptr;
  BSTR b = vtSrc == VT_BSTRT ? SysAllocStringByteLen(text, static_cast<UINT>(std::strlen(text)))
                             : halyard::ole::BstrFromAnsi(text);
  if (b == nullptr) AfxThrowMemoryException();
  return b;
}

bool SameArray(SAFEARRAY* a, SAFEARRAY* b) {
  if (a == b) return true;
  if (a == nullptr || b == nullptr) return false;
  if (a->cDims != b->cDims || a->cbElements != b->cbElements) return false;
  unsigned long long count = 1;
  for (USHORT i = 0; i < a->cDims; ++i) {
    if (a->rgsabound[i].cElements != b->rgsabound[i].cElements ||
        a->rgsabound[i].lLbound != b->rgsabound[i].lLbound) {
      return false;
    }
    count *= a->rgsabound[i].cElements;
  }
  if (a->fFeatures & (FADF_BSTR | FADF_VARIANT | FADF_UNKNOWN | FADF_DISPATCH)) return false;
  return std::memcmp(a->pvData, b->pvData, static_cast<size_t>(count * a->cbElements)) == 0;
}

}  // namespace

COleVariant::COleVariant() { VariantInit(this); }

COleVariant::COleVariant(const VARIANT& varSrc) {
  VariantInit(this);
  CheckCopy(VariantCopy(this, &varSrc));
}

COleVariant::COleVariant(LPCVARIANT pSrc) {
  VariantInit(this);
  if (pSrc != nullptr) CheckCopy(VariantCopy(this, pSrc));
}

COleVariant::COleVariant(const COleVariant& varSrc) : tagVARIANT() {
  VariantInit(this);
  CheckCopy(VariantCopy(this, &varSrc));
}

COleVariant::COleVariant(COleVariant&& varSrc) noexcept : tagVARIANT(varSrc) {
  VariantInit(&varSrc);
}

COleVariant::COleVariant(LPCTSTR lpszSrc) : COleVariant(lpszSrc, VT_BSTR) {}

COleVariant::COleVariant(LPCTSTR lpszSrc, VARTYPE vtSrc) {
  VariantInit(this);
  vt = VT_BSTR;
  bstrVal = AllocText(lpszSrc, vtSrc);
}

COleVariant::COleVariant(const CString& strSrc) {
  VariantInit(this);
  vt = VT_BSTR;
  // The whole text, NUL bytes inside it included.
  const std::string_view text(static_cast<LPCTSTR>(strSrc),
                              static_cast<size_t>(strSrc.GetLength()));
  bstrVal = halyard::ole::BstrFromAnsi(text);
  if (bstrVal == nullptr) AfxThrowMemoryException();
}

COleVariant::COleVariant(BYTE nSrc) {
  VariantInit(this);
  vt = VT_UI1;
  bVal = nSrc;
}

COleVariant::COleVariant(short nSrc, VARTYPE vtSrc) {
  VariantInit(this);
  if (vtSrc == VT_BOOL) {
    vt = VT_BOOL;
    boolVal = nSrc != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  } else {
    vt = VT_I2;
    iVal = nSrc;
  }
}

COleVariant::COleVariant(long lSrc, VARTYPE vtSrc) {
  VariantInit(this);
  if (vtSrc == VT_DATE) {
    // A time_t: the variant takes the OLE date of its local time, so that the date reads
    // back as the same instant (an impossible instant gives a VT_DATE of 0).
    const COleDateTime local(static_cast<time_t>(lSrc));
    vt = VT_DATE;
    date = local.GetStatus() == COleDateTime::valid ? local.m_dt : 0;
    return;
  }
  const LONG value = static_cast<LONG>(lSrc);
  switch (vtSrc) {
    case VT_ERROR:
      vt = VT_ERROR;
      scode = value;
      break;
    case VT_BOOL:
      vt = VT_BOOL;
      boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_HRESULT:
      vt = vtSrc == VT_HRESULT ? static_cast<VARTYPE>(VT_ERROR) : vtSrc;
      lVal = value;
      break;
    default:
      vt = VT_I4;
      lVal = value;
      break;
  }
}

COleVariant::COleVariant(LONG lSrc, VARTYPE vtSrc) : COleVariant(static_cast<long>(lSrc), vtSrc) {}

COleVariant::COleVariant(const COleCurrency& curSrc) {
  VariantInit(this);
  vt = VT_CY;
  cyVal = curSrc.m_cur;
}

COleVariant::COleVariant(float fltSrc) {
  VariantInit(this);
  vt = VT_R4;
  fltVal = fltSrc;
}

COleVariant::COleVariant(double dblSrc) {
  VariantInit(this);
  vt = VT_R8;
  dblVal = dblSrc;
}

COleVariant::COleVariant(const COleDateTime& timeSrc) {
  VariantInit(this);
  vt = VT_DATE;
  date = timeSrc.m_dt;
}

COleVariant::~COleVariant() { VariantClear(this); }

void COleVariant::Clear() { AfxCheckError(VariantClear(this)); }

void COleVariant::ChangeType(VARTYPE vartype, LPVARIANT pSrc) {
  if (pSrc == nullptr) pSrc = this;
  if (pSrc != this || vartype != vt) AfxCheckError(VariantChangeType(this, pSrc, 0, vartype));
}

void COleVariant::Attach(VARIANT& varSrc) {
  AfxCheckError(VariantClear(this));
  std::memcpy(static_cast<VARIANT*>(this), &varSrc, sizeof(VARIANT));
  varSrc.vt = VT_EMPTY;
}

VARIANT COleVariant::Detach() {
  VARIANT out = *this;
  vt = VT_EMPTY;
  return out;
}

void COleVariant::SetString(LPCTSTR lpszSrc, VARTYPE vtSrc) {
  BSTR fresh = AllocText(lpszSrc, vtSrc);
  VariantClear(this);
  vt = VT_BSTR;
  bstrVal = fresh;
}

BOOL COleVariant::operator==(const VARIANT& var) const {
  if (&var == this) return TRUE;
  if (var.vt != vt) return FALSE;
  if (vt & VT_BYREF) return byref == var.byref;
  if (vt & VT_ARRAY) return SameArray(parray, var.parray);
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
      return TRUE;
    case VT_BOOL:
      return boolVal == var.boolVal;
    case VT_I1:
    case VT_UI1:
      return bVal == var.bVal;
    case VT_I2:
    case VT_UI2:
      return iVal == var.iVal;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
      return lVal == var.lVal;
    case VT_I8:
    case VT_UI8:
    case VT_CY:
      return llVal == var.llVal;
    case VT_R4:
      return fltVal == var.fltVal;
    case VT_R8:
    case VT_DATE:
      return dblVal == var.dblVal;
    case VT_BSTR: {
      const UINT n = SysStringByteLen(bstrVal);
      return n == SysStringByteLen(var.bstrVal) &&
             (n == 0 || std::memcmp(bstrVal, var.bstrVal, n) == 0);
    }
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return punkVal == var.punkVal;
    default:
      return FALSE;
  }
}

BOOL COleVariant::operator==(LPCVARIANT pSrc) const { return pSrc != nullptr && *this == *pSrc; }

const COleVariant& COleVariant::operator=(const VARIANT& varSrc) {
  if (&varSrc != this) AfxCheckError(VariantCopy(this, &varSrc));
  return *this;
}

const COleVariant& COleVariant::operator=(LPCVARIANT pSrc) {
  if (pSrc == nullptr) {
    Clear();
    return *this;
  }
  return *this = *pSrc;
}

const COleVariant& COleVariant::operator=(const COleVariant& varSrc) {
  return *this = static_cast<const VARIANT&>(varSrc);
}

const COleVariant& COleVariant::operator=(COleVariant&& varSrc) noexcept {
  if (&varSrc != this) {
    VariantClear(this);
    std::memcpy(static_cast<VARIANT*>(this), static_cast<VARIANT*>(&varSrc), sizeof(VARIANT));
    VariantInit(&varSrc);
  }
  return *this;
}

const COleVariant& COleVariant::operator=(LPCTSTR lpszSrc) {
  SetString(lpszSrc, VT_BSTR);
  return *this;
}

const COleVariant& COleVariant::operator=(const CString& strSrc) {
  return *this = COleVariant(strSrc);
}

const COleVariant& COleVariant::operator=(BYTE nSrc) { return *this = COleVariant(nSrc); }

const COleVariant& COleVariant::operator=(short nSrc) {
  // A boolean variant stays boolean, as in the original.
  return *this = COleVariant(nSrc, static_cast<VARTYPE>(vt == VT_BOOL ? VT_BOOL : VT_I2));
}

const COleVariant& COleVariant::operator=(LONG lSrc) {
  VARTYPE keep = VT_I4;
  if (vt == VT_ERROR || vt == VT_BOOL) keep = vt;
  return *this = COleVariant(lSrc, keep);
}

const COleVariant& COleVariant::operator=(const COleCurrency& curSrc) {
  return *this = COleVariant(curSrc);
}

const COleVariant& COleVariant::operator=(float fltSrc) { return *this = COleVariant(fltSrc); }

const COleVariant& COleVariant::operator=(double dblSrc) { return *this = COleVariant(dblSrc); }

const COleVariant& COleVariant::operator=(const COleDateTime& dateSrc) {
  return *this = COleVariant(dateSrc);
}

CArchive& operator<<(CArchive& ar, const COleVariant& varSrc) {
  ar << static_cast<WORD>(varSrc.vt);
  switch (varSrc.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return ar;
    case VT_BOOL:
      return ar << static_cast<WORD>(varSrc.boolVal);
    case VT_UI1:
      return ar << varSrc.bVal;
    case VT_I2:
      return ar << static_cast<WORD>(varSrc.iVal);
    case VT_I4:
      return ar << varSrc.lVal;
    case VT_CY:
      ar << static_cast<DWORD>(varSrc.cyVal.Lo);
      return ar << varSrc.cyVal.Hi;
    case VT_R4:
      return ar << varSrc.fltVal;
    case VT_R8:
      return ar << varSrc.dblVal;
    case VT_DATE:
      return ar << varSrc.date;
    case VT_ERROR:
      return ar << static_cast<LONG>(varSrc.scode);
    case VT_BSTR: {
      const DWORD n = SysStringByteLen(varSrc.bstrVal);
      ar << n;
      if (n > 0) ar.Write(varSrc.bstrVal, n);
      return ar;
    }
    default:
      // Objects, arrays and references have no archive form here.
      AfxThrowOleException(E_INVALIDARG);
  }
}

CArchive& operator>>(CArchive& ar, COleVariant& varSrc) {
  varSrc.Clear();
  WORD type;
  ar >> type;
  COleVariant value;
  switch (type) {
    case VT_EMPTY:
    case VT_NULL:
      break;
    case VT_BOOL:
    case VT_I2: {
      WORD w;
      ar >> w;
      value.iVal = static_cast<SHORT>(w);
      break;
    }
    case VT_UI1:
      ar >> value.bVal;
      break;
    case VT_I4:
    case VT_ERROR:
      ar >> value.lVal;
      break;
    case VT_CY: {
      DWORD lo;
      LONG hi;
      ar >> lo;
      ar >> hi;
      value.cyVal.Lo = lo;
      value.cyVal.Hi = hi;
      break;
    }
    case VT_R4:
      ar >> value.fltVal;
      break;
    case VT_R8:
    case VT_DATE:
      ar >> value.dblVal;
      break;
    case VT_BSTR: {
      DWORD n;
      ar >> n;
      if (n > halyard::ole::kMaxBstrBytes) AfxThrowArchiveException(CArchiveException::generic);
      // Read in pieces: a count larger than the data ends with endOfFile, not a huge block.
      std::vector<char> bytes;
      while (bytes.size() < n) {
        const size_t piece = std::min<size_t>(n - bytes.size(), 65536);
        const size_t at = bytes.size();
        bytes.resize(at + piece);
        if (ar.Read(bytes.data() + at, static_cast<UINT>(piece)) != piece) {
          AfxThrowArchiveException(CArchiveException::endOfFile);
        }
      }
      // An empty string is stored as a null BSTR, as the original loads it.
      if (n > 0) {
        value.bstrVal = SysAllocStringByteLen(bytes.data(), n);
        if (value.bstrVal == nullptr) AfxThrowMemoryException();
      }
      break;
    }
    default:
      AfxThrowArchiveException(CArchiveException::generic);
  }
  value.vt = type;
  varSrc.Attach(value);
  return ar;
}
