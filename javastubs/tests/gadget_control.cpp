// A small control for the end-to-end tests of the run-time classes: an in-process server of its
// own, loaded through the registry like any control, whose one class (the Gadget component
// class of gadgets.tlb) answers IDispatch for the members of ICaption and IGadget. Its Invoke
// checks the argument types strictly, as a control built on its type library would, so the
// tests see that the run-time interfaces convert what they pass. Used on one thread.
#include <atomic>
#include <string>

#include "platform/kernel/export.h"
#include "platform/ole/bstr.h"
#include "platform/ole/class_factory.h"
#include "platform/ole/dispatch.h"

namespace {

// {5A0B1008-7C1E-4D2A-9F31-0C6E2B7D4A10}: the Gadget class of the fixture library.
DEFINE_GUID(CLSID_Gadget, 0x5A0B1008, 0x7C1E, 0x4D2A, 0x9F, 0x31, 0x0C, 0x6E, 0x2B, 0x7D, 0x4A,
            0x10);

std::atomic<long> g_objects{0};

// The argument at position i of n (automation passes them last first), of type vt or none.
VARIANT* Arg(DISPPARAMS* dp, UINT i, VARTYPE vt) {
  if (dp == nullptr || i >= dp->cArgs) return nullptr;
  VARIANT* v = &dp->rgvarg[dp->cArgs - 1 - i];
  return v->vt == vt ? v : nullptr;
}

class Gadget : public IDispatch {
 public:
  Gadget() { ++g_objects; }
  virtual ~Gadget() {
    SysFreeString(caption_);
    --g_objects;
  }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
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
    const bool get = flags & DISPATCH_PROPERTYGET;
    const bool put = flags & DISPATCH_PROPERTYPUT;
    if (put &&
        (dp->cArgs != 1 || dp->cNamedArgs != 1 || dp->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
      return DISP_E_PARAMNOTFOUND;
    switch (memid) {
      case 1:  // Caption
        if (get)
          return Give(result, VT_BSTR,
                      [&](VARIANT* r) { r->bstrVal = SysAllocString(caption_ ? caption_ : u""); });
        if (put) {
          VARIANT* v = Arg(dp, 0, VT_BSTR);
          if (v == nullptr) return DISP_E_TYPEMISMATCH;
          SysFreeString(caption_);
          caption_ = SysAllocString(v->bstrVal);
          return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
      case 2:  // Refresh()
        ++refreshes_;
        return S_OK;
      case 10:  // Count: the refreshes so far
        return Give(result, VT_I4, [&](VARIANT* r) { r->lVal = refreshes_; });
      case 11: {  // Limit
        VARIANT* v = Arg(dp, 0, VT_I4);
        if (v == nullptr) return DISP_E_TYPEMISMATCH;
        if (v->lVal < 0) {
          excep->wCode = 1;
          excep->bstrSource = halyard::ole::BstrFromAnsi("Gadget");
          excep->bstrDescription = halyard::ole::BstrFromAnsi("a limit cannot be negative");
          return DISP_E_EXCEPTION;
        }
        limit_ = v->lVal;
        return S_OK;
      }
      case -513:  // ForeColor
        if (get) return Give(result, VT_I4, [&](VARIANT* r) { r->lVal = color_; });
        if (VARIANT* v = Arg(dp, 0, VT_I4)) {
          color_ = v->lVal;
          return S_OK;
        }
        return DISP_E_TYPEMISMATCH;
      case 19:  // Enabled
        if (get) return Give(result, VT_BOOL, [&](VARIANT* r) { r->boolVal = enabled_; });
        if (VARIANT* v = Arg(dp, 0, VT_BOOL)) {
          enabled_ = v->boolVal;
          return S_OK;
        }
        return DISP_E_TYPEMISMATCH;
      case 20: {  // Move(x, [in, out] y, [out] moved)
        VARIANT* x = Arg(dp, 0, VT_I4);
        VARIANT* y = Arg(dp, 1, VT_BYREF | VT_I4);
        VARIANT* moved = Arg(dp, 2, VT_BYREF | VT_BOOL);
        if (dp->cArgs != 3) return DISP_E_BADPARAMCOUNT;
        if (!x || !y || !moved) return DISP_E_TYPEMISMATCH;
        *y->plVal += x->lVal;
        *moved->pboolVal = x->lVal != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
      }
      case 21: {  // Measure(double, float, short, DATE, hyper) as VARIANT_BOOL
        VARIANT* a = Arg(dp, 0, VT_R8);
        VARIANT* b = Arg(dp, 1, VT_R4);
        VARIANT* c = Arg(dp, 2, VT_I2);
        VARIANT* d = Arg(dp, 3, VT_DATE);
        VARIANT* e = Arg(dp, 4, VT_I8);
        if (dp->cArgs != 5) return DISP_E_BADPARAMCOUNT;
        if (!a || !b || !c || !d || !e) return DISP_E_TYPEMISMATCH;
        const double total = a->dblVal + b->fltVal + c->iVal + double(e->llVal);
        return Give(result, VT_BOOL, [&](VARIANT* r) {
          r->boolVal = total <= d->date ? VARIANT_TRUE : VARIANT_FALSE;
        });
      }
      case 26:  // Describe() as BSTR
        return Give(result, VT_BSTR, [&](VARIANT* r) {
          std::string text = "limit " + std::to_string(limit_);
          r->bstrVal = halyard::ole::BstrFromAnsi(text);
        });
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  template <typename Fill>
  static HRESULT Give(VARIANT* result, VARTYPE vt, Fill fill) {
    if (result == nullptr) return S_OK;
    VariantInit(result);
    result->vt = vt;
    fill(result);
    return S_OK;
  }

  std::atomic<ULONG> refs_{1};
  BSTR caption_ = nullptr;
  LONG refreshes_ = 0;
  LONG limit_ = 0;
  LONG color_ = 0;
  VARIANT_BOOL enabled_ = VARIANT_FALSE;
};

class Factory : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
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
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Gadget* g = new Gadget();
    HRESULT hr = g->QueryInterface(riid, ppv);
    g->Release();
    return hr;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

}  // namespace

extern "C" HALYARD_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  static Factory factory;
  if (!IsEqualCLSID(rclsid, CLSID_Gadget)) return CLASS_E_CLASSNOTAVAILABLE;
  return factory.QueryInterface(riid, ppv);
}

extern "C" HALYARD_EXPORT HRESULT DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }
