// quarb-stubs: the command-line front end of the Java stub compiler. It loads a type
// library file and writes its interface stubs or class stubs, or lists its types and
// members with the type codes the stubs are made from.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "javastubs/java_types.h"
#include "platform/kernel/win_path.h"
#include "platform/ole/code_page.h"
#include "platform/ole/memory_stream.h"
#include "platform/ole/typelib.h"
#include "javastubs/property_info.h"
#include "javastubs/stub_writer.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"

namespace {

using halyard::ole::ComPtr;
using namespace halyard::tool;

const char kHelp[] =
    "usage: quarb-stubs interfaces FILE [-o OUT]\n"
    "       quarb-stubs classes FILE [-o OUT]\n"
    "       quarb-stubs dump FILE\n"
    "       quarb-stubs --help | --version\n"
    "\n"
    "Reads the type library FILE (a .tlb file, or an .ocx or .dll that carries one; FILE\\N\n"
    "takes its TYPELIB resource N) and writes Java source stubs for it.\n"
    "  interfaces  enumeration interfaces, abstract interfaces and class shells\n"
    "  classes     enumeration interfaces, abstract interfaces and implementation classes\n"
    "  dump        every type with its kind, every member with its kind, member id,\n"
    "              invoke kind, flags and type codes, and the properties the stubs get\n"
    "  -o OUT      write to the file OUT instead of standard output\n"
    "\n"
    "Imported libraries (such as stdole2.tlb) are looked for beside FILE and in the\n"
    "folders of HALYARD_TYPELIB_PATH (separated by ':').\n"
    "\n"
    "Texts in the dump are in double quotes, with C escapes and three octal digits for other\n"
    "bytes outside printable ASCII.\n"
    "\n"
    "Exit codes: 0 done, 1 FILE holds no type library the stubs can be made from, 2 bad usage,\n"
    "3 FILE cannot be read or the output cannot be written.\n";

const char* KindName(TYPEKIND k) {
  static const char* const names[] = {"enum",     "record",  "module", "interface",
                                      "dispatch", "coclass", "alias",  "union"};
  return unsigned(k) < 8 ? names[k] : "unknown";
}
const char* FuncKindName(FUNCKIND k) {
  static const char* const names[] = {"virtual", "purevirtual", "nonvirtual", "static", "dispatch"};
  return unsigned(k) < 5 ? names[k] : "unknown";
}
const char* InvokeName(INVOKEKIND k) {
  switch (k) {
    case INVOKE_FUNC:
      return "func";
    case INVOKE_PROPERTYGET:
      return "propget";
    case INVOKE_PROPERTYPUT:
      return "propput";
    case INVOKE_PROPERTYPUTREF:
      return "propputref";
  }
  return "unknown";
}
const char* VarKindName(VARKIND k) {
  static const char* const names[] = {"perinstance", "static", "const", "dispatch"};
  return unsigned(k) < 4 ? names[k] : "unknown";
}

std::string Code(TypeCode c) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "0x%04X %s", c, quarb::JavaMemberType(c).c_str());
  return buf;
}

std::string ValueText(const VARIANT* v) {
  if (!v) return "";
  char buf[64];
  switch (v->vt) {
    case VT_I2:
      std::snprintf(buf, sizeof buf, "%d", v->iVal);
      break;
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
      std::snprintf(buf, sizeof buf, "%d", int(v->lVal));
      break;
    case VT_UI4:
    case VT_UINT:
      std::snprintf(buf, sizeof buf, "%u", unsigned(v->ulVal));
      break;
    case VT_R8:
      std::snprintf(buf, sizeof buf, "%g", v->dblVal);
      break;
    case VT_BSTR:
      return Quote(halyard::ole::AnsiFromBstr(v->bstrVal));
    default:
      std::snprintf(buf, sizeof buf, "(vt %d)", v->vt);
      break;
  }
  return buf;
}

void DumpType(FILE* out, ITypeLib* lib, UINT index) {
  TYPEKIND kind;
  BSTR bstr = nullptr;
  lib->GetTypeInfoType(index, &kind);
  lib->GetDocumentation(INT(index), &bstr, nullptr, nullptr, nullptr);
  std::string name = quarb::TakeAnsi(bstr);
  ComPtr<ITypeInfo> info;
  TYPEATTR* attr = nullptr;
  if (FAILED(lib->GetTypeInfo(index, info.Put())) || FAILED(info->GetTypeAttr(&attr))) {
    std::fprintf(out, "type %u %s %s: cannot be read\n", index, KindName(kind), name.c_str());
    return;
  }
  std::fprintf(out, "type %u %s %s %s flags 0x%X\n", index, KindName(kind), name.c_str(),
               halyard::ole::GuidToString(attr->guid).c_str(), attr->wTypeFlags);
  for (UINT i = 0; i < attr->cImplTypes; ++i) {
    HREFTYPE href = 0;
    INT flags = 0;
    ComPtr<ITypeInfo> ref;
    std::string refName = "(unresolved)";
    info->GetImplTypeFlags(i, &flags);
    if (SUCCEEDED(info->GetRefTypeOfImplType(i, &href)) &&
        SUCCEEDED(info->GetRefTypeInfo(href, ref.Put())))
      quarb::TypeName(ref.Get(), &refName);
    std::fprintf(out, "  %s %s flags 0x%X\n", kind == TKIND_COCLASS ? "implements" : "inherits",
                 refName.c_str(), unsigned(flags));
  }
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(info->GetFuncDesc(i, &f))) continue;
    std::vector<BSTR> names(std::size_t(f->cParams) + 1, nullptr);
    UINT got = 0;
    info->GetNames(f->memid, names.data(), UINT(names.size()), &got);
    std::string fname = got ? halyard::ole::AnsiFromBstr(names[0]) : "";
    std::fprintf(out, "  func %s: kind %s, memid %d, invoke %s, flags 0x%X, result %s\n",
                 fname.c_str(), FuncKindName(f->funckind), int(f->memid), InvokeName(f->invkind),
                 f->wFuncFlags,
                 Code(quarb::MemberTypeCode(info.Get(), f->elemdescFunc.tdesc)).c_str());
    for (SHORT p = 0; p < f->cParams; ++p) {
      std::string pname = UINT(p) + 1 < got ? halyard::ole::AnsiFromBstr(names[p + 1]) : "";
      std::fprintf(out, "    param %s: flags 0x%X, type %s\n",
                   pname.empty() ? "(unnamed)" : pname.c_str(),
                   f->lprgelemdescParam[p].paramdesc.wParamFlags,
                   Code(quarb::MemberTypeCode(info.Get(), f->lprgelemdescParam[p].tdesc)).c_str());
    }
    for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
    info->ReleaseFuncDesc(f);
  }
  for (UINT i = 0; i < attr->cVars; ++i) {
    VARDESC* v = nullptr;
    if (FAILED(info->GetVarDesc(i, &v))) continue;
    BSTR vname = nullptr;
    info->GetDocumentation(v->memid, &vname, nullptr, nullptr, nullptr);
    std::fprintf(out, "  var %s: kind %s, memid %d, flags 0x%X, type %s",
                 quarb::TakeAnsi(vname).c_str(), VarKindName(v->varkind), int(v->memid),
                 v->wVarFlags,
                 Code(quarb::MemberTypeCode(info.Get(), v->elemdescVar.tdesc)).c_str());
    if (v->varkind == VAR_CONST) std::fprintf(out, ", value %s", ValueText(v->lpvarValue).c_str());
    std::fprintf(out, "\n");
    info->ReleaseVarDesc(v);
  }
  if (kind == TKIND_INTERFACE || kind == TKIND_DISPATCH) {
    quarb::PropertyList props;
    quarb::CollectProperties(info.Get(), &props);
    for (const PropertyInfo& p : props.properties)
      std::fprintf(out, "  property %s: flags 0x%X, memid %d, type 0x%04X %s\n", p.name.c_str(),
                   unsigned(p.flags), int(p.memid), p.type,
                   quarb::JavaPropertyType(p.type, p.flags, props.interfaces).c_str());
  }
  info->ReleaseTypeAttr(attr);
}

int Dump(ITypeLib* lib) {
  BSTR name = nullptr, doc = nullptr;
  lib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
  TLIBATTR* attr = nullptr;
  lib->GetLibAttr(&attr);
  std::printf("library %s %s version %u.%u lcid 0x%X %s\n", quarb::TakeAnsi(name).c_str(),
              halyard::ole::GuidToString(attr->guid).c_str(), attr->wMajorVerNum,
              attr->wMinorVerNum, unsigned(attr->lcid), Quote(quarb::TakeAnsi(doc)).c_str());
  lib->ReleaseTLibAttr(attr);
  UINT count = lib->GetTypeInfoCount();
  for (UINT i = 0; i < count; ++i) DumpType(stdout, lib, i);
  return kExitOk;
}

// Whether FILE, or the file of "FILE\N" (a resource number after the last separator), can be
// opened for reading; the system's reason when not. A load failure of a readable file is a
// file that holds no usable type library.
int ReadError(const std::string& file) {
  const std::string host = halyard::MapWinPath(file);
  std::ifstream whole(host, std::ios::binary);
  if (whole) return 0;
  const int err = errno != 0 ? errno : ENOENT;
  const std::size_t cut = host.find_last_of('/');
  if (cut != std::string::npos && cut + 1 < host.size() &&
      host.find_first_not_of("0123456789", cut + 1) == std::string::npos) {
    std::ifstream container(host.substr(0, cut), std::ios::binary);
    if (container) return 0;
  }
  return err;
}

// Reads FILE and the options after it; the library is loaded when the command line is sound.
int Load(int argc, char** argv, bool takesOutput, ComPtr<ITypeLib>* lib, std::string* outPath) {
  if (argc < 3) return UsageError(std::string(argv[1]) + " needs a FILE");
  const std::string file = argv[2];
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc && takesOutput)
      *outPath = argv[++i];
    else
      return UsageError("unexpected argument " + Quote(argv[i], '\''));
  }
  std::u16string wide = halyard::ole::AnsiToWide(file);
  ITypeLib* raw = nullptr;
  HRESULT hr = LoadTypeLib(wide.c_str(), &raw);
  if (FAILED(hr)) {
    if (int err = ReadError(file)) return CannotRead(file, err);
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", unsigned(hr));
    return Fail(kExitFailed, "cannot load type library " + file + " (" + code + ")");
  }
  *lib = ComPtr<ITypeLib>::Attach(raw);
  return kExitOk;
}

int DumpCommand(int argc, char** argv) {
  ComPtr<ITypeLib> lib;
  std::string outPath;
  if (int rc = Load(argc, argv, false, &lib, &outPath)) return rc;
  return Dump(lib.Get());
}

// The stubs are made in memory first, so that a library the writers stop on leaves OUT as it
// was; then they go to OUT or standard output, and a write that fails is reported.
int WriteStubs(int argc, char** argv) {
  ComPtr<ITypeLib> lib;
  std::string outPath;
  if (int rc = Load(argc, argv, true, &lib, &outPath)) return rc;
  auto* memory = new halyard::ole::MemoryStream();
  ComPtr<IStream> stream = ComPtr<IStream>::Attach(memory);
  HRESULT hr = std::strcmp(argv[1], "interfaces") == 0
                   ? quarb::WriteInterfaceStubs(lib.Get(), stream.Get())
                   : quarb::WriteClassStubs(lib.Get(), stream.Get());
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", unsigned(hr));
    return Fail(kExitFailed, std::string("the stubs cannot be made (") + code + ")");
  }
  const std::vector<BYTE>& bytes = memory->Bytes();
  if (outPath.empty())
    return WriteOutput(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  // OUT is a Windows path, mapped as every path of the components is.
  const std::string host = halyard::MapWinPath(outPath);
  std::FILE* out = host.empty() ? nullptr : std::fopen(host.c_str(), "wb");
  if (out == nullptr) return CannotWrite(outPath, host.empty() ? ENOENT : errno);
  errno = 0;
  bool done = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  done = std::fflush(out) == 0 && done;
  int err = errno;
  if (std::fclose(out) != 0 && done) {
    done = false;
    err = errno;
  }
  if (!done) return CannotWrite(outPath, err != 0 ? err : EIO);
  return kExitOk;
}

const Command kCommands[] = {
    {"interfaces", WriteStubs},
    {"classes", WriteStubs},
    {"dump", DumpCommand},
};

}  // namespace

int main(int argc, char** argv) { return Main({"quarb-stubs", kHelp, kCommands}, argc, argv); }
