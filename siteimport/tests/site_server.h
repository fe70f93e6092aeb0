// A generated web site served on 127.0.0.1 for the crawler's tests: a table of paths and their
// answers (200 with a type and body, a redirect, or any status), 404 for the rest. It keeps the
// paths in the order they were asked for. Built on the fetching tests' server.
#pragma once

#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/testing/scratch_dir.h"
#include "test_http_server.h"

namespace siteglean::testing {

class SiteServer {
 public:
  SiteServer() : server_([this](const std::string& head) { return Answer(head); }) {}

  void Page(const std::string& path, const std::string& body,
            const std::string& type = "text/html") {
    std::lock_guard<std::mutex> l(mu_);
    replies_[path] = Ok(body, type);
  }
  void Status(const std::string& path, int status, const std::string& extra = "") {
    std::lock_guard<std::mutex> l(mu_);
    std::string body = "<HTML><BODY>status " + std::to_string(status) + "</BODY></HTML>";
    replies_[path] = {"HTTP/1.0 " + std::to_string(status) + " X\r\nContent-Type: text/html\r\n" +
                          extra + "Content-length: " + std::to_string(body.size()) + "\r\n\r\n" +
                          body,
                      0};
  }
  void Slow(const std::string& path, const std::string& body, int delayMs) {
    std::lock_guard<std::mutex> l(mu_);
    Reply r = Ok(body);
    r.chunkDelayMs = delayMs;
    replies_[path] = r;
  }

  std::string Url(const std::string& path) const { return server_.Url(path); }
  std::string Host() const { return "127.0.0.1:" + std::to_string(server_.Port()); }
  std::vector<std::string> Asked() {
    std::lock_guard<std::mutex> l(mu_);
    return asked_;
  }
  bool WasAsked(const std::string& path) {
    for (const std::string& p : Asked())
      if (p == path) return true;
    return false;
  }

 private:
  Reply Answer(const std::string& head) {
    std::size_t s = head.find(' ');
    std::size_t e = head.find(' ', s + 1);
    std::string path = s == std::string::npos ? "" : head.substr(s + 1, e - s - 1);
    std::lock_guard<std::mutex> l(mu_);
    asked_.push_back(path);
    auto it = replies_.find(path);
    if (it != replies_.end()) return it->second;
    std::string body = "<HTML><BODY>not found</BODY></HTML>";
    return {"HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\nContent-length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body,
            0};
  }

  std::mutex mu_;
  std::map<std::string, Reply> replies_;
  std::vector<std::string> asked_;
  TestHttpServer server_;
};

// The robot computes its temporary folder and agent text once per process, so the settings
// folder (with a settings file naming the cache) is the process's; tests keep their copies in
// folders of their own.
inline void UseProcessSettings() {
  static halyard::testing::ScratchDir shared("siteglean-env");
  static const bool written = [] {
    halyard::testing::ScratchDir::Write(shared.Join("kvproxy.ini"),
                                        "[Cache]\r\nCacheDirectory=" + shared.Join("cache") + "\r\n");
    return true;
  }();
  (void)written;
  setenv("HALYARD_WINDIR", shared.path().c_str(), 1);
  setenv("HALYARD_COMPUTERNAME", "TESTBOX", 1);
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
}

}  // namespace siteglean::testing
