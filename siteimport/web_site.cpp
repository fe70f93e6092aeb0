#include "web_site.h"

#include "mime_table.h"

namespace siteglean {

RobotList<ObjectLink>* WebObj::LinksOfKind(std::uint16_t kind) {
  switch (kind) {
    case kLinkSelf:
      return &selfLinks;
    case kLinkExternal:
      return &externalLinks;
    case kLinkChild:
      return &childLinks;
    case kLinkDown:
      return &downLinks;
    case kLinkAcross:
      return &acrossLinks;
    case kLinkUp:
      return &upLinks;
  }
  return nullptr;
}

bool WebSite::IsUnderBase(const UrlNode* n) const {
  if (n == nullptr || baseUrl_.empty()) return false;
  const std::string& full = n->Final()->full;
  return full.compare(0, baseUrl_.size(), baseUrl_) == 0;
}

RobotList<WebObj>& WebSite::ListOf(Category c) {
  if (IsPageCategory(c)) return pages;
  if (IsImageCategory(c)) return images;
  if (IsMediaCategory(c)) return media;
  if (IsServiceCategory(c)) return services;
  return gateways;
}

WebObj* WebSite::NewObject(Category category, UrlNode* url) {
  WebObj& o = objects_.emplace_back();
  o.category = category;
  o.url = url;
  if (url) url->obj = &o;
  ListOf(category).Append(&o);
  if (IsPageCategory(category)) ++unexplored;
  return &o;
}

ObjectLink* WebSite::NewLink() {
  ObjectLink& l = linkStore_.emplace_back();
  links.Append(&l);
  return &l;
}

bool WebSite::SetUpServerImport(std::string_view homeUrl, std::string_view localDir) {
  std::size_t s = homeUrl.find("://");
  std::string_view rest = s == std::string_view::npos ? homeUrl : homeUrl.substr(s + 3);
  std::size_t e = rest.find_first_of("/\\");
  std::string host(rest.substr(0, e));
  std::string path(e == std::string_view::npos ? std::string_view() : rest.substr(e));
  if (host.empty()) return false;
  for (char& c : path)
    if (c == '\\') c = '/';
  if (!path.empty() && path.back() == '/') path.pop_back();
  std::string dir = path, file;
  std::size_t slash = path.rfind('/');
  std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
  if (last.find('.') != std::string::npos) {
    file = last;
    dir = slash == std::string::npos ? std::string() : path.substr(0, slash);
  }
  server_.host = host;
  server_.directory = dir;
  server_.defaultPage = file;
  server_.local = false;
  downloadCopies = true;
  exploreExternal = false;
  std::string root(localDir);
  for (char& c : root)
    if (c == '\\') c = '/';
  if (root.size() > 1 && root.back() == '/') root.pop_back();
  localRoot_ = root;
  baseUrl_ = "http://" + host + dir + "/";
  UrlParts p;
  if (!SplitUrl(baseUrl_ + file, &p)) return false;
  UrlNode* node = urls_.Enter(p, file);
  node->type = MimeTable::Instance().CodeOfName(file, kTypeHtml);
  node->mime = std::string(MimeTable::Instance().MimeOf(node->type));
  home = NewObject(kCatPage, node);
  home->level = 1;
  home->label = pool_.Copy("Home Page");
  home->labelCopy = "Home Page";
  return true;
}

void WebSite::UpdateLinksTo(WebObj* target) {
  bool ok = (target->flags & kObjFetched) != 0;
  for (auto* n = links.First(); n; n = n->next) {
    ObjectLink* l = n->item;
    if (l->target != target || l->kind == kLinkSelf) continue;
    bool broken = (l->flags & kLinkFlagBroken) != 0;
    if (ok && broken) {
      l->flags &= static_cast<std::uint16_t>(~kLinkFlagBroken);
      if (l->source && l->source->brokenLinks > 0) --l->source->brokenLinks;
    } else if (!ok && !broken) {
      l->flags |= kLinkFlagBroken;
      if (l->source) ++l->source->brokenLinks;
    }
  }
}

}  // namespace siteglean
