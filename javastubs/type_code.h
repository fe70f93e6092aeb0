// TypeCode, the 16-bit type of a property, a method result or a parameter as the stub
// writers see it: an automation type number, optionally with the by-reference bit, or one
// of the special codes of the user-defined types that controls use for their properties.
#pragma once

#include "platform/kernel/win_types.h"

using TypeCode = WORD;

namespace quarb {

inline constexpr TypeCode kByRef = 0x4000;
inline constexpr TypeCode kFontCode = 0x1001;     // "IFontDisp" or "Font"
inline constexpr TypeCode kPictureCode = 0x1002;  // "IPictureDisp" or "Picture"
inline constexpr TypeCode kColorCode = 0x1003;    // "OLE_COLOR"
inline constexpr TypeCode kSpareCode = 0x1004;    // in the tables, assigned by nothing

}  // namespace quarb
