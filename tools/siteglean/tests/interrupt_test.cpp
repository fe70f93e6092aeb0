// Ctrl-C during a fetch: the tool stops the transfer, leaves no partial copy or temporary
// file behind, and exits 130 like a shell's interrupted command.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tools/common/tests/tool_run.h"

namespace {

namespace fs = std::filesystem;
using halyard::tool::test::ScratchDir;
using halyard::tool::test::ToolProcess;
using halyard::tool::test::ToolRun;

// A server on 127.0.0.1 that promises a long body, sends three bytes of it and then waits
// until the client goes away.
class StallingServer {
 public:
  StallingServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
      return;
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~StallingServer() {
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    if (thread_.joinable()) thread_.join();
  }
  int port() const { return port_; }
  bool answered() const { return answered_; }

 private:
  void Serve() {
    int client = accept(listener_, nullptr, nullptr);
    if (client < 0) return;
    char request[4096];
    if (recv(client, request, sizeof request, 0) > 0) {
      const std::string head =
          "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000000\r\n\r\nabc";
      if (send(client, head.data(), head.size(), MSG_NOSIGNAL) > 0) answered_ = true;
      char rest[256];
      while (recv(client, rest, sizeof rest, 0) > 0) {
      }
    }
    close(client);
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> answered_{false};
  std::thread thread_;
};

bool HasFiles(const fs::path& dir) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::end(it);
       it.increment(ec))
    if (it->is_regular_file()) return true;
  return false;
}

TEST(SitegleanTool, InterruptStopsTheFetchRemovesItsFilesAndExits130) {
  ScratchDir scratch;
  const fs::path root = scratch.path();
  fs::create_directories(root / "windir");
  std::ofstream(root / "windir" / "kvproxy.ini")
      << "[Cache]\r\nCacheDirectory=" << (root / "cache").string() << "\r\n";
  setenv("HALYARD_WINDIR", (root / "windir").c_str(), 1);

  StallingServer server;
  ASSERT_NE(server.port(), 0);
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/big.html";
  ToolProcess tool(SITEGLEAN_TOOL, {"fetch", url, "--dir", (root / "out").string()});
  ASSERT_TRUE(tool.Started());

  // Wait until the transfer has begun and its temporary file holds the first bytes.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!(server.answered() && HasFiles(root / "cache")) &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(server.answered());
  ASSERT_TRUE(HasFiles(root / "cache")) << "the fetch keeps no temporary file to clean up";

  tool.Signal(SIGINT);
  const ToolRun run = tool.Wait();
  EXPECT_EQ(run.code, 130) << run.err;
  EXPECT_NE(run.err.find("siteglean: interrupted\n"), std::string::npos) << run.err;
  EXPECT_FALSE(HasFiles(root / "cache"));
  EXPECT_FALSE(HasFiles(root / "out"));
  unsetenv("HALYARD_WINDIR");
}

// A site whose home page links fifty pages that each take a while to arrive.
class SlowSite {
 public:
  SlowSite() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
      return;
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~SlowSite() {
    stop_ = true;
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    if (thread_.joinable()) thread_.join();
  }
  int port() const { return port_; }
  int pagesAsked() const { return pages_; }

 private:
  void Serve() {
    while (!stop_) {
      int client = accept(listener_, nullptr, nullptr);
      if (client < 0) return;
      char request[4096];
      ssize_t n = recv(client, request, sizeof request - 1, 0);
      std::string head(request, n > 0 ? static_cast<std::size_t>(n) : 0);
      std::string body;
      bool slow = false;
      if (head.rfind("GET /index.htm ", 0) == 0) {
        body = "<TITLE>Slow site</TITLE>";
        for (int i = 1; i <= 50; ++i)
          body += "<A HREF=\"p" + std::to_string(i) + ".htm\">p</A>";
      } else if (head.rfind("GET /p", 0) == 0) {
        body = "<TITLE>P</TITLE>" + std::string(200, ' ');
        slow = true;
        ++pages_;
      }
      std::string reply = body.empty()
                              ? std::string("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n")
                              : "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n";
      send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
      for (std::size_t i = 0; i < body.size() && !stop_; i += 50) {
        if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(40));
        send(client, body.data() + i, std::min<std::size_t>(50, body.size() - i), MSG_NOSIGNAL);
      }
      close(client);
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> pages_{0};
  std::thread thread_;
};

TEST(SitegleanTool, InterruptStopsTheImportAndStillPrintsWhatItGot) {
  ScratchDir scratch;
  const fs::path root = scratch.path();
  fs::create_directories(root / "windir");
  std::ofstream(root / "windir" / "kvproxy.ini")
      << "[Cache]\r\nCacheDirectory=" << (root / "cache").string() << "\r\n";
  setenv("HALYARD_WINDIR", (root / "windir").c_str(), 1);

  SlowSite site;
  ASSERT_NE(site.port(), 0);
  const std::string home = "http://127.0.0.1:" + std::to_string(site.port()) + "/index.htm";
  ToolProcess tool(SITEGLEAN_TOOL, {"import", home, (root / "out").string()});
  ASSERT_TRUE(tool.Started());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (site.pagesAsked() < 3 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_GE(site.pagesAsked(), 3);

  tool.Signal(SIGINT);
  const ToolRun run = tool.Wait();
  EXPECT_EQ(run.code, 130) << run.err;
  EXPECT_NE(run.err.find("siteglean: interrupted\n"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.rfind("page " + home + " index.htm \"Slow site\"\n", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("  page http://127.0.0.1:" + std::to_string(site.port()) + "/p50.htm"),
            std::string::npos);
  EXPECT_NE(run.out.find(" pages, 0 other objects, robots rules not in force, "),
            std::string::npos);
  EXPECT_LT(site.pagesAsked(), 50);
  unsetenv("HALYARD_WINDIR");
}

}  // namespace
