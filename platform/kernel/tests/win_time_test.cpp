#include "platform/kernel/win_time.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "platform/kernel/testing/scratch_dir.h"

namespace {

TEST(WinTime, UnixAndFileTimesConvertBothWays) {
  FILETIME ft = halyard::FileTimeFromUnix(0);
  EXPECT_EQ(halyard::FileTimeToU64(ft), 116444736000000000ull);
  ft = halyard::FileTimeFromUnix(1700000000);
  EXPECT_EQ(halyard::FileTimeToUnix(ft), 1700000000);
  struct timespec ts = {1700000000, 123456700};
  FILETIME f2 = halyard::FileTimeFromTimespec(ts);
  struct timespec back = halyard::FileTimeToTimespec(f2);
  EXPECT_EQ(back.tv_sec, ts.tv_sec);
  EXPECT_EQ(back.tv_nsec, ts.tv_nsec);
  EXPECT_EQ(CompareFileTime(&ft, &f2), -1);
  EXPECT_EQ(CompareFileTime(&f2, &ft), 1);
  EXPECT_EQ(CompareFileTime(&ft, &ft), 0);
}

TEST(WinTime, SystemTimesAreCalendarFieldsOfTheFileTime) {
  SYSTEMTIME st;
  FILETIME zero = {0, 0};
  ASSERT_TRUE(FileTimeToSystemTime(&zero, &st));
  EXPECT_EQ(st.wYear, 1601);
  EXPECT_EQ(st.wMonth, 1);
  EXPECT_EQ(st.wDay, 1);
  EXPECT_EQ(st.wDayOfWeek, 1);  // A Monday.

  // 2000-02-29 13:45:30.250 UTC, a Tuesday.
  FILETIME ft = halyard::FileTimeFromU64(
      halyard::FileTimeToU64(halyard::FileTimeFromUnix(951831930)) + 2500000);
  ASSERT_TRUE(FileTimeToSystemTime(&ft, &st));
  EXPECT_EQ(st.wYear, 2000);
  EXPECT_EQ(st.wMonth, 2);
  EXPECT_EQ(st.wDay, 29);
  EXPECT_EQ(st.wDayOfWeek, 2);
  EXPECT_EQ(st.wHour, 13);
  EXPECT_EQ(st.wMinute, 45);
  EXPECT_EQ(st.wSecond, 30);
  EXPECT_EQ(st.wMilliseconds, 250);
  FILETIME again;
  ASSERT_TRUE(SystemTimeToFileTime(&st, &again));
  EXPECT_EQ(CompareFileTime(&ft, &again), 0);

  SYSTEMTIME bad = st;
  bad.wYear = 2001;  // No 29 February in 2001.
  EXPECT_FALSE(SystemTimeToFileTime(&bad, &again));
}

TEST(WinTime, LocalTimesFollowTheTimeZoneAcrossDaylightSaving) {
  const char* old = std::getenv("TZ");
  std::string saved = old ? old : "";
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  FILETIME winter = halyard::FileTimeFromUnix(1704067200);  // 2024-01-01 00:00 UTC
  FILETIME summer = halyard::FileTimeFromUnix(1719792000);  // 2024-07-01 00:00 UTC
  FILETIME local, utc;
  FileTimeToLocalFileTime(&winter, &local);
  EXPECT_EQ(halyard::FileTimeToUnix(local) - 1704067200, 3600);
  FileTimeToLocalFileTime(&summer, &local);
  EXPECT_EQ(halyard::FileTimeToUnix(local) - 1719792000, 7200);
  LocalFileTimeToFileTime(&local, &utc);
  EXPECT_EQ(CompareFileTime(&utc, &summer), 0);
  if (old)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST(WinTime, FileTimesOfAPathCanBeReadAndSet) {
  halyard::testing::ScratchDir scratch("wintime");
  const std::string& dir = scratch.path();
  setenv("HALYARD_DRIVE_C", dir.c_str(), 1);
  std::ofstream(dir + "/f.txt") << "x";
  FILETIME when = halyard::FileTimeFromUnix(1000000000);
  ASSERT_TRUE(halyard::SetPathFileTime("C:\\f.txt", nullptr, nullptr, &when));
  FILETIME write, access;
  ASSERT_TRUE(halyard::GetPathFileTime("C:\\f.txt", nullptr, &access, &write));
  EXPECT_EQ(halyard::FileTimeToUnix(write), 1000000000);
  EXPECT_FALSE(halyard::GetPathFileTime("C:\\missing.txt", nullptr, nullptr, &write));
  unsetenv("HALYARD_DRIVE_C");
}

}  // namespace
