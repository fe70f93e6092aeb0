#include "link_tokenizer.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/text.h"

namespace siteglean {
namespace {

struct ElementRow {
  const char* element;
  int code;
  const char* attribute;
  int number;
  bool noValue;
};
constexpr ElementRow kElements[] = {
#include "link_elements.inc"
};

struct EntityRow {
  const char* name;
  int code;
};
constexpr EntityRow kEntities[] = {
#include "link_entities.inc"
};

bool SameName(std::string_view a, const char* b) { return halyard::EqualsNoCaseAscii(a, b); }

int ElementCodeOf(std::string_view name) {
  for (const ElementRow& r : kElements)
    if (SameName(name, r.element)) return r.code;
  return 0;
}

const ElementRow* AttributeOf(int element, std::string_view name) {
  for (const ElementRow& r : kElements)
    if (r.code == element && r.attribute != nullptr && SameName(name, r.attribute)) return &r;
  return nullptr;
}

}  // namespace

void LinkTokenizer::SkipComment() {
  // pos_ stands just after "<!--". The comment ends at a run of two or more "-" before ">".
  std::size_t start = pos_;
  for (std::size_t i = start; i < page_.size(); ++i) {
    if (page_[i] == '>' && i >= start + 2 && page_[i - 1] == '-' && page_[i - 2] == '-') {
      pos_ = i + 1;
      return;
    }
  }
  // Never closed: reading goes on after the first ">" inside it.
  std::size_t gt = page_.find('>', start);
  pos_ = gt == std::string_view::npos ? page_.size() : gt + 1;
}

namespace {

// Keeps what an overlong word holds after its restarts: a word starts again whenever it would
// grow past 255 characters.
std::string_view Restarted(std::string_view w) {
  if (w.size() <= LinkTokenizer::kMaxWord) return w;
  std::size_t keep = (w.size() - 1) % LinkTokenizer::kMaxWord + 1;
  return w.substr(w.size() - keep);
}

}  // namespace

bool LinkTokenizer::NextWord(std::string_view* word) {
  while (pos_ < page_.size() && halyard::IsAsciiWhiteSpace(page_[pos_])) ++pos_;
  if (pos_ >= page_.size()) return false;
  char c = page_[pos_];
  if (c == '>') {
    ++pos_;
    return false;
  }
  if (c == '=') {
    *word = page_.substr(pos_++, 1);
    return true;
  }
  if (c == '"' || c == '\'') {
    // A quoted string is one word without its quotation marks.
    std::size_t end = page_.find(c, pos_ + 1);
    if (end == std::string_view::npos) end = page_.size();
    *word = Restarted(page_.substr(pos_ + 1, end - pos_ - 1));
    pos_ = end < page_.size() ? end + 1 : end;
    return true;
  }
  std::size_t start = pos_;
  while (pos_ < page_.size()) {
    char d = page_[pos_];
    if (d == '>' || d == '=' || halyard::IsAsciiWhiteSpace(d)) break;
    ++pos_;
  }
  *word = Restarted(page_.substr(start, pos_ - start));
  return true;
}

std::uint16_t LinkTokenizer::ReadTag() {
  // pos_ stands just after "<".
  for (int i = 0; i < kAttrCount; ++i) present_[i] = false;
  std::string_view name;
  if (!NextWord(&name)) return element_ = kElemUnknown;
  bool end = false;
  if (!name.empty() && name[0] == '/') {
    end = true;
    name.remove_prefix(1);
  }
  int code = ElementCodeOf(name);
  if (code == 0 || end) {
    std::string_view skip;
    while (NextWord(&skip)) {
    }
    if (code == 0) return element_ = kElemUnknown;
    return element_ = static_cast<std::uint16_t>(kEndTag + code);
  }
  std::string_view w;
  bool more = NextWord(&w);
  while (more) {
    const ElementRow* a = AttributeOf(code, w);
    more = NextWord(&w);
    if (a == nullptr || a->number >= kAttrCount) continue;
    if (a->noValue) {
      present_[a->number] = true;
      values_[a->number] = "1";
      continue;
    }
    if (!more || w != "=") continue;  // a value attribute without "=" takes no value
    present_[a->number] = true;
    values_[a->number].clear();
    more = NextWord(&w);
    if (more && w != "=") {
      values_[a->number].assign(w.data(), w.size());
      more = NextWord(&w);
    }
  }
  return element_ = static_cast<std::uint16_t>(code);
}

std::uint16_t LinkTokenizer::NextToken() {
  for (;;) {
    std::size_t lt = page_.find('<', pos_);
    if (lt == std::string_view::npos) {
      pos_ = page_.size();
      return element_ = kEndOfPage;
    }
    if (page_.compare(lt, 4, "<!--") == 0) {
      pos_ = lt + 4;
      SkipComment();
      continue;
    }
    pos_ = lt + 1;
    return ReadTag();
  }
}

const std::string* LinkTokenizer::Attribute(int number) const {
  if (number < 0 || number >= kAttrCount || !present_[number]) return nullptr;
  return &values_[number];
}

std::string LinkTokenizer::DecodeEntities(std::string_view t) {
  std::string out;
  out.reserve(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] != '&') {
      out.push_back(t[i]);
      continue;
    }
    // Up to 7 characters up to ";" or a blank.
    std::size_t j = i + 1;
    while (j < t.size() && j - (i + 1) < 7 && t[j] != ';' && t[j] != ' ') ++j;
    std::string_view body = t.substr(i + 1, j - (i + 1));
    bool semi = j < t.size() && t[j] == ';';
    std::size_t next = semi ? j + 1 : j;
    if (!body.empty() && body[0] == '#') {
      std::string_view digits = body.substr(1);
      bool ok = !digits.empty() && digits.size() <= 3;
      unsigned v = 0;
      for (char d : digits) {
        if (d < '0' || d > '9')
          ok = false;
        else
          v = v * 10 + static_cast<unsigned>(d - '0');
      }
      if (ok && v > 0 && v < 256) {
        out.push_back(static_cast<char>(v));
        i = next - 1;
      } else {
        out.push_back('&');  // not a character reference this pass understands: kept as written
      }
      continue;
    }
    const EntityRow* best = nullptr;
    std::size_t bestLen = 0;
    for (const EntityRow& e : kEntities) {
      std::size_t n = std::strlen(e.name);
      if (n > bestLen && n <= body.size() && body.compare(0, n, e.name) == 0) {
        best = &e;
        bestLen = n;
      }
    }
    if (best == nullptr) {
      out.push_back('&');
      continue;
    }
    out.push_back(static_cast<char>(best->code));
    out.append(body.substr(bestLen));
    i = next - 1;
  }
  return out;
}

void LinkTokenizer::SplitPieces() {
  split_ = true;
  std::size_t savedPos = pos_;
  std::uint16_t savedElement = element_;
  bool savedPresent[kAttrCount];
  std::string savedValues[kAttrCount];
  for (int i = 0; i < kAttrCount; ++i) {
    savedPresent[i] = present_[i];
    savedValues[i] = std::move(values_[i]);
  }
  // The same reading as NextToken's and a text scan's: "<!--" opens a comment, any other
  // "<" a tag; what lies between is text.
  pos_ = 0;
  while (pos_ < page_.size()) {
    if (page_[pos_] == '<') {
      if (page_.compare(pos_, 4, "<!--") == 0) {
        pos_ += 4;
        SkipComment();
        continue;
      }
      std::size_t at = pos_++;
      std::uint16_t code = ReadTag();
      pieces_.push_back({at, pos_, code, false, false});
      continue;
    }
    std::size_t lt = page_.find('<', pos_);
    if (lt == std::string_view::npos) lt = page_.size();
    bool visible = false;
    for (std::size_t i = pos_; i < lt && !visible; ++i)
      visible = !halyard::IsAsciiWhiteSpace(page_[i]);
    pieces_.push_back({pos_, lt, 0, true, visible});
    pos_ = lt;
  }
  const auto n = static_cast<std::uint32_t>(pieces_.size());
  nextVisible_.assign(n + 1, n);
  for (std::uint32_t i = n; i-- > 0;)
    nextVisible_[i] = pieces_[i].text && pieces_[i].visible ? i : nextVisible_[i + 1];
  blankRuns_.assign(n + 1, 0);
  for (std::uint32_t i = 0; i < n; ++i)
    blankRuns_[i + 1] = blankRuns_[i] + (pieces_[i].text && !pieces_[i].visible ? 1 : 0);

  pos_ = savedPos;
  element_ = savedElement;
  for (int i = 0; i < kAttrCount; ++i) {
    present_[i] = savedPresent[i];
    values_[i] = std::move(savedValues[i]);
  }
}

const std::vector<std::uint32_t>& LinkTokenizer::NextEndTag(std::uint16_t endCode) {
  auto it = nextEnd_.find(endCode);
  if (it != nextEnd_.end()) return it->second;
  const auto n = static_cast<std::uint32_t>(pieces_.size());
  std::vector<std::uint32_t> next(n + 1, n);
  for (std::uint32_t i = n; i-- > 0;)
    next[i] = !pieces_[i].text && pieces_[i].code == endCode ? i : next[i + 1];
  return nextEnd_.emplace(endCode, std::move(next)).first->second;
}

std::string LinkTokenizer::TextUntil(std::uint16_t endCode) {
  if (!split_) SplitPieces();
  auto at = std::lower_bound(pieces_.begin(), pieces_.end(), pos_,
                             [](const Piece& p, std::size_t pos) { return p.pos < pos; });
  if (at != pieces_.end() && at->pos != pos_) return TextByScan(endCode);
  auto i = static_cast<std::uint32_t>(at - pieces_.begin());
  const std::uint32_t end = NextEndTag(endCode)[i];

  std::string raw;
  bool lastBlank = true;  // drops a blank at the start
  while (raw.size() < kMaxText) {
    std::uint32_t k = nextVisible_[i];
    if (k >= end) break;
    // Blank-only runs between give one blank, as the characters would one by one.
    if (blankRuns_[k] != blankRuns_[i] && !lastBlank) {
      raw.push_back(' ');
      lastBlank = true;
      if (raw.size() >= kMaxText) break;
    }
    const Piece& p = pieces_[k];
    for (std::size_t c = p.pos; c < p.end && raw.size() < kMaxText; ++c) {
      char ch = page_[c];
      if (halyard::IsAsciiWhiteSpace(ch)) {
        if (lastBlank) continue;
        ch = ' ';
        lastBlank = true;
      } else {
        lastBlank = false;
      }
      raw.push_back(ch);
    }
    i = k + 1;
  }
  while (!raw.empty() && raw.back() == ' ') raw.pop_back();
  return DecodeEntities(raw);
}

// The text read character by character: for a place that is no boundary of the pieces.
std::string LinkTokenizer::TextByScan(std::uint16_t endCode) {
  std::size_t savedPos = pos_;
  std::uint16_t savedElement = element_;
  bool savedPresent[kAttrCount];
  std::string savedValues[kAttrCount];
  for (int i = 0; i < kAttrCount; ++i) {
    savedPresent[i] = present_[i];
    savedValues[i] = std::move(values_[i]);
  }

  std::string raw;
  bool lastBlank = true;  // drops a blank at the start
  while (pos_ < page_.size() && raw.size() < kMaxText) {
    char c = page_[pos_];
    if (c == '<') {
      std::uint16_t code;
      if (page_.compare(pos_, 4, "<!--") == 0) {
        pos_ += 4;
        SkipComment();
        continue;
      }
      ++pos_;
      code = ReadTag();
      if (code == endCode) break;
      continue;
    }
    ++pos_;
    if (halyard::IsAsciiWhiteSpace(c)) {
      if (lastBlank) continue;
      c = ' ';
      lastBlank = true;
    } else {
      lastBlank = false;
    }
    raw.push_back(c);
  }
  while (!raw.empty() && raw.back() == ' ') raw.pop_back();

  pos_ = savedPos;
  element_ = savedElement;
  for (int i = 0; i < kAttrCount; ++i) {
    present_[i] = savedPresent[i];
    values_[i] = std::move(savedValues[i]);
  }
  return DecodeEntities(raw);
}

}  // namespace siteglean
