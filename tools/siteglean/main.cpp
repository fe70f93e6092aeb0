// siteglean: the site import library's front end. Imports a site through the library's
// exported classes as the design tool does, classifies names as the robot does, runs the link
// pass over a local page, and fetches single objects.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/kernel/win_path.h"
#include "siteimport/link_pass.h"
#include "siteimport/local_store.h"
#include "siteimport/mime_table.h"
#include "siteimport/site_glean.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"

namespace {

using namespace siteglean;
using namespace halyard::tool;

const char kHelp[] =
    "usage: siteglean import URL DIR [--levels N] [--pages N] [--quiet] [--no-tree]\n"
    "       siteglean import --local HOMEFILE URL [--levels N] [--pages N] [--quiet] [--no-tree]\n"
    "       siteglean classify NAME [--scheme http|file]\n"
    "       siteglean links FILE URL\n"
    "       siteglean fetch URL [--dir DIR] [--head]\n"
    "       siteglean --help | --version\n"
    "\n"
    "  import    import a site from a server into DIR, or from disk (HOMEFILE published under\n"
    "            the folder URL): breadth first from the home page, within --levels (default\n"
    "            10000) and --pages (default 100000), obeying the server's robots.txt. On a\n"
    "            terminal a progress line shows pages, the last file and the time; Ctrl-C\n"
    "            stops the import and still prints what it got. Then the page hierarchy, one\n"
    "            line per link indented by level: page|object URL PATH \"TITLE\" (PATH\n"
    "            relative to DIR, - for none), and a summary line\n"
    "  classify  type code, MIME type and category of a link target\n"
    "  links     the link pass over a local page fetched from URL: title, headings, anchors,\n"
    "            meta data and every link, texts in double quotes with C escapes and three\n"
    "            octal digits for other bytes outside printable ASCII\n"
    "  fetch     fetch one object as a server import of URL would, storing the copy under DIR\n"
    "            (default: .); --head only checks it. On a terminal it shows a dot while it\n"
    "            waits; Ctrl-C stops the transfer and removes what it had stored.\n"
    "Settings come from kvproxy.ini in $HALYARD_WINDIR (proxy, credentials, 8.3 names).\n"
    "\n"
    "exit codes: 0 done (copy stored; import: finished, also at a limit), 1 the server\n"
    "            answered with an error, 2 wrong usage, 3 a local file cannot be read or\n"
    "            stored (import: the disk is full; or the output cannot be written), 4 no\n"
    "            answer from the network (import: the home page could not be fetched),\n"
    "            130 interrupted\n";

// The page data are pooled C strings, null when the page had none.
std::string Text(const char* s) { return Quote(s ? s : ""); }

int Classify(int argc, char** argv) {
  if (argc < 1) return UsageError("classify needs a NAME");
  SchemeCode scheme = kSchemeHttp;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--scheme") == 0 && i + 1 < argc) {
      scheme = SchemeCodeOf(argv[++i]);
      if (scheme != kSchemeHttp && scheme != kSchemeFile)
        return UsageError("--scheme takes http or file");
    } else {
      return UsageError("unexpected argument " + Quote(argv[i], '\''));
    }
  }
  MimeTable& table = MimeTable::Instance();
  table.UseLowerCaseHtmlSuffixes();
  // A query keeps the code only for images, as for any link target.
  std::string name = argv[0];
  bool query = name.find('?') != std::string::npos;
  std::string file = name.substr(0, name.find_first_of("?#"));
  std::size_t slash = file.find_last_of("/\\");
  if (slash != std::string::npos) file = file.substr(slash + 1);
  TypeCode code = table.CodeOfName(file, scheme == kSchemeHttp ? kTypeHtml : kTypeUnknown);
  if (query && !IsImageType(code)) code = kTypeHtml;
  Category cat = CategoryOf(scheme, code);
  std::string mime(table.MimeOf(code));
  std::printf("type 0x%04X\nmime %s\ncategory 0x%04X %s\n", code, mime.c_str(), cat,
              CategoryName(cat));
  return kExitOk;
}

bool ReadFile(const char* path, std::string* out) {
  // A folder opens as a stream that reads nothing: it is no page.
  struct stat st;
  if (::stat(path, &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return false;
  *out = ss.str();
  return true;
}

const char* KindName(std::uint16_t kind) {
  switch (kind) {
    case kLinkSelf:
      return "self";
    case kLinkExternal:
      return "external";
    case kLinkChild:
      return "child";
    case kLinkDown:
      return "down";
    case kLinkAcross:
      return "across";
    case kLinkUp:
      return "up";
  }
  return "?";
}

int Links(int argc, char** argv) {
  if (argc != 2) return UsageError("links needs FILE and URL");
  std::string text;
  errno = 0;
  if (!ReadFile(argv[0], &text)) return CannotRead(argv[0], errno != 0 ? errno : EIO);
  UrlParts home;
  if (!SplitUrl(argv[1], &home) || home.schemeCode == kSchemeUnknown)
    return UsageError(Quote(argv[1], '\'') + " is no URL the robot can fetch");
  MimeTable::Instance().UseLowerCaseHtmlSuffixes();
  WebSite site;
  site.Server().host = home.host;
  site.Server().directory = home.dir;
  site.Server().defaultPage = home.file;
  UrlParts dir = home;
  dir.file.clear();
  dir.query.clear();
  dir.hasQuery = false;
  site.SetBaseUrl(RebuildUrl(dir));
  WebObj* page = site.NewObject(kCatPage, site.Urls().Enter(home, home.file));
  page->size = static_cast<std::int64_t>(text.size());
  SiteLinkSink sink(site);
  RunLinkPass(site, page, text, sink);

  std::printf("title %s\n", Text(page->title).c_str());
  for (auto* n = page->headings.First(); n; n = n->next)
    std::printf("heading %d %s\n", n->item->level, Text(n->item->text).c_str());
  for (auto* n = page->anchors.First(); n; n = n->next)
    std::printf("anchor %s\n", Text(n->item).c_str());
  for (auto* n = page->metas.First(); n; n = n->next)
    std::printf("meta %s %s\n", Text(n->item->name).c_str(), Text(n->item->content).c_str());
  // Every link of the page in the order the page gives them.
  std::vector<ObjectLink*> all;
  for (auto* n = site.links.First(); n; n = n->next)
    if (n->item->source == page) all.push_back(n->item);
  for (ObjectLink* l : all) {
    const WebObj* t = l->target;
    std::printf("link %s %s 0x%04X %s %s label=%s text=%s refs=%d%s\n", KindName(l->kind),
                CategoryName(t->category), t->category, t->url->full.c_str(),
                t == page ? "(this page)" : "", Text(l->label).c_str(), Text(l->linkText).c_str(),
                l->refCount, (l->flags & kLinkFlagBroken) && l->kind == kLinkSelf ? " broken" : "");
  }
  return kExitOk;
}

std::string TimeText(std::int64_t t) {
  if (t <= 0) return "unknown";
  std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  gmtime_r(&tt, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return buf;
}

// Asks for credentials on the terminal, when there is one.
bool PromptCredentials(const std::string& host, const std::string& realm, std::string* user,
                       std::string* password) {
  if (!isatty(STDIN_FILENO)) return false;
  std::fprintf(stderr, "credentials for realm \"%s\" on %s\nuser: ", realm.c_str(), host.c_str());
  if (!std::getline(std::cin, *user)) return false;
  std::fprintf(stderr, "password: ");
  return static_cast<bool>(std::getline(std::cin, *password));
}

int Fetch(int argc, char** argv) {
  if (argc < 1) return UsageError("fetch needs a URL");
  std::string url = argv[0], dir = ".";
  bool head = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
      dir = argv[++i];
    else if (std::strcmp(argv[i], "--head") == 0)
      head = true;
    else
      return UsageError("unexpected argument " + Quote(argv[i], '\''));
  }
  MimeTable::Instance().UseLowerCaseHtmlSuffixes();
  WebSite site;
  if (!site.SetUpServerImport(url, dir)) return UsageError(Quote(url, '\'') + " names no server");
  site.dosNames = ConfigStore().Int(kSetForceDosNaming) != 0;
  Fetcher fetcher;
  fetcher.SetCredentialsPrompt(PromptCredentials);
  // The hook runs while the fetch waits: a dot of progress on a terminal, and the answer to
  // whether Ctrl-C asked to stop (the fetcher then removes its temporary file).
  CatchInterrupts();
  const bool progress = isatty(STDERR_FILENO) != 0;
  fetcher.SetAbortHook([progress] {
    if (progress) std::fputc('.', stderr);
    return Interrupted();
  });
  WebObj* obj = site.home;
  int err = 0;
  std::fprintf(stderr, "fetching %s\n", obj->url->full.c_str());
  ResponseRecord rr;
  bool ok = FetchObject(site, fetcher, obj, head, true, &err, &rr);
  if (progress) std::fputc('\n', stderr);
  if (Interrupted()) return Fail(kExitInterrupted, "interrupted");
  UrlNode* u = obj->url;
  std::printf("url %s\n", u->full.c_str());
  std::printf("status %u\n", u->status);
  std::printf("version %s\n", rr.version.c_str());
  std::printf("server %s\n", rr.server.c_str());
  std::printf("content-type %s\n", rr.contentType.c_str());
  std::printf("length %lld\n", static_cast<long long>(rr.contentLength));
  std::printf("modified %s\n", TimeText(rr.lastModified).c_str());
  std::printf("redirect %s\n", rr.location.c_str());
  if (ok && !head && obj->localPath) {
    std::string full =
        (obj->flags & kObjOnSite) ? site.LocalRoot() + obj->localPath : obj->localPath;
    std::printf("copy %s\n", halyard::MapWinPath(full).c_str());
  }
  if (ok) return kExitOk;
  if (u->status == kStatusDiskFull || u->status == kStatusNoTempFile) return kExitFile;
  if (err == kFetchAborted || u->status == kStatusNotFetched) return kExitNetwork;
  if (u->status >= 300 && err == kFetchLoadError) return kExitFailed;
  return err < 0 ? kExitNetwork : kExitFile;
}

// A number option's value: a decimal that fits a LONG.
bool ParseCount(const char* text, LONG* out) {
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < -1 || v > 0x7FFFFFFF) return false;
  *out = static_cast<LONG>(v);
  return true;
}

struct ImportTree {
  std::string out;
  std::string root;  // the folder the paths are shown relative to
  long pages = 0;
  long objects = 0;
  bool print = true;
};

std::string RelativePath(const std::string& full, const std::string& root) {
  if (full.empty()) return "-";
  if (!root.empty() && full.compare(0, root.size(), root) == 0) {
    std::string rest = full.substr(root.size());
    while (!rest.empty() && (rest.front() == '/' || rest.front() == '\\')) rest.erase(0, 1);
    if (!rest.empty()) return rest;
  }
  return full;
}

void TreeLine(ImportTree& t, GleanedPage* page, bool isPage, int depth) {
  if (isPage)
    ++t.pages;
  else
    ++t.objects;
  if (!t.print) return;
  char url[4096] = "";
  char path[4096] = "";
  page->mGetURL(url, sizeof url);
  page->mGetPathName(path, sizeof path);
  t.out.append(static_cast<std::size_t>(2 * depth), ' ');
  t.out += isPage ? "page " : "object ";
  t.out += url;
  t.out += ' ';
  t.out += RelativePath(path, t.root);
  if (isPage) {
    t.out += ' ';
    t.out += Quote(page->mGetName());
  }
  t.out += '\n';
}

// The child links of a page, depth first; the views are re-aimed as the walk goes on, so a
// subtree is finished before its list moves on.
void Walk(ImportTree& t, GleanedPage* page, int depth) {
  GleanedPageList* list = page->mHierarchicalList();
  if (list == nullptr) return;
  for (GleanedPageLink* l = list->mHead(); l != nullptr; l = list->mNext()) {
    bool isPage = l->mIsPage() != 0;
    GleanedPage* child = l->mPage();
    if (child == nullptr) continue;
    TreeLine(t, child, isPage, depth);
    if (isPage) Walk(t, child, depth + 1);
  }
}

// The progress line on a terminal: pages so far, the limit, the last file, the time.
void ShowProgress(SiteGlean* g, LONG pageLimit, double seconds) {
  char last[1024] = "";
  if (!g->mGetLastTransferedFile(last, sizeof last, 0)) last[0] = '\0';
  std::string line = "\r\033[K" + std::to_string(g->mPageCount());
  if (pageLimit >= 0) line += "/" + std::to_string(pageLimit);
  line += " pages  ";
  char t[32];
  std::snprintf(t, sizeof t, "%.1fs  ", seconds);
  line += t;
  std::string file = last;
  if (file.size() > 60) file = "..." + file.substr(file.size() - 57);
  line += file;
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

int Import(int argc, char** argv) {
  bool local = false, quiet = false, tree = true;
  LONG levels = -1, pages = -1;
  std::vector<const char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--local") == 0) {
      local = true;
    } else if (std::strcmp(argv[i], "--quiet") == 0) {
      quiet = true;
    } else if (std::strcmp(argv[i], "--no-tree") == 0) {
      tree = false;
    } else if (std::strcmp(argv[i], "--levels") == 0 || std::strcmp(argv[i], "--pages") == 0) {
      if (i + 1 >= argc) return UsageError(std::string(argv[i]) + " needs a number");
      LONG* target = argv[i][2] == 'l' ? &levels : &pages;
      if (!ParseCount(argv[i + 1], target))
        return UsageError(std::string(argv[i]) + " takes a number, not " + Quote(argv[i + 1], '\''));
      ++i;
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      return UsageError("unexpected option " + Quote(argv[i], '\''));
    } else {
      args.push_back(argv[i]);
    }
  }
  if (args.size() != 2)
    return UsageError(local ? "import --local needs HOMEFILE and URL" : "import needs URL and DIR");
  const char* url = local ? args[1] : args[0];
  UrlParts parts;
  if (!SplitUrl(url, &parts) || parts.schemeCode != kSchemeHttp || parts.host.empty())
    return UsageError(Quote(url, '\'') + " is no http URL");
  std::string root;
  if (local) {
    struct stat st;
    if (::stat(args[0], &st) != 0) return CannotRead(args[0], errno);
    if (S_ISDIR(st.st_mode)) return CannotRead(args[0], EISDIR);
    std::string home = args[0];
    std::size_t cut = home.find_last_of('/');
    root = cut == std::string::npos ? std::string() : home.substr(0, cut);
  } else {
    root = args[1];
    while (root.size() > 1 && (root.back() == '/' || root.back() == '\\')) root.pop_back();
  }

  SiteGlean* g = local ? new SiteGlean(args[0], levels, pages, args[1])
                       : new SiteGlean(args[0], args[1], levels, pages);
  CatchInterrupts();
  const bool progress = !quiet && isatty(STDERR_FILENO) != 0;
  auto start = std::chrono::steady_clock::now();
  auto elapsed = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  if (!g->mExplore()) {
    delete g;
    return Fail(kExitFailed, "cannot start the import");
  }
  bool aborted = false;
  // Polled every 150 ms: under ten redraws a second.
  while (!g->mWaitForExplore(150)) {
    if (Interrupted() && !aborted) {
      g->mAbortTransfer();
      aborted = true;
    }
    if (progress) ShowProgress(g, pages, elapsed());
  }
  if (Interrupted()) aborted = true;
  if (progress) {
    ShowProgress(g, pages, elapsed());
    std::fputc('\n', stderr);
  }
  double seconds = elapsed();

  ImportTree t;
  t.root = root;
  t.print = tree;
  if (GleanedPage* home = g->mHomePage()) {
    TreeLine(t, home, true, 0);
    Walk(t, home, 1);
  }
  char summary[256];
  std::snprintf(summary, sizeof summary, "%ld pages, %ld other objects, robots rules %s, %.1f seconds\n",
                t.pages, t.objects, g->mRobotsRulesInForce() ? "in force" : "not in force",
                seconds);
  t.out += summary;
  LONG state = g->mExploreState();
  int rc = WriteOutput(t.out);
  delete g;
  if (rc != kExitOk) return rc;
  if (aborted) return Fail(kExitInterrupted, "interrupted");
  if (state == SiteGlean::kHomePageFailed)
    return Fail(local ? kExitFile : kExitNetwork, "the home page could not be " +
                                                      std::string(local ? "read" : "fetched"));
  if (state == SiteGlean::kOutOfSpace) return Fail(kExitFile, "the disk is full");
  if (state != SiteGlean::kFinished) return Fail(kExitFailed, "the site could not be set up");
  return kExitOk;
}

// The commands take their arguments after the command word.
template <int (*Run)(int, char**)>
int AfterWord(int argc, char** argv) {
  return Run(argc - 2, argv + 2);
}

const Command kCommands[] = {
    {"import", AfterWord<Import>},
    {"classify", AfterWord<Classify>},
    {"links", AfterWord<Links>},
    {"fetch", AfterWord<Fetch>},
};

}  // namespace

int main(int argc, char** argv) { return Main({"siteglean", kHelp, kCommands}, argc, argv); }
