#include "pyx_vfs.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/kernel/win_path.h"
#include "platform/mfc/cfile.h"
#include "platform/mfc/cfileexception.h"
#include "platform/mfc/cmemoryexception.h"

namespace vaultkit::pyx {

namespace {

// The lock bytes of SQLite's file format (far beyond any page of a store below 1 GiB).
constexpr off_t kPendingByte = 0x40000000;
constexpr off_t kReservedByte = kPendingByte + 1;
constexpr off_t kSharedFirst = kPendingByte + 2;
constexpr off_t kSharedSize = 510;

thread_local FileFailure t_failure;
thread_local std::string t_lastText;
thread_local int t_failWriteIn = 0;
thread_local LONG t_failWriteCode = 0;

struct PyxFile {
  sqlite3_file base;  // first: SQLite sees a sqlite3_file
  CFile* file;
  int lock;           // SQLite's lock level held
  bool deleteOnClose;
  std::string path;   // host path of a file to remove on close
};

void Note(FileCall call, LONG osError, const char* file) {
  // The first failure of a SQLite call is the one that counts; later ones are its aftermath.
  if (t_failure.pending) return;
  t_failure.pending = true;
  t_failure.call = call;
  t_failure.osError = osError;
  t_failure.file = file != nullptr ? file : "";
}

// Runs one file call; a CFileException (or memory exception) becomes the pending failure and
// SQLite's error code.
template <typename Job>
int Guard(FileCall call, PyxFile* f, int ioError, Job job) {
  try {
    job();
    return SQLITE_OK;
  } catch (CFileException* e) {
    Note(call, e->m_lOsError, f != nullptr ? static_cast<const char*>(f->file->GetFilePath()) : nullptr);
    e->Delete();
  } catch (CMemoryException* e) {
    Note(call, 12, nullptr);
    e->Delete();
    return SQLITE_IOERR_NOMEM;
  } catch (std::bad_alloc&) {
    Note(call, 12, nullptr);
    return SQLITE_IOERR_NOMEM;
  }
  return ioError;
}

int SetLock(PyxFile* f, short type, off_t start, off_t len) {
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = len;
  return ::fcntl(f->file->m_hFile, F_OFD_SETLK, &fl) == 0 ? 0 : errno;
}

bool IsBusy(int err) { return err == EAGAIN || err == EACCES || err == EINTR; }

int XClose(sqlite3_file* p) {
  auto* f = reinterpret_cast<PyxFile*>(p);
  int rc = Guard(FileCall::kClose, f, SQLITE_IOERR_CLOSE, [&] { f->file->Close(); });
  if (f->deleteOnClose && !f->path.empty()) ::unlink(f->path.c_str());
  delete f->file;
  f->file = nullptr;
  f->path.~basic_string();
  return rc;
}

int XRead(sqlite3_file* p, void* buf, int amount, sqlite3_int64 offset) {
  auto* f = reinterpret_cast<PyxFile*>(p);
  if (offset < 0 || offset + amount > 0x7FFFFFFF) return SQLITE_IOERR_READ;
  UINT got = 0;
  int rc = Guard(FileCall::kRead, f, SQLITE_IOERR_READ, [&] {
    f->file->Seek(static_cast<LONG>(offset), CFile::begin);
    got = f->file->Read(buf, static_cast<UINT>(amount));
  });
  if (rc != SQLITE_OK) return rc;
  if (got < static_cast<UINT>(amount)) {
    std::memset(static_cast<char*>(buf) + got, 0, static_cast<size_t>(amount) - got);
    return SQLITE_IOERR_SHORT_READ;
  }
  return SQLITE_OK;
}

int XWrite(sqlite3_file* p, const void* buf, int amount, sqlite3_int64 offset) {
  auto* f = reinterpret_cast<PyxFile*>(p);
  if (offset < 0 || offset + amount > 0x7FFFFFFF) return SQLITE_FULL;
  if (t_failWriteIn > 0 && --t_failWriteIn == 0) {
    Note(FileCall::kWrite, t_failWriteCode, f->file->GetFilePath());
    return t_failWriteCode == 112 ? SQLITE_FULL : SQLITE_IOERR_WRITE;
  }
  int rc = Guard(FileCall::kWrite, f, SQLITE_IOERR_WRITE, [&] {
    f->file->Seek(static_cast<LONG>(offset), CFile::begin);
    f->file->Write(buf, static_cast<UINT>(amount));
  });
  // A full disk is SQLite's own code, so that it rolls the statement back as it should.
  if (rc == SQLITE_IOERR_WRITE && t_failure.pending && t_failure.osError == 112) return SQLITE_FULL;
  return rc;
}

int XTruncate(sqlite3_file* p, sqlite3_int64 size) {
  auto* f = reinterpret_cast<PyxFile*>(p);
  if (size < 0 || size > 0x7FFFFFFF) return SQLITE_IOERR_TRUNCATE;
  return Guard(FileCall::kSetLength, f, SQLITE_IOERR_TRUNCATE,
               [&] { f->file->SetLength(static_cast<DWORD>(size)); });
}

int XSync(sqlite3_file* p, int) {
  auto* f = reinterpret_cast<PyxFile*>(p);
  return Guard(FileCall::kFlush, f, SQLITE_IOERR_FSYNC, [&] { f->file->Flush(); });
}

int XFileSize(sqlite3_file* p, sqlite3_int64* size) {
  auto* f = reinterpret_cast<PyxFile*>(p);
  DWORD length = 0;
  int rc = Guard(FileCall::kGetLength, f, SQLITE_IOERR_FSTAT, [&] { length = f->file->GetLength(); });
  *size = length;
  return rc;
}

int XLock(sqlite3_file* p, int level) {
  auto* f = reinterpret_cast<PyxFile*>(p);
  if (f->lock >= level) return SQLITE_OK;
  if (level == SQLITE_LOCK_SHARED) {
    // The pending byte keeps new readers out while a writer waits for the old ones.
    int err = SetLock(f, F_RDLCK, kPendingByte, 1);
    if (err != 0) return IsBusy(err) ? SQLITE_BUSY : SQLITE_IOERR_LOCK;
    err = SetLock(f, F_RDLCK, kSharedFirst, kSharedSize);
    SetLock(f, F_UNLCK, kPendingByte, 1);
    if (err != 0) return IsBusy(err) ? SQLITE_BUSY : SQLITE_IOERR_LOCK;
    f->lock = SQLITE_LOCK_SHARED;
    return SQLITE_OK;
  }
  if (level == SQLITE_LOCK_RESERVED) {
    int err = SetLock(f, F_WRLCK, kReservedByte, 1);
    if (err != 0) return IsBusy(err) ? SQLITE_BUSY : SQLITE_IOERR_LOCK;
    f->lock = SQLITE_LOCK_RESERVED;
    return SQLITE_OK;
  }
  // PENDING on the way to EXCLUSIVE: no new readers, then wait for the old ones to go.
  if (f->lock < SQLITE_LOCK_PENDING) {
    int err = SetLock(f, F_WRLCK, kPendingByte, 1);
    if (err != 0) return IsBusy(err) ? SQLITE_BUSY : SQLITE_IOERR_LOCK;
    f->lock = SQLITE_LOCK_PENDING;
  }
  if (level == SQLITE_LOCK_EXCLUSIVE) {
    int err = SetLock(f, F_WRLCK, kSharedFirst, kSharedSize);
    if (err != 0) return IsBusy(err) ? SQLITE_BUSY : SQLITE_IOERR_LOCK;
    f->lock = SQLITE_LOCK_EXCLUSIVE;
  }
  return SQLITE_OK;
}

int XUnlock(sqlite3_file* p, int level) {
  auto* f = reinterpret_cast<PyxFile*>(p);
  if (f->lock <= level) return SQLITE_OK;
  if (level == SQLITE_LOCK_SHARED) {
    if (SetLock(f, F_RDLCK, kSharedFirst, kSharedSize) != 0) return SQLITE_IOERR_RDLOCK;
    SetLock(f, F_UNLCK, kPendingByte, 2);  // pending and reserved
    f->lock = SQLITE_LOCK_SHARED;
    return SQLITE_OK;
  }
  SetLock(f, F_UNLCK, kPendingByte, 2 + kSharedSize);
  f->lock = SQLITE_LOCK_NONE;
  return SQLITE_OK;
}

int XCheckReservedLock(sqlite3_file* p, int* out) {
  auto* f = reinterpret_cast<PyxFile*>(p);
  if (f->lock >= SQLITE_LOCK_RESERVED) {
    *out = 1;
    return SQLITE_OK;
  }
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kReservedByte;
  fl.l_len = 1;
  if (::fcntl(f->file->m_hFile, F_OFD_GETLK, &fl) != 0) return SQLITE_IOERR_CHECKRESERVEDLOCK;
  *out = fl.l_type != F_UNLCK ? 1 : 0;
  return SQLITE_OK;
}

int XFileControl(sqlite3_file*, int, void*) { return SQLITE_NOTFOUND; }
int XSectorSize(sqlite3_file*) { return 512; }
int XDeviceCharacteristics(sqlite3_file*) { return 0; }

const sqlite3_io_methods kMethods = {
    1,         XClose,      XRead,       XWrite,       XTruncate,
    XSync,     XFileSize,   XLock,       XUnlock,      XCheckReservedLock,
    XFileControl, XSectorSize, XDeviceCharacteristics,
    nullptr,   nullptr,     nullptr,     nullptr,      nullptr,
    nullptr,
};

int XOpen(sqlite3_vfs*, const char* name, sqlite3_file* p, int flags, int* outFlags) {
  auto* f = reinterpret_cast<PyxFile*>(p);
  f->base.pMethods = nullptr;
  new (&f->path) std::string();
  f->file = nullptr;
  f->lock = SQLITE_LOCK_NONE;
  f->deleteOnClose = (flags & SQLITE_OPEN_DELETEONCLOSE) != 0;
  const bool create = (flags & SQLITE_OPEN_CREATE) != 0;
  const bool readWrite = (flags & SQLITE_OPEN_READWRITE) != 0;
  try {
    if (name == nullptr) {
      // A temporary file of SQLite's own: a nameless file in the temporary folder.
      const char* base = ::getenv("TMPDIR");
      std::string pattern = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/pyx-XXXXXX";
      int fd = ::mkstemp(pattern.data());
      if (fd < 0) {
        Note(FileCall::kCreate, CFileException::ErrnoToOsError(errno), pattern.c_str());
        f->path.~basic_string();
        return SQLITE_CANTOPEN;
      }
      ::unlink(pattern.c_str());
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
      f->file = new CFile(fd);
      f->deleteOnClose = false;
    } else {
      UINT mode = readWrite ? CFile::modeReadWrite : CFile::modeRead;
      if (create) mode |= CFile::modeCreate | CFile::modeNoTruncate;
      if ((flags & SQLITE_OPEN_EXCLUSIVE) != 0 && halyard::WinPathExists(name)) {
        Note(FileCall::kCreate, 80 /* ERROR_FILE_EXISTS */, name);
        f->path.~basic_string();
        return SQLITE_CANTOPEN;
      }
      auto* file = new CFile();
      CFileException error;
      if (!file->Open(name, mode, &error)) {
        delete file;
        Note(create ? FileCall::kCreate : FileCall::kOpen, error.m_lOsError, name);
        f->path.~basic_string();
        return SQLITE_CANTOPEN;
      }
      f->file = file;
      if (f->deleteOnClose) f->path = halyard::MapWinPath(name);
    }
  } catch (std::bad_alloc&) {
    Note(FileCall::kOpen, 12, name);
    f->path.~basic_string();
    return SQLITE_NOMEM;
  }
  if (outFlags != nullptr) *outFlags = flags;
  f->base.pMethods = &kMethods;
  return SQLITE_OK;
}

int XDelete(sqlite3_vfs*, const char* name, int) {
  try {
    CFile::Remove(name);
  } catch (CFileException* e) {
    const LONG code = e->m_lOsError;
    e->Delete();
    if (code == 2 /* ERROR_FILE_NOT_FOUND */) return SQLITE_IOERR_DELETE_NOENT;
    Note(FileCall::kDelete, code, name);
    return SQLITE_IOERR_DELETE;
  }
  return SQLITE_OK;
}

int XAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
  const std::string path = halyard::MapWinPath(name);
  struct stat st;
  if (flags == SQLITE_ACCESS_EXISTS) {
    // An empty journal is no journal, as with SQLite's own file access.
    *out = ::stat(path.c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || st.st_size > 0) ? 1 : 0;
  } else {
    *out = ::access(path.c_str(), R_OK | W_OK) == 0 ? 1 : 0;
  }
  return SQLITE_OK;
}

int XFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  // Names stay Windows paths; CFile maps them when it opens them.
  if (static_cast<int>(std::strlen(name)) >= size) return SQLITE_CANTOPEN;
  std::strcpy(out, name);
  return SQLITE_OK;
}

sqlite3_vfs* g_default = nullptr;

int XRandomness(sqlite3_vfs*, int n, char* out) { return g_default->xRandomness(g_default, n, out); }
int XSleep(sqlite3_vfs*, int us) { return g_default->xSleep(g_default, us); }
int XCurrentTime(sqlite3_vfs*, double* out) { return g_default->xCurrentTime(g_default, out); }
int XGetLastError(sqlite3_vfs*, int, char*) { return 0; }

}  // namespace

const char* FileCallText(FileCall call) {
  switch (call) {
    case FileCall::kCreate: return "File create failed!";
    case FileCall::kOpen: return "File open failed!";
    case FileCall::kClose: return "File close failed!";
    case FileCall::kRead: return "File read failed!";
    case FileCall::kWrite: return "File write failed!";
    case FileCall::kFlush: return "File flush failed!";
    case FileCall::kDelete: return "File delete failed!";
    case FileCall::kGetLength: return "Get file length failed!";
    case FileCall::kSetLength: return "Set file length failed!";
    case FileCall::kSetMark: return "Set file mark failed!";
  }
  return "";
}

sqlite3_vfs* RegisterVfs() {
  static sqlite3_vfs* vfs = [] {
    sqlite3_initialize();
    g_default = sqlite3_vfs_find(nullptr);
    static sqlite3_vfs v;
    std::memset(&v, 0, sizeof v);
    v.iVersion = 1;
    v.szOsFile = sizeof(PyxFile);
    v.mxPathname = 1024;
    v.zName = kVfsName;
    v.xOpen = XOpen;
    v.xDelete = XDelete;
    v.xAccess = XAccess;
    v.xFullPathname = XFullPathname;
    v.xRandomness = XRandomness;
    v.xSleep = XSleep;
    v.xCurrentTime = XCurrentTime;
    v.xGetLastError = XGetLastError;
    sqlite3_vfs_register(&v, 0);
    return &v;
  }();
  return vfs;
}

FileFailure& PendingFileFailure() { return t_failure; }

FileFailure TakeFileFailure() {
  FileFailure out = t_failure;
  t_failure = FileFailure();
  return out;
}

const std::string& LastFailureText() { return t_lastText; }

void RaiseFileFailure(const FileFailure& failure) {
  t_lastText = FileCallText(failure.call);
  // 12 as the engine's callers know it, 8 and 14 as Win32 names running out of memory.
  if (failure.osError == 12 || failure.osError == 8 || failure.osError == 14) AfxThrowMemoryException();
  CFileException::ThrowOsError(failure.osError, failure.file.empty() ? nullptr : failure.file.c_str());
}

void FailWriteAfter(int n, LONG osError) {
  t_failWriteIn = n;
  t_failWriteCode = osError;
}

}  // namespace vaultkit::pyx
