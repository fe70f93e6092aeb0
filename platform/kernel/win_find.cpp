#include "win_find.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "file_system.h"
#include "text.h"
#include "win_error.h"
#include "win_path.h"

namespace halyard {
namespace {

// Whether pattern matches name, case-blind for ASCII letters. '*' matches any run of
// characters; '?' matches one character, or none where the name has a dot or has ended, so
// that "file?.txt" finds "file.txt" and "page??" finds "page". Worked as a table over the
// pattern and name positions: names and patterns are short.
bool MatchFrom(std::string_view p, std::string_view n) {
  const std::size_t width = n.size() + 1;
  // at[i * width + j]: p[i..] matches n[j..].
  std::vector<char> at((p.size() + 1) * width, 0);
  at[p.size() * width + n.size()] = 1;
  for (std::size_t i = p.size(); i-- > 0;) {
    for (std::size_t j = n.size() + 1; j-- > 0;) {
      bool more = j < n.size();
      bool m;
      if (p[i] == '*') {
        m = at[(i + 1) * width + j] || (more && at[i * width + j + 1]);
      } else if (p[i] == '?') {
        m = (more && at[(i + 1) * width + j + 1]) ||
            ((!more || n[j] == '.') && at[(i + 1) * width + j]);
      } else {
        m = more && AsciiUpper(p[i]) == AsciiUpper(n[j]) && at[(i + 1) * width + j + 1];
      }
      at[i * width + j] = m ? 1 : 0;
    }
  }
  return at[0] != 0;
}

DWORD AttributesOf(const struct stat& st, const std::string& name) {
  DWORD attrs = 0;
  if (S_ISDIR(st.st_mode)) {
    attrs |= FILE_ATTRIBUTE_DIRECTORY;
  } else {
    attrs |= FILE_ATTRIBUTE_ARCHIVE;
  }
  if ((st.st_mode & S_IWUSR) == 0) attrs |= FILE_ATTRIBUTE_READONLY;
  if (name.size() > 1 && name[0] == '.' && name != "..") attrs |= FILE_ATTRIBUTE_HIDDEN;
  return attrs;
}

void FillFindData(const std::string& name, const struct stat& st, WIN32_FIND_DATAA* out) {
  std::memset(out, 0, sizeof *out);
  out->dwFileAttributes = AttributesOf(st, name);
  out->ftCreationTime = FileTimeFromTimespec(st.st_ctim);
  out->ftLastAccessTime = FileTimeFromTimespec(st.st_atim);
  out->ftLastWriteTime = FileTimeFromTimespec(st.st_mtim);
  if (!S_ISDIR(st.st_mode)) {
    auto size = static_cast<ULONGLONG>(st.st_size);
    out->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    out->nFileSizeLow = static_cast<DWORD>(size);
  }
  std::memcpy(out->cFileName, name.c_str(), name.size() + 1);
}

struct Entry {
  std::string name;
  struct stat st;
};

class FindObject : public KernelObject {
 public:
  FindObject() : KernelObject(Kind::kFind) {}
  std::vector<Entry> entries;
  std::size_t next = 0;
};


}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*" || pattern == "*.*") return true;
  if (MatchFrom(pattern, name)) return true;
  // "name." stands for the name without an extension.
  if (!pattern.empty() && pattern.back() == '.' && name.find('.') == std::string_view::npos)
    return MatchFrom(pattern.substr(0, pattern.size() - 1), name);
  return false;
}

}  // namespace halyard

using halyard::KernelObject;

HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA out) {
  if (lpFileName == nullptr || out == nullptr || *lpFileName == '\0') {
    SetLastError(lpFileName != nullptr && *lpFileName == '\0' ? ERROR_PATH_NOT_FOUND
                                                              : ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string win = lpFileName;
  std::size_t cut = win.find_last_of("\\/");
  std::string dirWin, pattern;
  if (cut == std::string::npos) {
    if (win.size() == 2 && win[1] == ':') {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    dirWin = (win.size() > 2 && win[1] == ':') ? win.substr(0, 2) : "";
    pattern = dirWin.empty() ? win : win.substr(2);
  } else {
    dirWin = win.substr(0, cut + 1);
    pattern = win.substr(cut + 1);
  }
  if (pattern.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  // ListFolder reads an empty path as the current folder.
  std::string dirHost = dirWin.empty() ? std::string() : halyard::MapWinPath(dirWin);
  std::vector<halyard::FolderEntry> listed;
  if (halyard::ListFolder(dirHost, &listed) != 0) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  // A drive root lists no "." and "..", as on the system; other folders do.
  bool isRoot = dirWin == "\\" || dirWin == "/" ||
                (dirWin.size() == 3 && dirWin[1] == ':' && (dirWin[2] == '\\' || dirWin[2] == '/'));
  std::vector<std::string> names;
  if (!isRoot) names = {".", ".."};
  for (auto& e : listed) names.push_back(std::move(e.name));
  auto object = std::make_shared<halyard::FindObject>();
  std::string prefix = dirHost;
  if (!prefix.empty() && prefix.back() != '/') prefix += '/';
  for (std::string& name : names) {
    if (name.size() >= MAX_PATH) continue;
    if (!halyard::WildcardMatch(pattern, name)) continue;
    halyard::Entry e;
    e.name = std::move(name);
    if (::stat((prefix + e.name).c_str(), &e.st) != 0 && ::lstat((prefix + e.name).c_str(), &e.st) != 0)
      continue;
    object->entries.push_back(std::move(e));
  }
  std::sort(object->entries.begin(), object->entries.end(),
            [](const halyard::Entry& a, const halyard::Entry& b) {
              bool ad = a.name == "." || a.name == "..", bd = b.name == "." || b.name == "..";
              if (ad != bd) return ad;
              std::string ua = halyard::AsciiUpperCopy(a.name), ub = halyard::AsciiUpperCopy(b.name);
              return ua != ub ? ua < ub : a.name < b.name;
            });
  if (object->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  halyard::FillFindData(object->entries[0].name, object->entries[0].st, out);
  object->next = 1;
  return halyard::RegisterHandle(object);
}

BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA out) {
  auto object = halyard::LookupHandle(hFindFile, KernelObject::Kind::kFind);
  if (!object) return FALSE;
  auto* f = static_cast<halyard::FindObject*>(object.get());
  if (out == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (f->next >= f->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  const halyard::Entry& e = f->entries[f->next++];
  halyard::FillFindData(e.name, e.st, out);
  return TRUE;
}

BOOL FindClose(HANDLE hFindFile) {
  return halyard::ReleaseHandle(hFindFile, KernelObject::Kind::kFind) ? TRUE : FALSE;
}

DWORD GetFileAttributesA(LPCSTR lpFileName) {
  if (lpFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  struct stat st;
  std::string host = halyard::MapWinPath(lpFileName);
  if (::stat(host.c_str(), &st) != 0) {
    halyard::SetLastErrorForPath(host.c_str());
    return INVALID_FILE_ATTRIBUTES;
  }
  std::string name = lpFileName;
  std::size_t cut = name.find_last_of("\\/");
  if (cut != std::string::npos) name = name.substr(cut + 1);
  return halyard::AttributesOf(st, name);
}

BOOL GetFileAttributesExA(LPCSTR lpFileName, GET_FILEEX_INFO_LEVELS level, LPVOID info) {
  if (lpFileName == nullptr || info == nullptr || level != GetFileExInfoStandard) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct stat st;
  std::string host = halyard::MapWinPath(lpFileName);
  if (::stat(host.c_str(), &st) != 0) {
    halyard::SetLastErrorForPath(host.c_str());
    return FALSE;
  }
  std::string name = lpFileName;
  std::size_t cut = name.find_last_of("\\/");
  if (cut != std::string::npos) name = name.substr(cut + 1);
  WIN32_FIND_DATAA fd;
  halyard::FillFindData("", st, &fd);
  auto* out = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(info);
  out->dwFileAttributes = halyard::AttributesOf(st, name);
  out->ftCreationTime = fd.ftCreationTime;
  out->ftLastAccessTime = fd.ftLastAccessTime;
  out->ftLastWriteTime = fd.ftLastWriteTime;
  out->nFileSizeHigh = fd.nFileSizeHigh;
  out->nFileSizeLow = fd.nFileSizeLow;
  return TRUE;
}
