#include "cpd_array.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "platform/mfc/cexception.h"
#include "datalib/support/ncr_string_stream.h"
#include "cpd_buffer.h"

namespace {

// The state of the one sort that may run at a time in the process.
CPDArray* gSortArray = nullptr;
bool gAscending = true;
PDSwapCallback gSwap = nullptr;
PDCompareCallback gCompare = nullptr;

// A block of slots * size bytes, or null when the size leaves the range the array can address.
size_t BlockBytes(long long slots, long long size, bool* ok) {
  *ok = slots >= 0 && size >= 0 && (size == 0 || slots <= vaultkit::kMaxLoadLength / size);
  return *ok ? static_cast<size_t>(slots * size) : 0;
}

unsigned int Partition(unsigned int lo, unsigned int hi) {
  unsigned int p = (lo + hi) / 2;
  unsigned int i = lo - 1;
  unsigned int j = hi + 1;
  for (;;) {
    do {
      --j;
    } while (gCompare(j, p) > 0);
    do {
      ++i;
    } while (gCompare(i, p) < 0);
    if (i >= j) return p == hi ? p - 1 : p;
    if (i > p) p = i;
    if (p > j) p = j;
    gSwap(i, j);
    if (i == p) {
      p = j;
      j = j + 1;
    } else if (p == j) {
      p = i;
      i = i - 1;
    }
  }
}

// The range sort: an exchange sort for up to 11 indexes, otherwise partitions, sorting the
// left part before going on with the right one. Pending work is kept on a heap stack in the
// order recursion would take it, so the callbacks see the same calls while a badly split
// input (one element split off each time) cannot exhaust the thread's stack.
void RangeSort(unsigned int lo, unsigned int hi) {
  struct Frame {
    unsigned int lo, hi;
    bool loop;  // continuing "while lo < hi" of a range already found large
  };
  std::vector<Frame> pending{{lo, hi, false}};
  while (!pending.empty()) {
    Frame f = pending.back();
    pending.pop_back();
    if (!f.loop && f.hi - f.lo <= 10) {
      for (unsigned int end = f.hi; end >= f.lo + 1; --end) {
        for (unsigned int i = f.lo; i < end; ++i) {
          if (gCompare(i, i + 1) > 0) gSwap(i, i + 1);
        }
      }
      continue;
    }
    if (f.lo < f.hi) {
      unsigned int p = Partition(f.lo, f.hi);
      pending.push_back({p + 1, f.hi, true});
      pending.push_back({f.lo, p, false});
    }
  }
}

}  // namespace

void qsortplusplus(unsigned int count, PDSwapCallback swap, PDCompareCallback compare) {
  if (count == 0 || swap == nullptr || compare == nullptr) return;
  gSwap = swap;
  gCompare = compare;
  RangeSort(0, count - 1);
}

CPDArray::CPDArray(LONG elementSize, short growthStep)
    : mBlock(nullptr), mGrowthStep(0), mAllocated(0), mElementSize(0), mNumItems(0) {
  CPDArray::mInit(elementSize, growthStep);
}

CPDArray::CPDArray(const CPDArray& other)
    : CPDObject(),
      mBlock(nullptr),
      mGrowthStep(other.mGrowthStep),
      mAllocated(other.mAllocated),
      mElementSize(other.mElementSize),
      mNumItems(other.mNumItems) {
  if (other.mAllocated > 0 || other.mNumItems > 0) {
    bool ok;
    size_t bytes = BlockBytes(other.mAllocated, other.mElementSize, &ok);
    mBlock = static_cast<char*>(std::malloc(bytes > 0 ? bytes : 1));
    if (mBlock == nullptr) {
      mAllocated = mNumItems = 0;
      return;
    }
    if (bytes > 0) std::memcpy(mBlock, other.mBlock, bytes);
  }
}

CPDArray::~CPDArray() { std::free(mBlock); }

void CPDArray::mInit(LONG elementSize, short growthStep) {
  std::free(mBlock);
  mBlock = nullptr;
  mElementSize = elementSize > 0 ? elementSize : 0;
  mGrowthStep = growthStep;
  mNumItems = 0;
  mAllocated = growthStep > 0 ? growthStep : 0;
  bool ok;
  size_t bytes = BlockBytes(mAllocated, mElementSize, &ok);
  mBlock = static_cast<char*>(std::calloc(bytes > 0 ? bytes : 1, 1));
  if (mBlock == nullptr || !ok) mAllocated = 0;
}

void CPDArray::mClear() { mInit(mElementSize, static_cast<short>(mAllocated)); }

CPDObject* CPDArray::mCopy() const {
  auto* copy = new CPDArray(0, 16);
  *copy = const_cast<CPDArray&>(*this);
  return copy;
}

CPDObject* CPDArray::mNew() const { return new CPDArray(0, 16); }

CPDArray& CPDArray::operator=(CPDArray& other) {
  if (&other == this) return *this;
  bool ok;
  size_t bytes = BlockBytes(other.mAllocated, other.mElementSize, &ok);
  char* block = static_cast<char*>(std::malloc(bytes > 0 ? bytes : 1));
  if (block == nullptr) return *this;
  if (bytes > 0) std::memcpy(block, other.mBlock, bytes);
  mAdopt(block, other.mElementSize, other.mGrowthStep, other.mAllocated, other.mNumItems);
  return *this;
}

void CPDArray::mAdopt(char* block, LONG elementSize, short growthStep, LONG allocated, LONG items) {
  std::free(mBlock);
  mBlock = block;
  mElementSize = elementSize;
  mGrowthStep = growthStep;
  mAllocated = allocated;
  mNumItems = items;
}

void CPDArray::mResize(LONG slots) {
  bool ok;
  size_t bytes = BlockBytes(slots, mElementSize, &ok);
  if (!ok) return;
  char* block = static_cast<char*>(std::realloc(mBlock, bytes > 0 ? bytes : 1));
  if (block == nullptr) return;
  mBlock = block;
  mAllocated = slots;
  if (mNumItems > slots) mNumItems = slots;
}

void CPDArray::mMoreSlots() {
  long long slots = static_cast<long long>(mAllocated) + mStep();
  if (slots > vaultkit::kMaxLoadLength) return;
  LONG before = mAllocated;
  mResize(static_cast<LONG>(slots));
  // New slots start zeroed, as those of mInit do.
  if (mAllocated > before) {
    std::memset(mItemPtr(before), 0, static_cast<size_t>(mAllocated - before) * mElementSize);
  }
}

void CPDArray::mInsertItem(LONG index) {
  if (mNumItems >= mAllocated) mMoreSlots();
  if (mNumItems >= mAllocated) return;  // no room could be made
  if (index >= 0 && index <= mNumItems) {
    std::memmove(mItemPtr(index + 1), mItemPtr(index),
                 static_cast<size_t>(mNumItems - index) * mElementSize);
  }
  ++mNumItems;
}

void CPDArray::mInsertAtIndex(void* item, LONG index) {
  LONG before = mNumItems;
  mInsertItem(index);
  if (mNumItems != before) mSetArrayItem(item, index);
}

void CPDArray::mAdd(void* item) { mInsertAtIndex(item, mNumItems); }

void CPDArray::mDeleteItem(LONG index) {
  if (index < 0 || index >= mNumItems) return;
  --mNumItems;
  std::memmove(mItemPtr(index), mItemPtr(index + 1),
               static_cast<size_t>(mNumItems - index) * mElementSize);
  if (static_cast<long long>(mNumItems) + mStep() < mAllocated) mResize(mAllocated - mStep());
}

void CPDArray::mSetArrayItem(void* item, LONG index) {
  if (index < 0 || index >= mNumItems || item == nullptr) return;
  std::memcpy(mItemPtr(index), item, static_cast<size_t>(mElementSize));
}

void CPDArray::mGetArrayItem(void* out, LONG index) const {
  if (index < 0 || index >= mNumItems || out == nullptr) return;
  std::memcpy(out, mItemPtr(index), static_cast<size_t>(mElementSize));
}

LONG CPDArray::mSearch(void* key, int (*compare)(const void*, const void*)) {
  for (LONG i = 0; i < mNumItems; ++i) {
    if (compare != nullptr) {
      if (compare(mItemPtr(i), key) == 0) return i;
    } else {
      DWORD value = 0;
      std::memcpy(&value, mItemPtr(i), std::min<size_t>(4, static_cast<size_t>(mElementSize)));
      if (value == static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(key))) return i;
    }
  }
  return -1;
}

void CPDArray::mSwap(unsigned int a, unsigned int b) {
  if (a == b || a >= static_cast<unsigned int>(mAllocated) ||
      b >= static_cast<unsigned int>(mAllocated)) {
    return;
  }
  char* pa = mItemPtr(static_cast<LONG>(a));
  char* pb = mItemPtr(static_cast<LONG>(b));
  switch (mElementSize) {
    case 4: {
      char t[4];
      std::memcpy(t, pa, 4);
      std::memcpy(pa, pb, 4);
      std::memcpy(pb, t, 4);
      return;
    }
    case 8: {
      char t[8];
      std::memcpy(t, pa, 8);
      std::memcpy(pa, pb, 8);
      std::memcpy(pb, t, 8);
      return;
    }
    default:
      break;
  }
  char small[512];
  std::string large;
  char* t = small;
  if (mElementSize > static_cast<LONG>(sizeof small)) {
    large.resize(static_cast<size_t>(mElementSize));
    t = large.data();
  }
  std::memcpy(t, pa, static_cast<size_t>(mElementSize));
  std::memcpy(pa, pb, static_cast<size_t>(mElementSize));
  std::memcpy(pb, t, static_cast<size_t>(mElementSize));
}

void CPDArray::mSort(SORTORDER order, PDSwapCallback swap, PDCompareCallback compare) {
  gAscending = order == 1;
  gSortArray = this;
  qsortplusplus(static_cast<unsigned int>(mNumItems > 0 ? mNumItems : 0),
                swap != nullptr ? swap : &CPDArray::mSwap2,
                compare != nullptr ? compare : &CPDArray::mCompareElms);
  gSortArray = nullptr;
}

CPDArray* CPDArray::mGetSortArray() { return gSortArray; }
bool CPDArray::mIsAscendingSort() { return gAscending; }

void CPDArray::mSwap2(unsigned int a, unsigned int b) {
  if (gSortArray != nullptr) gSortArray->mSwap(a, b);
}

int CPDArray::mCompareElms(unsigned int a, unsigned int b) {
  if (gSortArray == nullptr) return 0;
  CPDObject* pa = nullptr;
  CPDObject* pb = nullptr;
  gSortArray->mGetArrayItem(&pa, static_cast<LONG>(a));
  gSortArray->mGetArrayItem(&pb, static_cast<LONG>(b));
  if (pa == nullptr || pb == nullptr) return 0;
  return gAscending ? pa->mCompare(pb) : pb->mCompare(pa);
}

int CPDArray::mComparison(const void* a, const void* b) {
  CPDObject* pa = *static_cast<CPDObject* const*>(a);
  CPDObject* pb = *static_cast<CPDObject* const*>(b);
  if (pa == nullptr || pb == nullptr) return 0;
  return gAscending ? pa->mCompare(pb) : pb->mCompare(pa);
}

int CPDArray::mCmpMoney(unsigned int, unsigned int) { return 0; }

void CPDArray::mSave(CPDBuffer& buffer) const {
  NCRStringStream stream;
  const_cast<CPDArray*>(this)->Serialize(static_cast<std::ostream&>(stream));
  stream.flush();
  buffer.mInit(stream.mGetOutputData(), stream.mGetOutputDataLength());
  if (stream.mGetOutputDataLength() == 0) buffer.mClearBuffer();
}

void CPDArray::mLoad(const CPDBuffer& buffer) {
  if (buffer.mGetLength() <= 0) {
    mClear();
    return;
  }
  NCRStringStream stream;
  stream.mSetInputData(buffer.mGetBuffer(), buffer.mGetLength());
  stream >> *this;
}

void CPDArray::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << mElementSize << mGrowthStep << mAllocated << mNumItems;
    bool ok;
    size_t bytes = BlockBytes(mAllocated, mElementSize, &ok);
    if (bytes > 0) ar.Write(mBlock, static_cast<UINT>(bytes));
    return;
  }
  mLoadArchive(ar, 0, nullptr);
}

void CPDArray::mLoadArchive(CArchive& ar, LONG expectedFileElementSize,
                            void (*readSlot)(CArchive& ar, char* slot, LONG fileElementSize)) {
  LONG fileElementSize = 0;
  short growthStep = 0;
  LONG allocated = 0;
  LONG items = 0;
  ar >> fileElementSize >> growthStep >> allocated >> items;
  if (fileElementSize < 0 || allocated < 0 || items < 0 || items > allocated ||
      (expectedFileElementSize != 0 && fileElementSize != expectedFileElementSize)) {
    AfxThrowArchiveException(CArchiveException::badIndex);
  }
  LONG memElementSize = readSlot != nullptr ? mElementSize : fileElementSize;
  bool ok;
  BlockBytes(allocated, fileElementSize, &ok);
  if (!ok) AfxThrowArchiveException(CArchiveException::badIndex);
  BlockBytes(allocated, memElementSize, &ok);
  if (!ok) AfxThrowArchiveException(CArchiveException::badIndex);
  // The block grows with the data actually read (doubling, from at most 64 KiB), so a false
  // count in a short archive never costs more memory than the archive holds.
  const size_t total = static_cast<size_t>(allocated) * static_cast<size_t>(memElementSize);
  const size_t slotBytes = static_cast<size_t>(memElementSize);
  char* block = static_cast<char*>(std::calloc(1, 1));
  if (block == nullptr) AfxThrowMemoryException();
  size_t capacity = 1;
  size_t have = 0;
  try {
    while (have < total) {
      size_t n = readSlot != nullptr ? slotBytes : std::min<size_t>(65536, total - have);
      if (have + n > capacity) {
        size_t grown = std::min(total, std::max(have + n, capacity * 2));
        char* p = static_cast<char*>(std::realloc(block, grown));
        if (p == nullptr) AfxThrowMemoryException();
        block = p;
        capacity = grown;
      }
      if (readSlot != nullptr) {
        readSlot(ar, block + have, fileElementSize);
      } else if (ar.Read(block + have, static_cast<UINT>(n)) != n) {
        AfxThrowArchiveException(CArchiveException::endOfFile);
      }
      have += n;
    }
  } catch (...) {
    std::free(block);
    throw;
  }
  mAdopt(block, memElementSize, growthStep, allocated, items);
}
