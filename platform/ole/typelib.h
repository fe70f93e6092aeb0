// ITypeLib and ITypeInfo, the type information of OLE Automation, and LoadTypeLib, which
// reads them from a 32-bit type library file (the MSFT format). Objects are reference
// counted; a type information object keeps its library alive, and descriptions it hands
// out (TYPEATTR, FUNCDESC, VARDESC) stay valid until released through it. References into
// imported libraries (stdole2 and the like) are followed by loading the imported file from
// the folder of the importing library, then from the folders in HALYARD_TYPELIB_PATH
// (separated by ':'). A library and its type information objects belong to one thread.
//
// A dual interface is handed out as its dispatch interface (TKIND_DISPATCH, members as
// automation sees them: no HRESULT, the [retval] parameter as the result); its vtable
// interface is the reference GetRefTypeOfImplType(-1) gives. The dispatch interface of a
// dual interface derived from other dual interfaces holds the members of the whole chain,
// the root's first, and names IDispatch as its one base; its vtable interface holds only its
// own members and names its direct base.
#pragma once

#include <cstddef>
#include <string>

#include "bstr.h"
#include "dispatch.h"
#include "typelib_types.h"
#include "unknown.h"

DEFINE_GUID(IID_ITypeInfo, 0x00020401, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
DEFINE_GUID(IID_ITypeLib, 0x00020402, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);

struct ITypeLib;

struct ITypeInfo : IUnknown {
  virtual HRESULT GetTypeAttr(TYPEATTR** ppTypeAttr) = 0;
  // TYPE_E_ELEMENTNOTFOUND for an index at or past cFuncs / cVars.
  virtual HRESULT GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) = 0;
  virtual HRESULT GetVarDesc(UINT index, VARDESC** ppVarDesc) = 0;
  // The member's name, then its parameters' names (empty BSTRs stand for unnamed ones), up
  // to cMaxNames; the caller frees them.
  virtual HRESULT GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) = 0;
  // index -1 on a dual interface: its vtable interface.
  virtual HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) = 0;
  virtual HRESULT GetImplTypeFlags(UINT index, INT* pImplTypeFlags) = 0;
  virtual HRESULT GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) = 0;
  // Calls the member memid of the interface this describes on pvInstance, an object that
  // implements it (its vtable), converting the arguments of pDispParams as IDispatch::Invoke
  // does (see std_dispatch.h).
  virtual HRESULT Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
  // MEMBERID_NIL documents the type itself. Any output may be null.
  virtual HRESULT GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString,
                                   DWORD* pdwHelpContext, BSTR* pBstrHelpFile) = 0;
  virtual HRESULT GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) = 0;
  virtual void ReleaseTypeAttr(TYPEATTR* pTypeAttr) = 0;
  virtual void ReleaseFuncDesc(FUNCDESC* pFuncDesc) = 0;
  virtual void ReleaseVarDesc(VARDESC* pVarDesc) = 0;
};
using LPTYPEINFO = ITypeInfo*;

struct ITypeLib : IUnknown {
  virtual UINT GetTypeInfoCount() = 0;
  virtual HRESULT GetTypeInfo(UINT index, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT GetTypeInfoType(UINT index, TYPEKIND* pTKind) = 0;
  virtual HRESULT GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT GetLibAttr(TLIBATTR** ppTLibAttr) = 0;
  // index -1 documents the library itself.
  virtual HRESULT GetDocumentation(INT index, BSTR* pBstrName, BSTR* pBstrDocString,
                                   DWORD* pdwHelpContext, BSTR* pBstrHelpFile) = 0;
  virtual void ReleaseTLibAttr(TLIBATTR* pTLibAttr) = 0;
};
using LPTYPELIB = ITypeLib*;

// Reads the type library file szFile (a Windows path): a .tlb file, or a PE file (.ocx,
// .dll) whose first TYPELIB resource is the library; "file.ocx\2" picks the resource
// TYPELIB/2. Failures: E_INVALIDARG for null arguments, TYPE_E_CANTLOADLIBRARY when the file
// cannot be read or has no such resource, TYPE_E_UNSUPFORMAT when it is no MSFT type
// library, TYPE_E_INVDATAREAD when it is damaged.
HRESULT LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib);

namespace halyard::ole {

// The same over bytes in memory (copied). Imports are looked for in importDir (a host
// folder; empty for none) and then in HALYARD_TYPELIB_PATH.
HRESULT LoadTypeLibFromMemory(const BYTE* data, std::size_t size, const std::string& importDir,
                              ITypeLib** pptlib);

}  // namespace halyard::ole
