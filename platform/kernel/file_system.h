// The file operations the components share, on host paths (map a Windows path with MapWinPath
// first): an exclusive lock between processes, replacing a file atomically, creating folders,
// moving a file (also across file systems), listing a folder and setting file times. Each
// returns 0 or the errno value of the failure, which WinErrorFromErrno turns into a Windows
// code. A temporary file made here is named ".<name>.<pid>-<n>.tmp" beside its target, so that a
// web server configuration can refuse every name that ends in ".tmp" and a listing can skip
// hidden names. Functions may be called from any thread; one FileLock or ReplacementFile
// object belongs to one thread at a time.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace halyard {

// An exclusive lock held on a lock file until Release or destruction. The lock belongs to the
// open file, so a process that dies never leaves it held; two FileLock objects exclude each
// other even inside one process.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens the lock file (creating it, not its folder) and waits for the lock.
  int Acquire(const std::string& lockPath);
  // As Acquire without waiting: EWOULDBLOCK when someone else holds it.
  int TryAcquire(const std::string& lockPath);
  void Release();
  bool Held() const { return fd_ >= 0; }
  // The lock file's descriptor (open for reading and writing), or -1.
  int Fd() const { return fd_; }

 private:
  int Open(const std::string& lockPath, bool wait);
  int fd_ = -1;
};

// Waits for an exclusive lock on an open descriptor; it goes when the descriptor is closed.
int LockDescriptor(int fd);

// The name of a fresh temporary file beside path: ".<name>.<pid>-<n>.tmp" in its folder.
std::string TemporaryNameBeside(const std::string& path);

// True for a name made by TemporaryNameBeside (the last path component is looked at).
bool IsTemporaryName(std::string_view path);

// A new version of a file written under a temporary name beside it, then put in the file's
// place in one step. Readers see the old file or the whole new one; a failure, or destruction
// before Commit, leaves the old file as it was and removes the temporary one.
class ReplacementFile {
 public:
  explicit ReplacementFile(std::string path) : target_(std::move(path)) {}
  ~ReplacementFile() { Abandon(); }
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the temporary file, with the target's permission bits when the target exists.
  int Begin();
  // Appends bytes; an error is also remembered and returned again by Commit.
  int Write(std::string_view bytes);
  // Flushes the data to the disk (when sync), closes and renames the temporary file over the
  // target. beforeRename, when given, runs between the two, with the temporary file's path.
  int Commit(bool sync = true, void (*beforeRename)(const std::string& tempPath) = nullptr);
  // As Commit, but puts the file in place only when no file has the target's name: EEXIST
  // when one does (the target is then untouched).
  int CommitIfAbsent(bool sync = true);
  // Closes and removes the temporary file.
  void Abandon();

  int Fd() const { return fd_; }
  const std::string& TempPath() const { return temp_; }
  const std::string& Target() const { return target_; }

 private:
  int Finish(bool sync);

  std::string target_;
  std::string temp_;
  int fd_ = -1;
  int error_ = 0;
};

// Writes contents as the new version of path through a ReplacementFile.
int ReplaceFileContents(const std::string& path, std::string_view contents, bool sync = true);

// Creates a folder and any missing parents (as mkdir -p); 0 when it exists already, ENOTDIR
// when some part of the path is a file.
int MakeFolders(const std::string& path, mode_t mode = 0777);

// Creates the missing folders above a file's path.
int MakeParentFolders(const std::string& filePath);

// Moves a file to a new name, replacing a file there. Across file systems the bytes are copied
// to a temporary file beside the target (keeping the permission bits and modification time),
// which then replaces the target, and the source is removed; a failed copy leaves both names as
// they were.
int MoveFile(const std::string& from, const std::string& to);

struct FolderEntry {
  enum class Kind { kFile, kFolder, kOther };
  std::string name;
  Kind kind = Kind::kOther;
  bool operator==(const FolderEntry&) const = default;
};

// The entries of a folder without "." and "..", in byte order of their names. A symbolic link
// counts as what it points to (kOther when it points nowhere).
int ListFolder(const std::string& path, std::vector<FolderEntry>* entries);

// Sets a file's access and modification times; a null pointer leaves that time as it is.
int SetFileTimes(const std::string& path, const struct timespec* access,
                 const struct timespec* modified);

// Sets both the access and the modification time to the given second.
int SetFileTimes(const std::string& path, std::time_t both);

}  // namespace halyard
