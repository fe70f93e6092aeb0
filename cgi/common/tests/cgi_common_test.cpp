#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cgi_process.h"
#include "cgi/common/board_config.h"
#include "cgi/common/cgi_request.h"
#include "cgi/common/cgi_string.h"
#include "cgi/common/form_field.h"
#include "cgi/common/text_escape.h"

namespace {

using halyard::cgi::CutFormData;
using halyard::cgi::FormField;
using halyard::cgi::WalkFields;
using halyard::cgitest::ReadFile;
using halyard::cgitest::TempDir;
using halyard::cgitest::WriteFile;

TEST(SplitAt, ConsumesTheSourcePieceByPiece) {
  char source[] = "a=1&bb=2&c";
  char piece[sizeof source];
  SplitAt(piece, source, '&');
  EXPECT_STREQ(piece, "a=1");
  EXPECT_STREQ(source, "bb=2&c");
  SplitAt(piece, source, '&');
  EXPECT_STREQ(piece, "bb=2");
  SplitAt(piece, source, '&');
  EXPECT_STREQ(piece, "c");
  EXPECT_STREQ(source, "");
}

TEST(SplitAt, CutsAPieceLongerThanItsSlotAndStillConsumesIt) {
  char source[] = "abcdefghijkl=v&next";
  char slot[5];
  std::memset(slot, 'X', sizeof slot);
  SplitAt(slot, sizeof slot, source, '=');
  EXPECT_STREQ(slot, "abcd");
  EXPECT_STREQ(source, "v&next");
}

TEST(SplitAt, CopyAllocatesExactlyThePiece) {
  char source[] = "first&second";
  char* a = SplitAtCopy(source, '&');
  char* b = SplitAtCopy(source, '&');
  char* c = SplitAtCopy(source, '&');
  EXPECT_STREQ(a, "first");
  EXPECT_STREQ(b, "second");
  EXPECT_STREQ(c, "");
  std::free(a);
  std::free(b);
  std::free(c);
}

TEST(DecodeUrl, DecodesBlanksAndEscapesInEitherCase) {
  char text[] = "J+Smith%21%4a%4A";
  DecodeUrl(text);
  EXPECT_STREQ(text, "J Smith!JJ");
  EXPECT_EQ(HexPairValue("41"), 'A');
  EXPECT_EQ(HexPairValue("ff"), 0xFF);
  // Bytes from 128 up take the digit branch: (0xC1 - 48) * 16 + 0, kept to 8 bits.
  EXPECT_EQ(HexPairValue("\xC1"
                         "0"),
            ((0xC1 - 48) * 16) & 0xFF);
}

TEST(DecodeUrl, NeverReadsPastAnEscapeCutShortAtTheEnd) {
  char one[] = "ab%";
  DecodeUrl(one);
  EXPECT_STREQ(one, "ab%");
  char two[] = "ab%4";
  DecodeUrl(two);
  EXPECT_STREQ(two, "ab%4");
  EXPECT_EQ(halyard::cgi::DecodeUrlText("x%4"), "x%4");
  // A decoded NUL ends the text for everything that reads it afterwards.
  EXPECT_EQ(halyard::cgi::DecodeUrlText("ab%00cd"), "ab");
}

TEST(CutFormData, SplitsPairsOnRawAmpersandsAndNamesOnDecodedEquals) {
  std::vector<FormField> f = CutFormData("a=1&&b=2", {15, 0});
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0].name, "a");
  EXPECT_EQ(f[0].value, "1");
  EXPECT_EQ(f[1].name, "");
  EXPECT_EQ(f[1].value, "");
  EXPECT_EQ(f[2].name, "b");
  EXPECT_EQ(CutFormData("a=1&", {15, 0}).size(), 1u);
  EXPECT_TRUE(CutFormData("", {15, 0}).empty());

  f = CutFormData("a%3Db=c&v=x%26y&name=J+Smith%21&bare", {15, 0});
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f[0].name, "a");
  EXPECT_EQ(f[0].value, "b=c");
  EXPECT_EQ(f[1].value, "x&y");
  EXPECT_EQ(f[2].value, "J Smith!");
  EXPECT_EQ(f[3].name, "bare");
  EXPECT_EQ(f[3].value, "");
}

TEST(CutFormData, CutsNamesAndRawPairsToTheirSlots) {
  std::string longValue(400, 'v');
  std::vector<FormField> f =
      CutFormData("abcdefghijklmnopqrst=1&2=" + longValue + "&3=%41", {9, 255});
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0].name, "abcdefghi");
  EXPECT_EQ(f[0].value, "1");
  EXPECT_EQ(f[1].value, std::string(253, 'v'));  // 255 raw characters, "2=" included
  EXPECT_EQ(f[2].value, "A");
}

TEST(WalkFields, MarkerStopsTheWalkOnlyWhenItsFieldIsEmpty) {
  const std::vector<std::string_view> names = {"x", "y"};
  auto walk = WalkFields(CutFormData("3a=TRUE&3=&x=1&y=2", {15, 0}), names);
  EXPECT_TRUE(walk.stopped);
  EXPECT_EQ(walk.matchCount, 0);  // fields after the failing marker are not counted

  walk = WalkFields(CutFormData("3a=TRUE&3=x&x=1&y=2", {15, 0}), names);
  EXPECT_FALSE(walk.stopped);
  EXPECT_EQ(walk.matchCount, 2);

  // The guarded field is looked for in the whole request, also after the marker.
  walk = WalkFields(CutFormData("x=1&3a=TRUE&y=2&3=", {15, 0}), names);
  EXPECT_TRUE(walk.stopped);
  EXPECT_EQ(walk.matchCount, 1);
  EXPECT_EQ(walk.positions[0], 0);
  EXPECT_EQ(walk.positions[1], -1);

  // Lower-case true is no marker, and a marker is never matched as a name.
  walk = WalkFields(CutFormData("3a=true&3=&x=1", {15, 0}), {"3a", "x"});
  EXPECT_FALSE(walk.stopped);
  EXPECT_EQ(walk.matchCount, 2);
  walk = WalkFields(CutFormData("3a=TRUE&x=1", {15, 0}), {"3a", "x"});
  EXPECT_EQ(walk.matchCount, 1);
}

TEST(WalkFields, RepeatedNamesAllCountAndTheLastPositionIsKept) {
  auto walk = WalkFields(CutFormData("x=1&z=0&x=2&Y=3", {15, 0}), {"x", "y"});
  EXPECT_EQ(walk.matchCount, 2);
  EXPECT_EQ(walk.positions[0], 2);
  EXPECT_EQ(walk.positions[1], -1);  // exact case only
}

TEST(Escape, ScriptStringsCannotEndTheStringLineOrScript) {
  char* e = EscapeForScript("say \"hi\" \\ </script>\r\n");
  EXPECT_STREQ(e, "say \\\"hi\\\" \\\\ \\x3C/script>\\r\\n");
  std::free(e);
  EXPECT_EQ(halyard::cgi::ScriptEscape("plain text 1"), "plain text 1");
}

TEST(Escape, TheIndexEscapeIsCutAtNinetyNineWithoutSplittingAnEscape) {
  char* e = EscapeForScript(std::string(120, 'a').c_str());
  EXPECT_EQ(std::strlen(e), 99u);
  std::free(e);
  // 98 letters and a quote: the two-character escape would make 100, so it is left out.
  e = EscapeForScript((std::string(98, 'a') + "\"b").c_str());
  EXPECT_EQ(std::string(e), std::string(98, 'a'));
  std::free(e);
  e = EscapeForScript((std::string(97, 'a') + "\"b").c_str());
  EXPECT_EQ(std::string(e), std::string(97, 'a') + "\\\"");
  std::free(e);
}

TEST(Escape, HtmlEscapesMarkupCharacters) {
  EXPECT_EQ(halyard::cgi::HtmlEscape("<a href=\"x\">&'</a>"),
            "&lt;a href=&quot;x&quot;&gt;&amp;'&lt;/a&gt;");
}

class InTempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = ::open(".", O_RDONLY);
    ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(::fchdir(old_), 0);
    ::close(old_);
  }
  TempDir dir_;
  int old_ = -1;
};

TEST_F(InTempDir, ReadConfigTextReadsTextModeWithinItsLimits) {
  WriteFile("cfg", "..\\board\r\nhttp://x/\r\n");
  char buf[2049];
  ReadConfigText("cfg", buf, sizeof buf);
  EXPECT_STREQ(buf, "..\\board\nhttp://x/\n");
  WriteFile("big", std::string(3000, 'z'));
  ReadConfigText("big", buf, sizeof buf);
  EXPECT_EQ(std::strlen(buf), 2048u);
  char small[1024];
  ReadConfigText("big", small, sizeof small);
  EXPECT_EQ(std::strlen(small), 1023u);
  ReadConfigText("missing", buf, sizeof buf);
  EXPECT_STREQ(buf, "");
}

TEST(BoardConfigTest, SplitsDirectoryAndScriptPrefixAtTheFirstLineFeed) {
  BoardConfig c = BoardConfig::FromText("..\\board\nhttp://h/cgi/\nmore");
  EXPECT_EQ(c.boardDirectory, "..\\board");
  EXPECT_EQ(c.scriptUrlPrefix, "http://h/cgi/\nmore");
  EXPECT_EQ(c.boardUrlBase, "../board");
  c = BoardConfig::FromText("only");
  EXPECT_EQ(c.boardDirectory, "only");
  EXPECT_EQ(c.scriptUrlPrefix, "");
}

TEST(CgiRequestTest, BaseOperationsDoNothing) {
  CgiRequest base;
  char buf[4] = {'x', 'x', 'x', 0};
  EXPECT_EQ(base.ContentLength(), 0u);
  EXPECT_EQ(base.ReadContent(buf, 4), 1);
  EXPECT_STREQ(buf, "xxx");
  EXPECT_EQ(base.WriteText("x"), 1);
  EXPECT_EQ(base.RequestMethod(), nullptr);
  EXPECT_FALSE(base.IsPost());
}

class EnvRequest : public CgiRequest {
 public:
  const char* RequestMethod() override { return std::getenv("REQUEST_METHOD"); }
};

TEST(CgiRequestTest, ContentLengthAndMethodComeFromTheEnvironment) {
  EnvRequest r;
  ::setenv("REQUEST_METHOD", "post", 1);
  EXPECT_TRUE(r.IsPost());
  ::setenv("REQUEST_METHOD", "GET", 1);
  EXPECT_FALSE(r.IsPost());  // asked afresh
  ::unsetenv("REQUEST_METHOD");
  EXPECT_FALSE(r.IsPost());

  // The reading routine of the standard request, without writing its header.
  using halyard::cgi::ParseLeadingLong;
  EXPECT_EQ(ParseLeadingLong("  42abc"), 42);
  EXPECT_EQ(ParseLeadingLong("abc"), 0);
  EXPECT_EQ(ParseLeadingLong("-7"), -7);
  EXPECT_EQ(ParseLeadingLong("99999999999999999999"), 2147483647);
  EXPECT_EQ(ParseLeadingLong("-99999999999999999999"), -2147483647 - 1);
}

TEST(TextModeBytes, EveryLineFeedBecomesCrLfAndNothingElseChanges) {
  using halyard::cgi::TextModeBytes;
  EXPECT_EQ(TextModeBytes("a\nb\r\nc\rd\n\n"), "a\r\nb\r\r\nc\rd\r\n\r\n");
  EXPECT_EQ(TextModeBytes(std::string("x\0\n", 3)), std::string("x\0\r\n", 4));
  EXPECT_EQ(TextModeBytes(""), "");
}

}  // namespace
