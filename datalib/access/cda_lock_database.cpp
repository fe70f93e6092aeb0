#include "cda_lock_database.h"

#include "cda_data_iterator.h"
#include "datalib/select/cda_complex_select.h"
#include "datalib/select/cda_sort.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/select/select_shift.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_string.h"
#include "owned_ptr.h"
#include "platform/ole/colevariant.h"

namespace {

bool g_allowAllUpdate = false;

constexpr LONG kUserColumn = 0;
constexpr LONG kTransactionColumn = 1;
constexpr LONG kShift = vaultkit::kLockColumnShift;

// A query result seen through the wrapper: field numbers move by 2, and writes follow the
// lock rules.
class LockIterator : public CDADataIterator {
 public:
  LockIterator(CDALockDatabase* db, LONG type, CDADataIterator* inner)
      : mDb(db), mType(type), mInner(inner) {}
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
      // The companion record notes the taking under the negated transaction.
      vaultkit::OwnedPtr<CDADataObject> companion(mDb->mGetInner()->mNewRecord(mType));
      if (companion) {
        companion->mSetField(kUserColumn, &u);
        companion->mSetField(kTransactionColumn, &minusT);
        companion->mUpdateRecord();
      }
    }
    mInner->mSetField(field + kShift, value);
  }
  void mGetField(LONG field, CPDObject* value) override {
    mInner->mGetField(field + kShift, value);
  }
  int mDeleteRecord() override { return mInner->mDeleteRecord(); }
  int mUpdateRecord() override { return mInner->mUpdateRecord(); }
  int mIsEOF() override { return mInner->mIsEOF(); }
  int mIsBOF() override { return mInner->mIsBOF(); }
  int mSetAbsolutePosition(LONG index) override { return mInner->mSetAbsolutePosition(index); }
  LONG mGetRecordCount() override { return mInner->mGetRecordCount(); }
  void mMoveNext() override { mInner->mMoveNext(); }
  void mMovePrev() override { mInner->mMovePrev(); }
  void mMoveFirst() override { mInner->mMoveFirst(); }
  void mMoveLast() override { mInner->mMoveLast(); }

 protected:
  // Every access goes through mGetField/mSetField above, which shift the field numbers.
  void mReadField(LONG, COleVariant*) override {}
  void mWriteField(LONG, const COleVariant&) override {}

 private:
  CDALockDatabase* mDb;
  LONG mType;
  CDADataIterator* mInner;
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
  return inner != nullptr ? new LockIterator(this, type, inner) : nullptr;
}

CDADataIterator* CDALockDatabase::mQueryType(LONG type, CDASort* sort) {
  CDASort shifted = ShiftedSort(sort);
  vaultkit::OwnedPtr<CDASelect> filter(mNewVisibilityFilter(mUser, type));
  if (!filter) return mWrap(type, mInner->mQueryType(type, sort ? &shifted : nullptr));
  return mWrap(type, mInner->mQuery(type, filter.get(), sort ? &shifted : nullptr));
}

CDADataIterator* CDALockDatabase::mQuery(LONG type, CDASelect* select, CDASort* sort) {
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
  return mWrap(type, mInner->mFindByNumber(type, number));
}
CDADataIterator* CDALockDatabase::mFindByType(LONG type, LONG value) {
  return mWrap(type, mInner->mFindByType(type, value));
}
CDADataIterator* CDALockDatabase::mFindByClass(LONG, LONG) { return nullptr; }
CDADataIterator* CDALockDatabase::mFindByName(LONG type, CPDString* name) {
  return mWrap(type, mInner->mFindByName(type, name));
}

void CDALockDatabase::mCreateTypeTable(LONG type, const CPDString& name) {
  mInner->mCreateTypeTable(type, name);
  mInner->mAddField(type, CPDString("fUserID"), kDAKindLong);
  mInner->mAddField(type, CPDString("fPersisTransID"), kDAKindLong);
  mInner->mPrepareType(type);
}

LONG CDALockDatabase::mAddField(LONG type, const CPDString& name, LONG kind) {
  return mInner->mAddField(type, name, kind) - kShift;
}

void CDALockDatabase::mGetFields(LONG type, CPDStringArray* names, CPDLongArray* kinds) {
  mInner->mGetFields(type, names, kinds);
}

void CDALockDatabase::mGetFieldName(LONG type, LONG field, CPDString* name, LONG* kind) {
  mInner->mGetFieldName(type, field + kShift, name, kind);
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
  return inner != nullptr ? new LockRecord(inner) : nullptr;
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
