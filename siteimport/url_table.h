// The robot's URL table: 1024 buckets, so that every URL is entered once and each later parse
// of it returns the first node. A bucket keeps its URLs in entry order with a check value of
// each full text beside the node, so that a lookup scans a compact array instead of chasing
// a hundred cold nodes once the table is full. The table owns its nodes. Used by
// the worker thread of one exploration only.
#pragma once

#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "url_node.h"

namespace siteglean {

class UrlTable {
 public:
  static constexpr unsigned kBuckets = 1024;

  explicit UrlTable(bool caseInsensitive = false) : caseInsensitive_(caseInsensitive) {}
  UrlTable(const UrlTable&) = delete;
  UrlTable& operator=(const UrlTable&) = delete;

  // The bucket of a URL: a sum over its directory path, then its file name (or, when it has
  // none, the default page name) folded in.
  unsigned Bucket(const UrlParts& p, std::string_view defaultPage) const;

  // The node for these parts. When the URL has no file name and a default page name is given,
  // the URL completed with it is looked up too, so that a directory URL and the same URL with
  // the server's default page are one node, whichever of the two was entered first. Null when
  // the URL is not known.
  UrlNode* Find(const UrlParts& p, std::string_view defaultPage = {}) const;

  // The known node, or a new one entered for these parts (its full text rebuilt).
  UrlNode* Enter(const UrlParts& p, std::string_view defaultPage = {}, bool* created = nullptr);

  std::size_t Size() const { return nodes_.size(); }
  bool CaseInsensitive() const { return caseInsensitive_; }

 private:
  UrlNode* FindExact(unsigned bucket, const std::string& full) const;
  bool SameText(std::string_view a, std::string_view b) const;

  struct Entry {
    std::uint64_t key;
    UrlNode* node;
  };
  bool caseInsensitive_;
  std::vector<Entry> buckets_[kBuckets];
  std::deque<UrlNode> nodes_;  // stable addresses
};

}  // namespace siteglean
