#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <sstream>
#include <string>

#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_date.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"

TEST(PDStreams, NewRecreatesEachKindByLetter) {
  setenv("TZ", "UTC0", 1);
  tzset();
  std::string text =
      std::string("U42 T2 hi V3 a") + '\0' + "b YU1 U5 XU1 T1 z W2001 1 15 12 30 45 ";
  std::istringstream is(text);
  std::unique_ptr<CPDObject> o(CPDObject::mNew(is));
  auto* l = dynamic_cast<CPDLong*>(o.get());
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->mGetValue(), 42);
  o.reset(CPDObject::mNew(is));
  ASSERT_NE(dynamic_cast<CPDString*>(o.get()), nullptr);
  EXPECT_STREQ(static_cast<char*>(*dynamic_cast<CPDString*>(o.get())), "hi");
  o.reset(CPDObject::mNew(is));
  auto* b = dynamic_cast<CPDBuffer*>(o.get());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(std::string(b->mGetBuffer(), b->mGetLength()), std::string("a\0b", 3));
  EXPECT_EQ(b->mGetGrowthStep(), 128);
  o.reset(CPDObject::mNew(is));
  auto* la = dynamic_cast<CPDLongArray*>(o.get());
  ASSERT_NE(la, nullptr);
  EXPECT_EQ((*la)[0], 5);
  o.reset(CPDObject::mNew(is));
  ASSERT_NE(dynamic_cast<CPDStringArray*>(o.get()), nullptr);
  o.reset(CPDObject::mNew(is));
  auto* d = dynamic_cast<CPDDate*>(o.get());
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->mGetYear(), 2001);
  EXPECT_EQ(d->mGetMonth(), 1);
  EXPECT_EQ(d->mGetDay(), 15);
  EXPECT_EQ(d->mGetSecond(), 45);
  EXPECT_TRUE(is.good());
  EXPECT_EQ(CPDObject::mNew(is), nullptr);  // end of the data
}

TEST(PDStreams, UnknownLettersGiveNullAndConsumeOnlyTheLetter) {
  std::istringstream is("S12 U3 ");
  EXPECT_EQ(CPDObject::mNew(is), nullptr);
  std::string rest;
  std::getline(is, rest);
  EXPECT_EQ(rest, "12 U3 ");
  std::istringstream z("Z");
  EXPECT_EQ(CPDObject::mNew(z), nullptr);
}

TEST(PDStreams, WrittenSequencesReadBackWithRepeatedNew) {
  CPDLong n(-17);
  CPDString s("x y");
  CPDBuffer b;
  b.mInit("bin\nary", 0);
  CPDLongArray la;
  LONG v = 3;
  la.mAdd(&v);
  std::ostringstream os;
  os << n << s << b << la;
  std::istringstream is(os.str());
  std::ostringstream again;
  for (int i = 0; i < 4; ++i) {
    std::unique_ptr<CPDObject> o(CPDObject::mNew(is));
    ASSERT_NE(o, nullptr);
    again << *o;
  }
  EXPECT_EQ(again.str(), os.str());
}
