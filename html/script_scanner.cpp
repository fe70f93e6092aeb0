#include "script_scanner.h"

#include <cstring>

#include "script_keyword_table.h"

namespace {

constexpr bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }
constexpr bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '_'; }
constexpr bool IsNumberChar(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f') || c == 'x';
}
// A character inside a string literal that neither ends it, escapes, nor may begin an end tag.
constexpr bool IsStringBody(char c, char quote) {
  return c != quote && c != '\\' && c != '<' && !IsLineEnd(c);
}
constexpr bool IsSimpleOperator(char c) {
  switch (c) {
    case '&':
    case '+':
    case '-':
    case '|':
    case '!':
    case '%':
    case '*':
    case '=':
    case '^':
      return true;
    default:
      return false;
  }
}

// The characters that are a token of their own wherever a token may begin.
struct SingleTokens {
  int cls[256];
};
constexpr SingleTokens MakeSingleTokens() {
  SingleTokens t{};
  t.cls[static_cast<unsigned char>('(')] = ScriptScanner::kLParen;
  t.cls[static_cast<unsigned char>(')')] = ScriptScanner::kRParen;
  t.cls[static_cast<unsigned char>('[')] = ScriptScanner::kLBracket;
  t.cls[static_cast<unsigned char>(']')] = ScriptScanner::kRBracket;
  t.cls[static_cast<unsigned char>('{')] = ScriptScanner::kLBrace;
  t.cls[static_cast<unsigned char>('}')] = ScriptScanner::kRBrace;
  t.cls[static_cast<unsigned char>(',')] = ScriptScanner::kComma;
  t.cls[static_cast<unsigned char>('.')] = ScriptScanner::kDot;
  t.cls[static_cast<unsigned char>(';')] = ScriptScanner::kSemicolon;
  t.cls[static_cast<unsigned char>(':')] = t.cls[static_cast<unsigned char>('?')] = t.cls[static_cast<unsigned char>('~')] = ScriptScanner::kOperator;
  return t;
}
constexpr SingleTokens kSingleTokens = MakeSingleTokens();

// What a character does where a token may begin, for the scanner's fast path.
enum StartChar : unsigned char {
  kOtherChar,
  kBlankChar,
  kLineChar,
  kLetterChar,
  kOperatorChar,
  kSingleChar
};
struct StartClasses {
  StartChar cls[256];
};
constexpr StartClasses MakeStartClasses() {
  StartClasses t{};
  for (int c = 0; c < 256; ++c) {
    auto ch = static_cast<char>(c);
    if (ch == ' ' || ch == '\t')
      t.cls[c] = kBlankChar;
    else if (ch == '\n' || ch == '\r' || ch == '\f' || ch == '\v')
      t.cls[c] = kLineChar;
    else if (IsLetter(ch))
      t.cls[c] = kLetterChar;
    else if (IsSimpleOperator(ch))
      t.cls[c] = kOperatorChar;
    else if (kSingleTokens.cls[c] != 0)
      t.cls[c] = kSingleChar;
  }
  return t;
}

constexpr StartClasses kStartClass = MakeStartClasses();

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool EndsEndTag(char c) {
  return c == '>' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

}  // namespace

ScriptScanner::ScriptScanner() { stack_.reserve(64); }

ScriptScanner::~ScriptScanner() = default;

int ScriptScanner::Scan(const char* bytes, int length) {
  if (!bytes || length <= 0) return 0;
  long end = ScanForEnd(bytes, static_cast<std::size_t>(length));
  return end > 0 ? static_cast<int>(end) : 0;
}

void ScriptScanner::Finish() {
  ResetLexer();
  stack_.clear();
  builder_.Finish();
}

int ScriptScanner::Reserved() { return 0; }

void ScriptScanner::Reset() {
  ResetLexer();
  stack_.clear();
  builder_.Reset();
}

void ScriptScanner::ResetLexer() {
  state_ = kStart;
  quote_ = pairChar_ = 0;
  wordLen_ = 0;
  ended_ = false;
  endTagMatched_ = 0;
}

void ScriptScanner::Push(int tokenClass, std::size_t start, std::size_t end) {
  ++tokens_;
  bool pushed = stack_.size() < kStackLimit;
  if (pushed) stack_.push_back(tokenClass);
  if (builder_.Wants(tokenClass)) builder_.Token(tokenClass, start, end, stack_, pushed);
}

long ScriptScanner::ScanForEnd(const char* bytes, std::size_t length) {
  const std::size_t base = builder_.Offset();
  builder_.BeginPiece(bytes, length);
  for (std::size_t i = 0; i < length; ++i) {
    char c = bytes[i];
    // Runs that change nothing but the position are passed over without the state machine, and
    // the common tokens are read at once: blanks between tokens, names, numbers, the bodies of
    // strings and comments, one-character tokens and the short operators. A "<" always takes
    // the long way, for the end tag.
    if (endTagMatched_ == 0 && c != '<') {
      switch (state_) {
        case kStart:
          switch (kStartClass.cls[static_cast<unsigned char>(c)]) {
            case kBlankChar:
              while (i + 1 < length && (bytes[i + 1] == ' ' || bytes[i + 1] == '\t')) ++i;
              continue;
            case kLineChar:
              continue;
            case kLetterChar: {
              // A whole name; it ends at the first other character, which the next round
              // reads. A name cut by the end of the piece goes on in the name state.
              std::size_t j = i + 1;
              while (j < length && IsNameChar(bytes[j])) ++j;
              tokStart_ = base + i;
              wordLen_ = j - i;
              std::memcpy(word_, bytes + i, wordLen_ < sizeof word_ ? wordLen_ : sizeof word_);
              i = j - 1;
              if (j == length) {
                state_ = kInName;
                continue;
              }
              at_ = base + j;
              PushName();
              continue;
            }
            case kOperatorChar:
              if (i + 1 < length) {
                // "&&", "++", "--", "||" and each of these with "=", or "!", "%", "*", "=",
                // "^" with "=": one operator token of one or two characters.
                char d = bytes[i + 1];
                bool doubled = (c == '&' || c == '+' || c == '-' || c == '|') && d == c;
                at_ = tokStart_ = base + i;
                if (doubled || d == '=') ++i;
                Push(kOperator, at_, base + i + 1);
                continue;
              }
              break;
            case kSingleChar:
              at_ = tokStart_ = base + i;
              PushHere(kSingleTokens.cls[static_cast<unsigned char>(c)]);
              continue;
            default:
              break;
          }
          break;
        case kInName:
          if (!IsNameChar(c)) break;
          for (;;) {
            if (wordLen_ < sizeof word_) word_[wordLen_] = c;
            ++wordLen_;
            if (i + 1 == length || !IsNameChar(bytes[i + 1])) break;
            c = bytes[++i];
          }
          continue;
        case kInNumber:
          if (!IsNumberChar(c)) break;
          while (i + 1 < length && IsNumberChar(bytes[i + 1])) ++i;
          continue;
        case kInString:
          if (!IsStringBody(c, quote_)) break;
          while (i + 1 < length && IsStringBody(bytes[i + 1], quote_)) ++i;
          continue;
        case kInBlockComment:
          if (c == '*') {
            state_ = kInBlockCommentStar;
            continue;
          }
          while (i + 1 < length && bytes[i + 1] != '*' && bytes[i + 1] != '<') ++i;
          continue;
        case kInLineComment:
          if (IsLineEnd(c)) {
            state_ = kStart;
            continue;
          }
          while (i + 1 < length && !IsLineEnd(bytes[i + 1]) && bytes[i + 1] != '<') ++i;
          continue;
        default:
          break;
      }
    }
    // "</script" ends the script even inside a comment or string: a browser reads it so, and a
    // comment left open would otherwise swallow the rest of the page.
    if (endTagMatched_ > 0 || c == '<') {
      if (endTagMatched_ == kEndTagLength) {
        if (EndsEndTag(c)) {
          ResetLexer();
          long end = static_cast<long>(i) - kEndTagLength;
          builder_.EndOfScript(static_cast<std::size_t>(static_cast<long>(base) + end));
          return end;
        }
        endTagMatched_ = c == '<' ? 1 : 0;
      } else if (Lower(c) == kEndTag[endTagMatched_]) {
        ++endTagMatched_;
      } else {
        endTagMatched_ = c == '<' ? 1 : 0;
      }
    }
    // Comments are passed over in runs; a "<" inside them is still read, for the end tag.
    if (state_ == kInBlockComment && endTagMatched_ == 0) {
      if (c == '*') {
        state_ = kInBlockCommentStar;
        continue;
      }
      while (i + 1 < length && bytes[i + 1] != '*' && bytes[i + 1] != '<') ++i;
      continue;
    }
    if (state_ == kInLineComment && endTagMatched_ == 0) {
      if (IsLineEnd(c)) {
        state_ = kStart;
        continue;
      }
      while (i + 1 < length && !IsLineEnd(bytes[i + 1]) && bytes[i + 1] != '<') ++i;
      continue;
    }
    at_ = base + i;
    bool done;
    do {
      switch (state_) {
        case kStart:
          done = StartState(c);
          break;
        case kInName:
          done = NameState(c);
          break;
        case kInNumber:
          done = NumberState(c);
          break;
        case kInString:
          done = StringState(c);
          break;
        case kInStringEscape:
          done = StringEscapeState(c);
          break;
        case kInBlockComment:
          done = BlockCommentState(c);
          break;
        case kInBlockCommentStar:
          done = BlockCommentStarState(c);
          break;
        case kInLineComment:
          done = LineCommentState(c);
          break;
        case kLt:
          done = LtState(c);
          break;
        case kLtBang:
          done = LtBangState(c);
          break;
        case kLtBangDash:
          done = LtBangDashState(c);
          break;
        case kShl:
          done = ShlState(c);
          break;
        case kGt:
          done = GtState(c);
          break;
        case kShr:
          done = ShrState(c);
          break;
        case kShr3:
          done = Shr3State(c);
          break;
        case kAmp:
        case kPlus:
        case kMinus:
        case kPipe:
          done = PairState(c, pairChar_);
          break;
        case kOpEq:
          done = OpEqState(c);
          break;
        case kSlash:
          done = SlashState(c);
          break;
        default:
          done = true;
          break;
      }
    } while (!done);
    if (ended_) {
      ResetLexer();
      builder_.EndOfScript(at_ - 1);
      return static_cast<long>(i) - 1;  // the "<" stood just before this "/"
    }
  }
  builder_.EndPiece();
  return kGoesOn;
}

bool ScriptScanner::StartState(char c) {
  tokStart_ = at_;
  if (IsLetter(c)) {
    state_ = kInName;
    word_[0] = c;
    wordLen_ = 1;
    return true;
  }
  if (IsDigit(c)) {
    state_ = kInNumber;
    return true;
  }
  switch (c) {
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case '\f':
    case '\v':
      return true;
    case '"':
    case '\'':
      PushHere(c == '"' ? kDoubleQuote : kSingleQuote);
      quote_ = c;
      state_ = kInString;
      return true;
    case '(':
      PushHere(kLParen);
      return true;
    case ')':
      PushHere(kRParen);
      return true;
    case '[':
      PushHere(kLBracket);
      return true;
    case ']':
      PushHere(kRBracket);
      return true;
    case '{':
      PushHere(kLBrace);
      return true;
    case '}':
      PushHere(kRBrace);
      return true;
    case ',':
      PushHere(kComma);
      return true;
    case '.':
      PushHere(kDot);
      return true;
    case ';':
      PushHere(kSemicolon);
      return true;
    case ':':
    case '?':
    case '~':
      PushHere(kOperator);
      return true;
    case '<':
      state_ = kLt;
      return true;
    case '>':
      state_ = kGt;
      return true;
    case '&':
    case '+':
    case '-':
    case '|':
      pairChar_ = c;
      state_ = c == '&' ? kAmp : c == '+' ? kPlus : c == '-' ? kMinus : kPipe;
      return true;
    case '!':
    case '%':
    case '*':
    case '=':
    case '^':
      state_ = kOpEq;
      return true;
    case '/':
      state_ = kSlash;
      return true;
    default:
      // A character that starts no token ("$", "_", "@", bytes above 127, ...) is passed over;
      // the rest of its line is still read, so a script's end after it is not missed.
      return true;
  }
}

bool ScriptScanner::NameState(char c) {
  if (IsLetter(c) || IsDigit(c) || c == '_') {
    if (wordLen_ < sizeof word_) word_[wordLen_] = c;
    ++wordLen_;
    return true;
  }
  PushName();
  state_ = kStart;
  return false;
}

void ScriptScanner::PushName() {
  int keyword = 0;
  if (word_[0] >= 'a' && word_[0] <= 'z' && wordLen_ < sizeof word_)
    keyword = ScriptKeywordTable::Lookup(word_, wordLen_);
  Push(keyword ? keyword : kName);
}

bool ScriptScanner::NumberState(char c) {
  if (IsNumberChar(c)) return true;
  Push(kNumber);
  state_ = kStart;
  return false;
}

bool ScriptScanner::StringState(char c) {
  if (c == '\\') {
    state_ = kInStringEscape;
  } else if (c == quote_ || IsLineEnd(c)) {
    // A string literal cannot run past its line; an unclosed one ends there.
    state_ = kStart;
  }
  return true;
}

bool ScriptScanner::StringEscapeState(char) {
  state_ = kInString;
  return true;
}

bool ScriptScanner::BlockCommentState(char c) {
  if (c == '*') state_ = kInBlockCommentStar;
  return true;
}

bool ScriptScanner::BlockCommentStarState(char c) {
  if (c == '/')
    state_ = kStart;
  else if (c != '*')
    state_ = kInBlockComment;
  return true;
}

bool ScriptScanner::LineCommentState(char c) {
  if (IsLineEnd(c)) state_ = kStart;
  return true;
}

bool ScriptScanner::LtState(char c) {
  switch (c) {
    case '/':
      ended_ = true;
      return true;
    case '!':
      state_ = kLtBang;
      return true;
    case '<':
      state_ = kShl;
      return true;
    case '=':
      Push(kOperator);
      state_ = kStart;
      return true;
    default:
      Push(kOperator);
      state_ = kStart;
      return false;
  }
}

bool ScriptScanner::LtBangState(char c) {
  if (c == '-') {
    state_ = kLtBangDash;
    return true;
  }
  Push(kOperator);  // "<", then "!" begins a token of its own
  state_ = kOpEq;
  return false;
}

bool ScriptScanner::LtBangDashState(char c) {
  if (c == '-') {  // "<!--" is dropped
    builder_.Drop(tokStart_, at_ + 1);
    state_ = kStart;
    return true;
  }
  Push(kOperator);  // "<", "!", then "-" begins a token
  Push(kOperator);
  pairChar_ = '-';
  state_ = kMinus;
  return false;
}

bool ScriptScanner::ShlState(char c) {
  Push(kOperator);
  state_ = kStart;
  return c == '=';
}

bool ScriptScanner::GtState(char c) {
  if (c == '>') {
    state_ = kShr;
    return true;
  }
  Push(kOperator);
  state_ = kStart;
  return c == '=';
}

bool ScriptScanner::ShrState(char c) {
  if (c == '>') {
    state_ = kShr3;
    return true;
  }
  Push(kOperator);
  state_ = kStart;
  return c == '=';
}

bool ScriptScanner::Shr3State(char c) {
  Push(kOperator);
  state_ = kStart;
  return c == '=';
}

bool ScriptScanner::PairState(char c, char second) {
  Push(kOperator);
  state_ = kStart;
  return c == second || c == '=';
}

bool ScriptScanner::OpEqState(char c) {
  Push(kOperator);
  state_ = kStart;
  return c == '=';
}

bool ScriptScanner::SlashState(char c) {
  if (c == '*') {
    Push(kBlockComment);
    state_ = kInBlockComment;
    return true;
  }
  if (c == '/') {
    Push(kLineComment);
    state_ = kInLineComment;
    return true;
  }
  Push(kOperator);
  state_ = kStart;
  return c == '=';
}
