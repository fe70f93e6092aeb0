#include "cpd_money.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/ole/colecurrency.h"
#include "platform/ole/colevariant.h"
#include "cpd_string.h"

namespace {

// The 32-bit arithmetic of the original wraps; do the same without undefined behaviour.
LONG Wrap(long long v) {
  return static_cast<LONG>(static_cast<ULONG>(static_cast<unsigned long long>(v)));
}
LONG Add(LONG a, LONG b) { return Wrap(static_cast<long long>(a) + b); }
LONG Sub(LONG a, LONG b) { return Wrap(static_cast<long long>(a) - b); }

// A double truncated towards zero into 32 bits; out of range (or not a number) gives the
// x86 "integer indefinite" value.
LONG Truncate(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
  return static_cast<LONG>(v);
}

// Whole units beyond the 32-bit field have no exact form: they give the indefinite value.
constexpr long long kMaxCents = 214748364799LL;  // INT32_MAX whole units and 99 hundredths

}  // namespace

CPDMoney::CPDMoney(int amount) : mWhole(0), mCents(0) { mSetAmount(amount); }
CPDMoney::CPDMoney(long amount) : mWhole(0), mCents(0) { mSetAmount(static_cast<double>(amount)); }
CPDMoney::CPDMoney(double amount) : mWhole(0), mCents(0) { mSetAmount(amount); }
CPDMoney::CPDMoney(const CPDString& text) : mWhole(0), mCents(0) {
  mSetAmount(std::strtod(static_cast<char*>(text), nullptr));
}
CPDMoney::~CPDMoney() = default;

CPDMoney* CPDMoney::mCopy() { return new CPDMoney(*this); }
CPDMoney* CPDMoney::mNew() { return new CPDMoney(); }

double CPDMoney::mSetAmount(double amount) {
  // The hundredths are counted in 64 bits, so every amount whose whole units fit the
  // 32-bit field is kept exactly (32-bit hundredths stopped at 21,474,836.47).
  const double cents = amount * 100;
  if (!(cents > static_cast<double>(-kMaxCents - 1) &&
        cents < static_cast<double>(kMaxCents + 1))) {
    mWhole = INT32_MIN;
    mCents = 0;
    return amount;
  }
  const long long c = static_cast<long long>(cents);
  mWhole = static_cast<LONG>(c / 100);
  mCents = static_cast<LONG>(c % 100);
  return amount;
}

CPDMoney::operator long() const { return Truncate(mGetAmount()); }

CPDMoney::operator CPDString() const {
  char text[64];
  if (mCents == 0) {
    std::snprintf(text, sizeof text, "%d", static_cast<int>(mWhole));
  } else {
    std::snprintf(text, sizeof text, "%.2f", mGetAmount());
  }
  return CPDString(text);
}

CPDMoney CPDMoney::operator+(const CPDMoney& b) const {
  CPDMoney r;
  r.mWhole = Add(mWhole, b.mWhole);
  r.mCents = Add(mCents, b.mCents);
  if (r.mCents >= 100) {
    r.mWhole = Add(r.mWhole, 1);
    r.mCents -= 100;
  }
  return r;
}

CPDMoney CPDMoney::operator-(const CPDMoney& b) const {
  CPDMoney r;
  if (mCents < b.mCents) {
    r.mWhole = Sub(Sub(mWhole, b.mWhole), 1);
    r.mCents = Add(Sub(mCents, b.mCents), 100);
  } else {
    r.mWhole = Sub(mWhole, b.mWhole);
    r.mCents = Sub(mCents, b.mCents);
  }
  return r;
}

CPDMoney CPDMoney::operator*(long n) const {
  const long long m = static_cast<LONG>(n);
  const long long cents = m * mCents;
  CPDMoney r;
  r.mCents = static_cast<LONG>(cents % 100);
  r.mWhole = Wrap(m * mWhole + cents / 100);
  return r;
}

CPDMoney CPDMoney::operator/(long n) const {
  const long long d = static_cast<LONG>(n);
  if (d == 0) return *this;
  const long long t = (static_cast<long long>(mWhole) * 100 + mCents) / d;
  CPDMoney r;
  r.mCents = static_cast<LONG>(t % 100);
  r.mWhole = Wrap(t / 100);
  return r;
}

int CPDMoney::mCompare(const CPDObject* other) const {
  const auto* o = dynamic_cast<const CPDMoney*>(other);
  if (o == nullptr) return -1;
  double a = mGetAmount();
  double b = o->mGetAmount();
  if (b > a) return -1;
  if (b < a) return 1;
  return 0;
}

void CPDMoney::mConvertFromOleVariant(const COleVariant& var) {
  switch (var.vt) {
    case VT_CY: {
      CString text = COleCurrency(var.cyVal).Format(0, 1024);
      mSetAmount(std::strtod(text, nullptr));
      break;
    }
    case VT_R4:
      mSetAmount(var.fltVal);
      break;
    case VT_R8:
      mSetAmount(var.dblVal);
      break;
    default:
      break;
  }
}

void CPDMoney::mConvertToOleVariant(COleVariant* var) const {
  if (var != nullptr) *var = COleVariant(mGetAmount());
}
