// ScriptBuilder: builds the structure of a script (script_structure.h) from the tokens of the
// script scanner, as they come, piece by piece. The scanner owns its builder; the builder owns the
// structure until the scanner is reset or destroyed. One thread at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "script_structure.h"

namespace halyard::tagsmith {

// Builds the structure from the script scanner's tokens. The scanner hands it each piece of
// script text before its tokens, and each token with its token class (or keyword number) and
// its place as an offset from the start of the script text; the builder keeps the text not yet
// taken into an item, also across pieces.
//
// What it keeps: every text run goes somewhere, so the written top-level list gives the script
// back, except for "<!--" (dropped) and the "-->" that Finish blanks. In particular:
// - "(", "," and ")" of a call are written by the call itself; text before them (a string
//   argument, blanks) goes to the argument first. A ")" that is not the call's own (inner
//   parentheses, a condition) is text.
// - Text held back at "[" goes out before anything gathered inside the brackets.
// - A definition ("function" and a name where a statement may begin) keeps its head and writes
//   its signature; "function" anywhere else is text and its parameter list plain parentheses.
// - A block inside parentheses or brackets (a function written as an argument) does not end
//   the statement around it; a call ends in argument mode of the call around it, or none.
// - Calls left open at the end are written unclosed, as they stood.
class ScriptBuilder {
 public:
  ScriptBuilder() = default;
  ScriptBuilder(const ScriptBuilder&) = delete;
  ScriptBuilder& operator=(const ScriptBuilder&) = delete;
  ~ScriptBuilder();

  // The next piece of script text, at offset base (the end of the previous piece). The builder
  // keeps a copy of it, up to where the script may end, for its text items to point into.
  void BeginPiece(const char* bytes, std::size_t length);
  // The piece is done: its untaken text is kept for the next one.
  void EndPiece();
  // A token of class tokenClass (a ScriptScanner::TokenClass or a keyword number) at
  // [start, end). stack is the scanner's token stack, with the token on top when pushed says
  // it fitted; the rules of the structure pop it.
  void Token(int tokenClass, std::size_t start, std::size_t end, std::vector<int>& stack,
             bool pushed);
  // False for a token that changes nothing (an operator, a number, a string or comment start,
  // a keyword other than "function"): the scanner need not hand it over.
  bool Wants(int tokenClass) const {
    return awaiting_ || (tokenClass >= 0 && tokenClass < 128 && kWanted.wanted[tokenClass]);
  }
  // "<!--" at [start, end): dropped.
  void Drop(std::size_t start, std::size_t end);
  // The script text ends at offset end (an end tag begins there): text up to it is taken.
  void EndOfScript(std::size_t end);
  // Completes the structure: the open statement goes to the top-level list and the first
  // "-->" of the last text run is blanked. The building state starts afresh; the top-level
  // list stays.
  void Finish();
  // Deletes the structure and starts afresh.
  void Reset();

  ScriptItemList& TopLevel() { return top_; }
  const ScriptItemList& TopLevel() const { return top_; }
  // How deep calls may nest (in each other's arguments and name parts).
  enum { kMaxCallNesting = 200 };

  // Offset of the next byte of script text.
  std::size_t Offset() const { return base_ + pieceLen_; }

 private:
  struct TokenSet {
    bool wanted[128];
  };
  static const TokenSet kWanted;
  struct CallContext {
    ScriptCall* call;
    ScriptItemList* argument;
    int callDepth;
    bool argumentMode;
    bool isSignature;
  };

  // Text from the pending start up to end goes to the pending list; the pending start moves.
  void AddText(std::size_t end);
  // The pending start moves to end; the text before it is left out.
  void Skip(std::size_t end);
  std::string TakeText(std::size_t end);
  void Flush();
  // The text up to flushedTo_, flushed in name only, goes to the flush target now.
  void TakeFlushed();
  // The pending list with the pending run taken into it as its last text item.
  ScriptItemList& Pending();
  void FlushInto(ScriptItemList& target);
  ScriptItemList& FlushTarget();
  void CloseContainer();
  void OnName(std::size_t start, std::size_t end, int previous);
  void OnFunctionKeyword(std::size_t start);
  void OnOpenParen(std::size_t start, std::size_t end, int previous, bool functionBefore);
  void OnComma(std::size_t start, std::size_t end);
  void OnCloseParen(std::size_t start, std::size_t end, std::vector<int>& stack);
  void OnOpenBracket();
  void OnCloseBracket(std::size_t end, std::vector<int>& stack);
  void OnCloseBrace(std::size_t end, std::vector<int>& stack);
  // Ends the current call: its last argument goes to it, the saved context comes back, and
  // the call (not a signature, which stays in its definition) goes to the pending list.
  void EndCall(bool closed);
  // The signature of a definition stops being the current call before its "(".
  void DropAwaitedSignature();
  // The calls still open at the end: each goes, unclosed, into the argument it stands in.
  void UnwindCalls();
  void ResetBuilding();
  // The deepest nesting of calls among the items of list (0 without calls).
  static int CallDepthOf(const ScriptItemList& list);

  // Copies bytes into the kept text, which stays in place until Reset; the copy's address.
  const char* Keep(const char* bytes, std::size_t length);

  // The kept copy of the script text, in blocks that never move: text items point into it, so
  // it goes only after them (it is declared before the structure).
  std::vector<std::unique_ptr<char[]>> keptBlocks_;
  char* keptAt_ = nullptr;
  std::size_t keptLeft_ = 0;
  std::size_t nextKeptBlock_ = kFirstKeptBlock;
  enum : std::size_t { kFirstKeptBlock = 4096, kLastKeptBlock = 1 << 20 };

  // Text bookkeeping.
  const char* piece_ = nullptr;
  std::size_t base_ = 0;  // offset of piece_[0]
  std::size_t pieceLen_ = 0;
  std::size_t pendingStart_ = 0;
  // Text from the pending start up to here belongs to the flush target already; it is copied
  // there by the next token that could change the target or take the pending text.
  std::size_t flushedTo_ = 0;
  std::string carry_;  // untaken text before base_, from pendingStart_

  ScriptItemList top_;
  ScriptGroup* container_ = nullptr;
  ScriptItemList pending_;
  ScriptTextRun run_;  // text at the end of the pending list, not yet made an item
  ScriptCall* call_ = nullptr;
  ScriptItemList* argument_ = nullptr;
  bool argumentMode_ = false;
  int callDepth_ = 0;
  int parenDepth_ = 0;
  int bracketDepth_ = 0;
  std::vector<CallContext> contexts_;
  std::vector<ScriptItemList*> savedPending_;
  bool callIsSignature_ = false;
  ScriptFunction* awaiting_ = nullptr;  // a definition whose parameter list has not begun
  bool functionAtStatement_ = false;    // it stood where a definition may begin
};

}  // namespace halyard::tagsmith
