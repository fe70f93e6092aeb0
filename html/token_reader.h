// TokenReader: the tokenizer behind Parser2. It reads a stream byte by byte and hands out one
// token at a time: a word of text, a tag, a comment, or the end. The token's text and the
// white space that stood before it are kept in two buffers until the next token. It reads the
// stream through a buffer of its own; the stream stays the caller's. One thread at a time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"

class CFile;
class TagToken;

class HALYARD_EXPORT TokenReader {
 public:
  enum Kind { kEnd = 1, kText = 2, kTag = 3, kComment = 4 };

  explicit TokenReader(CFile* stream);
  TokenReader(const TokenReader&) = delete;
  TokenReader& operator=(const TokenReader&) = delete;
  ~TokenReader();

  // The next token's kind; its text and the white space before it are then in Token() and
  // Space(). A tag's text is what stood between "<" and ">"; a comment's what stood between
  // "<!--" and "-->".
  int NextToken();
  const std::string& Token() const { return token_; }
  const std::string& Space() const { return space_; }
  std::string& Token() { return token_; }

  // Fills tag from a tag's text; 0 when the tag has no name (as in "</>"), else 1.
  static int ParseTag(const std::string& text, TagToken& tag);
  // Decodes the entities of a token in place: "&" and a name of at most 10 characters from
  // the entity table, or "#" and a decimal number, ended by ";" (consumed), "<", white space or
  // any character that is neither a letter, a digit nor "#". Unknown ones stay as written, and
  // so does a number that comes to byte 0.
  static void DecodeEntities(std::string& text);
  // The same on text[0, length); returns the decoded length.
  static std::size_t DecodeEntities(char* text, std::size_t length);

  LONG GetLine() const { return line_; }

  // What ParseTag reads from a tag's text, as positions in the text; ScanTag turns line ends
  // inside quoted values into blanks in place. 0 when the tag has no name.
  struct ScannedTag {
    struct Attr {
      std::size_t name, nameLength, value, valueLength;
    };
    bool end = false;
    std::size_t name = 0, nameLength = 0;
    std::vector<Attr> attrs;  // in source order, duplicates included
  };
  static int ScanTag(std::string& text, ScannedTag& tag);

 private:
  enum State { kTextState, kTagState, kQuoteState, kSpaceState, kCommentState, kEndState };
  int Get() {
    if (pos_ == lim_ && !Refill()) return -1;
    return static_cast<unsigned char>(buf_[pos_++]);
  }
  bool Refill();
  // The white space read since the last token belongs to the token that starts now.
  void StartToken();
  // Hands out the token: its white space becomes Space().
  int Finish(int kind);
  // The word in progress becomes the current token.
  int TakeWord();
  // The tag or comment in progress becomes the current token.
  int TakeTag(int kind);

  CFile* stream_;
  char buf_[4096];
  std::size_t pos_ = 0, lim_ = 0;
  bool eof_ = false;
  State state_ = kTextState;
  char quote_ = 0;
  int dashes_ = 0;
  std::string token_, space_;  // the token (while it is read, too) and the white space before it
  bool tagAfterWord_ = false;
  std::string pendingSpace_;  // white space read since the last token
  LONG line_ = 1;
};
