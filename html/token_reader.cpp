#include "token_reader.h"

#include "entity_table.h"
#include "platform/kernel/text.h"
#include "platform/mfc/cfile.h"
#include "tag_token.h"
#include "tag_type_table.h"

namespace {

inline bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
inline bool IsAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

TokenReader::TokenReader(CFile* stream) : stream_(stream) {}

TokenReader::~TokenReader() = default;

bool TokenReader::Refill() {
  if (eof_ || !stream_) return false;
  UINT got = stream_->Read(buf_, sizeof buf_);
  pos_ = 0;
  lim_ = got;
  if (got == 0) eof_ = true;
  return got > 0;
}

int TokenReader::Finish(int kind) { return kind; }

void TokenReader::StartToken() {
  space_.assign(pendingSpace_);
  pendingSpace_.clear();
}

int TokenReader::TakeWord() { return Finish(kText); }

int TokenReader::TakeTag(int kind) {
  state_ = kTextState;
  return Finish(kind);
}

int TokenReader::NextToken() {
  token_.clear();
  if (tagAfterWord_) {  // the tag that began straight after the last word has no space before it
    tagAfterWord_ = false;
    space_.clear();
  }
  for (;;) {
    // Runs of ordinary characters, and of white space, are taken from the read buffer at once.
    if (state_ == kSpaceState && pos_ < lim_) {
      const char* b = buf_ + pos_;
      const char* e = buf_ + lim_;
      const char* q = b;
      while (q < e && IsWhite(*q)) {
        if (*q == '\n') ++line_;
        ++q;
      }
      if (q > b) {
        pendingSpace_.append(b, static_cast<std::size_t>(q - b));
        pos_ += static_cast<std::size_t>(q - b);
        continue;
      }
    }
    if (pos_ < lim_ && (state_ == kTextState || state_ == kTagState || state_ == kQuoteState)) {
      const char* b = buf_ + pos_;
      const char* e = buf_ + lim_;
      const char* q = b;
      if (state_ == kTextState) {
        while (q < e && !IsWhite(*q) && *q != '<') ++q;
        if (q > b && token_.empty()) StartToken();
      } else if (state_ == kTagState) {
        while (q < e && *q != '>' && *q != '<' && *q != '"' && *q != '\'' && *q != '-' &&
               *q != '\n')
          ++q;
      } else {
        while (q < e && *q != quote_ && *q != '>' && *q != '\n') ++q;
      }
      if (q > b) {
        token_.append(b, static_cast<std::size_t>(q - b));
        pos_ += static_cast<std::size_t>(q - b);
        continue;
      }
    }
    int ch = Get();
    if (ch < 0) {
      if (state_ == kTextState && !token_.empty()) return TakeWord();
      if (state_ == kCommentState) {
        // A comment the stream cut off keeps its text.
        state_ = kEndState;
        return Finish(kComment);
      }
      // A tag that the stream cut off is dropped.
      state_ = kEndState;
      token_.clear();
      space_.clear();
      return kEnd;
    }
    char c = static_cast<char>(ch);
    if (c == '\n') ++line_;
    switch (state_) {
      case kTextState:
        if (IsWhite(c)) {
          state_ = kSpaceState;
          if (!token_.empty()) {
            int kind = TakeWord();
            pendingSpace_.assign(1, c);
            return kind;
          }
          pendingSpace_ += c;
        } else if (c == '<') {
          state_ = kTagState;
          if (!token_.empty()) {
            tagAfterWord_ = true;
            return TakeWord();
          }
          StartToken();
        } else {
          if (token_.empty()) StartToken();
          token_ += c;
        }
        break;
      case kSpaceState:
        if (IsWhite(c)) {
          pendingSpace_ += c;
        } else {
          StartToken();
          if (c == '<') {
            state_ = kTagState;
          } else {
            state_ = kTextState;
            token_ += c;
          }
        }
        break;
      case kTagState:
        if (c == '>') return TakeTag(kTag);
        if (c == '<' && token_.empty()) {
          state_ = kTextState;
          token_ = "<<";
          return Finish(kText);
        }
        if (c == '-' && token_ == "!-") {
          state_ = kCommentState;
          token_.clear();
          dashes_ = 0;
          break;
        }
        if (c == '"' || c == '\'') {
          quote_ = c;
          state_ = kQuoteState;
        }
        token_ += c;
        break;
      case kQuoteState:
        if (c == '>') return TakeTag(kTag);
        if (c == quote_) state_ = kTagState;
        token_ += c;
        break;
      case kCommentState:
        if (c == '>' && dashes_ >= 2) {
          std::size_t n = token_.size();
          if (n >= 2 && token_[n - 1] == '-' && token_[n - 2] == '-') token_.resize(n - 2);
          return TakeTag(kComment);
        }
        if (c == '-')
          ++dashes_;
        else if (c != ' ' && c != '\t')
          dashes_ = 0;
        token_ += c;
        break;
      case kEndState:
        break;
    }
  }
}

void TokenReader::DecodeEntities(std::string& s) {
  if (s.find('&') == std::string::npos) return;
  s.resize(DecodeEntities(s.data(), s.size()));
}

std::size_t TokenReader::DecodeEntities(char* s, std::size_t n) {
  std::size_t out = 0, i = 0;
  while (i < n) {
    if (s[i] != '&') {
      s[out++] = s[i++];
      continue;
    }
    std::size_t j = i + 1;
    while (j < n && (IsAlnum(s[j]) || s[j] == '#')) ++j;
    std::size_t k = j - i - 1;
    int code = -1;
    if (k >= 2 && s[i + 1] == '#') {
      unsigned value = 0;
      std::size_t d = i + 2;
      while (d < j && s[d] >= '0' && s[d] <= '9') value = (value * 10u + (s[d++] - '0')) & 0xFFu;
      if (d == j && value != 0) code = static_cast<int>(value);  // byte 0 stays as written
    } else if (k >= 1 && k <= 10) {
      code = EntityTable::Lookup(s + i + 1, k);
    }
    if (code < 0) {
      s[out++] = s[i++];
      continue;
    }
    s[out++] = static_cast<char>(code);
    i = j;
    if (i < n && s[i] == ';') ++i;
  }
  return out;
}

int TokenReader::ScanTag(std::string& text, ScannedTag& tag) {
  tag.end = false;
  tag.attrs.clear();
  char* b = text.data();
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && IsWhite(b[i])) ++i;
  std::size_t nameStart = i;
  while (i < n && !IsWhite(b[i])) ++i;
  std::size_t nameEnd = i;
  if (nameStart < nameEnd && (b[nameStart] == '/' || b[nameStart] == '\\')) {
    tag.end = b[nameStart] == '/';
    ++nameStart;
  }
  tag.name = nameStart;
  tag.nameLength = nameEnd - nameStart;
  if (nameStart == nameEnd) return 0;
  while (i < n) {
    while (i < n && IsWhite(b[i])) ++i;
    if (i == n) break;
    std::size_t an = i;
    while (i < n && !IsWhite(b[i]) && b[i] != '=') ++i;
    std::size_t anLen = i - an;
    while (i < n && IsWhite(b[i])) ++i;
    if (i == n || b[i] != '=') continue;  // a name without a value is not kept
    ++i;
    if (i == n || IsWhite(b[i])) {
      while (i < n && IsWhite(b[i])) ++i;
      if (i == n || (b[i] != '"' && b[i] != '\'')) continue;  // nor one whose value is missing
    }
    std::size_t v, vLen;
    if (b[i] == '"' || b[i] == '\'') {
      char quote = b[i++];
      v = i;
      while (i < n && b[i] != quote) {
        if (b[i] == '\r' || b[i] == '\n') b[i] = ' ';
        ++i;
      }
      vLen = i - v;
      if (i < n) ++i;
    } else {
      v = i;
      while (i < n && !IsWhite(b[i])) ++i;
      vLen = i - v;
    }
    tag.attrs.push_back({an, anLen, v, vLen});
  }
  return 1;
}

int TokenReader::ParseTag(const std::string& text, TagToken& tag) {
  tag.Clear();
  std::string copy(text);
  ScannedTag scanned;
  if (!ScanTag(copy, scanned)) {
    tag.end = scanned.end;
    return 0;
  }
  const char* b = copy.data();
  tag.end = scanned.end;
  tag.name = CString(b + scanned.name, static_cast<int>(scanned.nameLength));
  std::string upper(b + scanned.name, scanned.nameLength);
  halyard::MakeAsciiUpper(upper);
  tag.type = TagTypeTable::LookupWithoutJsb(upper.data(), upper.size());
  std::string spelling, key, value;
  for (const ScannedTag::Attr& a : scanned.attrs) {
    spelling.assign(b + a.name, a.nameLength);
    value.assign(b + a.value, a.valueLength);
    key = spelling;
    halyard::MakeAsciiUpper(key);
    tag.attributes.SetAt(key.c_str(), value.c_str());
    tag.spellings.SetAt(key.c_str(), spelling.c_str());
  }
  return 1;
}
