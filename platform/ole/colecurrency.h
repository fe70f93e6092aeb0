// COleCurrency: the class library's wrapper of the automation currency, a 64-bit integer
// counting ten-thousandths, with a status (valid, invalid, null). Arithmetic that overflows,
// or divides by zero, gives an invalid result rather than a wrong number; an invalid or null
// operand makes the result invalid or null. Text goes through the automation conversions of
// the United States English locale. A value object, usable from any thread.
#pragma once

#include "platform/mfc/cstring.h"
#include "variant.h"

class CArchive;

class COleCurrency {
 public:
  enum CurrencyStatus { valid = 0, invalid = 1, null = 2 };

  COleCurrency();
  COleCurrency(CURRENCY cySrc);         // NOLINT(google-explicit-constructor)
  COleCurrency(const VARIANT& varSrc);  // NOLINT(google-explicit-constructor)
  COleCurrency(long nUnits, long nFractionalUnits);

  CurrencyStatus GetStatus() const { return m_status; }
  void SetStatus(CurrencyStatus status) { m_status = status; }

  const COleCurrency& operator=(CURRENCY cySrc);
  // A variant of another type is converted; one that cannot be gives 0 and invalid.
  const COleCurrency& operator=(const VARIANT& varSrc);

  // Equal when status and value are equal; the ordering compares values.
  BOOL operator==(const COleCurrency& cur) const;
  BOOL operator!=(const COleCurrency& cur) const;
  BOOL operator<(const COleCurrency& cur) const;
  BOOL operator>(const COleCurrency& cur) const;
  BOOL operator<=(const COleCurrency& cur) const;
  BOOL operator>=(const COleCurrency& cur) const;

  COleCurrency operator+(const COleCurrency& cur) const;
  COleCurrency operator-(const COleCurrency& cur) const;
  const COleCurrency& operator+=(const COleCurrency& cur);
  const COleCurrency& operator-=(const COleCurrency& cur);
  COleCurrency operator-() const;
  COleCurrency operator*(long nOperand) const;
  // Truncates towards zero, as 64-bit division does.
  COleCurrency operator/(long nOperand) const;
  const COleCurrency& operator*=(long nOperand);
  const COleCurrency& operator/=(long nOperand);

  operator CURRENCY() const { return m_cur; }  // NOLINT(google-explicit-constructor)

  // nUnits whole units and nFractionalUnits ten-thousandths, each with its own sign.
  void SetCurrency(long nUnits, long nFractionalUnits);
  // FALSE and invalid for a text that is no amount (value 0) or too large (value -1/10000,
  // the original's all-ones pattern).
  BOOL ParseCurrency(LPCTSTR lpszCurrency, DWORD dwFlags = 0, LCID lcid = LANG_USER_DEFAULT);
  // The amount as automation writes it ("12.5", "-0.0001", "3"); the empty text when null,
  // "Invalid Currency" when invalid.
  CString Format(DWORD dwFlags = 0, LCID lcid = LANG_USER_DEFAULT) const;

  CY m_cur;
  CurrencyStatus m_status;
};

// The archive form of the class library: the status as a 32-bit number, then Hi and Lo.
CArchive& operator<<(CArchive& ar, const COleCurrency& curSrc);
CArchive& operator>>(CArchive& ar, COleCurrency& curSrc);
