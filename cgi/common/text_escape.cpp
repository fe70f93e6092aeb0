#include "text_escape.h"

#include <cstdlib>
#include <cstring>

namespace halyard::cgi {

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string ScriptEscape(std::string_view text, std::size_t maxLength) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    const char* unit;
    char plain[2] = {c, '\0'};
    switch (c) {
      case '\\':
        unit = "\\\\";
        break;
      case '"':
        unit = "\\\"";
        break;
      case '\n':
        unit = "\\n";
        break;
      case '\r':
        unit = "\\r";
        break;
      case '<':
        unit = "\\x3C";
        break;
      default:
        unit = plain;
    }
    std::size_t n = std::strlen(unit);
    if (maxLength != 0 && out.size() + n > maxLength) break;
    out.append(unit, n);
  }
  return out;
}

}  // namespace halyard::cgi

char* EscapeForScript(const char* text) {
  std::string escaped = halyard::cgi::ScriptEscape(text == nullptr ? "" : text, 99);
  char* result = static_cast<char*>(std::malloc(escaped.size() + 1));
  if (result != nullptr) std::memcpy(result, escaped.c_str(), escaped.size() + 1);
  return result;
}
