// Whole-file reads and locked, atomic rewrites of the small text files the registry and the
// profile functions keep. A rewrite takes an exclusive lock on "<file>.lock" beside the file,
// reads the current contents, lets the caller change them, writes the result to a temporary
// file beside it (flushed to disk first when HALYARD_REGISTRY_SYNC=1) and renames it over the
// file. Readers therefore see either the old or the new file, never a part of one; writers from
// any number of processes are serialised, and a writer that dies at any moment leaves the old
// file (and at worst a stale hidden ".tmp" file). Functions may be called from any thread.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>

#include "platform/kernel/file_system.h"
#include "platform/kernel/win_types.h"

namespace halyard::registry {

// The identity of one version of a file: a rewrite always changes it.
struct FileStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  long long mtimeNs = 0;
  long long ctimeNs = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const struct stat& st);

// Reads a whole file. Returns 0, ERROR_FILE_NOT_FOUND when it does not exist, or another
// system error code.
DWORD ReadWholeFile(const std::string& path, std::string* out, FileStamp* stamp = nullptr);

// Creates missing folders and waits for the exclusive lock on "<path>.lock" beside the file.
// Returns 0 or a system error code (ERROR_ACCESS_DENIED when the place cannot be written).
DWORD LockBeside(const std::string& path, FileLock* lock);

// Called after the new contents are complete in the temporary file and before the rename;
// tests use it to stop a writer at the worst moment.
using BeforeReplaceHook = void (*)(const std::string& tempPath);
void SetBeforeReplaceHookForTesting(BeforeReplaceHook hook);

// Writes contents to a temporary file beside path and renames it over path. The caller holds
// the lock. Returns 0 or a system error code; *stamp receives the new file's identity.
DWORD ReplaceFile(const std::string& path, const std::string& contents, FileStamp* stamp);

}  // namespace halyard::registry
