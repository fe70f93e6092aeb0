// CPDBuffer: a growable byte buffer that grows in steps of its growth step and can be locked
// while a caller writes into it directly (a locked buffer never grows or frees). The length
// may include a terminating NUL: mInit counts the NUL of a text, mConcat does not. Archive
// form: a count and the bytes; stream form: "V", the length, a blank, the bytes, a blank.
#pragma once

#include "cpd_object.h"

class CFile;

class HALYARD_EXPORT CPDBuffer : public CPDObject {
 public:
  CPDBuffer(LONG initialLength = 0, LONG growthStep = 128);
  CPDBuffer(const CPDBuffer& other);
  ~CPDBuffer() override;

  CPDObject* mCopy() const override;
  CPDObject* mNew() const override;
  // Unless locked: frees the block, length and size 0.
  void mClear() override;
  CPDObject& operator=(const CPDObject& other) override;
  int mCompare(const CPDObject* other) const override;
  void mGetValue(CDADataObject* record, LONG field) override;
  void mSetValue(CDADataObject* record, LONG field) override;
  void mConvertFromOleVariant(const COleVariant& var) override;
  void mConvertToOleVariant(COleVariant* var) const override;
  void Serialize(std::ostream& os) override;
  void Serialize(std::istream& is) override;
  void Serialize(CArchive& ar) override;

  CPDBuffer& operator=(const CPDBuffer& other) {
    CPDBuffer::operator=(static_cast<const CPDObject&>(other));
    return *this;
  }

  // count 0 with a text: the text and its NUL. A null data pointer zeroes count bytes.
  void mInit(const char* data, LONG count);
  // count 0 with a text: strlen(data) bytes, without the NUL.
  void mConcat(const char* data, LONG count);
  CPDBuffer& operator+=(const char* text) {
    mConcat(text, 0);
    return *this;
  }
  void mClearBuffer();

  char* mGetBuffer() const { return mData; }
  LONG mGetLength() const { return mLength; }
  // Writes a NUL behind the bytes in use and returns the data.
  operator const char*();  // NOLINT(google-explicit-constructor)

  // Room for extra more bytes; the address behind the bytes in use, or null when locked already
  // (or when the room cannot be made).
  char* mLockBuffer(int extra);
  void mUnlock(int used);
  int mIsLocked() const { return mLocked; }
  void mRollBack(LONG length);
  int mIsNull() const;
  int mReplaceAll(const char* find, const char* replace);
  LONG mReadFromFile(CFile& file);

  LONG mGetAllocatedSize() const { return mAllocated; }
  LONG mGetGrowthStep() const { return mGrowthStep; }

 private:
  // Makes room for n bytes and a terminator; false when locked or impossible.
  bool mGrow(LONG n);
  // Appends count bytes read from the stream in pieces, so a false length costs no memory.
  bool mAppendFromStream(std::istream& is, LONG count);

  char* mData;
  LONG mLength;
  LONG mAllocated;
  LONG mGrowthStep;
  int mLocked;
};
