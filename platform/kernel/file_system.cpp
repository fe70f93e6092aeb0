#include "file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

namespace halyard {
namespace {

std::atomic<unsigned> gTempCounter{0};

int WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

// Copies the rest of in to out; 0 or errno.
int CopyDescriptor(int in, int out) {
  char buf[64 * 1024];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (int err = WriteAll(out, buf, static_cast<std::size_t>(n))) return err;
  }
}

std::size_t NameStart(std::string_view path) {
  std::size_t cut = path.find_last_of('/');
  return cut == std::string_view::npos ? 0 : cut + 1;
}

}  // namespace

FileLock::FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

int LockDescriptor(int fd) {
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

int FileLock::Open(const std::string& lockPath, bool wait) {
  Release();
  if (lockPath.empty()) return ENOENT;
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  // A lock belongs to the open file description, so a second open of the same file in this
  // process waits like another process would.
  int err = 0;
  while (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
    if (errno == EINTR) continue;
    err = errno;
    break;
  }
  if (err != 0) {
    ::close(fd);
    return err;
  }
  fd_ = fd;
  return 0;
}

int FileLock::Acquire(const std::string& lockPath) { return Open(lockPath, true); }

int FileLock::TryAcquire(const std::string& lockPath) { return Open(lockPath, false); }

void FileLock::Release() {
  if (fd_ >= 0) {
    ::close(fd_);  // Closing drops the lock.
    fd_ = -1;
  }
}

std::string TemporaryNameBeside(const std::string& path) {
  std::size_t start = NameStart(path);
  std::string name = path.substr(0, start);
  name += '.';
  name.append(path, start, std::string::npos);
  name += '.';
  name += std::to_string(::getpid());
  name += '-';
  name += std::to_string(gTempCounter.fetch_add(1));
  name += ".tmp";
  return name;
}

bool IsTemporaryName(std::string_view path) {
  std::string_view name = path.substr(NameStart(path));
  return name.size() > 5 && name.front() == '.' && name.ends_with(".tmp");
}

int ReplacementFile::Begin() {
  Abandon();
  error_ = 0;
  if (target_.empty()) return ENOENT;
  int err = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    temp_ = TemporaryNameBeside(target_);
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) break;
    // EEXIST: a name left by a dead process that had our id; the next number is free.
    err = errno;
    temp_.clear();
    if (err != EEXIST) return err;
  }
  if (fd_ < 0) return err;
  struct stat st;
  if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd_, st.st_mode & 07777);
  return 0;
}

int ReplacementFile::Write(std::string_view bytes) {
  if (fd_ < 0) return error_ = error_ ? error_ : EBADF;
  if (error_ != 0) return error_;
  return error_ = WriteAll(fd_, bytes.data(), bytes.size());
}

int ReplacementFile::Finish(bool sync) {
  if (fd_ < 0) return error_ ? error_ : EBADF;
  int err = error_;
  if (err == 0 && sync && ::fdatasync(fd_) != 0) err = errno;
  if (::close(fd_) != 0 && err == 0) err = errno;
  fd_ = -1;
  return err;
}

int ReplacementFile::Commit(bool sync, void (*beforeRename)(const std::string& tempPath)) {
  int err = Finish(sync);
  if (err == 0) {
    if (beforeRename) beforeRename(temp_);
    if (::rename(temp_.c_str(), target_.c_str()) == 0)
      temp_.clear();
    else
      err = errno;
  }
  Abandon();
  return err;
}

int ReplacementFile::CommitIfAbsent(bool sync) {
  int err = Finish(sync);
  if (err == 0 && ::link(temp_.c_str(), target_.c_str()) != 0) {
    err = errno;
    if (err == EPERM || err == ENOTSUP || err == EOPNOTSUPP) {
      // No hard links on this file system: an exclusive create and a copy. Readers may see the
      // file growing here, the price of such a file system.
      int out = ::open(target_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (out < 0) {
        err = errno;
      } else {
        int in = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
        err = in < 0 ? errno : CopyDescriptor(in, out);
        if (in >= 0) ::close(in);
        if (err == 0 && sync && ::fdatasync(out) != 0) err = errno;
        if (::close(out) != 0 && err == 0) err = errno;
        if (err != 0) ::unlink(target_.c_str());
      }
    }
  }
  Abandon();
  return err;
}

void ReplacementFile::Abandon() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

int ReplaceFileContents(const std::string& path, std::string_view contents, bool sync) {
  ReplacementFile file(path);
  if (int err = file.Begin()) return err;
  if (int err = file.Write(contents)) return err;
  return file.Commit(sync);
}

int MakeFolders(const std::string& path, mode_t mode) {
  if (path.empty()) return 0;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    if (path[i - 1] == '/') continue;  // "a//b" and a trailing slash
    std::string dir = path.substr(0, i);
    if (::mkdir(dir.c_str(), mode) == 0) continue;
    int err = errno;
    if (err != EEXIST) return err;
    if (::stat(dir.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  }
  return 0;
}

int MakeParentFolders(const std::string& filePath) {
  std::size_t cut = filePath.find_last_of('/');
  if (cut == std::string::npos || cut == 0) return 0;
  return MakeFolders(filePath.substr(0, cut));
}

int MoveFile(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return 0;
  if (errno != EXDEV) return errno;
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return EXDEV;  // Only files are copied; a folder cannot move across.
  }
  ReplacementFile copy(to);
  int err = copy.Begin();
  if (err == 0) {
    ::fchmod(copy.Fd(), st.st_mode & 07777);
    err = CopyDescriptor(in, copy.Fd());
  }
  if (err == 0) {
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(copy.Fd(), times);
    err = copy.Commit(true);
  }
  ::close(in);
  if (err != 0) return err;
  return ::unlink(from.c_str()) == 0 ? 0 : errno;
}

int ListFolder(const std::string& path, std::vector<FolderEntry>* entries) {
  entries->clear();
  DIR* dir = ::opendir(path.empty() ? "." : path.c_str());
  if (dir == nullptr) return errno;
  std::string prefix = path.empty() ? std::string() : path;
  if (!prefix.empty() && prefix.back() != '/') prefix += '/';
  int err = 0;
  for (;;) {
    errno = 0;
    struct dirent* de = ::readdir(dir);
    if (de == nullptr) {
      err = errno;
      break;
    }
    std::string_view name = de->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry entry;
    entry.name = name;
    unsigned char type = de->d_type;
    if (type == DT_LNK || type == DT_UNKNOWN) {
      struct stat st;
      if (::stat((prefix + entry.name).c_str(), &st) != 0)
        type = DT_UNKNOWN;
      else
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    entry.kind = type == DT_DIR   ? FolderEntry::Kind::kFolder
                 : type == DT_REG ? FolderEntry::Kind::kFile
                                  : FolderEntry::Kind::kOther;
    entries->push_back(std::move(entry));
  }
  ::closedir(dir);
  if (err != 0) {
    entries->clear();
    return err;
  }
  std::sort(entries->begin(), entries->end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return 0;
}

int SetFileTimes(const std::string& path, const struct timespec* access,
                 const struct timespec* modified) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = 0;
  times[0].tv_nsec = times[1].tv_nsec = UTIME_OMIT;
  if (access) times[0] = *access;
  if (modified) times[1] = *modified;
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0 ? 0 : errno;
}

int SetFileTimes(const std::string& path, std::time_t both) {
  struct timespec t;
  t.tv_sec = both;
  t.tv_nsec = 0;
  return SetFileTimes(path, &t, &t);
}

}  // namespace halyard
