#include "store_select.h"

#include "cda_complex_select.h"
#include "cda_type_select.h"

namespace vaultkit {

LONG StoreComparison(LONG op) {
  switch (op) {
    case 2:
      return 4;
    case 4:
      return 6;
    default:
      return op;  // 0, 1 and 3 keep their codes
  }
}

CObject* StoreStringSelect(const CDAStringSelect& select, StoreQueryEngine& engine) {
  return engine.NewStringSelect(select.mGetObjectField() + kStoreAttributeBase, select.mGetValue(),
                                select.mGetOperatorType());
}

CObject* StoreLongSelect(const CDALongSelect& select, StoreQueryEngine& engine) {
  return engine.NewLongSelect(select.mGetObjectField() + kStoreAttributeBase, select.mGetValue(),
                              StoreComparison(select.mGetOperatorType()));
}

CObject* StoreComplexSelect(CDAComplexSelect& select, CDADatabase* through,
                            StoreQueryEngine& engine, bool isAnd) {
  CObject* out = isAnd ? engine.NewAndSelect() : engine.NewOrSelect();
  if (out == nullptr) return nullptr;
  for (LONG i = 0; i < select.mGetNumSelects(); ++i) {
    CDASelect* part = select.mGetSelect(i);
    if (part == nullptr) continue;
    CObject* translated = part->mProcessSelect(through);
    if (translated != nullptr) engine.AddPart(out, translated);
  }
  return out;
}

}  // namespace vaultkit
