// The robot's settings: sixteen numbered settings read on demand from the profile file
// "kvproxy.ini" (looked up by the profile functions, so in HALYARD_WINDIR). Values are read
// each time they are asked for; callers cache what the robot computes once per process.
// Any thread may read settings.
#pragma once

#include "platform/kernel/export.h"

#include <string>
#include <vector>

namespace siteglean {

enum SettingId : int {
  kSetForceDosNaming = 0,
  kSetCacheDirectory = 1,
  kSetVersion = 2,
  kSetProxyEnabled = 3,
  kSetProxyCount = 4,
  kSetProxyList = 5,
  kSetBypassEnabled = 6,
  kSetBypassCount = 7,
  kSetBypassList = 8,
  kSetUserAgent = 9,
  kSetAuthType = 10,
  kSetAuthEnabled = 11,
  kSetAuthPrompt = 12,
  kSetServerRealm = 13,
  kSetRealmUserPassword = 14,
  kSetThreading = 15,
  kSettingCount = 16,
};

class ConfigStore {
 public:
  static constexpr const char* kFileName = "kvproxy.ini";

  // An integer setting (its default when absent).
  int Int(SettingId id) const;
  // A string setting; "%TEMPDIR%" (in any case) stands for the system's temporary folder.
  std::string String(SettingId id) const;
  // A list setting: the key followed by 0, 1, 2, ... until an empty value.
  std::vector<std::string> List(SettingId id) const;
};

}  // namespace siteglean
