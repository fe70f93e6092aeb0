// halyard-ole: the automation value conversions from the command line, as the components
// meet them: a text converted to a variant type and written back as automation writes it, a
// time_t as the OLE date of its local time, and GUIDs checked or made.

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/ole/coledatetime.h"
#include "platform/ole/colevariant.h"
#include "platform/ole/guid.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"

namespace {

using namespace halyard::tool;

const char kHelp[] =
    "usage: halyard-ole convert TYPE TEXT\n"
    "       halyard-ole date SECONDS\n"
    "       halyard-ole guid [TEXT]\n"
    "       halyard-ole --help | --version\n"
    "\n"
    "Converts OLE Automation values the way the Halyard components do.\n"
    "\n"
    "  halyard-ole convert TYPE TEXT\n"
    "      Converts TEXT to the variant type TYPE (I1, UI1, I2, UI2, I4, UI4, I8, UI8, INT,\n"
    "      UINT, R4, R8, CY, DATE, BOOL) and prints the result as text again.\n"
    "  halyard-ole date SECONDS\n"
    "      Prints the OLE date (days since 30 December 1899) of a time_t in local time\n"
    "      (TZ applies), in the fewest digits that still tell it from every other date,\n"
    "      and its text.\n"
    "  halyard-ole guid [TEXT]\n"
    "      Checks a braced GUID and prints it in upper case, or prints a new one.\n"
    "\n"
    "Exit codes: 0 done, 1 the value does not convert (or has no OLE date, or is no GUID),\n"
    "2 wrong usage, 3 the output cannot be written.\n"
    "Example: halyard-ole convert CY \"$1,234.5\"   prints 1234.5\n";

struct TypeName {
  const char* name;
  VARTYPE vt;
};

const TypeName kTypes[] = {{"I1", VT_I1},   {"UI1", VT_UI1},   {"I2", VT_I2},    {"UI2", VT_UI2},
                           {"I4", VT_I4},   {"UI4", VT_UI4},   {"I8", VT_I8},    {"UI8", VT_UI8},
                           {"INT", VT_INT}, {"UINT", VT_UINT}, {"R4", VT_R4},    {"R8", VT_R8},
                           {"CY", VT_CY},   {"DATE", VT_DATE}, {"BOOL", VT_BOOL}};

bool TypeOf(const char* name, VARTYPE* vt) {
  std::string upper(name);
  if (upper.rfind("VT_", 0) == 0 || upper.rfind("vt_", 0) == 0) upper = upper.substr(3);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const TypeName& t : kTypes) {
    if (upper == t.name) {
      *vt = t.vt;
      return true;
    }
  }
  return false;
}

int PrintFailure(HRESULT hr) {
  const char* what = hr == DISP_E_TYPEMISMATCH ? "the text is no value of that type"
                     : hr == DISP_E_OVERFLOW   ? "the value is out of the type's range"
                                               : "the conversion failed";
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
  return Fail(kExitFailed, std::string(what) + " (" + code + ")");
}

int Convert(int argc, char** argv) {
  if (argc != 4) return UsageError("convert needs TYPE and TEXT");
  const char* type = argv[2];
  const char* text = argv[3];
  VARTYPE vt;
  if (!TypeOf(type, &vt)) return UsageError("unknown type " + Quote(type, '\''));
  COleVariant src(text);
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = VariantChangeType(&value, &src, 0, vt);
  if (FAILED(hr)) return PrintFailure(hr);
  VARIANT back;
  VariantInit(&back);
  hr = VariantChangeType(&back, &value, VARIANT_ALPHABOOL, VT_BSTR);
  VariantClear(&value);
  if (FAILED(hr)) return PrintFailure(hr);
  std::printf("%s\n", halyard::ole::AnsiFromBstr(back.bstrVal).c_str());
  VariantClear(&back);
  return kExitOk;
}

// The shortest decimal form that reads back as the same double: two dates a second apart stay
// two numbers even near the year 9999, where the day count already takes seven digits.
std::string ExactNumber(double value) {
  char buf[64];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

int Date(int argc, char** argv) {
  if (argc != 3) return UsageError("date needs SECONDS");
  const char* seconds = argv[2];
  errno = 0;
  char* end = nullptr;
  const long long t = std::strtoll(seconds, &end, 10);
  if (errno != 0 || end == seconds || *end != '\0')
    return UsageError(Quote(seconds, '\'') + " is no number of seconds");
  // The date straight from the time, with its status: 30 December 1899 at midnight is date 0
  // and as valid as any other day (the variant form cannot tell it from a failure).
  const COleDateTime d(static_cast<time_t>(t));
  if (d.GetStatus() != COleDateTime::valid)
    return Fail(kExitFailed, std::string(seconds) + " has no OLE date");
  std::printf("%s %s\n", ExactNumber(d.m_dt).c_str(), static_cast<LPCTSTR>(d.Format()));
  return kExitOk;
}

int Guid(int argc, char** argv) {
  if (argc > 3) return UsageError("guid takes one TEXT");
  const char* text = argc == 3 ? argv[2] : nullptr;
  GUID g;
  if (text == nullptr) {
    if (FAILED(CoCreateGuid(&g))) return Fail(kExitFailed, "no random source");
  } else if (!halyard::ole::ParseGuid(text, &g)) {
    return Fail(kExitFailed, Quote(text, '\'') + " is no braced GUID");
  }
  std::printf("%s\n", halyard::ole::GuidToString(g).c_str());
  return kExitOk;
}

const Command kCommands[] = {
    {"convert", Convert},
    {"date", Date},
    {"guid", Guid},
};

}  // namespace

int main(int argc, char** argv) { return Main({"halyard-ole", kHelp, kCommands}, argc, argv); }
