#include "web_site.h"

namespace siteglean {

RobotList<ObjectLink>* WebObj::LinksOfKind(std::uint16_t kind) {
  switch (kind) {
    case kLinkSelf: return &selfLinks;
    case kLinkExternal: return &externalLinks;
    case kLinkChild: return &childLinks;
    case kLinkDown: return &downLinks;
    case kLinkAcross: return &acrossLinks;
    case kLinkUp: return &upLinks;
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
