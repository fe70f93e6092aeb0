// Fetches every URL of a list one after another as the robot does (one fetcher, copies stored
// under a local root) and prints the seconds taken. Used by fetch-vs-wget.sh.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "siteimport/local_store.h"
#include "siteimport/mime_table.h"

using namespace siteglean;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fetch_many URL_LIST OUT_DIR\n");
    return 2;
  }
  std::vector<std::string> urls;
  std::ifstream in(argv[1]);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) urls.push_back(line);
  if (urls.empty()) return 2;
  MimeTable::Instance().UseLowerCaseHtmlSuffixes();
  WebSite site;
  if (!site.SetUpServerImport(urls[0], argv[2])) return 2;
  Fetcher fetcher;
  std::vector<WebObj*> objs;
  for (const std::string& u : urls) {
    UrlParts p;
    SplitUrl(u, &p);
    UrlNode* n = site.Urls().Enter(p, site.Server().defaultPage);
    n->type = MimeTable::Instance().CodeOfName(p.file, kTypeHtml);
    objs.push_back(n->obj ? n->obj : site.NewObject(kCatPage, n));
  }
  auto start = std::chrono::steady_clock::now();
  int ok = 0;
  for (WebObj* o : objs) ok += FetchObject(site, fetcher, o, false, true) ? 1 : 0;
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d of %zu fetched in %.3f s\n", ok, objs.size(), secs);
  return ok == static_cast<int>(objs.size()) ? 0 : 1;
}
