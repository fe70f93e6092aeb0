// Test support for the CGI programs: runs a program as the web server does (a child process
// with a CGI environment, standard input and a current directory) and gives back what it
// wrote; temporary folders and whole-file reads and writes for the board and data files.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/testing/scratch_dir.h"

namespace halyard::cgitest {

// The path of a program built into the build tree's bin folder.
#define HALYARD_CGI_PROGRAM(name) (std::string(HALYARD_BINARY_DIR) + "/bin/" + (name))

struct CgiRun {
  std::string program;
  std::string directory;         // current directory of the program
  std::vector<std::string> env;  // "NAME=value"; sanitizer settings are passed on as well
  std::string input;             // standard input
  long fileSizeLimit = -1;       // bytes a file may grow to (RLIMIT_FSIZE), -1 for none
  bool killAtFileSizeLimit = false;  // a write past the limit kills the program (SIGXFSZ)
};

struct CgiResult {
  std::string out;  // standard output, byte for byte
  std::string err;
  int status = -1;  // exit status, or 128 + signal
};

class CgiChild;

// Starts the program. With goPipe >= 0 the child waits until that pipe's write end (goWrite,
// which the child closes) is closed by the parent before it starts, so that many children can
// be let go at the same moment.
CgiChild StartCgi(const CgiRun& run, int goPipe = -1, int goWrite = -1);

// A started program; Wait collects it.
class CgiChild {
 public:
  CgiChild() = default;
  CgiChild(CgiChild&&) noexcept;
  CgiChild& operator=(CgiChild&&) noexcept;
  ~CgiChild();
  CgiResult Wait();

 private:
  friend CgiChild StartCgi(const CgiRun& run, int goPipe, int goWrite);
  pid_t pid_ = -1;
  std::unique_ptr<halyard::testing::ScratchDir> scratch_;  // the child's input and output files
};

CgiResult RunCgi(const CgiRun& run);

// Runs all at once and returns their results in order.
std::vector<CgiResult> RunCgiTogether(const std::vector<CgiRun>& runs);

// A temporary folder under $TMPDIR, removed with everything in it when the object goes.
class TempDir {
 public:
  const std::string& path() const { return dir_.path(); }
  std::string operator/(const std::string& name) const { return dir_.Join(name); }

 private:
  halyard::testing::ScratchDir dir_{"cgi-test"};
};

std::string ReadFile(const std::string& path);  // empty when missing
bool FileExists(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
void MakeDirs(const std::string& path);
// Every line feed as CR LF: how a text written in text mode lies on disk.
std::string Crlf(const std::string& text);
// The names in a folder, sorted.
std::vector<std::string> ListDir(const std::string& path);

}  // namespace halyard::cgitest
