// QuarbCompiler, the compiler object the class factory hands out. It answers IUnknown,
// IStubCompiler and IDispatch (also under the dispatch identifier, which equals the class
// identifier). It holds nothing between calls: each operation works on the library and stream
// the caller passes and leaves both to the caller. While it lives the library stays loaded.
// Apartment threaded: an object is used from the thread that created it.
#pragma once

#include <atomic>

#include "stub_compiler.h"
// The type library header and the dispatch header both define these two with the same values;
// the dispatch header's definitions are taken so that the pair does not warn.
#ifndef DISPATCH_METHOD
#undef DISPID_UNKNOWN
#undef DISPID_VALUE
#endif
#include "platform/ole/dispatch.h"

class QuarbCompiler : public IStubCompiler, public IDispatch {
 public:
  // A new object with one reference, owned by the caller.
  static QuarbCompiler* Create();

  // IUnknown
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // IStubCompiler
  HRESULT WriteInterfaceStubs(ITypeLib* lib, IStream* stream) override;
  HRESULT CreateRunTimeClasses(ITypeLib* lib, IRunTimeClassCollection** collection) override;
  HRESULT ScanTypeLibraryFile(LPCOLESTR path) override;
  HRESULT WriteClassStubs(ITypeLib* lib, IStream* stream) override;

  // IDispatch: the automation side carries no members of its own.
  HRESULT GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                        DISPID* rgDispId) override;
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

 private:
  QuarbCompiler();
  virtual ~QuarbCompiler();
  QuarbCompiler(const QuarbCompiler&) = delete;
  QuarbCompiler& operator=(const QuarbCompiler&) = delete;

  std::atomic<ULONG> refs_{1};
};
