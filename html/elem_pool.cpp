#include "elem_pool.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

#include "platform/mfc/cexception.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAGSMITH_PLAIN_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TAGSMITH_PLAIN_HEAP 1
#endif

namespace halyard::tagsmith {

#ifdef TAGSMITH_PLAIN_HEAP

void* AllocateElem(std::size_t size) {
  void* p = std::malloc(size);
  if (!p) AfxThrowMemoryException();
  return p;
}

void FreeElem(void* p, std::size_t) { std::free(p); }

#else

namespace {

constexpr std::size_t kGrain = 8;
constexpr std::size_t kClasses = 32;  // up to 256 bytes
constexpr std::size_t kBlock = 16 * 1024;

struct FreeNode {
  FreeNode* next;
};

// Every block ever taken, so that they stay reachable; guarded by the mutex.
std::mutex g_blocksLock;
std::vector<void*>* g_blocks = nullptr;

struct ThreadPool {
  FreeNode* free[kClasses] = {};
  char* cursor[kClasses] = {};
  char* limit[kClasses] = {};
  std::size_t nextBlock[kClasses] = {};  // a class's blocks grow from 1 KB, so little is idle
};
thread_local ThreadPool t_pool;

void* Carve(ThreadPool& pool, std::size_t cls, std::size_t size) {
  if (pool.cursor[cls] + size > pool.limit[cls]) {
    std::size_t blockSize = pool.nextBlock[cls] ? pool.nextBlock[cls] : 1024;
    pool.nextBlock[cls] = blockSize * 2 < kBlock ? blockSize * 2 : kBlock;
    void* block = std::malloc(blockSize);
    if (!block) AfxThrowMemoryException();
    {
      std::lock_guard<std::mutex> lock(g_blocksLock);
      if (!g_blocks) g_blocks = new std::vector<void*>;
      g_blocks->push_back(block);
    }
    pool.cursor[cls] = static_cast<char*>(block);
    pool.limit[cls] = pool.cursor[cls] + blockSize;
  }
  void* p = pool.cursor[cls];
  pool.cursor[cls] += size;
  return p;
}

}  // namespace

void* AllocateElem(std::size_t size) {
  std::size_t cls = (size + kGrain - 1) / kGrain;
  if (cls == 0 || cls > kClasses) {
    void* p = std::malloc(size);
    if (!p) AfxThrowMemoryException();
    return p;
  }
  ThreadPool& pool = t_pool;
  --cls;
  if (FreeNode* n = pool.free[cls]) {
    pool.free[cls] = n->next;
    return n;
  }
  return Carve(pool, cls, (cls + 1) * kGrain);
}

void FreeElem(void* p, std::size_t size) {
  if (!p) return;
  std::size_t cls = (size + kGrain - 1) / kGrain;
  if (cls == 0 || cls > kClasses) return std::free(p);
  ThreadPool& pool = t_pool;
  --cls;
  auto* n = static_cast<FreeNode*>(p);
  n->next = pool.free[cls];
  pool.free[cls] = n;
}

#endif

}  // namespace halyard::tagsmith
