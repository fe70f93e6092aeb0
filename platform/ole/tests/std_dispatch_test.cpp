// Dispatch through type information against C++ objects that implement interfaces of the
// fixture libraries: conversions, by-reference arguments, results and failures.
#include "platform/ole/std_dispatch.h"

#include <string>
#include <vector>

#include "platform/ole/bstr.h"
#include "platform/ole/testing/typelib_fixtures.h"

namespace halyard::ole::testing {
namespace {

// IGadget of gadgets.idl as its vtable lays it out.
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

// A gadget that records what it was called with and answers IDispatch through its type
// information.
class Gadget final : public IGadgetVtable {
 public:
  explicit Gadget(ITypeInfo* info) : info_(info) {}
  ~Gadget() {
    if (target_) target_->Release();
  }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) return E_NOINTERFACE;
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }  // lives on the stack of the test
  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    return DispGetIDsOfNames(info_, names, count, ids);
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* excep, UINT* argErr) override {
    return DispInvoke(static_cast<IGadgetVtable*>(this), info_, id, flags, params, result, excep,
                      argErr);
  }

  HRESULT get_Count(LONG* value) override {
    *value = count_;
    return S_OK;
  }
  HRESULT put_Limit(LONG value) override {
    if (value < 0) return E_INVALIDARG;
    count_ = value;
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
  HRESULT get_Font(IDispatch** value) override {
    *value = nullptr;
    return S_OK;
  }
  HRESULT putref_Font(IDispatch*) override { return S_OK; }
  HRESULT get_Picture(IDispatch** value) override {
    *value = nullptr;
    return S_OK;
  }
  HRESULT get_Peer(IDispatch** value) override {
    *value = nullptr;
    return S_OK;
  }
  HRESULT get_Style(LONG* value) override {
    *value = style_;
    return S_OK;
  }
  HRESULT put_Style(LONG value) override {
    style_ = value;
    return S_OK;
  }
  HRESULT get_Secret(LONG* value) override {
    *value = 7;
    return S_OK;
  }
  HRESULT get_Locked(LONG* value) override {
    *value = 8;
    return S_OK;
  }
  HRESULT get_Item(LONG index, BSTR* value) override {
    *value = BstrFromAnsi("item " + std::to_string(index));
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
    measured_ = std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) + " " +
                std::to_string(d) + " " + std::to_string(e);
    *fits = a > b ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT Blend(VARIANT v, SCODE code, VARIANT* result) override {
    if (code != S_OK) return code;
    return VariantChangeType(result, &v, 0, VT_BSTR);
  }
  HRESULT Tweak(IUnknown* other, IDispatch** result) override {
    *result = nullptr;
    return other ? other->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(result))
                 : E_POINTER;
  }
  HRESULT Wipe(LONG shade) override {
    style_ = shade;
    return S_OK;
  }
  HRESULT Spread(LONG a1, LONG a2, LONG a3, LONG a4, LONG a5, LONG a6, LONG a7, LONG a8, LONG a9,
                 LONG a10, LONG a11, BSTR a12) override {
    spread_ = std::to_string(a1 + a2 + a3 + a4 + a5 + a6 + a7 + a8 + a9 + a10) + "/" +
              std::to_string(a11) + "/" + AnsiFromBstr(a12);
    return S_OK;
  }
  HRESULT Describe(BSTR* text) override {
    *text = BstrFromAnsi("a gadget");
    return S_OK;
  }

  ITypeInfo* info_;
  ULONG refs_ = 1;
  LONG count_ = 3;
  ULONG color_ = 0x00FF00;
  LONG style_ = 0;
  VARIANT_BOOL enabled_ = VARIANT_FALSE;
  IDispatch* target_ = nullptr;
  std::string measured_;
  std::string spread_;
};

VARIANT Long(LONG v) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_I4;
  r.lVal = v;
  return r;
}
VARIANT Text(const std::string& s) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_BSTR;
  r.bstrVal = BstrFromAnsi(s);
  return r;
}
VARIANT Double(double d) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_R8;
  r.dblVal = d;
  return r;
}

// Arguments in call order; kept reversed in the DISPPARAMS as automation passes them.
struct Call {
  explicit Call(std::vector<VARIANT> in) : args(in.rbegin(), in.rend()) {}
  ~Call() {
    for (VARIANT& v : args) VariantClear(&v);
    VariantClear(&result);
    ClearExcepInfo(&excep);
  }
  HRESULT Run(IDispatch* target, DISPID id, WORD flags) {
    params.rgvarg = args.empty() ? nullptr : args.data();
    params.cArgs = UINT(args.size());
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      params.rgdispidNamedArgs = &putId;
      params.cNamedArgs = 1;
    }
    return target->Invoke(id, IID_NULL, 0, flags, &params, &result, &excep, &argErr);
  }
  std::vector<VARIANT> args;
  DISPPARAMS params{};
  DISPID putId = DISPID_PROPERTYPUT;
  VARIANT result{};
  EXCEPINFO excep{};
  UINT argErr = 99;
};

class StdDispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lib = Load("gadgets.tlb");
    info = Find(lib.Get(), "IGadget");
  }
  ComPtr<ITypeLib> lib;
  ComPtr<ITypeInfo> info;
};

TEST_F(StdDispatchTest, PropertiesGetPutAndPutByReference) {
  Gadget g(info.Get());
  {
    Call c({});
    ASSERT_EQ(c.Run(&g, 10, DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(c.result.vt, VT_I4);
    EXPECT_EQ(c.result.lVal, 3);
  }
  {
    Call c({Text("42")});  // converted to the parameter's long
    ASSERT_EQ(c.Run(&g, 11, DISPATCH_PROPERTYPUT), S_OK);
    EXPECT_EQ(g.count_, 42);
    EXPECT_EQ(c.result.vt, VT_EMPTY);
  }
  {
    Call c({Double(2.5)});  // rounds half to even
    ASSERT_EQ(c.Run(&g, 11, DISPATCH_PROPERTYPUT), S_OK);
    EXPECT_EQ(g.count_, 2);
  }
  {
    // OLE_COLOR is an alias in the imported library; the style an alias of an enumeration.
    Call c({Long(0x123456)});
    ASSERT_EQ(c.Run(&g, -513, DISPATCH_PROPERTYPUT), S_OK);
    EXPECT_EQ(g.color_, 0x123456u);
    Call get({});
    ASSERT_EQ(get.Run(&g, -513, DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(get.result.vt, VT_UI4);
    EXPECT_EQ(get.result.ulVal, 0x123456u);
    Call style({Text("-2")});
    ASSERT_EQ(style.Run(&g, 15, DISPATCH_PROPERTYPUT), S_OK);
    EXPECT_EQ(g.style_, -2);
  }
  {
    Call c({Long(-1)});  // true
    ASSERT_EQ(c.Run(&g, 19, DISPATCH_PROPERTYPUT), S_OK);
    EXPECT_EQ(g.enabled_, VARIANT_TRUE);
    Call get({});
    ASSERT_EQ(get.Run(&g, 19, DISPATCH_PROPERTYGET | DISPATCH_METHOD), S_OK);
    EXPECT_EQ(get.result.vt, VT_BOOL);
    EXPECT_EQ(get.result.boolVal, VARIANT_TRUE);
  }
  {
    Gadget other(info.Get());
    VARIANT d;
    VariantInit(&d);
    d.vt = VT_DISPATCH;
    d.pdispVal = &other;
    other.AddRef();
    Call c({d});
    ASSERT_EQ(c.Run(&g, 12, DISPATCH_PROPERTYPUTREF), S_OK);
    EXPECT_EQ(g.target_, &other);
    EXPECT_EQ(other.refs_, 3u);  // the gadget's, and the argument's until it is cleared
    g.putref_Target(nullptr);
  }
  {
    Call c({Long(5)});  // a get with an index parameter
    ASSERT_EQ(c.Run(&g, 18, DISPATCH_PROPERTYGET), S_OK);
    ASSERT_EQ(c.result.vt, VT_BSTR);
    EXPECT_EQ(AnsiFromBstr(c.result.bstrVal), "item 5");
  }
}

TEST_F(StdDispatchTest, MethodsOfEveryArgumentType) {
  Gadget g(info.Get());
  {
    // A long, an in/out long by reference, an out bool lent as a variant.
    LONG y = 10;
    VARIANT yRef;
    VariantInit(&yRef);
    yRef.vt = VT_BYREF | VT_I4;
    yRef.plVal = &y;
    VARIANT moved;
    VariantInit(&moved);
    VARIANT movedRef;
    VariantInit(&movedRef);
    movedRef.vt = VT_BYREF | VT_VARIANT;
    movedRef.pvarVal = &moved;
    Call c({Long(5), yRef, movedRef});
    ASSERT_EQ(c.Run(&g, 20, DISPATCH_METHOD), S_OK);
    EXPECT_EQ(y, 15);
    EXPECT_EQ(moved.vt, VT_BOOL);
    EXPECT_EQ(moved.boolVal, VARIANT_TRUE);
    c.args.clear();  // borrowed
  }
  {
    // Double, float, short, date and 64-bit integer, each converted from another type.
    VARIANT date;
    VariantInit(&date);
    date.vt = VT_DATE;
    date.date = 45000.5;
    VARIANT big;
    VariantInit(&big);
    big.vt = VT_I8;
    big.llVal = 1LL << 40;
    Call c({Text("3.5"), Long(2), Double(-7), date, big});
    ASSERT_EQ(c.Run(&g, 21, DISPATCH_METHOD), S_OK);
    EXPECT_EQ(g.measured_, "3.500000 2.000000 -7 45000.500000 1099511627776");
    EXPECT_EQ(c.result.vt, VT_BOOL);
    EXPECT_EQ(c.result.boolVal, VARIANT_TRUE);
  }
  {
    VARIANT code;
    VariantInit(&code);
    code.vt = VT_ERROR;
    code.scode = S_OK;
    Call c({Double(1.25), code});  // a VARIANT by value and a result variant
    ASSERT_EQ(c.Run(&g, 22, DISPATCH_METHOD), S_OK);
    ASSERT_EQ(c.result.vt, VT_BSTR);
    EXPECT_EQ(AnsiFromBstr(c.result.bstrVal), "1.25");
  }
  {
    // Twelve arguments: more than the registers hold.
    std::vector<VARIANT> args;
    for (LONG i = 1; i <= 11; ++i) args.push_back(Long(i));
    args.push_back(Text("tail"));
    Call c(args);
    ASSERT_EQ(c.Run(&g, 25, DISPATCH_METHOD), S_OK);
    EXPECT_EQ(g.spread_, "55/11/tail");
  }
  {
    Call c({});
    ASSERT_EQ(c.Run(&g, 26, DISPATCH_METHOD), S_OK);
    ASSERT_EQ(c.result.vt, VT_BSTR);
    EXPECT_EQ(AnsiFromBstr(c.result.bstrVal), "a gadget");
  }
  {
    VARIANT u;
    VariantInit(&u);
    u.vt = VT_UNKNOWN;
    u.punkVal = &g;
    g.AddRef();
    Call c({u});  // an interface argument and an interface result
    ASSERT_EQ(c.Run(&g, 23, DISPATCH_METHOD), S_OK);
    ASSERT_EQ(c.result.vt, VT_DISPATCH);
    EXPECT_EQ(c.result.pdispVal, static_cast<IDispatch*>(&g));
  }
  EXPECT_EQ(g.refs_, 1u);
}

TEST_F(StdDispatchTest, BadCallsGiveTheirCodesAndFailuresAnException) {
  Gadget g(info.Get());
  {
    Call c({Text("many")});
    EXPECT_EQ(c.Run(&g, 11, DISPATCH_PROPERTYPUT), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(c.argErr, 0u);
  }
  {
    Call c({Long(1), Text("x"), Long(3)});  // y must be a long by reference
    EXPECT_EQ(c.Run(&g, 20, DISPATCH_METHOD), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(c.argErr, 1u);  // index into the reversed arguments
  }
  {
    Call c({Long(1)});
    EXPECT_EQ(c.Run(&g, 20, DISPATCH_METHOD), DISP_E_BADPARAMCOUNT);
    VARIANT missing;
    VariantInit(&missing);
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    Call marked({Long(1), missing, missing});
    EXPECT_EQ(marked.Run(&g, 20, DISPATCH_METHOD), DISP_E_PARAMNOTOPTIONAL);
  }
  {
    Call c({Long(1), Long(2)});
    EXPECT_EQ(c.Run(&g, 26, DISPATCH_METHOD), DISP_E_BADPARAMCOUNT);
  }
  {
    Call c({});
    EXPECT_EQ(c.Run(&g, 999, DISPATCH_METHOD), DISP_E_MEMBERNOTFOUND);
    Call put({Long(1)});
    EXPECT_EQ(put.Run(&g, 10, DISPATCH_PROPERTYPUT), DISP_E_MEMBERNOTFOUND);  // read-only
  }
  {
    Call c({Long(-5)});  // the object refuses
    EXPECT_EQ(c.Run(&g, 11, DISPATCH_PROPERTYPUT), DISP_E_EXCEPTION);
    EXPECT_EQ(c.excep.scode, E_INVALIDARG);
    EXPECT_EQ(AnsiFromBstr(c.excep.bstrSource), "IGadget");
  }
  {
    VARIANT code;
    VariantInit(&code);
    code.vt = VT_ERROR;
    code.scode = E_FAIL;
    Call c({Long(1), code});
    EXPECT_EQ(c.Run(&g, 22, DISPATCH_METHOD), DISP_E_EXCEPTION);
    EXPECT_EQ(c.excep.scode, E_FAIL);
    EXPECT_EQ(c.result.vt, VT_EMPTY);
  }
  // A dispatch interface without a vtable cannot be called this way.
  ComPtr<ITypeInfo> peer = Find(lib.Get(), "IPeer");
  DISPPARAMS none{};
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(DispInvoke(&g, peer.Get(), 1, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(
      DispInvoke(&g, info.Get(), 10, DISPATCH_PROPERTYGET, nullptr, &result, nullptr, nullptr),
      E_INVALIDARG);
  EXPECT_EQ(DispInvoke(&g, nullptr, 10, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
            E_INVALIDARG);
}

// IDerived of derived.idl, whose members come after IBase's.
struct IDerivedVtable : IDispatch {
  virtual HRESULT get_Size(LONG* value) = 0;
  virtual HRESULT Reset(LONG to) = 0;
  virtual HRESULT get_Title(BSTR* value) = 0;
  virtual HRESULT Grow(LONG by, LONG* result) = 0;
};

class Widget final : public IDerivedVtable {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT get_Size(LONG* value) override {
    *value = size;
    return S_OK;
  }
  HRESULT Reset(LONG to) override {
    size = to;
    return S_OK;
  }
  HRESULT get_Title(BSTR* value) override {
    *value = BstrFromAnsi("widget");
    return S_OK;
  }
  HRESULT Grow(LONG by, LONG* result) override {
    size += by;
    *result = size;
    return S_OK;
  }
  LONG size = 1;
};

TEST(StdDispatch, StandardDispatchCallsInheritedAndOwnMembersAndAggregates) {
  ComPtr<ITypeLib> lib = Load("derived.tlb");
  ComPtr<ITypeInfo> derived = Find(lib.Get(), "IDerived");
  Widget w;
  IUnknown* unknown = nullptr;
  ASSERT_EQ(CreateStdDispatch(nullptr, static_cast<IDerivedVtable*>(&w), derived.Get(), &unknown),
            S_OK);
  ComPtr<IUnknown> owner = ComPtr<IUnknown>::Attach(unknown);
  ComPtr<IDispatch> disp;
  ASSERT_EQ(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(disp.Put())), S_OK);
  {
    Call c({Long(9)});  // IBase's Reset
    ASSERT_EQ(c.Run(disp.Get(), 2, DISPATCH_METHOD), S_OK);
    EXPECT_EQ(w.size, 9);
    Call grow({Text("4")});
    ASSERT_EQ(grow.Run(disp.Get(), 4, DISPATCH_METHOD), S_OK);
    EXPECT_EQ(grow.result.lVal, 13);
    Call size({});
    ASSERT_EQ(size.Run(disp.Get(), 1, DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(size.result.lVal, 13);
    Call title({});
    ASSERT_EQ(title.Run(disp.Get(), 3, DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(AnsiFromBstr(title.result.bstrVal), "widget");
  }
  std::u16string name = u"grow";
  LPOLESTR names[] = {name.data()};
  DISPID id = 0;
  ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 4);
  ComPtr<ITypeInfo> back;
  ASSERT_EQ(disp->GetTypeInfo(0, 0, back.Put()), S_OK);
  EXPECT_EQ(back.Get(), derived.Get());
  EXPECT_EQ(disp->GetTypeInfo(1, 0, back.Put()), DISP_E_BADINDEX);

  // Aggregated: the outer object answers for the identity and counts the references.
  struct Outer : IUnknown {
    HRESULT QueryInterface(REFIID, void** ppv) override {
      *ppv = nullptr;
      ++queries;
      return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    ULONG refs = 1;
    int queries = 0;
  } outer;
  IUnknown* inner = nullptr;
  ASSERT_EQ(CreateStdDispatch(&outer, &w, derived.Get(), &inner), S_OK);
  IDispatch* aggregated = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&aggregated)), S_OK);
  EXPECT_EQ(outer.refs, 2u);
  void* other = nullptr;
  EXPECT_EQ(aggregated->QueryInterface(IID_IUnknown, &other), E_NOINTERFACE);
  EXPECT_EQ(outer.queries, 1);
  aggregated->Release();
  EXPECT_EQ(outer.refs, 1u);
  EXPECT_EQ(inner->Release(), 0u);
}

}  // namespace
}  // namespace halyard::ole::testing
