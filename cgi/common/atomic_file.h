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
};

}  // namespace halyard::cgi
