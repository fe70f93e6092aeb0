#include "view_settings.h"

#include <cstdio>

#include "platform/registry/win_reg.h"

const char* ViewSettings::KeyPath() {
  static char path[64] = {0};
  if (!path[0])
    std::snprintf(path, sizeof path, "Software\\%s\\%s\\%s", "Quillmarks", "Halyard", "3.0");
  return path;
}

namespace {
bool ReadDword(HKEY key, const char* name, DWORD* out) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
      ERROR_SUCCESS)
    return false;
  if (type != REG_DWORD || size != sizeof value) return false;
  *out = value;
  return true;
}
}  // namespace

BOOL ViewSettings::Read() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                      &key, &disposition) != ERROR_SUCCESS)
    return FALSE;
  DWORD v = 0;
  // A ratio outside 0..100 would put the splitter outside the view.
  if (ReadDword(key, "OutfoldHorzRatio", &v) && v <= 100) ratio = v;
  for (int i = 0; i < kColumns; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Field %d", i + 1);
    if (ReadDword(key, name, &v) && v <= 32767) fields[i] = v;
  }
  RegCloseKey(key);
  return TRUE;
}

BOOL ViewSettings::Write() const {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      &disposition) != ERROR_SUCCESS)
    return FALSE;
  bool ok = RegSetValueExA(key, "OutfoldHorzRatio", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&ratio), sizeof ratio) == ERROR_SUCCESS;
  for (int i = 0; i < kColumns; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Field %d", i + 1);
    ok &= RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&fields[i]),
                         sizeof fields[i]) == ERROR_SUCCESS;
  }
  RegCloseKey(key);
  return ok ? TRUE : FALSE;
}
