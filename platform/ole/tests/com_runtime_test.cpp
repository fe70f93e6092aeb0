#include "platform/ole/com_runtime.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/kernel/testing/scratch_dir.h"
#include "platform/mfc/stringtable.h"
#include "platform/ole/com_memory.h"
#include "platform/ole/control_registration.h"
#include "platform/registry/win_reg.h"

// The server's interface; declared alike in both, as an interface header would be shared.
struct ITestAdder : IUnknown {
  virtual HRESULT Add(LONG a, LONG b, LONG* sum) = 0;
};

namespace {

DEFINE_GUID(CLSID_TestAdder, 0x6B1D0C2E, 0x5A43, 0x4E8F, 0x9C, 0x71, 0x2F, 0x3E, 0x4D, 0x5A, 0x6B,
            0x7C);
DEFINE_GUID(IID_ITestAdder, 0x6B1D0C2F, 0x5A43, 0x4E8F, 0x9C, 0x71, 0x2F, 0x3E, 0x4D, 0x5A, 0x6B,
            0x7C);
DEFINE_GUID(CLSID_Missing, 0x6B1D0C30, 0x5A43, 0x4E8F, 0x9C, 0x71, 0x2F, 0x3E, 0x4D, 0x5A, 0x6B,
            0x7C);

class ComRuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    setenv("HALYARD_REGISTRY", dir_.c_str(), 1);
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    unsetenv("HALYARD_REGISTRY");
  }
  halyard::testing::ScratchDir scratch_{"ole-com"};
  static void SetText(const std::string& key, const std::string& value) {
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(),
                           static_cast<DWORD>(value.size())),
              ERROR_SUCCESS);
  }
  void RegisterServer(const std::string& path) {
    SetText("CLSID\\{6B1D0C2E-5A43-4E8F-9C71-2F3E4D5A6B7C}", "Test Adder");
    SetText("CLSID\\{6B1D0C2E-5A43-4E8F-9C71-2F3E4D5A6B7C}\\InprocServer32", path);
    SetText("CLSID\\{6B1D0C2E-5A43-4E8F-9C71-2F3E4D5A6B7C}\\ProgID", "Test.Adder.1");
    SetText("Test.Adder.1\\CLSID", "{6B1D0C2E-5A43-4E8F-9C71-2F3E4D5A6B7C}");
  }
  std::string dir_;
};

TEST_F(ComRuntimeTest, CreatesObjectsOfARegisteredServerByProgIdAndClassId) {
  RegisterServer(OLE_TEST_SERVER);
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"Test.Adder.1", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_TestAdder));
  LPOLESTR progId = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(CLSID_TestAdder, &progId), S_OK);
  EXPECT_EQ(std::u16string(progId), u"Test.Adder.1");
  CoTaskMemFree(progId);

  ITestAdder* adder = nullptr;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITestAdder,
                             reinterpret_cast<void**>(&adder)),
            S_OK);
  LONG sum = 0;
  ASSERT_EQ(adder->Add(40, 2, &sum), S_OK);
  EXPECT_EQ(sum, 42);
  CoFreeUnusedLibraries();  // an object is alive: the server stays
  ASSERT_EQ(adder->Add(1, 2, &sum), S_OK);
  adder->Release();

  IUnknown* outer = reinterpret_cast<IUnknown*>(adder);
  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(clsid, outer, CLSCTX_ALL, IID_ITestAdder, &p), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IClassFactory, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_ITestAdder, &p),
            REGDB_E_CLASSNOTREG);
}

TEST_F(ComRuntimeTest, MissingClassesAndServersAreReported) {
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"No.Such.1", &clsid), CO_E_CLASSSTRING);
  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_Missing, nullptr, CLSCTX_ALL, IID_IUnknown, &p),
            REGDB_E_CLASSNOTREG);
  LPOLESTR progId = nullptr;
  EXPECT_EQ(ProgIDFromCLSID(CLSID_Missing, &progId), REGDB_E_CLASSNOTREG);
  RegisterServer(dir_ + "/missing.so");
  EXPECT_EQ(CoCreateInstance(CLSID_TestAdder, nullptr, CLSCTX_ALL, IID_IUnknown, &p),
            CO_E_DLLNOTFOUND);
  SetText("Bad.Class.1\\CLSID", "{not a guid}");
  EXPECT_EQ(CLSIDFromProgID(u"Bad.Class.1", &clsid), CO_E_CLASSSTRING);
}

// A class object of this process.
struct LocalFactory : IClassFactory {
  ULONG refs = 1;
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = this;
      ++refs;
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT CreateInstance(IUnknown*, REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_OUTOFMEMORY;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

TEST_F(ComRuntimeTest, ClassObjectsRegisteredInTheProcessComeFirst) {
  LocalFactory factory;
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_Missing, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                  &cookie),
            S_OK);
  EXPECT_EQ(factory.refs, 2u);
  void* p = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_Missing, nullptr, CLSCTX_ALL, IID_IUnknown, &p), E_OUTOFMEMORY);
  ASSERT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(factory.refs, 1u);
  EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  CoUninitialize();
}

const halyard::StringResource kStrings[] = {{7, "Test Adder Control"}};

std::string Text(const std::string& key, const char* name = nullptr) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
    return "<none>";
  char buf[512];
  DWORD size = sizeof(buf);
  DWORD type = 0;
  const LSTATUS st = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(h);
  if (st != ERROR_SUCCESS) return "<no value>";
  return std::string(buf, size > 0 ? size - 1 : 0);
}

TEST_F(ComRuntimeTest, ControlRegistrationMakesTheClassCreatableAndUnregistrationRemovesIt) {
  halyard::StringTableRegistration strings(kStrings);
  void* module = dlopen(OLE_TEST_SERVER, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr);
  HINSTANCE inside = dlsym(module, "DllGetClassObject");
  ASSERT_TRUE(AfxOleRegisterControlClass(inside, CLSID_TestAdder, "Test.Adder.1", 7, 0,
                                         afxRegApartmentThreading, 0, GUID_NULL, 1, 0));
  const std::string key = "CLSID\\{6B1D0C2E-5A43-4E8F-9C71-2F3E4D5A6B7C}";
  EXPECT_EQ(Text("Test.Adder.1"), "Test Adder Control");
  EXPECT_EQ(Text("Test.Adder.1\\CLSID"), "{6B1D0C2E-5A43-4E8F-9C71-2F3E4D5A6B7C}");
  EXPECT_EQ(Text(key), "Test Adder Control");
  EXPECT_EQ(Text(key + "\\ProgID"), "Test.Adder.1");
  EXPECT_EQ(Text(key + "\\InprocServer32"), halyard::ole::ModulePath(inside));
  EXPECT_EQ(Text(key + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(Text(key + "\\MiscStatus\\1"), "0");
  EXPECT_EQ(Text(key + "\\TypeLib"), "{00000000-0000-0000-0000-000000000000}");
  EXPECT_EQ(Text(key + "\\Version"), "1.0");
  EXPECT_EQ(Text(key + "\\Control"), "");
  EXPECT_EQ(Text(key + "\\ToolboxBitmap32"), "<none>");
  EXPECT_EQ(Text(key + "\\Insertable"), "<none>");
  // A control that should not be offered as one drops the Control key and stays creatable.
  ASSERT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, (key + "\\Control").c_str()), ERROR_SUCCESS);
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"Test.Adder.1", &clsid), S_OK);
  IUnknown* object = nullptr;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(&object)),
            S_OK);
  object->Release();
  EXPECT_FALSE(AfxOleRegisterControlClass(inside, CLSID_TestAdder, "Test.Adder.1", 8, 0, 0, 0,
                                          GUID_NULL, 1, 0));  // no such string
  ASSERT_TRUE(AfxOleUnregisterClass(CLSID_TestAdder, "Test.Adder.1"));
  EXPECT_EQ(Text(key), "<none>");
  EXPECT_EQ(Text("Test.Adder.1"), "<none>");
  EXPECT_EQ(CLSIDFromProgID(u"Test.Adder.1", &clsid), CO_E_CLASSSTRING);
  dlclose(module);
}

}  // namespace
