// CDASqlCondition: the relational back end's translation of a selection, the text of a
// WHERE condition in that back end's dialect ([column], like with * and ?, single-quoted
// texts). The helpers below build it for each selection kind; the back end's
// mProcess...Select operations call them. Texts are quoted with doubled single quotes, and
// inside the texts of begins/contains/ends the like wildcards * ? # and [ are escaped as [*]
// [?] [#] [[] so that they match themselves. AND and OR parts that are themselves AND or OR
// selections are put in parentheses, so nested trees keep their meaning. Column names come
// from the catalog of the default database (handler index 0), or of the translating
// database when no default is registered.
#pragma once

#include <string>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "platform/mfc/cobject.h"
#include "platform/mfc/cstring.h"

class CDADatabase;
class CDAStringSelect;
class CDALongSelect;
class CDAInLongSelect;
class CDAComplexSelect;

class HALYARD_EXPORT CDASqlCondition : public CObject {
 public:
  explicit CDASqlCondition(const char* text) : mText(text) {}
  ~CDASqlCondition() override;
  const CString& mGetText() const { return mText; }

 private:
  CString mText;
};

namespace vaultkit {

// 'text' with every single quote doubled.
std::string SqlQuoted(const char* text);
// The text as a like pattern that matches it literally (quotes not yet doubled).
std::string SqlLikeLiteral(const char* text);
// The column name of (type, field) in the catalog the translation uses; empty when unknown.
std::string SqlColumnName(CDADatabase* translating, LONG type, LONG field);

// [column] like 'text*' / '*text*' / '*text', or [column] = 'text'.
CDASqlCondition* SqlStringCondition(const CDAStringSelect& select, CDADatabase* translating);
// [column] = / < / > value.
CDASqlCondition* SqlLongCondition(const CDALongSelect& select, CDADatabase* translating);
// [column] IN (a, b, ...); an empty list matches nothing.
CDASqlCondition* SqlInLongCondition(CDAInLongSelect& select, CDADatabase* translating);
// The parts translated through the database (each part's mProcessSelect) and joined with
// " AND " or " OR "; complex parts in parentheses; parts without a translation are left out;
// null when no part has one.
CDASqlCondition* SqlComplexCondition(CDAComplexSelect& select, CDADatabase* translating,
                                     bool isAnd);

}  // namespace vaultkit
