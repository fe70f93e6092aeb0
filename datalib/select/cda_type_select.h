// The selections on one field of one object type: CDATypeSelect holds the type, the field
// number and the operator (an index into the class's operator list; -1 none); its kinds
// compare the field with a text (CDAStringSelect), a number (CDALongSelect) or a list of
// accepted numbers (CDAInLongSelect). Archive forms: type, field, operator as 4-byte
// numbers, then the value (a CString, a number, or the CPDLongArray's archive form).
#pragma once

#include "cda_select.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"

class HALYARD_EXPORT CDATypeSelect : public CDASelect {
  DECLARE_SERIAL(CDATypeSelect)

 public:
  CDATypeSelect();
  CDATypeSelect(LONG type, LONG field);
  ~CDATypeSelect() override;
  void Serialize(CArchive& ar) override;
  void Serialize(std::istream& is) override;
  void Serialize(std::ostream& os) override;
  // Sets the value from a text; nothing at this level.
  virtual void mSetValue(const CPDString& value);

  void mSetObjectType(LONG type) { mObjectType = type; }
  LONG mGetObjectType() const { return mObjectType; }
  void mSetObjectField(LONG field) { mObjectField = field; }
  LONG mGetObjectField() const { return mObjectField; }
  void mSetOperatorType(LONG op) { mOperator = op; }
  LONG mGetOperatorType() const { return mOperator; }

 protected:
  // Type, field and operator as the stream forms write them, without a letter.
  void mWriteHead(std::ostream& os, char letter, bool withOperator);
  bool mReadHead(std::istream& is, bool withOperator);

  LONG mObjectType;
  LONG mObjectField;
  LONG mOperator;
};

// Operators: 0 begins with, 1 contains, 2 ends with, any other value equality.
class HALYARD_EXPORT CDAStringSelect : public CDATypeSelect {
  DECLARE_SERIAL(CDAStringSelect)

 public:
  enum : LONG { kBeginsWith = 0, kContains = 1, kEndsWith = 2 };

  CDAStringSelect();
  CDAStringSelect(LONG type, LONG field, const CPDString& value, LONG op);
  ~CDAStringSelect() override;
  void Serialize(CArchive& ar) override;
  CObject* mProcessSelect(CDADataIterator* it) override;
  CObject* mProcessSelect(CDADatabase* db) override;
  CPDStringArray* mGetLogicalOperatorList() override;
  void Serialize(std::istream& is) override;
  void Serialize(std::ostream& os) override;
  void mSetValue(const CPDString& value) override;

  CPDString& mGetValue() { return mValue; }
  const CPDString& mGetValue() const { return mValue; }

 private:
  CPDString mValue;
};

// Operators: 0 equal to, 1 less than, 2 greater than, any other value equality.
class HALYARD_EXPORT CDALongSelect : public CDATypeSelect {
  DECLARE_SERIAL(CDALongSelect)

 public:
  enum : LONG { kEqualTo = 0, kLessThan = 1, kGreaterThan = 2 };

  CDALongSelect();
  CDALongSelect(LONG type, LONG field, LONG value, LONG op);
  ~CDALongSelect() override;
  void Serialize(CArchive& ar) override;
  CObject* mProcessSelect(CDADataIterator* it) override;
  CObject* mProcessSelect(CDADatabase* db) override;
  CPDStringArray* mGetLogicalOperatorList() override;
  void Serialize(std::istream& is) override;
  void Serialize(std::ostream& os) override;
  // The number the text starts with (atoi).
  void mSetValue(const CPDString& value) override;

  LONG mGetValue() const { return mValue; }
  void mSetValue(LONG value) { mValue = value; }

 private:
  LONG mValue;
};

// The field's value is one of a list of numbers. The stream form does not carry the operator.
class HALYARD_EXPORT CDAInLongSelect : public CDATypeSelect {
  DECLARE_SERIAL(CDAInLongSelect)

 public:
  CDAInLongSelect();
  CDAInLongSelect(LONG type, LONG field);
  CDAInLongSelect(LONG type, LONG field, CPDLongArray& values);
  ~CDAInLongSelect() override;
  void Serialize(CArchive& ar) override;
  // Against an iterator an in-list selection gives null, as the base does.
  using CDASelect::mProcessSelect;
  CObject* mProcessSelect(CDADatabase* db) override;
  void Serialize(std::istream& is) override;
  void Serialize(std::ostream& os) override;

  void mAddValue(LONG value);
  LONG mGetNumValues() const { return mValues.mGetNumItems(); }
  // Through the array's extending index access: an index beyond the list extends it.
  LONG mGetValue(LONG index) { return mValues[index]; }
  CPDLongArray& mGetValues() { return mValues; }
  // Copies the values when not null.
  void mSetValues(CPDLongArray* values);

 private:
  CPDLongArray mValues;
};
