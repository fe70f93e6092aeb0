// The compiler as the design tool meets it: the built shared library, registered into a
// temporary registry and created through COM by ProgID and by class identifier, then driven
// through IStubCompiler. Nothing of the library is linked in; the program sees only its three
// exported entry points and the interface header.
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "automation_object.h"
#include "expected_stubs.h"
#include "javastubs/stub_compiler.h"
#include "platform/ole/code_page.h"
#include "platform/ole/com_runtime.h"
#include "platform/ole/guid.h"
#include "platform/ole/memory_stream.h"
#include "registry_support.h"

namespace quarb::test {
namespace {

using halyard::ole::ComPtr;

const std::string kLibrary = QUARB_LIBRARY;

std::string Fixture(const std::string& name) {
  return std::string(HALYARD_SOURCE_DIR) + "/platform/ole/testing/data/" + name;
}

ComPtr<ITypeLib> Load(const std::string& name) {
  ITypeLib* lib = nullptr;
  std::u16string path = halyard::ole::AnsiToWide(Fixture(name));
  EXPECT_EQ(LoadTypeLib(path.c_str(), &lib), S_OK) << name;
  return ComPtr<ITypeLib>::Attach(lib);
}

bool LibraryLoaded() {
  void* handle = dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

// DllCanUnloadNow of the loaded library, asked as the COM library asks it.
HRESULT CanUnloadNow() {
  void* handle = dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return E_UNEXPECTED;
  auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(handle, "DllCanUnloadNow"));
  HRESULT hr = fn ? fn() : E_UNEXPECTED;
  dlclose(handle);
  return hr;
}

// Registers the library the way an installer does: in a process of its own that loads it,
// calls DllRegisterServer and ends. The answer is the child's exit status (0 for S_OK).
int RegisterInAnotherProcess() {
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    void* handle = dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) _exit(3);
    auto reg = reinterpret_cast<HRESULT (*)()>(dlsym(handle, "DllRegisterServer"));
    _exit(reg == nullptr ? 4 : reg() == S_OK ? 0 : 5);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

template <typename Op>
std::string Written(Op op) {
  auto* stream = new halyard::ole::MemoryStream();
  EXPECT_EQ(op(stream), S_OK);
  std::string text(stream->Bytes().begin(), stream->Bytes().end());
  stream->Release();
  return text;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(LibraryLoaded()) << "an earlier test left the library loaded";
    ASSERT_EQ(RegisterInAnotherProcess(), 0);
  }
  void TearDown() override { CoFreeUnusedLibraries(); }

  ComPtr<IStubCompiler> Create(REFCLSID clsid) {
    IStubCompiler* p = nullptr;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IStubCompiler,
                               reinterpret_cast<void**>(&p)),
              S_OK);
    return ComPtr<IStubCompiler>::Attach(p);
  }

  TempRegistry registry_;
};

TEST(HostLibrary, ExportsExactlyTheThreeEntryPoints) {
  std::set<std::string> exported;
  FILE* pipe = popen(("nm -D --defined-only --format=posix '" + kLibrary + "'").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[4096];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream fields(line);
    std::string name;
    fields >> name;
    exported.insert(name);
  }
  ASSERT_EQ(pclose(pipe), 0) << "nm could not read the library";
  EXPECT_EQ(exported,
            (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer"}));
}

TEST_F(HostTest, RegisteredElsewhereThenCreatedByProgIdAndByClassId) {
  ExpectRegistration(std::filesystem::canonical(kLibrary).string());
  EXPECT_FALSE(LibraryLoaded());

  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"QuarbCompiler.Compiler.1", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_QuarbCompiler));
  ComPtr<IStubCompiler> byProgId = Create(clsid);
  ASSERT_TRUE(byProgId);
  EXPECT_TRUE(LibraryLoaded());
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  EXPECT_EQ(Written([&](IStream* s) { return byProgId->WriteInterfaceStubs(lib.Get(), s); }),
            Expected(false));
  EXPECT_EQ(Written([&](IStream* s) { return byProgId->WriteClassStubs(lib.Get(), s); }),
            Expected(true));

  // By class identifier, asking for the automation side first (held by its IUnknown part).
  IUnknown* dispatch = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_QuarbCompiler, nullptr, CLSCTX_ALL, IID_IDispatch,
                             reinterpret_cast<void**>(&dispatch)),
            S_OK);
  IUnknown* byDispatchId = nullptr;
  ASSERT_EQ(dispatch->QueryInterface(CLSID_QuarbCompiler, reinterpret_cast<void**>(&byDispatchId)),
            S_OK);
  EXPECT_EQ(byDispatchId, dispatch);
  byDispatchId->Release();
  ComPtr<IStubCompiler> byClassId;
  ASSERT_EQ(dispatch->QueryInterface(IID_IStubCompiler, reinterpret_cast<void**>(byClassId.Put())),
            S_OK);
  dispatch->Release();
  ComPtr<ITypeLib> empty = Load("empty.tlb");
  EXPECT_EQ(Written([&](IStream* s) { return byClassId->WriteInterfaceStubs(empty.Get(), s); }),
            "");
  EXPECT_EQ(Written([&](IStream* s) { return byClassId->WriteClassStubs(empty.Get(), s); }), "");
  EXPECT_EQ(Written([&](IStream* s) { return byClassId->WriteClassStubs(lib.Get(), s); }),
            Expected(true));
}

TEST_F(HostTest, CallersBindingBySlotReachTheFourOperationsInOrder) {
  ComPtr<IStubCompiler> compiler = Create(CLSID_QuarbCompiler);
  ASSERT_TRUE(compiler);
  // A caller compiled against nothing but the slot numbers: 0 to 2 are IUnknown's, then
  // WriteInterfaceStubs, CreateRunTimeClasses, ScanTypeLibraryFile, WriteClassStubs.
  IStubCompiler* object = compiler.Get();
  void* const* slots = *reinterpret_cast<void* const* const*>(object);
  using WriteFn = HRESULT (*)(IStubCompiler*, ITypeLib*, IStream*);
  using CreateFn = HRESULT (*)(IStubCompiler*, ITypeLib*, void**);
  using ScanFn = HRESULT (*)(IStubCompiler*, LPCOLESTR);
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  EXPECT_EQ(Written([&](IStream* s) {
              return reinterpret_cast<WriteFn>(slots[3])(object, lib.Get(), s);
            }),
            Expected(false));
  void* collection = &collection;
  ASSERT_EQ(reinterpret_cast<CreateFn>(slots[4])(object, lib.Get(), &collection), S_OK);
  ASSERT_NE(collection, nullptr);
  static_cast<IUnknown*>(collection)->Release();
  std::u16string missing = halyard::ole::AnsiToWide(registry_.Dir() + "/none.tlb");
  EXPECT_EQ(reinterpret_cast<ScanFn>(slots[5])(object, missing.c_str()), TYPE_E_CANTLOADLIBRARY);
  std::u16string present = halyard::ole::AnsiToWide(Fixture("gadgets.ocx"));
  EXPECT_EQ(reinterpret_cast<ScanFn>(slots[5])(object, present.c_str()), S_OK);
  EXPECT_EQ(Written([&](IStream* s) {
              return reinterpret_cast<WriteFn>(slots[6])(object, lib.Get(), s);
            }),
            Expected(true));
}

TEST_F(HostTest, LibraryUnloadsOnlyAfterTheLastReleaseAndTheLastUnlock) {
  ComPtr<IStubCompiler> compiler = Create(CLSID_QuarbCompiler);
  ASSERT_TRUE(compiler);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  CoFreeUnusedLibraries();
  ASSERT_TRUE(LibraryLoaded());
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  EXPECT_EQ(Written([&](IStream* s) { return compiler->WriteInterfaceStubs(lib.Get(), s); }),
            Expected(false));
  compiler.Reset();
  EXPECT_EQ(CanUnloadNow(), S_OK);
  CoFreeUnusedLibraries();
  EXPECT_FALSE(LibraryLoaded());

  // A factory lock keeps it too, without any object.
  IClassFactory* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_QuarbCompiler, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(CanUnloadNow(), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  CoFreeUnusedLibraries();
  ASSERT_TRUE(LibraryLoaded());
  ASSERT_EQ(CoGetClassObject(CLSID_QuarbCompiler, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  factory->Release();
  EXPECT_EQ(CanUnloadNow(), S_OK);
  CoFreeUnusedLibraries();
  EXPECT_FALSE(LibraryLoaded());
}

TEST_F(HostTest, TheRunTimeCollectionCallsAControlFromProgIdToInvokeMember) {
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(u"QuarbCompiler.Compiler.1", &clsid), S_OK);
  ComPtr<IStubCompiler> compiler = Create(clsid);
  ASSERT_TRUE(compiler);
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  IRunTimeClassCollection* collection = nullptr;
  ASSERT_EQ(compiler->CreateRunTimeClasses(lib.Get(), &collection), S_OK);
  compiler.Reset();
  LONG count = 0;
  ASSERT_EQ(collection->GetCount(&count), S_OK);
  ASSERT_EQ(count, 1);
  BSTR name = nullptr;
  ASSERT_EQ(collection->GetClassName(0, &name), S_OK);
  EXPECT_EQ(std::u16string(name), u"Gadget");
  SysFreeString(name);
  IRunTimeClass* cls = nullptr;
  ASSERT_EQ(collection->GetClass(0, &cls), S_OK);
  IRunTimeInterface* caption = nullptr;
  ASSERT_EQ(cls->GetInterface(u"ICaption", &caption), S_OK);
  cls->Release();

  // The collection alone keeps the library loaded now that the compiler is gone.
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  collection->Release();
  EXPECT_EQ(CanUnloadNow(), S_FALSE);

  DWORD set = 0, get = 0, refresh = 0;
  WORD signature[4];
  UINT length = 4;
  ASSERT_EQ(caption->FindMember(u"setCaption(Ljava/lang/String;)V", &set, signature, &length),
            S_OK);
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(signature[1], VT_BSTR);
  length = 4;
  ASSERT_EQ(caption->FindMember(u"getCaption()Ljava/lang/String;", &get, signature, &length), S_OK);
  length = 4;
  ASSERT_EQ(caption->FindMember(u"Refresh()V", &refresh, signature, &length), S_OK);
  EXPECT_EQ(refresh, 0xF0000000u);
  EXPECT_EQ(caption->FindMember(u"Missing()V", &refresh, signature, &length), E_FAIL);

  AutomationObject control;
  VARIANT text = MakeText("Hello");
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(caption->InvokeMember(&control, set, &result, 0, 1, &text), S_OK);
  ASSERT_EQ(caption->InvokeMember(&control, get, &result, 0, 0, nullptr), S_OK);
  EXPECT_EQ(TextOf(result), "Hello");
  VariantClear(&result);
  ASSERT_EQ(caption->InvokeMember(&control, refresh, &result, 0, 0, nullptr), S_OK);
  ASSERT_EQ(control.calls.size(), 3u);
  EXPECT_EQ(control.calls[2].memid, 2);
  EXPECT_EQ(control.calls[2].flags, DISPATCH_METHOD);

  caption->Release();
  EXPECT_EQ(CanUnloadNow(), S_OK);
  CoFreeUnusedLibraries();
  EXPECT_FALSE(LibraryLoaded());
}

// The Gadget class of gadgets.tlb as a control of its own, registered as controls are.
const CLSID kGadget = {
    0x5A0B1008, 0x7C1E, 0x4D2A, {0x9F, 0x31, 0x0C, 0x6E, 0x2B, 0x7D, 0x4A, 0x10}};

void RegisterControl() {
  const std::string key = "CLSID\\" + halyard::ole::GuidToString(kGadget) + "\\InprocServer32";
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &h, nullptr),
            ERROR_SUCCESS);
  const std::string path = QUARB_CONTROL;
  ASSERT_EQ(RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                           DWORD(path.size() + 1)),
            ERROR_SUCCESS);
  RegCloseKey(h);
}

// A member of iface by its Java name, as a host finds it.
DWORD MemberId(IRunTimeInterface* iface, const char16_t* name) {
  DWORD id = 0xFFFFFFFF;
  WORD signature[16];
  UINT length = 16;
  EXPECT_EQ(iface->FindMember(name, &id, signature, &length), S_OK)
      << halyard::ole::WideToAnsi(name);
  return id;
}

TEST_F(HostTest, RunTimeInterfacesCallARegisteredControlEndToEnd) {
  RegisterControl();
  IDispatch* control = nullptr;
  ASSERT_EQ(CoCreateInstance(kGadget, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(&control)),
            S_OK);
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(u"QuarbCompiler.Compiler.1", &clsid), S_OK);
  ComPtr<IStubCompiler> compiler = Create(clsid);
  ASSERT_TRUE(compiler);
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  IRunTimeClassCollection* collection = nullptr;
  ASSERT_EQ(compiler->CreateRunTimeClasses(lib.Get(), &collection), S_OK);
  IRunTimeClass* cls = nullptr;
  ASSERT_EQ(collection->GetClass(0, &cls), S_OK);
  collection->Release();
  IRunTimeInterface* gadget = nullptr;
  IRunTimeInterface* caption = nullptr;
  ASSERT_EQ(cls->GetInterface(u"*", &gadget), S_OK);
  ASSERT_EQ(cls->GetInterface(u"ICaption", &caption), S_OK);
  cls->Release();

  VARIANT result;
  VariantInit(&result);
  auto call = [&](IRunTimeInterface* iface, const char16_t* name, std::vector<VARIANT> params) {
    return iface->InvokeMember(control, MemberId(iface, name), &result, 0, UINT(params.size()),
                               params.data());
  };
  // Strings: put as single-byte text, got back as the property's type.
  ASSERT_EQ(call(caption, u"setCaption(Ljava/lang/String;)V", {MakeText("Gr\xFC\xDF")}), S_OK);
  ASSERT_EQ(call(caption, u"getCaption()Ljava/lang/String;", {}), S_OK);
  EXPECT_EQ(TextOf(result), "Gr\xFC\xDF");
  // A method without parameters or result, then the count it changes.
  ASSERT_EQ(call(caption, u"Refresh()V", {}), S_OK);
  ASSERT_EQ(call(caption, u"Refresh()V", {}), S_OK);
  EXPECT_EQ(result.vt, VT_EMPTY);
  ASSERT_EQ(call(gadget, u"getCount()I", {}), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 2);
  // Integers from text, booleans from integers, colours as ints.
  ASSERT_EQ(call(gadget, u"setLimit(I)V", {MakeText("12")}), S_OK);
  ASSERT_EQ(call(gadget, u"Describe()Ljava/lang/String;", {}), S_OK);
  EXPECT_EQ(TextOf(result), "limit 12 style 0");
  ASSERT_EQ(call(gadget, u"setEnabled(Z)V", {MakeI4(1)}), S_OK);
  ASSERT_EQ(call(gadget, u"getEnabled()Z", {}), S_OK);
  EXPECT_EQ(result.vt, VT_BOOL);
  EXPECT_EQ(result.boolVal, VARIANT_TRUE);
  ASSERT_EQ(call(gadget, u"setForeColor(I)V", {MakeI4(0x00FF8000)}), S_OK);
  ASSERT_EQ(call(gadget, u"getForeColor()I", {}), S_OK);
  EXPECT_EQ(result.lVal, 0x00FF8000);
  // By-reference parameters are written through; every number type is converted.
  LONG y = 5;
  VARIANT_BOOL moved = VARIANT_FALSE;
  VARIANT byY, byMoved;
  VariantInit(&byY);
  VariantInit(&byMoved);
  byY.vt = VT_BYREF | VT_I4;
  byY.plVal = &y;
  byMoved.vt = VT_BYREF | VT_BOOL;
  byMoved.pboolVal = &moved;
  ASSERT_EQ(call(gadget, u"Move(I[I[Z)V", {MakeI4(3), byY, byMoved}), S_OK);
  EXPECT_EQ(y, 8);
  EXPECT_EQ(moved, VARIANT_TRUE);
  ASSERT_EQ(call(gadget, u"Measure(DFID)Z",
                 {MakeI4(1), MakeText("2.5"), MakeI4(3), MakeI4(10), MakeI4(2)}),
            S_OK);
  EXPECT_EQ(result.vt, VT_BOOL);
  EXPECT_EQ(result.boolVal, VARIANT_TRUE);  // 1 + 2.5 + 3 + 2 <= 10
  // An enumeration behind an alias, converted from text.
  ASSERT_EQ(call(gadget, u"setStyle(I)V", {MakeText("-2")}), S_OK);
  ASSERT_EQ(call(gadget, u"getStyle()I", {}), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, -2);
  // Object properties: the font, the picture and the peer, none set.
  for (const char16_t* getter :
       {u"getFont()Ljava/lang/Object;", u"getPicture()Ljava/lang/Object;", u"getPeer()LIPeer;"}) {
    ASSERT_EQ(call(gadget, getter, {}), S_OK) << halyard::ole::WideToAnsi(getter);
    EXPECT_EQ(result.vt, VT_DISPATCH);
    EXPECT_EQ(result.pdispVal, nullptr);
  }
  // A variant and an error code in, a variant out.
  VARIANT code;
  VariantInit(&code);
  code.vt = VT_ERROR;
  code.scode = S_OK;
  ASSERT_EQ(call(gadget, u"Blend()", {MakeI4(77), code}), S_OK);
  EXPECT_EQ(TextOf(result), "77");
  VariantClear(&result);
  // An interface in, an interface out.
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_UNKNOWN;
  self.punkVal = control;
  ASSERT_EQ(call(gadget, u"Tweak(Ljava/lang/Object;)Ljava/lang/Object;", {self}), S_OK);
  EXPECT_EQ(result.vt, VT_DISPATCH);
  EXPECT_EQ(result.pdispVal, control);
  VariantClear(&result);
  // An enumeration parameter, and twelve parameters (more than the registers carry).
  ASSERT_EQ(call(gadget, u"Wipe(I)V", {MakeI4(1)}), S_OK);
  std::vector<VARIANT> many;
  for (LONG i = 1; i <= 11; ++i) many.push_back(MakeI4(i));
  many.push_back(MakeText("end"));
  ASSERT_EQ(call(gadget, u"Spread(IIIIIIIIIIILjava/lang/String;)V", many), S_OK);
  VariantClear(&many.back());
  ASSERT_EQ(call(gadget, u"Describe()Ljava/lang/String;", {}), S_OK);
  EXPECT_EQ(TextOf(result), "limit 12 style 1 spread 66 end");
  // The control's exception comes back described; its refusals as failures.
  EXPECT_EQ(call(gadget, u"setLimit(I)V", {MakeI4(-1)}), DISP_E_EXCEPTION);
  EXPECT_EQ(TextOf(result), "a limit cannot be negative");
  EXPECT_EQ(call(gadget, u"setLimit(I)V", {MakeText("twelve")}), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(call(gadget, u"Move(I[I[Z)V", {MakeI4(3)}), DISP_E_BADPARAMCOUNT);
  VariantClear(&result);

  gadget->Release();
  caption->Release();
  compiler.Reset();
  EXPECT_EQ(CanUnloadNow(), S_OK);
  control->Release();
}

TEST_F(HostTest, ScanAnswersThroughTheBuiltLibrary) {
  ComPtr<IStubCompiler> compiler = Create(CLSID_QuarbCompiler);
  ASSERT_TRUE(compiler);
  // A file that is there but is no type library: the loader's code comes back as it is.
  const std::string text = registry_.Dir() + "/notes.tlb";
  { std::ofstream(text) << "not a type library\n"; }
  std::u16string path = halyard::ole::AnsiToWide(text);
  ITypeLib* none = nullptr;
  const HRESULT loader = LoadTypeLib(path.c_str(), &none);
  ASSERT_TRUE(FAILED(loader));
  EXPECT_EQ(compiler->ScanTypeLibraryFile(path.c_str()), loader);
  std::u16string empty = halyard::ole::AnsiToWide(Fixture("empty.tlb"));
  EXPECT_EQ(compiler->ScanTypeLibraryFile(empty.c_str()), S_OK);
}

}  // namespace
}  // namespace quarb::test
