// Feeds arbitrary bytes to the link pass as a page, and its first line to the URL parser as
// a link against a fixed base: any input must give a result, never a crash or an overrun.
#include <cstddef>
#include <cstdint>
#include <string>

#include "siteimport/link_pass.h"

using namespace siteglean;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  WebSite site;
  site.SetBaseUrl("http://h.example/d/");
  site.Server().host = "h.example";
  site.Server().defaultPage = "index.html";
  UrlParts home;
  SplitUrl("http://h.example/d/index.html", &home);
  WebObj* page = site.NewObject(kCatPage, site.Urls().Enter(home, "index.html"));
  SiteLinkSink sink(site);
  RunLinkPass(site, page, text, sink);

  std::string first = text.substr(0, text.find('\n'));
  UrlParts p;
  if (SplitUrl(first, &p)) {
    ResolveAgainst(&p, home);
    std::string full = RebuildUrl(p);
    (void)full;
    ResolveLink(site, first, home, "index.html");
  }
  return 0;
}
