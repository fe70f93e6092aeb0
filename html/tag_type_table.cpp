#include "tag_type_table.h"

#include <cstring>

#include "name_table.h"

namespace {

using Table = halyard::tagsmith::NameTable<halyard::tagsmith::NameTableCapacity(192)>;

constexpr void AddCommon(Table& t) {
#define TAG_TYPE(name, type) t.Add(name, type);
#include "tag_types.inc"
#undef TAG_TYPE
#define COMPONENT(name, number) t.Add(name, Token::COMPONENT);
#include "components.inc"
#undef COMPONENT
}

constexpr Table kMain = [] {
  Table t;
  AddCommon(t);
#define JSB_TAG(name, type) t.Add(name, type);
#include "jsb_tags.inc"
#undef JSB_TAG
  return t;
}();

constexpr Table kWithoutJsb = [] {
  Table t;
  AddCommon(t);
  return t;
}();

}  // namespace

Token::Type TagTypeTable::Lookup(const char* upperName, std::size_t len) {
  return static_cast<Token::Type>(kMain.Find(upperName, len, 0));
}

Token::Type TagTypeTable::Lookup(const char* upperName) {
  return Lookup(upperName, std::strlen(upperName));
}

Token::Type TagTypeTable::LookupWithoutJsb(const char* upperName, std::size_t len) {
  return static_cast<Token::Type>(kWithoutJsb.Find(upperName, len, 0));
}

std::size_t TagTypeTable::Count() { return kMain.Count(); }
std::size_t TagTypeTable::CountWithoutJsb() { return kWithoutJsb.Count(); }
