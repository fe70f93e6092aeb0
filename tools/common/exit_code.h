// The exit codes every Halyard tool gives, so that a script can tell the kinds of failure
// apart without knowing which tool it ran. A tool returns one of these from main and nothing
// else; the meaning of each is the same in every tool.
#pragma once

namespace halyard::tool {

enum ExitCode : int {
  kExitOk = 0,            // done
  kExitFailed = 1,        // the input was bad or the job failed
  kExitUsage = 2,         // wrong usage: unknown command or option, missing or malformed argument
  kExitFile = 3,          // a file (or standard input or output) cannot be read or written
  kExitNetwork = 4,       // no answer from the network (refused, timed out, aborted transfer)
  kExitInterrupted = 130  // stopped by an interrupt (as a shell reports a death by SIGINT)
};

}  // namespace halyard::tool
