#include "tag_type_table.h"

#include <cstring>

#include "name_table.h"

namespace {

using halyard::tagsmith::NameTable;

void AddCommon(NameTable& t) {
#define TAG_TYPE(name, type) t.Add(name, type);
#include "tag_types.inc"
#undef TAG_TYPE
#define COMPONENT(name, number) t.Add(name, Token::COMPONENT);
#include "components.inc"
#undef COMPONENT
}

NameTable BuildMain() {
  NameTable t(192);
  AddCommon(t);
#define JSB_TAG(name, type) t.Add(name, type);
#include "jsb_tags.inc"
#undef JSB_TAG
  return t;
}

const NameTable& Main() {
  static const NameTable table = BuildMain();
  return table;
}

const NameTable& WithoutJsb() {
  static const NameTable table = [] {
    NameTable t(192);
    AddCommon(t);
    return t;
  }();
  return table;
}

// The main table is there before anyone parses, as the library's load builds it.
[[maybe_unused]] const NameTable& g_builtAtLoad = Main();

}  // namespace

Token::Type TagTypeTable::Lookup(const char* upperName, std::size_t len) {
  return static_cast<Token::Type>(Main().Find(upperName, len, 0));
}

Token::Type TagTypeTable::Lookup(const char* upperName) {
  return Lookup(upperName, std::strlen(upperName));
}

Token::Type TagTypeTable::LookupWithoutJsb(const char* upperName, std::size_t len) {
  return static_cast<Token::Type>(WithoutJsb().Find(upperName, len, 0));
}

std::size_t TagTypeTable::Count() { return Main().Count(); }
std::size_t TagTypeTable::CountWithoutJsb() { return WithoutJsb().Count(); }
