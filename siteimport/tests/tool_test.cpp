// The siteglean tool as its users run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "site_server.h"

namespace siteglean {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int code;
  std::string out;
};

ToolRun Tool(const std::string& args) {
  std::string cmd = std::string(HALYARD_BINARY_DIR) + "/bin/siteglean " + args + " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  ToolRun r{-1, {}};
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/siteglean-tool-XXXXXX";
    dir_ = mkdtemp(tmpl);
    fs::create_directories(dir_ / "windir");
    std::ofstream(dir_ / "windir" / "kvproxy.ini")
        << "[Cache]\r\nCacheDirectory=" << (dir_ / "cache").string() << "\r\n";
    setenv("HALYARD_WINDIR", (dir_ / "windir").c_str(), 1);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(ToolTest, ClassifyPrintsCodeMimeAndCategory) {
  ToolRun r = Tool("classify PHOTO.JPG");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "type 0x1002\nmime image/jpeg\ncategory 0x6000 image\n");
  EXPECT_EQ(Tool("classify readme --scheme file").out,
            "type 0xFFFF\nmime application/octet-stream\ncategory 0x8000 media\n");
  EXPECT_EQ(
      Tool("classify map.map").out,
      "type 0x3001\nmime wwwserver/shellcgi\ncategory 0x5000 gateway\n");  // first row of 0x3001
  EXPECT_EQ(Tool("classify x --scheme gopher").code, 2);
  EXPECT_EQ(Tool("").code, 2);
  EXPECT_EQ(Tool("--help").code, 0);
}

TEST_F(ToolTest, LinksListsThePageDataAndEveryLink) {
  std::ofstream(dir_ / "p.html") << "<title>Boats &amp; Oars</title><h1>Fleet</h1>"
                                    "<a href=\"sail.html\">Sail</a><a href=#x>top</a>";
  ToolRun r = Tool("links " + (dir_ / "p.html").string() + " http://h.example/d/p.html");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("title \"Boats & Oars\"\n"), std::string::npos);
  EXPECT_NE(r.out.find("heading 1 \"Fleet\"\n"), std::string::npos);
  EXPECT_NE(r.out.find("link child page 0x3000 http://h.example/d/sail.html  label=\"Sail\""),
            std::string::npos);
  EXPECT_NE(r.out.find("link self page"), std::string::npos);
  EXPECT_NE(r.out.find(" broken\n"), std::string::npos);
  EXPECT_EQ(Tool("links " + (dir_ / "none.html").string() + " http://h/").code, 3);
  EXPECT_EQ(Tool("links " + dir_.string() + " http://h/").code, 3);  // a folder is no page
}

TEST_F(ToolTest, FetchExitCodesTellCopiesHttpFailuresAndNoAnswerApart) {
  testing::TestHttpServer server([](const std::string& head) {
    if (head.rfind("GET /ok.html", 0) == 0) return testing::Ok("fine");
    return testing::Reply{"HTTP/1.0 404 Not Found\r\n\r\n", 0};
  });
  ToolRun ok = Tool("fetch " + server.Url("/ok.html") + " --dir " + (dir_ / "out").string());
  EXPECT_EQ(ok.code, 0);
  EXPECT_NE(ok.out.find("status 200\n"), std::string::npos);
  EXPECT_NE(ok.out.find("copy " + (dir_ / "out").string() + "/ok.html\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir_ / "out" / "ok.html"));
  ToolRun missing = Tool("fetch " + server.Url("/gone.html") + " --dir " + (dir_ / "out").string());
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.out.find("status 404\n"), std::string::npos);
  EXPECT_EQ(Tool("fetch http://127.0.0.1:1/x.html --dir " + dir_.string()).code, 4);
  EXPECT_EQ(Tool("fetch " + server.Url("/ok.html") + " --bogus").code, 2);
}

TEST_F(ToolTest, ImportPrintsTheHierarchyByLevelAndASummary) {
  testing::SiteServer site;
  site.Page("/index.htm",
            "<TITLE>Home \"page\"</TITLE><A HREF=\"a.htm\">a</A><IMG SRC=\"pic.gif\">"
            "<A HREF=\"mailto:x@example.test\">m</A><A HREF=\"gone.htm\">g</A>");
  site.Page("/a.htm", "<TITLE>A</TITLE><A HREF=\"index.htm\">home</A><A HREF=\"deep/b.htm\">b</A>");
  site.Page("/deep/b.htm", "<TITLE>Caf\xe9</TITLE>");
  site.Page("/pic.gif", "GIF89a", "image/gif");
  site.Page("/robots.txt", "User-agent: *\nDisallow: /nothing/\n", "text/plain");
  std::string out = (dir_ / "copy").string();
  ToolRun r = Tool("import " + site.Url("/index.htm") + " " + out);
  EXPECT_EQ(r.code, 0);
  std::string u = site.Url("");
  std::string want = "page " + u + "/index.htm index.htm \"Home \\\"page\\\"\"\n" +
                     "  page " + u + "/a.htm a.htm \"A\"\n" +
                     "    page " + u + "/deep/b.htm deep/b.htm \"Caf\\351\"\n" +
                     "  object " + u + "/pic.gif pic.gif\n" +
                     "  object mailto:x@example.test -\n" +
                     "  page " + u + "/gone.htm - \"\"\n";
  ASSERT_EQ(r.out.substr(0, want.size()), want) << r.out;
  EXPECT_EQ(r.out.find("4 pages, 2 other objects, robots rules in force, ", want.size()),
            want.size())
      << r.out;
  EXPECT_TRUE(fs::exists(dir_ / "copy" / "deep" / "b.htm"));
  EXPECT_TRUE(fs::exists(dir_ / "copy" / "robots.txt"));

  ToolRun shallow = Tool("import " + site.Url("/index.htm") + " " + out + "2 --levels 1 --no-tree");
  EXPECT_EQ(shallow.code, 0);
  EXPECT_EQ(shallow.out.rfind("3 pages, 2 other objects, robots rules in force, ", 0), 0u)
      << shallow.out;
  EXPECT_EQ(shallow.out.find('\n'), shallow.out.size() - 1);
  EXPECT_FALSE(fs::exists(dir_ / "copy2" / "a.htm"));
}

TEST_F(ToolTest, ImportExitCodesForAMissingHomePageAndBadUsage) {
  testing::SiteServer site;
  std::string out = (dir_ / "copy").string();
  ToolRun missing = Tool("import " + site.Url("/index.htm") + " " + out + " --quiet");
  EXPECT_EQ(missing.code, 4);
  EXPECT_EQ(Tool("import http://127.0.0.1:1/ " + out).code, 4);
  EXPECT_EQ(Tool("import " + site.Url("/index.htm")).code, 2);
  EXPECT_EQ(Tool("import " + site.Url("/") + " " + out + " --pages many").code, 2);
  EXPECT_EQ(Tool("import " + site.Url("/") + " " + out + " --levels").code, 2);
  EXPECT_EQ(Tool("import ftp://x/ " + out).code, 2);
  EXPECT_EQ(Tool("import --local " + (dir_ / "none.htm").string() + " http://h/").code, 3);
}

TEST_F(ToolTest, LocalImportShowsPathsUnderTheHomePagesFolder) {
  fs::create_directories(dir_ / "www" / "site" / "sub");
  std::ofstream(dir_ / "www" / "site" / "index.html") << "<TITLE>L</TITLE><A HREF=\"sub/p.html\">p</A>";
  std::ofstream(dir_ / "www" / "site" / "sub" / "p.html")
      << "<TITLE>P</TITLE><A HREF=\"../index.html\">h</A>";
  ToolRun r = Tool("import --local " + (dir_ / "www" / "site" / "index.html").string() +
                   " http://www.example.test/site/ --pages 10");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find("2 pages")),
            "page http://www.example.test/site/index.html index.html \"L\"\n"
            "  page http://www.example.test/site/sub/p.html sub/p.html \"P\"\n");
  EXPECT_NE(r.out.find("2 pages, 0 other objects, robots rules not in force, "), std::string::npos);
}

TEST_F(ToolTest, ImportOntoAFullDiskEndsWithStateSixAndExitThree) {
  // DIR is a 64 KB memory file system, mounted in a private namespace of the tool's own.
  if (std::system("unshare -rm true >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "no private mount namespace here";
  testing::SiteServer site;
  std::string home = "<TITLE>Big</TITLE>";
  for (int i = 0; i < 8; ++i) {
    home += "<A HREF=\"p" + std::to_string(i) + ".htm\">p</A>";
    site.Page("/p" + std::to_string(i) + ".htm", std::string(20000, 'x'));
  }
  site.Page("/index.htm", home);
  fs::create_directories(dir_ / "small");
  std::string cmd = "unshare -rm sh -c 'mount -t tmpfs -o size=64k tmpfs " +
                    (dir_ / "small").string() + " && HALYARD_WINDIR=" +
                    (dir_ / "windir").string() + " " + HALYARD_BINARY_DIR +
                    "/bin/siteglean import " + site.Url("/index.htm") + " " +
                    (dir_ / "small").string() + " --no-tree' 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int st = pclose(p);
  ASSERT_TRUE(WIFEXITED(st)) << out;
  EXPECT_EQ(WEXITSTATUS(st), 3) << out;
  EXPECT_NE(out.find("siteglean: the disk is full"), std::string::npos) << out;
  EXPECT_FALSE(site.WasAsked("/p7.htm")) << out;  // the import stopped at the first full write
}

}  // namespace
}  // namespace siteglean
