// CPDMoney: an amount of whole units and hundredths, both signed (-1.25 is -1 and -25), with
// exact part-by-part arithmetic. Amounts from doubles are truncated, never rounded. Money has
// no archive or stream form, and the root's mCopy and mNew give null for it: a copy is
// asked for through the CPDMoney type.
#pragma once

#include "cpd_object.h"

class CPDString;

class HALYARD_EXPORT CPDMoney : public CPDObject {
 public:
  CPDMoney() : mWhole(0), mCents(0) {}
  CPDMoney(int amount);             // NOLINT(google-explicit-constructor)
  CPDMoney(long amount);            // NOLINT(google-explicit-constructor)
  CPDMoney(double amount);          // NOLINT(google-explicit-constructor)
  CPDMoney(const CPDString& text);  // NOLINT(google-explicit-constructor)
  CPDMoney(const CPDMoney& other) : CPDObject(), mWhole(other.mWhole), mCents(other.mCents) {}
  ~CPDMoney() override;

  int mCompare(const CPDObject* other) const override;
  void mConvertFromOleVariant(const COleVariant& var) override;
  void mConvertToOleVariant(COleVariant* var) const override;
  // Appended after the root's operations (non-const, so the root's mCopy and mNew stay null).
  using CPDObject::mCopy;
  using CPDObject::mNew;
  virtual CPDMoney* mCopy();
  virtual CPDMoney* mNew();

  double mSetAmount(double amount);
  double mGetAmount() const { return mCents / 100.0 + mWhole; }
  operator double() const { return mGetAmount(); }  // NOLINT(google-explicit-constructor)
  operator long() const;                            // NOLINT(google-explicit-constructor)
  operator CPDString() const;                       // NOLINT(google-explicit-constructor)
  LONG mGetWholeAmount() const { return mWhole; }
  LONG mSetWholeAmount(LONG whole) { return mWhole = whole; }
  LONG mGetFractionalAmount() const { return mCents; }
  int mSetFractionalAmount(int cents) { return mCents = cents; }

  CPDMoney& operator=(const CPDMoney& other) {
    mWhole = other.mWhole;
    mCents = other.mCents;
    return *this;
  }
  using CPDObject::operator=;

  CPDMoney operator+(const CPDMoney& b) const;
  CPDMoney operator-(const CPDMoney& b) const;
  CPDMoney operator*(long n) const;
  // Division by 0 gives the amount unchanged.
  CPDMoney operator/(long n) const;
  CPDMoney operator*(int n) const { return *this * static_cast<long>(n); }
  CPDMoney operator/(int n) const { return *this / static_cast<long>(n); }
  CPDMoney& operator+=(const CPDMoney& b) { return *this = *this + b; }
  CPDMoney& operator-=(const CPDMoney& b) { return *this = *this - b; }
  CPDMoney& operator*=(long n) { return *this = *this * n; }
  CPDMoney& operator/=(long n) { return *this = *this / n; }

  bool operator>(const CPDMoney& b) const { return mGetAmount() > b.mGetAmount(); }
  bool operator<(const CPDMoney& b) const { return mGetAmount() < b.mGetAmount(); }
  bool operator==(const CPDMoney& b) const { return mGetAmount() == b.mGetAmount(); }
  bool operator>=(const CPDMoney& b) const { return mGetAmount() >= b.mGetAmount(); }
  bool operator<=(const CPDMoney& b) const { return mGetAmount() <= b.mGetAmount(); }
  bool operator!=(const CPDMoney& b) const { return mGetAmount() != b.mGetAmount(); }

 private:
  LONG mWhole;
  LONG mCents;
};
