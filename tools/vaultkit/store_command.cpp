// vaultkit db on object stores, and any db command through the locking wrapper (--lock
// USER,TRANS). A CONNECT that names a store (a path with ".qld" or ".qlt", or "Pyx:" and a
// site name, with the registry values read from HALYARD_REGISTRY) opens the object store;
// "create --store PATH" makes one. With --lock the database is wrapped in a locking wrapper
// whose context is USER and TRANS: queries show what that user may see, and "update" shows
// the records the wrapper takes and the writes it refuses. Writing commands commit once at
// the end, so a failure leaves the store as it was.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "datalib/access/cda_data_iterator.h"
#include "datalib/access/cda_handler.h"
#include "datalib/access/cda_lock_database.h"
#include "datalib/access/owned_ptr.h"
#include "datalib/catalog/cda_sys_type.h"
#include "datalib/relational/cda_relational_database.h"
#include "datalib/select/cda_select.h"
#include "datalib/select/cda_sort.h"
#include "datalib/select/select_expr.h"
#include "datalib/store/cda_store_database.h"
#include "datalib/store/pyx_vfs.h"
#include "datalib/values/cpd_object.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"
#include "platform/dao/jet_sql.h"
#include "platform/kernel/text.h"
#include "platform/mfc/cfileexception.h"
#include "platform/ole/bstr.h"
#include "platform/ole/colevariant.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"

namespace {

using namespace halyard::tool;
using vaultkit::OwnedPtr;

struct JobError {
  int code;
  std::string message;
};

[[noreturn]] void Usage(const std::string& why) { throw JobError{kExitUsage, why}; }

LONG Number(const std::string& text, const char* what) {
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != 0 || errno != 0 || v < -2147483648LL || v > 2147483647LL)
    Usage(std::string(what) + " is a number: " + Quote(text, '\''));
  return static_cast<LONG>(v);
}

const struct {
  const char* name;
  LONG kind;
} kKinds[] = {{"text", kDAKindText}, {"long", kDAKindLong}, {"binary", kDAKindBinary}, {"file", kDAKindFile},
              {"formatted", kDAKindFormattedText}, {"date", kDAKindDate}, {"double", kDAKindDouble}};

// Any field's value as the VARIANT the back end holds.
class RawValue : public CPDObject {
 public:
  void mConvertFromOleVariant(const COleVariant& var) override { mValue = var; }
  void mConvertToOleVariant(COleVariant* var) const override {
    if (var != nullptr) *var = mValue;
  }
  COleVariant mValue;
};

std::string Text(const COleVariant& v) {
  switch (v.vt) {
    case VT_I4: return std::to_string(v.lVal);
    case VT_R8:
    case VT_DATE: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.17g", v.dblVal);
      return buf;
    }
    case VT_BSTR: return halyard::dao::AnsiToUtf8(std::string_view(V_BSTRT(&v), SysStringByteLen(v.bstrVal)));
    default: return std::string();
  }
}

std::string Tsv(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out;
}

// The arguments with --lock taken out.
struct Args {
  std::vector<std::string> words;
  bool lock = false;
  LONG user = 0;
  LONG transaction = 0;
  bool store = false;  // create --store
};

Args Parse(int argc, char** argv) {
  Args a;
  for (int i = 0; i < argc; ++i) {
    std::string w = argv[i];
    if (i >= 2 && w == "--lock") {
      if (++i >= argc) Usage("--lock needs USER,TRANS");
      std::string v = argv[i];
      std::size_t comma = v.find(',');
      if (comma == std::string::npos) Usage("--lock takes USER,TRANS");
      a.lock = true;
      a.user = Number(v.substr(0, comma), "USER");
      a.transaction = Number(v.substr(comma + 1), "TRANS");
    } else if (i == 3 && w == "--store") {
      a.store = true;
    } else {
      a.words.push_back(w);
    }
  }
  return a;
}

bool NamesStore(const std::string& connect) {
  return connect.find(".qld") != std::string::npos || connect.find(".qlt") != std::string::npos ||
         halyard::StartsWithNoCaseAscii(connect.c_str(), "Pyx:");
}

// The database a connect text names, opened (for writing when asked), wrapped with --lock.
struct Database {
  std::unique_ptr<CDADatabase> db;
  bool locked = false;
  CDADatabase* operator->() const { return db.get(); }
};

Database OpenDatabase(const Args& a, const std::string& connect, bool write) {
  Database out;
  CDADatabase* raw = NamesStore(connect) ? static_cast<CDADatabase*>(new CDAStoreDatabase())
                                         : static_cast<CDADatabase*>(new CDARelationalDatabase());
  out.db.reset(raw);
  std::string text = connect;
  if (text.find('|') == std::string::npos) text += write ? "|1" : (NamesStore(connect) ? "|0" : "");
  if (raw->mOpen(text.c_str()) == 0) throw JobError{kExitFailed, "the registry cannot be read for " + Quote(connect, '\'')};
  if (a.lock) {
    out.db.reset(CDAHandler::mAddService(kDAServiceLocking, out.db.release()));
    out.db->mSetContext(a.user, a.transaction);
    out.locked = true;
  }
  return out;
}

void RequireType(CDADatabase* db, LONG type) {
  OwnedPtr<CDADataIterator> found(db->mFindByType(kDASysTypes, type));
  if (!found) throw JobError{kExitFailed, "type " + std::to_string(type) + " is not in the catalog"};
}

// A type's own field names, in field order.
std::vector<std::string> FieldNames(CDADatabase* db, LONG type, bool locked) {
  CPDStringArray names;
  db->mGetFields(type, &names, nullptr);
  std::vector<std::string> out;
  for (LONG i = 0; i < names.mGetNumItems() - (locked ? 2 : 0); ++i) {
    CPDString name;
    LONG kind = -1;
    db->mGetFieldName(type, i, &name, &kind);
    out.push_back(halyard::dao::AnsiToUtf8(static_cast<char*>(name)));
  }
  return out;
}

void SetValue(CDADataObject* rec, CDADatabase* db, LONG type, const std::string& assignment) {
  std::size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) Usage("expected FIELD=VALUE, not " + Quote(assignment, '\''));
  vaultkit::CatalogFieldResolver fields(db, type);
  LONG field = -1, kind = -1;
  std::string name = assignment.substr(0, eq);
  if (!fields.Resolve(name, &field, &kind)) Usage("no field " + Quote(name, '\'') + " in type " + std::to_string(type));
  std::string value = halyard::dao::Utf8ToAnsi(assignment.substr(eq + 1));
  if (kind == kDAKindLong) {
    CPDLong v(Number(value, "a long field's value"));
    rec->mSetField(field, &v);
  } else {
    if (value.size() > 255) throw JobError{kExitFailed, "a text field holds at most 255 characters"};
    CPDString v(value.c_str());
    rec->mSetField(field, &v);
  }
}

CDASelect* Where(CDADatabase* db, LONG type, const char* where) {
  if (where == nullptr) return nullptr;
  vaultkit::CatalogFieldResolver fields(db, type);
  vaultkit::SelectExprError error;
  CDASelect* select = vaultkit::ParseSelectExpr(where, type, &fields, &error);
  if (select == nullptr) Usage("--where: " + error.message);
  return select;
}

struct SelectTree {
  CDASelect* root;
  ~SelectTree() { vaultkit::DeleteSelectTree(root); }
};

int Run(const Args& a) {
  const auto& w = a.words;
  const std::string verb = w.size() > 2 ? w[2] : "";
  if (verb == "create") {
    if (w.size() != 4) Usage("create --store needs PATH");
    CDAStoreDatabase db;
    if (db.mCreate(w[3].c_str()) == 0) throw JobError{kExitFailed, "the registry cannot be read"};
    db.mClose();
    return kExitOk;
  }
  if (w.size() < 4) Usage(verb + " needs CONNECT");
  const std::string& connect = w[3];
  if (verb == "types") {
    Database db = OpenDatabase(a, connect, false);
    CDASort order;
    order.mInit(1, 1);
    OwnedPtr<CDADataIterator> it(db->mQueryType(kDASysTypes, &order));
    std::string out;
    for (; it && it->mIsEOF() == 0; it->mMoveNext()) {
      CPDLong number, owner;
      CPDString name;
      it->mGetField(1, &number);
      it->mGetField(2, &name);
      it->mGetField(5, &owner);
      out += std::to_string(number.mGetValue()) + "\t" + Tsv(halyard::dao::AnsiToUtf8(static_cast<char*>(name))) + "\t" +
             std::to_string(owner.mGetValue()) + "\n";
    }
    return WriteOutput(out);
  }
  if (w.size() < 5) Usage(verb + " needs CONNECT and TYPE");
  const LONG type = Number(w[4], "TYPE");
  if (verb == "register-type") {
    if (w.size() != 6) Usage("register-type needs CONNECT, NUMBER and NAME");
    Database db = OpenDatabase(a, connect, true);
    OwnedPtr<CDADataIterator> existing(db->mFindByType(kDASysTypes, type));
    if (existing) throw JobError{kExitFailed, "type " + std::to_string(type) + " is already registered"};
    CDASysType::mRegisterType(db.db.get(), type, w[5].c_str(), "", 0, 0);
    db->mCreateTypeTable(type, w[5].c_str());
    db->mCommitTransaction(nullptr);
    return kExitOk;
  }
  if (verb == "add-field") {
    if (w.size() != 7) Usage("add-field needs CONNECT, TYPE, NAME and KIND");
    LONG kind = -1;
    for (const auto& k : kKinds)
      if (halyard::EqualsNoCaseAscii(w[6], k.name)) kind = k.kind;
    if (kind < 0) kind = Number(w[6], "KIND");
    Database db = OpenDatabase(a, connect, true);
    RequireType(db.db.get(), type);
    LONG field = db->mAddField(type, w[5].c_str(), kind);
    if (field < 0) throw JobError{kExitFailed, "a field of kind " + w[6] + " cannot be stored"};
    CDASysType::mRegisterField(db.db.get(), field, type, w[5].c_str(), kind, 0);
    db->mCommitTransaction(nullptr);
    return WriteOutput(std::to_string(field) + "\n");
  }
  if (verb == "fields") {
    Database db = OpenDatabase(a, connect, false);
    RequireType(db.db.get(), type);
    std::string out;
    for (const auto& name : FieldNames(db.db.get(), type, db.locked)) out += Tsv(name) + "\n";
    return WriteOutput(out);
  }
  if (verb == "insert") {
    if (w.size() < 6) Usage("insert needs CONNECT, TYPE and FIELD=VALUE");
    Database db = OpenDatabase(a, connect, true);
    RequireType(db.db.get(), type);
    OwnedPtr<CDADataObject> rec(db->mNewRecord(type));
    for (std::size_t i = 5; i < w.size(); ++i) SetValue(rec.get(), db.db.get(), type, w[i]);
    rec->mUpdateRecord();
    db->mCommitTransaction(nullptr);
    return kExitOk;
  }
  // query and update take --where (and query --sort FIELD[:desc]).
  const char* where = nullptr;
  std::string sortText;
  std::vector<std::string> assignments;
  for (std::size_t i = 5; i < w.size(); ++i) {
    if (w[i] == "--where" && i + 1 < w.size()) {
      where = w[++i].c_str();
    } else if (verb == "query" && w[i] == "--sort" && i + 1 < w.size()) {
      sortText = w[++i];
    } else if (verb == "update" && w[i].find('=') != std::string::npos && w[i][0] != '-') {
      assignments.push_back(w[i]);
    } else {
      Usage("unknown option or missing value: " + Quote(w[i], '\''));
    }
  }
  Database db = OpenDatabase(a, connect, verb == "update");
  RequireType(db.db.get(), type);
  SelectTree select{Where(db.db.get(), type, where)};
  CDASort sort;
  sort.mInit(-1, 1);
  if (!sortText.empty()) {
    bool descending = sortText.size() > 5 && sortText.compare(sortText.size() - 5, 5, ":desc") == 0;
    std::string name = descending ? sortText.substr(0, sortText.size() - 5) : sortText;
    vaultkit::CatalogFieldResolver fields(db.db.get(), type);
    LONG field = -1, kind = -1;
    if (!fields.Resolve(name, &field, &kind)) Usage("--sort: no field " + Quote(name, '\''));
    sort.mInit(field, descending ? 0 : 1);
  }
  OwnedPtr<CDADataIterator> it(db->mQuery(type, select.root, &sort));
  const std::vector<std::string> names = FieldNames(db.db.get(), type, db.locked);
  if (verb == "query") {
    std::string out;
    for (std::size_t c = 0; c < names.size(); ++c) out += (c > 0 ? "\t" : "") + Tsv(names[c]);
    out += "\n";
    for (; it && it->mIsEOF() == 0; it->mMoveNext()) {
      for (std::size_t c = 0; c < names.size(); ++c) {
        RawValue v;
        it->mGetField(static_cast<LONG>(c), &v);
        out += (c > 0 ? "\t" : "") + Tsv(Text(v.mValue));
      }
      out += "\n";
    }
    return WriteOutput(out);
  }
  if (verb != "update") Usage("unknown db command " + Quote(verb, '\''));
  if (assignments.empty()) Usage("update needs FIELD=VALUE");
  LONG updated = 0, refused = 0;
  for (; it && it->mIsEOF() == 0; it->mMoveNext()) {
    // Each value is set, then read back: a value that did not change was refused.
    bool ok = true;
    for (const auto& assignment : assignments) {
      SetValue(it.get(), db.db.get(), type, assignment);
      vaultkit::CatalogFieldResolver fields(db.db.get(), type);
      LONG field = -1, kind = -1;
      fields.Resolve(assignment.substr(0, assignment.find('=')), &field, &kind);
      RawValue now;
      it->mGetField(field, &now);
      ok = ok && Text(now.mValue) == assignment.substr(assignment.find('=') + 1);
    }
    it->mUpdateRecord();
    (ok ? updated : refused)++;
  }
  db->mCommitTransaction(nullptr);
  return WriteOutput("updated " + std::to_string(updated) + ", refused " + std::to_string(refused) + "\n");
}

}  // namespace

bool IsStoreDbCommand(int argc, char** argv) {
  for (int i = 2; i < argc; ++i)
    if (std::strcmp(argv[i], "--lock") == 0) return true;
  if (argc > 3 && std::strcmp(argv[2], "create") == 0 && std::strcmp(argv[3], "--store") == 0) return true;
  if (argc > 2 && std::strcmp(argv[2], "update") == 0) return true;
  return argc > 3 && NamesStore(argv[3]);
}

int StoreDbCommand(int argc, char** argv) {
  try {
    return Run(Parse(argc, argv));
  } catch (const JobError& e) {
    if (e.code == kExitUsage) return UsageError(e.message);
    return Fail(e.code, e.message);
  } catch (CFileException* e) {
    char reason[512] = "";
    if (!e->GetErrorMessage(reason, sizeof reason)) std::snprintf(reason, sizeof reason, "file error %ld", static_cast<long>(e->m_lOsError));
    std::string text = e->m_lOsError == vaultkit::pyx::kCorruptStoreCode ? "not a store" : reason;
    std::string file = static_cast<const char*>(e->m_strFileName);
    e->Delete();
    return Fail(kExitFile, (file.empty() ? std::string() : file + ": ") + text);
  } catch (CException* e) {
    char text[1024] = "";
    if (!e->GetErrorMessage(text, sizeof text)) std::snprintf(text, sizeof text, "error");
    e->Delete();
    return Fail(kExitFailed, text);
  }
}
