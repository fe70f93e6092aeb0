// Loading a library of 1,000 dual interfaces with 50 members each and writing both kinds of
// stubs for it; the target is 200 ms for the three together.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "platform/ole/memory_stream.h"
#include "platform/ole/testing/big_type_library.h"
#include "platform/ole/typelib.h"
#include "javastubs/stub_writer.h"

namespace {

using halyard::ole::ComPtr;

const std::vector<BYTE>& Library() {
  static const std::vector<BYTE> bytes = halyard::ole::testing::BuildBigLibrary(1000);
  return bytes;
}

ComPtr<ITypeLib> Load() {
  ITypeLib* lib = nullptr;
  if (FAILED(halyard::ole::LoadTypeLibFromMemory(Library().data(), Library().size(), "", &lib)) ||
      lib->GetTypeInfoCount() != 1101) {
    std::fprintf(stderr, "the generated library does not load\n");
    std::abort();
  }
  return ComPtr<ITypeLib>::Attach(lib);
}

std::size_t Write(ITypeLib* lib, HRESULT (*writer)(ITypeLib*, IStream*)) {
  auto* stream = new halyard::ole::MemoryStream();
  writer(lib, stream);
  std::size_t n = stream->Bytes().size();
  stream->Release();
  return n;
}

void BM_LoadAndWriteBothStubs(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    ComPtr<ITypeLib> lib = Load();
    bytes = Write(lib.Get(), quarb::WriteInterfaceStubs) + Write(lib.Get(), quarb::WriteClassStubs);
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["java_bytes"] = double(bytes);
  state.counters["tlb_bytes"] = double(Library().size());
}
BENCHMARK(BM_LoadAndWriteBothStubs)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Load());
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

void BM_InterfaceStubs(benchmark::State& state) {
  ComPtr<ITypeLib> lib = Load();
  for (auto _ : state) benchmark::DoNotOptimize(Write(lib.Get(), quarb::WriteInterfaceStubs));
}
BENCHMARK(BM_InterfaceStubs)->Unit(benchmark::kMillisecond);

void BM_ClassStubs(benchmark::State& state) {
  ComPtr<ITypeLib> lib = Load();
  for (auto _ : state) benchmark::DoNotOptimize(Write(lib.Get(), quarb::WriteClassStubs));
}
BENCHMARK(BM_ClassStubs)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
