// TagToken: the light description of one tag that Parser2's reader fills: the end-tag flag, the
// name as the source spelled it (without a leading "/"), its type from the tag type table copy
// without the JSB tags (0 when unknown), the attributes (upper-case name to value) and, for
// each, the spelling of its name in the source. A value type; one thread at a time.
#pragma once

#include "platform/kernel/export.h"
#include "platform/mfc/cmapstringtostring.h"
#include "platform/mfc/cstring.h"
#include "token.h"

class HALYARD_EXPORT TagToken {
 public:
  TagToken();
  ~TagToken();
  // Maps are copied entry by entry in their iteration order, as the class library copies them.
  TagToken(const TagToken& other);
  TagToken& operator=(const TagToken& other);

  // "<", "/" for an end tag, the name, then for each attribute in map order a blank, its name
  // as the source spelled it (else upper case), "=\"", the value, "\"", and ">".
  CString ToText() const;
  void Clear();

  bool end = false;
  CString name;
  Token::Type type = Token::UNKNOWN;
  CMapStringToString attributes;
  CMapStringToString spellings;  // upper-case attribute name to its source spelling
};

namespace halyard::tagsmith {
// Adds every entry of from to to, in from's iteration order.
void CopyMap(const CMapStringToString& from, CMapStringToString& to);
}  // namespace halyard::tagsmith
