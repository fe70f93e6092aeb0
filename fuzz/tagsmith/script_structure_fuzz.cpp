// The script structure over arbitrary script text, handed over in pieces whose sizes the input's
// first byte chooses. The structure must not depend on the cuts, and when the script holds no
// HTML comment marks (which the structure drops or blanks on purpose) its written text is the
// script text itself, up to where the scanner saw the script end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "html/script_scanner.h"
#include "html/script_structure.h"
#include "html/script_text.h"

namespace {

struct Built {
  std::size_t used;
  std::string written;
  std::string dump;
};

Built Build(const std::string& script, std::size_t piece) {
  ScriptScanner scanner;
  Built b;
  b.used = halyard::tagsmith::ScanScript(scanner, script.data(), script.size(), piece);
  scanner.Finish();
  scanner.GetScriptItems()->Write(b.written);
  halyard::tagsmith::DumpScript(*scanner.GetScriptItems(), b.dump);
  return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::size_t piece = 1 + data[0] % 17;
  std::string script(reinterpret_cast<const char*>(data + 1), size - 1);
  Built whole = Build(script, 0);
  Built cut = Build(script, piece);
  if (whole.used != cut.used || whole.written != cut.written || whole.dump != cut.dump) std::abort();
  if (whole.used > script.size()) std::abort();
  if (script.find("<!--") == std::string::npos && script.find("-->") == std::string::npos &&
      whole.written != script.substr(0, whole.used))
    std::abort();
  return 0;
}
