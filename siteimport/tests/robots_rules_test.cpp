#include "siteimport/robots_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace siteglean {
namespace {

using Words = std::vector<std::string>;
const char kSite[] = "http://www.example.test/";

TEST(RobotsWords, BlanksSeparateColonsEndWordsStarsStandAloneAndHashSkipsTheLine) {
  EXPECT_EQ(RobotsRules::Words("User-agent: *\nDisallow: /a\n"),
            (Words{"User-agent:", "*", "Disallow:", "/a"}));
  EXPECT_EQ(RobotsRules::Words("User-agent:bot\tDisallow:/x"),
            (Words{"User-agent:", "bot", "Disallow:", "/x"}));
  EXPECT_EQ(RobotsRules::Words("a:b:c"), (Words{"a:", "b:", "c"}));
  EXPECT_EQ(RobotsRules::Words("/cgi*bin x*"), (Words{"/cgi", "*", "bin", "x", "*"}));
  EXPECT_EQ(RobotsRules::Words("# comment: all\nUser-agent: a # trailing\n#\nDisallow:"),
            (Words{"User-agent:", "a", "Disallow:"}));
  // Only a "#" that begins a word starts a comment.
  EXPECT_EQ(RobotsRules::Words("a#b c"), (Words{"a#b", "c"}));
  EXPECT_EQ(RobotsRules::Words(""), Words{});
  EXPECT_EQ(RobotsRules::Words("\r\n\r\n  "), Words{});
}

TEST(RobotsRecords, ValuesGoToTheCurrentRecordAndPathsAreResolvedAgainstTheSite) {
  RobotsRules r;
  ASSERT_EQ(
      r.Parse("User-agent: a b\nDisallow: /x/ y\nUser-agent: c\nDisallow: /z", kSite, "nobody"),
      RobotsRules::kOk);
  ASSERT_EQ(r.Records().size(), 2u);
  EXPECT_EQ(r.Records()[0].agents, (Words{"a", "b"}));
  EXPECT_EQ(r.Records()[0].disallowed,
            (Words{"http://www.example.test/x/", "http://www.example.test/y"}));
  EXPECT_EQ(r.Records()[1].disallowed, (Words{"http://www.example.test/z"}));
  EXPECT_EQ(r.Chosen(), nullptr);  // no record names the robot and there is no "*"
}

TEST(RobotsRecords, ValueOrDisallowBeforeTheFirstUserAgentIsRejected) {
  RobotsRules r;
  EXPECT_EQ(r.Parse("Disallow: /\nUser-agent: *\n", kSite, "bot"), RobotsRules::kBadOrder);
  EXPECT_EQ(r.Chosen(), nullptr);
  EXPECT_EQ(r.Parse("/private\nUser-agent: *\n", kSite, "bot"), RobotsRules::kBadOrder);
  EXPECT_EQ(r.Parse("", kSite, "bot"), RobotsRules::kOk);
  EXPECT_EQ(r.Parse("# only a comment\n", kSite, "bot"), RobotsRules::kOk);
}

TEST(RobotsRecords, UnreadableFileIsMinusThree) {
  RobotsRules r;
  EXPECT_EQ(r.ParseFile("/nonexistent/dir/robots.txt", kSite, "bot"), RobotsRules::kNoFile);
}

TEST(RobotsChoice, TheRobotsOwnRecordWinsOverStarWhateverTheOrder) {
  RobotsRules r;
  ASSERT_EQ(r.Parse("User-agent: *\nDisallow: /all\nUser-agent: other MyBot\nDisallow: /mine\n",
                    kSite, "mybot"),
            RobotsRules::kOk);
  ASSERT_NE(r.Chosen(), nullptr);
  EXPECT_EQ(r.Chosen()->disallowed, (Words{"http://www.example.test/mine"}));
  r.SetInForce(true);
  EXPECT_TRUE(r.Allowed("http://www.example.test/all/x.htm"));
  EXPECT_FALSE(r.Allowed("http://www.example.test/mine.htm"));
  // The token is compared as a whole.
  ASSERT_EQ(
      r.Parse("User-agent: mybotx\nDisallow: /a\nUser-agent: *\nDisallow: /b\n", kSite, "mybot"),
      RobotsRules::kOk);
  EXPECT_EQ(r.Chosen()->disallowed, (Words{"http://www.example.test/b"}));
}

TEST(RobotsAllowed, PrefixesMatchWithoutRegardToCaseAndOnlyWhenInForce) {
  RobotsRules r;
  ASSERT_EQ(r.Parse("User-agent: *\nDisallow: /Private/\n", kSite, "bot"), RobotsRules::kOk);
  EXPECT_TRUE(r.Allowed("http://www.example.test/private/a.htm"));  // not yet in force
  r.SetInForce(true);
  EXPECT_FALSE(r.Allowed("http://www.example.test/private/a.htm"));
  EXPECT_FALSE(r.Allowed("HTTP://WWW.EXAMPLE.TEST/PRIVATE/"));
  EXPECT_TRUE(r.Allowed("http://www.example.test/private"));  // shorter than the prefix
  EXPECT_TRUE(r.Allowed("http://www.example.test/public/a.htm"));
  // An empty Disallow allows everything; "Disallow: /" allows nothing.
  ASSERT_EQ(r.Parse("User-agent: *\nDisallow:\n", kSite, "bot"), RobotsRules::kOk);
  EXPECT_TRUE(r.Allowed("http://www.example.test/a.htm"));
  ASSERT_EQ(r.Parse("User-agent: *\nDisallow: /\n", kSite, "bot"), RobotsRules::kOk);
  EXPECT_FALSE(r.Allowed("http://www.example.test/a.htm"));
  EXPECT_TRUE(r.Allowed("http://elsewhere.test/a.htm"));
}

}  // namespace
}  // namespace siteglean
