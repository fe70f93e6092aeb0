#include "user_agent.h"

#include <cstdio>
#include <mutex>

#include "config_store.h"
#include "platform/kernel/text.h"
#include "platform/kernel/win_system.h"

namespace siteglean {
namespace {

std::string LowerComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return {};
  std::string out(name, size);
  halyard::MakeAsciiLower(out);
  return out;
}

std::once_flag gOnce;
std::string gAgent, gToken;

void ComputeOnce() {
  std::string name = LowerComputerName();
  std::string configured;
  if (!name.empty()) configured = ConfigStore().String(kSetUserAgent);
  gAgent = UserAgentText(name, configured);
  gToken = AgentToken(name);
}

}  // namespace

std::string InstallationToken(std::string_view name) {
  std::string token;
  if (name.empty()) return token;
  unsigned char n = static_cast<unsigned char>(name.size());
  for (unsigned j = 0; j < 11; ++j) {
    unsigned char a = static_cast<unsigned char>(name[j % name.size()]);
    unsigned char jj = static_cast<unsigned char>(j);
    unsigned char v = static_cast<unsigned char>(jj + a + n);
    if (v > 'z') v = static_cast<unsigned char>(a + n - jj);
    if (v > 'z') v = static_cast<unsigned char>(a - n - jj);
    token.push_back(static_cast<char>(v));
  }
  return token;
}

std::string UserAgentText(std::string_view name, std::string_view configured) {
  char comment[256];
  std::snprintf(comment, sizeof comment, "(end-user robot-please see %s for more info)",
                kRobotInfoUrl);
  std::string out;
  char buf[512];
  if (!name.empty() && !configured.empty()) {
    std::snprintf(buf, sizeof buf, "%s %.*s", "User-Agent:", static_cast<int>(configured.size()),
                  configured.data());
  } else if (!name.empty()) {
    std::snprintf(buf, sizeof buf, "%s %s/%s %s", "User-Agent:", kRobotName,
                  InstallationToken(name).c_str(), comment);
  } else {
    std::snprintf(buf, sizeof buf, "%s %s/ %s", "User-Agent:", kRobotName, comment);
  }
  out = buf;
  return out;
}

std::string AgentToken(std::string_view name) {
  if (name.empty()) return kRobotName;
  return std::string(kRobotName) + "/" + InstallationToken(name);
}

const std::string& ProcessUserAgent() {
  std::call_once(gOnce, ComputeOnce);
  return gAgent;
}

const std::string& ProcessAgentToken() {
  std::call_once(gOnce, ComputeOnce);
  return gToken;
}

}  // namespace siteglean
