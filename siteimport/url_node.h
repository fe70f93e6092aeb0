// A parsed URL of the robot (UrlNode), the splitting of URL text into its parts, the
// rebuilding of the full URL text from them, and the resolution of a link against a base.
// Nodes live in the URL table (url_table.h), which owns them; the robot runs on one worker
// thread, so nothing here is locked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "type_codes.h"

namespace siteglean {

struct WebObj;

// Robot statuses kept with a URL beside the HTTP status of its last fetch.
constexpr std::uint16_t kStatusNotFetched = 111;
constexpr std::uint16_t kStatusFetched = 200;
constexpr std::uint16_t kStatusLocalMissing = 404;
constexpr std::uint16_t kStatusRobotsExcluded = 105;
constexpr std::uint16_t kStatusNoTempFile = 106;
constexpr std::uint16_t kStatusDiskFull = 150;

// The parts of a URL text. The directory path, when present, starts and ends with "/".
struct UrlParts {
  SchemeCode schemeCode = kSchemeUnknown;
  std::string scheme, user, password, host, port, dir, file, query, fragment;
  bool hasQuery = false;
  bool hasFragment = false;
};

struct UrlNode {
  UrlParts parts;
  std::string full;       // rebuilt full URL text, without the fragment
  WebObj* obj = nullptr;  // the object that owns this URL, once one is created
  std::uint16_t status = kStatusNotFetched;
  TypeCode type = kTypeUnknown;
  std::string mime;
  std::int64_t size = -1;
  std::int64_t mtime = -1;
  UrlNode* redirect = nullptr;  // the URL this one was redirected to, if any

  // The last URL of the redirect chain (this node when it was never redirected).
  const UrlNode* Final() const;
  UrlNode* Final();
};

// The scheme code of a scheme name (case-insensitive), 0 when unknown.
SchemeCode SchemeCodeOf(std::string_view scheme);

// Splits URL text into its parts (backslashes read as "/"); "." and ".." segments of the
// path are resolved. Returns false for text that is no URL at all (empty or only blanks).
bool SplitUrl(std::string_view text, UrlParts* out);

// The full URL text rebuilt from the parts (the fragment is not part of it).
std::string RebuildUrl(const UrlParts& p);

// Completes a link's parts from its base: scheme, user and password, host and port, and a
// relative directory path appended to the base's. A link that is only a fragment takes the
// base's file name (and query).
void ResolveAgainst(UrlParts* link, const UrlParts& base);

// The URL as it goes out in a request: blanks, controls, bytes above 127 and the characters a
// server needs escaped ("<>\"{}|\\^`) become "%" and two hexadecimal digits; everything else,
// existing escapes included, stays as written.
std::string EscapeForRequest(std::string_view url);

// Decodes "%" followed by two hexadecimal digits; other bytes stay.
std::string DecodePercent(std::string_view text);

}  // namespace siteglean
