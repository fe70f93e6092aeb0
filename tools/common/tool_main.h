// The frame every Halyard tool's main runs in: --help and --version, the dispatch to the
// subcommand the user named, usage errors that say what was wrong, a clean message instead of
// an escaped exception, and the last check that the output really reached its file (a full
// disk is an error, never a success). Everything here runs on the main thread.
#pragma once

#include <span>
#include <string_view>

#include "exit_code.h"

namespace halyard::tool {

// One subcommand: the word that names it and the function that runs it. The function gets the
// whole command line (argv[0] the program, argv[1] the word) and returns an exit code.
struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
};

struct Tool {
  const char* name;  // the program's name, as messages and --version give it
  // The --help text. Its first lines, up to the first empty one, are the synopsis that usage
  // errors repeat; it starts "usage: NAME".
  const char* help;
  std::span<const Command> commands;
  bool anyCase = false;  // command words match in any case (the registry tool's verbs do)
};

// Runs the tool: main returns what this returns. --help (first, or anywhere after the
// command), -h, help and /? print the help; --version prints "NAME VERSION".
int Main(const Tool& tool, int argc, char** argv);

// Prints "NAME: why" and the synopsis on standard error; returns kExitUsage.
int UsageError(std::string_view why);

// Prints "NAME: cannot read|write what: the system's reason" and returns kExitFile.
int CannotRead(std::string_view what, int err);
int CannotWrite(std::string_view what, int err);

// Prints "NAME: message" on standard error (a line end is added) and returns code.
int Fail(int code, std::string_view message);

// The project version this tool was built as.
const char* Version();

// The name of the running tool (set by Main), for messages.
const char* Name();

// Writes text to standard output and flushes it; when that fails, reports the lost output
// (once) and returns kExitFile, else kExitOk.
int WriteOutput(std::string_view text);

// Flushes standard output (both the C and the C++ streams); when anything written to it was
// lost, reports it and turns a success into kExitFile. Main calls it last.
int FinishOutput(int rc);

// From now on the first interrupt (Ctrl-C) only raises a flag that long work polls; a second
// one ends the program as usual. An interrupt the shell told the program to ignore stays
// ignored.
void CatchInterrupts();
bool Interrupted();

}  // namespace halyard::tool
