// vaultkit: looks into saved Vaultkit data. decode-stream prints each value that the text
// stream forms hold, one line each; roundtrip re-creates every value and writes it back.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "values/cpd_buffer.h"
#include "values/cpd_date.h"
#include "values/cpd_long.h"
#include "values/cpd_long_array.h"
#include "values/cpd_string.h"
#include "values/cpd_string_array.h"

namespace {

enum Exit { kOk = 0, kBadData = 1, kUsage = 2, kNoFile = 3 };

const char kHelp[] =
    "Usage: vaultkit decode-stream [FILE]\n"
    "       vaultkit roundtrip [FILE]\n"
    "       vaultkit --help\n"
    "\n"
    "Reads the text stream forms of persistent values (numbers, texts, buffers, dates and\n"
    "arrays, each starting with its kind letter T to Y) from FILE, or from standard input\n"
    "without one.\n"
    "\n"
    "  decode-stream  prints each value on a line of its own: the class name, a blank and the\n"
    "                 value (numbers in decimal, texts in double quotes with C escapes,\n"
    "                 buffers as their length and hex bytes, dates as YYYY-MM-DD HH:MM:SS in\n"
    "                 local time, arrays as [a, b, ...]).\n"
    "  roundtrip      re-creates every value and writes it back in its stream form; for data\n"
    "                 the library wrote, the output equals the input.\n"
    "\n"
    "Exit codes: 0 all values read; 1 a letter that names no value, or a value whose data is\n"
    "malformed or cut short (the message gives its byte offset); 2 wrong usage; 3 the file\n"
    "cannot be read.\n";

std::string Quoted(const char* text) {
  std::string out = "\"";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    switch (*p) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (*p < 0x20 || *p == 0x7F) {
          char oct[8];
          std::snprintf(oct, sizeof oct, "\\%03o", *p);
          out += oct;
        } else {
          out += static_cast<char>(*p);
        }
    }
  }
  return out + "\"";
}

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
    if (in.peek() == EOF) return kOk;
    std::streamoff offset = in.tellg();
    char letter = static_cast<char>(in.peek());
    if (KindName(letter) == nullptr) {
      std::cout.flush();
      std::fprintf(stderr, "vaultkit: %s, byte %lld: letter '%s' names no value\n", source.c_str(),
                   static_cast<long long>(offset),
                   (letter >= 0x20 && letter < 0x7F) ? std::string(1, letter).c_str() : "?");
      return kBadData;
    }
    std::unique_ptr<CPDObject> value(CPDObject::mNew(in));
    if (value == nullptr || in.fail()) {
      std::cout.flush();
      std::fprintf(stderr,
                   "vaultkit: %s, byte %lld: the %s that starts here is malformed or cut short\n",
                   source.c_str(), static_cast<long long>(offset), KindName(letter));
      return kBadData;
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

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kHelp, stdout);
    return kOk;
  }
  if (argc < 2 || argc > 3 ||
      (std::strcmp(argv[1], "decode-stream") != 0 && std::strcmp(argv[1], "roundtrip") != 0)) {
    std::fputs(kHelp, stderr);
    return kUsage;
  }
  bool roundtrip = std::strcmp(argv[1], "roundtrip") == 0;
  std::ios::sync_with_stdio(false);
  if (argc == 3) {
    std::ifstream file(argv[2], std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "vaultkit: cannot read %s: %s\n", argv[2], std::strerror(errno));
      return kNoFile;
    }
    int rc = Run(file, roundtrip, argv[2]);
    std::cout.flush();
    return rc;
  }
  // Standard input is read whole first, so that byte offsets can be told.
  std::stringstream all;
  all << std::cin.rdbuf();
  int rc = Run(all, roundtrip, "standard input");
  std::cout.flush();
  return rc;
}
