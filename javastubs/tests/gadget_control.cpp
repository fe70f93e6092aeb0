// A small control for the end-to-end tests of the run-time classes: an in-process server of its
// own, loaded through the registry like any control, whose one class (the Gadget component
// class of gadgets.tlb) implements the vtables of IGadget and ICaption and answers IDispatch
// through the library's type information, as a control built on its type library does: the
// arguments reach its functions converted to their parameter types. Used on one thread.
#include <atomic>
#include <string>

#include "platform/kernel/export.h"
#include "platform/ole/bstr.h"
#include "platform/ole/class_factory.h"
#include "platform/ole/code_page.h"
#include "platform/ole/dispatch.h"
#include "platform/ole/std_dispatch.h"
#include "platform/ole/typelib.h"

namespace {

using halyard::ole::ComPtr;

// {5A0B1008-7C1E-4D2A-9F31-0C6E2B7D4A10}: the Gadget class of the fixture library.
DEFINE_GUID(CLSID_Gadget, 0x5A0B1008, 0x7C1E, 0x4D2A, 0x9F, 0x31, 0x0C, 0x6E, 0x2B, 0x7D, 0x4A,
            0x10);
DEFINE_GUID(IID_ICaption, 0x5A0B1003, 0x7C1E, 0x4D2A, 0x9F, 0x31, 0x0C, 0x6E, 0x2B, 0x7D, 0x4A,
            0x10);
DEFINE_GUID(IID_IGadget, 0x5A0B1004, 0x7C1E, 0x4D2A, 0x9F, 0x31, 0x0C, 0x6E, 0x2B, 0x7D, 0x4A,
            0x10);

std::atomic<long> g_objects{0};

// The vtables of the library's two dual interfaces, in their declared order.
struct ICaptionVtable : IDispatch {
  virtual HRESULT get_Caption(BSTR* value) = 0;
  virtual HRESULT put_Caption(BSTR value) = 0;
  virtual HRESULT Refresh() = 0;
};

struct IGadgetVtable : IDispatch {
  virtual HRESULT get_Count(LONG* value) = 0;
  virtual HRESULT put_Limit(LONG value) = 0;
  virtual HRESULT putref_Target(IDispatch* value) = 0;
  virtual HRESULT get_ForeColor(ULONG* value) = 0;
  virtual HRESULT put_ForeColor(ULONG value) = 0;
  virtual HRESULT get_Font(IDispatch** value) = 0;
  virtual HRESULT putref_Font(IDispatch* value) = 0;
  virtual HRESULT get_Picture(IDispatch** value) = 0;
  virtual HRESULT get_Peer(IDispatch** value) = 0;
  virtual HRESULT get_Style(LONG* value) = 0;
  virtual HRESULT put_Style(LONG value) = 0;
  virtual HRESULT get_Secret(LONG* value) = 0;
  virtual HRESULT get_Locked(LONG* value) = 0;
  virtual HRESULT get_Item(LONG index, BSTR* value) = 0;
  virtual HRESULT get_Enabled(VARIANT_BOOL* value) = 0;
  virtual HRESULT put_Enabled(VARIANT_BOOL value) = 0;
  virtual HRESULT Move(LONG x, LONG* y, VARIANT_BOOL* moved) = 0;
  virtual HRESULT Measure(double a, float b, SHORT c, DATE d, LONGLONG e, VARIANT_BOOL* fits) = 0;
  virtual HRESULT Blend(VARIANT v, SCODE code, VARIANT* result) = 0;
  virtual HRESULT Tweak(IUnknown* other, IDispatch** result) = 0;
  virtual HRESULT Wipe(LONG shade) = 0;
  virtual HRESULT Spread(LONG a1, LONG a2, LONG a3, LONG a4, LONG a5, LONG a6, LONG a7, LONG a8,
                         LONG a9, LONG a10, LONG a11, BSTR a12) = 0;
  virtual HRESULT Describe(BSTR* text) = 0;
};

class Gadget final : public IGadgetVtable, public ICaptionVtable {
 public:
  Gadget(ITypeInfo* gadgetInfo, ITypeInfo* captionInfo)
      : gadgetInfo_(gadgetInfo), captionInfo_(captionInfo) {
    ++g_objects;
  }
  ~Gadget() {
    SysFreeString(caption_);
    if (target_) target_->Release();
    --g_objects;
  }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IGadget))
      *ppv = static_cast<IGadgetVtable*>(this);
    else if (IsEqualIID(riid, IID_ICaption))
      *ppv = static_cast<ICaptionVtable*>(this);
    else
      return E_NOINTERFACE;
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
    if (n == nullptr) return E_INVALIDARG;
    *n = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_INVALIDARG;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    gadgetInfo_->AddRef();
    *info = gadgetInfo_.Get();
    return S_OK;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    HRESULT hr = DispGetIDsOfNames(gadgetInfo_.Get(), names, count, ids);
    if (hr == DISP_E_UNKNOWNNAME) hr = DispGetIDsOfNames(captionInfo_.Get(), names, count, ids);
    return hr;
  }
  // One IDispatch for the members of both interfaces (their identifiers differ).
  HRESULT Invoke(DISPID memid, REFIID, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result,
                 EXCEPINFO* excep, UINT* argErr) override {
    error_.clear();
    HRESULT hr = DispInvoke(static_cast<IGadgetVtable*>(this), gadgetInfo_.Get(), memid, flags, dp,
                            result, excep, argErr);
    if (hr == DISP_E_MEMBERNOTFOUND)
      hr = DispInvoke(static_cast<ICaptionVtable*>(this), captionInfo_.Get(), memid, flags, dp,
                      result, excep, argErr);
    // The control describes its own refusals.
    if (hr == DISP_E_EXCEPTION && excep != nullptr && !error_.empty()) {
      SysFreeString(excep->bstrSource);
      excep->bstrSource = halyard::ole::BstrFromAnsi("Gadget");
      excep->bstrDescription = halyard::ole::BstrFromAnsi(error_);
      excep->wCode = 1;
    }
    return hr;
  }

  // ICaption
  HRESULT get_Caption(BSTR* value) override {
    *value = SysAllocString(caption_ ? caption_ : u"");
    return S_OK;
  }
  HRESULT put_Caption(BSTR value) override {
    SysFreeString(caption_);
    caption_ = SysAllocString(value);
    return S_OK;
  }
  HRESULT Refresh() override {
    ++refreshes_;
    return S_OK;
  }

  // IGadget
  HRESULT get_Count(LONG* value) override {  // the refreshes so far
    *value = refreshes_;
    return S_OK;
  }
  HRESULT put_Limit(LONG value) override {
    if (value < 0) return Refuse("a limit cannot be negative");
    limit_ = value;
    return S_OK;
  }
  HRESULT putref_Target(IDispatch* value) override {
    if (value) value->AddRef();
    if (target_) target_->Release();
    target_ = value;
    return S_OK;
  }
  HRESULT get_ForeColor(ULONG* value) override {
    *value = color_;
    return S_OK;
  }
  HRESULT put_ForeColor(ULONG value) override {
    color_ = value;
    return S_OK;
  }
  HRESULT get_Font(IDispatch** value) override { return Give(value); }
  HRESULT putref_Font(IDispatch*) override { return Refuse("fonts are fixed"); }
  HRESULT get_Picture(IDispatch** value) override { return Give(value); }
  HRESULT get_Peer(IDispatch** value) override { return Give(value); }
  HRESULT get_Style(LONG* value) override {
    *value = style_;
    return S_OK;
  }
  HRESULT put_Style(LONG value) override {
    style_ = value;
    return S_OK;
  }
  HRESULT get_Secret(LONG* value) override {
    *value = 42;
    return S_OK;
  }
  HRESULT get_Locked(LONG* value) override {
    *value = 1;
    return S_OK;
  }
  HRESULT get_Item(LONG index, BSTR* value) override {
    *value = halyard::ole::BstrFromAnsi("item " + std::to_string(index));
    return S_OK;
  }
  HRESULT get_Enabled(VARIANT_BOOL* value) override {
    *value = enabled_;
    return S_OK;
  }
  HRESULT put_Enabled(VARIANT_BOOL value) override {
    enabled_ = value;
    return S_OK;
  }
  HRESULT Move(LONG x, LONG* y, VARIANT_BOOL* moved) override {
    *y += x;
    *moved = x != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT Measure(double a, float b, SHORT c, DATE d, LONGLONG e, VARIANT_BOOL* fits) override {
    const double total = a + b + c + double(e);
    *fits = total <= d ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT Blend(VARIANT v, SCODE code, VARIANT* result) override {
    if (FAILED(code)) return code;
    return VariantChangeType(result, &v, 0, VT_BSTR);
  }
  HRESULT Tweak(IUnknown* other, IDispatch** result) override {
    *result = nullptr;
    if (other == nullptr) return Refuse("nothing to tweak");
    return other->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(result));
  }
  HRESULT Wipe(LONG shade) override {
    style_ = shade;
    return S_OK;
  }
  HRESULT Spread(LONG a1, LONG a2, LONG a3, LONG a4, LONG a5, LONG a6, LONG a7, LONG a8, LONG a9,
                 LONG a10, LONG a11, BSTR a12) override {
    spread_ = std::to_string(a1 + a2 + a3 + a4 + a5 + a6 + a7 + a8 + a9 + a10 + a11) + " " +
              halyard::ole::AnsiFromBstr(a12);
    return S_OK;
  }
  HRESULT Describe(BSTR* text) override {
    std::string description =
        "limit " + std::to_string(limit_) + " style " + std::to_string(style_);
    if (!spread_.empty()) description += " spread " + spread_;
    *text = halyard::ole::BstrFromAnsi(description);
    return S_OK;
  }

 private:
  HRESULT Refuse(const char* why) {
    error_ = why;
    return E_INVALIDARG;
  }
  static HRESULT Give(IDispatch** value) {
    *value = nullptr;
    return S_OK;
  }

  std::atomic<ULONG> refs_{1};
  ComPtr<ITypeInfo> gadgetInfo_;
  ComPtr<ITypeInfo> captionInfo_;
  std::string error_;
  BSTR caption_ = nullptr;
  LONG refreshes_ = 0;
  LONG limit_ = 0;
  ULONG color_ = 0;
  LONG style_ = 0;
  VARIANT_BOOL enabled_ = VARIANT_FALSE;
  IDispatch* target_ = nullptr;
  std::string spread_;
};

// The type information of the two interfaces, from the control's type library.
HRESULT LoadInterfaces(ComPtr<ITypeInfo>* gadget, ComPtr<ITypeInfo>* caption) {
  std::u16string path = halyard::ole::AnsiToWide(QUARB_CONTROL_TYPELIB);
  ITypeLib* raw = nullptr;
  HRESULT hr = LoadTypeLib(path.c_str(), &raw);
  if (FAILED(hr)) return hr;
  ComPtr<ITypeLib> lib = ComPtr<ITypeLib>::Attach(raw);
  hr = lib->GetTypeInfoOfGuid(IID_IGadget, gadget->Put());
  if (SUCCEEDED(hr)) hr = lib->GetTypeInfoOfGuid(IID_ICaption, caption->Put());
  return hr;
}

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
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    ComPtr<ITypeInfo> gadget, caption;
    HRESULT hr = LoadInterfaces(&gadget, &caption);
    if (FAILED(hr)) return hr;
    Gadget* g = new Gadget(gadget.Get(), caption.Get());
    hr = g->QueryInterface(riid, ppv);
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
