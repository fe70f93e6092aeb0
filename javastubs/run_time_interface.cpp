#include "run_time_interface.h"

#include "jvm_descriptor.h"
#include "platform/ole/bstr.h"
#include "platform/ole/code_page.h"

namespace quarb {
namespace {

constexpr DWORD kAccessorLimit = 0x10000000;
constexpr DWORD kPositionMask = 0x0FFFFFFF;

// The variant type a member of type code is invoked with: the special codes of fonts and
// pictures are objects, those of colours plain integers.
VARTYPE InvocationType(TypeCode code) {
  const TypeCode base = code & ~kByRef;
  VARTYPE vt = base;
  if (base == kFontCode || base == kPictureCode) vt = VT_DISPATCH;
  if (base == kColorCode || base == kSpareCode) vt = VT_I4;
  return VARTYPE(vt | (code & kByRef ? VT_BYREF : 0));
}

// The types a result is converted to; results of other types are handed on as they come.
bool Convertible(VARTYPE vt) {
  switch (vt) {
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

// One argument of an automation call, made from a caller's value for a parameter of type
// code. *owned tells whether the argument holds what VariantClear must free after the call.
HRESULT MakeArgument(TypeCode code, const VARIANT& given, VARIANT* arg, bool* owned) {
  VariantInit(arg);
  *owned = false;
  const VARTYPE vt = InvocationType(code);
  if (vt & VT_BYREF) {
    // The callee writes through the pointer into the caller's storage, which must be of the
    // parameter's type.
    if (given.vt != vt || given.byref == nullptr) return DISP_E_TYPEMISMATCH;
    *arg = given;
    return S_OK;
  }
  *owned = true;
  if (vt == VT_VARIANT) return SUCCEEDED(VariantCopy(arg, &given)) ? S_OK : DISP_E_TYPEMISMATCH;
  VARIANT text;
  VariantInit(&text);
  const VARIANT* from = &given;
  if (given.vt == VT_LPSTR) {
    // Texts come as single-byte text and go as a new wide string.
    text.vt = VT_BSTR;
    text.bstrVal = halyard::ole::BstrFromAnsi(given.pcVal ? given.pcVal : "");
    if (vt == VT_BSTR) {
      *arg = text;
      return S_OK;
    }
    from = &text;
  }
  HRESULT hr = VariantChangeType(arg, from, 0, vt);
  VariantClear(&text);
  if (FAILED(hr)) {
    *owned = false;
    return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

// Gives the caller the value of a call as the member's type.
HRESULT HandResult(TypeCode code, VARIANT* got, VARIANT* result) {
  const VARTYPE vt = InvocationType(code);
  if (Convertible(vt) && got->vt != vt && FAILED(VariantChangeType(got, got, 0, vt))) {
    VariantClear(got);
    return DISP_E_TYPEMISMATCH;
  }
  if (result == nullptr) {
    VariantClear(got);
  } else {
    VariantClear(result);
    *result = *got;
  }
  return S_OK;
}

// One Invoke; an exception the object raised leaves its description in *result.
HRESULT Call(IDispatch* object, MEMBERID memid, WORD flags, DISPPARAMS* params, VARIANT* got,
             VARIANT* result) {
  EXCEPINFO excep{};
  UINT argErr = 0;
  const HRESULT hr = object->Invoke(memid, IID_NULL, 0, flags, params, got, &excep, &argErr);
  if (hr == DISP_E_EXCEPTION) {
    if (excep.pfnDeferredFillIn != nullptr) excep.pfnDeferredFillIn(&excep);
    if (got != nullptr) VariantClear(got);
    if (result != nullptr) {
      VariantClear(result);
      result->vt = VT_BSTR;
      result->bstrVal = excep.bstrDescription ? excep.bstrDescription : SysAllocString(u"");
      excep.bstrDescription = nullptr;
    }
  }
  halyard::ole::ClearExcepInfo(&excep);
  return hr;
}

}  // namespace

RunTimeInterface* RunTimeInterface::Create(const std::string& name) {
  return new RunTimeInterface(name);
}

RunTimeInterface::RunTimeInterface(const std::string& name)
    : RunTimeObject(IID_IRunTimeInterface, DIID_RunTimeInterface), name_(name) {}

void RunTimeInterface::Fill(ITypeInfo* info) {
  PropertyList props;
  CollectProperties(info, &props);
  for (const PropertyInfo& p : props.properties) AddAccessors(p, props.interfaces);
  std::vector<MethodInfo> methods;
  CollectMethods(info, false, &methods);
  for (const MethodInfo& m : methods) AddMethod(m);
}

void RunTimeInterface::AddAccessors(const PropertyInfo& p,
                                    const std::vector<std::string>& interfaces) {
  TypeCode type = p.type;
  std::string descriptor;
  const DWORD resolved = p.flags & (kPropEnum | kPropDispatch);
  if (resolved == kPropDispatch) {
    type = VT_DISPATCH;
    descriptor = p.type < interfaces.size() ? JvmInterfaceDescriptor(interfaces[p.type])
                                            : JvmDescriptor(VT_DISPATCH);
  } else if (resolved == kPropEnum) {
    type = VT_I4;  // enumeration constants are ints
    descriptor = JvmDescriptor(VT_I4);
  } else if ((p.flags & kPropResolved) && (p.type == kFontCode || p.type == kPictureCode)) {
    type = VT_DISPATCH;  // fonts and pictures are automation objects
    descriptor = JvmDescriptor(VT_DISPATCH);
  } else if ((p.flags & kPropResolved) && (p.type == kColorCode || p.type == kSpareCode)) {
    type = VT_I4;
    descriptor = JvmDescriptor(VT_I4);
  } else {
    descriptor = JvmDescriptor(p.type);
  }
  auto add = [&](DWORD flag, std::string name) {
    indexed_ = false;
    accessors_.push_back(AccessorEntry{std::move(name), flag, p.memid, type, p.flags});
  };
  if (p.flags & kPropReadable) add(kGetEntry, "get" + p.name + "()" + descriptor);
  if (p.flags & kPropWritable) add(kSetEntry, "set" + p.name + "(" + descriptor + ")V");
}

void RunTimeInterface::AddMethod(const MethodInfo& m) {
  MethodEntry e;
  e.memid = m.memid;
  e.result = m.result;
  e.paramTypes = m.paramTypes;
  e.paramCount = UINT(e.paramTypes.size());
  e.name = m.name + "(";
  for (TypeCode code : e.paramTypes) e.name += JvmDescriptor(code);
  e.name += ")" + JvmDescriptor(e.result);
  indexed_ = false;
  methods_.push_back(std::move(e));
}

void RunTimeInterface::IndexNames() {
  accessorIndex_.clear();
  methodIndex_.clear();
  accessorIndex_.reserve(accessors_.size());
  methodIndex_.reserve(methods_.size());
  for (std::size_t i = 0; i < accessors_.size(); ++i)
    accessorIndex_.emplace(halyard::ole::AnsiToWide(accessors_[i].name), DWORD(i));
  for (std::size_t i = 0; i < methods_.size(); ++i)
    methodIndex_.emplace(halyard::ole::AnsiToWide(methods_[i].name), DWORD(i));
  indexed_ = true;
}

HRESULT RunTimeInterface::FindMember(LPCOLESTR name, DWORD* id, WORD* signature, UINT* length) {
  if (name == nullptr || id == nullptr || length == nullptr) return E_POINTER;
  if (!indexed_) IndexNames();
  const std::u16string key(name);
  if (auto a = accessorIndex_.find(key); a != accessorIndex_.end()) {
    const AccessorEntry& e = accessors_[a->second];
    *id = a->second;
    const UINT needed = e.flags & kSetEntry ? 2 : 1;
    // A buffer too short for the signature gets none rather than an overrun.
    if (signature == nullptr || *length < needed) {
      *length = 0;
      return S_OK;
    }
    if (needed == 2) *signature++ = VT_VOID;
    *signature = e.type;
    *length = needed;
    return S_OK;
  }
  auto m = methodIndex_.find(key);
  if (m == methodIndex_.end()) return E_FAIL;
  const MethodEntry& e = methods_[m->second];
  *id = m->second + kRunTimeMethodBase;
  if (signature == nullptr || *length <= e.paramCount + 1) {
    *length = 0;
    return S_OK;
  }
  signature[0] = e.result;
  for (UINT i = 0; i < e.paramCount; ++i) signature[i + 1] = e.paramTypes[i];
  *length = e.paramCount + 1;
  return S_OK;
}

HRESULT RunTimeInterface::InvokeMember(IDispatch* object, DWORD id, VARIANT* result, DWORD,
                                       UINT count, VARIANT* params) {
  if (object == nullptr || (count > 0 && params == nullptr)) return E_POINTER;
  if (id < kAccessorLimit) {
    if (id >= accessors_.size()) return DISP_E_MEMBERNOTFOUND;
    return InvokeAccessor(object, accessors_[id], result, count, params);
  }
  if (id >= kRunTimeMethodBase && (id & kPositionMask) < methods_.size())
    return InvokeMethod(object, methods_[id & kPositionMask], result, count, params);
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT RunTimeInterface::InvokeAccessor(IDispatch* object, const AccessorEntry& e, VARIANT* result,
                                         UINT count, VARIANT* params) {
  VARIANT got;
  VariantInit(&got);
  if (e.flags & kGetEntry) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    HRESULT hr = Call(object, e.memid, DISPATCH_PROPERTYGET, &none, &got, result);
    if (FAILED(hr)) return hr;
    return HandResult(e.type, &got, result);
  }
  if (count < 1) return DISP_E_BADPARAMCOUNT;
  VARIANT arg;
  bool owned = false;
  HRESULT hr = MakeArgument(e.type, params[0], &arg, &owned);
  if (FAILED(hr)) return hr;
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS dp{&arg, &put, 1, 1};
  const WORD flags = e.type == VT_DISPATCH ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
  hr = Call(object, e.memid, flags, &dp, &got, result);
  if (owned) VariantClear(&arg);
  VariantClear(&got);
  return hr;
}

HRESULT RunTimeInterface::InvokeMethod(IDispatch* object, const MethodEntry& e, VARIANT* result,
                                       UINT count, VARIANT* params) {
  if (count < e.paramCount) return DISP_E_BADPARAMCOUNT;
  // Automation takes the arguments last first.
  std::vector<VARIANT> args(e.paramCount);
  std::vector<bool> owned(e.paramCount, false);
  HRESULT hr = S_OK;
  for (UINT i = 0; i < e.paramCount && SUCCEEDED(hr); ++i) {
    const UINT slot = e.paramCount - 1 - i;
    bool own = false;
    hr = MakeArgument(e.paramTypes[i], params[i], &args[slot], &own);
    owned[slot] = own;
  }
  VARIANT got;
  VariantInit(&got);
  if (SUCCEEDED(hr)) {
    DISPPARAMS dp{args.empty() ? nullptr : args.data(), nullptr, e.paramCount, 0};
    const bool wantResult = e.result != VT_VOID;
    hr = Call(object, e.memid, DISPATCH_METHOD, &dp, wantResult ? &got : nullptr, result);
    if (SUCCEEDED(hr)) {
      if (wantResult) {
        hr = HandResult(e.result, &got, result);
      } else if (result != nullptr) {
        VariantClear(result);
      }
    }
  }
  for (UINT i = 0; i < e.paramCount; ++i)
    if (owned[i]) VariantClear(&args[i]);
  return hr;
}

}  // namespace quarb
