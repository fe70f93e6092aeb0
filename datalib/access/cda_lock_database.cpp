#include "cda_lock_database.h"

#include <utility>
#include <vector>

#include "cda_data_iterator.h"
#include "datalib/select/cda_complex_select.h"
#include "datalib/select/cda_sort.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/select/select_shift.h"
#include "datalib/catalog/cda_sys_type.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string_array.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_string.h"
#include "owned_ptr.h"
#include "platform/ole/colevariant.h"

namespace {

bool g_allowAllUpdate = false;

constexpr LONG kUserColumn = 0;
constexpr LONG kTransactionColumn = 1;
constexpr LONG kShift = vaultkit::kLockColumnShift;

// The catalog's own types carry no lock columns: they pass through the wrapper unchanged.
bool IsCatalog(LONG type) { return type == kDASysTypes || type == kDASysFields; }

// Whether a record with these lock columns is visible to user U: the visibility filter's
// test, for results the inner database did not filter itself.
bool Visible(LONG user, LONG holder, LONG transaction) {
  if (user < 0) return true;
  if (user == 0) return transaction <= 0;
  return (holder == user && transaction > 0) || (holder != user && transaction <= 0);
}

// Any field value, carried as the VARIANT the back end reads and writes.
class VariantValue : public CPDObject {
 public:
  void mConvertFromOleVariant(const COleVariant& var) override { mValue = var; }
  void mConvertToOleVariant(COleVariant* var) const override {
    if (var != nullptr) *var = mValue;
  }
  COleVariant mValue;
};

// A query result seen through the wrapper: field numbers move by 2, and writes follow the
// lock rules.
class LockIterator : public CDADataIterator {
 public:
  LockIterator(CDALockDatabase* db, LONG type, CDADataIterator* inner)
      : mDb(db), mType(type), mInner(inner) {}
  // A result whose visible records are the inner ones at these positions.
  LockIterator(CDALockDatabase* db, LONG type, CDADataIterator* inner, std::vector<LONG> rows)
      : mDb(db), mType(type), mInner(inner), mMapped(true), mRows(std::move(rows)) {
    mMoveFirst();
  }
  ~LockIterator() override { delete mInner; }

  void mSetField(LONG field, CPDObject* value) override {
    if (value == nullptr) return;
    vaultkit::OwnedPtr<CPDObject> stored(value->mNew());
    if (stored) {
      mInner->mGetField(field + kShift, stored.get());
      if (stored->mCompare(value) == 0) return;
    }
    CPDLong holder(0);
    mInner->mGetField(kUserColumn, &holder);
    const LONG user = mDb->mGetContextUser();
    const LONG transaction = mDb->mGetContextType();
    if (holder.mGetValue() != 0) {
      if (!CDALockDatabase::mIsAllUpdateAllowed() && holder.mGetValue() != user) return;
    } else if (user != 0 && transaction != 0) {
      CPDLong u(user), t(transaction), minusT(-transaction);
      mInner->mSetField(kUserColumn, &u);
      mInner->mSetField(kTransactionColumn, &t);
      WriteCompanion(u, minusT);
    }
    mInner->mSetField(field + kShift, value);
  }
  void mGetField(LONG field, CPDObject* value) override {
    mInner->mGetField(field + kShift, value);
  }
  int mDeleteRecord() override { return mInner->mDeleteRecord(); }
  int mUpdateRecord() override { return mInner->mUpdateRecord(); }
  int mIsEOF() override { return mMapped ? (mPos >= Size() ? 1 : 0) : mInner->mIsEOF(); }
  int mIsBOF() override { return mMapped ? (mPos < 0 || Size() == 0 ? 1 : 0) : mInner->mIsBOF(); }
  int mSetAbsolutePosition(LONG index) override {
    if (!mMapped) return mInner->mSetAbsolutePosition(index);
    if (index < 0 || index >= Size()) return 0;
    mPos = index;
    return mInner->mSetAbsolutePosition(mRows[static_cast<size_t>(mPos)]);
  }
  LONG mGetRecordCount() override { return mMapped ? Size() : mInner->mGetRecordCount(); }
  void mMoveNext() override {
    if (!mMapped) return mInner->mMoveNext();
    if (mPos < Size()) ++mPos;
    Follow();
  }
  void mMovePrev() override {
    if (!mMapped) return mInner->mMovePrev();
    if (mPos >= 0) --mPos;
    Follow();
  }
  void mMoveFirst() override {
    if (!mMapped) return mInner->mMoveFirst();
    mPos = 0;
    Follow();
  }
  void mMoveLast() override {
    if (!mMapped) return mInner->mMoveLast();
    mPos = Size() - 1;
    Follow();
  }

 protected:
  // Every access goes through mGetField/mSetField above, which shift the field numbers.
  void mReadField(LONG, COleVariant*) override {}
  void mWriteField(LONG, const COleVariant&) override {}

 private:
  LONG Size() const { return static_cast<LONG>(mRows.size()); }
  void Follow() {
    if (mPos >= 0 && mPos < Size()) mInner->mSetAbsolutePosition(mRows[static_cast<size_t>(mPos)]);
  }

  // The companion record is the taken record's image as it was before: its own fields copied,
  // fUserID the taker and fPersisTransID the negated transaction. Other users (and readers
  // without a user) see it in the taken record's place until the transaction ends, since the
  // visibility filter shows them records with fPersisTransID <= 0 and hides a record taken by
  // someone else (fPersisTransID > 0).
  void WriteCompanion(CPDLong& user, CPDLong& minusT) {
    CDADatabase* inner = mDb->mGetInner();
    vaultkit::OwnedPtr<CDADataObject> companion(inner->mNewRecord(mType));
    if (!companion) return;
    CPDStringArray names;
    CPDLongArray kinds;
    inner->mGetFields(mType, &names, &kinds);
    // The catalog may list more entries than the record has fields (placeholder entries
    // share numbers with the lock columns), so only numbers the catalog names are copied.
    for (LONG field = kShift; field < kinds.mGetNumItems(); ++field) {
      CPDString name("");
      LONG kind = -1;
      inner->mGetFieldName(mType, field, &name, &kind);
      if (static_cast<char*>(name)[0] == '\0') continue;
      VariantValue value;
      mInner->mGetField(field, &value);
      if (value.mValue.vt != VT_EMPTY && value.mValue.vt != VT_NULL) companion->mSetField(field, &value);
    }
    companion->mSetField(kUserColumn, &user);
    companion->mSetField(kTransactionColumn, &minusT);
    companion->mUpdateRecord();
  }

  CDALockDatabase* mDb;
  LONG mType;
  CDADataIterator* mInner;
  bool mMapped = false;
  std::vector<LONG> mRows;
  LONG mPos = 0;
};

// A record made by mNewRecord: fields move by 2, nothing is locked yet.
class LockRecord : public CDADataObject {
 public:
  explicit LockRecord(CDADataObject* inner) : mInner(inner) {}
  ~LockRecord() override { delete mInner; }
  void mGetField(LONG field, CPDObject* value) override {
    mInner->mGetField(field + kShift, value);
  }
  void mSetField(LONG field, CPDObject* value) override {
    mInner->mSetField(field + kShift, value);
  }
  int mDeleteRecord() override { return mInner->mDeleteRecord(); }
  int mUpdateRecord() override { return mInner->mUpdateRecord(); }

 protected:
  void mReadField(LONG, COleVariant*) override {}
  void mWriteField(LONG, const COleVariant&) override {}

 private:
  CDADataObject* mInner;
};

// A sort whose field index is raised by the lock columns.
CDASort ShiftedSort(const CDASort* sort) {
  CDASort out;
  if (sort != nullptr) {
    LONG field = sort->mGetFieldIndex();
    out.mInit(field >= 0 ? field + kShift : field, sort->mIsAscendingSort());
  }
  return out;
}

}  // namespace

CDALockDatabase::CDALockDatabase(CDADatabase* inner) : mInner(inner) {}
CDALockDatabase::~CDALockDatabase() { delete mInner; }

void CDALockDatabase::mAllowAllUpdate() { g_allowAllUpdate = true; }
int CDALockDatabase::mIsAllUpdateAllowed() { return g_allowAllUpdate ? 1 : 0; }

void CDALockDatabase::mSetContext(LONG user, LONG transaction) {
  mUser = user;
  mTransaction = transaction;
}

void CDALockDatabase::mContextPairA(LONG user, LONG transaction) {
  if (user == mUser && transaction == mTransaction) mTransaction = 0;
  mInner->mContextPairA(user, transaction);
}

void CDALockDatabase::mContextPairB(LONG user, LONG transaction) {
  if (user == mUser && transaction == mTransaction) mTransaction = 0;
  mInner->mContextPairB(user, transaction);
}

void CDALockDatabase::mClearContext() {
  mUser = 0;
  mTransaction = 0;
}

LONG CDALockDatabase::mGetContextType() { return mTransaction; }

void CDALockDatabase::mBeginTransaction() { mInner->mBeginTransaction(); }
void CDALockDatabase::mCommitTransaction(CObject* object) { mInner->mCommitTransaction(object); }
void CDALockDatabase::mRollback() { mInner->mRollback(); }

CDASelect* CDALockDatabase::mNewVisibilityFilter(LONG user, LONG type) {
  if (user < 0) return nullptr;
  if (user == 0) return new CDALongSelect(type, kTransactionColumn, 0, 3);
  auto* mine = new CDAAndSelectWithDelete();
  mine->mAddSelect(new CDALongSelect(type, kUserColumn, user, 0));
  mine->mAddSelect(new CDALongSelect(type, kTransactionColumn, 0, 2));
  auto* others = new CDAAndSelectWithDelete();
  others->mAddSelect(new CDALongSelect(type, kUserColumn, user, 5));
  others->mAddSelect(new CDALongSelect(type, kTransactionColumn, 0, 3));
  auto* filter = new CDAOrSelectWithDelete();
  filter->mAddSelect(mine);
  filter->mAddSelect(others);
  return filter;
}

CDADataIterator* CDALockDatabase::mWrap(LONG type, CDADataIterator* inner) {
  if (inner == nullptr || IsCatalog(type)) return inner;
  return new LockIterator(this, type, inner);
}

CDADataIterator* CDALockDatabase::mWrapVisible(LONG type, CDADataIterator* inner) {
  if (inner == nullptr || IsCatalog(type) || mUser < 0) return mWrap(type, inner);
  // The inner database found the records by its own rule; keep those U may see.
  vaultkit::OwnedPtr<CDADataIterator> all(inner);
  std::vector<LONG> rows;
  LONG index = 0;
  for (all->mMoveFirst(); all->mIsEOF() == 0; all->mMoveNext(), ++index) {
    CPDLong holder(0), transaction(0);
    all->mGetField(kUserColumn, &holder);
    all->mGetField(kTransactionColumn, &transaction);
    if (Visible(mUser, holder.mGetValue(), transaction.mGetValue())) rows.push_back(index);
  }
  if (rows.empty()) return nullptr;
  return new LockIterator(this, type, all.release(), std::move(rows));
}

CDADataIterator* CDALockDatabase::mQueryType(LONG type, CDASort* sort) {
  if (IsCatalog(type)) return mInner->mQueryType(type, sort);
  CDASort shifted = ShiftedSort(sort);
  vaultkit::OwnedPtr<CDASelect> filter(mNewVisibilityFilter(mUser, type));
  if (!filter) return mWrap(type, mInner->mQueryType(type, sort ? &shifted : nullptr));
  return mWrap(type, mInner->mQuery(type, filter.get(), sort ? &shifted : nullptr));
}

CDADataIterator* CDALockDatabase::mQuery(LONG type, CDASelect* select, CDASort* sort) {
  if (IsCatalog(type)) return mInner->mQuery(type, select, sort);
  CDASort shifted = ShiftedSort(sort);
  vaultkit::OwnedPtr<CDASelect> moved(vaultkit::ShiftedSelect(select, kShift));
  vaultkit::OwnedPtr<CDASelect> filter(mNewVisibilityFilter(mUser, type));
  if (!filter) return mWrap(type, mInner->mQuery(type, moved.get(), sort ? &shifted : nullptr));
  if (!moved) return mWrap(type, mInner->mQuery(type, filter.get(), sort ? &shifted : nullptr));
  CDAAndSelectWithDelete both;
  both.mAddSelect(moved.release());
  both.mAddSelect(filter.release());
  return mWrap(type, mInner->mQuery(type, &both, sort ? &shifted : nullptr));
}

CDADataIterator* CDALockDatabase::mFindByNumber(LONG type, LONG number) {
  return mWrapVisible(type, mInner->mFindByNumber(type, number));
}
CDADataIterator* CDALockDatabase::mFindByType(LONG type, LONG value) {
  return mWrapVisible(type, mInner->mFindByType(type, value));
}
CDADataIterator* CDALockDatabase::mFindByClass(LONG, LONG) { return nullptr; }
CDADataIterator* CDALockDatabase::mFindByName(LONG type, CPDString* name) {
  return mWrapVisible(type, mInner->mFindByName(type, name));
}

void CDALockDatabase::mCreateTypeTable(LONG type, const CPDString& name) {
  mInner->mCreateTypeTable(type, name);
  mInner->mAddField(type, CPDString("fUserID"), kDAKindLong);
  mInner->mAddField(type, CPDString("fPersisTransID"), kDAKindLong);
  // In the catalog the lock columns are fields -2 and -1 of the type, which a locking
  // database files under 0 and 1.
  CDASysType::mRegisterField(this, -kShift, type, CPDString("fUserID"), kDAKindLong, 0);
  CDASysType::mRegisterField(this, -kShift + 1, type, CPDString("fPersisTransID"), kDAKindLong, 0);
  mInner->mPrepareType(type);
}

LONG CDALockDatabase::mAddField(LONG type, const CPDString& name, LONG kind) {
  const LONG added = mInner->mAddField(type, name, kind);
  return added < 0 || IsCatalog(type) ? added : added - kShift;
}

void CDALockDatabase::mGetFields(LONG type, CPDStringArray* names, CPDLongArray* kinds) {
  mInner->mGetFields(type, names, kinds);
}

void CDALockDatabase::mGetFieldName(LONG type, LONG field, CPDString* name, LONG* kind) {
  mInner->mGetFieldName(type, IsCatalog(type) ? field : field + kShift, name, kind);
}

void CDALockDatabase::mPrepareType(LONG type) { mInner->mPrepareType(type); }
int CDALockDatabase::mCreate(const CPDString& path) { return mInner->mCreate(path); }
int CDALockDatabase::mOpen(const CPDString& connect) { return mInner->mOpen(connect); }
void CDALockDatabase::mClose() { mInner->mClose(); }

unsigned short CDALockDatabase::mGetTypeFlags() {
  return static_cast<unsigned short>(mInner->mGetTypeFlags() | kDAServiceLocking);
}

CDADataObject* CDALockDatabase::mNewRecord(LONG type) {
  CDADataObject* inner = mInner->mNewRecord(type);
  if (inner == nullptr || IsCatalog(type)) return inner;
  // A new record is free. A back end that leaves unset columns empty (NULL in SQL) would
  // otherwise keep it out of every filtered query, since NULL <= 0 holds for no record.
  CPDLong none(0);
  inner->mSetField(kUserColumn, &none);
  inner->mSetField(kTransactionColumn, &none);
  return new LockRecord(inner);
}

void CDALockDatabase::mGetFieldKindNames(CPDStringArray* names, CPDLongArray* kinds) {
  mInner->mGetFieldKindNames(names, kinds);
}

CObject* CDALockDatabase::mHandOn(const CDASelect* select) {
  vaultkit::OwnedPtr<CDASelect> moved(vaultkit::ShiftedSelect(select, kShift));
  return moved ? moved->mProcessSelect(mInner) : nullptr;
}

CObject* CDALockDatabase::mProcessInLongSelect(CDAInLongSelect* s) { return mHandOn(s); }
CObject* CDALockDatabase::mProcessStringSelect(CDAStringSelect* s) { return mHandOn(s); }
CObject* CDALockDatabase::mProcessLongSelect(CDALongSelect* s) { return mHandOn(s); }
CObject* CDALockDatabase::mProcessOrSelect(CDAOrSelect* s) { return mHandOn(s); }
CObject* CDALockDatabase::mProcessAndSelect(CDAAndSelect* s) { return mHandOn(s); }

LONG CDALockDatabase::mGetNativeFieldType(LONG kind) { return mInner->mGetNativeFieldType(kind); }
