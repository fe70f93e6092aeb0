// The side file of glyphpad-desktop: what it accepts, what it refuses, and what reaches the
// control.
#include <gtest/gtest.h>

#include "syntaxedit/syntax_edit.h"
#include "tools/glyphpad-desktop/side_file.h"

using halyard::glyphpad::ApplySideFields;
using halyard::glyphpad::ParseSideFile;
using halyard::glyphpad::SideField;

namespace {

TEST(SideFile, ReadsProtectAndHiddenLinesSkippingCommentsAndBlanks) {
  std::vector<SideField> f;
  std::string error;
  ASSERT_TRUE(ParseSideFile("# fields\r\n\r\nprotect 0 3\n  hidden 4 9 name value\nprotect 10 12", 12, f,
                            &error))
      << error;
  ASSERT_EQ(f.size(), 3u);
  EXPECT_FALSE(f[0].hidden);
  EXPECT_EQ(f[0].start, 0);
  EXPECT_EQ(f[0].end, 3);
  EXPECT_TRUE(f[1].hidden);
  EXPECT_EQ(f[1].first, "name");
  EXPECT_EQ(f[1].second, "value");
  EXPECT_EQ(f[2].end, 12);
}

TEST(SideFile, RefusesMalformedLinesAndRangesOutsideTheText) {
  struct Case {
    const char* text;
    const char* reason;
  } cases[] = {
      {"protect 1", "line 1: START END expected"},
      {"protect 0 3\nguard 1 2", "line 2: unknown field \"guard\""},
      {"hidden 1 2 onlyone", "line 1: FIRST SECOND expected"},
      {"protect 1 2 3", "line 1: unexpected \"3\""},
      {"protect 5 5", "line 1: range 5-5 lies outside the text"},
      {"protect -1 2", "line 1: range -1-2 lies outside the text"},
      {"protect 8 11", "line 1: range 8-11 lies outside the text"},
      {"protect x y", "line 1: START END expected"},
  };
  for (const Case& c : cases) {
    std::vector<SideField> f{SideField{}};
    std::string error;
    EXPECT_FALSE(ParseSideFile(c.text, 10, f, &error)) << c.text;
    EXPECT_EQ(error, c.reason) << c.text;
    EXPECT_TRUE(f.empty()) << c.text;
  }
}

TEST(SideFile, FieldsReachTheControlAndOverlapsAreReported) {
  CWnd frame;
  CSyntaxEdit edit;
  RECT r{0, 0, 200, 100};
  ASSERT_TRUE(frame.Create("f", WS_VISIBLE, r, nullptr, 0));
  ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, r, &frame, 1));
  edit.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("<P ALIGN=center>text"));
  std::vector<SideField> f;
  ASSERT_TRUE(ParseSideFile("protect 0 3\nprotect 8 16\nhidden 16 20 a b\n", 20, f, nullptr));
  EXPECT_TRUE(ApplySideFields(edit, f));
  EXPECT_EQ(edit.GetProtectRangeCount(), 2);
  EXPECT_EQ(edit.GetHiddenFieldCount(), 1);
  EXPECT_EQ(edit.GetProtectRanges()[1].start, 8);
  EXPECT_STREQ(edit.GetHiddenFields()[0].second, "b");
  std::vector<SideField> overlap;
  ASSERT_TRUE(ParseSideFile("protect 2 9\n", 20, overlap, nullptr));
  EXPECT_FALSE(ApplySideFields(edit, overlap));
  EXPECT_EQ(edit.GetProtectRangeCount(), 2);
  frame.DestroyWindow();
}

}  // namespace
