// quarb-stubs: the command-line front end of the Java stub compiler. It loads a type
// library file and writes its interface stubs or class stubs, lists its run-time classes,
// scans it, or lists its types and members with the type codes the stubs are made from. It
// drives the compiler the way the design tool does, through IStubCompiler: created through
// COM by ProgID when the compiler is registered, else the compiler linked into the tool.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "javastubs/java_types.h"
#include "javastubs/property_info.h"
#include "javastubs/quarb_compiler.h"
#include "javastubs/run_time_collection.h"
#include "platform/kernel/file_system.h"
#include "platform/kernel/win_module.h"
#include "platform/kernel/win_path.h"
#include "platform/ole/bstr.h"
#include "platform/ole/code_page.h"
#include "platform/ole/com_runtime.h"
#include "platform/ole/memory_stream.h"
#include "platform/ole/typelib.h"
#include "tools/common/quote.h"
#include "tools/common/tool_main.h"

namespace {

using halyard::ole::ComPtr;
using namespace halyard::tool;

const char kHelp[] =
    "usage: quarb-stubs interfaces FILE [-o OUT]\n"
    "       quarb-stubs classes FILE [-o OUT]\n"
    "       quarb-stubs runtime FILE [-o OUT]\n"
    "       quarb-stubs scan FILE\n"
    "       quarb-stubs dump FILE\n"
    "       quarb-stubs register [LIBRARY]\n"
    "       quarb-stubs --help | --version\n"
    "\n"
    "Reads the type library FILE (a .tlb file, or an .ocx or .dll that carries one; FILE\\N\n"
    "takes its TYPELIB resource N) and writes Java source stubs for it.\n"
    "  interfaces  enumeration interfaces, abstract interfaces and class shells\n"
    "  classes     enumeration interfaces, abstract interfaces and implementation classes\n"
    "  runtime     the run-time classes with their interfaces, then every run-time\n"
    "              interface with each member's name, identifier and signature\n"
    "  scan        loads FILE as the compiler's ScanTypeLibraryFile does and prints its\n"
    "              result\n"
    "  dump        every type with its kind, every member with its kind, member id,\n"
    "              invoke kind, flags and type codes, and the properties the stubs get\n"
    "  register    registers the compiler's library (by default the QuarbCompiler library\n"
    "              beside the tool) through its DllRegisterServer in HALYARD_REGISTRY\n"
    "  -o OUT      write to the file OUT instead of standard output; OUT is left as it\n"
    "              was when it cannot take the whole text\n"
    "\n"
    "interfaces, classes, runtime and scan create the compiler through COM by its ProgID\n"
    "QuarbCompiler.Compiler.1 when it is registered, else use the compiler built into the\n"
    "tool.\n"
    "\n"
    "Imported libraries (such as stdole2.tlb) are looked for beside FILE and in the\n"
    "folders of HALYARD_TYPELIB_PATH (separated by ':').\n"
    "\n"
    "Texts in the dump are in double quotes, with C escapes and three octal digits for other\n"
    "bytes outside printable ASCII.\n"
    "\n"
    "Exit codes: 0 done, 1 FILE holds no type library the stubs can be made from (or the\n"
    "scan or the registration failed), 2 bad usage, 3 FILE cannot be read or the output\n"
    "cannot be written.\n";

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

std::string HexCode(HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", unsigned(hr));
  return code;
}

// The compiler as the design tool gets it: through COM when its ProgID is registered, else
// the one built into the tool. A registration that names a compiler that cannot be created is
// an error, not a reason to quietly use another compiler.
HRESULT NewCompiler(ComPtr<IStubCompiler>* compiler) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(u"QuarbCompiler.Compiler.1", &clsid))) {
    *compiler = ComPtr<IStubCompiler>::Attach(QuarbCompiler::Create());
    return S_OK;
  }
  IStubCompiler* p = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IStubCompiler,
                                reinterpret_cast<void**>(&p));
  if (SUCCEEDED(hr) && p == nullptr) hr = E_NOINTERFACE;
  if (SUCCEEDED(hr)) *compiler = ComPtr<IStubCompiler>::Attach(p);
  return hr;
}

int CannotCreate(HRESULT hr) {
  return Fail(kExitFailed, std::string("the registered ") + kQuarbCompilerProgID +
                               " cannot be created (" + HexCode(hr) + ")");
}

// Text for standard output or OUT. A regular file (or a new one) is replaced in one step, so
// a file that cannot take the whole text stays as it was and no cut-off copy is left; other
// kinds of OUT (devices, pipes) are written in place.
int Deliver(const std::string& outPath, std::string_view text) {
  if (outPath.empty()) return WriteOutput(text);
  // OUT is a Windows path, mapped as every path of the components is.
  const std::string host = halyard::MapWinPath(outPath);
  if (host.empty()) return CannotWrite(outPath, ENOENT);
  struct stat st;
  if (stat(host.c_str(), &st) != 0 || S_ISREG(st.st_mode)) {
    const int err = halyard::ReplaceFileContents(host, text, false);
    return err == 0 ? kExitOk : CannotWrite(outPath, err);
  }
  std::FILE* out = std::fopen(host.c_str(), "wb");
  if (out == nullptr) return CannotWrite(outPath, errno);
  errno = 0;
  bool done = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  done = std::fflush(out) == 0 && done;
  int err = errno;
  if (std::fclose(out) != 0 && done) {
    done = false;
    err = errno;
  }
  if (!done) return CannotWrite(outPath, err != 0 ? err : EIO);
  return kExitOk;
}

// The stubs are made in memory first, so that a library the writers stop on leaves OUT as it
// was; then they go to OUT or standard output, and a write that fails is reported.
int WriteStubs(int argc, char** argv) {
  ComPtr<ITypeLib> lib;
  std::string outPath;
  if (int rc = Load(argc, argv, true, &lib, &outPath)) return rc;
  auto* memory = new halyard::ole::MemoryStream();
  ComPtr<IStream> stream = ComPtr<IStream>::Attach(memory);
  ComPtr<IStubCompiler> compiler;
  if (HRESULT hr = NewCompiler(&compiler); FAILED(hr)) return CannotCreate(hr);
  HRESULT hr = std::strcmp(argv[1], "interfaces") == 0
                   ? compiler->WriteInterfaceStubs(lib.Get(), stream.Get())
                   : compiler->WriteClassStubs(lib.Get(), stream.Get());
  if (FAILED(hr)) return Fail(kExitFailed, "the stubs cannot be made (" + HexCode(hr) + ")");
  const std::vector<BYTE>& bytes = memory->Bytes();
  return Deliver(outPath,
                 std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string SignatureText(const WORD* codes, UINT length) {
  std::string text = "(";
  for (UINT i = 0; i < length; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "%s0x%04X", i ? " " : "", codes[i]);
    text += code;
  }
  return text + ")";
}

// One member as the collection answers for its name.
std::string MemberLine(IRunTimeInterface* iface, const std::string& name) {
  std::u16string wide = halyard::ole::AnsiToWide(name);
  DWORD id = 0;
  WORD codes[64];
  UINT length = 64;
  HRESULT hr = iface->FindMember(wide.c_str(), &id, codes, &length);
  char head[32];
  if (FAILED(hr)) return "  " + Quote(name) + " not found (" + HexCode(hr) + ")\n";
  std::snprintf(head, sizeof head, "  0x%08X ", unsigned(id));
  return head + Quote(name) + " " + SignatureText(codes, length) + "\n";
}

// The collection comes from the compiler; the names of the members, which its interfaces
// look up but do not list, from the same builder run in the tool.
int RunTime(int argc, char** argv) {
  ComPtr<ITypeLib> lib;
  std::string outPath;
  if (int rc = Load(argc, argv, true, &lib, &outPath)) return rc;
  ComPtr<IStubCompiler> compiler;
  if (HRESULT hr = NewCompiler(&compiler); FAILED(hr)) return CannotCreate(hr);
  IRunTimeClassCollection* raw = nullptr;
  HRESULT hr = compiler->CreateRunTimeClasses(lib.Get(), &raw);
  if (FAILED(hr) || raw == nullptr)
    return Fail(kExitFailed, "the run-time classes cannot be made (" + HexCode(hr) + ")");
  ComPtr<IRunTimeClassCollection> collection = ComPtr<IRunTimeClassCollection>::Attach(raw);
  ComPtr<quarb::RunTimeCollection> names =
      ComPtr<quarb::RunTimeCollection>::Attach(quarb::BuildRunTimeCollection(lib.Get()));

  std::string text;
  std::map<std::string, ComPtr<IRunTimeInterface>> reached;
  LONG count = 0;
  collection->GetCount(&count);
  for (LONG i = 0; i < count; ++i) {
    IRunTimeClass* cls = nullptr;
    BSTR name = nullptr;
    if (FAILED(collection->GetClass(i, &cls)) || FAILED(cls->GetName(&name))) continue;
    ComPtr<IRunTimeClass> held = ComPtr<IRunTimeClass>::Attach(cls);
    text += "class " + Quote(quarb::TakeAnsi(name)) + "\n";
    for (const auto& iface : names->Interfaces()) {
      std::u16string wide = halyard::ole::AnsiToWide(iface->Name());
      IRunTimeInterface* found = nullptr;
      if (cls->GetInterface(wide.c_str(), &found) != S_OK) continue;
      text += "  interface " + Quote(iface->Name()) + "\n";
      reached.emplace(iface->Name(), ComPtr<IRunTimeInterface>::Attach(found));
    }
  }
  for (const auto& iface : names->Interfaces()) {
    text += "interface " + Quote(iface->Name()) + "\n";
    auto it = reached.find(iface->Name());
    IRunTimeInterface* lookup = it != reached.end() ? it->second.Get() : iface.Get();
    for (const quarb::AccessorEntry& e : iface->Accessors()) text += MemberLine(lookup, e.name);
    for (const quarb::MethodEntry& e : iface->Methods()) text += MemberLine(lookup, e.name);
  }
  return Deliver(outPath, text);
}

int Scan(int argc, char** argv) {
  if (argc != 3) return UsageError(argc < 3 ? "scan needs a FILE" : "scan takes one FILE");
  const std::string file = argv[2];
  std::u16string wide = halyard::ole::AnsiToWide(file);
  ComPtr<IStubCompiler> compiler;
  if (HRESULT hr = NewCompiler(&compiler); FAILED(hr)) return CannotCreate(hr);
  const HRESULT hr = compiler->ScanTypeLibraryFile(wide.c_str());
  if (int rc = WriteOutput(hr == S_OK ? "S_OK\n" : HexCode(hr) + "\n")) return rc;
  if (SUCCEEDED(hr)) return kExitOk;
  if (int err = ReadError(file)) return CannotRead(file, err);
  return Fail(kExitFailed, "cannot load type library " + file + " (" + HexCode(hr) + ")");
}

int Register(int argc, char** argv) {
  if (argc > 3) return UsageError("register takes at most one LIBRARY");
  const std::string library = argc == 3 ? argv[2] : "QuarbCompiler.dll";
  HMODULE module = LoadLibraryA(library.c_str());
  if (module == nullptr) return Fail(kExitFailed, "cannot load the library " + library);
  auto reg = halyard::ProcAs<HRESULT (*)()>(GetProcAddress(module, "DllRegisterServer"));
  const HRESULT hr = reg != nullptr ? reg() : HRESULT(E_NOINTERFACE);
  char path[4096];
  const DWORD n = GetModuleFileNameA(module, path, sizeof path);
  const std::string where =
      n > 0 && n < sizeof path ? halyard::MapWinPath(std::string(path, n)) : library;
  FreeLibrary(module);
  if (reg == nullptr) return Fail(kExitFailed, where + " has no DllRegisterServer");
  if (FAILED(hr))
    return Fail(kExitFailed, "registering " + where + " failed (" + HexCode(hr) + ")");
  return WriteOutput("registered " + Quote(where) + "\n");
}

const Command kCommands[] = {
    {"interfaces", WriteStubs}, {"classes", WriteStubs}, {"runtime", RunTime}, {"scan", Scan},
    {"dump", DumpCommand},      {"register", Register},
};

}  // namespace

int main(int argc, char** argv) { return Main({"quarb-stubs", kHelp, kCommands}, argc, argv); }
