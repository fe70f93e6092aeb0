#include "cda_sort.h"

#include <istream>
#include <ostream>

#include "select_stream.h"

CDASort::CDASort() : mFieldIndex(-1), mAscending(1) {}
CDASort::~CDASort() = default;

void CDASort::mInit(LONG fieldIndex, int ascending) {
  mFieldIndex = fieldIndex;
  mAscending = ascending;
}

void CDASort::Serialize(std::ostream& os) {
  os.put('L');
  vaultkit::WriteSelectNumber(os, mFieldIndex);
  vaultkit::WriteSelectNumber(os, mAscending);
}

void CDASort::Serialize(std::istream& is) {
  LONG field = 0, ascending = 0;
  if (!vaultkit::ReadSelectNumber(is, field) || !vaultkit::ReadSelectNumber(is, ascending)) return;
  mFieldIndex = field;
  mAscending = ascending;
}

std::ostream& operator<<(std::ostream& os, CDASort& sort) {
  sort.Serialize(os);
  return os;
}

std::istream& operator>>(std::istream& is, CDASort& sort) {
  sort.Serialize(is);
  return is;
}
