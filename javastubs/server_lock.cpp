#include "server_lock.h"

#include <atomic>

namespace quarb {
namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

}  // namespace

void ObjectCreated() { ++g_objects; }

void ObjectDestroyed() { --g_objects; }

// An unbalanced unlock must not eat a lock that another caller still holds, nor let the count
// go below zero where it would hide a live object from DllCanUnloadNow.
bool LockServer(bool lock) {
  if (lock) {
    ++g_locks;
    return true;
  }
  long held = g_locks.load();
  while (held > 0) {
    if (g_locks.compare_exchange_weak(held, held - 1)) return true;
  }
  return false;
}

bool ServerInUse() { return g_objects.load() != 0 || g_locks.load() != 0; }

}  // namespace quarb
