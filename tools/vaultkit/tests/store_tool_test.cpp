// vaultkit db on object stores end to end: a store made, filled and queried by path and by
// site name, and the locking wrapper's visibility and refusals seen from the command line.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "platform/kernel/testing/scratch_dir.h"

namespace {

struct Result {
  int code;
  std::string out;
};

class StoreTool : public ::testing::Test {
 protected:
  Result Run(const std::string& args) {
    std::string cmd = "HALYARD_REGISTRY='" + dir.Join("registry") + "' HALYARD_DRIVE_C='" + dir.path() + "' '" +
                      VAULTKIT_TOOL + "' " + args + " 2>&1";
    Result r{-1, ""};
    FILE* p = ::popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
  }
  halyard::testing::ScratchDir dir{"store-tool"};
};

TEST_F(StoreTool, AStoreMadeFilledAndQueried) {
  ASSERT_EQ(Run("db create --store Pyx:Smith").code, 0);
  ASSERT_EQ(Run("db register-type Pyx:Smith 40 Book").code, 0);
  EXPECT_EQ(Run("db add-field Pyx:Smith 40 Title text").out, "0\n");
  EXPECT_EQ(Run("db add-field Pyx:Smith 40 Pages long").out, "1\n");
  EXPECT_EQ(Run("db insert Pyx:Smith 40 Title=Sails Pages=120").code, 0);
  EXPECT_EQ(Run("db insert Pyx:Smith 40 'Title=Caf\xC3\xA9' Pages=45").code, 0);
  const std::string path = "'C:\\ScriptoriumServer\\User Sites\\Smith\\Smith.qld'";
  EXPECT_EQ(Run("db query " + path + " 40 --sort Pages:desc").out, "Title\tPages\nSails\t120\nCaf\xC3\xA9\t45\n");
  EXPECT_EQ(Run("db query Pyx:Smith 40 --where 'Title begins \"CAF\"'").out, "Title\tPages\nCaf\xC3\xA9\t45\n");
  EXPECT_EQ(Run("db fields Pyx:Smith 40").out, "Title\nPages\n");
  EXPECT_EQ(Run("db types Pyx:Smith").out, "-10184\tSysFields\t0\n-10183\tSysTypes\t0\n40\tBook\t0\n");
  // A missing store and a file that is no store are file errors.
  EXPECT_EQ(Run("db query Pyx:Nobody 40").code, 3);
  EXPECT_EQ(Run("db query /dev/null/x.qld 40").code, 3);
  EXPECT_EQ(Run("db query Pyx:Smith 40 --bogus").code, 2);
}

TEST_F(StoreTool, TheLockingWrapperShowsVisibilityAndRefusals) {
  const std::string store = "'C:\\lock.qld'";
  ASSERT_EQ(Run("db create --store " + store).code, 0);
  ASSERT_EQ(Run("db register-type " + store + " 40 Book --lock -1,0").code, 0);
  EXPECT_EQ(Run("db add-field " + store + " 40 Title text --lock -1,0").out, "0\n");
  EXPECT_EQ(Run("db add-field " + store + " 40 Pages long --lock -1,0").out, "1\n");
  EXPECT_EQ(Run("db insert " + store + " 40 Title=Sails Pages=120 --lock -1,0").code, 0);
  EXPECT_EQ(Run("db insert " + store + " 40 Title=Knots Pages=45 --lock -1,0").code, 0);
  // User 5 takes Sails; user 7 is refused and still sees Sails as it was.
  EXPECT_EQ(Run("db update " + store + " 40 --where 'Title = \"Sails\"' Pages=121 --lock 5,50").out, "updated 1, refused 0\n");
  EXPECT_EQ(Run("db update " + store + " 40 --where 'Pages > 100' Pages=999 --lock 7,70").out, "updated 0, refused 1\n");
  EXPECT_EQ(Run("db query " + store + " 40 --sort Title --lock 5,50").out, "Title\tPages\nKnots\t45\nSails\t121\n");
  EXPECT_EQ(Run("db query " + store + " 40 --sort Title --lock 7,70").out, "Title\tPages\nKnots\t45\nSails\t120\n");
  EXPECT_EQ(Run("db query " + store + " 40 --sort Title --lock 0,0").out, "Title\tPages\nKnots\t45\nSails\t120\n");
  // Without the wrapper the lock columns and the companion record show.
  EXPECT_EQ(Run("db query " + store + " 40").out,
            "fUserID\tfPersisTransID\tTitle\tPages\n5\t50\tSails\t121\n0\t0\tKnots\t45\n5\t-50\tSails\t120\n");
  EXPECT_EQ(Run("db query " + store + " 40 --lock 5").code, 2);
}

}  // namespace
