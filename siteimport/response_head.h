// The response record of one fetch and the reader that fills it from the head of the HTTP
// response as its bytes arrive: the status line, and the few fields the robot keeps. The
// reader takes at most 512 bytes of head; every value is cut to its field's size. Owned by one
// fetch, on the thread that runs it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace siteglean {

struct ResponseRecord {
  static constexpr std::size_t kHeadMax = 512;
  static constexpr std::size_t kValueMax = 128;     // Server, Allow, MIME-version, Content-Type
  static constexpr std::size_t kLocationMax = 256;  // redirect target

  std::uint16_t status = 111;
  std::string version;
  std::string head;
  bool headComplete = false;
  std::string server, allow, mimeVersion, contentType, location;
  std::int64_t date = -1;  // 0 when absent, -1 before any response
  std::int64_t lastModified = -1;
  std::int32_t contentLength = -1;  // -1 when absent or not a usable size
  // The status of the last response when redirects were followed (0 when there were none):
  // the head above is the first response's, but success is the last one's.
  std::uint16_t finalStatus = 0;

  // Takes a block of response data. Only data that begins with "HTTP" starts a head; bytes
  // are collected until a blank line or 512 bytes, then the head is read.
  void Feed(std::string_view data);
  // Reads the collected head (Feed calls this once the head is complete).
  void ParseHead();
  // Back to the state before any response ("file://" URLs reset it).
  void Reset() { *this = ResponseRecord(); }
};

// Parses an HTTP date (RFC 1123, RFC 850 or asctime form) to seconds since 1970 (UTC);
// -1 when the text is no date.
std::int64_t ParseHttpDate(std::string_view text);

}  // namespace siteglean
