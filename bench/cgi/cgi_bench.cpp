// Requests per second through the CGI programs, process start included, as a web server runs
// them: post-board on boards of 100 and 10,000 messages, form-catcher submissions, and the
// start of an empty program for comparison.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::string Program(const char* name) { return std::string(HALYARD_BINARY_DIR) + "/bin/" + name; }

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class Scratch {
 public:
  Scratch() {
    // TMPDIR picks the file system the boards live on.
    const char* base = std::getenv("TMPDIR");
    std::string tmpl =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/cgi-bench-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = tmpl;
  }
  ~Scratch() {
    std::string cmd = "rm -rf '" + path_ + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", path_.c_str());
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// One CGI request: the program started in its folder with the CGI environment, the request
// body on standard input and the reply into a file.
struct Request {
  std::string program, directory, input, output = "/dev/null";
  std::vector<std::string> env;

  // Runs it to its end; returns the processor time it used (user and system), in seconds.
  double Run() const {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()) != 0)
      throw std::runtime_error("spawn " + program);
    posix_spawn_file_actions_destroy(&actions);
    int status;
    struct rusage usage;
    while (::wait4(pid, &status, 0, &usage) < 0) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
      throw std::runtime_error(program + " failed");
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
};

// The processor time of one request in the program, and the requests per second that makes on
// one otherwise idle core: on a busy machine the wall-clock rate mostly measures the wait for
// a processor.
void ReportChildCpu(benchmark::State& state, double cpuSeconds) {
  if (state.iterations() == 0 || cpuSeconds <= 0) return;
  double each = cpuSeconds / static_cast<double>(state.iterations());
  state.counters["child_cpu_us"] = each * 1e6;
  state.counters["per_core_per_s"] = 1.0 / each;
}

const std::string kTemplateHead =
    "<HTML><HEAD>\r\n<script language=\"JavaScript\">\r\n<!--\r\nfunction load(){\r\n";
const std::string kMarkerAndTail =
    "<!--insertion point-->\r\r\nparent.init();\r\n}\r\nvar state = "
    "parent.readCookie(\"quillmarks_bbs_view_mode\");\r\nif (state==\"\"){\r\n"
    "state=\"Thread\";\r\n}\r\n//-->\r\n</script>\r\n</HEAD>\r\n<BODY "
    "onload=\"parent.hack(state);\">\r\n</BODY>\r\n</html>\r\n";

std::string IndexOf(int messages) {
  std::string index = kTemplateHead;
  for (int n = 0; n < messages; ++n) {
    std::string num = std::to_string(n);
    index += "parent.addpbbsArray(\"Subject of message " + num +
             "\",\"1765155600000\",\"Tue, 08 Dec 2026 01:00:00 GMT\",\"Visitor " + num + "\"," +
             std::to_string(2 + n / 4) + ",\"message/" + num + ".html\",\"" +
             (n % 4 == 0 ? "1" : "0") + "\",\"" + num + "\")\r\n";
  }
  return index + kMarkerAndTail;
}

void BM_PostBoard(benchmark::State& state) {
  const int messages = static_cast<int>(state.range(0));
  Scratch dir;
  ::mkdir((dir / "cgi-bin").c_str(), 0777);
  ::mkdir((dir / "board").c_str(), 0777);
  ::mkdir((dir / "board/message").c_str(), 0777);
  WriteFile(dir / "cgi-bin/bbs_NT.cfg", "..\\board\nhttp://host/cgi-bin/");
  const std::string index = IndexOf(messages);
  auto reset = [&] {
    WriteFile(dir / "board/message/bbs-data.html", index);
    WriteFile(dir / "board/message/counter", std::to_string(messages) + "\r\n");
  };
  reset();
  std::string body =
      "name=Visitor&email=visitor%40example.org&subject=A+benchmark+message&body=Line+one%0D%0A"
      "Line+two&thread=7&parent=0&time=1765155600000&RealTime=Tue,_08_Dec_2026_01:00:00_GMT";
  WriteFile(dir / "post", body);
  Request post{Program("post-board"),
               dir / "cgi-bin",
               dir / "post",
               dir / "reply",
               {"REQUEST_METHOD=POST", "CONTENT_LENGTH=" + std::to_string(body.size())}};
  post.Run();
  if (ReadFile(dir / "reply").find("success.html") == std::string::npos) {
    state.SkipWithError("post-board did not accept the post");
    return;
  }
  post.output = "/dev/null";
  int sinceReset = 0;
  double cpu = 0;
  for (auto _ : state) {
    cpu += post.Run();
    // Keep the board at its size: put the index back now and then, outside the timing.
    if (++sinceReset == 200) {
      state.PauseTiming();
      reset();
      sinceReset = 0;
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations());
  ReportChildCpu(state, cpu);
  state.counters["index_bytes"] = static_cast<double>(index.size());
}
BENCHMARK(BM_PostBoard)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_FormCatcher(benchmark::State& state) {
  Scratch dir;
  ::mkdir((dir / "cgi-bin").c_str(), 0777);
  ::mkdir((dir / "data").c_str(), 0777);
  WriteFile(dir / "cgi-bin/config", "D:\\data\\");
  std::string body =
      "success=/thanks.html&error=/sorry.html&filename=guest.txt&1=Ann+Visitor&2=ann%40example."
      "org&3=Hello+there%0D%0Asecond+line&3a=TRUE";
  WriteFile(dir / "submit", body);
  Request submit{Program("form-catcher"),
                 dir / "cgi-bin",
                 dir / "submit",
                 dir / "reply",
                 {"REQUEST_METHOD=POST", "CONTENT_LENGTH=" + std::to_string(body.size()),
                  "HALYARD_DRIVE_D=" + (dir / "")}};
  submit.Run();
  if (ReadFile(dir / "reply").find("/thanks.html") == std::string::npos) {
    state.SkipWithError("form-catcher did not accept the submission");
    return;
  }
  submit.output = "/dev/null";
  double cpu = 0;
  for (auto _ : state) cpu += submit.Run();
  state.SetItemsProcessed(state.iterations());
  ReportChildCpu(state, cpu);
}
BENCHMARK(BM_FormCatcher)->Unit(benchmark::kMicrosecond)->UseRealTime();

// What starting any program costs here, for reading the figures above.
void BM_StartEmptyProgram(benchmark::State& state) {
  Scratch dir;
  WriteFile(dir / "in", "");
  Request start{"/bin/true", dir / "", dir / "in", "/dev/null", {}};
  double cpu = 0;
  for (auto _ : state) cpu += start.Run();
  state.SetItemsProcessed(state.iterations());
  ReportChildCpu(state, cpu);
}
BENCHMARK(BM_StartEmptyProgram)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
