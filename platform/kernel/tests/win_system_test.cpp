#include "platform/kernel/win_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/kernel/win_error.h"
#include "platform/kernel/win_path.h"

namespace {

class WinSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    dir_ = scratch_.path();
    setenv("TMPDIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (saved_.empty())
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", saved_.c_str(), 1);
    unsetenv("HALYARD_DRIVE_C");
    unsetenv("HALYARD_DRIVE_T");
    unsetenv("HALYARD_COMPUTERNAME");
  }
  halyard::testing::ScratchDir scratch_{"winsys"};
  std::string saved_;
  std::string dir_;
};

TEST_F(WinSystemTest, TempPathIsAWindowsPathThatMapsBackToTmpdir) {
  char buf[MAX_PATH];
  DWORD n = GetTempPathA(sizeof buf, buf);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(n, std::strlen(buf));
  EXPECT_EQ(std::string(buf, 3), "C:\\");
  EXPECT_EQ(buf[n - 1], '\\');
  EXPECT_EQ(halyard::MapWinPath(buf), dir_ + "/");

  // A drive whose root holds the folder names it when the current drive cannot.
  setenv("HALYARD_DRIVE_C", "/nonexistent-root", 1);
  setenv("HALYARD_DRIVE_T", "/tmp", 1);
  n = GetTempPathA(sizeof buf, buf);
  EXPECT_EQ(std::string(buf), "T:\\" + dir_.substr(5) + "\\");
  EXPECT_EQ(halyard::MapWinPath(buf), dir_ + "/");

  char tiny[4] = "abc";
  EXPECT_EQ(GetTempPathA(sizeof tiny, tiny), n + 1);
  EXPECT_STREQ(tiny, "abc");
}

TEST_F(WinSystemTest, TempFileNamesAreCreatedExclusivelyAndNeverRepeat) {
  char path[MAX_PATH];
  GetTempPathA(sizeof path, path);
  std::set<std::string> names;
  for (int i = 0; i < 50; ++i) {
    char name[MAX_PATH];
    UINT n = GetTempFileNameA(path, "kvxyz", 0, name);
    ASSERT_NE(n, 0u);
    std::string s = name;
    EXPECT_EQ(s.substr(0, std::strlen(path) + 3), std::string(path) + "kvx");
    EXPECT_EQ(s.substr(s.size() - 4), ".tmp");
    struct stat st;
    EXPECT_EQ(::stat(halyard::MapWinPath(s).c_str(), &st), 0) << s;
    EXPECT_TRUE(names.insert(s).second) << s;
  }
  char name[MAX_PATH];
  EXPECT_EQ(GetTempFileNameA(path, "ab", 0x1A2B, name), 0x1A2Bu);
  EXPECT_EQ(std::string(name), std::string(path) + "ab1A2B.tmp");
  EXPECT_FALSE(halyard::WinPathExists(name));

  EXPECT_EQ(GetTempFileNameA(std::string(MAX_PATH - 13, 'p').c_str(), "x", 1, name), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  EXPECT_EQ(GetTempFileNameA((std::string(path) + "missing\\").c_str(), "x", 0, name), 0u);
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST_F(WinSystemTest, ProcessesCreatingTempFilesAtOnceNeverShareAName) {
  char path[MAX_PATH];
  GetTempPathA(sizeof path, path);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  constexpr int kProcs = 4, kEach = 40;
  for (int p = 0; p < kProcs; ++p) {
    if (fork() == 0) {
      close(fds[0]);
      for (int i = 0; i < kEach; ++i) {
        char name[MAX_PATH];
        if (GetTempFileNameA(path, "Z", 0, name) == 0) _exit(1);
        std::string line = std::string(name) + "\n";
        if (write(fds[1], line.data(), line.size()) < 0) _exit(1);
      }
      _exit(0);
    }
  }
  close(fds[1]);
  std::string all;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) all.append(buf, n);
  close(fds[0]);
  for (int p = 0; p < kProcs; ++p) {
    int status = 0;
    wait(&status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::set<std::string> names;
  for (std::size_t at = 0, nl; (nl = all.find('\n', at)) != std::string::npos; at = nl + 1)
    EXPECT_TRUE(names.insert(all.substr(at, nl - at)).second);
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kProcs * kEach));
}

TEST_F(WinSystemTest, ComputerNameIsUpperCaseAndAtMostFifteenBytes) {
  setenv("HALYARD_COMPUTERNAME", "build-host-number-seven", 1);
  char buf[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof buf;
  ASSERT_TRUE(GetComputerNameA(buf, &size));
  EXPECT_STREQ(buf, "BUILD-HOST-NUMB");
  EXPECT_EQ(size, 15u);

  char small[4];
  size = sizeof small;
  EXPECT_FALSE(GetComputerNameA(small, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  EXPECT_EQ(size, 16u);

  unsetenv("HALYARD_COMPUTERNAME");
  size = sizeof buf;
  ASSERT_TRUE(GetComputerNameA(buf, &size));
  EXPECT_EQ(std::strchr(buf, '.'), nullptr);
  EXPECT_LE(size, 15u);
}

TEST(WinSystem, MemoryStatusReportsPhysicalMemoryCappedAt32Bits) {
  MEMORYSTATUSEX ex{};
  ex.dwLength = sizeof ex;
  ASSERT_TRUE(GlobalMemoryStatusEx(&ex));
  EXPECT_GT(ex.ullTotalPhys, 16ull << 20);
  EXPECT_LE(ex.ullAvailPhys, ex.ullTotalPhys);
  MEMORYSTATUS ms{};
  GlobalMemoryStatus(&ms);
  EXPECT_EQ(ms.dwLength, sizeof(MEMORYSTATUS));
  if (ex.ullTotalPhys >= 0xFFFFFFFFull) {
    EXPECT_EQ(ms.dwTotalPhys, 0xFFFFFFFFu);
  } else {
    EXPECT_EQ(ms.dwTotalPhys, ex.ullTotalPhys);
  }
  EXPECT_LE(ms.dwMemoryLoad, 100u);
}

}  // namespace
