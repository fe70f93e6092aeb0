#include "platform/kernel/win_path.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(WinPath, RelativePathsKeepTheirPlaceAndUseSlashes) {
  EXPECT_EQ(halyard::MapWinPath("..\\board\\message\\counter"), "../board/message/counter");
  EXPECT_EQ(halyard::MapWinPath("a/b\\c"), "a/b/c");
  EXPECT_EQ(halyard::MapWinPath(""), "");
}

TEST(WinPath, DriveLettersMapToTheirVariables) {
  setenv("HALYARD_DRIVE_C", "/tmp/cdrive", 1);
  setenv("HALYARD_DRIVE_D", "/tmp/ddrive/", 1);
  EXPECT_EQ(halyard::MapWinPath("C:\\webdata\\guest.txt"), "/tmp/cdrive/webdata/guest.txt");
  EXPECT_EQ(halyard::MapWinPath("c:\\webdata\\"), "/tmp/cdrive/webdata/");
  EXPECT_EQ(halyard::MapWinPath("D:/x"), "/tmp/ddrive/x");
  unsetenv("HALYARD_DRIVE_D");
  EXPECT_EQ(halyard::MapWinPath("D:\\x"), "/x");
  unsetenv("HALYARD_DRIVE_C");
}

TEST(WinPath, RootedPathsWithoutDriveAreOnTheCurrentDrive) {
  setenv("HALYARD_DRIVE_C", "/tmp/cdrive", 1);
  EXPECT_EQ(halyard::MapWinPath("\\message\\counter"), "/tmp/cdrive/message/counter");
  setenv("HALYARD_DRIVE", "E", 1);
  setenv("HALYARD_DRIVE_E", "/srv/e", 1);
  EXPECT_EQ(halyard::MapWinPath("/message/counter"), "/srv/e/message/counter");
  unsetenv("HALYARD_DRIVE");
  unsetenv("HALYARD_DRIVE_E");
  unsetenv("HALYARD_DRIVE_C");
}

TEST(WinPath, DotDotAboveTheRootStaysAtTheRoot) {
  setenv("HALYARD_DRIVE_C", "/tmp/cdrive", 1);
  EXPECT_EQ(halyard::MapWinPath("C:\\..\\..\\etc"), "/tmp/cdrive/etc");
  EXPECT_EQ(halyard::MapWinPath("C:\\..\\..\\etc\\passwd"), "/tmp/cdrive/etc/passwd");
  EXPECT_EQ(halyard::MapWinPath("C:..\\etc"), "/tmp/cdrive/etc");
  EXPECT_EQ(halyard::MapWinPath("\\..\\etc"), "/tmp/cdrive/etc");
  EXPECT_EQ(halyard::MapWinPath("\\\\server\\..\\..\\etc"), "/tmp/cdrive/etc");
  EXPECT_EQ(halyard::MapWinPath("C:\\site\\..\\..\\..\\x\\"), "/tmp/cdrive/x/");
  EXPECT_EQ(halyard::MapWinPath("C:\\.."), "/tmp/cdrive/");
  unsetenv("HALYARD_DRIVE_C");
}

TEST(WinPath, DotAndDotDotInsideARootedPathResolveByName) {
  setenv("HALYARD_DRIVE_C", "/tmp/cdrive", 1);
  EXPECT_EQ(halyard::MapWinPath("C:\\site\\.\\pages\\..\\index.htm"), "/tmp/cdrive/site/index.htm");
  EXPECT_EQ(halyard::MapWinPath("C:\\site\\\\a\\."), "/tmp/cdrive/site/a");
  EXPECT_EQ(halyard::MapWinPath("C:\\site\\...\\x"), "/tmp/cdrive/site/.../x");
  EXPECT_EQ(halyard::MapWinPath("C:"), "/tmp/cdrive/");
  // Relative paths are left to the host, which resolves them against the current folder.
  EXPECT_EQ(halyard::MapWinPath("a\\..\\..\\b"), "a/../../b");
  unsetenv("HALYARD_DRIVE_C");
}

}  // namespace
