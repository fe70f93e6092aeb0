// The class factory of the compiler class: a static object of the library that lives from
// loading to unloading, so its reference count never deletes it and does not keep the library
// loaded (LockServer does). It also writes and removes the class's registration.
#pragma once

#include "platform/ole/class_factory.h"

namespace quarb {

class CompilerFactory : public IClassFactory {
 public:
  // The library's one factory.
  static CompilerFactory& Instance();

  HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
  ULONG AddRef() override;
  ULONG Release() override;
  // A new compiler object answering riid; no aggregation.
  HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override;
  HRESULT LockServer(BOOL fLock) override;

  // Registers the class (register TRUE): the keys of a control class for its class
  // identifier, ProgID, type name (string resource 1), apartment threading and in-process
  // server, the null type library 1.0. With FALSE removes the class and ProgID keys.
  // FALSE when a registry write fails or the library's path cannot be found.
  BOOL UpdateRegistry(BOOL bRegister);

 private:
  CompilerFactory() = default;
};

}  // namespace quarb
