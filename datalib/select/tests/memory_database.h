// A database held in memory for the selection and handler tests: a catalog of types with
// named fields, translation of selections to SQL conditions as the relational back end does
// it, and counters that show which operations the code under test called.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "datalib/access/cda_data_iterator.h"
#include "datalib/access/cda_database.h"
#include "datalib/select/cda_complex_select.h"
#include "datalib/select/cda_sort.h"
#include "datalib/select/cda_sql_condition.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"
#include "platform/ole/colevariant.h"

namespace vaultkit_test {

using MemoryRow = std::map<LONG, COleVariant>;

// A cursor over the rows of one type, or over one new row that mUpdateRecord appends.
class MemoryIterator : public CDADataIterator {
 public:
  MemoryIterator(std::vector<MemoryRow>* rows, bool newRow) : mRows(rows), mNew(newRow) {}
  int mUpdateRecord() override {
    if (mNew) {
      mRows->push_back(mPending);
      mNew = false;
      mIndex = static_cast<LONG>(mRows->size()) - 1;
    }
    return 1;
  }
  int mIsEOF() override { return !mNew && mIndex >= static_cast<LONG>(mRows->size()); }
  int mIsBOF() override { return !mNew && mIndex < 0; }
  int mSetAbsolutePosition(LONG index) override {
    if (index < 0 || index >= static_cast<LONG>(mRows->size())) return 0;
    mIndex = index;
    return 1;
  }
  LONG mGetRecordCount() override { return static_cast<LONG>(mRows->size()); }
  void mMoveNext() override { ++mIndex; }
  void mMovePrev() override { --mIndex; }
  void mMoveFirst() override { mIndex = 0; }
  void mMoveLast() override { mIndex = static_cast<LONG>(mRows->size()) - 1; }

 protected:
  MemoryRow& Row() { return mNew ? mPending : mRows->at(static_cast<size_t>(mIndex)); }
  void mReadField(LONG field, COleVariant* out) override {
    auto it = Row().find(field);
    if (it != Row().end()) *out = it->second;
  }
  void mWriteField(LONG field, const COleVariant& in) override { Row()[field] = in; }

 private:
  std::vector<MemoryRow>* mRows;
  bool mNew;
  MemoryRow mPending;
  LONG mIndex = 0;
};

class MemoryDatabase : public CDADatabase {
 public:
  struct Field {
    std::string name;
    LONG kind;
  };

  std::map<LONG, std::vector<Field>> catalog;
  unsigned short flags = kDATypeRelational;
  int* destroyed = nullptr;  // counts destructor calls when set
  int closed = 0;
  int openResult = 1;
  std::string openedWith;
  std::vector<std::string> calls;
  std::map<LONG, std::vector<MemoryRow>> rows;
  // What the last query was asked: its SQL condition ("" for none) and sort field.
  std::string lastCondition;
  LONG lastSortField = -100;

  ~MemoryDatabase() override {
    if (destroyed != nullptr) ++*destroyed;
  }

  void AddType(LONG type, std::vector<Field> fields) { catalog[type] = std::move(fields); }

  void mBeginTransaction() override { calls.push_back("begin"); }
  void mCommitTransaction(CObject*) override { calls.push_back("commit"); }
  void mRollback() override { calls.push_back("rollback"); }
  // Queries do not filter: they note the condition and hand out every row of the type.
  CDADataIterator* mQueryType(LONG type, CDASort* sort) override {
    calls.push_back("queryType");
    lastCondition.clear();
    lastSortField = sort != nullptr ? sort->mGetFieldIndex() : -100;
    return rows[type].empty() ? nullptr : new MemoryIterator(&rows[type], false);
  }
  CDADataIterator* mFindByNumber(LONG, LONG) override { return nullptr; }
  CDADataIterator* mFindByType(LONG, LONG) override { return nullptr; }
  CDADataIterator* mFindByClass(LONG, LONG) override { return nullptr; }
  CDADataIterator* mFindByName(LONG, CPDString*) override { return nullptr; }
  CDADataIterator* mQuery(LONG type, CDASelect* select, CDASort* sort) override {
    calls.push_back("query");
    lastCondition.clear();
    if (select != nullptr) {
      CObject* c = select->mProcessSelect(this);
      if (auto* sql = dynamic_cast<CDASqlCondition*>(c)) lastCondition = sql->mGetText();
      delete c;
    }
    lastSortField = sort != nullptr ? sort->mGetFieldIndex() : -100;
    return rows[type].empty() ? nullptr : new MemoryIterator(&rows[type], false);
  }
  void mCreateTypeTable(LONG type, const CPDString&) override { catalog[type]; }
  LONG mAddField(LONG type, const CPDString& name, LONG kind) override {
    catalog[type].push_back({static_cast<char*>(name), kind});
    return static_cast<LONG>(catalog[type].size()) - 1;
  }
  void mGetFields(LONG type, CPDStringArray* names, CPDLongArray* kinds) override {
    for (const Field& f : catalog[type]) {
      if (names != nullptr) names->mAdd(CPDString(f.name.c_str()));
      LONG kind = f.kind;
      if (kinds != nullptr) kinds->mAdd(&kind);
    }
  }
  void mGetFieldName(LONG type, LONG field, CPDString* name, LONG* kind) override {
    auto it = catalog.find(type);
    if (it == catalog.end() || field < 0 || field >= static_cast<LONG>(it->second.size())) return;
    if (name != nullptr) *name = it->second[field].name.c_str();
    if (kind != nullptr) *kind = it->second[field].kind;
  }
  int mCreate(const CPDString&) override { return 1; }
  int mOpen(const CPDString& connect) override {
    openedWith = static_cast<char*>(connect);
    return openResult;
  }
  void mClose() override { ++closed; }
  unsigned short mGetTypeFlags() override { return flags; }
  CDADataObject* mNewRecord(LONG type) override { return new MemoryIterator(&rows[type], true); }
  CObject* mProcessInLongSelect(CDAInLongSelect* s) override {
    calls.push_back("in");
    return vaultkit::SqlInLongCondition(*s, this);
  }
  CObject* mProcessStringSelect(CDAStringSelect* s) override {
    calls.push_back("string");
    return vaultkit::SqlStringCondition(*s, this);
  }
  CObject* mProcessLongSelect(CDALongSelect* s) override {
    calls.push_back("long");
    return vaultkit::SqlLongCondition(*s, this);
  }
  CObject* mProcessOrSelect(CDAOrSelect* s) override {
    calls.push_back("or");
    return vaultkit::SqlComplexCondition(*s, this, false);
  }
  CObject* mProcessAndSelect(CDAAndSelect* s) override {
    calls.push_back("and");
    return vaultkit::SqlComplexCondition(*s, this, true);
  }
  LONG mGetNativeFieldType(LONG) override { return 0; }
};

// The text of a translation, which is freed.
inline std::string SqlOf(CObject* translation) {
  auto* c = dynamic_cast<CDASqlCondition*>(translation);
  std::string text = c != nullptr ? std::string(c->mGetText()) : std::string("(none)");
  delete translation;
  return text;
}

}  // namespace vaultkit_test
