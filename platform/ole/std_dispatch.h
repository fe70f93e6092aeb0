// Dispatch driven by type information: an object that implements an interface described in
// a type library answers IDispatch::Invoke by handing the call to DispInvoke (or by being
// wrapped with CreateStdDispatch). The call is made on the object's vtable from the
// interface's function descriptions: arguments are converted to the parameter types
// (VariantChangeType), by-reference arguments are passed as the pointers they hold, the
// [retval] parameter becomes the result, and a failure HRESULT of the function is reported
// as DISP_E_EXCEPTION with the code in the EXCEPINFO. Too few arguments give
// DISP_E_BADPARAMCOUNT; a required parameter passed as missing (VT_ERROR with
// DISP_E_PARAMNOTFOUND) gives DISP_E_PARAMNOTOPTIONAL.
#pragma once

#include "dispatch.h"
#include "platform/kernel/win_types.h"
#include "typelib.h"

// Calls the function at byte offset oVft of pvInstance's vtable with cActuals arguments, the
// i-th of type prgvt[i] held by *prgpvarg[i] (a VT_VARIANT argument is the variant itself,
// passed by value); the result, of type vtReturn (VT_EMPTY or VT_VOID for none), goes to
// pvargResult. E_INVALIDARG for a calling convention other than stdcall or cdecl or too many
// arguments, DISP_E_BADVARTYPE for a type that cannot be passed.
HRESULT DispCallFunc(void* pvInstance, ULONG_PTR oVft, CALLCONV cc, VARTYPE vtReturn, UINT cActuals,
                     VARTYPE* prgvt, VARIANTARG** prgpvarg, VARIANT* pvargResult);

// ptinfo->GetIDsOfNames.
HRESULT DispGetIDsOfNames(ITypeInfo* ptinfo, LPOLESTR* rgszNames, UINT cNames, DISPID* rgdispid);

// ptinfo->Invoke on _this.
HRESULT DispInvoke(void* _this, ITypeInfo* ptinfo, DISPID dispidMember, WORD wFlags,
                   DISPPARAMS* pparams, VARIANT* pvarResult, EXCEPINFO* pexcepinfo, UINT* puArgErr);

// An object answering IUnknown and IDispatch whose IDispatch calls the interface ptinfo
// describes on pvThis. With punkOuter it is aggregated: other interfaces and the reference
// count of its IDispatch go to the outer object. The object holds ptinfo, not pvThis.
HRESULT CreateStdDispatch(IUnknown* punkOuter, void* pvThis, ITypeInfo* ptinfo,
                          IUnknown** ppunkStdDisp);

namespace halyard::ole {

// What ITypeInfo::Invoke does for the type information objects of the reader.
HRESULT InvokeByTypeInfo(ITypeInfo* info, PVOID instance, MEMBERID memid, WORD flags,
                         DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr);

}  // namespace halyard::ole
