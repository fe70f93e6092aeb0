#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

namespace {

struct ToolRun {
  int code;
  std::string out;
};

// Runs the tool with a shell-quoted argument string and the given TZ.
ToolRun Tool(const std::string& args, const char* tz = "UTC0") {
  const std::string command = std::string("TZ='") + tz + "' " +
                              HALYARD_BINARY_DIR "/bin/halyard-ole " + args + " 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  ToolRun r{-1, {}};
  if (p == nullptr) return r;
  char buf[256];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), p)) > 0) r.out.append(buf, n);
  const int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(HalyardOle, ConvertsTextsAndReportsFailuresByExitCode) {
  EXPECT_EQ(Tool("convert CY '$1,234.5'").out, "1234.5\n");
  EXPECT_EQ(Tool("convert i4 2.5").out, "2\n");
  EXPECT_EQ(Tool("convert VT_BOOL true").out, "True\n");
  EXPECT_EQ(Tool("convert DATE '1/2/2000 13:05'").out, "1/2/2000 1:05:00 PM\n");
  EXPECT_EQ(Tool("convert UI1 256").code, 1);
  EXPECT_EQ(Tool("convert R8 abc").code, 1);
  EXPECT_EQ(Tool("convert STRING x").code, 2);
  EXPECT_EQ(Tool("frobnicate").code, 2);
  EXPECT_EQ(Tool("--help").code, 0);
}

TEST(HalyardOle, DatesFollowTheTimeZone) {
  EXPECT_EQ(Tool("date 946728000").out, "36526.5 1/1/2000 12:00:00 PM\n");
  EXPECT_EQ(Tool("date 946728000", "EST5EDT,M3.2.0,M11.1.0").out,
            "36526.291666666664 1/1/2000 7:00:00 AM\n");
  EXPECT_EQ(Tool("date soon").code, 2);
  EXPECT_EQ(Tool("date").code, 2);
}

TEST(HalyardOle, DateZeroIsAnInstantLikeAnyOther) {
  // Midnight of 30 December 1899 is OLE date 0; only its time shows in the text.
  const ToolRun zero = Tool("date -2209161600");
  EXPECT_EQ(zero.code, 0);
  EXPECT_EQ(zero.out, "0 12:00:00 AM\n");
  // The same instant five hours west lies on the day before: whole part -1, time forward.
  EXPECT_EQ(Tool("date -2209161600", "EST5").out, "-1.7916666666666665 12/29/1899 7:00:00 PM\n");
  // Instants without an OLE date fail as such, whatever number they would have given.
  EXPECT_EQ(Tool("date 253402300800").code, 1);  // 1 January 10000
  EXPECT_EQ(Tool("date -59011459201").code, 1);  // the last second of the year 99
  EXPECT_EQ(Tool("date -99999999999999").code, 1);
}

TEST(HalyardOle, DatesOneSecondApartPrintApartUpToTheLastYear) {
  // 31 December 9999: 18:59:59, 19:00:00 and the last second of the range.
  const ToolRun a = Tool("date 253402282799");
  const ToolRun b = Tool("date 253402282800");
  const ToolRun last = Tool("date 253402300799");
  EXPECT_EQ(a.out, "2958465.7916550925 12/31/9999 6:59:59 PM\n");
  EXPECT_EQ(b.out, "2958465.7916666665 12/31/9999 7:00:00 PM\n");
  EXPECT_EQ(last.code, 0);
  EXPECT_EQ(last.out.substr(last.out.find(' ')), " 12/31/9999 11:59:59 PM\n");
  // Each number reads back within a fraction of a second of its instant.
  for (const auto& [run, seconds] : {std::pair{a, 68399}, {b, 68400}, {last, 86399}}) {
    const double date = std::strtod(run.out.c_str(), nullptr);
    EXPECT_NEAR((date - 2958465.0) * 86400.0, seconds, 1e-3) << run.out;
  }
}

TEST(HalyardOle, GuidsAreCheckedOrMade) {
  EXPECT_EQ(Tool("guid '{3c7a51d2-6e04-4b9f-8a21-5d0e93c4b716}'").out,
            "{3C7A51D2-6E04-4B9F-8A21-5D0E93C4B716}\n");
  EXPECT_EQ(Tool("guid 3c7a51d2").code, 1);
  const ToolRun fresh = Tool("guid");
  EXPECT_EQ(fresh.code, 0);
  EXPECT_EQ(fresh.out.size(), 39u);
}

}  // namespace
