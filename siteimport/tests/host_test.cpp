// The site import library as the design tool uses it: through libsiteglean.so and the
// platform runtime only. A site served on 127.0.0.1 is imported through the exported classes
// and its page hierarchy walked from the home page.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "site_server.h"
#include "siteimport/site_glean.h"

namespace {

namespace fs = std::filesystem;

// One line per child link, indented by level: "page URL title" or "object URL".
void Walk(GleanedPage* page, int depth, std::string* out) {
  GleanedPageList* list = page->mHierarchicalList();
  for (GleanedPageLink* l = list->mHead(); l != nullptr; l = list->mNext()) {
    bool isPage = l->mIsPage() != 0;
    GleanedPage* child = l->mPage();
    char url[512] = "";
    child->mGetURL(url, sizeof url);
    std::string u = url;
    if (u.rfind("http://", 0) == 0) u = u.substr(u.find('/', 7));  // the path on the server
    *out += std::string(2 * depth, ' ') + (isPage ? "page " : "object ") + u;
    if (isPage) *out += std::string(" ") + child->mGetName();
    *out += '\n';
    if (isPage) Walk(child, depth + 1, out);
  }
}

TEST(SitegleanHost, ASiteIsImportedAndItsHierarchyWalkedThroughTheExportedClasses) {
  char tmpl[] = "/tmp/siteglean-host-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  fs::path root = tmpl;
  fs::create_directories(root / "windir");
  setenv("HALYARD_WINDIR", (root / "windir").c_str(), 1);
  std::ofstream(root / "windir" / "kvproxy.ini")
      << "[Cache]\r\nCacheDirectory=" << (root / "cache").string() << "\r\n";
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
  {
    siteglean::testing::SiteServer server;
    server.Page("/index.htm",
                "<TITLE>Home</TITLE><A HREF=\"a.htm\">a</A><IMG SRC=\"logo.gif\">"
                "<A HREF=\"docs/\">docs</A><A HREF=\"mailto:me@example.test\">mail</A>");
    server.Page("/a.htm", "<TITLE>A</TITLE><A HREF=\"index.htm\">home</A><A HREF=\"b.htm\">b</A>");
    server.Page("/b.htm", "<TITLE>B</TITLE><A HREF=\"docs/\">docs</A>");
    server.Page("/docs/", "<TITLE>Docs</TITLE><IMG SRC=\"../logo.gif\"><A HREF=\"d.htm\">d</A>");
    server.Page("/docs/d.htm", "<TITLE>D</TITLE>");
    server.Page("/logo.gif", "GIF89a", "image/gif");

    SiteGlean* g = new SiteGlean(server.Url("/index.htm").c_str(), (root / "copy").c_str(), -1, -1);
    ASSERT_EQ(g->mExplore(), 1);
    int waited = 0;
    while (!g->mWaitForExplore(150) && waited++ < 400) {
      g->mPageCount();
      char last[512];
      g->mGetLastTransferedFile(last, sizeof last, 0);
    }
    ASSERT_TRUE(g->mWaitForExplore(0));
    EXPECT_EQ(g->mExploreState(), SiteGlean::kFinished);
    EXPECT_EQ(g->mPageCount(), 5u);
    GleanedPage* home = g->mHomePage();
    ASSERT_NE(home, nullptr);
    std::string tree;
    Walk(home, 0, &tree);
    EXPECT_EQ(tree,
              "page /a.htm A\n"
              "  page /b.htm B\n"
              "object /logo.gif\n"
              "page /docs/ Docs\n"
              "  page /docs/d.htm D\n"
              "object mailto:me@example.test\n");
    EXPECT_TRUE(fs::exists(root / "copy" / "docs" / "index.htm"));
    EXPECT_TRUE(fs::exists(root / "copy" / "logo.gif"));
    delete g;
  }
  fs::remove_all(root);
}

}  // namespace
