// The object database engine behind the object-store back end. A store is one ".qld" file
// holding a SQLite database, reached only through the engine's own file access (pyx_vfs.h), so
// it inherits SQLite's crash safety (a rollback journal beside the file), its locks between
// processes and its query engine. Inside the file:
//   pyx_class   the engine classes registered with the store ("CPyxIDList", "CPyxQuery")
//   pyx_type    one row per object type: number and name
//   pyx_attr    the attributes of each type: number (512, 513, ...) and field kind
//   pyx_query   stored queries by name (a CPyxQuery's saved form)
//   pyx_idlist  stored identifier lists by name (a CPyxIDList's saved form)
//   o<type>     the objects of a type (on<n> for a negative type -n): the object identifier
//               and one column a<attribute> per attribute
// A new object's long attributes start at 0; texts are Windows-1252 in the engine's values
// and UTF-8 in the file, so other SQLite clients read them.
//
// Selections name an attribute and compare it:
//   string (PyxStringSelect): 0 begins with, 1 contains, 2 ends with, anything else equal to;
//     letters compare without regard to case, as on the relational back end.
//   long (PyxLongSelect), by comparison code:
//     0 equal to, 1 less than, 3 less than or equal to, 4 greater than, 5 not equal to,
//     6 greater than or equal to; any other code is equal to.
//   AND and OR lists of selections (an empty AND is true, an empty OR false).
// A query (CPyxQuery) is a type, a selection and an order (an attribute and a direction; ties
// and unordered results come in creation order). Evaluating it gives a CPyxIDList: the
// identifiers of the matching objects, in order; objects are read through it one at a time,
// so no statement stays open between calls and another process can always commit.
//
// Changes go into a transaction that the first change opens and Commit writes; Rollback drops
// it. A failing file call raises CFileException (CMemoryException for running out of memory);
// a file that is not a store raises CFileException with the code "~cpt". One thread per store;
// the session (cache limit, registered class names) is for the whole process.
#pragma once

#include <sqlite3.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "datalib/select/store_select.h"
#include "platform/kernel/win_types.h"
#include "platform/mfc/cobject.h"
#include "platform/ole/colevariant.h"
#include "platform/ole/safearray.h"

namespace vaultkit::pyx {

class PyxStore;

// The engine's selections. AppendSql writes the condition over the type's columns.
class PyxSelect : public CObject {
 public:
  virtual void AppendSql(std::string& sql, std::vector<COleVariant>& params) const = 0;
  // The saved form ("S", "L", "A", "O" with their values), for stored queries.
  virtual void Save(std::string& out) const = 0;
  // Reads a saved form; null for damaged data.
  static PyxSelect* Load(const char*& p, const char* end, int depth = 0);
};

class PyxStringSelect : public PyxSelect {
 public:
  PyxStringSelect(LONG attribute, std::string value, LONG op) : mAttribute(attribute), mValue(std::move(value)), mOp(op) {}
  void AppendSql(std::string& sql, std::vector<COleVariant>& params) const override;
  void Save(std::string& out) const override;
  LONG mAttribute;
  std::string mValue;  // Windows-1252
  LONG mOp;
};

class PyxLongSelect : public PyxSelect {
 public:
  PyxLongSelect(LONG attribute, LONG value, LONG comparison) : mAttribute(attribute), mValue(value), mComparison(comparison) {}
  void AppendSql(std::string& sql, std::vector<COleVariant>& params) const override;
  void Save(std::string& out) const override;
  // The SQL operator of a comparison code.
  static const char* Operator(LONG comparison);
  LONG mAttribute;
  LONG mValue;
  LONG mComparison;
};

class PyxListSelect : public PyxSelect {
 public:
  explicit PyxListSelect(bool isAnd) : mAnd(isAnd) {}
  ~PyxListSelect() override;
  void AppendSql(std::string& sql, std::vector<COleVariant>& params) const override;
  void Save(std::string& out) const override;
  void Add(PyxSelect* part) { mParts.push_back(part); }
  bool mAnd;
  std::vector<PyxSelect*> mParts;  // owned
};

// CPyxIDList: the identifiers of objects of one type, in order.
class PyxIDList : public CObject {
 public:
  static constexpr const char kClassName[] = "CPyxIDList";
  LONG mType = 0;
  std::vector<sqlite3_int64> mIds;
  std::string Save() const;
  // False for damaged data.
  bool Load(const std::string& bytes);
};

// CPyxQuery: a type, a selection (owned, may be null) and an order attribute (< 0: none).
class PyxQuery : public CObject {
 public:
  static constexpr const char kClassName[] = "CPyxQuery";
  PyxQuery() = default;
  PyxQuery(LONG type, PyxSelect* select, LONG orderAttribute, bool ascending)
      : mType(type), mSelect(select), mOrder(orderAttribute), mAscending(ascending) {}
  ~PyxQuery() override { delete mSelect; }
  PyxQuery(const PyxQuery&) = delete;
  PyxQuery& operator=(const PyxQuery&) = delete;
  std::string Save() const;
  bool Load(const std::string& bytes);
  LONG mType = 0;
  PyxSelect* mSelect = nullptr;
  LONG mOrder = -1;
  bool mAscending = true;
};

// The process-wide session: made by the first store, ended by UninitializeDatabase.
class PyxSession : public CObject {
 public:
  // The session, made on first use and handed to the database handler.
  static PyxSession& Get();
  // The page cache each store may use, in bytes (0 before it is set: SQLite's default).
  void SetCacheLimit(DWORD bytes) { mCacheLimit = bytes; }
  DWORD GetCacheLimit() const { return mCacheLimit; }
  // The engine classes the session knows; stores register them when they open.
  const std::vector<std::string>& Classes() const { return mClasses; }
  void AddClass(const std::string& name);
  // The number of stores open now.
  int OpenStores() const { return mOpenStores; }

 private:
  friend class PyxStore;
  DWORD mCacheLimit = 0;
  std::vector<std::string> mClasses;
  int mOpenStores = 0;
};

struct PyxAttribute {
  LONG number;
  LONG kind;
};

class PyxStore : public StoreQueryEngine {
 public:
  // Opens the store file (creating an empty store when create is set and the file is missing
  // or empty); throws CFileException as described above. A file shorter than 256 bytes is
  // refused unless create is set.
  PyxStore(const std::string& path, bool writable, bool create);
  ~PyxStore() override;
  PyxStore(const PyxStore&) = delete;
  PyxStore& operator=(const PyxStore&) = delete;

  const std::string& Path() const { return mPath; }
  bool Writable() const { return mWritable; }
  // True when this open made the store.
  bool Created() const { return mCreated; }

  // Registers an engine class with the store (kept in pyx_class).
  void RegisterClass(const std::string& name);
  bool IsClassRegistered(const std::string& name) const;

  // Types: defining an existing type again keeps it (and renames it).
  void DefineType(LONG type, const std::string& name);
  bool HasType(LONG type) const { return mTypes.count(type) != 0; }
  std::string TypeName(LONG type) const;
  std::vector<LONG> Types() const;
  // Adds an attribute of a field kind; its number (512 for the first).
  LONG AddAttribute(LONG type, LONG kind);
  const std::vector<PyxAttribute>& Attributes(LONG type) const;
  // An index on an attribute, for selections and orders on it.
  void CreateIndex(LONG type, LONG attribute);

  // Objects. values are (attribute, value) pairs; unknown attributes throw.
  sqlite3_int64 Insert(LONG type, const std::vector<std::pair<LONG, COleVariant>>& values);
  void Update(LONG type, sqlite3_int64 id, const std::vector<std::pair<LONG, COleVariant>>& values);
  void Delete(LONG type, sqlite3_int64 id);
  // Every attribute of an object in attribute order; false when it does not exist.
  bool Read(LONG type, sqlite3_int64 id, std::vector<COleVariant>* values);
  // The objects a query selects, in its order. The caller owns the list.
  PyxIDList* Evaluate(const PyxQuery& query);
  LONG Count(LONG type);

  // Stored queries and identifier lists, by name.
  void SaveQuery(const std::string& name, const PyxQuery& query);
  PyxQuery* LoadQuery(const std::string& name);  // null when there is none
  void SaveIDList(const std::string& name, const PyxIDList& list);
  PyxIDList* LoadIDList(const std::string& name);

  // Writes the current state; the store is as it was before the changes when this throws.
  void Commit();
  // Drops the changes since the last commit.
  void Rollback();
  bool InTransaction() const;

  // StoreQueryEngine: the engine's selections for the translation of the library's.
  CObject* NewStringSelect(LONG attribute, const CPDString& value, LONG op) override;
  CObject* NewLongSelect(LONG attribute, LONG value, LONG comparison) override;
  CObject* NewAndSelect() override;
  CObject* NewOrSelect() override;
  void AddPart(CObject* complex, CObject* part) override;

 private:
  struct TypeInfo {
    std::string name;
    std::vector<PyxAttribute> attributes;
  };
  void Check(int rc);  // raises the failure a SQLite result code stands for
  [[noreturn]] void Fail(int rc);
  void Exec(const std::string& sql);
  sqlite3_stmt* Prepare(const std::string& sql);  // cached; reset after use by the caller
  void Bind(sqlite3_stmt* stmt, int index, const COleVariant& value);
  bool Step(sqlite3_stmt* stmt);  // true for a row
  void BeginWrite();
  // Named saved forms (queries, ID lists): one row of table, the form in its blob column.
  void SaveForm(const char* table, const char* column, const std::string& name, LONG type, const std::string& form);
  bool LoadForm(const char* table, const char* column, const std::string& name, std::string* form);
  void LoadSchema();
  const TypeInfo& Info(LONG type) const;
  void CheckAttribute(const TypeInfo& info, LONG attribute) const;

  std::string mPath;
  bool mWritable;
  bool mCreated = false;
  sqlite3* mDb = nullptr;
  std::map<std::string, sqlite3_stmt*> mStatements;
  std::map<std::pair<LONG, size_t>, sqlite3_stmt*> mInsertInOrder;  // statements of mStatements
  std::map<LONG, sqlite3_stmt*> mReadStatements;                      // likewise
  std::map<LONG, TypeInfo> mTypes;
  std::vector<std::string> mClasses;
};

// The table and column names of a type and an attribute.
std::string TableName(LONG type);
std::string ColumnName(LONG attribute);

}  // namespace vaultkit::pyx
