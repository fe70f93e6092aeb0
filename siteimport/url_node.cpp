#include "url_node.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "platform/kernel/text.h"

namespace siteglean {
namespace {

struct SchemeName {
  const char* name;
  SchemeCode code;
};
constexpr SchemeName kSchemes[] = {
    {"http", kSchemeHttp},     {"mailto", kSchemeMailto}, {"gopher", kSchemeGopher},
    {"ftp", kSchemeFtp},       {"wais", kSchemeWais},     {"news", kSchemeNews},
    {"telnet", kSchemeTelnet}, {"snews", kSchemeSnews},   {"file", kSchemeFile},
};

bool IsSchemeChar(char c, bool first) {
  unsigned char u = static_cast<unsigned char>(c);
  if (std::isalpha(u)) return true;
  return !first && (std::isdigit(u) || c == '+' || c == '-' || c == '.');
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Resolves "." and ".." segments of an absolute directory path ending in "/".
std::string NormaliseDir(std::string_view dir) {
  std::vector<std::string_view> segs;
  std::size_t i = 0;
  while (i < dir.size()) {
    std::size_t j = dir.find('/', i);
    if (j == std::string_view::npos) j = dir.size();
    std::string_view seg = dir.substr(i, j - i);
    if (seg == "..") {
      if (!segs.empty()) segs.pop_back();
    } else if (seg != "." && !seg.empty()) {
      segs.push_back(seg);
    }
    i = j + 1;
  }
  std::string out = "/";
  for (std::string_view s : segs) {
    out.append(s);
    out.push_back('/');
  }
  return out;
}

void SplitPath(std::string_view path, UrlParts* out) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) {
    out->file = std::string(path);
    return;
  }
  out->file = std::string(path.substr(slash + 1));
  std::string_view dir = path.substr(0, slash + 1);
  if (dir.front() == '/') {
    out->dir = NormaliseDir(dir);
  } else {
    // A relative directory: kept as written (without a leading "/") until resolved.
    out->dir = std::string(dir);
  }
  if (out->file == "." || out->file == "..") {
    out->dir = out->dir.empty() ? out->file + "/" : out->dir + out->file + "/";
    if (!out->dir.empty() && out->dir.front() == '/') out->dir = NormaliseDir(out->dir);
    out->file.clear();
  }
}

}  // namespace

const UrlNode* UrlNode::Final() const {
  const UrlNode* n = this;
  // A redirect chain is short; the bound keeps a cycle from looping forever.
  for (int i = 0; i < 64 && n->redirect != nullptr; ++i) n = n->redirect;
  return n;
}

UrlNode* UrlNode::Final() {
  return const_cast<UrlNode*>(static_cast<const UrlNode*>(this)->Final());
}

SchemeCode SchemeCodeOf(std::string_view scheme) {
  for (const SchemeName& s : kSchemes)
    if (halyard::EqualsNoCaseAscii(scheme, s.name))
      return s.code;
  return kSchemeUnknown;
}

std::string DecodePercent(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

bool SplitUrl(std::string_view text, UrlParts* out) {
  *out = UrlParts{};
  std::string s(text);
  for (char& c : s)
    if (c == '\\') c = '/';
  // Surrounding blanks are no part of a link.
  std::size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return false;
  std::size_t e = s.find_last_not_of(" \t\r\n");
  std::string_view rest(s.data() + b, e - b + 1);

  std::size_t hash = rest.find('#');
  if (hash != std::string_view::npos) {
    out->fragment = std::string(rest.substr(hash + 1));
    out->hasFragment = true;
    rest = rest.substr(0, hash);
  }
  std::size_t q = rest.find('?');
  if (q != std::string_view::npos) {
    out->query = std::string(rest.substr(q + 1));
    out->hasQuery = true;
    rest = rest.substr(0, q);
  }
  // A scheme is two or more scheme characters before ":" (one letter is a drive).
  std::size_t colon = rest.find(':');
  if (colon != std::string_view::npos && colon >= 2) {
    bool ok = true;
    for (std::size_t i = 0; i < colon && ok; ++i) ok = IsSchemeChar(rest[i], i == 0);
    if (ok) {
      out->scheme = std::string(rest.substr(0, colon));
      halyard::MakeAsciiLower(out->scheme);
      out->schemeCode = SchemeCodeOf(out->scheme);
      rest = rest.substr(colon + 1);
    }
  }
  bool authority = false;
  if (rest.size() >= 2 && rest[0] == '/' && rest[1] == '/') {
    authority = true;
    rest = rest.substr(2);
  } else if (out->schemeCode == kSchemeMailto || out->schemeCode == kSchemeTelnet) {
    authority = true;  // mailto:user@host names its host without "//"
  }
  if (authority) {
    std::size_t end = rest.find('/');
    if (out->schemeCode == kSchemeMailto) end = std::string_view::npos;
    std::string_view auth = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    std::size_t at = auth.rfind('@');
    if (at != std::string_view::npos) {
      std::string_view ui = auth.substr(0, at);
      std::size_t pc = ui.find(':');
      out->user = std::string(ui.substr(0, pc));
      if (pc != std::string_view::npos) out->password = std::string(ui.substr(pc + 1));
      auth = auth.substr(at + 1);
    }
    std::size_t pc = auth.rfind(':');
    if (pc != std::string_view::npos && auth.find(']') == std::string_view::npos) {
      out->port = std::string(auth.substr(pc + 1));
      auth = auth.substr(0, pc);
    }
    out->host = std::string(auth);
  }
  if (!rest.empty()) SplitPath(rest, out);
  return true;
}

std::string RebuildUrl(const UrlParts& p) {
  std::string full;
  full.reserve(p.scheme.size() + p.host.size() + p.dir.size() + p.file.size() + p.query.size() + 8);
  full += p.scheme;
  full += ':';
  bool slashes =
      (!p.host.empty() && p.schemeCode != kSchemeMailto && p.schemeCode != kSchemeNews) ||
      p.schemeCode == kSchemeFile;
  if (slashes) full += "//";
  if (!p.user.empty()) {
    full += p.user;
    if (!p.password.empty()) {
      full += ':';
      full += p.password;
    }
    full += '@';
  }
  full += p.host;
  if (!p.port.empty()) {
    full += ':';
    full += p.port;
  }
  if (!p.dir.empty()) {
    full += p.dir;
  } else {
    if (p.schemeCode == kSchemeHttp && p.file.empty()) full += '/';
    if (!p.file.empty() && p.schemeCode != kSchemeNews) full += '/';
  }
  full += p.file;
  if (p.hasQuery) {
    full += '?';
    full += p.query;
  }
  return full;
}

void ResolveAgainst(UrlParts* link, const UrlParts& base) {
  bool onlyFragment = link->scheme.empty() && link->host.empty() && link->dir.empty() &&
                      link->file.empty() && !link->hasQuery && link->hasFragment;
  if (link->scheme.empty()) {
    link->scheme = base.scheme;
    link->schemeCode = base.schemeCode;
  }
  if (link->schemeCode == kSchemeFtp || link->schemeCode == kSchemeMailto) {
    if (link->user.empty()) {
      link->user = base.user;
      if (link->schemeCode == kSchemeFtp && link->password.empty()) link->password = base.password;
    }
  }
  bool hadHost = !link->host.empty();
  if (!hadHost) {
    if (link->schemeCode == base.schemeCode && link->schemeCode != kSchemeMailto &&
        link->schemeCode != kSchemeNews)
      link->port = base.port;
    if (link->schemeCode != kSchemeNews && link->schemeCode != kSchemeFile) link->host = base.host;
  }
  if (!hadHost && link->schemeCode != kSchemeMailto && link->schemeCode != kSchemeNews) {
    if (link->dir.empty()) {
      link->dir = base.dir;
    } else if (link->dir.front() != '/') {
      std::string joined = base.dir.empty() ? "/" : base.dir;
      if (joined.back() != '/') joined += '/';
      joined += link->dir;
      link->dir = NormaliseDir(joined);
    }
  } else if (!link->dir.empty() && link->dir.front() != '/') {
    link->dir = NormaliseDir("/" + link->dir);
  }
  if (onlyFragment) {
    link->file = base.file;
    link->query = base.query;
    link->hasQuery = base.hasQuery;
  }
}

std::string EscapeForRequest(std::string_view url) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size());
  for (char ch : url) {
    auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || std::strchr("<>\"{}|\\^`", ch) != nullptr) {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

}  // namespace siteglean
