#include "text.h"

namespace halyard {
namespace {

template <bool (*Blank)(char)>
std::string_view Trim(std::string_view s) {
  while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
  return s;
}

bool LowerEq(char a, char b) { return AsciiLower(a) == AsciiLower(b); }

}  // namespace

void MakeAsciiUpper(std::string& s) {
  for (char& c : s) c = AsciiUpper(c);
}

void MakeAsciiLower(std::string& s) {
  for (char& c : s) c = AsciiLower(c);
}

std::string AsciiUpperCopy(std::string_view s) {
  std::string out(s);
  MakeAsciiUpper(out);
  return out;
}

std::string AsciiLowerCopy(std::string_view s) {
  std::string out(s);
  MakeAsciiLower(out);
  return out;
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!LowerEq(a[i], b[i])) return false;
  return true;
}

bool StartsWithNoCaseAscii(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsNoCaseAscii(s.substr(0, prefix.size()), prefix);
}

bool EndsWithNoCaseAscii(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && EqualsNoCaseAscii(s.substr(s.size() - suffix.size()), suffix);
}

int CompareNoCaseAscii(std::string_view a, std::string_view b) {
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(AsciiLower(a[i]));
    auto y = static_cast<unsigned char>(AsciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::size_t FindNoCaseAscii(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (from > haystack.size() || needle.size() > haystack.size() - from) return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i)
    if (EqualsNoCaseAscii(haystack.substr(i, needle.size()), needle)) return i;
  return std::string_view::npos;
}

std::string_view TrimSpaceOrTab(std::string_view s) { return Trim<IsSpaceOrTab<char>>(s); }
std::string_view TrimSpaceTabCrLf(std::string_view s) { return Trim<IsSpaceTabCrLf<char>>(s); }
std::string_view TrimAsciiWhiteSpace(std::string_view s) { return Trim<IsAsciiWhiteSpace<char>>(s); }

void AppendQuoted(std::string& out, std::string_view text, char mark) {
  out += mark;
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
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
        if (ch == mark) {
          out += '\\';
          out += ch;
        } else if (c >= 0x20 && c < 0x7F) {
          out += ch;
        } else {
          out += '\\';
          out += static_cast<char>('0' + (c >> 6));
          out += static_cast<char>('0' + ((c >> 3) & 7));
          out += static_cast<char>('0' + (c & 7));
        }
    }
  }
  out += mark;
}

}  // namespace halyard
