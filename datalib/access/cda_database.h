// CDADatabase: the interface every back end of the data access library implements (the
// object store, the relational back end, the locking wrapper). Operations come in a fixed
// order; the reserved slots between them keep that order and do nothing. Queries hand out
// new iterators that the caller owns and deletes, or null when nothing was found. Selection
// translations (mProcess...Select) return a new object owned by the caller: the relational
// back end a CDASqlCondition, the object store its engine's own selection, the locking
// wrapper whatever its inner database returned; null means "no condition". Back-end errors
// arrive as the back end's exceptions. A database is used on one thread.
#pragma once

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "platform/mfc/cobject.h"

class CDADataIterator;
class CDADataObject;
class CDASelect;
class CDASort;
class CDAStringSelect;
class CDALongSelect;
class CDAInLongSelect;
class CDAAndSelect;
class CDAOrSelect;
class CPDString;
class CPDStringArray;
class CPDLongArray;

// Type codes of the back ends (mGetTypeFlags) and the service flag of the locking wrapper.
inline constexpr unsigned short kDATypeObjectStore = 64;
inline constexpr unsigned short kDATypeRelational = 16;
inline constexpr unsigned short kDATypeInformix = 32;
inline constexpr unsigned short kDATypeSybase = 8;
inline constexpr unsigned short kDAServiceLocking = 0x1000;

// Field kinds of the catalog; selection handlers use 7 and 8 for AND and OR.
enum : LONG {
  kDAKindText = 0,
  kDAKindLong = 1,
  kDAKindBinary = 2,
  kDAKindFile = 3,
  kDAKindFormattedText = 4,
  kDAKindDate = 5,
  kDAKindDouble = 6,
  kDAKindAnd = 7,
  kDAKindOr = 8,
};

class HALYARD_EXPORT CDADatabase : public CObject {
 public:
  ~CDADatabase() override;

  // The locking wrapper's context: user U and transaction T. Nothing elsewhere.
  virtual void mSetContext(LONG user, LONG transaction);
  virtual void mContextPairA(LONG user, LONG transaction);
  virtual void mContextPairB(LONG user, LONG transaction);
  virtual void mClearContext();
  // The context's T; 0 elsewhere.
  virtual LONG mGetContextType();
  virtual LONG mReserved1();
  virtual LONG mReserved2();
  virtual LONG mReserved3();
  virtual LONG mReserved4();
  virtual LONG mReserved5();

  virtual void mBeginTransaction() = 0;
  // object: what the engine is to write (the object store); the relational back end ignores it.
  virtual void mCommitTransaction(CObject* object) = 0;
  virtual void mRollback() = 0;
  // All records of a type, in the order of sort (none when null or its field index < 0).
  virtual CDADataIterator* mQueryType(LONG type, CDASort* sort) = 0;
  virtual CDADataIterator* mFindByNumber(LONG type, LONG number) = 0;
  virtual CDADataIterator* mFindByType(LONG type, LONG value) = 0;
  virtual CDADataIterator* mFindByClass(LONG type, LONG value) = 0;
  virtual CDADataIterator* mFindByName(LONG type, CPDString* name) = 0;
  // Records of a type that meet the selection (all when null), in the order of sort.
  virtual CDADataIterator* mQuery(LONG type, CDASelect* select, CDASort* sort) = 0;
  virtual LONG mReserved6();
  virtual LONG mReserved7();
  virtual LONG mReserved8();
  virtual void mCreateTypeTable(LONG type, const CPDString& name) = 0;
  // Adds a field of the given kind; the new field's number.
  virtual LONG mAddField(LONG type, const CPDString& name, LONG kind) = 0;
  virtual LONG mReserved9();
  virtual LONG mReserved10();
  virtual LONG mReserved11();
  // Names and kinds of a type's fields (through mGetFields) and their numbers 0 to n-1.
  virtual void mGetFieldNumbers(LONG type, CPDStringArray* names, CPDLongArray* kinds,
                                CPDLongArray* numbers);
  // Appends the names and kinds of a type's fields, in field order.
  virtual void mGetFields(LONG type, CPDStringArray* names, CPDLongArray* kinds) = 0;
  // Name and kind of one field; both left unchanged when the field is unknown.
  virtual void mGetFieldName(LONG type, LONG field, CPDString* name, LONG* kind) = 0;
  // Called by the locking wrapper once it has created a type's table; nothing by default.
  virtual void mPrepareType(LONG type);
  // Creates a new database; non-zero on success.
  virtual int mCreate(const CPDString& path) = 0;
  // Opens the database a connect text names; non-zero on success.
  virtual int mOpen(const CPDString& connect) = 0;
  virtual void mClose() = 0;
  virtual unsigned short mGetTypeFlags() = 0;
  virtual LONG mReserved12();
  virtual LONG mReserved13();
  // A new empty record of a type, to be filled and committed with mUpdateRecord; the caller
  // owns it.
  virtual CDADataObject* mNewRecord(LONG type) = 0;
  // Appends the named field kinds a user may pick: "Formatted Text" (4), "Memo" (0),
  // "File" (3), "Date" (5).
  virtual void mGetFieldKindNames(CPDStringArray* names, CPDLongArray* kinds);
  virtual CObject* mProcessInLongSelect(CDAInLongSelect* select) = 0;
  virtual CObject* mProcessStringSelect(CDAStringSelect* select) = 0;
  virtual CObject* mProcessLongSelect(CDALongSelect* select) = 0;
  virtual CObject* mProcessOrSelect(CDAOrSelect* select) = 0;
  virtual CObject* mProcessAndSelect(CDAAndSelect* select) = 0;
  virtual LONG mReserved14();
  virtual LONG mReserved15();
  virtual LONG mReserved16();
  // -1 by default.
  virtual LONG mReserved17();
  // The back end's own column type for a field kind; 0 for kinds it does not store.
  virtual LONG mGetNativeFieldType(LONG kind) = 0;
  virtual LONG mReserved18();

 protected:
  CDADatabase() = default;
};
