// Archive throughput: 100,000 small objects in a CObArray, and one 64 MiB byte block stored
// as a count and raw bytes, each stored into and loaded from a memory file.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/mfc/carchive.h"
#include "platform/mfc/cmemfile.h"
#include "platform/mfc/cobarray.h"

class CBenchItem : public CObject {
  DECLARE_SERIAL(CBenchItem)
 public:
  void Serialize(CArchive& ar) override {
    if (ar.IsStoring()) {
      ar << type << field << op << text;
    } else {
      ar >> type >> field >> op >> text;
    }
  }
  LONG type = 0, field = 0, op = 0;
  CString text;
};
IMPLEMENT_SERIAL(CBenchItem, CObject, 0)

namespace {

constexpr int kObjects = 100000;
constexpr UINT kBlock = 64u << 20;

struct Graph {
  Graph() : items(new CBenchItem[kObjects]) {
    for (int i = 0; i < kObjects; ++i) {
      items[i].type = i;
      items[i].field = i % 7;
      items[i].op = -1;
      items[i].text = "value";
      arr.Add(&items[i]);
    }
  }
  std::unique_ptr<CBenchItem[]> items;
  CObArray arr;
};

// Stores the graph; returns the archive bytes (malloc'd) and their length.
BYTE* StoreGraph(Graph& g, DWORD* len) {
  CMemFile f(65536);
  {
    CArchive ar(&f, CArchive::store, 4096);
    ar << &g.arr;
  }
  *len = f.GetLength();
  return f.Detach();
}

void BM_StoreSmallObjects(benchmark::State& state) {
  Graph g;
  DWORD len = 0;
  for (auto _ : state) {
    BYTE* p = StoreGraph(g, &len);
    benchmark::DoNotOptimize(p);
    std::free(p);
  }
  state.SetItemsProcessed(state.iterations() * kObjects);
  state.SetBytesProcessed(state.iterations() * (int64_t)len);
}
BENCHMARK(BM_StoreSmallObjects)->Unit(benchmark::kMillisecond);

void BM_LoadSmallObjects(benchmark::State& state) {
  Graph g;
  DWORD len = 0;
  BYTE* bytes = StoreGraph(g, &len);
  for (auto _ : state) {
    CMemFile f(bytes, len);
    CArchive ar(&f, CArchive::load, 4096);
    CObArray* back = nullptr;
    ar >> back;
    state.PauseTiming();
    for (int i = 0; i < back->GetSize(); ++i) delete back->GetAt(i);
    delete back;
    state.ResumeTiming();
  }
  std::free(bytes);
  state.SetItemsProcessed(state.iterations() * kObjects);
  state.SetBytesProcessed(state.iterations() * (int64_t)len);
}
BENCHMARK(BM_LoadSmallObjects)->Unit(benchmark::kMillisecond);

void BM_StoreBlock64MiB(benchmark::State& state) {
  std::vector<BYTE> block(kBlock, 0x5A);
  for (auto _ : state) {
    CMemFile f(65536);
    {
      CArchive ar(&f, CArchive::store, 4096);
      ar.WriteCount(kBlock);
      ar.Write(block.data(), kBlock);
    }
    benchmark::DoNotOptimize(f.GetLength());
  }
  state.SetBytesProcessed(state.iterations() * (int64_t)kBlock);
}
BENCHMARK(BM_StoreBlock64MiB)->Unit(benchmark::kMillisecond);

void BM_LoadBlock64MiB(benchmark::State& state) {
  std::vector<BYTE> block(kBlock, 0x5A);
  CMemFile src(65536);
  {
    CArchive ar(&src, CArchive::store, 4096);
    ar.WriteCount(kBlock);
    ar.Write(block.data(), kBlock);
  }
  DWORD len = src.GetLength();
  BYTE* bytes = src.Detach();
  std::vector<BYTE> out(kBlock);
  for (auto _ : state) {
    CMemFile f(bytes, len);
    CArchive ar(&f, CArchive::load, 4096);
    DWORD n = ar.ReadCount();
    benchmark::DoNotOptimize(ar.Read(out.data(), n));
  }
  std::free(bytes);
  state.SetBytesProcessed(state.iterations() * (int64_t)kBlock);
}
BENCHMARK(BM_LoadBlock64MiB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
