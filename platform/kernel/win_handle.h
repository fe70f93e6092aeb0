// Kernel object handles: threads, events and directory searches are handed out as HANDLEs
// that name a live object in a process-wide table, so that a stale or foreign handle is
// refused with ERROR_INVALID_HANDLE instead of being followed. Any thread may use the table.
#pragma once

#include <memory>

#include "win_types.h"

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

// Closes a thread or event handle (a running thread keeps running). FALSE with
// ERROR_INVALID_HANDLE for a handle that is not open.
BOOL CloseHandle(HANDLE hObject);

namespace halyard {

// The object behind a handle. Objects are shared: a handle keeps its object alive, and code
// that works on an object holds its own reference while it does.
class KernelObject {
 public:
  enum class Kind { kThread, kEvent, kFind };
  explicit KernelObject(Kind kind) : kind_(kind) {}
  virtual ~KernelObject() = default;
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

// Registers an object and returns its new handle.
HANDLE RegisterHandle(std::shared_ptr<KernelObject> object);

// The object of a handle when it is open and of the given kind; null otherwise (the last
// error is then ERROR_INVALID_HANDLE).
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle, KernelObject::Kind kind);

// Any open object of a handle (null and ERROR_INVALID_HANDLE when none).
std::shared_ptr<KernelObject> LookupAnyHandle(HANDLE handle);

// Removes a handle of the given kind from the table; false when it was not open.
bool ReleaseHandle(HANDLE handle, KernelObject::Kind kind);

}  // namespace halyard
