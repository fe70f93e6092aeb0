// The Java writers against the fixtures, byte for byte (the expected texts are in
// expected_stubs.h).
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "expected_stubs.h"
#include "javastubs/java_types.h"
#include "platform/ole/bstr.h"
#include "javastubs/stub_file.h"
#include "test_support.h"

namespace quarb::test {
namespace {

TEST(StubWriter, InterfaceStubsOfTheGadgetsLibraryByteForByte) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  EXPECT_EQ(Generate(lib.Get(), WriteInterfaceStubs), Expected(false));
}

TEST(StubWriter, ClassStubsOfTheGadgetsLibraryByteForByte) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  EXPECT_EQ(Generate(lib.Get(), WriteClassStubs), Expected(true));
}

// A dual interface derived from another dual lists the members of both, the base's first.
TEST(StubWriter, DerivedDualInterfaceListsTheMembersOfItsWholeChain) {
  ComPtr<ITypeLib> lib = Load("derived.tlb");
  const std::string interfaces =
      "public interface IBase \n{\n   // properties\n    public abstract int getSize();\n"
      "   // methods\n    public abstract void Reset(int to);\n}\n"
      "public interface IDerived \n{\n   // properties\n    public abstract int getSize();\n"
      "    public abstract String getTitle();\n   // methods\n"
      "    public abstract void Reset(int to);\n    public abstract int Grow(int by);\n}\n";
  EXPECT_EQ(
      Generate(lib.Get(), WriteInterfaceStubs),
      interfaces +
          "public class Widget extends Object\n                /*implements IDerived*/\n{\n}\n");
  EXPECT_EQ(
      Generate(lib.Get(), WriteClassStubs),
      interfaces +
          "class Widget extends Object\n{\n                /*implements IDerived*/\n"
          "   // properties\n    public int getSize() { return 0; }\n"
          "    public String getTitle() { return null; }\n   // methods\n"
          "    public void Reset(int to)  {  };\n    public int Grow(int by)  { return 0; };\n"
          "}\n\n");
}

TEST(StubWriter, EmptyLibraryWritesNothing) {
  ComPtr<ITypeLib> lib = Load("empty.tlb");
  EXPECT_EQ(lib->GetTypeInfoCount(), 0u);
  EXPECT_EQ(Generate(lib.Get(), WriteInterfaceStubs), "");
  EXPECT_EQ(Generate(lib.Get(), WriteClassStubs), "");
}

TEST(StubWriter, WritesFromTheStreamPositionAndLeavesTheStreamToItsOwner) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  auto* stream = new halyard::ole::MemoryStream(reinterpret_cast<const BYTE*>("HEAD"), 4);
  LARGE_INTEGER end{};
  end.QuadPart = 4;
  ASSERT_EQ(stream->Seek(end, STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(WriteInterfaceStubs(lib.Get(), stream), S_OK);
  std::string text(stream->Bytes().begin(), stream->Bytes().end());
  EXPECT_EQ(text, "HEAD" + Expected(false));
  stream->AddRef();
  EXPECT_EQ(stream->Release(), 1u);  // the writer kept no reference
  stream->Release();
}

TEST(StubWriter, PropertiesOfUnreadableImportedTypesAreLeftOut) {
  // Without stdole2.tlb beside the library, the types the control's properties take from
  // it (OLE_COLOR, Font, IPictureDisp) cannot be read.
  char tmpl[] = "/tmp/quarb-stubs-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::filesystem::copy_file(DataPath("gadgets.tlb"), dir + "/gadgets.tlb");
  unsetenv("HALYARD_TYPELIB_PATH");
  ITypeLib* raw = nullptr;
  std::u16string path = halyard::ole::AnsiToWide(dir + "/gadgets.tlb");
  ASSERT_EQ(LoadTypeLib(path.c_str(), &raw), S_OK);
  ComPtr<ITypeLib> lib = ComPtr<ITypeLib>::Attach(raw);
  std::string expected = Expected(false);
  for (const char* line :
       {"    public abstract int getForeColor();\n",
        "    public abstract void setForeColor(int ForeColor);\n",
        "    public abstract int getFont();\n", "    public abstract int getPicture();\n"})
    expected.erase(expected.find(line), std::strlen(line));
  EXPECT_EQ(Generate(lib.Get(), WriteInterfaceStubs), expected);
  std::filesystem::remove_all(dir);
}

TEST(StubWriter, LinesAreCutAt511Characters) {
  ComPtr<ITypeLib> lib = Load("oddities.tlb");
  std::string text = Generate(lib.Get(), WriteInterfaceStubs);
  std::size_t start = text.find("    public abstract int Lengthy(");
  ASSERT_NE(start, std::string::npos);
  std::size_t end = text.find('\n', start);
  EXPECT_EQ(end - start, 511u);
  EXPECT_EQ(text.substr(end), "\n}\n");

  auto* stream = new halyard::ole::MemoryStream();
  {
    StubFile out(stream);
    out.Printf("%s", std::string(600, 'x').c_str());
    out.Printf("%s\n", std::string(10, 'y').c_str());  // the same line: dropped
    out.Printf("ok\n");
    out.Write(std::string(700, 'z') + "\nend\n");
  }
  std::string written(stream->Bytes().begin(), stream->Bytes().end());
  EXPECT_EQ(written, std::string(511, 'x') + "\nok\n" + std::string(511, 'z') + "\nend\n");
  stream->Release();
}

// Type information whose members have no parameter names.
class Nameless final : public ITypeInfo {
 public:
  explicit Nameless(ITypeInfo* inner) : inner_(inner) {}
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    return inner_->QueryInterface(riid, ppv);
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeAttr(TYPEATTR** a) override { return inner_->GetTypeAttr(a); }
  HRESULT GetFuncDesc(UINT i, FUNCDESC** f) override { return inner_->GetFuncDesc(i, f); }
  HRESULT GetVarDesc(UINT i, VARDESC** v) override { return inner_->GetVarDesc(i, v); }
  HRESULT GetNames(MEMBERID memid, BSTR* names, UINT max, UINT* got) override {
    HRESULT hr = inner_->GetNames(memid, names, max, got);
    for (UINT n = 1; SUCCEEDED(hr) && n < *got; ++n) SysFreeString(names[n]);
    if (SUCCEEDED(hr) && *got > 1) *got = 1;
    return hr;
  }
  HRESULT GetRefTypeOfImplType(UINT i, HREFTYPE* h) override {
    return inner_->GetRefTypeOfImplType(i, h);
  }
  HRESULT GetImplTypeFlags(UINT i, INT* f) override { return inner_->GetImplTypeFlags(i, f); }
  HRESULT GetIDsOfNames(LPOLESTR* n, UINT c, MEMBERID* m) override {
    return inner_->GetIDsOfNames(n, c, m);
  }
  HRESULT Invoke(PVOID o, MEMBERID m, WORD w, DISPPARAMS* p, VARIANT* r, EXCEPINFO* e,
                 UINT* a) override {
    return inner_->Invoke(o, m, w, p, r, e, a);
  }
  HRESULT GetDocumentation(MEMBERID m, BSTR* a, BSTR* b, DWORD* c, BSTR* d) override {
    return inner_->GetDocumentation(m, a, b, c, d);
  }
  HRESULT GetRefTypeInfo(HREFTYPE h, ITypeInfo** t) override {
    if (readableRefs_ >= 0 && readableRefs_-- == 0) return TYPE_E_CANTLOADLIBRARY;
    return inner_->GetRefTypeInfo(h, t);
  }
  HRESULT GetContainingTypeLib(ITypeLib** l, UINT* i) override {
    return inner_->GetContainingTypeLib(l, i);
  }
  void ReleaseTypeAttr(TYPEATTR* a) override { inner_->ReleaseTypeAttr(a); }
  void ReleaseFuncDesc(FUNCDESC* f) override { inner_->ReleaseFuncDesc(f); }
  void ReleaseVarDesc(VARDESC* v) override { inner_->ReleaseVarDesc(v); }

  // From then on references cannot be read.
  void FailRefsAfter(int count) { readableRefs_ = count; }

 private:
  ITypeInfo* inner_;
  int readableRefs_ = -1;
};

TEST(StubWriter, UnnamedParametersAreNamedByTheirPosition) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  ComPtr<ITypeInfo> gadget = Find(lib.Get(), "IGadget");
  Nameless nameless(gadget.Get());
  std::vector<MethodInfo> methods;
  CollectMethods(&nameless, true, &methods);
  ASSERT_EQ(methods.size(), 7u);
  EXPECT_EQ(methods[0].name, "Move");
  EXPECT_EQ(methods[0].paramNames, "\t\t\t");
  auto* stream = new halyard::ole::MemoryStream();
  {
    StubFile out(stream);
    WriteAbstractInterface(out, &nameless, "IGadget");
  }
  std::string text(stream->Bytes().begin(), stream->Bytes().end());
  stream->Release();
  EXPECT_NE(text.find("    public abstract void Move(int arg1, int[] arg2, boolean[] arg3);\n"),
            std::string::npos);
  EXPECT_NE(text.find("    public abstract String Describe();\n"), std::string::npos);
}

TEST(StubWriter, CollectedMembersKeepTheirIdsTypeCodesAndResolution) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  ComPtr<ITypeInfo> gadget = Find(lib.Get(), "IGadget");
  PropertyList props;
  CollectProperties(gadget.Get(), &props);
  struct Expect {
    const char* name;
    DWORD flags;
    MEMBERID memid;
    TypeCode type;
  };
  const Expect expected[] = {
      {"Count", 0x4, 10, VT_I4},
      {"Limit", 0x1, 11, VT_I4},
      {"Target", 0x2, 12, VT_DISPATCH},
      {"ForeColor", 0x15, -513, kColorCode},
      {"Font", 0x16, -512, kFontCode},
      {"Picture", 0x14, 13, kPictureCode},
      {"Peer", 0x54, 14, 0},
      {"Style", 0x35, 15, 0},
      {"Enabled", 0x5, 19, VT_BOOL},
  };
  ASSERT_EQ(props.properties.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(props.properties[i].name, expected[i].name);
    EXPECT_EQ(props.properties[i].flags, expected[i].flags);
    EXPECT_EQ(props.properties[i].memid, expected[i].memid);
    EXPECT_EQ(props.properties[i].type, expected[i].type);
  }
  ASSERT_EQ(props.interfaces, std::vector<std::string>{"IPeer"});
  ASSERT_EQ(props.enumerations.size(), 1u);
  EXPECT_EQ(props.enumerations[0].name, "Shade");
  ASSERT_EQ(props.enumerations[0].constants.size(), 4u);
  EXPECT_EQ(props.enumerations[0].constants[2], (std::pair<std::string, LONG>("shDark", -2)));

  std::vector<MethodInfo> methods;
  CollectMethods(gadget.Get(), false, &methods);
  ASSERT_EQ(methods.size(), 7u);
  EXPECT_EQ(methods[0].memid, 20);
  EXPECT_EQ(methods[0].result, VT_VOID);
  EXPECT_EQ(methods[0].paramTypes,
            (std::vector<TypeCode>{VT_I4, VT_I4 | kByRef, VT_BOOL | kByRef}));
  EXPECT_EQ(methods[0].paramNames, "");
  EXPECT_EQ(methods[4].name, "Wipe");                              // restricted methods are kept
  EXPECT_EQ(methods[4].paramTypes, std::vector<TypeCode>{VT_I4});  // an enumeration
  EXPECT_EQ(methods[5].paramCount, 12u);
  EXPECT_EQ(methods[5].paramTypes.size(), 12u);
}

TEST(JavaTypes, NamesAndDefaultsOfEveryTypeCode) {
  struct Expect {
    TypeCode code;
    const char* name;
    const char* value;
  };
  const Expect table[] = {
      {VT_I2, "short", "0"},
      {VT_I4, "int", "0"},
      {VT_INT, "int", "0"},
      {VT_UINT, "int", "0"},
      {VT_R4, "float", "0.0f"},
      {VT_R8, "double", "0.0"},
      {VT_DATE, "double", "0.0"},
      {VT_CY, "long", "0"},
      {VT_BSTR, "String", "null"},
      {VT_DISPATCH, "Object", "null"},
      {VT_UNKNOWN, "Object", "null"},
      {VT_BOOL, "boolean", "false"},
      {VT_VOID, "void", ""},
      {VT_ERROR, "int", "0"},
      {VT_VARIANT, "Object", "null"},
      {kFontCode, "int", "0"},
      {kPictureCode, "int", "0"},
      {kColorCode, "int", "0"},
      {kSpareCode, "int", "0"},
      {VT_UI1, "byte", "0"},
      {VT_I8, "long", "0"},
      {VT_USERDEFINED, "Object", "null"},
      {VT_SAFEARRAY, "Object", "null"},
  };
  for (const Expect& e : table) {
    EXPECT_STREQ(JavaTypeName(e.code), e.name) << e.code;
    EXPECT_STREQ(JavaDefaultValue(e.code), e.value) << e.code;
  }
  EXPECT_EQ(JavaMemberType(VT_I4 | kByRef), "int[]");
  EXPECT_EQ(JavaMemberType(VT_VOID | kByRef), "Object");
  EXPECT_STREQ(JavaDefaultValue(VT_I4 | kByRef), "null");
  EXPECT_EQ(JavaPropertyType(0, kPropDispatch | kPropReadable, {"IPeer"}), "IPeer");
  EXPECT_EQ(JavaPropertyDefault(0, kPropDispatch), "null");
  EXPECT_EQ(JavaPropertyType(3, kPropEnum, {}), "int");
  EXPECT_EQ(JavaPropertyDefault(3, kPropEnum), "0");
}

TEST(StubWriter, ClassWhoseInterfaceListBreaksOffIsStillClosed) {
  ComPtr<ITypeLib> lib = Load("gadgets.tlb");
  ComPtr<ITypeInfo> gadget = Find(lib.Get(), "Gadget");
  Nameless broken(gadget.Get());
  broken.FailRefsAfter(1);
  auto* stream = new halyard::ole::MemoryStream();
  {
    StubFile out(stream);
    WriteClassShell(out, &broken, "Gadget");
  }
  std::string text(stream->Bytes().begin(), stream->Bytes().end());
  stream->Release();
  EXPECT_EQ(text,
            "public class Gadget extends Object\n                /*implements IGadget*/\n{\n}\n");
}

TEST(StubWriter, RandomlyDamagedLibrariesNeverCrashTheWriters) {
  const std::vector<BYTE> good = ReadFile(DataPath("gadgets.tlb"));
  std::mt19937 rng(20261208);
  int written = 0;
  for (int round = 0; round < 1500; ++round) {
    std::vector<BYTE> b = good;
    int edits = 1 + int(rng() % 8);
    for (int e = 0; e < edits; ++e) {
      std::size_t at = rng() % b.size();
      if (rng() % 2) {
        b[at] = BYTE(rng());
      } else if (at + 4 <= b.size()) {
        LONG v = LONG(rng() % 2 ? rng() : rng() % 0x2000);
        std::memcpy(&b[at], &v, 4);
      }
    }
    ITypeLib* raw = nullptr;
    if (FAILED(halyard::ole::LoadTypeLibFromMemory(b.data(), b.size(), DataPath(""), &raw)))
      continue;
    ComPtr<ITypeLib> lib = ComPtr<ITypeLib>::Attach(raw);
    ++written;
    Generate(lib.Get(), WriteInterfaceStubs);
    Generate(lib.Get(), WriteClassStubs);
  }
  EXPECT_GT(written, 0);  // some damage leaves a readable library
}

TEST(StubWriter, AControlFileGivesTheStubsOfItsLibrary) {
  std::u16string ocx = halyard::ole::AnsiToWide(DataPath("gadgets.ocx"));
  ITypeLib* raw = nullptr;
  ASSERT_EQ(LoadTypeLib(ocx.c_str(), &raw), S_OK);
  ComPtr<ITypeLib> fromOcx = ComPtr<ITypeLib>::Attach(raw);
  ComPtr<ITypeLib> fromTlb = Load("gadgets.tlb");
  EXPECT_EQ(Generate(fromOcx.Get(), WriteClassStubs), Generate(fromTlb.Get(), WriteClassStubs));
  EXPECT_EQ(Generate(fromOcx.Get(), WriteInterfaceStubs),
            Generate(fromTlb.Get(), WriteInterfaceStubs));
}

}  // namespace
}  // namespace quarb::test
