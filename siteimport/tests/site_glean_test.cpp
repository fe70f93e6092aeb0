// The import interface as the design tool drives it: a SiteGlean explores on its worker
// thread, the host polls, aborts or destroys it, and walks the views of the hierarchy.
#include "siteimport/site_glean.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "site_server.h"

namespace {

namespace fs = std::filesystem;
using siteglean::testing::SiteServer;

class SiteGleanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    siteglean::testing::UseProcessSettings();
    char tmpl[] = "/tmp/siteglean-glean-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root_ = tmpl;
  }
  void TearDown() override { fs::remove_all(root_); }

  // A chain of n pages, each linking the next and back home.
  void Chain(int n) {
    for (int i = 0; i < n; ++i) {
      std::string body = "<TITLE>P" + std::to_string(i) + "</TITLE><A HREF=\"index.htm\">home</A>";
      if (i + 1 < n) body += "<A HREF=\"p" + std::to_string(i + 1) + ".htm\">next</A>";
      server_.Page(i == 0 ? "/index.htm" : "/p" + std::to_string(i) + ".htm", body);
    }
  }
  static void Finish(SiteGlean* g) {
    ASSERT_EQ(g->mExplore(), 1);
    for (int i = 0; i < 600 && !g->mWaitForExplore(100); ++i) {
    }
    ASSERT_TRUE(g->mWaitForExplore(0));
  }
  std::string Dir() const { return (root_ / "copy").string(); }

  fs::path root_;
  SiteServer server_;
};

TEST_F(SiteGleanTest, ImportEndsFinishedWithEveryPageCountedAndTheLastFileRecorded) {
  Chain(4);
  auto* g = new SiteGlean(server_.Url("/index.htm").c_str(), Dir().c_str(), -1, -1);
  EXPECT_EQ(g->mHomePage(), nullptr);
  char buf[512] = "untouched";
  EXPECT_EQ(g->mGetLastTransferedFile(buf, sizeof buf, 0), 0);
  EXPECT_STREQ(buf, "untouched");
  Finish(g);
  EXPECT_EQ(g->mExploreState(), SiteGlean::kFinished);
  EXPECT_EQ(g->mPageCount(), 4u);
  ASSERT_EQ(g->mGetLastTransferedFile(buf, sizeof buf, 0), 1);
  EXPECT_EQ(std::string(buf), Dir() + "/p3.htm");
  // A buffer exactly as long as the path has no room for the zero.
  std::size_t n = std::strlen(buf);
  char exact[512];
  std::memset(exact, 'x', sizeof exact);
  EXPECT_EQ(g->mGetLastTransferedFile(exact, static_cast<LONG>(n), 0), 0);
  EXPECT_EQ(exact[0], 'x');
  EXPECT_EQ(g->mGetLastTransferedFile(exact, static_cast<LONG>(n + 1), 0), 1);
  EXPECT_EQ(g->mRobotsRulesInForce(), 0);
  delete g;
}

TEST_F(SiteGleanTest, PageCountIsReportedOneLowerAtTheLimitAndTheWalkStopsPastIt) {
  Chain(8);
  auto* g = new SiteGlean(server_.Url("/index.htm").c_str(), Dir().c_str(), -1, 3);
  Finish(g);
  EXPECT_EQ(g->mExploreState(), SiteGlean::kFinished);
  // The worker stops once the count exceeds the limit: four pages, reported as three.
  EXPECT_EQ(g->mPageCount(), 3u);
  EXPECT_TRUE(server_.WasAsked("/p3.htm"));
  EXPECT_FALSE(server_.WasAsked("/p4.htm"));
  delete g;

  // A limit of 0 stops once the home page is counted.
  std::size_t before = server_.Asked().size();
  auto* one = new SiteGlean(server_.Url("/index.htm").c_str(), (root_ / "one").c_str(), -1, 0);
  Finish(one);
  EXPECT_EQ(one->mPageCount(), 1u);  // a count of 1 is 1 whatever the limit
  std::vector<std::string> asked = server_.Asked();
  EXPECT_EQ(std::vector<std::string>(asked.begin() + before, asked.end()),
            (std::vector<std::string>{"/index.htm", "/robots.txt"}));
  delete one;
}

TEST_F(SiteGleanTest, HugePageLimitRaisesTheObjectLimitWithoutOverflow) {
  Chain(2);
  auto* g = new SiteGlean(server_.Url("/index.htm").c_str(), Dir().c_str(), -1, 0x7FFFFFFF);
  Finish(g);
  EXPECT_EQ(g->mExploreState(), SiteGlean::kFinished);
  EXPECT_EQ(g->mPageCount(), 2u);
  delete g;
}

TEST_F(SiteGleanTest, HomePageThatCannotBeFetchedGivesStateFourAndStillAView) {
  auto* g = new SiteGlean(server_.Url("/nothing.htm").c_str(), Dir().c_str(), -1, -1);
  Finish(g);
  EXPECT_EQ(g->mExploreState(), SiteGlean::kHomePageFailed);
  GleanedPage* home = g->mHomePage();
  ASSERT_NE(home, nullptr);
  EXPECT_EQ(home, g->mHomePage());
  char url[256] = "";
  home->mGetURL(url, sizeof url);
  EXPECT_EQ(std::string(url), server_.Url("/nothing.htm"));
  EXPECT_EQ(g->mPageCount(), 0u);
  delete g;
}

TEST_F(SiteGleanTest, HierarchyViewsWalkTheChildListsWithTheirOwnershipRules) {
  server_.Page("/index.htm",
               "<TITLE>Home \"page\"</TITLE><A HREF=\"a.htm\">a</A><IMG SRC=\"i.gif\">"
               "<A HREF=\"b.htm\">b</A>");
  server_.Page("/a.htm", "<TITLE>A</TITLE><A HREF=\"b.htm\">b</A><A HREF=\"c.htm\">c</A>");
  server_.Page("/b.htm", "<TITLE>B</TITLE>");
  server_.Page("/c.htm", "<TITLE>C</TITLE>");
  server_.Page("/i.gif", "GIF89a", "image/gif");
  auto* g = new SiteGlean(server_.Url("/index.htm").c_str(), Dir().c_str(), -1, -1);
  Finish(g);
  GleanedPage* home = g->mHomePage();
  ASSERT_NE(home, nullptr);
  EXPECT_STREQ(home->mGetName(), "Home \"page\"");
  char path[512];
  home->mGetPathName(path, sizeof path);
  EXPECT_EQ(std::string(path), Dir() + "/index.htm");
  // Too short for the whole path: only the root; too short for the root: empty.
  home->mGetPathName(path, static_cast<LONG>(Dir().size() + 3));
  EXPECT_EQ(std::string(path), Dir());
  home->mGetPathName(path, 4);
  EXPECT_STREQ(path, "");
  // A URL of the buffer's length leaves the buffer alone.
  std::string url = server_.Url("/index.htm");
  char ub[256];
  std::strcpy(ub, "same");
  home->mGetURL(ub, static_cast<LONG>(url.size()));
  EXPECT_STREQ(ub, "same");

  GleanedPageList* list = home->mHierarchicalList();
  ASSERT_NE(list, nullptr);
  GleanedPageLink* first = list->mHead();
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(first->mIsPage(), 1);
  EXPECT_EQ(first->mIsPageLocal(), 1);
  GleanedPage* a = first->mPage();
  ASSERT_NE(a, nullptr);
  EXPECT_STREQ(a->mGetName(), "A");
  GleanedPageList* aList = a->mHierarchicalList();
  GleanedPageLink* c = aList->mHead();  // b was made by the home page, so a's only child is c
  ASSERT_NE(c, nullptr);
  c->mIsPage();
  EXPECT_STREQ(c->mPage()->mGetName(), "C");
  EXPECT_EQ(aList->mNext(), nullptr);

  GleanedPageLink* second = list->mNext();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->mIsPage(), 0);  // the image
  EXPECT_EQ(second->mIsPageLocal(), 1);
  GleanedPageLink* third = list->mNext();
  EXPECT_EQ(third, second);  // one view, re-aimed
  ASSERT_EQ(third->mIsPage(), 1);
  EXPECT_STREQ(third->mPage()->mGetName(), "B");
  EXPECT_EQ(list->mNext(), nullptr);
  EXPECT_EQ(list->mNext(), nullptr);

  char lp[512], lt[64], lu[512];
  ASSERT_EQ(
      g->mLocateURL(server_.Url("/b.htm").c_str(), lp, sizeof lp, lt, sizeof lt, lu, sizeof lu), 1);
  EXPECT_EQ(std::string(lp), Dir() + "/b.htm");
  EXPECT_STREQ(lt, "B");
  EXPECT_EQ(std::string(lu), server_.Url("/b.htm"));
  ASSERT_EQ(g->mLocateURL("b.htm", lp, 5, lt, 2, lu, sizeof lu), 1);  // relative, cut to fit
  EXPECT_EQ(std::strlen(lp), 4u);
  EXPECT_STREQ(lt, "B");
  EXPECT_EQ(
      g->mLocateURL(server_.Url("/zzz.htm").c_str(), lp, sizeof lp, lt, sizeof lt, lu, sizeof lu),
      0);
  delete g;
}

TEST_F(SiteGleanTest, AbortStopsEveryExplorationAndEndsFinished) {
  Chain(30);
  for (int i = 1; i < 30; ++i) {
    std::string body =
        "<A HREF=\"p" + std::to_string(i + 1) + ".htm\">next</A>" + std::string(400, ' ');
    server_.Slow("/p" + std::to_string(i) + ".htm", body, 2);
  }
  auto* g = new SiteGlean(server_.Url("/index.htm").c_str(), Dir().c_str(), -1, -1);
  ASSERT_EQ(g->mExplore(), 1);
  while (g->mPageCount() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  g->mAbortTransfer();
  for (int i = 0; i < 300 && !g->mWaitForExplore(100); ++i) {
  }
  ASSERT_TRUE(g->mWaitForExplore(0));
  EXPECT_EQ(g->mExploreState(), SiteGlean::kFinished);
  EXPECT_LT(g->mPageCount(), 10u);
  EXPECT_NE(g->mHomePage(), nullptr);
  delete g;
}

TEST_F(SiteGleanTest, DestroyedWhileExploringStopsTheWorkerFirst) {
  server_.Page("/index.htm", "<A HREF=\"slow.htm\">s</A>");
  server_.Slow("/slow.htm", std::string(4000, 'x'), 20);  // ten seconds at full length
  auto start = std::chrono::steady_clock::now();
  auto* g = new SiteGlean(server_.Url("/index.htm").c_str(), Dir().c_str(), -1, -1);
  ASSERT_EQ(g->mExplore(), 1);
  while (!server_.WasAsked("/slow.htm")) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  delete g;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(SiteGleanTest, LocalImportCountsThePagesOnDisk) {
  fs::create_directories(root_ / "www" / "site");
  std::ofstream(root_ / "www" / "site" / "index.htm")
      << "<A HREF=\"a.htm\">a</A><A HREF=\"b.htm\">b</A>";
  std::ofstream(root_ / "www" / "site" / "a.htm") << "<TITLE>A</TITLE>";
  auto* g = new SiteGlean((root_ / "www" / "site" / "index.htm").c_str(), -1, -1,
                          "http://www.example.test/site/");
  Finish(g);
  EXPECT_EQ(g->mExploreState(), SiteGlean::kFinished);
  // Pages of the site count once read, and b.htm is on the site though missing.
  EXPECT_EQ(g->mPageCount(), 3u);
  GleanedPageLink* l = g->mHomePage()->mHierarchicalList()->mHead();
  ASSERT_NE(l, nullptr);
  l->mIsPageLocal();
  char path[512];
  l->mPage()->mGetPathName(path, sizeof path);
  EXPECT_EQ(std::string(path), (root_ / "www" / "site" / "a.htm").string());
  delete g;
}

}  // namespace
