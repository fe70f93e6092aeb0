// vaultkit db: makes, fills and reads relational databases (a SQLite file or an ODBC connect
// text) through the library's relational back end and its type catalog. The reading commands
// open the database read-only, as the library does for every source; the writing commands
// (create, register-type, add-field, insert) ask for writing with the access rule "|1" at the
// end of the connect text, and do each job in one transaction, so a failure leaves nothing
// half-written.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "datalib/access/cda_data_iterator.h"
#include "datalib/access/owned_ptr.h"
#include "datalib/catalog/cda_sys_type.h"
#include "datalib/relational/cda_relational_database.h"
#include "datalib/relational/cda_relational_iterator.h"
#include "datalib/select/cda_select.h"
#include "datalib/select/cda_sort.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/select/select_expr.h"
#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_date.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"
#include "platform/dao/cdaoexception.h"
#include "platform/dao/cdaorecordset.h"
#include "platform/dao/jet_sql.h"
#include "platform/kernel/text.h"
#include "platform/ole/bstr.h"
#include "platform/ole/safearray.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"

namespace {

using namespace halyard::tool;
using vaultkit::OwnedPtr;

// A failure of the job, with the exit code it gives.
struct JobError {
  int code;
  std::string message;
};

[[noreturn]] void Usage(const std::string& why) { throw JobError{kExitUsage, why}; }

const struct {
  const char* name;
  LONG kind;
} kKinds[] = {{"text", kDAKindText},   {"long", kDAKindLong},          {"binary", kDAKindBinary},
              {"file", kDAKindFile},   {"formatted", kDAKindFormattedText}, {"date", kDAKindDate},
              {"double", kDAKindDouble}};

const char* KindName(LONG kind) {
  for (const auto& k : kKinds)
    if (k.kind == kind) return k.name;
  return "unknown";
}

LONG ParseNumber(const char* text, const char* what) {
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != 0 || errno != 0 || v < -2147483648LL || v > 2147483647LL)
    Usage(std::string(what) + " is a number: " + Quote(text, '\''));
  return static_cast<LONG>(v);
}

LONG ParseKind(const char* text) {
  for (const auto& k : kKinds)
    if (halyard::EqualsNoCaseAscii(text, k.name)) return k.kind;
  return ParseNumber(text, "KIND (text, long, binary, file, formatted, date, double or a number)");
}

// The connect text asking for writing, unless it already carries an access rule.
std::string ForWriting(const std::string& connect) {
  return connect.find('|') == std::string::npos ? connect + "|1" : connect;
}

void Open(CDARelationalDatabase& db, const std::string& connect, bool write) {
  db.mOpen((write ? ForWriting(connect) : connect).c_str());
  if (write && db.mIsWritable() == 0) throw JobError{kExitFailed, connect + " cannot be written"};
}

// Runs a job inside a transaction: committed when it returns, rolled back when it throws.
template <typename Job>
void InTransaction(CDARelationalDatabase& db, Job job) {
  db.mBeginTransaction();
  try {
    job();
  } catch (...) {
    try {
      db.mRollback();
    } catch (CException* e) {
      e->Delete();
    }
    throw;
  }
  db.mCommitTransaction(nullptr);
}

// The column of a field number: types owned by type 1 have four leading columns.
LONG ColumnOf(CDARelationalDatabase& db, LONG type, LONG field) {
  return CDASysType::mGetOwnerType(&db, type) == 1 ? field + 4 : field;
}

void RequireType(CDARelationalDatabase& db, LONG type) {
  OwnedPtr<CDADataIterator> found(db.mFindByType(kDASysTypes, type));
  if (!found) throw JobError{kExitFailed, "type " + std::to_string(type) + " is not in the catalog"};
}

// The field of a sort text FIELD[:desc].
void ParseSort(CDARelationalDatabase& db, LONG type, const std::string& text, CDASort* sort) {
  std::string name = text;
  int ascending = 1;
  std::size_t colon = text.rfind(':');
  if (colon != std::string::npos) {
    std::string dir = text.substr(colon + 1);
    if (halyard::EqualsNoCaseAscii(dir, "desc")) {
      ascending = 0;
    } else if (!halyard::EqualsNoCaseAscii(dir, "asc")) {
      Usage("--sort takes FIELD, FIELD:asc or FIELD:desc");
    }
    name = text.substr(0, colon);
  }
  vaultkit::CatalogFieldResolver fields(&db, type);
  LONG field = -1, kind = -1;
  if (!fields.Resolve(name, &field, &kind)) Usage("--sort: no field " + Quote(name, '\'') + " in type " + std::to_string(type));
  sort->mInit(field, ascending);
}

struct QueryArgs {
  std::string connect;
  LONG type = 0;
  const char* where = nullptr;
  const char* sort = nullptr;
  std::string format = "tsv";
};

QueryArgs ParseQueryArgs(int argc, char** argv, bool formats) {
  if (argc < 5) Usage(std::string(argv[2]) + " needs CONNECT and TYPE");
  QueryArgs a;
  a.connect = argv[3];
  a.type = ParseNumber(argv[4], "TYPE");
  for (int i = 5; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char* option) -> const char* {
      if (++i >= argc) Usage(std::string(option) + " needs a value");
      return argv[i];
    };
    if (arg == "--where") {
      a.where = value("--where");
    } else if (arg == "--sort") {
      a.sort = value("--sort");
    } else if (formats && arg == "--format") {
      a.format = value("--format");
      if (a.format != "tsv" && a.format != "json") Usage("--format is tsv or json");
    } else {
      Usage("unknown option " + Quote(arg, '\''));
    }
  }
  return a;
}

// The selection and order of a query's options; the caller frees the selection.
CDASelect* BuildQuery(CDARelationalDatabase& db, const QueryArgs& a, CDASort* sort) {
  RequireType(db, a.type);
  sort->mInit(-1, 1);
  if (a.sort != nullptr) ParseSort(db, a.type, a.sort, sort);
  if (a.where == nullptr) return nullptr;
  vaultkit::CatalogFieldResolver fields(&db, a.type);
  vaultkit::SelectExprError error;
  CDASelect* select = vaultkit::ParseSelectExpr(a.where, a.type, &fields, &error);
  if (select == nullptr) Usage("--where: " + error.message);
  return select;
}

struct SelectTree {
  CDASelect* root;
  ~SelectTree() { vaultkit::DeleteSelectTree(root); }
};

// One value as output text (texts in UTF-8); *isText tells JSON to quote it.
std::string ValueText(const COleVariant& v, bool* isText, bool* isNull) {
  *isText = false;
  *isNull = false;
  char buf[64];
  switch (v.vt) {
    case VT_NULL:
    case VT_EMPTY:
      *isNull = true;
      return std::string();
    case VT_I4:
      return std::to_string(v.lVal);
    case VT_R8:
      std::snprintf(buf, sizeof buf, "%.17g", v.dblVal);
      return buf;
    case VT_DATE:
      *isText = true;
      return halyard::dao::DateToText(v.date);
    case VT_BSTR:
      *isText = true;
      return halyard::dao::AnsiToUtf8(std::string_view(V_BSTRT(&v), SysStringByteLen(v.bstrVal)));
    default:
      if (v.vt == (VT_ARRAY | VT_UI1)) {
        *isText = true;
        void* data = nullptr;
        SafeArrayAccessData(v.parray, &data);
        std::string hex;
        for (ULONG i = 0; i < v.parray->rgsabound[0].cElements; ++i) {
          std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char*>(data)[i]);
          hex += buf;
        }
        SafeArrayUnaccessData(v.parray);
        return hex;
      }
      return "?";
  }
}

std::string TsvField(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", b);
      out += esc;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

int Create(int argc, char** argv) {
  if (argc != 4) Usage("create needs PATH (a new database file or an ODBC connect text)");
  CDARelationalDatabase db;
  db.mCreate(argv[3]);
  db.mClose();
  return kExitOk;
}

int RegisterType(int argc, char** argv) {
  if (argc < 6) Usage("register-type needs CONNECT, NUMBER and NAME");
  LONG number = ParseNumber(argv[4], "NUMBER");
  std::string name = argv[5];
  LONG owner = 0;
  std::string layout;
  LONG placeholders = 0;
  for (int i = 6; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--owner" && i + 1 < argc) {
      owner = ParseNumber(argv[++i], "--owner");
    } else if (arg == "--layout" && i + 1 < argc) {
      layout = argv[++i];
    } else if (arg == "--placeholders") {
      placeholders = 1;
    } else {
      Usage("unknown option or missing value: " + Quote(arg, '\''));
    }
  }
  if (name.empty() || name.size() > 255 || name.find_first_of("[]") != std::string::npos)
    Usage("NAME is 1 to 255 characters without square brackets");
  CDARelationalDatabase db;
  Open(db, argv[3], true);
  OwnedPtr<CDADataIterator> existing(db.mFindByType(kDASysTypes, number));
  if (existing) throw JobError{kExitFailed, "type " + std::to_string(number) + " is already registered"};
  InTransaction(db, [&] {
    CDASysType::mRegisterType(&db, number, name.c_str(), layout.c_str(), owner, placeholders);
    db.mCreateTypeTable(number, name.c_str());
    CDASysType::mRegisterField(&db, 0, number, "System", kDAKindLong, 0);
  });
  db.mClose();
  return kExitOk;
}

int AddField(int argc, char** argv) {
  if (argc != 7) Usage("add-field needs CONNECT, TYPE, NAME and KIND");
  LONG type = ParseNumber(argv[4], "TYPE");
  std::string name = argv[5];
  LONG kind = ParseKind(argv[6]);
  if (name.empty() || name.size() > 255 || name.find_first_of("[]") != std::string::npos)
    Usage("NAME is 1 to 255 characters without square brackets");
  CDARelationalDatabase db;
  Open(db, argv[3], true);
  RequireType(db, type);
  vaultkit::CatalogFieldResolver fields(&db, type);
  LONG f = -1, k = -1;
  if (fields.Resolve(name, &f, &k)) throw JobError{kExitFailed, "type " + std::to_string(type) + " already has a field " + Quote(name, '\'')};
  if (db.mGetNativeFieldType(kind) == 0) throw JobError{kExitFailed, std::string("a field of kind ") + argv[6] + " cannot be stored"};
  LONG column = -1;
  InTransaction(db, [&] {
    column = db.mAddField(type, name.c_str(), kind);
    CDASysType::mRegisterField(&db, column, type, name.c_str(), kind, 0);
  });
  LONG number = CDASysType::mGetOwnerType(&db, type) == 1 ? column - 4 : column;
  db.mClose();
  return WriteOutput(std::to_string(number) + "\n");
}

int Fields(int argc, char** argv) {
  if (argc != 5) Usage("fields needs CONNECT and TYPE");
  LONG type = ParseNumber(argv[4], "TYPE");
  CDARelationalDatabase db;
  Open(db, argv[3], false);
  RequireType(db, type);
  CPDStringArray names;
  CPDLongArray kinds;
  db.mGetFields(type, &names, &kinds);
  std::string out;
  for (LONG i = 0; i < names.mGetNumItems(); ++i) {
    LONG kind = -1;
    kinds.mGetArrayItem(&kind, i);
    out += TsvField(halyard::dao::AnsiToUtf8(static_cast<char*>(names.mGetAt(i)))) + "\t" + KindName(kind) + "\n";
  }
  db.mClose();
  return WriteOutput(out);
}

int Types(int argc, char** argv) {
  if (argc != 4) Usage("types needs CONNECT");
  CDARelationalDatabase db;
  Open(db, argv[3], false);
  CDASort order;
  order.mInit(1, 1);
  OwnedPtr<CDADataIterator> it(db.mQueryType(kDASysTypes, &order));
  std::string out;
  for (; it && it->mIsEOF() == 0; it->mMoveNext()) {
    CPDLong number, owner;
    CPDString name, layout;
    it->mGetField(1, &number);
    it->mGetField(2, &name);
    it->mGetField(4, &layout);
    it->mGetField(5, &owner);
    out += std::to_string(number.mGetValue()) + "\t" + TsvField(halyard::dao::AnsiToUtf8(static_cast<char*>(name))) +
           "\t" + TsvField(halyard::dao::AnsiToUtf8(static_cast<char*>(layout))) + "\t" +
           std::to_string(owner.mGetValue()) + "\n";
  }
  db.mClose();
  return WriteOutput(out);
}

// Reads a date "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS".
bool ParseDate(const std::string& text, CPDDate* date) {
  DATE d = 0;
  if (!halyard::dao::TextToDate(text, &d)) return false;
  COleDateTime t(d);
  date->mSetLocal(t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(), t.GetMinute(), t.GetSecond());
  return true;
}

int Insert(int argc, char** argv) {
  if (argc < 6) Usage("insert needs CONNECT, TYPE and FIELD=VALUE");
  LONG type = ParseNumber(argv[4], "TYPE");
  CDARelationalDatabase db;
  Open(db, argv[3], true);
  RequireType(db, type);
  vaultkit::CatalogFieldResolver fields(&db, type);
  struct Assignment {
    LONG column;
    LONG kind;
    std::string value;
  };
  std::vector<Assignment> assignments;
  bool hasSystem = false;
  for (int i = 5; i < argc; ++i) {
    std::string arg = argv[i];
    std::size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) Usage("expected FIELD=VALUE, not " + Quote(arg, '\''));
    std::string name = arg.substr(0, eq);
    LONG field = -1, kind = -1;
    if (!fields.Resolve(name, &field, &kind)) Usage("no field " + Quote(name, '\'') + " in type " + std::to_string(type));
    LONG column = ColumnOf(db, type, field);
    if (column == 0) hasSystem = true;
    // Texts on the command line are UTF-8; the library's are Windows-1252.
    assignments.push_back({column, kind, halyard::dao::Utf8ToAnsi(arg.substr(eq + 1))});
  }
  LONG system = 0;
  InTransaction(db, [&] {
    if (!hasSystem) {
      // The next free System number.
      CDASort last;
      last.mInit(0, 0);
      OwnedPtr<CDADataIterator> top(db.mQueryType(type, &last));
      CPDLong highest(0);
      if (top) top->mGetField(0, &highest);
      system = highest.mGetValue() + 1;
    }
    OwnedPtr<CDADataObject> rec(db.mNewRecord(type));
    auto* it = static_cast<CDARelationalIterator*>(rec.get());
    if (!hasSystem) {
      CPDLong key(system);
      rec->mSetField(0, &key);
    }
    for (const Assignment& a : assignments) {
      switch (a.kind) {
        case kDAKindLong: {
          CPDLong v(ParseNumber(a.value.c_str(), "a long field's value"));
          if (a.column == 0) system = v.mGetValue();
          rec->mSetField(a.column, &v);
          break;
        }
        case kDAKindDate: {
          CPDDate v;
          if (!ParseDate(a.value, &v)) Usage("a date is YYYY-MM-DD or YYYY-MM-DD HH:MM:SS: " + Quote(a.value, '\''));
          rec->mSetField(a.column, &v);
          break;
        }
        case kDAKindDouble: {
          char* end = nullptr;
          double d = std::strtod(a.value.c_str(), &end);
          if (end == a.value.c_str() || *end != 0) Usage("a double field's value is a number: " + Quote(a.value, '\''));
          it->mGetRecordset()->SetFieldValue(static_cast<int>(a.column), COleVariant(d));
          break;
        }
        case kDAKindBinary:
        case kDAKindFormattedText: {
          CPDBuffer v;
          v.mInit(a.value.data(), static_cast<LONG>(a.value.size()));
          rec->mSetField(a.column, &v);
          break;
        }
        default: {
          if (a.value.size() > 255) throw JobError{kExitFailed, "a text field holds at most 255 characters"};
          CPDString v(a.value.c_str());
          rec->mSetField(a.column, &v);
        }
      }
    }
    rec->mUpdateRecord();
  });
  db.mClose();
  return WriteOutput(std::to_string(system) + "\n");
}

int Query(int argc, char** argv) {
  QueryArgs a = ParseQueryArgs(argc, argv, true);
  CDARelationalDatabase db;
  Open(db, a.connect, false);
  CDASort sort;
  SelectTree select{BuildQuery(db, a, &sort)};
  OwnedPtr<CDADataIterator> result(db.mQuery(a.type, select.root, &sort));
  // The column names: the catalog's, by column position.
  CPDStringArray names;
  db.mGetFields(a.type, &names, nullptr);
  std::vector<std::string> columns;
  CDaoRecordset* rs = result ? static_cast<CDARelationalIterator*>(result.get())->mGetRecordset() : nullptr;
  LONG count = rs != nullptr ? rs->GetFieldCount() : names.mGetNumItems();
  for (LONG c = 0; c < count; ++c) {
    CDaoFieldInfo info;
    if (rs != nullptr) {
      rs->GetFieldInfo(c, info);
      columns.push_back(halyard::dao::AnsiToUtf8(static_cast<const char*>(info.m_strName)));
    } else {
      columns.push_back(halyard::dao::AnsiToUtf8(static_cast<char*>(names.mGetAt(c))));
    }
  }
  const bool json = a.format == "json";
  std::string out;
  if (json) {
    out = "[";
  } else {
    for (std::size_t c = 0; c < columns.size(); ++c) out += (c > 0 ? "\t" : "") + TsvField(columns[c]);
    out += "\n";
  }
  bool first = true;
  for (; rs != nullptr && !rs->IsEOF(); rs->MoveNext()) {
    if (json) out += first ? "\n  {" : ",\n  {";
    first = false;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      bool isText = false, isNull = false;
      std::string v = ValueText(rs->GetFieldValue(static_cast<int>(c)), &isText, &isNull);
      if (json) {
        out += (c > 0 ? ", " : "") + JsonString(columns[c]) + ": " + (isNull ? "null" : isText ? JsonString(v) : v);
      } else {
        out += (c > 0 ? "\t" : "") + TsvField(v);
      }
    }
    out += json ? "}" : "\n";
  }
  if (json) out += first ? "]\n" : "\n]\n";
  db.mClose();
  return WriteOutput(out);
}

int Sql(int argc, char** argv) {
  QueryArgs a = ParseQueryArgs(argc, argv, false);
  CDARelationalDatabase db;
  Open(db, a.connect, false);
  CDASort sort;
  SelectTree select{BuildQuery(db, a, &sort)};
  std::string sql = static_cast<const char*>(db.mGetQuerySql(a.type, select.root, &sort));
  db.mClose();
  return WriteOutput(halyard::dao::AnsiToUtf8(sql) + "\n");
}

const struct {
  const char* name;
  int (*run)(int, char**);
} kVerbs[] = {{"create", Create}, {"register-type", RegisterType}, {"add-field", AddField}, {"fields", Fields},
              {"types", Types},   {"insert", Insert},              {"query", Query},        {"sql", Sql}};

}  // namespace

// Object stores and the locking wrapper (store_command.cpp).
bool IsStoreDbCommand(int argc, char** argv);
int StoreDbCommand(int argc, char** argv);

int DbCommand(int argc, char** argv) {
  if (IsStoreDbCommand(argc, argv)) return StoreDbCommand(argc, argv);
  if (argc < 3) return UsageError("db needs a command: create, register-type, add-field, fields, types, insert, query or sql");
  try {
    for (const auto& verb : kVerbs)
      if (std::strcmp(argv[2], verb.name) == 0) return verb.run(argc, argv);
    return UsageError(std::string("unknown db command ") + Quote(argv[2], '\''));
  } catch (const JobError& e) {
    if (e.code == kExitUsage) return UsageError(e.message);
    return Fail(e.code, e.message);
  } catch (CDaoException* e) {
    LONG code = e->m_pErrorInfo != nullptr ? e->m_pErrorInfo->m_lErrorCode : 0;
    char text[1024] = "";
    if (!e->GetErrorMessage(text, sizeof text)) std::snprintf(text, sizeof text, "database error");
    e->Delete();
    // A database file that is missing or not a database is a file that cannot be read.
    int exit = code == AFX_DAO_ERROR_NOT_FOUND || code == AFX_DAO_ERROR_NOT_DATABASE ? kExitFile : kExitFailed;
    return Fail(exit, halyard::dao::AnsiToUtf8(text));
  } catch (CException* e) {
    char text[1024] = "";
    if (!e->GetErrorMessage(text, sizeof text)) std::snprintf(text, sizeof text, "error");
    e->Delete();
    return Fail(kExitFailed, text);
  }
}
