#include "win_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "win_path.h"

namespace halyard {
namespace {

constexpr std::size_t kBufSize = 64 * 1024;

}  // namespace

std::unique_ptr<WinFile> WinFile::Open(std::string_view winPath, std::string_view mode) {
  if (mode.empty()) {
    errno = EINVAL;
    return nullptr;
  }
  bool plus = mode.find('+') != std::string_view::npos;
  bool binary = mode.find('b') != std::string_view::npos;
  bool excl = mode.find('x') != std::string_view::npos;
  int flags = O_CLOEXEC;
  switch (mode[0]) {
    case 'r':
      flags |= plus ? O_RDWR : O_RDONLY;
      break;
    case 'w':
      flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | (excl ? O_EXCL : O_TRUNC);
      break;
    case 'a':
      flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
      break;
    default:
      errno = EINVAL;
      return nullptr;
  }
  std::string path = MapWinPath(winPath);
  if (path.empty()) {
    errno = ENOENT;
    return nullptr;
  }
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return nullptr;
  }
  return std::make_unique<WinFile>(fd, !binary, true);
}

WinFile::WinFile(int fd, bool text, bool own)
    : fd_(fd), text_(text), own_(own), rbuf_(new char[kBufSize]) {}

WinFile::~WinFile() { Close(); }

bool WinFile::Refill() {
  // Keep what is unread (a CR waiting for its partner) at the front.
  if (rpos_ > 0) {
    std::memmove(rbuf_.get(), rbuf_.get() + rpos_, rlen_ - rpos_);
    rbase_ += static_cast<std::int64_t>(rpos_);
    rlen_ -= rpos_;
    rpos_ = 0;
  }
  if (!reading_) {
    if (!Flush()) return false;
    off_t at = ::lseek(fd_, 0, SEEK_CUR);
    rbase_ = at < 0 ? 0 : at;
    rlen_ = rpos_ = 0;
    reading_ = true;
  }
  for (;;) {
    ssize_t got = ::read(fd_, rbuf_.get() + rlen_, kBufSize - rlen_);
    if (got > 0) {
      rlen_ += static_cast<std::size_t>(got);
      return true;
    }
    if (got == 0) return false;
    if (errno == EINTR) continue;
    error_ = true;
    return false;
  }
}

int WinFile::GetC() {
  if (fd_ < 0) return -1;
  if ((!reading_ || rpos_ >= rlen_) && !Refill()) {
    eof_ = true;
    return -1;
  }
  unsigned char c = static_cast<unsigned char>(rbuf_[rpos_]);
  if (text_ && c == '\r') {
    if (rpos_ + 1 >= rlen_ && !Refill()) {
      // A CR at the very end of the file stands for itself.
      ++rpos_;
      return '\r';
    }
    if (rbuf_[rpos_ + 1] == '\n') {
      rpos_ += 2;
      return '\n';
    }
  }
  ++rpos_;
  return c;
}

bool WinFile::GetLine(std::string& line, std::size_t max, bool* sawNewline) {
  line.clear();
  if (sawNewline) *sawNewline = false;
  bool any = false;
  while (line.size() < max) {
    int c = GetC();
    if (c < 0) return any;
    any = true;
    if (c == '\n') {
      if (sawNewline) *sawNewline = true;
      return true;
    }
    line.push_back(static_cast<char>(c));
  }
  return true;
}

std::size_t WinFile::Read(void* buf, std::size_t n) {
  auto* out = static_cast<unsigned char*>(buf);
  std::size_t done = 0;
  while (done < n) {
    int c = GetC();
    if (c < 0) break;
    out[done++] = static_cast<unsigned char>(c);
  }
  return done;
}

bool WinFile::ReadLong(long long* value) {
  int c;
  do {
    c = GetC();
  } while (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f');
  bool neg = false;
  if (c == '-' || c == '+') {
    neg = c == '-';
    c = GetC();
  }
  if (c < '0' || c > '9') {
    if (c >= 0) --rpos_;  // Leave the character that is no digit unread.
    return false;
  }
  unsigned long long v = 0;
  while (c >= '0' && c <= '9') {
    if (v < (1ull << 62)) v = v * 10 + static_cast<unsigned>(c - '0');
    c = GetC();
  }
  if (c >= 0) --rpos_;
  *value = neg ? -static_cast<long long>(v) : static_cast<long long>(v);
  return true;
}

bool WinFile::DropReadAhead() {
  if (!reading_) return true;
  reading_ = false;
  std::int64_t at = rbase_ + static_cast<std::int64_t>(rpos_);
  rpos_ = rlen_ = 0;
  if (::lseek(fd_, at, SEEK_SET) < 0) {
    error_ = true;
    return false;
  }
  return true;
}

bool WinFile::Write(const void* buf, std::size_t n) {
  if (fd_ < 0) return false;
  if (!DropReadAhead()) return false;
  const char* p = static_cast<const char*>(buf);
  if (!text_) {
    wbuf_.append(p, n);
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      if (p[i] == '\n') wbuf_.push_back('\r');
      wbuf_.push_back(p[i]);
    }
  }
  if (wbuf_.size() >= kBufSize) return Flush();
  return !error_;
}

bool WinFile::Printf(const char* fmt, ...) {
  char small[512];
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsnprintf(small, sizeof small, fmt, ap);
  va_end(ap);
  if (n < 0) return false;
  if (static_cast<std::size_t>(n) < sizeof small) return Write(small, static_cast<std::size_t>(n));
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  va_start(ap, fmt);
  std::vsnprintf(big.data(), big.size(), fmt, ap);
  va_end(ap);
  return Write(big.data(), static_cast<std::size_t>(n));
}

bool WinFile::Flush() {
  std::size_t off = 0;
  while (off < wbuf_.size()) {
    ssize_t put = ::write(fd_, wbuf_.data() + off, wbuf_.size() - off);
    if (put < 0) {
      if (errno == EINTR) continue;
      error_ = true;
      wbuf_.erase(0, off);
      return false;
    }
    off += static_cast<std::size_t>(put);
  }
  wbuf_.clear();
  return !error_;
}

bool WinFile::Sync() { return Flush() && ::fsync(fd_) == 0; }

std::int64_t WinFile::Tell() {
  if (fd_ < 0) return -1;
  if (reading_) return rbase_ + static_cast<std::int64_t>(rpos_);
  off_t at = ::lseek(fd_, 0, SEEK_CUR);
  if (at < 0) return -1;
  return at + static_cast<std::int64_t>(wbuf_.size());
}

bool WinFile::Seek(std::int64_t offset, int whence) {
  if (fd_ < 0) return false;
  if (whence == SEEK_CUR) {
    offset += Tell();
    whence = SEEK_SET;
  }
  if (!Flush()) return false;
  reading_ = false;
  rpos_ = rlen_ = 0;
  eof_ = false;
  return ::lseek(fd_, offset, whence) >= 0;
}

bool WinFile::Truncate(std::int64_t length) {
  if (!Flush()) return false;
  return ::ftruncate(fd_, length) == 0;
}

bool WinFile::Close() {
  if (fd_ < 0) return true;
  bool ok = Flush() && !error_;
  if (own_ && ::close(fd_) != 0) ok = false;
  fd_ = -1;
  return ok;
}

WinFile& WinStdout() {
  static WinFile out(1, true, false);
  return out;
}

WinFile& WinStdin() {
  static WinFile in(0, true, false);
  return in;
}

}  // namespace halyard
