#include "select_shift.h"

#include "cda_complex_select.h"
#include "cda_type_select.h"

namespace vaultkit {

CDASelect* ShiftedSelect(const CDASelect* select, LONG shift) {
  if (select == nullptr) return nullptr;
  auto* s = const_cast<CDASelect*>(select);
  if (auto* str = dynamic_cast<CDAStringSelect*>(s)) {
    return new CDAStringSelect(str->mGetObjectType(), str->mGetObjectField() + shift,
                               str->mGetValue(), str->mGetOperatorType());
  }
  if (auto* num = dynamic_cast<CDALongSelect*>(s)) {
    return new CDALongSelect(num->mGetObjectType(), num->mGetObjectField() + shift,
                             num->mGetValue(), num->mGetOperatorType());
  }
  if (auto* in = dynamic_cast<CDAInLongSelect*>(s)) {
    auto* out =
        new CDAInLongSelect(in->mGetObjectType(), in->mGetObjectField() + shift, in->mGetValues());
    out->mSetOperatorType(in->mGetOperatorType());
    return out;
  }
  CDAComplexSelect* out = nullptr;
  if (dynamic_cast<CDAAndSelect*>(s) != nullptr) {
    out = new CDAAndSelectWithDelete();
  } else if (dynamic_cast<CDAOrSelect*>(s) != nullptr) {
    out = new CDAOrSelectWithDelete();
  } else {
    return nullptr;
  }
  auto* complex = static_cast<CDAComplexSelect*>(s);
  for (LONG i = 0; i < complex->mGetNumSelects(); ++i) {
    CDASelect* part = ShiftedSelect(complex->mGetSelect(i), shift);
    if (part != nullptr) out->mAddSelect(part);
  }
  return out;
}

}  // namespace vaultkit
