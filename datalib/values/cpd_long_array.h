// CPDLongArray: a CPDArray of 32-bit numbers (element size 4, growth step 16). Stream form:
// "Y", the count as a CPDLong, then each element as a CPDLong; reading appends.
#pragma once

#include "cpd_array.h"

class CPDLong;

class HALYARD_EXPORT CPDLongArray : public CPDArray {
 public:
  CPDLongArray();
  CPDLongArray(const CPDLongArray& other) : CPDArray(other) {}
  ~CPDLongArray() override;

  void Serialize(std::ostream& os) override;
  void Serialize(std::istream& is) override;
  void Serialize(CArchive& ar) override;

  using CPDArray::mAdd;
  void mAdd(LONG* value) { CPDArray::mAdd(value); }
  void mAdd(CPDLong* value);
  // The index must be below the item count.
  LONG operator[](LONG index) const;
  // Extends the array up to the index first (a negative index reaches a scratch element).
  LONG& operator[](LONG index);
  using CPDArray::mSearch;
  LONG mSearch(LONG value) const;
  using CPDArray::operator=;
};
