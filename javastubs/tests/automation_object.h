// AutomationObject, a small control for the run-time interface tests to call: an IDispatch
// that keeps a property value per member id (a put stores, a get hands it back), records
// every Invoke with its flags and arguments, answers methods with a preset value, writes
// through by-reference integer arguments, and on request raises an exception or fails.
// Header-only so that the host tests, which link nothing of the compiler, can use it too.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/ole/bstr.h"
#include "platform/ole/code_page.h"
#include "platform/ole/typelib.h"
// The type library header and the dispatch header both define these two with the same values;
// the dispatch header's definitions are taken so that the pair does not warn.
#ifndef DISPATCH_METHOD
#undef DISPID_UNKNOWN
#undef DISPID_VALUE
#endif
#include "platform/ole/dispatch.h"

namespace quarb::test {

struct RecordedCall {
  DISPID memid = 0;
  WORD flags = 0;
  std::vector<VARIANT> args;  // copies, in the order Invoke got them (last argument first)
  std::vector<DISPID> named;
  bool resultAsked = false;
};

class AutomationObject : public IDispatch {
 public:
  AutomationObject() = default;
  ~AutomationObject() {
    for (auto& [id, v] : props) VariantClear(&v);
    for (RecordedCall& c : calls)
      for (VARIANT& v : c.args) VariantClear(&v);
    VariantClear(&methodResult);
  }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }  // lives on the test's stack

  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }

  HRESULT Invoke(DISPID memid, REFIID, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result,
                 EXCEPINFO* excep, UINT*) override {
    RecordedCall call;
    call.memid = memid;
    call.flags = flags;
    call.resultAsked = result != nullptr;
    for (UINT i = 0; i < dp->cArgs; ++i) {
      VARIANT copy;
      VariantInit(&copy);
      if (dp->rgvarg[i].vt & VT_BYREF)
        copy = dp->rgvarg[i];  // the pointer itself, to see that it is the caller's
      else
        VariantCopy(&copy, &dp->rgvarg[i]);
      call.args.push_back(copy);
    }
    for (UINT i = 0; i < dp->cNamedArgs; ++i) call.named.push_back(dp->rgdispidNamedArgs[i]);
    calls.push_back(call);
    if (!raise.empty()) {
      excep->wCode = 1001;
      excep->bstrSource = halyard::ole::BstrFromAnsi("AutomationObject");
      excep->bstrDescription = halyard::ole::BstrFromAnsi(raise);
      excep->scode = E_FAIL;
      return DISP_E_EXCEPTION;
    }
    if (FAILED(fail)) return fail;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      if (dp->cArgs != 1 || dp->cNamedArgs != 1) return DISP_E_BADPARAMCOUNT;
      VariantCopy(&props[memid], &dp->rgvarg[0]);
      return S_OK;
    }
    if (flags & DISPATCH_PROPERTYGET) {
      auto it = props.find(memid);
      if (it == props.end()) return DISP_E_MEMBERNOTFOUND;
      return result ? VariantCopy(result, &it->second) : S_OK;
    }
    for (UINT i = 0; i < dp->cArgs; ++i)
      if (dp->rgvarg[i].vt == (VT_BYREF | VT_I4)) *dp->rgvarg[i].plVal += 1;
    if (result) VariantCopy(result, &methodResult);
    return S_OK;
  }

  // Sets the stored value of a property.
  void SetProp(DISPID memid, const VARIANT& v) { VariantCopy(&props[memid], &v); }

  ULONG refs = 1;
  std::map<DISPID, VARIANT> props;
  std::vector<RecordedCall> calls;
  VARIANT methodResult{};  // VT_EMPTY until set
  std::string raise;       // an exception description to raise, when not empty
  HRESULT fail = S_OK;     // a failure to answer, when set
};

inline VARIANT MakeI4(LONG v) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_I4;
  r.lVal = v;
  return r;
}

inline VARIANT MakeText(const char* text) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_LPSTR;
  r.pcVal = const_cast<CHAR*>(text);
  return r;
}

inline std::string TextOf(const VARIANT& v) {
  return v.vt == VT_BSTR ? halyard::ole::AnsiFromBstr(v.bstrVal) : std::string("<not text>");
}

}  // namespace quarb::test
