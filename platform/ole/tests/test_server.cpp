// A small in-process server for the activation tests: one class whose objects add numbers.
#include "platform/kernel/export.h"
#include "platform/ole/class_factory.h"

// {6B1D0C2E-5A43-4E8F-9C71-2F3E4D5A6B7C}
DEFINE_GUID(CLSID_TestAdder, 0x6B1D0C2E, 0x5A43, 0x4E8F, 0x9C, 0x71, 0x2F, 0x3E, 0x4D, 0x5A, 0x6B,
            0x7C);
// {6B1D0C2F-5A43-4E8F-9C71-2F3E4D5A6B7C}
DEFINE_GUID(IID_ITestAdder, 0x6B1D0C2F, 0x5A43, 0x4E8F, 0x9C, 0x71, 0x2F, 0x3E, 0x4D, 0x5A, 0x6B,
            0x7C);

struct ITestAdder : IUnknown {
  virtual HRESULT Add(LONG a, LONG b, LONG* sum) = 0;
};

namespace {

long g_objects = 0;
long g_locks = 0;

class Adder : public ITestAdder {
 public:
  Adder() { ++g_objects; }
  virtual ~Adder() { --g_objects; }
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITestAdder)) {
      *ppv = static_cast<ITestAdder*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT Add(LONG a, LONG b, LONG* sum) override {
    if (sum == nullptr) return E_POINTER;
    *sum = a + b;
    return S_OK;
  }

 private:
  ULONG refs_ = 0;
};

class Factory : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* adder = new Adder();
    adder->AddRef();
    const HRESULT hr = adder->QueryInterface(riid, ppv);
    adder->Release();
    return hr;
  }
  HRESULT LockServer(BOOL lock) override {
    g_locks += lock ? 1 : -1;
    return S_OK;
  }
};

Factory g_factory;

}  // namespace

extern "C" HALYARD_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, CLSID_TestAdder)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

extern "C" HALYARD_EXPORT HRESULT DllCanUnloadNow() {
  return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}
