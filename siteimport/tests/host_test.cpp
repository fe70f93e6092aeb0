// The site import library as a host uses it: through libsiteglean.so and the platform runtime
// only. Names are classified as the robot classifies them, and one page is fetched from a
// server on 127.0.0.1 into a local folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "siteimport/config_store.h"
#include "siteimport/fetcher.h"
#include "siteimport/local_store.h"
#include "siteimport/mime_table.h"
#include "test_http_server.h"
#include "siteimport/web_site.h"

namespace siteglean {
namespace {

namespace fs = std::filesystem;

TEST(SitegleanHost, NamesAreClassifiedAsTheRobotDoes) {
  MimeTable& table = MimeTable::Instance();
  table.UseLowerCaseHtmlSuffixes();
  EXPECT_EQ(table.CodeOfName("index.html", 0), table.CodeOfName("INDEX.HTM", 0));
  EXPECT_EQ(table.MimeOf(table.CodeOfName("logo.gif", 0)), "image/gif");
  EXPECT_EQ(table.CodeOfName("readme", kTypeHtml), kTypeHtml);
  EXPECT_EQ(table.CodeOfName("x.nosuchsuffix", 0), 0xFFFF);
  EXPECT_STREQ(CategoryName(CategoryOf(kSchemeHttp, table.CodeOfName("a.htm", 0))), "page");
  EXPECT_STREQ(CategoryName(CategoryOf(kSchemeHttp, table.CodeOfName("a.gif", 0))), "image");
}

TEST(SitegleanHost, OnePageIsFetchedFromALocalServerIntoTheLocalFolder) {
  char tmpl[] = "/tmp/siteglean-host-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  fs::path root = tmpl;
  fs::create_directories(root / "windir");
  setenv("HALYARD_WINDIR", (root / "windir").c_str(), 1);
  std::ofstream(root / "windir" / "kvproxy.ini")
      << "[Cache]\r\nCacheDirectory=" << (root / "cache").string() << "\r\n";
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");

  const std::string body = "<HTML><TITLE>Home</TITLE><A HREF=\"a.htm\">a</A></HTML>";
  testing::TestHttpServer server([&](const std::string&) { return testing::Ok(body); });
  MimeTable::Instance().UseLowerCaseHtmlSuffixes();
  {
    WebSite site;
    ASSERT_TRUE(site.SetUpServerImport(server.Url("/index.htm"), (root / "site").string()));
    Fetcher fetcher;
    int err = 0;
    ASSERT_TRUE(FetchObject(site, fetcher, site.home, false, true, &err)) << err;
    EXPECT_EQ(site.home->url->status, 200u);
    ASSERT_NE(site.home->localPath, nullptr);
    EXPECT_STREQ(site.home->localPath, "/index.htm");
    std::ifstream in(root / "site" / "index.htm", std::ios::binary);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ(got.str(), body);
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace siteglean
