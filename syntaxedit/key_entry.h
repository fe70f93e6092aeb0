// KeyEntry: one entry of the control's key tables, the text that the colouring matches with
// the colour it stands for.
#pragma once

#include "platform/kernel/win_types.h"
#include "platform/mfc/cstring.h"
#include "platform/user/user_types.h"

// flags: compare the key with case (otherwise case is ignored).
constexpr DWORD KEY_MATCHCASE = 0x4;

struct KeyEntry {
  CString key;
  COLORREF colour = 0;
  DWORD flags = 0;
};
