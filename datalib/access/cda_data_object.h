// CDADataObject: one record of a back end, whose fields are addressed by field number (on the
// relational back end the column position). The typed getters and setters forward to the
// generic mGetField and mSetField, which move the value through a VARIANT with the value's
// own conversions; a back end supplies mReadField and mWriteField. A record made by a
// database's mNewRecord is committed with mUpdateRecord. Records belong to the database or
// iterator that handed them out and are used on one thread.
#pragma once

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"
#include "platform/mfc/cobject.h"

class COleVariant;
class CPDObject;
class CPDBuffer;
class CPDString;
class CPDLong;

class HALYARD_EXPORT CDADataObject : public CObject {
 public:
  ~CDADataObject() override;

  virtual void mGetFieldBuffer(LONG field, CPDBuffer* value);
  virtual void mGetFieldString(LONG field, CPDString* value);
  virtual void mGetFieldLong(LONG field, CPDLong* value);
  // Reads the field as a VARIANT and converts it into the value.
  virtual void mGetField(LONG field, CPDObject* value);
  virtual void mSetFieldBuffer(LONG field, CPDBuffer* value);
  virtual void mSetFieldString(LONG field, CPDString* value);
  virtual void mSetFieldLong(LONG field, CPDLong* value);
  // Converts the value to a VARIANT and stores it in the field.
  virtual void mSetField(LONG field, CPDObject* value);
  // Deletes the current record; 0 when the back end cannot.
  virtual int mDeleteRecord();
  // Commits a new or changed record; non-zero on success.
  virtual int mUpdateRecord();

 protected:
  CDADataObject() = default;
  // The back end's own field access. Throwing is how a back end reports a failed access.
  virtual void mReadField(LONG field, COleVariant* out) = 0;
  virtual void mWriteField(LONG field, const COleVariant& in) = 0;
};
