// The ODBC engine through unixODBC's driver manager, with the wide (UTF-16) calls so that texts
// reach the server in its own encoding. Jet SQL is rewritten for the source: names quoted with
// the quote character the driver reports, like patterns in SQL's wildcards, and text
// comparisons made case-insensitive as Jet's are.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>
#include <unordered_map>

// The platform already has the Windows types; the ODBC headers take them from there.
#include "platform/kernel/win_types.h"
#include "platform/ole/ole_types.h"
#define ALREADY_HAVE_WINDOWS_TYPE 1
#define SQL_API
#define FAR
#define CALLBACK
using UCHAR = unsigned char;
using SCHAR = signed char;
using SQLSCHAR = signed char;
using SDWORD = int;
using UDWORD = unsigned int;
using SWORD = short;
using UWORD = unsigned short;
using SLONG = long;
using SSHORT = short;
using HWND = void*;
using RETCODE = signed short;
using SQLHWND = void*;
#include <sql.h>
#include <sqlext.h>

#include "cdaoexception.h"
#include "dao_types.h"
#include "engine.h"
#include "jet_sql.h"
#include "platform/kernel/text.h"
#include "platform/ole/bstr.h"
#include "platform/ole/code_page.h"
#include "platform/ole/ole_date.h"
#include "platform/ole/safearray.h"

namespace halyard::dao {

namespace {

std::string_view TrimLeftBlank(std::string_view s) {
  while (!s.empty() && (IsCLocaleSpace(s.front()) || s.front() == '\x01')) s.remove_prefix(1);
  return s;
}

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide characters");

std::u16string Wide(std::string_view ansi) { return halyard::ole::AnsiToWide(ansi); }
std::string Ansi(const SQLWCHAR* w, std::size_t n) {
  return halyard::ole::WideToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(w), n));
}
SQLWCHAR* W(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

// The diagnostics of a failed call, as one message: the first record's text and native code.
[[noreturn]] void ThrowOdbc(SQLSMALLINT type, SQLHANDLE handle, const char* what) {
  std::string text;
  SQLINTEGER native = 0;
  for (SQLSMALLINT rec = 1; rec <= 3; ++rec) {
    SQLWCHAR state[6] = {};
    SQLWCHAR msg[1024] = {};
    SQLINTEGER nat = 0;
    SQLSMALLINT len = 0;
    SQLRETURN rc = SQLGetDiagRecW(type, handle, rec, state, &nat, msg, 1024, &len);
    if (!SQL_SUCCEEDED(rc)) break;
    if (rec == 1) native = nat;
    if (!text.empty()) text += "; ";
    std::size_t n = 0;
    while (n < 1024 && msg[n] != 0) ++n;
    text += Ansi(msg, n);
    if (rec == 1) text += " (" + Ansi(state, 5) + ")";
  }
  if (text.empty()) text = std::string(what) + " failed.";
  AfxThrowDaoException(native != 0 ? native : AFX_DAO_ERROR_ENGINE, "ODBC", text.c_str());
}

void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what) {
  if (!SQL_SUCCEEDED(rc)) ThrowOdbc(type, handle, what);
}

short DaoTypeOfSql(SQLSMALLINT t) {
  switch (t) {
    case SQL_INTEGER: case SQL_SMALLINT: case SQL_TINYINT: case SQL_BIGINT: case SQL_BIT:
      return dbLong;
    case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: case SQL_NUMERIC: case SQL_DECIMAL:
      return dbDouble;
    case SQL_TYPE_DATE: case SQL_TYPE_TIMESTAMP: case SQL_DATE: case SQL_TIMESTAMP:
      return dbDate;
    case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY:
      return dbLongBinary;
    default:
      return dbText;
  }
}

// One bound parameter's storage; it stays put until the statement is run again.
struct Param {
  std::u16string text;
  std::vector<unsigned char> bytes;
  SQLBIGINT number = 0;
  double real = 0;
  SQL_TIMESTAMP_STRUCT stamp{};
  SQLLEN ind = 0;
};

// A prepared statement handle with what it says about its columns.
struct OdbcPrepared {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  bool described = false;
  std::vector<std::string> names;
  std::vector<SQLSMALLINT> types;
  std::shared_ptr<const Columns> columns;
};

// Idle prepared statements by SQL text: preparing on a server costs a round trip, so the same
// text (a recordset per new record, the same INSERT for each) is prepared once.
struct OdbcCache {
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  bool connected = true;
  std::unordered_map<std::string, std::vector<OdbcPrepared>, Hash, std::equal_to<>> slots;
  std::size_t idle = 0;
  unsigned generation = 0;
  void Clear() {
    for (auto& [sql, list] : slots)
      for (OdbcPrepared& p : list)
        if (connected) SQLFreeHandle(SQL_HANDLE_STMT, p.stmt);
    slots.clear();
    idle = 0;
    ++generation;
  }
};

class OdbcStatement : public Statement {
 public:
  // A statement newly prepared on dbc.
  static OdbcPrepared Make(SQLHDBC dbc, const std::string& sql) {
    OdbcPrepared st;
    Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st.stmt), SQL_HANDLE_DBC, dbc, "SQLAllocHandle");
    std::u16string w = Wide(sql);
    SQLRETURN rc = SQLPrepareW(st.stmt, W(w), static_cast<SQLINTEGER>(w.size()));
    if (!SQL_SUCCEEDED(rc)) {
      try {
        ThrowOdbc(SQL_HANDLE_STMT, st.stmt, "SQLPrepare");
      } catch (...) {
        SQLFreeHandle(SQL_HANDLE_STMT, st.stmt);
        throw;
      }
    }
    return st;
  }
  OdbcStatement(std::shared_ptr<OdbcCache> cache, std::vector<OdbcPrepared>* slot, OdbcPrepared st, bool schemaChange)
      : cache_(std::move(cache)), slot_(slot), st_(std::move(st)), generation_(cache_->generation),
        schemaChange_(schemaChange) {}
  ~OdbcStatement() override {
    // A closed connection took its statements with it.
    if (!cache_->connected) return;
    SQLFreeStmt(st_.stmt, SQL_CLOSE);
    SQLFreeStmt(st_.stmt, SQL_RESET_PARAMS);
    if (cache_->idle < 64 && generation_ == cache_->generation) {
      slot_->push_back(std::move(st_));
      ++cache_->idle;
    } else {
      SQLFreeHandle(SQL_HANDLE_STMT, st_.stmt);
    }
  }

  int ColumnCount() override {
    DescribeColumns();
    return static_cast<int>(st_.names.size());
  }
  std::string ColumnName(int column) override {
    DescribeColumns();
    return column >= 0 && column < static_cast<int>(st_.names.size()) ? st_.names[static_cast<size_t>(column)] : std::string();
  }
  short ColumnType(int column) override {
    DescribeColumns();
    return column >= 0 && column < static_cast<int>(st_.types.size()) ? DaoTypeOfSql(st_.types[static_cast<size_t>(column)]) : dbText;
  }

  std::shared_ptr<const Columns> Describe() override {
    DescribeColumns();
    if (!st_.columns) {
      auto columns = std::make_shared<Columns>();
      columns->names = st_.names;
      for (SQLSMALLINT t : st_.types) columns->types.push_back(DaoTypeOfSql(t));
      st_.columns = std::move(columns);
    }
    return st_.columns;
  }

  void Bind(int parameter, const VARIANT& v) override {
    if (parameter < 1) return;
    if (params_.size() < static_cast<size_t>(parameter)) params_.resize(static_cast<size_t>(parameter));
    auto& slot = params_[static_cast<size_t>(parameter - 1)];
    slot = std::make_unique<Param>();
    Param& p = *slot;
    SQLSMALLINT ctype = SQL_C_WCHAR, sqltype = SQL_WVARCHAR;
    SQLULEN size = 0;
    SQLPOINTER ptr = nullptr;
    SQLLEN buflen = 0;
    switch (v.vt) {
      case VT_EMPTY: case VT_NULL:
        p.ind = SQL_NULL_DATA;
        ctype = SQL_C_CHAR;
        sqltype = SQL_VARCHAR;
        size = 1;
        break;
      case VT_I2: case VT_I4: case VT_INT: case VT_UI1: case VT_BOOL:
        p.number = v.vt == VT_I2 ? v.iVal : v.vt == VT_UI1 ? v.bVal : v.vt == VT_BOOL ? (v.boolVal != 0 ? -1 : 0) : v.lVal;
        ctype = SQL_C_SBIGINT;
        sqltype = SQL_INTEGER;
        ptr = &p.number;
        break;
      case VT_R4: case VT_R8: case VT_CY:
        p.real = v.vt == VT_R4 ? v.fltVal : v.vt == VT_R8 ? v.dblVal : static_cast<double>(v.cyVal.int64) / 10000.0;
        ctype = SQL_C_DOUBLE;
        sqltype = SQL_DOUBLE;
        ptr = &p.real;
        break;
      case VT_DATE: {
        halyard::ole::DateParts d{};
        if (!halyard::ole::OleDateToParts(v.date, &d))
          AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "The date is out of range.");
        p.stamp = {static_cast<SQLSMALLINT>(d.year), static_cast<SQLUSMALLINT>(d.month),
                   static_cast<SQLUSMALLINT>(d.day), static_cast<SQLUSMALLINT>(d.hour),
                   static_cast<SQLUSMALLINT>(d.minute), static_cast<SQLUSMALLINT>(d.second), 0};
        ctype = SQL_C_TYPE_TIMESTAMP;
        sqltype = SQL_TYPE_TIMESTAMP;
        size = 19;
        ptr = &p.stamp;
        buflen = sizeof p.stamp;
        break;
      }
      case VT_BSTR: {
        const char* bytes = reinterpret_cast<const char*>(v.bstrVal);
        p.text = Wide(std::string_view(bytes != nullptr ? bytes : "", SysStringByteLen(v.bstrVal)));
        p.ind = static_cast<SQLLEN>(p.text.size() * sizeof(char16_t));
        size = p.text.empty() ? 1 : p.text.size();
        p.text.push_back(u'\0');
        ptr = p.text.data();
        buflen = static_cast<SQLLEN>(p.text.size() * sizeof(char16_t));
        break;
      }
      default:
        if (v.vt == (VT_ARRAY | VT_UI1) && v.parray != nullptr) {
          void* data = nullptr;
          SafeArrayAccessData(v.parray, &data);
          ULONG n = v.parray->rgsabound[0].cElements;
          p.bytes.assign(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + n);
          SafeArrayUnaccessData(v.parray);
          p.ind = static_cast<SQLLEN>(p.bytes.size());
          if (p.bytes.empty()) p.bytes.push_back(0);
          ctype = SQL_C_BINARY;
          sqltype = SQL_VARBINARY;
          size = p.bytes.size();
          ptr = p.bytes.data();
          buflen = static_cast<SQLLEN>(p.bytes.size());
        } else {
          AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "A field value of this type cannot be stored.");
        }
    }
    Check(SQLBindParameter(st_.stmt, static_cast<SQLUSMALLINT>(parameter), SQL_PARAM_INPUT, ctype, sqltype, size, 0,
                           ptr, buflen, &p.ind),
          SQL_HANDLE_STMT, st_.stmt, "SQLBindParameter");
  }

  bool Step() override {
    if (!executed_) {
      SQLRETURN rc = SQLExecute(st_.stmt);
      if (rc != SQL_NO_DATA) Check(rc, SQL_HANDLE_STMT, st_.stmt, "SQLExecute");
      executed_ = true;
      // Statements prepared before a change of the tables would describe the old columns.
      if (schemaChange_) cache_->Clear();
      SQLSMALLINT cols = 0;
      SQLNumResultCols(st_.stmt, &cols);
      hasResult_ = cols > 0;
      SQLLEN rows = 0;
      if (SQL_SUCCEEDED(SQLRowCount(st_.stmt, &rows))) changes_ = rows;
    }
    if (!hasResult_) return false;
    SQLRETURN rc = SQLFetch(st_.stmt);
    if (rc == SQL_NO_DATA) return false;
    Check(rc, SQL_HANDLE_STMT, st_.stmt, "SQLFetch");
    return true;
  }

  void Reset() override {
    SQLFreeStmt(st_.stmt, SQL_CLOSE);
    executed_ = false;
  }

  void Read(int column, COleVariant* out) override {
    DescribeColumns();
    out->Clear();
    auto col = static_cast<SQLUSMALLINT>(column + 1);
    SQLLEN ind = 0;
    switch (DaoTypeOfSql(st_.types.at(static_cast<size_t>(column)))) {
      case dbLong: {
        SQLBIGINT n = 0;
        Check(SQLGetData(st_.stmt, col, SQL_C_SBIGINT, &n, sizeof n, &ind), SQL_HANDLE_STMT, st_.stmt, "SQLGetData");
        if (ind == SQL_NULL_DATA) {
          out->vt = VT_NULL;
        } else if (n >= INT32_MIN && n <= INT32_MAX) {
          out->vt = VT_I4;
          out->lVal = static_cast<LONG>(n);
        } else {
          out->vt = VT_R8;
          out->dblVal = static_cast<double>(n);
        }
        return;
      }
      case dbDouble: {
        double d = 0;
        Check(SQLGetData(st_.stmt, col, SQL_C_DOUBLE, &d, sizeof d, &ind), SQL_HANDLE_STMT, st_.stmt, "SQLGetData");
        if (ind == SQL_NULL_DATA) {
          out->vt = VT_NULL;
        } else {
          out->vt = VT_R8;
          out->dblVal = d;
        }
        return;
      }
      case dbDate: {
        SQL_TIMESTAMP_STRUCT ts{};
        Check(SQLGetData(st_.stmt, col, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &ind), SQL_HANDLE_STMT, st_.stmt, "SQLGetData");
        DATE date = 0;
        if (ind == SQL_NULL_DATA ||
            !halyard::ole::OleDateFromParts(ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second, &date)) {
          out->vt = VT_NULL;
        } else {
          out->vt = VT_DATE;
          out->date = date;
        }
        return;
      }
      case dbLongBinary: {
        std::vector<unsigned char> bytes;
        bool isNull = false;
        ReadLong(col, SQL_C_BINARY, 0, &bytes, &isNull);
        if (isNull) {
          out->vt = VT_NULL;
          return;
        }
        SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
        if (psa == nullptr) AfxThrowMemoryException();
        void* dest = nullptr;
        SafeArrayAccessData(psa, &dest);
        if (!bytes.empty()) std::memcpy(dest, bytes.data(), bytes.size());
        SafeArrayUnaccessData(psa);
        out->vt = VT_ARRAY | VT_UI1;
        out->parray = psa;
        return;
      }
      default: {
        std::vector<unsigned char> bytes;
        bool isNull = false;
        ReadLong(col, SQL_C_WCHAR, sizeof(SQLWCHAR), &bytes, &isNull);
        if (isNull) {
          out->vt = VT_NULL;
          return;
        }
        std::string ansi = Ansi(reinterpret_cast<const SQLWCHAR*>(bytes.data()), bytes.size() / sizeof(SQLWCHAR));
        out->vt = VT_BSTR;
        out->bstrVal = SysAllocStringByteLen(ansi.data(), static_cast<UINT>(ansi.size()));
        if (out->bstrVal == nullptr) {
          out->vt = VT_EMPTY;
          AfxThrowMemoryException();
        }
      }
    }
  }

  long long Changes() override { return changes_; }

 private:
  void DescribeColumns() {
    if (st_.described) return;
    st_.described = true;
    SQLSMALLINT cols = 0;
    Check(SQLNumResultCols(st_.stmt, &cols), SQL_HANDLE_STMT, st_.stmt, "SQLNumResultCols");
    for (SQLSMALLINT c = 1; c <= cols; ++c) {
      SQLWCHAR name[256] = {};
      SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
      SQLULEN size = 0;
      Check(SQLDescribeColW(st_.stmt, static_cast<SQLUSMALLINT>(c), name, 256, &nameLen, &type, &size, &digits, &nullable),
            SQL_HANDLE_STMT, st_.stmt, "SQLDescribeCol");
      st_.names.push_back(Ansi(name, static_cast<size_t>(std::min<SQLSMALLINT>(nameLen, 255))));
      st_.types.push_back(type);
    }
  }

  // SQLGetData in pieces for text and binary columns of any length. terminator: the size of
  // the NUL the driver adds to each text piece (0 for binary data).
  void ReadLong(SQLUSMALLINT col, SQLSMALLINT ctype, std::size_t terminator, std::vector<unsigned char>* out,
                bool* isNull) {
    unsigned char piece[8192];
    for (;;) {
      SQLLEN ind = 0;
      SQLRETURN rc = SQLGetData(st_.stmt, col, ctype, piece, sizeof piece, &ind);
      if (rc == SQL_NO_DATA) return;
      Check(rc, SQL_HANDLE_STMT, st_.stmt, "SQLGetData");
      if (ind == SQL_NULL_DATA) {
        *isNull = true;
        return;
      }
      std::size_t room = sizeof piece - terminator;
      std::size_t got = (ind == SQL_NO_TOTAL || static_cast<std::size_t>(ind) > room) ? room : static_cast<std::size_t>(ind);
      if (terminator > 1) got -= got % terminator;
      out->insert(out->end(), piece, piece + got);
      if (rc == SQL_SUCCESS) return;
    }
  }

  std::shared_ptr<OdbcCache> cache_;
  std::vector<OdbcPrepared>* slot_;
  OdbcPrepared st_;
  unsigned generation_;
  bool schemaChange_;
  bool executed_ = false;
  bool hasResult_ = false;
  long long changes_ = 0;
  std::vector<std::unique_ptr<Param>> params_;
};

class OdbcConnection : public Connection {
 public:
  OdbcConnection(const std::string& connect, bool readOnly) : readOnly_(readOnly) {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    if (readOnly)
      SQLSetConnectAttr(dbc_, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
    std::u16string w = Wide(connect);
    SQLWCHAR outText[1024];
    SQLSMALLINT outLen = 0;
    SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, W(w), static_cast<SQLSMALLINT>(w.size()), outText, 1024, &outLen,
                                     SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
      try {
        ThrowOdbc(SQL_HANDLE_DBC, dbc_, "SQLDriverConnect");
      } catch (CDaoException* e) {
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
        std::string text = "ODBC connection failed: " + std::string(e->m_pErrorInfo->m_strDescription);
        e->Delete();
        AfxThrowDaoException(AFX_DAO_ERROR_BAD_CONNECT, "ODBC", text.c_str());
      }
    }
    connected_ = true;
    quote_ = InfoText(SQL_IDENTIFIER_QUOTE_CHAR);
    dbms_ = InfoText(SQL_DBMS_NAME);
  }
  ~OdbcConnection() override {
    cache_->Clear();
    cache_->connected = false;
    if (connected_) {
      if (inTransaction_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
      SQLDisconnect(dbc_);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }

  std::unique_ptr<Statement> Prepare(std::string_view jetSql) override {
    char q = quote_.empty() ? '"' : quote_[0];
    return Take(jetSql, [&] { return RewriteJetForOdbc(jetSql, q); });
  }
  std::unique_ptr<Statement> PrepareNative(std::string_view sql) override {
    // Native texts are keyed apart from Jet texts, which are rewritten first.
    std::string key = "\x01" + std::string(sql);
    return Take(key, [&] { return std::string(sql); });
  }

  void Begin() override {
    if (inTransaction_) AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "A transaction is already open.");
    Check(SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
          SQL_HANDLE_DBC, dbc_, "SQLSetConnectAttr");
    inTransaction_ = true;
  }
  void Commit() override { End(SQL_COMMIT); }
  void Rollback() override {
    if (inTransaction_) End(SQL_ROLLBACK);
  }
  bool InTransaction() const override { return inTransaction_; }

  std::string TypeName(short daoType) override {
    bool pg = EqualsNoCaseAscii(dbms_, "PostgreSQL");
    switch (daoType) {
      case dbBoolean: case dbByte: case dbInteger: case dbLong: return "INTEGER";
      case dbSingle: case dbDouble: case dbCurrency: return pg ? "DOUBLE PRECISION" : "DOUBLE";
      case dbDate: return "TIMESTAMP";
      case dbLongBinary: return pg ? "BYTEA" : "BLOB";
      default: return pg ? "TEXT" : "TEXT COLLATE NOCASE";
    }
  }
  std::string Quote(std::string_view name) override {
    char q = quote_.empty() || quote_[0] == ' ' ? '"' : quote_[0];
    std::string out(1, q);
    for (char c : name) {
      out += c;
      if (c == q) out += q;
    }
    return out + q;
  }
  bool HasRowId() const override { return false; }
  long long LastRowId() override { return 0; }

  std::vector<std::string> TableNames() override {
    std::vector<std::string> names;
    SQLHSTMT st = SQL_NULL_HSTMT;
    Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st), SQL_HANDLE_DBC, dbc_, "SQLAllocHandle");
    std::u16string table = u"TABLE";
    SQLRETURN rc = SQLTablesW(st, nullptr, 0, nullptr, 0, nullptr, 0, W(table), SQL_NTS);
    while (SQL_SUCCEEDED(rc) && SQL_SUCCEEDED(SQLFetch(st))) {
      SQLWCHAR name[256] = {};
      SQLLEN ind = 0;
      if (SQL_SUCCEEDED(SQLGetData(st, 3, SQL_C_WCHAR, name, sizeof name, &ind)) && ind > 0)
        names.push_back(Ansi(name, std::min<std::size_t>(static_cast<std::size_t>(ind) / sizeof(SQLWCHAR), 255)));
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    return names;
  }
  std::vector<std::string> PrimaryKey(std::string_view table) override {
    std::vector<std::pair<int, std::string>> keyed;
    SQLHSTMT st = SQL_NULL_HSTMT;
    Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st), SQL_HANDLE_DBC, dbc_, "SQLAllocHandle");
    std::u16string name = Wide(table);
    SQLRETURN rc = SQLPrimaryKeysW(st, nullptr, 0, nullptr, 0, W(name), static_cast<SQLSMALLINT>(name.size()));
    while (SQL_SUCCEEDED(rc) && SQL_SUCCEEDED(SQLFetch(st))) {
      SQLWCHAR column[256] = {};
      SQLLEN ind = 0;
      SQLSMALLINT seq = 0;
      SQLLEN seqInd = 0;
      if (SQL_SUCCEEDED(SQLGetData(st, 4, SQL_C_WCHAR, column, sizeof column, &ind)) && ind > 0 &&
          SQL_SUCCEEDED(SQLGetData(st, 5, SQL_C_SSHORT, &seq, sizeof seq, &seqInd)))
        keyed.emplace_back(seq, Ansi(column, std::min<std::size_t>(static_cast<std::size_t>(ind) / sizeof(SQLWCHAR), 255)));
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> names;
    for (auto& k : keyed) names.push_back(k.second);
    return names;
  }
  bool IsReadOnly() const override { return readOnly_; }

 private:
  void End(SQLSMALLINT how) {
    if (!inTransaction_) AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "No transaction is open.");
    inTransaction_ = false;
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, how);
    SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    Check(rc, SQL_HANDLE_DBC, dbc_, "SQLEndTran");
  }

  std::string InfoText(SQLUSMALLINT what) {
    SQLWCHAR buf[256] = {};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc_, what, buf, sizeof buf, &len))) return std::string();
    return Ansi(buf, std::min<std::size_t>(static_cast<std::size_t>(len) / sizeof(SQLWCHAR), 255));
  }

  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
  bool readOnly_;
  bool inTransaction_ = false;
  // A statement for the text key, from the cache or newly prepared from native().
  template <typename Native>
  std::unique_ptr<Statement> Take(std::string_view key, Native native) {
    if (cache_->slots.size() > 512) cache_->Clear();
    auto it = cache_->slots.find(key);
    if (it == cache_->slots.end()) it = cache_->slots.emplace(std::string(key), std::vector<OdbcPrepared>()).first;
    std::vector<OdbcPrepared>* slot = &it->second;
    std::string_view k = TrimLeftBlank(key);
    bool schemaChange = StartsWithNoCaseAscii(k, "CREATE") || StartsWithNoCaseAscii(k, "ALTER") ||
                        StartsWithNoCaseAscii(k, "DROP");
    if (!slot->empty()) {
      OdbcPrepared st = std::move(slot->back());
      slot->pop_back();
      --cache_->idle;
      return std::make_unique<OdbcStatement>(cache_, slot, std::move(st), schemaChange);
    }
    return std::make_unique<OdbcStatement>(cache_, slot, OdbcStatement::Make(dbc_, native()), schemaChange);
  }

  std::string quote_;
  std::string dbms_;
  std::shared_ptr<OdbcCache> cache_ = std::make_shared<OdbcCache>();
};

}  // namespace

std::unique_ptr<Connection> OpenOdbc(const std::string& connect, bool readOnly) {
  return std::make_unique<OdbcConnection>(connect, readOnly);
}

}  // namespace halyard::dao
