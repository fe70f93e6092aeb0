#include "quote.h"

namespace halyard::tool {

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

std::string Quote(std::string_view text, char mark) {
  std::string out;
  out.reserve(text.size() + 2);
  AppendQuoted(out, text, mark);
  return out;
}

}  // namespace halyard::tool
