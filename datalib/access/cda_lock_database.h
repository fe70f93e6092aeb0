// CDALockDatabase: a wrapper that adds per-record locks to another database. Every record
// carries two lock columns in front of the type's own fields ("fUserID" and
// "fPersisTransID", inner field numbers 0 and 1), so the wrapper moves every field number by
// 2 on the way in. The wrapper keeps a context (user U, transaction T): queries see only the
// records that a visibility filter built from U lets through, and writes through its
// records take a free record for U or are refused when another user holds it. The wrapper
// owns the inner database. One thread.
//
// The filter in the object store's comparison codes (0 equal, 2 (store 4) greater than,
// 3 at most, 5 not equal): without a user (U = 0) the records whose fPersisTransID is at
// most 0; for U > 0 the records U took (fUserID = U, fPersisTransID > 0) and those no other
// user has taken in an open transaction (fUserID <> U, fPersisTransID <= 0). U < 0 sees all.
// Taking a free record writes a companion record: a copy of the record as it was, with
// fUserID U and fPersisTransID -T, which everyone but U sees in its place while T is open.
// The catalog's types (SysTypes, SysFields) carry no lock columns and pass through unchanged.
// Records made with mNewRecord start free (both lock columns 0). The inner database's
// mPrepareType, called once the lock columns exist, puts them where the wrapper reads them:
// the relational back end lays the new table out as fUserID, fPersisTransID, System, ...
// with its primary index on System and fPersisTransID, so a companion fits beside its record.
// Finds (mFindByNumber, mFindByType, mFindByName) keep only the records the filter would.
#pragma once

#include "cda_database.h"

class HALYARD_EXPORT CDALockDatabase : public CDADatabase {
 public:
  explicit CDALockDatabase(CDADatabase* inner);
  ~CDALockDatabase() override;

  // Lets every write through whoever holds the record; for the whole process, never undone.
  static void mAllowAllUpdate();
  static int mIsAllUpdateAllowed();

  void mSetContext(LONG user, LONG transaction) override;
  void mContextPairA(LONG user, LONG transaction) override;
  void mContextPairB(LONG user, LONG transaction) override;
  void mClearContext() override;
  LONG mGetContextType() override;
  void mBeginTransaction() override;
  void mCommitTransaction(CObject* object) override;
  void mRollback() override;
  CDADataIterator* mQueryType(LONG type, CDASort* sort) override;
  CDADataIterator* mFindByNumber(LONG type, LONG number) override;
  CDADataIterator* mFindByType(LONG type, LONG value) override;
  // Null through the wrapper.
  CDADataIterator* mFindByClass(LONG type, LONG value) override;
  CDADataIterator* mFindByName(LONG type, CPDString* name) override;
  CDADataIterator* mQuery(LONG type, CDASelect* select, CDASort* sort) override;
  // Creates the inner table with the two lock columns, then lets the inner database prepare it.
  void mCreateTypeTable(LONG type, const CPDString& name) override;
  LONG mAddField(LONG type, const CPDString& name, LONG kind) override;
  void mGetFields(LONG type, CPDStringArray* names, CPDLongArray* kinds) override;
  void mGetFieldName(LONG type, LONG field, CPDString* name, LONG* kind) override;
  void mPrepareType(LONG type) override;
  int mCreate(const CPDString& path) override;
  int mOpen(const CPDString& connect) override;
  void mClose() override;
  unsigned short mGetTypeFlags() override;
  CDADataObject* mNewRecord(LONG type) override;
  void mGetFieldKindNames(CPDStringArray* names, CPDLongArray* kinds) override;
  CObject* mProcessInLongSelect(CDAInLongSelect* select) override;
  CObject* mProcessStringSelect(CDAStringSelect* select) override;
  CObject* mProcessLongSelect(CDALongSelect* select) override;
  CObject* mProcessOrSelect(CDAOrSelect* select) override;
  CObject* mProcessAndSelect(CDAAndSelect* select) override;
  LONG mGetNativeFieldType(LONG kind) override;

  CDADatabase* mGetInner() const { return mInner; }
  LONG mGetContextUser() const { return mUser; }

  // The visibility filter for user U on a type, over the inner field numbers; null for U < 0.
  // The caller owns it.
  static CDASelect* mNewVisibilityFilter(LONG user, LONG type);

 private:
  CDADataIterator* mWrap(LONG type, CDADataIterator* inner);
  // Wraps a result of the inner database's finds, keeping only the records U may see.
  CDADataIterator* mWrapVisible(LONG type, CDADataIterator* inner);
  CObject* mHandOn(const CDASelect* select);

  CDADatabase* mInner;
  LONG mUser = 0;
  LONG mTransaction = 0;
};
