// The selections' text stream forms, mNew's choice of letters, the operator lists and the
// selection handler per field kind.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "datalib/select/cda_complex_select.h"
#include "datalib/select/cda_sort.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/values/cpd_string_array.h"

namespace {

std::string StreamOf(CDASelect& select) {
  std::ostringstream os;
  os << select;
  return os.str();
}

CDASelect* FromStream(const std::string& text) {
  std::istringstream is(text);
  return CDASelect::mNew(is);
}

TEST(SelectStream, EachKindWritesItsLetterAndNumbersAsLongValues) {
  CDAStringSelect text(12, 3, CPDString("abc"), 1);
  EXPECT_EQ(StreamOf(text), "HU12 U3 U1 T3 abc ");
  CDALongSelect number(5, 1, -7, 2);
  EXPECT_EQ(StreamOf(number), "GU5 U1 U2 U-7 ");
  CDATypeSelect plain(1, 2);
  EXPECT_EQ(StreamOf(plain), "IU1 U2 U-1 ");
  CDAInLongSelect in(9, 4);
  in.mSetOperatorType(6);  // not written
  in.mAddValue(3);
  in.mAddValue(-8);
  EXPECT_EQ(StreamOf(in), "NU9 U4 YU2 U3 U-8 ");
  CDASort sort;
  sort.mInit(3, 0);
  std::ostringstream os;
  os << sort;
  EXPECT_EQ(os.str(), "LU3 U0 ");
}

TEST(SelectStream, ComplexSelectionsWriteTheirPartsAndWithDeleteWritesItsBaseLetter) {
  auto* a = new CDALongSelect(5, 1, 10, 0);
  auto* b = new CDAStringSelect(5, 2, CPDString("x y"), 0);
  CDAOrSelectWithDelete either;
  either.mAddSelect(a);
  either.mAddSelect(b);
  EXPECT_EQ(StreamOf(either), "EU2 GU5 U1 U0 U10 HU5 U2 U0 T3 x y ");
  CDAAndSelect both;
  both.mAddSelect(a);
  both.mAddSelect(nullptr);  // an empty slot has no form and is not counted
  EXPECT_EQ(StreamOf(both), "FU1 GU5 U1 U0 U10 ");
  CDAComplexSelect bare;
  EXPECT_EQ(StreamOf(bare), "JU0 ");
}

TEST(SelectStream, MNewRecreatesNestedTreesThatWriteTheSameText) {
  const std::string text = "FU2 EU2 GU5 U1 U1 U10 HU5 U2 U0 T3 a'b GU5 U3 U-1 U7 ";
  CDASelect* tree = FromStream(text);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->GetRuntimeClass(), RUNTIME_CLASS(CDAAndSelect));
  auto* both = static_cast<CDAAndSelect*>(tree);
  ASSERT_EQ(both->mGetNumSelects(), 2);
  EXPECT_EQ(both->mGetSelect(0)->GetRuntimeClass(), RUNTIME_CLASS(CDAOrSelect));
  EXPECT_EQ(StreamOf(*tree), text);
  vaultkit::DeleteSelectTree(tree);
}

TEST(SelectStream, OnlyTheLettersEFGHAreRecreated) {
  for (const char* text : {"IU1 U2 U-1 ", "NU9 U4 YU0 ", "JU0 ", "LU3 U0 ", "TU3 abc ", ""}) {
    EXPECT_EQ(FromStream(text), nullptr) << text;
  }
  CDASelect* s = FromStream("  \n GU1 U2 U0 U3 ");
  ASSERT_NE(s, nullptr);
  delete s;
}

TEST(SelectStream, MalformedOrTruncatedBodiesGiveNull) {
  const std::string whole = "EU2 GU5 U1 U1 U10 HU5 U2 U0 T3 abc ";
  // Each cut that ends inside a value yields null (the last blank is optional).
  for (size_t n = 1; n + 1 < whole.size(); ++n) {
    if (whole[n] == 'G' || whole[n] == 'H' || whole[n] == 'U' || whole[n] == 'T') {
      EXPECT_EQ(FromStream(whole.substr(0, n)), nullptr) << whole.substr(0, n);
    }
  }
  for (const char* bad :
       {"GX1 U2 U0 U3 ", "GU1 U2 U0 T3 abc ", "HU1 U2 U0 U3 ", "EU3 GU1 U2 U0 U3 ", "EU-1 ",
        "FU1 IU1 U2 U3 ", "GU99999999999 U1 U1 U1 ", "HU1 U2 U0 T999 ab "}) {
    EXPECT_EQ(FromStream(bad), nullptr) << bad;
  }
}

TEST(SelectStream, DeepNestingIsRefused) {
  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "FU1 ";
  deep += "GU1 U1 U0 U1 ";
  EXPECT_EQ(FromStream(deep), nullptr);
  std::string fine;
  for (int i = 0; i < 50; ++i) fine += "FU1 ";
  fine += "GU1 U1 U0 U1 ";
  CDASelect* s = FromStream(fine);
  EXPECT_NE(s, nullptr);
  vaultkit::DeleteSelectTree(s);
}

TEST(SelectStream, ExtractionReadsTheBodyAfterTheCallerTookTheLetter) {
  std::istringstream is("GU4 U5 U2 U-9 LU2 U1 ");
  ASSERT_EQ(is.get(), 'G');
  CDALongSelect number;
  is >> number;
  EXPECT_EQ(number.mGetObjectType(), 4);
  EXPECT_EQ(number.mGetObjectField(), 5);
  EXPECT_EQ(number.mGetOperatorType(), 2);
  EXPECT_EQ(number.mGetValue(), -9);
  ASSERT_EQ(is.get(), 'L');
  CDASort sort;
  is >> sort;
  EXPECT_TRUE(is);
  EXPECT_EQ(sort.mGetFieldIndex(), 2);
  EXPECT_EQ(sort.mIsAscendingSort(), 1);
}

TEST(SelectKinds, DefaultsHandlersAndOperatorLists) {
  CDAStringSelect text;
  EXPECT_EQ(text.mGetOperatorType(), 0);
  CDATypeSelect plain(3, 4);
  EXPECT_EQ(plain.mGetOperatorType(), -1);
  CDASort none;
  EXPECT_LT(none.mGetFieldIndex(), 0);

  CDASelect* s = CDASelect::mGetSelectHandler(0);
  auto* asText = dynamic_cast<CDAStringSelect*>(s);
  ASSERT_NE(asText, nullptr);
  EXPECT_EQ(asText->mGetOperatorType(), -1);
  delete s;
  s = CDASelect::mGetSelectHandler(1);
  auto* asLong = dynamic_cast<CDALongSelect*>(s);
  ASSERT_NE(asLong, nullptr);
  EXPECT_EQ(asLong->mGetOperatorType(), -1);
  asLong->mSetValue(CPDString("42abc"));
  EXPECT_EQ(asLong->mGetValue(), 42);
  delete s;
  s = CDASelect::mGetSelectHandler(7);
  EXPECT_EQ(s->GetRuntimeClass(), RUNTIME_CLASS(CDAAndSelect));
  EXPECT_EQ(s->mIsComplex(), 1);
  delete s;
  s = CDASelect::mGetSelectHandler(8);
  EXPECT_EQ(s->GetRuntimeClass(), RUNTIME_CLASS(CDAOrSelect));
  delete s;
  for (LONG kind : {2, 3, 5, 6, 9, -1}) EXPECT_EQ(CDASelect::mGetSelectHandler(kind), nullptr);

  CDAStringSelect other;
  CPDStringArray* ops = text.mGetLogicalOperatorList();
  ASSERT_NE(ops, nullptr);
  EXPECT_EQ(ops, other.mGetLogicalOperatorList());
  ASSERT_EQ(ops->mGetNumItems(), 3);
  EXPECT_STREQ(static_cast<char*>(ops->mGetAt(1)), "contains");
  CDALongSelect number;
  CPDStringArray* longOps = number.mGetLogicalOperatorList();
  ASSERT_NE(longOps, nullptr);
  EXPECT_NE(longOps, ops);
  EXPECT_STREQ(static_cast<char*>(longOps->mGetAt(2)), "greater than");
  CDAInLongSelect in;
  CDAAndSelect both;
  EXPECT_EQ(in.mGetLogicalOperatorList(), nullptr);
  EXPECT_EQ(both.mGetLogicalOperatorList(), nullptr);
  EXPECT_EQ(in.mIsComplex(), 0);
}

TEST(SelectKinds, InListAccessExtendsAndCopies) {
  CPDLongArray values;
  for (LONG v : {1, 2}) values.mAdd(&v);
  CDAInLongSelect in(1, 2, values);
  LONG three = 3;
  values.mAdd(&three);
  EXPECT_EQ(in.mGetNumValues(), 2);
  EXPECT_EQ(in.mGetValue(4), 0);  // index access beyond the list extends it
  EXPECT_EQ(in.mGetNumValues(), 5);
  in.mSetValues(&values);
  EXPECT_EQ(in.mGetNumValues(), 3);
  in.mSetValues(nullptr);
  EXPECT_EQ(in.mGetNumValues(), 3);
}

TEST(SelectKinds, WithDeleteVariantsFreeTheirPartsAndPlainOnesDoNot) {
  CDALongSelect kept(1, 1, 1, 0);
  {
    CDAAndSelect plain;
    plain.mAddSelect(&kept);
  }
  EXPECT_EQ(kept.mGetValue(), 1);
  auto* owned = new CDAOrSelectWithDelete();
  owned->mAddSelect(new CDALongSelect(1, 1, 1, 0));
  owned->mAddSelect(nullptr);
  delete owned;  // the sanitiser reports a leak if the part stays
}

}  // namespace
