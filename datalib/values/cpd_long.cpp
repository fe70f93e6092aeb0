#include "cpd_long.h"

#include <istream>
#include <ostream>

#include "datalib/access/cda_data_object.h"
#include "platform/mfc/carchive.h"
#include "platform/ole/colevariant.h"

CPDLong::~CPDLong() = default;

CPDObject* CPDLong::mCopy() const { return new CPDLong(mValue); }
CPDObject* CPDLong::mNew() const { return new CPDLong(0); }

CPDObject& CPDLong::operator=(const CPDObject& other) {
  const auto* o = dynamic_cast<const CPDLong*>(&other);
  if (o == nullptr) throw static_cast<char*>(cPDUnsupportedConversion);
  mValue = o->mValue;
  return *this;
}

CPDLong& CPDLong::operator=(const CPDLong& other) {
  mValue = other.mValue;
  return *this;
}

int CPDLong::mCompare(const CPDObject* other) const {
  const auto* o = dynamic_cast<const CPDLong*>(other);
  if (o == nullptr) return -1;
  return mValue < o->mValue ? -1 : (mValue > o->mValue ? 1 : 0);
}

void CPDLong::mGetValue(CDADataObject* record, LONG field) {
  if (record != nullptr) record->mGetFieldLong(field, this);
}

void CPDLong::mSetValue(CDADataObject* record, LONG field) {
  if (record != nullptr) record->mSetFieldLong(field, this);
}

void CPDLong::mConvertFromOleVariant(const COleVariant& var) {
  if (var.vt == VT_I4) {
    mValue = var.lVal;
  } else if (var.vt == VT_I2) {
    mValue = var.iVal;
  }
}

void CPDLong::mConvertToOleVariant(COleVariant* var) const {
  if (var != nullptr) *var = COleVariant(mValue, static_cast<VARTYPE>(VT_I4));
}

void CPDLong::Serialize(std::ostream& os) { vaultkit::WriteTaggedNumber(os, 'U', mValue); }

void CPDLong::Serialize(std::istream& is) {
  LONG value = 0;
  if (!(is >> value)) return;
  mValue = value;
  is.get();
}

void CPDLong::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << mValue;
  } else {
    ar >> mValue;
  }
}
