// Figures of the desktop programs under an X server of their own: a keystroke in a 1 MB page
// of glyphpad-desktop from the key's arrival to its pixels on the server, opening that page
// (also as a single line of a megabyte), the ">" that closes a comment which had turned the rest
// of that page green,
// and opening outfold-desktop over a tree of 10,000 folders holding 100,000 files. The
// programs report their own times (HALYARD_DESKTOP_TIMING); this drives them and sums up.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/user/testing/x_session.h"

using halyard::testing::ScratchDir;
using halyard::user::testing::XSession;

namespace {

void Pause(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

// The numbers after "what " in the program's log.
std::vector<double> Times(const std::string& log, const std::string& what) {
  std::vector<double> out;
  std::istringstream in(log);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(what + " ", 0) == 0) out.push_back(std::stod(line.substr(what.size() + 1)));
  return out;
}

void Report(const char* name, std::vector<double> v, double budget) {
  if (v.empty()) {
    std::printf("%-34s no figures\n", name);
    return;
  }
  std::sort(v.begin(), v.end());
  double median = v[v.size() / 2], p95 = v[std::min(v.size() - 1, v.size() * 95 / 100)];
  std::printf("%-34s n=%zu median %.2f ms  p95 %.2f ms  max %.2f ms  (budget %.0f ms)\n", name,
              v.size(), median, p95, v.back(), budget);
}

std::string MegabytePage() {
  std::string page = "<HTML>\r\n<HEAD><TITLE>A large page</TITLE></HEAD>\r\n<BODY BGCOLOR=\"#FFFFFF\">\r\n";
  for (int i = 0; page.size() < 1024 * 1024 - 64; ++i) {
    page += "<!-- row " + std::to_string(i) + " -->\r\n";
    page += "<P ALIGN=center CLASS=\"row\">Row " + std::to_string(i) +
            " of the page, with <B>bold</B> and <A HREF=\"page" + std::to_string(i) +
            ".html\">a link</A>.</P>\r\n";
  }
  page += "</BODY>\r\n</HTML>\r\n";
  return page;
}

// 100 folders of 99 folders (10,000 with the root); 9 files in each but one, which holds 10,000;
// the rest up to 100,000 in another.
void MakeTree(const std::string& root) {
  mkdir(root.c_str(), 0755);
  int files = 0;
  std::string big, target;
  for (int i = 0; i < 100; ++i) {
    std::string top = root + "/section " + std::to_string(i);
    mkdir(top.c_str(), 0755);
    for (int j = 0; j < 99; ++j) {
      std::string f = top + "/Folder " + std::to_string(j);
      mkdir(f.c_str(), 0755);
      int n = big.empty() ? 10000 : 9;
      if (big.empty()) big = f;
      if (i == 50 && j == 0) target = f;
      for (int k = 0; k < n; ++k, ++files) std::ofstream(f + "/page" + std::to_string(k) + ".html");
    }
  }
  for (int k = 0; files < 100000; ++k, ++files) std::ofstream(target + "/extra" + std::to_string(k) + ".html");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: desktop_figures GLYPHPAD_DESKTOP OUTFOLD_DESKTOP\n");
    return 2;
  }
  std::string missing;
  if (!XSession::ToolsPresent(&missing)) {
    std::fprintf(stderr, "desktop_figures: %s is not installed\n", missing.c_str());
    return 1;
  }
  XSession x;
  std::string error;
  if (!x.Start(1280, 1024, &error)) {
    std::fprintf(stderr, "desktop_figures: %s\n", error.c_str());
    return 1;
  }
  ScratchDir dir("desktop-figures");
  std::string page = dir.Join("big.html");
  ScratchDir::Write(page, MegabytePage());
  std::vector<double> opens, keys;
  for (int run = 0; run < 3; ++run) {
    std::string log = dir.Join("glyphpad.log");
    pid_t pid = x.Launch({argv[1], page, "--size", "1000x800"}, log, {"HALYARD_DESKTOP_TIMING=1"});
    unsigned long w = x.WaitForWindow("big.html", 30);
    if (!w) {
      std::fprintf(stderr, "desktop_figures: glyphpad-desktop showed no window\n%s", ScratchDir::Read(log).c_str());
      return 1;
    }
    Pause(0.3);
    // Into the tag of a row halfway down the first screen, then page down into the middle of
    // the text and type there too.
    x.Xdotool({"mousemove", "40", "300", "click", "1"});
    x.Xdotool({"type", "--delay", "30", "ID=x ID=y "});
    x.Xdotool({"key", "--delay", "30", "ctrl+End", "Page_Up", "Page_Up", "Home"});
    x.Xdotool({"type", "--delay", "30", "<I>text</I> "});
    Pause(0.3);
    x.Kill(pid);
    std::string text = ScratchDir::Read(log);
    for (double v : Times(text, "open")) opens.push_back(v);
    for (double v : Times(text, "key")) keys.push_back(v);
  }
  Report("glyphpad-desktop keystroke, 1 MB", keys, 16);
  Report("glyphpad-desktop open, 1 MB", opens, 300);
  std::fflush(stdout);
  // A comment typed at the start of a row near the top runs on to the end of the page (the
  // next "<" comes before any ">"), until its ">" closes it and all after it is recoloured.
  std::vector<double> opening, closing;
  for (int run = 0; run < 3; ++run) {
    std::string log = dir.Join("comment.log");
    pid_t pid = x.Launch({argv[1], page, "--size", "1000x800"}, log, {"HALYARD_DESKTOP_TIMING=1"});
    if (!x.WaitForWindow("big.html", 30)) {
      std::fprintf(stderr, "desktop_figures: glyphpad-desktop showed no window\n%s", ScratchDir::Read(log).c_str());
      return 1;
    }
    Pause(0.3);
    for (int row = 0; row < 5; ++row) {
      x.Xdotool({"mousemove", "40", std::to_string(120 + 60 * row), "click", "1"});
      x.Xdotool({"key", "Home"});
      size_t before = Times(ScratchDir::Read(log), "key").size();
      x.Xdotool({"type", "--delay", "30", "<!-- x --"});
      Pause(0.3);
      std::vector<double> typed = Times(ScratchDir::Read(log), "key");
      before = std::min(before, typed.size());
      opening.insert(opening.end(), typed.begin() + static_cast<long>(before), typed.end());
      x.Xdotool({"type", ">"});
      Pause(0.3);
      std::vector<double> closed = Times(ScratchDir::Read(log), "key");
      if (closed.size() > typed.size()) closing.push_back(closed.back());  // the ">" itself
    }
    x.Kill(pid);
  }
  Report("glyphpad-desktop typing \"<!-- x --\", 1 MB", opening, 16);
  Report("glyphpad-desktop \">\" closing it, 1 MB", closing, 16);
  std::fflush(stdout);
  // The same page as one line of a megabyte: to its far end and typing there, then back.
  std::string line = MegabytePage();
  std::erase(line, '\r');
  std::erase(line, '\n');
  std::string linePage = dir.Join("line.html");
  ScratchDir::Write(linePage, line);
  std::vector<double> lineOpens, lineKeys;
  for (int run = 0; run < 3; ++run) {
    std::string log = dir.Join("line.log");
    pid_t pid = x.Launch({argv[1], linePage, "--size", "1000x800"}, log, {"HALYARD_DESKTOP_TIMING=1"});
    if (!x.WaitForWindow("line.html", 30)) {
      std::fprintf(stderr, "desktop_figures: glyphpad-desktop showed no window\n%s", ScratchDir::Read(log).c_str());
      return 1;
    }
    Pause(0.3);
    x.Xdotool({"mousemove", "40", "10", "click", "1"});
    x.Xdotool({"key", "--delay", "30", "End"});
    x.Xdotool({"type", "--delay", "30", "<B>x</B> "});
    x.Xdotool({"key", "--delay", "30", "Home", "Right", "Right"});
    x.Xdotool({"type", "--delay", "30", "ID=y "});
    Pause(0.3);
    x.Kill(pid);
    std::string text = ScratchDir::Read(log);
    for (double v : Times(text, "open")) lineOpens.push_back(v);
    for (double v : Times(text, "key")) lineKeys.push_back(v);
  }
  Report("glyphpad-desktop keystroke, 1 MB line", lineKeys, 16);
  Report("glyphpad-desktop open, 1 MB line", lineOpens, 300);
  std::fflush(stdout);
  std::string tree = dir.Join("tree");
  auto made = std::chrono::steady_clock::now();
  MakeTree(tree);
  std::chrono::duration<double> took = std::chrono::steady_clock::now() - made;
  std::printf("(made 10,000 folders and 100,000 files in %.1f s)\n", took.count());
  std::vector<double> outfoldOpens;
  for (int run = 0; run < 3; ++run) {
    std::string log = dir.Join("outfold.log");
    pid_t pid = x.Launch({argv[2], tree, "--size", "1280x800"}, log,
                         {"HALYARD_DESKTOP_TIMING=1", "HALYARD_REGISTRY=" + dir.Join("registry")});
    if (!x.WaitForWindow("Outfold", 60)) {
      std::fprintf(stderr, "desktop_figures: outfold-desktop showed no window\n%s", ScratchDir::Read(log).c_str());
      return 1;
    }
    Pause(0.3);
    x.Kill(pid);
    for (double v : Times(ScratchDir::Read(log), "open")) outfoldOpens.push_back(v);
  }
  Report("outfold-desktop open, 10,000 folders", outfoldOpens, 500);
  return 0;
}
