// IClassFactory, through which an in-process server hands out new objects of a class, and the
// entry points such a server exports (DllGetClassObject, DllCanUnloadNow), declared with C
// linkage as the loader looks them up by name.
#pragma once

#include "unknown.h"

#define STDAPI extern "C" HRESULT STDMETHODCALLTYPE
#define STDAPI_(type) extern "C" type STDMETHODCALLTYPE

struct IClassFactory : IUnknown {
  // A new object answering riid; CLASS_E_NOAGGREGATION when pUnkOuter is given and the class
  // cannot be aggregated.
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  // Keeps the server loaded while locked (fLock TRUE) and lets it go again (FALSE).
  virtual HRESULT LockServer(BOOL fLock) = 0;
};
using LPCLASSFACTORY = IClassFactory*;

using LPFNGETCLASSOBJECT = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using LPFNCANUNLOADNOW = HRESULT (*)();
