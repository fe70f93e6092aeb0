// The object store's file access: a SQLite VFS whose every file call goes through CFile, so
// that a failing call is the platform's CFileException with the system error code. SQLite is
// C and must not see an exception pass through it, so the VFS catches the exception, keeps it
// as the thread's pending file failure (with the text that names the call, "File read
// failed!" and so on) and answers SQLite with an I/O error; the engine raises the pending
// failure again once SQLite has returned. Locks between processes are open-file-description
// locks on the bytes SQLite's own file format reserves for them, so two stores of one file in
// one process exclude each other as two processes do. No shared memory: the rollback journal
// is the only journal mode.
#pragma once

#include <string>

#include "platform/kernel/win_types.h"

struct sqlite3_vfs;

namespace vaultkit::pyx {

// The VFS's name, registered on first use.
inline constexpr const char kVfsName[] = "halyard-pyx";
sqlite3_vfs* RegisterVfs();

// The error code of a file that is not a store: the four characters "~cpt".
inline constexpr LONG kCorruptStoreCode = ('~' << 24) | ('c' << 16) | ('p' << 8) | 't';

// The call a failure happened in; its text is the one the engine notes beside the exception.
enum class FileCall { kCreate, kOpen, kClose, kRead, kWrite, kFlush, kDelete, kGetLength, kSetLength, kSetMark };
const char* FileCallText(FileCall call);

struct FileFailure {
  bool pending = false;
  FileCall call = FileCall::kOpen;
  LONG osError = 0;
  std::string file;
};

// The thread's pending failure (cleared by TakeFileFailure).
FileFailure& PendingFileFailure();
// Takes the pending failure away; pending is false when there was none.
FileFailure TakeFileFailure();
// The text of the last failure raised on this thread ("" before any).
const std::string& LastFailureText();

// Raises the failure: CMemoryException for error 12 (and the Win32 out-of-memory codes),
// otherwise CFileException::ThrowOsError with the code and file.
[[noreturn]] void RaiseFileFailure(const FileFailure& failure);

// Test hook: the n-th write from now (1 = the next) fails with osError, once. 0 disarms.
void FailWriteAfter(int n, LONG osError);

}  // namespace vaultkit::pyx
