// The condition language of the command-line tools, mapped one to one onto the selection
// classes:
//   FIELD begins|contains|ends "text"   CDAStringSelect, operators 0, 1, 2
//   FIELD = "text"                      CDAStringSelect, equality (operator -1)
//   FIELD = | < | > NUMBER              CDALongSelect, operators 0, 1, 2
//   FIELD in (N, N, ...)                CDAInLongSelect
//   A and B, A or B, ( ... )            CDAAndSelect, CDAOrSelect (and binds tighter)
// Keywords are case-insensitive. FIELD is a catalog field name (letters, digits, "_"; any
// other name in square brackets) or "#" and a field number. Texts are in double quotes with
// \" and \\ as escapes. A chain of the same operator gives one selection with every part.
// Errors name the 1-based character position where the text stopped making sense.
#pragma once

#include <string>
#include <string_view>

#include "platform/kernel/win_types.h"

class CDADatabase;
class CDASelect;

namespace vaultkit {

struct SelectExprError {
  size_t position = 0;  // 1-based
  std::string message;  // "position N: ..."
};

// Finds a field of the selection's type by name: its number and kind (-1 when not known).
class SelectFieldResolver {
 public:
  virtual ~SelectFieldResolver() = default;
  virtual bool Resolve(const std::string& name, LONG* field, LONG* kind) const = 0;
};

// Looks names up (case-insensitively) in a database's catalog: mGetFields for the count and
// mGetFieldName for each field number, the lookup the translations use.
class CatalogFieldResolver : public SelectFieldResolver {
 public:
  CatalogFieldResolver(CDADatabase* db, LONG type) : mDb(db), mType(type) {}
  bool Resolve(const std::string& name, LONG* field, LONG* kind) const override;

 private:
  CDADatabase* mDb;
  LONG mType;
};

// The selection the text describes, for objects of type; the caller frees it with
// DeleteSelectTree. Null with the error filled when the text is not a condition. Without a
// resolver only "#N" fields are accepted.
CDASelect* ParseSelectExpr(std::string_view text, LONG type, const SelectFieldResolver* fields,
                           SelectExprError* error);

}  // namespace vaultkit
