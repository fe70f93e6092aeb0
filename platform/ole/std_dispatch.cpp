#include "std_dispatch.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using halyard::ole::ComPtr;

// ---------------------------------------------------------------------------------------
// The machine call. On x86-64 (System V) the first six integer-class arguments travel in
// general registers, the first eight floating-point ones in vector registers, the rest on
// the stack in argument order; a 16-byte VARIANT is two integer words, in registers only when
// both fit. A call through a pointer whose type has every register argument and a fixed run
// of stack words places each argument where the callee looks for it; the words it does not
// use are ignored, the caller removing them.

using Word = std::uint64_t;
constexpr int kIntRegs = 6;
constexpr int kFloatRegs = 8;
constexpr int kStackWords = 32;

struct Frame {
  Word ints[kIntRegs] = {};
  Word floats[kFloatRegs] = {};
  Word stack[kStackWords] = {};
  int intCount = 0, floatCount = 0, stackCount = 0;

  bool Int(Word w) {
    if (intCount < kIntRegs) {
      ints[intCount++] = w;
      return true;
    }
    return Stack(w);
  }
  bool Float(Word w) {
    if (floatCount < kFloatRegs) {
      floats[floatCount++] = w;
      return true;
    }
    return Stack(w);
  }
  bool Pair(Word a, Word b) {
    if (intCount + 2 <= kIntRegs) {
      ints[intCount++] = a;
      ints[intCount++] = b;
      return true;
    }
    return Stack(a) && Stack(b);
  }
  bool Stack(Word w) {
    if (stackCount == kStackWords) return false;
    stack[stackCount++] = w;
    return true;
  }
};

struct WordPair {
  Word a, b;
};

#define HALYARD_CALL_PARAMS                                                                       \
  Word, Word, Word, Word, Word, Word, double, double, double, double, double, double, double,     \
      double, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, \
      Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word, Word,   \
      Word, Word, Word

template <typename R>
using Callee = R (*)(HALYARD_CALL_PARAMS);

double AsDouble(Word w) {
  double d;
  std::memcpy(&d, &w, sizeof d);
  return d;
}

// The callee's real type is only known at run time, so the sanitizer's check of the called
// function's type cannot apply to this one call.
#if defined(__clang__)
#define HALYARD_NO_FUNCTION_CHECK __attribute__((no_sanitize("function")))
#else
#define HALYARD_NO_FUNCTION_CHECK
#endif

template <typename R>
HALYARD_NO_FUNCTION_CHECK R Call(void* fn, const Frame& f) {
  auto callee = reinterpret_cast<Callee<R>>(fn);
  const Word* s = f.stack;
  return callee(f.ints[0], f.ints[1], f.ints[2], f.ints[3], f.ints[4], f.ints[5],
                AsDouble(f.floats[0]), AsDouble(f.floats[1]), AsDouble(f.floats[2]),
                AsDouble(f.floats[3]), AsDouble(f.floats[4]), AsDouble(f.floats[5]),
                AsDouble(f.floats[6]), AsDouble(f.floats[7]), s[0], s[1], s[2], s[3], s[4], s[5],
                s[6], s[7], s[8], s[9], s[10], s[11], s[12], s[13], s[14], s[15], s[16], s[17],
                s[18], s[19], s[20], s[21], s[22], s[23], s[24], s[25], s[26], s[27], s[28], s[29],
                s[30], s[31]);
}

static_assert(kStackWords == 32, "Call passes 32 stack words");
static_assert(sizeof(VARIANT) == 2 * sizeof(Word), "a VARIANT travels as two words");

// Places one argument; false when it cannot be passed.
bool Place(Frame& f, VARTYPE vt, const VARIANT& v) {
  if (vt & VT_BYREF) return f.Int(reinterpret_cast<Word>(v.byref));
  switch (vt) {
    case VT_I1:
      return f.Int(Word(std::int64_t(v.cVal)));
    case VT_UI1:
      return f.Int(v.bVal);
    case VT_I2:
    case VT_BOOL:
      return f.Int(Word(std::int64_t(v.iVal)));
    case VT_UI2:
      return f.Int(v.uiVal);
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
    case VT_HRESULT:
      return f.Int(Word(std::int64_t(v.lVal)));
    case VT_UI4:
    case VT_UINT:
      return f.Int(v.ulVal);
    case VT_I8:
    case VT_UI8:
    case VT_CY:
      return f.Int(Word(v.llVal));
    case VT_R4: {
      std::uint32_t bits;
      std::memcpy(&bits, &v.fltVal, sizeof bits);
      return f.Float(bits);
    }
    case VT_R8:
    case VT_DATE: {
      Word bits;
      std::memcpy(&bits, &v.dblVal, sizeof bits);
      return f.Float(bits);
    }
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
    case VT_PTR:
      return f.Int(reinterpret_cast<Word>(v.byref));
    case VT_VARIANT: {
      Word w[2];
      std::memcpy(w, &v, sizeof w);
      return f.Pair(w[0], w[1]);
    }
    default:
      return false;
  }
}

bool ReturnsInteger(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_ERROR:
    case VT_HRESULT:
    case VT_I8:
    case VT_UI8:
    case VT_CY:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------
// Types of parameters as the call needs them.

struct Resolved {
  VARTYPE vt = VT_EMPTY;       // with VT_BYREF for a pointer to a value
  bool interfaceType = false;  // a user-defined interface, before the pointer to it
};

constexpr int kMaxDepth = 16;

HRESULT Resolve(ITypeInfo* info, const TYPEDESC& td, Resolved* out, int depth) {
  if (depth > kMaxDepth) return DISP_E_BADVARTYPE;
  *out = Resolved{};
  switch (td.vt) {
    case VT_PTR: {
      if (!td.lptdesc) return DISP_E_BADVARTYPE;
      Resolved inner;
      HRESULT hr = Resolve(info, *td.lptdesc, &inner, depth + 1);
      if (FAILED(hr)) return hr;
      if (inner.interfaceType) {
        out->vt = inner.vt;  // an interface pointer, passed by value
        return S_OK;
      }
      if (inner.vt & VT_BYREF || inner.vt == VT_VOID) return DISP_E_BADVARTYPE;
      out->vt = VARTYPE(inner.vt | VT_BYREF);
      return S_OK;
    }
    case VT_USERDEFINED: {
      ComPtr<ITypeInfo> ref;
      if (FAILED(info->GetRefTypeInfo(td.hreftype, ref.Put())) || !ref) return DISP_E_BADVARTYPE;
      TYPEATTR* a = nullptr;
      if (FAILED(ref->GetTypeAttr(&a))) return DISP_E_BADVARTYPE;
      HRESULT hr = S_OK;
      switch (a->typekind) {
        case TKIND_ENUM:
          out->vt = VT_I4;
          break;
        case TKIND_ALIAS:
          hr = Resolve(ref.Get(), a->tdescAlias, out, depth + 1);
          break;
        case TKIND_INTERFACE:
        case TKIND_COCLASS:
          out->vt = VT_UNKNOWN;
          out->interfaceType = true;
          break;
        case TKIND_DISPATCH:
          out->vt = VT_DISPATCH;
          out->interfaceType = true;
          break;
        default:
          hr = DISP_E_BADVARTYPE;
          break;
      }
      ref->ReleaseTypeAttr(a);
      return hr;
    }
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
    case VT_ERROR:
    case VT_BOOL:
    case VT_VARIANT:
    case VT_HRESULT:
    case VT_VOID:
      out->vt = td.vt;
      return S_OK;
    default:
      return DISP_E_BADVARTYPE;
  }
}

// The vtable function of info's interface (or of one of its base interfaces) with the
// member id and an invocation kind among flags, and the type information it belongs to.
HRESULT FindVtableFunc(ITypeInfo* info, MEMBERID memid, WORD flags, ComPtr<ITypeInfo>* owner,
                       FUNCDESC** found, bool* memberSeen) {
  ComPtr<ITypeInfo> current(info);
  for (int depth = 0; current && depth < kMaxDepth; ++depth) {
    TYPEATTR* a = nullptr;
    if (FAILED(current->GetTypeAttr(&a))) return TYPE_E_ELEMENTNOTFOUND;
    const TYPEKIND kind = a->typekind;
    const bool dual = a->wTypeFlags & TYPEFLAG_FDUAL;
    const UINT funcs = a->cFuncs;
    const UINT impls = a->cImplTypes;
    current->ReleaseTypeAttr(a);
    HREFTYPE href = 0;
    if (kind == TKIND_DISPATCH) {
      // Only a dual interface has a vtable behind its dispatch face.
      ComPtr<ITypeInfo> vtable;
      if (!dual || FAILED(current->GetRefTypeOfImplType(UINT(-1), &href)) ||
          FAILED(current->GetRefTypeInfo(href, vtable.Put())) || !vtable)
        return TYPE_E_ELEMENTNOTFOUND;
      current = vtable;
      continue;
    }
    if (kind != TKIND_INTERFACE) return TYPE_E_ELEMENTNOTFOUND;
    for (UINT i = 0; i < funcs; ++i) {
      FUNCDESC* f = nullptr;
      if (FAILED(current->GetFuncDesc(i, &f))) continue;
      if (f->memid == memid) {
        *memberSeen = true;
        if (f->invkind & flags) {
          *owner = current;
          *found = f;
          return S_OK;
        }
      }
      current->ReleaseFuncDesc(f);
    }
    ComPtr<ITypeInfo> base;
    if (impls == 0 || FAILED(current->GetRefTypeOfImplType(0, &href)) ||
        FAILED(current->GetRefTypeInfo(href, base.Put())))
      break;
    current = base;
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

bool IsMissing(const VARIANT& v) { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

// Everything a call borrows or makes, released after it.
struct CallState {
  std::vector<VARIANT> temps;  // converted arguments and the result holder, owned
  std::vector<VARTYPE> types;
  std::vector<VARIANT*> args;
  ~CallState() {
    for (VARIANT& v : temps) VariantClear(&v);
  }
};

void SetArgErr(UINT* argErr, UINT index) {
  if (argErr) *argErr = index;
}

// Fills the argument of one parameter. source is the caller's argument (null when missing).
HRESULT PrepareArgument(ITypeInfo* owner, const ELEMDESC& param, VARIANT* source, UINT sourceIndex,
                        UINT* argErr, CallState& state, std::size_t slot) {
  Resolved type;
  if (FAILED(Resolve(owner, param.tdesc, &type, 0))) return DISP_E_BADVARTYPE;
  VARIANT& temp = state.temps[slot];
  const USHORT pflags = param.paramdesc.wParamFlags;
  if (!source || IsMissing(*source)) {
    if (pflags & PARAMFLAG_FHASDEFAULT && param.paramdesc.pparamdescex) {
      source = &param.paramdesc.pparamdescex->varDefaultValue;
    } else if ((pflags & PARAMFLAG_FOPT) && type.vt == VT_VARIANT) {
      temp.vt = VT_ERROR;
      temp.scode = DISP_E_PARAMNOTFOUND;
      state.types[slot] = VT_VARIANT;
      state.args[slot] = &temp;
      return S_OK;
    } else {
      return DISP_E_PARAMNOTOPTIONAL;
    }
  }
  state.types[slot] = type.vt;
  if (type.vt == VT_VARIANT) {
    state.args[slot] = source;  // passed by value, as the caller gave it
    return S_OK;
  }
  if (type.vt & VT_BYREF) {
    const VARTYPE target = VARTYPE(type.vt & ~VT_BYREF);
    if (source->vt == type.vt) {
      state.args[slot] = source;
      return S_OK;
    }
    if (source->vt == (VT_BYREF | VT_VARIANT) && source->pvarVal && target != VT_VARIANT) {
      // A variant the caller lends: it takes the parameter's type and the call writes it.
      VARIANT* held = source->pvarVal;
      if (held->vt != target) {
        if (pflags & PARAMFLAG_FIN) {
          HRESULT hr = VariantChangeType(held, held, 0, target);
          if (FAILED(hr)) {
            SetArgErr(argErr, sourceIndex);
            return DISP_E_TYPEMISMATCH;
          }
        } else {
          VariantClear(held);
          held->vt = target;
          held->llVal = 0;
        }
      }
      temp.vt = type.vt;
      temp.byref = &held->llVal;
      state.args[slot] = &temp;
      return S_OK;
    }
    SetArgErr(argErr, sourceIndex);
    return DISP_E_TYPEMISMATCH;
  }
  HRESULT hr = VariantChangeType(&temp, source, 0, type.vt);
  if (FAILED(hr)) {
    SetArgErr(argErr, sourceIndex);
    return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
  }
  state.args[slot] = &temp;
  return S_OK;
}

void FillException(ITypeInfo* info, HRESULT code, EXCEPINFO* excepInfo) {
  if (!excepInfo) return;
  std::memset(excepInfo, 0, sizeof *excepInfo);
  excepInfo->scode = code;
  BSTR name = nullptr;
  if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)))
    excepInfo->bstrSource = name;
}

// ---------------------------------------------------------------------------------------

class StdDispatch final : public IDispatch {
 public:
  StdDispatch(IUnknown* outer, void* instance, ITypeInfo* info)
      : outer_(outer), instance_(instance), info_(info) {
    inner_.self = this;
  }

  IUnknown* Inner() { return &inner_; }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (outer_) return outer_->QueryInterface(riid, ppv);
    return inner_.QueryInterface(riid, ppv);
  }
  ULONG AddRef() override { return outer_ ? outer_->AddRef() : inner_.AddRef(); }
  ULONG Release() override { return outer_ ? outer_->Release() : inner_.Release(); }

  HRESULT GetTypeInfoCount(UINT* pctinfo) override {
    if (!pctinfo) return E_INVALIDARG;
    *pctinfo = 1;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override {
    if (!ppTInfo) return E_INVALIDARG;
    *ppTInfo = nullptr;
    if (iTInfo != 0) return DISP_E_BADINDEX;
    info_->AddRef();
    *ppTInfo = info_.Get();
    return S_OK;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) override {
    return DispGetIDsOfNames(info_.Get(), rgszNames, cNames, rgDispId);
  }
  HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    return DispInvoke(instance_, info_.Get(), dispIdMember, wFlags, pDispParams, pVarResult,
                      pExcepInfo, puArgErr);
  }

 private:
  // The object's own identity, which counts its references even when aggregated.
  struct InnerUnknown final : IUnknown {
    StdDispatch* self = nullptr;
    ULONG refs = 1;
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
      if (!ppv) return E_POINTER;
      *ppv = nullptr;
      if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IUnknown*>(this);
      } else if (IsEqualIID(riid, IID_IDispatch)) {
        *ppv = static_cast<IDispatch*>(self);
      } else {
        return E_NOINTERFACE;
      }
      static_cast<IUnknown*>(*ppv)->AddRef();
      return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
      ULONG r = --refs;
      if (r == 0) delete self;
      return r;
    }
  };

  InnerUnknown inner_;
  IUnknown* outer_;
  void* instance_;
  ComPtr<ITypeInfo> info_;
};

}  // namespace

HRESULT DispCallFunc(void* pvInstance, ULONG_PTR oVft, CALLCONV cc, VARTYPE vtReturn, UINT cActuals,
                     VARTYPE* prgvt, VARIANTARG** prgpvarg, VARIANT* pvargResult) {
#if defined(__x86_64__)
  if (!pvInstance || (cActuals && (!prgvt || !prgpvarg)) || oVft % sizeof(void*) != 0)
    return E_INVALIDARG;
  if (cc != CC_STDCALL && cc != CC_CDECL) return E_INVALIDARG;
  Frame frame;
  frame.Int(reinterpret_cast<Word>(pvInstance));
  for (UINT i = 0; i < cActuals; ++i) {
    const VARTYPE vt = prgvt[i];
    if (!prgpvarg[i]) return E_INVALIDARG;
    if (vt == VT_EMPTY || vt == VT_VOID) return DISP_E_BADVARTYPE;
    const bool known = (vt & VT_BYREF) || vt == VT_VARIANT || ReturnsInteger(vt) || vt == VT_R4 ||
                       vt == VT_R8 || vt == VT_DATE || vt == VT_PTR;
    if (!known) return DISP_E_BADVARTYPE;
    if (!Place(frame, vt, *prgpvarg[i])) return E_INVALIDARG;
  }
  void* const* vtable = *static_cast<void* const* const*>(pvInstance);
  void* fn = vtable[oVft / sizeof(void*)];
  VARIANT result;
  VariantInit(&result);
  if (vtReturn == VT_EMPTY || vtReturn == VT_VOID) {
    Call<Word>(fn, frame);
  } else if (vtReturn == VT_R4) {
    result.fltVal = Call<float>(fn, frame);
  } else if (vtReturn == VT_R8 || vtReturn == VT_DATE) {
    result.dblVal = Call<double>(fn, frame);
  } else if (vtReturn == VT_VARIANT) {
    WordPair pair = Call<WordPair>(fn, frame);
    std::memcpy(&result, &pair, sizeof result);
  } else if (ReturnsInteger(vtReturn)) {
    Word w = Call<Word>(fn, frame);
    switch (vtReturn) {
      case VT_I1:
      case VT_UI1:
        result.bVal = BYTE(w);
        break;
      case VT_I2:
      case VT_UI2:
      case VT_BOOL:
        result.uiVal = USHORT(w);
        break;
      case VT_I4:
      case VT_UI4:
      case VT_INT:
      case VT_UINT:
      case VT_ERROR:
      case VT_HRESULT:
        result.ulVal = ULONG(w);
        break;
      default:
        result.ullVal = w;
        break;
    }
  } else {
    return DISP_E_BADVARTYPE;
  }
  if (vtReturn != VT_VARIANT && vtReturn != VT_EMPTY && vtReturn != VT_VOID) result.vt = vtReturn;
  if (pvargResult) {
    *pvargResult = result;
  } else if (vtReturn != VT_HRESULT) {
    VariantClear(&result);
  }
  return S_OK;
#else
  (void)pvInstance, (void)oVft, (void)cc, (void)vtReturn, (void)cActuals, (void)prgvt,
      (void)prgpvarg, (void)pvargResult;
  return E_NOTIMPL;
#endif
}

HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, LPOLESTR* rgszNames, UINT cNames, DISPID* rgdispid) {
  if (!ptinfo) return E_INVALIDARG;
  return ptinfo->GetIDsOfNames(rgszNames, cNames, rgdispid);
}

HRESULT DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags,
                   DISPPARAMS* pparams, VARIANT* pvarResult, EXCEPINFO* pexcepinfo,
                   UINT* puArgErr) {
  if (!ptinfo) return E_INVALIDARG;
  return ptinfo->Invoke(_this, dispidMember, wFlags, pparams, pvarResult, pexcepinfo, puArgErr);
}

HRESULT CreateStdDispatch(IUnknown* punkOuter, void* pvThis, ITypeInfo* ptinfo,
                          IUnknown** ppunkStdDisp) {
  if (!ppunkStdDisp) return E_INVALIDARG;
  *ppunkStdDisp = nullptr;
  if (!pvThis || !ptinfo) return E_INVALIDARG;
  auto* object = new StdDispatch(punkOuter, pvThis, ptinfo);
  *ppunkStdDisp = object->Inner();
  return S_OK;
}

namespace halyard::ole {

HRESULT InvokeByTypeInfo(ITypeInfo* info, PVOID instance, MEMBERID memid, WORD flags,
                         DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
  if (!instance || !params || (params->cArgs && !params->rgvarg) ||
      (params->cNamedArgs && !params->rgdispidNamedArgs) || params->cNamedArgs > params->cArgs)
    return E_INVALIDARG;
  flags &= DISPATCH_METHOD | DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
  if (!flags) return E_INVALIDARG;
  ComPtr<ITypeInfo> owner;
  FUNCDESC* f = nullptr;
  bool seen = false;
  if (FAILED(FindVtableFunc(info, memid, flags, &owner, &f, &seen))) return DISP_E_MEMBERNOTFOUND;
  struct Release {
    ITypeInfo* info;
    FUNCDESC* f;
    ~Release() { info->ReleaseFuncDesc(f); }
  } release{owner.Get(), f};

  const bool put = f->invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF);
  const UINT named = params->cNamedArgs;
  const UINT positional = params->cArgs - named;
  // The value of a put is named DISPID_PROPERTYPUT; other named arguments are parameter
  // positions.
  const UINT count = UINT(f->cParams);
  CallState state;
  state.temps.resize(count + 1);
  for (VARIANT& v : state.temps) VariantInit(&v);
  state.types.resize(count);
  state.args.resize(count);
  // The parameters an argument can fill: all but the [retval] and the locale.
  std::vector<UINT> inputs;
  int retval = -1;
  for (UINT i = 0; i < count; ++i) {
    USHORT pf = f->lprgelemdescParam[i].paramdesc.wParamFlags;
    if (pf & PARAMFLAG_FRETVAL)
      retval = int(i);
    else if (!(pf & PARAMFLAG_FLCID))
      inputs.push_back(i);
  }
  UINT namedUsed = 0;
  if (positional > inputs.size()) return DISP_E_BADPARAMCOUNT;
  for (UINT k = 0; k < inputs.size(); ++k) {
    const UINT i = inputs[k];
    VARIANT* source = nullptr;
    UINT sourceIndex = 0;
    for (UINT n = 0; n < named; ++n) {
      DISPID id = params->rgdispidNamedArgs[n];
      bool match = id == DISPID(i) || (put && id == DISPID_PROPERTYPUT && k + 1 == inputs.size());
      if (match) {
        source = &params->rgvarg[n];
        sourceIndex = n;
        ++namedUsed;
        break;
      }
    }
    if (!source && k < positional) {
      sourceIndex = params->cArgs - 1 - k;
      source = &params->rgvarg[sourceIndex];
    } else if (!source && !(f->lprgelemdescParam[i].paramdesc.wParamFlags &
                            (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT))) {
      return DISP_E_BADPARAMCOUNT;  // fewer arguments than the required parameters
    }
    HRESULT hr = PrepareArgument(owner.Get(), f->lprgelemdescParam[i], source, sourceIndex, argErr,
                                 state, i);
    if (FAILED(hr)) return hr;
  }
  if (namedUsed != named) return DISP_E_PARAMNOTFOUND;
  for (UINT i = 0; i < count; ++i) {
    if (f->lprgelemdescParam[i].paramdesc.wParamFlags & PARAMFLAG_FLCID) {
      state.temps[i].vt = VT_I4;
      state.temps[i].lVal = LONG(LOCALE_USER_DEFAULT);
      state.types[i] = VT_I4;
      state.args[i] = &state.temps[i];
    }
  }
  VARIANT& holder = state.temps[count];  // what the [retval] points at
  VARIANT retvalPointer;
  VariantInit(&retvalPointer);
  if (retval >= 0) {
    Resolved type;
    if (FAILED(Resolve(owner.Get(), f->lprgelemdescParam[retval].tdesc, &type, 0)) ||
        !(type.vt & VT_BYREF))
      return DISP_E_BADVARTYPE;
    const VARTYPE target = VARTYPE(type.vt & ~VT_BYREF);
    retvalPointer.vt = type.vt;
    if (target == VT_VARIANT) {
      retvalPointer.byref = &holder;
    } else {
      holder.vt = target;
      retvalPointer.byref = &holder.llVal;
    }
    state.types[std::size_t(retval)] = type.vt;
    state.args[std::size_t(retval)] = &retvalPointer;
  }
  Resolved resultType;
  if (FAILED(Resolve(owner.Get(), f->elemdescFunc.tdesc, &resultType, 0)) ||
      (resultType.vt & VT_BYREF))
    return DISP_E_BADVARTYPE;
  // Vtable offsets are stored in the pointer size of the library's platform.
  ULONG_PTR pointerSize = 4;
  ComPtr<ITypeLib> lib;
  TLIBATTR* libAttr = nullptr;
  if (SUCCEEDED(owner->GetContainingTypeLib(lib.Put(), nullptr)) && lib &&
      SUCCEEDED(lib->GetLibAttr(&libAttr))) {
    if (libAttr->syskind == SYS_WIN64) pointerSize = 8;
    lib->ReleaseTLibAttr(libAttr);
  }
  if (f->oVft < 0) return DISP_E_MEMBERNOTFOUND;
  const ULONG_PTR offset = ULONG_PTR(f->oVft) / pointerSize * sizeof(void*);
  VARIANT returned;
  VariantInit(&returned);
  HRESULT hr = DispCallFunc(instance, offset, f->callconv, resultType.vt, count, state.types.data(),
                            state.args.data(), &returned);
  if (FAILED(hr)) return hr;
  if (resultType.vt == VT_HRESULT) {
    if (FAILED(returned.lVal)) {
      // A failing function leaves its [out] values empty; they go with the temporaries.
      FillException(info, returned.lVal, excepInfo);
      return DISP_E_EXCEPTION;
    }
    returned.vt = VT_EMPTY;
  }
  if (retval >= 0) {
    VariantClear(&returned);
    returned = holder;
    VariantInit(&holder);
  }
  if (result && !put) {
    VariantClear(result);
    *result = returned;
  } else {
    VariantClear(&returned);
  }
  return S_OK;
}

}  // namespace halyard::ole
