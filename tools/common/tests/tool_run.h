// Runs a built tool as a user would from a shell: its own process, standard input empty, and
// standard output and standard error caught (or standard output sent to a given file, such
// as /dev/full).
#pragma once

#include <string>
#include <vector>

namespace halyard::tool::test {

struct ToolRun {
  int code = -1;  // the exit status; 128 + N when signal N ended the process
  std::string out;
  std::string err;
};

// A tool started and not yet waited for, so that a test can act on it while it runs. The
// process starts with the default action for SIGINT, even when the test runs with it ignored.
class ToolProcess {
 public:
  // stdoutPath empty: standard output is caught into the run's out.
  ToolProcess(const std::string& program, const std::vector<std::string>& args,
              const std::string& stdoutPath = "");
  ~ToolProcess();  // waits, if Wait was not called
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  void Signal(int signal);
  ToolRun Wait();

 private:
  int pid_ = -1;
  std::string outPath_, errPath_;
  bool catchOut_ = false;
  std::string scratch_;
};

ToolRun RunTool(const std::string& program, const std::vector<std::string>& args,
                const std::string& stdoutPath = "");

// A fresh folder under TMPDIR (or /tmp), removed with everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace halyard::tool::test
