// The view's settings in the registry under HKEY_CURRENT_USER: the tree's share of the width
// ("OutfoldHorzRatio", percent) and the widths of the five list columns ("Field 1" to
// "Field 5", 0 for the computed default). Missing, mistyped or out-of-range values give the
// defaults; a registry that cannot be opened leaves them. View thread.
#pragma once

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"

struct HALYARD_EXPORT ViewSettings {
  static constexpr int kColumns = 5;
  DWORD ratio = 20;
  DWORD fields[kColumns] = {0, 0, 0, 0, 0};

  // "Software\Quillmarks\Halyard\3.0".
  static const char* KeyPath();
  // Reads the values, creating the key when missing; FALSE when the registry cannot be used.
  BOOL Read();
  BOOL Write() const;
};
