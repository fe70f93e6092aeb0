#include "win_handle.h"

#include <mutex>
#include <unordered_map>

#include "win_error.h"

namespace halyard {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<ULONG_PTR, std::shared_ptr<KernelObject>> objects;
  // Handle values count up in steps of four as the system's do, and are never reused within
  // a process, so a closed handle stays invalid.
  ULONG_PTR next = 0x100;
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // Lives past static destruction for late closes.
  return *table;
}

}  // namespace

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object) {
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  ULONG_PTR value = t.next;
  t.next += 4;
  t.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupAnyHandle(HANDLE handle) {
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.objects.find(reinterpret_cast<ULONG_PTR>(handle));
  if (it == t.objects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second;
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle, KernelObject::Kind kind) {
  auto object = LookupAnyHandle(handle);
  if (object && object->kind() != kind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return object;
}

bool ReleaseHandle(HANDLE handle, KernelObject::Kind kind) {
  std::shared_ptr<KernelObject> doomed;  // Destroyed outside the lock.
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.objects.find(reinterpret_cast<ULONG_PTR>(handle));
  if (it == t.objects.end() || it->second->kind() != kind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  doomed = std::move(it->second);
  t.objects.erase(it);
  return true;
}

}  // namespace halyard

BOOL CloseHandle(HANDLE hObject) {
  auto object = halyard::LookupAnyHandle(hObject);
  if (!object || object->kind() == halyard::KernelObject::Kind::kFind) {
    // A search handle is closed with FindClose, as on the system.
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return halyard::ReleaseHandle(hObject, object->kind()) ? TRUE : FALSE;
}
