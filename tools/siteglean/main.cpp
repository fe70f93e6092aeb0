// siteglean: the site import library's front end. Classifies names as the robot does, runs
// the link pass over a local page, and fetches single objects.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"

namespace {

using namespace siteglean;
using namespace halyard::tool;

const char kHelp[] =
    "usage: siteglean classify NAME [--scheme http|file]\n"
    "       siteglean links FILE URL\n"
    "       siteglean fetch URL [--dir DIR] [--head]\n"
    "       siteglean --help | --version\n"
    "\n"
    "  classify  type code, MIME type and category of a link target\n"
    "  links     the link pass over a local page fetched from URL: title, headings, anchors,\n"
    "            meta data and every link, texts in double quotes with C escapes and three\n"
    "            octal digits for other bytes outside printable ASCII\n"
    "  fetch     fetch one object as a server import of URL would, storing the copy under DIR\n"
    "            (default: .); --head only checks it. On a terminal it shows a dot while it\n"
    "            waits; Ctrl-C stops the transfer and removes what it had stored.\n"
    "Settings come from kvproxy.ini in $HALYARD_WINDIR (proxy, credentials, 8.3 names).\n"
    "\n"
    "exit codes: 0 done (copy stored), 1 the server answered with an error, 2 wrong usage,\n"
    "            3 a local file cannot be read or stored (or the output cannot be written),\n"
    "            4 no answer from the network, 130 interrupted\n";

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

// The commands take their arguments after the command word.
template <int (*Run)(int, char**)>
int AfterWord(int argc, char** argv) {
  return Run(argc - 2, argv + 2);
}

const Command kCommands[] = {
    {"classify", AfterWord<Classify>},
    {"links", AfterWord<Links>},
    {"fetch", AfterWord<Fetch>},
};

}  // namespace

int main(int argc, char** argv) { return Main({"siteglean", kHelp, kCommands}, argc, argv); }
