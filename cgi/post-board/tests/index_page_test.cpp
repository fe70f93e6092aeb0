#include "cgi/post-board/index_page.h"

#include <gtest/gtest.h>

#include <string>

#include "board_fixture.h"

namespace halyard::cgitest {
namespace {

using board::FindInsertionPoint;

TEST(IndexPage, TheMarkerCountsOnlyAsAWholeLineOrPieceOfNinetyNine) {
  const std::string marker = "<!--insertion point-->\r\r\n";
  EXPECT_EQ(FindInsertionPoint("a\r\n" + marker + "tail\r\n"), 3u);
  // The first of two markers; a marker without its extra CR, or inside a line, is none.
  EXPECT_EQ(FindInsertionPoint(marker + marker), 0u);
  EXPECT_EQ(FindInsertionPoint("<!--insertion point-->\r\n"), std::string::npos);
  EXPECT_EQ(FindInsertionPoint("x<!--insertion point-->\r\r\n"), std::string::npos);
  EXPECT_EQ(FindInsertionPoint(""), std::string::npos);
  // A long line is read in pieces of 99 characters: a marker that starts a piece counts.
  std::string longLine = std::string(99, 'x') + marker;
  EXPECT_EQ(FindInsertionPoint(longLine), 99u);
  EXPECT_EQ(FindInsertionPoint(std::string(98, 'x') + marker), std::string::npos);
  EXPECT_EQ(FindInsertionPoint(std::string(198, 'x') + marker), 198u);
  // A marker line at the very end without its line feed.
  EXPECT_EQ(FindInsertionPoint("a\r\n<!--insertion point-->\r"), 3u);
}

TEST_F(BoardTest, TextAfterTheOldTailThatTheNewTextDoesNotReachStays) {
  // As the in-place write of the original left it: the new text covers the old marker and
  // tail, and whatever stood beyond the new text's end is kept.
  std::string after(400, 'z');
  WriteFile(messageDir() + "/bbs-data.html", kTemplateHead + kMarker + kTail + after);
  WriteFile(messageDir() + "/counter", "0\r\n");
  PostForm f;
  EXPECT_EQ(Post(f.Encode()).out, kSuccessReply);
  std::string line =
      "parent.addpbbsArray(\"Hello\",\"1000\",\"Tue, 08 Dec 2026 01:00:00 GMT\",\"Ann\",2,"
      "\"message/0.html\",\"1\",\"0\")\r\n";
  std::string expected = kTemplateHead + line + kMarker + kTail;
  expected += after.substr(line.size());
  EXPECT_EQ(Message("bbs-data.html"), expected);
}

}  // namespace
}  // namespace halyard::cgitest
