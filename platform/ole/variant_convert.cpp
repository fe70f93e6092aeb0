// VariantChangeType and the Var... conversions, with the rules of the United States English
// locale, which is the only one here.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/kernel/text.h"
#include "platform/kernel/win_time.h"
#include "code_page.h"
#include "dispatch.h"
#include "ole_date.h"
#include "safearray.h"
#include "variant.h"
#include "variant_internal.h"

namespace halyard::ole {
namespace {

using Int128 = __int128;

constexpr Int128 kInt64Min = static_cast<Int128>(INT64_MIN);
constexpr Int128 kInt64Max = static_cast<Int128>(INT64_MAX);

std::string Int128ToString(Int128 v) {
  if (v == 0) return "0";
  const bool negative = v < 0;
  unsigned __int128 u =
      negative ? static_cast<unsigned __int128>(-(v + 1)) + 1 : static_cast<unsigned __int128>(v);
  std::string s;
  while (u != 0) {
    s.push_back(static_cast<char>('0' + static_cast<int>(u % 10)));
    u /= 10;
  }
  if (negative) s.push_back('-');
  return std::string(s.rbegin(), s.rend());
}

// q = n / d rounded half to even (d > 0).
Int128 DivRoundEven(Int128 n, Int128 d) {
  Int128 q = n / d;
  Int128 r = n % d;
  if (r < 0) r = -r;
  const Int128 twice = r * 2;
  if (twice > d || (twice == d && (q % 2) != 0)) q += n < 0 ? -1 : 1;
  return q;
}

// A wide text equals an ASCII word, ignoring ASCII case.
bool EqualsNoCase(std::u16string_view a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (halyard::AsciiLower(a[i]) != static_cast<unsigned char>(halyard::AsciiLower(b[i]))) return false;
  }
  return true;
}

std::u16string_view Trim(std::u16string_view t) {
  while (!t.empty() && halyard::IsSpaceTabCrLf(t.front())) t.remove_prefix(1);
  while (!t.empty() && halyard::IsSpaceTabCrLf(t.back())) t.remove_suffix(1);
  return t;
}

}  // namespace

bool ParseDecimal(std::u16string_view text, DecimalText* out) {
  text = Trim(text);
  if (text.empty()) return false;
  DecimalText d;
  if (text.size() >= 3 && text[0] == '&') {
    const char16_t kind = text[1];
    int base;
    if (kind == 'h' || kind == 'H') {
      base = 16;
    } else if (kind == 'o' || kind == 'O') {
      base = 8;
    } else {
      return false;
    }
    unsigned long long value = 0;
    size_t count = 0;
    for (size_t i = 2; i < text.size(); ++i) {
      const char16_t c = text[i];
      int v;
      if (c >= '0' && c <= '9') {
        v = c - '0';
      } else if (base == 16 && c >= 'a' && c <= 'f') {
        v = c - 'a' + 10;
      } else if (base == 16 && c >= 'A' && c <= 'F') {
        v = c - 'A' + 10;
      } else {
        return false;
      }
      if (v >= base) return false;
      if (value > (~0ull >> (base == 16 ? 4 : 3))) return false;
      value = value * static_cast<unsigned>(base) + static_cast<unsigned>(v);
      ++count;
    }
    if (count == 0) return false;
    d.digits = value == 0 ? "" : std::to_string(value);
    *out = d;
    return true;
  }
  size_t i = 0;
  const size_t n = text.size();
  bool paren = false;
  bool sign = false;
  auto skipBlanks = [&] {
    while (i < n && halyard::IsSpaceTabCrLf(text[i])) ++i;
  };
  if (text[i] == '(') paren = true, ++i, skipBlanks();
  if (i < n && text[i] == '$') ++i, skipBlanks();
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    sign = true;
    d.negative = text[i] == '-';
    ++i;
    skipBlanks();
  }
  if (i < n && text[i] == '$') ++i, skipBlanks();
  std::string digits;
  int fraction = 0;
  bool any = false;
  while (i < n && ((text[i] >= '0' && text[i] <= '9') || (text[i] == ',' && any))) {
    if (text[i] != ',') digits.push_back(static_cast<char>(text[i])), any = true;
    ++i;
  }
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      digits.push_back(static_cast<char>(text[i]));
      ++fraction;
      any = true;
      ++i;
    }
  }
  if (!any) return false;
  long exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    ++i;
    bool negativeExp = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negativeExp = text[i] == '-', ++i;
    bool expDigits = false;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      if (exponent < 100000) exponent = exponent * 10 + (text[i] - '0');
      expDigits = true;
      ++i;
    }
    if (!expDigits) return false;
    if (negativeExp) exponent = -exponent;
  }
  skipBlanks();
  if (!sign && i < n && (text[i] == '+' || text[i] == '-')) {
    d.negative = text[i] == '-';
    sign = true;
    ++i;
    skipBlanks();
  }
  if (paren) {
    if (i >= n || text[i] != ')' || sign) return false;
    d.negative = true;
    ++i;
  }
  if (i != n) return false;
  const size_t first = digits.find_first_not_of('0');
  d.digits = first == std::string::npos ? "" : digits.substr(first);
  d.exponent = static_cast<int>(exponent - fraction);
  // Trailing zeros move into the exponent, which keeps the digit string short.
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back(), ++d.exponent;
  if (d.digits.empty()) d.exponent = 0;
  *out = d;
  return true;
}

bool ScaleDecimal(const DecimalText& d, int scale, Int128* out) {
  if (d.digits.empty()) {
    *out = 0;
    return true;
  }
  const long e = static_cast<long>(d.exponent) + scale;
  const long count = static_cast<long>(d.digits.size());
  const long keep = e >= 0 ? count : count + e;  // digits left of the point
  if (keep + (e > 0 ? e : 0) > 38) return false;
  Int128 v = 0;
  for (long k = 0; k < keep; ++k) v = v * 10 + (d.digits[static_cast<size_t>(k)] - '0');
  for (long k = 0; k < e; ++k) v *= 10;
  if (keep < count) {
    // Round the dropped digits half to even.
    int firstDropped = 0;
    bool restNonZero = false;
    if (keep >= 0) {
      firstDropped = d.digits[static_cast<size_t>(keep)] - '0';
      for (long k = keep + 1; k < count; ++k)
        restNonZero |= d.digits[static_cast<size_t>(k)] != '0';
    } else {
      restNonZero = true;  // zeros come first, so the dropped part is below one half
      firstDropped = 0;
    }
    if (firstDropped > 5 || (firstDropped == 5 && (restNonZero || (v % 2) != 0))) ++v;
  }
  *out = d.negative ? -v : v;
  return true;
}

std::string FormatCurrency(LONGLONG scaled) {
  const bool negative = scaled < 0;
  const unsigned long long magnitude = negative ? 0ull - static_cast<unsigned long long>(scaled)
                                                : static_cast<unsigned long long>(scaled);
  std::string s = (negative ? "-" : "") + std::to_string(magnitude / 10000);
  unsigned fraction = static_cast<unsigned>(magnitude % 10000);
  if (fraction != 0) {
    char buf[8];
    std::snprintf(buf, sizeof(buf), "%04u", fraction);
    std::string f = buf;
    while (!f.empty() && f.back() == '0') f.pop_back();
    s += "." + f;
  }
  return s;
}

std::string FormatReal(double value, int digits) {
  if (value == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof(buf), "%.*G", digits, value);
  return buf;
}

namespace {

bool DecimalToDouble(const DecimalText& d, double* out) {
  if (d.digits.empty()) {
    *out = 0;
    return true;
  }
  // No decimal point is written, so the C library's locale does not matter.
  const std::string text = (d.negative ? "-" : "") + d.digits + "e" + std::to_string(d.exponent);
  errno = 0;
  const double v = std::strtod(text.c_str(), nullptr);
  if (std::isinf(v)) return false;
  *out = v;
  return true;
}

// A numeric source value: an exact integer, a double, a scaled currency or a parsed text.
struct Number {
  enum Kind { kInt, kReal, kCurrency, kText } kind = kInt;
  Int128 i = 0;
  double r = 0;
  DecimalText text;
};

HRESULT NumberOf(const VARIANT& v, Number* out) {
  switch (v.vt) {
    case VT_EMPTY:
      out->kind = Number::kInt, out->i = 0;
      return S_OK;
    case VT_I1:
      out->kind = Number::kInt, out->i = static_cast<signed char>(v.cVal);
      return S_OK;
    case VT_UI1:
      out->kind = Number::kInt, out->i = v.bVal;
      return S_OK;
    case VT_I2:
    case VT_BOOL:
      out->kind = Number::kInt, out->i = v.iVal;
      return S_OK;
    case VT_UI2:
      out->kind = Number::kInt, out->i = v.uiVal;
      return S_OK;
    case VT_I4:
    case VT_INT:
      out->kind = Number::kInt, out->i = v.lVal;
      return S_OK;
    case VT_UI4:
    case VT_UINT:
      out->kind = Number::kInt, out->i = v.ulVal;
      return S_OK;
    case VT_I8:
      out->kind = Number::kInt, out->i = v.llVal;
      return S_OK;
    case VT_UI8:
      out->kind = Number::kInt, out->i = v.ullVal;
      return S_OK;
    case VT_R4:
      out->kind = Number::kReal, out->r = v.fltVal;
      return S_OK;
    case VT_R8:
    case VT_DATE:
      out->kind = Number::kReal, out->r = v.dblVal;
      return S_OK;
    case VT_CY:
      out->kind = Number::kCurrency, out->i = v.cyVal.int64;
      return S_OK;
    case VT_BSTR:
      out->kind = Number::kText;
      return ParseDecimal(BstrView(v.bstrVal), &out->text) ? S_OK : DISP_E_TYPEMISMATCH;
    case VT_DECIMAL:
      return DISP_E_BADVARTYPE;
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT ToInteger(const Number& n, Int128 lo, Int128 hi, Int128* out) {
  Int128 v = 0;
  switch (n.kind) {
    case Number::kInt:
      v = n.i;
      break;
    case Number::kReal: {
      if (!std::isfinite(n.r) || std::fabs(n.r) >= 1.0e37) return DISP_E_OVERFLOW;
      v = static_cast<Int128>(std::nearbyint(n.r));
      break;
    }
    case Number::kCurrency:
      v = DivRoundEven(n.i, 10000);
      break;
    case Number::kText:
      if (!ScaleDecimal(n.text, 0, &v)) return DISP_E_OVERFLOW;
      break;
  }
  if (v < lo || v > hi) return DISP_E_OVERFLOW;
  *out = v;
  return S_OK;
}

HRESULT ToReal(const Number& n, double* out) {
  switch (n.kind) {
    case Number::kInt:
      *out = static_cast<double>(n.i);
      return S_OK;
    case Number::kReal:
      *out = n.r;
      return S_OK;
    case Number::kCurrency:
      *out = static_cast<double>(n.i) / 10000.0;
      return S_OK;
    case Number::kText:
      return DecimalToDouble(n.text, out) ? S_OK : DISP_E_OVERFLOW;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT RealToCurrency(double r, LONGLONG* out) {
  const double scaled = r * 10000.0;
  // The currency range is [-2^63, 2^63) ten-thousandths.
  if (!std::isfinite(scaled) || scaled < -9223372036854775808.0 ||
      scaled >= 9223372036854775808.0) {
    return DISP_E_OVERFLOW;
  }
  const double rounded = std::nearbyint(scaled);
  if (rounded >= 9223372036854775808.0) return DISP_E_OVERFLOW;
  *out = static_cast<LONGLONG>(rounded);
  return S_OK;
}

HRESULT ToCurrency(const Number& n, LONGLONG* out) {
  Int128 v = 0;
  switch (n.kind) {
    case Number::kInt:
      if (n.i > kInt64Max / 10000 || n.i < kInt64Min / 10000) return DISP_E_OVERFLOW;
      v = n.i * 10000;
      break;
    case Number::kReal:
      return RealToCurrency(n.r, out);
    case Number::kCurrency:
      v = n.i;
      break;
    case Number::kText:
      if (!ScaleDecimal(n.text, 4, &v)) return DISP_E_OVERFLOW;
      break;
  }
  if (v < kInt64Min || v > kInt64Max) return DISP_E_OVERFLOW;
  *out = static_cast<LONGLONG>(v);
  return S_OK;
}

HRESULT CheckDate(double d) {
  if (!(d >= kMinOleDate && d < kMaxOleDate + 1.0)) return DISP_E_OVERFLOW;
  return S_OK;
}

HRESULT NewBstr(const std::string& ascii, BSTR* out) {
  *out = BstrFromAnsi(ascii);
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT ToBstr(const VARIANT& v, USHORT flags, BSTR* out) {
  switch (v.vt) {
    case VT_EMPTY:
      return NewBstr("", out);
    case VT_BSTR:
      *out = v.bstrVal == nullptr ? SysAllocString(u"")
                                  : SysAllocStringByteLen(reinterpret_cast<LPCSTR>(v.bstrVal),
                                                          SysStringByteLen(v.bstrVal));
      return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    case VT_BOOL:
      if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) {
        return NewBstr(v.boolVal ? "True" : "False", out);
      }
      return NewBstr(v.boolVal ? "-1" : "0", out);
    case VT_R4:
      return NewBstr(FormatReal(v.fltVal, 7), out);
    case VT_R8:
      return NewBstr(FormatReal(v.dblVal, 15), out);
    case VT_CY:
      return NewBstr(FormatCurrency(v.cyVal.int64), out);
    case VT_DATE: {
      std::string text;
      if (!FormatOleDate(v.date, 0, &text)) return DISP_E_OVERFLOW;
      return NewBstr(text, out);
    }
    case VT_UI1 | VT_ARRAY: {
      // The bytes of a byte array become the bytes of the string.
      SAFEARRAY* psa = v.parray;
      if (psa == nullptr || psa->cDims != 1) return DISP_E_TYPEMISMATCH;
      *out = SysAllocStringByteLen(static_cast<LPCSTR>(psa->pvData), psa->rgsabound[0].cElements);
      return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    default: {
      Number n;
      HRESULT hr = NumberOf(v, &n);
      if (FAILED(hr)) return hr;
      if (n.kind != Number::kInt) return DISP_E_TYPEMISMATCH;
      return NewBstr(Int128ToString(n.i), out);
    }
  }
}

HRESULT ToBool(const VARIANT& v, VARIANT_BOOL* out) {
  if (v.vt == VT_BSTR) {
    const std::u16string_view text = Trim(BstrView(v.bstrVal));
    if (EqualsNoCase(text, "true") || EqualsNoCase(text, "#true#")) {
      *out = VARIANT_TRUE;
      return S_OK;
    }
    if (EqualsNoCase(text, "false") || EqualsNoCase(text, "#false#")) {
      *out = VARIANT_FALSE;
      return S_OK;
    }
  }
  Number n;
  HRESULT hr = NumberOf(v, &n);
  if (FAILED(hr)) return hr;
  double r = 0;
  hr = ToReal(n, &r);
  if (FAILED(hr)) {
    // A text too large for a double is still not zero.
    if (n.kind != Number::kText) return hr;
    r = 1;
  }
  *out = r != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT ConvertPlain(const VARIANT& src, LCID lcid, USHORT flags, VARTYPE vt, VARIANT* out,
                     int depth);

// A dispatch source converts through its value property, unless the caller forbids that.
HRESULT ConvertFromDispatch(const VARIANT& src, LCID lcid, USHORT flags, VARTYPE vt, VARIANT* out,
                            int depth) {
  if ((flags & VARIANT_NOVALUEPROP) || src.pdispVal == nullptr || depth > 0) {
    return DISP_E_TYPEMISMATCH;
  }
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = src.pdispVal->Invoke(DISPID_VALUE, IID_NULL, lcid, DISPATCH_PROPERTYGET, &none,
                                    &value, nullptr, nullptr);
  if (FAILED(hr)) return hr;
  VARIANT view;
  hr = Dereference(&value, &view);
  if (SUCCEEDED(hr)) hr = ConvertPlain(view, lcid, flags, vt, out, depth + 1);
  VariantClear(&value);
  return hr;
}

HRESULT ConvertPlain(const VARIANT& src, LCID lcid, USHORT flags, VARTYPE vt, VARIANT* out,
                     int depth) {
  VariantInit(out);
  if (vt == src.vt) return VariantCopy(out, &src);
  if (vt == VT_EMPTY) return S_OK;
  if (vt == VT_NULL) {
    if (src.vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
    out->vt = VT_NULL;
    return S_OK;
  }
  if (src.vt == VT_NULL) return DISP_E_TYPEMISMATCH;
  if (src.vt == VT_DISPATCH && vt != VT_UNKNOWN) {
    return ConvertFromDispatch(src, lcid, flags, vt, out, depth);
  }
  if (vt & VT_ARRAY) {
    if (vt == (VT_ARRAY | VT_UI1) && src.vt == VT_BSTR) {
      const UINT bytes = SysStringByteLen(src.bstrVal);
      SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, bytes);
      if (psa == nullptr) return E_OUTOFMEMORY;
      if (bytes != 0) std::memcpy(psa->pvData, src.bstrVal, bytes);
      out->vt = vt;
      out->parray = psa;
      return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
  }
  switch (vt) {
    case VT_UNKNOWN:
    case VT_DISPATCH: {
      if (src.vt != VT_UNKNOWN && src.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
      if (src.punkVal == nullptr) {
        out->vt = vt;
        return S_OK;
      }
      void* p = nullptr;
      const HRESULT hr =
          src.punkVal->QueryInterface(vt == VT_UNKNOWN ? IID_IUnknown : IID_IDispatch, &p);
      if (FAILED(hr)) return hr;
      out->vt = vt;
      out->punkVal = static_cast<IUnknown*>(p);
      return S_OK;
    }
    case VT_BSTR: {
      BSTR b = nullptr;
      const HRESULT hr = ToBstr(src, flags, &b);
      if (FAILED(hr)) return hr;
      out->vt = VT_BSTR;
      out->bstrVal = b;
      return S_OK;
    }
    case VT_BOOL: {
      VARIANT_BOOL b;
      const HRESULT hr = ToBool(src, &b);
      if (FAILED(hr)) return hr;
      out->vt = VT_BOOL;
      out->boolVal = b;
      return S_OK;
    }
    case VT_DATE: {
      double d = 0;
      if (src.vt == VT_BSTR) {
        if (!ParseOleDate(BstrView(src.bstrVal), &d)) return DISP_E_TYPEMISMATCH;
      } else {
        Number n;
        HRESULT hr = NumberOf(src, &n);
        if (SUCCEEDED(hr)) hr = ToReal(n, &d);
        if (FAILED(hr)) return hr;
        hr = CheckDate(d);
        if (FAILED(hr)) return hr;
      }
      out->vt = VT_DATE;
      out->date = d;
      return S_OK;
    }
    case VT_ERROR:
    case VT_VARIANT:
    case VT_DECIMAL:
      return vt == VT_ERROR ? DISP_E_TYPEMISMATCH : DISP_E_BADVARTYPE;
    default:
      break;
  }
  if (src.vt == VT_ERROR || src.vt == VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
  Number n;
  HRESULT hr = NumberOf(src, &n);
  if (FAILED(hr)) return hr;
  Int128 i = 0;
  switch (vt) {
    case VT_I1:
      hr = ToInteger(n, -128, 127, &i);
      out->cVal = static_cast<CHAR>(i);
      break;
    case VT_UI1:
      hr = ToInteger(n, 0, 255, &i);
      out->bVal = static_cast<BYTE>(i);
      break;
    case VT_I2:
      hr = ToInteger(n, -32768, 32767, &i);
      out->iVal = static_cast<SHORT>(i);
      break;
    case VT_UI2:
      hr = ToInteger(n, 0, 65535, &i);
      out->uiVal = static_cast<USHORT>(i);
      break;
    case VT_I4:
    case VT_INT:
      hr = ToInteger(n, INT32_MIN, INT32_MAX, &i);
      out->lVal = static_cast<LONG>(i);
      break;
    case VT_UI4:
    case VT_UINT:
      hr = ToInteger(n, 0, UINT32_MAX, &i);
      out->ulVal = static_cast<ULONG>(i);
      break;
    case VT_I8:
      hr = ToInteger(n, kInt64Min, kInt64Max, &i);
      out->llVal = static_cast<LONGLONG>(i);
      break;
    case VT_UI8:
      hr = ToInteger(n, 0, static_cast<Int128>(UINT64_MAX), &i);
      out->ullVal = static_cast<ULONGLONG>(i);
      break;
    case VT_R4: {
      double d = 0;
      hr = ToReal(n, &d);
      if (SUCCEEDED(hr) && std::isfinite(d) && std::fabs(d) > 3.4028234663852886e38)
        hr = DISP_E_OVERFLOW;
      out->fltVal = static_cast<float>(d);
      break;
    }
    case VT_R8:
      hr = ToReal(n, &out->dblVal);
      break;
    case VT_CY:
      hr = ToCurrency(n, &out->cyVal.int64);
      break;
    default:
      hr = DISP_E_BADVARTYPE;
      break;
  }
  if (FAILED(hr)) {
    VariantInit(out);
    return hr;
  }
  out->vt = vt;
  return S_OK;
}

}  // namespace
}  // namespace halyard::ole

HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid,
                            USHORT wFlags, VARTYPE vt) {
  using namespace halyard::ole;
  if (pvargDest == nullptr || pvarSrc == nullptr) return E_INVALIDARG;
  if (!IsValidVariantType(pvarSrc->vt)) return DISP_E_BADVARTYPE;
  if ((vt & (VT_BYREF | VT_VECTOR | VT_RESERVED)) != 0 || !IsValidVariantType(vt)) {
    return DISP_E_BADVARTYPE;
  }
  VARIANT view;
  HRESULT hr = Dereference(pvarSrc, &view);
  if (FAILED(hr)) return hr;
  VARIANT result;
  hr = ConvertPlain(view, lcid, wFlags, vt, &result, 0);
  if (FAILED(hr)) return hr;
  // The source may be the destination: it is cleared only once the result exists.
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  *pvargDest = result;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                          VARTYPE vt) {
  return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}

HRESULT VarBstrFromCy(CY cyIn, LCID, ULONG, BSTR* pbstrOut) {
  if (pbstrOut == nullptr) return E_INVALIDARG;
  *pbstrOut = halyard::ole::BstrFromAnsi(halyard::ole::FormatCurrency(cyIn.int64));
  return *pbstrOut != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT VarBstrFromDate(DATE dateIn, LCID, ULONG dwFlags, BSTR* pbstrOut) {
  if (pbstrOut == nullptr) return E_INVALIDARG;
  std::string text;
  if (!halyard::ole::FormatOleDate(dateIn, dwFlags, &text)) return E_INVALIDARG;
  *pbstrOut = halyard::ole::BstrFromAnsi(text);
  return *pbstrOut != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT VarBstrFromR8(DOUBLE dblIn, LCID, ULONG, BSTR* pbstrOut) {
  if (pbstrOut == nullptr) return E_INVALIDARG;
  *pbstrOut = halyard::ole::BstrFromAnsi(halyard::ole::FormatReal(dblIn, 15));
  return *pbstrOut != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT VarBstrFromI4(LONG lIn, LCID, ULONG, BSTR* pbstrOut) {
  if (pbstrOut == nullptr) return E_INVALIDARG;
  *pbstrOut = halyard::ole::BstrFromAnsi(std::to_string(lIn));
  return *pbstrOut != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT VarCyFromR8(DOUBLE dblIn, CY* pcyOut) {
  if (pcyOut == nullptr) return E_INVALIDARG;
  return halyard::ole::RealToCurrency(dblIn, &pcyOut->int64);
}

HRESULT VarR8FromCy(CY cyIn, DOUBLE* pdblOut) {
  if (pdblOut == nullptr) return E_INVALIDARG;
  *pdblOut = static_cast<double>(cyIn.int64) / 10000.0;
  return S_OK;
}

HRESULT VarCyFromStr(LPCOLESTR strIn, LCID, ULONG, CY* pcyOut) {
  if (strIn == nullptr || pcyOut == nullptr) return E_INVALIDARG;
  halyard::ole::DecimalText d;
  if (!halyard::ole::ParseDecimal(strIn, &d)) return DISP_E_TYPEMISMATCH;
  __int128 v;
  if (!halyard::ole::ScaleDecimal(d, 4, &v) || v < INT64_MIN || v > INT64_MAX) {
    return DISP_E_OVERFLOW;
  }
  pcyOut->int64 = static_cast<LONGLONG>(v);
  return S_OK;
}

HRESULT VarR8FromStr(LPCOLESTR strIn, LCID, ULONG, DOUBLE* pdblOut) {
  if (strIn == nullptr || pdblOut == nullptr) return E_INVALIDARG;
  halyard::ole::DecimalText d;
  if (!halyard::ole::ParseDecimal(strIn, &d)) return DISP_E_TYPEMISMATCH;
  return halyard::ole::DecimalToDouble(d, pdblOut) ? S_OK : DISP_E_OVERFLOW;
}

HRESULT VarDateFromStr(LPCOLESTR strIn, LCID, ULONG, DATE* pdateOut) {
  if (strIn == nullptr || pdateOut == nullptr) return E_INVALIDARG;
  return halyard::ole::ParseOleDate(strIn, pdateOut) ? S_OK : DISP_E_TYPEMISMATCH;
}

HRESULT VarI4FromR8(DOUBLE dblIn, LONG* plOut) {
  if (plOut == nullptr) return E_INVALIDARG;
  if (!std::isfinite(dblIn)) return DISP_E_OVERFLOW;
  const double r = std::nearbyint(dblIn);
  if (r < -2147483648.0 || r > 2147483647.0) return DISP_E_OVERFLOW;
  *plOut = static_cast<LONG>(r);
  return S_OK;
}

namespace {
HRESULT StoreCy(__int128 v, CY* out) {
  if (out == nullptr) return E_INVALIDARG;
  if (v < INT64_MIN || v > INT64_MAX) return DISP_E_OVERFLOW;
  out->int64 = static_cast<LONGLONG>(v);
  return S_OK;
}
}  // namespace

HRESULT VarCyAdd(CY cyLeft, CY cyRight, CY* pcyResult) {
  return StoreCy(static_cast<__int128>(cyLeft.int64) + cyRight.int64, pcyResult);
}

HRESULT VarCySub(CY cyLeft, CY cyRight, CY* pcyResult) {
  return StoreCy(static_cast<__int128>(cyLeft.int64) - cyRight.int64, pcyResult);
}

HRESULT VarCyMul(CY cyLeft, CY cyRight, CY* pcyResult) {
  const __int128 product = static_cast<__int128>(cyLeft.int64) * cyRight.int64;
  return StoreCy(halyard::ole::DivRoundEven(product, 10000), pcyResult);
}

HRESULT VarCyMulI4(CY cyLeft, LONG lRight, CY* pcyResult) {
  return StoreCy(static_cast<__int128>(cyLeft.int64) * lRight, pcyResult);
}

HRESULT VarCyCmp(CY cyLeft, CY cyRight) {
  if (cyLeft.int64 < cyRight.int64) return VARCMP_LT;
  if (cyLeft.int64 > cyRight.int64) return VARCMP_GT;
  return VARCMP_EQ;
}

INT SystemTimeToVariantTime(const SYSTEMTIME* lpSystemTime, DOUBLE* pvtime) {
  if (lpSystemTime == nullptr || pvtime == nullptr) return FALSE;
  const SYSTEMTIME& st = *lpSystemTime;
  return halyard::ole::OleDateFromParts(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
                                        st.wSecond, pvtime)
             ? TRUE
             : FALSE;
}

INT VariantTimeToSystemTime(DOUBLE vtime, SYSTEMTIME* lpSystemTime) {
  if (lpSystemTime == nullptr) return FALSE;
  halyard::ole::DateParts p;
  if (!halyard::ole::OleDateToParts(vtime, &p)) return FALSE;
  lpSystemTime->wYear = static_cast<WORD>(p.year);
  lpSystemTime->wMonth = static_cast<WORD>(p.month);
  lpSystemTime->wDayOfWeek = static_cast<WORD>(p.dayOfWeek - 1);
  lpSystemTime->wDay = static_cast<WORD>(p.day);
  lpSystemTime->wHour = static_cast<WORD>(p.hour);
  lpSystemTime->wMinute = static_cast<WORD>(p.minute);
  lpSystemTime->wSecond = static_cast<WORD>(p.second);
  lpSystemTime->wMilliseconds = 0;
  return TRUE;
}
