#include "type_walk.h"

#include "property_info.h"

namespace quarb {

void WalkTypeLibrary(ITypeLib* lib, const TypeVisitor& visit) {
  const UINT count = lib->GetTypeInfoCount();
  for (UINT i = 0; i < count; ++i) {
    TYPEKIND kind;
    BSTR bstr = nullptr;
    if (FAILED(lib->GetTypeInfoType(i, &kind)) ||
        FAILED(lib->GetDocumentation(INT(i), &bstr, nullptr, nullptr, nullptr)))
      continue;
    const std::string name = TakeAnsi(bstr);
    halyard::ole::ComPtr<ITypeInfo> info;
    if (FAILED(lib->GetTypeInfo(i, info.Put())) || !info) continue;
    visit(kind, name, info.Get());
  }
}

}  // namespace quarb
