// vaultkit: looks into saved Vaultkit data. decode-stream prints each value that the text
// stream forms hold, one line each; roundtrip re-creates every value and writes it back.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "tools/common/quote.h"
#include "tools/common/tool_main.h"
#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_date.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"

int SelectCommand(int argc, char** argv);  // select_command.cpp
int DbCommand(int argc, char** argv);      // db_command.cpp

namespace {

using namespace halyard::tool;

const char kHelp[] =
    "usage: vaultkit decode-stream [FILE]\n"
    "       vaultkit roundtrip [FILE]\n"
    "       vaultkit select CONNECT TYPE --where EXPR [--stream|--archive]\n"
    "       vaultkit db create PATH\n"
    "       vaultkit db register-type CONNECT NUMBER NAME [--owner N] [--layout L] [--placeholders]\n"
    "       vaultkit db add-field CONNECT TYPE NAME KIND\n"
    "       vaultkit db fields CONNECT TYPE | db types CONNECT\n"
    "       vaultkit db insert CONNECT TYPE FIELD=VALUE...\n"
    "       vaultkit db query CONNECT TYPE [--where EXPR] [--sort FIELD[:desc]] [--format tsv|json]\n"
    "       vaultkit db sql CONNECT TYPE [--where EXPR] [--sort FIELD[:desc]]\n"
    "       vaultkit --help | --version\n"
    "\n"
    "Reads the text stream forms of persistent values (numbers, texts, buffers, dates and\n"
    "arrays, each starting with its kind letter T to Y) from FILE, or from standard input\n"
    "without one.\n"
    "\n"
    "  decode-stream  prints each value on a line of its own: the class name, a blank and the\n"
    "                 value (numbers in decimal, texts in double quotes with C escapes and\n"
    "                 three octal digits for other bytes outside printable ASCII,\n"
    "                 buffers as their length and hex bytes, dates as YYYY-MM-DD HH:MM:SS in\n"
    "                 local time, arrays as [a, b, ...]).\n"
    "  roundtrip      re-creates every value and writes it back in its stream form; for data\n"
    "                 the library wrote, the output equals the input.\n"
    "  select         prints the selection EXPR describes for objects of type TYPE: its text\n"
    "                 stream form (--stream, the default) or the bytes of its saved form in\n"
    "                 hex (--archive). EXPR: FIELD begins|contains|ends \"text\",\n"
    "                 FIELD = \"text\", FIELD =|<|> NUMBER, FIELD in (N, ...), joined by and,\n"
    "                 or and parentheses.\n"
    "                 FIELD is a name from the catalog of the database CONNECT names (a file\n"
    "                 or an ODBC connect text), [a name with blanks], or #N; CONNECT - opens\n"
    "                 no database and takes #N fields only.\n"
    "  db             makes, fills and reads a relational database: CONNECT is a SQLite file or\n"
    "                 an ODBC connect text (\"ODBC;DRIVER=...;...\"). create makes a new file\n"
    "                 with the type catalog (or puts the catalog into an existing server\n"
    "                 database); register-type adds a type and its table; add-field a field\n"
    "                 (KIND text, long, binary, file, formatted, date or double) and prints its\n"
    "                 number; fields and types list the catalog; insert adds a record (System\n"
    "                 is the next free number unless given) and prints its System number;\n"
    "                 query prints the records that meet EXPR as tsv (a header line, then one\n"
    "                 line per record) or json; sql prints the SQL text the query runs. The\n"
    "                 writing commands open CONNECT for writing with the access rule \"|1\".\n"
    "\n"
    "Exit codes: 0 all values read; 1 a letter that names no value, or a value whose data is\n"
    "malformed or cut short (the message gives its byte offset), or a database that cannot be\n"
    "opened; 2 wrong usage (also an EXPR that is not a condition: the message gives the\n"
    "position); 3 the file cannot be read or the output cannot be written.\n";

std::string Quoted(const char* text) { return halyard::tool::Quote(text ? text : ""); }

std::string Describe(CPDObject& value, const char** className) {
  char text[64];
  if (auto* l = dynamic_cast<CPDLong*>(&value)) {
    *className = "CPDLong";
    return std::to_string(l->mGetValue());
  }
  if (auto* s = dynamic_cast<CPDString*>(&value)) {
    *className = "CPDString";
    return Quoted(static_cast<char*>(*s));
  }
  if (auto* b = dynamic_cast<CPDBuffer*>(&value)) {
    *className = "CPDBuffer";
    std::string out = std::to_string(b->mGetLength());
    for (LONG i = 0; i < b->mGetLength(); ++i) {
      std::snprintf(text, sizeof text, " %02x", static_cast<unsigned char>(b->mGetBuffer()[i]));
      out += text;
    }
    return out;
  }
  if (auto* d = dynamic_cast<CPDDate*>(&value)) {
    *className = "CPDDate";
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d->mGetYear(), d->mGetMonth(),
                  d->mGetDay(), d->mGetHour(), d->mGetMinute(), d->mGetSecond());
    return text;
  }
  if (auto* la = dynamic_cast<CPDLongArray*>(&value)) {
    *className = "CPDLongArray";
    std::string out = "[";
    for (LONG i = 0; i < la->mGetNumItems(); ++i) {
      if (i > 0) out += ", ";
      out += std::to_string((*static_cast<const CPDLongArray*>(la))[i]);
    }
    return out + "]";
  }
  if (auto* sa = dynamic_cast<CPDStringArray*>(&value)) {
    *className = "CPDStringArray";
    std::string out = "[";
    for (LONG i = 0; i < sa->mGetNumItems(); ++i) {
      if (i > 0) out += ", ";
      out += Quoted(static_cast<char*>(sa->mGetAt(i)));
    }
    return out + "]";
  }
  *className = "CPDObject";
  return "";
}

const char* KindName(char letter) {
  switch (letter) {
    case 'T':
      return "CPDString";
    case 'U':
      return "CPDLong";
    case 'V':
      return "CPDBuffer";
    case 'W':
      return "CPDDate";
    case 'X':
      return "CPDStringArray";
    case 'Y':
      return "CPDLongArray";
    default:
      return nullptr;
  }
}

int Run(std::istream& in, bool roundtrip, const std::string& source) {
  for (;;) {
    in >> std::ws;
    if (in.peek() == EOF) return in.bad() ? CannotRead(source, EIO) : kExitOk;
    std::streamoff offset = in.tellg();
    char letter = static_cast<char>(in.peek());
    if (KindName(letter) == nullptr) {
      return Fail(kExitFailed, source + ", byte " + std::to_string(offset) + ": letter " +
                                   Quote(std::string_view(&letter, 1), '\'') + " names no value");
    }
    std::unique_ptr<CPDObject> value(CPDObject::mNew(in));
    if (value == nullptr || in.fail()) {
      return Fail(kExitFailed, source + ", byte " + std::to_string(offset) + ": the " +
                                   KindName(letter) +
                                   " that starts here is malformed or cut short");
    }
    if (roundtrip) {
      std::cout << *value;
    } else {
      const char* name = "";
      std::string text = Describe(*value, &name);
      std::cout << name << ' ' << text << '\n';
    }
  }
}

int Decode(int argc, char** argv) {
  if (argc > 3) return UsageError("only one FILE");
  const bool roundtrip = std::strcmp(argv[1], "roundtrip") == 0;
  std::ios::sync_with_stdio(false);
  if (argc == 3) {
    std::error_code ec;
    if (std::filesystem::is_directory(argv[2], ec)) return CannotRead(argv[2], EISDIR);
    std::ifstream file(argv[2], std::ios::binary);
    if (!file) return CannotRead(argv[2], errno);
    return Run(file, roundtrip, argv[2]);
  }
  // Standard input is read whole first, so that byte offsets can be told.
  std::stringstream all;
  all << std::cin.rdbuf();
  if (std::cin.bad()) return CannotRead("standard input", errno);
  return Run(all, roundtrip, "standard input");
}

const Command kCommands[] = {
    {"decode-stream", Decode},
    {"roundtrip", Decode},
    {"select", SelectCommand},
    {"db", DbCommand},
};

}  // namespace

int main(int argc, char** argv) { return Main({"vaultkit", kHelp, kCommands}, argc, argv); }
