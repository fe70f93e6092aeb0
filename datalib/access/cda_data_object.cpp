#include "cda_data_object.h"

#include "platform/ole/colevariant.h"
#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_string.h"

CDADataObject::~CDADataObject() = default;

void CDADataObject::mGetFieldBuffer(LONG field, CPDBuffer* value) { mGetField(field, value); }
void CDADataObject::mGetFieldString(LONG field, CPDString* value) { mGetField(field, value); }
void CDADataObject::mGetFieldLong(LONG field, CPDLong* value) { mGetField(field, value); }

void CDADataObject::mGetField(LONG field, CPDObject* value) {
  if (value == nullptr) return;
  COleVariant var;
  mReadField(field, &var);
  value->mConvertFromOleVariant(var);
}

void CDADataObject::mSetFieldBuffer(LONG field, CPDBuffer* value) { mSetField(field, value); }
void CDADataObject::mSetFieldString(LONG field, CPDString* value) { mSetField(field, value); }
void CDADataObject::mSetFieldLong(LONG field, CPDLong* value) { mSetField(field, value); }

void CDADataObject::mSetField(LONG field, CPDObject* value) {
  if (value == nullptr) return;
  COleVariant var;
  value->mConvertToOleVariant(&var);
  mWriteField(field, var);
}

int CDADataObject::mDeleteRecord() { return 0; }
int CDADataObject::mUpdateRecord() { return 0; }
