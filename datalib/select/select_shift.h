// The locking wrapper's form of a selection: a new tree of the same kinds whose field
// numbers are moved by a shift (the wrapper's records carry two leading lock columns), with
// type, operator and value or values copied; AND and OR become their WithDelete variants, so
// the new tree owns its parts. The caller owns the result (delete frees it all).
#pragma once

#include "platform/kernel/win_types.h"

class CDASelect;

namespace vaultkit {

inline constexpr LONG kLockColumnShift = 2;

// Null for a null selection or a kind that has no fields (the base classes).
CDASelect* ShiftedSelect(const CDASelect* select, LONG shift);

}  // namespace vaultkit
