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
constexpr std::size_t kFirstBlock = 4 * 1024;
constexpr std::size_t kLastBlock = 16 * 1024;

struct FreeNode {
  FreeNode* next;
};

// Every block ever taken, so that they stay reachable; guarded by the mutex.
std::mutex g_blocksLock;
std::vector<void*>* g_blocks = nullptr;

// Every size is carved from one block at a time, so that a page's elements, names and
// attributes fill their blocks in turn instead of leaving a part-used block per size; a freed
// piece goes onto the free list of its size.
struct ThreadPool {
  FreeNode* free[kClasses] = {};
  char* cursor = nullptr;
  char* limit = nullptr;
  std::size_t nextBlock = kFirstBlock;  // blocks grow, so that a small page takes little
};
thread_local ThreadPool t_pool;

// Starts a new block, the current one being too short for the next piece. Kept out of the
// allocation's own path, which then needs no registers saved.
[[gnu::noinline]] void NextBlock(ThreadPool& pool) {
  // The rest of the block goes onto the free lists, largest pieces first.
  while (std::size_t left = static_cast<std::size_t>(pool.limit - pool.cursor)) {
    std::size_t piece = left < kClasses * kGrain ? left : kClasses * kGrain;
    auto* n = reinterpret_cast<FreeNode*>(pool.cursor);
    n->next = pool.free[piece / kGrain - 1];
    pool.free[piece / kGrain - 1] = n;
    pool.cursor += piece;
  }
  std::size_t blockSize = pool.nextBlock;
  pool.nextBlock = blockSize * 2 < kLastBlock ? blockSize * 2 : kLastBlock;
  void* block = std::malloc(blockSize);
  if (!block) AfxThrowMemoryException();
  {
    std::lock_guard<std::mutex> lock(g_blocksLock);
    if (!g_blocks) g_blocks = new std::vector<void*>;
    g_blocks->push_back(block);
  }
  pool.cursor = static_cast<char*>(block);
  pool.limit = pool.cursor + blockSize;
}

[[gnu::noinline]] void* AllocateLarge(std::size_t size) {
  void* p = std::malloc(size);
  if (!p) AfxThrowMemoryException();
  return p;
}

}  // namespace

void* AllocateElem(std::size_t size) {
  std::size_t cls = (size + kGrain - 1) / kGrain;
  if (cls == 0 || cls > kClasses) return AllocateLarge(size);
  ThreadPool& pool = t_pool;
  --cls;
  if (FreeNode* n = pool.free[cls]) {
    pool.free[cls] = n->next;
    return n;
  }
  const std::size_t bytes = (cls + 1) * kGrain;
  if (static_cast<std::size_t>(pool.limit - pool.cursor) < bytes) NextBlock(pool);
  void* p = pool.cursor;
  pool.cursor += bytes;
  return p;
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
