#include "run_time_collection.h"

#include "type_walk.h"

namespace quarb {
namespace {

using halyard::ole::ComPtr;

// Adds to cls the interfaces the component class info implements, in order, that match an
// interface of the collection. The walk ends at the first implemented interface whose
// reference cannot be read; one whose description or name cannot be read is passed over.
// True when any implemented interface could be read.
bool AddImplemented(const RunTimeCollection& collection, ITypeInfo* info, RunTimeClass* cls) {
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return false;
  const UINT count = attr->cImplTypes;
  info->ReleaseTypeAttr(attr);
  bool anyRead = false;
  for (UINT i = 0; i < count; ++i) {
    HREFTYPE href = 0;
    if (FAILED(info->GetRefTypeOfImplType(i, &href))) break;
    ComPtr<ITypeInfo> ref;
    std::string name;
    if (FAILED(info->GetRefTypeInfo(href, ref.Put())) || !ref || !TypeName(ref.Get(), &name))
      continue;
    anyRead = true;
    if (RunTimeInterface* match = collection.FindInterface(name)) cls->AddInterface(match);
  }
  return anyRead;
}

}  // namespace

RunTimeCollection* RunTimeCollection::Create() { return new RunTimeCollection(); }

RunTimeCollection::RunTimeCollection()
    : RunTimeObject(IID_IRunTimeClassCollection, DIID_RunTimeClassCollection) {}

void RunTimeCollection::AddInterface(RunTimeInterface* iface) { interfaces_.emplace_back(iface); }

void RunTimeCollection::AddClass(RunTimeClass* cls) { classes_.emplace_back(cls); }

RunTimeInterface* RunTimeCollection::FindInterface(const std::string& name) const {
  for (const auto& iface : interfaces_)
    if (iface->Name() == name) return iface.Get();
  return nullptr;
}

HRESULT RunTimeCollection::GetCount(LONG* count) {
  if (count == nullptr) return E_POINTER;
  *count = LONG(classes_.size());
  return S_OK;
}

HRESULT RunTimeCollection::GetClassName(LONG index, BSTR* name) {
  if (name == nullptr) return E_POINTER;
  *name = nullptr;
  if (index < 0 || std::size_t(index) >= classes_.size()) return E_INVALIDARG;
  return classes_[std::size_t(index)]->GetName(name);
}

HRESULT RunTimeCollection::GetClass(LONG index, IRunTimeClass** found) {
  if (found == nullptr) return E_POINTER;
  *found = nullptr;
  if (index < 0 || std::size_t(index) >= classes_.size()) return E_INVALIDARG;
  RunTimeClass* cls = classes_[std::size_t(index)].Get();
  cls->AddRef();
  *found = cls;
  return S_OK;
}

RunTimeCollection* BuildRunTimeCollection(ITypeLib* lib) {
  RunTimeCollection* collection = RunTimeCollection::Create();
  WalkTypeLibrary(lib, [collection](TYPEKIND kind, const std::string& name, ITypeInfo* info) {
    if (kind == TKIND_INTERFACE || kind == TKIND_DISPATCH) {
      ComPtr<RunTimeInterface> iface =
          ComPtr<RunTimeInterface>::Attach(RunTimeInterface::Create(name));
      iface->Fill(info);
      collection->AddInterface(iface.Get());
    } else if (kind == TKIND_COCLASS) {
      ComPtr<RunTimeClass> cls = ComPtr<RunTimeClass>::Attach(RunTimeClass::Create(name));
      if (AddImplemented(*collection, info, cls.Get())) collection->AddClass(cls.Get());
    }
  });
  return collection;
}

}  // namespace quarb
