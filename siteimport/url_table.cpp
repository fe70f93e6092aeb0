#include "url_table.h"

#include <strings.h>

#include <cctype>

namespace siteglean {
namespace {

unsigned Fold(unsigned char c, bool ci) {
  return ci ? static_cast<unsigned>(std::tolower(c)) : c;
}

unsigned HashFrom(std::string_view dir, std::string_view file, bool ci) {
  unsigned s = 0;
  for (char c : dir) s = (s + Fold(static_cast<unsigned char>(c), ci)) & 0xFFFF;
  unsigned n = static_cast<unsigned>(dir.size()) & 0xFF;
  unsigned h = (s - 36 * n) & 0x3FF;
  for (char c : file) h = (h * 31 + Fold(static_cast<unsigned char>(c), ci)) % UrlTable::kBuckets;
  return h;
}

}  // namespace

unsigned UrlTable::Bucket(const UrlParts& p, std::string_view defaultPage) const {
  std::string_view file = p.file.empty() ? defaultPage : std::string_view(p.file);
  return HashFrom(p.dir, file, caseInsensitive_);
}

bool UrlTable::SameText(std::string_view a, std::string_view b) const {
  if (a.size() != b.size()) return false;
  if (!caseInsensitive_) return a == b;
  return strncasecmp(a.data(), b.data(), a.size()) == 0;
}

UrlNode* UrlTable::FindExact(unsigned h, const std::string& full) const {
  for (UrlNode* n = buckets_[h]; n != nullptr; n = n->chain)
    if (SameText(n->full, full)) return n;
  return nullptr;
}

UrlNode* UrlTable::Find(const UrlParts& p, std::string_view defaultPage) const {
  // A directory URL hashes with the default page name, so it shares its bucket with the URL
  // completed with that name.
  unsigned h = Bucket(p, defaultPage);
  if (UrlNode* n = FindExact(h, RebuildUrl(p))) return n;
  if (p.file.empty() && !defaultPage.empty()) {
    UrlParts completed = p;
    completed.file = std::string(defaultPage);
    if (UrlNode* n = FindExact(h, RebuildUrl(completed))) return n;
  }
  return nullptr;
}

UrlNode* UrlTable::Enter(const UrlParts& p, std::string_view defaultPage, bool* created) {
  if (created) *created = false;
  if (UrlNode* n = Find(p, defaultPage)) return n;
  UrlNode& n = nodes_.emplace_back();
  n.parts = p;
  n.full = RebuildUrl(p);
  unsigned h = Bucket(p, defaultPage);
  n.chain = buckets_[h];
  buckets_[h] = &n;
  if (created) *created = true;
  return &n;
}

}  // namespace siteglean
