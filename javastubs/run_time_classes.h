// The run-time class collection that IStubCompiler::CreateRunTimeClasses hands out, and the
// run-time classes and interfaces reached through it. A run-time interface names the members
// of an interface of a type library by Java method names with JVM descriptors
// ("getCaption()Ljava/lang/String;", "Refresh()V"); a caller looks a member up by that name,
// then invokes it by the identifier it got on the control's automation object. Hosts call
// these interfaces by vtable slot, so the order of the operations is fixed. Every object is
// reference counted and keeps the compiler's library loaded while it lives; the collection
// is never changed after it is filled. Apartment threaded, like the compiler.
#pragma once

#include "platform/ole/unknown.h"
#include "platform/ole/variant.h"

struct IDispatch;

// {A4E2097B-1C3D-4F58-B6E0-7C91D2F3A850}
DEFINE_GUID(IID_IRunTimeClassCollection, 0xA4E2097B, 0x1C3D, 0x4F58, 0xB6, 0xE0, 0x7C, 0x91, 0xD2,
            0xF3, 0xA8, 0x50);
// {A4E2097C-1C3D-4F58-B6E0-7C91D2F3A850}: the collection's automation side.
DEFINE_GUID(DIID_RunTimeClassCollection, 0xA4E2097C, 0x1C3D, 0x4F58, 0xB6, 0xE0, 0x7C, 0x91, 0xD2,
            0xF3, 0xA8, 0x50);
// {A4E2097D-1C3D-4F58-B6E0-7C91D2F3A850}
DEFINE_GUID(IID_IRunTimeClass, 0xA4E2097D, 0x1C3D, 0x4F58, 0xB6, 0xE0, 0x7C, 0x91, 0xD2, 0xF3, 0xA8,
            0x50);
// {A4E2097E-1C3D-4F58-B6E0-7C91D2F3A850}
DEFINE_GUID(DIID_RunTimeClass, 0xA4E2097E, 0x1C3D, 0x4F58, 0xB6, 0xE0, 0x7C, 0x91, 0xD2, 0xF3, 0xA8,
            0x50);
// {A4E20980-1C3D-4F58-B6E0-7C91D2F3A850}
DEFINE_GUID(IID_IRunTimeInterface, 0xA4E20980, 0x1C3D, 0x4F58, 0xB6, 0xE0, 0x7C, 0x91, 0xD2, 0xF3,
            0xA8, 0x50);
// {A4E2097F-1C3D-4F58-B6E0-7C91D2F3A850}
DEFINE_GUID(DIID_RunTimeInterface, 0xA4E2097F, 0x1C3D, 0x4F58, 0xB6, 0xE0, 0x7C, 0x91, 0xD2, 0xF3,
            0xA8, 0x50);

// Identifiers at and above this one designate methods; the low 28 bits are the method's
// position. Identifiers below 0x10000000 designate property accessors.
inline constexpr DWORD kRunTimeMethodBase = 0xF0000000;

struct IRunTimeInterface : IUnknown {
  // Looks up the member named name (a Java name with its descriptor). An accessor gives its
  // position in *id and its signature: the property's type code (a get, length 1), or VT_VOID
  // and the type code (a set, length 2). A method gives its position plus kRunTimeMethodBase
  // and, when *length exceeds its parameter count plus 1, its result type code followed by its
  // parameter type codes (length parameter count plus 1); otherwise *length becomes 0. A buffer
  // too short for an accessor's signature also gets length 0. E_FAIL when nothing has that
  // name; E_POINTER for a missing argument.
  virtual HRESULT FindMember(LPCOLESTR name, DWORD* id, WORD* signature, UINT* length) = 0;
  // Calls the member id on object through one IDispatch::Invoke: a set accessor puts params[0]
  // (by reference for an object-typed property), a get accessor gets the property into
  // *result, a method is called with the count parameters, each converted to the type of its
  // parameter (VT_LPSTR texts become new BSTRs, freed after the call; by-reference parameters
  // must be given as VT_BYREF variants of their type and are passed as they are). *result
  // (which may be null) receives the value converted to the member's type, or stays VT_EMPTY
  // for a method without one. reserved is not consulted. S_OK; DISP_E_MEMBERNOTFOUND for an
  // unknown id, DISP_E_BADPARAMCOUNT for too few parameters, DISP_E_TYPEMISMATCH for a
  // parameter or result that does not convert, DISP_E_EXCEPTION when the object raised an
  // exception (*result then holds its description as VT_BSTR), or the failure code of Invoke.
  virtual HRESULT InvokeMember(IDispatch* object, DWORD id, VARIANT* result, DWORD reserved,
                               UINT count, VARIANT* params) = 0;
};

struct IRunTimeClass : IUnknown {
  // The class's name as a new BSTR, owned by the caller.
  virtual HRESULT GetName(BSTR* name) = 0;
  // The first interface of the class named name, or its first interface for "*", with one
  // more reference; S_FALSE with *found untouched when none matches.
  virtual HRESULT GetInterface(LPCOLESTR name, IRunTimeInterface** found) = 0;
};

struct IRunTimeClassCollection : IUnknown {
  virtual HRESULT GetCount(LONG* count) = 0;
  // The name of class index as a new BSTR; E_INVALIDARG and a null *name for a bad index.
  virtual HRESULT GetClassName(LONG index, BSTR* name) = 0;
  // Class index with one more reference; E_INVALIDARG and a null *found for a bad index.
  virtual HRESULT GetClass(LONG index, IRunTimeClass** found) = 0;
};
