// The store under hard conditions, with real processes: writers killed at random moments,
// two writers and a reader at once, a file size limit reached during a commit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "datalib/store/pyx_engine.h"
#include "datalib/store/pyx_vfs.h"
#include "platform/kernel/testing/scratch_dir.h"
#include "platform/mfc/cfileexception.h"
#include "platform/mfc/cmemoryexception.h"

namespace {

using namespace vaultkit::pyx;

constexpr LONG kItem = 50;
constexpr int kBatch = 10;

COleVariant Long(LONG v) { return COleVariant(v, static_cast<VARTYPE>(VT_I4)); }

void MakeStore(const std::string& path) {
  PyxStore store(path, true, true);
  store.DefineType(kItem, "Item");
  store.AddAttribute(kItem, 1);  // 512: batch
  store.AddAttribute(kItem, 1);  // 513: writer
  store.AddAttribute(kItem, 0);  // 514: a text to make the pages fill
  store.Commit();
}

// Objects per (writer, batch), read by a fresh store.
std::map<std::pair<LONG, LONG>, int> Batches(const std::string& path) {
  PyxStore store(path, false, false);
  std::map<std::pair<LONG, LONG>, int> out;
  std::unique_ptr<PyxIDList> all(store.Evaluate(PyxQuery(kItem, nullptr, -1, true)));
  std::vector<COleVariant> row;
  for (auto id : all->mIds) {
    EXPECT_TRUE(store.Read(kItem, id, &row));
    out[{row.at(1).lVal, row.at(0).lVal}]++;
  }
  return out;
}

// Writes batches of kBatch objects from batch `from` on, committing each; reports each
// committed batch number on fd. Never returns.
[[noreturn]] void WriteBatches(const std::string& path, LONG writer, LONG from, LONG count, int fd) {
  int code = 0;
  try {
    PyxStore store(path, true, false);
    const std::string filler(200, 'f');
    for (LONG b = from; b < from + count; ++b) {
      for (int i = 0; i < kBatch; ++i)
        store.Insert(kItem, {{512, Long(b)}, {513, Long(writer)}, {514, COleVariant(filler.c_str(), VT_BSTRT)}});
      store.Commit();
      if (fd >= 0 && ::write(fd, &b, sizeof b) != sizeof b) code = 3;
    }
  } catch (CFileException* e) {
    e->Delete();
    code = 2;
  }
  ::_exit(code);
}

class StoreReliability : public ::testing::Test {
 protected:
  void SetUp() override {
    path = dir.Join("items.qld");
    MakeStore(path);
  }
  halyard::testing::ScratchDir dir{"pyx-reliability"};
  std::string path;
};

TEST_F(StoreReliability, AWriterKilledAtAnyMomentLosesOnlyWhatItHadNotCommitted) {
  std::mt19937 random(20261208);
  LONG next = 0;  // the first batch number not known to be committed
  for (int round = 0; round < 200; ++round) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipeFds[0]);
      WriteBatches(path, 1, next, 1000, pipeFds[1]);
    }
    ::close(pipeFds[1]);
    ::usleep(std::uniform_int_distribution<useconds_t>(0, 15000)(random));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    LONG reported = next - 1, b = 0;
    while (::read(pipeFds[0], &b, sizeof b) == sizeof b) reported = b;
    ::close(pipeFds[0]);

    // Every batch is whole; the ones reported committed are there; at most one more is.
    auto batches = Batches(path);
    LONG highest = -1;
    for (const auto& [key, n] : batches) {
      ASSERT_EQ(n, kBatch) << "round " << round << " batch " << key.second;
      highest = std::max(highest, key.second);
    }
    ASSERT_GE(highest, reported) << "round " << round;
    ASSERT_LE(highest, reported + 1) << "round " << round;
    ASSERT_EQ(static_cast<LONG>(batches.size()), highest + 1) << "round " << round;
    next = highest + 1;
  }
  EXPECT_GT(next, 0);
}

TEST_F(StoreReliability, TwoWritersLoseNothingAndAReaderSeesOnlyWholeCommits) {
  pid_t writers[2];
  for (LONG w = 0; w < 2; ++w) {
    writers[w] = ::fork();
    ASSERT_GE(writers[w], 0);
    if (writers[w] == 0) WriteBatches(path, w + 10, 0, 40, -1);
  }
  int reads = 0;
  for (bool running = true; running;) {
    running = false;
    for (pid_t w : writers) running = running || ::waitpid(w, nullptr, WNOHANG) == 0;
    try {
      for (const auto& [key, n] : Batches(path)) ASSERT_EQ(n, kBatch);
      ++reads;
    } catch (CFileException* e) {
      // A writer holding the file for its commit longer than the wait: try again.
      e->Delete();
    }
  }
  for (pid_t w : writers) {
    int status = 0;
    ::waitpid(w, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  auto batches = Batches(path);
  EXPECT_EQ(batches.size(), 80u);
  for (LONG w = 10; w < 12; ++w)
    for (LONG b = 0; b < 40; ++b) EXPECT_EQ((batches[{w, b}]), kBatch) << w << "/" << b;
  EXPECT_GT(reads, 0);
}

TEST_F(StoreReliability, AFullDiskDuringCommitRaisesTheFileExceptionAndKeepsTheStore) {
  // Some committed content first.
  pid_t first = ::fork();
  if (first == 0) WriteBatches(path, 1, 0, 5, -1);
  int status = 0;
  ::waitpid(first, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  struct stat before;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);

  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The file may grow by a few pages only; writing beyond fails as a full disk would.
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {static_cast<rlim_t>(before.st_size + 8192), static_cast<rlim_t>(before.st_size + 8192)};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    int code = 1;
    try {
      PyxStore store(path, true, false);
      const std::string filler(500, 'x');
      for (int i = 0; i < 2000; ++i)
        store.Insert(kItem, {{512, Long(100)}, {513, Long(1)}, {514, COleVariant(filler.c_str(), VT_BSTRT)}});
      store.Commit();
    } catch (CFileException* e) {
      // The system's own error for the write beyond the limit, not a damaged store.
      code = e->m_lOsError != kCorruptStoreCode && e->m_lOsError > 0 ? 0 : 4;
      e->Delete();
    } catch (CMemoryException* e) {
      e->Delete();
      code = 5;
    }
    ::_exit(code);
  }
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  auto batches = Batches(path);
  EXPECT_EQ(batches.size(), 5u);
  EXPECT_EQ(batches.count({1, 100}), 0u);
  // And the store takes more once there is room again.
  pid_t after = ::fork();
  if (after == 0) WriteBatches(path, 1, 5, 1, -1);
  ::waitpid(after, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Batches(path).size(), 6u);
}

}  // namespace
