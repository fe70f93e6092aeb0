// CPDLong: the persistent 32-bit signed number. Archive form: 4 bytes little-endian. Stream
// form: "U", the decimal value, one blank.
#pragma once

#include "cpd_object.h"

class HALYARD_EXPORT CPDLong : public CPDObject {
 public:
  CPDLong(LONG value = 0) : mValue(value) {}  // NOLINT(google-explicit-constructor)
  CPDLong(const CPDLong& other) : CPDObject(), mValue(other.mValue) {}
  ~CPDLong() override;

  CPDObject* mCopy() const override;
  CPDObject* mNew() const override;
  void mClear() override { mValue = 0; }
  // The other object must be a CPDLong; any other kind throws cPDUnsupportedConversion.
  CPDObject& operator=(const CPDObject& other) override;
  int mCompare(const CPDObject* other) const override;
  void mGetValue(CDADataObject* record, LONG field) override;
  void mSetValue(CDADataObject* record, LONG field) override;
  void mConvertFromOleVariant(const COleVariant& var) override;
  void mConvertToOleVariant(COleVariant* var) const override;
  void Serialize(std::ostream& os) override;
  void Serialize(std::istream& is) override;
  void Serialize(CArchive& ar) override;
  virtual CPDLong& operator=(const CPDLong& other);

  LONG mGetValue() const { return mValue; }
  operator LONG() const { return mValue; }  // NOLINT(google-explicit-constructor)
  void mSetValue(LONG value) { mValue = value; }
  CPDLong& operator=(LONG value) {
    mValue = value;
    return *this;
  }
  CPDLong& operator|=(LONG bits) {
    mValue |= bits;
    return *this;
  }
  CPDLong& operator&=(LONG bits) {
    mValue &= bits;
    return *this;
  }

 private:
  LONG mValue;
};
