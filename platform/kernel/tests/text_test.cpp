#include "platform/kernel/text.h"

#include <gtest/gtest.h>

#include <string>

namespace halyard {
namespace {

TEST(BlankSets, EachSetAcceptsExactlyItsCharacters) {
  for (int i = -128; i < 128; ++i) {
    char c = static_cast<char>(i);
    SCOPED_TRACE(i);
    EXPECT_EQ(IsSpaceOrTab(c), c == ' ' || c == '\t');
    EXPECT_EQ(IsSpaceTabCrLf(c), c == ' ' || c == '\t' || c == '\r' || c == '\n');
    EXPECT_EQ(IsAsciiWhiteSpace(c), c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f');
    EXPECT_EQ(IsCLocaleSpace(c),
              c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v');
  }
}

TEST(BlankSets, WideCharactersOutsideAsciiAreNotBlank) {
  EXPECT_TRUE(IsSpaceTabCrLf(u'\n'));
  EXPECT_FALSE(IsSpaceTabCrLf(u'\u00a0'));
  EXPECT_FALSE(IsAsciiWhiteSpace(u'\u2028'));
  EXPECT_FALSE(IsCLocaleSpace(static_cast<char16_t>(0x0109)));  // low byte is a tab
  EXPECT_FALSE(IsSpaceOrTab(static_cast<char16_t>(0x0120)));    // low byte is a space
}

TEST(AsciiCase, OnlyAsciiLettersChange) {
  std::string all;
  for (int i = 1; i < 256; ++i) all.push_back(static_cast<char>(i));
  std::string upper = AsciiUpperCopy(all), lower = AsciiLowerCopy(all);
  for (int i = 1; i < 256; ++i) {
    char c = static_cast<char>(i);
    char u = upper[static_cast<std::size_t>(i - 1)], l = lower[static_cast<std::size_t>(i - 1)];
    EXPECT_EQ(u, c >= 'a' && c <= 'z' ? c - 32 : c) << i;
    EXPECT_EQ(l, c >= 'A' && c <= 'Z' ? c + 32 : c) << i;
  }
  std::string s = "Caf\xe9 Menu";
  MakeAsciiUpper(s);
  EXPECT_EQ(s, "CAF\xe9 MENU");
  MakeAsciiLower(s);
  EXPECT_EQ(s, "caf\xe9 menu");
  EXPECT_EQ(AsciiUpper(u'z'), u'Z');
  EXPECT_EQ(AsciiUpper(u'\u00e9'), u'\u00e9');
}

TEST(NoCaseAscii, EqualityAndAffixes) {
  EXPECT_TRUE(EqualsNoCaseAscii("Content-Type", "CONTENT-type"));
  EXPECT_FALSE(EqualsNoCaseAscii("Content-Type", "Content-Typ"));
  EXPECT_FALSE(EqualsNoCaseAscii("\xe9", "\xc9"));  // Windows-1252 letters are not folded here
  EXPECT_FALSE(EqualsNoCaseAscii("[", "{"));         // 0x5b and 0x7b differ by the case bit only
  EXPECT_TRUE(EqualsNoCaseAscii("", ""));
  EXPECT_TRUE(StartsWithNoCaseAscii("HTTP/1.0 200", "http/"));
  EXPECT_FALSE(StartsWithNoCaseAscii("HT", "http"));
  EXPECT_TRUE(StartsWithNoCaseAscii("x", ""));
  EXPECT_TRUE(EndsWithNoCaseAscii("INDEX.HTM", ".htm"));
  EXPECT_FALSE(EndsWithNoCaseAscii("htm", ".htm"));
}

TEST(NoCaseAscii, CompareOrdersAsLowerCaseWithUnsignedBytes) {
  EXPECT_EQ(CompareNoCaseAscii("abc", "ABC"), 0);
  EXPECT_LT(CompareNoCaseAscii("abc", "ABD"), 0);
  EXPECT_GT(CompareNoCaseAscii("b", "A"), 0);
  EXPECT_LT(CompareNoCaseAscii("ab", "ABC"), 0);
  EXPECT_GT(CompareNoCaseAscii("abc", "AB"), 0);
  // '_' (0x5f) lies between the capitals and the small letters: folded to lower case, as the
  // C runtime's case-blind compare does, it sorts before every letter.
  EXPECT_GT(CompareNoCaseAscii("Z", "_"), 0);
  EXPECT_GT(CompareNoCaseAscii("a", "_"), 0);
  EXPECT_GT(CompareNoCaseAscii("\xe9", "z"), 0);
}

TEST(NoCaseAscii, FindIgnoresCaseAndStaysInBounds) {
  EXPECT_EQ(FindNoCaseAscii("<a HREF=x>", "href"), 3u);
  EXPECT_EQ(FindNoCaseAscii("href href", "HREF", 1), 5u);
  EXPECT_EQ(FindNoCaseAscii("abc", "abcd"), std::string_view::npos);
  EXPECT_EQ(FindNoCaseAscii("abc", "", 3), 3u);
  EXPECT_EQ(FindNoCaseAscii("abc", "a", 4), std::string_view::npos);
}

TEST(Trim, EachTrimRemovesOnlyItsSet) {
  EXPECT_EQ(TrimSpaceOrTab(" \tkey = v\r\n\t "), "key = v\r\n");
  EXPECT_EQ(TrimSpaceTabCrLf(" \tkey\f\r\n"), "key\f");
  EXPECT_EQ(TrimAsciiWhiteSpace("\f key \f\n"), "key");
  EXPECT_EQ(TrimAsciiWhiteSpace(" \t "), "");
  EXPECT_EQ(TrimSpaceOrTab(""), "");
}

}  // namespace
}  // namespace halyard
