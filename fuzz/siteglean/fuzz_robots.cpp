// Feeds arbitrary bytes to the robots exclusion parser, then asks the chosen record about a
// few URLs: a parse either fails with its code or leaves rules every URL can be tested with.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "siteimport/robots_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  siteglean::RobotsRules rules;
  int rc = rules.Parse(text, "http://fuzz.example/", "Kestrova_Pathscout/abc");
  if (rc != siteglean::RobotsRules::kOk && rc != siteglean::RobotsRules::kBadOrder) std::abort();
  if (rc != siteglean::RobotsRules::kOk && rules.Chosen() != nullptr) std::abort();
  rules.SetInForce(rc == siteglean::RobotsRules::kOk);
  rules.Allowed("http://fuzz.example/");
  rules.Allowed("http://fuzz.example/private/index.htm");
  rules.Allowed(text.substr(0, 64));
  return 0;
}
