// The colours (0x00BBGGRR) the syntax colouring gives each kind of text, and the context
// flags that say where the caret stands.
#pragma once

#include "platform/user/user_types.h"

namespace glyphpad {

constexpr COLORREF kDelimiterColour = 0xFF0000;  // "<", ">", "=" and attribute values
constexpr COLORREF kTagColour = 128;             // known tag names
constexpr COLORREF kUnknownColour = 0xFF00FF;    // unknown names, unclosed quoted values
constexpr COLORREF kKeyColour = 255;             // known attribute names, character references
constexpr COLORREF kCommentColour = 0x8000;      // comments
constexpr COLORREF kGrayTextColour = 0xC0C0C0;   // component pseudo-tags
constexpr COLORREF kHiddenColour = 0x8080;       // hidden fields
constexpr COLORREF kTextColour = 0;              // everything else

constexpr DWORD kContextOutside = 0;
constexpr DWORD kContextTag = 0x100;
constexpr DWORD kContextComment = 0x200;
constexpr DWORD kContextGrayText = 0x400;

// Classes of the word at the caret.
constexpr int kWordOther = 0;              // text, a comment or component word, an unquoted value
constexpr int kWordKnownTag = 1;           // "<" and a known tag name
constexpr int kWordKnownAttribute = 2;     // an attribute name the keys know
constexpr int kWordUnknownTag = 8;         // "<" and any other name
constexpr int kWordUnknownAttribute = 16;  // an attribute name the keys do not know
constexpr int kWordQuoted = 128;           // inside a quoted value

}  // namespace glyphpad
