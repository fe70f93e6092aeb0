#include "platform/mfc/cstring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/mfc/cmemoryexception.h"
#include "platform/mfc/stringtable.h"

namespace {

TEST(CStringTest, ConstructionFromTextCountAndNull) {
  EXPECT_STREQ(CString(), "");
  EXPECT_EQ(CString(static_cast<const char*>(nullptr)).GetLength(), 0);
  CString fromNull = nullptr;
  EXPECT_TRUE(fromNull.IsEmpty());
  EXPECT_STREQ(CString("abcdef", 3), "abc");
  EXPECT_EQ(CString("abcdef", -2).GetLength(), 0);
  CString withNul("a\0b", 3);
  EXPECT_EQ(withNul.GetLength(), 3);
  EXPECT_EQ(withNul[2], 'b');
  EXPECT_STREQ(CString('x', 3), "xxx");
  EXPECT_TRUE(CString().IsEmpty());
}

TEST(CStringTest, IndexingOutsideTheTextNeverReadsOrWritesThere) {
  CString s("ab");
  EXPECT_EQ(s[1], 'b');
  EXPECT_EQ(s.GetAt(2), '\0');
  EXPECT_EQ(s.GetAt(-1), '\0');
  s.SetAt(5, 'z');
  s.SetAt(0, 'A');
  EXPECT_STREQ(s, "Ab");
  EXPECT_EQ(s[static_cast<std::size_t>(1)], 'b');
}

TEST(CStringTest, ConcatenationAndSelfAppend) {
  CString s("ab");
  s += s;
  EXPECT_STREQ(s, "abab");
  s += 'c';
  s += "de";
  EXPECT_STREQ(s, "ababcde");
  CString t = "x" + CString("y") + 'z' + "w";
  EXPECT_STREQ(t, "xyzw");
  EXPECT_STREQ('>' + t, ">xyzw");
  CString big;
  for (int i = 0; i < 1000; ++i) big += "0123456789";
  EXPECT_EQ(big.GetLength(), 10000);
  EXPECT_EQ(big.Mid(9990), "0123456789");
}

TEST(CStringTest, ComparisonsAreByteWiseAndNoCaseFoldsAsciiOnly) {
  CString a("abc");
  EXPECT_EQ(a.Compare("abd"), -1);
  EXPECT_EQ(a.Compare("abc"), 0);
  EXPECT_EQ(a.Compare("ab"), 1);
  EXPECT_EQ(CString("\xE9").Compare("e"), 1);  // bytes compare unsigned
  EXPECT_EQ(a.CompareNoCase("ABC"), 0);
  EXPECT_LT(a.CompareNoCase("ABD"), 0);
  EXPECT_NE(CString("\xC9").CompareNoCase("\xE9"), 0);
  EXPECT_TRUE(a == "abc");
  EXPECT_TRUE("abc" == a);
  EXPECT_TRUE(a != CString("abd"));
  EXPECT_TRUE(a < "abd" && "abd" > a && a <= "abc" && a >= "abc");
}

TEST(CStringTest, FindAndReverseFindStayInBounds) {
  CString s("hello world");
  EXPECT_EQ(s.Find('o'), 4);
  EXPECT_EQ(s.Find('o', 5), 7);
  EXPECT_EQ(s.Find('o', 11), -1);
  EXPECT_EQ(s.Find('o', 100), -1);
  EXPECT_EQ(s.Find('h', -5), 0);
  EXPECT_EQ(s.Find("world"), 6);
  EXPECT_EQ(s.Find("world", 7), -1);
  EXPECT_EQ(s.Find("", 11), 11);
  EXPECT_EQ(s.Find("", 12), -1);
  EXPECT_EQ(s.Find(static_cast<const char*>(nullptr)), -1);
  EXPECT_EQ(s.ReverseFind('o'), 7);
  EXPECT_EQ(s.ReverseFind('z'), -1);
  EXPECT_EQ(CString().ReverseFind('a'), -1);
  EXPECT_EQ(s.FindOneOf("wr"), 6);
  EXPECT_EQ(s.FindOneOf("xyz"), -1);
}

TEST(CStringTest, MidLeftRightClampOutOfRangeArguments) {
  CString s("abcdef");
  EXPECT_STREQ(s.Mid(2), "cdef");
  EXPECT_STREQ(s.Mid(2, 2), "cd");
  EXPECT_STREQ(s.Mid(-3, 2), "ab");
  EXPECT_STREQ(s.Mid(4, 100), "ef");
  EXPECT_STREQ(s.Mid(6), "");
  EXPECT_STREQ(s.Mid(60, 2), "");
  EXPECT_STREQ(s.Mid(1, -1), "");
  EXPECT_STREQ(s.Mid(3, 0x7FFFFFFF), "def");
  EXPECT_STREQ(s.Left(2), "ab");
  EXPECT_STREQ(s.Left(-1), "");
  EXPECT_STREQ(s.Left(99), "abcdef");
  EXPECT_STREQ(s.Right(2), "ef");
  EXPECT_STREQ(s.Right(-1), "");
  EXPECT_STREQ(s.Right(99), "abcdef");
  EXPECT_STREQ(s.SpanIncluding("cba"), "abc");
  EXPECT_STREQ(s.SpanExcluding("d"), "abc");
}

TEST(CStringTest, CaseConversionTouchesOnlyAsciiLetters) {
  CString s("aZ\xE9!");
  s.MakeUpper();
  EXPECT_STREQ(s, "AZ\xE9!");
  s.MakeLower();
  EXPECT_STREQ(s, "az\xE9!");
  s.MakeReverse();
  EXPECT_STREQ(s, "!\xE9za");
}

TEST(CStringTest, TrimWhiteSpaceCharacterAndSets) {
  CString s(" \t\r\n x y \v\f ");
  s.TrimLeft();
  EXPECT_STREQ(s, "x y \v\f ");
  s.TrimRight();
  EXPECT_STREQ(s, "x y");
  CString t(">>a>b>>");
  t.TrimLeft('>');
  EXPECT_STREQ(t, "a>b>>");
  t.TrimRight('>');
  EXPECT_STREQ(t, "a>b");
  CString u("<=<abc=<=");
  u.TrimLeft("<=");
  u.TrimRight("=<");
  EXPECT_STREQ(u, "abc");
  CString blank("   ");
  blank.TrimRight();
  EXPECT_TRUE(blank.IsEmpty());
  CString nbsp("\xA0x");
  nbsp.TrimLeft();
  EXPECT_STREQ(nbsp, "\xA0x");
}

TEST(CStringTest, ReplaceIsLeftToRightNonOverlappingAndCountsReplacements) {
  CString s("aaaa");
  EXPECT_EQ(s.Replace("aa", "a"), 2);
  EXPECT_STREQ(s, "aa");
  CString t("abcabc");
  EXPECT_EQ(t.Replace("b", "bb"), 2);
  EXPECT_STREQ(t, "abbcabbc");
  EXPECT_EQ(t.Replace("", "x"), 0);
  EXPECT_EQ(t.Replace("bb", nullptr), 2);
  EXPECT_STREQ(t, "acac");
  EXPECT_EQ(t.Replace('c', 'd'), 2);
  EXPECT_STREQ(t, "adad");
  EXPECT_EQ(t.Replace("zz", "y"), 0);
  EXPECT_EQ(t.Remove('a'), 2);
  EXPECT_STREQ(t, "dd");
}

TEST(CStringTest, InsertAndDeleteClampPositions) {
  CString s("ace");
  EXPECT_EQ(s.Insert(1, 'b'), 4);
  EXPECT_EQ(s.Insert(3, "d"), 5);
  EXPECT_STREQ(s, "abcde");
  s.Insert(99, "!");
  s.Insert(-4, "<");
  EXPECT_STREQ(s, "<abcde!");
  EXPECT_EQ(s.Delete(0), 6);
  EXPECT_EQ(s.Delete(4, 100), 4);
  EXPECT_EQ(s.Delete(9, 1), 4);
  EXPECT_STREQ(s, "abcd");
}

TEST(CStringTest, FormatUsesWin32SizePrefixesAndGrowsBeyondSmallBuffers) {
  CString s;
  LONG l = -5;
  DWORD d = 4000000000u;
  s.Format("%d|%s|%5.2f|%x", 42, "txt", 3.14159, 255);
  EXPECT_STREQ(s, "42|txt| 3.14|ff");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
  s.Format("%ld %lu %I64d %%", l, d, (LONGLONG)1 << 40);
#pragma GCC diagnostic pop
  EXPECT_STREQ(s, "-5 4000000000 1099511627776 %");
  std::string longText(1000, 'q');
  s.Format("<%s>", longText.c_str());
  EXPECT_EQ(s.GetLength(), 1002);
  s.Format("%s and %s", (LPCTSTR)s.Left(2), "more");
  EXPECT_STREQ(s, "<q and more");
  s.AppendFormat("/%03d", 7);
  EXPECT_STREQ(s, "<q and more/007");
}

TEST(CStringTest, GetBufferKeepsTextAndReleaseBufferTakesTheLength) {
  CString s("abc");
  char* p = s.GetBuffer(10);
  EXPECT_STREQ(p, "abc");
  std::strcpy(p, "0123456789");
  s.ReleaseBuffer();
  EXPECT_EQ(s.GetLength(), 10);
  p = s.GetBuffer(0);
  p[3] = '\0';
  s.ReleaseBuffer();
  EXPECT_STREQ(s, "012");
  CString w;
  p = w.GetBuffer(4);
  std::memcpy(p, "wxyz", 4);  // no terminator written: the length stops at the buffer's end
  w.ReleaseBuffer();
  EXPECT_STREQ(w, "wxyz");
  w.GetBuffer(8);
  w.ReleaseBuffer(2);
  EXPECT_STREQ(w, "wx");
  w.ReleaseBuffer(1000);  // clamped to what was allocated
  EXPECT_LE(w.GetLength(), 8);
  CString e;
  p = e.GetBuffer(0);
  EXPECT_EQ(*p, '\0');
  e.ReleaseBuffer();
  EXPECT_TRUE(e.IsEmpty());
  char* q = e.GetBufferSetLength(3);
  std::memcpy(q, "xyz", 3);
  EXPECT_STREQ(e, "xyz");
  e.FreeExtra();
  EXPECT_STREQ(e, "xyz");
}

const halyard::StringResource kFirst[] = {{1, "one"}, {2, "two"}, {3, ""}};
const halyard::StringResource kSecond[] = {{2, "zwei"}};

TEST(CStringTest, LoadStringFindsRegisteredTablesLatestFirst) {
  halyard::StringTableRegistration first(kFirst);
  CString s("keep");
  EXPECT_TRUE(s.LoadString(2));
  EXPECT_STREQ(s, "two");
  {
    halyard::StringTableRegistration second(kSecond);
    EXPECT_TRUE(s.LoadString(2));
    EXPECT_STREQ(s, "zwei");
    EXPECT_STREQ(CString(reinterpret_cast<LPCSTR>(1)), "one");
  }
  EXPECT_TRUE(s.LoadString(2));
  EXPECT_STREQ(s, "two");
  EXPECT_FALSE(s.LoadString(3));
  EXPECT_TRUE(s.IsEmpty());
  s = "x";
  EXPECT_FALSE(s.LoadString(99));
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringTest, CopiesAndMovesAreIndependent) {
  CString a("abc");
  CString b(a);
  b.SetAt(0, 'X');
  EXPECT_STREQ(a, "abc");
  CString c(std::move(b));
  EXPECT_STREQ(c, "Xbc");
  CString& alias = a;
  a = alias;
  EXPECT_STREQ(a, "abc");
  a = (LPCTSTR)a + 1;  // assigning a pointer into its own text
  EXPECT_STREQ(a, "bc");
}

}  // namespace
