#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "test_util.h"
#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"

using vaultkit_test::Load;
using vaultkit_test::Store;

namespace {

std::string Written(CPDObject& v) {
  std::ostringstream os;
  os << v;
  return os.str();
}

void Put(std::vector<BYTE>& out, LONG v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(static_cast<DWORD>(v) >> (8 * i)));
}

}  // namespace

TEST(PDArray, GrowthAndShrinkBySixteenSlots) {
  CPDLongArray a;
  EXPECT_EQ(a.mGetAllocatedSlots(), 16);
  EXPECT_EQ(a.mGetNumItems(), 0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(reinterpret_cast<LONG*>(a.mItemPtr(0))[i], 0);
  for (LONG i = 0; i < 17; ++i) a.mAdd(&i);
  EXPECT_EQ(a.mGetAllocatedSlots(), 32);
  for (LONG i = 0; i < 40; ++i) a.mAdd(&i);
  EXPECT_EQ(a.mGetAllocatedSlots(), 64);
  // 57 items in 64 slots; shrink once items + 16 < slots.
  while (a.mGetNumItems() > 48) a.mDeleteItem(0);
  EXPECT_EQ(a.mGetAllocatedSlots(), 64);
  a.mDeleteItem(0);  // 47 + 16 < 64
  EXPECT_EQ(a.mGetAllocatedSlots(), 48);
  EXPECT_EQ(a[0], 10);  // deleting from the front moved the rest down
  a.mDeleteItem(1000);
  a.mDeleteItem(-1);
  EXPECT_EQ(a.mGetNumItems(), 47);
}

TEST(PDArray, ItemAccessIgnoresOutOfRangeIndexes) {
  CPDLongArray a;
  LONG v = 4, out = 99;
  a.mAdd(&v);
  a.mSetArrayItem(&out, 1);
  a.mGetArrayItem(&out, 1);
  EXPECT_EQ(out, 99);
  a.mGetArrayItem(&out, 0);
  EXPECT_EQ(out, 4);
  a[5] = 8;  // the non-const index appends up to it
  EXPECT_EQ(a.mGetNumItems(), 6);
  EXPECT_EQ(a[5], 8);
  EXPECT_EQ(a[3], 0);
  EXPECT_EQ(a.mSearch(8), 5);
  EXPECT_EQ(a.mSearch(77), -1);
  EXPECT_EQ(a.mSearch(reinterpret_cast<void*>(8), nullptr), 5);
  CPDLong c(12);
  a.mAdd(&c);
  EXPECT_EQ(a[6], 12);
  EXPECT_EQ(a.mSize(), 64);
  CPDStringArray s;
  EXPECT_TRUE(s > a);  // compares chunk sizes, not contents
}

TEST(PDArray, ClearCopyAndAssign) {
  CPDLongArray a;
  for (LONG i = 0; i < 20; ++i) a.mAdd(&i);
  CPDArray b(a);
  EXPECT_EQ(b.mGetNumItems(), 20);
  CPDObject* copy = a.mCopy();
  auto* plain = dynamic_cast<CPDArray*>(copy);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(dynamic_cast<CPDLongArray*>(copy), nullptr);  // a plain array, as specified
  EXPECT_EQ(plain->mGetNumItems(), 20);
  delete copy;
  CPDArray& alias = b;
  b = alias;  // self-assignment keeps the items
  EXPECT_EQ(b.mGetNumItems(), 20);
  LONG v;
  b.mGetArrayItem(&v, 19);
  EXPECT_EQ(v, 19);
  a.mClear();  // growth step becomes the allocated count
  EXPECT_EQ(a.mGetNumItems(), 0);
  EXPECT_EQ(a.mGetGrowthStep(), 32);
  EXPECT_EQ(a.mGetAllocatedSlots(), 32);
  EXPECT_THROW(static_cast<CPDObject&>(a) = static_cast<CPDObject&>(b), char*);
}

TEST(PDArray, ZeroGrowthStepStillGrows) {
  CPDArray a(4, 0);
  EXPECT_EQ(a.mGetAllocatedSlots(), 0);
  for (LONG i = 0; i < 40; ++i) a.mAdd(&i);
  EXPECT_EQ(a.mGetNumItems(), 40);
  LONG v;
  a.mGetArrayItem(&v, 39);
  EXPECT_EQ(v, 39);
}

TEST(PDLongArray, StreamFormAndReadingAppends) {
  CPDLongArray a;
  LONG x = 7, y = 9;
  a.mAdd(&x);
  a.mAdd(&y);
  EXPECT_EQ(Written(a), "YU2 U7 U9 ");
  CPDLongArray b;
  b.mAdd(&x);
  std::istringstream in("YU2 U7 U9 ");
  in >> b;
  EXPECT_EQ(b.mGetNumItems(), 3);
  EXPECT_EQ(b[2], 9);
  // A count beyond the data, or a negative one, fails without growing beyond what was read.
  CPDLongArray c;
  std::istringstream lie("YU1000000000 U1 U2 ");
  lie >> c;
  EXPECT_TRUE(lie.fail());
  EXPECT_EQ(c.mGetNumItems(), 2);
  EXPECT_LE(c.mGetAllocatedSlots(), 16);
  std::istringstream neg("YU-3 U1 ");
  neg >> c;
  EXPECT_TRUE(neg.fail());
}

TEST(PDLongArray, SaveAndLoadThroughABuffer) {
  CPDLongArray a;
  for (LONG i = -3; i < 30; ++i) a.mAdd(&i);
  CPDBuffer buf;
  a.mSave(buf);
  EXPECT_EQ(std::string(buf.mGetBuffer(), buf.mGetLength()), Written(a));
  CPDLongArray b;
  b.mLoad(buf);
  ASSERT_EQ(b.mGetNumItems(), 33);
  EXPECT_EQ(b[0], -3);
  EXPECT_EQ(b[32], 29);
  CPDBuffer empty;
  b.mLoad(empty);
  EXPECT_EQ(b.mGetNumItems(), 0);
}

TEST(PDLongArray, ArchiveFormCarriesEverySlot) {
  CPDLongArray a;
  LONG v = 0x01020304;
  a.mAdd(&v);
  auto bytes = Store([&](CArchive& ar) { a.Serialize(ar); });
  std::vector<BYTE> want{4, 0, 0, 0, 16, 0, 16, 0, 0, 0, 1, 0, 0, 0, 4, 3, 2, 1};
  want.resize(14 + 64, 0);
  EXPECT_EQ(bytes, want);
  CPDLongArray b;
  EXPECT_EQ(Load(bytes, [&](CArchive& ar) { b.Serialize(ar); }), -1);
  EXPECT_EQ(b.mGetNumItems(), 1);
  EXPECT_EQ(b[0], v);
  EXPECT_EQ(b.mGetAllocatedSlots(), 16);
}

TEST(PDLongArray, ArchivesFromElsewhereAreCheckedBeforeUse) {
  CPDLongArray keep;
  LONG v = 5;
  keep.mAdd(&v);
  auto header = [](LONG size, short step, LONG slots, LONG items) {
    std::vector<BYTE> out;
    Put(out, size);
    out.push_back(static_cast<BYTE>(step));
    out.push_back(static_cast<BYTE>(static_cast<WORD>(step) >> 8));
    Put(out, slots);
    Put(out, items);
    return out;
  };
  // Wrong element size, more items than slots, negative counts: bad archive, array kept.
  for (auto bad :
       {header(8, 16, 1, 1), header(4, 16, 1, 2), header(4, 16, -1, 0), header(4, 16, 4, -1)}) {
    bad.resize(bad.size() + 64, 0);
    EXPECT_EQ(Load(bad, [&](CArchive& ar) { keep.Serialize(ar); }), CArchiveException::badIndex);
    EXPECT_EQ(keep.mGetNumItems(), 1);
    EXPECT_EQ(keep[0], 5);
  }
  // A huge slot count over a few bytes: end of file, never an allocation of the count.
  auto lie = header(4, 16, 500000000, 3);
  lie.resize(lie.size() + 12, 1);
  EXPECT_EQ(Load(lie, [&](CArchive& ar) { keep.Serialize(ar); }), CArchiveException::endOfFile);
  EXPECT_EQ(keep[0], 5);
  // A plain array takes any element size, but a huge one over a short archive still only
  // costs what the archive holds.
  CPDArray plain(4, 16);
  auto wide = header(0x40000000, 16, 1, 1);
  wide.resize(wide.size() + 100, 2);
  EXPECT_EQ(Load(wide, [&](CArchive& ar) { plain.Serialize(ar); }), CArchiveException::endOfFile);
  EXPECT_EQ(plain.mGetElementSize(), 4);
  auto cut = Store([&](CArchive& ar) { keep.Serialize(ar); });
  cut.resize(cut.size() - 1);
  EXPECT_EQ(Load(cut, [&](CArchive& ar) { keep.Serialize(ar); }), CArchiveException::endOfFile);
}

TEST(PDStringArray, StreamFormSearchAndAppend) {
  CPDStringArray a;
  a.mAdd(CPDString("one"));
  a.mAdd(CPDString(""));
  a.mAdd(CPDString("t w o"));
  EXPECT_EQ(Written(a), "XU3 T3 one T0  T5 t w o ");
  EXPECT_EQ(a.mFindString(CPDString("t w o")), 2);
  EXPECT_EQ(a.mFindString(CPDString("none")), -1);
  CPDStringArray b;
  b.mAdd(CPDString("zero"));
  std::istringstream in(Written(a));
  in >> b;
  ASSERT_EQ(b.mGetNumItems(), 4);
  EXPECT_STREQ(static_cast<char*>(b.mGetAt(3)), "t w o");
  CPDString out;
  b.mGetArrayItem(&out, 1);
  EXPECT_STREQ(static_cast<char*>(out), "one");
  std::istringstream lie("XU99999 T1 a ");
  CPDStringArray c;
  lie >> c;
  EXPECT_TRUE(lie.fail());
  EXPECT_EQ(c.mGetNumItems(), 1);
}

TEST(PDStringArray, ArchiveSlotsAreTheOriginalsThirtyTwoBitImages) {
  CPDStringArray a;
  a.mAdd(CPDString("abc"));
  auto bytes = Store([&](CArchive& ar) { a.Serialize(ar); });
  ASSERT_EQ(bytes.size(), 14u + 16u * 260u);
  EXPECT_EQ(std::vector<BYTE>(bytes.begin(), bytes.begin() + 14),
            (std::vector<BYTE>{4, 1, 0, 0, 16, 0, 16, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(std::vector<BYTE>(bytes.begin() + 14, bytes.begin() + 21),
            (std::vector<BYTE>{0, 0, 0, 0, 'a', 'b', 'c'}));
  EXPECT_EQ(bytes[21], 0);
  // Loading takes only the text: a table-pointer word of garbage and an unterminated area
  // give a proper text.
  bytes[14] = 0xEF;
  bytes[15] = 0xBE;
  std::memset(&bytes[18], 'x', 256);
  CPDStringArray b;
  EXPECT_EQ(Load(bytes, [&](CArchive& ar) { b.Serialize(ar); }), -1);
  ASSERT_EQ(b.mGetNumItems(), 1);
  EXPECT_EQ(b.mGetAt(0).getLength(), 255);
  CPDString copy;
  b.mGetArrayItem(&copy, 0);
  EXPECT_EQ(copy.mCompare(&b.mGetAt(0)), 0);
  EXPECT_EQ(Written(b).substr(0, 10), "XU1 T255 x");
  // An element size of the host's own object is refused.
  std::vector<BYTE> host = bytes;
  host[0] = static_cast<BYTE>(sizeof(CPDString));
  host[1] = 0;
  EXPECT_EQ(Load(host, [&](CArchive& ar) { b.Serialize(ar); }), CArchiveException::badIndex);
}
