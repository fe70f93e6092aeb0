#include "cpd_object.h"

#include <climits>
#include <cstdio>
#include <istream>
#include <ostream>

#include "cpd_buffer.h"
#include "cpd_date.h"
#include "cpd_long.h"
#include "cpd_long_array.h"
#include "cpd_string.h"
#include "cpd_string_array.h"

char cPDUnsupportedConversion[] = "unsupported conversion";

CPDObject::~CPDObject() = default;
CPDObject* CPDObject::mCopy() const { return nullptr; }
CPDObject* CPDObject::mNew() const { return nullptr; }
void CPDObject::mClear() {}
CPDObject& CPDObject::operator=(const CPDObject&) {
  throw static_cast<char*>(cPDUnsupportedConversion);
}
int CPDObject::mCompare(const CPDObject*) const { return 0; }
void CPDObject::mGetValue(CDADataObject*, LONG) {}
void CPDObject::mSetValue(CDADataObject*, LONG) {}
void CPDObject::mConvertFromOleVariant(const COleVariant&) {}
void CPDObject::mConvertToOleVariant(COleVariant*) const {}
void CPDObject::Serialize(std::ostream&) {}
void CPDObject::Serialize(std::istream&) {}
void CPDObject::Serialize(CArchive&) {}

CPDObject* CPDObject::mNew(std::istream& is) {
  char letter = 0;
  if (!(is >> letter)) return nullptr;
  CPDObject* value = nullptr;
  switch (letter - 'T') {
    case 0:
      value = new CPDString();
      break;
    case 1:
      value = new CPDLong(0);
      break;
    case 2:
      value = new CPDBuffer(0, 128);
      break;
    case 3:
      value = new CPDDate();
      break;
    case 4:
      value = new CPDStringArray();
      break;
    case 5:
      value = new CPDLongArray();
      break;
    default:
      return nullptr;
  }
  value->Serialize(is);
  return value;
}

std::ostream& operator<<(std::ostream& os, CPDObject& value) {
  value.Serialize(os);
  return os;
}

std::istream& operator>>(std::istream& is, CPDObject& value) {
  char letter = 0;
  is >> letter;
  value.Serialize(is);
  return is;
}

namespace vaultkit {

bool ReadStreamLength(std::istream& is, LONG& length) {
  long long n = 0;
  if (!(is >> n)) return false;
  if (n < 0 || n > kMaxLoadLength) {
    is.setstate(std::ios::failbit);
    return false;
  }
  length = static_cast<LONG>(n);
  return true;
}

void WriteTaggedNumber(std::ostream& os, char letter, LONG value) {
  char text[16];
  int n = std::snprintf(text, sizeof text, "%c%ld ", letter, static_cast<long>(value));
  os.write(text, n);
}

}  // namespace vaultkit
