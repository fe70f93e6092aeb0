// siteglean: the site import library's front end. Classifies names as the robot does, runs
// the link pass over a local page, and fetches single objects.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "link_pass.h"
#include "mime_table.h"

namespace {

using namespace siteglean;

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitLocal = 3;

void Usage(FILE* out) {
  std::fputs(
      "usage: siteglean COMMAND ...\n"
      "  classify NAME [--scheme http|file]  type code, MIME type and category of a link target\n"
      "  links FILE URL                      the link pass over a local page fetched from URL\n"
      "  --help                              this text\n"
      "exit codes: 0 done, 2 wrong usage, 3 local failure (file cannot be read)\n",
      out);
}

// Text in double quotes with C escapes, so that blanks and control bytes stay visible.
std::string Quote(const char* s) {
  std::string out = "\"";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s ? s : ""); *p; ++p) {
    switch (*p) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
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
    case kLinkSelf: return "self";
    case kLinkExternal: return "external";
    case kLinkChild: return "child";
    case kLinkDown: return "down";
    case kLinkAcross: return "across";
    case kLinkUp: return "up";
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
                t == page ? "(this page)" : "", Quote(l->label).c_str(),
                Quote(l->linkText).c_str(), l->refCount,
                (l->flags & kLinkFlagBroken) && l->kind == kLinkSelf ? " broken" : "");
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(stderr), kExitUsage;
  std::string cmd = argv[1];
  if (cmd == "--help" || cmd == "-h" || cmd == "help") return Usage(stdout), kExitOk;
  if (cmd == "classify") return Classify(argc - 2, argv + 2);
  if (cmd == "links") return Links(argc - 2, argv + 2);
  std::fprintf(stderr, "siteglean: unknown command %s\n", cmd.c_str());
  Usage(stderr);
  return kExitUsage;
}
