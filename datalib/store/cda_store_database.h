// CDAStoreDatabase: the object-store back end (type 64, the handler's default), over the
// library's object database engine (pyx_engine.h). A connect text names the store file:
// "Pyx:" in front is dropped, "|" and a number behind choose the access (0 read-only), an
// empty name is the server's administration database, a name holding ".qld", ".qlt" or "\" is
// a path, any other name a site under the server's data folder (registry values of
// "SOFTWARE\Quillmarks\Scriptorium Server"). Field number f is the engine's attribute f + 512;
// a type's first field is 0 (no leading "System" field, unlike a relational table), so the
// locking wrapper's two columns are fields 0 and 1. The catalog (SysTypes, SysFields) is kept
// in the store as the engine types -10183 and -10184. Changes collect in a transaction that
// mCommitTransaction writes and mRollback drops; mBeginTransaction has nothing to do. Engine
// failures arrive as CFileException (CMemoryException when memory runs out).
#pragma once

#include <string>

#include "datalib/access/cda_database.h"

namespace vaultkit::pyx {
class PyxStore;
}

class HALYARD_EXPORT CDAStoreDatabase : public CDADatabase {
 public:
  CDAStoreDatabase();
  ~CDAStoreDatabase() override;

  void mBeginTransaction() override;
  void mCommitTransaction(CObject* object) override;
  void mRollback() override;
  CDADataIterator* mQueryType(LONG type, CDASort* sort) override;
  CDADataIterator* mFindByNumber(LONG type, LONG number) override;
  CDADataIterator* mFindByType(LONG type, LONG value) override;
  CDADataIterator* mFindByClass(LONG type, LONG value) override;
  CDADataIterator* mFindByName(LONG type, CPDString* name) override;
  CDADataIterator* mQuery(LONG type, CDASelect* select, CDASort* sort) override;
  void mCreateTypeTable(LONG type, const CPDString& name) override;
  LONG mAddField(LONG type, const CPDString& name, LONG kind) override;
  void mGetFields(LONG type, CPDStringArray* names, CPDLongArray* kinds) override;
  void mGetFieldName(LONG type, LONG field, CPDString* name, LONG* kind) override;
  // Indexes the two lock columns of a type that the locking wrapper made.
  void mPrepareType(LONG type) override;
  // Makes the store (and its folders) when missing, with its catalog; opens it for writing.
  // 0 when the registry key cannot be read.
  int mCreate(const CPDString& path) override;
  int mOpen(const CPDString& connect) override;
  void mClose() override;
  unsigned short mGetTypeFlags() override;
  CDADataObject* mNewRecord(LONG type) override;
  CObject* mProcessInLongSelect(CDAInLongSelect* select) override;
  CObject* mProcessStringSelect(CDAStringSelect* select) override;
  CObject* mProcessLongSelect(CDALongSelect* select) override;
  CObject* mProcessOrSelect(CDAOrSelect* select) override;
  CObject* mProcessAndSelect(CDAAndSelect* select) override;
  // SQLite's storage classes: 3 text (kinds 0, 3), 1 integer (1), 4 blob (2, 4), 2 real
  // (5, 6); 0 for other kinds.
  LONG mGetNativeFieldType(LONG kind) override;

  // An index on a field of a type, for selections and orders on it.
  void mIndexField(LONG type, LONG field);
  // The file the last mOpen or mCreate named ("" before either, or when the registry failed).
  const std::string& mGetPath() const { return mPath; }
  int mIsOpen() const { return mStore != nullptr ? 1 : 0; }
  int mIsWritable() const;

  // The file a connect text names (rules above); false when the registry key cannot be read.
  static bool mResolvePath(const std::string& connect, std::string* path);
  // Sets the engine's cache limit from the physical memory, once per process: a sixth of it,
  // at most 10000000 bytes. The limit in force.
  static DWORD mInitCacheLimit();

  vaultkit::pyx::PyxStore* mGetStore() const { return mStore; }

 private:
  void mOpenFile(const std::string& path, bool writable, bool create);
  void mCreateCatalog();
  vaultkit::pyx::PyxStore& mRequireStore() const;
  // The field number of a named field of a type (catalog types have theirs built in); -1.
  LONG mFieldNumber(LONG type, const char* name);
  CDADataIterator* mFind(LONG type, const char* field, CObject* select);
  CDADataIterator* mRun(LONG type, CObject* select, CDASort* sort);

  vaultkit::pyx::PyxStore* mStore = nullptr;
  std::string mPath;
};
