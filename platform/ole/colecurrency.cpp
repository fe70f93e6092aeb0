#include "colecurrency.h"

#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "bstr.h"
#include "coleexception.h"

namespace {

COleCurrency Make(__int128 value, COleCurrency::CurrencyStatus status = COleCurrency::valid) {
  COleCurrency c;
  if (status != COleCurrency::valid) {
    c.SetStatus(status);
    return c;
  }
  if (value < INT64_MIN || value > INT64_MAX) {
    c.SetStatus(COleCurrency::invalid);
    return c;
  }
  c.m_cur.int64 = static_cast<LONGLONG>(value);
  return c;
}

// Null wins over invalid, as in the original.
COleCurrency::CurrencyStatus Combined(const COleCurrency& a, const COleCurrency& b) {
  if (a.GetStatus() == COleCurrency::null || b.GetStatus() == COleCurrency::null) {
    return COleCurrency::null;
  }
  if (a.GetStatus() == COleCurrency::invalid || b.GetStatus() == COleCurrency::invalid) {
    return COleCurrency::invalid;
  }
  return COleCurrency::valid;
}

}  // namespace

COleCurrency::COleCurrency() : m_status(valid) { m_cur.int64 = 0; }

COleCurrency::COleCurrency(CURRENCY cySrc) : m_cur(cySrc), m_status(valid) {}

COleCurrency::COleCurrency(const VARIANT& varSrc) : COleCurrency() { *this = varSrc; }

COleCurrency::COleCurrency(long nUnits, long nFractionalUnits) : COleCurrency() {
  SetCurrency(nUnits, nFractionalUnits);
}

const COleCurrency& COleCurrency::operator=(CURRENCY cySrc) {
  m_cur = cySrc;
  m_status = valid;
  return *this;
}

const COleCurrency& COleCurrency::operator=(const VARIANT& varSrc) {
  if (varSrc.vt == VT_CY) {
    m_cur = varSrc.cyVal;
    m_status = valid;
    return *this;
  }
  VARIANT temp;
  VariantInit(&temp);
  const HRESULT hr = VariantChangeType(&temp, &varSrc, 0, VT_CY);
  if (hr == E_OUTOFMEMORY) AfxThrowMemoryException();
  if (SUCCEEDED(hr)) {
    m_cur = temp.cyVal;
    m_status = valid;
  } else {
    m_cur.int64 = 0;
    m_status = invalid;
  }
  VariantClear(&temp);
  return *this;
}

BOOL COleCurrency::operator==(const COleCurrency& cur) const {
  return m_status == cur.m_status && m_cur.int64 == cur.m_cur.int64;
}
BOOL COleCurrency::operator!=(const COleCurrency& cur) const { return !(*this == cur); }
BOOL COleCurrency::operator<(const COleCurrency& cur) const {
  return m_cur.int64 < cur.m_cur.int64;
}
BOOL COleCurrency::operator>(const COleCurrency& cur) const {
  return m_cur.int64 > cur.m_cur.int64;
}
BOOL COleCurrency::operator<=(const COleCurrency& cur) const {
  return m_cur.int64 <= cur.m_cur.int64;
}
BOOL COleCurrency::operator>=(const COleCurrency& cur) const {
  return m_cur.int64 >= cur.m_cur.int64;
}

COleCurrency COleCurrency::operator+(const COleCurrency& cur) const {
  return Make(static_cast<__int128>(m_cur.int64) + cur.m_cur.int64, Combined(*this, cur));
}

COleCurrency COleCurrency::operator-(const COleCurrency& cur) const {
  return Make(static_cast<__int128>(m_cur.int64) - cur.m_cur.int64, Combined(*this, cur));
}

const COleCurrency& COleCurrency::operator+=(const COleCurrency& cur) {
  return *this = *this + cur;
}

const COleCurrency& COleCurrency::operator-=(const COleCurrency& cur) {
  return *this = *this - cur;
}

COleCurrency COleCurrency::operator-() const {
  return Make(-static_cast<__int128>(m_cur.int64), m_status);
}

COleCurrency COleCurrency::operator*(long nOperand) const {
  return Make(static_cast<__int128>(m_cur.int64) * nOperand, m_status);
}

COleCurrency COleCurrency::operator/(long nOperand) const {
  if (m_status != valid) return Make(0, m_status);
  if (nOperand == 0) return Make(0, invalid);
  return Make(static_cast<__int128>(m_cur.int64) / nOperand);
}

const COleCurrency& COleCurrency::operator*=(long nOperand) { return *this = *this * nOperand; }

const COleCurrency& COleCurrency::operator/=(long nOperand) { return *this = *this / nOperand; }

void COleCurrency::SetCurrency(long nUnits, long nFractionalUnits) {
  *this = Make(static_cast<__int128>(nUnits) * 10000 + nFractionalUnits);
}

BOOL COleCurrency::ParseCurrency(LPCTSTR lpszCurrency, DWORD dwFlags, LCID lcid) {
  BSTR text = halyard::ole::BstrFromAnsi(lpszCurrency != nullptr ? lpszCurrency : "");
  if (text == nullptr) AfxThrowMemoryException();
  CY value;
  const HRESULT hr = VarCyFromStr(text, lcid, dwFlags, &value);
  SysFreeString(text);
  if (hr == DISP_E_TYPEMISMATCH) {
    m_cur.int64 = 0;
    m_status = invalid;
    return FALSE;
  }
  if (hr == DISP_E_OVERFLOW) {
    m_cur.int64 = -1;
    m_status = invalid;
    return FALSE;
  }
  AfxCheckError(hr);
  m_cur = value;
  m_status = valid;
  return TRUE;
}

CString COleCurrency::Format(DWORD dwFlags, LCID lcid) const {
  if (m_status == null) return CString();
  if (m_status == invalid) return CString("Invalid Currency");
  BSTR text = nullptr;
  AfxCheckError(VarBstrFromCy(m_cur, lcid, dwFlags, &text));
  const std::string ansi = halyard::ole::AnsiFromBstr(text);
  SysFreeString(text);
  return CString(ansi.c_str(), static_cast<int>(ansi.size()));
}

CArchive& operator<<(CArchive& ar, const COleCurrency& curSrc) {
  ar << static_cast<LONG>(curSrc.m_status);
  ar << curSrc.m_cur.Hi;
  return ar << static_cast<DWORD>(curSrc.m_cur.Lo);
}

CArchive& operator>>(CArchive& ar, COleCurrency& curSrc) {
  LONG status;
  ar >> status;
  if (status < COleCurrency::valid || status > COleCurrency::null) {
    AfxThrowArchiveException(CArchiveException::generic);
  }
  LONG hi;
  DWORD lo;
  ar >> hi;
  ar >> lo;
  curSrc.m_status = static_cast<COleCurrency::CurrencyStatus>(status);
  curSrc.m_cur.Hi = hi;
  curSrc.m_cur.Lo = lo;
  return ar;
}
