// Parser and Parser2 on whole documents with the tree built; the checker alone, and tokenize +
// check + write as `tagsmith check` runs them; against `tidy -q` on the same files (one process
// per page; bench/tagsmith/compare-tidy compares the two programs as a user runs them). The corpus
// is every *.html file below the folder named by TAGSMITH_BENCH_CORPUS (the HTML documentation that
// Debian packages install will do); without it, the test page of the library's own tests. Memory:
// the heap the tree of each document holds, against its size.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "html/checker.h"
#include "html/elem_kinds.h"
#include "html/parser.h"
#include "html/parser2.h"
#include "html/tree_text.h"

namespace {

struct Page {
  std::string path;
  std::string text;
};

const std::vector<Page>& Corpus() {
  static const std::vector<Page> pages = [] {
    std::vector<Page> out;
    const char* dir = std::getenv("TAGSMITH_BENCH_CORPUS");
    std::vector<std::string> files;
    if (dir && *dir) {
      std::error_code ec;
      for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
           it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (it->is_regular_file(ec) && it->path().extension() == ".html")
          files.push_back(it->path().string());
      }
      std::sort(files.begin(), files.end());
    } else {
      files.push_back(std::string(HALYARD_SOURCE_DIR) + "/html/tests/data/sample.html");
    }
    for (const std::string& f : files) {
      std::ifstream in(f, std::ios::binary);
      std::stringstream ss;
      ss << in.rdbuf();
      if (!ss.str().empty()) out.push_back({f, ss.str()});
    }
    return out;
  }();
  return pages;
}

std::size_t CorpusBytes() {
  std::size_t n = 0;
  for (const Page& p : Corpus()) n += p.text.size();
  return n;
}

template <typename P>
void ParseWhole(const std::string& text, Document& doc) {
  P parser;
  parser.SetDocument(&doc);
  parser.Parse(text.data(), static_cast<int>(text.size()));
  parser.End();
}

// Every page tokenized with its tree built; the trees are deleted outside the timing.
template <typename P>
void BM_Tokenize(benchmark::State& state) {
  const auto& pages = Corpus();
  std::vector<std::unique_ptr<Document>> trees;
  trees.reserve(pages.size());
  for (auto _ : state) {
    for (const Page& p : pages) {
      trees.push_back(std::make_unique<Document>());
      ParseWhole<P>(p.text, *trees.back());
    }
    state.PauseTiming();
    trees.clear();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CorpusBytes()));
  state.counters["files"] = static_cast<double>(pages.size());
}
BENCHMARK_TEMPLATE(BM_Tokenize, Parser)
    ->Name("Parser/whole_documents")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Tokenize, Parser2)
    ->Name("Parser2/whole_documents")
    ->Unit(benchmark::kMillisecond);

// Parser fed in pieces of 4096 bytes, as a caller reading a file would.
void BM_ParserPieces(benchmark::State& state) {
  const auto& pages = Corpus();
  std::vector<std::unique_ptr<Document>> trees;
  for (auto _ : state) {
    for (const Page& p : pages) {
      trees.push_back(std::make_unique<Document>());
      Parser parser;
      parser.SetDocument(trees.back().get());
      for (std::size_t at = 0; at < p.text.size(); at += 4096)
        parser.Parse(p.text.data() + at,
                     static_cast<int>(std::min<std::size_t>(4096, p.text.size() - at)));
      parser.End();
    }
    state.PauseTiming();
    trees.clear();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CorpusBytes()));
}
BENCHMARK(BM_ParserPieces)->Name("Parser/pieces_of_4096")->Unit(benchmark::kMillisecond);

// The checker alone over every page's tree (the trees are built and deleted outside the
// timing).
void BM_CheckOnly(benchmark::State& state) {
  const auto& pages = Corpus();
  std::vector<std::unique_ptr<Document>> trees;
  LONG largest = 0;
  for (auto _ : state) {
    state.PauseTiming();
    trees.clear();
    for (const Page& p : pages) {
      trees.push_back(std::make_unique<Document>());
      ParseWhole<Parser>(p.text, *trees.back());
    }
    state.ResumeTiming();
    for (auto& t : trees) {
      Checker checker;
      checker.AddCheckHandler();
      try {
        checker.CheckHtml(t.get());
      } catch (int) {
        largest = Checker::kCorrectionLimit + 1;  // a page passed the limit
      }
      largest = std::max(largest, checker.GetCorrectionCount());
    }
  }
  trees.clear();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CorpusBytes()));
  state.counters["largest_correction_count"] = static_cast<double>(largest);
}
BENCHMARK(BM_CheckOnly)->Name("Checker/check_only")->Unit(benchmark::kMillisecond);

// One page as `tagsmith check` handles it: tokenized, checked, written, and the tree deleted.
std::size_t CheckAndWrite(const std::string& text) {
  Document doc;
  ParseWhole<Parser>(text, doc);
  Checker checker;
  checker.AddCheckHandler();
  try {
    checker.CheckHtml(&doc);
  } catch (int) {
  }
  std::string out;
  std::size_t written = 0;
  out.reserve(80 * 1024);
  halyard::tagsmith::WriteHtml(&doc, out, [&](std::string& s) {
    written += s.size();
    s.clear();
  });
  return written + out.size();
}

void BM_TokenizeCheckWrite(benchmark::State& state) {
  const auto& pages = Corpus();
  std::size_t out = 0;
  for (auto _ : state)
    for (const Page& p : pages) out += CheckAndWrite(p.text);
  benchmark::DoNotOptimize(out);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CorpusBytes()));
}
BENCHMARK(BM_TokenizeCheckWrite)
    ->Name("Parser+Checker+WriteHtml/whole_documents")
    ->Unit(benchmark::kMillisecond);

std::size_t HeapInUse() {
  struct mallinfo2 mi = mallinfo2();
  return mi.uordblks + mi.hblkhd;
}

long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  std::size_t n = std::strlen(field);
  while (std::getline(in, line))
    if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n);
  return 0;
}

long PeakRssKb() { return StatusKb("VmHWM:"); }
// The resident anonymous memory: the data a run holds, without the pages of the program and its
// libraries that the run happens to touch first.
long AnonRssKb() { return StatusKb("RssAnon:"); }

// Run in a fresh process (this program with --tagsmith-measure): tokenizes one page and prints
// the heap its tree holds and how much the peak resident size grew, in bytes.
int MeasureOne(const char* path, const std::string& mode) {
  if (mode == "check") {
    // Read, tokenized, checked and written as `tagsmith check` does it: the page is fed to the
    // parser in 8 KB pieces as it is read and written away in pieces, so the page is never held
    // whole. The heap and the resident anonymous memory are the largest seen after the
    // tokenizer, after the check and at each piece written.
    long anonBefore = AnonRssKb();
    std::size_t before = HeapInUse(), peak = 0;
    long anonPeak = 0;
    auto sample = [&] {
      peak = std::max(peak, HeapInUse() - before);
      anonPeak = std::max(anonPeak, AnonRssKb() - anonBefore);
    };
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return 1;
    Document doc;
    {
      Parser parser;
      parser.SetDocument(&doc);
      char piece[8192];
      std::size_t got;
      while ((got = std::fread(piece, 1, sizeof piece, f)) > 0)
        parser.Parse(piece, static_cast<int>(got));
      parser.End();
      sample();
    }
    std::fclose(f);
    Checker checker;
    checker.AddCheckHandler();
    try {
      checker.CheckHtml(&doc);
    } catch (int) {
    }
    sample();
    std::string out;
    halyard::tagsmith::WriteHtml(&doc, out, [&](std::string& s) {
      sample();
      s.clear();
    });
    sample();
    std::printf("%zu %ld\n", peak, anonPeak * 1024);
    return 0;
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::string text = ss.str();
  long rssBefore = PeakRssKb();
  std::size_t before = HeapInUse();
  Document doc;
  if (mode == "reader")
    ParseWhole<Parser2>(text, doc);
  else
    ParseWhole<Parser>(text, doc);
  std::size_t heap = HeapInUse() - before;
  long rss = (PeakRssKb() - rssBefore) * 1024;
  std::printf("%zu %ld\n", heap, rss);
  return 0;
}

// The memory a page's tree takes against the page's size, each page measured in a process of
// its own: the largest and the median ratio over the pages of at least 64 KB (heap, and the
// growth of the peak resident size, or for the whole check the peak resident anonymous memory),
// and the heap ratio over those pages together.
template <int kMode>
void BM_TreeMemory(benchmark::State& state) {
  const char* mode = kMode == 0 ? "parser" : kMode == 1 ? "reader" : "check";
  const auto& pages = Corpus();
  std::vector<double> heapRatios, rssRatios;
  double heapTotal = 0, bytes = 0;
  for (auto _ : state) {
    for (const Page& p : pages) {
      if (p.text.size() < 65536) continue;
      std::string cmd =
          "/proc/" + std::to_string(getpid()) + "/exe --tagsmith-measure '" + p.path + "' " + mode;
      FILE* f = popen(cmd.c_str(), "r");
      if (!f) continue;
      double heap = 0, rss = 0;
      if (std::fscanf(f, "%lf %lf", &heap, &rss) != 2) heap = rss = 0;
      pclose(f);
      double size = static_cast<double>(p.text.size());
      heapRatios.push_back(heap / size);
      rssRatios.push_back(rss / size);
      heapTotal += heap;
      bytes += size;
    }
  }
  auto worst = [](const std::vector<double>& v) {
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
  };
  auto median = [](std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  state.counters["worst_heap_ratio"] = worst(heapRatios);
  state.counters["median_heap_ratio"] = median(heapRatios);
  state.counters["worst_rss_ratio"] = worst(rssRatios);
  state.counters["median_rss_ratio"] = median(rssRatios);
  state.counters["heap_ratio_64k_pages"] = bytes ? heapTotal / bytes : 0;
}
BENCHMARK_TEMPLATE(BM_TreeMemory, 0)
    ->Name("Parser/tree_memory")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_TreeMemory, 1)
    ->Name("Parser2/tree_memory")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
// Peak memory of tokenize + check + write against the page (target: at most 12 times).
BENCHMARK_TEMPLATE(BM_TreeMemory, 2)
    ->Name("Parser+Checker+WriteHtml/peak_memory")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// tidy -q on every page of the corpus, one process per page as it is used; its output and
// messages are discarded.
void BM_Tidy(benchmark::State& state) {
  const auto& pages = Corpus();
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    for (const Page& p : pages) {
      std::string cmd = "tidy -q '" + p.path + "' >/dev/null 2>&1";
      int rc = std::system(cmd.c_str());
      if (rc == -1 || (WIFEXITED(rc) && WEXITSTATUS(rc) == 127)) {
        state.SkipWithError("tidy is not installed");
        return;
      }
    }
    auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CorpusBytes()));
}
BENCHMARK(BM_Tidy)
    ->Name("tidy_q/whole_documents")
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--tagsmith-measure")
    return MeasureOne(argv[2], argv[3]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
