// SelectorNode: a node of the style rule tree that the tokenizer builds from STYLE text. The
// root is the node for BODY (type 17); below it one node per simple selector, a descendant
// selector ("UL LI") going one level down per part and a class, id or pseudo-class part
// (".note", "#top", ":link") hanging below its tag's node with type 0. Each node has a property
// map (upper-case name to upper-case value). A node owns its children. One thread at a time.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "platform/mfc/cmapstringtostring.h"
#include "platform/mfc/cstring.h"
#include "token.h"

class HALYARD_EXPORT SelectorNode {
 public:
  // A node added as the last child of parent (when there is one).
  SelectorNode(SelectorNode* parent, Token::Type type, CString name);
  SelectorNode(Token::Type type, CString name);
  SelectorNode(const SelectorNode&) = delete;
  SelectorNode& operator=(const SelectorNode&) = delete;
  ~SelectorNode();

  // The first child node with that tag type, or null.
  SelectorNode* Find(Token::Type type);
  // Adds every entry of map to the node's properties; a later value replaces an earlier one.
  void MergeProperties(CMapStringToString* map);
  // Reads "name: value;" declarations from style text into map: blanks skipped, the name up to
  // ":" or a blank in upper case, blanks after ":" skipped, a quoted value without its quotes,
  // the value up to ";" or "}" or the end in upper case, ";" consumed. A name that begins with
  // a double quote, or is not followed by ":", ends the reading. *text is advanced past what
  // was read.
  static void parseCSSTagParams(unsigned char** text, DWORD length, CMapStringToString* map);

  // How far ParseRules has read into a rule or comment that it could not finish, so that the
  // next call, given the same text with more after it, goes on from there instead of reading
  // the rule again from its start.
  struct RuleScan {
    enum Kind { kNone, kComment, kSelectors, kBlock };
    Kind kind = kNone;
    std::size_t at = 0;    // bytes from the rule's start read without finding its end
    std::size_t open = 0;  // kBlock: the offset of its "{"
    int depth = 0;         // kBlock: braces open
    char quote = 0;        // kBlock: the quote of an open string
  };

  // Reads style rules ("selectors { declarations }") from text into the tree below this node.
  // Returns how many bytes were taken: complete rules only, unless final is set (the style text
  // is complete), when everything is taken. The caller keeps the rest for the next piece.
  std::size_t ParseRules(const char* text, std::size_t length, bool final);
  // The same, for style text that arrives in pieces: text starts where the last call stopped
  // (the untaken rest, with more text after it) and scan is what that call left.
  std::size_t ParseRules(const char* text, std::size_t length, bool final, RuleScan& scan);

  // The child with that type and name, or null.
  SelectorNode* FindChild(Token::Type type, const char* name) const;

  SelectorNode* parent;
  Token::Type type;
  CString name;
  CMapStringToString properties;
  std::vector<SelectorNode*> children;

 private:
  void ApplyRule(const char* selectors, std::size_t selLen, const char* block,
                 std::size_t blockLen);
};
