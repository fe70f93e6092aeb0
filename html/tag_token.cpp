#include "tag_token.h"

#include "tag_type_table.h"

namespace halyard::tagsmith {

void CopyMap(const CMapStringToString& from, CMapStringToString& to) {
  CString key, value;
  for (POSITION pos = from.GetStartPosition(); pos;) {
    from.GetNextAssoc(pos, key, value);
    to.SetAt(key, value);
  }
}

}  // namespace halyard::tagsmith

TagToken::TagToken() : attributes(4), spellings(4) {
  // The table copy without the JSB tags is built on the first TagToken.
  TagTypeTable::LookupWithoutJsb("", 0);
}

TagToken::~TagToken() = default;

TagToken::TagToken(const TagToken& other)
    : end(other.end), name(other.name), type(other.type), attributes(4), spellings(4) {
  halyard::tagsmith::CopyMap(other.attributes, attributes);
  halyard::tagsmith::CopyMap(other.spellings, spellings);
}

TagToken& TagToken::operator=(const TagToken& other) {
  if (this == &other) return *this;
  end = other.end;
  name = other.name;
  type = other.type;
  attributes.RemoveAll();
  spellings.RemoveAll();
  halyard::tagsmith::CopyMap(other.attributes, attributes);
  halyard::tagsmith::CopyMap(other.spellings, spellings);
  return *this;
}

void TagToken::Clear() {
  end = false;
  name.Empty();
  type = Token::UNKNOWN;
  attributes.RemoveAll();
  spellings.RemoveAll();
}

CString TagToken::ToText() const {
  CString s('<');
  if (end) s += '/';
  s += name;
  CString key, value, spelling;
  for (POSITION pos = attributes.GetStartPosition(); pos;) {
    attributes.GetNextAssoc(pos, key, value);
    s += ' ';
    s += spellings.Lookup(key, spelling) ? spelling : key;
    s += "=\"";
    s += value;
    s += '"';
  }
  s += '>';
  return s;
}
