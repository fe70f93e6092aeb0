// A value read and a value change in a hive of 1,000 values, as the registry functions do
// them (cache check, locked rewrite, atomic replace); and a read right after another process
// replaced the hive, which parses it again.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/registry/profile.h"
#include "platform/registry/registry_store.h"
#include "platform/registry/win_reg.h"

namespace {

class Scratch {
 public:
  Scratch() {
    char tmpl[] = "/tmp/registry-bench-XXXXXX";
    dir_ = mkdtemp(tmpl);
    setenv("HALYARD_REGISTRY", dir_.c_str(), 1);
    setenv("HALYARD_WINDIR", dir_.c_str(), 1);
    std::string text = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Bench]\r\n";
    for (int i = 0; i < 1000; ++i) {
      char line[96];
      std::snprintf(line, sizeof line, "\"Value%04d\"=\"setting number %d of the bench\"\r\n", i,
                    i);
      text += line;
    }
    halyard::registry::ImportRegText(text, nullptr);
    RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Bench", 0, KEY_ALL_ACCESS, &key_);
  }
  ~Scratch() {
    RegCloseKey(key_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  HKEY key() const { return key_; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  HKEY key_ = nullptr;
};

void BM_RegistryRead(benchmark::State& state) {
  Scratch s;
  char buf[64];
  for (auto _ : state) {
    DWORD size = sizeof buf, type = 0;
    LONG r =
        RegQueryValueExA(s.key(), "value0500", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    if (r != ERROR_SUCCESS) state.SkipWithError("query failed");
    benchmark::DoNotOptimize(buf);
  }
}
BENCHMARK(BM_RegistryRead)->Unit(benchmark::kMicrosecond);

void BM_RegistryChange(benchmark::State& state) {
  Scratch s;
  DWORD n = 0;
  for (auto _ : state) {
    ++n;
    LONG r = RegSetValueExA(s.key(), "Value0999", 0, REG_DWORD, reinterpret_cast<BYTE*>(&n), 4);
    if (r != ERROR_SUCCESS) state.SkipWithError("set failed");
  }
}
BENCHMARK(BM_RegistryChange)->Unit(benchmark::kMicrosecond);

void BM_RegistryReadAfterOutsideChange(benchmark::State& state) {
  Scratch s;
  std::string hive = halyard::registry::HivePath(halyard::registry::Root::kCurrentUser);
  std::string copy = hive + ".copy";
  char buf[64];
  for (auto _ : state) {
    state.PauseTiming();
    // Another process's change: a new file under the hive's name.
    std::filesystem::copy_file(hive, copy, std::filesystem::copy_options::overwrite_existing);
    std::rename(copy.c_str(), hive.c_str());
    state.ResumeTiming();
    DWORD size = sizeof buf, type = 0;
    if (RegQueryValueExA(s.key(), "Value0001", nullptr, &type, reinterpret_cast<BYTE*>(buf),
                         &size) != ERROR_SUCCESS)
      state.SkipWithError("query failed");
  }
}
BENCHMARK(BM_RegistryReadAfterOutsideChange)->Unit(benchmark::kMicrosecond)->Iterations(200);

void BM_ProfileRead(benchmark::State& state) {
  Scratch s;
  WritePrivateProfileStringA("HTTP", "enabled", "1", "kvproxy.ini");
  WritePrivateProfileStringA("Legs", "ThreadingEnabled", "1", "kvproxy.ini");
  for (auto _ : state)
    benchmark::DoNotOptimize(GetPrivateProfileIntA("Legs", "ThreadingEnabled", 0, "kvproxy.ini"));
}
BENCHMARK(BM_ProfileRead)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
