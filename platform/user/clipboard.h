// The process clipboard of the headless window manager: it holds one text (CF_TEXT) or
// nothing. Cut, copy and paste of the edit controls go through it. One thread only.
#pragma once

#include <string>

#include "platform/kernel/export.h"
#include "user_types.h"

namespace halyard::user {

class HALYARD_EXPORT Clipboard {
 public:
  static void SetText(const std::string& text);
  // False (and text untouched) when the clipboard holds no text.
  static bool GetText(std::string& text);
  static bool HasText();
  static void Empty();
};

}  // namespace halyard::user

HALYARD_EXPORT BOOL IsClipboardFormatAvailable(UINT format);
