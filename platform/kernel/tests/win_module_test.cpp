#include "platform/kernel/win_module.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/kernel/win_error.h"
#include "platform/kernel/win_path.h"

namespace {

using AddFn = int (*)(int, int);
using NameFn = const char* (*)();
using SecretFn = int (*)();

// The test library is built beside the test program.
std::string FixtureHostPath() {
  char exe[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string path(exe, static_cast<std::size_t>(n > 0 ? n : 0));
  return path.substr(0, path.rfind('/')) + "/libordinal_fixture.so";
}

std::string Real(const std::string& path) {
  char buf[PATH_MAX];
  return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

class WinModuleTest : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv("HALYARD_DRIVE_C"); }
};

TEST_F(WinModuleTest, AWindowsNameFindsTheLibraryBesideTheProgram) {
  HMODULE module = LoadLibraryA("Ordinal_Fixture.dll");
  ASSERT_NE(module, nullptr) << GetLastError();
  auto add = halyard::ProcAs<AddFn>(GetProcAddress(module, "FixtureAdd"));
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add(40, 2), 42);
  // Without an extension ".dll" is understood; the host's own file name works too.
  HMODULE again = LoadLibraryA("ORDINAL_FIXTURE");
  HMODULE host = LoadLibraryA("libordinal_fixture.so");
  EXPECT_EQ(again, module);
  EXPECT_EQ(host, module);
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_TRUE(FreeLibrary(host));
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(WinModuleTest, AWindowsPathIsMappedThroughItsDrive) {
  std::string folder = FixtureHostPath().substr(0, FixtureHostPath().rfind('/'));
  setenv("HALYARD_DRIVE_C", folder.c_str(), 1);
  HMODULE module = LoadLibraryA("C:\\Ordinal_Fixture.dll");
  ASSERT_NE(module, nullptr) << GetLastError();
  EXPECT_NE(GetProcAddress(module, "FixtureName"), nullptr);
  EXPECT_TRUE(FreeLibrary(module));
  // A folder is searched alone: the same name in another folder is not found there.
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("C:\\elsewhere\\Ordinal_Fixture.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(WinModuleTest, ARuntimeOnlyInstallIsFoundByItsVersionedName) {
  // Runtime packages carry lib<name>.so.<ABI> and no development link.
  halyard::testing::ScratchDir dir("kernel-module");
  std::string versioned = dir.Join("libversioned.so." HALYARD_SOVERSION_TEXT);
  halyard::testing::ScratchDir::Write(versioned, halyard::testing::ScratchDir::Read(FixtureHostPath()));
  setenv("HALYARD_DRIVE_C", dir.path().c_str(), 1);
  HMODULE module = LoadLibraryA("C:\\Versioned.dll");
  ASSERT_NE(module, nullptr) << GetLastError();
  EXPECT_NE(GetProcAddress(module, "FixtureName"), nullptr);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(WinModuleTest, MissingOrBrokenLibrariesSetTheirErrors) {
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA("NoSuchLibrary.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  halyard::testing::ScratchDir dir("kernel-module");
  halyard::testing::ScratchDir::Write(dir.Join("Broken.dll"), "MZ this is no library");
  setenv("HALYARD_DRIVE_C", dir.path().c_str(), 1);
  EXPECT_EQ(LoadLibraryA("C:\\Broken.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
}

TEST_F(WinModuleTest, OrdinalsComeFromTheModulesTable) {
  HMODULE module = LoadLibraryA("Ordinal_Fixture.dll");
  ASSERT_NE(module, nullptr);
  auto add = halyard::ProcAs<AddFn>(GetProcAddress(module, MAKEINTRESOURCEA(101)));
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add(2, 3), 5);  // the first row of 101, not the later duplicate
  auto name = halyard::ProcAs<NameFn>(GetProcAddress(module, MAKEINTRESOURCEA(102)));
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name(), "ordinal fixture");
  EXPECT_EQ(reinterpret_cast<void*>(name),
            reinterpret_cast<void*>(GetProcAddress(module, "FixtureName")));
  auto secret = halyard::ProcAs<SecretFn>(GetProcAddress(module, MAKEINTRESOURCEA(140)));
  ASSERT_NE(secret, nullptr);
  EXPECT_EQ(secret(), 4242);
  EXPECT_EQ(GetProcAddress(module, "FixtureSecret"), nullptr);  // it has no exported name

  for (WORD missing : {WORD{0}, WORD{100}, WORD{103}, WORD{141}, WORD{65535}}) {
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, MAKEINTRESOURCEA(missing)), nullptr) << missing;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << missing;
  }
  EXPECT_TRUE(IS_INTRESOURCE(MAKEINTRESOURCEA(65535)));
  EXPECT_FALSE(IS_INTRESOURCE("FixtureAdd"));
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(WinModuleTest, NamesAreLookedUpInTheModuleItselfOnly) {
  HMODULE module = LoadLibraryA("Ordinal_Fixture.dll");
  ASSERT_NE(module, nullptr);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(module, "NoSuchFunction"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  // The C library is loaded for the module, but its functions are not the module's.
  EXPECT_EQ(GetProcAddress(module, "malloc"), nullptr);
  EXPECT_EQ(GetProcAddress(module, ""), nullptr);
  EXPECT_TRUE(FreeLibrary(module));
  // A library without a table exports nothing by number, even when one it loads has a table.
  HMODULE libm = LoadLibraryA("libm.so.6");
  ASSERT_NE(libm, nullptr);
  EXPECT_NE(GetProcAddress(libm, "cos"), nullptr);
  EXPECT_EQ(GetProcAddress(libm, MAKEINTRESOURCEA(101)), nullptr);
  EXPECT_TRUE(FreeLibrary(libm));
}

TEST_F(WinModuleTest, FreeLibraryCountsReferencesAndRefusesUnknownHandles) {
  HMODULE first = LoadLibraryA("Ordinal_Fixture.dll");
  HMODULE second = LoadLibraryA("Ordinal_Fixture.dll");
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(first, second);
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_NE(GetProcAddress(second, "FixtureAdd"), nullptr);  // still loaded
  EXPECT_TRUE(FreeLibrary(second));
  // The last reference is gone: the library is unloaded and its handle is no longer valid.
  EXPECT_EQ(dlopen(FixtureHostPath().c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FreeLibrary(nullptr));
  int local = 0;
  EXPECT_EQ(GetProcAddress(&local, "FixtureAdd"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(WinModuleTest, ModuleFileNamesAreWindowsPathsOfTheFiles) {
  HMODULE module = LoadLibraryA("Ordinal_Fixture.dll");
  ASSERT_NE(module, nullptr);
  char name[MAX_PATH];
  DWORD n = GetModuleFileNameA(module, name, sizeof name);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(n, std::strlen(name));
  EXPECT_EQ(name[1], ':');
  EXPECT_EQ(halyard::MapWinPath(name), Real(FixtureHostPath()));

  n = GetModuleFileNameA(nullptr, name, sizeof name);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(halyard::MapWinPath(name), Real("/proc/self/exe"));
  std::string full = name;

  // Cut to the buffer, with the size returned and the error set, as the system does.
  char small[8];
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), sizeof small);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(small), full.substr(0, 7));
  EXPECT_TRUE(FreeLibrary(module));
  int local = 0;
  EXPECT_EQ(GetModuleFileNameA(&local, name, sizeof name), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
