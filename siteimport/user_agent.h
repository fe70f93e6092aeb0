// The robot's User-Agent text and the agent token by which it picks its record of a robots
// exclusion file, both derived from the computer name. Computed once per process (on first
// use, by the exploring thread) and reused.
#pragma once

#include <string>
#include <string_view>

namespace siteglean {

constexpr const char* kRobotName = "Kestrova_Pathscout";
constexpr const char* kRobotInfoUrl = "http://www.halyard-components.example/robot.html";

// The 11-character installation token of a computer name (lower case).
std::string InstallationToken(std::string_view computerName);

// The text for a computer name (empty: none could be read) and a configured replacement.
std::string UserAgentText(std::string_view computerName, std::string_view configured);
std::string AgentToken(std::string_view computerName);

// The process's values: the computer name from the system, setting 9 from the settings.
const std::string& ProcessUserAgent();
const std::string& ProcessAgentToken();

}  // namespace siteglean
