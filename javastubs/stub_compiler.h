// IStubCompiler, the interface through which a host drives the Java stub compiler, with the
// identifiers of the compiler class. Hosts create the compiler through COM (CoCreateInstance by
// the ProgID or the class identifier) and call it by vtable slot, so the order of the
// operations below is fixed: after QueryInterface, AddRef and Release come WriteInterfaceStubs,
// CreateRunTimeClasses, ScanTypeLibraryFile and WriteClassStubs. A compiler object is used from
// the thread that created it.
#pragma once

#include "platform/ole/stream.h"
#include "platform/ole/typelib.h"
#include "run_time_classes.h"

// {3C7A51D2-6E04-4B9F-8A21-5D0E93C4B716}: the compiler class, and the dispatch identifier
// under which the compiler object answers IDispatch.
DEFINE_GUID(CLSID_QuarbCompiler, 0x3C7A51D2, 0x6E04, 0x4B9F, 0x8A, 0x21, 0x5D, 0x0E, 0x93, 0xC4,
            0xB7, 0x16);
// {3C7A51D3-6E04-4B9F-8A21-5D0E93C4B716}
DEFINE_GUID(IID_IStubCompiler, 0x3C7A51D3, 0x6E04, 0x4B9F, 0x8A, 0x21, 0x5D, 0x0E, 0x93, 0xC4, 0xB7,
            0x16);

inline constexpr char kQuarbCompilerProgID[] = "QuarbCompiler.Compiler.1";

struct IStubCompiler : IUnknown {
  // Enumeration interfaces, abstract interfaces and class shells of every type of lib, written
  // to stream from its current position. S_OK; E_POINTER for a null library or stream.
  virtual HRESULT WriteInterfaceStubs(ITypeLib* lib, IStream* stream) = 0;
  // A new run-time class collection for lib in *collection, owned by the caller. S_OK;
  // E_POINTER (and a null *collection) for a null library.
  virtual HRESULT CreateRunTimeClasses(ITypeLib* lib, IRunTimeClassCollection** collection) = 0;
  // Loads the type library file at path and collects the properties of its interfaces and
  // dispatch interfaces; S_OK, or the loader's failure code unchanged.
  virtual HRESULT ScanTypeLibraryFile(LPCOLESTR path) = 0;
  // Enumeration interfaces, abstract interfaces and implementation classes of every type.
  virtual HRESULT WriteClassStubs(ITypeLib* lib, IStream* stream) = 0;
};
