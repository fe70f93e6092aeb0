#include "profile.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/kernel/file_system.h"
#include "platform/kernel/text.h"
#include "platform/kernel/win_error.h"
#include "platform/kernel/win_path.h"
#include "locked_file.h"
#include "name_case.h"

namespace halyard::registry {
namespace {

// One line of a profile file and what it is.
struct Line {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string text;   // without its line end
  std::string eol;    // "\r\n", "\n" or "" for a last line without one
  std::string name;   // section name or key, trimmed
  std::string value;  // key lines: the value, trimmed
};

std::vector<Line> ParseProfile(std::string_view text) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    Line line;
    if (end == std::string_view::npos) {
      line.text = text.substr(start);
      start = text.size();
    } else {
      line.text = text.substr(start, end - start);
      line.eol = "\n";
      start = end + 1;
    }
    if (!line.text.empty() && line.text.back() == '\r') {
      line.text.pop_back();
      if (!line.eol.empty()) line.eol = "\r\n";
    }
    std::string_view t = TrimSpaceOrTab(line.text);
    if (!t.empty() && t[0] == '[') {
      std::size_t close = t.find(']');
      line.kind = Line::kSection;
      line.name =
          TrimSpaceOrTab(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
    } else if (!t.empty() && t[0] != ';') {
      std::size_t eq = t.find('=');
      if (eq != std::string_view::npos) {
        line.kind = Line::kKey;
        line.name = TrimSpaceOrTab(t.substr(0, eq));
        line.value = TrimSpaceOrTab(t.substr(eq + 1));
      }
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string JoinProfile(const std::vector<Line>& lines) {
  std::string out;
  for (const Line& l : lines) out += l.text + l.eol;
  return out;
}

// Index of the first section of that name, or npos.
std::size_t FindSection(const std::vector<Line>& lines, std::string_view app) {
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].kind == Line::kSection && NamesEqual(lines[i].name, app)) return i;
  return std::string::npos;
}

// The end (exclusive) of the section whose header is at index at.
std::size_t SectionEnd(const std::vector<Line>& lines, std::size_t at) {
  std::size_t i = at + 1;
  while (i < lines.size() && lines[i].kind != Line::kSection) ++i;
  return i;
}

std::size_t FindKey(const std::vector<Line>& lines, std::size_t section, std::string_view key) {
  std::size_t end = SectionEnd(lines, section);
  for (std::size_t i = section + 1; i < end; ++i)
    if (lines[i].kind == Line::kKey && NamesEqual(lines[i].name, key)) return i;
  return std::string::npos;
}

// A value in matching single or double quotes loses them.
std::string Unquote(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// Reads and parses the file; false (with the last error set) when it cannot be read.
bool LoadProfile(const char* fileName, std::vector<Line>* lines) {
  std::string text;
  DWORD r = ReadWholeFile(ProfilePath(fileName), &text);
  if (r != ERROR_SUCCESS) {
    SetLastError(r);
    return false;
  }
  *lines = ParseProfile(text);
  return true;
}

DWORD CopyValue(const std::string& value, LPSTR out, DWORD size) {
  if (size == 0 || out == nullptr) return 0;
  if (value.size() + 1 <= size) {
    std::memcpy(out, value.c_str(), value.size() + 1);
    return static_cast<DWORD>(value.size());
  }
  std::memcpy(out, value.data(), size - 1);
  out[size - 1] = '\0';
  return size - 1;
}

// A list of names, each ended by a NUL, and a final NUL; cut lists end in two NULs.
DWORD CopyList(const std::vector<std::string>& names, LPSTR out, DWORD size) {
  if (size == 0 || out == nullptr) return 0;
  std::string all;
  for (const std::string& n : names) {
    all += n;
    all.push_back('\0');
  }
  if (all.size() + 1 <= size) {
    std::memcpy(out, all.data(), all.size());
    out[all.size()] = '\0';
    if (all.empty() && size > 1) out[1] = '\0';
    return static_cast<DWORD>(all.size());
  }
  if (size < 2) {
    out[0] = '\0';
    return 0;
  }
  std::memcpy(out, all.data(), size - 2);
  out[size - 2] = '\0';
  out[size - 1] = '\0';
  return size - 2;
}

// Looks up a value; false when the file, the section or the key is missing.
bool LookUp(LPCSTR app, LPCSTR key, LPCSTR fileName, std::string* value) {
  std::vector<Line> lines;
  if (!LoadProfile(fileName, &lines)) return false;
  std::size_t s = FindSection(lines, TrimSpaceOrTab(app));
  if (s == std::string::npos) return false;
  std::size_t k = FindKey(lines, s, TrimSpaceOrTab(key));
  if (k == std::string::npos) return false;
  *value = Unquote(lines[k].value);
  return true;
}

std::string EnvOr(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

bool HasFolder(std::string_view name) {
  return name.find_first_of("\\/:") != std::string_view::npos;
}

}  // namespace

std::string WindowsFolder() {
  std::string dir = EnvOr("HALYARD_WINDIR");
  if (dir.empty()) {
    std::string xdg = EnvOr("XDG_CONFIG_HOME");
    dir = !xdg.empty() ? xdg + "/halyard" : EnvOr("HOME") + "/.config/halyard";
  }
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

std::string ProfilePath(const char* fileName) {
  std::string name = fileName != nullptr ? fileName : "win.ini";
  if (HasFolder(name)) return MapWinPath(name);
  std::string dir = WindowsFolder();
  std::string exact = dir + "/" + name;
  struct stat st;
  if (::stat(exact.c_str(), &st) == 0) return exact;
  // The Windows folder is not case-sensitive; find "KVPROXY.INI" for "kvproxy.ini".
  std::vector<FolderEntry> entries;
  if (ListFolder(dir, &entries) == 0) {
    for (const FolderEntry& e : entries)
      if (NamesEqual(e.name, name)) return dir + "/" + e.name;
  }
  return exact;
}

}  // namespace halyard::registry

using namespace halyard::registry;
using halyard::FileLock;
using halyard::IsSpaceOrTab;
using halyard::TrimSpaceOrTab;

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  if (lpReturnedString == nullptr || nSize == 0) return 0;
  if (lpAppName == nullptr || lpKeyName == nullptr) {
    std::vector<Line> lines;
    std::vector<std::string> names;
    if (LoadProfile(lpFileName, &lines)) {
      if (lpAppName == nullptr) {
        for (const Line& l : lines) {
          if (l.kind != Line::kSection) continue;
          bool seen = false;
          for (const std::string& n : names) seen = seen || NamesEqual(n, l.name);
          if (!seen) names.push_back(l.name);
        }
      } else {
        std::size_t s = FindSection(lines, TrimSpaceOrTab(lpAppName));
        if (s != std::string::npos) {
          std::size_t end = SectionEnd(lines, s);
          for (std::size_t i = s + 1; i < end; ++i) {
            if (lines[i].kind != Line::kKey) continue;
            bool seen = false;
            for (const std::string& n : names) seen = seen || NamesEqual(n, lines[i].name);
            if (!seen) names.push_back(lines[i].name);
          }
        }
      }
    }
    return CopyList(names, lpReturnedString, nSize);
  }
  std::string value;
  if (!LookUp(lpAppName, lpKeyName, lpFileName, &value)) {
    std::string def = lpDefault != nullptr ? lpDefault : "";
    while (!def.empty() && IsSpaceOrTab(def.back())) def.pop_back();
    return CopyValue(def, lpReturnedString, nSize);
  }
  return CopyValue(value, lpReturnedString, nSize);
}

UINT GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
  std::string value;
  if (lpAppName == nullptr || lpKeyName == nullptr ||
      !LookUp(lpAppName, lpKeyName, lpFileName, &value) || value.empty())
    return static_cast<UINT>(nDefault);
  std::size_t i = 0;
  while (i < value.size() && static_cast<unsigned char>(value[i]) <= ' ') ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
  unsigned base = 10;
  if (i + 1 < value.size() && value[i] == '0') {
    char p = value[i + 1];
    if (p == 'x' || p == 'X') base = 16;
    if (p == 'o' || p == 'O') base = 8;
    if (p == 'b' || p == 'B') base = 2;
    if (base != 10) i += 2;
  }
  UINT result = 0;
  for (; i < value.size(); ++i) {
    char c = value[i];
    unsigned d;
    if (c >= '0' && c <= '9') {
      d = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      d = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else {
      break;
    }
    if (d >= base) break;
    result = result * base + d;  // Wraps at 32 bits as the system's conversion does.
  }
  return negative ? 0u - result : result;
}

DWORD GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize,
                                LPCSTR lpFileName) {
  if (lpReturnedString == nullptr || nSize == 0) return 0;
  std::vector<Line> lines;
  std::vector<std::string> entries;
  if (lpAppName != nullptr && LoadProfile(lpFileName, &lines)) {
    std::size_t s = FindSection(lines, TrimSpaceOrTab(lpAppName));
    if (s != std::string::npos) {
      std::size_t end = SectionEnd(lines, s);
      for (std::size_t i = s + 1; i < end; ++i)
        if (lines[i].kind == Line::kKey) entries.push_back(lines[i].name + "=" + lines[i].value);
    }
  }
  return CopyList(entries, lpReturnedString, nSize);
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                LPCSTR lpFileName) {
  if (lpAppName == nullptr) {
    if (lpKeyName == nullptr && lpString == nullptr) return TRUE;  // Flushing: nothing cached.
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string path = ProfilePath(lpFileName);
  std::string name = lpFileName != nullptr ? lpFileName : "win.ini";
  if (HasFolder(name)) {
    // A named folder must exist; only the Windows folder is made on demand.
    std::size_t cut = path.find_last_of('/');
    struct stat st;
    if (cut != std::string::npos && cut > 0 &&
        (::stat(path.substr(0, cut).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return FALSE;
    }
  }
  FileLock lock;
  DWORD r = LockBeside(path, &lock);
  if (r != ERROR_SUCCESS) {
    SetLastError(r);
    return FALSE;
  }
  std::string text;
  r = ReadWholeFile(path, &text);
  if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) {
    SetLastError(r);
    return FALSE;
  }
  std::vector<Line> lines = ParseProfile(text);
  std::string app(TrimSpaceOrTab(lpAppName));
  std::size_t s = FindSection(lines, app);
  if (lpKeyName == nullptr) {
    if (s == std::string::npos) return TRUE;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(s),
                lines.begin() + static_cast<std::ptrdiff_t>(SectionEnd(lines, s)));
  } else {
    std::string key(TrimSpaceOrTab(lpKeyName));
    std::size_t k = s == std::string::npos ? std::string::npos : FindKey(lines, s, key);
    if (lpString == nullptr) {
      if (k == std::string::npos) return TRUE;
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(k));
    } else if (k != std::string::npos) {
      lines[k].text = lines[k].name + "=" + lpString;
    } else {
      if (!lines.empty() && lines.back().eol.empty()) lines.back().eol = "\r\n";
      Line entry;
      entry.kind = Line::kKey;
      entry.text = key + "=" + lpString;
      entry.eol = "\r\n";
      if (s == std::string::npos) {
        Line header;
        header.kind = Line::kSection;
        header.text = "[" + app + "]";
        header.eol = "\r\n";
        lines.push_back(header);
        lines.push_back(entry);
      } else {
        // After the section's last line that is not blank.
        std::size_t at = SectionEnd(lines, s);
        while (at > s + 1 && TrimSpaceOrTab(lines[at - 1].text).empty()) --at;
        if (lines[at - 1].eol.empty()) lines[at - 1].eol = "\r\n";
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
      }
    }
  }
  std::string updated = JoinProfile(lines);
  if (updated == text && r == ERROR_SUCCESS) return TRUE;
  r = ReplaceFile(path, updated, nullptr);
  if (r != ERROR_SUCCESS) {
    SetLastError(r);
    return FALSE;
  }
  return TRUE;
}
