// glyphpad: runs the syntax edit control without a display and prints what it did: the colour
// runs of a text set as a whole or typed key by key, or the editable and protected regions.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "syntaxedit/syntax_edit.h"
#include "syntaxedit/syntax_rich_edit.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"
#include "platform/user/desktop.h"

namespace {

using namespace halyard::tool;

const char kUsageText[] =
    "usage: glyphpad colour [FILE]\n"
    "       glyphpad type TEXT\n"
    "       glyphpad regions [FILE] --protect START-END[,START-END...]\n"
    "       glyphpad --help | --version\n"
    "\n"
    "colour   sets the text of FILE (standard input without one) as the control's content,\n"
    "         which colours it, and prints the colour runs, one a line: START END 0xBBGGRR\n"
    "         (END exclusive, neighbouring characters of one colour joined).\n"
    "type     types the characters of TEXT one by one into an empty control (each as a\n"
    "         WM_CHAR; a CR is the Enter key and types CR LF) and prints the colour runs\n"
    "         the same way.\n"
    "regions  sets the text, protects the given ranges (character positions, END exclusive)\n"
    "         and prints each region: its number, \"protected\" or \"editable\", and its text\n"
    "         in double quotes with \\r, \\n, \\t, \\\\ and \\\" escapes, and any other byte\n"
    "         outside printable ASCII as three octal digits (\\033).\n"
    "\n"
    "exit status: 0 done, 1 a protect range lies outside the text or overlaps another,\n"
    "             2 bad usage (a malformed protect range too), 3 the input cannot be read or\n"
    "             the output cannot be written.\n";

// The control in a headless frame window.
struct Host {
  CWnd frame;
  CSyntaxEdit edit;
  bool ok = false;
  Host() {
    RECT r{0, 0, 640, 480};
    ok = frame.Create("glyphpad", WS_VISIBLE, r, nullptr, 0) &&
         edit.Create(WS_CHILD | WS_VISIBLE, r, &frame, 100);
  }
};

bool ReadInput(const char* path, std::string& out) {
  if (!path || std::strcmp(path, "-") == 0) {
    out.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return !std::cin.bad();
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The control's text ends at the first NUL, as any zero-terminated window text does.
void SetContent(Host& host, const std::string& text) {
  if (text.find('\0') != std::string::npos)
    std::fprintf(stderr, "glyphpad: the text is cut at its first NUL byte\n");
  host.edit.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void PrintRuns(Host& host) {
  host.edit.GetRichEdit()->ForEachColourRun([](LONG s, LONG e, COLORREF c) {
    std::printf("%ld %ld 0x%06lX\n", static_cast<long>(s), static_cast<long>(e),
                static_cast<unsigned long>(c));
  });
}

bool ParseNumber(const std::string& s, long& v) {
  if (s.empty() || s.size() > 10) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  v = std::strtol(s.c_str(), nullptr, 10);
  return v <= 0x7FFFFFFF;
}

bool ParseRanges(const std::string& list, std::vector<std::pair<long, long>>& out) {
  std::stringstream ss(list);
  std::string item;
  while (std::getline(ss, item, ',')) {
    size_t dash = item.find('-');
    long a, b;
    if (dash == std::string::npos || !ParseNumber(item.substr(0, dash), a) ||
        !ParseNumber(item.substr(dash + 1), b) || a >= b)
      return false;
    out.emplace_back(a, b);
  }
  return !out.empty() && list.back() != ',';
}

int NoControl() { return Fail(kExitFailed, "the control cannot be created"); }

int Colour(int argc, char** argv) {
  if (argc > 3) return UsageError("colour takes one FILE");
  std::string text;
  if (!ReadInput(argc == 3 ? argv[2] : nullptr, text))
    return CannotRead(argc == 3 ? argv[2] : "standard input", errno);
  Host host;
  if (!host.ok) return NoControl();
  SetContent(host, text);
  PrintRuns(host);
  return kExitOk;
}

int Type(int argc, char** argv) {
  if (argc != 3) return UsageError("type takes one TEXT");
  Host host;
  if (!host.ok) return NoControl();
  CWnd* inner = host.edit.GetRichEdit();
  for (const char* p = argv[2]; *p; ++p)
    inner->SendMessage(WM_CHAR, static_cast<unsigned char>(*p), 0);
  PrintRuns(host);
  return kExitOk;
}

int Regions(int argc, char** argv) {
  const char* file = nullptr;
  const char* protect = nullptr;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--protect") == 0 && i + 1 < argc && !protect)
      protect = argv[++i];
    else if (std::strncmp(argv[i], "--protect=", 10) == 0 && !protect)
      protect = argv[i] + 10;
    else if (!file && (argv[i][0] != '-' || std::strcmp(argv[i], "-") == 0))
      file = argv[i];
    else
      return UsageError("unexpected argument " + Quote(argv[i], '\''));
  }
  if (!protect) return UsageError("regions needs --protect");
  std::vector<std::pair<long, long>> ranges;
  if (!ParseRanges(protect, ranges))
    return UsageError("bad protect ranges " + Quote(protect, '\''));
  std::string text;
  if (!ReadInput(file, text)) return CannotRead(file ? file : "standard input", errno);
  Host host;
  if (!host.ok) return NoControl();
  SetContent(host, text);
  long len = host.edit.SendMessage(WM_GETTEXTLENGTH);
  for (auto [a, b] : ranges) {
    int before = host.edit.GetProtectRangeCount();
    const std::string range = std::to_string(a) + "-" + std::to_string(b);
    if (b > len) {
      return Fail(kExitFailed, "range " + range + " lies beyond the text (" + std::to_string(len) +
                                   " characters)");
    }
    host.edit.AddProtectRange(static_cast<int>(a), static_cast<int>(b));
    if (host.edit.GetProtectRangeCount() == before)
      return Fail(kExitFailed, "range " + range + " overlaps another");
  }
  for (int i = 0; i < host.edit.GetRegionCount(); ++i) {
    CString region;
    int isProtected = 0;
    host.edit.GetRegionText(i, region, isProtected);
    std::string text(static_cast<LPCSTR>(region), static_cast<size_t>(region.GetLength()));
    std::printf("%d %s %s\n", i, isProtected ? "protected" : "editable", Quote(text).c_str());
  }
  return kExitOk;
}

const Command kCommands[] = {
    {"colour", Colour},
    {"color", Colour},
    {"type", Type},
    {"regions", Regions},
};

}  // namespace

int main(int argc, char** argv) { return Main({"glyphpad", kUsageText, kCommands}, argc, argv); }
