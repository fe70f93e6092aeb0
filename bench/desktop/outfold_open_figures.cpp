// Figures of opening outfold-desktop over a tree of 10,000 folders holding 100,000 files, under
// an X server of its own: the time from starting the program to its first picture on the
// server, each phase the program reports (HALYARD_DESKTOP_TIMING), and the peak memory of the
// opened view. A second round opens the tree with a state file that names every object.
//
//   outfold_open_figures OUTFOLD_DESKTOP [RUNS] [TREE]
//
// TREE, when given, is used as it is (and its state file left alone) instead of a fresh tree.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/user/testing/x_session.h"

using halyard::testing::ScratchDir;
using halyard::user::testing::XSession;
using Clock = std::chrono::steady_clock;

namespace {

// 100 folders of 99 folders (10,000 with the root); 9 files in each but one, which holds 10,000;
// the rest up to 100,000 in another. Every path made, folder or file, goes to paths.
void MakeTree(const std::string& root, std::vector<std::string>* paths) {
  ::mkdir(root.c_str(), 0755);
  std::string big, target;
  auto file = [&](const std::string& rel) {
    std::ofstream(root + "/" + rel);
    paths->push_back(rel);
  };
  for (int i = 0; i < 100; ++i) {
    std::string top = "section " + std::to_string(i);
    ::mkdir((root + "/" + top).c_str(), 0755);
    paths->push_back(top);
    for (int j = 0; j < 99; ++j) {
      std::string f = top + "/Folder " + std::to_string(j);
      ::mkdir((root + "/" + f).c_str(), 0755);
      paths->push_back(f);
      int n = big.empty() ? 10000 : 9;
      if (big.empty()) big = f;
      if (i == 50 && j == 0) target = f;
      for (int k = 0; k < n; ++k) file(f + "/page" + std::to_string(k) + ".html");
    }
  }
  // 10,000 folders under the root and 100,000 files.
  for (int k = 0; paths->size() < 110000; ++k) file(target + "/extra" + std::to_string(k) + ".html");
}

struct Run {
  double sinceStart = 0;              // launch to the "open" line, in ms
  double peakKb = 0;                  // VmHWM once open
  std::map<std::string, double> ms;   // "open" and each phase
};

double PeakKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6);
  return 0;
}

bool OpenOnce(XSession& x, const std::string& program, const std::string& tree,
              const std::string& scratch, Run* run) {
  std::string log = scratch + "/outfold.log";
  std::remove(log.c_str());
  auto launched = Clock::now();
  pid_t pid = x.Launch({program, tree, "--size", "1280x800"}, log,
                       {"HALYARD_DESKTOP_TIMING=1", "HALYARD_REGISTRY=" + scratch + "/registry"});
  // The program writes its "open" line once its first picture is on the server.
  std::string text;
  while (text.find("\nopen ") == std::string::npos && text.rfind("open ", 0) != 0) {
    if (Clock::now() - launched > std::chrono::seconds(120)) {
      std::fprintf(stderr, "outfold_open_figures: no opening in 120 s\n%s", text.c_str());
      x.Kill(pid);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    text = ScratchDir::Read(log);
  }
  run->sinceStart = std::chrono::duration<double, std::milli>(Clock::now() - launched).count();
  run->peakKb = PeakKb(pid);
  x.Kill(pid);
  std::istringstream in(ScratchDir::Read(log));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string first, name;
    double v = 0;
    words >> first;
    if (first == "open" && (words >> v)) run->ms["open"] = v;
    if (first == "phase" && (words >> name >> v)) run->ms[name] = v;
  }
  return true;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void Report(const char* title, const std::vector<Run>& runs) {
  std::vector<double> since, peak;
  std::map<std::string, std::vector<double>> phases;
  for (const Run& r : runs) {
    since.push_back(r.sinceStart);
    peak.push_back(r.peakKb);
    for (const auto& [name, v] : r.ms) phases[name].push_back(v);
  }
  std::printf("%s, median of %zu runs\n", title, runs.size());
  std::printf("  %-28s %9.1f ms  (budget 500 ms)\n", "start to first picture", Median(since));
  for (const auto& [name, v] : phases)
    std::printf("  %-28s %9.1f ms\n", (name == "open" ? std::string("main to first picture")
                                                        : "phase " + name).c_str(), Median(v));
  std::printf("  %-28s %9.1f MB\n", "peak resident memory", Median(peak) / 1024);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: outfold_open_figures OUTFOLD_DESKTOP [RUNS] [TREE]\n");
    return 2;
  }
  int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  if (runs < 1 || runs > 100) {
    std::fprintf(stderr, "outfold_open_figures: RUNS from 1 to 100\n");
    return 2;
  }
  std::string missing;
  if (!XSession::ToolsPresent(&missing)) {
    std::fprintf(stderr, "outfold_open_figures: %s is not installed\n", missing.c_str());
    return 1;
  }
  XSession x;
  std::string error;
  if (!x.Start(1280, 1024, &error)) {
    std::fprintf(stderr, "outfold_open_figures: %s\n", error.c_str());
    return 1;
  }
  ScratchDir dir("outfold-open-figures");
  std::string tree = argc > 3 ? argv[3] : dir.Join("tree");
  std::vector<std::string> paths;
  if (argc <= 3) {
    auto made = Clock::now();
    MakeTree(tree, &paths);
    std::chrono::duration<double> took = Clock::now() - made;
    std::printf("(made 10,000 folders and 100,000 files in %.1f s)\n", took.count());
  }
  std::vector<Run> plain;
  for (int i = 0; i < runs; ++i) {
    Run r;
    if (!OpenOnce(x, argv[1], tree, dir.path(), &r)) return 1;
    plain.push_back(r);
  }
  Report("outfold-desktop open, 10,000 folders", plain);
  if (paths.empty()) return 0;
  // Every object published once: a state file line each.
  std::string state;
  for (size_t i = 0; i < paths.size(); ++i)
    state += std::to_string(86400 + i) + " " + std::to_string(86400 + i) + " - " + paths[i] + "\n";
  ScratchDir::Write(tree + ".outfold", state);
  std::vector<Run> published;
  for (int i = 0; i < std::min(runs, 3); ++i) {
    Run r;
    if (!OpenOnce(x, argv[1], tree, dir.path(), &r)) return 1;
    published.push_back(r);
  }
  Report("outfold-desktop open, every object in the state file", published);
  return 0;
}
