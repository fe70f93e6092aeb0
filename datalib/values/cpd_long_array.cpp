#include "cpd_long_array.h"

#include <cstring>
#include <istream>
#include <ostream>

#include "platform/mfc/carchive.h"
#include "cpd_long.h"

CPDLongArray::CPDLongArray() : CPDArray(4, 16) {}
CPDLongArray::~CPDLongArray() = default;

void CPDLongArray::mAdd(CPDLong* value) {
  if (value == nullptr) return;
  LONG v = value->mGetValue();
  CPDArray::mAdd(&v);
}

LONG CPDLongArray::operator[](LONG index) const {
  LONG v = 0;
  mGetArrayItem(&v, index);
  return v;
}

LONG& CPDLongArray::operator[](LONG index) {
  static LONG scratch;
  if (index < 0 || index >= vaultkit::kMaxLoadLength / 4) {
    scratch = 0;
    return scratch;
  }
  while (mNumItems <= index) {
    LONG before = mNumItems;
    LONG zero = 0;
    CPDArray::mAdd(&zero);
    if (mNumItems == before) {
      scratch = 0;
      return scratch;  // no memory for the slot
    }
  }
  return *reinterpret_cast<LONG*>(mItemPtr(index));
}

LONG CPDLongArray::mSearch(LONG value) const {
  for (LONG i = 0; i < mNumItems; ++i) {
    LONG v;
    std::memcpy(&v, mItemPtr(i), 4);
    if (v == value) return i;
  }
  return -1;
}

void CPDLongArray::Serialize(std::ostream& os) {
  // One piece per element: the text of each number goes out in a single write.
  char text[16 * 64];
  size_t used = 0;
  auto put = [&](LONG v) {
    used += static_cast<size_t>(std::snprintf(text + used, 16, "U%d ", static_cast<int>(v)));
    if (used > sizeof text - 16) {
      os.write(text, static_cast<std::streamsize>(used));
      used = 0;
    }
  };
  os.put('Y');
  put(mNumItems);
  for (LONG i = 0; i < mNumItems; ++i) {
    LONG v;
    std::memcpy(&v, mItemPtr(i), 4);
    put(v);
  }
  if (used > 0) os.write(text, static_cast<std::streamsize>(used));
}

void CPDLongArray::Serialize(std::istream& is) {
  CPDLong count;
  is >> count;
  if (!is) return;
  if (count.mGetValue() < 0) {
    is.setstate(std::ios::failbit);
    return;
  }
  // Items are appended as they arrive, so a false count costs nothing beyond the data.
  for (LONG i = 0; i < count.mGetValue(); ++i) {
    CPDLong value;
    is >> value;
    if (!is) return;
    LONG v = value.mGetValue();
    CPDArray::mAdd(&v);
  }
}

void CPDLongArray::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    CPDArray::Serialize(ar);
    return;
  }
  mLoadArchive(ar, 4, nullptr);
}
