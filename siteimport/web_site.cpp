#include "web_site.h"

#include "mime_table.h"

#include <cctype>
#include <vector>

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

namespace {

bool IsSep(char c) { return c == '/' || c == '\\'; }

// Host and path of a URL text: the host runs from after "://" to the first separator.
void SplitHostPath(std::string_view url, std::string* host, std::string* path) {
  std::size_t s = url.find("://");
  std::string_view rest = s == std::string_view::npos ? url : url.substr(s + 3);
  std::size_t e = rest.find_first_of("/\\");
  *host = std::string(rest.substr(0, e));
  *path = std::string(e == std::string_view::npos ? std::string_view() : rest.substr(e));
  for (char& c : *path)
    if (c == '\\') c = '/';
}

// The path with empty, "." and ".." segments resolved ("//d/./x/../" is "/d/"), so that the
// home page and the base URL derived from it name the same place.
std::string NormalisePath(const std::string& path) {
  std::vector<std::string> segs;
  std::size_t i = 0;
  while (i < path.size()) {
    std::size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    std::string seg = path.substr(i, j - i);
    if (seg == "..") {
      if (!segs.empty()) segs.pop_back();
    } else if (!seg.empty() && seg != ".") {
      segs.push_back(seg);
    }
    i = j + 1;
  }
  std::string out;
  for (const std::string& seg : segs) out += "/" + seg;
  if (!path.empty() && path.back() == '/' && !out.empty()) out += '/';
  return out;
}

}  // namespace

bool WebSite::MakeHome(const std::string& host, const std::string& dir, const std::string& file) {
  baseUrl_ = "http://" + host + dir + "/";
  UrlParts p;
  if (!SplitUrl(baseUrl_ + file, &p)) return false;
  UrlNode* node = urls_.Enter(p, server_.defaultPage);
  node->type = MimeTable::Instance().CodeOfName(file, kTypeHtml);
  node->mime = std::string(MimeTable::Instance().MimeOf(node->type));
  home = NewObject(kCatPage, node);
  home->level = 1;
  home->label = pool_.Copy("Home Page");
  home->labelCopy = "Home Page";
  return true;
}

bool WebSite::SetUpServerImport(std::string_view homeUrl, std::string_view localDir) {
  std::string host, path;
  SplitHostPath(homeUrl, &host, &path);
  if (host.empty()) return false;
  path = NormalisePath(path);
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
  return MakeHome(host, dir, file);
}

std::string WebSite::CutUrlPath(std::string_view directory, std::string_view urlPath) {
  std::string url = DecodePercent(urlPath);
  std::size_t d = directory.size(), u = url.size();
  while (d > 0 && IsSep(directory[d - 1])) --d;
  while (u > 0 && IsSep(url[u - 1])) --u;
  // Only whole folder names are cut: a match that ends inside a name ("/a/Sub" against
  // "/sub") would leave a root that names no folder of the site.
  std::size_t keep = d;
  while (d > 0 && u > 0) {
    char a = directory[d - 1], b = url[u - 1];
    if (!(a == b || (IsSep(a) && IsSep(b)))) break;
    --d;
    --u;
    if (IsSep(a)) keep = d;
  }
  if (u == 0 && (d == 0 || IsSep(directory[d - 1]))) keep = d;
  return std::string(directory.substr(0, keep));
}

bool WebSite::SetUpLocalImport(std::string_view homeFile, std::string_view url) {
  std::string fullUrl(url);
  if (fullUrl.empty() || fullUrl.back() != '/') fullUrl += '/';
  std::string host, path;
  SplitHostPath(fullUrl, &host, &path);
  if (host.empty()) return false;
  std::size_t cut = homeFile.find_last_of("/\\");
  std::string_view dir = cut == std::string_view::npos ? std::string_view() : homeFile.substr(0, cut);
  std::string file(cut == std::string_view::npos ? homeFile : homeFile.substr(cut + 1));
  if (file.empty()) return false;
  std::string root = CutUrlPath(dir, path);
  for (char& c : root)
    if (c == '\\') c = '/';
  if (root.size() > 1 && root.back() == '/') root.pop_back();
  localRoot_ = root;
  while (!path.empty() && path.back() == '/') path.pop_back();
  server_.host = host;
  server_.directory = path;
  server_.local = true;
  std::string stem = file.substr(0, file.find('.')).substr(0, 15);
  for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (stem == "default" || stem == "welcome" || stem == "index") server_.defaultPage = file;
  downloadCopies = false;
  exploreExternal = false;
  return MakeHome(host, path, file);
}

void WebSite::UpdateLinksTo(WebObj* target) {
  bool ok = (target->flags & kObjFetched) != 0;
  for (ObjectLink* l : target->incoming) {
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
