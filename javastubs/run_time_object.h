// RunTimeObject, what the run-time collection, classes and interfaces share as COM objects:
// a reference count, QueryInterface for IUnknown, their custom interface, IDispatch and their
// dispatch identifier, an automation side without members, and the server lock that keeps
// the library loaded while any of them lives. Used from the thread that created the object.
#pragma once

#include <atomic>

#include "run_time_classes.h"
#include "server_lock.h"
// The type library header and the dispatch header both define these two with the same values;
// the dispatch header's definitions are taken so that the pair does not warn.
#ifndef DISPATCH_METHOD
#undef DISPID_UNKNOWN
#undef DISPID_VALUE
#endif
#include "platform/ole/dispatch.h"

namespace quarb {

template <class Custom>
class RunTimeObject : public Custom, public IDispatch {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, custom_)) {
      *ppvObject = static_cast<Custom*>(this);
    } else if (IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, dispatch_)) {
      *ppvObject = static_cast<IDispatch*>(this);
    } else {
      *ppvObject = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // The automation side carries no members: nothing to describe, name or call.
  HRESULT GetTypeInfoCount(UINT* pctinfo) override {
    if (pctinfo == nullptr) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
    if (ppTInfo == nullptr) return E_POINTER;
    *ppTInfo = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR*, UINT cNames, LCID, DISPID* rgDispId) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (cNames == 0) return S_OK;
    if (rgDispId == nullptr) return E_POINTER;
    for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID, REFIID riid, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                 UINT*) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return DISP_E_MEMBERNOTFOUND;
  }

 protected:
  RunTimeObject(const IID& custom, const IID& dispatch) : custom_(custom), dispatch_(dispatch) {
    ObjectCreated();
  }
  virtual ~RunTimeObject() { ObjectDestroyed(); }
  RunTimeObject(const RunTimeObject&) = delete;
  RunTimeObject& operator=(const RunTimeObject&) = delete;

 private:
  const IID& custom_;
  const IID& dispatch_;
  std::atomic<ULONG> refs_{1};
};

}  // namespace quarb
