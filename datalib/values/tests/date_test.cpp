#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <sstream>
#include <string>

#include "platform/ole/colevariant.h"
#include "datalib/values/cpd_date.h"
#include "datalib/values/cpd_string.h"

namespace {

// Every date test sets its own zone; POSIX rule strings need no zone database.
class PDDate : public ::testing::Test {
 protected:
  void Zone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
  void SetUp() override {
    const char* old = std::getenv("TZ");
    saved_ = old != nullptr ? old : "";
    hadTz_ = old != nullptr;
    Zone("UTC0");
  }
  void TearDown() override {
    if (hadTz_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  std::string saved_;
  bool hadTz_ = false;
};

std::string Text(const CPDString& s) { return static_cast<char*>(s); }

}  // namespace

TEST_F(PDDate, DayConstructorIsOneSecondPastLocalMidnight) {
  Zone("CET-1CEST,M3.5.0,M10.5.0/3");
  CPDDate d(1998, 3, 10);
  EXPECT_EQ(d.mGetHour(), 0);
  EXPECT_EQ(d.mGetMinute(), 0);
  EXPECT_EQ(d.mGetSecond(), 1);
  EXPECT_EQ(d.mGetDateAsLong(), 889484400 + 1);  // 1998-03-09 23:00:01 UTC
  EXPECT_EQ(d.mGetDayOfWeek(), 3);               // Tuesday
  CPDString s;
  d.mGetMonthDateStr(s);
  EXPECT_EQ(Text(s), "Mar 10");
  d.mGetDayPlanStr(s);
  EXPECT_EQ(Text(s), "Day Plan March 10, 1998");
  d.mGetWeekDayStr(s);
  EXPECT_EQ(Text(s), "Tue");
  d.mGetDayStr(s);
  EXPECT_EQ(Text(s), "10");
  d.mGetYearStr(s);
  EXPECT_EQ(Text(s), "1998");
}

TEST_F(PDDate, LeapYearsAndMonthLengths) {
  EXPECT_EQ(CPDDate::mIsLeapYear(1900), 0);
  EXPECT_EQ(CPDDate::mIsLeapYear(2000), 1);
  EXPECT_EQ(CPDDate::mIsLeapYear(2024), 1);
  EXPECT_EQ(CPDDate::mDaysInMonth(2, 2000), 29);
  EXPECT_EQ(CPDDate::mDaysInMonth(2, 1900), 28);
  EXPECT_EQ(CPDDate::mDaysInMonth(12, 1999), 31);
  EXPECT_EQ(CPDDate::mDaysInMonth(13, 1999), 0);
}

TEST_F(PDDate, ComparisonIsByUtcDay) {
  Zone("EST5EDT,M3.2.0,M11.1.0");
  CPDDate a, b;
  a = static_cast<LONG>(86400 * 10);
  b = static_cast<LONG>(86400 * 10 + 86399);
  EXPECT_EQ(a.mCompare(&b), 0);
  EXPECT_TRUE(a == b);
  CPDDate c;
  c = static_cast<LONG>(86400 * 11);
  EXPECT_EQ(b.mCompare(&c), -1);
  EXPECT_TRUE(c > b);
  EXPECT_TRUE(c == 11L);
  EXPECT_EQ(c.mCompare(nullptr), -1);
  c -= 1;
  EXPECT_TRUE(c == b);
  c += 2;
  EXPECT_TRUE(c != b);
}

TEST_F(PDDate, SettersNormalise) {
  CPDDate d(2021, 4, 15, 10, 30, 0);
  d.mSetDay(31);
  EXPECT_EQ(d.mGetMonth(), 5);
  EXPECT_EQ(d.mGetDay(), 1);
  d.mSetMonth(13);
  EXPECT_EQ(d.mGetYear(), 2022);
  EXPECT_EQ(d.mGetMonth(), 1);
  d.mSetHour(25);
  EXPECT_EQ(d.mGetDay(), 2);
  EXPECT_EQ(d.mGetHour(), 1);
  d.mSetMinute(-1);
  EXPECT_EQ(d.mGetHour(), 0);
  EXPECT_EQ(d.mGetMinute(), 59);
  d.mSetSecond(61);
  EXPECT_EQ(d.mGetMinute(), 0);
  EXPECT_EQ(d.mGetSecond(), 1);
  d.mSetYear(2020);
  EXPECT_EQ(d.mGetYear(), 2020);
}

TEST_F(PDDate, SettersFollowTheDaylightSavingChange) {
  Zone("EST5EDT,M3.2.0,M11.1.0");
  CPDDate d(2024, 3, 9, 12, 0, 0);  // the day before clocks go forward
  time_t before = d.mGetTime();
  d.mSetDay(10);
  EXPECT_EQ(d.mGetHour(), 12);
  EXPECT_EQ(d.mGetTime() - before, 23 * 3600);  // that day has 23 hours
  d.mSetHour(2);                                // 02:00 does not exist on that day
  EXPECT_EQ(d.mGetDay(), 10);
  EXPECT_EQ(d.mGetHour(), 3);
  CPDDate n(2024, 11, 2, 12, 0, 0);
  time_t t0 = n.mGetTime();
  n.mSetDay(3);  // clocks go back: 25 hours
  EXPECT_EQ(n.mGetTime() - t0, 25 * 3600);
}

TEST_F(PDDate, WeekNumbers) {
  EXPECT_EQ(CPDDate(1999, 1, 1).mWeekOf(), 53);
  EXPECT_EQ(CPDDate(2008, 12, 29).mWeekOf(), 53);
  EXPECT_EQ(CPDDate(1998, 1, 5).mWeekOf(), 2);
  EXPECT_EQ(CPDDate(2000, 1, 1).mWeekOf(), 52);
  EXPECT_EQ(CPDDate(1998, 1, 1).mWeekOf(), 1);     // a Thursday
  EXPECT_EQ(CPDDate(2024, 12, 31).mWeekOf(), 53);  // the count continues into December's end
  EXPECT_EQ(CPDDate(2024, 6, 17).mWeekOf(), 25);
  Zone("NZST-12NZDT,M9.5.0,M4.1.0/3");  // local calendar, not UTC
  EXPECT_EQ(CPDDate(1998, 1, 5).mWeekOf(), 2);
}

TEST_F(PDDate, StreamFormSetsAllFieldsAtOnce) {
  CPDDate d(1998, 3, 10, 14, 5, 9);
  std::ostringstream os;
  os << d;
  EXPECT_EQ(os.str(), "W1998 3 10 14 5 9 ");
  CPDDate r(1998, 1, 31, 0, 0, 0);
  std::istringstream in("W1998 2 28 10 0 0 ");
  in >> r;
  // Read into a date holding 31 January, 28 February stays 28 February.
  EXPECT_EQ(r.mGetMonth(), 2);
  EXPECT_EQ(r.mGetDay(), 28);
  EXPECT_EQ(r.mGetHour(), 10);
  CPDDate t(2000, 1, 1);
  LONG before = t.mGetDateAsLong();
  std::istringstream bad("W2001 x");
  bad >> t;
  EXPECT_TRUE(bad.fail());
  EXPECT_EQ(t.mGetDateAsLong(), before);
}

TEST_F(PDDate, DaysTwentyNineToThirtyOneComeBackFromTheStreamWhateverTheCurrentDate) {
  Zone("CET-1CEST,M3.5.0,M10.5.0/3");
  const char* inputs[] = {"W2001 4 30 8 15 0 ", "W2004 2 29 23 59 59 ", "W1999 12 31 0 0 1 ",
                          "W2010 3 31 12 0 0 ", "W1965 6 30 6 30 30 "};
  // Current dates in months of every length, including the 31st and a leap February.
  const CPDDate starts[] = {CPDDate(2003, 2, 28, 0, 0, 0), CPDDate(2004, 2, 29, 0, 0, 0),
                            CPDDate(2005, 1, 31, 0, 0, 0), CPDDate(2006, 4, 30, 0, 0, 0)};
  for (const char* input : inputs) {
    for (const CPDDate& start : starts) {
      std::istringstream is(input);
      std::unique_ptr<CPDObject> value(CPDObject::mNew(is));
      auto* date = dynamic_cast<CPDDate*>(value.get());
      ASSERT_NE(date, nullptr);
      CPDDate into(start);
      std::istringstream again(input);
      again >> into;
      std::ostringstream os, os2;
      os << *date;
      os2 << into;
      EXPECT_EQ(os.str(), input);
      EXPECT_EQ(os2.str(), input) << "read into " << start.mGetMonth() << "/" << start.mGetDay();
    }
  }
}

TEST_F(PDDate, DaysBefore1970CompareByTheirOwnDay) {
  CPDDate lastOf1969(1969, 12, 31, 12, 0, 0);
  CPDDate firstOf1970(1970, 1, 1, 12, 0, 0);
  EXPECT_NE(lastOf1969, firstOf1970);
  EXPECT_TRUE(lastOf1969 < firstOf1970);
  EXPECT_EQ(lastOf1969.mCompare(&firstOf1970), -1);
  EXPECT_EQ(lastOf1969.mDayNumber(), -1);
  CPDDate morning(1969, 12, 31, 0, 0, 1), evening(1969, 12, 31, 23, 59, 59);
  EXPECT_EQ(morning.mCompare(&evening), 0);
  CPDDate earlier(1969, 12, 30, 23, 59, 59);
  EXPECT_EQ(earlier.mCompare(&morning), -1);
  CPDDate midnight;
  midnight.mSetTime(-86400);
  EXPECT_EQ(midnight.mDayNumber(), -1);
  midnight.mSetTime(-86401);
  EXPECT_EQ(midnight.mDayNumber(), -2);
}

TEST_F(PDDate, VariantRoundTripAndOtherTypesIgnored) {
  Zone("CET-1CEST,M3.5.0,M10.5.0/3");
  CPDDate d(2010, 7, 4, 18, 20, 30);
  COleVariant v;
  d.mConvertToOleVariant(&v);
  EXPECT_EQ(v.vt, VT_DATE);
  CPDDate r(2010, 7, 1, 0, 0, 0);
  r.mConvertFromOleVariant(v);
  EXPECT_EQ(r.mGetTime(), d.mGetTime());
  r.mConvertFromOleVariant(COleVariant(static_cast<LONG>(5)));
  EXPECT_EQ(r.mGetTime(), d.mGetTime());
}

TEST_F(PDDate, AVariantOnTheThirtyFirstIsReadIntoAShortMonthUnchanged) {
  CPDDate d(2010, 3, 31, 9, 0, 0);
  COleVariant v;
  d.mConvertToOleVariant(&v);
  CPDDate r(2010, 2, 15, 0, 0, 0);
  r.mConvertFromOleVariant(v);
  EXPECT_EQ(r.mGetMonth(), 3);
  EXPECT_EQ(r.mGetDay(), 31);
  EXPECT_EQ(r.mGetTime(), d.mGetTime());
}

TEST_F(PDDate, InstantsAfter2038) {
  CPDDate d(2040, 6, 1, 12, 0, 0);
  EXPECT_EQ(d.mGetYear(), 2040);
  EXPECT_EQ(d.mGetMonth(), 6);
  EXPECT_EQ(d.mGetDateAsLong(), INT32_MAX);
  std::ostringstream os;
  os << d;
  EXPECT_EQ(os.str(), "W2040 6 1 12 0 0 ");
  CPDDate* copy = d.mCopy();
  EXPECT_EQ(copy->mGetTime(), d.mGetTime());
  delete copy;
  CPDDate e(2000, 1, 1);
  e.mSetYear(2100);
  EXPECT_EQ(e.mGetYear(), 2100);
}

TEST_F(PDDate, UnconvertibleInstantsGiveZerosAndLeaveTextsAlone) {
  CPDDate d;
  d.mSetTime(static_cast<time_t>(1) << 62);
  EXPECT_EQ(d.mGetYear(), 0);
  EXPECT_EQ(d.mGetDayOfWeek(), 0);
  CPDString s("keep");
  d.mDate2Str(s);
  EXPECT_EQ(Text(s), "keep");
  d.mSetDay(3);
  EXPECT_EQ(d.mGetTime(), static_cast<time_t>(1) << 62);
}
