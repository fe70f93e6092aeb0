#include "response_head.h"

#include <cctype>
#include <cstring>
#include <ctime>

#include "platform/kernel/text.h"

namespace siteglean {
namespace {

// Finds a field name anywhere in the head without regard to case, as the robot does; a name
// at the very start of the head (inside the status line) is not taken.
bool FindField(std::string_view head, std::string_view name, std::string_view* value) {
  for (std::size_t i = 1; i + name.size() <= head.size(); ++i) {
    if (!halyard::EqualsNoCaseAscii(head.substr(i, name.size()), name)) continue;
    std::size_t v = i + name.size();
    while (v < head.size() && head[v] == ' ') ++v;
    std::size_t e = v;
    while (e < head.size() && head[e] != '\r' && head[e] != '\n') ++e;
    *value = head.substr(v, e - v);
    return true;
  }
  return false;
}

std::string Cut(std::string_view v, std::size_t max) { return std::string(v.substr(0, max)); }

// A Content-length that is a plain decimal number of at most 31 bits; anything else (a sign,
// letters, an overflow) is no size the robot may trust.
std::int32_t ParseLength(std::string_view v) {
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  if (v.empty() || v.size() > 10) return -1;
  std::int64_t n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n > 0x7FFFFFFF ? -1 : static_cast<std::int32_t>(n);
}

int MonthOf(std::string_view m) {
  static const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                  "jul", "aug", "sep", "oct", "nov", "dec"};
  for (int i = 0; i < 12; ++i)
    if (halyard::StartsWithNoCaseAscii(m, kMonths[i])) return i;
  return -1;
}

}  // namespace

std::int64_t ParseHttpDate(std::string_view text) {
  // Collect words: letters, numbers and h:m:s; the three forms differ only in their order.
  int day = -1, month = -1, year = -1, hh = -1, mm = -1, ss = -1;
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (std::isdigit(c)) {
      std::size_t j = i;
      long v = 0;
      while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])) && j - i < 6)
        v = v * 10 + (text[j++] - '0');
      if (j < text.size() && text[j] == ':' && hh < 0) {
        // h:m:s
        int parts[3] = {static_cast<int>(v), -1, -1};
        for (int k = 1; k < 3 && j < text.size() && text[j] == ':'; ++k) {
          ++j;
          long w = 0;
          std::size_t s = j;
          while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])) && j - s < 2)
            w = w * 10 + (text[j++] - '0');
          if (j == s) break;
          parts[k] = static_cast<int>(w);
        }
        hh = parts[0];
        mm = parts[1];
        ss = parts[2] < 0 ? 0 : parts[2];
      } else if (day < 0 && j - i <= 2) {
        day = static_cast<int>(v);
      } else if (year < 0) {
        year = static_cast<int>(v);
        if (j - i <= 2) year += year < 70 ? 2000 : 1900;
      }
      i = j;
    } else if (std::isalpha(c)) {
      std::size_t j = i;
      while (j < text.size() && std::isalpha(static_cast<unsigned char>(text[j]))) ++j;
      int m = MonthOf(text.substr(i, j - i));
      if (m >= 0 && month < 0 && j - i >= 3) month = m;
      i = j;
    } else {
      ++i;
    }
  }
  if (day < 1 || day > 31 || month < 0 || year < 1970 || year > 9999 || hh < 0 || hh > 23 ||
      mm < 0 || mm > 59 || ss > 60)
    return -1;
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month;
  tm.tm_mday = day;
  tm.tm_hour = hh;
  tm.tm_min = mm;
  tm.tm_sec = ss;
  return static_cast<std::int64_t>(timegm(&tm));
}

void ResponseRecord::Feed(std::string_view data) {
  if (headComplete) return;
  if (head.empty() && !halyard::StartsWithNoCaseAscii(data, "HTTP")) return;
  for (char c : data) {
    if (head.size() >= kHeadMax) break;
    head.push_back(c);
    std::size_t n = head.size();
    if ((n >= 2 && head[n - 1] == '\n' && head[n - 2] == '\n') ||
        (n >= 2 && head[n - 1] == '\r' && head[n - 2] == '\r') ||
        (n >= 4 && head.compare(n - 4, 4, "\r\n\r\n") == 0)) {
      headComplete = true;
      break;
    }
  }
  if (head.size() >= kHeadMax) headComplete = true;
  if (headComplete) ParseHead();
}

void ResponseRecord::ParseHead() {
  std::string_view h = head;
  std::size_t sp = h.find_first_of(" \r\n");
  version = Cut(h.substr(0, sp), kValueMax);
  if (status == 111 && sp != std::string_view::npos && h[sp] == ' ') {
    std::size_t i = sp;
    while (i < h.size() && h[i] == ' ') ++i;
    unsigned v = 0;
    std::size_t digits = 0;
    while (i < h.size() && std::isdigit(static_cast<unsigned char>(h[i])) && digits < 5) {
      v = v * 10 + static_cast<unsigned>(h[i++] - '0');
      ++digits;
    }
    if (digits > 0 && v <= 0xFFFF) status = static_cast<std::uint16_t>(v);
  }
  std::string_view v;
  if (status == 301 || status == 302) {
    if (FindField(h, "Location:", &v)) location = Cut(v, kLocationMax);
    return;
  }
  if (FindField(h, "Server:", &v)) server = Cut(v, kValueMax);
  if (FindField(h, "Allow:", &v)) allow = Cut(v, kValueMax);
  if (FindField(h, "MIME-version:", &v)) mimeVersion = Cut(v, kValueMax);
  if (FindField(h, "Content-Type:", &v)) contentType = Cut(v, kValueMax);
  date = FindField(h, "date:", &v) ? ParseHttpDate(v) : 0;
  if (date < 0) date = 0;
  lastModified = FindField(h, "Last-modified:", &v) ? ParseHttpDate(v) : 0;
  if (lastModified < 0) lastModified = 0;
  contentLength = FindField(h, "Content-length:", &v) ? ParseLength(v) : -1;
  if (FindField(h, "Location:", &v)) location = Cut(v, kLocationMax);
}

}  // namespace siteglean
