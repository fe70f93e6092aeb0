// JavaTypeName and JavaDefaultValue: the Java type written for a type code and the value
// a generated body returns for it. The table is in java_types.cpp.
#pragma once

#include <string>
#include <vector>

#include "type_code.h"

namespace quarb {

// The Java type of a property (no by-reference form) of type code `code`; a property
// resolved to a dispatch interface (flag 0x40) is named by that interface instead.
std::string JavaPropertyType(TypeCode code, DWORD flags,
                             const std::vector<std::string>& interfaces);
// The value a generated getter returns for such a property.
std::string JavaPropertyDefault(TypeCode code, DWORD flags);
// The Java type of a method result or parameter: by-reference codes get "[]" after it.
std::string JavaMemberType(TypeCode code);

}  // namespace quarb

// The Java type of a type code without its by-reference bit.
const char* JavaTypeName(TypeCode code);
// The value a generated body returns; the empty text for void.
const char* JavaDefaultValue(TypeCode code);
