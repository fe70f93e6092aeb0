#include "cda_sys_type.h"

#include <cstdio>

#include "datalib/access/cda_data_iterator.h"
#include "datalib/access/cda_database.h"
#include "datalib/access/owned_ptr.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_string.h"

const char cSTRCATALOG[] = "SysTypes";

namespace {

// SysTypes and SysFields field numbers.
enum : LONG { kTypeType = 1, kTypeName = 2, kTypeLayout = 4, kTypeOwner = 5, kTypePlaceholders = 6 };
enum : LONG { kFieldObjectType = 0, kFieldName = 1, kFieldKind = 2, kFieldCount = 4 };

// The SysTypes records whose fType is the type number.
CDADataIterator* FindType(CDADatabase* db, LONG type) {
  CDALongSelect select(kDASysTypes, kTypeType, type, -1);
  return db->mQuery(kDASysTypes, &select, nullptr);
}

void WriteField(CDADatabase* db, LONG type, const CPDString& name, LONG kind, LONG number) {
  vaultkit::OwnedPtr<CDADataObject> record(db->mNewRecord(kDASysFields));
  if (!record) return;
  CPDLong objectType(type), fieldKind(kind), count(number);
  CPDString fieldName(name);
  record->mSetField(kFieldObjectType, &objectType);
  record->mSetField(kFieldName, &fieldName);
  record->mSetField(kFieldKind, &fieldKind);
  record->mSetField(kFieldCount, &count);
  record->mUpdateRecord();
}

}  // namespace

void CDASysType::mRegisterType(CDADatabase* db, LONG type, const CPDString& name, const CPDString& defaultLayout,
                               LONG ownerType, LONG placeholders) {
  if (db == nullptr) return;
  vaultkit::OwnedPtr<CDADataObject> record(db->mNewRecord(kDASysTypes));
  if (!record) return;
  CPDLong number(type), owner(ownerType), flag(placeholders);
  CPDString typeName(name), layout(defaultLayout);
  record->mSetField(kTypeType, &number);
  record->mSetField(kTypeName, &typeName);
  record->mSetField(kTypeLayout, &layout);
  record->mSetField(kTypeOwner, &owner);
  record->mSetField(kTypePlaceholders, &flag);
  record->mUpdateRecord();
}

void CDASysType::mRegisterField(CDADatabase* db, LONG field, LONG type, const CPDString& name, LONG kind, LONG) {
  if (db == nullptr) return;
  const bool locking = (db->mGetTypeFlags() & kDAServiceLocking) != 0;
  if (field == 0 && locking) {
    vaultkit::OwnedPtr<CDADataIterator> found(FindType(db, type));
    if (found && found->mIsEOF() == 0) {
      CPDLong flag(0);
      found->mGetField(kTypePlaceholders, &flag);
      if (flag.mGetValue() != 0) {
        for (LONG s = 0; s < 2; ++s) {
          char dummy[32];
          std::snprintf(dummy, sizeof dummy, "DummyField_%ld", static_cast<long>(s));
          WriteField(db, type, CPDString(dummy), kDAKindLong, s);
        }
      }
    }
  }
  WriteField(db, type, name, kind, locking ? field + 2 : field);
}

void CDASysType::mGetNameFromObjectType(CDADatabase* db, LONG type, CPDString* name) {
  if (name == nullptr) return;
  if (type == kDASysTypes) {
    *name = cSTRCATALOG;
    return;
  }
  if (db == nullptr) return;
  vaultkit::OwnedPtr<CDADataIterator> found(db->mFindByType(kDASysTypes, type));
  if (found && found->mIsEOF() == 0) found->mGetField(kTypeName, name);
}

LONG CDASysType::mGetOwnerType(CDADatabase* db, LONG type) {
  if (db == nullptr) return -1;
  vaultkit::OwnedPtr<CDADataIterator> found(FindType(db, type));
  if (!found || found->mIsEOF() != 0) return -1;
  CPDLong owner(0);  // a NULL owner reads as 0, as an empty value does
  found->mGetField(kTypeOwner, &owner);
  return owner.mGetValue();
}

void vaultkit::WriteInitialCatalog(CDADatabase* db) {
  auto addType = [db](LONG type, const char* name, const char* layout) {
    vaultkit::OwnedPtr<CDADataObject> record(db->mNewRecord(kDASysTypes));
    CPDLong system(0), number(type);
    CPDString typeName(name), typeLayout(layout);
    record->mSetField(0, &system);
    record->mSetField(1, &number);
    record->mSetField(2, &typeName);
    record->mSetField(4, &typeLayout);
    record->mUpdateRecord();
  };
  addType(kDASysTypes, "SysTypes", "dULSysType");
  addType(kDASysFields, "SysFields", "dULSysField");
  static const struct {
    LONG type;
    LONG number;
    const char* name;
    LONG kind;
  } kFields[] = {
      {kDASysTypes, 0, "System", 1},         {kDASysTypes, 1, "fType", 1},
      {kDASysTypes, 2, "fName", 0},          {kDASysTypes, 3, "fCL", 1},
      {kDASysTypes, 4, "fDefaultLayout", 0}, {kDASysTypes, 5, "fOwnerType", 1},
      {kDASysFields, 0, "fObjectType", 1},   {kDASysFields, 1, "fFieldName", 0},
      {kDASysFields, 2, "fFieldType", 1},    {kDASysFields, 3, "fFieldAttr", 1},
      {kDASysFields, 4, "fFieldCount", 1},
  };
  for (const auto& f : kFields) CDASysType::mRegisterField(db, f.number, f.type, CPDString(f.name), f.kind, 0);
}
