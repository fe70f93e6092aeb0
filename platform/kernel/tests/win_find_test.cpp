#include "platform/kernel/win_find.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/kernel/win_error.h"

namespace {

class WinFindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    setenv("HALYARD_DRIVE_C", dir_.c_str(), 1);
    mkdir((dir_ + "/site").c_str(), 0777);
    mkdir((dir_ + "/site/Images").c_str(), 0777);
    for (const char* f : {"index.htm", "B.HTM", "a.gif", "readme", "notes.txt.bak"})
      std::ofstream(dir_ + "/site/" + f) << "12345";
  }
  void TearDown() override {
    unsetenv("HALYARD_DRIVE_C");
  }
  std::vector<std::string> List(const char* pattern) {
    std::vector<std::string> out;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern, &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do out.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(h));
    return out;
  }
  halyard::testing::ScratchDir scratch_{"winfind"};
  std::string dir_;
};

TEST_F(WinFindTest, ListsInUpperCaseOrderWithTheDotsFirst) {
  std::vector<std::string> want = {".",      "..",        "a.gif",         "B.HTM",
                                   "Images", "index.htm", "notes.txt.bak", "readme"};
  EXPECT_EQ(List("C:\\site\\*.*"), want);
  EXPECT_EQ(List("C:\\site\\*"), want);
  EXPECT_EQ(List("\\site/*"), want);
}

TEST_F(WinFindTest, WildcardsMatchWithoutRegardToCase) {
  EXPECT_EQ(List("C:\\site\\*.htm"), (std::vector<std::string>{"B.HTM", "index.htm"}));
  // '?' may also stand for no character before a dot, so "." matches as well as "..".
  EXPECT_EQ(List("C:\\site\\?.*"), (std::vector<std::string>{".", "..", "a.gif", "B.HTM"}));
  EXPECT_EQ(List("C:\\site\\INDEX.HTM"), (std::vector<std::string>{"index.htm"}));
  EXPECT_EQ(List("C:\\site\\*."), (std::vector<std::string>{".", "..", "Images", "readme"}));
  EXPECT_EQ(List("C:\\site\\*.txt*"), (std::vector<std::string>{"notes.txt.bak"}));
  EXPECT_TRUE(halyard::WildcardMatch("a*b*c", "aXXbYYc"));
  EXPECT_FALSE(halyard::WildcardMatch("a*b*c", "aXXbYY"));
}

TEST_F(WinFindTest, QuestionMarkMatchesNothingBeforeADotOrAtTheEnd) {
  for (const char* f : {"file.txt", "file1.txt", "file12.txt", "page", "page7", "page789"})
    std::ofstream(dir_ + "/site/" + f) << "x";
  EXPECT_EQ(List("C:\\site\\file?.txt"), (std::vector<std::string>{"file.txt", "file1.txt"}));
  EXPECT_EQ(List("C:\\site\\file??.txt"),
            (std::vector<std::string>{"file.txt", "file1.txt", "file12.txt"}));
  EXPECT_EQ(List("C:\\site\\page??"), (std::vector<std::string>{"page", "page7"}));
  // Inside a name '?' still takes exactly one character.
  EXPECT_FALSE(halyard::WildcardMatch("fi?e.txt", "fie.txt"));
  EXPECT_TRUE(halyard::WildcardMatch("fi?e.txt", "file.txt"));
  EXPECT_TRUE(halyard::WildcardMatch("a?.b?", "a.b"));
  EXPECT_TRUE(halyard::WildcardMatch("*?.txt", "x.txt"));
  EXPECT_TRUE(halyard::WildcardMatch("*a*a*a*a*a*b", std::string(200, 'a') + "b"));
  EXPECT_FALSE(halyard::WildcardMatch("*a*a*a*a*a*b", std::string(250, 'a')));
}

TEST_F(WinFindTest, FindDataCarriesAttributesSizesAndTimes) {
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA("C:\\site\\a.gif", &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(fd.nFileSizeLow, 5u);
  EXPECT_EQ(fd.nFileSizeHigh, 0u);
  EXPECT_EQ(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(fd.ftLastWriteTime.dwHighDateTime, 0u);
  FindClose(h);
  h = FindFirstFileA("C:\\site\\images", &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_NE(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_FALSE(CloseHandle(h));  // Search handles close with FindClose only.
  FindClose(h);
  EXPECT_EQ(GetFileAttributesA("C:\\site\\Images") & FILE_ATTRIBUTE_DIRECTORY,
            FILE_ATTRIBUTE_DIRECTORY);
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA("C:\\site\\index.htm", GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, 5u);
}

TEST_F(WinFindTest, MissingNamesAndFoldersGiveTheirErrors) {
  WIN32_FIND_DATAA fd;
  EXPECT_EQ(FindFirstFileA("C:\\site\\*.png", &fd), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileA("C:\\nowhere\\*.*", &fd), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(FindNextFileA(reinterpret_cast<HANDLE>(0x12345), &fd));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetFileAttributesA("C:\\site\\none"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA("C:\\nowhere\\none"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
