// CPDStringArray: a CPDArray whose elements are whole CPDString values (growth step 16).
// Stream form: "X", the count as a CPDLong, then each text in its stream form; reading
// appends. The archive form keeps the 32-bit object images of the original: element size
// 260, each slot a 4-byte word (written 0, ignored when read) and the 256-byte text area.
#pragma once

#include "cpd_array.h"

class CPDString;

class HALYARD_EXPORT CPDStringArray : public CPDArray {
 public:
  static constexpr LONG kArchiveElementSize = 260;

  CPDStringArray();
  CPDStringArray(const CPDStringArray& other) : CPDArray(other) {}
  ~CPDStringArray() override;

  void Serialize(std::ostream& os) override;
  void Serialize(std::istream& is) override;
  void Serialize(CArchive& ar) override;

  using CPDArray::mAdd;
  void mAdd(const CPDString& text);
  // The text at an index below the item count.
  const CPDString& mGetAt(LONG index) const;
  LONG mFindString(const CPDString& text) const;
  using CPDArray::operator=;
};
