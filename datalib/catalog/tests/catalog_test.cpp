// The system type catalog's static operations on a relational database, and on one behind the
// locking wrapper (placeholder fields and the shift past the lock columns).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "datalib/access/cda_data_iterator.h"
#include "datalib/access/cda_handler.h"
#include "datalib/access/cda_lock_database.h"
#include "datalib/access/owned_ptr.h"
#include "datalib/catalog/cda_sys_type.h"
#include "datalib/relational/cda_relational_database.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_string.h"
#include "platform/kernel/testing/scratch_dir.h"

namespace {

using vaultkit::OwnedPtr;

std::string Str(const CPDString& s) { return static_cast<char*>(s); }

// SysFields of one type as "name=number" in record order.
std::string FieldRows(CDADatabase* db, LONG type) {
  CDALongSelect select(kDASysFields, 0, type, -1);
  OwnedPtr<CDADataIterator> it(db->mQuery(kDASysFields, &select, nullptr));
  std::string out;
  if (!it) return out;
  for (; it->mIsEOF() == 0; it->mMoveNext()) {
    CPDString name;
    CPDLong count;
    it->mGetField(1, &name);
    it->mGetField(4, &count);
    if (!out.empty()) out += ",";
    out += Str(name) + "=" + std::to_string(count.mGetValue());
  }
  return out;
}

TEST(Catalog, NameOfTheCatalogTypeNeedsNoDatabase) {
  CPDString name("before");
  CDASysType::mGetNameFromObjectType(nullptr, kDASysTypes, &name);
  EXPECT_EQ(Str(name), "SysTypes");
  EXPECT_STREQ(cSTRCATALOG, "SysTypes");
  // Another type without a database leaves the name alone.
  name = "before";
  CDASysType::mGetNameFromObjectType(nullptr, 5, &name);
  EXPECT_EQ(Str(name), "before");
}

TEST(Catalog, RegisteredTypeKeepsItsPlaceholderFlagInTheSeventhField) {
  halyard::testing::ScratchDir dir("catalog");
  CDARelationalDatabase db;
  db.mCreate(dir.Join("c.db").c_str());
  CDASysType::mRegisterType(&db, 42, "Letter", "dLetter", 7, 1);
  OwnedPtr<CDADataIterator> it(db.mFindByType(kDASysTypes, 42));
  ASSERT_TRUE(it);
  CPDLong owner, flag;
  CPDString layout;
  it->mGetField(5, &owner);
  it->mGetField(6, &flag);
  it->mGetField(4, &layout);
  EXPECT_EQ(owner.mGetValue(), 7);
  EXPECT_EQ(flag.mGetValue(), 1);
  EXPECT_EQ(Str(layout), "dLetter");
  EXPECT_EQ(CDASysType::mGetOwnerType(&db, 42), 7);
  CPDString name;
  CDASysType::mGetNameFromObjectType(&db, 42, &name);
  EXPECT_EQ(Str(name), "Letter");
  // On a plain database field 0 is registered as it is, without placeholders.
  CDASysType::mRegisterField(&db, 0, 42, "System", kDAKindLong, 0);
  EXPECT_EQ(FieldRows(&db, 42), "System=0");
  db.mClose();
}

// A relational database that says it is a locking one: the catalog goes by the flag alone.
// (The locking wrapper itself shifts every record's fields past its lock columns, the
// catalog's too, so its catalog lives in a store whose tables carry those columns.)
class FlaggedAsLocking : public CDARelationalDatabase {
 public:
  unsigned short mGetTypeFlags() override { return kDATypeRelational | kDAServiceLocking; }
};

TEST(Catalog, LockingDatabaseGetsPlaceholdersAndShiftedFieldNumbers) {
  halyard::testing::ScratchDir dir("catalog");
  {
    CDARelationalDatabase plain;
    plain.mCreate(dir.Join("lock.db").c_str());
  }
  FlaggedAsLocking db;
  db.mOpen((dir.Join("lock.db") + "|1").c_str());
  CDASysType::mRegisterType(&db, 50, "Held", "dHeld", 0, 1);
  CDASysType::mRegisterType(&db, 51, "Plain", "dPlain", 0, 0);
  CDASysType::mRegisterField(&db, 0, 50, "Title", kDAKindText, 0);
  CDASysType::mRegisterField(&db, 1, 50, "Body", kDAKindText, 0);
  EXPECT_EQ(FieldRows(&db, 50), "DummyField_0=0,DummyField_1=1,Title=2,Body=3");
  // Without the flag in SysTypes there are no placeholders; the shift stays.
  CDASysType::mRegisterField(&db, 0, 51, "Title", kDAKindText, 0);
  EXPECT_EQ(FieldRows(&db, 51), "Title=2");
  db.mClose();
}

}  // namespace
