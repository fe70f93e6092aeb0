#include "platform/ole/code_page.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/win_error.h"

namespace {

TEST(CodePage, EveryAnsiByteRoundTripsThroughWideText) {
  char bytes[256];
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<char>(i);
  WCHAR wide[256];
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, bytes, 256, wide, 256), 256);
  char back[256];
  BOOL usedDefault = TRUE;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide, 256, back, 256, nullptr, &usedDefault), 256);
  EXPECT_FALSE(usedDefault);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(static_cast<unsigned char>(back[i]), i) << i;
  // Outside 0x80-0x9F the byte is the Latin-1 character of the same number.
  for (int i = 0; i < 256; ++i) {
    if (i < 0x80 || i > 0x9F) {
      EXPECT_EQ(wide[i], i);
    }
  }
}

TEST(CodePage, TheWindowsBlockMapsAsWindowsDoes) {
  struct {
    unsigned char byte;
    char16_t wide;
  } cases[] = {{0x80, 0x20AC},
               {0x82, 0x201A},
               {0x83, 0x0192},
               {0x85, 0x2026},
               {0x88, 0x02C6},
               {0x8A, 0x0160},
               {0x8C, 0x0152},
               {0x8E, 0x017D},
               {0x91, 0x2018},
               {0x92, 0x2019},
               {0x93, 0x201C},
               {0x94, 0x201D},
               {0x96, 0x2013},
               {0x97, 0x2014},
               {0x98, 0x02DC},
               {0x99, 0x2122},
               {0x9A, 0x0161},
               {0x9C, 0x0153},
               {0x9E, 0x017E},
               {0x9F, 0x0178},
               // the five bytes the code page leaves unassigned stay as C1 controls
               {0x81, 0x0081},
               {0x8D, 0x008D},
               {0x8F, 0x008F},
               {0x90, 0x0090},
               {0x9D, 0x009D}};
  for (const auto& c : cases) {
    const char in = static_cast<char>(c.byte);
    WCHAR out = 0;
    ASSERT_EQ(MultiByteToWideChar(1252, 0, &in, 1, &out, 1), 1);
    EXPECT_EQ(out, c.wide) << std::hex << int(c.byte);
    char narrow = 0;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, &out, 1, &narrow, 1, nullptr, nullptr), 1);
    EXPECT_EQ(static_cast<unsigned char>(narrow), c.byte);
  }
}

TEST(CodePage, CharactersOutsideTheCodePageTakeTheDefaultCharacter) {
  const WCHAR text[] = u"a\u0100b\u4E2D\U0001F600";
  char out[16] = {};
  BOOL used = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof(out), nullptr, &used);
  EXPECT_EQ(n, 7);  // a ? b ? and one per surrogate half, then the NUL
  EXPECT_STREQ(out, "a?b???");
  EXPECT_TRUE(used);
  const char star = '*';
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, text, 2, out, 2, &star, nullptr), 2);
  EXPECT_EQ(std::string(out, 2), "a*");
  // U+0080 is not 0x80: the euro sign holds that byte.
  const WCHAR c1 = 0x80;
  used = FALSE;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, &c1, 1, out, 1, nullptr, &used), 1);
  EXPECT_EQ(out[0], '?');
  EXPECT_TRUE(used);
}

TEST(CodePage, SizesBuffersAndBadArgumentsFollowTheWindowsContract) {
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "hello", -1, nullptr, 0), 6);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "hello", 5, nullptr, 0), 5);
  WCHAR small[3];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "hello", -1, small, 3), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "hello", 0, small, 3), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, nullptr, 3, small, 3), 0);
  EXPECT_EQ(MultiByteToWideChar(932, 0, "x", 1, small, 3), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"hello", -1, nullptr, 0, nullptr, nullptr), 6);
  char narrow[2];
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"hello", -1, narrow, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  BOOL used;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"x", 1, narrow, 2, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(CodePage, Utf8ConvertsPairsAndReplacesBrokenSequences) {
  const char utf8[] = "\xE2\x82\xAC\xF0\x9F\x98\x80";
  WCHAR wide[8];
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 8), 4);
  EXPECT_EQ(std::u16string(wide, 3), u"\u20AC\U0001F600");
  char back[16];
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, back, 16, nullptr, nullptr), 8);
  EXPECT_STREQ(back, utf8);
  // A stray continuation byte, an overlong form and a truncated sequence each become U+FFFD.
  const char broken[] =
      "a\x80"
      "b\xC0\xAF"
      "c\xE2\x82";
  const int n = MultiByteToWideChar(CP_UTF8, 0, broken, sizeof(broken) - 1, wide, 8);
  EXPECT_EQ(std::u16string(wide, n), u"a\uFFFDb\uFFFD\uFFFDc\uFFFD");
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, broken, 3, wide, 8), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  const WCHAR lone[] = {0xD800, u'x'};
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, 2, back, 16, nullptr, nullptr), 4);
  EXPECT_EQ(std::string(back, 4), "\xEF\xBF\xBDx");
}

}  // namespace
