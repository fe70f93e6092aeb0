// CDASysType: the system type catalog every database keeps about itself. SysTypes holds one
// record per object type (number, name, default layout, owner type, and a seventh long field
// that asks for two placeholder fields); SysFields one record per field (type, name, kind,
// number). The static operations register types and fields and look names and owners up;
// each takes the database to work on. cSTRCATALOG names the SysTypes table. Stateless; the
// library is used from one thread.
#pragma once

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"

class CDADatabase;
class CPDString;

extern HALYARD_EXPORT const char cSTRCATALOG[];

// The catalog's own type numbers.
inline constexpr LONG kDASysTypes = -10183;
inline constexpr LONG kDASysFields = -10184;

class HALYARD_EXPORT CDASysType {
 public:
  // A SysTypes record: fType, fName, fDefaultLayout, fOwnerType and the placeholder flag
  // (fields 1, 2, 4, 5 and 6), committed at once.
  static void mRegisterType(CDADatabase* db, LONG type, const CPDString& name, const CPDString& defaultLayout,
                            LONG ownerType, LONG placeholders);
  // A SysFields record for field number `field` of `type`; on a locking database the number
  // is shifted past the two lock columns, and field 0 of a type that asks for placeholders
  // is preceded by "DummyField_0" and "DummyField_1". `unused` is not read.
  static void mRegisterField(CDADatabase* db, LONG field, LONG type, const CPDString& name, LONG kind, LONG unused);
  // The type's name ("SysTypes" for the catalog itself, without a lookup); *name is left
  // unchanged when the type is not registered.
  static void mGetNameFromObjectType(CDADatabase* db, LONG type, CPDString* name);
  // Field 5 of the type's SysTypes record, or -1 when there is none.
  static LONG mGetOwnerType(CDADatabase* db, LONG type);
};

// The catalog's first records in a new database whose SysTypes and SysFields tables exist:
// the two catalog types themselves and their fields. Internal to the library.
namespace vaultkit {
void WriteInitialCatalog(CDADatabase* db);
}  // namespace vaultkit
