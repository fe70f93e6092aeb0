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
LONG Mul(LONG a, LONG b) { return Wrap(static_cast<long long>(a) * b); }
LONG Div(LONG a, LONG b) { return (a == INT32_MIN && b == -1) ? INT32_MIN : a / b; }
LONG Mod(LONG a, LONG b) { return (b == -1) ? 0 : a % b; }

// A double truncated towards zero into 32 bits; out of range (or not a number) gives the
// x86 "integer indefinite" value the original's conversion produced.
LONG Truncate(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
  return static_cast<LONG>(v);
}

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
  LONG cents = Truncate(amount * 100);
  mWhole = cents / 100;
  mCents = cents % 100;
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
  LONG m = static_cast<LONG>(n);
  LONG cents = Mul(m, mCents);
  CPDMoney r;
  r.mCents = cents % 100;
  r.mWhole = Add(Mul(m, mWhole), cents / 100);
  return r;
}

CPDMoney CPDMoney::operator/(long n) const {
  LONG d = static_cast<LONG>(n);
  if (d == 0) return *this;
  LONG t = Div(Add(Mul(mWhole, 100), mCents), d);
  CPDMoney r;
  r.mCents = Mod(t, 100);
  r.mWhole = t / 100;
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
