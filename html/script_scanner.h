// ScriptScanner: reads the text of a JavaScript SCRIPT element, piece by piece as the tokenizer
// hands it over, cuts it into tokens and finds where the script ends: at the first "</" that
// stands outside string literals and comments, or at a "</SCRIPT" end tag (case ignored, then
// ">" or white space) wherever it stands, as a browser ends a script whose comment or string
// was left open. The lexer keeps its state between pieces (a
// token, string or comment may be cut by the end of a piece). Each token's class, or its
// keyword number 1 to 53, goes onto a nesting stack of at most 512 entries, and to the builder
// of the script's structure (script_builder.h), which the scanner owns: the top-level list lives
// until Reset or the scanner's end. Owned by the Parser that created it; one thread at a time.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "script_builder.h"

class HALYARD_EXPORT ScriptScanner {
 public:
  // Token classes beyond the keyword numbers 1 to 53.
  enum TokenClass {
    kName = 60,
    kNumber,
    kDoubleQuote,  // string starts
    kSingleQuote,
    kLParen,
    kRParen,
    kLBracket,
    kRBracket,
    kLBrace,
    kRBrace,
    kComma,
    kDot,
    kSemicolon,
    kOperator,
    kBlockComment,  // comment starts
    kLineComment,
  };
  enum { kStackLimit = 512 };
  // What ScanForEnd answers when the script does not end in the piece.
  static constexpr long kGoesOn = -0x7fffffffL;

  ScriptScanner();
  virtual ~ScriptScanner();
  // Takes the next piece of script text. Returns the length of script text before the "</" that
  // ends the script, or 0 when the script goes on (so an end right at the start of a piece also
  // reads 0: callers that must tell the two apart use ScanForEnd).
  virtual int Scan(const char* bytes, int length);
  // Completes the script's structure (script_builder.h): the lexer and the building state
  // start afresh for the next script; the top-level list stays until Reset.
  virtual void Finish();
  // The fourth slot of the original interface, which hosts may still call: answers 0.
  virtual int Reserved();

  // The top-level list of statements (groups and function definitions) built so far.
  ScriptItemList* GetScriptItems() { return &builder_.TopLevel(); }
  // Deletes the structure and starts afresh, as a new scanner.
  void Reset();

  // The offset in this piece of the "<" of the "</" that ends the script: negative when that
  // "<" stood in an earlier piece (-1 the last byte of the previous piece, at most
  // kEndTagLength bytes back); kGoesOn when the script does not end here. After an end the
  // lexer starts afresh.
  long ScanForEnd(const char* bytes, std::size_t length);
  // The end tag that ends a script wherever it stands, without the ">" or blank after it.
  static constexpr const char* kEndTag = "</script";
  enum { kEndTagLength = 8 };

  const std::vector<int>& TokenStack() const { return stack_; }
  // Tokens seen since construction (also those the full stack did not take).
  std::size_t TokenCount() const { return tokens_; }

 private:
  enum State {
    kStart,
    kInName,
    kInNumber,
    kInString,
    kInStringEscape,
    kInBlockComment,
    kInBlockCommentStar,
    kInLineComment,
    kLt,          // "<"
    kLtBang,      // "<!"
    kLtBangDash,  // "<!-"
    kShl,         // "<<"
    kGt,          // ">"
    kShr,         // ">>"
    kShr3,        // ">>>"
    kAmp,         // "&"
    kPlus,        // "+"
    kMinus,       // "-"
    kPipe,        // "|"
    kOpEq,        // "!", "%", "*", "=", "^": an "=" may follow
    kSlash,       // "/"
  };

  // One function per state; each returns false when the character must be looked at again in
  // the state it switched to.
  bool StartState(char c);
  bool NameState(char c);
  bool NumberState(char c);
  bool StringState(char c);
  bool StringEscapeState(char c);
  bool BlockCommentState(char c);
  bool BlockCommentStarState(char c);
  bool LineCommentState(char c);
  bool LtState(char c);
  bool LtBangState(char c);
  bool LtBangDashState(char c);
  bool ShlState(char c);
  bool GtState(char c);
  bool ShrState(char c);
  bool Shr3State(char c);
  bool PairState(char c, char second);  // "&&", "++", "--", "||", each also with "="
  bool OpEqState(char c);
  bool SlashState(char c);

  // A token of the class at [start, end) of the script text; the one-argument form is for a
  // token that began at tokStart_ and ends before the current character.
  void Push(int tokenClass, std::size_t start, std::size_t end);
  void Push(int tokenClass) { Push(tokenClass, tokStart_, at_); }
  // A one-character token at the current character.
  void PushHere(int tokenClass) { Push(tokenClass, at_, at_ + 1); }
  // The name in word_ (its keyword number, or the name class), ending before the current
  // character.
  void PushName();
  void ResetLexer();

  State state_ = kStart;
  char quote_ = 0;
  char pairChar_ = 0;  // the operator character of kAmp, kPlus, kMinus and kPipe
  char word_[13];      // the start of the name in progress, for the keyword look-up
  std::size_t wordLen_ = 0;
  bool ended_ = false;             // set by LtState when "</" ends the script
  std::size_t endTagMatched_ = 0;  // characters of kEndTag just read, in any lexer state
  std::vector<int> stack_;
  std::size_t tokens_ = 0;
  std::size_t at_ = 0;        // offset in the script text of the current character
  std::size_t tokStart_ = 0;  // offset of the token in progress
  halyard::tagsmith::ScriptBuilder builder_;
};
