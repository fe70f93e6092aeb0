#include "selector_node.h"

#include <cstring>
#include <string>

#include "tag_type_table.h"
#include "platform/kernel/text.h"

namespace {

// Reads on in a block whose "{" came before text[i], with depth braces and the string of
// quote (0: none) open: returns the index just past the "}" that closes it (nested blocks and
// quoted strings skipped), or npos when it is not closed within length; i, depth and quote then
// say where the reading stopped, so that it can go on once more text has come.
std::size_t BlockEnd(const char* text, std::size_t& i, std::size_t length, int& depth,
                     char& quote) {
  for (; i < length; ++i) {
    char c = text[i];
    if (quote) {
      if (c == '\\')
        ++i;
      else if (c == quote)
        quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (--depth == 0) return i + 1;
    }
  }
  return std::string::npos;
}

}  // namespace

SelectorNode::SelectorNode(SelectorNode* parent_, Token::Type type_, CString name_)
    : parent(parent_), type(type_), name(name_) {
  if (parent) parent->children.push_back(this);
}

SelectorNode::SelectorNode(Token::Type type_, CString name_)
    : SelectorNode(nullptr, type_, name_) {}

SelectorNode::~SelectorNode() {
  // Deleting children without recursing through a deep chain of descendant selectors.
  std::vector<SelectorNode*> pending;
  pending.swap(children);
  while (!pending.empty()) {
    SelectorNode* n = pending.back();
    pending.pop_back();
    pending.insert(pending.end(), n->children.begin(), n->children.end());
    n->children.clear();
    delete n;
  }
}

SelectorNode* SelectorNode::Find(Token::Type t) {
  for (SelectorNode* c : children)
    if (c->type == t) return c;
  return nullptr;
}

SelectorNode* SelectorNode::FindChild(Token::Type t, const char* n) const {
  for (SelectorNode* c : children)
    if (c->type == t && c->name == n) return c;
  return nullptr;
}

void SelectorNode::MergeProperties(CMapStringToString* map) {
  if (!map) return;
  CString key, value;
  for (POSITION pos = map->GetStartPosition(); pos;) {
    map->GetNextAssoc(pos, key, value);
    properties.SetAt(key, value);
  }
}

void SelectorNode::parseCSSTagParams(unsigned char** text, DWORD length, CMapStringToString* map) {
  if (!text || !*text) return;
  unsigned char* p = *text;
  unsigned char* end = p + length;
  for (;;) {
    while (p < end && halyard::IsSpaceTabCrLf(*p)) ++p;
    if (p == end || *p == '"') break;
    unsigned char* nameStart = p;
    while (p < end && *p != ':' && !halyard::IsSpaceTabCrLf(*p)) ++p;
    if (p == end || *p != ':') {
      p = nameStart;
      break;
    }
    std::string key(reinterpret_cast<char*>(nameStart), p - nameStart);
    ++p;
    while (p < end && halyard::IsSpaceTabCrLf(*p)) ++p;
    std::string value;
    if (p < end && (*p == '"' || *p == '\'')) {
      unsigned char quote = *p++;
      unsigned char* v = p;
      while (p < end && *p != quote) ++p;
      value.assign(reinterpret_cast<char*>(v), p - v);
      if (p < end) ++p;
      while (p < end && *p != ';' && *p != '}') ++p;
    } else {
      unsigned char* v = p;
      while (p < end && *p != ';' && *p != '}') ++p;
      unsigned char* e = p;
      while (e > v && halyard::IsSpaceTabCrLf(e[-1])) --e;
      value.assign(reinterpret_cast<char*>(v), e - v);
    }
    if (p < end && *p == ';') ++p;
    halyard::MakeAsciiUpper(key);
    halyard::MakeAsciiUpper(value);
    if (map) map->SetAt(key.c_str(), value.c_str());
  }
  *text = p;
}

std::size_t SelectorNode::ParseRules(const char* text, std::size_t length, bool final) {
  RuleScan scan;
  return ParseRules(text, length, final, scan);
}

std::size_t SelectorNode::ParseRules(const char* text, std::size_t length, bool final,
                                     RuleScan& scan) {
  RuleScan resume = scan;  // applies to the first rule only: the one the last call stopped in
  scan = RuleScan();
  std::size_t pos = 0;
  for (bool first = true;; first = false) {
    while (pos < length && halyard::IsSpaceTabCrLf(static_cast<unsigned char>(text[pos]))) ++pos;
    if (pos >= length) return length;
    const RuleScan r = first ? resume : RuleScan();
    std::size_t rest = length - pos;
    const char* p = text + pos;
    // The comment marks that hide style text from old browsers.
    if (p[0] == '<') {
      if (rest >= 4 && std::memcmp(p, "<!--", 4) == 0) {
        pos += 4;
        continue;
      }
      if (rest < 4 && !final && std::memcmp(p, "<!--", rest) == 0) return pos;
    }
    if (p[0] == '-') {
      if (rest >= 3 && std::memcmp(p, "-->", 3) == 0) {
        pos += 3;
        continue;
      }
      if (rest < 3 && !final && std::memcmp(p, "-->", rest) == 0) return pos;
    }
    if (p[0] == '/' && (rest == 1 || p[1] == '*')) {
      if (rest == 1) return final ? length : pos;
      const char* close = nullptr;
      std::size_t from = r.kind == RuleScan::kComment ? r.at : 2;
      for (std::size_t i = from; i + 1 < rest; ++i)
        if (p[i] == '*' && p[i + 1] == '/') {
          close = p + i;
          break;
        }
      if (!close) {
        if (final) return length;
        scan.kind = RuleScan::kComment;
        scan.at = rest - 1 > 2 ? rest - 1 : 2;
        return pos;
      }
      pos = static_cast<std::size_t>(close - text) + 2;
      continue;
    }
    // A rule: the selectors up to "{", the declarations up to the matching "}". A stray ";" or
    // "}" before any "{" ends a piece of junk that is passed over.
    std::size_t open, i;
    int depth = 0;
    char quote = 0;
    if (r.kind == RuleScan::kBlock) {
      open = pos + r.open;
      i = pos + r.at;
      depth = r.depth;
      quote = r.quote;
    } else {
      open = pos + (r.kind == RuleScan::kSelectors ? r.at : 0);
      while (open < length && text[open] != '{' && text[open] != ';' && text[open] != '}') ++open;
      if (open == length) {
        if (final) return length;
        scan.kind = RuleScan::kSelectors;
        scan.at = length - pos;
        return pos;
      }
      if (text[open] != '{') {
        pos = open + 1;
        continue;
      }
      i = open;
    }
    std::size_t close = BlockEnd(text, i, length, depth, quote);
    if (close == std::string::npos) {
      if (!final) {
        scan.kind = RuleScan::kBlock;
        scan.at = i - pos;
        scan.open = open - pos;
        scan.depth = depth;
        scan.quote = quote;
        return pos;
      }
      close = length;
    }
    if (text[pos] != '@') {  // at-rules (@media, @import, ...) are passed over
      std::size_t blockEnd = close;
      if (blockEnd > open + 1 && text[blockEnd - 1] == '}') --blockEnd;
      ApplyRule(text + pos, open - pos, text + open + 1, blockEnd - open - 1);
    }
    pos = close;
  }
}

void SelectorNode::ApplyRule(const char* selectors, std::size_t selLen, const char* block,
                             std::size_t blockLen) {
  CMapStringToString props(4);
  unsigned char* p = reinterpret_cast<unsigned char*>(const_cast<char*>(block));
  parseCSSTagParams(&p, static_cast<DWORD>(blockLen), &props);
  // One selector per comma; each is a chain of simple selectors separated by blanks.
  std::size_t i = 0;
  while (i <= selLen) {
    std::size_t j = i;
    while (j < selLen && selectors[j] != ',') ++j;
    SelectorNode* node = this;
    std::size_t k = i;
    bool any = false;
    while (k < j) {
      while (k < j && halyard::IsSpaceTabCrLf(static_cast<unsigned char>(selectors[k]))) ++k;
      std::size_t s = k;
      while (k < j && !halyard::IsSpaceTabCrLf(static_cast<unsigned char>(selectors[k]))) ++k;
      if (s == k) break;
      std::string simple(selectors + s, k - s);
      halyard::MakeAsciiUpper(simple);
      std::size_t tagLen = simple.find_first_of(".#:");
      if (tagLen == std::string::npos) tagLen = simple.size();
      std::string tag = simple.substr(0, tagLen);
      Token::Type t = tag.empty() ? Token::UNKNOWN : TagTypeTable::Lookup(tag.c_str(), tag.size());
      const std::string& first = tag.empty() ? simple : tag;
      SelectorNode* child = node->FindChild(t, first.c_str());
      if (!child) child = new SelectorNode(node, t, CString(first.c_str()));
      node = child;
      if (!tag.empty() && tagLen < simple.size()) {
        std::string qualifier = simple.substr(tagLen);
        SelectorNode* q = node->FindChild(Token::UNKNOWN, qualifier.c_str());
        if (!q) q = new SelectorNode(node, Token::UNKNOWN, CString(qualifier.c_str()));
        node = q;
      }
      any = true;
    }
    if (any) node->MergeProperties(&props);
    i = j + 1;
  }
}
