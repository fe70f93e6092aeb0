#include <gtest/gtest.h>

#include "siteimport/url_node.h"
#include "siteimport/url_table.h"

namespace siteglean {
namespace {

UrlParts Split(const char* text) {
  UrlParts p;
  EXPECT_TRUE(SplitUrl(text, &p)) << text;
  return p;
}

std::string Resolve(const char* link, const char* base) {
  UrlParts l = Split(link);
  ResolveAgainst(&l, Split(base));
  return RebuildUrl(l);
}

TEST(Url, SplitsIntoPartsAndRebuildsWithoutTheFragment) {
  UrlParts p = Split("HTTP://joe:pw@www.example.com:8080/a/b/page.html?x=1#top");
  EXPECT_EQ(p.schemeCode, kSchemeHttp);
  EXPECT_EQ(p.user, "joe");
  EXPECT_EQ(p.password, "pw");
  EXPECT_EQ(p.host, "www.example.com");
  EXPECT_EQ(p.port, "8080");
  EXPECT_EQ(p.dir, "/a/b/");
  EXPECT_EQ(p.file, "page.html");
  EXPECT_EQ(p.query, "x=1");
  EXPECT_EQ(p.fragment, "top");
  EXPECT_EQ(RebuildUrl(p), "http://joe:pw@www.example.com:8080/a/b/page.html?x=1");
  EXPECT_EQ(RebuildUrl(Split("http://host")), "http://host/");
  EXPECT_EQ(RebuildUrl(Split("http:\\\\host\\d\\f.gif")), "http://host/d/f.gif");
}

TEST(Url, ServiceSchemesRebuildWithoutSlashes) {
  UrlParts m = Split("mailto:ann@example.com");
  EXPECT_EQ(m.schemeCode, kSchemeMailto);
  EXPECT_EQ(m.user, "ann");
  EXPECT_EQ(m.host, "example.com");
  EXPECT_EQ(RebuildUrl(m), "mailto:ann@example.com");
  EXPECT_EQ(RebuildUrl(Split("news:comp.lang.c")), "news:comp.lang.c");
  EXPECT_EQ(Split("gopher://g.example/").schemeCode, kSchemeGopher);
  EXPECT_EQ(Split("whatever:x").schemeCode, kSchemeUnknown);
}

TEST(Url, RelativeLinksResolveAgainstTheBase) {
  const char* base = "http://h.example/docs/guide/index.html";
  EXPECT_EQ(Resolve("intro.html", base), "http://h.example/docs/guide/intro.html");
  EXPECT_EQ(Resolve("img/a.gif", base), "http://h.example/docs/guide/img/a.gif");
  EXPECT_EQ(Resolve("../up.html", base), "http://h.example/docs/up.html");
  EXPECT_EQ(Resolve("../../../../x.html", base), "http://h.example/x.html");
  EXPECT_EQ(Resolve("/root.html", base), "http://h.example/root.html");
  EXPECT_EQ(Resolve("#part", base), "http://h.example/docs/guide/index.html");
  EXPECT_EQ(Resolve("//other.example/x", base), "http://other.example/x");
  EXPECT_EQ(Resolve("sub/", base), "http://h.example/docs/guide/sub/");
  EXPECT_EQ(Resolve("http://h.example:81/", "http://h.example/"), "http://h.example:81/");
}

TEST(Url, RelativeLinksKeepTheBasePortOnlyForTheSameScheme) {
  EXPECT_EQ(Resolve("x.html", "http://h:8080/d/"), "http://h:8080/d/x.html");
  EXPECT_EQ(Resolve("mailto:bob@h", "http://h:8080/d/"), "mailto:bob@h");
}

TEST(UrlTable, EntersEachUrlOnce) {
  UrlTable t;
  bool created = false;
  UrlNode* a = t.Enter(Split("http://h/d/a.html"), {}, &created);
  EXPECT_TRUE(created);
  UrlNode* b = t.Enter(Split("http://h/d/a.html#frag"), {}, &created);
  EXPECT_FALSE(created);
  EXPECT_EQ(a, b);
  EXPECT_NE(t.Enter(Split("http://h/d/b.html")), a);
  EXPECT_NE(t.Enter(Split("http://h/d/A.html")), a);  // case-sensitive by default
  EXPECT_EQ(t.Size(), 3u);
}

TEST(UrlTable, DirectoryUrlAndDefaultPageAreOneNode) {
  UrlTable t;
  UrlNode* page = t.Enter(Split("http://h/d/index.html"), "index.html");
  EXPECT_EQ(t.Enter(Split("http://h/d/"), "index.html"), page);
  EXPECT_EQ(t.Find(Split("http://h/d/"), "index.html"), page);
  EXPECT_EQ(t.Find(Split("http://h/d/")), nullptr);
}

TEST(UrlTable, CaseInsensitiveTableFoldsUrls) {
  UrlTable t(true);
  UrlNode* a = t.Enter(Split("http://h/D/A.HTML"));
  EXPECT_EQ(t.Find(Split("http://h/d/a.html")), a);
}

TEST(UrlTable, BucketsStayInRangeForAnyBytes) {
  UrlTable t;
  UrlParts p;
  p.dir = std::string(300, '\xff');
  p.file = std::string(50, '\x80');
  EXPECT_LT(t.Bucket(p, {}), UrlTable::kBuckets);
  p.dir = "/";
  p.file.clear();
  EXPECT_EQ(t.Bucket(p, {}), (47u - 36u) & 0x3FFu);
}

}  // namespace
}  // namespace siteglean
