#include "platform/ole/variant.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/ole/dispatch.h"
#include "platform/ole/safearray.h"

namespace {

// A variant that clears itself, so that leaks show under the sanitizers.
struct Var : VARIANT {
  Var() { VariantInit(this); }
  ~Var() { VariantClear(this); }
};

Var FromR8(double d) {
  Var v;
  v.vt = VT_R8;
  v.dblVal = d;
  return v;
}

Var FromText(const char16_t* text) {
  Var v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return v;
}

std::u16string Text(const VARIANT& v) { return std::u16string(halyard::ole::BstrView(v.bstrVal)); }

HRESULT Change(Var& out, const VARIANT& in, VARTYPE vt, USHORT flags = 0) {
  return VariantChangeType(&out, &in, flags, vt);
}

TEST(VariantChangeType, DoublesRoundHalfToEvenIntoIntegers) {
  struct {
    double in;
    LONG out;
  } cases[] = {{2.5, 2},
               {3.5, 4},
               {-2.5, -2},
               {-3.5, -4},
               {2.4999, 2},
               {1e9, 1000000000},
               {-2147483648.4, INT32_MIN}};
  for (const auto& c : cases) {
    Var out;
    ASSERT_EQ(Change(out, FromR8(c.in), VT_I4), S_OK) << c.in;
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, c.out) << c.in;
  }
  Var out;
  EXPECT_EQ(Change(out, FromR8(2147483647.5), VT_I4), DISP_E_OVERFLOW);
  EXPECT_EQ(Change(out, FromR8(1.0 / 0.0), VT_I4), DISP_E_OVERFLOW);
  EXPECT_EQ(out.vt, VT_EMPTY);  // a failed conversion leaves the destination as it was
  EXPECT_EQ(Change(out, FromR8(255.5), VT_UI1), DISP_E_OVERFLOW);  // rounds to 256
  ASSERT_EQ(Change(out, FromR8(254.5), VT_UI1), S_OK);
  EXPECT_EQ(out.bVal, 254);
  Var minus;
  minus.vt = VT_I2;
  minus.iVal = -1;
  EXPECT_EQ(Change(out, minus, VT_UI1), DISP_E_OVERFLOW);
  EXPECT_EQ(Change(out, minus, VT_UI4), DISP_E_OVERFLOW);
  ASSERT_EQ(Change(out, minus, VT_I8), S_OK);
  EXPECT_EQ(out.llVal, -1);
}

TEST(VariantChangeType, TextsReadAsUnitedStatesNumbers) {
  struct {
    const char16_t* in;
    double out;
  } cases[] = {{u"  1,234.5 ", 1234.5}, {u"-7", -7},    {u"7-", -7},     {u"(5)", -5},
               {u"$12.25", 12.25},      {u"1e3", 1000}, {u"1.5D2", 150}, {u"&HFF", 255},
               {u"&o17", 15},           {u".5", 0.5},   {u"+0", 0}};
  for (const auto& c : cases) {
    Var out;
    ASSERT_EQ(Change(out, FromText(c.in), VT_R8), S_OK) << std::string(c.in, c.in + 3);
    EXPECT_DOUBLE_EQ(out.dblVal, c.out);
  }
  const char16_t* bad[] = {u"",     u"  ", u"12abc", u"1.2.3", u"--1",
                           u"(-1)", u"e5", u"&H",    u"&HFG",  u"$"};
  for (const char16_t* text : bad) {
    Var out;
    EXPECT_EQ(Change(out, FromText(text), VT_R8), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Change(out, FromText(text), VT_I4), DISP_E_TYPEMISMATCH);
  }
  Var out;
  ASSERT_EQ(Change(out, FromText(u"1234.5"), VT_I4), S_OK);
  EXPECT_EQ(out.lVal, 1234);  // half to even
  ASSERT_EQ(Change(out, FromText(u"99999999999999999999"), VT_R8), S_OK);
  EXPECT_EQ(Change(out, FromText(u"99999999999999999999"), VT_I8), DISP_E_OVERFLOW);
  EXPECT_EQ(Change(out, FromText(u"1e400"), VT_R8), DISP_E_OVERFLOW);
  ASSERT_EQ(Change(out, FromText(u"9223372036854775807"), VT_I8), S_OK);
  EXPECT_EQ(out.llVal, INT64_MAX);
  Var nullText;
  nullText.vt = VT_BSTR;  // a null BSTR is the empty text
  EXPECT_EQ(Change(out, nullText, VT_I4), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, NumbersBecomeTheTextsAutomationWrites) {
  struct {
    double in;
    const char16_t* out;
  } cases[] = {{0.1, u"0.1"},
               {1e16, u"1E+16"},
               {1.0 / 3, u"0.333333333333333"},
               {123456789012345.0, u"123456789012345"},
               {-2.5, u"-2.5"},
               {0.00001, u"1E-05"},
               {-0.0, u"0"}};
  for (const auto& c : cases) {
    Var out;
    ASSERT_EQ(Change(out, FromR8(c.in), VT_BSTR), S_OK);
    EXPECT_EQ(Text(out), c.out) << c.in;
  }
  Var f;
  f.vt = VT_R4;
  f.fltVal = 0.1f;
  Var out;
  ASSERT_EQ(Change(out, f, VT_BSTR), S_OK);
  EXPECT_EQ(Text(out), u"0.1");
  Var b;
  b.vt = VT_BOOL;
  b.boolVal = VARIANT_TRUE;
  ASSERT_EQ(Change(out, b, VT_BSTR), S_OK);
  EXPECT_EQ(Text(out), u"-1");
  ASSERT_EQ(Change(out, b, VT_BSTR, VARIANT_ALPHABOOL), S_OK);
  EXPECT_EQ(Text(out), u"True");
  Var i;
  i.vt = VT_UI4;
  i.ulVal = 4000000000u;
  ASSERT_EQ(Change(out, i, VT_BSTR), S_OK);
  EXPECT_EQ(Text(out), u"4000000000");
  Var empty;
  ASSERT_EQ(Change(out, empty, VT_BSTR), S_OK);
  ASSERT_NE(out.bstrVal, nullptr);
  EXPECT_EQ(SysStringLen(out.bstrVal), 0u);
}

TEST(VariantChangeType, CurrencyIsExactToTheTenThousandth) {
  Var out;
  ASSERT_EQ(Change(out, FromR8(0.29), VT_CY), S_OK);
  EXPECT_EQ(out.cyVal.int64, 2900);
  ASSERT_EQ(Change(out, FromText(u"1.23455"), VT_CY), S_OK);
  EXPECT_EQ(out.cyVal.int64, 12346);
  ASSERT_EQ(Change(out, FromText(u"1.23445"), VT_CY), S_OK);
  EXPECT_EQ(out.cyVal.int64, 12344);
  ASSERT_EQ(Change(out, FromText(u"922337203685477.5807"), VT_CY), S_OK);
  EXPECT_EQ(out.cyVal.int64, INT64_MAX);
  EXPECT_EQ(Change(out, FromText(u"922337203685477.5808"), VT_CY), DISP_E_OVERFLOW);
  EXPECT_EQ(Change(out, FromR8(1e15), VT_CY), DISP_E_OVERFLOW);
  Var cy;
  cy.vt = VT_CY;
  cy.cyVal.int64 = 125000;  // 12.5
  ASSERT_EQ(Change(out, cy, VT_BSTR), S_OK);
  EXPECT_EQ(Text(out), u"12.5");
  cy.cyVal.int64 = -1;
  ASSERT_EQ(Change(out, cy, VT_BSTR), S_OK);
  EXPECT_EQ(Text(out), u"-0.0001");
  cy.cyVal.int64 = 30000;
  ASSERT_EQ(Change(out, cy, VT_BSTR), S_OK);
  EXPECT_EQ(Text(out), u"3");
  cy.cyVal.int64 = 25000;  // 2.5 rounds to 2, 3.5 to 4
  ASSERT_EQ(Change(out, cy, VT_I4), S_OK);
  EXPECT_EQ(out.lVal, 2);
  cy.cyVal.int64 = 35000;
  ASSERT_EQ(Change(out, cy, VT_I2), S_OK);
  EXPECT_EQ(out.iVal, 4);
  ASSERT_EQ(Change(out, cy, VT_R8), S_OK);
  EXPECT_EQ(out.dblVal, 3.5);
}

TEST(VariantChangeType, BooleansFromTextsAndNumbers) {
  Var out;
  ASSERT_EQ(Change(out, FromText(u" true "), VT_BOOL), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  ASSERT_EQ(Change(out, FromText(u"#FALSE#"), VT_BOOL), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  ASSERT_EQ(Change(out, FromText(u"0.5"), VT_BOOL), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  EXPECT_EQ(Change(out, FromText(u"yes"), VT_BOOL), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(Change(out, FromR8(0), VT_BOOL), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  Var b;
  b.vt = VT_BOOL;
  b.boolVal = VARIANT_TRUE;
  ASSERT_EQ(Change(out, b, VT_I4), S_OK);
  EXPECT_EQ(out.lVal, -1);
}

TEST(VariantChangeType, DatesToAndFromTextsAndNumbers) {
  struct {
    double in;
    const char16_t* out;
  } cases[] = {{36526.5, u"1/1/2000 12:00:00 PM"},
               {36526, u"1/1/2000"},
               {0, u"12:00:00 AM"},
               {0.75, u"6:00:00 PM"},
               {-1.25, u"12/29/1899 6:00:00 AM"},
               {2958465.99999, u"12/31/9999 11:59:59 PM"}};
  for (const auto& c : cases) {
    Var d;
    d.vt = VT_DATE;
    d.date = c.in;
    Var out;
    ASSERT_EQ(Change(out, d, VT_BSTR), S_OK) << c.in;
    EXPECT_EQ(Text(out), c.out) << c.in;
    // and back again
    Var back;
    ASSERT_EQ(Change(back, out, VT_DATE), S_OK) << c.in;
    EXPECT_NEAR(back.date, c.in, 1.0 / 86400);
  }
  Var out;
  ASSERT_EQ(Change(out, FromText(u"1/2/2000 1:05 PM"), VT_DATE), S_OK);
  EXPECT_DOUBLE_EQ(out.date, 36527 + (13 * 60 + 5) / 1440.0);
  ASSERT_EQ(Change(out, FromText(u"2000-01-02"), VT_DATE), S_OK);
  EXPECT_EQ(out.date, 36527);
  ASSERT_EQ(Change(out, FromText(u"March 10, 1998"), VT_DATE), S_OK);
  EXPECT_EQ(out.date, 35864);
  ASSERT_EQ(Change(out, FromText(u"10 Mar 98 00:00:01"), VT_DATE), S_OK);
  EXPECT_DOUBLE_EQ(out.date, 35864 + 1 / 86400.0);
  EXPECT_EQ(Change(out, FromText(u"2/30/2000"), VT_DATE), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Change(out, FromText(u"13:61"), VT_DATE), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Change(out, FromText(u"someday"), VT_DATE), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Change(out, FromR8(1e7), VT_DATE), DISP_E_OVERFLOW);
  ASSERT_EQ(Change(out, FromR8(36526.25), VT_DATE), S_OK);
  EXPECT_EQ(out.date, 36526.25);
  Var d;
  d.vt = VT_DATE;
  d.date = 1e300;
  EXPECT_EQ(Change(out, d, VT_BSTR), DISP_E_OVERFLOW);
}

TEST(VariantChangeType, EmptyNullAndTypesWithoutConversion) {
  Var empty, out;
  ASSERT_EQ(Change(out, empty, VT_I4), S_OK);
  EXPECT_EQ(out.vt, VT_I4);
  EXPECT_EQ(out.lVal, 0);
  Var null;
  null.vt = VT_NULL;
  EXPECT_EQ(Change(out, null, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Change(out, null, VT_BSTR), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(Change(out, null, VT_NULL), S_OK);
  EXPECT_EQ(out.vt, VT_NULL);
  Var err;
  err.vt = VT_ERROR;
  err.scode = DISP_E_PARAMNOTFOUND;
  EXPECT_EQ(Change(out, err, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Change(out, FromR8(1), VT_I4 | VT_BYREF), DISP_E_BADVARTYPE);
  EXPECT_EQ(Change(out, FromR8(1), 15), DISP_E_BADVARTYPE);
  Var byValue;
  byValue.vt = VT_VARIANT;  // only a reference to a variant, or an array of them, is a variant
  EXPECT_EQ(Change(out, byValue, VT_I4), DISP_E_BADVARTYPE);
  byValue.vt = VT_EMPTY;
  Var bad;
  bad.vt = 0x7F;
  EXPECT_EQ(Change(out, bad, VT_I4), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
  bad.vt = VT_EMPTY;
}

TEST(VariantChangeType, InPlaceByReferenceAndByteArrays) {
  Var v = FromText(u"42");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);  // the old BSTR is freed
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 42);
  LONG target = 7;
  Var ref;
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &target;
  Var out;
  ASSERT_EQ(Change(out, ref, VT_BSTR), S_OK);
  EXPECT_EQ(Text(out), u"7");
  ref.vt = VT_EMPTY;  // references own nothing

  Var bytes;
  bytes.vt = VT_BSTR;
  bytes.bstrVal = SysAllocStringByteLen("abc", 3);
  Var arr;
  ASSERT_EQ(Change(arr, bytes, VT_ARRAY | VT_UI1), S_OK);
  LONG ub = 0;
  ASSERT_EQ(SafeArrayGetUBound(arr.parray, 1, &ub), S_OK);
  EXPECT_EQ(ub, 2);
  EXPECT_EQ(std::memcmp(arr.parray->pvData, "abc", 3), 0);
  Var back;
  ASSERT_EQ(Change(back, arr, VT_BSTR), S_OK);
  EXPECT_EQ(SysStringByteLen(back.bstrVal), 3u);
  EXPECT_EQ(std::memcmp(back.bstrVal, "abc", 3), 0);
  EXPECT_EQ(Change(out, arr, VT_I4), DISP_E_TYPEMISMATCH);
}

// An object whose value property is 42.
struct ValueObject : IDispatch {
  ULONG refs = 1;
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
      *ppv = this;
      ++refs;
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO*, UINT*) override {
    if (id != DISPID_VALUE || flags != DISPATCH_PROPERTYGET || params->cArgs != 0) {
      return DISP_E_MEMBERNOTFOUND;
    }
    result->vt = VT_I4;
    result->lVal = 42;
    return S_OK;
  }
};

TEST(VariantChangeType, ObjectsConvertThroughTheirValueProperty) {
  ValueObject object;
  {
    Var v;
    v.vt = VT_DISPATCH;
    v.pdispVal = &object;
    object.AddRef();
    Var out;
    ASSERT_EQ(Change(out, v, VT_BSTR), S_OK);
    EXPECT_EQ(Text(out), u"42");
    EXPECT_EQ(Change(out, v, VT_BSTR, VARIANT_NOVALUEPROP), DISP_E_TYPEMISMATCH);
    Var unk;
    ASSERT_EQ(Change(unk, v, VT_UNKNOWN), S_OK);
    EXPECT_EQ(object.refs, 3u);
    Var copy;
    ASSERT_EQ(VariantCopy(&copy, &v), S_OK);
    EXPECT_EQ(object.refs, 4u);
  }
  EXPECT_EQ(object.refs, 1u);  // every variant released its reference
}

TEST(VariantCopy, CopiesOwnedValuesAndKeepsByteLengths) {
  Var src;
  src.vt = VT_BSTR;
  src.bstrVal = SysAllocStringByteLen("odd", 3);
  Var dst = FromText(u"old");  // cleared first, not leaked
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
  ASSERT_NE(dst.bstrVal, src.bstrVal);
  EXPECT_EQ(SysStringByteLen(dst.bstrVal), 3u);
  Var arr;
  arr.vt = VT_ARRAY | VT_UI1;
  arr.parray = SafeArrayCreateVector(VT_UI1, 0, 4);
  static_cast<BYTE*>(arr.parray->pvData)[3] = 9;
  ASSERT_EQ(VariantCopy(&dst, &arr), S_OK);
  ASSERT_NE(dst.parray, arr.parray);
  EXPECT_EQ(static_cast<BYTE*>(dst.parray->pvData)[3], 9);
  // A locked array cannot be cleared, and the variant keeps it.
  void* data;
  ASSERT_EQ(SafeArrayAccessData(dst.parray, &data), S_OK);
  EXPECT_EQ(VariantClear(&dst), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(dst.vt, VT_ARRAY | VT_UI1);
  ASSERT_EQ(SafeArrayUnaccessData(dst.parray), S_OK);
}

TEST(VarCurrency, ArithmeticIsExactAndReportsOverflow) {
  CY a, b, r;
  a.int64 = 25000;  // 2.5
  b.int64 = 37500;  // 3.75
  ASSERT_EQ(VarCyAdd(a, b, &r), S_OK);
  EXPECT_EQ(r.int64, 62500);
  ASSERT_EQ(VarCySub(a, b, &r), S_OK);
  EXPECT_EQ(r.int64, -12500);
  ASSERT_EQ(VarCyMul(a, b, &r), S_OK);
  EXPECT_EQ(r.int64, 93750);  // 9.375
  a.int64 = 1;                // 0.0001 x 0.5 = 0.00005, half to even gives 0
  b.int64 = 5000;
  ASSERT_EQ(VarCyMul(a, b, &r), S_OK);
  EXPECT_EQ(r.int64, 0);
  a.int64 = INT64_MAX;
  b.int64 = 1;
  EXPECT_EQ(VarCyAdd(a, b, &r), DISP_E_OVERFLOW);
  EXPECT_EQ(VarCyMulI4(a, 2, &r), DISP_E_OVERFLOW);
  EXPECT_EQ(VarCyCmp(a, b), VARCMP_GT);
  BSTR text = nullptr;
  a.int64 = -123456789;
  ASSERT_EQ(VarBstrFromCy(a, LOCALE_USER_DEFAULT, 0, &text), S_OK);
  EXPECT_EQ(halyard::ole::BstrView(text), u"-12345.6789");
  SysFreeString(text);
}

}  // namespace
