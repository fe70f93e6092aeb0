#include "cda_relational_iterator.h"

#include "platform/dao/cdaoexception.h"
#include "platform/dao/cdaorecordset.h"
#include "datalib/values/cpd_object.h"
#include "platform/ole/colevariant.h"

CDARelationalIterator::CDARelationalIterator(CDaoRecordset* recordset) : mRecordset(recordset) {}

CDARelationalIterator::~CDARelationalIterator() { delete mRecordset; }

void CDARelationalIterator::mReadField(LONG field, COleVariant* out) { mRecordset->GetFieldValue(field, *out); }

void CDARelationalIterator::mWriteField(LONG field, const COleVariant& in) {
  if (mRecordset->GetEditMode() == dbEditNone) mRecordset->Edit();
  mRecordset->SetFieldValue(field, in);
}

void CDARelationalIterator::mSetField(LONG field, CPDObject* value) {
  if (value == nullptr) return;
  COleVariant var;
  value->mConvertToOleVariant(&var);
  if (mRecordset->GetEditMode() == dbEditNone) mRecordset->Edit();
  mRecordset->SetFieldValue(field, std::move(var));
}

int CDARelationalIterator::mDeleteRecord() {
  mRecordset->Delete();
  return 1;
}

int CDARelationalIterator::mUpdateRecord() {
  if (mRecordset->GetEditMode() == dbEditNone) return 1;  // nothing was changed
  const bool added = mRecordset->GetEditMode() == dbEditAdd;
  mRecordset->Update();
  if (added) mRecordset->SetBookmark(mRecordset->GetLastModifiedBookmark());
  return 1;
}

int CDARelationalIterator::mIsEOF() { return mRecordset->IsEOF() ? 1 : 0; }

int CDARelationalIterator::mIsBOF() { return mRecordset->IsBOF() ? 1 : 0; }

int CDARelationalIterator::mSetAbsolutePosition(LONG index) {
  if (index < 0) return 0;
  try {
    mRecordset->SetAbsolutePosition(index);
    return 1;
  } catch (CDaoException* e) {
    // No such record: the position stays where it was.
    e->Delete();
    return 0;
  }
}

LONG CDARelationalIterator::mGetRecordCount() {
  const bool bof = mRecordset->IsBOF() != FALSE;
  const bool eof = mRecordset->IsEOF() != FALSE;
  if (bof && eof) return 0;
  const LONG position = mRecordset->GetAbsolutePosition();
  mRecordset->MoveLast();
  const LONG count = mRecordset->GetRecordCount();
  if (position >= 0) {
    mRecordset->SetAbsolutePosition(position);
  } else if (bof) {
    mRecordset->MoveFirst();
    mRecordset->MovePrev();
  } else {
    mRecordset->MoveNext();
  }
  return count;
}

void CDARelationalIterator::mMoveNext() {
  if (!mRecordset->IsEOF()) mRecordset->MoveNext();
}

void CDARelationalIterator::mMovePrev() {
  if (!mRecordset->IsBOF()) mRecordset->MovePrev();
}

void CDARelationalIterator::mMoveFirst() {
  if (!(mRecordset->IsBOF() && mRecordset->IsEOF())) mRecordset->MoveFirst();
}

void CDARelationalIterator::mMoveLast() {
  if (!(mRecordset->IsBOF() && mRecordset->IsEOF())) mRecordset->MoveLast();
}

LONG CDARelationalIterator::mGetFieldCount() { return mRecordset->GetFieldCount(); }
