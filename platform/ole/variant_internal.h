// Helpers shared by the variant sources of this folder; not part of the interface.
#pragma once

#include <string>

#include "variant.h"

namespace halyard::ole {

bool IsVariantBaseType(VARTYPE base);
bool IsValidVariantType(VARTYPE vt);
// A plain view of a by-reference variant (owning nothing); a plain variant is copied as is.
HRESULT Dereference(const VARIANT* src, VARIANT* view);

// A number as text reads it: value = digits x 10^exponent, digits without leading zeros.
struct DecimalText {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

// Reads a number as the United States English locale writes it: blanks around it, a sign in
// front or behind, or parentheses for a negative; a dollar sign; thousands commas; a decimal
// point; an exponent (E or D); or the &H hexadecimal and &O octal forms. False when the text is
// no number.
bool ParseDecimal(std::u16string_view text, DecimalText* out);

// value x 10^scale rounded half to even into *out; false when it does not fit in 127 bits.
bool ScaleDecimal(const DecimalText& d, int scale, __int128* out);

// The text of a currency value: the integer part, then a point and up to four decimals with
// trailing zeros dropped.
std::string FormatCurrency(LONGLONG scaled);

// The text of a double with 15 significant digits ("%.15G"), the form automation gives.
std::string FormatReal(double value, int digits);

}  // namespace halyard::ole
