#include "fetcher.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netdb.h>
#include <sys/socket.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>

#include "platform/kernel/file_system.h"
#include "platform/kernel/text.h"
#include "platform/kernel/win_file.h"
#include "platform/kernel/win_path.h"
#include "user_agent.h"

namespace siteglean {

using halyard::MapWinPath;
using halyard::WinFile;
using halyard::WinRemoveFile;
namespace {

constexpr const char* kAcceptLine =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";

std::once_flag gCurlOnce;
void InitCurl() { curl_global_init(CURL_GLOBAL_DEFAULT); }

// The temporary-name counter runs for the life of the process from a seed taken from the time.
std::atomic<unsigned> gTempCounter{[] {
  std::minstd_rand r(static_cast<unsigned>(std::time(nullptr)));
  return static_cast<unsigned>(r() % 100000);
}()};

// The host of a URL: the text after "//" up to ":" or "/".
std::string HostOf(const std::string& url) {
  std::size_t s = url.find("//");
  if (s == std::string::npos) return {};
  s += 2;
  std::size_t e = url.find_first_of(":/", s);
  std::string host = url.substr(s, e == std::string::npos ? std::string::npos : e - s);
  std::size_t at = host.rfind('@');
  return at == std::string::npos ? host : host.substr(at + 1);
}

bool IsNumericHost(const std::string& h) {
  in_addr a4;
  in6_addr a6;
  return inet_pton(AF_INET, h.c_str(), &a4) == 1 || inet_pton(AF_INET6, h.c_str(), &a6) == 1;
}

// The host name a numeric address resolves to by reverse lookup; empty when it has none.
std::string ReverseLookup(const std::string& addr) {
  sockaddr_storage ss{};
  socklen_t len = 0;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&ss);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&ss);
  if (inet_pton(AF_INET, addr.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    len = sizeof *v4;
  } else if (inet_pton(AF_INET6, addr.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    len = sizeof *v6;
  } else {
    return {};
  }
  char host[NI_MAXHOST];
  if (getnameinfo(reinterpret_cast<sockaddr*>(&ss), len, host, sizeof host, nullptr, 0,
                  NI_NAMEREQD) != 0)
    return {};
  return host;
}

// The realm of a 401 answer's "WWW-Authenticate:" field.
std::string RealmOf(const std::string& head) {
  std::size_t at = std::string::npos;
  for (std::size_t i = 0; i + 6 <= head.size(); ++i)
    if (halyard::StartsWithNoCaseAscii(std::string_view(head).substr(i), "realm=")) {
      at = i + 6;
      break;
    }
  if (at == std::string::npos) return {};
  std::size_t end;
  if (at < head.size() && head[at] == '"') {
    ++at;
    end = head.find('"', at);
  } else {
    end = head.find_first_of(" ,\r\n", at);
  }
  if (end == std::string::npos) end = head.size();
  return head.substr(at, end - at);
}

}  // namespace

struct Fetcher::Transfer {
  FetchRequest* request = nullptr;
  WinFile* out = nullptr;
  std::atomic<bool> abort{false};
  const AbortHook* inlineHook = nullptr;  // asked during the transfer when not threaded
  int result = 0;
};

namespace {

std::size_t WriteBody(char* data, std::size_t size, std::size_t n, void* user) {
  auto* out = static_cast<WinFile*>(user);
  std::size_t bytes = size * n;
  if (out == nullptr) return bytes;
  return out->Write(data, bytes) ? bytes : 0;
}

std::size_t ReadHead(char* data, std::size_t size, std::size_t n, void* user) {
  static_cast<ResponseRecord*>(user)->Feed(std::string_view(data, size * n));
  return size * n;
}

}  // namespace

void Fetcher::InitLibrary() { std::call_once(gCurlOnce, InitCurl); }

Fetcher::Fetcher() {
  InitLibrary();
  threaded_ = config_.Int(kSetThreading) != 0;
  authOn_ = config_.Int(kSetAuthEnabled) != 0 && !config_.List(kSetServerRealm).empty();
  authPrompt_ = config_.Int(kSetAuthPrompt) != 0;
  if (config_.Int(kSetProxyEnabled) != 0) {
    std::vector<std::string> proxies = config_.List(kSetProxyList);
    if (!proxies.empty() && !proxies[0].empty()) {
      proxy_ = proxies[0];
      if (!halyard::StartsWithNoCaseAscii(proxy_, "http://")) proxy_ = "http://" + proxy_;
    }
  }
  if (config_.Int(kSetBypassEnabled) != 0) {
    for (const std::string& entry : config_.List(kSetBypassList)) {
      bypass_.push_back(entry);
      // A numeric entry also stands for the name its address resolves to (looked up once).
      if (IsNumericHost(entry)) {
        std::string name = ReverseLookup(entry);
        if (!name.empty()) bypass_.push_back(name);
      }
    }
  }
  if (threaded_) {
    thread_ = CreateThread(nullptr, 0, &Fetcher::ThreadStart, this, 0, nullptr);
    if (thread_ == nullptr) threaded_ = false;
  }
}

Fetcher::~Fetcher() {
  if (thread_ != nullptr) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      quit_ = true;
    }
    cv_.notify_all();
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  if (curl_ != nullptr) curl_easy_cleanup(static_cast<CURL*>(curl_));
}

const std::string& Fetcher::TempDirectory() {
  static std::string dir = [] {
    std::string d = ConfigStore().String(kSetCacheDirectory);
    halyard::MakeFolders(MapWinPath(d));
    return d;
  }();
  return dir;
}

namespace {

// A new temporary file, created exclusively (an existing file or link of that name is never
// opened), open for binary writing; null when none can be made.
std::unique_ptr<WinFile> OpenTempFile(std::string* name) {
  std::string dir = Fetcher::TempDirectory();
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  for (int tries = 0; tries < 100000; ++tries) {
    *name = dir + "Z" + std::to_string(gTempCounter++);
    if (auto f = WinFile::Open(*name, "wbx")) return f;
    if (errno != EEXIST) break;
  }
  name->clear();
  return nullptr;
}

}  // namespace


bool Fetcher::Bypassed(const std::string& url) const {
  std::string host = HostOf(url);
  if (host.empty()) return false;
  for (const std::string& entry : bypass_) {
    // Compared over the host's length, without regard to case.
    if (halyard::StartsWithNoCaseAscii(entry, host))
      return true;
  }
  return false;
}

bool Fetcher::FindCredentials(const std::string& host, const std::string& realm, std::string* user,
                              std::string* password) const {
  bool known = false;
  for (const std::string& e : config_.List(kSetServerRealm)) {
    std::size_t slash = e.find('/');
    if (slash == std::string::npos) continue;
    if (slash == host.size() && halyard::StartsWithNoCaseAscii(e, host) &&
        e.compare(slash + 1, std::string::npos, realm) == 0) {
      known = true;
      break;
    }
  }
  if (!known) return false;
  std::string prefix = realm + "/";
  for (const std::string& e : config_.List(kSetRealmUserPassword)) {
    if (e.compare(0, prefix.size(), prefix) != 0) continue;
    std::string rest = e.substr(prefix.size());
    std::size_t slash = rest.find('/');
    *user = rest.substr(0, slash);
    *password = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
    return true;
  }
  return false;
}

void Fetcher::RunTransfer(Transfer& t) {
  FetchRequest& r = *t.request;
  if (curl_ == nullptr) curl_ = curl_easy_init();
  CURL* curl = static_cast<CURL*>(curl_);
  if (curl == nullptr) {
    t.result = kFetchLoadError;
    return;
  }
  curl_slist* headers = nullptr;
  headers = curl_slist_append(headers, kAcceptLine);
  headers = curl_slist_append(headers, ProcessUserAgent().c_str());
  char errbuf[CURL_ERROR_SIZE] = {};

  auto progress = +[](void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) -> int {
    auto* tr = static_cast<Transfer*>(user);
    if (tr->inlineHook != nullptr && *tr->inlineHook && (*tr->inlineHook)()) tr->abort = true;
    return tr->abort ? 1 : 0;
  };

  std::string user, password;
  bool triedCredentials = false;
  CURLcode code = CURLE_OK;
  for (;;) {
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, r.url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_NOBODY, r.checkOnly ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 8L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, t.out);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, ReadHead);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &r.response);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeout);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FILETIME, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errbuf);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https,ftp,file,gopher");
    // Without a proxy of our own no proxy at all: the environment's does not count.
    bool useProxy = !proxy_.empty() && !Bypassed(r.url);
    curl_easy_setopt(curl, CURLOPT_PROXY, useProxy ? proxy_.c_str() : "");
    if (!user.empty() || !password.empty()) {
      curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
      curl_easy_setopt(curl, CURLOPT_USERNAME, user.c_str());
      curl_easy_setopt(curl, CURLOPT_PASSWORD, password.c_str());
    }
    code = curl_easy_perform(curl);
    if (code == CURLE_OK && r.response.status == 401 && authOn_ && !triedCredentials) {
      std::string realm = RealmOf(r.response.head);
      std::string host = HostOf(r.url);
      bool found = !realm.empty() && FindCredentials(host, realm, &user, &password);
      if (!found && authPrompt_ && prompt_) found = prompt_(host, realm, &user, &password);
      if (found) {
        // One more try with the credentials, from a clean response and an empty file.
        triedCredentials = true;
        r.response.Reset();
        if (t.out) {
          t.out->Seek(0);
          t.out->Truncate(0);
        }
        continue;
      }
    }
    break;
  }

  bool http = halyard::StartsWithNoCaseAscii(r.url, "http://") || halyard::StartsWithNoCaseAscii(r.url, "https://");
  if (!http) {
    // Other access gives no head: size and time come from the transfer.
    r.response.Reset();
    if (code == CURLE_OK) {
      curl_off_t len = -1, when = -1;
      curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &len);
      curl_easy_getinfo(curl, CURLINFO_FILETIME_T, &when);
      if (len >= 0 && len <= 0x7FFFFFFF) r.response.contentLength = static_cast<std::int32_t>(len);
      r.response.lastModified = when > 0 ? when : 0;
    }
  }
  if (http && code == CURLE_OK) {
    long redirects = 0, last = 0;
    curl_easy_getinfo(curl, CURLINFO_REDIRECT_COUNT, &redirects);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &last);
    if (redirects > 0 && last > 0 && last <= 0xFFFF)
      r.response.finalStatus = static_cast<std::uint16_t>(last);
  }
  if (code == CURLE_ABORTED_BY_CALLBACK) {
    t.result = kFetchAborted;
  } else if (code != CURLE_OK || r.response.status >= 400 || r.response.finalStatus >= 400) {
    t.result = kFetchLoadError;
  } else {
    t.result = kFetchLoaded;
  }
  curl_slist_free_all(headers);
}

DWORD Fetcher::ThreadStart(LPVOID fetcher) {
  static_cast<Fetcher*>(fetcher)->ThreadMain();
  return 0;
}

void Fetcher::ThreadMain() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    cv_.wait(lock, [&] { return quit_ || (job_ != nullptr && !jobDone_); });
    if (quit_) return;
    Transfer* t = job_;
    lock.unlock();
    RunTransfer(*t);
    lock.lock();
    jobDone_ = true;
    cv_.notify_all();
  }
}

int Fetcher::Fetch(FetchRequest& r) {
  r.response.Reset();
  r.tempName.clear();
  r.result = 0;
  std::string temp;
  auto out = OpenTempFile(&temp);
  if (!out) {
    r.response.status = 106;
    r.result = kFetchLoadError;
    return r.result;
  }

  Transfer t;
  t.request = &r;
  t.out = out.get();
  if (!threaded_) {
    t.inlineHook = &abortHook_;
    RunTransfer(t);
  } else {
    std::unique_lock<std::mutex> lock(mu_);
    if (thread_ == nullptr) {
      out->Close();
      WinRemoveFile(temp);
      return r.result = kFetchThreadLost;
    }
    job_ = &t;
    jobDone_ = false;
    cv_.notify_all();
    // Wait in steps of 180 ms, asking the abort hook between them.
    while (!cv_.wait_for(lock, std::chrono::milliseconds(180), [&] { return jobDone_; })) {
      if (abortHook_ && !t.abort) {
        lock.unlock();
        bool stop = abortHook_();
        lock.lock();
        if (stop) t.abort = true;
      }
    }
    job_ = nullptr;
  }

  bool written = out->Close();
  if (t.result == kFetchLoaded && !written) t.result = kFetchLoadError;
  if (t.result < 0) {
    WinRemoveFile(temp);
    return r.result = t.result;
  }
  if (r.response.status == 111) r.response.status = 200;
  if (r.checkOnly) {
    WinRemoveFile(temp);
    return r.result = 0;
  }
  r.tempName = temp;
  return r.result = t.result;
}

}  // namespace siteglean
