// CDADataIterator: the result of a query, a cursor over the records a back end found. The
// current record is read (and, for a record made by mNewRecord, written and committed) with
// the field accessors of CDADataObject. After those come the end and beginning tests,
// absolute positioning and the record count, then the moves, then the selection operations
// that CDASelect::mProcessSelect(CDADataIterator*) calls (null by default: an iterator that
// cannot apply a selection). An iterator belongs to whoever
// received it from the database, must not outlive that database, and is used on one thread.
#pragma once

#include "cda_data_object.h"

class CDAStringSelect;
class CDALongSelect;
class CDAAndSelect;
class CDAOrSelect;

class HALYARD_EXPORT CDADataIterator : public CDADataObject {
 public:
  ~CDADataIterator() override;

  // Non-zero when the cursor is behind the last record (or there is none).
  virtual int mIsEOF() = 0;
  // Non-zero when the cursor is before the first record (or there is none).
  virtual int mIsBOF() = 0;
  // Moves to record number index (0 is the first); 1 when that record exists, else 0 and the
  // position is unchanged.
  virtual int mSetAbsolutePosition(LONG index) = 0;
  // Counts the records from the first to the end; the current position is kept.
  virtual LONG mGetRecordCount() = 0;

  virtual void mMoveNext() = 0;
  virtual void mMovePrev() = 0;
  virtual void mMoveFirst() = 0;
  virtual void mMoveLast() = 0;

  // What applying a selection of that kind to this result gives, owned by the caller.
  virtual CObject* mProcessStringSelect(CDAStringSelect* select);
  virtual CObject* mProcessLongSelect(CDALongSelect* select);
  virtual CObject* mProcessOrSelect(CDAOrSelect* select);
  virtual CObject* mProcessAndSelect(CDAAndSelect* select);

 protected:
  CDADataIterator() = default;
};
