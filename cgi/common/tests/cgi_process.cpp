#include "cgi_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/kernel/file_system.h"

namespace halyard::cgitest {

CgiChild::CgiChild(CgiChild&& o) noexcept : pid_(o.pid_), scratch_(std::move(o.scratch_)) {
  o.pid_ = -1;
}

CgiChild& CgiChild::operator=(CgiChild&& o) noexcept {
  std::swap(pid_, o.pid_);
  std::swap(scratch_, o.scratch_);
  return *this;
}

CgiChild::~CgiChild() {
  if (pid_ > 0) Wait();
}

CgiChild StartCgi(const CgiRun& run, int goPipe, int goWrite) {
  CgiChild child;
  child.scratch_ = std::make_unique<halyard::testing::ScratchDir>("cgi-run");
  const std::string& scratch = child.scratch_->path();
  WriteFile(scratch + "/in", run.input);
  std::vector<std::string> env = run.env;
  for (const char* pass : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TMPDIR"}) {
    if (const char* v = std::getenv(pass)) env.push_back(std::string(pass) + "=" + v);
  }
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = run.program;
  char* argv[] = {program.data(), nullptr};
  std::string in = scratch + "/in", out = scratch + "/out", err = scratch + "/err";

  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (goWrite >= 0) ::close(goWrite);
    if (goPipe >= 0) {
      char c;
      while (::read(goPipe, &c, 1) < 0 && errno == EINTR) {
      }
      ::close(goPipe);
    }
    int i = ::open(in.c_str(), O_RDONLY);
    int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (i < 0 || o < 0 || e < 0 || ::dup2(i, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0)
      ::_exit(126);
    if (::chdir(run.directory.c_str()) != 0) ::_exit(126);
    if (run.fileSizeLimit >= 0) {
      struct rlimit limit = {static_cast<rlim_t>(run.fileSizeLimit),
                             static_cast<rlim_t>(run.fileSizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      // A write past the limit fails instead of killing, unless the run asks for the kill (a
      // program stopped half-way through an update).
      ::signal(SIGXFSZ, run.killAtFileSizeLimit ? SIG_DFL : SIG_IGN);
    }
    ::execve(argv[0], argv, envp.data());
    ::_exit(127);
  }
  child.pid_ = pid;
  return child;
}

CgiResult CgiChild::Wait() {
  CgiResult result;
  if (pid_ <= 0) return result;
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadFile(scratch_->path() + "/out");
  result.err = ReadFile(scratch_->path() + "/err");
  return result;
}

CgiResult RunCgi(const CgiRun& run) { return StartCgi(run).Wait(); }

std::vector<CgiResult> RunCgiTogether(const std::vector<CgiRun>& runs) {
  int go[2];
  if (::pipe(go) != 0) throw std::runtime_error("pipe failed");
  std::vector<CgiChild> children;
  for (const CgiRun& run : runs) children.push_back(StartCgi(run, go[0], go[1]));
  ::close(go[0]);
  ::close(go[1]);  // every child reads end of file and starts
  std::vector<CgiResult> results;
  for (CgiChild& child : children) results.push_back(child.Wait());
  return results;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

void MakeDirs(const std::string& path) {
  if (int err = MakeFolders(path))
    throw std::runtime_error("cannot make " + path + ": " + std::strerror(err));
}

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::vector<std::string> ListDir(const std::string& path) {
  std::vector<FolderEntry> entries;
  std::vector<std::string> names;
  if (ListFolder(path, &entries) == 0)
    for (FolderEntry& e : entries) names.push_back(std::move(e.name));
  return names;
}

}  // namespace halyard::cgitest
