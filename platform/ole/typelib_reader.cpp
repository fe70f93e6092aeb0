// LoadTypeLib and the ITypeLib / ITypeInfo objects over a parsed MSFT library. The parsed
// structures are immutable once loaded; type information objects are small views (type
// index, and for a dual interface which of its two faces) that hold their library.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <list>
#include <memory>
#include <vector>

#include "platform/kernel/text.h"
#include "platform/kernel/win_path.h"
#include "code_page.h"
#include "std_dispatch.h"
#include "typelib.h"
#include "typelib_msft.h"
#include "typelib_pe.h"

namespace halyard::ole {
namespace {

using typelib::MsftFunc;
using typelib::MsftLibrary;
using typelib::MsftType;
using typelib::MsftValue;
using typelib::MsftVar;

GUID ToGuid(const typelib::MsftGuid& g) {
  GUID r;
  r.Data1 = DWORD(g[0]) | DWORD(g[1]) << 8 | DWORD(g[2]) << 16 | DWORD(g[3]) << 24;
  r.Data2 = WORD(g[4] | g[5] << 8);
  r.Data3 = WORD(g[6] | g[7] << 8);
  std::memcpy(r.Data4, g.data() + 8, 8);
  return r;
}

void SetBstr(BSTR* out, const std::string& text) {
  if (out) *out = BstrFromAnsi(text);
}

bool IsDual(const MsftType& t) { return t.kind == TKIND_DISPATCH && (t.flags & TYPEFLAG_FDUAL); }

// Handles of the vtable face of a local dual interface: its entry offset with bit 1 set.
constexpr DWORD kVtableFace = 2;
// Handles a type information object gives for types of another library (met in functions
// inherited from it): bits 0 and 1 set, the rest an index into the object's own table.
constexpr DWORD kForeignRef = 3;
// Base interfaces followed before a chain is taken for a loop.
constexpr int kMaxChain = 32;

// Everything one handed-out description points into, freed together on release.
struct DescBlock {
  // Type nodes in chunks that stay put (and stay allocated when the block is reused).
  static constexpr std::size_t kChunk = 8;
  std::vector<std::unique_ptr<TYPEDESC[]>> typeChunks;
  std::size_t typesUsed = 0;
  TYPEDESC* NewType() {
    if (typesUsed == typeChunks.size() * kChunk)
      typeChunks.push_back(std::make_unique<TYPEDESC[]>(kChunk));
    TYPEDESC* t = &typeChunks[typesUsed / kChunk][typesUsed % kChunk];
    ++typesUsed;
    *t = TYPEDESC{};
    return t;
  }
  std::vector<std::unique_ptr<BYTE[]>> arrays;
  std::vector<ELEMDESC> params;
  std::list<PARAMDESCEX> defaults;  // addresses stay put
  VARIANT value{};
  TYPEATTR attr{};
  FUNCDESC func{};
  VARDESC var{};
  ~DescBlock() { FreeValues(); }
  // Empties the block for reuse; the containers keep their memory.
  void Reset() {
    FreeValues();
    typesUsed = 0;
    arrays.clear();
    params.clear();
    defaults.clear();
    value = VARIANT{};
    attr = TYPEATTR{};
    func = FUNCDESC{};
    var = VARDESC{};
  }
  void FreeValues() {
    if (value.vt == VT_BSTR) SysFreeString(value.bstrVal);
    value.vt = VT_EMPTY;
    for (PARAMDESCEX& d : defaults)
      if (d.varDefaultValue.vt == VT_BSTR) SysFreeString(d.varDefaultValue.bstrVal);
  }
};

void FillValue(const MsftValue& v, VARIANT* out) {
  std::memset(out, 0, sizeof *out);
  out->vt = v.vt;
  switch (v.vt) {
    case VT_I2:
      out->iVal = SHORT(v.integer);
      break;
    case VT_BOOL:
      out->boolVal = v.integer ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_I1:
      out->cVal = CHAR(v.integer);
      break;
    case VT_UI1:
      out->bVal = BYTE(v.integer);
      break;
    case VT_UI2:
      out->uiVal = USHORT(v.integer);
      break;
    case VT_I4:
    case VT_ERROR:
    case VT_INT:
    case VT_HRESULT:
      out->lVal = LONG(v.integer);
      break;
    case VT_UI4:
    case VT_UINT:
      out->ulVal = ULONG(v.integer);
      break;
    case VT_I8:
    case VT_UI8:
      out->llVal = v.integer;
      break;
    case VT_CY:
      out->cyVal.int64 = v.integer;
      break;
    case VT_R4:
      out->fltVal = FLOAT(v.real);
      break;
    case VT_R8:
      out->dblVal = v.real;
      break;
    case VT_DATE:
      out->date = v.real;
      break;
    case VT_BSTR:
      out->bstrVal = BstrFromAnsi(v.text);
      break;
    default:
      out->vt = VT_EMPTY;
      break;
  }
}

class TypeLibImpl;

// A function a type information object shows, and the library it is stored in.
struct Member {
  TypeLibImpl* lib = nullptr;
  const MsftFunc* f = nullptr;
};

// One function as the face in use shows it.
struct FuncFace {
  const MsftLibrary* lib = nullptr;
  const MsftFunc* f = nullptr;
  int result = -1;  // type node; -1 for VT_VOID
  std::size_t params = 0;
  FUNCKIND kind = FUNC_DISPATCH;
};

class TypeInfoImpl final : public ITypeInfo {
 public:
  TypeInfoImpl(TypeLibImpl* lib, int index, bool vtable);

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITypeInfo)) {
      *ppv = static_cast<ITypeInfo*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG r = --refs_;
    if (r == 0) delete this;
    return r;
  }

  HRESULT GetTypeAttr(TYPEATTR** ppTypeAttr) override;
  HRESULT GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) override;
  HRESULT GetVarDesc(UINT index, VARDESC** ppVarDesc) override;
  HRESULT GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) override;
  HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) override;
  HRESULT GetImplTypeFlags(UINT index, INT* pImplTypeFlags) override;
  HRESULT GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) override;
  HRESULT Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
    return InvokeByTypeInfo(this, pvInstance, memid, wFlags, pDispParams, pVarResult, pExcepInfo,
                            puArgErr);
  }
  HRESULT GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                           DWORD* pdwHelpContext, BSTR* pBstrHelpFile) override;
  HRESULT GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) override;
  HRESULT GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) override;
  void ReleaseTypeAttr(TYPEATTR* p) override { Drop(&DescBlock::attr, p); }
  void ReleaseFuncDesc(FUNCDESC* p) override { Drop(&DescBlock::func, p); }
  void ReleaseVarDesc(VARDESC* p) override { Drop(&DescBlock::var, p); }

 private:
  ~TypeInfoImpl();
  void AddChain(TypeLibImpl* lib, int index, int depth);
  FuncFace Face(const Member& m) const;
  DWORD RefFrom(TypeLibImpl* lib, DWORD href) const;
  // Callers release descriptions soon and mostly in reverse order, so the search starts at
  // the newest; a pointer that was not handed out (or is released twice) is ignored.
  template <typename T>
  void Drop(T DescBlock::*member, const T* p) {
    for (std::size_t i = descs_.size(); i-- > 0;) {
      if (&(descs_[i].get()->*member) == p) {
        if (!spare_) {
          spare_ = std::move(descs_[i]);
          spare_->Reset();
        }
        descs_.erase(descs_.begin() + std::ptrdiff_t(i));
        return;
      }
    }
  }
  void FillType(TypeLibImpl* lib, int node, TYPEDESC* out, DescBlock& block, int depth) const;

  TypeLibImpl* lib_;
  const MsftType& type_;
  int index_;
  bool dispatchFace_;  // a dual interface seen as its dispatch interface
  bool vtableFace_;    // a dual interface seen as its vtable interface
  // The functions shown: the type's own, and on the dispatch face of a dual interface those
  // of its whole chain of base interfaces first, root first.
  std::vector<Member> funcs_;
  std::vector<ComPtr<ITypeLib>> chainLibs_;  // other libraries funcs_ points into
  // The base the dispatch face of a dual interface shows (the chain's first interface that
  // is not dual: IDispatch), when the chain could be read.
  bool hasDispatchBase_ = false;
  DWORD dispatchBase_ = 0;
  // Types of other libraries handed out as kForeignRef handles: their library and handle.
  mutable std::vector<std::pair<TypeLibImpl*, DWORD>> foreignRefs_;
  ULONG refs_ = 1;
  std::vector<std::unique_ptr<DescBlock>> descs_;
  std::unique_ptr<DescBlock> spare_;  // the last released block, for the next description
  std::unique_ptr<DescBlock> NewBlock() {
    if (spare_) return std::move(spare_);
    return std::make_unique<DescBlock>();
  }
};

class TypeLibImpl final : public ITypeLib {
 public:
  TypeLibImpl(MsftLibrary lib, std::string importDir)
      : lib_(std::move(lib)),
        importDir_(std::move(importDir)),
        imports_(lib_.importLibs.size()),
        importTried_(lib_.importLibs.size()) {}

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITypeLib)) {
      *ppv = static_cast<ITypeLib*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG r = --refs_;
    if (r == 0) delete this;
    return r;
  }

  UINT GetTypeInfoCount() override { return UINT(lib_.types.size()); }
  HRESULT GetTypeInfo(UINT index, ITypeInfo** ppTInfo) override {
    if (!ppTInfo) return E_INVALIDARG;
    *ppTInfo = nullptr;
    if (index >= lib_.types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *ppTInfo = new TypeInfoImpl(this, int(index), false);
    return S_OK;
  }
  HRESULT GetTypeInfoType(UINT index, TYPEKIND* pTKind) override {
    if (!pTKind) return E_INVALIDARG;
    if (index >= lib_.types.size()) return TYPE_E_ELEMENTNOTFOUND;
    *pTKind = TYPEKIND(lib_.types[index].kind);
    return S_OK;
  }
  HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTInfo) override {
    if (!ppTInfo) return E_INVALIDARG;
    *ppTInfo = nullptr;
    for (std::size_t i = 0; i < lib_.types.size(); ++i) {
      const MsftType& t = lib_.types[i];
      if (t.hasGuid && IsEqualGUID(ToGuid(t.guid), guid)) {
        *ppTInfo = new TypeInfoImpl(this, int(i), false);
        return S_OK;
      }
    }
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT GetLibAttr(TLIBATTR** ppTLibAttr) override {
    if (!ppTLibAttr) return E_INVALIDARG;
    auto* a = new TLIBATTR{};
    if (lib_.hasGuid) a->guid = ToGuid(lib_.guid);
    a->lcid = LCID(lib_.lcid);
    a->syskind = SYSKIND(lib_.syskind);
    a->wMajorVerNum = lib_.major;
    a->wMinorVerNum = lib_.minor;
    a->wLibFlags = lib_.flags;
    *ppTLibAttr = a;
    return S_OK;
  }
  HRESULT GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                           BSTR* pBstrHelpFile) override {
    if (index < -1 || index >= INT(lib_.types.size())) return TYPE_E_ELEMENTNOTFOUND;
    if (index == -1) {
      SetBstr(pBstrName, lib_.name);
      SetBstr(pBstrDocString, lib_.doc);
      if (pdwHelpContext) *pdwHelpContext = lib_.helpContext;
    } else {
      const MsftType& t = lib_.types[index];
      SetBstr(pBstrName, t.name);
      SetBstr(pBstrDocString, t.doc);
      if (pdwHelpContext) *pdwHelpContext = t.helpContext;
    }
    if (pBstrHelpFile)
      *pBstrHelpFile = lib_.helpFile.empty() ? nullptr : BstrFromAnsi(lib_.helpFile);
    return S_OK;
  }
  void ReleaseTLibAttr(TLIBATTR* p) override { delete p; }

  const MsftLibrary& Lib() const { return lib_; }

  // The library and type index an imported-type handle names; false when it cannot be read.
  bool ImportedType(DWORD href, TypeLibImpl** lib, int* index) {
    const typelib::MsftImportRef* ref = lib_.Import(href);
    if (!ref || ref->lib < 0 || std::size_t(ref->lib) >= imports_.size() || ref->index < 0)
      return false;
    if (!importTried_[ref->lib]) {
      importTried_[ref->lib] = true;
      LoadImport(ref->lib);
    }
    // Every library of this reader is a TypeLibImpl.
    auto* imported = static_cast<TypeLibImpl*>(imports_[ref->lib].Get());
    if (!imported) return false;
    const std::vector<MsftType>& types = imported->lib_.types;
    if (!ref->byGuid) {
      if (std::size_t(ref->index) >= types.size()) return false;
      *lib = imported;
      *index = ref->index;
      return true;
    }
    GUID wanted = ToGuid(ref->guid);
    for (std::size_t i = 0; i < types.size(); ++i) {
      if (types[i].hasGuid && IsEqualGUID(ToGuid(types[i].guid), wanted)) {
        *lib = imported;
        *index = int(i);
        return true;
      }
    }
    return false;
  }

  // The type information an imported-type handle names, from the imported library.
  HRESULT ResolveImport(DWORD href, ITypeInfo** out) {
    const typelib::MsftImportRef* ref = lib_.Import(href);
    if (!ref || ref->lib < 0 || std::size_t(ref->lib) >= imports_.size())
      return TYPE_E_ELEMENTNOTFOUND;
    if (!importTried_[ref->lib]) {
      importTried_[ref->lib] = true;
      LoadImport(ref->lib);
    }
    ITypeLib* imported = imports_[ref->lib].Get();
    if (!imported) return TYPE_E_CANTLOADLIBRARY;
    if (ref->byGuid) {
      if (ref->index < 0) return TYPE_E_ELEMENTNOTFOUND;
      return imported->GetTypeInfoOfGuid(ToGuid(ref->guid), out);
    }
    if (ref->index < 0) return TYPE_E_ELEMENTNOTFOUND;
    return imported->GetTypeInfo(UINT(ref->index), out);
  }

 private:
  ~TypeLibImpl() = default;
  void LoadImport(int index);

  MsftLibrary lib_;
  std::string importDir_;
  std::vector<ComPtr<ITypeLib>> imports_;
  std::vector<bool> importTried_;
  ULONG refs_ = 1;
};

HRESULT LoadFromHostFile(const std::string& hostPath, ITypeLib** pptlib);

// Imported libraries are found by their file name; a stored path keeps only its last part.
void TypeLibImpl::LoadImport(int index) {
  std::string file = lib_.importLibs[index].file;
  std::size_t cut = file.find_last_of("\\/:");
  if (cut != std::string::npos) file = file.substr(cut + 1);
  if (file.empty()) return;
  std::vector<std::string> dirs;
  if (!importDir_.empty()) dirs.push_back(importDir_);
  if (const char* path = std::getenv("HALYARD_TYPELIB_PATH")) {
    std::string p = path;
    std::size_t start = 0;
    while (start <= p.size()) {
      std::size_t end = p.find(':', start);
      if (end == std::string::npos) end = p.size();
      if (end > start) dirs.push_back(p.substr(start, end - start));
      start = end + 1;
    }
  }
  for (const std::string& dir : dirs) {
    ITypeLib* lib = nullptr;
    if (SUCCEEDED(LoadFromHostFile(dir + "/" + file, &lib))) {
      imports_[index] = ComPtr<ITypeLib>::Attach(lib);
      return;
    }
  }
}

TypeInfoImpl::TypeInfoImpl(TypeLibImpl* lib, int index, bool vtable)
    : lib_(lib), type_(lib->Lib().types[index]), index_(index) {
  lib_->AddRef();
  dispatchFace_ = IsDual(type_) && !vtable;
  vtableFace_ = IsDual(type_) && vtable;
  if (dispatchFace_) {
    AddChain(lib_, index_, 0);
  } else {
    funcs_.reserve(type_.funcs.size());
    for (const MsftFunc& f : type_.funcs) funcs_.push_back({lib_, &f});
  }
}

// The dispatch face of a dual interface derived from other dual interfaces holds the
// functions of the whole chain, root first, as they follow each other in the vtable; the
// functions of IUnknown and IDispatch, where the chain ends, are left out as they are for a
// dual interface derived from IDispatch itself. The chain is followed through the first
// implemented interface of each type, into imported libraries too; it ends at a base that
// cannot be read (whose functions are then missing), and one longer than kMaxChain is taken
// for a loop in a damaged library.
void TypeInfoImpl::AddChain(TypeLibImpl* lib, int index, int depth) {
  const MsftType& t = lib->Lib().types[std::size_t(index)];
  if (!t.impls.empty() && depth < kMaxChain) {
    const DWORD href = t.impls[0].href;
    TypeLibImpl* baseLib = nullptr;
    int baseIndex = -1;
    if ((href & 3) == 0) {
      baseIndex = lib->Lib().LocalIndex(href);
      if (baseIndex >= 0) baseLib = lib;
    } else if ((href & 3) == 1 && lib->ImportedType(href, &baseLib, &baseIndex)) {
      if (baseLib != lib_) {
        baseLib->AddRef();
        chainLibs_.push_back(ComPtr<ITypeLib>::Attach(baseLib));
      }
    }
    if (baseLib) {
      if (IsDual(baseLib->Lib().types[std::size_t(baseIndex)])) {
        AddChain(baseLib, baseIndex, depth + 1);
      } else if (!hasDispatchBase_) {
        hasDispatchBase_ = true;
        dispatchBase_ = RefFrom(lib, href);
      }
    }
  }
  for (const MsftFunc& f : t.funcs) {
    if (funcs_.size() == 0xFFFF) break;  // what cFuncs can count
    funcs_.push_back({lib, &f});
  }
}

// The handle this object gives for the type href names in lib.
DWORD TypeInfoImpl::RefFrom(TypeLibImpl* lib, DWORD href) const {
  if (lib == lib_) return href;
  for (std::size_t i = 0; i < foreignRefs_.size(); ++i)
    if (foreignRefs_[i].first == lib && foreignRefs_[i].second == href)
      return DWORD(i) << 2 | kForeignRef;
  foreignRefs_.emplace_back(lib, href);
  return DWORD(foreignRefs_.size() - 1) << 2 | kForeignRef;
}

TypeInfoImpl::~TypeInfoImpl() {
  descs_.clear();
  lib_->Release();
}

FuncFace TypeInfoImpl::Face(const Member& m) const {
  const MsftLibrary& lib = m.lib->Lib();
  const MsftFunc& f = *m.f;
  FuncFace face;
  face.lib = &lib;
  face.f = &f;
  face.result = f.result;
  face.params = f.params.size();
  face.kind = FUNCKIND(f.funcKind);
  if (dispatchFace_ && f.funcKind != FUNC_DISPATCH) {
    // Automation's view of a vtable member: the HRESULT is the call's status, the
    // [retval] parameter's target is the result.
    face.kind = FUNC_DISPATCH;
    if (lib.descs[f.result].vt == VT_HRESULT) {
      face.result = -1;
      if (!f.params.empty()) {
        const typelib::MsftParam& last = f.params.back();
        const typelib::MsftTypeDesc& d = lib.descs[last.type];
        if ((last.flags & PARAMFLAG_FRETVAL) && d.vt == VT_PTR && d.child >= 0) {
          face.result = d.child;
          face.params--;
        }
      }
    }
  }
  return face;
}

void TypeInfoImpl::FillType(TypeLibImpl* owner, int node, TYPEDESC* out, DescBlock& block,
                            int depth) const {
  std::memset(out, 0, sizeof *out);
  if (node < 0) {
    out->vt = VT_VOID;
    return;
  }
  const MsftLibrary& lib = owner->Lib();
  const typelib::MsftTypeDesc& d = lib.descs[node];
  out->vt = d.vt;
  if (depth > 64) return;  // the parser refuses deeper chains; kept as a guard
  switch (d.vt & VT_TYPEMASK) {
    case VT_PTR:
    case VT_SAFEARRAY:
      if (d.child < 0) break;
      out->lptdesc = block.NewType();
      FillType(owner, d.child, out->lptdesc, block, depth + 1);
      break;
    case VT_USERDEFINED:
      out->hreftype = RefFrom(owner, d.href);
      break;
    case VT_CARRAY: {
      if (d.array < 0) break;
      const typelib::MsftArrayDesc& a = lib.arrays[d.array];
      std::size_t dims = a.bounds.size();
      std::size_t bytes =
          sizeof(ARRAYDESC) + (dims > 1 ? (dims - 1) * sizeof(ARRAYDESC::Bound) : 0);
      block.arrays.push_back(std::make_unique<BYTE[]>(bytes));
      std::memset(block.arrays.back().get(), 0, bytes);
      auto* ad = reinterpret_cast<ARRAYDESC*>(block.arrays.back().get());
      ad->cDims = USHORT(dims);
      for (std::size_t i = 0; i < dims; ++i) {
        ad->rgbounds[i].cElements = a.bounds[i].first;
        ad->rgbounds[i].lLbound = a.bounds[i].second;
      }
      FillType(owner, a.element, &ad->tdescElem, block, depth + 1);
      out->lpadesc = ad;
      break;
    }
    default:
      break;
  }
}

HRESULT TypeInfoImpl::GetTypeAttr(TYPEATTR** ppTypeAttr) {
  if (!ppTypeAttr) return E_INVALIDARG;
  auto block = NewBlock();
  TYPEATTR& a = block->attr;
  const MsftLibrary& lib = lib_->Lib();
  if (type_.hasGuid) a.guid = ToGuid(type_.guid);
  a.lcid = LCID(lib.lcid);
  a.memidConstructor = MEMBERID_NIL;
  a.memidDestructor = MEMBERID_NIL;
  a.cbSizeInstance = type_.sizeInstance;
  a.typekind = vtableFace_ ? TKIND_INTERFACE : TYPEKIND(type_.kind);
  a.cFuncs = WORD(funcs_.size());
  a.cVars = WORD(type_.vars.size());
  a.cImplTypes = WORD(dispatchFace_ && hasDispatchBase_ ? 1 : type_.impls.size());
  a.cbSizeVft = dispatchFace_ ? 7 * 4 : type_.sizeVft;
  a.cbAlignment = type_.alignment;
  a.wTypeFlags = type_.flags;
  a.wMajorVerNum = type_.major;
  a.wMinorVerNum = type_.minor;
  if (type_.kind == TKIND_ALIAS) FillType(lib_, type_.alias, &a.tdescAlias, *block, 0);
  *ppTypeAttr = &a;
  descs_.push_back(std::move(block));
  return S_OK;
}

HRESULT TypeInfoImpl::GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) {
  if (!ppFuncDesc) return E_INVALIDARG;
  *ppFuncDesc = nullptr;
  if (index >= funcs_.size()) return TYPE_E_ELEMENTNOTFOUND;
  const Member& member = funcs_[index];
  FuncFace face = Face(member);
  const MsftFunc& f = *face.f;
  auto block = NewBlock();
  FUNCDESC& d = block->func;
  d.memid = f.memid;
  d.funckind = face.kind;
  d.invkind = INVOKEKIND(f.invKind);
  d.callconv = CALLCONV(f.callConv);
  d.cParams = SHORT(face.params);
  d.cParamsOpt = f.optionalParams;
  d.oVft = f.oVft;
  d.wFuncFlags = f.funcFlags;
  FillType(member.lib, face.result, &d.elemdescFunc.tdesc, *block, 0);
  block->params.resize(face.params);
  for (std::size_t i = 0; i < face.params; ++i) {
    const typelib::MsftParam& p = f.params[i];
    ELEMDESC& e = block->params[i];
    std::memset(&e, 0, sizeof e);
    FillType(member.lib, p.type, &e.tdesc, *block, 0);
    e.paramdesc.wParamFlags = p.flags;
    if ((p.flags & PARAMFLAG_FHASDEFAULT) && p.defaultValue.vt != VT_EMPTY) {
      block->defaults.emplace_back();
      PARAMDESCEX& ex = block->defaults.back();
      ex.cBytes = sizeof ex;
      FillValue(p.defaultValue, &ex.varDefaultValue);
      e.paramdesc.pparamdescex = &ex;
    }
  }
  d.lprgelemdescParam = block->params.empty() ? nullptr : block->params.data();
  *ppFuncDesc = &d;
  descs_.push_back(std::move(block));
  return S_OK;
}

HRESULT TypeInfoImpl::GetVarDesc(UINT index, VARDESC** ppVarDesc) {
  if (!ppVarDesc) return E_INVALIDARG;
  *ppVarDesc = nullptr;
  if (index >= type_.vars.size()) return TYPE_E_ELEMENTNOTFOUND;
  const MsftVar& v = type_.vars[index];
  auto block = NewBlock();
  VARDESC& d = block->var;
  d.memid = v.memid;
  d.varkind = VARKIND(v.varKind);
  d.wVarFlags = v.varFlags;
  FillType(lib_, v.type, &d.elemdescVar.tdesc, *block, 0);
  if (v.varKind == VAR_CONST) {
    FillValue(v.value, &block->value);
    d.lpvarValue = &block->value;
  } else {
    d.oInst = ULONG(v.offset);
  }
  *ppVarDesc = &d;
  descs_.push_back(std::move(block));
  return S_OK;
}

HRESULT TypeInfoImpl::GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) {
  if (!pcNames || (cMaxNames && !rgBstrNames)) return E_INVALIDARG;
  *pcNames = 0;
  for (const Member& m : funcs_) {
    const MsftFunc& f = *m.f;
    if (f.memid != memid) continue;
    FuncFace face = Face(m);
    UINT n = 0;
    if (n < cMaxNames) rgBstrNames[n++] = BstrFromAnsi(f.name);
    for (std::size_t i = 0; i < face.params && n < cMaxNames; ++i)
      rgBstrNames[n++] = BstrFromAnsi(f.params[i].name);
    *pcNames = n;
    return S_OK;
  }
  for (const MsftVar& v : type_.vars) {
    if (v.memid != memid) continue;
    if (cMaxNames) {
      rgBstrNames[0] = BstrFromAnsi(v.name);
      *pcNames = 1;
    }
    return S_OK;
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TypeInfoImpl::GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) {
  if (!pRefType) return E_INVALIDARG;
  if (index == UINT(-1)) {
    if (!dispatchFace_) return TYPE_E_ELEMENTNOTFOUND;
    *pRefType = DWORD(index_) * typelib::kMsftTypeEntrySize | kVtableFace;
    return S_OK;
  }
  if (dispatchFace_ && hasDispatchBase_) {
    if (index != 0) return TYPE_E_ELEMENTNOTFOUND;
    *pRefType = dispatchBase_;
    return S_OK;
  }
  if (index >= type_.impls.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pRefType = type_.impls[index].href;
  return S_OK;
}

HRESULT TypeInfoImpl::GetImplTypeFlags(UINT index, INT* pImplTypeFlags) {
  if (!pImplTypeFlags) return E_INVALIDARG;
  if (index >= type_.impls.size()) return TYPE_E_ELEMENTNOTFOUND;
  *pImplTypeFlags = type_.kind == TKIND_COCLASS ? INT(type_.impls[index].flags) : 0;
  return S_OK;
}

HRESULT TypeInfoImpl::GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) {
  if (!rgszNames || !pMemId || cNames == 0) return E_INVALIDARG;
  auto same = [](const std::string& name, LPOLESTR wide) {
    if (!wide) return false;
    std::u16string w = AnsiToWide(name);
    std::size_t i = 0;
    for (; wide[i]; ++i) {
      if (i >= w.size()) return false;
      char16_t a = w[i], b = wide[i];
      a = halyard::AsciiLower(a);
      b = halyard::AsciiLower(b);
      if (a != b) return false;
    }
    return i == w.size();
  };
  for (UINT i = 0; i < cNames; ++i) pMemId[i] = MEMBERID_NIL;
  for (const Member& m : funcs_) {
    const MsftFunc& f = *m.f;
    if (!same(f.name, rgszNames[0])) continue;
    pMemId[0] = f.memid;
    FuncFace face = Face(m);
    HRESULT hr = S_OK;
    for (UINT n = 1; n < cNames; ++n) {
      for (std::size_t p = 0; p < face.params; ++p)
        if (same(f.params[p].name, rgszNames[n])) pMemId[n] = MEMBERID(p);
      if (pMemId[n] == MEMBERID_NIL) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  for (const MsftVar& v : type_.vars) {
    if (!same(v.name, rgszNames[0])) continue;
    pMemId[0] = v.memid;
    return cNames > 1 ? DISP_E_UNKNOWNNAME : S_OK;
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT TypeInfoImpl::GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                       DWORD* pdwHelpContext, BSTR* pBstrHelpFile) {
  const std::string* name = nullptr;
  const std::string* doc = nullptr;
  DWORD context = 0;
  if (memid == MEMBERID_NIL) {
    name = &type_.name;
    doc = &type_.doc;
    context = type_.helpContext;
  } else {
    for (const Member& m : funcs_)
      if (!name && m.f->memid == memid)
        name = &m.f->name, doc = &m.f->doc, context = m.f->helpContext;
    for (const MsftVar& v : type_.vars)
      if (!name && v.memid == memid) name = &v.name, doc = &v.doc, context = v.helpContext;
    if (!name) return TYPE_E_ELEMENTNOTFOUND;
  }
  SetBstr(pBstrName, *name);
  SetBstr(pBstrDocString, *doc);
  if (pdwHelpContext) *pdwHelpContext = context;
  const std::string& helpFile = lib_->Lib().helpFile;
  if (pBstrHelpFile) *pBstrHelpFile = helpFile.empty() ? nullptr : BstrFromAnsi(helpFile);
  return S_OK;
}

// The type information a handle of owner's own names.
HRESULT ResolveRef(TypeLibImpl* owner, HREFTYPE hRefType, ITypeInfo** ppTInfo) {
  const MsftLibrary& lib = owner->Lib();
  switch (hRefType & 3) {
    case 0: {
      int index = lib.LocalIndex(hRefType);
      if (index < 0) return TYPE_E_ELEMENTNOTFOUND;
      *ppTInfo = new TypeInfoImpl(owner, index, false);
      return S_OK;
    }
    case kVtableFace: {
      int index = lib.LocalIndex(hRefType & ~kVtableFace);
      if (index < 0 || !IsDual(lib.types[index])) return TYPE_E_ELEMENTNOTFOUND;
      *ppTInfo = new TypeInfoImpl(owner, index, true);
      return S_OK;
    }
    case 1:
      return owner->ResolveImport(hRefType, ppTInfo);
    default:
      return TYPE_E_ELEMENTNOTFOUND;
  }
}

HRESULT TypeInfoImpl::GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_INVALIDARG;
  *ppTInfo = nullptr;
  if ((hRefType & 3) == kForeignRef) {
    std::size_t i = hRefType >> 2;
    if (i >= foreignRefs_.size()) return TYPE_E_ELEMENTNOTFOUND;
    return ResolveRef(foreignRefs_[i].first, foreignRefs_[i].second, ppTInfo);
  }
  return ResolveRef(lib_, hRefType, ppTInfo);
}

HRESULT TypeInfoImpl::GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) {
  if (ppTLib) {
    lib_->AddRef();
    *ppTLib = lib_;
  }
  if (pIndex) *pIndex = UINT(index_);
  return S_OK;
}

HRESULT FromBytes(const BYTE* data, std::size_t size, std::string importDir, ITypeLib** pptlib,
                  DWORD resource = 0) {
  if (typelib::LooksLikePe(data, size)) {
    // A control or library file: its type library is a resource.
    std::size_t offset = 0, length = 0;
    if (!typelib::FindPeTypeLib(data, size, resource, &offset, &length))
      return TYPE_E_CANTLOADLIBRARY;
    data += offset;
    size = length;
  }
  MsftLibrary lib;
  typelib::MsftError e = typelib::ParseMsft(data, size, &lib);
  if (e == typelib::MsftError::kBadMagic) return TYPE_E_UNSUPFORMAT;
  if (e != typelib::MsftError::kNone) return TYPE_E_INVDATAREAD;
  *pptlib = new TypeLibImpl(std::move(lib), std::move(importDir));
  return S_OK;
}

// Type libraries above this size are refused rather than read into memory.
constexpr std::size_t kMaxFileSize = std::size_t(1) << 30;

HRESULT LoadFromHostFile(const std::string& path, ITypeLib** pptlib) {
  std::string hostPath = path;
  DWORD resource = 0;
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) {
    // "control.ocx\2" (after mapping: "control.ocx/2") names the resource TYPELIB/2.
    std::size_t cut = hostPath.find_last_of('/');
    std::string digits = cut == std::string::npos ? "" : hostPath.substr(cut + 1);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
      return TYPE_E_CANTLOADLIBRARY;
    resource = DWORD(std::stoul(digits));
    hostPath.erase(cut);
    in.open(hostPath, std::ios::binary);
    if (!in || resource == 0) return TYPE_E_CANTLOADLIBRARY;
  }
  in.seekg(0, std::ios::end);
  std::streamoff length = in.tellg();
  if (length < 0 || std::size_t(length) > kMaxFileSize) return TYPE_E_CANTLOADLIBRARY;
  in.seekg(0);
  std::vector<BYTE> bytes(static_cast<std::size_t>(length));
  if (!bytes.empty() && !in.read(reinterpret_cast<char*>(bytes.data()), length))
    return TYPE_E_CANTLOADLIBRARY;
  std::size_t cut = hostPath.find_last_of('/');
  std::string dir = cut == std::string::npos ? "." : hostPath.substr(0, cut == 0 ? 1 : cut);
  return FromBytes(bytes.data(), bytes.size(), dir, pptlib, resource);
}

}  // namespace

HRESULT LoadTypeLibFromMemory(const BYTE* data, std::size_t size, const std::string& importDir,
                              ITypeLib** pptlib) {
  if (!pptlib) return E_INVALIDARG;
  *pptlib = nullptr;
  if (!data && size) return E_INVALIDARG;
  return FromBytes(data, size, importDir, pptlib);
}

}  // namespace halyard::ole

HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib) {
  if (!szFile || !pptlib) return E_INVALIDARG;
  *pptlib = nullptr;
  std::u16string_view wide(szFile);
  std::string host = halyard::MapWinPath(halyard::ole::WideToAnsi(wide));
  return halyard::ole::LoadFromHostFile(host, pptlib);
}
