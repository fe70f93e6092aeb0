// The Java source stub writers: for every type of a type library, in library order, an
// enumeration interface (enumerations), an abstract interface (interfaces and dispatch
// interfaces) and a class shell or an implementation class (component classes). Types
// whose type information cannot be read are skipped. The writers are used by the compiler
// object's WriteInterfaceStubs and WriteClassStubs on the caller's thread.
#pragma once

#include <map>
#include <tuple>
#include <vector>

#include "platform/ole/stream.h"
#include "platform/ole/typelib.h"
#include "property_info.h"
#include "stub_file.h"

namespace quarb {

// The members collected for each interface during one walk, so that an interface that a
// class implements is not read a second time. Keyed by the containing library, the type's
// index and its kind (the two faces of a dual interface differ).
class MemberCache {
 public:
  struct Members {
    PropertyList props;
    std::vector<MethodInfo> methods;
  };
  const Members& Get(ITypeInfo* info);

 private:
  std::map<std::tuple<ITypeLib*, UINT, int>, Members> byType_;
  Members uncached_;
};

// Both walk the whole library and answer S_OK.
HRESULT WriteInterfaceStubs(ITypeLib* lib, IStream* stream);
HRESULT WriteClassStubs(ITypeLib* lib, IStream* stream);

// The writers of one type; a failing name read ends the type's output with that code.
// The cache is optional.
HRESULT WriteEnumInterface(StubFile& out, ITypeInfo* info, const std::string& name);
HRESULT WriteAbstractInterface(StubFile& out, ITypeInfo* info, const std::string& name,
                               MemberCache* cache = nullptr);
HRESULT WriteClassShell(StubFile& out, ITypeInfo* info, const std::string& name,
                        MemberCache* cache = nullptr);
HRESULT WriteImplementationClass(StubFile& out, ITypeInfo* info, const std::string& name,
                                 MemberCache* cache = nullptr);

}  // namespace quarb
