#include "pyx_engine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "datalib/access/cda_handler.h"
#include "datalib/values/cpd_string.h"
#include "platform/dao/jet_sql.h"
#include "platform/kernel/win_path.h"
#include "platform/mfc/cfileexception.h"
#include "platform/mfc/cmemoryexception.h"
#include "pyx_vfs.h"

namespace vaultkit::pyx {

namespace {

constexpr LONG kMinimumStoreSize = 256;
constexpr int kBusyTimeoutMs = 30000;
constexpr int kMaxSelectDepth = 64;

// UTF-8 text as case-folded characters; broken bytes pass as themselves.
std::u32string Folded(const unsigned char* p, int n) {
  std::u32string out;
  out.reserve(static_cast<size_t>(n));
  const unsigned char* end = p + n;
  while (p < end) {
    char32_t c = *p;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra > 0 && p + extra < end) {
      c &= 0x3F >> extra;
      for (int i = 1; i <= extra; ++i) c = (c << 6) | (p[i] & 0x3F);
      p += extra + 1;
    } else {
      ++p;
    }
    out.push_back(halyard::dao::FoldCase(c));
  }
  return out;
}

// pyx_text(op, value, text): the string selection's test, ignoring case.
void TextMatch(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_int(ctx, 0);
    return;
  }
  const int op = sqlite3_value_int(argv[0]);
  std::u32string value = Folded(sqlite3_value_text(argv[1]), sqlite3_value_bytes(argv[1]));
  std::u32string text = Folded(sqlite3_value_text(argv[2]), sqlite3_value_bytes(argv[2]));
  bool match = false;
  switch (op) {
    case 0: match = value.compare(0, text.size(), text) == 0 && value.size() >= text.size(); break;
    case 1: match = value.find(text) != std::u32string::npos; break;
    case 2: match = value.size() >= text.size() && value.compare(value.size() - text.size(), text.size(), text) == 0; break;
    default: match = value == text;
  }
  sqlite3_result_int(ctx, match ? 1 : 0);
}

// Texts order as they compare on the relational back end: letters without regard to case.
int NoCaseCollation(void*, int an, const void* a, int bn, const void* b) {
  return halyard::dao::CompareNoCaseUtf8(std::string_view(static_cast<const char*>(a), static_cast<size_t>(an)),
                                         std::string_view(static_cast<const char*>(b), static_cast<size_t>(bn)));
}

std::string Ansi(const COleVariant& v) {
  const char* bytes = reinterpret_cast<const char*>(v.bstrVal);
  return std::string(bytes != nullptr ? bytes : "", bytes != nullptr ? SysStringByteLen(v.bstrVal) : 0);
}

void PutLong(std::string& out, sqlite3_int64 v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); }
bool GetLong(const char*& p, const char* end, sqlite3_int64* v) {
  if (end - p < static_cast<long>(sizeof *v)) return false;
  std::memcpy(v, p, sizeof *v);
  p += sizeof *v;
  return true;
}

}  // namespace

std::string TableName(LONG type) {
  return type < 0 ? "on" + std::to_string(-static_cast<sqlite3_int64>(type)) : "o" + std::to_string(type);
}
std::string ColumnName(LONG attribute) { return "a" + std::to_string(attribute); }

// ---- selections ----

void PyxStringSelect::AppendSql(std::string& sql, std::vector<COleVariant>& params) const {
  sql += "pyx_text(" + std::to_string(mOp) + ", " + ColumnName(mAttribute) + ", ?)";
  params.emplace_back(mValue.c_str(), static_cast<VARTYPE>(VT_BSTRT));
}

void PyxStringSelect::Save(std::string& out) const {
  out += 'S';
  PutLong(out, mAttribute);
  PutLong(out, mOp);
  PutLong(out, static_cast<sqlite3_int64>(mValue.size()));
  out += mValue;
}

const char* PyxLongSelect::Operator(LONG comparison) {
  switch (comparison) {
    case 1: return "<";
    case 3: return "<=";
    case 4: return ">";
    case 5: return "<>";
    case 6: return ">=";
    default: return "=";
  }
}

void PyxLongSelect::AppendSql(std::string& sql, std::vector<COleVariant>& params) const {
  sql += ColumnName(mAttribute) + " " + Operator(mComparison) + " ?";
  params.emplace_back(mValue, static_cast<VARTYPE>(VT_I4));
}

void PyxLongSelect::Save(std::string& out) const {
  out += 'L';
  PutLong(out, mAttribute);
  PutLong(out, mComparison);
  PutLong(out, mValue);
}

PyxListSelect::~PyxListSelect() {
  for (PyxSelect* part : mParts) delete part;
}

void PyxListSelect::AppendSql(std::string& sql, std::vector<COleVariant>& params) const {
  if (mParts.empty()) {
    sql += mAnd ? "1" : "0";
    return;
  }
  sql += "(";
  for (size_t i = 0; i < mParts.size(); ++i) {
    if (i > 0) sql += mAnd ? " AND " : " OR ";
    sql += "(";
    mParts[i]->AppendSql(sql, params);
    sql += ")";
  }
  sql += ")";
}

void PyxListSelect::Save(std::string& out) const {
  out += mAnd ? 'A' : 'O';
  PutLong(out, static_cast<sqlite3_int64>(mParts.size()));
  for (PyxSelect* part : mParts) part->Save(out);
}

PyxSelect* PyxSelect::Load(const char*& p, const char* end, int depth) {
  if (p >= end || depth > kMaxSelectDepth) return nullptr;
  const char kind = *p++;
  sqlite3_int64 a = 0, b = 0, c = 0;
  switch (kind) {
    case 'S': {
      if (!GetLong(p, end, &a) || !GetLong(p, end, &b) || !GetLong(p, end, &c)) return nullptr;
      if (c < 0 || c > end - p) return nullptr;
      std::string value(p, static_cast<size_t>(c));
      p += c;
      return new PyxStringSelect(static_cast<LONG>(a), std::move(value), static_cast<LONG>(b));
    }
    case 'L':
      if (!GetLong(p, end, &a) || !GetLong(p, end, &b) || !GetLong(p, end, &c)) return nullptr;
      return new PyxLongSelect(static_cast<LONG>(a), static_cast<LONG>(c), static_cast<LONG>(b));
    case 'A':
    case 'O': {
      if (!GetLong(p, end, &a) || a < 0 || a > end - p) return nullptr;
      auto* list = new PyxListSelect(kind == 'A');
      for (sqlite3_int64 i = 0; i < a; ++i) {
        PyxSelect* part = Load(p, end, depth + 1);
        if (part == nullptr) {
          delete list;
          return nullptr;
        }
        list->Add(part);
      }
      return list;
    }
    default:
      return nullptr;
  }
}

std::string PyxIDList::Save() const {
  std::string out;
  PutLong(out, mType);
  PutLong(out, static_cast<sqlite3_int64>(mIds.size()));
  for (sqlite3_int64 id : mIds) PutLong(out, id);
  return out;
}

bool PyxIDList::Load(const std::string& bytes) {
  const char* p = bytes.data();
  const char* end = p + bytes.size();
  sqlite3_int64 type = 0, n = 0;
  if (!GetLong(p, end, &type) || !GetLong(p, end, &n) || n < 0 || n > (end - p) / 8) return false;
  mType = static_cast<LONG>(type);
  mIds.resize(static_cast<size_t>(n));
  for (auto& id : mIds) GetLong(p, end, &id);
  return true;
}

std::string PyxQuery::Save() const {
  std::string out;
  PutLong(out, mType);
  PutLong(out, mOrder);
  PutLong(out, mAscending ? 1 : 0);
  if (mSelect != nullptr) mSelect->Save(out);
  return out;
}

bool PyxQuery::Load(const std::string& bytes) {
  const char* p = bytes.data();
  const char* end = p + bytes.size();
  sqlite3_int64 type = 0, order = 0, ascending = 0;
  if (!GetLong(p, end, &type) || !GetLong(p, end, &order) || !GetLong(p, end, &ascending)) return false;
  PyxSelect* select = nullptr;
  if (p < end) {
    select = PyxSelect::Load(p, end);
    if (select == nullptr || p != end) {
      delete select;
      return false;
    }
  }
  delete mSelect;
  mSelect = select;
  mType = static_cast<LONG>(type);
  mOrder = static_cast<LONG>(order);
  mAscending = ascending != 0;
  return true;
}

// ---- session ----

PyxSession& PyxSession::Get() {
  auto* session = dynamic_cast<PyxSession*>(CDAHandler::mGetEngineSession());
  if (session == nullptr) {
    session = new PyxSession();
    session->AddClass(PyxIDList::kClassName);
    session->AddClass(PyxQuery::kClassName);
    CDAHandler::mSetEngineSession(session);
  }
  return *session;
}

void PyxSession::AddClass(const std::string& name) {
  if (std::find(mClasses.begin(), mClasses.end(), name) == mClasses.end()) mClasses.push_back(name);
}

// ---- store ----

PyxStore::PyxStore(const std::string& path, bool writable, bool create) : mPath(path), mWritable(writable || create) {
  RegisterVfs();
  TakeFileFailure();
  const std::string host = halyard::MapWinPath(path);
  struct stat st;
  const bool exists = ::stat(host.c_str(), &st) == 0;
  if (exists && S_ISREG(st.st_mode) && st.st_size < kMinimumStoreSize && !(create && st.st_size == 0)) {
    // Too short to be a store; only an empty file may become one.
    CFileException::ThrowOsError(kCorruptStoreCode, path.c_str());
  }
  mCreated = create && (!exists || st.st_size == 0);
  // A store opened for reading is still opened for writing underneath when the file allows it,
  // so that the journal of a writer that died can be rolled back; the engine itself refuses
  // every change (and SQLite is told to make none).
  const bool recoverable = !mWritable && exists && ::access(host.c_str(), W_OK) == 0;
  int flags = mWritable || recoverable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
  if (mCreated) flags |= SQLITE_OPEN_CREATE;
  int rc = sqlite3_open_v2(path.c_str(), &mDb, flags | SQLITE_OPEN_NOMUTEX, kVfsName);
  if (rc != SQLITE_OK) {
    FileFailure failure = TakeFileFailure();
    sqlite3_close(mDb);
    mDb = nullptr;
    if (failure.pending) RaiseFileFailure(failure);
    if (rc == SQLITE_NOMEM) AfxThrowMemoryException();
    CFileException::ThrowOsError(rc == SQLITE_CANTOPEN ? 2 : kCorruptStoreCode, path.c_str());
  }
  try {
    sqlite3_busy_timeout(mDb, kBusyTimeoutMs);
    sqlite3_create_function(mDb, "pyx_text", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, TextMatch, nullptr,
                            nullptr);
    sqlite3_create_collation(mDb, "pyx_nocase", SQLITE_UTF8, nullptr, NoCaseCollation);
    PyxSession& session = PyxSession::Get();
    Exec("PRAGMA temp_store = MEMORY");
    // Damaged pages are caught when they are read, not trusted.
    Exec("PRAGMA cell_size_check = ON");
    if (!mWritable) Exec("PRAGMA query_only = 1");
    if (session.GetCacheLimit() != 0)
      Exec("PRAGMA cache_size = -" + std::to_string(std::max<DWORD>(session.GetCacheLimit() / 1024, 64)));
    if (mCreated) {
      BeginWrite();
      Exec("CREATE TABLE pyx_class(name TEXT PRIMARY KEY)");
      Exec("CREATE TABLE pyx_type(type INTEGER PRIMARY KEY, name TEXT NOT NULL)");
      Exec("CREATE TABLE pyx_attr(type INTEGER, attr INTEGER, kind INTEGER, PRIMARY KEY(type, attr)) WITHOUT ROWID");
      Exec("CREATE TABLE pyx_query(name TEXT PRIMARY KEY, type INTEGER, form BLOB)");
      Exec("CREATE TABLE pyx_idlist(name TEXT PRIMARY KEY, type INTEGER, ids BLOB)");
      Commit();
    }
    LoadSchema();
    ++session.mOpenStores;
  } catch (...) {
    for (auto& [sql, stmt] : mStatements) sqlite3_finalize(stmt);
    mStatements.clear();
    sqlite3_close(mDb);
    mDb = nullptr;
    throw;
  }
}

PyxStore::~PyxStore() {
  for (auto& [sql, stmt] : mStatements) sqlite3_finalize(stmt);
  if (mDb != nullptr) {
    // Uncommitted changes go with the store, as they would with a crash.
    sqlite3_close(mDb);
    TakeFileFailure();
    PyxSession::Get().mOpenStores--;
  }
}

void PyxStore::Fail(int rc) {
  FileFailure failure = TakeFileFailure();
  if (failure.pending) RaiseFileFailure(failure);
  switch (rc & 0xFF) {
    case SQLITE_NOMEM:
      AfxThrowMemoryException();
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
      CFileException::ThrowOsError(kCorruptStoreCode, mPath.c_str());
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      CFileException::ThrowOsError(33 /* ERROR_LOCK_VIOLATION */, mPath.c_str());
    case SQLITE_READONLY:
      CFileException::ThrowOsError(5 /* ERROR_ACCESS_DENIED */, mPath.c_str());
    case SQLITE_FULL:
      CFileException::ThrowOsError(112 /* ERROR_DISK_FULL */, mPath.c_str());
    case SQLITE_CANTOPEN:
      CFileException::ThrowOsError(110 /* ERROR_OPEN_FAILED */, mPath.c_str());
    default:
      // A fault of the engine's own making (a schema it does not know, a broken constraint).
      CFileException::ThrowOsError(kCorruptStoreCode, mPath.c_str());
  }
}

void PyxStore::Check(int rc) {
  if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE) Fail(rc);
}

void PyxStore::Exec(const std::string& sql) {
  TakeFileFailure();
  Check(sqlite3_exec(mDb, sql.c_str(), nullptr, nullptr, nullptr));
}

sqlite3_stmt* PyxStore::Prepare(const std::string& sql) {
  auto it = mStatements.find(sql);
  if (it != mStatements.end()) return it->second;
  TakeFileFailure();
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(mDb, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    Fail(rc);
  }
  // Selections make many different texts; keep the cache from growing without bound.
  if (mStatements.size() > 256) {
    for (auto& [text, old] : mStatements) sqlite3_finalize(old);
    mStatements.clear();
    mInsertInOrder.clear();
    mReadStatements.clear();
  }
  mStatements.emplace(sql, stmt);
  return stmt;
}

void PyxStore::Bind(sqlite3_stmt* stmt, int index, const COleVariant& v) {
  int rc = SQLITE_OK;
  switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL: rc = sqlite3_bind_null(stmt, index); break;
    case VT_I2: rc = sqlite3_bind_int(stmt, index, v.iVal); break;
    case VT_I4:
    case VT_INT: rc = sqlite3_bind_int(stmt, index, v.lVal); break;
    case VT_UI1: rc = sqlite3_bind_int(stmt, index, v.bVal); break;
    case VT_BOOL: rc = sqlite3_bind_int(stmt, index, v.boolVal != 0 ? -1 : 0); break;
    case VT_R4: rc = sqlite3_bind_double(stmt, index, v.fltVal); break;
    case VT_R8: rc = sqlite3_bind_double(stmt, index, v.dblVal); break;
    case VT_DATE: rc = sqlite3_bind_double(stmt, index, v.date); break;
    case VT_CY: rc = sqlite3_bind_double(stmt, index, static_cast<double>(v.cyVal.int64) / 10000.0); break;
    case VT_BSTR: {
      const char* bytes = reinterpret_cast<const char*>(v.bstrVal);
      const UINT n = bytes != nullptr ? SysStringByteLen(v.bstrVal) : 0;
      bool ascii = true;
      for (UINT i = 0; i < n && ascii; ++i) ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
      if (ascii) {
        // Plain ASCII is the same in UTF-8.
        rc = sqlite3_bind_text(stmt, index, n > 0 ? bytes : "", static_cast<int>(n), SQLITE_TRANSIENT);
        break;
      }
      std::string text = halyard::dao::AnsiToUtf8(Ansi(v));
      rc = sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
      break;
    }
    default:
      if (v.vt == (VT_ARRAY | VT_UI1) && v.parray != nullptr) {
        void* data = nullptr;
        SafeArrayAccessData(v.parray, &data);
        ULONG n = v.parray->rgsabound[0].cElements;
        rc = sqlite3_bind_blob(stmt, index, data != nullptr ? data : "", static_cast<int>(n), SQLITE_TRANSIENT);
        SafeArrayUnaccessData(v.parray);
      } else {
        sqlite3_reset(stmt);
        CFileException::ThrowOsError(87 /* ERROR_INVALID_PARAMETER */, mPath.c_str());
      }
  }
  if (rc != SQLITE_OK) {
    sqlite3_reset(stmt);
    Fail(rc);
  }
}

bool PyxStore::Step(sqlite3_stmt* stmt) {
  TakeFileFailure();
  int rc = sqlite3_step(stmt);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(stmt);
  Fail(rc);
}

void PyxStore::BeginWrite() {
  if (!mWritable) CFileException::ThrowOsError(5 /* ERROR_ACCESS_DENIED */, mPath.c_str());
  // The write lock is taken at once, so that two writers wait for each other instead of
  // finding out at commit time.
  if (sqlite3_get_autocommit(mDb) != 0) Exec("BEGIN IMMEDIATE");
}

bool PyxStore::InTransaction() const { return sqlite3_get_autocommit(mDb) == 0; }

void PyxStore::Commit() {
  if (sqlite3_get_autocommit(mDb) != 0) return;
  try {
    Exec("COMMIT");
  } catch (...) {
    // A commit that could not be written leaves the file as it was before the changes.
    if (sqlite3_get_autocommit(mDb) == 0) sqlite3_exec(mDb, "ROLLBACK", nullptr, nullptr, nullptr);
    TakeFileFailure();
    LoadSchema();
    throw;
  }
}

void PyxStore::Rollback() {
  if (sqlite3_get_autocommit(mDb) != 0) return;
  Exec("ROLLBACK");
  LoadSchema();
}

void PyxStore::LoadSchema() {
  mTypes.clear();
  mClasses.clear();
  // A name that is not there (NULL in a damaged file) makes the file no store of ours.
  auto nameAt = [this](sqlite3_stmt* stmt, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    if (text == nullptr) {
      sqlite3_reset(stmt);
      CFileException::ThrowOsError(kCorruptStoreCode, mPath.c_str());
    }
    return text;
  };
  sqlite3_stmt* types = Prepare("SELECT type, name FROM pyx_type");
  while (Step(types)) {
    mTypes[static_cast<LONG>(sqlite3_column_int64(types, 0))].name = nameAt(types, 1);
  }
  sqlite3_reset(types);
  sqlite3_stmt* attrs = Prepare("SELECT type, attr, kind FROM pyx_attr ORDER BY type, attr");
  while (Step(attrs)) {
    auto it = mTypes.find(static_cast<LONG>(sqlite3_column_int64(attrs, 0)));
    if (it == mTypes.end()) continue;
    it->second.attributes.push_back(
        {static_cast<LONG>(sqlite3_column_int64(attrs, 1)), static_cast<LONG>(sqlite3_column_int64(attrs, 2))});
  }
  sqlite3_reset(attrs);
  sqlite3_stmt* classes = Prepare("SELECT name FROM pyx_class");
  while (Step(classes)) mClasses.emplace_back(nameAt(classes, 0));
  sqlite3_reset(classes);
  // Attributes are numbered from 512 without gaps; anything else is not a store of ours.
  for (auto& [type, info] : mTypes) {
    for (size_t i = 0; i < info.attributes.size(); ++i) {
      if (info.attributes[i].number != kStoreAttributeBase + static_cast<LONG>(i))
        CFileException::ThrowOsError(kCorruptStoreCode, mPath.c_str());
    }
  }
}

void PyxStore::RegisterClass(const std::string& name) {
  if (IsClassRegistered(name)) return;
  if (mWritable) {
    BeginWrite();
    sqlite3_stmt* stmt = Prepare("INSERT OR IGNORE INTO pyx_class(name) VALUES (?)");
    sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    Step(stmt);
    sqlite3_reset(stmt);
  }
  // A read-only store knows the class for this session all the same.
  mClasses.push_back(name);
}

bool PyxStore::IsClassRegistered(const std::string& name) const {
  return std::find(mClasses.begin(), mClasses.end(), name) != mClasses.end();
}

void PyxStore::DefineType(LONG type, const std::string& name) {
  BeginWrite();
  sqlite3_stmt* stmt = Prepare("INSERT INTO pyx_type(type, name) VALUES (?, ?) ON CONFLICT(type) DO UPDATE SET name = excluded.name");
  sqlite3_bind_int64(stmt, 1, type);
  std::string utf8 = halyard::dao::AnsiToUtf8(name);
  sqlite3_bind_text(stmt, 2, utf8.c_str(), -1, SQLITE_TRANSIENT);
  Step(stmt);
  sqlite3_reset(stmt);
  if (!HasType(type)) Exec("CREATE TABLE " + TableName(type) + "(oid INTEGER PRIMARY KEY)");
  mTypes[type].name = name;
}

std::string PyxStore::TypeName(LONG type) const {
  auto it = mTypes.find(type);
  return it != mTypes.end() ? it->second.name : std::string();
}

std::vector<LONG> PyxStore::Types() const {
  std::vector<LONG> out;
  for (const auto& [type, info] : mTypes) out.push_back(type);
  return out;
}

const PyxStore::TypeInfo& PyxStore::Info(LONG type) const {
  auto it = mTypes.find(type);
  if (it == mTypes.end()) CFileException::ThrowOsError(87 /* ERROR_INVALID_PARAMETER */, mPath.c_str());
  return it->second;
}

void PyxStore::CheckAttribute(const TypeInfo& info, LONG attribute) const {
  if (attribute < kStoreAttributeBase || attribute >= kStoreAttributeBase + static_cast<LONG>(info.attributes.size()))
    CFileException::ThrowOsError(87 /* ERROR_INVALID_PARAMETER */, mPath.c_str());
}

const std::vector<PyxAttribute>& PyxStore::Attributes(LONG type) const { return Info(type).attributes; }

LONG PyxStore::AddAttribute(LONG type, LONG kind) {
  Info(type);
  BeginWrite();
  auto& info = mTypes[type];
  const LONG number = kStoreAttributeBase + static_cast<LONG>(info.attributes.size());
  sqlite3_stmt* stmt = Prepare("INSERT INTO pyx_attr(type, attr, kind) VALUES (?, ?, ?)");
  sqlite3_bind_int64(stmt, 1, type);
  sqlite3_bind_int64(stmt, 2, number);
  sqlite3_bind_int64(stmt, 3, kind);
  Step(stmt);
  sqlite3_reset(stmt);
  // Long attributes of objects made before the attribute read as 0, like those of new ones.
  Exec("ALTER TABLE " + TableName(type) + " ADD COLUMN " + ColumnName(number) + (kind == 1 ? " DEFAULT 0" : ""));
  info.attributes.push_back({number, kind});
  return number;
}

void PyxStore::CreateIndex(LONG type, LONG attribute) {
  CheckAttribute(Info(type), attribute);
  BeginWrite();
  Exec("CREATE INDEX IF NOT EXISTS " + TableName(type) + "_" + ColumnName(attribute) + " ON " + TableName(type) + "(" +
       ColumnName(attribute) + ")");
}

sqlite3_int64 PyxStore::Insert(LONG type, const std::vector<std::pair<LONG, COleVariant>>& values) {
  const TypeInfo& info = Info(type);
  for (const auto& [attribute, value] : values) CheckAttribute(info, attribute);
  BeginWrite();
  // The usual case, every attribute from the first on in order, has its statement at hand.
  bool inOrder = !values.empty();
  for (size_t i = 0; i < values.size() && inOrder; ++i) inOrder = values[i].first == kStoreAttributeBase + static_cast<LONG>(i);
  sqlite3_stmt* stmt = nullptr;
  if (inOrder) {
    auto cached = mInsertInOrder.find({type, values.size()});
    if (cached != mInsertInOrder.end()) {
      stmt = cached->second;
    } else {
      std::string columns, marks;
      for (size_t i = 0; i < values.size(); ++i) {
        columns += (i > 0 ? ", " : "") + ColumnName(kStoreAttributeBase + static_cast<LONG>(i));
        marks += i > 0 ? ", ?" : "?";
      }
      stmt = Prepare("INSERT INTO " + TableName(type) + "(" + columns + ") VALUES (" + marks + ")");
      mInsertInOrder[{type, values.size()}] = stmt;
    }
  }
  if (stmt != nullptr) {
    for (size_t i = 0; i < values.size(); ++i) Bind(stmt, static_cast<int>(i + 1), values[i].second);
    Step(stmt);
    sqlite3_reset(stmt);
    return sqlite3_last_insert_rowid(mDb);
  }
  // One statement per set of attributes given; a new object's other long attributes are 0.
  std::string columns, marks;
  for (const auto& [attribute, value] : values) {
    columns += (columns.empty() ? "" : ", ") + ColumnName(attribute);
    marks += marks.empty() ? "?" : ", ?";
  }
  std::string sql = columns.empty() ? "INSERT INTO " + TableName(type) + " DEFAULT VALUES"
                                    : "INSERT INTO " + TableName(type) + "(" + columns + ") VALUES (" + marks + ")";
  stmt = Prepare(sql);
  for (size_t i = 0; i < values.size(); ++i) Bind(stmt, static_cast<int>(i + 1), values[i].second);
  Step(stmt);
  sqlite3_reset(stmt);
  return sqlite3_last_insert_rowid(mDb);
}

void PyxStore::Update(LONG type, sqlite3_int64 id, const std::vector<std::pair<LONG, COleVariant>>& values) {
  if (values.empty()) return;
  const TypeInfo& info = Info(type);
  for (const auto& [attribute, value] : values) CheckAttribute(info, attribute);
  BeginWrite();
  std::string sets;
  for (const auto& [attribute, value] : values) sets += (sets.empty() ? "" : ", ") + ColumnName(attribute) + " = ?";
  sqlite3_stmt* stmt = Prepare("UPDATE " + TableName(type) + " SET " + sets + " WHERE oid = ?");
  for (size_t i = 0; i < values.size(); ++i) Bind(stmt, static_cast<int>(i + 1), values[i].second);
  sqlite3_bind_int64(stmt, static_cast<int>(values.size() + 1), id);
  Step(stmt);
  sqlite3_reset(stmt);
}

void PyxStore::Delete(LONG type, sqlite3_int64 id) {
  Info(type);
  BeginWrite();
  sqlite3_stmt* stmt = Prepare("DELETE FROM " + TableName(type) + " WHERE oid = ?");
  sqlite3_bind_int64(stmt, 1, id);
  Step(stmt);
  sqlite3_reset(stmt);
}

bool PyxStore::Read(LONG type, sqlite3_int64 id, std::vector<COleVariant>* values) {
  const TypeInfo& info = Info(type);
  auto cached = mReadStatements.find(type);
  sqlite3_stmt* stmt = nullptr;
  if (cached != mReadStatements.end()) {
    stmt = cached->second;
  } else {
    stmt = Prepare("SELECT * FROM " + TableName(type) + " WHERE oid = ?");
    mReadStatements[type] = stmt;
  }
  sqlite3_bind_int64(stmt, 1, id);
  if (!Step(stmt)) {
    sqlite3_reset(stmt);
    return false;
  }
  const int columns = std::min<int>(sqlite3_column_count(stmt) - 1, static_cast<int>(info.attributes.size()));
  values->assign(static_cast<size_t>(columns), COleVariant());
  for (int i = 0; i < columns; ++i) {
    COleVariant& out = (*values)[static_cast<size_t>(i)];
    const int c = i + 1;
    switch (sqlite3_column_type(stmt, c)) {
      case SQLITE_NULL:
        out.vt = VT_NULL;
        break;
      case SQLITE_INTEGER: {
        sqlite3_int64 n = sqlite3_column_int64(stmt, c);
        if (n >= INT32_MIN && n <= INT32_MAX) {
          out.vt = VT_I4;
          out.lVal = static_cast<LONG>(n);
        } else {
          out.vt = VT_R8;
          out.dblVal = static_cast<double>(n);
        }
        break;
      }
      case SQLITE_FLOAT:
        out.vt = info.attributes[static_cast<size_t>(i)].kind == 5 ? VT_DATE : VT_R8;
        out.dblVal = sqlite3_column_double(stmt, c);
        break;
      case SQLITE_BLOB: {
        const void* data = sqlite3_column_blob(stmt, c);
        int n = sqlite3_column_bytes(stmt, c);
        SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(n));
        if (psa == nullptr) {
          sqlite3_reset(stmt);
          AfxThrowMemoryException();
        }
        void* dest = nullptr;
        SafeArrayAccessData(psa, &dest);
        if (n > 0) std::memcpy(dest, data, static_cast<size_t>(n));
        SafeArrayUnaccessData(psa);
        out.vt = VT_ARRAY | VT_UI1;
        out.parray = psa;
        break;
      }
      default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
        std::string ansi = halyard::dao::Utf8ToAnsi(
            std::string_view(text != nullptr ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt, c))));
        out.vt = VT_BSTR;
        out.bstrVal = SysAllocStringByteLen(ansi.data(), static_cast<UINT>(ansi.size()));
        if (out.bstrVal == nullptr) {
          out.vt = VT_EMPTY;
          sqlite3_reset(stmt);
          AfxThrowMemoryException();
        }
      }
    }
  }
  sqlite3_reset(stmt);
  return true;
}

PyxIDList* PyxStore::Evaluate(const PyxQuery& query) {
  const TypeInfo& info = Info(query.mType);
  std::string sql = "SELECT oid FROM " + TableName(query.mType);
  std::vector<COleVariant> params;
  if (query.mSelect != nullptr) {
    sql += " WHERE ";
    query.mSelect->AppendSql(sql, params);
  }
  sql += " ORDER BY ";
  if (query.mOrder >= 0) {
    CheckAttribute(info, query.mOrder);
    const LONG kind = info.attributes[static_cast<size_t>(query.mOrder - kStoreAttributeBase)].kind;
    sql += ColumnName(query.mOrder) + (kind == 0 || kind == 3 ? " COLLATE pyx_nocase" : "") +
           (query.mAscending ? " ASC, " : " DESC, ");
  }
  sql += "oid";
  sqlite3_stmt* stmt = nullptr;
  {
    TakeFileFailure();
    int rc = sqlite3_prepare_v2(mDb, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      // A selection on an attribute the type lacks: no such column.
      if (rc == SQLITE_ERROR) CFileException::ThrowOsError(87 /* ERROR_INVALID_PARAMETER */, mPath.c_str());
      Fail(rc);
    }
  }
  auto* list = new PyxIDList();
  list->mType = query.mType;
  try {
    for (size_t i = 0; i < params.size(); ++i) Bind(stmt, static_cast<int>(i + 1), params[i]);
    while (Step(stmt)) list->mIds.push_back(sqlite3_column_int64(stmt, 0));
  } catch (...) {
    sqlite3_finalize(stmt);
    delete list;
    throw;
  }
  sqlite3_finalize(stmt);
  return list;
}

LONG PyxStore::Count(LONG type) {
  Info(type);
  sqlite3_stmt* stmt = Prepare("SELECT count(*) FROM " + TableName(type));
  Step(stmt);
  LONG n = static_cast<LONG>(sqlite3_column_int64(stmt, 0));
  sqlite3_reset(stmt);
  return n;
}

void PyxStore::SaveForm(const char* table, const char* column, const std::string& name, LONG type,
                        const std::string& form) {
  BeginWrite();
  sqlite3_stmt* stmt =
      Prepare(std::string("INSERT OR REPLACE INTO ") + table + "(name, type, " + column + ") VALUES (?, ?, ?)");
  sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(stmt, 2, type);
  sqlite3_bind_blob(stmt, 3, form.data(), static_cast<int>(form.size()), SQLITE_TRANSIENT);
  Step(stmt);
  sqlite3_reset(stmt);
}

bool PyxStore::LoadForm(const char* table, const char* column, const std::string& name, std::string* form) {
  sqlite3_stmt* stmt = Prepare(std::string("SELECT ") + column + " FROM " + table + " WHERE name = ?");
  sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  bool found = Step(stmt);
  if (found)
    form->assign(static_cast<const char*>(sqlite3_column_blob(stmt, 0)) ?: "",
                 static_cast<size_t>(sqlite3_column_bytes(stmt, 0)));
  sqlite3_reset(stmt);
  return found;
}

void PyxStore::SaveQuery(const std::string& name, const PyxQuery& query) {
  SaveForm("pyx_query", "form", name, query.mType, query.Save());
}

PyxQuery* PyxStore::LoadQuery(const std::string& name) {
  std::string form;
  if (!LoadForm("pyx_query", "form", name, &form)) return nullptr;
  auto* query = new PyxQuery();
  if (!query->Load(form)) {
    delete query;
    CFileException::ThrowOsError(kCorruptStoreCode, mPath.c_str());
  }
  return query;
}

void PyxStore::SaveIDList(const std::string& name, const PyxIDList& list) {
  SaveForm("pyx_idlist", "ids", name, list.mType, list.Save());
}

PyxIDList* PyxStore::LoadIDList(const std::string& name) {
  std::string form;
  if (!LoadForm("pyx_idlist", "ids", name, &form)) return nullptr;
  auto* list = new PyxIDList();
  if (!list->Load(form)) {
    delete list;
    CFileException::ThrowOsError(kCorruptStoreCode, mPath.c_str());
  }
  return list;
}

CObject* PyxStore::NewStringSelect(LONG attribute, const CPDString& value, LONG op) {
  return new PyxStringSelect(attribute, static_cast<char*>(const_cast<CPDString&>(value)), op);
}

CObject* PyxStore::NewLongSelect(LONG attribute, LONG value, LONG comparison) {
  return new PyxLongSelect(attribute, value, comparison);
}

CObject* PyxStore::NewAndSelect() { return new PyxListSelect(true); }
CObject* PyxStore::NewOrSelect() { return new PyxListSelect(false); }

void PyxStore::AddPart(CObject* complex, CObject* part) {
  auto* list = dynamic_cast<PyxListSelect*>(complex);
  auto* select = dynamic_cast<PyxSelect*>(part);
  if (list == nullptr || select == nullptr) {
    delete part;
    return;
  }
  list->Add(select);
}

}  // namespace vaultkit::pyx
