// The pass over one fetched page: it reads the page with the link tokenizer, records the
// page's title, headings, named anchors, META pairs and base, resolves every link against the
// current base, decides the category of its target, and hands each link to a LinkSink, which
// creates (or finds) the object and records the link. The crawler is the production sink.
// Runs on the exploration's worker thread.
#pragma once

#include <string>
#include <string_view>

#include "web_site.h"

namespace siteglean {

class LinkSink {
 public:
  virtual ~LinkSink() = default;
  // The object for a link from page to target, created with the category, name and label
  // when the target has none yet; null when no object is to be made.
  virtual WebObj* Link(WebObj* page, UrlNode* target, Category category, std::string_view name,
                       std::string_view label, std::string_view linkText) = 0;
};

// The sink of the robot: objects and links as the crawler makes them (new object: a child
// link; known object: its link from this page counted again, or a self, external, down, across
// or up link by the levels).
class SiteLinkSink : public LinkSink {
 public:
  explicit SiteLinkSink(WebSite& site) : site_(site) {}
  WebObj* Link(WebObj* page, UrlNode* target, Category category, std::string_view name,
               std::string_view label, std::string_view linkText) override;

 private:
  WebSite& site_;
};

// Parses a link text against a base into the site's URL table: the known node for the URL or
// a new one with its type code and MIME type. Null for text that gives no URL.
UrlNode* ResolveLink(WebSite& site, std::string_view text, const UrlParts& base,
                     std::string_view defaultPage);

// Runs the pass over the page text. The page's URL must be set.
void RunLinkPass(WebSite& site, WebObj* page, std::string_view text, LinkSink& sink);

}  // namespace siteglean
