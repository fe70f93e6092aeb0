#include "platform/ole/safearray.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(SafeArray, ByteVectorBoundsAndData) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 1, 5);
  ASSERT_NE(psa, nullptr);
  EXPECT_EQ(SafeArrayGetDim(psa), 1u);
  EXPECT_EQ(SafeArrayGetElemsize(psa), 1u);
  LONG lb = 0, ub = 0;
  ASSERT_EQ(SafeArrayGetLBound(psa, 1, &lb), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(psa, 1, &ub), S_OK);
  EXPECT_EQ(lb, 1);
  EXPECT_EQ(ub, 5);
  EXPECT_EQ(SafeArrayGetUBound(psa, 2, &ub), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetUBound(psa, 0, &ub), DISP_E_BADINDEX);
  VARTYPE vt = 0;
  ASSERT_EQ(SafeArrayGetVartype(psa, &vt), S_OK);
  EXPECT_EQ(vt, VT_UI1);
  BYTE* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(psa, reinterpret_cast<void**>(&data)), S_OK);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(data[i], 0);  // elements start zeroed
  std::memcpy(data, "hello", 5);
  EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(psa), E_UNEXPECTED);
  LONG index = 5;
  BYTE b = 0;
  ASSERT_EQ(SafeArrayGetElement(psa, &index, &b), S_OK);
  EXPECT_EQ(b, 'o');
  index = 6;
  EXPECT_EQ(SafeArrayGetElement(psa, &index, &b), DISP_E_BADINDEX);
  index = 0;
  EXPECT_EQ(SafeArrayPutElement(psa, &index, &b), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
  EXPECT_EQ(SafeArrayAccessData(nullptr, reinterpret_cast<void**>(&data)), E_INVALIDARG);
  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(SafeArray, RefusesTypesAndSizesItCannotHold) {
  EXPECT_EQ(SafeArrayCreateVector(VT_RECORD, 0, 1), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_UI1, 0, 0xFFFFFFFF), nullptr);
  SAFEARRAYBOUND huge[2] = {{0x10000, 0}, {0x10000, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_I4, 2, huge), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_I4, 0, huge), nullptr);
  SAFEARRAY* empty = SafeArrayCreateVector(VT_UI1, 0, 0);
  ASSERT_NE(empty, nullptr);
  LONG ub = 0;
  ASSERT_EQ(SafeArrayGetUBound(empty, 1, &ub), S_OK);
  EXPECT_EQ(ub, -1);
  EXPECT_EQ(SafeArrayDestroy(empty), S_OK);
}

TEST(SafeArray, TwoDimensionsAreColumnMajorAndCopiesOwnTheirStrings) {
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 1}};  // [0..1][1..3]
  SAFEARRAY* psa = SafeArrayCreate(VT_BSTR, 2, bounds);
  ASSERT_NE(psa, nullptr);
  LONG ub = 0;
  ASSERT_EQ(SafeArrayGetUBound(psa, 2, &ub), S_OK);
  EXPECT_EQ(ub, 3);
  LONG at[2] = {1, 2};
  BSTR text = SysAllocString(u"cell");
  ASSERT_EQ(SafeArrayPutElement(psa, at, text), S_OK);  // copied in
  SysFreeString(text);
  // Element (1, 2) is the fourth: the first index varies fastest.
  EXPECT_EQ(halyard::ole::BstrView(static_cast<BSTR*>(psa->pvData)[3]), u"cell");
  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(psa, &copy), S_OK);
  ASSERT_EQ(SafeArrayDestroy(psa), S_OK);
  BSTR out = nullptr;
  ASSERT_EQ(SafeArrayGetElement(copy, at, &out), S_OK);
  EXPECT_EQ(halyard::ole::BstrView(out), u"cell");
  SysFreeString(out);
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
}

}  // namespace
