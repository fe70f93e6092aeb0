// The key tables and the word classification members.
#include <gtest/gtest.h>

#include "syntaxedit/syntax_edit.h"

namespace {

TEST(KeyTablesTest, TablesHoldTheirEntriesInOrder) {
  CSyntaxEdit edit;
  int n = 0;
  const KeyEntry* primary = edit.GetKeyTable(0, &n);
  ASSERT_EQ(n, 107);
  EXPECT_STREQ(primary[0].key, "<HTML");
  EXPECT_STREQ(primary[70].key, "<!DOCTYPE");
  EXPECT_STREQ(primary[106].key, "</PARAM");
  EXPECT_EQ(primary[0].colour, 128u);
  const KeyEntry* secondary = edit.GetKeyTable(1, &n);
  ASSERT_EQ(n, 59);
  EXPECT_STREQ(secondary[13].key, "LOOP");
  EXPECT_STREQ(secondary[46].key, "LOOP");
  EXPECT_STREQ(secondary[58].key, "COLOR");
  EXPECT_EQ(secondary[0].colour, 255u);
  const KeyEntry* outside = edit.GetKeyTable(2, &n);
  ASSERT_EQ(n, 4);
  EXPECT_STREQ(outside[3].key, "&quot");
  const KeyEntry* numeric = edit.GetKeyTable(3, &n);
  ASSERT_EQ(n, 191);
  EXPECT_STREQ(numeric[0].key, "&#09");
  EXPECT_STREQ(numeric[1].key, "&#10");
  EXPECT_STREQ(numeric[2].key, "&#32");
  EXPECT_STREQ(numeric[96].key, "&#126");
  EXPECT_STREQ(numeric[97].key, "&#161");
  EXPECT_STREQ(numeric[190].key, "&#254");
  for (int t = 0; t < 4; ++t) {
    const KeyEntry* e = edit.GetKeyTable(t, &n);
    for (int i = 0; i < n; ++i) EXPECT_EQ(e[i].flags, 0u);
  }
  EXPECT_EQ(edit.GetKeyTable(4, &n), nullptr);
}

TEST(KeyTablesTest, FoundFunctionsTrimAndStripAsTheyShould) {
  CSyntaxEdit edit;
  EXPECT_EQ(edit.FoundPrimaryKey("  <p>> "), 1);
  EXPECT_EQ(edit.FoundPrimaryKey("</Table"), 1);
  EXPECT_EQ(edit.FoundPrimaryKey("<PX"), 0);
  EXPECT_EQ(edit.FoundPrimaryKey("P"), 0);
  EXPECT_EQ(edit.FoundSecondaryKey(" <href== "), 1);
  EXPECT_EQ(edit.FoundSecondaryKey("http-equiv="), 1);
  EXPECT_EQ(edit.FoundSecondaryKey("HREFS"), 0);
  EXPECT_EQ(edit.FoundOutsideKey("&AMP;"), 1);
  EXPECT_EQ(edit.FoundOutsideKey(" &quot "), 1);
  EXPECT_EQ(edit.FoundOutsideKey("&#65;"), 1);
  EXPECT_EQ(edit.FoundOutsideKey("&#065"), 0);
  EXPECT_EQ(edit.FoundOutsideKey("&#160"), 0);
  EXPECT_EQ(edit.FoundOutsideKey("&"), 0);
  EXPECT_EQ(edit.FoundOutsideKey("amp"), 0);
  EXPECT_EQ(edit.FoundComments(" <!--x"), 1);
  EXPECT_EQ(edit.FoundComments("<!-"), 0);
  EXPECT_EQ(edit.FoundGrayText("<Q-x"), 1);
  EXPECT_EQ(edit.FoundGrayText("<q"), 0);
  CString s = "<<a<<";
  CSyntaxEdit::RemoveLeadChars(s, '<');
  EXPECT_STREQ(s, "a<<");
  CSyntaxEdit::RemoveTrailChars(s, '<');
  EXPECT_STREQ(s, "a");
  EXPECT_EQ(CSyntaxEdit::InBetweenValue(3, 3, 5), 1);
  EXPECT_EQ(CSyntaxEdit::InBetweenValue(5, 3, 5), 0);
}

}  // namespace
