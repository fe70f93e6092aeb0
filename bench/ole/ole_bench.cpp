// Costs of the OLE value conversions on the paths the data access library and the stub
// compiler take: variants to and from text, currency formatting, dates from time_t, the
// Windows-1252 conversions and memory stream writes.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/ole/code_page.h"
#include "platform/ole/colevariant.h"
#include "platform/ole/memory_stream.h"

namespace {

void BM_VariantI4ToBstr(benchmark::State& state) {
  COleVariant src(123456789L);
  for (auto _ : state) {
    COleVariant out;
    VariantChangeType(&out, &src, 0, VT_BSTR);
    benchmark::DoNotOptimize(out.bstrVal);
  }
}
BENCHMARK(BM_VariantI4ToBstr);

void BM_VariantBstrToR8(benchmark::State& state) {
  COleVariant src("  1,234,567.125 ");
  for (auto _ : state) {
    COleVariant out;
    VariantChangeType(&out, &src, 0, VT_R8);
    benchmark::DoNotOptimize(out.dblVal);
  }
}
BENCHMARK(BM_VariantBstrToR8);

void BM_VariantBstrToDate(benchmark::State& state) {
  COleVariant src("12/31/1999 11:59:59 PM");
  for (auto _ : state) {
    COleVariant out;
    VariantChangeType(&out, &src, 0, VT_DATE);
    benchmark::DoNotOptimize(out.date);
  }
}
BENCHMARK(BM_VariantBstrToDate);

void BM_CurrencyFormat(benchmark::State& state) {
  CY cy;
  cy.int64 = 123456789012;
  const COleCurrency cur(cy);
  for (auto _ : state) benchmark::DoNotOptimize(cur.Format(0, 1024));
}
BENCHMARK(BM_CurrencyFormat);

void BM_DateFromTimeT(benchmark::State& state) {
  time_t t = 889506001;
  for (auto _ : state) {
    COleVariant v(static_cast<long>(t++), VT_DATE);
    COleDateTime d(static_cast<const VARIANT&>(v));
    benchmark::DoNotOptimize(d.GetSecond());
  }
}
BENCHMARK(BM_DateFromTimeT);

void BM_AnsiToWide(benchmark::State& state) {
  std::string text(static_cast<size_t>(state.range(0)), '\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i * 7);
  std::vector<WCHAR> wide(text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(MultiByteToWideChar(CP_ACP, 0, text.data(),
                                                 static_cast<int>(text.size()), wide.data(),
                                                 static_cast<int>(wide.size())));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_AnsiToWide)->Arg(1 << 20);

void BM_WideToAnsi(benchmark::State& state) {
  std::vector<WCHAR> wide(static_cast<size_t>(state.range(0)));
  for (size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<WCHAR>(i % 0x300);
  std::vector<char> narrow(wide.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(),
                            static_cast<int>(narrow.size()), nullptr, nullptr));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0) * 2);
}
BENCHMARK(BM_WideToAnsi)->Arg(1 << 20);

// Generated text goes to the stream line by line, each at most 511 bytes.
void BM_MemoryStreamLines(benchmark::State& state) {
  const std::string line(80, 'x');
  for (auto _ : state) {
    IStream* s = SHCreateMemStream(nullptr, 0);
    for (int i = 0; i < 10000; ++i) s->Write(line.data(), static_cast<ULONG>(line.size()), nullptr);
    s->Release();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 10000 * 80);
}
BENCHMARK(BM_MemoryStreamLines);

}  // namespace

BENCHMARK_MAIN();
