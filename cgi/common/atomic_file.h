// A new version of a file, written beside it under a temporary name and then put in its place
// in one step: renamed over the old file (Replace) or linked to the name only when that name
// is still free (CreateIfAbsent). Readers see the old file or the whole new one, never a part;
// a failed write leaves the old file as it was. One AtomicFile belongs to one thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "kernel/win_file.h"

namespace halyard::cgi {

// The name of the temporary file that stands beside path while a new version is written:
// ".name.<pid>.tmp" in the same folder. A web server configured to deny names of that shape
// (a leading dot, ".tmp" at the end) never serves a half-written page or counter.
std::string TempNameFor(const std::string& path, long pid);

class AtomicFile {
 public:
  explicit AtomicFile(std::string_view winPath);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file in the target's folder (with the target's permission bits when
  // the target exists). False when it cannot be created.
  bool Begin();
  // The temporary file in text mode (line feed stored as CR LF) or byte for byte; both write
  // at the same place, one after the other.
  WinFile& Text();
  WinFile& Binary();
  // Writes bytes unchanged straight to the file, after whatever Text or Binary hold; for large
  // blocks that need no buffering. False on a write error.
  bool WriteBytes(const char* bytes, std::size_t count);
  // Writes out and closes the temporary file, so that Replace has only the rename left: a
  // caller that updates two files checks both writes before it puts either in place. False on
  // a write error; Replace then fails too.
  bool Close();
  // Puts the written file in place of the target. False on any write error or when the rename
  // fails; the target is then unchanged.
  bool Replace();
  // Puts the written file at the target's name only when no file has that name. False when it
  // does (*existed is then true) or on any error.
  bool CreateIfAbsent(bool* existed = nullptr);
  // Drops the temporary file.
  void Abandon();

 private:
  bool Finish();

  std::string target_;
  std::string temp_;
  int fd_ = -1;
  std::unique_ptr<WinFile> text_, binary_;
  WinFile* last_ = nullptr;
  bool failed_ = false;
  bool closed_ = false;  // Close succeeded: only the rename is left
};

}  // namespace halyard::cgi
