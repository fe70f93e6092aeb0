// Fetches one URL for the robot over libcurl into a temporary file: the request with the
// robot's Accept and User-Agent lines, HTTP/1.0, GET or HEAD, the proxy and its bypass list,
// basic authentication with the credentials of the settings file, and the response record.
// With threading on (setting 15, the default) each transfer runs on the fetcher's own thread
// while the caller waits in steps of 180 ms and asks its abort hook between them.
// A Fetcher is used by one exploring thread; it owns its fetch thread.
#pragma once

#include "platform/kernel/export.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "config_store.h"
#include "platform/kernel/win_thread.h"
#include "response_head.h"

namespace siteglean {

constexpr int kFetchLoadError = -1;
constexpr int kFetchThreadLost = -2;
constexpr int kFetchAborted = -112;
constexpr int kFetchLoaded = 29999;

struct FetchRequest {
  std::string url;
  bool checkOnly = false;
  ResponseRecord response;
  std::string tempName;  // the temporary file (a Windows path); empty when nothing was kept
  int result = 0;
};

class Fetcher {
 public:
  // Answers true to stop the fetch that is running.
  using AbortHook = std::function<bool()>;
  // Asked for credentials when the settings have none and prompting is on.
  using CredentialsPrompt = std::function<bool(const std::string& host, const std::string& realm,
                                               std::string* user, std::string* password)>;

  // Seconds without progress after which a transfer is given up (the robot has no user to
  // wait for a server that never answers).
  static constexpr long kConnectTimeout = 30;
  static constexpr long kStallSeconds = 60;

  Fetcher();
  ~Fetcher();
  Fetcher(const Fetcher&) = delete;
  Fetcher& operator=(const Fetcher&) = delete;

  // The result: >= 0 success (the temporary file name is set unless check only), -1 load
  // error, -2 fetch thread lost, -112 aborted by the abort hook.
  int Fetch(FetchRequest& request);

  void SetAbortHook(AbortHook hook) { abortHook_ = std::move(hook); }
  void SetCredentialsPrompt(CredentialsPrompt prompt) { prompt_ = std::move(prompt); }
  bool Threaded() const { return threaded_; }

  // Sets up the transfer library once per process. Called on the host's thread when an
  // import is created, so that its process-wide state does not belong to a worker thread.
  static void InitLibrary();

  // The directory of temporary files (setting 1, created when missing), once per process.
  static const std::string& TempDirectory();

  // Whether the URL's host reaches the server without the proxy (settings 6 to 8).
  bool Bypassed(const std::string& url) const;
  // The credentials for a host and realm from settings 13 and 14.
  bool FindCredentials(const std::string& host, const std::string& realm, std::string* user,
                       std::string* password) const;

 private:
  struct Transfer;
  void RunTransfer(Transfer& t);
  void ThreadMain();
  static DWORD ThreadStart(LPVOID fetcher);

  ConfigStore config_;
  void* curl_ = nullptr;  // one easy handle for every transfer: it keeps the host name cache
  bool threaded_ = true;
  bool authOn_ = false;
  bool authPrompt_ = false;
  std::string proxy_;
  std::vector<std::string> bypass_;
  AbortHook abortHook_;
  CredentialsPrompt prompt_;

  // The fetch thread and its one job slot.
  HANDLE thread_ = nullptr;
  std::mutex mu_;
  std::condition_variable cv_;
  Transfer* job_ = nullptr;
  bool jobDone_ = false;
  bool quit_ = false;
};

}  // namespace siteglean
