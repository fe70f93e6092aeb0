// Parser: the character-driven HTML tokenizer. It may be fed a document in several pieces; it
// appends what it finds (tags, words of text, comments, script and style text) in document
// order as children of the root element the caller sets, and at the end of input gives every
// top-level element its end-of-input call (components and comments of several lines gather
// their content then). The parser owns its 4096-byte buffer, its line counter and raw-text
// carry-over (both its own, so parsers working side by side do not disturb each other), the
// script scanner it creates, and a share of the style rules, which the STYLE end tag element
// also holds. The tree belongs to the root's owner. One thread at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "elem.h"
#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "selector_node.h"
#include "token.h"

class ScriptScanner;

namespace halyard::tagsmith {

// Gives every child of root its end-of-input call, walking through the root's cursor.
void FinishChildren(Elem* root);

// The end-of-input calls of one document. Only comments and components do anything at the end
// of input, so a tokenizer notes those it appends and End calls just them, in document order,
// with the root's cursor just past each (as the walk over every child would have it); a noted
// element that an earlier one gathered is passed over. When the root already held children
// before the document, every child is walked. The tree must not change between the first
// piece and End.
class EndOfInput {
 public:
  void Begin(Elem* root) {
    if (!begun_) rootHadChildren_ = root && root->firstChild;
    begun_ = true;
  }
  void Note(Elem* e) {
    if (e->kind == ElemKind::Comment || e->kind == ElemKind::Component) noted_.push_back(e);
  }
  void Run(Elem* root);

 private:
  bool begun_ = false;
  bool rootHadChildren_ = false;
  std::vector<Elem*> noted_;
};

}  // namespace halyard::tagsmith

class HALYARD_EXPORT Parser {
 public:
  enum { kBufferSize = 4096, kMaxText = kBufferSize - 1 };
  enum State { kText, kTag, kEntity, kComment, kScript, kRawText, kStyle };

  Parser();
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  // The virtual operations, in slot order.
  virtual ~Parser();
  virtual void Begin();
  // Consumes the next piece of the document.
  virtual void Parse(const char* bytes, int length);
  // Ends the input: pending text is emitted, the top-level elements get their end-of-input
  // call, the script scanner goes. The parser may then read another document.
  virtual void End();

  // The root that receives the tokens; set before the first piece.
  void SetDocument(Elem* root) {
    root_ = root;
    endOfInput_ = halyard::tagsmith::EndOfInput();
  }
  Elem* GetDocument() const { return root_; }

  State GetState() const { return state_; }
  // Gathers script, raw and style text across pieces, so that its elements and trace lines are
  // those of the document given in one piece wherever the pieces are cut. By default the text
  // each piece holds becomes elements as it comes.
  void GatherBlockText(bool on) { gatherBlocks_ = on; }
  // The line the parser is on, from 1.
  LONG GetLine() const { return line_; }
  bool IsPreformatted() const { return pre_; }
  ScriptScanner* GetScriptScanner() const { return scanner_; }
  const std::shared_ptr<SelectorNode>& GetStyleRules() const { return styleRoot_; }

 private:
  // Feeds bytes to the state functions.
  void Feed(const char* p, std::size_t n);
  // One function per state. Each takes as much of p[0, n) as it can and returns how many
  // bytes it used; a state that hands a byte back (the entity state) uses fewer.
  std::size_t TextState(const char* p, std::size_t n);
  std::size_t TagState(const char* p, std::size_t n);
  std::size_t EntityState(const char* p, std::size_t n);
  std::size_t CommentState(const char* p, std::size_t n);
  std::size_t ScriptState(const char* p, std::size_t n);
  std::size_t RawTextState(const char* p, std::size_t n);
  std::size_t StyleState(const char* p, std::size_t n);

  void BeginEntity();
  // Replaces the pending "&name" or "&#number" in the buffer by its character; false when it
  // is none (the text stays as it stood).
  bool ResolveEntity();
  void EndEntityAtEndOfInput();

  void AppendText(const char* p, std::size_t n);
  // Emits the buffer as text and empties it.
  void EmitText();
  // Text emission: words with their space flags, or one run when preformatted.
  void EmitTextBytes(const char* p, std::size_t n);
  // Script, raw and style text: prefix + p[0, n) as text elements of at most 4095 characters
  // each (a longer text goes on in further elements). While block text is gathered, the last
  // element waits for more (EndBlock). next is the character after the text, which tells
  // whether a carriage return at its end is half of a CR LF.
  void EmitBlockText(const char* prefix, std::size_t prefixLen, const char* p, std::size_t n,
                     char next);
  // The script, raw or style text has ended: what is gathered of it becomes a text element.
  void EndBlock();
  // Emits held_ + p[0, n) but its last keep bytes, which are held back for the next piece.
  void EmitBlockKeeping(const char* p, std::size_t n, std::size_t keep);
  // How many bytes at the end of held_ + p[0, n) to hold back: the start of marker (case
  // ignored) that the next piece may complete, or a carriage return whose line feed may come.
  std::size_t BlockTail(const char* p, std::size_t n, const char* marker,
                        std::size_t markerLen) const;
  void EmitMark(Token::Type type, const char* name);
  void EmitComment();
  void CloseComment();

  // The tag in the buffer has ended: parse it, emit it and pick the next state.
  void EndTag();
  // Parses buf_[0, len_) (modified in place) into a tag element appended to the root; null
  // when the tag has no name.
  Elem* ParseTag();
  void EnterRawText(const char* name);
  void CountLines(const char* p, std::size_t n);

  Elem* root_ = nullptr;
  halyard::tagsmith::EndOfInput endOfInput_;
  State state_ = kText;
  State entitySaved_ = kText;
  std::size_t entityPos_ = 0;
  bool pre_ = false;
  bool pendingCR_ = false;  // a carriage return ended the last piece
  LONG line_ = 1;

  char buf_[kBufferSize];
  std::size_t len_ = 0;

  // Comment state.
  int commentLead_ = 0;
  bool commentSettled_ = false;
  bool isComment_ = false;
  int dashes_ = 0;
  int nest_ = 0;

  // Raw-text state: the end marker.
  std::string rawMarker_;
  // Script, raw and style text held back at the end of the last piece: the start of the end
  // tag, or a carriage return.
  enum { kHeldSize = 32 };
  char held_[kHeldSize];
  // The script, raw or style text gathered and not yet in an element.
  char block_[kMaxText];
  std::size_t blockLen_ = 0;
  bool gatherBlocks_ = false;
  std::size_t heldLen_ = 0;

  ScriptScanner* scanner_ = nullptr;
  std::shared_ptr<SelectorNode> styleRoot_;
  std::string styleTail_;             // unfinished style rules, kept for the next piece
  SelectorNode::RuleScan styleScan_;  // how far the unfinished rule has been read

  struct AttrSpan {
    std::size_t name, nameLen, value, valueLen;
    bool hasValue;
  };
  std::vector<AttrSpan> attrs_;
  std::vector<Elem::AttrRef> refs_;
};
