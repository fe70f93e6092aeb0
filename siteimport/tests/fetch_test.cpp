#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "siteimport/fetcher.h"
#include "siteimport/local_store.h"
#include "siteimport/mime_table.h"
#include "test_http_server.h"
#include "siteimport/user_agent.h"

namespace siteglean {
namespace {

namespace fs = std::filesystem;
using testing::Ok;
using testing::Reply;
using testing::TestHttpServer;

// One settings folder and one cache folder for the whole process: the robot computes its
// temporary folder and User-Agent once per process, as the original does.
struct Env {
  fs::path root;
  Env() {
    char tmpl[] = "/tmp/siteglean-fetch-XXXXXX";
    root = mkdtemp(tmpl);
    fs::create_directories(root / "windir");
    setenv("HALYARD_WINDIR", (root / "windir").c_str(), 1);
    setenv("HALYARD_COMPUTERNAME", "TESTBOX", 1);
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
  }
  ~Env() { fs::remove_all(root); }
};
Env& TheEnv() {
  static Env env;
  return env;
}

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_ = &TheEnv();
    cache_ = env_->root / "cache";
    site_dir_ = env_->root / ("site" + std::to_string(counter_++));
    Settings("");
    MimeTable::Instance().UseLowerCaseHtmlSuffixes();
  }
  // The settings file: the cache folder, threading on unless told, and extra lines.
  void Settings(const std::string& extra) {
    std::ofstream(env_->root / "windir" / "kvproxy.ini")
        << "[Cache]\r\nCacheDirectory=" << cache_.string() << "\r\n"
        << extra;
  }
  std::size_t CacheFiles() {
    if (!fs::exists(cache_)) return 0;
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(cache_), {}));
  }
  // A server-import site whose home page is at the URL.
  WebObj* Site(const std::string& homeUrl) {
    UrlParts p;
    SplitUrl(homeUrl, &p);
    site_.Server().host = p.host;
    site_.Server().defaultPage = p.file;
    UrlParts dir = p;
    dir.file.clear();
    site_.SetBaseUrl(RebuildUrl(dir));
    site_.SetLocalRoot(site_dir_.string());
    UrlNode* n = site_.Urls().Enter(p, p.file);
    n->type = MimeTable::Instance().CodeOfName(p.file, kTypeHtml);
    site_.home = site_.NewObject(kCatPage, n);
    return site_.home;
  }
  WebObj* Object(const std::string& url, Category c) {
    UrlParts p;
    SplitUrl(url, &p);
    UrlNode* n = site_.Urls().Enter(p, site_.Server().defaultPage);
    n->type = MimeTable::Instance().CodeOfName(p.file, kTypeHtml);
    return site_.NewObject(c, n);
  }

  static inline int counter_ = 0;
  Env* env_ = nullptr;
  fs::path cache_, site_dir_;
  WebSite site_;
};

TEST(UserAgent, TokenAndTextFollowTheComputerName) {
  EXPECT_EQ(InstallationToken("abc"), "dfhgikjlnmo");
  EXPECT_EQ(InstallationToken("zz"), "xwzyxwvutsr");
  EXPECT_EQ(AgentToken("abc"), "Kestrova_Pathscout/dfhgikjlnmo");
  EXPECT_EQ(AgentToken(""), "Kestrova_Pathscout");
  EXPECT_EQ(UserAgentText("abc", "MyAgent/2"), "User-Agent: MyAgent/2");
  std::string own = UserAgentText("abc", "");
  EXPECT_EQ(own.rfind("User-Agent: Kestrova_Pathscout/dfhgikjlnmo (end-user robot-please see ", 0),
            0u);
  EXPECT_EQ(own.substr(own.size() - 14), "for more info)");
  EXPECT_EQ(UserAgentText("", "ignored").rfind("User-Agent: Kestrova_Pathscout/ (end-user", 0), 0u);
}

TEST(LocalNames, DecodeEscapesAndStayUnderTheRoot) {
  auto name = [](const char* url, const char* dflt) {
    UrlNode n;
    SplitUrl(url, &n.parts);
    std::string rel;
    return LocalName(&n, dflt, &rel) ? rel : std::string("REFUSED");
  };
  EXPECT_EQ(name("http://h/a%20b/pic.gif", "index"), "/a b/pic.gif");
  EXPECT_EQ(name("http://h/d/", "index"), "/d/index");
  EXPECT_EQ(name("http://h", "index"), "/index");
  EXPECT_EQ(name("http://h/%2e%2e/%2E%2E/etc/passwd", "index"), "/etc/passwd");
  // Only the directory is decoded: an escaped "/" in the file name stays one file name.
  EXPECT_EQ(name("http://h/x/..%2f..%2fout.html", "index"), "/x/..%2f..%2fout.html");
  EXPECT_EQ(name("http://h/a%2fb.html", "index"), "/a%2fb.html");
  EXPECT_EQ(name("http://h/my%20dir/my%20page.html", "index"), "/my dir/my%20page.html");
  EXPECT_EQ(name("http://h/a%00b/c.gif", "index"), "REFUSED");
  EXPECT_EQ(name("http://h/c%3a/win.ini", "index"), "REFUSED");
}

TEST(LocalNames, DosNamesCutEveryComponent) {
  EXPECT_EQ(DosName("pictures/background.jpeg"), "pictures/backgrou.jpe");
  EXPECT_EQ(DosName("a.b.c"), "a.b");
  EXPECT_EQ(DosName("\\long directory name\\file.html"), "/long dir/file.htm");
}

TEST(ResponseHead, ReadsTheFieldsAndCutsLongValues) {
  ResponseRecord r;
  std::string head = "HTTP/1.0 200 OK\r\nServer: " + std::string(200, 's') +
                     "\r\ncontent-type: text/html\r\nContent-length: 42\r\n"
                     "Last-modified: Sun, 06 Nov 1994 08:49:37 GMT\r\n\r\nbody";
  r.Feed(head.substr(0, 10));
  r.Feed(head.substr(10));
  ASSERT_TRUE(r.headComplete);
  EXPECT_EQ(r.version, "HTTP/1.0");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.server.size(), ResponseRecord::kValueMax);
  EXPECT_EQ(r.contentType, "text/html");
  EXPECT_EQ(r.contentLength, 42);
  EXPECT_EQ(r.lastModified, 784111777);
  EXPECT_EQ(r.head.find("body"), std::string::npos);
}

TEST(ResponseHead, UntrustworthyLengthsAndNonHeadsAreIgnored) {
  for (const char* bad : {"-5", "12abc", "99999999999", "4294967296", ""}) {
    ResponseRecord r;
    r.Feed(std::string("HTTP/1.1 200 OK\r\nContent-Length: ") + bad + "\r\n\r\n");
    EXPECT_EQ(r.contentLength, -1) << bad;
  }
  ResponseRecord body;
  body.Feed("<html>not a head\r\n\r\n");
  EXPECT_TRUE(body.head.empty());
  EXPECT_EQ(body.status, 111);
  ResponseRecord big;
  big.Feed("HTTP/1.0 200 OK\r\nX: " + std::string(2000, 'x'));
  EXPECT_TRUE(big.headComplete);
  EXPECT_EQ(big.head.size(), ResponseRecord::kHeadMax);
}

TEST(ResponseHead, RedirectsKeepOnlyTheLocation) {
  ResponseRecord r;
  r.Feed("HTTP/1.0 302 Found\r\nServer: x\r\nLocation: http://h/" + std::string(300, 'L') +
         "\r\n\r\n");
  EXPECT_EQ(r.status, 302);
  EXPECT_EQ(r.location.size(), ResponseRecord::kLocationMax);
  EXPECT_TRUE(r.server.empty());
}

TEST_F(FetchTest, StoresAPageUnderItsLocalNameWithTheRobotsHeaders) {
  TestHttpServer server([](const std::string&) { return Ok("<html>hello</html>"); });
  WebObj* home = Site(server.Url("/docs/"));
  Fetcher fetcher;
  ASSERT_TRUE(FetchObject(site_, fetcher, home, false, false));
  EXPECT_EQ(home->url->status, 200);
  EXPECT_TRUE(home->flags & kObjFetched);
  EXPECT_TRUE(home->flags & kObjOnSite);
  EXPECT_EQ(home->size, 18);
  ASSERT_NE(home->localPath, nullptr);
  EXPECT_STREQ(home->localPath, "/docs/index.htm");
  fs::path copy = site_dir_ / "docs" / "index.htm";
  EXPECT_EQ(Slurp(copy), "<html>hello</html>");
  struct stat st;
  ASSERT_EQ(stat(copy.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 118195140);  // the Last-modified of the answer
  EXPECT_EQ(site_.Server().server, "TestServer/1.0");
  EXPECT_EQ(CacheFiles(), 0u);
  std::string head = server.Heads().at(0);
  EXPECT_EQ(head.rfind("GET /docs/ HTTP/1.0\r\n", 0), 0u);
  EXPECT_NE(head.find("\r\nAccept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"),
            std::string::npos);
  EXPECT_NE(head.find("\r\nUser-Agent: " + AgentToken("testbox") + " (end-user robot"),
            std::string::npos);
}

TEST_F(FetchTest, EscapedBlanksInDirectoriesBecomeBlanksOnDisk) {
  TestHttpServer server([](const std::string&) { return Ok("GIF89a", "image/gif"); });
  Site(server.Url("/index.html"));
  WebObj* img = Object(server.Url("/a%20b/pic.gif"), kCatImage);
  Fetcher fetcher;
  ASSERT_TRUE(FetchObject(site_, fetcher, img, false, false));
  EXPECT_EQ(Slurp(site_dir_ / "a b" / "pic.gif"), "GIF89a");
  EXPECT_EQ(img->url->mime, "image/gif");
}

TEST_F(FetchTest, DosNamingCutsTheStoredPath) {
  Settings("[Compatability]\r\nForceDOSNaming=1\r\n");
  TestHttpServer server([](const std::string&) { return Ok("x", "image/jpeg"); });
  Site(server.Url("/index.html"));
  site_.dosNames = ConfigStore().Int(kSetForceDosNaming) != 0;
  WebObj* img = Object(server.Url("/pictures/background.jpeg"), kCatImage);
  Fetcher fetcher;
  ASSERT_TRUE(FetchObject(site_, fetcher, img, false, false));
  EXPECT_STREQ(img->localPath, "/pictures/backgrou.jpe");
  EXPECT_TRUE(fs::exists(site_dir_ / "pictures" / "backgrou.jpe"));
}

TEST_F(FetchTest, FailuresKeepNoFileAndMarkTheLinksBroken) {
  TestHttpServer server([](const std::string&) {
    return Reply{"HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\nmissing", 0};
  });
  WebObj* home = Site(server.Url("/index.html"));
  int err = 0;
  Fetcher fetcher;
  EXPECT_FALSE(FetchObject(site_, fetcher, home, false, false, &err));
  EXPECT_EQ(err, kFetchLoadError);
  EXPECT_EQ(home->url->status, 404);
  EXPECT_FALSE(home->flags & kObjFetched);
  EXPECT_EQ(home->localPath, nullptr);
  EXPECT_EQ(CacheFiles(), 0u);
  EXPECT_FALSE(fs::exists(site_dir_));
}

TEST_F(FetchTest, ChecksUseHeadAndKeepNothing) {
  TestHttpServer server([](const std::string& head) {
    return head.rfind("HEAD ", 0) == 0 ? Ok("") : Reply{"HTTP/1.0 500 No\r\n\r\n", 0};
  });
  Site(server.Url("/index.html"));
  WebObj* gw = Object(server.Url("/cgi-bin/x.cgi"), kCatGateway);
  Fetcher fetcher;
  EXPECT_TRUE(FetchObject(site_, fetcher, gw, true, false));
  EXPECT_EQ(gw->localPath, nullptr);
  EXPECT_EQ(CacheFiles(), 0u);
}

TEST_F(FetchTest, AnswersWithoutLengthLeaveTheSizeUnknown) {
  TestHttpServer server([](const std::string&) { return Ok("abc", "text/html", false); });
  WebObj* home = Site(server.Url("/index.html"));
  Fetcher fetcher;
  ASSERT_TRUE(FetchObject(site_, fetcher, home, false, false));
  EXPECT_EQ(home->size, -1);
  EXPECT_EQ(Slurp(site_dir_ / "index.html"), "abc");
}

TEST_F(FetchTest, RedirectsAreFollowedAndChainedWithTheirTargetCut) {
  std::string longPath = "/" + std::string(299, 'L');
  TestHttpServer server([&](const std::string& head) {
    if (head.rfind("GET /old.html ", 0) == 0)
      return Reply{"HTTP/1.0 302 Moved\r\nLocation: " + longPath + "\r\n\r\n", 0};
    return Ok("moved here");
  });
  Site(server.Url("/index.html"));
  WebObj* old = Object(server.Url("/old.html"), kCatPage);
  Fetcher fetcher;
  ASSERT_TRUE(FetchObject(site_, fetcher, old, false, false));
  EXPECT_EQ(old->url->status, 200);  // judged by the last answer of the chain
  ASSERT_NE(old->url->redirect, nullptr);
  EXPECT_EQ(old->url->redirect->parts.file.size(), 255u);  // 256 bytes of location, "/" first
  EXPECT_EQ(server.Heads().size(), 2u);
}

TEST_F(FetchTest, BasicAuthenticationTakesTheCredentialsOfTheRealm) {
  TestHttpServer server([](const std::string& head) {
    // "ann:secret" in base 64.
    if (head.find("Authorization: Basic YW5uOnNlY3JldA==") != std::string::npos)
      return Ok("members only");
    return Reply{"HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"club\"\r\n\r\n", 0};
  });
  Settings(
      "[Legs]\r\nAuthEnabled=1\r\nServerRealm0=127.0.0.1/club\r\n"
      "RealmUsrPwd0=other/x/y\r\nRealmUsrPwd1=club/ann/secret\r\n");
  WebObj* home = Site(server.Url("/private.html"));
  Fetcher fetcher;
  ASSERT_TRUE(FetchObject(site_, fetcher, home, false, false));
  EXPECT_EQ(Slurp(site_dir_ / "private.html"), "members only");
  EXPECT_EQ(server.Heads().size(), 2u);
}

TEST_F(FetchTest, AuthenticationWithoutCredentialsFailsOnce) {
  TestHttpServer server([](const std::string&) {
    return Reply{"HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"other\"\r\n\r\n", 0};
  });
  Settings("[Legs]\r\nAuthEnabled=1\r\nServerRealm0=127.0.0.1/club\r\nRealmUsrPwd0=club/a/b\r\n");
  WebObj* home = Site(server.Url("/private.html"));
  Fetcher fetcher;
  EXPECT_FALSE(FetchObject(site_, fetcher, home, false, false));
  EXPECT_EQ(home->url->status, 401);
  EXPECT_EQ(server.Heads().size(), 1u);
}

TEST_F(FetchTest, TheAbortHookEndsASlowTransferAndDeletesItsFile) {
  TestHttpServer server([](const std::string&) {
    return Reply{Ok(std::string(4000, 'x')).bytes, 100};
  });
  WebObj* home = Site(server.Url("/slow.html"));
  Fetcher fetcher;
  ASSERT_TRUE(fetcher.Threaded());
  std::atomic<int> polls{0};
  fetcher.SetAbortHook([&] { return ++polls >= 3; });
  int err = 0;
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(FetchObject(site_, fetcher, home, false, false, &err));
  EXPECT_EQ(err, kFetchAborted);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_GE(polls.load(), 3);
  EXPECT_EQ(CacheFiles(), 0u);
}

TEST_F(FetchTest, WithoutThreadingTheHookIsAskedDuringTheTransfer) {
  Settings("[Legs]\r\nThreadingEnabled=0\r\n");
  TestHttpServer server([](const std::string&) {
    return Reply{Ok(std::string(4000, 'x')).bytes, 100};
  });
  WebObj* home = Site(server.Url("/slow.html"));
  Fetcher fetcher;
  EXPECT_FALSE(fetcher.Threaded());
  fetcher.SetAbortHook([] { return true; });
  int err = 0;
  EXPECT_FALSE(FetchObject(site_, fetcher, home, false, false, &err));
  EXPECT_EQ(err, kFetchAborted);
}

TEST_F(FetchTest, TheProxyCarriesRequestsExceptForBypassedHosts) {
  TestHttpServer origin([](const std::string&) { return Ok("direct"); });
  TestHttpServer proxy([](const std::string&) { return Ok("via proxy"); });
  Settings("[HTTP]\r\nenabled=1\r\nnum_entries=1\r\nhttp0=127.0.0.1:" +
           std::to_string(proxy.Port()) + "\r\n");
  WebObj* home = Site("http://far.example/index.html");
  Fetcher fetcher;
  ASSERT_TRUE(FetchObject(site_, fetcher, home, false, false));
  EXPECT_EQ(Slurp(site_dir_ / "index.html"), "via proxy");
  ASSERT_EQ(proxy.Heads().size(), 1u);
  EXPECT_EQ(proxy.Heads()[0].rfind("GET http://far.example/index.html HTTP/1.0\r\n", 0), 0u);

  Settings("[HTTP]\r\nenabled=1\r\nhttp0=127.0.0.1:" + std::to_string(proxy.Port()) +
           "\r\n[BYPASS LIST]\r\nenabled=1\r\nbypass0=127.0.0.1\r\n");
  Fetcher bypassing;
  EXPECT_TRUE(bypassing.Bypassed(origin.Url("/x")));
  EXPECT_FALSE(bypassing.Bypassed("http://far.example/"));
  WebObj* near = Object(origin.Url("/near.html"), kCatMedia);
  site_.SetBaseUrl(origin.Url("/"));
  ASSERT_TRUE(FetchObject(site_, bypassing, near, false, false));
  EXPECT_EQ(proxy.Heads().size(), 1u);
  EXPECT_EQ(origin.Heads().size(), 1u);
}

TEST_F(FetchTest, LocalImportsReadFromDiskAndWriteAnIndexForBareFolders) {
  fs::create_directories(site_dir_ / "d" / "sub");
  std::ofstream(site_dir_ / "d" / "page.html") << "12345";
  std::ofstream(site_dir_ / "d" / "b.gif") << "g";
  WebObj* home = Site("http://h.example/d/page.html");
  site_.Server().local = true;
  site_.downloadCopies = false;
  Fetcher fetcher;
  ASSERT_TRUE(FetchObject(site_, fetcher, home, false, false));
  EXPECT_EQ(home->size, 5);
  WebObj* gone = Object("http://h.example/d/missing.gif", kCatImage);
  EXPECT_FALSE(FetchObject(site_, fetcher, gone, false, false));
  EXPECT_EQ(gone->url->status, 404);

  WebObj* dir = Object("http://h.example/d/", kCatPage);
  dir->localPath = site_.Pool().Copy("/d/index.HTM");
  ASSERT_TRUE(WriteDirectoryIndex(site_, dir));
  EXPECT_EQ(Slurp(site_dir_ / "d" / "index.HTM"),
            "<HTML><HEAD><TITLE>Index of /d/</TITLE></HEAD><BODY><H1>Index of /d/</H1>\r\n"
            "<P><A HREF=\"b.gif\">b.gif</A></P>\r\n"
            "<P><A HREF=\"index.HTM\">index.HTM</A></P>\r\n"  // the index being written
            "<P><A HREF=\"page.html\">page.html</A></P>\r\n"
            "<P><A HREF=\"sub/\">sub</A></P>\r\n</BODY></HTML>");
  EXPECT_TRUE(dir->flags & kObjDeleteCopy);
}

TEST_F(FetchTest, RobotsRulesKeepExcludedObjectsUnfetched) {
  TestHttpServer server([](const std::string&) { return Ok("x"); });
  WebObj* home = Site(server.Url("/index.html"));
  site_.robotsInForce = true;
  site_.robotsAllow = [](const std::string& url) {
    return url.find("/private") == std::string::npos;
  };
  WebObj* priv = Object(server.Url("/private/a.html"), kCatPage);
  Fetcher fetcher;
  EXPECT_FALSE(FetchObject(site_, fetcher, priv, false, false));
  EXPECT_EQ(priv->url->status, 105);
  EXPECT_TRUE(priv->flags & kObjRobotsExcluded);
  EXPECT_TRUE(FetchObject(site_, fetcher, home, false, false));
  EXPECT_TRUE(server.Heads().size() == 1u);
}

}  // namespace
}  // namespace siteglean
