#include "common/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "kernel/win_path.h"

namespace halyard::cgi {

bool LockDescriptor(int fd) {
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

bool FileLock::Acquire(std::string_view winPath) {
  Release();
  std::string path = MapWinPath(winPath);
  if (path.empty()) return false;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  if (!LockDescriptor(fd)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void FileLock::Release() {
  if (fd_ >= 0) {
    ::close(fd_);  // Closing drops the lock.
    fd_ = -1;
  }
}

}  // namespace halyard::cgi
