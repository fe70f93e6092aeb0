// siteglean: the site import library's front end. Classifies names as the robot does, runs
// the link pass over a local page, and fetches single objects.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/win_path.h"
#include "link_pass.h"
#include "local_store.h"
#include "mime_table.h"

namespace {

using namespace siteglean;

constexpr int kExitOk = 0;
constexpr int kExitHttp = 1;
constexpr int kExitUsage = 2;
constexpr int kExitLocal = 3;
constexpr int kExitNoAnswer = 4;

void Usage(FILE* out) {
  std::fputs(
      "usage: siteglean COMMAND ...\n"
      "  classify NAME [--scheme http|file]  type code, MIME type and category of a link target\n"
      "  links FILE URL                      the link pass over a local page fetched from URL\n"
      "  fetch URL [--dir DIR] [--head]      fetch one object as a server import of URL would,\n"
      "                                      storing the copy under DIR (default: .)\n"
      "  --help                              this text\n"
      "Settings come from kvproxy.ini in $HALYARD_WINDIR (proxy, credentials, 8.3 names).\n"
      "exit codes: 0 done (copy stored), 1 the server answered with an error, 2 wrong usage,\n"
      "            3 local failure (file cannot be read or stored), 4 no answer (or aborted)\n",
      out);
}

// Text in double quotes with C escapes, so that blanks and control bytes stay visible.
std::string Quote(const char* s) {
  std::string out = "\"";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s ? s : ""); *p; ++p) {
    switch (*p) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (*p < 0x20 || *p == 0x7F) {
          char b[8];
          std::snprintf(b, sizeof b, "\\x%02x", *p);
          out += b;
        } else {
          out += static_cast<char>(*p);
        }
    }
  }
  return out + "\"";
}

int Classify(int argc, char** argv) {
  if (argc < 1) return Usage(stderr), kExitUsage;
  SchemeCode scheme = kSchemeHttp;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--scheme") == 0 && i + 1 < argc) {
      scheme = SchemeCodeOf(argv[++i]);
      if (scheme != kSchemeHttp && scheme != kSchemeFile) {
        std::fprintf(stderr, "siteglean: --scheme takes http or file\n");
        return kExitUsage;
      }
    } else {
      return Usage(stderr), kExitUsage;
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
  if (argc != 2) return Usage(stderr), kExitUsage;
  std::string text;
  if (!ReadFile(argv[0], &text)) {
    std::fprintf(stderr, "siteglean: cannot read %s\n", argv[0]);
    return kExitLocal;
  }
  UrlParts home;
  if (!SplitUrl(argv[1], &home) || home.schemeCode == kSchemeUnknown) {
    std::fprintf(stderr, "siteglean: %s is no URL the robot can fetch\n", argv[1]);
    return kExitUsage;
  }
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

  std::printf("title %s\n", Quote(page->title).c_str());
  for (auto* n = page->headings.First(); n; n = n->next)
    std::printf("heading %d %s\n", n->item->level, Quote(n->item->text).c_str());
  for (auto* n = page->anchors.First(); n; n = n->next)
    std::printf("anchor %s\n", Quote(n->item).c_str());
  for (auto* n = page->metas.First(); n; n = n->next)
    std::printf("meta %s %s\n", Quote(n->item->name).c_str(), Quote(n->item->content).c_str());
  // Every link of the page in the order the page gives them.
  std::vector<ObjectLink*> all;
  for (auto* n = site.links.First(); n; n = n->next)
    if (n->item->source == page) all.push_back(n->item);
  for (ObjectLink* l : all) {
    const WebObj* t = l->target;
    std::printf("link %s %s 0x%04X %s %s label=%s text=%s refs=%d%s\n", KindName(l->kind),
                CategoryName(t->category), t->category, t->url->full.c_str(),
                t == page ? "(this page)" : "", Quote(l->label).c_str(), Quote(l->linkText).c_str(),
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
  if (argc < 1) return Usage(stderr), kExitUsage;
  std::string url = argv[0], dir = ".";
  bool head = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
      dir = argv[++i];
    else if (std::strcmp(argv[i], "--head") == 0)
      head = true;
    else
      return Usage(stderr), kExitUsage;
  }
  MimeTable::Instance().UseLowerCaseHtmlSuffixes();
  WebSite site;
  if (!site.SetUpServerImport(url, dir)) {
    std::fprintf(stderr, "siteglean: %s names no server\n", url.c_str());
    return kExitUsage;
  }
  site.dosNames = ConfigStore().Int(kSetForceDosNaming) != 0;
  Fetcher fetcher;
  fetcher.SetCredentialsPrompt(PromptCredentials);
  if (isatty(STDERR_FILENO)) {
    fetcher.SetAbortHook([] {
      std::fputc('.', stderr);
      return false;
    });
  }
  WebObj* obj = site.home;
  int err = 0;
  std::fprintf(stderr, "fetching %s\n", obj->url->full.c_str());
  ResponseRecord rr;
  bool ok = FetchObject(site, fetcher, obj, head, true, &err, &rr);
  if (isatty(STDERR_FILENO)) std::fputc('\n', stderr);
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
  if (u->status == kStatusDiskFull || u->status == kStatusNoTempFile) return kExitLocal;
  if (err == kFetchAborted || u->status == kStatusNotFetched) return kExitNoAnswer;
  if (u->status >= 300 && err == kFetchLoadError) return kExitHttp;
  return err < 0 ? kExitNoAnswer : kExitLocal;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(stderr), kExitUsage;
  std::string cmd = argv[1];
  if (cmd == "--help" || cmd == "-h" || cmd == "help") return Usage(stdout), kExitOk;
  if (cmd == "classify") return Classify(argc - 2, argv + 2);
  if (cmd == "links") return Links(argc - 2, argv + 2);
  if (cmd == "fetch") return Fetch(argc - 2, argv + 2);
  std::fprintf(stderr, "siteglean: unknown command %s\n", cmd.c_str());
  Usage(stderr);
  return kExitUsage;
}
