// The table through which a shared library exports functions by ordinal number, as a Windows
// library does in its export directory. A library that exports by number defines the table
// once, in one source file, with the functions in any order:
//
//   HALYARD_ORDINAL_EXPORTS = {
//       HALYARD_ORDINAL(101, TagCount),
//       HALYARD_ORDINAL_NAMED(102, "TagName"),  // the export of that name
//       HALYARD_ORDINAL_END,
//   };
//
// GetProcAddress(module, MAKEINTRESOURCEA(n)) looks the number up in the table of that module
// only. A row gives the function itself, or the name of a function the library exports by
// name. A later number is one more row; nothing else changes. The first row of a number wins.
#pragma once

#include "export.h"
#include "win_module.h"

extern "C" {
struct HalyardOrdinalExport {
  WORD ordinal;      // 1 to 65535; 0 ends the table
  const char* name;  // the export's name, or null
  FARPROC proc;      // the function; null to look the name up instead
};
}

// The symbol name of the table, fixed for every library.
#define HALYARD_ORDINAL_TABLE_SYMBOL "halyard_ordinal_exports"

#define HALYARD_ORDINAL_EXPORTS \
  extern "C" HALYARD_EXPORT const HalyardOrdinalExport halyard_ordinal_exports[]
#define HALYARD_ORDINAL(number, function) \
  HalyardOrdinalExport { number, #function, ::halyard::AsFarProc(&function) }
#define HALYARD_ORDINAL_NAMED(number, exportName) \
  HalyardOrdinalExport { number, exportName, nullptr }
#define HALYARD_ORDINAL_END \
  HalyardOrdinalExport { 0, nullptr, nullptr }
