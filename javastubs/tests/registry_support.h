// A temporary registry for the compiler's tests, and reading back what registration wrote
// under HKEY_CLASSES_ROOT. Uses the platform only, so that the tests that load the built
// library can share it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry/win_reg.h"

namespace quarb::test {

// Points HALYARD_REGISTRY at a new empty folder for the life of the object.
class TempRegistry {
 public:
  TempRegistry() {
    char tmpl[] = "/tmp/quarb-registry-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) ADD_FAILURE() << "no temporary folder";
    dir_ = tmpl;
    setenv("HALYARD_REGISTRY", dir_.c_str(), 1);
  }
  ~TempRegistry() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& Dir() const { return dir_; }

 private:
  std::string dir_;
};

inline bool KeyExists(const std::string& key) {
  HKEY h = nullptr;
  if (RegOpenKeyA(HKEY_CLASSES_ROOT, key.c_str(), &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

// A text value of a key under HKEY_CLASSES_ROOT (the default one when name is null), or
// "(missing)".
inline std::string Value(const std::string& key, const char* name = nullptr) {
  HKEY h = nullptr;
  if (RegOpenKeyA(HKEY_CLASSES_ROOT, key.c_str(), &h) != ERROR_SUCCESS) return "(missing)";
  char buf[1024];
  DWORD size = sizeof buf;
  DWORD type = 0;
  LSTATUS st = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(h);
  if (st != ERROR_SUCCESS || type != REG_SZ) return "(missing)";
  std::string text(buf, size);
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

// The names of the subkeys of a key under HKEY_CLASSES_ROOT, in the registry's order.
inline std::vector<std::string> Subkeys(const std::string& key) {
  std::vector<std::string> names;
  HKEY h = nullptr;
  if (RegOpenKeyA(HKEY_CLASSES_ROOT, key.c_str(), &h) != ERROR_SUCCESS) return names;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(h, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  RegCloseKey(h);
  return names;
}

inline constexpr char kClassKey[] = "CLSID\\{3C7A51D2-6E04-4B9F-8A21-5D0E93C4B716}";
inline constexpr char kProgIdKey[] = "QuarbCompiler.Compiler.1";

// What registration writes for the compiler class: a creatable class served in process by
// modulePath, without the "Control" key and without anything that offers it as a control.
inline void ExpectRegistration(const std::string& modulePath) {
  const std::string cls = kClassKey;
  EXPECT_EQ(Value(kProgIdKey), "QUARB Compiler");
  EXPECT_EQ(Value(std::string(kProgIdKey) + "\\CLSID"), "{3C7A51D2-6E04-4B9F-8A21-5D0E93C4B716}");
  EXPECT_FALSE(KeyExists(std::string(kProgIdKey) + "\\Insertable"));
  EXPECT_EQ(Value(cls), "QUARB Compiler");
  EXPECT_EQ(Value(cls + "\\ProgID"), kProgIdKey);
  EXPECT_EQ(Value(cls + "\\InprocServer32"), modulePath);
  EXPECT_EQ(Value(cls + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(Value(cls + "\\MiscStatus"), "0");
  EXPECT_EQ(Value(cls + "\\MiscStatus\\1"), "0");
  EXPECT_EQ(Value(cls + "\\TypeLib"), "{00000000-0000-0000-0000-000000000000}");
  EXPECT_EQ(Value(cls + "\\Version"), "1.0");
  EXPECT_FALSE(KeyExists(cls + "\\Control"));
  std::vector<std::string> keys = Subkeys(cls);
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::string>{"InprocServer32", "MiscStatus", "ProgID", "TypeLib",
                                            "Version"}));
}

}  // namespace quarb::test
