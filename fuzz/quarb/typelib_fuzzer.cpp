// Fuzzes LoadTypeLib's reader and everything a caller can reach from what it returns:
// type attributes, function and variable descriptions, names, references (into the
// imported stdole2 of the fixtures too) and both kinds of Java stubs.
#include <cstddef>
#include <cstdint>

#include "platform/ole/bstr.h"
#include "platform/ole/memory_stream.h"
#include "platform/ole/typelib.h"
#include "javastubs/stub_writer.h"

namespace {

using halyard::ole::ComPtr;

void Follow(ITypeInfo* info, const TYPEDESC& desc) {
  const TYPEDESC* d = &desc;
  while ((d->vt == VT_PTR || d->vt == VT_SAFEARRAY) && d->lptdesc) d = d->lptdesc;
  if (d->vt == VT_USERDEFINED) {
    ComPtr<ITypeInfo> ref;
    if (SUCCEEDED(info->GetRefTypeInfo(d->hreftype, ref.Put()))) {
      TYPEATTR* attr = nullptr;
      if (SUCCEEDED(ref->GetTypeAttr(&attr))) ref->ReleaseTypeAttr(attr);
    }
  } else if (d->vt == VT_CARRAY && d->lpadesc) {
    Follow(info, d->lpadesc->tdescElem);
  }
}

void Walk(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return;
  Follow(info, attr->tdescAlias);
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(info->GetFuncDesc(i, &f))) continue;
    Follow(info, f->elemdescFunc.tdesc);
    for (SHORT p = 0; p < f->cParams; ++p) Follow(info, f->lprgelemdescParam[p].tdesc);
    BSTR names[8] = {};
    UINT got = 0;
    if (SUCCEEDED(info->GetNames(f->memid, names, 8, &got))) {
      MEMBERID ids[2];
      if (got) info->GetIDsOfNames(names, got > 2 ? 2 : got, ids);
      for (UINT n = 0; n < got; ++n) SysFreeString(names[n]);
    }
    info->ReleaseFuncDesc(f);
  }
  for (UINT i = 0; i < attr->cVars; ++i) {
    VARDESC* v = nullptr;
    if (FAILED(info->GetVarDesc(i, &v))) continue;
    Follow(info, v->elemdescVar.tdesc);
    BSTR name = nullptr, doc = nullptr;
    if (SUCCEEDED(info->GetDocumentation(v->memid, &name, &doc, nullptr, nullptr))) {
      SysFreeString(name);
      SysFreeString(doc);
    }
    info->ReleaseVarDesc(v);
  }
  for (UINT i = 0; i <= attr->cImplTypes; ++i) {
    HREFTYPE href;
    UINT index = i == attr->cImplTypes ? UINT(-1) : i;
    ComPtr<ITypeInfo> ref;
    INT flags;
    info->GetImplTypeFlags(index, &flags);
    if (SUCCEEDED(info->GetRefTypeOfImplType(index, &href))) info->GetRefTypeInfo(href, ref.Put());
  }
  info->ReleaseTypeAttr(attr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ITypeLib* raw = nullptr;
  if (FAILED(halyard::ole::LoadTypeLibFromMemory(data, size, QUARB_FIXTURES, &raw))) return 0;
  ComPtr<ITypeLib> lib = ComPtr<ITypeLib>::Attach(raw);
  TLIBATTR* attr = nullptr;
  if (SUCCEEDED(lib->GetLibAttr(&attr))) lib->ReleaseTLibAttr(attr);
  for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
    ComPtr<ITypeInfo> info;
    if (SUCCEEDED(lib->GetTypeInfo(i, info.Put()))) Walk(info.Get());
  }
  for (auto writer : {quarb::WriteInterfaceStubs, quarb::WriteClassStubs}) {
    auto* stream = new halyard::ole::MemoryStream();
    writer(lib.Get(), stream);
    stream->Release();
  }
  return 0;
}
