// The object store's form of a selection. The store's engine evaluates its own selection
// objects; StoreQueryEngine is what this library needs of it to build them: string and long
// conditions on numbered attributes (field number + 512) and AND/OR lists of such. The
// object-store back end's mProcess...Select operations call the helpers below; a part of an
// AND or OR goes through the database again (mProcessSelect), as every translation does.
// Everything the engine returns is owned by the caller of the helper.
#pragma once

#include "platform/kernel/win_types.h"

class CObject;
class CPDString;
class CDADatabase;
class CDAStringSelect;
class CDALongSelect;
class CDAComplexSelect;

namespace vaultkit {

class StoreQueryEngine {
 public:
  virtual ~StoreQueryEngine() = default;
  // op: the string selection's operator, unchanged.
  virtual CObject* NewStringSelect(LONG attribute, const CPDString& value, LONG op) = 0;
  // comparison: the engine's comparison code (StoreComparison).
  virtual CObject* NewLongSelect(LONG attribute, LONG value, LONG comparison) = 0;
  virtual CObject* NewAndSelect() = 0;
  virtual CObject* NewOrSelect() = 0;
  // Hands a part over to an AND or OR selection made by this engine, which then owns it.
  virtual void AddPart(CObject* complex, CObject* part) = 0;
};

inline constexpr LONG kStoreAttributeBase = 512;

// The engine's comparison code for a long selection's operator: 0 stays 0, 1 → 1, 2 → 4,
// 3 → 3, 4 → 6; other operators pass unchanged.
LONG StoreComparison(LONG op);

CObject* StoreStringSelect(const CDAStringSelect& select, StoreQueryEngine& engine);
CObject* StoreLongSelect(const CDALongSelect& select, StoreQueryEngine& engine);
// Parts without a translation are left out; null when the engine cannot make the list.
CObject* StoreComplexSelect(CDAComplexSelect& select, CDADatabase* through,
                            StoreQueryEngine& engine, bool isAnd);

}  // namespace vaultkit
