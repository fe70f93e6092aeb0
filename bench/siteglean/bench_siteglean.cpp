// The link pass over real pages (the HTML documentation installed under /usr/share/doc, or
// the folder in HALYARD_HTML_CORPUS) and lookups in a URL table of 100,000 URLs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "siteimport/link_pass.h"

using namespace siteglean;

namespace {

const std::vector<std::string>& Corpus() {
  static std::vector<std::string> pages = [] {
    std::vector<std::string> out;
    const char* dir = std::getenv("HALYARD_HTML_CORPUS");
    std::filesystem::path root = dir ? dir : "/usr/share/doc";
    std::size_t total = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      auto ext = it->path().extension().string();
      if (ext != ".html" && ext != ".htm") continue;
      std::ifstream in(it->path(), std::ios::binary);
      std::ostringstream ss;
      ss << in.rdbuf();
      total += ss.str().size();
      out.push_back(ss.str());
      if (total > 64u << 20) break;
    }
    return out;
  }();
  return pages;
}

void BM_LinkPass(benchmark::State& state) {
  const auto& pages = Corpus();
  std::size_t bytes = 0;
  for (const auto& p : pages) bytes += p.size();
  if (bytes == 0) {
    state.SkipWithError("no HTML pages found");
    return;
  }
  for (auto _ : state) {
    WebSite site;
    site.SetBaseUrl("http://h.example/doc/");
    site.Server().host = "h.example";
    site.Server().defaultPage = "index.html";
    SiteLinkSink sink(site);
    int i = 0;
    for (const auto& p : pages) {
      UrlParts u;
      SplitUrl("http://h.example/doc/p" + std::to_string(i++) + ".html", &u);
      WebObj* page = site.NewObject(kCatPage, site.Urls().Enter(u, "index.html"));
      RunLinkPass(site, page, p, sink);
    }
    benchmark::DoNotOptimize(site.links.Count());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
  state.counters["pages"] = static_cast<double>(pages.size());
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_LinkPass)->Unit(benchmark::kMillisecond);

void BM_UrlTableLookup(benchmark::State& state) {
  UrlTable table;
  std::vector<UrlParts> parts(100000);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    SplitUrl(
        "http://h.example/dir" + std::to_string(i % 97) + "/sub/page" + std::to_string(i) + ".html",
        &parts[i]);
    table.Enter(parts[i], "index.html");
  }
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.Find(parts[i], "index.html"));
    if (++i == parts.size()) i = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_UrlTableLookup);

}  // namespace

BENCHMARK_MAIN();
