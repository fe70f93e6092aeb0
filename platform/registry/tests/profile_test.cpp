#include "platform/registry/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/kernel/win_error.h"
#include "scratch_dir.h"

namespace {

using halyard::registry::testing::ScratchDir;

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mkdir((dir_.path() + "/windows").c_str(), 0777);
    ini_ = dir_.path() + "/windows/kvproxy.ini";
  }
  void Put(const std::string& text) { ScratchDir::Write(ini_, text); }
  std::string Get(const char* app, const char* key, const char* def = "dflt",
                  const char* file = "kvproxy.ini") {
    char buf[256];
    DWORD n = GetPrivateProfileStringA(app, key, def, buf, sizeof buf, file);
    EXPECT_EQ(n, std::strlen(buf));
    return buf;
  }
  ScratchDir dir_;
  std::string ini_;
};

TEST_F(ProfileTest, LookupIgnoresCaseAndBlanksAndTakesTheFirstMatch) {
  Put("; settings\r\n[HTTP]\r\n  enabled =  1  \r\nhttp0= \"proxy:80\" \r\nempty=\r\n"
      "[ legs ]\r\nAuthType='NTLM'\r\nAuthType=second\r\n[http]\r\nlater=x\r\n");
  EXPECT_EQ(Get("http", "ENABLED"), "1");
  EXPECT_EQ(Get("HTTP", "http0"), "proxy:80");
  EXPECT_EQ(Get("Legs", "authtype"), "NTLM");
  EXPECT_EQ(Get("HTTP", "empty"), "");            // Present but empty: not the default.
  EXPECT_EQ(Get("HTTP", "later"), "dflt");        // Only the first [HTTP] counts.
  EXPECT_EQ(Get("HTTP", "missing", "d  "), "d");  // Trailing blanks of a default go.
  EXPECT_EQ(Get("HTTP", "missing", nullptr), "");
  EXPECT_EQ(Get("Nowhere", "x"), "dflt");
  EXPECT_EQ(Get("HTTP", "enabled", "dflt", "other.ini"), "dflt");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ProfileTest, ShortBuffersFollowTheReturnedLengthRules) {
  Put("[A]\r\nkey=abcdef\r\n[Second]\r\n[Third]\r\nk2=v\r\n");
  char buf[4];
  EXPECT_EQ(GetPrivateProfileStringA("A", "key", "", buf, sizeof buf, "kvproxy.ini"), 3u);
  EXPECT_STREQ(buf, "abc");
  char list[64];
  DWORD n = GetPrivateProfileStringA(nullptr, nullptr, "", list, sizeof list, "kvproxy.ini");
  EXPECT_EQ(std::string(list, n + 1), std::string("A\0Second\0Third\0\0", 16));
  EXPECT_EQ(n, 15u);
  char cut[6];
  n = GetPrivateProfileStringA(nullptr, nullptr, "", cut, sizeof cut, "kvproxy.ini");
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(std::string(cut, 6), std::string("A\0Se\0\0", 6));
  n = GetPrivateProfileStringA("third", nullptr, "", list, sizeof list, "kvproxy.ini");
  EXPECT_EQ(std::string(list, n + 1), std::string("k2\0\0", 4));
  n = GetPrivateProfileStringA("none", nullptr, "", list, sizeof list, "kvproxy.ini");
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(list[0], '\0');
  EXPECT_EQ(GetPrivateProfileStringA("A", "key", "", buf, 0, "kvproxy.ini"), 0u);
  n = GetPrivateProfileSectionA("A", list, sizeof list, "kvproxy.ini");
  EXPECT_EQ(std::string(list, n + 1), std::string("key=abcdef\0\0", 12));
}

TEST_F(ProfileTest, IntegersAcceptSignsAndHexAndStopAtTheFirstNonDigit) {
  Put("[N]\r\na=42\r\nb= -7\r\nc=0x1F\r\nd=12abc\r\ne=abc\r\nf=\r\n");
  EXPECT_EQ(GetPrivateProfileIntA("n", "a", 5, "kvproxy.ini"), 42u);
  EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntA("N", "b", 5, "kvproxy.ini")), -7);
  EXPECT_EQ(GetPrivateProfileIntA("N", "c", 5, "kvproxy.ini"), 31u);
  EXPECT_EQ(GetPrivateProfileIntA("N", "d", 5, "kvproxy.ini"), 12u);
  EXPECT_EQ(GetPrivateProfileIntA("N", "e", 5, "kvproxy.ini"), 0u);
  EXPECT_EQ(GetPrivateProfileIntA("N", "f", 5, "kvproxy.ini"), 5u);
  EXPECT_EQ(GetPrivateProfileIntA("N", "missing", 15, "kvproxy.ini"), 15u);
  EXPECT_EQ(GetPrivateProfileIntA("Legs", "ThreadingEnabled", 1, "absent.ini"), 1u);
}

TEST_F(ProfileTest, WritesChangeOnlyTheirLineAndKeepTheRest) {
  Put("; keep me\r\n[HTTP]\r\nenabled=0\r\n\r\n[Legs]\nAuthType=BASIC");
  ASSERT_TRUE(WritePrivateProfileStringA("http", "ENABLED", "1", "kvproxy.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("HTTP", "num_entries", "2", "kvproxy.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("legs", "AuthEnabled", "1", "kvproxy.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Cache", "CacheDirectory", "%TEMPDIR%", "kvproxy.ini"));
  EXPECT_EQ(ScratchDir::Read(ini_),
            "; keep me\r\n[HTTP]\r\nenabled=1\r\nnum_entries=2\r\n\r\n[Legs]\nAuthType=BASIC\r\n"
            "AuthEnabled=1\r\n[Cache]\r\nCacheDirectory=%TEMPDIR%\r\n");
  ASSERT_TRUE(WritePrivateProfileStringA("HTTP", "enabled", nullptr, "kvproxy.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Legs", nullptr, nullptr, "kvproxy.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Nowhere", "x", nullptr, "kvproxy.ini"));
  EXPECT_EQ(ScratchDir::Read(ini_),
            "; keep me\r\n[HTTP]\r\nnum_entries=2\r\n\r\n[Cache]\r\nCacheDirectory=%TEMPDIR%\r\n");
  EXPECT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, "kvproxy.ini"));
  EXPECT_FALSE(WritePrivateProfileStringA(nullptr, "k", "v", "kvproxy.ini"));
}

TEST_F(ProfileTest, NamesWithoutAFolderLiveInTheWindowsFolder) {
  // The Windows folder is made on the first write and names match without regard to case.
  std::string cmd = "rm -rf '" + dir_.path() + "/windows'";
  ASSERT_EQ(system(cmd.c_str()), 0);
  ASSERT_TRUE(WritePrivateProfileStringA("GENERAL", "version", "1.0", "KVPROXY.INI"));
  EXPECT_EQ(ScratchDir::Read(dir_.path() + "/windows/KVPROXY.INI"), "[GENERAL]\r\nversion=1.0\r\n");
  EXPECT_EQ(Get("general", "VERSION", "x", "kvproxy.ini"), "1.0");
  // Names with a folder are Windows paths on the mapped drives.
  ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", "C:\\site.ini"));
  EXPECT_EQ(ScratchDir::Read(dir_.path() + "/site.ini"), "[S]\r\nk=v\r\n");
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", "C:\\no\\such\\folder\\x.ini"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(ProfileTest, ArbitraryBytesNeverBreakTheReader) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk.push_back(static_cast<char>((i * 7919) % 256));
  junk += "\n[\n]\n=\n[A]=\n=v\n[A\n\r\r\n";
  Put(junk);
  char list[8192];
  GetPrivateProfileStringA(nullptr, nullptr, "", list, sizeof list, "kvproxy.ini");
  EXPECT_EQ(Get("A", "", "d"), "v");
  ASSERT_TRUE(WritePrivateProfileStringA("A", "new", "1", "kvproxy.ini"));
  EXPECT_EQ(ScratchDir::Read(ini_).substr(0, 4096), junk.substr(0, 4096));
}

}  // namespace
