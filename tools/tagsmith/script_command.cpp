// tagsmith script: the structure of a script, or of the scripts of a page, as the script scanner
// builds it: one item a line, or each top-level statement written back as text.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "html/script_scanner.h"
#include "html/script_structure.h"
#include "html/script_text.h"
#include "read_input.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"

namespace {

using namespace halyard::tool;

// A page is what begins with a tag; anything else is one script.
bool LooksLikePage(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t\r\n\f");
  return first != std::string::npos && text[first] == '<' &&
         text.compare(first, 4, "<!--") != 0;
}

}  // namespace

int ScriptCommand(int argc, char** argv) {
  bool asText = false;
  long pieces = 0;
  const char* file = nullptr;
  for (int i = 2; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--text") == 0) {
      asText = true;
    } else if (std::strcmp(a, "--pieces") == 0) {
      if (i + 1 == argc) return UsageError("--pieces needs a number");
      char* end = nullptr;
      errno = 0;
      pieces = std::strtol(argv[++i], &end, 10);
      if (errno || !end || *end || pieces <= 0) return UsageError("--pieces needs a number above 0");
    } else if (a[0] == '-' && a[1] != 0) {
      return UsageError("unknown option " + Quote(a, '\''));
    } else if (file) {
      return UsageError("only one FILE");
    } else {
      file = a;
    }
  }
  std::string text;
  if (!ReadInput(file, text)) return CannotRead(file ? file : "standard input", errno);
  ScriptScanner scanner;
  std::size_t step = static_cast<std::size_t>(pieces);
  if (LooksLikePage(text))
    halyard::tagsmith::ScanPageScripts(scanner, text.data(), text.size(), step);
  else
    halyard::tagsmith::ScanScript(scanner, text.data(), text.size(), step);
  scanner.Finish();
  std::string out;
  if (asText)
    scanner.GetScriptItems()->Write(out);
  else
    halyard::tagsmith::DumpScript(*scanner.GetScriptItems(), out);
  return WriteOutput(out);
}
