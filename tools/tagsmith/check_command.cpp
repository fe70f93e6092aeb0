// tagsmith check: tokenizes pages, runs the checker over each and writes the repaired page, or
// only what the checker found and did. Each file gets a checker of its own, as when a user tidies
// a folder; a file that cannot be read or that passes the correction limit is reported and the
// others go on.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "html/checker.h"
#include "html/elem_kinds.h"
#include "html/parser.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"
#include "html/tree_text.h"

namespace {

using namespace halyard::tool;

struct Switch {
  const char* name;
  DWORD Checker::*field;
};

const Switch kSwitches[] = {
    {"closeImplied", &Checker::closeImplied},   {"moveIllegalAfter", &Checker::moveIllegalAfter},
    {"endAndResume", &Checker::endAndResume},   {"addListItem", &Checker::addListItem},
    {"addOption", &Checker::addOption},         {"addRowOrCell", &Checker::addRowOrCell},
    {"removeIllegal", &Checker::removeIllegal},
};

struct Options {
  bool errors = false;
  std::vector<std::pair<DWORD Checker::*, DWORD>> sets;
  const char* outDir = nullptr;
  std::vector<const char*> files;
};

int ParseCheckOptions(int argc, char** argv, Options& o) {
  for (int i = 2; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--errors") == 0) {
      o.errors = true;
    } else if (std::strcmp(a, "--set") == 0) {
      if (i + 1 == argc) return UsageError("--set needs NAME=on|off");
      std::string setting = argv[++i];
      std::size_t eq = setting.find('=');
      std::string name = setting.substr(0, eq),
                  value = eq == std::string::npos ? "" : setting.substr(eq + 1);
      if (value != "on" && value != "off")
        return UsageError("--set needs NAME=on|off, not " + Quote(setting, '\''));
      const Switch* found = nullptr;
      for (const Switch& s : kSwitches)
        if (name == s.name) found = &s;
      if (!found) return UsageError("unknown switch " + Quote(name, '\''));
      o.sets.emplace_back(found->field, value == "on" ? 1u : 0u);
    } else if (std::strcmp(a, "-o") == 0) {
      if (i + 1 == argc) return UsageError("-o needs a folder");
      o.outDir = argv[++i];
    } else if (a[0] == '-' && a[1] != 0) {
      return UsageError("unknown option " + Quote(a, '\''));
    } else {
      o.files.push_back(a);
    }
  }
  if (o.outDir && o.files.empty()) return UsageError("-o needs at least one FILE");
  return kExitOk;
}

// Feeds the file (standard input without one) to the parser in pieces as it is read, so that
// the page is never held beside its tree. False, with errno set, when it cannot be read.
bool ParseFile(const char* path, Parser& parser) {
  std::FILE* f = path ? std::fopen(path, "rb") : stdin;
  if (!f) return false;
  char piece[8192];
  std::size_t got;
  while ((got = std::fread(piece, 1, sizeof piece, f)) > 0)
    parser.Parse(piece, static_cast<int>(got));
  bool ok = !std::ferror(f);
  int err = errno;
  if (path) std::fclose(f);
  errno = err;
  return ok;
}

std::string BaseName(const char* path) {
  std::string p = path;
  std::size_t slash = p.find_last_of('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

// Writes the repaired page, a line feed after it, through put in pieces of about 8 KB as it is
// formed, so that a large page is never held twice.
void WritePage(const Document& doc, const std::function<void(std::string&)>& put) {
  std::string buf;
  bool any = false;
  auto drain = [&](std::string& s) {
    any = any || !s.empty();
    put(s);
    s.clear();
  };
  halyard::tagsmith::WriteHtml(&doc, buf, drain);
  if (any || !buf.empty()) buf += '\n';
  drain(buf);
}

// Checks one page and writes the repaired page (to standard output, or into -o's folder) or,
// with --errors, the checker's lines, building the page's tree below doc. Returns the page's
// exit code.
int CheckOne(const char* file, const Options& o, Document& doc) {
  const char* shown = file ? file : "standard input";
  {
    Parser parser;
    parser.SetDocument(&doc);
    // The page is read in pieces: its tree and trace are still those of the page in one piece.
    parser.GatherBlockText(true);
    parser.Begin();
    if (!ParseFile(file, parser)) return CannotRead(shown, errno);
    parser.End();
  }
  Checker checker;
  for (const auto& s : o.sets) checker.*(s.first) = s.second;
  checker.AddCheckHandler();
  std::vector<std::string> lines;
  if (o.errors) checker.SetTraceSink(&lines);
  // Nothing corrected is a success; corrections made (or the limit passed) exit 1.
  int rc = kExitOk;
  try {
    checker.CheckHtml(&doc);
  } catch (int) {
    Fail(kExitFailed, std::string(shown) + ": more than " +
                          std::to_string(static_cast<int>(Checker::kCorrectionLimit)) +
                          " corrections, the check stopped there");
    rc = kExitFailed;
  }
  if (checker.GetCorrectionCount() > 0 || checker.GetClosedAtEndCount() > 0) rc = kExitFailed;
  if (o.errors) {
    std::string out;
    for (const std::string& l : lines) {
      out += l;
      if (l.empty() || l.back() != '\n') out += '\n';
    }
    if (int w = WriteOutput(out)) return w;
  }
  if (o.outDir) {
    std::string path = std::string(o.outDir) + "/" + BaseName(file);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return CannotWrite(path, errno);
    int err = 0;
    WritePage(doc, [&](std::string& s) {
      if (!err && std::fwrite(s.data(), 1, s.size(), f) != s.size()) err = errno ? errno : EIO;
    });
    if (std::fclose(f) != 0 && !err) err = errno ? errno : EIO;
    if (err) return CannotWrite(path, err);
  } else if (!o.errors) {
    int w = kExitOk;
    WritePage(doc, [&](std::string& s) {
      if (!w) w = WriteOutput(s);
    });
    if (w) return w;
  }
  return rc;
}

Document* g_lastTree = nullptr;

}  // namespace

int CheckCommand(int argc, char** argv) {
  Options o;
  if (int rc = ParseCheckOptions(argc, argv, o)) return rc;
  if (o.files.empty()) o.files.push_back(nullptr);
  // The worst outcome decides: a file that could not be read or written, then corrections.
  int worst = kExitOk;
  for (std::size_t i = 0; i < o.files.size(); ++i) {
    const char* file = o.files[i];
    int rc;
    if (i + 1 < o.files.size()) {
      Document doc;
      rc = CheckOne(file, o, doc);
    } else {
      // The last page's tree is left to the end of the process, which takes its memory back at
      // once rather than element by element. (It stays reachable from here.)
      g_lastTree = new Document;
      rc = CheckOne(file, o, *g_lastTree);
    }
    // A page that could not be written to standard output ends the run: the rest would be lost
    // as well. An unreadable file, or one whose copy cannot be written, does not.
    if (rc == kExitFile && !o.outDir && std::ferror(stdout)) return rc;
    if (rc == kExitFile || (rc == kExitFailed && worst == kExitOk)) worst = rc;
  }
  return worst;
}
