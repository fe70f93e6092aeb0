// The data access library as the design tool uses it: through libvaultkit.so and the platform
// runtime only. Values cross the library boundary by their stream and archive forms, and the
// library sees the process-wide state the host set up in the platform.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "platform/mfc/carchive.h"
#include "platform/mfc/cmemfile.h"
#include "platform/mfc/stringtable.h"
#include "datalib/access/cda_data_iterator.h"
#include "datalib/access/cda_database.h"
#include "datalib/access/cda_handler.h"
#include "datalib/select/cda_complex_select.h"
#include "datalib/select/cda_sql_condition.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/support/cr_error.h"
#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/access/cda_data_iterator.h"
#include "datalib/catalog/cda_sys_type.h"
#include "datalib/relational/cda_relational_database.h"
#include "datalib/select/cda_sort.h"
#include "datalib/select/cda_type_select.h"
#include "platform/kernel/testing/scratch_dir.h"

TEST(VaultkitHost, ValuesTravelThroughTheirStreamFormsAndComeBackByKind) {
  CPDLong number(42);
  CPDString text("design");
  CPDLongArray list;
  LONG seven = 7, minusThree = -3;
  list.mAdd(&seven);
  list.mAdd(&minusThree);
  std::ostringstream os;
  os << number << text << list;

  std::istringstream is(os.str());
  std::unique_ptr<CPDObject> a(CPDObject::mNew(is));
  std::unique_ptr<CPDObject> b(CPDObject::mNew(is));
  std::unique_ptr<CPDObject> c(CPDObject::mNew(is));
  auto* n = dynamic_cast<CPDLong*>(a.get());
  auto* s = dynamic_cast<CPDString*>(b.get());
  auto* l = dynamic_cast<CPDLongArray*>(c.get());
  ASSERT_TRUE(n && s && l) << os.str();
  EXPECT_EQ(n->mGetValue(), 42);
  EXPECT_STREQ(static_cast<char*>(*s), "design");
  ASSERT_EQ(l->mGetNumItems(), 2);
  EXPECT_EQ((*l)[1], -3);
  EXPECT_EQ(n->mCompare(&number), 0);
  EXPECT_EQ(s->mCompare(&text), 0);
}

TEST(VaultkitHost, AnArchiveWrittenByTheLibraryReadsBackInThePlatformsFile) {
  CMemFile file;
  {
    CArchive ar(&file, CArchive::store);
    CPDString text("page title");
    CPDLong number(-123456);
    text.Serialize(ar);
    number.Serialize(ar);
    ar.Close();
  }
  ASSERT_GT(file.GetLength(), 10u);
  file.SeekToBegin();
  CArchive ar(&file, CArchive::load);
  CPDString text;
  CPDLong number;
  text.Serialize(ar);
  number.Serialize(ar);
  EXPECT_STREQ(static_cast<char*>(text), "page title");
  EXPECT_EQ(number.mGetValue(), -123456);
}

TEST(VaultkitHost, TheLibrarySeesStringTablesTheHostRegistersInThePlatform) {
  // One platform per process: a table registered here is the one the library looks in.
  static const halyard::StringResource table[] = {{61001, "Registered by the host"}};
  CPDString text;
  EXPECT_FALSE(text.LoadStringA(61001));
  halyard::StringTableRegistration registration(table);
  ASSERT_TRUE(text.LoadStringA(61001));
  EXPECT_STREQ(static_cast<char*>(text), "Registered by the host");
}

TEST(VaultkitHost, TheLastErrorIsKeptForTheHost) {
  CRErrorHandler::mClearError();
  CRError error(CRError::eWarning, 1, const_cast<char*>("disk"));
  CRErrorHandler::mReportError(error);
  ASSERT_NE(CRErrorHandler::mGetLastError(), nullptr);
  CRErrorHandler::mClearError();
}

// A relational database made, filled and queried through the library, as the design tool
// does with a site's data source.
TEST(VaultkitHost, ARelationalDatabaseIsCreatedFilledAndQueried) {
  halyard::testing::ScratchDir dir("vaultkit-host");
  std::string path = dir.Join("site.db");
  {
    CDARelationalDatabase db;
    ASSERT_EQ(db.mCreate(path.c_str()), 1);
    CDASysType::mRegisterType(&db, 10, "Product", "dProduct", 0, 0);
    db.mCreateTypeTable(10, "Product");
    CDASysType::mRegisterField(&db, 0, 10, "System", 1, 0);
    LONG name = db.mAddField(10, "Name", 0);
    CDASysType::mRegisterField(&db, name, 10, "Name", 0, 0);
    db.mBeginTransaction();
    const char* names[] = {"Anchor", "Buoy", "Cleat"};
    for (LONG i = 0; i < 3; ++i) {
      std::unique_ptr<CDADataObject> rec(db.mNewRecord(10));
      CPDLong key(i + 1);
      CPDString text(names[i]);
      rec->mSetField(0, &key);
      rec->mSetField(name, &text);
      rec->mUpdateRecord();
    }
    db.mCommitTransaction(nullptr);
    db.mClose();
  }
  CDARelationalDatabase db;
  ASSERT_EQ(db.mOpen(path.c_str()), 1);
  CDALongSelect after(10, 0, 1, CDALongSelect::kGreaterThan);
  CDASort order;
  order.mInit(1, 0);
  std::unique_ptr<CDADataIterator> it(db.mQuery(10, &after, &order));
  ASSERT_NE(it, nullptr);
  EXPECT_EQ(it->mGetRecordCount(), 2);
  CPDString first;
  it->mGetField(1, &first);
  EXPECT_STREQ(static_cast<char*>(first), "Cleat");
  EXPECT_STREQ(cSTRCATALOG, "SysTypes");
}

TEST(VaultkitHost, ASavedSelectionIsRecreatedByClassNameInsideTheLibrary) {
  auto* text = new CDAStringSelect(40, 2, CPDString("news"), 1);
  auto* number = new CDALongSelect(40, 3, 2024, 2);
  CDAOrSelectWithDelete either;
  either.mAddSelect(text);
  either.mAddSelect(number);
  CPDBuffer saved;
  either.mStoreData(&saved);
  ASSERT_GT(saved.mGetLength(), 0);

  std::unique_ptr<CDASelect> back(CDASelect::mRetrieveData(&saved));
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->IsKindOf(RUNTIME_CLASS(CDAOrSelectWithDelete)));
  std::ostringstream os, original;
  os << *back;
  original << either;
  EXPECT_EQ(os.str(), original.str());
  EXPECT_EQ(os.str(), "EU2 HU40 U2 U1 T4 news GU40 U3 U2 U2024 ");
}

namespace {

// A back end written by the host: it answers selections with SQL text and counts its end.
class HostDatabase : public CDADatabase {
 public:
  explicit HostDatabase(int* destroyed) : mDestroyed(destroyed) {}
  ~HostDatabase() override { ++*mDestroyed; }
  void mBeginTransaction() override {}
  void mCommitTransaction(CObject*) override {}
  void mRollback() override {}
  CDADataIterator* mQueryType(LONG, CDASort*) override { return nullptr; }
  CDADataIterator* mFindByNumber(LONG, LONG) override { return nullptr; }
  CDADataIterator* mFindByType(LONG, LONG) override { return nullptr; }
  CDADataIterator* mFindByClass(LONG, LONG) override { return nullptr; }
  CDADataIterator* mFindByName(LONG, CPDString*) override { return nullptr; }
  CDADataIterator* mQuery(LONG, CDASelect*, CDASort*) override { return nullptr; }
  void mCreateTypeTable(LONG, const CPDString&) override {}
  LONG mAddField(LONG, const CPDString&, LONG) override { return 0; }
  void mGetFields(LONG, CPDStringArray*, CPDLongArray*) override {}
  void mGetFieldName(LONG, LONG, CPDString*, LONG*) override {}
  int mCreate(const CPDString&) override { return 1; }
  int mOpen(const CPDString&) override { return 1; }
  void mClose() override {}
  unsigned short mGetTypeFlags() override { return 16; }
  CDADataObject* mNewRecord(LONG) override { return nullptr; }
  CObject* mProcessInLongSelect(CDAInLongSelect*) override { return nullptr; }
  CObject* mProcessStringSelect(CDAStringSelect* s) override {
    return new CDASqlCondition(static_cast<char*>(s->mGetValue()));
  }
  CObject* mProcessLongSelect(CDALongSelect*) override { return nullptr; }
  CObject* mProcessOrSelect(CDAOrSelect*) override { return nullptr; }
  CObject* mProcessAndSelect(CDAAndSelect*) override { return nullptr; }
  LONG mGetNativeFieldType(LONG) override { return 0; }

 private:
  int* mDestroyed;
};

}  // namespace

TEST(VaultkitHost, TheHandlerKeepsAndDestroysAHostsDatabaseOnce) {
  int destroyed = 0;
  auto* db = new HostDatabase(&destroyed);
  CDAStringSelect s(1, 1, CPDString("asked"), 0);
  std::unique_ptr<CObject> answer(s.mProcessSelect(db));
  auto* condition = dynamic_cast<CDASqlCondition*>(answer.get());
  ASSERT_NE(condition, nullptr);
  EXPECT_STREQ(static_cast<const char*>(condition->mGetText()), "asked");

  CDADatabase* wrapped = CDAHandler::mAddService(0x1000, db);
  EXPECT_EQ(wrapped->mGetTypeFlags(), 0x1010);
  CDAHandler::mSetDatabase(0, wrapped);
  CDAHandler::mSetDatabase(9, wrapped);
  EXPECT_EQ(CDAHandler::mGetDatabase(9), wrapped);
  CDAHandler::mExit();
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(CDAHandler::mGetDatabase(0), nullptr);
}

TEST(VaultkitHost, TheDefaultDatabaseIsAnObjectStore) {
  halyard::testing::ScratchDir dir("vaultkit-host-store");
  std::unique_ptr<CDADatabase> db(CDAHandler::mNewDatabase());
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(db->mGetTypeFlags(), 64);
  ASSERT_EQ(db->mCreate(CPDString(dir.Join("host.qld").c_str())), 1);
  CDASysType::mRegisterType(db.get(), 40, CPDString("Book"), CPDString("lBook"), 0, 0);
  db->mCreateTypeTable(40, CPDString("Book"));
  LONG pages = db->mAddField(40, CPDString("Pages"), 1);
  CDASysType::mRegisterField(db.get(), pages, 40, CPDString("Pages"), 1, 0);
  for (LONG n : {30, 300, 3}) {
    std::unique_ptr<CDADataObject> record(db->mNewRecord(40));
    CPDLong value(n);
    record->mSetField(pages, &value);
    record->mUpdateRecord();
  }
  db->mCommitTransaction(nullptr);
  CDALongSelect small(40, pages, 100, 1);
  CDASort order;
  order.mInit(pages, 0);
  std::unique_ptr<CDADataIterator> it(db->mQuery(40, &small, &order));
  ASSERT_NE(it, nullptr);
  EXPECT_EQ(it->mGetRecordCount(), 2);
  CPDLong first;
  it->mGetField(pages, &first);
  EXPECT_EQ(first.mGetValue(), 30);
  db->mClose();
  UninitializeDatabase();
}
