#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/kernel/win_file.h"

namespace halyard::tagsmith {

bool g_logOn = false;

namespace {

const char kDefaultLogFile[] = "c:\\temp\\html_log.txt";

struct LogState {
  // Text mode, as the trace was always written: each line feed goes out as CR LF.
  std::unique_ptr<WinFile> file;
  bool lineNumbers = true;

  LogState() {
    const char* env = std::getenv("TAGSMITH_LOG");
    if (env && *env && !(env[0] == '0' && env[1] == 0))
      Open((env[0] == '1' && env[1] == 0) ? kDefaultLogFile : env);
  }
  ~LogState() { Close(); }

  bool Open(const char* winPath) {
    Close();
    file = WinFile::Open(winPath, "w+");
    g_logOn = file != nullptr;
    return g_logOn;
  }
  void Close() {
    g_logOn = false;
    if (file) file->Close();
    file.reset();
  }
};

LogState& State() {
  static LogState state;
  return state;
}

// Opened when the library loads, closed when it unloads.
[[maybe_unused]] LogState& g_openedAtLoad = State();

thread_local const LONG* t_line = nullptr;

}  // namespace

bool OpenLog(const char* winPath) { return State().Open(winPath); }
void CloseLog() { State().Close(); }
void SetLogLineNumbers(bool on) { State().lineNumbers = on; }
void SetLogLineSource(const LONG* line) { t_line = line; }
void ClearLogLineSource(const LONG* line) {
  if (t_line == line) t_line = nullptr;
}

}  // namespace halyard::tagsmith

void Log(const char* format, ...) {
  using namespace halyard::tagsmith;
  if (!g_logOn) return;
  LogState& st = State();
  if (!st.file) return;
  if (st.lineNumbers) st.file->Printf("[line %d] ", t_line ? static_cast<int>(*t_line) : 0);
  char small[512];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) return;
  if (static_cast<std::size_t>(n) < sizeof small) {
    st.file->Write(small, static_cast<std::size_t>(n));
  } else {
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(big.data(), big.size(), format, args);
    va_end(args);
    st.file->Write(big.data(), static_cast<std::size_t>(n));
  }
  st.file->Flush();
}
