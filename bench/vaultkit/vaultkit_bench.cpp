// Sorting a CPDLongArray through the sort callbacks against std::sort with a function-pointer
// comparator, and the stream form of a CPDStringArray written and read through mSave/mLoad.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"

namespace {

constexpr int kSortCount = 1000000;

std::vector<LONG> RandomLongs() {
  std::mt19937 rng(42);
  std::vector<LONG> v(kSortCount);
  for (LONG& x : v) x = static_cast<LONG>(rng());
  return v;
}

int CompareSorted(unsigned a, unsigned b) {
  const CPDArray* arr = CPDArray::mGetSortArray();
  LONG x, y;
  std::memcpy(&x, arr->mItemPtr(static_cast<LONG>(a)), 4);
  std::memcpy(&y, arr->mItemPtr(static_cast<LONG>(b)), 4);
  return x < y ? -1 : (x > y ? 1 : 0);
}

bool LessLong(LONG a, LONG b) { return a < b; }

void BM_LongArraySort(benchmark::State& state) {
  const std::vector<LONG> values = RandomLongs();
  for (auto _ : state) {
    state.PauseTiming();
    CPDLongArray arr;
    for (LONG v : values) arr.mAdd(&v);
    state.ResumeTiming();
    arr.mSort(eSortAscending, nullptr, CompareSorted);
    benchmark::DoNotOptimize(arr[0]);
  }
  state.SetItemsProcessed(state.iterations() * kSortCount);
}
BENCHMARK(BM_LongArraySort)->Unit(benchmark::kMillisecond);

void BM_StdSortFunctionPointer(benchmark::State& state) {
  const std::vector<LONG> values = RandomLongs();
  bool (*less)(LONG, LONG) = LessLong;
  benchmark::DoNotOptimize(less);
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<LONG> v = values;
    state.ResumeTiming();
    std::sort(v.begin(), v.end(), less);
    benchmark::DoNotOptimize(v[0]);
  }
  state.SetItemsProcessed(state.iterations() * kSortCount);
}
BENCHMARK(BM_StdSortFunctionPointer)->Unit(benchmark::kMillisecond);

void FillTexts(CPDStringArray& arr) {
  std::mt19937 rng(9);
  for (int i = 0; i < 100000; ++i) {
    std::string text(rng() % 255, 'a');
    for (char& c : text) c = static_cast<char>(' ' + rng() % 95);
    arr.mAdd(CPDString(text.c_str()));
  }
}

void BM_StringArrayStreamWrite(benchmark::State& state) {
  CPDStringArray arr;
  FillTexts(arr);
  LONG bytes = 0;
  for (auto _ : state) {
    CPDBuffer out;
    arr.mSave(out);
    bytes = out.mGetLength();
    benchmark::DoNotOptimize(out.mGetBuffer());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_StringArrayStreamWrite)->Unit(benchmark::kMillisecond);

void BM_StringArrayStreamRead(benchmark::State& state) {
  CPDStringArray arr;
  FillTexts(arr);
  CPDBuffer form;
  arr.mSave(form);
  for (auto _ : state) {
    CPDStringArray back;
    back.mLoad(form);
    if (back.mGetNumItems() != 100000) state.SkipWithError("not all texts read");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(form.mGetLength()));
}
BENCHMARK(BM_StringArrayStreamRead)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
