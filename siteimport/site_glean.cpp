#include "site_glean.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "fetcher.h"
#include "local_store.h"
#include "mime_table.h"
#include "platform/kernel/win_thread.h"
#include "robot.h"
#include "trace.h"
#include "web_site.h"

using siteglean::Trace;
using siteglean::WebObj;
using siteglean::WebSite;

namespace {

// Shared by every import of the process: an abort stops them all, a new SiteGlean clears both.
std::atomic<LONG> gAbort{0};
std::atomic<LONG> gFinished{0};
// The robot's object limit, raised by an exploration with a larger page limit.
std::atomic<LONG> gObjectLimit{100000};

char* CopyText(const char* s) {
  if (s == nullptr) return nullptr;
  std::size_t n = std::strlen(s) + 1;
  char* c = static_cast<char*>(std::malloc(n));
  if (c == nullptr) siteglean::RobotFatal("CAN'T GET DYNAMIC MEMORY");
  std::memcpy(c, s, n);
  return c;
}

// Copies text into a buffer of len bytes, cut to fit with its terminating zero.
void CopyCut(const std::string& text, char* buf, int len) {
  if (buf == nullptr || len <= 0) return;
  std::size_t n = text.size();
  if (n > static_cast<std::size_t>(len) - 1) n = static_cast<std::size_t>(len) - 1;
  std::memcpy(buf, text.data(), n);
  buf[n] = '\0';
}

// The full local path of an object, as a page view gives it.
std::string FullPath(WebSite& site, WebObj* obj) {
  GleanedPage view(&site, obj);
  char buf[1024];
  view.mGetPathName(buf, sizeof buf);
  return buf;
}

}  // namespace

void* SiteGlean::operator new(std::size_t size) {
  void* p = std::malloc(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void SiteGlean::operator delete(void* p) { std::free(p); }

SiteGlean::SiteGlean(const char* url, const char* localDir, LONG levelLimit, LONG pageLimit)
    : pageLimit_(pageLimit), levelLimit_(levelLimit), serverImport_(1) {
  homeUrl_ = CopyText(url);
  localDir_ = CopyText(localDir);
  Init();
}

SiteGlean::SiteGlean(const char* homeFile, LONG levelLimit, LONG pageLimit, const char* url)
    : pageLimit_(pageLimit), levelLimit_(levelLimit), serverImport_(0) {
  localUrl_ = CopyText(url);
  homeFile_ = CopyText(homeFile);
  Init();
}

void SiteGlean::Init() {
  gAbort = 0;
  gFinished = 0;
  InitializeCriticalSection(&lock_);
  Trace("\nInitialize Core\n\n");
  siteglean::MimeTable::Instance().UseLowerCaseHtmlSuffixes();
  siteglean::Fetcher::InitLibrary();
}

SiteGlean::~SiteGlean() {
  if (worker_ != nullptr) {
    // The worker stops at its next step, and a transfer under way is cut short.
    stop_ = true;
    WaitForSingleObject(worker_, INFINITE);
    CloseHandle(worker_);
    worker_ = nullptr;
  }
  delete homeView_;
  delete robot_;
  delete fetcher_;
  delete site_.load();
  std::free(homeUrl_);
  std::free(localDir_);
  std::free(lastFile_);
  std::free(localUrl_);
  std::free(homeFile_);
  DeleteCriticalSection(&lock_);
}

int SiteGlean::mExplore() {
  if (worker_ != nullptr) return 0;
  worker_ = CreateThread(nullptr, 0, WorkerStart, this, 0, nullptr);
  return worker_ != nullptr ? 1 : 0;
}

int SiteGlean::mWaitForExplore(DWORD ms) {
  if (worker_ == nullptr) return 1;
  return WaitForSingleObject(worker_, ms) == WAIT_OBJECT_0 ? 1 : 0;
}

void SiteGlean::mAbortTransfer() { gAbort = 1; }

ULONG SiteGlean::mPageCount() {
  LONG c = pagesSeen_.load();
  if (c <= 0) return 0;
  if (c == 1) return 1;
  return static_cast<ULONG>(c >= pageLimit_ ? c - 1 : c);
}

int SiteGlean::mGetLastTransferedFile(char* buf, LONG len, LONG) {
  int ok = 0;
  EnterCriticalSection(&lock_);
  if (lastFile_ != nullptr && buf != nullptr && len > 0 &&
      std::strlen(lastFile_) < static_cast<std::size_t>(len)) {
    std::strcpy(buf, lastFile_);
    ok = 1;
  }
  LeaveCriticalSection(&lock_);
  return ok;
}

GleanedPage* SiteGlean::mHomePage() {
  WebSite* site = site_.load();
  if (site == nullptr || site->home == nullptr) return nullptr;
  if (homeView_ == nullptr) homeView_ = new GleanedPage(site, site->home);
  return homeView_;
}

int SiteGlean::mLocateURL(const char* url, char* path, int pathLen, char* title, int titleLen,
                          char* absUrl, int absUrlLen) {
  WebSite* site = site_.load();
  if (site == nullptr || url == nullptr || site->home == nullptr) return 0;
  siteglean::UrlParts parts;
  if (!siteglean::SplitUrl(url, &parts)) return 0;
  siteglean::ResolveAgainst(&parts, site->home->url->parts);
  const std::string& homeFile = site->home->url->parts.file;
  siteglean::UrlNode* node = site->Urls().Find(parts, homeFile);
  if (node == nullptr || node->obj == nullptr) return 0;
  WebObj* obj = node->obj;
  if (!(obj->flags & siteglean::kObjFetched)) return 0;
  std::string local = FullPath(*site, obj);
  if (local.empty() && site->IsUnderBase(node)) {
    std::string rel;
    if (siteglean::LocalName(node, homeFile, &rel)) {
      std::string root = site->LocalRoot();
      if (!root.empty() && root.back() == '/' && !rel.empty() && rel.front() == '/')
        root.pop_back();
      local = root + rel;
    }
  }
  CopyCut(local, path, pathLen);
  CopyCut(obj->IsPage() && obj->title ? std::string(obj->title) : std::string(), title, titleLen);
  CopyCut(node->full, absUrl, absUrlLen);
  return 1;
}

int SiteGlean::mRobotsRulesInForce() {
  return robot_ != nullptr && site_.load() != nullptr && robot_->RobotsInForce() ? 1 : 0;
}

DWORD SiteGlean::WorkerStart(LPVOID self) {
  static_cast<SiteGlean*>(self)->Explore();
  return 0;
}

void SiteGlean::RecordLastFile(const char* path) {
  EnterCriticalSection(&lock_);
  std::free(lastFile_);
  lastFile_ = CopyText(path);
  LeaveCriticalSection(&lock_);
}

bool SiteGlean::PostExplore(SiteGlean* self, WebSite& site, WebObj* obj) {
  if (gFinished.load() != 0) return false;
  std::string path = FullPath(site, obj);
  if (path.size() > 255) path.resize(255);
  Trace("postExploreCallback - LocalPath = (%s)\n", path.empty() ? "n/a" : path.c_str());
  self->RecordLastFile(path.c_str());
  if ((obj->flags & siteglean::kObjOnSite) && obj->IsPage()) ++self->pagesSeen_;
  return true;
}

void SiteGlean::Explore() {
  Trace("\nMake and Explore Site\n\n");
  LONG limit = gObjectLimit.load();
  if (pageLimit_ >= limit) {
    // Five times the page limit, held within 32 bits.
    limit = static_cast<LONG>(std::min<std::int64_t>(5 * std::int64_t{pageLimit_}, 0x7FFFFFFF));
    gObjectLimit = limit;
  } else if (pageLimit_ < 0) {
    pageLimit_ = limit;
  }
  if (levelLimit_ < 0) levelLimit_ = 10000;

  try {
    auto* site = new WebSite;
    fetcher_ = new siteglean::Fetcher;
    fetcher_->SetAbortHook([this] { return stop_.load(); });
    robot_ = new siteglean::Robot(*site, *fetcher_);
    robot_->SetPostExplore([this](WebSite& s, WebObj* obj) { return PostExplore(this, s, obj); });
    site_ = site;
    bool built =
        serverImport_
            ? robot_->BuildServerSite(homeUrl_ ? homeUrl_ : "", localDir_ ? localDir_ : "")
            : robot_->BuildLocalSite(homeFile_ ? homeFile_ : "", localUrl_ ? localUrl_ : "");
    if (!built || site->home == nullptr || site->home->url->status != siteglean::kStatusFetched) {
      Trace("Failed to get homepage for site \n");
      state_ = kHomePageFailed;
      return;
    }
    state_ = kExploring;
    int answer = robot_->Start(limit, levelLimit_, true);
    while (answer == siteglean::kRobotMore) {
      if (gAbort.load() != 0 || stop_.load() || pagesSeen_.load() > pageLimit_) break;
      robot_->ReorderQueue();
      answer = robot_->Step();
    }
    if (answer == siteglean::kRobotDiskFull) {
      Trace("Error.  Out of Space!\n");
      state_ = kOutOfSpace;
      gFinished = 1;
      return;
    }
    gFinished = 1;
    state_ = kFinished;
  } catch (const std::bad_alloc&) {
    siteglean::RobotFatal("CAN'T GET DYNAMIC MEMORY");
  } catch (const std::exception&) {
    // The site could not be built: the state stays as it was.
  }
}
