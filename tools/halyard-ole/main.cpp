// halyard-ole: the automation value conversions from the command line, as the components
// meet them: a text converted to a variant type and written back as automation writes it, a
// time_t as the OLE date of its local time, and GUIDs checked or made.
// Exit codes: 0 done, 1 the value does not convert (or is no GUID), 2 wrong usage.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ole/colevariant.h"
#include "ole/guid.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kHelp[] =
    "Usage: halyard-ole VERB ARGUMENTS\n"
    "Converts OLE Automation values the way the Halyard components do.\n"
    "\n"
    "  halyard-ole convert TYPE TEXT\n"
    "      Converts TEXT to the variant type TYPE (I1, UI1, I2, UI2, I4, UI4, I8, UI8, INT,\n"
    "      UINT, R4, R8, CY, DATE, BOOL) and prints the result as text again.\n"
    "  halyard-ole date SECONDS\n"
    "      Prints the OLE date (days since 30 December 1899) of a time_t in local time\n"
    "      (TZ applies) and its text.\n"
    "  halyard-ole guid [TEXT]\n"
    "      Checks a braced GUID and prints it in upper case, or prints a new one.\n"
    "  halyard-ole --help\n"
    "\n"
    "Exit codes: 0 done, 1 the value does not convert, 2 wrong usage.\n"
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

void PrintFailure(HRESULT hr) {
  const char* what = hr == DISP_E_TYPEMISMATCH ? "the text is no value of that type"
                     : hr == DISP_E_OVERFLOW   ? "the value is out of the type's range"
                                               : "the conversion failed";
  std::fprintf(stderr, "halyard-ole: %s (0x%08X)\n", what, static_cast<unsigned>(hr));
}

int Convert(const char* type, const char* text) {
  VARTYPE vt;
  if (!TypeOf(type, &vt)) {
    std::fprintf(stderr, "halyard-ole: unknown type %s\n", type);
    return kUsage;
  }
  COleVariant src(text);
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = VariantChangeType(&value, &src, 0, vt);
  if (FAILED(hr)) {
    PrintFailure(hr);
    return kFailed;
  }
  VARIANT back;
  VariantInit(&back);
  hr = VariantChangeType(&back, &value, VARIANT_ALPHABOOL, VT_BSTR);
  VariantClear(&value);
  if (FAILED(hr)) {
    PrintFailure(hr);
    return kFailed;
  }
  std::printf("%s\n", halyard::ole::AnsiFromBstr(back.bstrVal).c_str());
  VariantClear(&back);
  return kOk;
}

int Date(const char* seconds) {
  errno = 0;
  char* end = nullptr;
  const long long t = std::strtoll(seconds, &end, 10);
  if (errno != 0 || end == seconds || *end != '\0') {
    std::fprintf(stderr, "halyard-ole: %s is no number of seconds\n", seconds);
    return kUsage;
  }
  COleVariant v(static_cast<long>(t), VT_DATE);
  const COleDateTime d(static_cast<const VARIANT&>(v));
  if (d.GetStatus() != COleDateTime::valid || v.date == 0) {
    std::fprintf(stderr, "halyard-ole: %s has no OLE date\n", seconds);
    return kFailed;
  }
  std::printf("%.10g %s\n", v.date, static_cast<LPCTSTR>(d.Format()));
  return kOk;
}

int Guid(const char* text) {
  GUID g;
  if (text == nullptr) {
    if (FAILED(CoCreateGuid(&g))) {
      std::fprintf(stderr, "halyard-ole: no random source\n");
      return kFailed;
    }
  } else if (!halyard::ole::ParseGuid(text, &g)) {
    std::fprintf(stderr, "halyard-ole: %s is no braced GUID\n", text);
    return kFailed;
  }
  std::printf("%s\n", halyard::ole::GuidToString(g).c_str());
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
                    std::strcmp(argv[1], "/?") == 0)) {
    std::fputs(kHelp, stdout);
    return kOk;
  }
  if (argc == 4 && std::strcmp(argv[1], "convert") == 0) return Convert(argv[2], argv[3]);
  if (argc == 3 && std::strcmp(argv[1], "date") == 0) return Date(argv[2]);
  if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "guid") == 0) {
    return Guid(argc == 3 ? argv[2] : nullptr);
  }
  std::fputs(kHelp, stderr);
  return kUsage;
}
