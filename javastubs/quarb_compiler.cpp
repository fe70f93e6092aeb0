#include "quarb_compiler.h"

#include "property_info.h"
#include "run_time_collection.h"
#include "server_lock.h"
#include "stub_writer.h"
#include "type_walk.h"

using halyard::ole::ComPtr;

QuarbCompiler* QuarbCompiler::Create() { return new QuarbCompiler(); }

QuarbCompiler::QuarbCompiler() { quarb::ObjectCreated(); }

QuarbCompiler::~QuarbCompiler() { quarb::ObjectDestroyed(); }

HRESULT QuarbCompiler::QueryInterface(REFIID riid, void** ppvObject) {
  if (ppvObject == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStubCompiler)) {
    *ppvObject = static_cast<IStubCompiler*>(this);
  } else if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, CLSID_QuarbCompiler)) {
    *ppvObject = static_cast<IDispatch*>(this);
  } else {
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG QuarbCompiler::AddRef() { return ++refs_; }

ULONG QuarbCompiler::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

// The writers answer S_OK whatever they meet inside the library; only missing arguments,
// which would leave them nothing to walk or to write to, are refused.
HRESULT QuarbCompiler::WriteInterfaceStubs(ITypeLib* lib, IStream* stream) {
  if (lib == nullptr || stream == nullptr) return E_POINTER;
  return quarb::WriteInterfaceStubs(lib, stream);
}

HRESULT QuarbCompiler::WriteClassStubs(ITypeLib* lib, IStream* stream) {
  if (lib == nullptr || stream == nullptr) return E_POINTER;
  return quarb::WriteClassStubs(lib, stream);
}

// Types that cannot be read are left out of the collection; the caller always gets one.
HRESULT QuarbCompiler::CreateRunTimeClasses(ITypeLib* lib, IRunTimeClassCollection** collection) {
  if (collection == nullptr) return E_POINTER;
  *collection = nullptr;
  if (lib == nullptr) return E_POINTER;
  *collection = quarb::BuildRunTimeCollection(lib);
  return S_OK;
}

// Checks that the file loads as a type library and that the members of its interfaces can be
// collected; nothing is kept.
HRESULT QuarbCompiler::ScanTypeLibraryFile(LPCOLESTR path) {
  ITypeLib* raw = nullptr;
  const HRESULT hr = LoadTypeLib(path, &raw);
  if (FAILED(hr)) return hr;
  ComPtr<ITypeLib> lib = ComPtr<ITypeLib>::Attach(raw);
  quarb::WalkTypeLibrary(lib.Get(), [](TYPEKIND kind, const std::string&, ITypeInfo* info) {
    if (kind != TKIND_INTERFACE && kind != TKIND_DISPATCH) return;
    quarb::PropertyList props;
    quarb::CollectProperties(info, &props);
  });
  return S_OK;
}

HRESULT QuarbCompiler::GetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo == nullptr) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

// With no type information there is no index to ask for.
HRESULT QuarbCompiler::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) {
  if (ppTInfo == nullptr) return E_POINTER;
  *ppTInfo = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT QuarbCompiler::GetIDsOfNames(REFIID riid, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (cNames == 0) return S_OK;
  if (rgDispId == nullptr) return E_POINTER;
  for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
  return DISP_E_UNKNOWNNAME;
}

HRESULT QuarbCompiler::Invoke(DISPID, REFIID riid, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                              UINT*) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return DISP_E_MEMBERNOTFOUND;
}
