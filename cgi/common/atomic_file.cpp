#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "kernel/win_path.h"

namespace halyard::cgi {

std::string TempNameFor(const std::string& path, long pid) {
  std::size_t slash = path.rfind('/');
  std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, name) + "." + path.substr(name) + "." + std::to_string(pid) + ".tmp";
}

AtomicFile::AtomicFile(std::string_view winPath) : target_(MapWinPath(winPath)) {}

AtomicFile::~AtomicFile() { Abandon(); }

bool AtomicFile::Begin() {
  Abandon();
  failed_ = false;
  if (target_.empty()) return false;
  temp_ = TempNameFor(target_, ::getpid());
  for (int attempt = 0; attempt < 2 && fd_ < 0; ++attempt) {
    fd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    // A name left behind by a dead process of the same id: nobody else can be using it.
    if (fd_ < 0 && errno == EEXIST && attempt == 0) ::unlink(temp_.c_str());
  }
  if (fd_ < 0) {
    temp_.clear();
    return false;
  }
  struct stat st;
  if (::stat(target_.c_str(), &st) == 0) ::fchmod(fd_, st.st_mode & 07777);
  text_ = std::make_unique<WinFile>(fd_, true, false);
  binary_ = std::make_unique<WinFile>(fd_, false, false);
  return true;
}

WinFile& AtomicFile::Text() {
  if (last_ == binary_.get()) binary_->Flush();
  last_ = text_.get();
  return *text_;
}

WinFile& AtomicFile::Binary() {
  if (last_ == text_.get()) text_->Flush();
  last_ = binary_.get();
  return *binary_;
}

bool AtomicFile::WriteBytes(const char* bytes, std::size_t count) {
  if (fd_ < 0 || !text_->Flush() || !binary_->Flush()) {
    failed_ = true;
    return false;
  }
  while (count > 0) {
    ssize_t put = ::write(fd_, bytes, count);
    if (put < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      return false;
    }
    bytes += put;
    count -= static_cast<std::size_t>(put);
  }
  return true;
}

bool AtomicFile::Close() {
  closed_ = Finish();
  return closed_;
}

bool AtomicFile::Finish() {
  if (closed_) return true;
  if (fd_ < 0) return false;
  bool ok = !failed_ && text_->Flush() && binary_->Flush() && !text_->Error() && !binary_->Error();
  text_.reset();
  binary_.reset();
  last_ = nullptr;
  if (::close(fd_) != 0) ok = false;
  fd_ = -1;
  return ok;
}

bool AtomicFile::Replace() {
  bool ok = Finish() && ::rename(temp_.c_str(), target_.c_str()) == 0;
  if (ok) temp_.clear();
  Abandon();
  return ok;
}

bool AtomicFile::CreateIfAbsent(bool* existed) {
  if (existed) *existed = false;
  bool ok = Finish();
  if (ok && ::link(temp_.c_str(), target_.c_str()) != 0) {
    if (errno == EEXIST) {
      if (existed) *existed = true;
      ok = false;
    } else if (errno == EPERM || errno == ENOTSUP || errno == EOPNOTSUPP) {
      // No hard links on this file system: fall back to an exclusive create and copy.
      ok = false;
      int out = ::open(target_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (out < 0) {
        if (errno == EEXIST && existed) *existed = true;
      } else {
        int in = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
        ok = in >= 0;
        char buf[65536];
        ssize_t got;
        while (ok && (got = ::read(in, buf, sizeof buf)) > 0)
          ok = ::write(out, buf, static_cast<std::size_t>(got)) == got;
        if (in >= 0) ::close(in);
        if (::close(out) != 0) ok = false;
        if (!ok) ::unlink(target_.c_str());
      }
    } else {
      ok = false;
    }
  }
  Abandon();
  return ok;
}

void AtomicFile::Abandon() {
  closed_ = false;
  if (fd_ >= 0) {
    text_.reset();
    binary_.reset();
    last_ = nullptr;
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

}  // namespace halyard::cgi
