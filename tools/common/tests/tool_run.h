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

// stdoutPath empty: standard output is caught into out.
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
