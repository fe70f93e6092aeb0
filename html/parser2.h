// Parser2: the HTML tokenizer that reads a whole document from memory through a TokenReader
// and appends the words, tags and comments it reads as children of the root element the
// caller sets. Its tags keep the white space that stood before them. It has no script, style
// or preformatted handling. The tree belongs to the root's owner; one thread at a time.
#pragma once

#include "platform/kernel/export.h"

class Elem;
namespace halyard::tagsmith {
class EndOfInput;
}

class HALYARD_EXPORT Parser2 {
 public:
  Parser2();
  Parser2(const Parser2&) = delete;
  Parser2& operator=(const Parser2&) = delete;

  // The virtual operations, in slot order.
  virtual ~Parser2();
  virtual void Begin();
  // Reads the bytes as a document of their own.
  virtual void Parse(const char* bytes, int length);
  // Gives every top-level element its end-of-input call.
  virtual void End();

  void SetDocument(Elem* root);
  Elem* GetDocument() const { return root_; }

 private:
  Elem* root_ = nullptr;
  halyard::tagsmith::EndOfInput* endOfInput_;
};
