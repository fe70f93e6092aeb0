// SiteGlean: one import of a web site, from a server over HTTP or from a local directory.
// mExplore runs the exploration on a worker thread; while it runs the host polls mPageCount
// and mGetLastTransferedFile (the only datum under this object's lock) and may call
// mAbortTransfer; afterwards it walks the hierarchy from mHomePage. The object owns the
// robot's site, which every view reads, so it is destroyed last; destroying it while the
// worker runs stops the worker first. Objects come from the library's own heap.
#pragma once

#include <atomic>
#include <cstddef>

#include "platform/kernel/export.h"
#include "platform/kernel/win_sync.h"
#include "platform/kernel/win_types.h"
#include "gleaned_page.h"

namespace siteglean {
class WebSite;
class Robot;
class Fetcher;
}  // namespace siteglean

class HALYARD_EXPORT SiteGlean {
 public:
  // Explore states.
  enum ExploreState : LONG {
    kIdle = 0,
    kExploring = 2,
    kFinished = 3,
    kHomePageFailed = 4,
    kOutOfSpace = 6,
  };

  // A server import: the home page URL, the directory that receives the copies, the level
  // limit and the page limit (-1: the defaults).
  SiteGlean(const char* url, const char* localDir, LONG levelLimit, LONG pageLimit);
  // A local import: the home page file, the limits, and the URL of the directory under which
  // the file is published.
  SiteGlean(const char* homeFile, LONG levelLimit, LONG pageLimit, const char* url);

  // Local path, title and absolute URL of an explored object named by a URL; 0 when there is
  // no such object (or no site yet).
  virtual int mLocateURL(const char* url, char* path, int pathLen, char* title, int titleLen,
                         char* absUrl, int absUrlLen);
  virtual ~SiteGlean();
  // 1 while the site's robots exclusion rules are applied.
  virtual int mRobotsRulesInForce();

  SiteGlean(const SiteGlean&) = delete;
  SiteGlean& operator=(const SiteGlean&) = delete;

  static void* operator new(std::size_t size);
  static void operator delete(void* p);

  // Starts the worker thread; 1 when it runs, 0 when no thread could be started.
  int mExplore();
  // Stops every running exploration of the process before its next step.
  void mAbortTransfer();
  // Pages of the site seen so far, a count at the page limit reported one lower.
  ULONG mPageCount();
  // The local path of the object transferred last; 0 when none or the buffer is too short.
  int mGetLastTransferedFile(char* buf, LONG len, LONG unused);
  // The view of the home page; null until the worker has built the site.
  GleanedPage* mHomePage();

  // The explore state (see ExploreState), for hosts that report how an import ended.
  LONG mExploreState() const { return state_.load(); }
  // Waits up to ms milliseconds for the worker to end; 1 when it has ended (or never ran).
  int mWaitForExplore(DWORD ms);

  // The robot's callback after each fetched or read object (user value: the SiteGlean).
  static bool PostExplore(SiteGlean* self, siteglean::WebSite& site, siteglean::WebObj* obj);

 private:
  void Init();
  static DWORD WorkerStart(LPVOID self);
  void Explore();
  void RecordLastFile(const char* path);

  std::atomic<LONG> pagesSeen_{0};
  std::atomic<siteglean::WebSite*> site_{nullptr};
  GleanedPage* homeView_ = nullptr;
  char* homeUrl_ = nullptr;
  char* localDir_ = nullptr;
  std::atomic<LONG> pageLimit_;  // settled by the worker, read by mPageCount
  LONG levelLimit_;
  std::atomic<LONG> state_{kIdle};
  char* lastFile_ = nullptr;
  char* localUrl_ = nullptr;
  char* homeFile_ = nullptr;
  LONG serverImport_;
  HANDLE worker_ = nullptr;
  CRITICAL_SECTION lock_;
  // The robot and its fetcher, made by the worker and kept for the views' lifetime.
  siteglean::Fetcher* fetcher_ = nullptr;
  siteglean::Robot* robot_ = nullptr;
  std::atomic<bool> stop_{false};  // this object is being destroyed
};
