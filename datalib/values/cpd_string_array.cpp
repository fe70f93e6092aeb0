#include "cpd_string_array.h"

#include <cstring>
#include <istream>
#include <new>
#include <ostream>

#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "cpd_long.h"
#include "cpd_string.h"

namespace {

const CPDString& Slot(const char* p) { return *reinterpret_cast<const CPDString*>(p); }

// Where the text area lies inside a CPDString, for slots that hold no object (zeroed by mInit).
size_t TextOffset() {
  static const size_t offset = [] {
    CPDString probe;
    return static_cast<size_t>(probe.mText256() - reinterpret_cast<const char*>(&probe));
  }();
  return offset;
}

// A 260-byte slot of the archive: the 32-bit object's table pointer (ignored) and its text.
void ReadStringSlot(CArchive& ar, char* slot, LONG) {
  char image[CPDStringArray::kArchiveElementSize];
  if (ar.Read(image, sizeof image) != sizeof image) {
    AfxThrowArchiveException(CArchiveException::endOfFile);
  }
  auto* text = new (slot) CPDString();
  text->mSetTextArea(image + 4);
}

}  // namespace

CPDStringArray::CPDStringArray() : CPDArray(sizeof(CPDString), 16) {}
CPDStringArray::~CPDStringArray() = default;

void CPDStringArray::mAdd(const CPDString& text) { CPDArray::mAdd(const_cast<CPDString*>(&text)); }

const CPDString& CPDStringArray::mGetAt(LONG index) const { return Slot(mItemPtr(index)); }

LONG CPDStringArray::mFindString(const CPDString& text) const {
  for (LONG i = 0; i < mNumItems; ++i) {
    if (std::strncmp(Slot(mItemPtr(i)).mText256(), text.mText256(), CPDString::kTextSize) == 0)
      return i;
  }
  return -1;
}

void CPDStringArray::Serialize(std::ostream& os) {
  os.put('X');
  vaultkit::WriteTaggedNumber(os, 'U', mNumItems);
  for (LONG i = 0; i < mNumItems; ++i) {
    CPDString text;
    mGetArrayItem(&text, i);
    text.Serialize(os);
  }
}

void CPDStringArray::Serialize(std::istream& is) {
  CPDLong count;
  is >> count;
  if (!is) return;
  if (count.mGetValue() < 0) {
    is.setstate(std::ios::failbit);
    return;
  }
  for (LONG i = 0; i < count.mGetValue(); ++i) {
    CPDString text;
    is >> text;
    if (!is) return;
    CPDArray::mAdd(&text);
  }
}

void CPDStringArray::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << kArchiveElementSize << mGrowthStep << mAllocated << mNumItems;
    char image[kArchiveElementSize];
    for (LONG i = 0; i < mAllocated; ++i) {
      std::memset(image, 0, 4);
      // Slots without items hold whatever mInit or the last delete left: copy the text area.
      std::memcpy(image + 4, mItemPtr(i) + TextOffset(), CPDString::kTextSize);
      ar.Write(image, sizeof image);
    }
    return;
  }
  if (mElementSize != static_cast<LONG>(sizeof(CPDString))) mInit(sizeof(CPDString), mGrowthStep);
  mLoadArchive(ar, kArchiveElementSize, &ReadStringSlot);
}
