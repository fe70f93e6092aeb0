// PropertyInfo and MethodInfo, the members of an interface as the stub writers and the
// run-time classes use them, and the collection of both from an interface's type
// information. Collections are values owned by the caller; they hold no references to
// the type information they were read from.
#pragma once

#include <string>
#include <vector>

#include "platform/ole/typelib.h"
#include "type_code.h"

namespace quarb {

// PropertyInfo flags.
inline constexpr DWORD kPropWritable = 0x1;
inline constexpr DWORD kPropPutRef = 0x2;
inline constexpr DWORD kPropReadable = 0x4;
inline constexpr DWORD kPropVariable = 0x8;
inline constexpr DWORD kPropResolved = 0x10;
inline constexpr DWORD kPropEnum = 0x30;      // resolved to an enumeration
inline constexpr DWORD kPropDispatch = 0x50;  // resolved to a dispatch interface

}  // namespace quarb

struct PropertyInfo {
  std::string name;
  DWORD flags = 0;
  MEMBERID memid = 0;
  // A type code, or with kPropEnum / kPropDispatch an index into the enumeration list or
  // the interface name list.
  TypeCode type = 0;
};

struct MethodInfo {
  MEMBERID memid = 0;
  std::string name;
  TypeCode result = 24;  // VT_VOID when the method has none
  UINT paramCount = 0;
  // Each parameter name followed by a tab (empty when names were not asked for).
  std::string paramNames;
  // One per parameter; the classic layout had room for ten, this list holds them all.
  std::vector<TypeCode> paramTypes;
};

namespace quarb {

struct EnumInfo {
  std::string name;
  std::vector<std::pair<std::string, LONG>> constants;
};

struct PropertyList {
  std::vector<PropertyInfo> properties;
  std::vector<EnumInfo> enumerations;
  std::vector<std::string> interfaces;
};

// Empties *out and collects the properties of an interface or dispatch interface.
void CollectProperties(ITypeInfo* info, PropertyList* out);
// Collects the plain methods (no property accessors) in order, hidden and restricted ones
// included; parameter names only when withNames.
void CollectMethods(ITypeInfo* info, bool withNames, std::vector<MethodInfo>* out);

// The parameter names of a method one by one (unnamed ones as empty texts).
std::vector<std::string> SplitParamNames(const MethodInfo& m);
// The type code of a method result or parameter.
TypeCode MemberTypeCode(ITypeInfo* info, const TYPEDESC& desc);

// The text of a BSTR as Windows-1252, and frees it.
std::string TakeAnsi(BSTR bstr);
// The name of a type (its documentation name), or false.
bool TypeName(ITypeInfo* info, std::string* name);

}  // namespace quarb
