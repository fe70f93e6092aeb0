#include "url_string.h"

#include <cstdint>
#include <cstring>

#include "scheme_table.h"
#include "platform/kernel/text.h"

namespace {

// The directory of a base: cut after its last "/" (or, without one, its last "\"); a base
// that is a scheme and a host only gets a "/" appended instead. A base with neither is a page
// in the current folder (or above it, after "../"), whose directory is empty: the link stands
// alone.
void FormDirectory(CString& dir) {
  int slash = dir.ReverseFind('/');
  if (slash >= 0) {
    if (slash > 0 && dir[slash - 1] == '/')
      dir += '/';
    else
      dir = dir.Left(slash + 1);
    return;
  }
  int backslash = dir.ReverseFind('\\');
  if (backslash >= 0)
    dir = dir.Left(backslash + 1);
  else if (!(dir.GetLength() == 2 && dir[1] == ':'))  // a drive ("C:") stays
    dir.Empty();
}

// The length of "scheme://host" at the start of base, or 0 when base does not begin with a
// scheme name and "://".
int SchemeAndHostLength(const char* base) {
  const char* p = base;
  while ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') ||
         *p == '+' || *p == '-' || *p == '.')
    ++p;
  if (p == base || std::strncmp(p, "://", 3) != 0) return 0;
  const char* hostEnd = std::strchr(p + 3, '/');
  return hostEnd ? static_cast<int>(hostEnd - base) : static_cast<int>(std::strlen(base));
}

// What both resolvers share. Returns true when the result is already final (*out set).
bool ResolveCommon(const char* base, const char*& link, CString& dir, CString* out) {
  if (!link) link = "";
  if (!base || !*base || std::strstr(link, "://") || halyard::StartsWithNoCaseAscii(link, "mailto:")) {
    *out = link;
    return true;
  }
  if (link[0] == '/') {
    DWORD scheme = 0;
    CString host, path;
    WORD port = 0;
    const char* sep = std::strstr(base, "://");
    if (UrlString::ParseUrl(base, scheme, host, path, port) && scheme != SchemeTable::kFile &&
        sep) {
      const char* hostStart = sep + 3;
      const char* hostEnd = std::strchr(hostStart, '/');
      int len = hostEnd ? static_cast<int>(hostEnd - base) : static_cast<int>(std::strlen(base));
      *out = CString(base, len) + link;
    } else {
      *out = link;
    }
    return true;
  }
  dir = base;
  FormDirectory(dir);
  while (std::strncmp(link, "../", 3) == 0) {
    if (!dir.IsEmpty()) dir = dir.Left(dir.GetLength() - 1);
    link += 3;
    FormDirectory(dir);
  }
  if (std::strncmp(link, "./", 2) == 0 || std::strncmp(link, ".\\", 2) == 0) link += 2;
  return false;
}

}  // namespace

namespace UrlString {

int ParseUrl(const char* url, DWORD& scheme, CString& host, CString& path, WORD& port) {
  if (!url) return 0;
  while (halyard::IsCLocaleSpace(*url)) ++url;
  if (!*url) return 0;
  const SchemeTable::Entry* e = SchemeTable::Match(url);
  if (!e) {
    scheme = SchemeTable::kNoScheme;
    return 0;
  }
  scheme = e->number;
  const char* rest = url + std::strlen(e->prefix);
  if (scheme == SchemeTable::kFile) {
    port = 0;
    host.Empty();
    path = rest;
    return 1;
  }
  host = rest;
  int slash = host.Find('/');
  if (slash >= 0) {
    path = host.Mid(slash);
    host = host.Left(slash);
  } else {
    path.Empty();
  }
  int colon = host.ReverseFind(':');
  if (colon >= 0) {
    // The decimal number after the colon, as the C runtime's atoi reads it, in 16 bits.
    const char* p = static_cast<const char*>(host) + colon + 1;
    while (halyard::IsCLocaleSpace(*p)) ++p;
    bool neg = false;
    if (*p == '-' || *p == '+') neg = *p++ == '-';
    std::uint32_t v = 0;
    while (*p >= '0' && *p <= '9') v = v * 10u + static_cast<std::uint32_t>(*p++ - '0');
    port = static_cast<WORD>(neg ? 0u - v : v);
    host = host.Left(colon);
  } else {
    port = 0;
  }
  return 1;
}

CString Relative2Absolute(const char* base, const char* link) {
  CString dir, out;
  if (ResolveCommon(base, link, dir, &out)) return out;
  return dir + link;
}

CString Relative2Root(const char* base, const char* link) {
  CString dir, out;
  if (ResolveCommon(base, link, dir, &out)) return out;
  if (link[0] != '.') {
    // A base with a scheme and a host (http://, ftp://, file:// ...) has its root after the
    // host; a path's root is its drive or first folder.
    if (int len = SchemeAndHostLength(base)) {
      dir = CString(base, len) + "/";
    } else {
      int cut = -1;
      for (int i = 0; i < 7 && i < dir.GetLength(); ++i) {
        if (dir[i] == '/') {
          cut = i;
          break;
        }
      }
      if (cut < 0) {
        for (int i = 0; i < 7 && i < dir.GetLength(); ++i) {
          if (dir[i] == '\\') {
            cut = i;
            break;
          }
        }
      }
      if (cut >= 0) dir = dir.Left(cut + 1);
    }
  }
  return dir + link;
}

}  // namespace UrlString
