// The robot's model of one exploration: the site (WebSite) with its server, URL table,
// string pool and object lists; one object (WebObj) per distinct URL, and the links
// (ObjectLink) from pages to objects. The site owns every object, link and text; all of it
// lives on the worker thread of its exploration.
#pragma once

#include "platform/kernel/export.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "robot_list.h"
#include "string_pool.h"
#include "type_codes.h"
#include "url_node.h"
#include "url_table.h"

namespace siteglean {

struct WebObj;

// WebObj flags.
constexpr std::uint16_t kObjOnSite = 0x0010;
constexpr std::uint16_t kObjNotFetched = 0x0040;
constexpr std::uint16_t kObjFetched = 0x0080;
constexpr std::uint16_t kObjFrame = 0x0100;
constexpr std::uint16_t kObjRobotsExcluded = 0x0200;
constexpr std::uint16_t kObjDeleteCopy = 0x0800;

// ObjectLink flags.
constexpr std::uint16_t kLinkFlagExternal = 0x1000;
constexpr std::uint16_t kLinkFlagBroken = 0x2000;
constexpr std::uint16_t kLinkFlagNoExplore = 0x0800;

struct ObjectLink {
  std::uint16_t kind = kLinkChild;
  WebObj* source = nullptr;
  WebObj* target = nullptr;
  Category targetCategory = kCatNone;
  std::int32_t level = 0;
  std::uint16_t flags = 0;
  const char* label = "";
  const char* linkText = "";
  std::int32_t refCount = 1;
  std::int32_t sequence = 0;
};

struct Heading {
  int level;
  const char* text;
};

struct MetaPair {
  const char* name;
  const char* content;
};

struct WebObj {
  Category category = kCatNone;
  WebObj* parent = nullptr;
  std::int32_t level = 1;
  std::uint16_t flags = kObjNotFetched;
  UrlNode* url = nullptr;
  const char* name = "";
  const char* label = "";
  std::string labelCopy;  // the label once more, outside the pool
  const char* discovered = "";
  const char* localPath = nullptr;
  std::int64_t size = -1;
  std::int64_t pageSize = -1;

  // Pages.
  const char* title = nullptr;
  const char* baseHref = nullptr;
  RobotList<Heading> headings;
  RobotList<const char> anchors;
  RobotList<MetaPair> metas;
  std::int32_t brokenLinks = 0;
  RobotList<ObjectLink> selfLinks, childLinks, downLinks, acrossLinks, upLinks, externalLinks;
  std::int32_t linkSequence = 0;

  // Images.
  bool imageMap = false;
  bool countsTowardPageSize = false;
  const char* altText = nullptr;
  WebObj* linkObject = nullptr;  // the object of the link the image stands in

  // Every link that points at this object, so that a change of its success state or size
  // reaches the linking pages without a walk over all links of the site.
  std::vector<ObjectLink*> incoming;
  // Pages: the links to images, whose sizes make up the page size.
  std::vector<ObjectLink*> imageLinks;

  bool IsPage() const { return IsPageCategory(category); }
  // The list of a page that holds links of a kind.
  RobotList<ObjectLink>* LinksOfKind(std::uint16_t kind);
};

struct ServerInfo {
  std::string host;
  std::string directory;
  std::string defaultPage;
  std::string httpVersion;
  std::string server;
  bool local = false;
};

// Storage and bookkeeping shared by the link pass, the fetching and the crawler.
class WebSite {
 public:
  WebSite() = default;
  WebSite(const WebSite&) = delete;
  WebSite& operator=(const WebSite&) = delete;

  StringPool& Pool() { return pool_; }
  UrlTable& Urls() { return urls_; }
  ServerInfo& Server() { return server_; }
  const ServerInfo& Server() const { return server_; }

  // The base URL, "http://" + host + directory + "/"; every on-site URL lies under it.
  const std::string& BaseUrl() const { return baseUrl_; }
  void SetBaseUrl(std::string url) { baseUrl_ = std::move(url); }
  bool IsUnderBase(const UrlNode* n) const;

  const std::string& LocalRoot() const { return localRoot_; }
  void SetLocalRoot(std::string root) { localRoot_ = std::move(root); }

  // A new object owned by the site, entered in the list of its category.
  WebObj* NewObject(Category category, UrlNode* url);
  // A new link owned by the site, entered in the list of all links.
  ObjectLink* NewLink();
  Heading* NewHeading(int level, const char* text) {
    return &headings_.emplace_back(Heading{level, text});
  }
  MetaPair* NewMeta(const char* name, const char* content) {
    return &metas_.emplace_back(MetaPair{name, content});
  }

  RobotList<WebObj>& ListOf(Category category);
  RobotList<WebObj> pages, images, gateways, media, services;
  RobotList<ObjectLink> links;
  RobotList<ObjectLink> queue;
  std::int32_t unexplored = 0;
  WebObj* home = nullptr;

  // Robots exclusion: when the rules are in force, a URL they do not allow is not fetched.
  bool robotsInForce = false;
  std::function<bool(const std::string& url)> robotsAllow;

  // Sets the site up for a server import: host and directory from the home page URL, the
  // base URL, the local root from the caller's directory, the home page object (level 1,
  // "Home Page"). False for a URL without a host.
  bool SetUpServerImport(std::string_view homeUrl, std::string_view localDir);

  // Sets the site up for a local import: the home page file on disk and the URL of the
  // directory under which it is published. The local root is the file's directory with the
  // URL's path cut off its end. False for a URL without a host or a file without a name.
  bool SetUpLocalImport(std::string_view homeFile, std::string_view url);

  // The local root of a local import: the directory with the folder names at its end that the
  // URL path ends with removed (percent escapes of the URL decoded, "/" and "\" equal).
  static std::string CutUrlPath(std::string_view directory, std::string_view urlPath);

  // After an object's fetch succeeded or failed anew: the broken flag of every link to it and
  // the broken-link counts of their pages follow.
  void UpdateLinksTo(WebObj* target);

  bool downloadCopies = true;
  bool dosNames = false;
  bool exploreExternal = false;

 private:
  bool MakeHome(const std::string& host, const std::string& dir, const std::string& file);

  StringPool pool_;
  UrlTable urls_;
  ServerInfo server_;
  std::string baseUrl_;
  std::string localRoot_;
  std::deque<WebObj> objects_;
  std::deque<ObjectLink> linkStore_;
  std::deque<Heading> headings_;
  std::deque<MetaPair> metas_;
};

}  // namespace siteglean
