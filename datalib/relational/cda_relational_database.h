// CDARelationalDatabase: the relational back end, a CDADatabase over a DAO database: a SQLite
// file, or an ODBC source named by a connect text. mOpen opens read-only, as the design tool
// reads external sources through it; a connect text that ends in "|" and a non-zero number
// ("site.db|1", "ODBC;DSN=x|1") opens it for writing, the access rule of the object store
// (the number 0 keeps it read-only). mCreate makes a new database with the type catalog.
// Queries run the Jet SQL texts the back end is known by, return a new iterator owned by the
// caller, or null when nothing is found. DAO errors arrive as CDaoException*. One thread.
#pragma once

#include <map>
#include <string>

#include "datalib/access/cda_database.h"
#include "platform/mfc/cstring.h"

class CDaoDatabase;
class CDaoRecordset;
class CDARelationalIterator;

class HALYARD_EXPORT CDARelationalDatabase : public CDADatabase {
 public:
  CDARelationalDatabase();
  ~CDARelationalDatabase() override;
  CDARelationalDatabase(const CDARelationalDatabase&) = delete;
  CDARelationalDatabase& operator=(const CDARelationalDatabase&) = delete;

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
  // Lays out a table that a locking wrapper has just made with the lock columns first.
  void mPrepareType(LONG type) override;
  void mGetFields(LONG type, CPDStringArray* names, CPDLongArray* kinds) override;
  void mGetFieldName(LONG type, LONG field, CPDString* name, LONG* kind) override;
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
  LONG mGetNativeFieldType(LONG kind) override;

  // The SQL text a query runs: mQueryType with a null select, mQuery otherwise; what
  // `vaultkit db sql` prints. CDaoException when the type is not in the catalog.
  CString mGetQuerySql(LONG type, CDASelect* select, CDASort* sort);
  // The table name of a type from the catalog; CDaoException when the type is unknown.
  CString mGetTableName(LONG type);
  // Non-zero when the database is open and may be written.
  int mIsWritable();
  CDaoDatabase* mGetDaoDatabase() { return mDatabase; }

 private:
  CDADataIterator* mRunQuery(const CString& sql);
  CString mOrderClause(LONG type, CDASort* sort);
  void mCreateCatalog();

  CDaoDatabase* mDatabase;
  // Table names of the types looked up so far; types are never renamed, so a name found
  // stays right while the database is open.
  std::map<LONG, std::string> mTableNames;
  // "SELECT * FROM [name]" of the types records were made for.
  std::map<LONG, std::string> mNewRecordSql;
};
