// A small HTTP server on 127.0.0.1 for the fetching tests: each connection's request head is
// handed to a handler, which answers with raw response bytes (optionally sent slowly). It keeps
// every request head it saw. Runs one thread; stopped by its destructor.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace siteglean::testing {

struct Reply {
  std::string bytes;
  int chunkDelayMs = 0;  // > 0: the body trickles out 16 bytes at a time
};

class TestHttpServer {
 public:
  using Handler = std::function<Reply(const std::string& head)>;

  explicit TestHttpServer(Handler handler) : handler_(std::move(handler)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 64);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Loop(); });
  }

  ~TestHttpServer() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }

  int Port() const { return port_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::vector<std::string> Heads() {
    std::lock_guard<std::mutex> l(mu_);
    return heads_;
  }

 private:
  void Loop() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) continue;
      Serve(c);
      ::close(c);
    }
  }

  void Serve(int c) {
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
      pollfd p{c, POLLIN, 0};
      if (::poll(&p, 1, 2000) <= 0) return;
      ssize_t n = ::recv(c, buf, sizeof buf, 0);
      if (n <= 0) return;
      head.append(buf, static_cast<std::size_t>(n));
    }
    {
      std::lock_guard<std::mutex> l(mu_);
      heads_.push_back(head);
    }
    Reply r = handler_(head);
    if (r.chunkDelayMs <= 0) {
      Send(c, r.bytes);
      return;
    }
    std::size_t body = r.bytes.find("\r\n\r\n");
    body = body == std::string::npos ? 0 : body + 4;
    Send(c, r.bytes.substr(0, body));
    for (std::size_t i = body; i < r.bytes.size() && !stop_; i += 16) {
      std::this_thread::sleep_for(std::chrono::milliseconds(r.chunkDelayMs));
      if (!Send(c, r.bytes.substr(i, 16))) return;
    }
  }

  static bool Send(int c, const std::string& s) {
    std::size_t off = 0;
    while (off < s.size()) {
      ssize_t n = ::send(c, s.data() + off, s.size() - off, MSG_NOSIGNAL);
      if (n <= 0) return false;
      off += static_cast<std::size_t>(n);
    }
    return true;
  }

  Handler handler_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mu_;
  std::vector<std::string> heads_;
};

inline Reply Ok(const std::string& body, const std::string& type = "text/html",
                bool withLength = true) {
  std::string r = "HTTP/1.0 200 OK\r\nServer: TestServer/1.0\r\nContent-Type: " + type + "\r\n";
  if (withLength) r += "Content-length: " + std::to_string(body.size()) + "\r\n";
  r += "Last-modified: Sat, 29 Sep 1973 23:59:00 GMT\r\n\r\n" + body;
  return {r, 0};
}

}  // namespace siteglean::testing
