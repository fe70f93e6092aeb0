#include "cda_relational_database.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "cda_relational_iterator.h"
#include "datalib/access/cda_handler.h"
#include "datalib/access/owned_ptr.h"
#include "datalib/catalog/cda_sys_type.h"
#include "datalib/select/cda_complex_select.h"
#include "datalib/select/cda_sort.h"
#include "datalib/select/cda_sql_condition.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"
#include "platform/dao/cdaodatabase.h"
#include "platform/dao/cdaoexception.h"
#include "platform/dao/cdaorecordset.h"
#include "platform/dao/cdaotabledef.h"
#include "platform/dao/cdaoworkspace.h"
#include "platform/kernel/text.h"

using vaultkit::OwnedPtr;

namespace {

// DAO column types of the field kinds.
enum : LONG { kDaoText = 10, kDaoLong = 4, kDaoLongBinary = 11, kDaoDate = 8, kDaoDouble = 7 };

// The lock columns a locking wrapper adds to every type's table.
constexpr char kLockUserColumn[] = "fUserID";
constexpr char kLockTransactionColumn[] = "fPersisTransID";

CString Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
CString Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return CString(text.c_str());
}

// The relational back end serves type 16 for the handler (external sources).
CDADatabase* MakeRelational() { return new CDARelationalDatabase(); }
const bool kRegistered = [] {
  CDAHandler::mSetDatabaseFactory(kDATypeRelational, MakeRelational);
  return true;
}();

}  // namespace

CDARelationalDatabase::CDARelationalDatabase() : mDatabase(new CDaoDatabase()) { (void)kRegistered; }

CDARelationalDatabase::~CDARelationalDatabase() { delete mDatabase; }

int CDARelationalDatabase::mOpen(const CPDString& connect) {
  mTableNames.clear();
  mNewRecordSql.clear();
  std::string text = static_cast<char*>(connect);
  // The access rule: "|" and a number; non-zero asks for writing.
  bool readOnly = true;
  std::size_t bar = text.rfind('|');
  if (bar != std::string::npos) {
    readOnly = std::atol(text.c_str() + bar + 1) == 0;
    text.resize(bar);
  }
  if (halyard::FindNoCaseAscii(text, "ODBC;") != std::string::npos ||
      halyard::FindNoCaseAscii(text, "DATABASE=") != std::string::npos) {
    // A connect text; one without "ODBC;" names an ODBC source all the same.
    std::size_t at = halyard::FindNoCaseAscii(text, "ODBC;");
    std::string odbc = at == std::string::npos ? "ODBC;" + text : text.substr(at);
    mDatabase->Open("", FALSE, readOnly ? TRUE : FALSE, odbc.c_str());
  } else {
    mDatabase->Open(text.c_str(), FALSE, readOnly ? TRUE : FALSE, "");
  }
  return 1;
}

int CDARelationalDatabase::mCreate(const CPDString& path) {
  mTableNames.clear();
  mNewRecordSql.clear();
  std::string text = static_cast<char*>(path);
  if (halyard::FindNoCaseAscii(text, "ODBC;") != std::string::npos ||
      halyard::FindNoCaseAscii(text, "DATABASE=") != std::string::npos) {
    // A server's database is made by the server; the catalog goes into it.
    std::size_t at = halyard::FindNoCaseAscii(text, "ODBC;");
    std::string odbc = at == std::string::npos ? "ODBC;" + text : text.substr(at);
    mDatabase->Open("", FALSE, FALSE, odbc.c_str());
  } else {
    mDatabase->Create(text.c_str(), dbLangGeneral);
  }
  // The catalog is written whole or not at all.
  mBeginTransaction();
  try {
    mCreateCatalog();
    mCommitTransaction(nullptr);
  } catch (...) {
    try {
      mRollback();
    } catch (CDaoException* e) {
      e->Delete();
    }
    throw;
  }
  return 1;
}

void CDARelationalDatabase::mCreateCatalog() {
  {
    CDaoTableDef types(mDatabase);
    types.Create(cSTRCATALOG);
    types.CreateField("System", dbLong, 4);
    types.CreateField("fType", dbLong, 4);
    types.CreateField("fName", dbText, 255);
    types.CreateField("fCL", dbLong, 4);
    types.CreateField("fDefaultLayout", dbText, 255);
    types.CreateField("fOwnerType", dbLong, 4);
    // The placeholder flag that registering a type writes as its seventh field.
    types.CreateField("fPlaceholders", dbLong, 4);
    types.Append();
  }
  {
    CDaoTableDef fields(mDatabase);
    fields.Create("SysFields");
    fields.CreateField("fObjectType", dbLong, 4);
    fields.CreateField("fFieldName", dbText, 255);
    fields.CreateField("fFieldType", dbLong, 4);
    fields.CreateField("fFieldAttr", dbLong, 4);
    fields.CreateField("fFieldCount", dbLong, 4);
    fields.Append();
  }
  vaultkit::WriteInitialCatalog(this);
}

void CDARelationalDatabase::mClose() {
  mTableNames.clear();
  mNewRecordSql.clear();
  mDatabase->Close();
}

unsigned short CDARelationalDatabase::mGetTypeFlags() { return kDATypeRelational; }

int CDARelationalDatabase::mIsWritable() { return mDatabase->IsOpen() && mDatabase->CanUpdate() ? 1 : 0; }

void CDARelationalDatabase::mBeginTransaction() { mDatabase->m_pWorkspace->BeginTrans(); }

void CDARelationalDatabase::mCommitTransaction(CObject*) { mDatabase->m_pWorkspace->CommitTrans(); }

void CDARelationalDatabase::mRollback() { mDatabase->m_pWorkspace->Rollback(); }

CString CDARelationalDatabase::mGetTableName(LONG type) {
  auto known = mTableNames.find(type);
  if (known != mTableNames.end()) return CString(known->second.c_str());
  CPDString name("");
  CDASysType::mGetNameFromObjectType(this, type, &name);
  if (static_cast<char*>(name)[0] == '\0') {
    CString text = Format("Object type %ld is not in the catalog of this database.", static_cast<long>(type));
    AfxThrowDaoException(AFX_DAO_ERROR_ITEM_NOT_FOUND, "Vaultkit", text);
  }
  mTableNames[type] = static_cast<char*>(name);
  return CString(static_cast<char*>(name));
}

CDADataIterator* CDARelationalDatabase::mRunQuery(const CString& sql) {
  OwnedPtr<CDaoRecordset> rs(new CDaoRecordset(mDatabase));
  rs->Open(dbOpenDynaset, sql);
  if (rs->IsBOF()) return nullptr;
  return new CDARelationalIterator(rs.release());
}

CString CDARelationalDatabase::mOrderClause(LONG type, CDASort* sort) {
  if (sort == nullptr || sort->mGetFieldIndex() < 0) return CString("");
  std::string column = vaultkit::SqlColumnName(this, type, sort->mGetFieldIndex());
  return Format("ORDER BY [%s] %s", column.c_str(), sort->mIsAscendingSort() != 0 ? "ASC" : "DESC");
}

CString CDARelationalDatabase::mGetQuerySql(LONG type, CDASelect* select, CDASort* sort) {
  CString table = mGetTableName(type);
  CString order = mOrderClause(type, sort);
  if (select != nullptr) {
    OwnedPtr<CObject> translated(select->mProcessSelect(this));
    if (auto* condition = dynamic_cast<CDASqlCondition*>(translated.get())) {
      return Format("SELECT * FROM [%s] WHERE %s %s", static_cast<const char*>(table),
                    static_cast<const char*>(condition->mGetText()), static_cast<const char*>(order));
    }
  }
  return Format("SELECT * FROM [%s] %s", static_cast<const char*>(table), static_cast<const char*>(order));
}

CDADataIterator* CDARelationalDatabase::mQueryType(LONG type, CDASort* sort) {
  return mRunQuery(mGetQuerySql(type, nullptr, sort));
}

CDADataIterator* CDARelationalDatabase::mQuery(LONG type, CDASelect* select, CDASort* sort) {
  return mRunQuery(mGetQuerySql(type, select, sort));
}

CDADataIterator* CDARelationalDatabase::mFindByNumber(LONG type, LONG number) {
  return mRunQuery(Format("SELECT * FROM [%s] WHERE fNumber = %ld", static_cast<const char*>(mGetTableName(type)),
                          static_cast<long>(number)));
}

CDADataIterator* CDARelationalDatabase::mFindByType(LONG type, LONG value) {
  return mRunQuery(Format("SELECT * FROM [%s] WHERE fType = %ld", static_cast<const char*>(mGetTableName(type)),
                          static_cast<long>(value)));
}

CDADataIterator* CDARelationalDatabase::mFindByClass(LONG type, LONG value) {
  return mRunQuery(Format("SELECT * FROM [%s] WHERE fCL = %ld", static_cast<const char*>(mGetTableName(type)),
                          static_cast<long>(value)));
}

CDADataIterator* CDARelationalDatabase::mFindByName(LONG type, CPDString* name) {
  // The text goes in with its quotes doubled, so any name is a name and never SQL.
  std::string quoted = vaultkit::SqlQuoted(name != nullptr ? static_cast<char*>(*name) : "");
  return mRunQuery(Format("SELECT * FROM [%s] WHERE fName = %s", static_cast<const char*>(mGetTableName(type)),
                          quoted.c_str()));
}

CDADataObject* CDARelationalDatabase::mNewRecord(LONG type) {
  std::string& sql = mNewRecordSql[type];
  if (sql.empty()) sql = "SELECT * FROM [" + std::string(static_cast<const char*>(mGetTableName(type))) + "]";
  OwnedPtr<CDaoRecordset> rs(new CDaoRecordset(mDatabase));
  rs->Open(dbOpenDynaset, sql.c_str());
  rs->AddNew();
  return new CDARelationalIterator(rs.release());
}

void CDARelationalDatabase::mCreateTypeTable(LONG, const CPDString& name) {
  CDaoTableDef def(mDatabase);
  def.Create(static_cast<char*>(name));
  def.CreateField("System", dbLong, 4);
  CDaoIndexFieldInfo key;
  key.m_strName = "System";
  CDaoIndexInfo index;
  index.m_strName = "Primary";
  index.m_pFieldInfos = &key;
  index.m_nFields = 1;
  index.m_bPrimary = TRUE;
  index.m_bUnique = TRUE;
  def.CreateIndex(index);
  def.Append();
}

void CDARelationalDatabase::mPrepareType(LONG type) {
  // A locking wrapper has just made the type's table and added its two lock columns behind
  // "System". Its records read the lock columns at positions 0 and 1 and the type's own
  // fields from position 2 on, so the still empty table is laid out again in that order:
  // fUserID, fPersisTransID, System, then any other column. The primary index covers System
  // and fPersisTransID, since a taken record and the companion that keeps its former image
  // share their System value (fPersisTransID T and -T). Any other table is left as it is.
  CString table = mGetTableName(type);
  struct Column {
    CString name;
    short type;
  };
  std::vector<Column> columns;
  {
    CDaoTableDef def(mDatabase);
    def.Open(table);
    const short count = def.GetFieldCount();
    for (short i = 0; i < count; ++i) {
      CDaoFieldInfo info;
      def.GetFieldInfo(i, info);
      columns.push_back({info.m_strName, info.m_nType});
    }
  }
  auto named = [&columns](std::size_t i, const char* name) {
    return i < columns.size() && columns[i].name.CompareNoCase(name) == 0;
  };
  if (!named(0, "System") || !named(1, kLockUserColumn) || !named(2, kLockTransactionColumn)) return;
  {
    OwnedPtr<CDaoRecordset> rs(new CDaoRecordset(mDatabase));
    rs->Open(dbOpenDynaset, Format("SELECT * FROM [%s]", static_cast<const char*>(table)));
    if (!rs->IsBOF()) return;  // records already depend on this layout
  }
  std::swap(columns[0], columns[1]);
  std::swap(columns[1], columns[2]);
  mNewRecordSql.erase(type);
  mDatabase->DeleteTableDef(table);
  CDaoTableDef def(mDatabase);
  def.Create(table);
  for (const Column& c : columns) def.CreateField(c.name, c.type, c.type == kDaoText ? 255 : 0);
  CDaoIndexFieldInfo key[2];
  key[0].m_strName = "System";
  key[1].m_strName = kLockTransactionColumn;
  CDaoIndexInfo index;
  index.m_strName = "Primary";
  index.m_pFieldInfos = key;
  index.m_nFields = 2;
  index.m_bPrimary = TRUE;
  index.m_bUnique = TRUE;
  def.CreateIndex(index);
  def.Append();
}

LONG CDARelationalDatabase::mAddField(LONG type, const CPDString& name, LONG kind) {
  LONG native = mGetNativeFieldType(kind);
  if (native == 0) return -1;  // a kind this back end does not store
  CDaoTableDef def(mDatabase);
  def.Open(mGetTableName(type));
  def.CreateField(static_cast<char*>(name), static_cast<short>(native), native == kDaoText ? 255 : 0);
  return def.GetFieldCount() - 1;
}

LONG CDARelationalDatabase::mGetNativeFieldType(LONG kind) {
  switch (kind) {
    case kDAKindText:
    case kDAKindFile:
      return kDaoText;
    case kDAKindLong:
      return kDaoLong;
    case kDAKindBinary:
    case kDAKindFormattedText:
      return kDaoLongBinary;
    case kDAKindDate:
      return kDaoDate;
    case kDAKindDouble:
      return kDaoDouble;
    default:
      return 0;
  }
}

void CDARelationalDatabase::mGetFields(LONG type, CPDStringArray* names, CPDLongArray* kinds) {
  OwnedPtr<CDADataIterator> it(
      mRunQuery(Format("SELECT * FROM SysFields WHERE fObjectType = %ld", static_cast<long>(type))));
  if (!it) return;
  for (; it->mIsEOF() == 0; it->mMoveNext()) {
    CPDString name;
    CPDLong kind(0);
    it->mGetField(1, &name);
    it->mGetField(2, &kind);
    if (names != nullptr) names->mAdd(name);
    if (kinds != nullptr) {
      LONG k = kind.mGetValue();
      kinds->mAdd(&k);
    }
  }
}

void CDARelationalDatabase::mGetFieldName(LONG type, LONG field, CPDString* name, LONG* kind) {
  // Types owned by type 1 carry four leading columns before their own fields.
  if (type != kDASysTypes && type != kDASysFields && CDASysType::mGetOwnerType(this, type) == 1) field += 4;
  OwnedPtr<CDADataIterator> it(mRunQuery(Format("SELECT * FROM SysFields WHERE fObjectType = %ld AND fFieldCount = %ld",
                                                static_cast<long>(type), static_cast<long>(field))));
  if (!it) return;
  if (name != nullptr) it->mGetField(1, name);
  if (kind != nullptr) {
    CPDLong k(*kind);
    it->mGetField(2, &k);
    *kind = k.mGetValue();
  }
}

CObject* CDARelationalDatabase::mProcessInLongSelect(CDAInLongSelect* select) {
  return select != nullptr ? vaultkit::SqlInLongCondition(*select, this) : nullptr;
}

CObject* CDARelationalDatabase::mProcessStringSelect(CDAStringSelect* select) {
  return select != nullptr ? vaultkit::SqlStringCondition(*select, this) : nullptr;
}

CObject* CDARelationalDatabase::mProcessLongSelect(CDALongSelect* select) {
  return select != nullptr ? vaultkit::SqlLongCondition(*select, this) : nullptr;
}

CObject* CDARelationalDatabase::mProcessOrSelect(CDAOrSelect* select) {
  return select != nullptr ? vaultkit::SqlComplexCondition(*select, this, false) : nullptr;
}

CObject* CDARelationalDatabase::mProcessAndSelect(CDAAndSelect* select) {
  return select != nullptr ? vaultkit::SqlComplexCondition(*select, this, true) : nullptr;
}
