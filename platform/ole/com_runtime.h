// The COM library's class activation: objects are created by class identifier or ProgID from
// class objects registered in this process or from in-process servers named in the registry
// (HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32, a shared library that exports
// DllGetClassObject). The server's path is taken as a host path when it starts with '/',
// otherwise as a Windows path. Loaded servers stay loaded until CoFreeUnusedLibraries finds
// that they answer S_OK to DllCanUnloadNow. Any thread may call these functions.
#pragma once

#include "class_factory.h"
#include "unknown.h"

#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_REMOTE_SERVER 0x10
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL \
  (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_MULTITHREADED 0x0

#define REGCLS_SINGLEUSE 0
#define REGCLS_MULTIPLEUSE 1

#define CO_E_DLLNOTFOUND HALYARD_HR(0x800401F8L)
#define CO_E_ERRORINDLL HALYARD_HR(0x800401F9L)
#define CO_E_OBJNOTREG HALYARD_HR(0x800401FBL)

// Counted per thread: S_OK for the first call on a thread, S_FALSE for the later ones.
HRESULT CoInitialize(LPVOID pvReserved);
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoUninitialize();

// REGDB_E_CLASSNOTREG when the class is neither registered here nor in the registry (or only
// outside the process), CO_E_DLLNOTFOUND when its server does not load, CO_E_ERRORINDLL when
// the server lacks DllGetClassObject; otherwise what the class object answers.
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid,
                         LPVOID* ppv);
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv);

// Makes a class object available to this process's activations (it gains a reference);
// *lpdwRegister receives the cookie for CoRevokeClassObject.
HRESULT CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD dwClsContext, DWORD flags,
                              LPDWORD lpdwRegister);
HRESULT CoRevokeClassObject(DWORD dwRegister);

void CoFreeUnusedLibraries();

// HKEY_CLASSES_ROOT\<ProgID>\CLSID; CO_E_CLASSSTRING when the ProgID is not registered.
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
// HKEY_CLASSES_ROOT\CLSID\{...}\ProgID, in task memory; REGDB_E_CLASSNOTREG when absent.
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);
