// The crawler: builds the site of a server or local import (the home page fetched and parsed
// at once), then explores it breadth first one queue entry per step, within the object and
// level limits, obeying the site's robots exclusion rules, and hands every fetched or read
// object to its post-explore function. The robot works on a WebSite that its caller owns and
// fetches through a Fetcher that its caller owns; it runs on one worker thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "explore_queue.h"
#include "fetcher.h"
#include "link_pass.h"
#include "robots_rules.h"
#include "web_site.h"

namespace siteglean {

// The robot's answers.
constexpr int kRobotDone = 0;
constexpr int kRobotMore = 3;
constexpr int kRobotDiskFull = 4;

class Robot {
 public:
  // Called after each object has been fetched or read; true lets the robot delete the
  // temporary copy of an object that is not kept on the site.
  using PostExplore = std::function<bool(WebSite& site, WebObj* obj)>;

  Robot(WebSite& site, Fetcher& fetcher);
  Robot(const Robot&) = delete;
  Robot& operator=(const Robot&) = delete;

  void SetPostExplore(PostExplore fn) { postExplore_ = std::move(fn); }

  // Builds the site and explores the home page (its children are created, not queued).
  // False when the site cannot be set up from the arguments (no host, no file name).
  bool BuildServerSite(std::string_view homeUrl, std::string_view localDir);
  bool BuildLocalSite(std::string_view homeFile, std::string_view url);

  // Sets the limits (0: none), reads the robots exclusion file when the rules are to be
  // obeyed and there are none yet (server imports only; obey off drops them), and queues the
  // home page's child links. Returns kRobotMore.
  int Start(int objectLimit, int levelLimit, bool obeyRobots = true);
  // One entry of the queue: kRobotMore, kRobotDiskFull or kRobotDone.
  int Step();
  void ReorderQueue() { queue_.Reorder(); }

  // Explores one object by its category.
  void Explore(WebObj* obj);

  const RobotsRules& Robots() const { return robots_; }
  bool RobotsInForce() const { return robots_.InForce(); }
  const ExploreQueue& Queue() const { return queue_; }
  WebSite& Site() { return site_; }

 private:
  // Fetches, reads and parses a page; queues its new child links when asked.
  void ExplorePage(WebObj* page, bool queueChildren);
  void ExploreImageOrMedia(WebObj* obj);
  void CheckOnly(WebObj* obj);
  void AfterExplore(WebObj* obj);
  void QueueChildren(RobotList<ObjectLink>::Node* from);
  bool ReadLocalCopy(WebObj* obj, std::string* text);
  void LocalDirectoryIndex(WebObj* page);
  void UpdatePageSizes(WebObj* image);
  void ReadRobotsFile();

  WebSite& site_;
  Fetcher& fetcher_;
  SiteLinkSink sink_;
  PostExplore postExplore_;
  ExploreQueue queue_;
  RobotsRules robots_;
  bool robotsRead_ = false;
  int objectLimit_ = 0;
  int levelLimit_ = 0;
};

}  // namespace siteglean
