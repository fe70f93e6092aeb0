// Registration of a control class in HKEY_CLASSES_ROOT, as the class library's control
// support writes it: the ProgID key with its CLSID, the class key with its type name, ProgID,
// InprocServer32 (with the threading model), MiscStatus, Control, TypeLib and Version keys,
// and ToolboxBitmap32 when a bitmap is named. The module is named by any address inside it
// (HINSTANCE); its path is the shared library's host path. Registry changes are atomic per
// value; any thread may call these.
#pragma once

#include "platform/mfc/afx_types.h"
#include "guid.h"

// Any address inside the module (a function or a variable of it); null names the program.
using HINSTANCE = const void*;
using HMODULE = HINSTANCE;

#define afxRegDefault 0x0000
#define afxRegInsertable 0x0001
#define afxRegApartmentThreading 0x0002
#define afxRegFreeThreading 0x0004

// The type name is string resource idTypeName (CString::LoadString). FALSE when the name
// cannot be loaded, the module's path cannot be found, or a registry write fails.
BOOL AfxOleRegisterControlClass(HINSTANCE hInstance, REFCLSID clsid, LPCTSTR pszProgID,
                                UINT idTypeName, UINT idBitmap, int nRegFlags, DWORD dwMiscStatus,
                                REFGUID tlid, WORD wVerMajor, WORD wVerMinor);

// Removes the class key and, when given, the ProgID key with everything below them.
BOOL AfxOleUnregisterClass(REFCLSID clsid, LPCTSTR pszProgID);

namespace halyard::ole {
// The host path of the shared library or program holding the address; empty when unknown.
std::string ModulePath(HINSTANCE address);
}  // namespace halyard::ole
