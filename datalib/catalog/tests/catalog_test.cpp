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

TEST(Catalog, LockingDatabaseGetsPlaceholdersAndShiftedFieldNumbers) {
  halyard::testing::ScratchDir dir("catalog");
  auto* inner = new CDARelationalDatabase();
  inner->mCreate(dir.Join("lock.db").c_str());
  OwnedPtr<CDADatabase> lock(CDAHandler::mAddService(kDAServiceLocking, inner));
  ASSERT_NE(lock->mGetTypeFlags() & kDAServiceLocking, 0);
  CDASysType::mRegisterType(inner, 50, "Held", "dHeld", 0, 1);
  CDASysType::mRegisterType(inner, 51, "Plain", "dPlain", 0, 0);
  CDASysType::mRegisterField(lock.get(), 0, 50, "Title", kDAKindText, 0);
  CDASysType::mRegisterField(lock.get(), 1, 50, "Body", kDAKindText, 0);
  EXPECT_EQ(FieldRows(inner, 50), "DummyField_0=0,DummyField_1=1,Title=2,Body=3");
  CDASysType::mRegisterField(lock.get(), 0, 51, "Title", kDAKindText, 0);
  EXPECT_EQ(FieldRows(inner, 51), "Title=2");
  lock->mClose();
}

}  // namespace
