#include "select_expr.h"

#include <cctype>
#include <stdexcept>

#include "cda_complex_select.h"
#include "cda_type_select.h"
#include "datalib/access/cda_database.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string_array.h"
#include "platform/kernel/text.h"

namespace vaultkit {

bool CatalogFieldResolver::Resolve(const std::string& name, LONG* field, LONG* kind) const {
  if (mDb == nullptr) return false;
  CPDStringArray names;
  CPDLongArray kinds;
  mDb->mGetFields(mType, &names, &kinds);
  for (LONG i = 0; i < names.mGetNumItems(); ++i) {
    CPDString found;
    LONG foundKind = -1;
    mDb->mGetFieldName(mType, i, &found, &foundKind);
    if (halyard::CompareNoCaseAscii(static_cast<char*>(found), name) == 0) {
      *field = i;
      *kind = foundKind;
      return true;
    }
  }
  return false;
}

namespace {

constexpr int kMaxNesting = 64;

// Thrown inside the parser with the offset where the text went wrong.
struct ParseFailure {
  size_t offset;
  std::string message;
};

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

bool TakesText(LONG kind) {
  return kind < 0 || kind == kDAKindText || kind == kDAKindFile || kind == kDAKindFormattedText;
}
bool TakesNumber(LONG kind) { return kind < 0 || kind == kDAKindLong; }

class Parser {
 public:
  Parser(std::string_view text, LONG type, const SelectFieldResolver* fields)
      : mText(text), mType(type), mFields(fields) {}

  CDASelect* Run() {
    CDASelect* result = Or(0);
    SkipBlanks();
    if (mPos < mText.size()) {
      DeleteSelectTree(result);
      Fail("expected \"and\", \"or\" or the end of the condition");
    }
    return result;
  }

 private:
  [[noreturn]] void Fail(const std::string& message) { throw ParseFailure{mPos, message}; }

  void SkipBlanks() {
    while (mPos < mText.size() && std::isspace(static_cast<unsigned char>(mText[mPos])) != 0)
      ++mPos;
  }

  // The word at the cursor (letters, digits, "_"), not consumed.
  std::string_view PeekWord() {
    SkipBlanks();
    size_t end = mPos;
    while (end < mText.size() && IsNameChar(mText[end])) ++end;
    return mText.substr(mPos, end - mPos);
  }

  bool TakeKeyword(const char* keyword) {
    std::string_view word = PeekWord();
    if (word.empty() || halyard::CompareNoCaseAscii(word, keyword) != 0) return false;
    mPos += word.size();
    return true;
  }

  bool TakeChar(char c) {
    SkipBlanks();
    if (mPos < mText.size() && mText[mPos] == c) {
      ++mPos;
      return true;
    }
    return false;
  }

  void Expect(char c) {
    if (!TakeChar(c)) Fail(std::string("expected \"") + c + "\"");
  }

  // A chain of parts joined by one operator: one complex selection, or the part alone.
  template <typename Complex>
  CDASelect* Chain(CDASelect* first, const char* keyword, CDASelect* (Parser::*next)(int),
                   int depth) {
    if (!TakeKeyword(keyword)) return first;
    auto* complex = new Complex();
    complex->mAddSelect(first);
    try {
      do {
        complex->mAddSelect((this->*next)(depth));
      } while (TakeKeyword(keyword));
    } catch (...) {
      DeleteSelectTree(complex);
      throw;
    }
    return complex;
  }

  CDASelect* Or(int depth) { return Chain<CDAOrSelect>(And(depth), "or", &Parser::And, depth); }
  CDASelect* And(int depth) {
    return Chain<CDAAndSelect>(Primary(depth), "and", &Parser::Primary, depth);
  }

  CDASelect* Primary(int depth) {
    SkipBlanks();
    if (mPos < mText.size() && mText[mPos] == '(') {
      if (depth >= kMaxNesting) Fail("parentheses nested too deeply");
      ++mPos;
      CDASelect* inner = Or(depth + 1);
      if (!TakeChar(')')) {
        DeleteSelectTree(inner);
        Fail("expected \")\"");
      }
      return inner;
    }
    return Condition();
  }

  void Field(LONG* field, LONG* kind, std::string* name) {
    SkipBlanks();
    const size_t start = mPos;
    if (mPos < mText.size() && mText[mPos] == '#') {
      ++mPos;
      LONG number = Number("a field number after \"#\"");
      if (number < 0) {
        mPos = start;
        Fail("a field number is not negative");
      }
      *field = number;
      *kind = -1;
      *name = "#" + std::to_string(number);
      return;
    }
    if (mPos < mText.size() && mText[mPos] == '[') {
      size_t end = mText.find(']', mPos + 1);
      if (end == std::string_view::npos) Fail("a field name in \"[\" has no \"]\"");
      *name = std::string(mText.substr(mPos + 1, end - mPos - 1));
      mPos = end + 1;
    } else {
      std::string_view word = PeekWord();
      if (word.empty()) Fail("expected a field name");
      *name = std::string(word);
      mPos += word.size();
    }
    if (mFields == nullptr || !mFields->Resolve(*name, field, kind)) {
      mPos = start;
      Fail("no field \"" + *name + "\" in this type");
    }
  }

  LONG Number(const char* what) {
    SkipBlanks();
    size_t end = mPos;
    if (end < mText.size() && (mText[end] == '-' || mText[end] == '+')) ++end;
    size_t digits = end;
    while (end < mText.size() && std::isdigit(static_cast<unsigned char>(mText[end])) != 0) ++end;
    if (end == digits) Fail(std::string("expected ") + what);
    long long value = 0;
    try {
      value = std::stoll(std::string(mText.substr(mPos, end - mPos)));
    } catch (const std::out_of_range&) {
      value = 1LL << 40;
    }
    if (value < -2147483648LL || value > 2147483647LL) Fail("number out of the 32-bit range");
    mPos = end;
    return static_cast<LONG>(value);
  }

  std::string Text() {
    SkipBlanks();
    if (mPos >= mText.size() || mText[mPos] != '"') Fail("expected a text in double quotes");
    const size_t start = mPos++;
    std::string out;
    while (mPos < mText.size() && mText[mPos] != '"') {
      if (mText[mPos] == '\\' && mPos + 1 < mText.size()) ++mPos;
      out += mText[mPos++];
    }
    if (mPos >= mText.size()) {
      mPos = start;
      Fail("the text that starts here has no closing quote");
    }
    ++mPos;
    if (out.size() > static_cast<size_t>(CPDString::kMaxLength)) {
      mPos = start;
      Fail("a text is longer than 254 characters");
    }
    return out;
  }

  CDASelect* Condition() {
    LONG field = 0, kind = -1;
    std::string name;
    const size_t fieldStart = (SkipBlanks(), mPos);
    Field(&field, &kind, &name);
    const size_t opStart = (SkipBlanks(), mPos);
    auto needs = [&](bool ok, const char* what) {
      if (!ok) {
        mPos = fieldStart;
        Fail("field \"" + name + "\" does not hold " + what);
      }
    };
    static const struct {
      const char* word;
      LONG op;
    } kTextOps[] = {{"begins", CDAStringSelect::kBeginsWith},
                    {"contains", CDAStringSelect::kContains},
                    {"ends", CDAStringSelect::kEndsWith}};
    for (const auto& t : kTextOps) {
      if (TakeKeyword(t.word)) {
        needs(TakesText(kind), "text");
        return new CDAStringSelect(mType, field, CPDString(Text().c_str()), t.op);
      }
    }
    if (TakeKeyword("in")) {
      needs(TakesNumber(kind), "numbers");
      Expect('(');
      auto* in = new CDAInLongSelect(mType, field);
      try {
        do {
          in->mAddValue(Number("a number"));
        } while (TakeChar(','));
        Expect(')');
      } catch (...) {
        delete in;
        throw;
      }
      return in;
    }
    if (TakeChar('=')) {
      SkipBlanks();
      if (mPos < mText.size() && mText[mPos] == '"') {
        needs(TakesText(kind), "text");
        return new CDAStringSelect(mType, field, CPDString(Text().c_str()), -1);
      }
      needs(TakesNumber(kind), "numbers");
      return new CDALongSelect(mType, field, Number("a number or a text"), CDALongSelect::kEqualTo);
    }
    if (TakeChar('<')) {
      needs(TakesNumber(kind), "numbers");
      return new CDALongSelect(mType, field, Number("a number"), CDALongSelect::kLessThan);
    }
    if (TakeChar('>')) {
      needs(TakesNumber(kind), "numbers");
      return new CDALongSelect(mType, field, Number("a number"), CDALongSelect::kGreaterThan);
    }
    mPos = opStart;
    Fail("expected begins, contains, ends, =, <, > or in");
  }

  std::string_view mText;
  size_t mPos = 0;
  LONG mType;
  const SelectFieldResolver* mFields;
};

}  // namespace

CDASelect* ParseSelectExpr(std::string_view text, LONG type, const SelectFieldResolver* fields,
                           SelectExprError* error) {
  try {
    return Parser(text, type, fields).Run();
  } catch (const ParseFailure& failure) {
    if (error != nullptr) {
      error->position = failure.offset + 1;
      error->message = "position " + std::to_string(error->position) + ": " + failure.message;
    }
    return nullptr;
  }
}

}  // namespace vaultkit
