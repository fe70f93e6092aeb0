#include "siteimport/link_pass.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "siteimport/link_tokenizer.h"

namespace siteglean {
namespace {

class LinkPassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.SetBaseUrl("http://h.example/d/");
    site_.Server().host = "h.example";
    site_.Server().defaultPage = "index.html";
    UrlParts p;
    SplitUrl("http://h.example/d/index.html", &p);
    page_ = site_.NewObject(kCatPage, site_.Urls().Enter(p, "index.html"));
  }
  void Run(const std::string& html) {
    SiteLinkSink sink(site_);
    RunLinkPass(site_, page_, html, sink);
  }
  WebObj* ObjectAt(const char* url) {
    UrlParts p;
    SplitUrl(url, &p);
    UrlNode* n = site_.Urls().Find(p, "index.html");
    return n ? n->obj : nullptr;
  }
  WebSite site_;
  WebObj* page_ = nullptr;
};

TEST(LinkTokenizer, ReadsKnownTagsInAnyCaseAndSkipsOthers) {
  LinkTokenizer t("text <B>bold</b> <a HREF = \"x.html\" name=top>x</A><img src=a.gif ISMAP>");
  EXPECT_EQ(t.NextToken(), kElemUnknown);
  EXPECT_EQ(t.NextToken(), kElemUnknown);
  EXPECT_EQ(t.NextToken(), kElemA);
  ASSERT_NE(t.Attribute(kAttrHref), nullptr);
  EXPECT_EQ(*t.Attribute(kAttrHref), "x.html");
  EXPECT_EQ(*t.Attribute(kAttrName), "top");
  EXPECT_EQ(t.Attribute(kAttrSrc), nullptr);
  EXPECT_EQ(t.NextToken(), kEndTag + kElemA);
  EXPECT_EQ(t.NextToken(), kElemImg);
  EXPECT_EQ(*t.Attribute(kAttrIsmap), "1");
  EXPECT_EQ(t.NextToken(), kEndOfPage);
  EXPECT_EQ(t.NextToken(), kEndOfPage);
}

TEST(LinkTokenizer, CommentsEndAtDashesAndAnUnclosedOneAtItsFirstGreaterThan) {
  LinkTokenizer closed("<!-- <a href=no.html> -- still ---><a href=yes.html>");
  EXPECT_EQ(closed.NextToken(), kElemA);
  EXPECT_EQ(*closed.Attribute(kAttrHref), "yes.html");
  LinkTokenizer open("<!-- x > <a href=after.html> and never closed");
  EXPECT_EQ(open.NextToken(), kElemA);
  EXPECT_EQ(*open.Attribute(kAttrHref), "after.html");
}

TEST(LinkTokenizer, OverlongWordsRestart) {
  std::string value(300, 'v');
  std::string doc = "<a href=" + value + "end>";
  LinkTokenizer t(doc);
  ASSERT_EQ(t.NextToken(), kElemA);
  EXPECT_EQ(t.Attribute(kAttrHref)->size(), (303u - 1) % 255 + 1);
  EXPECT_EQ(t.Attribute(kAttrHref)->substr(t.Attribute(kAttrHref)->size() - 3), "end");
}

TEST(LinkTokenizer, TextFoldsBlanksSkipsTagsAndPutsThePositionBack) {
  LinkTokenizer t(
      "<title>\t A  <b>bold</b>\r\n title &amp; &ampx &bogus; &#65; </title><a href=z>");
  ASSERT_EQ(t.NextToken(), kElemTitle);
  EXPECT_EQ(t.TextUntil(kEndTag + kElemTitle), "A bold title & &x &bogus; A");
  EXPECT_EQ(t.NextToken(), kElemUnknown);  // <b>, seen again after the text was read
}

TEST(LinkTokenizer, EntitiesTakeTheLongestKnownPrefix) {
  EXPECT_EQ(LinkTokenizer::DecodeEntities("&lt;&gt;&quot;&nbsp;"), "<>\"\xA0");
  EXPECT_EQ(LinkTokenizer::DecodeEntities("&Eacute; &eacute;"), "\xC9 \xE9");
  EXPECT_EQ(LinkTokenizer::DecodeEntities("a & b"), "a & b");
  EXPECT_EQ(LinkTokenizer::DecodeEntities("&#0; &#999;"), "&#0; &#999;");
  EXPECT_EQ(LinkTokenizer::DecodeEntities("&"), "&");
}

TEST(LinkTokenizer, TextIsCutAt1023Characters) {
  std::string doc = "<title>" + std::string(5000, 'x') + "</title>";
  LinkTokenizer t(doc);
  ASSERT_EQ(t.NextToken(), kElemTitle);
  EXPECT_EQ(t.TextUntil(kEndTag + kElemTitle).size(), 1023u);
}

TEST_F(LinkPassTest, RecordsTitleHeadingsAnchorsMetaAndForms) {
  Run("<html><head><title>Caf&eacute; &amp; Bar</title><meta name=author content=\"Ann\">"
      "<META NAME=keywords></head><body><h2> Menu </h2><a name=drinks></a>"
      "<form action=\"/cgi-bin/order.cgi\" method=post></form></body></html>");
  EXPECT_STREQ(page_->title, "Caf\xE9 & Bar");
  EXPECT_STREQ(page_->name, page_->title);
  ASSERT_EQ(page_->headings.Count(), 1u);
  EXPECT_EQ(page_->headings.First()->item->level, 2);
  EXPECT_STREQ(page_->headings.First()->item->text, "Menu");
  ASSERT_EQ(page_->metas.Count(), 1u);
  EXPECT_STREQ(page_->metas.First()->item->content, "Ann");
  ASSERT_EQ(page_->anchors.Count(), 1u);
  EXPECT_EQ(page_->category, kCatPageWithForm);
  WebObj* gw = ObjectAt("http://h.example/cgi-bin/order.cgi");
  ASSERT_NE(gw, nullptr);
  EXPECT_EQ(gw->category, kCatGateway);
  EXPECT_STREQ(gw->name, "post");
}

TEST_F(LinkPassTest, QuotedAndUnquotedHrefGiveOneObjectCountedTwice) {
  Run("<a href=\"p.html\">one</a> <A HREF=p.html>two</A>");
  WebObj* p = ObjectAt("http://h.example/d/p.html");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->category, kCatPage);
  EXPECT_EQ(p->level, 2);
  EXPECT_EQ(p->parent, page_);
  EXPECT_STREQ(p->label, "one");
  ASSERT_EQ(page_->childLinks.Count(), 1u);
  EXPECT_EQ(page_->childLinks.First()->item->refCount, 2);
  EXPECT_TRUE(page_->childLinks.First()->item->flags & kLinkFlagBroken);
}

TEST_F(LinkPassTest, AnImageInsideALinkRecordsTheLinkedPage) {
  Run("<a href=next.html><img src=\"img/arrow.gif\" alt=Next usemap=#m></a><img src=x.gif>");
  WebObj* next = ObjectAt("http://h.example/d/next.html");
  WebObj* arrow = ObjectAt("http://h.example/d/img/arrow.gif");
  ASSERT_NE(next, nullptr);
  ASSERT_NE(arrow, nullptr);
  EXPECT_EQ(arrow->category, kCatImage);
  EXPECT_EQ(arrow->linkObject, next);
  EXPECT_STREQ(arrow->altText, "Next");
  EXPECT_TRUE(arrow->imageMap);
  EXPECT_EQ(ObjectAt("http://h.example/d/x.gif")->linkObject, nullptr);
  EXPECT_EQ(page_->pageSize, -1);  // image sizes are not known yet
}

TEST_F(LinkPassTest, FragmentLinksToThePageAreSelfLinksBrokenWithoutTheirAnchor) {
  Run("<a href=#top>up</a><a name=top></a><a href=\"#nowhere\">x</a>");
  EXPECT_EQ(site_.pages.Count(), 1u);
  ASSERT_EQ(page_->selfLinks.Count(), 2u);
  EXPECT_FALSE(page_->selfLinks.First()->item->flags & kLinkFlagBroken);
  EXPECT_TRUE(page_->selfLinks.Last()->item->flags & kLinkFlagBroken);
}

TEST_F(LinkPassTest, SelfLinksOnAPageWithoutAnchorsAreBroken) {
  Run("<a href=#top>up</a>");
  ASSERT_EQ(page_->selfLinks.Count(), 1u);
  EXPECT_TRUE(page_->selfLinks.First()->item->flags & kLinkFlagBroken);
}

TEST_F(LinkPassTest, QueryLinksGiveAPageAndTheGatewayOfTheScript) {
  Run("<a href=\"/cgi-bin/search.cgi?q=boats\">Search</a>");
  WebObj* page = ObjectAt("http://h.example/cgi-bin/search.cgi?q=boats");
  WebObj* gw = ObjectAt("http://h.example/cgi-bin/search.cgi");
  ASSERT_NE(page, nullptr);
  ASSERT_NE(gw, nullptr);
  EXPECT_EQ(page->category, kCatPage);
  EXPECT_EQ(page->url->type, kTypeHtml);
  EXPECT_EQ(gw->category, kCatGateway);
  EXPECT_STREQ(gw->name, "Search");
  EXPECT_STREQ(gw->label, "");
}

TEST_F(LinkPassTest, ServicesMediaAndAppletsGetTheirCategories) {
  Run("<a href=\"mailto:ann@h.example\">mail</a><a href=notes.txt>n</a><a href=clip.mpg>c</a>"
      "<app src=\"anim.app\" class=Anim><applet code=Game.class codebase=java>"
      "<embed src=tune.wav><a href=\"javascript:go()\">js</a><body background=bg.jpg>");
  WebObj* mail = ObjectAt("mailto:ann@h.example");
  ASSERT_NE(mail, nullptr);
  EXPECT_EQ(mail->category, kCatMailto);
  EXPECT_EQ(ObjectAt("http://h.example/d/notes.txt")->category, kCatMedia);
  EXPECT_EQ(ObjectAt("http://h.example/d/clip.mpg")->category, kCatMedia);
  WebObj* app = ObjectAt("http://h.example/d/anim.app");
  ASSERT_NE(app, nullptr);
  EXPECT_STREQ(app->label, "anim.app");
  WebObj* applet = ObjectAt("http://h.example/d/java/Game.class");
  ASSERT_NE(applet, nullptr);
  EXPECT_EQ(applet->category, kCatMedia);
  EXPECT_STREQ(applet->label, "java/Game.class");
  EXPECT_EQ(ObjectAt("http://h.example/d/bg.jpg")->category, kCatImage);
  EXPECT_EQ(site_.services.Count(), 1u);  // the javascript link made nothing
  // The APP link names no link text of its own: it stands as the target's URL.
  bool found = false;
  for (auto* n = page_->childLinks.First(); n; n = n->next)
    if (n->item->target == app) {
      EXPECT_STREQ(n->item->linkText, "http://h.example/d/anim.app");
      found = true;
    }
  EXPECT_TRUE(found);
}

TEST_F(LinkPassTest, BaseChangesTheResolutionOfLaterLinks) {
  Run("<a href=a.html>a</a><base href=\"http://h.example/other/\"><a href=b.html>b</a>");
  EXPECT_NE(ObjectAt("http://h.example/d/a.html"), nullptr);
  EXPECT_NE(ObjectAt("http://h.example/other/b.html"), nullptr);
  EXPECT_STREQ(page_->baseHref, "http://h.example/other/");
}

TEST_F(LinkPassTest, LinksBackToTheHomePageAreUpLinksAndFramesAreMarked) {
  Run("<frame src=sub/menu.html name=menu>");
  WebObj* menu = ObjectAt("http://h.example/d/sub/menu.html");
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->flags & kObjFrame);
  EXPECT_STREQ(menu->label, "menu");
  SiteLinkSink sink(site_);
  RunLinkPass(site_, menu, "<a href=../index.html>home</a><a href=\"../\">dir</a>", sink);
  EXPECT_EQ(menu->upLinks.Count(), 1u);
  EXPECT_EQ(menu->upLinks.First()->item->refCount, 2);  // the directory URL is the home page
  EXPECT_EQ(site_.pages.Count(), 2u);
}

TEST_F(LinkPassTest, UnclosedHeadingsAreReadInLinearTimeAndCloseOnesKeepTheirText) {
  // 40,000 unclosed headings in 160 KB: every one's text search stops within its reach.
  std::string page;
  for (int i = 0; i < 40000; ++i) page += "<h1>";
  auto start = std::chrono::steady_clock::now();
  Run(page);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(page_->headings.Count(), 40000u);
  // An end tag within reach gives the whole text, tags skipped, however many tags come first.
  std::string near = "<h2>" + std::string(300, ' ');
  for (int i = 0; i < 200; ++i) near += "<b>";
  near += "Far heading</h2><title>" + std::string(2000, 'T') + "</title>";
  LinkTokenizer t(near);
  ASSERT_EQ(t.NextToken(), kElemH1 + 1);
  EXPECT_EQ(t.TextUntil(static_cast<std::uint16_t>(kEndTag + kElemH1 + 1)), "Far heading");
  ASSERT_EQ(t.NextToken(), kElemUnknown);
}

TEST(LinkTokenizer, ElementTextAgreesWithACharacterScanOnRandomPages) {
  const char* bits[] = {"<h1>", "</h1>", "<title>", "</title>", " ", "a", "Bc", "&amp;", "\n\t",
                        "<!-- c -->", "<b>", "</b>", "<a href=x.htm>", "</a>", "<h2 id=\">\">",
                        "</h2>", "&#65;", "<!--", "<", "  ", "x y"};
  for (unsigned seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    std::string page;
    int n = static_cast<int>(rng() % 400);
    for (int i = 0; i < n; ++i) page += bits[rng() % (sizeof bits / sizeof bits[0])];
    if (seed % 7 == 0) page += std::string(1100, 'w');  // past the 1023 characters
    LinkTokenizer pieces(page), scan(page);
    for (;;) {
      std::uint16_t code = pieces.NextToken();
      ASSERT_EQ(code, scan.NextToken());
      if (code == kEndOfPage) break;
      if (code == kElemA || code == kElemTitle || (code >= kElemH1 && code <= kElemH6)) {
        auto endCode = static_cast<std::uint16_t>(kEndTag + code);
        ASSERT_EQ(pieces.TextUntil(endCode), scan.TextByScan(endCode)) << "seed " << seed;
      }
    }
  }
}

}  // namespace
}  // namespace siteglean
