#include "text_matcher.h"

#include <cstring>

#include "platform/kernel/text.h"

namespace glyphpad {

Matcher::Matcher(std::string what, bool matchCase, bool wholeWord)
    : what_(std::move(what)), matchCase_(matchCase), wholeWord_(wholeWord) {}

bool Matcher::IsWordChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' ||
         u >= 0xC0;
}

bool Matcher::Equal(const std::string& text, size_t at) const {
  if (matchCase_) return std::memcmp(text.data() + at, what_.data(), what_.size()) == 0;
  for (size_t i = 0; i < what_.size(); ++i)
    if (halyard::AsciiLower(text[at + i]) != halyard::AsciiLower(what_[i])) return false;
  return true;
}

LONG Matcher::Next(const std::string& text, LONG from, char before) const {
  const size_t n = what_.size();
  if (n == 0 || from < 0) return -1;
  const char first = what_[0];
  const char firstLower = halyard::AsciiLower(first);
  const char firstUpper = halyard::AsciiUpper(first);
  for (size_t q = static_cast<size_t>(from); q + n <= text.size(); ++q) {
    char c = text[q];
    if (matchCase_ ? c != first : (c != firstLower && c != firstUpper)) continue;
    if (!Equal(text, q)) continue;
    if (wholeWord_) {
      char b = q > static_cast<size_t>(from) ? text[q - 1] : before;
      if (IsWordChar(b)) continue;
      if (q + n < text.size() && IsWordChar(text[q + n])) continue;
    }
    return static_cast<LONG>(q);
  }
  return -1;
}

}  // namespace glyphpad
