#include "robots_rules.h"

#include <fstream>
#include <sstream>

#include "platform/kernel/text.h"

namespace siteglean {

using halyard::EqualsNoCaseAscii;
using halyard::IsAsciiWhiteSpace;
using halyard::StartsWithNoCaseAscii;

std::vector<std::string> RobotsRules::Words(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  auto flush = [&] {
    if (!word.empty()) words.push_back(std::move(word));
    word.clear();
  };
  std::size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (IsAsciiWhiteSpace(c)) {
      flush();
      ++i;
    } else if (c == '#' && word.empty()) {
      while (i < text.size() && text[i] != '\n' && text[i] != '\r') ++i;
    } else if (c == ':') {
      word.push_back(c);
      flush();
      ++i;
    } else if (c == '*') {
      // A star stands alone: it ends the word it interrupts and is a word of its own.
      flush();
      word.push_back(c);
      flush();
      ++i;
    } else {
      word.push_back(c);
      ++i;
    }
  }
  flush();
  return words;
}

int RobotsRules::Parse(std::string_view text, std::string_view siteUrl,
                       std::string_view agentToken) {
  records_.clear();
  chosen_ = -1;
  enum { kNone, kAgents, kPaths } expect = kNone;
  for (std::string& w : Words(text)) {
    if (EqualsNoCaseAscii(w, "User-agent:")) {
      records_.emplace_back();
      expect = kAgents;
    } else if (EqualsNoCaseAscii(w, "Disallow:")) {
      if (records_.empty()) return kBadOrder;
      expect = kPaths;
    } else if (expect == kAgents) {
      records_.back().agents.push_back(std::move(w));
    } else if (expect == kPaths) {
      std::string_view path = w;
      if (!path.empty() && path.front() == '/') path.remove_prefix(1);
      std::string prefix(siteUrl);
      if (prefix.empty() || prefix.back() != '/') prefix += '/';
      prefix += path;
      records_.back().disallowed.push_back(std::move(prefix));
    } else {
      records_.clear();
      return kBadOrder;
    }
  }
  int star = -1;
  for (std::size_t r = 0; r < records_.size() && chosen_ < 0; ++r) {
    for (const std::string& a : records_[r].agents) {
      if (EqualsNoCaseAscii(a, agentToken)) {
        chosen_ = static_cast<int>(r);
        break;
      }
      if (a == "*" && star < 0) star = static_cast<int>(r);
    }
  }
  if (chosen_ < 0) chosen_ = star;
  return kOk;
}

int RobotsRules::ParseFile(const std::string& hostPath, std::string_view siteUrl,
                           std::string_view agentToken) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) {
    records_.clear();
    chosen_ = -1;
    return kNoFile;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  return Parse(ss.str(), siteUrl, agentToken);
}

bool RobotsRules::Allowed(std::string_view url) const {
  if (!inForce_ || chosen_ < 0) return true;
  for (const std::string& prefix : records_[chosen_].disallowed)
    if (StartsWithNoCaseAscii(url, prefix)) return false;
  return true;
}

}  // namespace siteglean
