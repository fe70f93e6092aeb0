// The Jet dialect helpers: like patterns, case folding over Windows-1252 letters, the text
// conversions at the engine boundary and the rewrite of Jet SQL for ODBC sources.
#include "platform/dao/jet_sql.h"

#include <gtest/gtest.h>

namespace halyard::dao {
namespace {

TEST(JetLike, StarQuestionAndDigitWildcards) {
  EXPECT_TRUE(JetLike("abc*", "abcdef"));
  EXPECT_TRUE(JetLike("*def", "abcdef"));
  EXPECT_TRUE(JetLike("*cd*", "abcdef"));
  EXPECT_FALSE(JetLike("*xy*", "abcdef"));
  EXPECT_TRUE(JetLike("a?c", "abc"));
  EXPECT_FALSE(JetLike("a?c", "ac"));
  EXPECT_TRUE(JetLike("#1#", "515"));
  EXPECT_FALSE(JetLike("#1#", "a1b"));
  EXPECT_TRUE(JetLike("*", ""));
  EXPECT_FALSE(JetLike("?", ""));
  // A star must be able to give back what it took.
  EXPECT_TRUE(JetLike("*a*b*c", "xxaxxbxxbcxc"));
  EXPECT_FALSE(JetLike("*a*b*c", "xxaxxbxxbx"));
}

TEST(JetLike, BracketListsRangesNegationAndLiteralWildcards) {
  EXPECT_TRUE(JetLike("[abc]x", "bx"));
  EXPECT_FALSE(JetLike("[abc]x", "dx"));
  EXPECT_TRUE(JetLike("[a-f]9", "e9"));
  EXPECT_TRUE(JetLike("[!a-f]9", "z9"));
  EXPECT_FALSE(JetLike("[!a-f]9", "c9"));
  // The escaped wildcards match only themselves.
  EXPECT_TRUE(JetLike("50[%]*", "50% off"));
  EXPECT_TRUE(JetLike("a[*]b", "a*b"));
  EXPECT_FALSE(JetLike("a[*]b", "axb"));
  EXPECT_TRUE(JetLike("a[?]", "a?"));
  EXPECT_FALSE(JetLike("a[?]", "ab"));
  EXPECT_TRUE(JetLike("[[]x", "[x"));
  // An unclosed list is a literal bracket.
  EXPECT_TRUE(JetLike("a[b", "a[b"));
}

TEST(JetLike, IgnoresCaseOfAsciiAndWindows1252Letters) {
  EXPECT_TRUE(JetLike("ABC*", "abcdef"));
  EXPECT_TRUE(JetLike("*\xC3\x89T\xC3\x89*", "un \xC3\xA9t\xC3\xA9 chaud"));  // ÉTÉ / été
  EXPECT_TRUE(JetLike("\xC5\xA0*", "\xC5\xA1kola"));                         // Š / š
  EXPECT_EQ(CompareNoCaseUtf8("\xC3\x84pfel", "\xC3\xA4PFEL"), 0);
  EXPECT_LT(CompareNoCaseUtf8("apple", "Banana"), 0);
  EXPECT_GT(CompareNoCaseUtf8("abcd", "ABC"), 0);
}

TEST(JetText, Windows1252RoundTripsThroughUtf8) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  std::string utf8 = AnsiToUtf8(all);
  EXPECT_EQ(AnsiToUtf8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(AnsiToUtf8("\x80"), "\xE2\x82\xAC");  // the euro sign
  // The five bytes Windows-1252 leaves undefined come back as they went.
  EXPECT_EQ(Utf8ToAnsi(utf8), all);
  // A character outside the code page, and broken UTF-8.
  EXPECT_EQ(Utf8ToAnsi("\xE4\xB8\xAD"), "?");
  EXPECT_EQ(Utf8ToAnsi("a\xE9z"), "a\xE9z");
}

TEST(JetText, DatesAsTextBothWays) {
  DATE d = 0;
  ASSERT_TRUE(TextToDate("1969-12-31 23:59:58", &d));
  EXPECT_EQ(DateToText(d), "1969-12-31 23:59:58");
  ASSERT_TRUE(TextToDate("2024-02-29", &d));
  EXPECT_EQ(DateToText(d), "2024-02-29 00:00:00");
  EXPECT_FALSE(TextToDate("2023-02-29", &d));
  EXPECT_FALSE(TextToDate("yesterday", &d));
}

TEST(JetRewrite, QuotesNamesWithTheDriversCharacter) {
  EXPECT_EQ(RewriteJetForOdbc("SELECT * FROM [Sys Types] WHERE fType = 5", '"'),
            "SELECT * FROM \"Sys Types\" WHERE \"fType\" = 5");
  EXPECT_EQ(RewriteJetForOdbc("SELECT * FROM [t] ORDER BY [Name] DESC", '`'),
            "SELECT * FROM `t` ORDER BY `Name` DESC");
  // Functions and keywords stay as they are; a quote inside a name is doubled.
  EXPECT_EQ(RewriteJetForOdbc("SELECT COUNT(*) FROM [a\"b]", '"'), "SELECT COUNT(*) FROM \"a\"\"b\"");
}

TEST(JetRewrite, LikeBecomesCaseInsensitiveSqlPattern) {
  EXPECT_EQ(RewriteJetForOdbc("SELECT * FROM [t] WHERE [Title] like '*ab_c%*'", '"'),
            "SELECT * FROM \"t\" WHERE UPPER(\"Title\") LIKE UPPER('%ab\\_c\\%%') ESCAPE '\\'");
  EXPECT_EQ(JetPatternToSql("a[*]b?[?]"), "a*b_?");
  EXPECT_EQ(JetPatternToSql("x\\y"), "x\\\\y");
}

TEST(JetRewrite, TextEqualityIgnoresCaseAndLiteralsPassUnchanged) {
  EXPECT_EQ(RewriteJetForOdbc("SELECT * FROM [t] WHERE fName = 'O''Brien [x]'", '"'),
            "SELECT * FROM \"t\" WHERE UPPER(\"fName\") = UPPER('O''Brien [x]')");
  // A number or a parameter is compared as it is.
  EXPECT_EQ(RewriteJetForOdbc("UPDATE [t] SET [a] = ? WHERE [b] = 3", '"'),
            "UPDATE \"t\" SET \"a\" = ? WHERE \"b\" = 3");
}

}  // namespace
}  // namespace halyard::dao
