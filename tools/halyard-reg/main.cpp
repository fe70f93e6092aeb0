// halyard-reg: reads and edits the registry hives with the verbs of Windows' reg command, and
// answers in that command's words.

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/name_case.h"
#include "platform/registry/registry_store.h"
#include "platform/registry/win_reg.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"

namespace {

using halyard::registry::Root;
using namespace halyard::tool;

const char kHelp[] =
    "usage: halyard-reg add|query|delete KEY [OPTIONS]\n"
    "       halyard-reg export KEY FILE [/y]\n"
    "       halyard-reg import FILE\n"
    "       halyard-reg --help | --version\n"
    "\n"
    "Reads and edits the registry hives of the Halyard components.\n"
    "\n"
    "  halyard-reg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]\n"
    "      Creates KEY and, with /v or /ve (the default value), sets a value.\n"
    "      TYPE is REG_SZ (the default), REG_EXPAND_SZ, REG_MULTI_SZ (items parted by \\0),\n"
    "      REG_DWORD (decimal or 0x hexadecimal) or REG_BINARY (hexadecimal digits).\n"
    "      /f overwrites an existing value without asking.\n"
    "  halyard-reg query KEY [/v NAME | /ve] [/s]\n"
    "      Shows the values and subkeys of KEY, or one value; /s goes through all subkeys.\n"
    "  halyard-reg delete KEY [/v NAME | /ve | /va] [/f]\n"
    "      Deletes KEY with its subkeys, one value, or (/va) all values of KEY.\n"
    "      /f deletes without asking.\n"
    "  halyard-reg export KEY FILE [/y]\n"
    "      Writes KEY and its subkeys to FILE as a REGEDIT4 file; /y overwrites FILE.\n"
    "  halyard-reg import FILE\n"
    "      Applies a REGEDIT4 file (with its [-KEY] and \"name\"=- deletions).\n"
    "\n"
    "KEY starts with HKCU, HKLM, HKCR or the full names HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,\n"
    "HKEY_CLASSES_ROOT, as in HKCU\\Software\\Quillmarks. Verbs and options may be written in\n"
    "any case; options may start with / or -.\n"
    "The hives live in $HALYARD_REGISTRY (default $XDG_CONFIG_HOME/halyard/registry).\n"
    "\n"
    "Exit codes: 0 done, 1 the operation failed or was cancelled, 2 wrong usage, 3 a hive,\n"
    "FILE or the output cannot be read or written.\n";

// The registry's own failure, in the reg command's words. A hive file that cannot be read or
// written is a file failure; everything else (no such key, access denied, a damaged hive) is
// the operation failing.
int Fail(LONG code) {
  if (code == ERROR_FILE_NOT_FOUND) {
    std::fprintf(stderr,
                 "ERROR: The system was unable to find the specified registry key or value.\n");
  } else {
    const char* text = halyard::SystemMessageText(static_cast<DWORD>(code));
    std::fprintf(stderr, "ERROR: %s\n", text != nullptr ? text : "The operation failed.");
  }
  const bool fileFailed =
      code == ERROR_CANTREAD || code == ERROR_CANTWRITE || code == ERROR_DISK_FULL;
  return fileFailed ? kExitFile : kExitFailed;
}

struct KeyName {
  Root root;
  HKEY rootKey;
  std::string sub;      // below the root, backslashes kept
  std::string display;  // full root name and sub
};

bool ParseKey(const std::string& text, KeyName* key) {
  std::size_t cut = text.find('\\');
  std::string root = text.substr(0, cut);
  if (!halyard::registry::RootFromName(root, &key->root)) return false;
  key->rootKey = key->root == Root::kClassesRoot   ? HKEY_CLASSES_ROOT
                 : key->root == Root::kCurrentUser ? HKEY_CURRENT_USER
                                                   : HKEY_LOCAL_MACHINE;
  key->sub = cut == std::string::npos ? "" : text.substr(cut + 1);
  while (!key->sub.empty() && key->sub.back() == '\\') key->sub.pop_back();
  key->display = halyard::registry::RootName(key->root);
  if (!key->sub.empty()) key->display += "\\" + key->sub;
  return true;
}

std::vector<std::string> SplitPath(const std::string& sub) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < sub.size()) {
    std::size_t sep = sub.find('\\', start);
    if (sep == std::string::npos) sep = sub.size();
    parts.push_back(sub.substr(start, sep - start));
    start = sep + 1;
  }
  return parts;
}

// Options after the verb's fixed arguments.
struct Options {
  bool haveName = false;
  std::string name;
  bool allValues = false;
  std::string type = "REG_SZ";
  bool haveData = false;
  std::string data;
  bool force = false;
  bool recurse = false;
};

bool IsOption(const std::string& arg, const char* name) {
  return (arg[0] == '/' || arg[0] == '-') && halyard::registry::NamesEqual(arg.substr(1), name);
}

// Parses the options a verb allows (letters in allowed: v, e for /ve, a for /va, t, d, f, s, y).
bool ParseOptions(const std::vector<std::string>& args, std::size_t from, const char* allowed,
                  Options* o, std::string* why) {
  auto allows = [&](char c) { return std::strchr(allowed, c) != nullptr; };
  for (std::size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool takesValue = IsOption(a, "v") || IsOption(a, "t") || IsOption(a, "d");
    if (takesValue && i + 1 >= args.size()) {
      *why = "Invalid syntax: " + a + " needs a value.";
      return false;
    }
    if (IsOption(a, "v") && allows('v') && !o->haveName) {
      o->haveName = true;
      o->name = args[++i];
    } else if (IsOption(a, "ve") && allows('e') && !o->haveName) {
      o->haveName = true;
      o->name.clear();
    } else if (IsOption(a, "va") && allows('a') && !o->haveName) {
      o->allValues = true;
    } else if (IsOption(a, "t") && allows('t')) {
      o->type = args[++i];
    } else if (IsOption(a, "d") && allows('d')) {
      o->haveData = true;
      o->data = args[++i];
    } else if (IsOption(a, "f") && allows('f')) {
      o->force = true;
    } else if (IsOption(a, "s") && allows('s')) {
      o->recurse = true;
    } else if (IsOption(a, "y") && allows('y')) {
      o->force = true;
    } else {
      *why = "Invalid syntax: unexpected " + halyard::tool::Quote(a, '\'') + ".";
      return false;
    }
  }
  if (o->allValues && o->haveName) {
    *why = "Invalid syntax: /va and /v cannot be combined.";
    return false;
  }
  return true;
}

// Asks a yes/no question on the terminal; anything but yes (or no answer) cancels.
bool Confirm(const std::string& question) {
  std::fprintf(stdout, "%s (Yes/No)? ", question.c_str());
  std::fflush(stdout);
  char line[64];
  if (std::fgets(line, sizeof line, stdin) == nullptr) {
    std::fputc('\n', stdout);
    return false;
  }
  return line[0] == 'y' || line[0] == 'Y';
}

int Cancelled() {
  std::fprintf(stdout, "The operation was cancelled by the user.\n");
  return kExitFailed;
}

int Done() {
  std::fprintf(stdout, "The operation completed successfully.\n");
  return kExitOk;
}

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_NONE:
      return "REG_NONE";
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_DWORD_BIG_ENDIAN:
      return "REG_DWORD_BIG_ENDIAN";
    case REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    case REG_QWORD:
      return "REG_QWORD";
    default:
      return "REG_UNKNOWN";
  }
}

bool EncodeData(const Options& o, DWORD* type, std::string* bytes, std::string* why) {
  std::string t = o.type;
  for (char& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string& d = o.data;
  if (t == "REG_SZ" || t == "REG_EXPAND_SZ") {
    *type = t == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ;
    *bytes = d;
    bytes->push_back('\0');
    return true;
  }
  if (t == "REG_MULTI_SZ") {
    *type = REG_MULTI_SZ;
    bytes->clear();
    std::size_t start = 0;
    while (start <= d.size() && !d.empty()) {
      std::size_t sep = d.find("\\0", start);
      if (sep == std::string::npos) sep = d.size();
      *bytes += d.substr(start, sep - start);
      bytes->push_back('\0');
      start = sep + 2;
    }
    bytes->push_back('\0');
    return true;
  }
  if (t == "REG_DWORD") {
    *type = REG_DWORD;
    std::string digits = d.empty() ? "0" : d;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(digits.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || digits[0] == '-' || v > 0xFFFFFFFFull) {
      *why = "Invalid syntax: REG_DWORD data must be a number from 0 to 0xffffffff.";
      return false;
    }
    bytes->assign(4, '\0');
    for (int i = 0; i < 4; ++i) (*bytes)[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return true;
  }
  if (t == "REG_BINARY") {
    *type = REG_BINARY;
    bytes->clear();
    if (d.size() % 2 != 0) {
      *why = "Invalid syntax: REG_BINARY data must be pairs of hexadecimal digits.";
      return false;
    }
    for (std::size_t i = 0; i < d.size(); i += 2) {
      char pair[3] = {d[i], d[i + 1], 0};
      char* end = nullptr;
      long v = std::strtol(pair, &end, 16);
      if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(pair[0]))) {
        *why = "Invalid syntax: REG_BINARY data must be pairs of hexadecimal digits.";
        return false;
      }
      bytes->push_back(static_cast<char>(v));
    }
    return true;
  }
  *why = "Invalid syntax: unsupported type " + o.type + ".";
  return false;
}

std::string FormatData(DWORD type, const std::string& data) {
  char buf[32];
  if ((type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN) && data.size() == 4) {
    DWORD v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[i]);
    if (type == REG_DWORD_BIG_ENDIAN) v = __builtin_bswap32(v);
    std::snprintf(buf, sizeof buf, "0x%x", v);
    return buf;
  }
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::string s = data;
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
  }
  if (type == REG_MULTI_SZ) {
    std::string s = data;
    while (!s.empty() && s.back() == '\0') s.pop_back();
    std::string out;
    for (char c : s) out += c == '\0' ? std::string("\\0") : std::string(1, c);
    return out;
  }
  std::string out;
  for (char c : data) {
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(c));
    out += buf;
  }
  return out;
}

void PrintValue(const std::string& name, DWORD type, const std::string& data) {
  std::printf("    %s    %s    %s\n", name.empty() ? "(Default)" : name.c_str(), TypeName(type),
              FormatData(type, data).c_str());
}

// Reads one value by index; false at the end.
bool EnumValue(HKEY key, DWORD index, std::string* name, DWORD* type, std::string* data) {
  DWORD maxName = 0, maxData = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                   &maxData, nullptr, nullptr);
  std::vector<char> nameBuf(maxName + 1);
  std::vector<BYTE> dataBuf(maxData + 1);
  DWORD nameSize = maxName + 1, dataSize = maxData + 1;
  LONG r = RegEnumValueA(key, index, nameBuf.data(), &nameSize, nullptr, type, dataBuf.data(),
                         &dataSize);
  if (r != ERROR_SUCCESS) return false;
  name->assign(nameBuf.data(), nameSize);
  data->assign(reinterpret_cast<char*>(dataBuf.data()), dataSize);
  return true;
}

bool EnumKey(HKEY key, DWORD index, std::string* name) {
  char buf[halyard::registry::kMaxKeyName + 1];
  DWORD size = sizeof buf;
  if (RegEnumKeyExA(key, index, buf, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  name->assign(buf, size);
  return true;
}

void QueryTree(HKEY key, const std::string& display, bool recurse) {
  std::printf("%s\n", display.c_str());
  std::string name, data;
  DWORD type = 0;
  for (DWORD i = 0; EnumValue(key, i, &name, &type, &data); ++i) PrintValue(name, type, data);
  std::printf("\n");
  for (DWORD i = 0; EnumKey(key, i, &name); ++i) {
    std::string child = display + "\\" + name;
    if (!recurse) {
      std::printf("%s\n", child.c_str());
      continue;
    }
    HKEY sub = nullptr;
    if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &sub) == ERROR_SUCCESS) {
      QueryTree(sub, child, true);
      RegCloseKey(sub);
    }
  }
}

int DoQuery(const std::vector<std::string>& args) {
  if (args.size() < 2) return UsageError("Invalid syntax: KEY is missing.");
  KeyName key;
  if (!ParseKey(args[1], &key)) return UsageError("Invalid key name.");
  Options o;
  std::string why;
  if (!ParseOptions(args, 2, "ves", &o, &why)) return UsageError(why);
  HKEY h = nullptr;
  LONG r = RegOpenKeyExA(key.rootKey, key.sub.c_str(), 0, KEY_READ, &h);
  if (r != ERROR_SUCCESS) return Fail(r);
  if (o.haveName) {
    DWORD type = 0, size = 0;
    r = RegQueryValueExA(h, o.name.c_str(), nullptr, &type, nullptr, &size);
    std::string data(size, '\0');
    if (r == ERROR_SUCCESS)
      r = RegQueryValueExA(h, o.name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                           &size);
    RegCloseKey(h);
    if (r != ERROR_SUCCESS) return Fail(r);
    data.resize(size);
    std::printf("\n%s\n", key.display.c_str());
    PrintValue(o.name, type, data);
    std::printf("\n");
    return kExitOk;
  }
  std::printf("\n");
  QueryTree(h, key.display, o.recurse);
  RegCloseKey(h);
  return kExitOk;
}

int DoAdd(const std::vector<std::string>& args) {
  if (args.size() < 2) return UsageError("Invalid syntax: KEY is missing.");
  KeyName key;
  if (!ParseKey(args[1], &key) || key.sub.empty()) return UsageError("Invalid key name.");
  Options o;
  std::string why;
  if (!ParseOptions(args, 2, "vetdf", &o, &why)) return UsageError(why);
  DWORD type = REG_SZ;
  std::string bytes;
  if (o.haveName && !EncodeData(o, &type, &bytes, &why)) return UsageError(why);
  if (!o.haveName && o.haveData) return UsageError("Invalid syntax: /d needs /v or /ve.");
  HKEY h = nullptr;
  LONG r = RegCreateKeyExA(key.rootKey, key.sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, &h, nullptr);
  if (r != ERROR_SUCCESS) return Fail(r);
  if (o.haveName) {
    if (!o.force &&
        RegQueryValueExA(h, o.name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      if (!Confirm("Value " + (o.name.empty() ? std::string("(Default)") : o.name) +
                   " exists, overwrite")) {
        RegCloseKey(h);
        return Cancelled();
      }
    }
    r = RegSetValueExA(h, o.name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
  }
  RegCloseKey(h);
  if (r != ERROR_SUCCESS) return Fail(r);
  return Done();
}

int DoDelete(const std::vector<std::string>& args) {
  if (args.size() < 2) return UsageError("Invalid syntax: KEY is missing.");
  KeyName key;
  if (!ParseKey(args[1], &key)) return UsageError("Invalid key name.");
  Options o;
  std::string why;
  if (!ParseOptions(args, 2, "veaf", &o, &why)) return UsageError(why);
  if (!o.haveName && !o.allValues && key.sub.empty())
    return UsageError("A root key cannot be deleted.");
  HKEY h = nullptr;
  LONG r = RegOpenKeyExA(key.rootKey, key.sub.c_str(), 0, KEY_ALL_ACCESS, &h);
  if (r != ERROR_SUCCESS) return Fail(r);
  if (o.haveName) {
    r = RegQueryValueExA(h, o.name.c_str(), nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_SUCCESS && !o.force &&
        !Confirm("Delete the registry value " +
                 (o.name.empty() ? std::string("(Default)") : o.name))) {
      RegCloseKey(h);
      return Cancelled();
    }
    if (r == ERROR_SUCCESS) r = RegDeleteValueA(h, o.name.c_str());
  } else if (o.allValues) {
    if (!o.force && !Confirm("Delete all values under the registry key " + key.display)) {
      RegCloseKey(h);
      return Cancelled();
    }
    std::string name, data;
    DWORD type = 0;
    while (r == ERROR_SUCCESS && EnumValue(h, 0, &name, &type, &data))
      r = RegDeleteValueA(h, name.c_str());
  } else {
    if (!o.force && !Confirm("Permanently delete the registry key " + key.display)) {
      RegCloseKey(h);
      return Cancelled();
    }
    r = RegDeleteTreeA(key.rootKey, key.sub.c_str());
  }
  RegCloseKey(h);
  if (r != ERROR_SUCCESS) return Fail(r);
  return Done();
}

int DoExport(const std::vector<std::string>& args) {
  if (args.size() < 3) return UsageError("Invalid syntax: KEY and FILE are needed.");
  KeyName key;
  if (!ParseKey(args[1], &key)) return UsageError("Invalid key name.");
  Options o;
  std::string why;
  if (!ParseOptions(args, 3, "y", &o, &why)) return UsageError(why);
  std::string text;
  LONG r = halyard::registry::ExportKey(key.root, SplitPath(key.sub), &text);
  if (r != ERROR_SUCCESS) return Fail(r);
  const std::string& file = args[2];
  if (!o.force && ::access(file.c_str(), F_OK) == 0 &&
      !Confirm("File " + file + " already exists. Overwrite")) {
    return Cancelled();
  }
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return CannotWrite(file, errno);
  errno = 0;
  bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  written = std::fflush(out) == 0 && written;
  int err = errno;
  if (std::fclose(out) != 0 && written) {
    written = false;
    err = errno;
  }
  if (!written) return CannotWrite(file, err != 0 ? err : EIO);
  return Done();
}

int DoImport(const std::vector<std::string>& args) {
  if (args.size() != 2) return UsageError("Invalid syntax: FILE is needed.");
  std::ifstream in(args[1], std::ios::binary);
  if (!in) return CannotRead(args[1], errno);
  std::stringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return CannotRead(args[1], EIO);
  std::string why;
  LONG r = halyard::registry::ImportRegText(ss.str(), &why);
  if (r == ERROR_BADDB) {
    std::fprintf(stderr, "ERROR: %s is %s.\n", args[1].c_str(), why.c_str());
    return kExitFailed;
  }
  if (r != ERROR_SUCCESS) return Fail(r);
  return Done();
}

// Each verb gets its arguments from the verb on, as the reg command counts them.
template <int (*Verb)(const std::vector<std::string>&)>
int RunVerb(int argc, char** argv) {
  return Verb(std::vector<std::string>(argv + 1, argv + argc));
}

const Command kCommands[] = {
    {"add", RunVerb<DoAdd>},       {"query", RunVerb<DoQuery>},   {"delete", RunVerb<DoDelete>},
    {"export", RunVerb<DoExport>}, {"import", RunVerb<DoImport>},
};

}  // namespace

int main(int argc, char** argv) {
  return Main({"halyard-reg", kHelp, kCommands, /*anyCase=*/true}, argc, argv);
}
