#include "platform/ole/ole_date.h"

#include <gtest/gtest.h>

#include "platform/kernel/win_time.h"
#include "platform/ole/variant.h"

namespace {

using halyard::ole::DateParts;
using halyard::ole::OleDateFromParts;
using halyard::ole::OleDateToParts;

TEST(OleDate, DaysCountFromThirtiethDecember1899) {
  struct {
    int y, m, d;
    double serial;
  } cases[] = {{1899, 12, 30, 0},    {1899, 12, 31, 1},       {1900, 1, 1, 2},
               {1900, 3, 1, 61},     {2000, 1, 1, 36526},     {1998, 3, 10, 35864},
               {100, 1, 1, -657434}, {9999, 12, 31, 2958465}, {1899, 12, 29, -1}};
  for (const auto& c : cases) {
    DATE d = -9;
    ASSERT_TRUE(OleDateFromParts(c.y, c.m, c.d, 0, 0, 0, &d)) << c.y;
    EXPECT_EQ(d, c.serial) << c.y << "-" << c.m << "-" << c.d;
    DateParts p;
    ASSERT_TRUE(OleDateToParts(c.serial, &p));
    EXPECT_EQ(p.year, c.y);
    EXPECT_EQ(p.month, c.m);
    EXPECT_EQ(p.day, c.d);
  }
  DATE d;
  EXPECT_FALSE(OleDateFromParts(1900, 2, 29, 0, 0, 0, &d));  // 1900 is no leap year
  EXPECT_TRUE(OleDateFromParts(2000, 2, 29, 0, 0, 0, &d));
  EXPECT_FALSE(OleDateFromParts(99, 12, 31, 0, 0, 0, &d));
  EXPECT_FALSE(OleDateFromParts(2000, 13, 1, 0, 0, 0, &d));
  EXPECT_FALSE(OleDateFromParts(2000, 1, 1, 24, 0, 0, &d));
  EXPECT_FALSE(OleDateFromParts(2000, 1, 1, 0, 60, 0, &d));
}

TEST(OleDate, BeforeDayZeroTheFractionStillCountsForward) {
  DATE d;
  ASSERT_TRUE(OleDateFromParts(1899, 12, 29, 6, 0, 0, &d));
  EXPECT_EQ(d, -1.25);
  DateParts p;
  ASSERT_TRUE(OleDateToParts(-1.25, &p));
  EXPECT_EQ(p.day, 29);
  EXPECT_EQ(p.hour, 6);
  // -0.5 and 0.5 are the same instant: noon of day zero.
  ASSERT_TRUE(OleDateToParts(-0.5, &p));
  EXPECT_EQ(p.day, 30);
  EXPECT_EQ(p.hour, 12);
}

TEST(OleDate, PartsRoundToTheNearestSecond) {
  DateParts p;
  ASSERT_TRUE(OleDateToParts(1.0 - 0.4 / 86400, &p));  // 23:59:59.6 rounds to midnight
  EXPECT_EQ(p.day, 31);
  EXPECT_EQ(p.hour, 0);
  EXPECT_EQ(p.second, 0);
  ASSERT_TRUE(OleDateToParts(36526 + 45296.0 / 86400, &p));
  EXPECT_EQ(p.hour, 12);
  EXPECT_EQ(p.minute, 34);
  EXPECT_EQ(p.second, 56);
  EXPECT_EQ(p.dayOfWeek, 7);  // 1 January 2000 was a Saturday
  EXPECT_EQ(p.dayOfYear, 1);
  ASSERT_TRUE(OleDateToParts(36891, &p));  // 31 December 2000, a Sunday
  EXPECT_EQ(p.dayOfWeek, 1);
  EXPECT_EQ(p.dayOfYear, 366);
  EXPECT_FALSE(OleDateToParts(2958466.0, &p));
  EXPECT_FALSE(OleDateToParts(-657435.0, &p));
  EXPECT_FALSE(OleDateToParts(0.0 / 0.0, &p));
}

TEST(OleDate, SystemTimesConvertBothWays) {
  SYSTEMTIME st = {2000, 1, 0, 2, 13, 5, 7, 999};  // milliseconds are ignored
  DATE d = 0;
  ASSERT_TRUE(SystemTimeToVariantTime(&st, &d));
  EXPECT_DOUBLE_EQ(d, 36527 + (13 * 3600 + 5 * 60 + 7) / 86400.0);
  SYSTEMTIME back{};
  ASSERT_TRUE(VariantTimeToSystemTime(d, &back));
  EXPECT_EQ(back.wYear, 2000);
  EXPECT_EQ(back.wDay, 2);
  EXPECT_EQ(back.wDayOfWeek, 0);  // a Sunday
  EXPECT_EQ(back.wSecond, 7);
  EXPECT_EQ(back.wMilliseconds, 0);
  st.wMonth = 13;
  EXPECT_FALSE(SystemTimeToVariantTime(&st, &d));
  EXPECT_FALSE(VariantTimeToSystemTime(1e9, &back));
}

}  // namespace
