// CDARelationalIterator: a query result or a new record of the relational back end, over a
// DAO dynaset that it owns. Field numbers are column positions. Writing a field of an
// existing record starts an edit; mUpdateRecord writes the record (a new one, made by
// mNewRecord, then becomes the current record). Moves at either end do nothing. Belongs to
// whoever received it, must not outlive its database; one thread.
#pragma once

#include "datalib/access/cda_data_iterator.h"

class CDaoRecordset;

class HALYARD_EXPORT CDARelationalIterator : public CDADataIterator {
 public:
  // Takes the open recordset over.
  explicit CDARelationalIterator(CDaoRecordset* recordset);
  ~CDARelationalIterator() override;
  CDARelationalIterator(const CDARelationalIterator&) = delete;
  CDARelationalIterator& operator=(const CDARelationalIterator&) = delete;

  // Converts the value and hands the variant to the record without another copy.
  void mSetField(LONG field, CPDObject* value) override;
  int mDeleteRecord() override;
  int mUpdateRecord() override;
  int mIsEOF() override;
  int mIsBOF() override;
  int mSetAbsolutePosition(LONG index) override;
  LONG mGetRecordCount() override;
  void mMoveNext() override;
  void mMovePrev() override;
  void mMoveFirst() override;
  void mMoveLast() override;

  // The number of fields (columns) of the result.
  LONG mGetFieldCount();
  CDaoRecordset* mGetRecordset() { return mRecordset; }

 protected:
  void mReadField(LONG field, COleVariant* out) override;
  void mWriteField(LONG field, const COleVariant& in) override;

 private:
  CDaoRecordset* mRecordset;
};
