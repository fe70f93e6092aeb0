#include "parser.h"

#include <cstring>

#include "elem_kinds.h"
#include "entity_table.h"
#include "log.h"
#include "platform/kernel/text.h"
#include "platform/mfc/cmapstringtostring.h"
#include "script_scanner.h"
#include "selector_node.h"
#include "tag_type_table.h"

using halyard::tagsmith::g_logOn;

namespace {

inline bool IsWhite(char c) {
  return static_cast<unsigned char>(c) <= ' ' && (c == ' ' || c == '\t' || c == '\r' || c == '\n');
}
inline bool IsAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

struct CharClasses {
  bool text[256] = {};
  bool tag[256] = {};
  bool comment[256] = {};
  CharClasses() {
    for (unsigned char c : {'<', '&', '\t', '\n', '\r', '\x7f'}) text[c] = true;
    for (unsigned char c : {'>', '<', '!', '\n', '\r'}) tag[c] = true;
    for (unsigned char c : {'<', '>', '-', '\n', '\r', ' ', '\t'}) comment[c] = true;
  }
};
const CharClasses kClasses;

inline bool IsTextSpecial(char c) { return kClasses.text[static_cast<unsigned char>(c)]; }
inline bool IsTagSpecial(char c) { return kClasses.tag[static_cast<unsigned char>(c)]; }
inline bool IsCommentSpecial(char c) { return kClasses.comment[static_cast<unsigned char>(c)]; }

bool EqualNoCase(const char* a, const char* b, std::size_t n) {
  return halyard::EqualsNoCaseAscii(std::string_view(a, n), std::string_view(b, n));
}

// The character of a reference "&" + s[0, k): "#" and decimal digits only (taken modulo 256)
// or a name of the entity table; -1 when it is neither. A number that comes to byte 0 is
// none: a NUL would cut the text.
int ResolveReference(const char* s, std::size_t k) {
  if (k >= 2 && s[0] == '#') {
    unsigned value = 0;
    std::size_t d = 1;
    while (d < k && s[d] >= '0' && s[d] <= '9') value = (value * 10u + (s[d++] - '0')) & 0xFFu;
    return d == k && value != 0 ? static_cast<int>(value) : -1;
  }
  return k > 0 ? EntityTable::Lookup(s, k) : -1;
}

// Decodes the references of an attribute value in place, by the rules of the text: a name
// ends at ";" (consumed when the reference resolves), at any character that is neither a
// letter, a digit nor "#", or as soon as it is a name of the table ("&copy2" is the sign and
// "2"). Returns the new length.
std::size_t DecodeReferences(char* s, std::size_t n) {
  std::size_t out = 0, i = 0;
  while (i < n) {
    if (s[i] != '&') {
      s[out++] = s[i++];
      continue;
    }
    std::size_t j = i + 1;
    while (j < n && (IsAlnum(s[j]) || s[j] == '#')) {
      if (j > i + 1 && EntityTable::Lookup(s + i + 1, j - i - 1) >= 0) break;
      ++j;
    }
    int code = ResolveReference(s + i + 1, j - i - 1);
    if (code < 0) {
      s[out++] = s[i++];
      continue;
    }
    s[out++] = static_cast<char>(code);
    i = j < n && s[j] == ';' ? j + 1 : j;
  }
  return out;
}

}  // namespace

namespace halyard::tagsmith {

void FinishChildren(Elem* root) {
  if (!root) return;
  root->SetCursor(root->firstChild);
  while (Elem* e = root->GetCursor()) {
    root->SetCursor(e->nextSibling);
    // Only comments and components have an end-of-input step; the call is saved for the rest.
    if (e->kind == ElemKind::Comment || e->kind == ElemKind::Component) e->Finish(root);
  }
}

void EndOfInput::Run(Elem* root) {
  if (root) {
    if (rootHadChildren_) {
      FinishChildren(root);
    } else {
      for (Elem* e : noted_) {
        if (e->parent != root) continue;  // gathered by a component before
        root->SetCursor(e->nextSibling);
        e->Finish(root);
      }
      root->SetCursor(nullptr);
    }
  }
  *this = EndOfInput();
}

}  // namespace halyard::tagsmith

Parser::Parser() { halyard::tagsmith::SetLogLineSource(&line_); }

Parser::~Parser() {
  halyard::tagsmith::ClearLogLineSource(&line_);
  delete scanner_;
}

void Parser::Begin() {}

void Parser::Parse(const char* bytes, int length) {
  if (!root_ || !bytes || length <= 0) return;
  halyard::tagsmith::SetLogLineSource(&line_);
  endOfInput_.Begin(root_);
  std::size_t n = static_cast<std::size_t>(length);
  if (pendingCR_) {
    // The carriage return that ended the last piece: with a line feed after it, it is a CR of
    // a CR LF pair; alone, it stands for a line feed.
    pendingCR_ = false;
    if (bytes[0] == '\n') {
      static const char kCrLf[2] = {'\r', '\n'};
      Feed(kCrLf, 2);
      ++bytes;
      --n;
    } else {
      Feed("\n", 1);
    }
  }
  Feed(bytes, n);
}

void Parser::Feed(const char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    const char* q = p + i;
    std::size_t m = n - i;
    switch (state_) {
      case kText:
        i += TextState(q, m);
        break;
      case kTag:
        i += TagState(q, m);
        break;
      case kEntity:
        i += EntityState(q, m);
        break;
      case kComment:
        i += CommentState(q, m);
        break;
      case kScript:
        i += ScriptState(q, m);
        break;
      case kRawText:
        i += RawTextState(q, m);
        break;
      case kStyle:
        i += StyleState(q, m);
        break;
    }
  }
}

void Parser::End() {
  if (!root_) return;
  halyard::tagsmith::SetLogLineSource(&line_);
  if (pendingCR_) {
    pendingCR_ = false;
    Feed("\n", 1);
  }
  EndEntityAtEndOfInput();
  if (state_ == kText && len_ > 0) EmitText();
  if (state_ == kComment && (len_ > 0 || commentSettled_)) {
    // A comment the input never closed keeps its last line.
    EmitComment();
  }
  if ((state_ == kScript || state_ == kRawText || state_ == kStyle) && heldLen_ > 0) {
    // The start of an end tag that the input never completed is text after all.
    if (state_ == kStyle) styleTail_.append(held_, heldLen_);
    EndBlock();  // the text before it, as a document in one piece has it
    EmitBlockText(held_, heldLen_, nullptr, 0, 0);
    heldLen_ = 0;
  }
  EndBlock();
  if (state_ == kStyle && styleRoot_ && !styleTail_.empty())
    styleRoot_->ParseRules(styleTail_.data(), styleTail_.size(), true, styleScan_);
  endOfInput_.Begin(root_);
  endOfInput_.Run(root_);
  delete scanner_;
  scanner_ = nullptr;
  state_ = kText;
  len_ = 0;
  pre_ = false;
  heldLen_ = 0;
  styleTail_.clear();
  styleScan_ = SelectorNode::RuleScan();
}

// ---- text --------------------------------------------------------------------------------

std::size_t Parser::TextState(const char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    std::size_t j = i;
    while (j < n && !IsTextSpecial(p[j])) ++j;
    if (j > i && len_ == 0 && j < n && p[j] == '<' && j - i <= kMaxText) {
      // The buffer would hold just this run: it is emitted straight from the piece.
      EmitTextBytes(p + i, j - i);
      state_ = kTag;
      return j + 1;
    }
    if (j > i) {
      AppendText(p + i, j - i);
      i = j;
      if (i == n) break;
    }
    char c = p[i];
    switch (c) {
      case '<':
        EmitText();
        state_ = kTag;
        return i + 1;
      case '&':
        if (len_ == kMaxText) EmitText();
        entitySaved_ = kText;
        BeginEntity();
        return i + 1;
      case '\t':
        if (pre_) {
          EmitText();
          EmitMark(Token::TABCHAR, "_TABCHAR");
        } else {
          AppendText(p + i, 1);
        }
        ++i;
        break;
      case '\x7f':
        ++i;
        break;
      case '\r':
        if (i + 1 == n) {
          pendingCR_ = true;
          return n;
        }
        if (p[i + 1] == '\n') {  // the CR of CR LF is dropped
          ++i;
          break;
        }
        [[fallthrough]];  // a lone CR is a line feed
      case '\n':
        ++line_;
        EmitText();
        if (pre_)
          EmitMark(Token::LFCHAR, "_LFCHAR");
        else
          buf_[len_++] = '\n';
        ++i;
        break;
      default:
        ++i;
        break;
    }
  }
  return n;
}

void Parser::AppendText(const char* p, std::size_t n) {
  while (n > 0) {
    if (len_ == kMaxText) EmitText();  // a run longer than the buffer goes out in pieces
    std::size_t k = kMaxText - len_;
    if (k > n) k = n;
    std::memcpy(buf_ + len_, p, k);
    len_ += k;
    p += k;
    n -= k;
  }
}

void Parser::EmitText() {
  if (len_ == 0) return;
  EmitTextBytes(buf_, len_);
  len_ = 0;
}

void Parser::EmitTextBytes(const char* p, std::size_t n) {
  if (pre_) {
    std::size_t i = 0;
    while (i < n && (static_cast<unsigned char>(p[i]) < ' ' || p[i] == '\x7f')) ++i;
    if (g_logOn) Log("<pre>text: '%s'\n", std::string(p + i, n - i).c_str());
    if (i == n) return;
    root_->Append(new TextElem(p + i, static_cast<int>(n - i), 0));
    return;
  }
  if (g_logOn) Log("text: '%s'\n", std::string(p, n).c_str());
  Elem* last = nullptr;
  bool space = false;
  std::size_t i = 0;
  for (;;) {
    while (i < n && IsWhite(p[i])) {
      space = true;
      ++i;
    }
    if (i == n) break;
    std::size_t start = i;
    while (i < n && !IsWhite(p[i])) ++i;
    last = new TextElem(p + start, static_cast<int>(i - start),
                        space ? DWORD{Elem::kSpaceBefore} : DWORD{0});
    root_->Append(last);
    space = false;
  }
  if (space && last) last->flags |= Elem::kSpaceAfter;
}

void Parser::EmitMark(Token::Type type, const char* name) {
  root_->Append(CreateElem(type, name, static_cast<int>(std::strlen(name)), false));
}

void Parser::EmitBlockText(const char* prefix, std::size_t prefixLen, const char* p, std::size_t n,
                           char next) {
  if (prefixLen + n == 0) return;
  // A carriage return without a line feed after it reads as a line feed. Text longer than
  // the buffer goes on in a further element: none of it is lost.
  auto put = [&](const char* s, std::size_t k, char after) {
    for (std::size_t i = 0; i < k; ++i) {
      char c = s[i];
      if (c == '\r' && (i + 1 < k ? s[i + 1] : after) != '\n') c = '\n';
      if (c == '\n') ++line_;
      if (blockLen_ == kMaxText) EndBlock();
      block_[blockLen_++] = c;
    }
  };
  put(prefix, prefixLen, n ? p[0] : next);
  put(p, n, next);
  if (!gatherBlocks_) EndBlock();
}

void Parser::EndBlock() {
  if (blockLen_ == 0) return;
  if (g_logOn) Log("text: '%s'\n", std::string(block_, blockLen_).c_str());
  root_->Append(new TextElem(block_, static_cast<int>(blockLen_), 0));
  blockLen_ = 0;
}

void Parser::EmitBlockKeeping(const char* p, std::size_t n, std::size_t keep) {
  std::size_t total = heldLen_ + n;
  if (keep > total) keep = total;
  char tail[kHeldSize];
  std::size_t fromHeld = keep > n ? keep - n : 0;  // kept bytes that were already held
  std::size_t fromPiece = keep - fromHeld;
  std::memcpy(tail, held_ + heldLen_ - fromHeld, fromHeld);
  std::memcpy(tail + fromHeld, p + n - fromPiece, fromPiece);
  char next = keep ? tail[0] : '<';
  EmitBlockText(held_, heldLen_ - fromHeld, p, n - fromPiece, next);
  std::memcpy(held_, tail, keep);
  heldLen_ = keep;
}

std::size_t Parser::BlockTail(const char* p, std::size_t n, const char* marker,
                              std::size_t markerLen) const {
  // The last markerLen - 1 bytes of held_ + p, where a marker's start could stand.
  char last[kHeldSize];
  std::size_t want = markerLen - 1, k = 0;
  if (n < want) {
    std::size_t h = want - n < heldLen_ ? want - n : heldLen_;
    std::memcpy(last, held_ + heldLen_ - h, h);
    k = h;
  }
  std::size_t fromPiece = n < want ? n : want;
  std::memcpy(last + k, p + n - fromPiece, fromPiece);
  k += fromPiece;
  if (k == 0) return 0;
  // The marker holds one "<", at its start: only the last "<" can begin it.
  for (std::size_t i = k; i-- > 0;) {
    if (last[i] != '<') continue;
    return EqualNoCase(last + i, marker, k - i) ? k - i : (last[k - 1] == '\r' ? 1 : 0);
  }
  return last[k - 1] == '\r' ? 1 : 0;
}

// ---- entities ----------------------------------------------------------------------------

void Parser::BeginEntity() {
  state_ = kEntity;
  entityPos_ = len_;
  buf_[len_++] = '&';
}

std::size_t Parser::EntityState(const char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    char c = p[i];
    if (c == ';') {
      bool resolved = ResolveEntity();
      state_ = entitySaved_;
      return resolved ? i + 1 : i;
    }
    if (IsAlnum(c) || c == '#') {
      std::size_t nameLen = len_ - entityPos_ - 1;
      if (nameLen > 0 && EntityTable::Lookup(buf_ + entityPos_ + 1, nameLen) >= 0) {
        // A known name is complete as it stands: "&copy2" is the sign and a "2".
        ResolveEntity();
        state_ = entitySaved_;
        return i;
      }
      if (len_ == kMaxText && entitySaved_ == kText && entityPos_ > 0) {
        // The buffer is full: the text before the reference goes out, and the reference moves
        // to the start, so that a reference at the seam is decoded like any other.
        std::size_t pending = len_ - entityPos_;
        EmitTextBytes(buf_, entityPos_);
        std::memmove(buf_, buf_ + entityPos_, pending);
        len_ = pending;
        entityPos_ = 0;
      }
      if (len_ < kMaxText) {
        buf_[len_++] = c;
        continue;
      }
    }
    // "<", white space, punctuation, a full buffer: the entity ends before this character.
    ResolveEntity();
    state_ = entitySaved_;
    return i;
  }
  return n;
}

bool Parser::ResolveEntity() {
  int code = ResolveReference(buf_ + entityPos_ + 1, len_ - entityPos_ - 1);
  if (code < 0) return false;
  buf_[entityPos_] = static_cast<char>(code);
  len_ = entityPos_ + 1;
  return true;
}

void Parser::EndEntityAtEndOfInput() {
  if (state_ != kEntity) return;
  ResolveEntity();
  state_ = entitySaved_;
}

// ---- tags --------------------------------------------------------------------------------

std::size_t Parser::TagState(const char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    std::size_t j = i;
    while (j < n && !IsTagSpecial(p[j])) ++j;
    if (j > i) {
      std::size_t k = j - i;
      if (k > kMaxText - len_) k = kMaxText - len_;  // what does not fit is dropped
      std::memcpy(buf_ + len_, p + i, k);
      len_ += k;
      i = j;
      if (i == n) break;
    }
    char c = p[i];
    switch (c) {
      case '>':
        EndTag();
        return i + 1;
      case '<':
        if (len_ == 0) {
          EmitTextBytes("<<", 2);
          state_ = kText;
          return i + 1;
        }
        break;
      case '!':
        if (len_ == 0) {
          state_ = kComment;
          commentLead_ = 0;
          commentSettled_ = false;
          isComment_ = false;
          dashes_ = 0;
          nest_ = 0;
          return i + 1;
        }
        break;
      case '\r':
        if (i + 1 == n) {
          pendingCR_ = true;
          return n;
        }
        if (p[i + 1] != '\n') {
          c = '\n';
          ++line_;
        }
        break;
      case '\n':
        ++line_;
        break;
    }
    if (len_ < kMaxText) buf_[len_++] = c;
    ++i;
  }
  return n;
}

void Parser::EndTag() {
  Elem* e = ParseTag();
  len_ = 0;
  state_ = kText;
  if (!e) return;
  bool end = e->IsEnd();
  switch (e->type) {
    case Token::PRE:
      pre_ = !end;
      break;
    case Token::SCRIPT:
      if (!end) {
        CString language;
        if (!scanner_ && e->GetAttribute("LANGUAGE", &language) &&
            language.CompareNoCase("javascript") == 0)
          scanner_ = new ScriptScanner;
        if (scanner_)
          state_ = kScript;
        else
          EnterRawText(e->name);
      }
      break;
    case Token::JSB_CONSTRUCTOR:
    case Token::JSB_BODYTAG:
    case Token::JSB_STARTBODY:
    case Token::JSB_ENDBODY:
      if (!end) EnterRawText(e->name);
      break;
    case Token::STYLE:
      if (!end)
        state_ = kStyle;
      else if (e->kind == ElemKind::Style)
        static_cast<StyleTag*>(e)->rules = styleRoot_;
      break;
    default:
      break;
  }
}

Elem* Parser::ParseTag() {
  char* b = buf_;
  std::size_t n = len_;
  std::size_t i = 0;
  while (i < n && IsWhite(b[i])) ++i;
  std::size_t nameStart = i;
  while (i < n && !IsWhite(b[i])) ++i;
  std::size_t nameEnd = i;
  bool end = false;
  if (nameStart < nameEnd && (b[nameStart] == '/' || b[nameStart] == '\\')) {
    end = b[nameStart] == '/';
    ++nameStart;
  }
  if (nameStart == nameEnd) return nullptr;
  for (std::size_t k = nameStart; k < nameEnd; ++k) b[k] = halyard::AsciiUpper(b[k]);

  // Attributes: the spans are gathered first, so that a map is made only when there are any.
  attrs_.clear();
  while (i < n) {
    while (i < n && IsWhite(b[i])) ++i;
    if (i == n) break;
    std::size_t an = i;
    while (i < n && !IsWhite(b[i]) && b[i] != '=') {
      b[i] = halyard::AsciiUpper(b[i]);
      ++i;
    }
    std::size_t anLen = i - an;
    while (i < n && IsWhite(b[i])) ++i;
    if (i < n && b[i] == '=') {
      ++i;
      if (i == n || IsWhite(b[i])) {
        while (i < n && IsWhite(b[i])) ++i;
        if (i == n || (b[i] != '"' && b[i] != '\'')) {
          // "NAME= word": the attribute is dropped and the word read as a further name.
          if (g_logOn) Log("param: %s= (ignored)\n", std::string(b + an, anLen).c_str());
          continue;
        }
      }
      std::size_t v, vLen;
      if (b[i] == '"' || b[i] == '\'') {
        char quote = b[i++];
        v = i;
        const char* close = static_cast<const char*>(std::memchr(b + i, quote, n - i));
        std::size_t e = close ? static_cast<std::size_t>(close - b) : n;
        for (std::size_t k = i; k < e; ++k)
          if (b[k] == '\r' || b[k] == '\n') b[k] = ' ';
        i = e;
        vLen = i - v;
        if (i < n) ++i;  // the closing quote; an unclosed one runs to the end
      } else {
        v = i;
        while (i < n && !IsWhite(b[i])) ++i;
        vLen = i - v;
      }
      // References are decoded once the value is split off, so that a "&quot;" inside a
      // quoted value stays inside it.
      vLen = DecodeReferences(b + v, vLen);
      attrs_.push_back({an, anLen, v, vLen, true});
      if (g_logOn)
        Log("param: %s=%s\n", std::string(b + an, anLen).c_str(), std::string(b + v, vLen).c_str());
    } else {
      attrs_.push_back({an, anLen, 0, 0, false});
      if (g_logOn) Log("param: %s\n", std::string(b + an, anLen).c_str());
    }
  }

  // The delimiters after names and values are no longer needed: they become terminators.
  b[n] = 0;
  b[nameEnd] = 0;
  const char* name = b + nameStart;
  int nameLen = static_cast<int>(nameEnd - nameStart);
  Token::Type type = TagTypeTable::Lookup(name, static_cast<std::size_t>(nameLen));
  if (g_logOn) Log("tag: %d '%s'\n", static_cast<int>(type), name);
  Elem* e = CreateElem(type, name, nameLen, end);
  if (!attrs_.empty()) {
    refs_.clear();
    for (const AttrSpan& a : attrs_)
      refs_.push_back({b + a.name, static_cast<int>(a.nameLen), a.hasValue ? b + a.value : "",
                       a.hasValue ? static_cast<int>(a.valueLen) : 0});
    e->SetAttributeList(refs_.data(), static_cast<int>(refs_.size()));
  }
  root_->Append(e);
  endOfInput_.Note(e);
  return e;
}

void Parser::EnterRawText(const char* name) {
  rawMarker_ = "</";
  rawMarker_ += name;
  rawMarker_ += '>';
  heldLen_ = 0;
  state_ = kRawText;
}

// ---- comments ----------------------------------------------------------------------------

std::size_t Parser::CommentState(const char* p, std::size_t n) {
  std::size_t i = 0;
  while (i < n) {
    char c = p[i];
    if (c == '\r') {
      if (i + 1 == n) {
        pendingCR_ = true;
        return n;
      }
      if (p[i + 1] == '\n') {  // dropped
        ++i;
        continue;
      }
      c = '\n';
    }
    if (!commentSettled_) {
      if (c == '-') {
        ++commentLead_;
        if (len_ == kMaxText) EmitComment();
        buf_[len_++] = '-';
        ++i;
        continue;
      }
      // Two dashes or more open a comment, whose opening dashes are not kept; fewer make a
      // declaration such as <!DOCTYPE ...>.
      commentSettled_ = true;
      isComment_ = commentLead_ >= 2;
      if (isComment_) len_ = 0;
      dashes_ = commentLead_;
    }
    if (!IsCommentSpecial(c)) {
      std::size_t j = i;
      while (j < n && !IsCommentSpecial(p[j])) ++j;
      std::size_t k = j - i;
      const char* s = p + i;
      while (k > 0) {
        if (len_ == kMaxText) EmitComment();
        std::size_t room = kMaxText - len_;
        std::size_t m = k < room ? k : room;
        std::memcpy(buf_ + len_, s, m);
        len_ += m;
        s += m;
        k -= m;
      }
      dashes_ = 0;
      i = j;
      continue;
    }
    switch (c) {
      case '>':
        if (nest_ == 0 || (isComment_ && dashes_ >= 2)) {
          CloseComment();
          state_ = kText;
          return i + 1;
        }
        --nest_;
        dashes_ = 0;
        break;
      case '<':
        ++nest_;
        dashes_ = 0;
        break;
      case '-':
        ++dashes_;
        break;
      case '\n':
        // Each line of a comment becomes a comment element of its own.
        ++line_;
        EmitComment();
        ++i;
        continue;
      default:  // blanks leave the dash count
        break;
    }
    if (len_ == kMaxText) EmitComment();
    buf_[len_++] = c;
    ++i;
  }
  return n;
}

void Parser::EmitComment() {
  Elem* e = new CommentElem(buf_, static_cast<int>(len_));
  root_->Append(e);
  endOfInput_.Note(e);
  len_ = 0;
}

void Parser::CloseComment() {
  if (len_ >= 2 && buf_[len_ - 1] == '-' && buf_[len_ - 2] == '-') len_ -= 2;
  EmitComment();
}

// ---- script, raw text, style -------------------------------------------------------------

std::size_t Parser::ScriptState(const char* p, std::size_t n) {
  long end = scanner_->ScanForEnd(p, n);
  if (end == ScriptScanner::kGoesOn) {
    EmitBlockKeeping(p, n,
                     BlockTail(p, n, ScriptScanner::kEndTag, ScriptScanner::kEndTagLength + 1));
    return n;
  }
  if (end >= 0) {
    std::size_t k = static_cast<std::size_t>(end);
    EmitBlockKeeping(p, k, 0);
    EndBlock();
    state_ = kText;
    return k;
  }
  // The "<" of the end stood in the held tail of the last piece; what follows it there begins
  // the end tag.
  std::size_t back = static_cast<std::size_t>(-end);
  std::size_t lt = back <= heldLen_ ? heldLen_ - back : 0;
  EmitBlockText(held_, lt, nullptr, 0, '<');
  EndBlock();
  len_ = heldLen_ > lt + 1 ? heldLen_ - lt - 1 : 0;
  std::memcpy(buf_, held_ + lt + 1, len_);
  heldLen_ = 0;
  state_ = kTag;
  return 0;
}

std::size_t Parser::RawTextState(const char* p, std::size_t n) {
  const char* marker = rawMarker_.data();
  const std::size_t m = rawMarker_.size();
  if (heldLen_ > 0 && held_[0] == '<') {
    // The last piece ended with the start of the marker: does this piece complete it?
    std::size_t need = m - heldLen_;
    std::size_t avail = need < n ? need : n;
    if (EqualNoCase(p, marker + heldLen_, avail)) {
      if (avail < need) {
        std::memcpy(held_ + heldLen_, p, avail);
        heldLen_ += avail;
        return n;
      }
      EndBlock();
      std::memcpy(buf_, held_ + 1, heldLen_ - 1);
      std::memcpy(buf_ + heldLen_ - 1, p, avail - 1);
      len_ = m - 2;
      heldLen_ = 0;
      EndTag();
      return avail;
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    const char* lt = static_cast<const char*>(std::memchr(p + i, '<', n - i));
    if (!lt) break;
    i = static_cast<std::size_t>(lt - p);
    if (n - i < m) break;  // a start of the marker at the end is held back below
    if (!EqualNoCase(lt, marker, m)) continue;
    EmitBlockKeeping(p, i, 0);
    EndBlock();
    std::memcpy(buf_, lt + 1, m - 2);
    len_ = m - 2;
    EndTag();
    return i + m;
  }
  EmitBlockKeeping(p, n, BlockTail(p, n, marker, m));
  return n;
}

std::size_t Parser::StyleState(const char* p, std::size_t n) {
  if (!styleRoot_) styleRoot_ = std::make_shared<SelectorNode>(Token::BODY, CString("BODY"));
  if (heldLen_ == 1 && held_[0] == '<' && p[0] == '/') {
    // "</" across the pieces: the "<" closed the last piece.
    heldLen_ = 0;
    EndBlock();
    styleRoot_->ParseRules(styleTail_.data(), styleTail_.size(), true, styleScan_);
    styleTail_.clear();
    styleScan_ = SelectorNode::RuleScan();
    state_ = kTag;
    len_ = 0;
    return 0;
  }
  std::size_t end = n;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const char* lt = static_cast<const char*>(std::memchr(p + i, '<', n - i - 1));
    if (!lt) break;
    i = static_cast<std::size_t>(lt - p);
    if (lt[1] == '/') {
      end = i;
      break;
    }
  }
  bool final = end < n;
  // A "<" or a carriage return that ends the piece waits for the next one.
  std::size_t keep = !final && (p[n - 1] == '<' || p[n - 1] == '\r') ? 1 : 0;
  styleTail_.append(held_, heldLen_);
  styleTail_.append(p, end - keep);
  EmitBlockKeeping(p, end, keep);
  std::size_t used =
      styleRoot_->ParseRules(styleTail_.data(), styleTail_.size(), final, styleScan_);
  if (final) {
    EndBlock();
    styleTail_.clear();
    styleScan_ = SelectorNode::RuleScan();
    state_ = kText;
    return end;
  }
  if (used > 0) styleTail_.erase(0, used);
  return n;
}
