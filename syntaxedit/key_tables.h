// The built-in key tables, as data in table order: tag openers, attribute names, named and
// numeric character references.
#pragma once

#include <cstddef>

namespace glyphpad {

extern const char* const kPrimaryKeys[];
extern const size_t kPrimaryKeyCount;
extern const char* const kSecondaryKeys[];
extern const size_t kSecondaryKeyCount;
extern const char* const kOutsideKeys[];
extern const size_t kOutsideKeyCount;
extern const char* const kNumericKeys[];
extern const size_t kNumericKeyCount;

}  // namespace glyphpad
