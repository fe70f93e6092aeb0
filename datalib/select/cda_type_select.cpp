#include "cda_type_select.h"

#include <cstdlib>
#include <istream>
#include <ostream>

#include "datalib/access/cda_data_iterator.h"
#include "datalib/access/cda_database.h"
#include "datalib/values/cpd_string_array.h"
#include "platform/mfc/carchive.h"
#include "select_stream.h"

IMPLEMENT_SERIAL(CDATypeSelect, CDASelect, 0)
IMPLEMENT_SERIAL(CDAStringSelect, CDATypeSelect, 0)
IMPLEMENT_SERIAL(CDALongSelect, CDATypeSelect, 0)
IMPLEMENT_SERIAL(CDAInLongSelect, CDATypeSelect, 0)

namespace {

// A process-wide operator list, made on first use and kept until the process ends.
CPDStringArray* MakeOperatorList(const char* a, const char* b, const char* c) {
  auto* list = new CPDStringArray();
  list->mAdd(CPDString(a));
  list->mAdd(CPDString(b));
  list->mAdd(CPDString(c));
  return list;
}

}  // namespace

// CDATypeSelect

CDATypeSelect::CDATypeSelect() : mObjectType(0), mObjectField(0), mOperator(-1) {}
CDATypeSelect::CDATypeSelect(LONG type, LONG field)
    : mObjectType(type), mObjectField(field), mOperator(-1) {}
CDATypeSelect::~CDATypeSelect() = default;

void CDATypeSelect::Serialize(CArchive& ar) {
  CDASelect::Serialize(ar);
  if (ar.IsStoring()) {
    ar << mObjectType << mObjectField << mOperator;
  } else {
    ar >> mObjectType >> mObjectField >> mOperator;
  }
}

void CDATypeSelect::mWriteHead(std::ostream& os, char letter, bool withOperator) {
  os.put(letter);
  vaultkit::WriteSelectNumber(os, mObjectType);
  vaultkit::WriteSelectNumber(os, mObjectField);
  if (withOperator) vaultkit::WriteSelectNumber(os, mOperator);
}

bool CDATypeSelect::mReadHead(std::istream& is, bool withOperator) {
  LONG type = 0, field = 0, op = mOperator;
  if (!vaultkit::ReadSelectNumber(is, type) || !vaultkit::ReadSelectNumber(is, field)) return false;
  if (withOperator && !vaultkit::ReadSelectNumber(is, op)) return false;
  mObjectType = type;
  mObjectField = field;
  mOperator = op;
  return true;
}

void CDATypeSelect::Serialize(std::ostream& os) { mWriteHead(os, 'I', true); }
void CDATypeSelect::Serialize(std::istream& is) { mReadHead(is, true); }
void CDATypeSelect::mSetValue(const CPDString&) {}

// CDAStringSelect

CDAStringSelect::CDAStringSelect() : CDATypeSelect(0, 0) { mOperator = kBeginsWith; }

CDAStringSelect::CDAStringSelect(LONG type, LONG field, const CPDString& value, LONG op)
    : CDATypeSelect(type, field), mValue(value) {
  mOperator = op;
}

CDAStringSelect::~CDAStringSelect() = default;

void CDAStringSelect::Serialize(CArchive& ar) {
  CDATypeSelect::Serialize(ar);
  mValue.Serialize(ar);
}

CObject* CDAStringSelect::mProcessSelect(CDADataIterator* it) {
  return it != nullptr ? it->mProcessStringSelect(this) : nullptr;
}

CObject* CDAStringSelect::mProcessSelect(CDADatabase* db) {
  return db != nullptr ? db->mProcessStringSelect(this) : nullptr;
}

CPDStringArray* CDAStringSelect::mGetLogicalOperatorList() {
  static CPDStringArray* const list = MakeOperatorList("begins with", "contains", "ends with");
  return list;
}

void CDAStringSelect::Serialize(std::ostream& os) {
  mWriteHead(os, 'H', true);
  mValue.Serialize(os);
}

void CDAStringSelect::Serialize(std::istream& is) {
  if (!mReadHead(is, true) || !vaultkit::ReadSelectLetter(is, 'T')) return;
  mValue.Serialize(is);
}

void CDAStringSelect::mSetValue(const CPDString& value) { mValue = value; }

// CDALongSelect

CDALongSelect::CDALongSelect() : CDATypeSelect(0, 0), mValue(0) { mOperator = kEqualTo; }

CDALongSelect::CDALongSelect(LONG type, LONG field, LONG value, LONG op)
    : CDATypeSelect(type, field), mValue(value) {
  mOperator = op;
}

CDALongSelect::~CDALongSelect() = default;

void CDALongSelect::Serialize(CArchive& ar) {
  CDATypeSelect::Serialize(ar);
  if (ar.IsStoring()) {
    ar << mValue;
  } else {
    ar >> mValue;
  }
}

CObject* CDALongSelect::mProcessSelect(CDADataIterator* it) {
  return it != nullptr ? it->mProcessLongSelect(this) : nullptr;
}

CObject* CDALongSelect::mProcessSelect(CDADatabase* db) {
  return db != nullptr ? db->mProcessLongSelect(this) : nullptr;
}

CPDStringArray* CDALongSelect::mGetLogicalOperatorList() {
  static CPDStringArray* const list = MakeOperatorList("equal to", "less than", "greater than");
  return list;
}

void CDALongSelect::Serialize(std::ostream& os) {
  mWriteHead(os, 'G', true);
  vaultkit::WriteSelectNumber(os, mValue);
}

void CDALongSelect::Serialize(std::istream& is) {
  LONG value = 0;
  if (!mReadHead(is, true) || !vaultkit::ReadSelectNumber(is, value)) return;
  mValue = value;
}

void CDALongSelect::mSetValue(const CPDString& value) {
  mValue = static_cast<LONG>(std::atoi(static_cast<char*>(value)));
}

// CDAInLongSelect

CDAInLongSelect::CDAInLongSelect() : CDATypeSelect(0, 0) {}
CDAInLongSelect::CDAInLongSelect(LONG type, LONG field) : CDATypeSelect(type, field) {}
CDAInLongSelect::CDAInLongSelect(LONG type, LONG field, CPDLongArray& values)
    : CDATypeSelect(type, field), mValues(values) {}
CDAInLongSelect::~CDAInLongSelect() = default;

void CDAInLongSelect::Serialize(CArchive& ar) {
  CDATypeSelect::Serialize(ar);
  mValues.Serialize(ar);
}

CObject* CDAInLongSelect::mProcessSelect(CDADatabase* db) {
  return db != nullptr ? db->mProcessInLongSelect(this) : nullptr;
}

void CDAInLongSelect::Serialize(std::ostream& os) {
  mWriteHead(os, 'N', false);
  mValues.Serialize(os);
}

void CDAInLongSelect::Serialize(std::istream& is) {
  if (!mReadHead(is, false) || !vaultkit::ReadSelectLetter(is, 'Y')) return;
  mValues.Serialize(is);
}

void CDAInLongSelect::mAddValue(LONG value) { mValues.mAdd(&value); }

void CDAInLongSelect::mSetValues(CPDLongArray* values) {
  if (values != nullptr && values != &mValues) static_cast<CPDArray&>(mValues) = *values;
}
