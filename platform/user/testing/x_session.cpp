#include "platform/user/testing/x_session.h"

#include <cairo.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace halyard::user::testing {
namespace {

std::uint32_t Be32(const std::string& b, size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3]));
}

bool OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string p = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find(':', start);
    if (end == std::string::npos) end = p.size();
    std::string full = p.substr(start, end - start) + "/" + name;
    if (access(full.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

void Sleep(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

// Runs argv with the environment plus extra, output to the file (or a pipe read back).
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
            int outFd, bool errorsToo = true) {
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e) {
    bool replaced = false;
    for (auto& x : extraEnv) {
      size_t eq = x.find('=');
      if (std::strncmp(*e, x.c_str(), eq + 1) == 0) replaced = true;
    }
    if (!replaced) envStore.emplace_back(*e);
  }
  for (auto& x : extraEnv) envStore.push_back(x);
  std::vector<char*> env;
  for (auto& e : envStore) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  if (outFd >= 0) {
    posix_spawn_file_actions_adddup2(&fa, outFd, 1);
    if (errorsToo) {
      posix_spawn_file_actions_adddup2(&fa, outFd, 2);
    } else {
      posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    }
  }
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&fa);
  return rc == 0 ? pid : 0;
}

}  // namespace

COLORREF Screenshot::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  std::uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int Screenshot::Count(const RECT& r, COLORREF c) const {
  int n = 0;
  for (LONG y = r.top; y < r.bottom; ++y)
    for (LONG x = r.left; x < r.right; ++x) n += At(x, y) == c;
  return n;
}

bool Screenshot::SavePng(const std::string& path) const {
  if (width <= 0 || height <= 0) return false;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < height; ++y)
    std::memcpy(data + y * stride, &pixels[static_cast<size_t>(y) * static_cast<size_t>(width)],
                static_cast<size_t>(width) * 4);
  cairo_surface_mark_dirty(s);
  bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  return ok;
}

bool ParseXwd(const std::string& b, Screenshot& out, std::string* error) {
  auto fail = [&](const char* why) {
    if (error) *error = why;
    return false;
  };
  if (b.size() < 100) return fail("too short for a window dump");
  std::uint32_t header = Be32(b, 0), version = Be32(b, 4), format = Be32(b, 8);
  std::uint32_t w = Be32(b, 16), h = Be32(b, 20), byteOrder = Be32(b, 28);
  std::uint32_t bpp = Be32(b, 44), bpl = Be32(b, 48), colours = Be32(b, 76);
  if (version != 7 || format != 2) return fail("not a ZPixmap dump of version 7");
  // Lines are padded; pixels are packed in three or four bytes.
  std::uint32_t step = bpp == 32 ? 4 : bpp == 24 ? 3 : 0;
  if (step == 0 || w == 0 || h == 0 || w > 20000 || h > 20000 || bpl < w * step)
    return fail(("unsupported pixel layout: " + std::to_string(w) + "x" + std::to_string(h) + ", " +
                 std::to_string(bpp) + " bits a pixel, " + std::to_string(bpl) + " bytes a line")
                    .c_str());
  size_t start = static_cast<size_t>(header) + static_cast<size_t>(colours) * 12;
  if (start > b.size() || (b.size() - start) / bpl < h) return fail("truncated pixels");
  out.width = static_cast<int>(w);
  out.height = static_cast<int>(h);
  out.pixels.assign(static_cast<size_t>(w) * h, 0);
  for (std::uint32_t y = 0; y < h; ++y) {
    const unsigned char* row = reinterpret_cast<const unsigned char*>(b.data() + start + static_cast<size_t>(y) * bpl);
    for (std::uint32_t x = 0; x < w; ++x) {
      const unsigned char* p = row + step * x;
      std::uint32_t v = byteOrder == 0     ? (p[2] << 16 | p[1] << 8 | p[0])
                        : step == 4 ? (p[1] << 16 | p[2] << 8 | p[3])
                                    : (p[0] << 16 | p[1] << 8 | p[2]);
      out.pixels[static_cast<size_t>(y) * w + x] = v;
    }
  }
  return true;
}

XSession::XSession() = default;

XSession::~XSession() {
  for (pid_t p : launched_) Kill(p);
  if (server_ > 0) {
    kill(server_, SIGTERM);
    int st = 0;
    for (int i = 0; i < 50 && waitpid(server_, &st, WNOHANG) == 0; ++i) Sleep(0.02);
    if (waitpid(server_, &st, WNOHANG) == 0) {
      kill(server_, SIGKILL);
      waitpid(server_, &st, 0);
    }
  }
}

bool XSession::ToolsPresent(std::string* missing) {
  for (const char* t : {"Xvfb", "xdotool", "xwd"}) {
    if (!OnPath(t)) {
      if (missing) *missing = t;
      return false;
    }
  }
  return true;
}

bool XSession::Installed(const std::string& program) { return OnPath(program); }

bool XSession::Start(int width, int height, std::string* error) {
  // The server picks a free display number itself and writes it down once it takes clients
  // (-displayfd): choosing a number here by looking for its lock file would race with another
  // test starting its server at the same moment, and the loser would talk to the winner's.
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    if (error) *error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  // -noreset: the server would otherwise reset, refusing clients for a moment, each time its
  // last client leaves (between two xdotool runs, say).
  std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  server_ = Spawn({"Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"}, {},
                  pipeFds[1], false);
  close(pipeFds[1]);
  if (server_ <= 0) {
    close(pipeFds[0]);
    server_ = 0;
    if (error) *error = "cannot start Xvfb";
    return false;
  }
  std::string number;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until) {
    struct pollfd pfd = {pipeFds[0], POLLIN, 0};
    if (poll(&pfd, 1, 100) <= 0) continue;
    char buf[32];
    ssize_t n = read(pipeFds[0], buf, sizeof buf);
    if (n <= 0) break;  // the server ended
    number.append(buf, static_cast<size_t>(n));
  }
  close(pipeFds[0]);
  size_t digits = 0;
  while (digits < number.size() && number[digits] >= '0' && number[digits] <= '9') ++digits;
  if (digits > 0 && digits < number.size() && number[digits] == '\n') {
    display_ = ":" + number.substr(0, digits);
    for (int j = 0; j < 250; ++j) {
      bool ok = false;
      Xdotool({"getmouselocation"}, &ok);
      if (ok) return true;
      Sleep(0.02);
    }
    display_.clear();
  }
  kill(server_, SIGKILL);
  waitpid(server_, nullptr, 0);
  server_ = 0;
  if (error) *error = "Xvfb did not start";
  return false;
}

pid_t XSession::Launch(const std::vector<std::string>& argv, const std::string& logFile,
                       const std::vector<std::string>& extraEnv) {
  int fd = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> env = extraEnv;
  env.push_back("DISPLAY=" + display_);
  pid_t p = Spawn(argv, env, fd);
  if (fd >= 0) close(fd);
  if (p > 0) launched_.push_back(p);
  return p;
}

int XSession::WaitExit(pid_t pid, double seconds) {
  int st = 0;
  auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < until) {
    if (waitpid(pid, &st, WNOHANG) == pid) {
      std::erase(launched_, pid);
      return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    }
    Sleep(0.02);
  }
  Kill(pid);
  return -1;
}

bool XSession::Ended(pid_t pid, int* status) {
  int st = 0;
  if (pid <= 0 || waitpid(pid, &st, WNOHANG) != pid) return false;
  std::erase(launched_, pid);
  if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  return true;
}

void XSession::Kill(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  std::erase(launched_, pid);
}

std::string XSession::Xdotool(const std::vector<std::string>& args, bool* ok) {
  char path[] = "/tmp/halyard-xdotool-XXXXXX";
  int fd = mkstemp(path);
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_t p = Spawn(argv, {"DISPLAY=" + display_}, fd, false);
  int st = 0;
  if (p > 0) waitpid(p, &st, 0);
  std::string out;
  if (fd >= 0) {
    lseek(fd, 0, SEEK_SET);
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    close(fd);
  }
  unlink(path);
  if (ok) *ok = p > 0 && WIFEXITED(st) && WEXITSTATUS(st) == 0;
  return out;
}

unsigned long XSession::WaitForWindow(const std::string& name, double seconds) {
  auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < until) {
    bool ok = false;
    std::string out = Xdotool({"search", "--onlyvisible", "--name", name}, &ok);
    if (ok && !out.empty()) return std::stoul(out);
    Sleep(0.05);
  }
  return 0;
}

bool XSession::Geometry(unsigned long window, RECT* r) {
  bool ok = false;
  std::string out = Xdotool({"getwindowgeometry", "--shell", std::to_string(window)}, &ok);
  if (!ok) return false;
  auto value = [&](const char* key) {
    size_t at = out.find(std::string(key) + "=");
    return at == std::string::npos ? -1L : std::stol(out.substr(at + std::strlen(key) + 1));
  };
  long x = value("X"), y = value("Y"), w = value("WIDTH"), h = value("HEIGHT");
  if (w <= 0 || h <= 0) return false;
  *r = RECT{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + w), static_cast<LONG>(y + h)};
  return true;
}

bool XSession::Shoot(Screenshot& out, std::string* error) {
  char path[] = "/tmp/halyard-shot-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) {
    if (error) *error = "no scratch file";
    return false;
  }
  pid_t p = Spawn({"xwd", "-root", "-silent"}, {"DISPLAY=" + display_}, fd, false);
  int st = 0;
  if (p > 0) waitpid(p, &st, 0);
  std::string bytes;
  lseek(fd, 0, SEEK_SET);
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) bytes.append(buf, static_cast<size_t>(n));
  close(fd);
  unlink(path);
  if (p <= 0 || !WIFEXITED(st) || WEXITSTATUS(st) != 0) {
    if (error) *error = "xwd failed";
    return false;
  }
  return ParseXwd(bytes, out, error);
}

}  // namespace halyard::user::testing
