// The robots exclusion rules of one site: the records of a "robots.txt" file (agent names and
// disallowed URL prefixes), the record chosen for this robot's agent token (or the "*" record),
// and the test whether a URL may be fetched. Owned by the crawler; used on its worker thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace siteglean {

class RobotsRules {
 public:
  static constexpr int kOk = 0;
  static constexpr int kBadOrder = -2;  // a value or "Disallow:" before the first "User-agent:"
  static constexpr int kNoFile = -3;    // the file cannot be opened

  struct Record {
    std::vector<std::string> agents;
    std::vector<std::string> disallowed;  // absolute URL prefixes
  };

  // Reads the file's text; siteUrl is "http://" + host + "/". Chooses the record for the
  // agent token. Returns kOk or kBadOrder; after an error nothing is chosen.
  int Parse(std::string_view text, std::string_view siteUrl, std::string_view agentToken);
  // The same for a file on disk (a host path); kNoFile when it cannot be read.
  int ParseFile(const std::string& hostPath, std::string_view siteUrl, std::string_view agentToken);

  // Switches the parsed rules on or off.
  void SetInForce(bool on) { inForce_ = on; }
  bool InForce() const { return inForce_; }

  // True when the rules are off, no record was chosen, or no disallowed prefix of the chosen
  // record starts the URL (compared without regard to case).
  bool Allowed(std::string_view url) const;

  const std::vector<Record>& Records() const { return records_; }
  const Record* Chosen() const { return chosen_ < 0 ? nullptr : &records_[chosen_]; }

  // The words of the file in the order the rules read them.
  static std::vector<std::string> Words(std::string_view text);

 private:
  std::vector<Record> records_;
  int chosen_ = -1;
  bool inForce_ = false;
};

}  // namespace siteglean
