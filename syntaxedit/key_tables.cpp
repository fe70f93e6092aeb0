#include "key_tables.h"

namespace glyphpad {

const char* const kPrimaryKeys[] = {
#include "syntaxedit/keys/primary_keys.inc"
};
const size_t kPrimaryKeyCount = sizeof(kPrimaryKeys) / sizeof(kPrimaryKeys[0]);

const char* const kSecondaryKeys[] = {
#include "syntaxedit/keys/secondary_keys.inc"
};
const size_t kSecondaryKeyCount = sizeof(kSecondaryKeys) / sizeof(kSecondaryKeys[0]);

const char* const kOutsideKeys[] = {
#include "syntaxedit/keys/outside_keys.inc"
};
const size_t kOutsideKeyCount = sizeof(kOutsideKeys) / sizeof(kOutsideKeys[0]);

const char* const kNumericKeys[] = {
#include "syntaxedit/keys/numeric_keys.inc"
};
const size_t kNumericKeyCount = sizeof(kNumericKeys) / sizeof(kNumericKeys[0]);

static_assert(sizeof(kPrimaryKeys) / sizeof(kPrimaryKeys[0]) == 107);
static_assert(sizeof(kSecondaryKeys) / sizeof(kSecondaryKeys[0]) == 59);
static_assert(sizeof(kOutsideKeys) / sizeof(kOutsideKeys[0]) == 4);
static_assert(sizeof(kNumericKeys) / sizeof(kNumericKeys[0]) == 191);

}  // namespace glyphpad
