// The exports of the HTML library by ordinal number, as a host binds them with
// GetProcAddress(library, MAKEINTRESOURCEA(n)), and the function type each number has.
//
// The calling convention for a C++ host on this platform:
// - A constructor takes the memory it builds in as its first argument and returns the object
//   built there. The memory must be sizeof and aligned for the class (the host has the class's
//   header). Null memory asks the library to allocate the object with the class's own operator
//   new; such an object is released with delete, and an element that a tree will own (ordinal
//   114) must be made that way, since a tree deletes its children.
// - A destructor takes the object and runs the class's destructor; the memory stays the host's.
// - A member takes the object (this) first, then the member's own arguments.
// - The numbers that are also exported by name (112, 121 to 140) reach those very functions:
//   constructors and members by their mangled names follow the same rules (constructors return
//   nothing), free and static functions are plain functions.
#pragma once

#include "platform/kernel/win_types.h"
#include "platform/mfc/cstring.h"

class CFile;
class Document;
class Elem;
class ImageTag;
class LayoutContext;
class LayoutState;
class Parser;
class ScriptItem;
class ScriptItemList;
class ScriptScanner;
class TagToken;
class TokenReader;

namespace halyard::tagsmith::ordinal {

enum : WORD {
  kConstructParser = 101,
  kConstructDocument = 102,
  kConstructLayoutState = 103,
  kConstructLayoutContext = 104,
  kBlockClass = 105,
  kDestroyScriptScanner = 106,
  kScriptItemAt = 107,
  kScriptItemValueAt = 108,
  kScriptScannerFinish = 109,
  kScriptScannerScan = 110,
  kConstructScriptScanner = 111,
  kCheckerConstructor = 112,
  kScriptScannerReserved = 113,
  kConstructImageTag = 114,
  kWriteScriptItems = 115,
  kUnlinkElem = 116,
  kDestroyTagToken = 117,
  kConstructTagToken = 118,
  kConstructTokenReader = 119,
  kTagTokenText = 120,
  kFirst = 101,
  kLast = 140,
};

using ConstructParserProc = Parser* (*)(void* memory);
using ConstructDocumentProc = Document* (*)(void* memory);
using ConstructLayoutStateProc = LayoutState* (*)(void* memory);
// The page width in pixels (0 or less: the default width).
using ConstructLayoutContextProc = LayoutContext* (*)(void* memory, LayoutState* state,
                                                      LONG pageWidth);
// Stores the block class of the element's type in *out and returns out.
using BlockClassProc = int* (*)(int* out, const Elem* elem);
using DestroyScriptScannerProc = void (*)(ScriptScanner* scanner);
using ScriptItemAtProc = ScriptItem* (*)(const ScriptItemList* list, int index);
// The item as a pointer-sized value (a 32-bit value where pointers are 32 bits), 0 out of range.
using ScriptItemValueAtProc = DWORD_PTR (*)(const ScriptItemList* list, int index);
using ScriptScannerFinishProc = void (*)(ScriptScanner* scanner);
using ScriptScannerScanProc = int (*)(ScriptScanner* scanner, const char* bytes, int length);
using ConstructScriptScannerProc = ScriptScanner* (*)(void* memory);
using ScriptScannerReservedProc = int (*)(ScriptScanner* scanner);
using ConstructImageTagProc = ImageTag* (*)(void* memory, BOOL end, const char* name);
// Appends each item's written text to *out.
using WriteScriptItemsProc = void (*)(const ScriptItemList* list, CString* out);
using UnlinkElemProc = Elem* (*)(Elem* parent, Elem* elem);
using DestroyTagTokenProc = void (*)(TagToken* token);
using ConstructTagTokenProc = TagToken* (*)(void* memory);
using ConstructTokenReaderProc = TokenReader* (*)(void* memory, CFile* stream);
using TagTokenTextProc = CString (*)(const TagToken* token);

}  // namespace halyard::tagsmith::ordinal
