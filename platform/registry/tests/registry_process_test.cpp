// Several processes changing one hive at once, and processes killed in the middle of a change.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/kernel/file_system.h"
#include "platform/registry/hive.h"
#include "platform/registry/locked_file.h"
#include "platform/registry/profile.h"
#include "platform/registry/win_reg.h"
#include "scratch_dir.h"

namespace {

using halyard::registry::testing::ScratchDir;

LONG SetString(HKEY h, const std::string& name, const std::string& text) {
  return RegSetValueExA(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

// The value names of a hive file as a fresh parse of its bytes finds them.
std::set<std::string> NamesInHive(const std::string& file, bool* parsed) {
  std::vector<halyard::registry::RegSection> sections;
  std::set<std::string> names;
  *parsed = halyard::registry::ParseRegText(ScratchDir::Read(file), &sections, nullptr);
  for (const auto& s : sections)
    for (const auto& e : s.entries) names.insert(e.name);
  return names;
}

TEST(RegistryProcesses, ConcurrentWritersLoseNothing) {
  ScratchDir dir;
  constexpr int kProcs = 4, kWrites = 40;
  std::vector<pid_t> kids;
  for (int p = 0; p < kProcs; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      for (int i = 0; i < kWrites; ++i) {
        HKEY h = nullptr;
        // Each process creates its own subkey and writes into a shared one.
        std::string own = "Software\\Race\\P" + std::to_string(p);
        if (RegCreateKeyExA(HKEY_CURRENT_USER, own.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &h, nullptr) != ERROR_SUCCESS) {
          ++failures;
          continue;
        }
        RegCloseKey(h);
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Race", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &h, nullptr);
        std::string name = "p" + std::to_string(p) + "_" + std::to_string(i);
        if (SetString(h, name, name) != ERROR_SUCCESS) ++failures;
        RegCloseKey(h);
        std::string key = "k" + std::to_string(p) + "_" + std::to_string(i);
        if (!WritePrivateProfileStringA("Race", key.c_str(), "1", "race.ini")) ++failures;
      }
      _exit(failures == 0 ? 0 : 1);
    }
    kids.push_back(pid);
  }
  for (pid_t pid : kids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  HKEY h = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Race", 0, KEY_READ, &h), ERROR_SUCCESS);
  DWORD values = 0, subKeys = 0;
  RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  EXPECT_EQ(values, static_cast<DWORD>(kProcs * kWrites));
  EXPECT_EQ(subKeys, static_cast<DWORD>(kProcs));
  for (int p = 0; p < kProcs; ++p) {
    for (int i = 0; i < kWrites; ++i) {
      std::string name = "p" + std::to_string(p) + "_" + std::to_string(i);
      EXPECT_EQ(RegQueryValueExA(h, name.c_str(), nullptr, nullptr, nullptr, nullptr),
                ERROR_SUCCESS)
          << name;
      std::string key = "k" + std::to_string(p) + "_" + std::to_string(i);
      EXPECT_EQ(GetPrivateProfileIntA("Race", key.c_str(), 0, "race.ini"), 1u) << key;
    }
  }
  RegCloseKey(h);
}

void DieBeforeReplace(const std::string&) { ::raise(SIGKILL); }

TEST(RegistryProcesses, AWriterKilledBeforeTheRenameLeavesTheOldHive) {
  ScratchDir dir;
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Crash", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &h, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(SetString(h, "before", "1"), ERROR_SUCCESS);
  std::string hive = dir.Hive("HKEY_CURRENT_USER");
  std::string old = ScratchDir::Read(hive);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    halyard::registry::SetBeforeReplaceHookForTesting(DieBeforeReplace);
    SetString(h, "during", "2");
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(ScratchDir::Read(hive), old);
  // The dead writer's whole new hive is in a hidden temporary file beside the old one.
  std::vector<halyard::FolderEntry> entries;
  ASSERT_EQ(halyard::ListFolder(dir.path() + "/registry", &entries), 0);
  std::string leftover;
  for (const auto& e : entries)
    if (halyard::IsTemporaryName(e.name)) leftover = dir.path() + "/registry/" + e.name;
  ASSERT_FALSE(leftover.empty());
  EXPECT_EQ(leftover.find("/.HKEY_CURRENT_USER.reg."), dir.path().size() + 9);
  EXPECT_NE(ScratchDir::Read(leftover).find("\"during\""), std::string::npos);
  // The dead writer's lock went with it; the next change goes through.
  EXPECT_EQ(RegQueryValueExA(h, "during", nullptr, nullptr, nullptr, nullptr),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(SetString(h, "after", "3"), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(h, "before", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  RegCloseKey(h);
}

TEST(RegistryProcesses, WritersKilledAtRandomMomentsNeverDamageTheHive) {
  ScratchDir dir;
  std::string hive = dir.Hive("HKEY_CURRENT_USER");
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Kill", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  std::set<std::string> confirmed;
  int counter = 0;
  for (int round = 0; round < 12; ++round) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      HKEY h = nullptr;
      RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Kill", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &h, nullptr);
      for (int i = 0;; ++i) {
        std::string name = "r" + std::to_string(counter) + "_" + std::to_string(i);
        if (SetString(h, name, std::string(200, 'x')) == ERROR_SUCCESS) {
          name += "\n";
          if (write(fds[1], name.data(), name.size()) < 0) _exit(1);
        }
      }
    }
    close(fds[1]);
    usleep(static_cast<useconds_t>(2000 + round * 1500));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    std::string reported;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) reported.append(buf, n);
    close(fds[0]);
    for (std::size_t at = 0, nl; (nl = reported.find('\n', at)) != std::string::npos; at = nl + 1)
      confirmed.insert(reported.substr(at, nl - at));
    ++counter;
    bool parsed = false;
    std::set<std::string> names = NamesInHive(hive, &parsed);
    ASSERT_TRUE(parsed) << "round " << round;
    for (const std::string& c : confirmed) ASSERT_EQ(names.count(c), 1u) << c;
  }
  EXPECT_GT(confirmed.size(), 0u);
}

}  // namespace
