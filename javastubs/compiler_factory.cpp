#include "compiler_factory.h"

#include "platform/ole/control_registration.h"
#include "quarb_compiler.h"
#include "resources.h"
#include "server_lock.h"

namespace quarb {

CompilerFactory& CompilerFactory::Instance() {
  static CompilerFactory factory;
  return factory;
}

HRESULT CompilerFactory::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppvObject = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *ppvObject = nullptr;
  return E_NOINTERFACE;
}

// A static object: counting would change nothing about its life.
ULONG CompilerFactory::AddRef() { return 2; }
ULONG CompilerFactory::Release() { return 1; }

HRESULT CompilerFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  *ppvObject = nullptr;
  if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
  QuarbCompiler* compiler = QuarbCompiler::Create();
  const HRESULT hr = compiler->QueryInterface(riid, ppvObject);
  compiler->Release();  // the object goes at once when it does not answer riid
  return hr;
}

HRESULT CompilerFactory::LockServer(BOOL fLock) {
  return quarb::LockServer(fLock != FALSE) ? S_OK : E_UNEXPECTED;
}

BOOL CompilerFactory::UpdateRegistry(BOOL bRegister) {
  if (!bRegister) return AfxOleUnregisterClass(CLSID_QuarbCompiler, kQuarbCompilerProgID);
  // The type name is this library's string resource; the registration object keeps it the
  // one found for its id while the class is registered.
  StringResources resources;
  // Any address inside the library names it, so the server path is the library's own.
  static const char module = 0;
  return AfxOleRegisterControlClass(&module, CLSID_QuarbCompiler, kQuarbCompilerProgID,
                                    IDS_QUARBCOMPILER, 0, afxRegApartmentThreading, 0, GUID_NULL, 1,
                                    0);
}

}  // namespace quarb
