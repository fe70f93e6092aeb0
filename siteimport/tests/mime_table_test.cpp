#include "siteimport/mime_table.h"

#include <gtest/gtest.h>

namespace siteglean {
namespace {

TEST(MimeTable, HoldsTheNinetySixRowsInOrder) {
  MimeTable table;
  const auto& rows = table.Rows();
  ASSERT_EQ(rows.size(), 96u);
  EXPECT_EQ(rows.front().suffix, "HTM");
  EXPECT_EQ(rows[1].suffix, "HTML");
  EXPECT_EQ(rows.back().suffix, "JAVA");
  EXPECT_EQ(rows.back().mime, "application/java");
}

TEST(MimeTable, SuffixMatchIgnoresCaseAndOnlyTheLastSuffixCounts) {
  MimeTable t;
  EXPECT_EQ(t.CodeOfName("photo.JPG", 2), 0x1002);
  EXPECT_EQ(t.CodeOfName("photo.jpg", 2), 0x1002);
  EXPECT_EQ(t.MimeOf(0x1002), "image/jpeg");
  EXPECT_EQ(t.CodeOfName("pack.tar.gz", 2), 0x2009);
  EXPECT_EQ(t.CodeOfName("notes.txt", 2), 0x0003);
  EXPECT_EQ(t.CodeOfName("odd.xyz", 2), 0xFFFF);
}

TEST(MimeTable, NamesWithoutSuffixTakeTheDefault) {
  MimeTable t;
  EXPECT_EQ(t.CodeOfName("README", 2), 2);
  EXPECT_EQ(t.CodeOfName("README", 0xFFFF), 0xFFFF);
  EXPECT_EQ(t.CodeOfName("trailing.", 2), 2);
}

TEST(MimeTable, EarlierRowsWinForRepeatedSuffixesAndCodes) {
  MimeTable t;
  EXPECT_EQ(t.CodeOfName("a.rtx", 2), 0x0005);
  EXPECT_EQ(t.MimeOf(0x3001), "wwwserver/shellcgi");
  EXPECT_EQ(t.CodeOfName("a.map", 2), 0x3001);
  EXPECT_EQ(t.MimeOf(0x4242), MimeTable::kDefaultMime);
  EXPECT_EQ(t.SuffixOf(0x4242), nullptr);
}

TEST(MimeTable, HtmlSuffixesAreReplacedByLowerCaseOnes) {
  MimeTable t;
  EXPECT_STREQ(t.SuffixOf(kTypeHtml), "HTM");
  t.UseLowerCaseHtmlSuffixes();
  EXPECT_STREQ(t.SuffixOf(kTypeHtml), "htm");
  EXPECT_EQ(t.Rows()[1].suffix, "html");
  EXPECT_EQ(t.CodeOfName("INDEX.HTML", 0xFFFF), kTypeHtml);
  t.ReplaceSuffix(5, "zzz");  // only the first two rows are replaceable
  EXPECT_EQ(t.Rows()[5].suffix, "GIF");
}

TEST(MimeTable, CategoriesFollowSchemeAndTypeCode) {
  EXPECT_EQ(CategoryOf(kSchemeHttp, 0x0002), kCatPage);
  EXPECT_EQ(CategoryOf(kSchemeHttp, 0x0003), kCatMedia);  // plain text is no page
  EXPECT_EQ(CategoryOf(kSchemeFile, 0xFFFF), kCatMedia);
  EXPECT_EQ(CategoryOf(kSchemeHttp, 0x3001), kCatGateway);
  EXPECT_EQ(CategoryOf(kSchemeHttp, 0x1002), kCatImage);
  EXPECT_EQ(CategoryOf(kSchemeHttp, 0x1FFF), kCatMedia);
  EXPECT_EQ(CategoryOf(kSchemeMailto, 0x0002), kCatMailto);
  EXPECT_EQ(CategoryOf(kSchemeTelnet, 0x0002), kCatService);
  EXPECT_EQ(CategoryOf(kSchemeSnews, 0x0002), kCatService);
  EXPECT_EQ(CategoryOf(kSchemeUnknown, 0x0002), kCatNone);
}

}  // namespace
}  // namespace siteglean
