// The compiler object, its class factory and the library's entry points, linked in: interface
// identities, the automation side, the operations of IStubCompiler, the unload count and the
// registration keys. The same object is driven through the built library in host_test.cpp.
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "javastubs/compiler_factory.h"
#include "expected_stubs.h"
#include "platform/mfc/stringtable.h"
#include "platform/ole/com_runtime.h"
#include "javastubs/quarb_compiler.h"
#include "registry_support.h"
#include "test_support.h"
#include "javastubs/type_walk.h"

extern "C" HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
extern "C" HRESULT DllCanUnloadNow();
extern "C" HRESULT DllRegisterServer();

namespace quarb::test {
namespace {

ComPtr<IStubCompiler> NewCompiler() {
  IStubCompiler* p = nullptr;
  EXPECT_EQ(CompilerFactory::Instance().CreateInstance(nullptr, IID_IStubCompiler,
                                                       reinterpret_cast<void**>(&p)),
            S_OK);
  return ComPtr<IStubCompiler>::Attach(p);
}

// The text a compiler operation writes into a fresh memory stream.
template <typename Op>
std::string Written(Op op, HRESULT expected = S_OK) {
  auto* stream = new halyard::ole::MemoryStream();
  EXPECT_EQ(op(stream), expected);
  std::string text(stream->Bytes().begin(), stream->Bytes().end());
  stream->Release();
  return text;
}

std::u16string Wide(const std::string& path) { return halyard::ole::AnsiToWide(path); }

TEST(CompilerObject, AnswersItsThreeInterfacesWithOneIdentity) {
  ComPtr<IStubCompiler> compiler = NewCompiler();
  void* unknown = nullptr;
  void* again = nullptr;
  void* dispatch = nullptr;
  void* byClassId = nullptr;
  ASSERT_EQ(compiler->QueryInterface(IID_IUnknown, &unknown), S_OK);
  ASSERT_EQ(compiler->QueryInterface(IID_IStubCompiler, &again), S_OK);
  ASSERT_EQ(compiler->QueryInterface(IID_IDispatch, &dispatch), S_OK);
  ASSERT_EQ(compiler->QueryInterface(CLSID_QuarbCompiler, &byClassId), S_OK);
  EXPECT_EQ(unknown, compiler.Get());
  EXPECT_EQ(again, compiler.Get());
  EXPECT_EQ(dispatch, byClassId);
  // Every interface leads back to the same IUnknown.
  void* back = nullptr;
  ASSERT_EQ(static_cast<IDispatch*>(dispatch)->QueryInterface(IID_IUnknown, &back), S_OK);
  EXPECT_EQ(back, unknown);
  for (void* p : {unknown, again, dispatch, byClassId, back}) static_cast<IUnknown*>(p)->Release();

  void* none = &none;
  EXPECT_EQ(compiler->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(compiler->QueryInterface(IID_IStream, nullptr), E_POINTER);
  EXPECT_EQ(compiler->AddRef(), 2u);
  EXPECT_EQ(compiler->Release(), 1u);
}

TEST(CompilerObject, AutomationSideHasNoMembers) {
  ComPtr<IStubCompiler> compiler = NewCompiler();
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(compiler->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  UINT count = 7;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&count);
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0, &info), DISP_E_BADINDEX);
  EXPECT_EQ(info, nullptr);

  std::u16string name = u"WriteClassStubs";
  LPOLESTR names[] = {name.data(), name.data()};
  DISPID ids[2] = {5, 5};
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_IStubCompiler, names, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);

  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(result.vt, VT_EMPTY);
  EXPECT_EQ(
      dispatch->Invoke(0, IID_IDispatch, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr),
      DISP_E_UNKNOWNINTERFACE);
  dispatch->Release();
}

TEST(CompilerObject, WritesBothKindsOfStubsFromTheStreamPosition) {
  ComPtr<IStubCompiler> compiler = NewCompiler();
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  EXPECT_EQ(Written([&](IStream* s) { return compiler->WriteInterfaceStubs(lib.Get(), s); }),
            Expected(false));
  EXPECT_EQ(Written([&](IStream* s) { return compiler->WriteClassStubs(lib.Get(), s); }),
            Expected(true));

  // A second call on the same stream goes on where the first stopped; nothing is truncated.
  auto* stream = new halyard::ole::MemoryStream();
  ASSERT_EQ(compiler->WriteInterfaceStubs(lib.Get(), stream), S_OK);
  ASSERT_EQ(compiler->WriteClassStubs(lib.Get(), stream), S_OK);
  EXPECT_EQ(std::string(stream->Bytes().begin(), stream->Bytes().end()),
            Expected(false) + Expected(true));
  stream->AddRef();
  EXPECT_EQ(stream->Release(), 1u);  // the compiler kept no reference
  stream->Release();
  lib->AddRef();
  EXPECT_EQ(lib->Release(), 1u);
}

TEST(CompilerObject, EmptyLibraryWritesNothingAndMissingArgumentsAreRefused) {
  ComPtr<IStubCompiler> compiler = NewCompiler();
  ComPtr<ITypeLib> empty = Load("empty.tlb");
  EXPECT_EQ(Written([&](IStream* s) { return compiler->WriteInterfaceStubs(empty.Get(), s); }), "");
  EXPECT_EQ(Written([&](IStream* s) { return compiler->WriteClassStubs(empty.Get(), s); }), "");
  EXPECT_EQ(
      Written([&](IStream* s) { return compiler->WriteInterfaceStubs(nullptr, s); }, E_POINTER),
      "");
  EXPECT_EQ(Written([&](IStream* s) { return compiler->WriteClassStubs(nullptr, s); }, E_POINTER),
            "");
  EXPECT_EQ(compiler->WriteInterfaceStubs(empty.Get(), nullptr), E_POINTER);
  EXPECT_EQ(compiler->WriteClassStubs(empty.Get(), nullptr), E_POINTER);
}

TEST(CompilerObject, RunTimeClassesAreHandedOutForEveryLibraryEvenAnEmptyOne) {
  ComPtr<IStubCompiler> compiler = NewCompiler();
  for (const char* fixture : {"gadgets.tlb", "empty.tlb"}) {
    ComPtr<ITypeLib> lib = Load(fixture);
    IRunTimeClassCollection* collection = nullptr;
    ASSERT_EQ(compiler->CreateRunTimeClasses(lib.Get(), &collection), S_OK);
    ASSERT_NE(collection, nullptr);
    LONG count = -1;
    EXPECT_EQ(collection->GetCount(&count), S_OK);
    EXPECT_EQ(count, std::string(fixture) == "gadgets.tlb" ? 1 : 0) << fixture;
    collection->Release();
  }
  IRunTimeClassCollection* collection = reinterpret_cast<IRunTimeClassCollection*>(&compiler);
  EXPECT_EQ(compiler->CreateRunTimeClasses(nullptr, &collection), E_POINTER);
  EXPECT_EQ(collection, nullptr);
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  EXPECT_EQ(compiler->CreateRunTimeClasses(lib.Get(), nullptr), E_POINTER);
}

TEST(CompilerObject, ScanAnswersTheLoadersFailureCodeUnchanged) {
  ComPtr<IStubCompiler> compiler = NewCompiler();
  char tmpl[] = "/tmp/quarb-scan-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  // A file that is no type library, a damaged one (its header cut off) and one that is not
  // there: whatever the loader answers, the scan answers.
  std::vector<BYTE> tlb = ReadFile(DataPath("gadgets.tlb"));
  ASSERT_GT(tlb.size(), 64u);
  const std::string cut = dir + "/cut.tlb";
  {
    std::ofstream out(cut, std::ios::binary);
    out.write(reinterpret_cast<const char*>(tlb.data()), 40);
  }
  int cases = 0;
  for (const std::string& path :
       {DataPath("gadgets.idl"), cut, dir + "/missing.tlb", DataPath("")}) {
    std::u16string wide = Wide(path);
    ITypeLib* lib = nullptr;
    const HRESULT loader = LoadTypeLib(wide.c_str(), &lib);
    ASSERT_TRUE(FAILED(loader)) << path;
    EXPECT_EQ(compiler->ScanTypeLibraryFile(wide.c_str()), loader) << path;
    ++cases;
  }
  EXPECT_EQ(cases, 4);
  EXPECT_EQ(compiler->ScanTypeLibraryFile(nullptr), E_INVALIDARG);
  std::filesystem::remove_all(dir);
}

TEST(CompilerObject, ScanAcceptsEveryFixtureLibraryEvenWithoutItsImports) {
  ComPtr<IStubCompiler> compiler = NewCompiler();
  for (const char* name :
       {"gadgets.tlb", "gadgets.ocx", "oddities.tlb", "empty.tlb", "stdole2.tlb"}) {
    std::u16string path = Wide(DataPath(name));
    EXPECT_EQ(compiler->ScanTypeLibraryFile(path.c_str()), S_OK) << name;
  }
  // Properties whose types live in a missing imported library are left out; the scan itself
  // is fine.
  char tmpl[] = "/tmp/quarb-scan-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  std::filesystem::copy_file(DataPath("gadgets.tlb"), dir + "/gadgets.tlb");
  unsetenv("HALYARD_TYPELIB_PATH");
  std::u16string alone = Wide(dir + "/gadgets.tlb");
  EXPECT_EQ(compiler->ScanTypeLibraryFile(alone.c_str()), S_OK);
  std::filesystem::remove_all(dir);
}

// A library that fails chosen questions about chosen types, over a real one.
class FlakyLib : public ITypeLib {
 public:
  explicit FlakyLib(ITypeLib* real) : real_(real) {}
  UINT failKind = ~0u, failName = ~0u, failInfo = ~0u;
  int asks = 0;  // GetTypeInfo calls

  HRESULT QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  UINT GetTypeInfoCount() override { return real_->GetTypeInfoCount(); }
  HRESULT GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override {
    ++asks;
    if (index == failInfo) {
      *ppTInfo = nullptr;
      return TYPE_E_ELEMENTNOTFOUND;
    }
    return real_->GetTypeInfo(index, ppTInfo);
  }
  HRESULT GetTypeInfoType(UINT index, TYPEKIND* kind) override {
    return index == failKind ? TYPE_E_ELEMENTNOTFOUND : real_->GetTypeInfoType(index, kind);
  }
  HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTInfo) override {
    return real_->GetTypeInfoOfGuid(guid, ppTInfo);
  }
  HRESULT GetLibAttr(TLIBATTR** attr) override { return real_->GetLibAttr(attr); }
  HRESULT GetDocumentation(INT index, BSTR* name, BSTR* doc, DWORD* context, BSTR* file) override {
    if (index >= 0 && UINT(index) == failName) return TYPE_E_ELEMENTNOTFOUND;
    return real_->GetDocumentation(index, name, doc, context, file);
  }
  void ReleaseTLibAttr(TLIBATTR* attr) override { real_->ReleaseTLibAttr(attr); }

 private:
  ITypeLib* real_;
};

struct Visit {
  TYPEKIND kind;
  std::string name;
  bool operator==(const Visit&) const = default;
};

std::vector<Visit> WalkOf(ITypeLib* lib) {
  std::vector<Visit> seen;
  WalkTypeLibrary(lib, [&](TYPEKIND kind, const std::string& name, ITypeInfo* info) {
    EXPECT_EQ(NameOf(info), name);
    seen.push_back({kind, name});
  });
  return seen;
}

TEST(TypeWalk, VisitsEveryTypeInLibraryOrderWithItsKindAndName) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  std::vector<Visit> seen = WalkOf(lib.Get());
  ASSERT_EQ(seen.size(), lib->GetTypeInfoCount());
  for (UINT i = 0; i < seen.size(); ++i) {
    TYPEKIND kind;
    ASSERT_EQ(lib->GetTypeInfoType(i, &kind), S_OK);
    BSTR name = nullptr;
    ASSERT_EQ(lib->GetDocumentation(INT(i), &name, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(seen[i], (Visit{kind, TakeAnsi(name)})) << i;
  }
  EXPECT_EQ(seen.front(), (Visit{TKIND_DISPATCH, "IPeer"}));

  ComPtr<ITypeLib> empty = Load("empty.tlb");
  EXPECT_TRUE(WalkOf(empty.Get()).empty());
}

TEST(TypeWalk, TypesThatCannotBeReadAreSkippedAndTheWalkGoesOn) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  std::vector<Visit> all = WalkOf(lib.Get());
  ASSERT_EQ(all.size(), 13u);
  // IGadget's kind, Shade's name and ICaption's type information cannot be read.
  FlakyLib flaky(lib.Get());
  flaky.failKind = 1;
  flaky.failName = 3;
  flaky.failInfo = 7;
  std::vector<Visit> expected = all;
  expected.erase(expected.begin() + 7);
  expected.erase(expected.begin() + 3);
  expected.erase(expected.begin() + 1);
  EXPECT_EQ(WalkOf(&flaky), expected);
  // A type whose kind or name failed is not asked for its type information at all.
  EXPECT_EQ(flaky.asks, int(all.size()) - 2);

  // The writers walk the same way: the skipped types are missing from their output only.
  std::string text = Generate(&flaky, WriteInterfaceStubs);
  std::string whole = Expected(false);
  for (const char* part : {kGadget, kShade, kCaption}) {
    ASSERT_NE(whole.find(part), std::string::npos);
    whole.erase(whole.find(part), std::strlen(part));
  }
  EXPECT_EQ(text, whole);
}

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(DllCanUnloadNow(), S_OK) << "a test left objects alive"; }
};

TEST_F(ServerTest, LibraryStaysLockedWhileObjectsOrLocksExist) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(
      DllGetClassObject(CLSID_QuarbCompiler, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
      S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);  // holding the factory alone does not lock

  IUnknown* first = nullptr;
  IUnknown* second = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&first)), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&second)),
            S_OK);
  EXPECT_NE(first, second);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  first->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  second->AddRef();
  second->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  second->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);

  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  // An unlock without a lock is refused and cannot hide a later lock or object.
  EXPECT_EQ(factory->LockServer(FALSE), E_UNEXPECTED);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(ServerTest, FactoryRefusesOtherClassesAggregationAndUnknownInterfaces) {
  void* p = &p;
  EXPECT_EQ(DllGetClassObject(IID_IStubCompiler, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(DllGetClassObject(CLSID_QuarbCompiler, IID_IClassFactory, nullptr), E_POINTER);
  p = &p;
  EXPECT_EQ(DllGetClassObject(CLSID_QuarbCompiler, IID_IStream, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);

  CompilerFactory& factory = CompilerFactory::Instance();
  ComPtr<IStubCompiler> outer = NewCompiler();
  p = &p;
  EXPECT_EQ(factory.CreateInstance(outer.Get(), IID_IUnknown, &p), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(p, nullptr);
  outer.Reset();
  p = &p;
  EXPECT_EQ(factory.CreateInstance(nullptr, IID_IClassFactory, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);  // the refused object did not live on
  EXPECT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(ServerTest, RegistrationWritesACreatableClassWithoutTheControlKey) {
  TempRegistry registry;
  ASSERT_EQ(DllRegisterServer(), S_OK);
  // Linked into this program, the server is the program itself.
  ExpectRegistration(std::filesystem::canonical("/proc/self/exe").string());
  // Registering again changes nothing.
  ASSERT_EQ(DllRegisterServer(), S_OK);
  ExpectRegistration(std::filesystem::canonical("/proc/self/exe").string());

  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"QuarbCompiler.Compiler.1", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_QuarbCompiler));
}

TEST_F(ServerTest, TypeNameIsTheLibrarysOwnResourceEvenWhenAnotherTableHasItsId) {
  TempRegistry registry;
  static const halyard::StringResource other[] = {{1, "Someone Else"}};
  halyard::StringTableRegistration shadow(other);
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_EQ(Value(kClassKey), "QUARB Compiler");
  EXPECT_EQ(Value(kProgIdKey), "QUARB Compiler");
  // The other library's text is found again once registration is over.
  std::string text;
  ASSERT_TRUE(halyard::FindStringResource(1, &text));
  EXPECT_EQ(text, "Someone Else");
}

TEST_F(ServerTest, UnregistrationRemovesTheClassAndProgIdKeysOnly) {
  TempRegistry registry;
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "CLSID\\{00000000-1111-2222-3333-444444444444}", REG_SZ,
                         "Neighbour", 9),
            ERROR_SUCCESS);
  ASSERT_EQ(DllRegisterServer(), S_OK);
  ASSERT_TRUE(CompilerFactory::Instance().UpdateRegistry(FALSE));
  EXPECT_FALSE(KeyExists(kClassKey));
  EXPECT_FALSE(KeyExists(kProgIdKey));
  EXPECT_EQ(Value("CLSID\\{00000000-1111-2222-3333-444444444444}"), "Neighbour");
  // Nothing left to remove is no failure.
  EXPECT_TRUE(CompilerFactory::Instance().UpdateRegistry(FALSE));
}

TEST_F(ServerTest, RegistrationThatCannotBeWrittenIsReportedAsAFailure) {
  TempRegistry registry;
  // A registry folder below a plain file cannot be created.
  const std::string file = registry.Dir() + "/plain";
  { std::ofstream(file) << "x"; }
  setenv("HALYARD_REGISTRY", (file + "/registry").c_str(), 1);
  EXPECT_EQ(DllRegisterServer(), SELFREG_E_CLASS);
  setenv("HALYARD_REGISTRY", registry.Dir().c_str(), 1);
  EXPECT_FALSE(KeyExists(kClassKey));
}

}  // namespace
}  // namespace quarb::test
