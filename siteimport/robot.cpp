#include "robot.h"

#include <fstream>
#include <sstream>

#include "local_store.h"
#include "platform/kernel/file_system.h"
#include "platform/kernel/win_file.h"
#include "platform/kernel/win_path.h"
#include "user_agent.h"

namespace siteglean {

using halyard::MapWinPath;

namespace {

bool IsSep(char c) { return c == '/' || c == '\\'; }

std::string JoinRoot(const std::string& root, std::string_view relative) {
  std::string full = root;
  if (!full.empty() && IsSep(full.back()) && !relative.empty() && IsSep(relative.front()))
    full.pop_back();
  else if (!full.empty() && !IsSep(full.back()) && !relative.empty() && !IsSep(relative.front()))
    full += '/';
  full.append(relative);
  return full;
}

// The targets the queue takes: pages, gateways, images and media; services never.
bool Queued(const WebObj* t) {
  Category c = t->category;
  return IsPageCategory(c) || c == kCatGateway || IsImageCategory(c) || IsMediaCategory(c);
}

}  // namespace

Robot::Robot(WebSite& site, Fetcher& fetcher) : site_(site), fetcher_(fetcher), sink_(site) {
  site_.robotsAllow = [this](const std::string& url) { return robots_.Allowed(url); };
}

bool Robot::BuildServerSite(std::string_view homeUrl, std::string_view localDir) {
  if (!site_.SetUpServerImport(homeUrl, localDir)) return false;
  ExplorePage(site_.home, false);
  return true;
}

bool Robot::BuildLocalSite(std::string_view homeFile, std::string_view url) {
  if (!site_.SetUpLocalImport(homeFile, url)) return false;
  ExplorePage(site_.home, false);
  return true;
}

void Robot::ReadRobotsFile() {
  std::string siteUrl = "http://" + site_.Server().host + "/";
  FetchRequest req;
  req.url = siteUrl + "robots.txt";
  int result = fetcher_.Fetch(req);
  robotsRead_ = true;
  if (result < 0 || req.tempName.empty() || req.response.status != 200) {
    if (!req.tempName.empty()) halyard::WinRemoveFile(req.tempName);
    robots_.SetInForce(false);
    return;
  }
  std::string hostTemp = MapWinPath(req.tempName);
  int parsed = robots_.ParseFile(hostTemp, siteUrl, ProcessAgentToken());
  robots_.SetInForce(parsed == RobotsRules::kOk);
  bool kept = false;
  if (site_.downloadCopies) {
    std::string target = MapWinPath(JoinRoot(site_.LocalRoot(), "robots.txt"));
    if (halyard::MakeParentFolders(target) == 0 && halyard::MoveFile(hostTemp, target) == 0)
      kept = true;
  }
  if (!kept) halyard::WinRemoveFile(req.tempName);
}

int Robot::Start(int objectLimit, int levelLimit, bool obeyRobots) {
  objectLimit_ = objectLimit;
  levelLimit_ = levelLimit;
  site_.exploreExternal = false;
  if (obeyRobots) {
    if (!robotsRead_ && !site_.Server().local) ReadRobotsFile();
  } else {
    robots_ = RobotsRules();
    robotsRead_ = false;
  }
  site_.robotsInForce = robots_.InForce();
  QueueChildren(site_.home->childLinks.First());
  return kRobotMore;
}

int Robot::Step() {
  queue_.Reorder();
  if (queue_.Empty()) return kRobotDone;
  ObjectLink* link = queue_.Front();
  WebObj* t = link->target;
  if (objectLimit_ > 0 && site_.pages.Count() >= static_cast<std::size_t>(objectLimit_)) {
    queue_.Clear();
    return kRobotDone;
  }
  if (levelLimit_ <= 0 || t->level <= levelLimit_) {
    if (link->flags & kLinkFlagExternal) {
      if (site_.exploreExternal) CheckOnly(t);
    } else if (!(link->flags & kLinkFlagNoExplore)) {
      Explore(t);
    }
  }
  if (t->url->status == kStatusDiskFull) {
    t->url->status = kStatusNotFetched;
    return kRobotDiskFull;
  }
  queue_.PopFront();
  return kRobotMore;
}

void Robot::Explore(WebObj* obj) {
  Category c = obj->category;
  if (IsPageCategory(c))
    ExplorePage(obj, true);
  else if (IsImageCategory(c) || IsMediaCategory(c))
    ExploreImageOrMedia(obj);
  else if (c == kCatGateway) {
    if (obj->url->status != kStatusFetched) CheckOnly(obj);
  } else {
    CheckOnly(obj);
  }
}

void Robot::ExplorePage(WebObj* page, bool queueChildren) {
  RobotList<ObjectLink>::Node* last = page->childLinks.Last();
  if (!(page->flags & kObjFetched)) {
    bool ok = FetchObject(site_, fetcher_, page, false, false);
    if (!ok && site_.Server().local && site_.IsUnderBase(page->url) &&
        page->url->Final()->parts.file.empty())
      LocalDirectoryIndex(page);
    if (page->flags & kObjFetched) {
      std::string text;
      if (ReadLocalCopy(page, &text)) {
        RunLinkPass(site_, page, text, sink_);
      } else if (page->flags & kObjOnSite) {
        page->url->status = kStatusLocalMissing;
        page->flags |= kObjNotFetched;
      }
    }
    AfterExplore(page);
  }
  if (queueChildren) QueueChildren(last ? last->next : page->childLinks.First());
}

void Robot::ExploreImageOrMedia(WebObj* obj) {
  if (obj->url->status == kStatusFetched) return;
  FetchObject(site_, fetcher_, obj, !site_.downloadCopies, false);
  if (IsImageCategory(obj->category)) UpdatePageSizes(obj);
  AfterExplore(obj);
}

void Robot::CheckOnly(WebObj* obj) {
  FetchObject(site_, fetcher_, obj, true, false);
  AfterExplore(obj);
}

void Robot::AfterExplore(WebObj* obj) {
  bool remove = postExplore_ ? postExplore_(site_, obj) : true;
  if (!(obj->flags & kObjOnSite)) {
    if (remove && obj->localPath != nullptr) halyard::WinRemoveFile(obj->localPath);
    obj->localPath = nullptr;
    obj->size = -1;
  } else {
    obj->flags &= static_cast<std::uint16_t>(~kObjNotFetched);
  }
}

void Robot::QueueChildren(RobotList<ObjectLink>::Node* from) {
  for (auto* n = from; n; n = n->next)
    if (Queued(n->item->target)) queue_.Append(n->item);
}

bool Robot::ReadLocalCopy(WebObj* obj, std::string* text) {
  if (obj->localPath == nullptr) return false;
  std::string path = (obj->flags & kObjOnSite) ? JoinRoot(site_.LocalRoot(), obj->localPath)
                                               : std::string(obj->localPath);
  std::ifstream in(MapWinPath(path), std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return false;
  *text = ss.str();
  return true;
}

void Robot::LocalDirectoryIndex(WebObj* page) {
  // A folder of the site without a default page: its index is generated in its place.
  std::string rel;
  if (!LocalName(page->url, {}, &rel)) return;
  std::string hostDir = MapWinPath(JoinRoot(site_.LocalRoot(), rel));
  std::vector<halyard::FolderEntry> entries;
  if (halyard::ListFolder(hostDir, &entries) != 0) return;
  rel += "index.HTM";
  page->localPath = site_.Pool().Copy(rel);
  if (!WriteDirectoryIndex(site_, page)) {
    page->localPath = nullptr;
    return;
  }
  page->url->status = kStatusFetched;
  page->flags |= kObjFetched | kObjOnSite;
  page->flags &= static_cast<std::uint16_t>(~kObjNotFetched);
  site_.UpdateLinksTo(page);
}

void Robot::UpdatePageSizes(WebObj* image) {
  WebObj* last = nullptr;
  for (ObjectLink* l : image->incoming) {
    WebObj* page = l->source;
    if (page == nullptr || page == last) continue;
    last = page;
    std::int64_t total = page->size;
    for (ObjectLink* out : page->imageLinks) {
      if (total < 0) break;
      total = out->target->size < 0 ? -1 : total + out->target->size;
    }
    page->pageSize = total;
  }
}

}  // namespace siteglean
