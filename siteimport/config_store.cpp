#include "config_store.h"

#include "platform/kernel/text.h"
#include "platform/kernel/win_system.h"
#include "platform/registry/profile.h"

namespace siteglean {
namespace {

enum Kind { kInt, kString, kList };

struct Setting {
  Kind kind;
  const char* section;
  const char* key;
  const char* textDefault;
  int intDefault;
};

// In id order.
constexpr Setting kSettings[kSettingCount] = {
    {kInt, "Compatability", "ForceDOSNaming", nullptr, 0},
    {kString, "Cache", "CacheDirectory", "%TEMPDIR%", 0},
    {kString, "GENERAL", "version", "1.0", 0},
    {kInt, "HTTP", "enabled", nullptr, 0},
    {kInt, "HTTP", "num_entries", nullptr, 0},
    {kList, "HTTP", "http", nullptr, 0},
    {kInt, "BYPASS LIST", "enabled", nullptr, 0},
    {kInt, "BYPASS LIST", "num_entries", nullptr, 0},
    {kList, "BYPASS LIST", "bypass", nullptr, 0},
    {kString, "Legs", "LegsUserAgent", "", 0},
    {kString, "Legs", "AuthType", "BASIC", 0},
    {kInt, "Legs", "AuthEnabled", nullptr, 0},
    {kInt, "Legs", "EnableAuthPrompt", nullptr, 0},
    {kList, "Legs", "ServerRealm", "", 0},
    {kList, "Legs", "RealmUsrPwd", "", 0},
    {kInt, "Legs", "ThreadingEnabled", nullptr, 1},
};

std::string Read(const char* section, const char* key, const char* dflt) {
  char buf[1024];
  GetPrivateProfileStringA(section, key, dflt ? dflt : "", buf, sizeof buf, ConfigStore::kFileName);
  return buf;
}

std::string TempDir() {
  char buf[512];
  DWORD n = GetTempPathA(sizeof buf, buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

}  // namespace

int ConfigStore::Int(SettingId id) const {
  if (id < 0 || id >= kSettingCount || kSettings[id].kind != kInt) return 0;
  const Setting& s = kSettings[id];
  return static_cast<int>(GetPrivateProfileIntA(s.section, s.key, s.intDefault, kFileName));
}

std::string ConfigStore::String(SettingId id) const {
  if (id < 0 || id >= kSettingCount || kSettings[id].kind != kString) return {};
  const Setting& s = kSettings[id];
  std::string v = Read(s.section, s.key, s.textDefault);
  if (halyard::EqualsNoCaseAscii(v, "%TEMPDIR%")) return TempDir();
  return v;
}

std::vector<std::string> ConfigStore::List(SettingId id) const {
  std::vector<std::string> out;
  if (id < 0 || id >= kSettingCount || kSettings[id].kind != kList) return out;
  const Setting& s = kSettings[id];
  // Entries are the key followed by 0, 1, 2, ...; an empty value ends the list.
  for (int i = 0; i < 10000; ++i) {
    std::string key = std::string(s.key) + std::to_string(i);
    std::string v = Read(s.section, key.c_str(), "");
    if (v.empty()) break;
    out.push_back(v);
  }
  return out;
}

}  // namespace siteglean
