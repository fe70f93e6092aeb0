#include "cda_sql_condition.h"

#include "cda_complex_select.h"
#include "cda_type_select.h"
#include "datalib/access/cda_database.h"
#include "datalib/access/cda_handler.h"
#include "datalib/access/owned_ptr.h"
#include "datalib/values/cpd_string.h"

CDASqlCondition::~CDASqlCondition() = default;

namespace vaultkit {

std::string SqlQuoted(const char* text) {
  std::string out = "'";
  for (const char* p = text != nullptr ? text : ""; *p != 0; ++p) {
    if (*p == '\'') out += '\'';
    out += *p;
  }
  return out + "'";
}

std::string SqlLikeLiteral(const char* text) {
  std::string out;
  for (const char* p = text != nullptr ? text : ""; *p != 0; ++p) {
    switch (*p) {
      case '*':
      case '?':
      case '#':
      case '[':
        out += '[';
        out += *p;
        out += ']';
        break;
      default:
        out += *p;
    }
  }
  return out;
}

std::string SqlColumnName(CDADatabase* translating, LONG type, LONG field) {
  CDADatabase* catalog = CDAHandler::mGetDatabase(0);
  if (catalog == nullptr) catalog = translating;
  if (catalog == nullptr) return std::string();
  CPDString name;
  LONG kind = 0;
  catalog->mGetFieldName(type, field, &name, &kind);
  return static_cast<char*>(name);
}

CDASqlCondition* SqlStringCondition(const CDAStringSelect& select, CDADatabase* translating) {
  const std::string column =
      SqlColumnName(translating, select.mGetObjectType(), select.mGetObjectField());
  const char* value = static_cast<char*>(select.mGetValue());
  std::string condition;
  switch (select.mGetOperatorType()) {
    case CDAStringSelect::kBeginsWith:
      condition = "like " + SqlQuoted((SqlLikeLiteral(value) + "*").c_str());
      break;
    case CDAStringSelect::kContains:
      condition = "like " + SqlQuoted(("*" + SqlLikeLiteral(value) + "*").c_str());
      break;
    case CDAStringSelect::kEndsWith:
      condition = "like " + SqlQuoted(("*" + SqlLikeLiteral(value)).c_str());
      break;
    default:
      condition = "= " + SqlQuoted(value);
  }
  return new CDASqlCondition(("[" + column + "] " + condition).c_str());
}

CDASqlCondition* SqlLongCondition(const CDALongSelect& select, CDADatabase* translating) {
  const std::string column =
      SqlColumnName(translating, select.mGetObjectType(), select.mGetObjectField());
  const char* op = "=";
  if (select.mGetOperatorType() == CDALongSelect::kLessThan) op = "<";
  if (select.mGetOperatorType() == CDALongSelect::kGreaterThan) op = ">";
  // The locking wrapper's filter also uses the object store's comparisons 3 (at most) and 5
  // (not equal), and 4 is the store's "at least"; without them a relational database would
  // show a record taken by one user to every other user.
  if (select.mGetOperatorType() == 3) op = "<=";
  if (select.mGetOperatorType() == 4) op = ">=";
  if (select.mGetOperatorType() == 5) op = "<>";
  return new CDASqlCondition(
      ("[" + column + "] " + op + " " + std::to_string(select.mGetValue())).c_str());
}

CDASqlCondition* SqlInLongCondition(CDAInLongSelect& select, CDADatabase* translating) {
  const std::string column =
      SqlColumnName(translating, select.mGetObjectType(), select.mGetObjectField());
  // An empty list accepts no value; 1 = 0 says so in every dialect.
  if (select.mGetNumValues() == 0) return new CDASqlCondition("1 = 0");
  std::string text = "[" + column + "] IN (";
  for (LONG i = 0; i < select.mGetNumValues(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(select.mGetValue(i));
  }
  return new CDASqlCondition((text + ")").c_str());
}

CDASqlCondition* SqlComplexCondition(CDAComplexSelect& select, CDADatabase* translating,
                                     bool isAnd) {
  std::string text;
  bool any = false;
  for (LONG i = 0; i < select.mGetNumSelects(); ++i) {
    CDASelect* part = select.mGetSelect(i);
    if (part == nullptr) continue;
    OwnedPtr<CObject> translated(part->mProcessSelect(translating));
    auto* condition = dynamic_cast<CDASqlCondition*>(translated.get());
    if (condition == nullptr) continue;
    if (any) text += isAnd ? " AND " : " OR ";
    any = true;
    if (part->mIsComplex() != 0) {
      text += "(" + std::string(condition->mGetText()) + ")";
    } else {
      text += condition->mGetText();
    }
  }
  return any ? new CDASqlCondition(text.c_str()) : nullptr;
}

}  // namespace vaultkit
