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

#include "syntax_edit.h"
#include "syntax_rich_edit.h"
#include "user/desktop.h"

namespace {

enum Exit { kOk = 0, kUsage = 1, kInput = 2, kRange = 3 };

const char kUsageText[] =
    "usage: glyphpad colour [FILE]\n"
    "       glyphpad type TEXT\n"
    "       glyphpad regions [FILE] --protect START-END[,START-END...]\n"
    "       glyphpad --help\n"
    "\n"
    "colour   sets the text of FILE (standard input without one) as the control's content,\n"
    "         which colours it, and prints the colour runs, one a line: START END 0xBBGGRR\n"
    "         (END exclusive, neighbouring characters of one colour joined).\n"
    "type     types the characters of TEXT one by one into an empty control (each as a\n"
    "         WM_CHAR; a CR is the Enter key and types CR LF) and prints the colour runs\n"
    "         the same way.\n"
    "regions  sets the text, protects the given ranges (character positions, END exclusive)\n"
    "         and prints each region: its number, \"protected\" or \"editable\", and its text\n"
    "         in double quotes with \\r, \\n, \\t, \\\\, \\\" and \\xHH escapes.\n"
    "\n"
    "exit status: 0 done, 1 bad usage, 2 the input cannot be read,\n"
    "             3 a protect range is malformed, outside the text or overlaps another.\n";

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

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
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

int Colour(int argc, char** argv) {
  if (argc > 3) return kUsage;
  std::string text;
  if (!ReadInput(argc == 3 ? argv[2] : nullptr, text)) {
    std::fprintf(stderr, "glyphpad: cannot read %s: %s\n", argc == 3 ? argv[2] : "standard input",
                 std::strerror(errno));
    return kInput;
  }
  Host host;
  if (!host.ok) return kInput;
  SetContent(host, text);
  PrintRuns(host);
  return kOk;
}

int Type(int argc, char** argv) {
  if (argc != 3) return kUsage;
  Host host;
  if (!host.ok) return kInput;
  CWnd* inner = host.edit.GetRichEdit();
  for (const char* p = argv[2]; *p; ++p)
    inner->SendMessage(WM_CHAR, static_cast<unsigned char>(*p), 0);
  PrintRuns(host);
  return kOk;
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
      return kUsage;
  }
  if (!protect) return kUsage;
  std::vector<std::pair<long, long>> ranges;
  if (!ParseRanges(protect, ranges)) {
    std::fprintf(stderr, "glyphpad: bad protect ranges: %s\n", protect);
    return kRange;
  }
  std::string text;
  if (!ReadInput(file, text)) {
    std::fprintf(stderr, "glyphpad: cannot read %s: %s\n", file ? file : "standard input",
                 std::strerror(errno));
    return kInput;
  }
  Host host;
  if (!host.ok) return kInput;
  SetContent(host, text);
  long len = host.edit.SendMessage(WM_GETTEXTLENGTH);
  for (auto [a, b] : ranges) {
    int before = host.edit.GetProtectRangeCount();
    if (b > len) {
      std::fprintf(stderr, "glyphpad: range %ld-%ld lies beyond the text (%ld characters)\n", a, b,
                   len);
      return kRange;
    }
    host.edit.AddProtectRange(static_cast<int>(a), static_cast<int>(b));
    if (host.edit.GetProtectRangeCount() == before) {
      std::fprintf(stderr, "glyphpad: range %ld-%ld overlaps another\n", a, b);
      return kRange;
    }
  }
  for (int i = 0; i < host.edit.GetRegionCount(); ++i) {
    CString region;
    int isProtected = 0;
    host.edit.GetRegionText(i, region, isProtected);
    std::string text(static_cast<LPCSTR>(region), static_cast<size_t>(region.GetLength()));
    std::printf("%d %s %s\n", i, isProtected ? "protected" : "editable", Quote(text).c_str());
  }
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsageText, stdout);
    return kOk;
  }
  int rc = kUsage;
  if (argc >= 2 && (std::strcmp(argv[1], "colour") == 0 || std::strcmp(argv[1], "color") == 0))
    rc = Colour(argc, argv);
  else if (argc >= 2 && std::strcmp(argv[1], "type") == 0)
    rc = Type(argc, argv);
  else if (argc >= 2 && std::strcmp(argv[1], "regions") == 0)
    rc = Regions(argc, argv);
  if (rc == kUsage) std::fputs(kUsageText, stderr);
  return rc;
}
