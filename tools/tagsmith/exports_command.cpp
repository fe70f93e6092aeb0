// tagsmith exports: loads the HTML library as the design tool does and lists what each export
// number reaches, then each export that is also bound by name, checking that every one is there.
#include <cxxabi.h>

#include <cstdlib>
#include <string>

#include "html/ordinals.h"
#include "platform/kernel/ordinal_exports.h"
#include "platform/kernel/win_error.h"
#include "platform/kernel/win_module.h"
#include "tools/common/tool_main.h"

using namespace halyard::tool;

namespace {

std::string Demangled(const char* name) {
  int status = 0;
  char* plain = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  std::string out = status == 0 && plain ? plain : name;
  std::free(plain);
  return out;
}

const HalyardOrdinalExport* Row(const HalyardOrdinalExport* table, int number) {
  for (const HalyardOrdinalExport* row = table; row && row->ordinal != 0; ++row)
    if (row->ordinal == number) return row;
  return nullptr;
}

}  // namespace

int ExportsCommand(int argc, char** /*argv*/) {
  if (argc > 2) return UsageError("exports takes no arguments");
  HMODULE lib = LoadLibraryA("Tagsmith.dll");
  if (!lib)
    return Fail(kExitFailed, "cannot load libtagsmith.so (error " + std::to_string(GetLastError()) +
                                 ")");
  auto* table = reinterpret_cast<const HalyardOrdinalExport*>(
      GetProcAddress(lib, HALYARD_ORDINAL_TABLE_SYMBOL));
  std::string out;
  int missing = 0;
  namespace ord = halyard::tagsmith::ordinal;
  for (int n = ord::kFirst; n <= ord::kLast; ++n) {
    FARPROC proc = GetProcAddress(lib, MAKEINTRESOURCEA(n));
    const HalyardOrdinalExport* row = Row(table, n);
    out += std::to_string(n) + ' ';
    if (!proc) {
      out += "missing\n";
      ++missing;
      continue;
    }
    out += row && row->name ? (row->proc ? std::string(row->name) : Demangled(row->name)) : "?";
    out += '\n';
  }
  out += "by name:\n";
  for (const HalyardOrdinalExport* row = table; row && row->ordinal != 0; ++row) {
    if (row->proc || !row->name) continue;
    FARPROC byName = GetProcAddress(lib, row->name);
    FARPROC byNumber = GetProcAddress(lib, MAKEINTRESOURCEA(row->ordinal));
    out += Demangled(row->name);
    if (!byName) {
      out += " missing";
      ++missing;
    } else if (byName != byNumber) {
      out += " (not what ordinal " + std::to_string(row->ordinal) + " reaches)";
      ++missing;
    } else {
      out += " = " + std::to_string(row->ordinal);
    }
    out += '\n';
  }
  if (!table) {
    out += "no table of exports by number\n";
    ++missing;
  }
  int rc = WriteOutput(out);
  FreeLibrary(lib);
  if (rc) return rc;
  return missing ? kExitFailed : kExitOk;
}
