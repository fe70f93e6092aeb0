#include "link_pass.h"

#include <ctime>

#include "link_tokenizer.h"
#include "mime_table.h"

namespace siteglean {
namespace {

const char* Stamp(WebSite& site) {
  char buf[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return site.Pool().Copy(buf);
}

bool IsInternal(WebSite& site, const WebObj* a, const UrlNode* b) {
  return site.IsUnderBase(a->url) && site.IsUnderBase(b);
}

bool IsExternal(WebSite& site, const WebObj* page, const UrlNode* target) {
  bool a = site.IsUnderBase(page->url), b = site.IsUnderBase(target);
  if (a != b) return true;
  if (a) return false;
  return page->url->Final()->parts.host != target->Final()->parts.host;
}

ObjectLink* FindLink(WebObj* page, WebObj* target) {
  RobotList<ObjectLink>* order[] = {&page->childLinks, &page->acrossLinks, &page->downLinks,
                                    &page->upLinks,    &page->selfLinks,   &page->externalLinks};
  for (RobotList<ObjectLink>* list : order)
    for (auto* n = list->First(); n; n = n->next)
      if (n->item->target == target) return n->item;
  return nullptr;
}

}  // namespace

WebObj* SiteLinkSink::Link(WebObj* page, UrlNode* target, Category category, std::string_view name,
                           std::string_view label, std::string_view linkText) {
  if (target == nullptr || category == kCatNone) return nullptr;
  StringPool& pool = site_.Pool();
  std::string_view text = linkText.empty() ? std::string_view(target->full) : linkText;
  std::uint16_t kind;
  WebObj* obj = target->obj;
  if (obj == nullptr) {
    obj = site_.NewObject(category, target);
    obj->level = page->level + 1;
    obj->parent = page;
    obj->name = pool.Copy(name);
    obj->label = pool.Copy(label);
    obj->labelCopy = std::string(label);
    obj->discovered = Stamp(site_);
    if (site_.Server().local && site_.IsUnderBase(target)) obj->flags |= kObjOnSite;
    kind = kLinkChild;
  } else {
    if (ObjectLink* known = FindLink(page, obj)) {
      ++known->refCount;
      return obj;
    }
    if (obj == page)
      kind = kLinkSelf;
    else if (IsExternal(site_, page, target))
      kind = kLinkExternal;
    else if (page->level < obj->level)
      kind = kLinkDown;
    else if (page->level == obj->level)
      kind = kLinkAcross;
    else
      kind = kLinkUp;
  }
  ObjectLink* l = site_.NewLink();
  l->kind = kind;
  l->source = page;
  l->target = obj;
  l->targetCategory = obj->category;
  l->level = page->level + 1;
  l->label = pool.Copy(label);
  l->linkText = pool.Copy(text);
  l->sequence = ++page->linkSequence;
  if (IsExternal(site_, page, target) && !IsInternal(site_, page, target))
    l->flags |= kLinkFlagExternal;
  if (!(obj->flags & kObjFetched)) {
    l->flags |= kLinkFlagBroken;
    ++page->brokenLinks;
  }
  page->LinksOfKind(kind)->Append(l);
  obj->incoming.push_back(l);
  if (IsImageCategory(obj->category)) page->imageLinks.push_back(l);
  return obj;
}

UrlNode* ResolveLink(WebSite& site, std::string_view text, const UrlParts& base,
                     std::string_view defaultPage) {
  UrlParts parts;
  if (!SplitUrl(text, &parts)) return nullptr;
  ResolveAgainst(&parts, base);
  UrlTable& table = site.Urls();
  bool created = false;
  UrlNode* node = table.Enter(parts, defaultPage, &created);
  if (!created && !defaultPage.empty() && parts.file.empty() && node->parts.file == defaultPage &&
      !site.IsUnderBase(node)) {
    // A directory URL off the site is not that server's default page.
    node = table.Enter(parts, {}, &created);
  } else if (!created && !defaultPage.empty() && parts.file == defaultPage &&
             node->parts.file.empty() && !site.IsUnderBase(node)) {
    node = table.Enter(parts, {}, &created);
  }
  if (created) {
    TypeCode dflt = parts.schemeCode == kSchemeHttp ? kTypeHtml : kTypeUnknown;
    node->type = MimeTable::Instance().CodeOfName(parts.file, dflt);
    if (parts.hasQuery && !IsImageType(node->type)) node->type = kTypeHtml;
    node->mime = std::string(MimeTable::Instance().MimeOf(node->type));
  }
  return node;
}

namespace {

class Pass {
 public:
  Pass(WebSite& site, WebObj* page, std::string_view text, LinkSink& sink)
      : site_(site), page_(page), tok_(text), sink_(sink) {
    base_ = page->url->Final()->parts;
    baseFull_ = RebuildUrl(base_);
    defaultPage_ = site.Server().defaultPage;
  }

  void Run() {
    page_->pageSize = page_->size;
    for (;;) {
      std::uint16_t code = tok_.NextToken();
      if (code == kEndOfPage) break;
      switch (code) {
        case kElemTitle:
          Title();
          break;
        case kElemBase:
          Base();
          break;
        case kElemImg:
          Image(kAttrSrc);
          break;
        case kElemBody:
          Image(kAttrBackground);
          break;
        case kElemForm:
          Form();
          break;
        case kElemApp:
          App();
          break;
        case kElemApplet:
          Applet();
          break;
        case kElemMeta:
          Meta();
          break;
        case kElemA:
          Anchor();
          break;
        case kElemArea:
          Area();
          break;
        case kElemFrame:
          Frame();
          break;
        case kElemEmbed:
          Embed();
          break;
        case kEndTag + kElemA:
          linkObject_ = nullptr;
          break;
        default:
          if (code >= kElemH1 && code <= kElemH6) Heading(code);
          break;
      }
    }
    CheckSelfLinks();
  }

 private:
  const char* Pool(std::string_view s) { return site_.Pool().Copy(s); }

  void Title() {
    if (page_->title != nullptr) return;
    page_->title = Pool(tok_.TextUntil(kEndTag + kElemTitle));
    if (page_->name == nullptr || *page_->name == '\0') page_->name = page_->title;
  }

  void Heading(std::uint16_t code) {
    std::string text = tok_.TextUntil(static_cast<std::uint16_t>(kEndTag + code));
    page_->headings.Append(site_.NewHeading(code - kElemH1 + 1, Pool(text)));
  }

  void Base() {
    const std::string* href = tok_.Attribute(kAttrHref);
    if (href == nullptr) return;
    page_->baseHref = Pool(*href);
    UrlParts b;
    if (!SplitUrl(*href, &b)) return;
    ResolveAgainst(&b, page_->url->Final()->parts);
    base_ = b;
    baseFull_ = RebuildUrl(base_);
  }

  UrlNode* Resolve(std::string_view text) { return ResolveLink(site_, text, base_, defaultPage_); }

  WebObj* Give(UrlNode* node, Category fixed, std::string_view name, std::string_view label,
               std::string_view linkText) {
    if (node == nullptr || node->parts.schemeCode == kSchemeUnknown) return nullptr;
    Category c = fixed;
    if (node->parts.schemeCode != kSchemeHttp && node->parts.schemeCode != kSchemeFile)
      c = CategoryOf(node->parts.schemeCode, node->type);
    return sink_.Link(page_, node, c, name, label, linkText);
  }

  void Image(int attr) {
    const std::string* src = tok_.Attribute(attr);
    if (src == nullptr) return;
    std::string link = *src;
    const std::string* alt = tok_.Attribute(kAttrAlt);
    bool map = tok_.Attribute(kAttrIsmap) != nullptr || tok_.Attribute(kAttrUsemap) != nullptr;
    WebObj* img = Give(Resolve(link), kCatImage, {}, {}, link);
    if (img == nullptr) return;
    if (alt != nullptr && img->altText == nullptr) img->altText = Pool(*alt);
    if (map) img->imageMap = true;
    if (!IsImageCategory(img->category)) return;
    img->countsTowardPageSize = true;
    img->linkObject = linkObject_;
    if (img->size < 0)
      page_->pageSize = -1;
    else if (page_->pageSize >= 0)
      page_->pageSize += img->size;
  }

  void Form() {
    if (page_->category == kCatPage) page_->category = kCatPageWithForm;
    const std::string* action = tok_.Attribute(kAttrAction);
    if (action == nullptr) return;
    const std::string* method = tok_.Attribute(kAttrMethod);
    std::string link = *action;
    Give(Resolve(link), kCatGateway, method ? std::string_view(*method) : std::string_view(), {},
         link);
  }

  void App() {
    const std::string* src = tok_.Attribute(kAttrSrc);
    if (src == nullptr) return;
    std::string link = *src;
    // The link text would be attribute 7, which no element has: it falls back to the URL.
    Give(Resolve(link), kCatMedia, {}, link, {});
  }

  void Applet() {
    const std::string* code = tok_.Attribute(kAttrCode);
    if (code == nullptr) return;
    std::string url;
    if (const std::string* cb = tok_.Attribute(kAttrCodebase)) {
      url = *cb;
      if (url.empty() || url.back() != '/') url += '/';
    }
    url += *code;
    Give(Resolve(url), kCatMedia, {}, url, url);
  }

  void Meta() {
    const std::string* name = tok_.Attribute(kAttrName);
    const std::string* content = tok_.Attribute(kAttrContent);
    if (name == nullptr || content == nullptr) return;
    page_->metas.Append(site_.NewMeta(Pool(*name), Pool(*content)));
  }

  void Anchor() {
    if (const std::string* name = tok_.Attribute(kAttrName)) page_->anchors.Append(Pool(*name));
    const std::string* href = tok_.Attribute(kAttrHref);
    if (href == nullptr) return;
    std::string link = *href;
    std::string label = tok_.TextUntil(kEndTag + kElemA);
    linkObject_ = Hyperlink(link, label, false);
  }

  void Area() {
    const std::string* href = tok_.Attribute(kAttrHref);
    if (href == nullptr) return;
    const std::string* alt = tok_.Attribute(kAttrAlt);
    std::string link = *href;
    Hyperlink(link, alt ? *alt : std::string(), false);
  }

  void Frame() {
    const std::string* src = tok_.Attribute(kAttrSrc);
    if (src == nullptr) return;
    const std::string* name = tok_.Attribute(kAttrName);
    std::string link = *src;
    Hyperlink(link, name ? *name : std::string(), true);
  }

  void Embed() {
    const std::string* src = tok_.Attribute(kAttrSrc);
    if (src == nullptr) return;
    std::string link = *src;
    Hyperlink(link, {}, false);
  }

  // A, AREA, FRAME and EMBED: a self link, a service, a page (and the gateway of its query),
  // a gateway, an image or a media object.
  WebObj* Hyperlink(const std::string& link, const std::string& label, bool frame) {
    UrlParts parts;
    if (!SplitUrl(link, &parts)) return nullptr;
    UrlNode* node = Resolve(link);
    if (node == nullptr) return nullptr;
    ResolveAgainst(&parts, base_);
    if (parts.hasFragment && RebuildUrl(parts) == baseFull_) {
      ObjectLink* l = site_.NewLink();
      l->kind = kLinkSelf;
      l->source = page_;
      l->target = page_;
      l->targetCategory = page_->category;
      l->level = page_->level + 1;
      l->label = Pool(label);
      l->linkText = Pool(link);
      l->sequence = ++page_->linkSequence;
      page_->selfLinks.Append(l);
      return nullptr;
    }
    SchemeCode scheme = node->parts.schemeCode;
    if (scheme == kSchemeUnknown) return nullptr;
    WebObj* obj = nullptr;
    if (scheme != kSchemeHttp && scheme != kSchemeFile) {
      obj = sink_.Link(page_, node, CategoryOf(scheme, node->type), {}, label, link);
    } else if (node->type == kTypeHtml) {
      obj = sink_.Link(page_, node, kCatPage, {}, label, link);
      std::size_t q = link.find('?');
      if (q != std::string::npos) {
        std::string script = link.substr(0, q);
        sink_.Link(page_, Resolve(script), kCatGateway, label, {}, script);
      }
    } else if (node->type >= 0x3001 && node->type <= 0x3FFE) {
      obj = sink_.Link(page_, node, kCatGateway, label, {}, link);
    } else if (node->type >= 0x1001 && node->type <= 0x1FFE) {
      obj = sink_.Link(page_, node, kCatImage, {}, label, link);
    } else {
      obj = sink_.Link(page_, node, kCatMedia, {}, label, link);
    }
    if (obj != nullptr && frame) obj->flags |= kObjFrame;
    return obj;
  }

  void CheckSelfLinks() {
    for (auto* n = page_->selfLinks.First(); n; n = n->next) {
      ObjectLink* l = n->item;
      std::string_view text = l->linkText;
      std::size_t hash = text.find('#');
      // Broken when the page names no anchor at all, or none of the link's fragment.
      bool broken = page_->anchors.Count() == 0;
      if (!broken && hash != std::string_view::npos) {
        std::string_view frag = text.substr(hash + 1);
        broken = true;
        for (auto* a = page_->anchors.First(); a && broken; a = a->next)
          if (frag == a->item) broken = false;
      }
      if (broken) l->flags |= kLinkFlagBroken;
    }
  }

  WebSite& site_;
  WebObj* page_;
  LinkTokenizer tok_;
  LinkSink& sink_;
  UrlParts base_;
  std::string baseFull_;
  std::string defaultPage_;
  WebObj* linkObject_ = nullptr;
};

}  // namespace

void RunLinkPass(WebSite& site, WebObj* page, std::string_view text, LinkSink& sink) {
  if (page == nullptr || page->url == nullptr) return;
  Pass(site, page, text, sink).Run();
}

}  // namespace siteglean
