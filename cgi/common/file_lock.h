// An exclusive lock between processes, held on a lock file for the lifetime of the object.
// The lock goes with the process, so a program that dies never leaves the board locked.
// One FileLock belongs to one thread.
#pragma once

#include <string_view>

namespace halyard::cgi {

class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens (creating when missing) the lock file at the Windows path and waits for the
  // exclusive lock. False when the file cannot be opened or locked.
  bool Acquire(std::string_view winPath);
  void Release();
  bool Held() const { return fd_ >= 0; }
  // The lock file's descriptor (open for reading and writing), or -1.
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// Waits for an exclusive lock on an open descriptor (released when it is closed).
bool LockDescriptor(int fd);

}  // namespace halyard::cgi
