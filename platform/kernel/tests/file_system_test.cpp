#include "platform/kernel/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/kernel/testing/scratch_dir.h"

namespace halyard {
namespace {

using testing::ScratchDir;
using Kind = FolderEntry::Kind;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<FolderEntry> entries;
  EXPECT_EQ(ListFolder(folder, &entries), 0);
  std::vector<std::string> names;
  for (const auto& e : entries) names.push_back(e.name);
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

class FileSystemTest : public ::testing::Test {
 protected:
  ScratchDir dir_{"kernel-fs"};
};

TEST_F(FileSystemTest, LockExcludesAnotherHolderUntilReleased) {
  std::string lockPath = dir_.Join("board.lock");
  FileLock first;
  ASSERT_EQ(first.Acquire(lockPath), 0);
  EXPECT_TRUE(first.Held());
  FileLock second;
  EXPECT_EQ(second.TryAcquire(lockPath), EWOULDBLOCK);
  EXPECT_FALSE(second.Held());

  // Another process is kept out too, and gets the lock once it is let go.
  pid_t child = ::fork();
  if (child == 0) {
    FileLock other;
    ::_exit(other.TryAcquire(lockPath) == EWOULDBLOCK ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  FileLock moved = std::move(first);
  EXPECT_FALSE(first.Held());
  EXPECT_EQ(second.TryAcquire(lockPath), EWOULDBLOCK);
  moved.Release();
  EXPECT_EQ(second.TryAcquire(lockPath), 0);
}

TEST_F(FileSystemTest, LockOfAProcessThatDiesIsFreed) {
  std::string lockPath = dir_.Join("x.lock");
  pid_t child = ::fork();
  if (child == 0) {
    FileLock held;
    held.Acquire(lockPath);
    ::_exit(0);  // dies holding it
  }
  ::waitpid(child, nullptr, 0);
  FileLock lock;
  EXPECT_EQ(lock.TryAcquire(lockPath), 0);
}

TEST_F(FileSystemTest, LockInAMissingFolderFails) {
  FileLock lock;
  EXPECT_EQ(lock.Acquire(dir_.Join("no/such/x.lock")), ENOENT);
  EXPECT_EQ(lock.Acquire(""), ENOENT);
  EXPECT_FALSE(lock.Held());
}

TEST_F(FileSystemTest, TemporaryNamesAreHiddenTmpFilesBesideTheTarget) {
  std::string a = TemporaryNameBeside("/srv/board/index.html");
  std::string b = TemporaryNameBeside("/srv/board/index.html");
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind("/srv/board/.index.html.", 0), 0u) << a;
  EXPECT_TRUE(a.ends_with(".tmp"));
  EXPECT_TRUE(IsTemporaryName(a));
  std::string bare = TemporaryNameBeside("count.txt");
  EXPECT_EQ(bare.rfind(".count.txt.", 0), 0u) << bare;
  EXPECT_FALSE(IsTemporaryName("/srv/board/index.html"));
  EXPECT_FALSE(IsTemporaryName("/srv/.hidden/page.html"));
  EXPECT_FALSE(IsTemporaryName("/srv/notes.tmp"));
}

TEST_F(FileSystemTest, ReplaceKeepsPermissionsAndLeavesNoTemporaryFile) {
  std::string target = dir_.Join("page.html");
  ScratchDir::Write(target, "old");
  ::chmod(target.c_str(), 0640);
  ASSERT_EQ(ReplaceFileContents(target, std::string("new\0bytes", 9)), 0);
  EXPECT_EQ(ScratchDir::Read(target), std::string("new\0bytes", 9));
  EXPECT_EQ(ModeOf(target), 0640u);
  EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"page.html"});
  // A new file is created the same way.
  ASSERT_EQ(ReplaceFileContents(dir_.Join("fresh.txt"), "", false), 0);
  EXPECT_EQ(Names(dir_.path()), (std::vector<std::string>{"fresh.txt", "page.html"}));
}

std::string gSeenTemp, gSeenTarget;
void Peek(const std::string& temp) {
  gSeenTemp = temp;
  gSeenTarget = ScratchDir::Read(temp.substr(0, temp.rfind('/')) + "/hive.reg");
}

TEST_F(FileSystemTest, ReplacementIsWholeInTheTemporaryFileBeforeTheRename) {
  std::string target = dir_.Join("hive.reg");
  ScratchDir::Write(target, "before");
  ReplacementFile file(target);
  ASSERT_EQ(file.Begin(), 0);
  EXPECT_TRUE(IsTemporaryName(file.TempPath()));
  ASSERT_EQ(file.Write("af"), 0);
  ASSERT_EQ(file.Write("ter"), 0);
  ASSERT_EQ(file.Commit(true, &Peek), 0);
  EXPECT_EQ(gSeenTarget, "before");  // the target was untouched until the rename
  EXPECT_EQ(ScratchDir::Read(gSeenTemp), "");  // and the temporary name is gone after it
  EXPECT_EQ(ScratchDir::Read(target), "after");
  EXPECT_TRUE(file.TempPath().empty());
}

TEST_F(FileSystemTest, AbandonedReplacementLeavesTheOldFile) {
  std::string target = dir_.Join("count.txt");
  ScratchDir::Write(target, "41");
  {
    ReplacementFile file(target);
    ASSERT_EQ(file.Begin(), 0);
    ASSERT_EQ(file.Write("42"), 0);
  }
  EXPECT_EQ(ScratchDir::Read(target), "41");
  EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"count.txt"});
  ReplacementFile notBegun(target);
  EXPECT_EQ(notBegun.Write("x"), EBADF);
  EXPECT_EQ(notBegun.Commit(), EBADF);
  EXPECT_EQ(ScratchDir::Read(target), "41");
}

TEST_F(FileSystemTest, ReplaceInAMissingFolderFailsWithoutCreatingIt) {
  EXPECT_EQ(ReplaceFileContents(dir_.Join("gone/page.html"), "x"), ENOENT);
  EXPECT_TRUE(Names(dir_.path()).empty());
}

TEST_F(FileSystemTest, CommitIfAbsentNeverReplacesAnExistingFile) {
  std::string target = dir_.Join("message/1.html");
  ASSERT_EQ(MakeParentFolders(target), 0);
  ReplacementFile first(target);
  ASSERT_EQ(first.Begin(), 0);
  first.Write("one");
  ASSERT_EQ(first.CommitIfAbsent(), 0);
  ReplacementFile second(target);
  ASSERT_EQ(second.Begin(), 0);
  second.Write("two");
  EXPECT_EQ(second.CommitIfAbsent(), EEXIST);
  EXPECT_EQ(ScratchDir::Read(target), "one");
  EXPECT_EQ(Names(dir_.Join("message")), std::vector<std::string>{"1.html"});
}

TEST_F(FileSystemTest, MakeFoldersCreatesEveryLevelOnce) {
  EXPECT_EQ(MakeFolders(dir_.Join("a/b//c/")), 0);
  struct stat st {};
  ASSERT_EQ(::stat(dir_.Join("a/b/c").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(MakeFolders(dir_.Join("a/b/c")), 0);  // already there
  EXPECT_EQ(MakeFolders(dir_.Join("a/./b/../b/d")), 0);
  EXPECT_EQ(::stat(dir_.Join("a/b/d").c_str(), &st), 0);
  EXPECT_EQ(MakeFolders(""), 0);
}

TEST_F(FileSystemTest, MakeFoldersRefusesAFileInTheWay) {
  ScratchDir::Write(dir_.Join("plain"), "x");
  EXPECT_EQ(MakeFolders(dir_.Join("plain")), ENOTDIR);
  EXPECT_EQ(MakeFolders(dir_.Join("plain/sub/deeper")), ENOTDIR);
  EXPECT_EQ(MakeParentFolders(dir_.Join("plain/file.txt")), ENOTDIR);
  EXPECT_EQ(ScratchDir::Read(dir_.Join("plain")), "x");
}

TEST_F(FileSystemTest, MakeFoldersWorksOnRelativePaths) {
  char old[4096];
  ASSERT_NE(::getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  int made = MakeFolders("rel/one");
  int parents = MakeParentFolders("rel/two/file.txt");
  ASSERT_EQ(::chdir(old), 0);
  EXPECT_EQ(made, 0);
  EXPECT_EQ(parents, 0);
  EXPECT_EQ(Names(dir_.Join("rel")), (std::vector<std::string>{"one", "two"}));
}

TEST_F(FileSystemTest, MoveReplacesTheTargetAndFailsWithoutTouchingIt) {
  ScratchDir::Write(dir_.Join("from"), "payload");
  ScratchDir::Write(dir_.Join("to"), "old");
  ASSERT_EQ(MoveFile(dir_.Join("from"), dir_.Join("to")), 0);
  EXPECT_EQ(ScratchDir::Read(dir_.Join("to")), "payload");
  EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"to"});
  EXPECT_EQ(MoveFile(dir_.Join("from"), dir_.Join("to")), ENOENT);
  EXPECT_EQ(ScratchDir::Read(dir_.Join("to")), "payload");
}

TEST_F(FileSystemTest, MoveAcrossFileSystemsCopiesBytesModeAndTime) {
  // Needs a second file system; shared memory is one on most hosts.
  struct stat here {}, there {};
  if (::stat(dir_.path().c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 ||
      here.st_dev == there.st_dev || ::access("/dev/shm", W_OK) != 0)
    GTEST_SKIP() << "no second writable file system";
  std::string from = dir_.Join("big.bin");
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes.push_back(static_cast<char>(i * 7));
  ScratchDir::Write(from, bytes);
  ::chmod(from.c_str(), 0604);
  ASSERT_EQ(SetFileTimes(from, 1000000000), 0);
  std::string to = "/dev/shm/halyard-move-" + std::to_string(::getpid());
  ScratchDir::Write(to, "old");
  ASSERT_EQ(MoveFile(from, to), 0);
  struct stat st {};
  ASSERT_EQ(::stat(to.c_str(), &st), 0);
  EXPECT_EQ(ScratchDir::Read(to), bytes);
  EXPECT_EQ(st.st_mode & 07777, 0604u);
  EXPECT_EQ(st.st_mtime, 1000000000);
  EXPECT_NE(::access(from.c_str(), F_OK), 0);
  ::unlink(to.c_str());
  // A folder does not move across, and stays where it was.
  ASSERT_EQ(MakeFolders(dir_.Join("folder")), 0);
  EXPECT_EQ(MoveFile(dir_.Join("folder"), to), EXDEV);
  EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"folder"});
}

TEST_F(FileSystemTest, ListFolderSortsAndTellsKinds) {
  ASSERT_EQ(MakeFolders(dir_.Join("site/Images")), 0);
  for (const char* f : {"b.htm", "A.HTM", "index.htm"}) ScratchDir::Write(dir_.Join("site/") + f, "x");
  ASSERT_EQ(::symlink("Images", dir_.Join("site/pics").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", dir_.Join("site/dangling").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir_.Join("site/pipe").c_str(), 0600), 0);
  std::vector<FolderEntry> entries;
  ASSERT_EQ(ListFolder(dir_.Join("site"), &entries), 0);
  std::vector<FolderEntry> expected = {{"A.HTM", Kind::kFile},    {"Images", Kind::kFolder},
                                       {"b.htm", Kind::kFile},    {"dangling", Kind::kOther},
                                       {"index.htm", Kind::kFile}, {"pics", Kind::kFolder},
                                       {"pipe", Kind::kOther}};
  EXPECT_EQ(entries, expected);
  ASSERT_EQ(ListFolder(dir_.Join("site/Images"), &entries), 0);
  EXPECT_TRUE(entries.empty());
}

TEST_F(FileSystemTest, ListFolderReportsWhatIsNotAFolder) {
  std::vector<FolderEntry> entries{{"stale", Kind::kFile}};
  EXPECT_EQ(ListFolder(dir_.Join("missing"), &entries), ENOENT);
  EXPECT_TRUE(entries.empty());
  ScratchDir::Write(dir_.Join("file"), "x");
  EXPECT_EQ(ListFolder(dir_.Join("file"), &entries), ENOTDIR);
}

TEST_F(FileSystemTest, SetFileTimesLeavesATimeThatIsNotGiven) {
  std::string file = dir_.Join("page.html");
  ScratchDir::Write(file, "x");
  ASSERT_EQ(SetFileTimes(file, 1200000000), 0);
  struct timespec modified {1300000000, 500};
  ASSERT_EQ(SetFileTimes(file, nullptr, &modified), 0);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_atim.tv_sec, 1200000000);
  EXPECT_EQ(st.st_mtim.tv_sec, 1300000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 500);
  EXPECT_EQ(SetFileTimes(dir_.Join("missing"), 1), ENOENT);
}

}  // namespace
}  // namespace halyard
