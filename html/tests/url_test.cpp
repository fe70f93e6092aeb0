#include <gtest/gtest.h>

#include "html/url_string.h"

namespace {

struct Parsed {
  int result;
  DWORD scheme;
  CString host, path;
  WORD port;
};

Parsed Parse(const char* url) {
  Parsed p{0, 12345, "unset", "unset", 777};
  p.result = UrlString::ParseUrl(url, p.scheme, p.host, p.path, p.port);
  return p;
}

TEST(ParseUrl, SplitsSchemeHostPortAndPath) {
  Parsed p = Parse("http://h:8080/a/b.htm");
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.scheme, 2u);
  EXPECT_EQ(p.host, "h");
  EXPECT_EQ(p.port, 8080);
  EXPECT_EQ(p.path, "/a/b.htm");

  p = Parse("  \t ftp://files.example/pub");
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.scheme, 1u);
  EXPECT_EQ(p.host, "files.example");
  EXPECT_EQ(p.port, 0);

  // The port comes from the last colon; a non-number reads as 0.
  p = Parse("http://user:pw@h:81");
  EXPECT_EQ(p.host, "user:pw@h");
  EXPECT_EQ(p.port, 81);
  EXPECT_EQ(p.path, "");
  p = Parse("http://h:x/");
  EXPECT_EQ(p.host, "h");
  EXPECT_EQ(p.port, 0);
}

TEST(ParseUrl, FileAndMailtoSchemes) {
  Parsed p = Parse("file://c:/x.htm");
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.scheme, 4097u);
  EXPECT_EQ(p.host, "");
  EXPECT_EQ(p.port, 0);
  EXPECT_EQ(p.path, "c:/x.htm");

  p = Parse("mailto:someone");
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.scheme, 4098u);
  EXPECT_EQ(p.host, "someone");
  EXPECT_EQ(p.path, "");
}

TEST(ParseUrl, UnknownOrEmptyUrlsAreNotParsed) {
  Parsed p = Parse("HTTP://x");
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.scheme, 4096u);
  EXPECT_EQ(p.host, "unset");  // the outputs are left alone

  p = Parse("   ");
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.scheme, 12345u);
  p = Parse(nullptr);
  EXPECT_EQ(p.result, 0);
}

TEST(Relative2Absolute, ResolvesAgainstThePageDirectory) {
  const char* base = "http://h/a/b/c.htm";
  EXPECT_EQ(UrlString::Relative2Absolute(base, "../x.htm"), "http://h/a/x.htm");
  EXPECT_EQ(UrlString::Relative2Absolute(base, "../../x.htm"), "http://h/x.htm");
  EXPECT_EQ(UrlString::Relative2Absolute(base, "./x.htm"), "http://h/a/b/x.htm");
  EXPECT_EQ(UrlString::Relative2Absolute(base, "x.htm"), "http://h/a/b/x.htm");
  EXPECT_EQ(UrlString::Relative2Absolute(base, "/x.htm"), "http://h/x.htm");
  EXPECT_EQ(UrlString::Relative2Absolute("http://h", "x.htm"), "http://h/x.htm");
  // More "../" than the path has stops at the host.
  EXPECT_EQ(UrlString::Relative2Absolute("http://h/a.htm", "../../../x"), "http://h/x");
  EXPECT_EQ(UrlString::Relative2Absolute("C:\\site\\a.htm", "b.htm"), "C:\\site\\b.htm");
  EXPECT_EQ(UrlString::Relative2Absolute("C:\\site\\a\\b.htm", "../x"), "C:\\site\\x");
  EXPECT_EQ(UrlString::Relative2Absolute("C:\\site\\a.htm", ".\\b.htm"), "C:\\site\\b.htm");
}

TEST(Relative2Absolute, LeavesLinksItCannotResolveAlone) {
  for (const char* link : {"MAILTO:x", "mailto:y@z", "ftp://y", "http://other/p"}) {
    EXPECT_EQ(UrlString::Relative2Absolute("http://h/a/b.htm", link), link);
    EXPECT_EQ(UrlString::Relative2Root("http://h/a/b.htm", link), link);
  }
  EXPECT_EQ(UrlString::Relative2Absolute("", "x.htm"), "x.htm");
  EXPECT_EQ(UrlString::Relative2Absolute(nullptr, "x.htm"), "x.htm");
  // A rooted link needs a base with a host.
  EXPECT_EQ(UrlString::Relative2Absolute("file://c:/site/a.htm", "/x.htm"), "/x.htm");
  EXPECT_EQ(UrlString::Relative2Absolute("C:\\site\\a.htm", "/x.htm"), "/x.htm");
}

TEST(Relative2Root, ResolvesFromTheSiteRoot) {
  EXPECT_EQ(UrlString::Relative2Root("http://h/a/b/c.htm", "x.htm"), "http://h/x.htm");
  EXPECT_EQ(UrlString::Relative2Root("HTTP://h/a/b/c.htm", "x.htm"), "HTTP://h/x.htm");
  EXPECT_EQ(UrlString::Relative2Root("http://h", "x.htm"), "http://h/x.htm");
  EXPECT_EQ(UrlString::Relative2Root("C:\\site\\a\\b.htm", "x.htm"), "C:\\x.htm");
  EXPECT_EQ(UrlString::Relative2Root("http://h/a/b/c.htm", "/y.htm"), "http://h/y.htm");
  // A link that still begins with "." keeps the page directory.
  EXPECT_EQ(UrlString::Relative2Root("http://h/a/b.htm", ".hidden"), "http://h/a/.hidden");
}

TEST(Relative2Root, EveryBaseWithASchemeAndHostIsCutBackToTheHost) {
  EXPECT_EQ(UrlString::Relative2Root("ftp://h/pub/a/b.htm", "x.htm"), "ftp://h/x.htm");
  EXPECT_EQ(UrlString::Relative2Root("https://h:8443/a/b.htm", "x.htm"), "https://h:8443/x.htm");
  EXPECT_EQ(UrlString::Relative2Root("file://c:/site/a/b.htm", "x.htm"), "file://c:/x.htm");
  EXPECT_EQ(UrlString::Relative2Root("shttp://h", "x.htm"), "shttp://h/x.htm");
  EXPECT_EQ(UrlString::Relative2Root("ftp://h/a/b/c.htm", "../x.htm"), "ftp://h/x.htm");
}

TEST(UrlResolvers, BaseWithoutAFolderGivesTheLinkItself) {
  EXPECT_EQ(UrlString::Relative2Absolute("a.htm", "b.htm"), "b.htm");
  EXPECT_EQ(UrlString::Relative2Root("a.htm", "b.htm"), "b.htm");
  EXPECT_EQ(UrlString::Relative2Absolute("a.htm", "./b.htm"), "b.htm");
  EXPECT_EQ(UrlString::Relative2Absolute("a.htm", "sub/b.htm"), "sub/b.htm");
  // Going up past a relative base's first folder leaves the link alone, not glued on.
  EXPECT_EQ(UrlString::Relative2Absolute("a/b.htm", "../c.htm"), "c.htm");
  EXPECT_EQ(UrlString::Relative2Absolute("a/b.htm", "../../c.htm"), "c.htm");
  EXPECT_EQ(UrlString::Relative2Absolute("a/b.htm", "c.htm"), "a/c.htm");
}

}  // namespace
