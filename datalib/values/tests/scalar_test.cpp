#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "platform/mfc/cmemfile.h"
#include "platform/mfc/stringtable.h"
#include "platform/ole/safearray.h"
#include "test_util.h"
#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_money.h"
#include "datalib/values/cpd_string.h"

using vaultkit_test::Load;
using vaultkit_test::MemRecord;
using vaultkit_test::Store;

namespace {

std::string Written(CPDObject& v) {
  std::ostringstream os;
  os << v;
  return os.str();
}

}  // namespace

TEST(PDRoot, AssignmentThroughTheRootThrowsTheExportedText) {
  CPDMoney a(1.0), b(2.0);
  CPDObject& root = a;
  try {
    root = static_cast<CPDObject&>(b);
    FAIL() << "no exception";
  } catch (char* text) {
    EXPECT_EQ(text, cPDUnsupportedConversion);
    EXPECT_STREQ(text, "unsupported conversion");
  }
  // The root's copy and new stay null for money; the money type's own give copies.
  const CPDObject& croot = a;
  EXPECT_EQ(croot.mCopy(), nullptr);
  EXPECT_EQ(croot.mNew(), nullptr);
  CPDMoney* copy = a.mCopy();
  EXPECT_EQ(copy->mGetWholeAmount(), 1);
  delete copy;
}

TEST(PDLong, ValueOperationsCompareAndForms) {
  CPDLong v(5);
  v |= 0x30;
  v &= 0x3F;
  EXPECT_EQ(v.mGetValue(), 0x35);
  CPDLong lo(-3), hi(4);
  EXPECT_EQ(lo.mCompare(&hi), -1);
  EXPECT_EQ(hi.mCompare(&lo), 1);
  EXPECT_EQ(hi.mCompare(nullptr), -1);
  EXPECT_EQ(Written(lo), "U-3 ");
  EXPECT_EQ(Store([&](CArchive& ar) { hi.Serialize(ar); }), (std::vector<BYTE>{4, 0, 0, 0}));
  CPDString s("x");
  EXPECT_THROW(static_cast<CPDObject&>(v) = static_cast<CPDObject&>(s), char*);
}

TEST(PDLong, VariantsTakeI4AndSignExtendedI2Only) {
  CPDLong v(7);
  COleVariant i2(static_cast<short>(-2));
  v.mConvertFromOleVariant(i2);
  EXPECT_EQ(v.mGetValue(), -2);
  v.mConvertFromOleVariant(COleVariant(3.5));
  EXPECT_EQ(v.mGetValue(), -2);
  COleVariant out;
  v.mConvertToOleVariant(&out);
  EXPECT_EQ(out.vt, VT_I4);
  EXPECT_EQ(out.lVal, -2);
}

TEST(PDString, LimitsOfConstructionAppendAndConcat) {
  EXPECT_EQ(CPDString(nullptr).getLength(), 0);
  std::string t300(300, 'a');
  CPDString s(t300.c_str());
  EXPECT_EQ(s.getLength(), 254);
  s = t300.c_str();
  EXPECT_EQ(s.getLength(), 254);
  CPDString a(std::string(250, 'b').c_str());
  a += CPDString("123456789");
  EXPECT_EQ(a.getLength(), 254);
  EXPECT_EQ(a[253], '4');
  CPDString c(std::string(254, 'c').c_str());
  c.mConcat("d", 0);  // 255 fits
  EXPECT_EQ(c.getLength(), 255);
  c.mConcat("e", 0);  // 256 does not: nothing appended
  EXPECT_EQ(c.getLength(), 255);
  CPDString d("ab");
  d.mConcat("cdef", 2);
  EXPECT_STREQ(static_cast<char*>(d), "abcd");
  CPDString e = CPDString("x") + "y";
  CPDString f = "w" + e;
  EXPECT_STREQ(static_cast<char*>(f), "wxy");
  EXPECT_STREQ(static_cast<char*>(e), "xy");
}

TEST(PDString, ComparisonCaseAndReplace) {
  CPDString a("abc"), b("abd"), A("ABC");
  EXPECT_TRUE(a < b);
  EXPECT_TRUE(b > a);
  EXPECT_TRUE(a <= a);
  EXPECT_TRUE(a != A);
  EXPECT_EQ(a.mCompare(nullptr), -1);
  EXPECT_EQ(a.mCaseInsensitiveCompare(&A), 0);
  EXPECT_LT(a.mCaseInsensitiveCompare(&b), 0);
  A.mToLower();
  EXPECT_TRUE(A == a);
  a.mToUpper();
  a.mReplaceAll('B', '-');
  EXPECT_STREQ(static_cast<char*>(a), "A-C");
  EXPECT_EQ(std::string(static_cast<CString>(a)), "A-C");
}

TEST(PDString, StreamFormsAndBoundedReading) {
  CPDString s("a b");
  EXPECT_EQ(Written(s), "T3 a b ");
  CPDString r;
  std::istringstream in("T3 a b T0  ");
  in >> r;
  EXPECT_STREQ(static_cast<char*>(r), "a b");
  in >> r;
  EXPECT_STREQ(static_cast<char*>(r), "");
  EXPECT_TRUE(in.good());
  // A length above 255 (never written by the class) takes 256 bytes and keeps 254.
  std::string big = "T300 " + std::string(300, 'z') + " ";
  std::istringstream in2(big);
  in2 >> r;
  EXPECT_EQ(r.getLength(), 254);
  // Negative and truncated lengths end in the failure state, never past the text.
  std::istringstream neg("T-5 abc ");
  neg >> r;
  EXPECT_TRUE(neg.fail());
  std::istringstream cut("T9 abc");
  CPDString t;
  cut >> t;
  EXPECT_TRUE(cut.fail());
  EXPECT_STREQ(static_cast<char*>(t), "abc");
}

TEST(PDString, ArchiveFormIsACStringAndLoadingKeeps254) {
  CPDString s("hello");
  EXPECT_EQ(Store([&](CArchive& ar) { s.Serialize(ar); }),
            (std::vector<BYTE>{5, 'h', 'e', 'l', 'l', 'o'}));
  auto bytes = Store([&](CArchive& ar) { ar << CString(std::string(400, 'q').c_str()); });
  ASSERT_EQ(bytes[0], 0xFF);
  CPDString r;
  EXPECT_EQ(Load(bytes, [&](CArchive& ar) { r.Serialize(ar); }), -1);
  EXPECT_EQ(r.getLength(), 254);
  bytes.resize(50);
  EXPECT_EQ(Load(bytes, [&](CArchive& ar) { r.Serialize(ar); }), CArchiveException::endOfFile);
}

TEST(PDString, VariantForms) {
  CPDString s;
  s.mConvertFromOleVariant(COleVariant(static_cast<LONG>(42)));
  EXPECT_STREQ(static_cast<char*>(s), "42");
  s.mConvertFromOleVariant(COleVariant(2.25));
  EXPECT_STREQ(static_cast<char*>(s), "2.2");  // "%.1f" of 2.25 rounds to even
  s.mConvertFromOleVariant(COleVariant(static_cast<float>(1.5)));
  EXPECT_STREQ(static_cast<char*>(s), "1.5");
  COleVariant str("text", VT_BSTRT);
  s.mConvertFromOleVariant(str);
  EXPECT_STREQ(static_cast<char*>(s), "text");
  COleVariant out;
  CPDString("round").mConvertToOleVariant(&out);
  CPDString back;
  back.mConvertFromOleVariant(out);
  EXPECT_STREQ(static_cast<char*>(back), "round");
}

TEST(PDRecord, ValuesReadAndWriteFieldsAndTheGuardIsReset) {
  MemRecord rec;
  CPDLong n(99);
  n.mSetValue(&rec, 1);
  CPDLong m;
  m.mGetValue(&rec, 1);
  EXPECT_EQ(m.mGetValue(), 99);

  CPDString s;
  s.mConcat(std::string(255, 'k').c_str(), 0);
  ASSERT_EQ(s.getLength(), 255);
  s.mSetValue(&rec, 2);  // the guard at 254 is reset first
  CPDString r;
  r.mGetValue(&rec, 2);
  EXPECT_EQ(r.getLength(), 254);
  rec.failing = 3;
  r.mGetValue(&rec, 3);  // the record's exception is absorbed and the text emptied
  EXPECT_EQ(r.getLength(), 0);

  CPDBuffer b;
  b.mInit("bytes", 0);
  b.mSetValue(&rec, 4);
  CPDBuffer c;
  c.mGetValue(&rec, 4);
  EXPECT_EQ(c.mGetLength(), 6);
  EXPECT_STREQ(c.mGetBuffer(), "bytes");
}

TEST(PDBuffer, ConstructionGrowthAndLengths) {
  CPDBuffer a(200, 64);
  EXPECT_EQ(a.mGetLength(), 200);
  EXPECT_EQ(a.mGetAllocatedSize(), 256);
  CPDBuffer b(0, 10);
  EXPECT_EQ(b.mGetBuffer(), nullptr);
  b.mInit("abc", 0);  // counts the NUL
  EXPECT_EQ(b.mGetLength(), 4);
  EXPECT_EQ(b.mGetAllocatedSize(), 10);
  b.mClearBuffer();
  b += "0123456789";  // 10 bytes need 11 with the terminator
  EXPECT_EQ(b.mGetLength(), 10);
  EXPECT_EQ(b.mGetAllocatedSize(), 20);
  b.mConcat("", 0);
  EXPECT_EQ(b.mGetLength(), 10);
  EXPECT_STREQ(static_cast<const char*>(b), "0123456789");
  b.mInit(nullptr, 3);
  EXPECT_EQ(b.mIsNull(), 1);
  b.mClear();
  EXPECT_EQ(b.mGetAllocatedSize(), 0);
  EXPECT_EQ(b.mIsNull(), 1);
  // A buffer filled exactly to its allocated size still takes its terminator safely.
  CPDBuffer exact(128, 128);
  std::memset(exact.mGetBuffer(), 'x', 128);
  EXPECT_EQ(std::strlen(static_cast<const char*>(exact)), 128u);
}

TEST(PDBuffer, LockingBlocksGrowthAndClear) {
  CPDBuffer b(0, 16);
  b.mInit("ab", 2);
  char* p = b.mLockBuffer(10);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(b.mLockBuffer(1), nullptr);
  std::memcpy(p, "cdef", 4);
  b.mClear();  // ignored while locked
  LONG size = b.mGetAllocatedSize();
  b.mConcat(std::string(100, 'z').c_str(), 0);  // cannot grow
  EXPECT_EQ(b.mGetAllocatedSize(), size);
  EXPECT_EQ(b.mGetLength(), 2);
  b.mUnlock(4);
  EXPECT_EQ(b.mIsLocked(), 0);
  EXPECT_EQ(std::string(b.mGetBuffer(), 6), "abcdef");
  b.mRollBack(3);
  EXPECT_EQ(b.mGetLength(), 3);
  // Counting more than was locked never takes the length past the block.
  b.mLockBuffer(2);
  b.mUnlock(1000);
  EXPECT_LT(b.mGetLength(), b.mGetAllocatedSize());
}

TEST(PDBuffer, ReplaceAllScansLeftToRightWithoutRescanning) {
  CPDBuffer b;
  b.mInit("aaaa", 4);
  EXPECT_EQ(b.mReplaceAll("aa", "b"), 2);
  EXPECT_EQ(std::string(b.mGetBuffer(), b.mGetLength()), "bb");
  b.mInit("xax\0ax", 6);  // NUL bytes are searched too
  EXPECT_EQ(b.mReplaceAll("a", "aaa"), 2);
  EXPECT_EQ(std::string(b.mGetBuffer(), b.mGetLength()), std::string("xaaax\0aaax", 10));
  EXPECT_EQ(b.mReplaceAll("", "q"), 0);
  EXPECT_EQ(b.mReplaceAll("zz", "q"), 0);
}

TEST(PDBuffer, CompareCopyAndAssign) {
  CPDBuffer ab, abc;
  ab.mInit("ab", 2);
  abc.mInit("abc", 3);
  EXPECT_EQ(ab.mCompare(&abc), -1);
  EXPECT_EQ(abc.mCompare(&ab), 1);
  EXPECT_EQ(ab.mCompare(nullptr), -1);
  CPDObject* copy = abc.mCopy();
  EXPECT_EQ(copy->mCompare(&abc), 0);
  delete copy;
  CPDBuffer small(0, 2);
  small = abc;
  EXPECT_EQ(small.mGetLength(), 3);
  EXPECT_EQ(small.mGetAllocatedSize(), 4);
  CPDBuffer& alias = small;
  small = alias;
  EXPECT_EQ(small.mCompare(&abc), 0);
}

TEST(PDBuffer, ReadFromFileCountsTheTerminator) {
  std::string data(1300, 'r');
  CMemFile f;
  f.Write(data.data(), static_cast<UINT>(data.size()));
  f.SeekToBegin();
  CPDBuffer b;
  EXPECT_EQ(b.mReadFromFile(f), 1300);
  EXPECT_EQ(b.mGetLength(), 1301);
  EXPECT_EQ(b.mGetBuffer()[1300], 0);
}

TEST(PDBuffer, StreamAndArchiveFormsWithFalseLengths) {
  CPDBuffer b;
  b.mInit("a\nb", 3);
  EXPECT_EQ(Written(b), "V3 a\nb ");
  CPDBuffer empty;
  EXPECT_EQ(Written(empty), "V0  ");
  std::istringstream in("V3 a\nb V0  ");
  CPDBuffer r;
  in >> r;
  EXPECT_EQ(std::string(r.mGetBuffer(), r.mGetLength()), "a\nb");
  in >> r;
  EXPECT_EQ(r.mGetLength(), 0);
  EXPECT_TRUE(in.good());
  // A huge length with little data fails without allocating the length.
  std::istringstream huge("V2000000000 abc");
  CPDBuffer h;
  huge >> h;
  EXPECT_TRUE(huge.fail());
  EXPECT_EQ(h.mGetLength(), 3);
  EXPECT_LE(h.mGetAllocatedSize(), 70000);
  std::istringstream neg("V-1 ");
  neg >> h;
  EXPECT_TRUE(neg.fail());

  auto bytes = Store([&](CArchive& ar) { b.Serialize(ar); });
  EXPECT_EQ(bytes, (std::vector<BYTE>{3, 0, 'a', '\n', 'b'}));
  CPDBuffer back;
  EXPECT_EQ(Load(bytes, [&](CArchive& ar) { back.Serialize(ar); }), -1);
  EXPECT_EQ(back.mCompare(&b), 0);
  // A count of 0xFFFF then a 32-bit count larger than the data: end of file, buffer unchanged.
  std::vector<BYTE> lie{0xFF, 0xFF, 0x00, 0x00, 0x00, 0x70, 'x'};
  EXPECT_EQ(Load(lie, [&](CArchive& ar) { back.Serialize(ar); }), CArchiveException::endOfFile);
  EXPECT_EQ(back.mCompare(&b), 0);
}

TEST(PDBuffer, VariantsStringAndByteArray) {
  CPDBuffer b;
  b.mConvertFromOleVariant(COleVariant("xyz", VT_BSTRT));
  EXPECT_EQ(b.mGetLength(), 4);
  SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, 3);
  BYTE* data = nullptr;
  SafeArrayAccessData(psa, reinterpret_cast<void**>(&data));
  data[0] = 1;
  data[1] = 0;
  data[2] = 3;
  SafeArrayUnaccessData(psa);
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = psa;
  COleVariant arr(v);
  VariantClear(&v);
  b.mConvertFromOleVariant(arr);
  EXPECT_EQ(std::string(b.mGetBuffer(), b.mGetLength()), std::string("\1\0\3", 3));
  // A variant holding no array changes nothing (its value is never taken as an address).
  b.mConvertFromOleVariant(COleVariant(static_cast<LONG>(0x1234)));
  EXPECT_EQ(b.mGetLength(), 3);
  COleVariant out;
  CPDBuffer t;
  t.mInit("text", 0);
  t.mConvertToOleVariant(&out);
  CPDBuffer back;
  back.mConvertFromOleVariant(out);
  EXPECT_STREQ(back.mGetBuffer(), "text");
}

TEST(PDMoney, ArithmeticIsPartByPart) {
  CPDMoney sum = CPDMoney(2.5) + CPDMoney(3.75);
  EXPECT_EQ(sum.mGetWholeAmount(), 6);
  EXPECT_EQ(sum.mGetFractionalAmount(), 25);
  CPDMoney diff = CPDMoney(5.50) - CPDMoney(2.75);
  EXPECT_EQ(diff.mGetWholeAmount(), 2);
  EXPECT_EQ(diff.mGetFractionalAmount(), 75);
  CPDMoney q = CPDMoney(1.50) / 4;
  EXPECT_EQ(q.mGetWholeAmount(), 0);
  EXPECT_EQ(q.mGetFractionalAmount(), 37);
  CPDMoney p = CPDMoney(1.75) * 3;
  EXPECT_EQ(p.mGetWholeAmount(), 5);
  EXPECT_EQ(p.mGetFractionalAmount(), 25);
  CPDMoney acc(1.0);
  acc += CPDMoney(0.5);
  acc *= 2;
  acc -= CPDMoney(0.25);
  acc /= 2;
  EXPECT_DOUBLE_EQ(acc.mGetAmount(), 1.37);
  // Division by zero leaves the amount as it was instead of stopping the process.
  CPDMoney z = CPDMoney(3.5) / 0;
  EXPECT_EQ(z.mGetWholeAmount(), 3);
  EXPECT_EQ(z.mGetFractionalAmount(), 50);
  // Whole parts wrap in 32 bits as on the original, without undefined behaviour.
  CPDMoney big;
  big.mSetWholeAmount(0x7FFFFFFF);
  EXPECT_EQ((big + CPDMoney(1.0)).mGetWholeAmount(), INT32_MIN);
}

TEST(PDMoney, AmountsAreTruncatedNotRounded) {
  CPDMoney m(0.29);
  EXPECT_EQ(m.mGetFractionalAmount(), 28);
  CPDMoney neg(-1.25);
  EXPECT_EQ(neg.mGetWholeAmount(), -1);
  EXPECT_EQ(neg.mGetFractionalAmount(), -25);
  EXPECT_EQ(static_cast<long>(CPDMoney(-7.99)), -7);
  EXPECT_STREQ(static_cast<char*>(static_cast<CPDString>(CPDMoney(12.0))), "12");
  EXPECT_STREQ(static_cast<char*>(static_cast<CPDString>(CPDMoney(12.5))), "12.50");
  EXPECT_EQ(CPDMoney(CPDString("4.199")).mGetFractionalAmount(), 19);
  // Amounts whose whole units do not fit 32 bits give the indefinite integer.
  CPDMoney huge(1e300);
  EXPECT_EQ(huge.mGetWholeAmount(), INT32_MIN);
  EXPECT_EQ(huge.mGetFractionalAmount(), 0);
}

TEST(PDMoney, AmountsFromTwentyOneMillionUpStayExact) {
  // 21,474,836.48 is the first amount whose hundredths no longer fit 32 bits.
  CPDMoney edge(21474836.48);
  EXPECT_EQ(edge.mGetWholeAmount(), 21474836);
  EXPECT_EQ(edge.mGetFractionalAmount(), 48);
  CPDMoney big(30000000.25);
  EXPECT_EQ(big.mGetWholeAmount(), 30000000);
  EXPECT_EQ(big.mGetFractionalAmount(), 25);
  CPDMoney text(CPDString("-99999999.5"));
  EXPECT_EQ(text.mGetWholeAmount(), -99999999);
  EXPECT_EQ(text.mGetFractionalAmount(), -50);
  CPDMoney max(2147483647.0);
  EXPECT_EQ(max.mGetWholeAmount(), 2147483647);

  CPDMoney half(0.5);
  CPDMoney product = half * 50000000L;
  EXPECT_EQ(product.mGetWholeAmount(), 25000000);
  EXPECT_EQ(product.mGetFractionalAmount(), 0);
  CPDMoney tenMillion(10000000.10);
  EXPECT_EQ((tenMillion * 3L).mGetWholeAmount(), 30000000);
  EXPECT_EQ((tenMillion * 3L).mGetFractionalAmount(), 30);

  CPDMoney q = CPDMoney(90000000.0) / 4L;
  EXPECT_EQ(q.mGetWholeAmount(), 22500000);
  EXPECT_EQ(q.mGetFractionalAmount(), 0);
  CPDMoney r = CPDMoney(2000000000.5) / 3L;
  EXPECT_EQ(r.mGetWholeAmount(), 666666666);
  EXPECT_EQ(r.mGetFractionalAmount(), 83);
}

TEST(PDMoney, ComparisonAndVariants) {
  CPDMoney a(1.10), b(2.20);
  EXPECT_TRUE(a < b);
  EXPECT_TRUE(a != b);
  EXPECT_EQ(a.mCompare(&b), -1);
  EXPECT_EQ(b.mCompare(&a), 1);
  EXPECT_EQ(a.mCompare(&a), 0);
  CPDMoney m;
  CY cy;
  cy.int64 = 123450;  // 12.345
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_CY;
  v.cyVal = cy;
  m.mConvertFromOleVariant(COleVariant(v));
  EXPECT_EQ(m.mGetWholeAmount(), 12);
  EXPECT_EQ(m.mGetFractionalAmount(), 34);
  m.mConvertFromOleVariant(COleVariant(static_cast<LONG>(5)));  // ignored
  EXPECT_EQ(m.mGetWholeAmount(), 12);
  COleVariant out;
  m.mConvertToOleVariant(&out);
  EXPECT_EQ(out.vt, VT_R8);
  EXPECT_DOUBLE_EQ(out.dblVal, 12.34);
}

TEST(PDString, LoadStringKeeps254AndLeavesTheTextOnFailure) {
  static const std::string longText(300, 'r');
  static const halyard::StringResource table[] = {{61001, "Loaded"}, {61002, longText.c_str()}};
  halyard::StringTableRegistration registration(table);
  CPDString s("before");
  EXPECT_EQ(s.LoadStringA(61999), 0);
  EXPECT_STREQ(static_cast<char*>(s), "before");
  EXPECT_EQ(s.LoadStringA(61001), 1);
  EXPECT_STREQ(static_cast<char*>(s), "Loaded");
  EXPECT_EQ(s.LoadStringA(61002), 1);
  EXPECT_EQ(s.getLength(), 254);
}
