#include "registry/locked_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "kernel/win_error.h"

namespace halyard::registry {
namespace {

std::atomic<BeforeReplaceHook> gHook{nullptr};

long long Ns(const struct timespec& ts) {
  return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

DWORD WriteErrorCode(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    default:
      return ERROR_CANTWRITE;
  }
}

}  // namespace

FileStamp StampOf(const struct stat& st) {
  FileStamp s;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = st.st_size;
  s.mtimeNs = Ns(st.st_mtim);
  s.ctimeNs = Ns(st.st_ctim);
  return s;
}

DWORD ReadWholeFile(const std::string& path, std::string* out, FileStamp* stamp) {
  out->clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ERROR_CANTREAD;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ERROR_CANTREAD;
  }
  if (stamp) *stamp = StampOf(st);
  out->resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  for (;;) {
    if (got == out->size()) out->resize(got + 4096);  // The file may have grown since fstat.
    ssize_t n = ::read(fd, out->data() + got, out->size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      out->clear();
      return ERROR_CANTREAD;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  out->resize(got);
  ::close(fd);
  return ERROR_SUCCESS;
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return true;
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    errno = ENOTDIR;
    return false;
  }
  std::size_t cut = path.find_last_of('/');
  if (cut != std::string::npos && cut > 0 && !MakeFolders(path.substr(0, cut))) return false;
  return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // Closing the descriptor releases the flock.
}

DWORD FileLock::Acquire(const std::string& path) {
  std::size_t cut = path.find_last_of('/');
  if (cut != std::string::npos && cut > 0 && !MakeFolders(path.substr(0, cut)))
    return WriteErrorCode(errno);
  std::string lockPath = path + ".lock";
  fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) return WriteErrorCode(errno);
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    int err = errno;
    ::close(fd_);
    fd_ = -1;
    return WriteErrorCode(err);
  }
  return ERROR_SUCCESS;
}

void SetBeforeReplaceHookForTesting(BeforeReplaceHook hook) { gHook.store(hook); }

DWORD ReplaceFile(const std::string& path, const std::string& contents, FileStamp* stamp) {
  std::string temp = path + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return WriteErrorCode(errno);
  std::size_t done = 0;
  while (done < contents.size()) {
    ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      return WriteErrorCode(err);
    }
    done += static_cast<std::size_t>(n);
  }
  // The rename alone keeps the file whole for readers and against a writer that dies. With
  // HALYARD_REGISTRY_SYNC=1 the data also reaches the disk before the name points at it, for
  // file systems that could otherwise show an empty file after a power loss; it costs a disk
  // flush (milliseconds) per change.
  const char* sync = std::getenv("HALYARD_REGISTRY_SYNC");
  if (sync != nullptr && sync[0] == '1' && ::fdatasync(fd) != 0) {
    int err = errno;
    ::close(fd);
    ::unlink(temp.c_str());
    return WriteErrorCode(err);
  }
  ::close(fd);
  if (BeforeReplaceHook hook = gHook.load()) hook(temp);
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return WriteErrorCode(err);
  }
  if (stamp) {
    // Taken after the rename (which may touch the change time); the caller's lock keeps
    // other writers away in between.
    struct stat st;
    *stamp = ::stat(path.c_str(), &st) == 0 ? StampOf(st) : FileStamp{};
  }
  return ERROR_SUCCESS;
}

}  // namespace halyard::registry
