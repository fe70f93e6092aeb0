// The Java source stub writers: for every type of a type library, in library order, an
// enumeration interface (enumerations), an abstract interface (interfaces and dispatch
// interfaces) and a class shell or an implementation class (component classes). Types
// whose type information cannot be read are skipped. The writers are used by the compiler
// object's WriteInterfaceStubs and WriteClassStubs on the caller's thread.
#pragma once

#include "ole/stream.h"
#include "ole/typelib.h"
#include "stub_file.h"

namespace quarb {

// Both walk the whole library and answer S_OK.
HRESULT WriteInterfaceStubs(ITypeLib* lib, IStream* stream);
HRESULT WriteClassStubs(ITypeLib* lib, IStream* stream);

// The writers of one type; a failing name read ends the type's output with that code.
HRESULT WriteEnumInterface(StubFile& out, ITypeInfo* info, const std::string& name);
HRESULT WriteAbstractInterface(StubFile& out, ITypeInfo* info, const std::string& name);
HRESULT WriteClassShell(StubFile& out, ITypeInfo* info, const std::string& name);
HRESULT WriteImplementationClass(StubFile& out, ITypeInfo* info, const std::string& name);

}  // namespace quarb
