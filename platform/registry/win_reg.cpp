#include "win_reg.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "registry_store.h"

namespace halyard::registry {
namespace {

// What a handle names: a key by its path under a root, and the access it was opened with.
// Handles name paths, not tree nodes, because every call may see a newer hive file.
struct OpenKey {
  Root root;
  std::vector<std::string> path;
  REGSAM access;
};

std::mutex& HandleMutex() {
  static auto* m = new std::mutex;
  return *m;
}

std::set<OpenKey*>& Handles() {
  static auto* handles = new std::set<OpenKey*>;
  return *handles;
}

REGSAM Normalize(REGSAM sam) {
  if ((sam & (MAXIMUM_ALLOWED | GENERIC_ALL)) != 0) sam |= KEY_ALL_ACCESS;
  if ((sam & GENERIC_READ) != 0) sam |= KEY_READ;
  if ((sam & GENERIC_WRITE) != 0) sam |= KEY_WRITE;
  return sam;
}

bool WantsWrite(REGSAM sam) { return (sam & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE)) != 0; }

// A copy of what a handle names; predefined roots have every right.
LONG GetKey(HKEY hKey, OpenKey* out) {
  if (hKey == HKEY_CLASSES_ROOT || hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE) {
    out->root = hKey == HKEY_CLASSES_ROOT   ? Root::kClassesRoot
                : hKey == HKEY_CURRENT_USER ? Root::kCurrentUser
                                            : Root::kLocalMachine;
    out->path.clear();
    out->access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  std::lock_guard<std::mutex> lock(HandleMutex());
  auto* key = reinterpret_cast<OpenKey*>(hKey);
  if (hKey == nullptr || Handles().count(key) == 0) return ERROR_INVALID_HANDLE;
  *out = *key;
  return ERROR_SUCCESS;
}

HKEY NewHandle(OpenKey key) {
  auto* k = new OpenKey(std::move(key));
  std::lock_guard<std::mutex> lock(HandleMutex());
  Handles().insert(k);
  return reinterpret_cast<HKEY>(k);
}

// Names are kept one to a line in the hive text, so they cannot hold a line break.
bool Storable(std::string_view name) {
  return name.find_first_of("\r\n") == std::string_view::npos;
}

// Splits "a\b\c" into its names. A trailing backslash is allowed; a leading one or an empty
// name inside is not.
LONG SplitSubKey(LPCSTR subKey, std::vector<std::string>* parts) {
  if (subKey == nullptr || *subKey == '\0') return ERROR_SUCCESS;
  std::string_view s(subKey);
  if (s[0] == '\\') return ERROR_BAD_PATHNAME;
  if (s.back() == '\\') s.remove_suffix(1);
  std::size_t start = 0;
  for (;;) {
    std::size_t sep = s.find('\\', start);
    std::string_view part =
        s.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start);
    if (part.empty()) return ERROR_BAD_PATHNAME;
    if (part.size() > kMaxKeyName || !Storable(part)) return ERROR_INVALID_PARAMETER;
    parts->emplace_back(part);
    if (sep == std::string_view::npos) break;
    start = sep + 1;
  }
  return ERROR_SUCCESS;
}

LONG FullPath(const OpenKey& base, LPCSTR subKey, std::vector<std::string>* path) {
  *path = base.path;
  std::vector<std::string> parts;
  LONG r = SplitSubKey(subKey, &parts);
  if (r != ERROR_SUCCESS) return r;
  path->insert(path->end(), parts.begin(), parts.end());
  if (path->size() > kMaxDepth) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

std::string ValueName(LPCSTR name) { return name != nullptr ? name : ""; }

// Copies a name into a caller's buffer of *size characters (with the NUL).
LONG CopyName(const std::string& name, LPSTR out, LPDWORD size) {
  if (name.size() + 1 > *size) return ERROR_MORE_DATA;
  std::memcpy(out, name.c_str(), name.size() + 1);
  *size = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// Hands out a value's type and data by the rules of RegQueryValueEx.
LONG CopyData(const RegValue& v, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (type != nullptr) *type = v.type;
  if (size == nullptr) return ERROR_SUCCESS;
  DWORD need = static_cast<DWORD>(v.data.size());
  if (data != nullptr) {
    if (*size < need) {
      *size = need;
      return ERROR_MORE_DATA;
    }
    if (need > 0) std::memcpy(data, v.data.data(), need);
  }
  *size = need;
  return ERROR_SUCCESS;
}

FILETIME StampTime(const FileStamp& stamp) {
  if (stamp.mtimeNs == 0) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return now;
  }
  return FileTimeFromU64(kFileTimeUnixEpoch + static_cast<ULONGLONG>(stamp.mtimeNs / 100));
}

LONG DeleteKeyImpl(HKEY hKey, LPCSTR lpSubKey, bool tree) {
  OpenKey base;
  LONG r = GetKey(hKey, &base);
  if (r != ERROR_SUCCESS) return r;
  if (!WantsWrite(base.access)) return ERROR_ACCESS_DENIED;
  std::vector<std::string> path;
  if ((r = FullPath(base, lpSubKey, &path)) != ERROR_SUCCESS) return r;
  bool wholeKey = lpSubKey != nullptr || !tree;
  if (wholeKey && path.empty()) return ERROR_ACCESS_DENIED;  // Roots are never deleted.
  return ChangeHive(base.root, [&](KeyNode& t, bool* changed) -> LONG {
    if (FindKey(t, base.path) == nullptr) return ERROR_KEY_DELETED;
    KeyNode* target = FindKey(t, path);
    if (target == nullptr) return ERROR_FILE_NOT_FOUND;
    if (!wholeKey) {
      // RegDeleteTree with no subkey empties the key itself.
      std::vector<std::string> names;
      for (const auto& [k, child] : target->children()) names.push_back(child->name());
      for (const std::string& n : names) target->RemoveChild(n);
      *changed = !names.empty() || !target->values().empty();
      target->ClearValues();
      return ERROR_SUCCESS;
    }
    if (!tree && !target->children().empty()) return ERROR_ACCESS_DENIED;
    std::vector<std::string> parentPath(path.begin(), path.end() - 1);
    FindKey(t, parentPath)->RemoveChild(path.back());
    *changed = true;
    return ERROR_SUCCESS;
  });
}

}  // namespace
}  // namespace halyard::registry

using namespace halyard::registry;

LSTATUS RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                        const SECURITY_ATTRIBUTES*, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  OpenKey base;
  LONG r = GetKey(hKey, &base);
  if (r != ERROR_SUCCESS) return r;
  std::vector<std::string> path;
  if ((r = FullPath(base, lpSubKey, &path)) != ERROR_SUCCESS) return r;
  REGSAM sam = Normalize(samDesired);

  bool exists = false;
  r = ReadHive(base.root, [&](const KeyNode& t, const FileStamp&) -> LONG {
    if (FindKey(t, base.path) == nullptr) return ERROR_KEY_DELETED;
    exists = FindKey(t, path) != nullptr;
    return ERROR_SUCCESS;
  });
  if (r != ERROR_SUCCESS) return r;
  DWORD disposition = REG_OPENED_EXISTING_KEY;
  if (!exists) {
    if ((base.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    r = ChangeHive(base.root, [&](KeyNode& t, bool* changed) -> LONG {
      KeyNode* node = FindKey(t, base.path);
      if (node == nullptr) return ERROR_KEY_DELETED;
      for (std::size_t i = base.path.size(); i < path.size(); ++i) {
        bool created = false;
        node = node->AddChild(path[i], &created);
        if (created) {
          *changed = true;
          disposition = REG_CREATED_NEW_KEY;
        }
      }
      return ERROR_SUCCESS;
    });
    if (r != ERROR_SUCCESS) return r;
  } else if (WantsWrite(sam)) {
    if ((r = CheckHiveWritable(base.root)) != ERROR_SUCCESS) return ERROR_ACCESS_DENIED;
  }
  *phkResult = NewHandle(OpenKey{base.root, std::move(path), sam});
  if (lpdwDisposition != nullptr) *lpdwDisposition = disposition;
  return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  OpenKey base;
  LONG r = GetKey(hKey, &base);
  if (r != ERROR_SUCCESS) return r;
  std::vector<std::string> path;
  if ((r = FullPath(base, lpSubKey, &path)) != ERROR_SUCCESS) return r;
  r = ReadHive(base.root, [&](const KeyNode& t, const FileStamp&) -> LONG {
    if (FindKey(t, base.path) == nullptr) return ERROR_KEY_DELETED;
    return FindKey(t, path) != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
  if (r != ERROR_SUCCESS) return r;
  REGSAM sam = Normalize(samDesired);
  if (WantsWrite(sam) && CheckHiveWritable(base.root) != ERROR_SUCCESS) return ERROR_ACCESS_DENIED;
  *phkResult = NewHandle(OpenKey{base.root, std::move(path), sam});
  return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  return RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                         nullptr, phkResult, nullptr);
}

LSTATUS RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  return RegOpenKeyExA(hKey, lpSubKey, 0, KEY_ALL_ACCESS, phkResult);
}

LSTATUS RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_CLASSES_ROOT || hKey == HKEY_CURRENT_USER || hKey == HKEY_LOCAL_MACHINE)
    return ERROR_SUCCESS;
  OpenKey* key = reinterpret_cast<OpenKey*>(hKey);
  {
    std::lock_guard<std::mutex> lock(HandleMutex());
    if (hKey == nullptr || Handles().erase(key) == 0) return ERROR_INVALID_HANDLE;
  }
  delete key;
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                       DWORD cbData) {
  OpenKey key;
  LONG r = GetKey(hKey, &key);
  if (r != ERROR_SUCCESS) return r;
  if ((key.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (lpData == nullptr && cbData > 0) return ERROR_NOACCESS;
  std::string name = ValueName(lpValueName);
  if (name.size() > kMaxValueName || !Storable(name)) return ERROR_INVALID_PARAMETER;
  std::string data(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
  return ChangeHive(key.root, [&](KeyNode& t, bool* changed) -> LONG {
    KeyNode* node = FindKey(t, key.path);
    if (node == nullptr) return ERROR_KEY_DELETED;
    const RegValue* old = node->FindValue(name);
    if (old != nullptr && old->type == dwType && old->data == data) return ERROR_SUCCESS;
    node->SetValue(name, dwType, data);
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
  OpenKey key;
  LONG r = GetKey(hKey, &key);
  if (r != ERROR_SUCCESS) return r;
  if ((key.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (lpData != nullptr && lpcbData == nullptr) return ERROR_INVALID_PARAMETER;
  std::string name = ValueName(lpValueName);
  return ReadHive(key.root, [&](const KeyNode& t, const FileStamp&) -> LONG {
    const KeyNode* node = FindKey(t, key.path);
    if (node == nullptr) return ERROR_KEY_DELETED;
    const RegValue* v = node->FindValue(name);
    if (v == nullptr) return ERROR_FILE_NOT_FOUND;
    return CopyData(*v, lpType, lpData, lpcbData);
  });
}

LSTATUS RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  OpenKey key;
  LONG r = GetKey(hKey, &key);
  if (r != ERROR_SUCCESS) return r;
  if ((key.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  std::string name = ValueName(lpValueName);
  return ChangeHive(key.root, [&](KeyNode& t, bool* changed) -> LONG {
    KeyNode* node = FindKey(t, key.path);
    if (node == nullptr) return ERROR_KEY_DELETED;
    if (!node->DeleteValue(name)) return ERROR_FILE_NOT_FOUND;
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  return DeleteKeyImpl(hKey, lpSubKey, false);
}

LSTATUS RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) { return DeleteKeyImpl(hKey, lpSubKey, true); }

LSTATUS RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD,
                      LPSTR lpClass, LPDWORD lpcchClass, FILETIME* lpftLastWriteTime) {
  OpenKey key;
  LONG r = GetKey(hKey, &key);
  if (r != ERROR_SUCCESS) return r;
  if ((key.access & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
  if (lpName == nullptr || lpcchName == nullptr) return ERROR_INVALID_PARAMETER;
  return ReadHive(key.root, [&](const KeyNode& t, const FileStamp& stamp) -> LONG {
    const KeyNode* node = FindKey(t, key.path);
    if (node == nullptr) return ERROR_KEY_DELETED;
    if (dwIndex >= node->children().size()) return ERROR_NO_MORE_ITEMS;
    auto it = node->children().begin();
    std::advance(it, dwIndex);
    LONG cr = CopyName(it->second->name(), lpName, lpcchName);
    if (cr != ERROR_SUCCESS) return cr;
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0) *lpClass = '\0';
    if (lpcchClass != nullptr) *lpcchClass = 0;
    if (lpftLastWriteTime != nullptr) *lpftLastWriteTime = StampTime(stamp);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  OpenKey key;
  LONG r = GetKey(hKey, &key);
  if (r != ERROR_SUCCESS) return r;
  if ((key.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (lpValueName == nullptr || lpcchValueName == nullptr) return ERROR_INVALID_PARAMETER;
  if (lpData != nullptr && lpcbData == nullptr) return ERROR_INVALID_PARAMETER;
  return ReadHive(key.root, [&](const KeyNode& t, const FileStamp&) -> LONG {
    const KeyNode* node = FindKey(t, key.path);
    if (node == nullptr) return ERROR_KEY_DELETED;
    if (dwIndex >= node->values().size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& v = node->values()[dwIndex];
    if (v.name.size() + 1 > *lpcchValueName) return ERROR_MORE_DATA;
    if (lpData != nullptr && *lpcbData < v.data.size()) {
      *lpcbData = static_cast<DWORD>(v.data.size());
      return ERROR_MORE_DATA;
    }
    CopyName(v.name, lpValueName, lpcchValueName);
    return CopyData(v, lpType, lpData, lpcbData);
  });
}

LSTATUS RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                         LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                         LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                         LPDWORD lpcbSecurityDescriptor, FILETIME* lpftLastWriteTime) {
  OpenKey key;
  LONG r = GetKey(hKey, &key);
  if (r != ERROR_SUCCESS) return r;
  if ((key.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  return ReadHive(key.root, [&](const KeyNode& t, const FileStamp& stamp) -> LONG {
    const KeyNode* node = FindKey(t, key.path);
    if (node == nullptr) return ERROR_KEY_DELETED;
    DWORD maxKey = 0, maxName = 0, maxData = 0;
    for (const auto& [k, child] : node->children())
      maxKey = std::max<DWORD>(maxKey, static_cast<DWORD>(child->name().size()));
    for (const RegValue& v : node->values()) {
      maxName = std::max<DWORD>(maxName, static_cast<DWORD>(v.name.size()));
      maxData = std::max<DWORD>(maxData, static_cast<DWORD>(v.data.size()));
    }
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0) *lpClass = '\0';
    if (lpcchClass != nullptr) *lpcchClass = 0;
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(node->children().size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxKey;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(node->values().size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = StampTime(stamp);
    return ERROR_SUCCESS;
  });
}

LSTATUS RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType, LPCSTR lpData, DWORD) {
  if (dwType != REG_SZ) return ERROR_INVALID_PARAMETER;
  if (lpData == nullptr) return ERROR_INVALID_PARAMETER;
  HKEY sub = nullptr;
  LONG r = RegCreateKeyExA(hKey, lpSubKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &sub, nullptr);
  if (r != ERROR_SUCCESS) return r;
  r = RegSetValueExA(sub, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpData),
                     static_cast<DWORD>(std::strlen(lpData) + 1));
  RegCloseKey(sub);
  return r;
}

LSTATUS RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData, LONG* lpcbData) {
  HKEY sub = nullptr;
  LONG r = RegOpenKeyExA(hKey, lpSubKey, 0, KEY_QUERY_VALUE, &sub);
  if (r != ERROR_SUCCESS) return r;
  DWORD type = 0;
  DWORD size = lpcbData != nullptr ? static_cast<DWORD>(*lpcbData) : 0;
  r = RegQueryValueExA(sub, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(lpData),
                       lpcbData != nullptr ? &size : nullptr);
  RegCloseKey(sub);
  if (r == ERROR_FILE_NOT_FOUND) {
    // A key without a default value reads as an empty text.
    if (lpData != nullptr && lpcbData != nullptr && *lpcbData > 0) *lpData = '\0';
    if (lpcbData != nullptr) *lpcbData = 1;
    return ERROR_SUCCESS;
  }
  if (lpcbData != nullptr) *lpcbData = static_cast<LONG>(size);
  return r;
}
