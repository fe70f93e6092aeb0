// The object-store back end: connect texts to files with the registry's values and defaults,
// the catalog kept in the store, records, queries and selections, transactions, the handler's
// default type, and the locking wrapper over a store.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "datalib/access/cda_data_iterator.h"
#include "datalib/access/cda_handler.h"
#include "datalib/access/cda_lock_database.h"
#include "datalib/catalog/cda_sys_type.h"
#include "datalib/select/cda_complex_select.h"
#include "datalib/select/cda_sort.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/store/cda_store_database.h"
#include "datalib/store/pyx_vfs.h"
#include "datalib/support/cr_registry.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"
#include "platform/kernel/testing/scratch_dir.h"
#include "platform/mfc/cfileexception.h"

namespace {

constexpr LONG kBook = 40;

// True when job raises CFileException (which is then freed).
template <typename Job>
bool RaisesFileException(Job job) {
  try {
    job();
  } catch (CFileException* e) {
    e->Delete();
    return true;
  }
  return false;
}

// The registry and drive C in a scratch folder for each test.
class StoreDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HALYARD_REGISTRY", dir.Join("registry").c_str(), 1);
    setenv("HALYARD_DRIVE_C", dir.path().c_str(), 1);
  }
  void TearDown() override {
    CDAHandler::mExit();
    unsetenv("HALYARD_DRIVE_C");
  }

  std::string Resolve(const char* connect) {
    std::string path;
    EXPECT_TRUE(CDAStoreDatabase::mResolvePath(connect, &path)) << connect;
    return path;
  }

  // A store with the type Book (Title text, Pages long) in the catalog, and some books.
  std::unique_ptr<CDAStoreDatabase> MakeBooks(CDADatabase* through = nullptr) {
    auto db = std::make_unique<CDAStoreDatabase>();
    EXPECT_EQ(db->mCreate(CPDString("C:\\Books.qld")), 1);
    CDADatabase* d = through != nullptr ? through : db.get();
    CDASysType::mRegisterType(d, kBook, CPDString("Book"), CPDString("lBook"), 0, 0);
    d->mCreateTypeTable(kBook, CPDString("Book"));
    CDASysType::mRegisterField(d, d->mAddField(kBook, CPDString("Title"), kDAKindText), kBook, CPDString("Title"), 0, 0);
    CDASysType::mRegisterField(d, d->mAddField(kBook, CPDString("Pages"), kDAKindLong), kBook, CPDString("Pages"), 1, 0);
    CDASysType::mRegisterField(d, d->mAddField(kBook, CPDString("fName"), kDAKindText), kBook, CPDString("fName"), 0, 0);
    return db;
  }

  void AddBook(CDADatabase* db, const char* title, LONG pages) {
    std::unique_ptr<CDADataObject> record(db->mNewRecord(kBook));
    ASSERT_NE(record, nullptr);
    CPDString t(title);
    CPDLong p(pages);
    record->mSetField(0, &t);
    record->mSetField(1, &p);
    record->mSetField(2, &t);
    EXPECT_EQ(record->mUpdateRecord(), 1);
  }

  static std::vector<std::string> Titles(CDADataIterator* raw) {
    std::unique_ptr<CDADataIterator> it(raw);
    std::vector<std::string> out;
    if (!it) return out;
    for (; it->mIsEOF() == 0; it->mMoveNext()) {
      CPDString title;
      it->mGetField(0, &title);
      out.emplace_back(static_cast<char*>(title));
    }
    return out;
  }

  halyard::testing::ScratchDir dir{"pyx-db"};
};

using Titles_ = std::vector<std::string>;

TEST_F(StoreDatabase, ConnectTextsNameFilesThroughTheRegistry) {
  EXPECT_EQ(Resolve("Pyx:Smith"), "C:\\ScriptoriumServer\\User Sites\\Smith\\Smith.qld");
  EXPECT_EQ(Resolve("pYX:"), "C:\\ScriptoriumServer\\Admin\\Admin.qld");
  EXPECT_EQ(Resolve(""), "C:\\ScriptoriumServer\\Admin\\Admin.qld");
  EXPECT_EQ(Resolve("D:\\x\\y.qld"), "D:\\x\\y.qld");
  EXPECT_EQ(Resolve("Pyx:site.qlt"), "site.qlt");
  EXPECT_EQ(Resolve("Pyx:folder\\name"), "folder\\name");
  {
    CRRegistry server(CRRegistry::eLocalMachine, "SOFTWARE\\Quillmarks\\Scriptorium Server");
    server.mWriteString("ScriptoriumServerRoot", CPDString("C:\\Srv"));
    server.mWriteString("AdminDatabaseFile", CPDString("A.qld"));
    CRRegistry data(CRRegistry::eLocalMachine, "SOFTWARE\\Quillmarks\\Scriptorium Server\\Data");
    data.mWriteString("DataFileDirectory", CPDString("Sites"));
  }
  EXPECT_EQ(Resolve("Pyx:Smith"), "C:\\Srv\\Sites\\Smith\\Smith.qld");
  EXPECT_EQ(Resolve("Pyx:"), "C:\\Srv\\A.qld");

  // A site store made under the data folder opens by its name; "|0" opens it read-only.
  CDAStoreDatabase made;
  ASSERT_EQ(made.mCreate(CPDString("Pyx:Smith")), 1);
  made.mClose();
  std::ifstream file(dir.Join("Srv/Sites/Smith/Smith.qld"));
  EXPECT_TRUE(file.good());
  CDAStoreDatabase readOnly;
  ASSERT_EQ(readOnly.mOpen(CPDString("Pyx:Smith|0")), 1);
  EXPECT_EQ(readOnly.mIsWritable(), 0);
  EXPECT_TRUE(RaisesFileException([&] { readOnly.mCreateTypeTable(kBook, CPDString("Book")); }));
  CDAStoreDatabase readWrite;
  ASSERT_EQ(readWrite.mOpen(CPDString("C:\\Srv\\Sites\\Smith\\Smith.qld|1")), 1);
  EXPECT_EQ(readWrite.mIsWritable(), 1);

  // A registry that cannot be read: opening and creating by site name fail, paths still work.
  std::ofstream(dir.Join("not-a-folder")) << "x";
  setenv("HALYARD_REGISTRY", dir.Join("not-a-folder").c_str(), 1);
  CDAStoreDatabase noRegistry;
  EXPECT_EQ(noRegistry.mOpen(CPDString("Pyx:Smith")), 0);
  EXPECT_EQ(noRegistry.mCreate(CPDString("Other")), 0);
  EXPECT_EQ(noRegistry.mOpen(CPDString("C:\\Srv\\Sites\\Smith\\Smith.qld")), 1);
}

TEST_F(StoreDatabase, MissingAndForeignFilesRaiseTheFileException) {
  CDAStoreDatabase db;
  try {
    db.mOpen(CPDString("C:\\missing.qld"));
    ADD_FAILURE() << "no exception";
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_cause, CFileException::fileNotFound);
    e->Delete();
  }
  std::ofstream(dir.Join("short.qld")) << std::string(100, 'q');
  try {
    db.mOpen(CPDString("C:\\short.qld"));
    ADD_FAILURE() << "no exception";
  } catch (CFileException* e) {
    EXPECT_EQ(e->m_lOsError, vaultkit::pyx::kCorruptStoreCode);
    e->Delete();
  }
  EXPECT_EQ(db.mIsOpen(), 0);
}

TEST_F(StoreDatabase, TheCatalogLivesInTheStore) {
  auto db = MakeBooks();
  CPDString name;
  CDASysType::mGetNameFromObjectType(db.get(), kBook, &name);
  EXPECT_STREQ(static_cast<char*>(name), "Book");
  EXPECT_EQ(CDASysType::mGetOwnerType(db.get(), kBook), 0);
  EXPECT_EQ(CDASysType::mGetOwnerType(db.get(), 99), -1);
  CPDStringArray names;
  CPDLongArray kinds;
  db->mGetFields(kBook, &names, &kinds);
  ASSERT_EQ(names.mGetNumItems(), 3);
  EXPECT_STREQ(static_cast<char*>(const_cast<CPDString&>(names.mGetAt(1))), "Pages");
  CPDString field;
  LONG kind = -9;
  db->mGetFieldName(kBook, 1, &field, &kind);
  EXPECT_STREQ(static_cast<char*>(field), "Pages");
  EXPECT_EQ(kind, 1);
  db->mGetFieldName(-10184, 4, &field, &kind);
  EXPECT_STREQ(static_cast<char*>(field), "fFieldCount");
  CPDString untouched("keep");
  db->mGetFieldName(kBook, 9, &untouched, &kind);
  EXPECT_STREQ(static_cast<char*>(untouched), "keep");
  EXPECT_EQ(db->mAddField(kBook, CPDString("Odd"), 42), -1);
  EXPECT_EQ(db->mGetTypeFlags(), kDATypeObjectStore);
  // Creating an existing store leaves it as it was.
  db->mCommitTransaction(nullptr);
  db->mClose();
  CDAStoreDatabase again;
  ASSERT_EQ(again.mCreate(CPDString("C:\\Books.qld")), 1);
  CDASysType::mGetNameFromObjectType(&again, kBook, &name);
  EXPECT_STREQ(static_cast<char*>(name), "Book");
}

TEST_F(StoreDatabase, RecordsQueriesAndTransactions) {
  auto db = MakeBooks();
  AddBook(db.get(), "Sails", 120);
  AddBook(db.get(), "Rigging", 80);
  AddBook(db.get(), "Knots", 45);
  db->mCommitTransaction(nullptr);
  AddBook(db.get(), "Uncommitted", 1);
  db->mRollback();

  CDASort byPages;
  byPages.mInit(1, 0);
  EXPECT_EQ(Titles(db->mQueryType(kBook, &byPages)), (Titles_{"Sails", "Rigging", "Knots"}));
  EXPECT_EQ(Titles(db->mQueryType(kBook, nullptr)), (Titles_{"Sails", "Rigging", "Knots"}));
  // Long operators 0, 1, 2 become the engine's 0, 1, 4.
  CDALongSelect shortOnes(kBook, 1, 80, 1), longOnes(kBook, 1, 80, 2), exact(kBook, 1, 80, 0);
  EXPECT_EQ(Titles(db->mQuery(kBook, &shortOnes, nullptr)), (Titles_{"Knots"}));
  EXPECT_EQ(Titles(db->mQuery(kBook, &longOnes, nullptr)), (Titles_{"Sails"}));
  EXPECT_EQ(Titles(db->mQuery(kBook, &exact, nullptr)), (Titles_{"Rigging"}));
  // (title contains "i" or pages < 50) and pages > 50, by title.
  CDAStringSelect hasI(kBook, 0, CPDString("I"), 1);
  CDAOrSelect either;
  either.mAddSelect(&hasI);
  either.mAddSelect(&shortOnes);
  CDALongSelect over50(kBook, 1, 50, 2);
  CDAAndSelect both;
  both.mAddSelect(&either);
  both.mAddSelect(&over50);
  CDASort byTitle;
  byTitle.mInit(0, 1);
  EXPECT_EQ(Titles(db->mQuery(kBook, &both, &byTitle)), (Titles_{"Rigging", "Sails"}));
  CDAInLongSelect in(kBook, 1);
  EXPECT_EQ(db->mProcessInLongSelect(&in), nullptr);
  CDAStringSelect none(kBook, 0, CPDString("zzz"), 1);
  EXPECT_EQ(db->mQuery(kBook, &none, nullptr), nullptr);
  CPDString knots("knots");
  EXPECT_EQ(Titles(db->mFindByName(kBook, &knots)), (Titles_{"Knots"}));
  EXPECT_EQ(db->mFindByNumber(kBook, 1), nullptr);  // the type has no fNumber field

  // Iterators: count, positions, moves, edits and deletes.
  std::unique_ptr<CDADataIterator> it(db->mQueryType(kBook, &byTitle));
  ASSERT_NE(it, nullptr);
  EXPECT_EQ(it->mGetRecordCount(), 3);
  EXPECT_EQ(it->mSetAbsolutePosition(3), 0);
  ASSERT_EQ(it->mSetAbsolutePosition(2), 1);
  CPDString title;
  it->mGetField(0, &title);
  EXPECT_STREQ(static_cast<char*>(title), "Sails");
  CPDLong pages(121);
  it->mSetField(1, &pages);
  EXPECT_EQ(it->mUpdateRecord(), 1);
  it->mMoveFirst();
  EXPECT_EQ(it->mDeleteRecord(), 1);
  EXPECT_EQ(it->mGetRecordCount(), 2);
  it->mMoveLast();
  it->mMoveNext();
  EXPECT_EQ(it->mIsEOF(), 1);
  EXPECT_TRUE(RaisesFileException([&] { it->mGetField(7, &title); }));
  it.reset();
  db->mCommitTransaction(nullptr);
  db->mClose();

  CDAStoreDatabase reopened;
  ASSERT_EQ(reopened.mOpen(CPDString("C:\\Books.qld|0")), 1);
  CDALongSelect edited(kBook, 1, 121, 0);
  EXPECT_EQ(Titles(reopened.mQuery(kBook, &edited, nullptr)), (Titles_{"Sails"}));
  EXPECT_EQ(Titles(reopened.mQueryType(kBook, nullptr)), (Titles_{"Sails", "Rigging"}));
}

TEST_F(StoreDatabase, TheHandlerMakesStoresByDefault) {
  CDAStoreDatabase anchor;  // the store's factory is registered with its code
  std::unique_ptr<CDADatabase> byDefault(CDAHandler::mNewDatabase());
  EXPECT_NE(dynamic_cast<CDAStoreDatabase*>(byDefault.get()), nullptr);
  std::unique_ptr<CDADatabase> byPrefix(CDAHandler::mNewDatabase("pyx:Smith"));
  EXPECT_NE(dynamic_cast<CDAStoreDatabase*>(byPrefix.get()), nullptr);
  EXPECT_EQ(CDAHandler::mNewDatabase("sybase:x"), nullptr);
  std::unique_ptr<CDADatabase> byNull(CDAHandler::mNewDatabase(static_cast<const char*>(nullptr)));
  EXPECT_NE(dynamic_cast<CDAStoreDatabase*>(byNull.get()), nullptr);
  // One database under indexes 0 and 7 is closed and destroyed once.
  auto* db = CDAHandler::mNewDatabase();
  ASSERT_EQ(db->mCreate(CPDString("C:\\Handled.qld")), 1);
  CDAHandler::mSetDatabase(0, db);
  CDAHandler::mSetDatabase(7, db);
  CDAHandler::mExit();  // ASan reports a second delete
  EXPECT_EQ(CDAHandler::mGetDatabase(0), nullptr);
  const DWORD limit = CDAStoreDatabase::mInitCacheLimit();
  EXPECT_GT(limit, 0u);
  EXPECT_LE(limit, 10000000u);
}

// The locking wrapper over a store: lock columns as fields 0 and 1 of the store, the filter
// for the three kinds of user, taking a free record with its companion, refused writes.
class LockedStore : public StoreDatabase {
 protected:
  void SetUp() override {
    StoreDatabase::SetUp();
    auto* store = new CDAStoreDatabase();
    lock = std::make_unique<CDALockDatabase>(store);
    ASSERT_EQ(lock->mCreate(CPDString("C:\\Locked.qld")), 1);
    CDASysType::mRegisterType(lock.get(), kBook, CPDString("Book"), CPDString("lBook"), 0, 0);
    lock->mCreateTypeTable(kBook, CPDString("Book"));
    LONG title = lock->mAddField(kBook, CPDString("Title"), kDAKindText);
    EXPECT_EQ(title, 0);
    CDASysType::mRegisterField(lock.get(), title, kBook, CPDString("Title"), 0, 0);
    LONG pages = lock->mAddField(kBook, CPDString("Pages"), kDAKindLong);
    EXPECT_EQ(pages, 1);
    CDASysType::mRegisterField(lock.get(), pages, kBook, CPDString("Pages"), 1, 0);
    LONG fName = lock->mAddField(kBook, CPDString("fName"), kDAKindText);
    CDASysType::mRegisterField(lock.get(), fName, kBook, CPDString("fName"), 0, 0);
    lock->mSetContext(-1, 0);
    AddBook(lock.get(), "Free", 10);
    AddBook(lock.get(), "Other", 20);
    // "Other" is taken by user 9 in transaction 90 through the store itself.
    SetLocks("Other", 9, 90);
    lock->mCommitTransaction(nullptr);
  }

  CDADatabase* Inner() { return lock->mGetInner(); }

  void SetLocks(const char* title, LONG user, LONG transaction) {
    CDAStringSelect which(kBook, 2, CPDString(title), -1);
    std::unique_ptr<CDADataIterator> it(Inner()->mQuery(kBook, &which, nullptr));
    ASSERT_NE(it, nullptr);
    CPDLong u(user), t(transaction);
    it->mSetField(0, &u);
    it->mSetField(1, &t);
    it->mUpdateRecord();
  }

  std::vector<std::string> InnerRows() {
    std::vector<std::string> out;
    std::unique_ptr<CDADataIterator> it(Inner()->mQueryType(kBook, nullptr));
    for (; it && it->mIsEOF() == 0; it->mMoveNext()) {
      CPDLong u, t, p;
      CPDString title;
      it->mGetField(0, &u);
      it->mGetField(1, &t);
      it->mGetField(2, &title);
      it->mGetField(3, &p);
      out.push_back(std::string(static_cast<char*>(title)) + "/" + std::to_string(p.mGetValue()) + "/" +
                    std::to_string(u.mGetValue()) + "/" + std::to_string(t.mGetValue()));
    }
    return out;
  }

  std::unique_ptr<CDALockDatabase> lock;
};

TEST_F(LockedStore, TheCatalogShowsTheLockColumnsFirst) {
  CPDString name;
  LONG kind = -1;
  Inner()->mGetFieldName(kBook, 0, &name, &kind);
  EXPECT_STREQ(static_cast<char*>(name), "fUserID");
  Inner()->mGetFieldName(kBook, 1, &name, &kind);
  EXPECT_STREQ(static_cast<char*>(name), "fPersisTransID");
  lock->mGetFieldName(kBook, 0, &name, &kind);  // the wrapper's field 0 is the store's 2
  EXPECT_STREQ(static_cast<char*>(name), "Title");
  EXPECT_EQ(lock->mGetTypeFlags(), kDATypeObjectStore | kDAServiceLocking);
}

TEST_F(LockedStore, TheFilterFollowsTheUser) {
  CDASort byTitle;
  byTitle.mInit(0, 1);
  lock->mSetContext(-1, 0);
  EXPECT_EQ(Titles(lock->mQueryType(kBook, &byTitle)), (Titles_{"Free", "Other"}));
  lock->mSetContext(0, 0);
  EXPECT_EQ(Titles(lock->mQueryType(kBook, &byTitle)), (Titles_{"Free"}));
  lock->mSetContext(9, 90);  // free records and its own
  EXPECT_EQ(Titles(lock->mQueryType(kBook, &byTitle)), (Titles_{"Free", "Other"}));
  lock->mSetContext(5, 50);  // not one another user holds
  EXPECT_EQ(Titles(lock->mQueryType(kBook, &byTitle)), (Titles_{"Free"}));
  // Selections move by two and meet the filter.
  CDALongSelect big(kBook, 1, 15, 2);
  lock->mSetContext(9, 90);
  EXPECT_EQ(Titles(lock->mQuery(kBook, &big, nullptr)), (Titles_{"Other"}));
  lock->mSetContext(5, 50);
  EXPECT_EQ(lock->mQuery(kBook, &big, nullptr), nullptr);
  // Finds go through the filter too.
  CPDString other("Other");
  EXPECT_EQ(lock->mFindByName(kBook, &other), nullptr);
  lock->mSetContext(9, 90);
  EXPECT_EQ(Titles(lock->mFindByName(kBook, &other)), (Titles_{"Other"}));
  EXPECT_EQ(lock->mFindByClass(kBook, 0), nullptr);
}

TEST_F(LockedStore, TakingAFreeRecordWritesItsCompanionAndOthersAreRefused) {
  lock->mSetContext(5, 50);
  {
    std::unique_ptr<CDADataIterator> it(lock->mQueryType(kBook, nullptr));
    ASSERT_NE(it, nullptr);
    CPDLong same(10);
    it->mSetField(1, &same);  // equal: nothing written, nothing taken
    it->mUpdateRecord();
    EXPECT_EQ(InnerRows(), (Titles_{"Free/10/0/0", "Other/20/9/90"}));
    CPDLong pages(11);
    it->mSetField(1, &pages);
    it->mUpdateRecord();
  }
  EXPECT_EQ(InnerRows(), (Titles_{"Free/11/5/50", "Other/20/9/90", "Free/10/5/-50"}));
  // User 5 sees its taken record; user 7 sees the companion, the record as it was.
  EXPECT_EQ(Titles(lock->mQueryType(kBook, nullptr)), (Titles_{"Free"}));
  lock->mSetContext(7, 70);
  {
    std::unique_ptr<CDADataIterator> it(lock->mQueryType(kBook, nullptr));
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(it->mGetRecordCount(), 1);
    CPDLong pages;
    it->mGetField(1, &pages);
    EXPECT_EQ(pages.mGetValue(), 10);
  }
  // A record another user holds refuses the write.
  lock->mSetContext(-1, 0);
  {
    CDAStringSelect which(kBook, 0, CPDString("Other"), -1);
    std::unique_ptr<CDADataIterator> it(lock->mQuery(kBook, &which, nullptr));
    ASSERT_NE(it, nullptr);
    CPDLong pages(99);
    it->mSetField(1, &pages);
    it->mUpdateRecord();
  }
  EXPECT_EQ(InnerRows().at(1), "Other/20/9/90");
}

}  // namespace
