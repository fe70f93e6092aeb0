// CPDArray: a growable array of fixed-size elements in one contiguous block from the C heap,
// copied in and out bytewise (the array never runs constructors or destructors of elements).
// The block grows and shrinks by the growth step. qsortplusplus is the index-based sort that
// reaches the elements only through a compare and a swap callback; mSort runs it over the
// array with process-wide sorting state, so one sort at a time in the process.
// Archive form: element size, growth step, allocated slots, item count, then every slot.
#pragma once

#include <cstddef>

#include "cpd_object.h"

class CPDBuffer;

enum SORTORDER : int { eSortDescending = 0, eSortAscending = 1 };

using PDSwapCallback = void (*)(unsigned int, unsigned int);
using PDCompareCallback = int (*)(unsigned int, unsigned int);

HALYARD_EXPORT void qsortplusplus(unsigned int count, PDSwapCallback swap,
                                  PDCompareCallback compare);

class HALYARD_EXPORT CPDArray : public CPDObject {
 public:
  CPDArray(LONG elementSize = 0, short growthStep = 16);
  CPDArray(const CPDArray& other);
  ~CPDArray() override;

  CPDObject* mCopy() const override;
  CPDObject* mNew() const override;
  void mClear() override;
  using CPDObject::operator=;
  void Serialize(CArchive& ar) override;
  using CPDObject::Serialize;

  virtual void mSwap(unsigned int a, unsigned int b);
  virtual void mSort(SORTORDER order, PDSwapCallback swap, PDCompareCallback compare);
  virtual void mInit(LONG elementSize, short growthStep);
  virtual void mAdd(void* item);
  virtual void mDeleteItem(LONG index);
  virtual void mSetArrayItem(void* item, LONG index);
  virtual LONG mSearch(void* key, int (*compare)(const void*, const void*));
  virtual CPDArray& operator=(CPDArray& other);
  virtual LONG mGetNumItems() const { return mNumItems; }
  virtual LONG mGetElementSize() const { return mElementSize; }
  virtual void mGetArrayItem(void* out, LONG index) const;
  virtual bool operator>(const CPDArray& other) const { return mSize() > other.mSize(); }
  virtual bool operator<(const CPDArray& other) const { return mSize() < other.mSize(); }
  virtual LONG mSize() const { return static_cast<LONG>(mGrowthStep) * mElementSize; }

  LONG mItemOffset(LONG index) const { return index * mElementSize; }
  char* mItemPtr(LONG index) const { return mBlock + static_cast<ptrdiff_t>(index) * mElementSize; }
  void mInsertAtIndex(void* item, LONG index);
  LONG mGetAllocatedSlots() const { return mAllocated; }
  short mGetGrowthStep() const { return mGrowthStep; }

  // The array's stream form into a buffer, and back (an empty buffer clears the array).
  void mSave(CPDBuffer& buffer) const;
  void mLoad(const CPDBuffer& buffer);

  // Callbacks of mSort over the array being sorted.
  static void mSwap2(unsigned int a, unsigned int b);
  static int mCompareElms(unsigned int a, unsigned int b);
  static int mComparison(const void* a, const void* b);
  static int mCmpMoney(unsigned int a, unsigned int b);
  // The array mSort is sorting (null outside a sort), for caller-given callbacks.
  static CPDArray* mGetSortArray();
  static bool mIsAscendingSort();

 protected:
  void mMoreSlots();
  void mResize(LONG slots);
  void mInsertItem(LONG index);
  // The growth step used for growing and shrinking: a step of 0 or less (possible after mClear
  // of a large array, or from a file) grows by 16 so the block always gains room.
  LONG mStep() const { return mGrowthStep > 0 ? mGrowthStep : 16; }
  // Archive loading shared by the kinds: reads the header, checks it against the expected
  // element size (0: any) and reads every slot through readSlot into a new block.
  void mLoadArchive(CArchive& ar, LONG expectedFileElementSize,
                    void (*readSlot)(CArchive& ar, char* slot, LONG fileElementSize));
  // Releases the block and takes the given one.
  void mAdopt(char* block, LONG elementSize, short growthStep, LONG allocated, LONG items);

  char* mBlock;
  short mGrowthStep;
  LONG mAllocated;
  LONG mElementSize;
  LONG mNumItems;
};
