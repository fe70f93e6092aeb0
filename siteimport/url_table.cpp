#include "url_table.h"


#include "platform/kernel/text.h"

namespace siteglean {
namespace {

unsigned Fold(unsigned char c, bool ci) { return ci ? halyard::AsciiLower(c) : c; }

unsigned HashFrom(std::string_view dir, std::string_view file, bool ci) {
  unsigned s = 0;
  for (char c : dir) s = (s + Fold(static_cast<unsigned char>(c), ci)) & 0xFFFF;
  unsigned n = static_cast<unsigned>(dir.size()) & 0xFF;
  unsigned h = (s - 36 * n) & 0x3FF;
  for (char c : file) h = (h * 31 + Fold(static_cast<unsigned char>(c), ci)) % UrlTable::kBuckets;
  return h;
}

// A 64-bit check value of the full text: a bucket holds about a hundred URLs once the table is
// full, and comparing numbers first keeps a lookup from comparing each of their texts.
std::uint64_t KeyOf(std::string_view full, bool ci) {
  std::uint64_t h = 1469598103934665603ull;
  for (char c : full) h = (h ^ Fold(static_cast<unsigned char>(c), ci)) * 1099511628211ull;
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
  return halyard::EqualsNoCaseAscii(a, b);
}

UrlNode* UrlTable::FindExact(unsigned h, const std::string& full) const {
  std::uint64_t key = KeyOf(full, caseInsensitive_);
  for (const Entry& e : buckets_[h])
    if (e.key == key && SameText(e.node->full, full)) return e.node;
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
  // And the other way round: the URL completed with the default page finds the directory URL
  // met first, so that which of the two a site names first does not make two objects.
  if (!defaultPage.empty() && !p.hasQuery && SameText(p.file, defaultPage)) {
    UrlParts bare = p;
    bare.file.clear();
    if (UrlNode* n = FindExact(h, RebuildUrl(bare))) return n;
  }
  return nullptr;
}

UrlNode* UrlTable::Enter(const UrlParts& p, std::string_view defaultPage, bool* created) {
  if (created) *created = false;
  if (UrlNode* n = Find(p, defaultPage)) return n;
  UrlNode& n = nodes_.emplace_back();
  n.parts = p;
  n.full = RebuildUrl(p);
  buckets_[Bucket(p, defaultPage)].push_back({KeyOf(n.full, caseInsensitive_), &n});
  if (created) *created = true;
  return &n;
}

}  // namespace siteglean
