// CPDObject: the abstract root of the persistent values in which every field value, list and
// saved selection of the data access library travels. A value copies and compares itself,
// reads and writes a field of a back-end record, converts from and to a VARIANT, and writes
// and reads itself as an archive form and as a text stream form that starts with one kind
// letter. The root does nothing for each operation; the kinds override what they support.
// Values are plain objects owned by whoever made them and are used on one thread at a time.
#pragma once

#include <iosfwd>

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"

class CArchive;
class COleVariant;
class CDADataObject;

// The text thrown (as a char*) when a kind cannot be assigned through the root.
extern HALYARD_EXPORT char cPDUnsupportedConversion[];

class HALYARD_EXPORT CPDObject {
 public:
  CPDObject() = default;
  CPDObject(const CPDObject&) = default;
  virtual ~CPDObject();
  virtual CPDObject* mCopy() const;
  virtual CPDObject* mNew() const;
  virtual void mClear();
  virtual CPDObject& operator=(const CPDObject& other);
  virtual int mCompare(const CPDObject* other) const;
  virtual void mGetValue(CDADataObject* record, LONG field);
  virtual void mSetValue(CDADataObject* record, LONG field);
  virtual void mConvertFromOleVariant(const COleVariant& var);
  virtual void mConvertToOleVariant(COleVariant* var) const;
  virtual void Serialize(std::ostream& os);
  virtual void Serialize(std::istream& is);
  virtual void Serialize(CArchive& ar);

  // Reads a kind letter ("T" to "Y") and the value behind it; null for any other letter (or
  // none). The caller owns the result. A body that cannot be read leaves the stream failed
  // and still returns the object with what was read.
  static CPDObject* mNew(std::istream& is);
};

HALYARD_EXPORT std::ostream& operator<<(std::ostream& os, CPDObject& value);
// Reads (and does not check) the kind letter, then the value's body.
HALYARD_EXPORT std::istream& operator>>(std::istream& is, CPDObject& value);

namespace vaultkit {

// The largest element count or byte length a loader accepts before reading the data.
inline constexpr LONG kMaxLoadLength = 0x7FFFFFF0;

// Reads a decimal length as the stream forms write it; negative or overflowing numbers put
// the stream into its failure state. Returns false when the stream failed.
bool ReadStreamLength(std::istream& is, LONG& length);
// Writes a kind letter, a decimal number and a blank in one piece.
void WriteTaggedNumber(std::ostream& os, char letter, LONG value);

}  // namespace vaultkit
