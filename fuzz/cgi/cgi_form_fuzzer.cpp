// Feeds arbitrary bytes to the CGI programs' decoders: URL decoding, cutting form data into
// fields, the walk with required-field markers, the escapes, the data line of form-catcher,
// its file name check, and the search for the index page's marker line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cgi/common/cgi_string.h"
#include "cgi/common/form_field.h"
#include "cgi/common/text_escape.h"
#include "cgi/form-catcher/form_catcher.h"
#include "cgi/post-board/index_page.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halyard;
  std::string input(reinterpret_cast<const char*>(data), size);
  std::string text = input.substr(0, input.find('\0'));  // as a C text sees it

  // In-place decoding never grows the text and agrees with the length-based variant.
  std::vector<char> c(text.begin(), text.end());
  c.push_back('\0');
  DecodeUrl(c.data());
  Check(std::strlen(c.data()) <= text.size());
  Check(cgi::DecodeUrlText(text) == std::string(c.data()));

  // Cutting with slots: SplitAt consumes the whole text and never writes past its slot.
  std::vector<char> source(text.begin(), text.end());
  source.push_back('\0');
  std::size_t pieces = 0;
  while (source[0] != '\0') {
    char slot[10];
    SplitAt(slot, sizeof slot, source.data(), '&');
    Check(std::strlen(slot) < sizeof slot);
    ++pieces;
  }

  for (cgi::FieldLimits limits : {cgi::FieldLimits{15, 0}, cgi::FieldLimits{9, 255}}) {
    std::vector<cgi::FormField> fields = cgi::CutFormData(text, limits);
    Check(fields.size() == pieces);
    for (const cgi::FormField& f : fields) {
      Check(f.name.size() <= limits.maxName);
      if (limits.maxPair != 0) Check(f.value.size() <= limits.maxPair);
    }
    cgi::FieldWalk walk = cgi::WalkFields(
        fields, {"time", "parent", "thread", "RealTime", "name", "email", "subject", "body"});
    Check(walk.matchCount >= 0 && static_cast<std::size_t>(walk.matchCount) <= fields.size());
    for (int p : walk.positions) Check(p >= -1 && p < static_cast<int>(fields.size()));
    walk = cgi::WalkFields(fields, {"success", "error", "filename"});
    for (int p : walk.positions) Check(p >= -1 && p < static_cast<int>(fields.size()));

    std::string line = catcher::DataLine(fields);
    Check(!line.empty() && line.back() == '\n');
    Check(line.find('\n') == line.size() - 1 && line.find('\r') == std::string::npos);
    for (const cgi::FormField& f : fields) catcher::IsSafeFileName(f.value);
  }

  // Escaped texts cannot end their string, line, script block or attribute.
  char* escaped = EscapeForScript(text.c_str());
  Check(escaped != nullptr && std::strlen(escaped) <= 99);
  std::string script = cgi::ScriptEscape(text);
  for (const std::string& s : {std::string(escaped), script}) {
    Check(s.find_first_of("<\r\n") == std::string::npos);
    // Every double quote is preceded by an odd run of backslashes.
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] != '"') continue;
      std::size_t run = 0;
      while (run < i && s[i - 1 - run] == '\\') ++run;
      Check(run % 2 == 1);
    }
  }
  std::free(escaped);
  Check(cgi::HtmlEscape(input).find_first_of("<>\"") == std::string::npos);

  // The marker is found only where it stands.
  std::size_t at = board::FindInsertionPoint(input);
  if (at != std::string::npos) Check(input.compare(at, 23, "<!--insertion point-->\r") == 0);
  return 0;
}
