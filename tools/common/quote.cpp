#include "quote.h"

#include "platform/kernel/text.h"

namespace halyard::tool {

void AppendQuoted(std::string& out, std::string_view text, char mark) {
  halyard::AppendQuoted(out, text, mark);
}

std::string Quote(std::string_view text, char mark) {
  std::string out;
  out.reserve(text.size() + 2);
  AppendQuoted(out, text, mark);
  return out;
}

}  // namespace halyard::tool
