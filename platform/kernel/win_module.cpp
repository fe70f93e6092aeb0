#include "win_module.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ordinal_exports.h"
#include "text.h"
#include "win_error.h"
#include "win_path.h"

namespace halyard {
namespace {

struct Loaded {
  void* handle = nullptr;  // from dlopen
  int references = 0;
};

std::mutex& LoaderMutex() {
  static std::mutex mu;
  return mu;
}

// Modules loaded through LoadLibraryA, by the address where each starts.
std::map<const void*, Loaded>& LoadedModules() {
  static std::map<const void*, Loaded> modules;
  return modules;
}

// Where the object that holds the address starts, or null.
const void* ModuleStartOf(const void* address) {
  Dl_info info;
  if (address == nullptr || dladdr(address, &info) == 0) return nullptr;
  return info.dli_fbase;
}

// Where a dlopen handle's object starts: its dynamic section lies inside it.
const void* ModuleStartOfHandle(void* handle) {
  struct link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return nullptr;
  return ModuleStartOf(map->l_ld);
}

const void* ProgramStart() {
  static const void* start = [] {
    void* self = dlopen(nullptr, RTLD_NOW);
    const void* s = self ? ModuleStartOfHandle(self) : nullptr;
    if (self) dlclose(self);
    return s;
  }();
  return start;
}

std::string ProgramPath() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

std::string FolderOf(const std::string& path) {
  std::size_t cut = path.find_last_of('/');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// The file names tried for a Windows library name: as given (".dll" added when it has no
// extension), then the host's "lib<base>.so" form, then the versioned "lib<base>.so.<ABI>" that
// a runtime-only install carries without the development link.
std::vector<std::string> FileForms(std::string file) {
  std::size_t dot = file.rfind('.');
  if (dot == std::string::npos) {
    file += ".dll";
    dot = file.rfind('.');
  } else if (dot + 1 == file.size()) {
    file.pop_back();  // a trailing dot: the name has no extension
    dot = std::string::npos;
  }
  std::string base = dot == std::string::npos ? file : file.substr(0, dot);
  std::vector<std::string> forms{file};
  if (!base.empty()) {
    std::string host = "lib" + AsciiLowerCopy(base) + ".so";
    if (host != file) forms.push_back(host);
    forms.push_back(host + "." HALYARD_SOVERSION_TEXT);
  }
  return forms;
}

// A dlopen handle for the module; null when the handle names no loaded module. When *owned is
// set the handle holds a reference of its own that the caller drops with dlclose.
void* OpenModule(HMODULE module, const void** start, bool* owned) {
  *owned = true;
  if (module == nullptr) {
    *start = ProgramStart();
    return dlopen(nullptr, RTLD_NOW);
  }
  {
    std::lock_guard<std::mutex> lock(LoaderMutex());
    auto it = LoadedModules().find(module);
    if (it != LoadedModules().end()) {
      *start = module;
      *owned = false;
      return it->second.handle;
    }
  }
  // A library loaded some other way: named by its start, as on Windows.
  Dl_info info;
  if (dladdr(module, &info) == 0 || info.dli_fbase != module || info.dli_fname == nullptr)
    return nullptr;
  *start = module;
  if (module == ProgramStart()) return dlopen(nullptr, RTLD_NOW);
  return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

// A symbol the module itself defines; null for one found only in a library it depends on.
void* OwnSymbol(void* handle, const void* start, const char* name) {
  dlerror();
  void* symbol = dlsym(handle, name);
  if (symbol == nullptr || ModuleStartOf(symbol) != start) return nullptr;
  return symbol;
}

FARPROC ProcByOrdinal(void* handle, const void* start, WORD ordinal) {
  if (ordinal == 0) return nullptr;
  auto* table =
      static_cast<const HalyardOrdinalExport*>(OwnSymbol(handle, start, HALYARD_ORDINAL_TABLE_SYMBOL));
  if (table == nullptr) return nullptr;
  for (const HalyardOrdinalExport* row = table; row->ordinal != 0; ++row) {
    if (row->ordinal != ordinal) continue;
    if (row->proc != nullptr) return row->proc;
    if (row->name == nullptr) return nullptr;
    return reinterpret_cast<FARPROC>(OwnSymbol(handle, start, row->name));
  }
  return nullptr;
}

}  // namespace
}  // namespace halyard

HMODULE LoadLibraryA(LPCSTR lpLibFileName) {
  if (lpLibFileName == nullptr || *lpLibFileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string name = lpLibFileName;
  std::size_t cut = name.find_last_of("\\/");
  bool hasFolder = cut != std::string::npos || (name.size() > 1 && name[1] == ':');
  if (cut == std::string::npos && hasFolder) cut = 1;  // "C:name"
  std::string file = cut == std::string::npos ? name : name.substr(cut + 1);
  if (file.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::vector<std::string> forms = halyard::FileForms(file);

  // The places to try: a named folder only, or the system search and then the program's
  // own folders.
  std::vector<std::string> candidates;
  if (hasFolder) {
    std::string folder = halyard::MapWinPath(name.substr(0, cut + 1));
    if (!folder.empty() && folder.back() != '/') folder += '/';
    for (const std::string& f : forms) candidates.push_back(folder + f);
  } else {
    for (const std::string& f : forms) candidates.push_back(f);
    std::string programFolder = halyard::FolderOf(halyard::ProgramPath());
    if (!programFolder.empty()) {
      for (const char* sub : {"/", "/../lib/"})
        for (const std::string& f : forms) candidates.push_back(programFolder + sub + f);
    }
  }

  bool foundUnloadable = false;
  for (const std::string& candidate : candidates) {
    void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      struct stat st;
      if (candidate.find('/') != std::string::npos && ::stat(candidate.c_str(), &st) == 0 &&
          S_ISREG(st.st_mode))
        foundUnloadable = true;
      continue;
    }
    const void* start = halyard::ModuleStartOfHandle(handle);
    if (start == nullptr) {
      dlclose(handle);
      continue;
    }
    std::lock_guard<std::mutex> lock(halyard::LoaderMutex());
    halyard::Loaded& entry = halyard::LoadedModules()[start];
    // dlopen counts its own references; each of ours holds one of them.
    entry.handle = handle;
    ++entry.references;
    return start;
  }
  SetLastError(foundUnloadable ? ERROR_BAD_EXE_FORMAT : ERROR_MOD_NOT_FOUND);
  return nullptr;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  const void* start = nullptr;
  bool owned = false;
  void* handle = halyard::OpenModule(hModule, &start, &owned);
  if (handle == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  FARPROC proc = nullptr;
  if (IS_INTRESOURCE(lpProcName)) {
    proc = halyard::ProcByOrdinal(handle, start,
                                  static_cast<WORD>(reinterpret_cast<ULONG_PTR>(lpProcName)));
  } else if (*lpProcName != '\0') {
    proc = reinterpret_cast<FARPROC>(halyard::OwnSymbol(handle, start, lpProcName));
  }
  if (owned) dlclose(handle);
  if (proc == nullptr) SetLastError(ERROR_PROC_NOT_FOUND);
  return proc;
}

BOOL FreeLibrary(HMODULE hLibModule) {
  void* handle = nullptr;
  {
    std::lock_guard<std::mutex> lock(halyard::LoaderMutex());
    auto& modules = halyard::LoadedModules();
    auto it = modules.find(hLibModule);
    if (hLibModule == nullptr || it == modules.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    handle = it->second.handle;
    if (--it->second.references == 0) modules.erase(it);
  }
  dlclose(handle);
  return TRUE;
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  std::string host;
  if (hModule == nullptr || hModule == halyard::ProgramStart()) {
    host = halyard::ProgramPath();
  } else {
    Dl_info info;
    if (dladdr(hModule, &info) != 0 && info.dli_fbase == hModule && info.dli_fname != nullptr) {
      char resolved[PATH_MAX];
      host = ::realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname;
    }
  }
  if (host.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  std::string win = halyard::WinNameOfHostPath(host);
  if (lpFilename == nullptr || nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (win.size() + 1 > nSize) {
    std::memcpy(lpFilename, win.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  std::memcpy(lpFilename, win.c_str(), win.size() + 1);
  return static_cast<DWORD>(win.size());
}
