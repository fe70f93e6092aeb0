// vaultkit select: builds the selection a condition describes and prints its saved forms, the
// text stream form or the bytes mStoreData writes (as hex). Field names are looked up in the
// catalog of the database CONNECT names, opened through the handler as an external source;
// with CONNECT "-" no database is opened and fields are given by number ("#3").
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "datalib/access/cda_connect_string_provider.h"
#include "datalib/access/cda_database.h"
#include "datalib/access/cda_handler.h"
#include "datalib/select/cda_select.h"
#include "datalib/select/select_expr.h"
#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_string.h"
#include "platform/mfc/cexception.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"

namespace {

using namespace halyard::tool;

// The handler index under which the tool opens its one source (any index beyond the fixed 0-5).
constexpr LONG kSourceIndex = 6;

// Names the one source the tool was given.
class GivenSource : public CDAConnectStringProvider {
 public:
  explicit GivenSource(std::string connect) : mConnect(std::move(connect)) {}
  int mGetConnectString(CDADatabase*, LONG index, CPDString* connect, CPDBuffer*) override {
    if (index != kSourceIndex) return 0;
    *connect = mConnect.c_str();
    return 1;
  }

 private:
  std::string mConnect;
};

// Closes and frees what the handler opened, however the command ends.
struct HandlerSession {
  ~HandlerSession() { CDAHandler::mExit(); }
};

bool ParseType(const char* text, LONG* type) {
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != 0 || errno != 0 || v < -2147483648LL || v > 2147483647LL) return false;
  *type = static_cast<LONG>(v);
  return true;
}

std::string Hex(const CPDBuffer& buffer) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (LONG i = 0; i < buffer.mGetLength(); ++i) {
    const auto b = static_cast<unsigned char>(buffer.mGetBuffer()[i]);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::string ExceptionText(CException* e) {
  char text[512] = "";
  if (!e->GetErrorMessage(text, sizeof text)) std::snprintf(text, sizeof text, "database error");
  e->Delete();
  return text;
}

}  // namespace

int SelectCommand(int argc, char** argv) {
  if (argc < 4) return UsageError("select needs CONNECT, TYPE and --where EXPR");
  const std::string connect = argv[2];
  LONG type = 0;
  if (!ParseType(argv[3], &type)) return UsageError(std::string("TYPE is a number: ") + argv[3]);
  const char* where = nullptr;
  bool archive = false;
  for (int i = 4; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--where") {
      if (++i >= argc) return UsageError("--where needs a condition");
      where = argv[i];
    } else if (arg.rfind("--where=", 0) == 0) {
      where = argv[i] + 8;
    } else if (arg == "--stream") {
      archive = false;
    } else if (arg == "--archive") {
      archive = true;
    } else {
      return UsageError("unknown option " + Quote(arg, '\''));
    }
  }
  if (where == nullptr) return UsageError("select needs --where EXPR");

  HandlerSession session;
  CDADatabase* db = nullptr;
  if (connect != "-") {
    CDAHandler::mSetConnectStringProvider(new GivenSource(connect));
    try {
      db = CDAHandler::mGetDatabase(kSourceIndex);
    } catch (CException* e) {
      return Fail(kExitFailed, "cannot open " + connect + ": " + ExceptionText(e));
    }
    if (db == nullptr) {
      return Fail(kExitFailed, "cannot open " + connect + ": no database back end answered for it");
    }
  }

  vaultkit::CatalogFieldResolver fields(db, type);
  vaultkit::SelectExprError error;
  CDASelect* select;
  try {
    select = vaultkit::ParseSelectExpr(where, type, db != nullptr ? &fields : nullptr, &error);
  } catch (CException* e) {
    return Fail(kExitFailed, "cannot read the catalog of " + connect + ": " + ExceptionText(e));
  }
  if (select == nullptr) return UsageError("--where: " + error.message);

  std::string out;
  if (archive) {
    CPDBuffer buffer;
    select->mStoreData(&buffer);
    out = Hex(buffer);
  } else {
    std::ostringstream os;
    os << *select;
    out = os.str();
  }
  vaultkit::DeleteSelectTree(select);
  return WriteOutput(out + "\n");
}
