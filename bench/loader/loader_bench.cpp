// Loading a deliverable as the design tool does: LoadLibraryA, GetProcAddress, the first call,
// FreeLibrary. The platform runtime is already in the process (the tool links it), so each
// iteration maps the deliverable, binds it to the platform and unloads it again.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/kernel/win_module.h"

namespace {

std::string LibraryPath(const char* name) { return std::string(HALYARD_BINARY_DIR) + "/lib/" + name; }

template <typename Fn, typename Call>
void LoadAndCall(benchmark::State& state, const char* library, const char* symbol, Call call) {
  const std::string path = LibraryPath(library);
  for (auto _ : state) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
      state.SkipWithError("the library did not load");
      return;
    }
    FARPROC proc = GetProcAddress(module, symbol);
    if (!proc) {
      state.SkipWithError("the entry point is missing");
      return;
    }
    call(halyard::ProcAs<Fn>(proc));
    FreeLibrary(module);
  }
}

void BM_LoadQuarbCompiler(benchmark::State& state) {
  LoadAndCall<LONG (*)()>(state, "libquarbcompiler.so", "DllCanUnloadNow",
                          [](auto fn) { benchmark::DoNotOptimize(fn()); });
}
BENCHMARK(BM_LoadQuarbCompiler)->Unit(benchmark::kMicrosecond);

void BM_LoadVaultkit(benchmark::State& state) {
  // CRErrorHandler::mClearError()
  LoadAndCall<void (*)()>(state, "libvaultkit.so", "_ZN14CRErrorHandler11mClearErrorEv",
                          [](auto fn) { fn(); });
}
BENCHMARK(BM_LoadVaultkit)->Unit(benchmark::kMicrosecond);

void BM_LoadTagsmith(benchmark::State& state) {
  // Log(const char*, ...) with the trace off: returns at once.
  LoadAndCall<void (*)(const char*, ...)>(state, "libtagsmith.so", "_Z3LogPKcz",
                                          [](auto fn) { fn("%s", "x"); });
}
BENCHMARK(BM_LoadTagsmith)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
