#include "tool_main.h"

#include <signal.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>

#include "quote.h"

#ifndef HALYARD_VERSION
#error "HALYARD_VERSION must name the project version"
#endif

namespace halyard::tool {
namespace {

const Tool* gTool = nullptr;
bool gOutputLostReported = false;
volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) { gInterrupted = 1; }

bool SameWord(std::string_view a, std::string_view b, bool anyCase) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (anyCase) {
      if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
      if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    }
    if (x != y) return false;
  }
  return true;
}

bool IsHelpWord(std::string_view a) {
  return a == "--help" || a == "-h" || a == "help" || a == "/?";
}

// The help text up to its first empty line.
std::string_view Synopsis(const char* help) {
  std::string_view text(help ? help : "");
  std::size_t end = text.find("\n\n");
  return end == std::string_view::npos ? text : text.substr(0, end + 1);
}

// Reports, once, that output was lost; later failures of the same output say nothing new.
int OutputLost(int err) {
  if (!gOutputLostReported) {
    gOutputLostReported = true;
    std::string text = std::string(Name()) +
                       ": cannot write the output: " + std::strerror(err != 0 ? err : EIO) + "\n";
    std::fputs(text.c_str(), stderr);
  }
  return kExitFile;
}

int Run(const Tool& tool, int argc, char** argv) {
  if (argc < 2) return UsageError("a command is needed");
  const std::string_view first = argv[1];
  if (IsHelpWord(first)) {
    std::fputs(tool.help, stdout);
    return kExitOk;
  }
  if (first == "--version") {
    std::printf("%s %s\n", tool.name, Version());
    return kExitOk;
  }
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(tool.help, stdout);
      return kExitOk;
    }
  }
  for (const Command& c : tool.commands)
    if (SameWord(first, c.name, tool.anyCase)) return c.run(argc, argv);
  if (first.size() > 1 && first[0] == '-')
    return UsageError("unknown option " + Quote(first, '\''));
  return UsageError("unknown command " + Quote(first, '\''));
}

}  // namespace

const char* Version() { return HALYARD_VERSION; }

const char* Name() { return gTool ? gTool->name : "halyard"; }

int Main(const Tool& tool, int argc, char** argv) {
  gTool = &tool;
  int rc;
  try {
    rc = Run(tool, argc, argv);
  } catch (const std::bad_alloc&) {
    rc = Fail(kExitFailed, "out of memory");
  } catch (const std::exception& e) {
    rc = Fail(kExitFailed, e.what());
  } catch (...) {
    // The class library throws exception objects of its own; none may end a tool in abort().
    rc = Fail(kExitFailed, "the job stopped on an unexpected error");
  }
  return FinishOutput(rc);
}

int UsageError(std::string_view why) {
  std::fflush(stdout);
  std::string text = std::string(Name()) + ": " + std::string(why) + "\n";
  if (gTool) {
    text += Synopsis(gTool->help);
    text += "(" + std::string(Name()) + " --help tells more)\n";
  }
  std::fputs(text.c_str(), stderr);
  return kExitUsage;
}

int Fail(int code, std::string_view message) {
  std::fflush(stdout);
  std::cout.flush();
  std::string text = std::string(Name()) + ": " + std::string(message) + "\n";
  std::fputs(text.c_str(), stderr);
  return code;
}

int CannotRead(std::string_view what, int err) {
  return Fail(kExitFile, "cannot read " + std::string(what) + ": " + std::strerror(err));
}

int CannotWrite(std::string_view what, int err) {
  return Fail(kExitFile, "cannot write " + std::string(what) + ": " + std::strerror(err));
}

int WriteOutput(std::string_view text) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
    return OutputLost(errno);
  return kExitOk;
}

int FinishOutput(int rc) {
  int err = 0;
  bool lost = false;
  errno = 0;
  std::cout.flush();
  if (!std::cout) {
    lost = true;
    err = errno;
  }
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    if (!lost) err = errno;
    lost = true;
  }
  if (!lost) return rc;
  OutputLost(err);
  return rc == kExitOk ? kExitFile : rc;
}

void CatchInterrupts() {
  struct sigaction old {};
  if (sigaction(SIGINT, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return;
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &sa, nullptr);
}

bool Interrupted() { return gInterrupted != 0; }

}  // namespace halyard::tool
