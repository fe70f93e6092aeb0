// CDASort: the field and direction of a query's result order. A negative field index means
// no order. Stream form: "L", the field index and the ascending flag as CPDLong values.
// A plain value object, owned by whoever made it.
#pragma once

#include <iosfwd>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"

class HALYARD_EXPORT CDASort {
 public:
  CDASort();
  virtual ~CDASort();
  // Reads the body (the letter "L" already consumed); a malformed body fails the stream.
  virtual void Serialize(std::istream& is);
  virtual void Serialize(std::ostream& os);

  void mInit(LONG fieldIndex, int ascending);
  LONG mGetFieldIndex() const { return mFieldIndex; }
  int mIsAscendingSort() const { return mAscending; }

 private:
  LONG mFieldIndex;
  int mAscending;
};

HALYARD_EXPORT std::ostream& operator<<(std::ostream& os, CDASort& sort);
// Reads the body only: the caller consumes the letter first.
HALYARD_EXPORT std::istream& operator>>(std::istream& is, CDASort& sort);
