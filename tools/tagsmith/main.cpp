// tagsmith: the command-line front end of the HTML library. It tokenizes a page and prints the
// element tree, writes a page back from its elements, and splits and resolves URLs.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "html/elem_kinds.h"
#include "platform/mfc/cstring.h"
#include "html/parser.h"
#include "html/parser2.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"
#include "html/tree_text.h"
#include "html/url_string.h"

int CheckCommand(int argc, char** argv);  // check_command.cpp
int ScriptCommand(int argc, char** argv);   // script_command.cpp
int LayoutCommand(int argc, char** argv);   // layout_command.cpp
int ExportsCommand(int argc, char** argv);  // exports_command.cpp

namespace {

using namespace halyard::tool;

const char kHelp[] =
    "usage: tagsmith tokens [--reader] [--pieces N] [--summary] [FILE]\n"
    "       tagsmith write [--reader] [FILE]\n"
    "       tagsmith url parse URL\n"
    "       tagsmith url absolute BASE LINK\n"
    "       tagsmith url root BASE LINK\n"
    "       tagsmith check [--errors] [--set NAME=on|off]... [-o DIR] [FILE]...\n"
    "       tagsmith script [--text] [--pieces N] [FILE]\n"
    "       tagsmith layout [FILE]\n"
    "       tagsmith exports\n"
    "       tagsmith --help | --version\n"
    "\n"
    "tokens    tokenizes FILE (standard input without one) and prints the element tree, one\n"
    "          element a line, indented two blanks per level: kind, type number, name or text\n"
    "          in double quotes, #number for components, NAME=\"value\" per attribute, and the\n"
    "          flags end, space-before, space-after.\n"
    "  --reader      use the stream reader tokenizer (Parser2) instead of Parser\n"
    "  --pieces N    hand the input over in pieces of N bytes\n"
    "  --summary     print only how many elements of each kind were built\n"
    "write     prints the text form of every top-level element in order (a component's\n"
    "          gathered content after its tag).\n"
    "url parse       prints the result, scheme number, host, port and path of URL.\n"
    "url absolute    prints LINK resolved against the page BASE.\n"
    "url root        prints LINK resolved against the site root of BASE.\n"
    "check     tokenizes each FILE (standard input without one), checks the nesting of its\n"
    "          elements, repairs it and prints the repaired page; each file gets a checker of\n"
    "          its own.\n"
    "  --errors          print instead only the checker's trace lines, one a line\n"
    "  --set NAME=on|off change a correction switch first: closeImplied, moveIllegalAfter,\n"
    "                    endAndResume, addListItem, addOption, addRowOrCell, removeIllegal\n"
    "  -o DIR            write each repaired page to DIR under its own name\n"
    "script    prints the structure of the script in FILE (of every SCRIPT element, in order,\n"
    "          when FILE is a page), one item a line, indented two blanks per level: group,\n"
    "          function NAME(PARAMS), call NAME, arg N, text \"...\".\n"
    "  --text        write each top-level statement back as text instead\n"
    "  --pieces N    hand the script over in pieces of N bytes\n"
    "layout    lays the page out and prints each placed element: kind, type, component\n"
    "          number for components, and its rectangle left,top,right,bottom.\n"
    "exports   loads libtagsmith.so and lists every export by ordinal with what it reaches,\n"
    "          then every named export; exit 1 when one is missing.\n"
    "\n"
    "Texts in double quotes escape \\\", \\\\, \\t, \\r and \\n, and any other byte outside\n"
    "printable ASCII as three octal digits (\\351).\n"
    "\n"
    "TAGSMITH_LOG=1 writes the trace to c:\\temp\\html_log.txt (through HALYARD_DRIVE_C);\n"
    "TAGSMITH_LOG=PATH writes it to PATH.\n"
    "\n"
    "exit codes: 0 done (check: nothing corrected), 1 URL not parsed (check: corrections\n"
    "made, or a page passed the limit of 4096; exports: an export is missing), 2 usage\n"
    "error, 3 a file (or the output)\n"
    "cannot be read or written.\n";

bool ReadAll(const char* path, std::string& out) {
  std::FILE* f = path ? std::fopen(path, "rb") : stdin;
  if (!f) return false;
  char chunk[65536];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, got);
  bool ok = !std::ferror(f);
  if (path) std::fclose(f);
  return ok;
}

struct Input {
  bool reader = false;
  bool summary = false;
  long pieces = 0;
  const char* file = nullptr;
};

// Reads the options of tokens and write; returns kExitOk or an exit code.
int ParseOptions(int argc, char** argv, int first, bool tokens, Input& in) {
  for (int i = first; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--reader") == 0) {
      in.reader = true;
    } else if (tokens && std::strcmp(a, "--summary") == 0) {
      in.summary = true;
    } else if (tokens && std::strcmp(a, "--pieces") == 0) {
      if (i + 1 == argc) return UsageError("--pieces needs a number");
      char* end = nullptr;
      errno = 0;
      in.pieces = std::strtol(argv[++i], &end, 10);
      if (errno || !end || *end || in.pieces <= 0)
        return UsageError("--pieces needs a number above 0");
    } else if (a[0] == '-' && a[1] != 0) {
      return UsageError("unknown option " + Quote(a, '\''));
    } else if (in.file) {
      return UsageError("only one FILE");
    } else {
      in.file = a;
    }
  }
  return kExitOk;
}

int Tokenize(const Input& in, Document& doc) {
  std::string text;
  if (!ReadAll(in.file, text)) return CannotRead(in.file ? in.file : "standard input", errno);
  std::size_t step = in.pieces > 0 ? static_cast<std::size_t>(in.pieces) : text.size();
  if (step == 0) step = 1;
  auto feed = [&](auto& parser) {
    parser.SetDocument(&doc);
    parser.Begin();
    for (std::size_t at = 0; at < text.size(); at += step) {
      std::size_t n = text.size() - at < step ? text.size() - at : step;
      parser.Parse(text.data() + at, static_cast<int>(n));
    }
    parser.End();
  };
  if (in.reader) {
    Parser2 parser;
    feed(parser);
  } else {
    Parser parser;
    feed(parser);
  }
  return kExitOk;
}

int TokensCommand(int argc, char** argv) {
  Input in;
  if (int rc = ParseOptions(argc, argv, 2, true, in)) return rc;
  Document doc;
  if (int rc = Tokenize(in, doc)) return rc;
  std::string out;
  if (in.summary)
    halyard::tagsmith::DumpSummary(&doc, out);
  else
    halyard::tagsmith::DumpTree(&doc, out);
  return WriteOutput(out);
}

int WriteCommand(int argc, char** argv) {
  Input in;
  if (int rc = ParseOptions(argc, argv, 2, false, in)) return rc;
  Document doc;
  if (int rc = Tokenize(in, doc)) return rc;
  std::string out;
  halyard::tagsmith::WriteChildren(&doc, out);
  if (!out.empty()) out += '\n';
  return WriteOutput(out);
}

void AppendQuoted(std::string& out, const CString& s) {
  halyard::tool::AppendQuoted(
      out, std::string_view(static_cast<const char*>(s), static_cast<std::size_t>(s.GetLength())));
}

int UrlCommand(int argc, char** argv) {
  if (argc < 3) return UsageError("url needs parse, absolute or root");
  const char* what = argv[2];
  std::string out;
  if (std::strcmp(what, "parse") == 0) {
    if (argc != 4) return UsageError("url parse needs one URL");
    DWORD scheme = 0;
    CString host, path;
    WORD port = 0;
    int result = UrlString::ParseUrl(argv[3], scheme, host, path, port);
    out += "result " + std::to_string(result) + "\n";
    out += "scheme " + std::to_string(scheme) + "\n";
    out += "host ";
    AppendQuoted(out, host);
    out += "\nport " + std::to_string(port) + "\npath ";
    AppendQuoted(out, path);
    out += '\n';
    int rc = WriteOutput(out);
    return rc ? rc : (result ? kExitOk : kExitFailed);
  }
  bool absolute = std::strcmp(what, "absolute") == 0;
  if (!absolute && std::strcmp(what, "root") != 0)
    return UsageError("unknown url command " + Quote(what, '\''));
  if (argc != 5) return UsageError("url absolute and url root need BASE and LINK");
  CString r = absolute ? UrlString::Relative2Absolute(argv[3], argv[4])
                       : UrlString::Relative2Root(argv[3], argv[4]);
  out.assign(static_cast<const char*>(r), static_cast<std::size_t>(r.GetLength()));
  out += '\n';
  return WriteOutput(out);
}

// The subcommands, one row each.
const Command kCommands[] = {
    {"tokens", TokensCommand},
    {"write", WriteCommand},
    {"url", UrlCommand},
    {"check", CheckCommand},
    {"script", ScriptCommand},
    {"layout", LayoutCommand},
    {"exports", ExportsCommand},
};

}  // namespace

int main(int argc, char** argv) { return Main({"tagsmith", kHelp, kCommands}, argc, argv); }
