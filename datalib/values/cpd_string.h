// CPDString: the persistent text, held inline in 256 bytes. Construction, assignment, "+=" and
// resource loading keep at most 254 characters; mConcat and the stream reader accept 255.
// Byte 254 is a guard, reset to NUL on default construction and at every load from or store
// into a back-end record. Archive form: a CString. Stream form: "T", the length, a blank, the
// bytes, a blank.
#pragma once

#include <cassert>

#include "platform/mfc/cstring.h"
#include "cpd_object.h"

class HALYARD_EXPORT CPDString : public CPDObject {
 public:
  static constexpr int kTextSize = 256;
  static constexpr int kMaxLength = 254;
  static constexpr int kMaxConcatLength = 255;

  CPDString();
  CPDString(const char* text);  // NOLINT(google-explicit-constructor)
  CPDString(const CPDString& other);
  ~CPDString() override;

  CPDObject* mCopy() const override;
  CPDObject* mNew() const override;
  void mClear() override { mText[0] = 0; }
  CPDObject& operator=(const CPDObject& other) override;
  int mCompare(const CPDObject* other) const override;
  void mGetValue(CDADataObject* record, LONG field) override;
  void mSetValue(CDADataObject* record, LONG field) override;
  void mConvertFromOleVariant(const COleVariant& var) override;
  void mConvertToOleVariant(COleVariant* var) const override;
  void Serialize(std::ostream& os) override;
  void Serialize(std::istream& is) override;
  void Serialize(CArchive& ar) override;
  // Loads string resource id; keeps 254 characters and returns 1, or 0 leaving the text.
  virtual int LoadStringA(unsigned int id);

  CPDString& operator=(const char* text);
  CPDString& operator=(const CPDString& other);

  // No bounds check in release builds: the index must be below 255.
  char operator[](int index) const {
    assert(index >= 0 && index < kMaxConcatLength);
    return mText[index];
  }
  char& operator[](int index) {
    assert(index >= 0 && index < kMaxConcatLength);
    return mText[index];
  }

  short getLength() const;
  short mGetLength() const { return getLength(); }
  operator char*() const { return const_cast<char*>(mText); }  // NOLINT
  operator void*() const { return const_cast<char*>(mText); }  // NOLINT
  operator CString() const { return CString(mText); }          // NOLINT

  CPDString& operator+=(const CPDString& other);
  // Appends count bytes (0: the whole text) only when the result stays below 256 bytes.
  void mConcat(const char* text, int count);
  void mReplaceAll(char from, char to);
  void mToLower();
  void mToUpper();
  int mCaseInsensitiveCompare(const CPDString* other) const;

  bool operator>(const CPDString& o) const { return mCompare(&o) == 1; }
  bool operator>=(const CPDString& o) const { return mCompare(&o) != -1; }
  bool operator<(const CPDString& o) const { return mCompare(&o) == -1; }
  bool operator<=(const CPDString& o) const { return mCompare(&o) != 1; }
  bool operator==(const CPDString& o) const { return mCompare(&o) == 0; }
  bool operator!=(const CPDString& o) const { return mCompare(&o) != 0; }

  // The text area itself (256 bytes).
  const char* mText256() const { return mText; }
  // Takes up to 255 bytes of a foreign 256-byte text area, always terminated.
  void mSetTextArea(const char* area);

 private:
  void mAssign(const char* text, size_t maxLength);
  void mResetGuard() { mText[kMaxLength] = 0; }

  char mText[kTextSize];
};

HALYARD_EXPORT CPDString operator+(const CPDString& a, const CPDString& b);
HALYARD_EXPORT CPDString operator+(const CPDString& a, const char* b);
HALYARD_EXPORT CPDString operator+(const char* a, const CPDString& b);
