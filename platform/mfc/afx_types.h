// The small types the class library's interfaces share: text pointers of the single-byte
// build, POSITION for walking collections, and the Win32 widths from the kernel layer.
#pragma once

#include "platform/kernel/win_types.h"

using TCHAR = char;
using LPTSTR = char*;
using LPCTSTR = const char*;
using PUINT = UINT*;

// An opaque place in a collection, handed out by GetStartPosition and advanced by GetNext...
struct __POSITION {};
using POSITION = __POSITION*;
#define BEFORE_START_POSITION (reinterpret_cast<POSITION>(-1))
