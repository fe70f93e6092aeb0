// The script structure over the scripts of a corpus of real pages (the SCRIPT elements of every
// *.html file below TAGSMITH_BENCH_CORPUS, and every *.js file there), whole and in pieces of
// 4096 bytes; and the least layout of a page of 1 MB. Without the corpus, the scripts and the
// sample page of the library's own tests.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "html/elem_kinds.h"
#include "html/layout.h"
#include "html/parser.h"
#include "html/script_scanner.h"
#include "html/script_text.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The text of every SCRIPT element of page.
void PageScripts(const std::string& page, std::vector<std::string>& out) {
  const std::string lower = Lower(page);
  for (std::size_t at = 0; (at = lower.find("<script", at)) != std::string::npos;) {
    std::size_t open = lower.find('>', at);
    if (open == std::string::npos) break;
    std::size_t close = lower.find("</script", open);
    if (close == std::string::npos) close = page.size();
    if (close > open + 1) out.push_back(page.substr(open + 1, close - open - 1));
    at = close;
  }
}

std::vector<std::string> CorpusFiles(const char* ext) {
  std::vector<std::string> files;
  const char* dir = std::getenv("TAGSMITH_BENCH_CORPUS");
  if (!dir || !*dir) return files;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (it->is_regular_file(ec) && it->path().extension() == ext)
      files.push_back(it->path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

const std::vector<std::string>& Scripts() {
  static const std::vector<std::string> scripts = [] {
    std::vector<std::string> out;
    std::vector<std::string> pages = CorpusFiles(".html");
    if (pages.empty()) pages.push_back(std::string(HALYARD_SOURCE_DIR) + "/html/tests/data/scripts.html");
    for (const std::string& f : pages) PageScripts(ReadFile(f), out);
    for (const std::string& f : CorpusFiles(".js")) out.push_back(ReadFile(f));
    return out;
  }();
  return scripts;
}

std::size_t ScriptBytes() {
  std::size_t n = 0;
  for (const std::string& s : Scripts()) n += s.size();
  return n;
}

void Structure(benchmark::State& state, std::size_t piece) {
  const auto& scripts = Scripts();
  std::size_t items = 0;
  for (auto _ : state) {
    for (const std::string& s : scripts) {
      ScriptScanner scanner;
      halyard::tagsmith::ScanScript(scanner, s.data(), s.size(), piece);
      scanner.Finish();
      items += static_cast<std::size_t>(scanner.GetScriptItems()->GetCount());
    }
  }
  benchmark::DoNotOptimize(items);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ScriptBytes()));
  state.counters["scripts"] = static_cast<double>(scripts.size());
}

void BM_ScriptStructure(benchmark::State& state) { Structure(state, 0); }
BENCHMARK(BM_ScriptStructure)->Name("ScriptStructure/whole_scripts")->Unit(benchmark::kMillisecond);

void BM_ScriptStructurePieces(benchmark::State& state) { Structure(state, 4096); }
BENCHMARK(BM_ScriptStructurePieces)
    ->Name("ScriptStructure/pieces_of_4096")
    ->Unit(benchmark::kMillisecond);

// A page of at least 1 MB: corpus pages (or the sample page) one after another.
const std::string& BigPage() {
  static const std::string page = [] {
    std::vector<std::string> files = CorpusFiles(".html");
    if (files.empty()) files.push_back(std::string(HALYARD_SOURCE_DIR) + "/html/tests/data/sample.html");
    std::string out;
    while (out.size() < (1u << 20)) {
      for (const std::string& f : files) {
        out += ReadFile(f);
        if (out.size() >= (1u << 20)) break;
      }
    }
    return out;
  }();
  return page;
}

void BM_Layout1MB(benchmark::State& state) {
  const std::string& page = BigPage();
  Document doc;
  Parser parser;
  parser.SetDocument(&doc);
  parser.Parse(page.data(), static_cast<int>(page.size()));
  parser.End();
  LayoutState* layout = doc.GetLayoutState();
  for (auto _ : state) {
    LayoutContext context(layout);
    context.Run(&doc);
    benchmark::DoNotOptimize(layout->GetCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.counters["placed"] = static_cast<double>(layout->GetCount());
}
BENCHMARK(BM_Layout1MB)->Name("Layout/page_of_1MB")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
