// glyphpad: runs the syntax edit control without a display and prints what it did: the colour
// runs of a text set as a whole or typed key by key, the editable and protected regions, what
// find and replace select and change, and the answers to a script of messages and keys.
#include <algorithm>
#include <cerrno>
#include <cstdint>
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
#include "syntaxedit/syntax_messages.h"
#include "syntaxedit/syntax_rich_edit.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"
#include "platform/user/clipboard.h"
#include "platform/user/desktop.h"

namespace {

using namespace halyard::tool;

const char kUsageText[] =
    "usage: glyphpad colour [FILE]\n"
    "       glyphpad type TEXT\n"
    "       glyphpad regions [FILE] --protect START-END[,START-END...]\n"
    "       glyphpad find FILE TEXT [--up] [--case] [--word] [--from N]\n"
    "       glyphpad replace FILE TEXT WITH [--all] [--case] [--word] [--colours] [-o OUT]\n"
    "       glyphpad messages FILE SCRIPT\n"
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
    "find     sets the text of FILE, puts the caret at N (0 by default; the end of the text\n"
    "         with --up) and searches down (up with --up) as the find dialog's Find Next does,\n"
    "         with match case (--case) and whole words (--word); prints the selection found,\n"
    "         START END, or the message box text when there is none (exit status 1).\n"
    "replace  replaces the first match of TEXT by WITH (every match with --all) and prints the\n"
    "         resulting text, or writes it to OUT with -o; with --colours it prints the colour\n"
    "         runs after the replacement instead, as colour does.\n"
    "messages sets the text of FILE and runs SCRIPT (a file, - for standard input), one line\n"
    "         each: a message of the control (SEM_SETSEL 2 5, SEM_GETSEL, SEM_GETCONTENT -1,\n"
    "         SEM_INSERTTEXT 0 \"<B>\", SEM_SETPROTECTFIELD 0-3,8-9, WM_GETTEXT 8 ...) with\n"
    "         numbers or quoted texts, \"key [shift+][ctrl+]NAME\" (a letter, TAB, ESCAPE,\n"
    "         DELETE, BACK, LEFT, RIGHT, HOME, END, RETURN), \"type TEXT\", \"text\" or\n"
    "         \"colours\"; it prints each line, \"->\" and its result (the text, selection\n"
    "         or colour runs it read back). Blank lines and lines starting # are skipped.\n"
    "\n"
    "exit status: 0 done, 1 a protect range lies outside the text or overlaps another, find\n"
    "             found nothing, or a script line is not understood, 2 bad usage (a malformed\n"
    "             protect range too), 3 the input cannot be read or the output cannot be\n"
    "             written.\n";

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

std::string RunsText(Host& host, const char* sep = "\n") {
  std::string out;
  host.edit.GetRichEdit()->ForEachColourRun([&](LONG s, LONG e, COLORREF c) {
    char line[64];
    std::snprintf(line, sizeof line, "%ld %ld 0x%06lX%s", static_cast<long>(s),
                  static_cast<long>(e), static_cast<unsigned long>(c), sep);
    out += line;
  });
  return out;
}

void PrintRuns(Host& host) { std::fputs(RunsText(host).c_str(), stdout); }

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

std::string ContentOf(Host& host) {
  return host.edit.GetRichEdit()->GetTextRange(0, host.edit.GetRichEdit()->GetTextLength());
}

// The switches find and replace share.
struct SearchOptions {
  bool up = false, matchCase = false, word = false, all = false, colours = false;
  long from = -1;
  const char* out = nullptr;
  std::vector<const char*> words;
};

int ParseSearch(int argc, char** argv, bool forReplace, SearchOptions& o) {
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--case")
      o.matchCase = true;
    else if (a == "--word")
      o.word = true;
    else if (!forReplace && a == "--up")
      o.up = true;
    else if (!forReplace && a == "--from" && i + 1 < argc) {
      if (!ParseNumber(argv[++i], o.from)) return UsageError("bad position " + Quote(argv[i], '\''));
    } else if (forReplace && a == "--all")
      o.all = true;
    else if (forReplace && (a == "--colours" || a == "--colors"))
      o.colours = true;
    else if (forReplace && a == "-o" && i + 1 < argc && !o.out)
      o.out = argv[++i];
    else if (a.size() > 1 && a[0] == '-' && a != "-" && o.words.size() >= 1)
      return UsageError("unexpected argument " + Quote(a, '\''));
    else
      o.words.push_back(argv[i]);
  }
  size_t want = forReplace ? 3 : 2;
  if (o.words.size() != want)
    return UsageError(forReplace ? "replace takes FILE TEXT WITH" : "find takes FILE TEXT");
  if (!*o.words[1]) return UsageError("the search text is empty");
  return kExitOk;
}

int Find(int argc, char** argv) {
  SearchOptions o;
  if (int rc = ParseSearch(argc, argv, false, o)) return rc;
  std::string text;
  if (!ReadInput(o.words[0], text)) return CannotRead(o.words[0], errno);
  Host host;
  if (!host.ok) return NoControl();
  SetContent(host, text);
  LONG len = host.edit.GetRichEdit()->GetTextLength();
  LONG caret = o.from < 0 ? (o.up ? len : 0) : static_cast<LONG>(std::min<long>(o.from, len));
  host.edit.GetRichEdit()->SetSel(caret, caret);
  if (!host.edit.FindNextMatch(o.words[1], !o.up, o.matchCase, o.word)) {
    const auto& boxes = halyard::user::Desktop::MessageBoxes();
    std::printf("%s\n", boxes.empty() ? "not found" : boxes.back().text.c_str());
    return kExitFailed;
  }
  CHARRANGE cr;
  host.edit.GetRichEdit()->GetSel(cr);
  std::printf("%ld %ld\n", static_cast<long>(cr.cpMin), static_cast<long>(cr.cpMax));
  return kExitOk;
}

int Replace(int argc, char** argv) {
  SearchOptions o;
  if (int rc = ParseSearch(argc, argv, true, o)) return rc;
  std::string text;
  if (!ReadInput(o.words[0], text)) return CannotRead(o.words[0], errno);
  Host host;
  if (!host.ok) return NoControl();
  SetContent(host, text);
  SyntaxRichEdit* rich = host.edit.GetRichEdit();
  // Room for what the replacements add: the tool is not bound by what a user may type.
  rich->LimitText(0x7FFFFFFF);
  std::string what = o.words[1], with = o.words[2];
  if (o.all) {
    host.edit.ReplaceAllMatches(what, with, o.matchCase, o.word);
  } else {
    // Nothing found is no failure of a replacement: the text comes out unchanged.
    rich->SetSel(0, 0);
    if (host.edit.FindNextMatch(what, TRUE, o.matchCase, o.word))
      host.edit.ReplaceCurrent(what, with, o.matchCase, o.word);
  }
  std::string result = o.colours ? RunsText(host) : ContentOf(host);
  if (!o.out) return WriteOutput(result);
  std::ofstream out(o.out, std::ios::binary | std::ios::trunc);
  if (out) out.write(result.data(), static_cast<std::streamsize>(result.size()));
  out.close();
  if (!out) return CannotWrite(o.out, errno);
  return kExitOk;
}

// ---- message scripts ----

struct MessageName {
  const char* name;
  UINT msg;
};

const MessageName kMessages[] = {
    {"SEM_SETREADONLY", SEM_SETREADONLY},
    {"SEM_SETFIXKEY", SEM_SETFIXKEY},
    {"SEM_SETPAIRKEY", SEM_SETPAIRKEY},
    {"SEM_SETVARKEY", SEM_SETVARKEY},
    {"SEM_SETCONTENT", SEM_SETCONTENT},
    {"SEM_GETCONTENTLENGTH", SEM_GETCONTENTLENGTH},
    {"SEM_GETCONTENT", SEM_GETCONTENT},
    {"SEM_GETLISTOFCHANGES", SEM_GETLISTOFCHANGES},
    {"SEM_UNDOLASTCHANGE", SEM_UNDOLASTCHANGE},
    {"SEM_SETBACKGROUND", SEM_SETBACKGROUND},
    {"SEM_SETINITFORMAT", SEM_SETINITFORMAT},
    {"SEM_SETDEFAULTFONT", SEM_SETDEFAULTFONT},
    {"SEM_SETPROTECTFIELD", SEM_SETPROTECTFIELD},
    {"SEM_INSERTTEXT", SEM_INSERTTEXT},
    {"SEM_SETPROTECT", SEM_SETPROTECT},
    {"SEM_GETSEL", SEM_GETSEL},
    {"SEM_SETSEL", SEM_SETSEL},
    {"SEM_GETPROTECT", SEM_GETPROTECT},
    {"WM_SETTEXT", WM_SETTEXT},
    {"WM_GETTEXT", WM_GETTEXT},
    {"WM_GETTEXTLENGTH", WM_GETTEXTLENGTH},
};

const MessageName kKeys[] = {
    {"TAB", VK_TAB},       {"ESCAPE", VK_ESCAPE}, {"DELETE", VK_DELETE}, {"BACK", VK_BACK},
    {"LEFT", VK_LEFT},     {"RIGHT", VK_RIGHT},   {"UP", VK_UP},         {"DOWN", VK_DOWN},
    {"HOME", VK_HOME},     {"END", VK_END},       {"RETURN", VK_RETURN}, {"INSERT", VK_INSERT},
};

// Splits a script line into words; a word in double quotes keeps its blanks and takes the
// escapes \n, \r, \t, \\ and \". False on an unclosed quote or a bad escape.
bool SplitLine(const std::string& line, std::vector<std::string>& words) {
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    std::string w;
    if (line[i] == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c != '\\') {
          w += c;
          continue;
        }
        if (i >= line.size()) return false;
        char e = line[i++];
        if (e == 'n') w += '\n';
        else if (e == 'r') w += '\r';
        else if (e == 't') w += '\t';
        else if (e == '\\' || e == '"') w += e;
        else return false;
      }
      if (!closed) return false;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') w += line[i++];
    }
    words.push_back(w);
  }
  return true;
}

bool ParseSigned(const std::string& s, long long& v) {
  if (s.empty() || s.size() > 12) return false;
  size_t i = s[0] == '-' ? 1 : 0;
  if (i == s.size()) return false;
  for (size_t k = i; k < s.size(); ++k)
    if (s[k] < '0' || s[k] > '9') return false;
  v = std::strtoll(s.c_str(), nullptr, 10);
  return v >= INT32_MIN && v <= 0xFFFFFFFFLL;
}

// Runs one script line and returns what it printed after "->", or false with a reason.
bool RunLine(Host& host, const std::vector<std::string>& w, std::string& out) {
  CSyntaxEdit& edit = host.edit;
  const std::string& verb = w[0];
  if (verb == "text" && w.size() == 1) {
    out = Quote(ContentOf(host));
    return true;
  }
  if (verb == "colours" && w.size() == 1) {
    out = RunsText(host, "; ");
    if (out.size() >= 2) out.resize(out.size() - 2);
    return true;
  }
  if (verb == "type" && w.size() == 2) {
    for (unsigned char c : w[1]) edit.GetRichEdit()->SendMessage(WM_CHAR, c);
    out = Quote(ContentOf(host));
    return true;
  }
  if (verb == "key" && w.size() == 2) {
    std::string k = w[1];
    bool shift = false, ctrl = false;
    for (;;) {
      if (k.rfind("shift+", 0) == 0) shift = true, k.erase(0, 6);
      else if (k.rfind("ctrl+", 0) == 0) ctrl = true, k.erase(0, 5);
      else break;
    }
    int vk = -1;
    if (k.size() == 1 && ((k[0] >= 'A' && k[0] <= 'Z') || (k[0] >= '0' && k[0] <= '9'))) vk = k[0];
    for (const auto& key : kKeys)
      if (k == key.name) vk = static_cast<int>(key.msg);
    if (vk < 0) {
      out = "unknown key " + Quote(k, '\'');
      return false;
    }
    size_t beeps = halyard::user::Desktop::Beeps().size();
    halyard::user::Desktop::SetKeyDown(VK_SHIFT, shift);
    halyard::user::Desktop::SetKeyDown(VK_CONTROL, ctrl);
    edit.GetRichEdit()->SendMessage(WM_KEYDOWN, static_cast<WPARAM>(vk));
    halyard::user::Desktop::SetKeyDown(VK_SHIFT, false);
    halyard::user::Desktop::SetKeyDown(VK_CONTROL, false);
    out = Quote(ContentOf(host));
    if (halyard::user::Desktop::Beeps().size() > beeps) out += " beep";
    return true;
  }
  const MessageName* m = nullptr;
  for (const auto& name : kMessages)
    if (verb == name.name) m = &name;
  if (!m || w.size() > 3) {
    out = "not understood";
    return false;
  }
  std::vector<std::string> args(w.begin() + 1, w.end());
  // The protect ranges stand alone: their count is that of the list.
  if (m->msg == SEM_SETPROTECTFIELD && args.size() == 1) args.insert(args.begin(), "0");
  long long wp = 0;
  std::string lpText;
  bool lpIsText = false;
  long long lp = 0;
  if (args.size() >= 1 && !ParseSigned(args[0], wp)) {
    out = "bad wParam " + Quote(args[0], '\'');
    return false;
  }
  if (args.size() == 2 && !ParseSigned(args[1], lp)) {
    lpIsText = true;
    lpText = args[1];
  }
  WPARAM wParam = static_cast<WPARAM>(static_cast<std::intptr_t>(wp));
  LPARAM lParam = static_cast<LPARAM>(lp);
  size_t beeps = halyard::user::Desktop::Beeps().size();
  LRESULT r = 0;
  std::string extra;
  switch (m->msg) {
    case SEM_GETSEL: {
      LONG a = 0, b = 0;
      r = edit.SendMessage(m->msg, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
      extra = " " + std::to_string(a) + " " + std::to_string(b);
      break;
    }
    case SEM_GETCONTENT:
    case WM_GETTEXT: {
      // The tool's buffer is as large as the request allows, or the whole text.
      LONG len = edit.GetRichEdit()->GetTextLength();
      size_t size = static_cast<size_t>(len) + 1;
      if (m->msg == WM_GETTEXT) size = static_cast<size_t>(std::clamp<long long>(wp, 0, len + 1));
      std::string buf(size + 1, '\0');
      r = edit.SendMessage(m->msg, wParam, reinterpret_cast<LPARAM>(buf.data()));
      extra = " " + Quote(std::string(buf.c_str()));
      break;
    }
    case SEM_SETPROTECTFIELD: {
      std::vector<std::pair<long, long>> ranges;
      if (lpIsText && !ParseRanges(lpText, ranges)) {
        out = "bad ranges " + Quote(lpText, '\'');
        return false;
      }
      std::vector<ProtectRange> list;
      for (auto [a, b] : ranges) list.push_back(ProtectRange{static_cast<LONG>(a), static_cast<LONG>(b)});
      r = edit.SendMessage(m->msg, static_cast<WPARAM>(list.size()),
                           list.empty() ? 0 : reinterpret_cast<LPARAM>(list.data()));
      extra = " " + std::to_string(edit.GetProtectRangeCount()) + " ranges";
      break;
    }
    default:
      r = edit.SendMessage(m->msg, wParam, lpIsText ? reinterpret_cast<LPARAM>(lpText.c_str()) : lParam);
  }
  out = std::to_string(static_cast<long long>(r)) + extra;
  if (halyard::user::Desktop::Beeps().size() > beeps) out += " beep";
  return true;
}

int Messages(int argc, char** argv) {
  if (argc != 4) return UsageError("messages takes FILE SCRIPT");
  if (std::strcmp(argv[2], "-") == 0 && std::strcmp(argv[3], "-") == 0)
    return UsageError("FILE and SCRIPT cannot both be standard input");
  std::string text, script;
  if (!ReadInput(argv[2], text)) return CannotRead(argv[2], errno);
  if (!ReadInput(argv[3], script)) return CannotRead(argv[3], errno);
  Host host;
  if (!host.ok) return NoControl();
  SetContent(host, text);
  std::stringstream lines(script);
  std::string line;
  int number = 0, rc = kExitOk;
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> words;
    if (!SplitLine(line, words)) {
      rc = Fail(kExitFailed, "line " + std::to_string(number) + ": unclosed quote or bad escape");
      continue;
    }
    if (words.empty() || words[0][0] == '#') continue;
    std::string out;
    if (!RunLine(host, words, out)) {
      rc = Fail(kExitFailed, "line " + std::to_string(number) + ": " + out);
      continue;
    }
    std::printf("%s -> %s\n", line.c_str(), out.c_str());
  }
  return rc;
}

const Command kCommands[] = {
    {"colour", Colour},
    {"color", Colour},
    {"type", Type},
    {"regions", Regions},
    {"find", Find},
    {"replace", Replace},
    {"messages", Messages},
};

}  // namespace

int main(int argc, char** argv) { return Main({"glyphpad", kUsageText, kCommands}, argc, argv); }
