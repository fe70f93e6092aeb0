// Small character and string helpers: which characters count as blank, ASCII upper- and
// lower-casing, and comparisons that ignore ASCII case. Each blank test is named by the set it
// accepts, because the formats the components read disagree about it (a registry line trims
// space and tab only; HTML adds form feed; the C library adds vertical tab). Bytes of 0x80 and
// above are never blank and never change case here: a rule that folds Windows-1252 letters
// says so in its own name. Everything is pure; any thread may call it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halyard {

// Space and tab.
template <typename Ch>
constexpr bool IsSpaceOrTab(Ch c) {
  return c == Ch(' ') || c == Ch('\t');
}

// Space, tab, carriage return and line feed.
template <typename Ch>
constexpr bool IsSpaceTabCrLf(Ch c) {
  return c == Ch(' ') || c == Ch('\t') || c == Ch('\r') || c == Ch('\n');
}

// Space, tab, line feed, form feed and carriage return: the white space of HTML and URLs.
template <typename Ch>
constexpr bool IsAsciiWhiteSpace(Ch c) {
  return c == Ch(' ') || c == Ch('\t') || c == Ch('\n') || c == Ch('\f') || c == Ch('\r');
}

// Space and the controls tab to carriage return (including vertical tab): isspace() in the
// "C" locale, without its locale dependence.
template <typename Ch>
constexpr bool IsCLocaleSpace(Ch c) {
  return c == Ch(' ') || (c >= Ch('\t') && c <= Ch('\r'));
}

template <typename Ch>
constexpr Ch AsciiUpper(Ch c) {
  return c >= Ch('a') && c <= Ch('z') ? static_cast<Ch>(c - Ch('a') + Ch('A')) : c;
}

template <typename Ch>
constexpr Ch AsciiLower(Ch c) {
  return c >= Ch('A') && c <= Ch('Z') ? static_cast<Ch>(c - Ch('A') + Ch('a')) : c;
}

// Upper- or lower-cases the ASCII letters of a string in place.
void MakeAsciiUpper(std::string& s);
void MakeAsciiLower(std::string& s);

// Copies with the ASCII letters upper- or lower-cased.
std::string AsciiUpperCopy(std::string_view s);
std::string AsciiLowerCopy(std::string_view s);

// Comparisons where 'a'..'z' equal 'A'..'Z' and every other byte only itself.
bool EqualsNoCaseAscii(std::string_view a, std::string_view b);
bool StartsWithNoCaseAscii(std::string_view s, std::string_view prefix);
bool EndsWithNoCaseAscii(std::string_view s, std::string_view suffix);
// Orders as if both were lower-cased, byte values unsigned: <0, 0 or >0.
int CompareNoCaseAscii(std::string_view a, std::string_view b);
// The first position of needle in haystack ignoring ASCII case, or npos.
std::size_t FindNoCaseAscii(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// Appends text between two marks with C escapes for the mark, the backslash, tab, CR and LF, and
// a three-digit octal escape for every other byte outside printable ASCII (octal with three
// digits never swallows a following digit, and the result is plain ASCII whatever the code
// page). The one way texts are shown in traces, dumps and the tools' output.
void AppendQuoted(std::string& out, std::string_view text, char mark = '"');

// The view without leading and trailing characters of the named set.
std::string_view TrimSpaceOrTab(std::string_view s);
std::string_view TrimSpaceTabCrLf(std::string_view s);
std::string_view TrimAsciiWhiteSpace(std::string_view s);

}  // namespace halyard
