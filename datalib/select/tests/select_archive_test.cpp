// The saved form of selections: the bytes mStoreData writes, compared with archives built by
// hand, and mRetrieveData on those bytes and on damaged ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive_bytes.h"
#include "datalib/select/cda_complex_select.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/values/cpd_buffer.h"
#include "platform/mfc/carchiveexception.h"

namespace {

using vaultkit_test::ArchiveBytes;

std::vector<BYTE> Stored(CDASelect& select) {
  CPDBuffer buffer;
  select.mStoreData(&buffer);
  const auto* p = reinterpret_cast<const BYTE*>(buffer.mGetBuffer());
  return std::vector<BYTE>(p, p + buffer.mGetLength());
}

CPDBuffer BufferOf(const std::vector<BYTE>& bytes) {
  CPDBuffer buffer;
  buffer.mInit(reinterpret_cast<const char*>(bytes.data()), static_cast<LONG>(bytes.size()));
  return buffer;
}

// mRetrieveData's archive exception cause, or -1 when it returned normally (result freed).
int RetrieveCause(const std::vector<BYTE>& bytes) {
  CPDBuffer buffer = BufferOf(bytes);
  try {
    vaultkit::DeleteSelectTree(CDASelect::mRetrieveData(&buffer));
  } catch (CArchiveException* e) {
    int cause = e->m_cause;
    e->Delete();
    return cause;
  }
  return -1;
}

TEST(SelectArchive, AStringSelectIsStoredAsAOneElementObjectArray) {
  CDAStringSelect select(12, 3, CPDString("Title's"), CDAStringSelect::kContains);
  ArchiveBytes expected;
  expected.Count(1).NewClass("CDAStringSelect").Head(12, 3, 1).Text("Title's");
  EXPECT_EQ(Stored(select), expected.bytes);
}

TEST(SelectArchive, NestedAndOrTreeSharesClassTagsAcrossTheWholeArchive) {
  CDALongSelect low(5, 1, 10, CDALongSelect::kLessThan);
  CDAStringSelect name(5, 2, CPDString("x"), CDAStringSelect::kBeginsWith);
  CDAOrSelect either;
  either.mAddSelect(&low);
  either.mAddSelect(&name);
  CDALongSelect any(5, 3, 7, -1);
  CDAAndSelect both;
  both.mAddSelect(&either);
  both.mAddSelect(&any);

  // Classes and objects share one index sequence from 1: AND class 1, object 2; OR class 3,
  // object 4; long class 5, object 6; string class 7, object 8; the second long reuses 5.
  ArchiveBytes expected;
  expected.Count(1).NewClass("CDAAndSelect").Count(2);
  expected.NewClass("CDAOrSelect").Count(2);
  expected.NewClass("CDALongSelect").Head(5, 1, 1).Long(10);
  expected.NewClass("CDAStringSelect").Head(5, 2, 0).Text("x");
  expected.KnownClass(5).Head(5, 3, -1).Long(7);
  EXPECT_EQ(Stored(both), expected.bytes);
}

TEST(SelectArchive, InListAndWithDeleteVariantsKeepTheirOwnClassNames) {
  auto* in = new CDAInLongSelect(9, 4);
  in->mAddValue(3);
  in->mAddValue(-8);
  CDAOrSelectWithDelete owner;
  owner.mAddSelect(in);
  const std::vector<BYTE> bytes = Stored(owner);

  ArchiveBytes expected;
  expected.Count(1).NewClass("CDAOrSelectWithDelete").Count(1);
  expected.NewClass("CDAInLongSelect").Head(9, 4, -1);
  // The long array's own form: element size, growth step, allocated slots, items, slots.
  const LONG slots = in->mGetValues().mGetAllocatedSlots();
  expected.Long(4).Word(16).Long(slots).Long(2).Long(3).Long(-8);
  for (LONG i = 2; i < slots; ++i) expected.Long(0);
  EXPECT_EQ(bytes, expected.bytes);
}

TEST(SelectArchive, RetrievedSelectionsHaveTheClassAndFieldsThatWereStored) {
  CDAStringSelect text(12, 3, CPDString("abc"), 2);
  CDALongSelect number(12, 4, -77, 1);
  CDAAndSelect both;
  both.mAddSelect(&text);
  both.mAddSelect(&number);
  CPDBuffer buffer;
  both.mStoreData(&buffer);

  CDASelect* back = CDASelect::mRetrieveData(&buffer);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetRuntimeClass(), RUNTIME_CLASS(CDAAndSelect));
  auto* tree = static_cast<CDAAndSelect*>(back);
  ASSERT_EQ(tree->mGetNumSelects(), 2);
  auto* t = dynamic_cast<CDAStringSelect*>(tree->mGetSelect(0));
  auto* n = dynamic_cast<CDALongSelect*>(tree->mGetSelect(1));
  ASSERT_TRUE(t != nullptr && n != nullptr);
  EXPECT_EQ(t->mGetObjectType(), 12);
  EXPECT_EQ(t->mGetObjectField(), 3);
  EXPECT_EQ(t->mGetOperatorType(), 2);
  EXPECT_STREQ(static_cast<char*>(t->mGetValue()), "abc");
  EXPECT_EQ(n->mGetValue(), -77);
  EXPECT_EQ(n->mGetOperatorType(), 1);
  // Storing what came back gives the same bytes.
  CPDBuffer again;
  back->mStoreData(&again);
  ASSERT_EQ(again.mGetLength(), buffer.mGetLength());
  EXPECT_EQ(std::string(again.mGetBuffer(), again.mGetLength()),
            std::string(buffer.mGetBuffer(), buffer.mGetLength()));
  vaultkit::DeleteSelectTree(back);
}

TEST(SelectArchive, InListSelectionsComeBackWithTheirValues) {
  CDAInLongSelect in(7, 1);
  for (LONG v : {5, 50, 500}) in.mAddValue(v);
  CPDBuffer buffer;
  in.mStoreData(&buffer);
  CDASelect* back = CDASelect::mRetrieveData(&buffer);
  auto* list = dynamic_cast<CDAInLongSelect*>(back);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->mGetNumValues(), 3);
  EXPECT_EQ(list->mGetValue(2), 500);
  delete back;
}

TEST(SelectArchive, NullOrEmptyBuffersHoldNoSelection) {
  CPDBuffer empty;
  EXPECT_EQ(CDASelect::mRetrieveData(nullptr), nullptr);
  EXPECT_EQ(CDASelect::mRetrieveData(&empty), nullptr);
  // An archive of an empty array holds no selection either.
  EXPECT_EQ(RetrieveCause(ArchiveBytes().Count(0).bytes), -1);
}

TEST(SelectArchive, EveryTruncationRaisesTheArchiveExceptionAndLeaksNothing) {
  CDALongSelect low(5, 1, 10, 1);
  CDAStringSelect name(5, 2, CPDString("some text"), 0);
  CDAOrSelect either;
  either.mAddSelect(&low);
  either.mAddSelect(&name);
  const std::vector<BYTE> whole = Stored(either);
  for (size_t n = 1; n < whole.size(); ++n) {
    std::vector<BYTE> cut(whole.begin(), whole.begin() + static_cast<long>(n));
    // A class name cut short names no class.
    const int cause = RetrieveCause(cut);
    EXPECT_TRUE(cause == CArchiveException::endOfFile || cause == CArchiveException::badClass)
        << "cut at " << n << ": " << cause;
  }
}

TEST(SelectArchive, ForeignClassesAndUnknownNamesAreRefused) {
  ArchiveBytes unknown;
  unknown.Count(1).NewClass("CDANoSuchSelect").Head(1, 2, 3);
  EXPECT_EQ(RetrieveCause(unknown.bytes), CArchiveException::badClass);
  // A registered class that is not a selection, as the element or as a part.
  ArchiveBytes array;
  array.Count(1).NewClass("CObArray").Count(0);
  EXPECT_EQ(RetrieveCause(array.bytes), CArchiveException::badClass);
  ArchiveBytes part;
  part.Count(1).NewClass("CDAAndSelectWithDelete").Count(1).NewClass("CObArray").Count(0);
  EXPECT_EQ(RetrieveCause(part.bytes), CArchiveException::badClass);
}

TEST(SelectArchive, PartsSharedOrContainingTheirOwnerAreRefused) {
  // AND class 1, object 2; long class 3, object 4; then object 4 once more.
  ArchiveBytes shared;
  shared.Count(1).NewClass("CDAAndSelectWithDelete").Count(2);
  shared.NewClass("CDALongSelect").Head(1, 1, 0).Long(5).ObjectRef(4);
  EXPECT_EQ(RetrieveCause(shared.bytes), CArchiveException::badIndex);
  // An OR whose part is the OR itself.
  ArchiveBytes cycle;
  cycle.Count(1).NewClass("CDAOrSelect").Count(1).ObjectRef(2);
  EXPECT_EQ(RetrieveCause(cycle.bytes), CArchiveException::badIndex);
}

TEST(SelectArchive, CountsBeyondTheDataEndInEndOfFile) {
  ArchiveBytes parts;
  parts.Count(1).NewClass("CDAAndSelect").Word(0xFFFF).Long(0x7FFFFFFF);
  EXPECT_EQ(RetrieveCause(parts.bytes), CArchiveException::endOfFile);
  ArchiveBytes elements;
  elements.Word(0xFFFF).Long(0x40000000);
  EXPECT_EQ(RetrieveCause(elements.bytes), CArchiveException::endOfFile);
}

TEST(SelectArchive, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  ArchiveBytes deep;
  deep.Count(1).NewClass("CDAAndSelect").Count(1);
  for (int i = 0; i < 5000; ++i) deep.KnownClass(1).Count(1);
  EXPECT_NE(RetrieveCause(deep.bytes), -1);
}

TEST(SelectArchive, ElementsBehindTheFirstAreFreed) {
  ArchiveBytes two;
  two.Count(2).NewClass("CDALongSelect").Head(1, 2, 0).Long(3);
  two.KnownClass(1).Head(4, 5, 0).Long(6);
  CPDBuffer buffer = BufferOf(two.bytes);
  CDASelect* first = CDASelect::mRetrieveData(&buffer);
  auto* l = dynamic_cast<CDALongSelect*>(first);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->mGetValue(), 3);
  delete first;  // the second element must not leak (the sanitiser checks)
}

}  // namespace
