#include "cr_registry.h"

#include <cstring>
#include <vector>

#include "platform/kernel/win_error.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_string.h"

namespace {

HKEY Hive(int setting) {
  switch (setting) {
    case 0:
      return HKEY_LOCAL_MACHINE;
    case 1:
      return HKEY_CURRENT_USER;
    default:
      return nullptr;
  }
}

HKEY CreateKey(int setting, const char* subKey) {
  HKEY hive = Hive(setting);
  if (hive == nullptr || subKey == nullptr) return nullptr;
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(hive, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &key, &disposition) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

// Reads a string value into out (size bytes, terminated within them). A value longer than
// the room is cut rather than reported missing, so that it is never overwritten by a
// fallback. Returns the status and sets type.
LSTATUS QueryText(HKEY key, const char* name, char* out, DWORD size, DWORD* type) {
  DWORD got = size;
  LSTATUS rc = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(out), &got);
  if (rc == ERROR_MORE_DATA) {
    std::vector<BYTE> all(got);
    DWORD n = got;
    rc = RegQueryValueExA(key, name, nullptr, type, all.data(), &n);
    if (rc != ERROR_SUCCESS) return rc;
    got = n < size ? n : size;
    std::memcpy(out, all.data(), got);
  }
  if (rc != ERROR_SUCCESS) return rc;
  if (size > 0) out[got < size ? got : size - 1] = 0;
  return ERROR_SUCCESS;
}

LSTATUS QueryLong(HKEY key, const char* name, LONG* out, DWORD* type) {
  DWORD value = 0;
  DWORD size = sizeof value;
  LSTATUS rc = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(&value), &size);
  if (rc == ERROR_SUCCESS && *type == REG_DWORD && size == 4) *out = static_cast<LONG>(value);
  if (rc == ERROR_SUCCESS && size != 4) *type = REG_NONE;
  return rc;
}

int SetText(HKEY key, const char* name, const char* text) {
  if (key == nullptr || text == nullptr) return 0;
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS
             ? 1
             : 0;
}

int SetLong(HKEY key, const char* name, LONG value) {
  if (key == nullptr) return 0;
  DWORD v = static_cast<DWORD>(value);
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v) ==
                 ERROR_SUCCESS
             ? 1
             : 0;
}

// Only a value that is not there is replaced by a fallback; one that exists is kept.
bool Missing(LSTATUS rc) { return rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA; }

}  // namespace

CRRegistry::CRRegistry(CRRegistrySetting setting, const char* subKey)
    : mKey(CreateKey(setting, subKey)) {}

CRRegistry::~CRRegistry() {
  if (mKey != nullptr) RegCloseKey(mKey);
}

int CRRegistry::mWriteString(const char* name, const CPDString& text) {
  return SetText(mKey, name, static_cast<char*>(text));
}

int CRRegistry::mWriteLong(const char* name, const CPDLong& value) {
  return SetLong(mKey, name, value.mGetValue());
}

int CRRegistry::mReadString(const char* name, CPDString& out, const CPDString* fallback) {
  if (mKey == nullptr) return 0;
  char text[256];
  DWORD type = REG_NONE;
  LSTATUS rc = QueryText(mKey, name, text, 255, &type);
  if (Missing(rc)) {
    if (fallback == nullptr) return 0;
    if (!SetText(mKey, name, static_cast<char*>(*fallback))) return 0;
    rc = QueryText(mKey, name, text, 255, &type);
  }
  if (rc != ERROR_SUCCESS) return 0;
  text[255] = 0;
  if (type != REG_SZ) return 0;
  // The text area takes up to 255 characters; the guard byte is the value's own.
  out.mClear();
  out.mConcat(text, 0);
  return 1;
}

int CRRegistry::mReadLong(const char* name, CPDLong& out, const CPDLong* fallback) {
  if (mKey == nullptr) return 0;
  LONG value = 0;
  DWORD type = REG_NONE;
  LSTATUS rc = QueryLong(mKey, name, &value, &type);
  if (Missing(rc)) {
    if (fallback == nullptr) return 0;
    if (!SetLong(mKey, name, fallback->mGetValue())) return 0;
    rc = QueryLong(mKey, name, &value, &type);
  }
  if (rc != ERROR_SUCCESS || type != REG_DWORD) return 0;
  out = value;
  return 1;
}

int CRRegistry::mDelete(const char* name) {
  if (mKey == nullptr) return 0;
  return RegDeleteValueA(mKey, name) == ERROR_SUCCESS ? 1 : 0;
}

int CRRegistry::mDeleteKey(const char* subKey) {
  if (mKey == nullptr || subKey == nullptr) return 0;
  LSTATUS rc = RegDeleteKeyA(mKey, subKey);
  if (rc == ERROR_SUCCESS) return 1;
  // The system's text for the failure is fetched, as the original does, and not shown.
  char* message = nullptr;
  if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                     static_cast<DWORD>(rc), 0, reinterpret_cast<LPSTR>(&message), 0, nullptr) &&
      message != nullptr) {
    LocalFree(message);
  }
  return 0;
}

CRSimpleRegistry::CRSimpleRegistry(CRRegistrySetting setting, const char* subKey)
    : mKey(CreateKey(setting, subKey)) {
  if (mKey == nullptr && Hive(setting) != nullptr && subKey != nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(Hive(setting), subKey, 0, KEY_READ, &key) == ERROR_SUCCESS) mKey = key;
  }
}

CRSimpleRegistry::~CRSimpleRegistry() {
  if (mKey != nullptr) RegCloseKey(mKey);
}

int CRSimpleRegistry::mWriteString(char* name, char* text) { return SetText(mKey, name, text); }

int CRSimpleRegistry::mWriteLong(char* name, LONG value) { return SetLong(mKey, name, value); }

int CRSimpleRegistry::mReadString(char* name, char* out, unsigned long size, char* fallback) {
  if (mKey == nullptr || out == nullptr || size == 0) return 0;
  DWORD room = size > 0xFFFFFFFFul ? 0xFFFFFFFFu : static_cast<DWORD>(size);
  DWORD type = REG_NONE;
  LSTATUS rc = QueryText(mKey, name, out, room, &type);
  if (Missing(rc)) {
    if (fallback == nullptr) return 0;
    if (!SetText(mKey, name, fallback)) return 0;
    rc = QueryText(mKey, name, out, room, &type);
  }
  return rc == ERROR_SUCCESS && type == REG_SZ ? 1 : 0;
}

int CRSimpleRegistry::mReadLong(char* name, LONG* out, LONG fallback) {
  if (mKey == nullptr || out == nullptr) return 0;
  DWORD type = REG_NONE;
  LSTATUS rc = QueryLong(mKey, name, out, &type);
  if (Missing(rc)) {
    if (!SetLong(mKey, name, fallback)) return 0;
    rc = QueryLong(mKey, name, out, &type);
  }
  return rc == ERROR_SUCCESS && type == REG_DWORD ? 1 : 0;
}
