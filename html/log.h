// Log: the library's debug trace. It is off unless switched on: the environment variable
// TAGSMITH_LOG, read when the library loads, switches it on ("1" writes to the default file
// "c:\temp\html_log.txt"; any other value names the file, a Windows path like the default).
// Files go through the path mapping of platform/kernel. Every call writes "[line %d] " with the
// line the current parser is on (when line numbers are on, the default), the formatted text,
// and flushes. One parser at a time per thread feeds the line number.
#pragma once

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"

HALYARD_EXPORT void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));

namespace halyard::tagsmith {

// True while the trace is on; the tokenizers test it before formatting anything.
extern bool g_logOn;

// Opens the trace on a file (a Windows path, mode "w+"), closing any open one; false when the
// file cannot be opened (the trace is then off).
bool OpenLog(const char* winPath);
void CloseLog();
// The second switch: the "[line %d] " prefix.
void SetLogLineNumbers(bool on);
// The line counter that Log prints; a parser points it at its own counter while it runs and
// clears it (passing its own address) when it goes away.
void SetLogLineSource(const LONG* line);
void ClearLogLineSource(const LONG* line);

}  // namespace halyard::tagsmith
