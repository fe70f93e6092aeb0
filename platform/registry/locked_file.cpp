#include "locked_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/kernel/win_error.h"

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

DWORD LockBeside(const std::string& path, FileLock* lock) {
  if (int err = MakeParentFolders(path)) return WriteErrorCode(err);
  if (int err = lock->Acquire(path + ".lock")) return WriteErrorCode(err);
  return ERROR_SUCCESS;
}

void SetBeforeReplaceHookForTesting(BeforeReplaceHook hook) { gHook.store(hook); }

DWORD ReplaceFile(const std::string& path, const std::string& contents, FileStamp* stamp) {
  // The rename alone keeps the file whole for readers and against a writer that dies. With
  // HALYARD_REGISTRY_SYNC=1 the data also reaches the disk before the name points at it, for
  // file systems that could otherwise show an empty file after a power loss; it costs a disk
  // flush (milliseconds) per change.
  const char* syncSetting = std::getenv("HALYARD_REGISTRY_SYNC");
  bool sync = syncSetting != nullptr && syncSetting[0] == '1';
  ReplacementFile file(path);
  int err = file.Begin();
  if (err == 0) err = file.Write(contents);
  if (err == 0) err = file.Commit(sync, gHook.load());
  if (err != 0) return WriteErrorCode(err);
  if (stamp) {
    // Taken after the rename (which may touch the change time); the caller's lock keeps
    // other writers away in between.
    struct stat st;
    *stamp = ::stat(path.c_str(), &st) == 0 ? StampOf(st) : FileStamp{};
  }
  return ERROR_SUCCESS;
}

}  // namespace halyard::registry
