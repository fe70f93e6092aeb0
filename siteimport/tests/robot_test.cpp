// The crawler against sites served on 127.0.0.1 and against local folders: building the site,
// the queue order, the limits, objects and links with their counts and broken flags, the
// robots exclusion file.
#include "siteimport/robot.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "site_server.h"
#include "siteimport/mime_table.h"
#include "siteimport/user_agent.h"

namespace siteglean {
namespace {

namespace fs = std::filesystem;
using testing::SiteServer;

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class RobotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/siteglean-robot-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    testing::UseProcessSettings();
    MimeTable::Instance().UseLowerCaseHtmlSuffixes();
  }
  void TearDown() override { fs::remove_all(root_); }

  // Builds a server import of the home page and runs it to the end; returns the last answer.
  int RunServer(Robot& robot, const std::string& home, int objectLimit = 0, int levelLimit = 0) {
    if (!robot.BuildServerSite(server_.Url(home), (root_ / "copy").string())) return -1;
    int answer = robot.Start(objectLimit, levelLimit);
    while (answer == kRobotMore) {
      robot.ReorderQueue();
      answer = robot.Step();
    }
    return answer;
  }
  WebObj* Find(WebSite& site, const std::string& path) {
    UrlParts p;
    SplitUrl(server_.Url(path), &p);
    UrlNode* n = site.Urls().Find(p, site.Server().defaultPage);
    return n ? n->obj : nullptr;
  }
  static ObjectLink* LinkTo(RobotList<ObjectLink>& list, const WebObj* target) {
    for (auto* n = list.First(); n; n = n->next)
      if (n->item->target == target) return n->item;
    return nullptr;
  }

  fs::path root_;
  SiteServer server_;
  WebSite site_;
  Fetcher fetcher_;
};

TEST_F(RobotTest, ServerImportExploresBreadthFirstKeepsCopiesAndLinksOnce) {
  server_.Page("/index.htm",
               "<HTML><TITLE>Home</TITLE><A HREF=\"a.htm\">A</A> <A HREF=\"b.htm\">B</A>"
               "<IMG SRC=\"logo.gif\"><IMG SRC=\"logo.gif\"><A HREF=\"mailto:x@example.test\">m</A>"
               "<A HREF=\"http://elsewhere.invalid/x.htm\">x</A></HTML>");
  server_.Page("/a.htm",
               "<TITLE>A</TITLE><A HREF=\"index.htm\">up</A><A HREF=\"c.htm\">c</A>"
               "<A HREF=\"b.htm\">b</A>");
  server_.Page("/b.htm", "<TITLE>B</TITLE><A HREF=\"sub/\">sub</A>");
  server_.Page("/c.htm", "<TITLE>C</TITLE>");
  server_.Page("/sub/", "<TITLE>Sub</TITLE><A HREF=\"../a.htm\">a</A>");
  server_.Page("/logo.gif", "GIF89a....", "image/gif");
  Robot robot(site_, fetcher_);
  int called = 0;
  robot.SetPostExplore([&](WebSite&, WebObj*) {
    ++called;
    return true;
  });
  ASSERT_EQ(RunServer(robot, "/index.htm"), kRobotDone);

  // The image queued behind the pages was fetched before the next page.
  std::vector<std::string> asked = server_.Asked();
  std::vector<std::string> want = {"/index.htm", "/robots.txt", "/logo.gif", "/a.htm",
                                   "/b.htm",     "/c.htm",      "/sub/"};
  ASSERT_GE(asked.size(), want.size());
  EXPECT_EQ(std::vector<std::string>(asked.begin(), asked.begin() + 7), want);
  EXPECT_FALSE(server_.WasAsked("/x.htm"));

  EXPECT_EQ(Slurp(root_ / "copy" / "a.htm"),
            "<TITLE>A</TITLE><A HREF=\"index.htm\">up</A>"
            "<A HREF=\"c.htm\">c</A><A HREF=\"b.htm\">b</A>");
  EXPECT_TRUE(fs::exists(root_ / "copy" / "logo.gif"));
  EXPECT_TRUE(fs::exists(root_ / "copy" / "sub" / "index.htm"));

  WebObj* home = site_.home;
  WebObj* a = Find(site_, "/a.htm");
  WebObj* b = Find(site_, "/b.htm");
  WebObj* logo = Find(site_, "/logo.gif");
  ASSERT_TRUE(a && b && logo);
  EXPECT_EQ(a->level, 2);
  EXPECT_EQ(Find(site_, "/c.htm")->level, 3);
  EXPECT_EQ(a->parent, home);
  EXPECT_EQ(home->childLinks.Count(), 5u);  // a, b, logo, mailto, elsewhere
  ASSERT_NE(LinkTo(home->childLinks, logo), nullptr);
  EXPECT_EQ(LinkTo(home->childLinks, logo)->refCount, 2);
  EXPECT_EQ(site_.images.Count(), 1u);
  // From a (level 2): home is up, b is across; neither made an object.
  EXPECT_NE(LinkTo(a->upLinks, home), nullptr);
  EXPECT_NE(LinkTo(a->acrossLinks, b), nullptr);
  EXPECT_EQ(site_.pages.Count(), 6u);  // home, a, b, c, sub/, elsewhere
  EXPECT_EQ(home->title, std::string("Home"));
  // The service and the external page exist as objects but were not fetched.
  EXPECT_EQ(site_.services.Count(), 1u);
  WebObj* ext = site_.pages.Last()->item;
  for (auto* n = site_.pages.First(); n; n = n->next)
    if (n->item->url->parts.host == "elsewhere.invalid") ext = n->item;
  EXPECT_EQ(ext->url->status, kStatusNotFetched);
  EXPECT_TRUE(LinkTo(home->childLinks, ext)->flags & kLinkFlagExternal);
  EXPECT_EQ(called, 6);  // home, logo, a, b, c, sub/
  // The page size counts the image.
  EXPECT_EQ(home->pageSize, home->size + logo->size);
  EXPECT_TRUE(robot.Queue().Empty());
}

TEST_F(RobotTest, LevelLimitOneFetchesOnlyTheHomePageButItsChildrenExist) {
  server_.Page("/index.htm", "<A HREF=\"a.htm\">a</A><IMG SRC=\"i.gif\">");
  server_.Page("/a.htm", "<TITLE>A</TITLE>");
  Robot robot(site_, fetcher_);
  ASSERT_EQ(RunServer(robot, "/index.htm", 0, 1), kRobotDone);
  EXPECT_FALSE(server_.WasAsked("/a.htm"));
  EXPECT_FALSE(server_.WasAsked("/i.gif"));
  EXPECT_EQ(site_.home->childLinks.Count(), 2u);
  EXPECT_EQ(Find(site_, "/a.htm")->url->status, kStatusNotFetched);
}

TEST_F(RobotTest, ObjectLimitDropsTheQueue) {
  std::string home;
  for (int i = 0; i < 10; ++i) {
    home += "<A HREF=\"p" + std::to_string(i) + ".htm\">x</A>";
    server_.Page("/p" + std::to_string(i) + ".htm",
                 "<A HREF=\"q" + std::to_string(i) + ".htm\">q</A>");
  }
  server_.Page("/index.htm", home);
  Robot robot(site_, fetcher_);
  ASSERT_EQ(RunServer(robot, "/index.htm", 11), kRobotDone);
  // Home and its ten children are eleven pages: no child was explored.
  EXPECT_FALSE(server_.WasAsked("/p0.htm"));
  EXPECT_TRUE(robot.Queue().Empty());
}

TEST_F(RobotTest, BrokenLinksAreCountedAndFollowTheTargetsSuccess) {
  server_.Page("/index.htm",
               "<A HREF=\"gone.htm\">g</A><A HREF=\"ok.htm\">o</A><A HREF=\"gone.htm\">again</A>");
  server_.Page("/ok.htm", "<A HREF=\"gone.htm\">g</A>");
  Robot robot(site_, fetcher_);
  ASSERT_EQ(RunServer(robot, "/index.htm"), kRobotDone);
  WebObj* gone = Find(site_, "/gone.htm");
  WebObj* ok = Find(site_, "/ok.htm");
  ASSERT_TRUE(gone && ok);
  EXPECT_EQ(gone->url->status, 404);
  EXPECT_TRUE(LinkTo(site_.home->childLinks, gone)->flags & kLinkFlagBroken);
  EXPECT_FALSE(LinkTo(site_.home->childLinks, ok)->flags & kLinkFlagBroken);
  EXPECT_EQ(site_.home->brokenLinks, 1);
  EXPECT_EQ(ok->brokenLinks, 1);
  EXPECT_EQ(LinkTo(site_.home->childLinks, gone)->refCount, 2);
}

TEST_F(RobotTest, RobotsRecordForTheAgentTokenIsObeyedAndTheFileKept) {
  const std::string robots =
      "# rules\nUser-agent: *\nDisallow: /\n\nUser-agent: " + ProcessAgentToken() +
      "\nDisallow: /private/\n";
  server_.Page("/robots.txt", robots, "text/plain");
  server_.Page("/index.htm", "<A HREF=\"private/p.htm\">p</A><A HREF=\"pub.htm\">q</A>");
  server_.Page("/pub.htm", "x");
  server_.Page("/private/p.htm", "secret");
  Robot robot(site_, fetcher_);
  ASSERT_EQ(RunServer(robot, "/index.htm"), kRobotDone);
  EXPECT_TRUE(robot.RobotsInForce());
  EXPECT_TRUE(server_.WasAsked("/pub.htm"));
  EXPECT_FALSE(server_.WasAsked("/private/p.htm"));
  WebObj* p = Find(site_, "/private/p.htm");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->url->status, kStatusRobotsExcluded);
  EXPECT_TRUE(p->flags & kObjRobotsExcluded);
  EXPECT_EQ(Slurp(root_ / "copy" / "robots.txt"), robots);
}

TEST_F(RobotTest, RobotsFileThatStartsWithDisallowIsNotInForce) {
  server_.Page("/robots.txt", "Disallow: /\nUser-agent: *\n", "text/plain");
  server_.Page("/index.htm", "<A HREF=\"a.htm\">a</A>");
  server_.Page("/a.htm", "x");
  Robot robot(site_, fetcher_);
  ASSERT_EQ(RunServer(robot, "/index.htm"), kRobotDone);
  EXPECT_FALSE(robot.RobotsInForce());
  EXPECT_TRUE(server_.WasAsked("/a.htm"));
}

TEST_F(RobotTest, NoRobotsFileMeansNoRules) {
  server_.Page("/index.htm", "<A HREF=\"a.htm\">a</A>");
  Robot robot(site_, fetcher_);
  ASSERT_EQ(RunServer(robot, "/index.htm"), kRobotDone);
  EXPECT_FALSE(robot.RobotsInForce());
  EXPECT_FALSE(fs::exists(root_ / "copy" / "robots.txt"));
}

TEST_F(RobotTest, DirectoryUrlAndDefaultPageAreOneObject) {
  server_.Page("/d/index.htm", "<A HREF=\"./\">self dir</A><A HREF=\"sub/\">s</A>");
  server_.Page("/d/sub/", "<A HREF=\"../index.htm\">up</A><A HREF=\"index.htm\">me</A>");
  Robot robot(site_, fetcher_);
  ASSERT_EQ(RunServer(robot, "/d/index.htm"), kRobotDone);
  EXPECT_EQ(site_.pages.Count(), 2u);
  WebObj* sub = Find(site_, "/d/sub/");
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub, Find(site_, "/d/sub/index.htm"));
  EXPECT_NE(LinkTo(sub->upLinks, site_.home), nullptr);
  EXPECT_NE(LinkTo(site_.home->selfLinks, site_.home), nullptr);
}

TEST_F(RobotTest, HomePageReachedThroughARedirectCountsAsFetchedUnderItsLastUrl) {
  server_.Status("/", 302, "Location: /index.html\r\n");
  server_.Page("/index.html", "<TITLE>Moved</TITLE><A HREF=\"a.htm\">a</A>");
  server_.Page("/a.htm", "<TITLE>A</TITLE>");
  Robot robot(site_, fetcher_);
  ASSERT_EQ(RunServer(robot, "/"), kRobotDone);
  EXPECT_EQ(site_.home->url->status, kStatusFetched);
  EXPECT_TRUE(site_.home->flags & kObjFetched);
  EXPECT_EQ(Slurp(root_ / "copy" / "index.html"), "<TITLE>Moved</TITLE><A HREF=\"a.htm\">a</A>");
  EXPECT_TRUE(server_.WasAsked("/a.htm"));
  EXPECT_STREQ(site_.home->title, "Moved");
}

TEST_F(RobotTest, RedirectToAMissingPageIsAFailureWithoutACopy) {
  server_.Page("/index.htm", "<A HREF=\"old.htm\">o</A><A HREF=\"bad.htm\">b</A>");
  server_.Status("/old.htm", 301, "Location: /gone.htm\r\n");
  server_.Status("/bad.htm", 302, "Location: /broken.htm\r\n");
  server_.Status("/broken.htm", 500);
  Robot robot(site_, fetcher_);
  ASSERT_EQ(RunServer(robot, "/index.htm"), kRobotDone);
  WebObj* old = Find(site_, "/old.htm");
  WebObj* bad = Find(site_, "/bad.htm");
  ASSERT_TRUE(old && bad);
  EXPECT_EQ(old->url->status, 404);
  EXPECT_EQ(bad->url->status, 500);
  EXPECT_FALSE(old->flags & kObjFetched);
  EXPECT_FALSE(fs::exists(root_ / "copy" / "gone.htm"));
  EXPECT_FALSE(fs::exists(root_ / "copy" / "old.htm"));
  EXPECT_FALSE(fs::exists(root_ / "copy" / "broken.htm"));
  EXPECT_EQ(site_.home->brokenLinks, 2);
}

TEST_F(RobotTest, UrlsWithBlanksAreRequestedEscapedAndKeepTheirText) {
  server_.Page("/index.htm", "<A HREF=\"my page.htm\">p</A><A HREF=\"q.htm?a=b c\">q</A>");
  server_.Page("/my%20page.htm", "<TITLE>Blank</TITLE>");
  server_.Page("/q.htm?a=b%20c", "<TITLE>Query</TITLE>");
  Robot robot(site_, fetcher_);
  ASSERT_EQ(RunServer(robot, "/index.htm"), kRobotDone);
  WebObj* p = Find(site_, "/my page.htm");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->url->full, server_.Url("/my page.htm"));
  EXPECT_EQ(p->url->status, kStatusFetched);
  EXPECT_STREQ(p->title, "Blank");
  EXPECT_TRUE(server_.WasAsked("/q.htm?a=b%20c"));
}

TEST_F(RobotTest, HomePageUrlWithDotSegmentsKeepsTheSiteTogether) {
  server_.Page("/d/index.htm", "<A HREF=\"a.htm\">a</A>");
  server_.Page("/d/a.htm", "<TITLE>A</TITLE>");
  Robot robot(site_, fetcher_);
  ASSERT_EQ(RunServer(robot, "//d/./x/../index.htm"), kRobotDone);
  EXPECT_EQ(site_.BaseUrl(), server_.Url("/d/"));
  EXPECT_EQ(site_.home->url->full, server_.Url("/d/index.htm"));
  EXPECT_TRUE(site_.home->flags & kObjOnSite);
  EXPECT_TRUE(fs::exists(root_ / "copy" / "d" / "a.htm"));
}

TEST_F(RobotTest, DirectoryUrlWithADottedQueryIsStoredAsTheFoldersIndex) {
  server_.Page("/index.htm", "<A HREF=\"d/?x=1.5\">d</A>");
  server_.Page("/d/?x=1.5", "<TITLE>D</TITLE>");
  Robot robot(site_, fetcher_);
  ASSERT_EQ(RunServer(robot, "/index.htm"), kRobotDone);
  WebObj* d = Find(site_, "/d/?x=1.5");
  ASSERT_NE(d, nullptr);
  ASSERT_NE(d->localPath, nullptr);
  EXPECT_STREQ(d->localPath, "/d/index.htm");
  EXPECT_TRUE(fs::exists(root_ / "copy" / "d" / "index.htm"));
}

TEST_F(RobotTest, AnAnswerWithoutAStatusLineIsRefused) {
  testing::TestHttpServer raw([](const std::string&) {
    return testing::Reply{"<HTML><TITLE>no head</TITLE></HTML>", 0};
  });
  Robot robot(site_, fetcher_);
  ASSERT_TRUE(robot.BuildServerSite(raw.Url("/index.htm"), (root_ / "copy").string()));
  EXPECT_NE(site_.home->url->status, kStatusFetched);
  EXPECT_FALSE(site_.home->flags & kObjFetched);
  EXPECT_FALSE(fs::exists(root_ / "copy" / "index.htm"));
}

// A local site: the files on disk, published under a URL directory.
class LocalRobotTest : public RobotTest {
 protected:
  void Write(const std::string& rel, const std::string& text) {
    fs::path p = root_ / "www" / rel;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
};

TEST_F(LocalRobotTest, LocalRootIsCutFromTheEndsOfFolderAndUrlPath) {
  EXPECT_EQ(WebSite::CutUrlPath("/srv/www/site/sub", "/sub/"), "/srv/www/site");
  EXPECT_EQ(WebSite::CutUrlPath("/srv/www/site/sub/", "/sub"), "/srv/www/site");
  EXPECT_EQ(WebSite::CutUrlPath("C:\\web\\my docs", "/my%20docs/"), "C:\\web");
  EXPECT_EQ(WebSite::CutUrlPath("/srv/www", "/"), "/srv/www");
  EXPECT_EQ(WebSite::CutUrlPath("/a/b/sub", "/x/sub"), "/a/b");
  EXPECT_EQ(WebSite::CutUrlPath("/a/Sub", "/sub"), "/a/Sub");  // exact, case included
}

TEST_F(LocalRobotTest, LocalImportReadsTheSiteFromDiskAndFetchesNothing) {
  Write("site/index.html",
        "<TITLE>Local</TITLE><A HREF=\"a.html\">a</A><IMG SRC=\"img/p.gif\">"
        "<A HREF=\"missing.html\">m</A>");
  Write("site/a.html", "<TITLE>A</TITLE><A HREF=\"index.html\">home</A>");
  Write("site/img/p.gif", "GIF89a");
  Robot robot(site_, fetcher_);
  std::vector<std::string> seen;
  robot.SetPostExplore([&](WebSite&, WebObj* o) {
    seen.push_back(o->url->full);
    return true;
  });
  ASSERT_TRUE(robot.BuildLocalSite((root_ / "www" / "site" / "index.html").string(),
                                   "http://www.example.test/site"));
  EXPECT_EQ(site_.LocalRoot(), (root_ / "www").string());
  EXPECT_EQ(site_.BaseUrl(), "http://www.example.test/site/");
  EXPECT_EQ(site_.Server().defaultPage, "index.html");
  ASSERT_EQ(site_.home->url->status, kStatusFetched);
  int answer = robot.Start(0, 0);
  while (answer == kRobotMore) answer = robot.Step();
  EXPECT_EQ(answer, kRobotDone);
  EXPECT_FALSE(robot.RobotsInForce());
  WebObj* a = site_.home->childLinks.First()->item->target;
  EXPECT_EQ(a->url->status, kStatusFetched);
  EXPECT_STREQ(a->title, "A");
  EXPECT_TRUE(a->flags & kObjOnSite);
  UrlParts mp;
  SplitUrl("http://www.example.test/site/missing.html", &mp);
  WebObj* missing = site_.Urls().Find(mp)->obj;
  EXPECT_EQ(missing->url->status, kStatusLocalMissing);
  EXPECT_EQ(site_.home->brokenLinks, 1);
  EXPECT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[1], "http://www.example.test/site/img/p.gif");  // images first
  EXPECT_EQ(site_.home->pageSize, site_.home->size + 6);
}

}  // namespace
}  // namespace siteglean
