// The SQLite engine: database files, Jet's like and case-insensitive comparison registered as
// SQLite functions, and a cache of prepared statements so that repeating the same SQL (a
// recordset per new record, the same INSERT for each) costs no new compile.
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "cdaoexception.h"
#include "dao_types.h"
#include "engine.h"
#include "jet_sql.h"
#include "platform/kernel/text.h"
#include "platform/ole/safearray.h"

namespace halyard::dao {

namespace {

[[noreturn]] void ThrowSqlite(sqlite3* db, int rc) {
  const char* msg = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  std::string text = Utf8ToAnsi(msg != nullptr ? msg : "unknown error");
  int code = db != nullptr ? sqlite3_extended_errcode(db) : rc;
  AfxThrowDaoException(code, "SQLite", text.c_str());
}

void JetLikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (argc < 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL ||
      sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  int pn = sqlite3_value_bytes(argv[0]);
  const auto* v = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
  int vn = sqlite3_value_bytes(argv[1]);
  sqlite3_result_int(ctx, JetLike(std::string_view(p != nullptr ? p : "", static_cast<size_t>(pn)),
                                  std::string_view(v != nullptr ? v : "", static_cast<size_t>(vn)))
                              ? 1
                              : 0);
}

int JetCollation(void*, int an, const void* a, int bn, const void* b) {
  return CompareNoCaseUtf8(std::string_view(static_cast<const char*>(a), static_cast<size_t>(an)),
                           std::string_view(static_cast<const char*>(b), static_cast<size_t>(bn)));
}

std::string_view TrimCLocaleSpaceLeft(std::string_view s) {
  while (!s.empty() && IsCLocaleSpace(s.front())) s.remove_prefix(1);
  return s;
}

bool Contains(const std::string& upper, const char* part) { return upper.find(part) != std::string::npos; }

short TypeOfDeclared(const char* decl) {
  if (decl == nullptr) return 0;
  std::string u = AsciiUpperCopy(decl);
  if (Contains(u, "INT")) return dbLong;
  if (Contains(u, "DATE") || Contains(u, "TIME")) return dbDate;
  if (Contains(u, "BLOB") || Contains(u, "BINARY")) return dbLongBinary;
  if (Contains(u, "REAL") || Contains(u, "DOUB") || Contains(u, "FLOA")) return dbDouble;
  return dbText;
}

// A prepared statement with what it says about its columns, worked out once.
struct Prepared {
  sqlite3_stmt* stmt = nullptr;
  std::shared_ptr<const Columns> columns;
};

// Idle prepared statements by SQL text, shared by the connection and its statements.
// Each SQL text keeps its slot while the cache lives, so a statement that is out knows where
// it goes back without looking the text up again.
struct StatementCache {
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  sqlite3* db = nullptr;
  std::unordered_map<std::string, std::vector<Prepared>, Hash, std::equal_to<>> slots;
  std::size_t idle = 0;
  // Counts changes of the tables; a statement out at the time is not cached again.
  unsigned generation = 0;
  void Clear() {
    for (auto& [sql, list] : slots)
      for (Prepared& p : list) sqlite3_finalize(p.stmt);
    slots.clear();
    idle = 0;
    ++generation;
  }
  ~StatementCache() { Clear(); }
};

class SqliteStatement : public Statement {
 public:
  SqliteStatement(std::shared_ptr<StatementCache> cache, std::vector<Prepared>* slot, std::string_view sql,
                  Prepared prepared)
      : cache_(std::move(cache)), slot_(slot), prepared_(std::move(prepared)), stmt_(prepared_.stmt),
        generation_(cache_->generation) {
    sql = TrimCLocaleSpaceLeft(sql);
    schemaChange_ = StartsWithNoCaseAscii(sql, "CREATE") || StartsWithNoCaseAscii(sql, "ALTER") ||
                    StartsWithNoCaseAscii(sql, "DROP");
  }
  ~SqliteStatement() override {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    if (cache_->idle < 256 && generation_ == cache_->generation) {
      slot_->push_back(std::move(prepared_));
      ++cache_->idle;
    } else {
      sqlite3_finalize(stmt_);
    }
  }

  int ColumnCount() override { return sqlite3_column_count(stmt_); }
  std::string ColumnName(int column) override {
    const Columns& c = *Describe();
    return column >= 0 && column < static_cast<int>(c.names.size()) ? c.names[static_cast<size_t>(column)] : std::string();
  }
  short ColumnType(int column) override {
    const Columns& c = *Describe();
    return column >= 0 && column < static_cast<int>(c.types.size()) ? c.types[static_cast<size_t>(column)]
                                                                    : static_cast<short>(dbText);
  }
  std::shared_ptr<const Columns> Describe() override {
    if (!prepared_.columns) {
      auto columns = std::make_shared<Columns>();
      int n = sqlite3_column_count(stmt_);
      for (int c = 0; c < n; ++c) {
        const char* name = sqlite3_column_name(stmt_, c);
        columns->names.push_back(Utf8ToAnsi(name != nullptr ? name : ""));
        short t = TypeOfDeclared(sqlite3_column_decltype(stmt_, c));
        columns->types.push_back(t != 0 ? t : static_cast<short>(dbText));
      }
      prepared_.columns = std::move(columns);
    }
    return prepared_.columns;
  }

  void Bind(int parameter, const VARIANT& v) override {
    int rc = SQLITE_OK;
    switch (v.vt) {
      case VT_EMPTY:
      case VT_NULL:
        rc = sqlite3_bind_null(stmt_, parameter);
        break;
      case VT_I2: rc = sqlite3_bind_int(stmt_, parameter, v.iVal); break;
      case VT_I4:
      case VT_INT: rc = sqlite3_bind_int(stmt_, parameter, v.lVal); break;
      case VT_UI1: rc = sqlite3_bind_int(stmt_, parameter, v.bVal); break;
      case VT_BOOL: rc = sqlite3_bind_int(stmt_, parameter, v.boolVal != 0 ? -1 : 0); break;
      case VT_R4: rc = sqlite3_bind_double(stmt_, parameter, v.fltVal); break;
      case VT_R8: rc = sqlite3_bind_double(stmt_, parameter, v.dblVal); break;
      case VT_CY: rc = sqlite3_bind_double(stmt_, parameter, static_cast<double>(v.cyVal.int64) / 10000.0); break;
      case VT_DATE: {
        std::string text = DateToText(v.date);
        rc = sqlite3_bind_text(stmt_, parameter, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        break;
      }
      case VT_BSTR: {
        // The ANSI convention: the BSTR's bytes are Windows-1252 text.
        const char* bytes = reinterpret_cast<const char*>(v.bstrVal);
        UINT n = SysStringByteLen(v.bstrVal);
        if (bytes == nullptr) bytes = "";
        bool ascii = true;
        for (UINT i = 0; i < n && ascii; ++i) ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
        if (ascii) {
          // ASCII is the same in both: no conversion, and no copy (the value outlives the run).
          rc = sqlite3_bind_text(stmt_, parameter, bytes, static_cast<int>(n), SQLITE_STATIC);
        } else {
          std::string text = AnsiToUtf8(std::string_view(bytes, n));
          rc = sqlite3_bind_text(stmt_, parameter, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        break;
      }
      default:
        if (v.vt == (VT_ARRAY | VT_UI1) && v.parray != nullptr) {
          void* data = nullptr;
          SafeArrayAccessData(v.parray, &data);
          ULONG n = v.parray->rgsabound[0].cElements;
          rc = sqlite3_bind_blob(stmt_, parameter, data != nullptr ? data : "", static_cast<int>(n), SQLITE_TRANSIENT);
          SafeArrayUnaccessData(v.parray);
        } else {
          AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "A field value of this type cannot be stored.");
        }
    }
    if (rc != SQLITE_OK) ThrowSqlite(cache_->db, rc);
  }

  bool Step() override {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) {
      // Statements prepared before a change of the tables would describe the old columns.
      if (schemaChange_) cache_->Clear();
      return false;
    }
    // The message first: resetting keeps it, but the statement must not stay half-run.
    std::string text = Utf8ToAnsi(sqlite3_errmsg(cache_->db));
    int code = sqlite3_extended_errcode(cache_->db);
    sqlite3_reset(stmt_);
    AfxThrowDaoException(code, "SQLite", text.c_str());
  }

  void Reset() override { sqlite3_reset(stmt_); }

  void Read(int column, COleVariant* out) override {
    out->Clear();
    switch (sqlite3_column_type(stmt_, column)) {
      case SQLITE_NULL:
        out->vt = VT_NULL;
        return;
      case SQLITE_INTEGER: {
        sqlite3_int64 n = sqlite3_column_int64(stmt_, column);
        if (n >= INT32_MIN && n <= INT32_MAX) {
          out->vt = VT_I4;
          out->lVal = static_cast<LONG>(n);
        } else {
          out->vt = VT_R8;
          out->dblVal = static_cast<double>(n);
        }
        return;
      }
      case SQLITE_FLOAT:
        out->vt = VT_R8;
        out->dblVal = sqlite3_column_double(stmt_, column);
        return;
      case SQLITE_BLOB: {
        const void* data = sqlite3_column_blob(stmt_, column);
        int n = sqlite3_column_bytes(stmt_, column);
        SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(n));
        if (psa == nullptr) AfxThrowMemoryException();
        void* dest = nullptr;
        SafeArrayAccessData(psa, &dest);
        if (n > 0) std::memcpy(dest, data, static_cast<size_t>(n));
        SafeArrayUnaccessData(psa);
        out->vt = VT_ARRAY | VT_UI1;
        out->parray = psa;
        return;
      }
      default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        int n = sqlite3_column_bytes(stmt_, column);
        std::string_view utf8(text != nullptr ? text : "", static_cast<size_t>(n));
        DATE date = 0;
        if (TypeOfDeclared(sqlite3_column_decltype(stmt_, column)) == dbDate && TextToDate(utf8, &date)) {
          out->vt = VT_DATE;
          out->date = date;
          return;
        }
        std::string ansi = Utf8ToAnsi(utf8);
        out->vt = VT_BSTR;
        out->bstrVal = SysAllocStringByteLen(ansi.data(), static_cast<UINT>(ansi.size()));
        if (out->bstrVal == nullptr) {
          out->vt = VT_EMPTY;
          AfxThrowMemoryException();
        }
      }
    }
  }

  long long Changes() override { return sqlite3_changes64(cache_->db); }

 private:

  std::shared_ptr<StatementCache> cache_;
  std::vector<Prepared>* slot_;
  Prepared prepared_;
  sqlite3_stmt* stmt_;
  unsigned generation_;
  bool schemaChange_ = false;
};

class SqliteConnection : public Connection {
 public:
  SqliteConnection(sqlite3* db, bool readOnly) : db_(db), readOnly_(readOnly) {
    cache_ = std::make_shared<StatementCache>();
    cache_->db = db;
  }
  ~SqliteConnection() override {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    // Statements still out close with their owners; close_v2 waits for them.
    std::shared_ptr<StatementCache> cache = std::move(cache_);
    if (cache.use_count() == 1) cache.reset();
    sqlite3_close_v2(db_);
  }

  std::unique_ptr<Statement> Prepare(std::string_view jetSql) override { return PrepareNative(jetSql); }

  std::unique_ptr<Statement> PrepareNative(std::string_view sql) override {
    // Many different texts (each with its own literals) would keep slots forever.
    if (cache_->slots.size() > 512) cache_->Clear();
    auto it = cache_->slots.find(sql);
    if (it == cache_->slots.end()) it = cache_->slots.emplace(std::string(sql), std::vector<Prepared>()).first;
    std::vector<Prepared>* slot = &it->second;
    if (!slot->empty()) {
      Prepared prepared = std::move(slot->back());
      slot->pop_back();
      --cache_->idle;
      return std::make_unique<SqliteStatement>(cache_, slot, sql, std::move(prepared));
    }
    std::string utf8 = AnsiToUtf8(sql);
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db_, utf8.c_str(), static_cast<int>(utf8.size()), &stmt, &tail);
    if (rc != SQLITE_OK) ThrowSqlite(db_, rc);
    if (stmt == nullptr) AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "The SQL text holds no statement.");
    while (tail != nullptr && IsCLocaleSpace(*tail)) ++tail;
    if (tail != nullptr && *tail != '\0' && *tail != ';') {
      // One statement per call: a second one is refused rather than silently dropped.
      sqlite3_finalize(stmt);
      AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "Characters found after the end of the SQL statement.");
    }
    Prepared prepared;
    prepared.stmt = stmt;
    return std::make_unique<SqliteStatement>(cache_, slot, sql, std::move(prepared));
  }

  void Begin() override { Exec("BEGIN"); }
  void Commit() override { Exec("COMMIT"); }
  void Rollback() override {
    if (!sqlite3_get_autocommit(db_)) Exec("ROLLBACK");
  }
  bool InTransaction() const override { return !sqlite3_get_autocommit(db_); }

  std::string TypeName(short daoType) override {
    switch (daoType) {
      case dbBoolean: case dbByte: case dbInteger: case dbLong: return "INTEGER";
      case dbSingle: case dbDouble: case dbCurrency: return "DOUBLE";
      case dbDate: return "DATETIME";
      case dbLongBinary: return "BLOB";
      default: return "TEXT COLLATE NOCASE";
    }
  }
  std::string Quote(std::string_view name) override {
    std::string out = "\"";
    for (char c : name) {
      out += c;
      if (c == '"') out += '"';
    }
    return out + "\"";
  }
  bool HasRowId() const override { return true; }
  long long LastRowId() override { return sqlite3_last_insert_rowid(db_); }
  std::vector<std::string> TableNames() override {
    std::vector<std::string> names;
    auto st = PrepareNative("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite[_]%' ORDER BY rowid");
    COleVariant v;
    while (st->Step()) {
      st->Read(0, &v);
      if (v.vt == VT_BSTR) names.emplace_back(V_BSTRT(&v), SysStringByteLen(v.bstrVal));
    }
    return names;
  }
  std::vector<std::string> PrimaryKey(std::string_view table) override {
    std::vector<std::pair<int, std::string>> keyed;
    auto st = PrepareNative("PRAGMA table_info(" + Quote(table) + ")");
    COleVariant name, pk;
    while (st->Step()) {
      st->Read(1, &name);
      st->Read(5, &pk);
      if (pk.vt == VT_I4 && pk.lVal > 0 && name.vt == VT_BSTR)
        keyed.emplace_back(pk.lVal, std::string(V_BSTRT(&name), SysStringByteLen(name.bstrVal)));
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> names;
    for (auto& k : keyed) names.push_back(k.second);
    return names;
  }
  bool IsReadOnly() const override { return readOnly_; }

  void Exec(const char* sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
      std::string text = Utf8ToAnsi(err != nullptr ? err : sqlite3_errstr(rc));
      sqlite3_free(err);
      AfxThrowDaoException(sqlite3_extended_errcode(db_), "SQLite", text.c_str());
    }
  }

 private:
  sqlite3* db_;
  bool readOnly_;
  std::shared_ptr<StatementCache> cache_;
};

}  // namespace

std::unique_ptr<Connection> OpenSqlite(const std::string& path, bool readOnly, bool create) {
  int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  if (create) {
    // A new database never replaces an existing file.
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
      std::fclose(f);
      std::string text = "Database '" + path + "' already exists.";
      AfxThrowDaoException(AFX_DAO_ERROR_EXISTS, "DAO", text.c_str());
    }
    flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string text = Utf8ToAnsi(db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    if (rc == SQLITE_CANTOPEN) text = "Could not find or open file '" + path + "': " + text + ".";
    AfxThrowDaoException(rc == SQLITE_CANTOPEN ? AFX_DAO_ERROR_NOT_FOUND : rc, "SQLite", text.c_str());
  }
  sqlite3_extended_result_codes(db, 1);
  // Another writer holding the file makes us wait a little, then report it locked.
  sqlite3_busy_timeout(db, 2000);
  sqlite3_create_function_v2(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, JetLikeFunction,
                             nullptr, nullptr, nullptr);
  sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, JetCollation, nullptr);
  auto conn = std::make_unique<SqliteConnection>(db, readOnly);
  // A file that is not a database is found now, not at the first query.
  try {
    auto st = conn->PrepareNative("SELECT count(*) FROM sqlite_master");
    st->Step();
  } catch (CDaoException* e) {
    if (e->m_pErrorInfo != nullptr && (e->m_pErrorInfo->m_lErrorCode & 0xFF) == SQLITE_NOTADB) {
      std::string text = "'" + path + "' is not a database file: " + std::string(e->m_pErrorInfo->m_strDescription);
      e->Delete();
      AfxThrowDaoException(AFX_DAO_ERROR_NOT_DATABASE, "SQLite", text.c_str());
    }
    throw;
  }
  return conn;
}

}  // namespace halyard::dao
