// The relational back end on every engine: the catalog mCreate writes, types and fields,
// records made with mNewRecord, queries with their exact SQL texts and selections, the
// iterator's positions, transactions and the read-only open. The same cases run on a SQLite
// file, on SQLite through ODBC and (e2e build) on PostgreSQL through ODBC.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "datalib/access/cda_data_iterator.h"
#include "datalib/access/cda_handler.h"
#include "datalib/access/cda_lock_database.h"
#include "datalib/access/cda_connect_string_provider.h"
#include "datalib/access/owned_ptr.h"
#include "datalib/catalog/cda_sys_type.h"
#include "datalib/relational/cda_relational_database.h"
#include "datalib/relational/cda_relational_iterator.h"
#include "datalib/select/cda_complex_select.h"
#include "datalib/select/cda_sort.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"
#include "platform/dao/cdaoexception.h"
#include "platform/dao/cdaotabledef.h"
#include "platform/dao/testing/test_source.h"

namespace {

using halyard::testing::DaoEngine;
using halyard::testing::DaoTestSource;
using vaultkit::OwnedPtr;

constexpr LONG kBook = 100;  // Book: System, Title (text), Pages (long), Notes (memo, binary kind 4)

std::string Str(const CPDString& s) { return static_cast<char*>(s); }

std::string DescriptionOf(CDaoException* e) {
  std::string text = e->m_pErrorInfo != nullptr ? std::string(e->m_pErrorInfo->m_strDescription) : "";
  e->Delete();
  return text;
}

class RelationalTest : public ::testing::TestWithParam<DaoEngine> {
 protected:
  void SetUp() override {
    source_ = std::make_unique<DaoTestSource>(GetParam(),
#ifdef SQLITE_ODBC_DRIVER
                                              SQLITE_ODBC_DRIVER
#else
                                              ""
#endif
    );
    db_ = std::make_unique<CDARelationalDatabase>();
    ASSERT_EQ(db_->mCreate(CPDString(source_->name().c_str())), 1);
  }
  void TearDown() override {
    if (db_) db_->mClose();
    db_.reset();
  }

  void MakeBookType(LONG owner = 0) {
    CDASysType::mRegisterType(db_.get(), kBook, "Book", "dBook", owner, 0);
    db_->mCreateTypeTable(kBook, "Book");
    CDASysType::mRegisterField(db_.get(), 0, kBook, "System", kDAKindLong, 0);
    const struct {
      const char* name;
      LONG kind;
    } fields[] = {{"Title", kDAKindText}, {"Pages", kDAKindLong}, {"Notes", kDAKindFormattedText}};
    for (const auto& f : fields) {
      LONG number = db_->mAddField(kBook, f.name, f.kind);
      CDASysType::mRegisterField(db_.get(), number, kBook, f.name, f.kind, 0);
    }
  }

  void AddBook(LONG system, const char* title, LONG pages) {
    OwnedPtr<CDADataObject> rec(db_->mNewRecord(kBook));
    CPDLong key(system), count(pages);
    CPDString name(title);
    rec->mSetField(0, &key);
    rec->mSetField(1, &name);
    rec->mSetField(2, &count);
    ASSERT_NE(rec->mUpdateRecord(), 0);
  }

  // Titles of a query's records, in its order ("" for a null result).
  static std::string Titles(CDADataIterator* it) {
    OwnedPtr<CDADataIterator> owned(it);
    std::string out;
    if (!owned) return out;
    for (; owned->mIsEOF() == 0; owned->mMoveNext()) {
      CPDString title;
      owned->mGetField(1, &title);
      if (!out.empty()) out += ",";
      out += Str(title);
    }
    return out;
  }

  void AddLibrary() {
    AddBook(1, "Alpha", 100);
    AddBook(2, "O'Hara's Tale", 250);
    AddBook(3, "50% Off*", 30);
    AddBook(4, "beta", 400);
    AddBook(5, "Gamma", 250);
  }

  std::unique_ptr<DaoTestSource> source_;
  std::unique_ptr<CDARelationalDatabase> db_;
};

TEST_P(RelationalTest, CreateWritesTheCatalogThatDescribesItself) {
  EXPECT_EQ(db_->mGetTypeFlags(), kDATypeRelational);
  CPDStringArray names;
  CPDLongArray kinds;
  db_->mGetFields(kDASysTypes, &names, &kinds);
  ASSERT_EQ(names.mGetNumItems(), 6);
  const char* expected[] = {"System", "fType", "fName", "fCL", "fDefaultLayout", "fOwnerType"};
  const LONG expectedKinds[] = {1, 1, 0, 1, 0, 1};
  for (LONG i = 0; i < 6; ++i) {
    EXPECT_EQ(Str(names.mGetAt(i)), expected[i]);
    LONG k = -1;
    kinds.mGetArrayItem(&k, i);
    EXPECT_EQ(k, expectedKinds[i]) << expected[i];
  }
  CPDStringArray fieldNames;
  db_->mGetFields(kDASysFields, &fieldNames, nullptr);
  EXPECT_EQ(fieldNames.mGetNumItems(), 5);
  CPDString name("unchanged");
  CDASysType::mGetNameFromObjectType(db_.get(), kDASysFields, &name);
  EXPECT_EQ(Str(name), "SysFields");
  // The two catalog rows, with their layouts, and SysTypes' seventh long field.
  OwnedPtr<CDADataIterator> types(db_->mQueryType(kDASysTypes, nullptr));
  ASSERT_TRUE(types);
  EXPECT_EQ(types->mGetRecordCount(), 2);
  auto* it = static_cast<CDARelationalIterator*>(types.get());
  EXPECT_EQ(it->mGetFieldCount(), 7);
  CPDString layout;
  types->mGetField(4, &layout);
  EXPECT_EQ(Str(layout), "dULSysType");
}

TEST_P(RelationalTest, TypesFieldsAndNativeColumnTypes) {
  MakeBookType();
  CPDStringArray names;
  CPDLongArray kinds;
  db_->mGetFields(kBook, &names, &kinds);
  ASSERT_EQ(names.mGetNumItems(), 4);
  EXPECT_EQ(Str(names.mGetAt(3)), "Notes");
  CPDString name("none");
  LONG kind = -5;
  db_->mGetFieldName(kBook, 2, &name, &kind);
  EXPECT_EQ(Str(name), "Pages");
  EXPECT_EQ(kind, kDAKindLong);
  // An unknown field leaves both outputs as they were.
  name = "none";
  kind = -5;
  db_->mGetFieldName(kBook, 9, &name, &kind);
  EXPECT_EQ(Str(name), "none");
  EXPECT_EQ(kind, -5);
  EXPECT_EQ(CDASysType::mGetOwnerType(db_.get(), kBook), 0);
  EXPECT_EQ(CDASysType::mGetOwnerType(db_.get(), 4242), -1);

  const LONG native[] = {10, 4, 11, 10, 11, 8, 7, 0, 0};
  for (LONG k = 0; k <= 8; ++k) EXPECT_EQ(db_->mGetNativeFieldType(k), native[k]) << "kind " << k;
  // A kind without a column type adds nothing.
  EXPECT_EQ(db_->mAddField(kBook, "Odd", 7), -1);
  EXPECT_EQ(db_->mAddField(kBook, "When", kDAKindDate), 4);
}

TEST_P(RelationalTest, FieldOfATypeOwnedByTypeOneIsLookedUpFourColumnsOn) {
  constexpr LONG kPage = 200;
  CDASysType::mRegisterType(db_.get(), kPage, "Page", "dPage", 1, 0);
  db_->mCreateTypeTable(kPage, "Page");
  const char* columns[] = {"Lead1", "Lead2", "Lead3", "Lead4", "Heading"};
  for (const char* c : columns) {
    LONG number = db_->mAddField(kPage, c, kDAKindText);
    CDASysType::mRegisterField(db_.get(), number, kPage, c, kDAKindText, 0);
  }
  CPDString name;
  LONG kind = -1;
  db_->mGetFieldName(kPage, 1, &name, &kind);  // column 5
  EXPECT_EQ(Str(name), "Heading");
}

TEST_P(RelationalTest, NewRecordIsCommittedAndBecomesCurrent) {
  MakeBookType();
  OwnedPtr<CDADataObject> rec(db_->mNewRecord(kBook));
  CPDLong key(7), pages(321);
  CPDString title("Caf\xE9 Society");
  CPDBuffer notes;
  notes.mInit("long notes", 10);
  rec->mSetField(0, &key);
  rec->mSetField(1, &title);
  rec->mSetField(2, &pages);
  rec->mSetField(3, &notes);
  ASSERT_EQ(rec->mUpdateRecord(), 1);
  CPDString back;
  rec->mGetField(1, &back);
  EXPECT_EQ(Str(back), "Caf\xE9 Society");

  OwnedPtr<CDADataIterator> all(db_->mQueryType(kBook, nullptr));
  ASSERT_TRUE(all);
  CPDLong readPages;
  all->mGetField(2, &readPages);
  EXPECT_EQ(readPages.mGetValue(), 321);
  CPDString readTitle;
  all->mGetField(1, &readTitle);
  EXPECT_EQ(Str(readTitle), "Caf\xE9 Society");
  // Writing a field of a found record and committing it changes the stored record.
  CPDLong more(322);
  all->mSetField(2, &more);
  all->mUpdateRecord();
  OwnedPtr<CDADataIterator> again(db_->mQueryType(kBook, nullptr));
  again->mGetField(2, &readPages);
  EXPECT_EQ(readPages.mGetValue(), 322);
}

TEST_P(RelationalTest, QueriesRunTheirSqlTexts) {
  MakeBookType();
  AddLibrary();
  CDASort byPages;
  byPages.mInit(2, 0);
  EXPECT_EQ(std::string(db_->mGetQuerySql(kBook, nullptr, nullptr)), "SELECT * FROM [Book] ");
  EXPECT_EQ(std::string(db_->mGetQuerySql(kBook, nullptr, &byPages)), "SELECT * FROM [Book] ORDER BY [Pages] DESC");
  CDAStringSelect contains(kBook, 1, "abc", 1);
  EXPECT_EQ(std::string(db_->mGetQuerySql(kBook, &contains, nullptr)), "SELECT * FROM [Book] WHERE [Title] like '*abc*' ");
  CDALongSelect equal(kBook, 2, 250, -1);
  CDASort byTitle;
  byTitle.mInit(1, 1);
  EXPECT_EQ(std::string(db_->mGetQuerySql(kBook, &equal, &byTitle)),
            "SELECT * FROM [Book] WHERE [Pages] = 250 ORDER BY [Title] ASC");
  EXPECT_EQ(Titles(db_->mQuery(kBook, &equal, &byTitle)), "Gamma,O'Hara's Tale");
  CDASort bySystem;
  bySystem.mInit(0, 1);
  EXPECT_EQ(Titles(db_->mQueryType(kBook, &bySystem)), "Alpha,O'Hara's Tale,50% Off*,beta,Gamma");
  // A sort with a negative field index orders nothing.
  CDASort none;
  none.mInit(-1, 1);
  EXPECT_EQ(std::string(db_->mGetQuerySql(kBook, nullptr, &none)), "SELECT * FROM [Book] ");
  // Nothing found: null.
  CDALongSelect huge(kBook, 2, 100000, 2);
  EXPECT_EQ(db_->mQuery(kBook, &huge, nullptr), nullptr);
}

TEST_P(RelationalTest, FindByNameTakesAnyTextAsAName) {
  CDASysType::mRegisterType(db_.get(), 300, "O'Hara", "d", 0, 0);
  CDASysType::mRegisterType(db_.get(), 301, "Other", "d", 0, 0);
  CPDString name("o'hara");  // names compare without case, as the engine's texts do
  OwnedPtr<CDADataIterator> found(db_->mFindByName(kDASysTypes, &name));
  ASSERT_TRUE(found);
  CPDLong type;
  found->mGetField(1, &type);
  EXPECT_EQ(type.mGetValue(), 300);
  EXPECT_EQ(found->mGetRecordCount(), 1);
  CPDString inject("x' OR '1'='1");
  EXPECT_EQ(db_->mFindByName(kDASysTypes, &inject), nullptr);
  OwnedPtr<CDADataIterator> byType(db_->mFindByType(kDASysTypes, 301));
  ASSERT_TRUE(byType);
  CPDString typeName;
  byType->mGetField(2, &typeName);
  EXPECT_EQ(Str(typeName), "Other");
}

TEST_P(RelationalTest, SelectionsFindTheRightRecords) {
  MakeBookType();
  AddLibrary();
  CDASort bySystem;
  bySystem.mInit(0, 1);
  CDAStringSelect begins(kBook, 1, "AL", 0);
  EXPECT_EQ(Titles(db_->mQuery(kBook, &begins, &bySystem)), "Alpha");
  CDAStringSelect quote(kBook, 1, "'Hara", 1);
  EXPECT_EQ(Titles(db_->mQuery(kBook, &quote, &bySystem)), "O'Hara's Tale");
  // The wildcard characters of a text match only themselves.
  CDAStringSelect star(kBook, 1, "f*", 2);
  EXPECT_EQ(Titles(db_->mQuery(kBook, &star, &bySystem)), "50% Off*");
  CDAStringSelect percent(kBook, 1, "0%", 1);
  EXPECT_EQ(Titles(db_->mQuery(kBook, &percent, &bySystem)), "50% Off*");
  CDAStringSelect equalsAnyCase(kBook, 1, "BETA", -1);
  EXPECT_EQ(Titles(db_->mQuery(kBook, &equalsAnyCase, &bySystem)), "beta");
  // A visitor's text cannot turn into SQL.
  CDAStringSelect inject(kBook, 1, "x' OR '1'='1", -1);
  EXPECT_EQ(db_->mQuery(kBook, &inject, &bySystem), nullptr);

  // (Pages = 250 OR Pages < 50) AND Title begins with "g": the OR stays together.
  CDALongSelect is250(kBook, 2, 250, 0), under50(kBook, 2, 50, 1);
  CDAStringSelect g(kBook, 1, "g", 0);
  CDAOrSelect either;  // its parts live on the stack: a plain OR, which does not free them
  either.mAddSelect(&is250);
  either.mAddSelect(&under50);
  CDAAndSelect both;
  both.mAddSelect(&either);
  both.mAddSelect(&g);
  EXPECT_EQ(std::string(db_->mGetQuerySql(kBook, &both, nullptr)),
            "SELECT * FROM [Book] WHERE ([Pages] = 250 OR [Pages] < 50) AND [Title] like 'g*' ");
  EXPECT_EQ(Titles(db_->mQuery(kBook, &both, &bySystem)), "Gamma");

  CDAInLongSelect in(kBook, 0);
  in.mAddValue(2);
  in.mAddValue(4);
  EXPECT_EQ(Titles(db_->mQuery(kBook, &in, &bySystem)), "O'Hara's Tale,beta");
}

TEST_P(RelationalTest, IteratorPositionsAndCountsKeepTheCurrentRecord) {
  MakeBookType();
  AddLibrary();
  CDASort bySystem;
  bySystem.mInit(0, 1);
  OwnedPtr<CDADataIterator> it(db_->mQueryType(kBook, &bySystem));
  ASSERT_TRUE(it);
  EXPECT_EQ(it->mIsBOF(), 0);
  it->mMoveNext();
  EXPECT_EQ(it->mGetRecordCount(), 5);
  CPDLong key;
  it->mGetField(0, &key);
  EXPECT_EQ(key.mGetValue(), 2);  // the count kept the position
  EXPECT_EQ(it->mSetAbsolutePosition(4), 1);
  it->mGetField(0, &key);
  EXPECT_EQ(key.mGetValue(), 5);
  EXPECT_EQ(it->mSetAbsolutePosition(5), 0);
  it->mGetField(0, &key);
  EXPECT_EQ(key.mGetValue(), 5);  // unchanged
  it->mMoveNext();
  EXPECT_NE(it->mIsEOF(), 0);
  it->mMoveNext();  // nothing happens at the end
  EXPECT_EQ(it->mGetRecordCount(), 5);
  EXPECT_NE(it->mIsEOF(), 0);
  it->mMoveFirst();
  it->mMovePrev();
  EXPECT_NE(it->mIsBOF(), 0);
  it->mMoveLast();
  it->mGetField(0, &key);
  EXPECT_EQ(key.mGetValue(), 5);
}

TEST_P(RelationalTest, RolledBackRecordsAreGone) {
  MakeBookType();
  db_->mBeginTransaction();
  AddBook(1, "Kept?", 1);
  db_->mRollback();
  EXPECT_EQ(db_->mQueryType(kBook, nullptr), nullptr);
  db_->mBeginTransaction();
  AddBook(2, "Kept", 1);
  db_->mCommitTransaction(nullptr);
  EXPECT_EQ(Titles(db_->mQueryType(kBook, nullptr)), "Kept");
}

TEST_P(RelationalTest, OpenIsReadOnlyUnlessTheAccessRuleAsksForWriting) {
  MakeBookType();
  AddBook(1, "Alpha", 1);
  db_->mClose();
  CDARelationalDatabase reader;
  ASSERT_EQ(reader.mOpen(source_->name().c_str()), 1);
  EXPECT_EQ(reader.mIsWritable(), 0);
  EXPECT_EQ(Titles(reader.mQueryType(kBook, nullptr)), "Alpha");
  try {
    OwnedPtr<CDADataObject> rec(reader.mNewRecord(kBook));
    ADD_FAILURE() << "a record was started on a read-only database";
  } catch (CDaoException* e) {
    EXPECT_FALSE(DescriptionOf(e).empty());
  }
  reader.mClose();
  CDARelationalDatabase writer;
  ASSERT_EQ(writer.mOpen((source_->name() + "|1").c_str()), 1);
  EXPECT_EQ(writer.mIsWritable(), 1);
  OwnedPtr<CDADataObject> rec(writer.mNewRecord(kBook));
  CPDLong key(2);
  rec->mSetField(0, &key);
  EXPECT_EQ(rec->mUpdateRecord(), 1);
  CDARelationalDatabase zero;
  ASSERT_EQ(zero.mOpen((source_->name() + "|0").c_str()), 1);
  EXPECT_EQ(zero.mIsWritable(), 0);
}

TEST_P(RelationalTest, UnknownTypeIsAClearError) {
  try {
    OwnedPtr<CDADataIterator> it(db_->mQueryType(4242, nullptr));
    ADD_FAILURE() << "queried a type the catalog does not know";
  } catch (CDaoException* e) {
    EXPECT_NE(DescriptionOf(e).find("4242"), std::string::npos);
  }
}

// The handler opens an external source through the relational back end when a provider names
// it, read-only, and closes it at mExit.
class OneSource : public CDAConnectStringProvider {
 public:
  explicit OneSource(std::string connect) : mConnect(std::move(connect)) {}
  int mGetConnectString(CDADatabase*, LONG index, CPDString* connect, CPDBuffer*) override {
    if (index != 7) return 0;
    *connect = mConnect.c_str();
    return 1;
  }

 private:
  std::string mConnect;
};

TEST_P(RelationalTest, HandlerOpensAnExternalSourceReadOnly) {
  MakeBookType();
  AddBook(1, "Alpha", 10);
  db_->mClose();
  CDAHandler::mSetConnectStringProvider(new OneSource(source_->name()));
  CDADatabase* external = CDAHandler::mGetDatabase(7);
  ASSERT_NE(external, nullptr);
  EXPECT_EQ(external->mGetTypeFlags(), kDATypeRelational);
  EXPECT_EQ(CDAHandler::mGetDatabase(7), external);
  EXPECT_EQ(Titles(external->mQueryType(kBook, nullptr)), "Alpha");
  EXPECT_EQ(static_cast<CDARelationalDatabase*>(external)->mIsWritable(), 0);
  EXPECT_EQ(CDAHandler::mGetDatabase(8), nullptr);  // the provider names nothing there
  CDAHandler::mExit();
}


// The locking wrapper over the relational back end. Through the wrapper the type's table is
// laid out as fUserID, fPersisTransID, System, Title, Pages, fName: the lock columns are
// inner fields 0 and 1 and the wrapper's field n is the inner field n + 2.
class LockedRelational : public RelationalTest {
 protected:
  void SetUp() override {
    RelationalTest::SetUp();
    if (HasFatalFailure()) return;
    lock_ = std::make_unique<CDALockDatabase>(db_.release());
    CDASysType::mRegisterType(lock_.get(), kBook, "Book", "dBook", 0, 0);
    lock_->mCreateTypeTable(kBook, "Book");
    CDASysType::mRegisterField(lock_.get(), 0, kBook, "System", kDAKindLong, 0);
    const struct {
      const char* name;
      LONG kind;
      LONG number;
    } fields[] = {{"Title", kDAKindText, 1}, {"Pages", kDAKindLong, 2}, {"fName", kDAKindText, 3}};
    for (const auto& f : fields) {
      LONG number = lock_->mAddField(kBook, f.name, f.kind);
      EXPECT_EQ(number, f.number) << f.name;
      CDASysType::mRegisterField(lock_.get(), number, kBook, f.name, f.kind, 0);
    }
    lock_->mSetContext(-1, 0);
    AddLockedBook(1, "Free", 10);
    AddLockedBook(2, "Other", 20);
    SetLocks("Other", 9, 90);  // taken by user 9 in transaction 90
  }
  void TearDown() override {
    if (lock_) lock_->mClose();
    lock_.reset();
  }

  CDARelationalDatabase* Inner() { return static_cast<CDARelationalDatabase*>(lock_->mGetInner()); }

  void AddLockedBook(LONG system, const char* title, LONG pages) {
    OwnedPtr<CDADataObject> rec(lock_->mNewRecord(kBook));
    ASSERT_TRUE(rec);
    CPDLong key(system), count(pages);
    CPDString name(title);
    rec->mSetField(0, &key);
    rec->mSetField(1, &name);
    rec->mSetField(2, &count);
    rec->mSetField(3, &name);
    ASSERT_NE(rec->mUpdateRecord(), 0);
  }

  void SetLocks(const char* title, LONG user, LONG transaction) {
    CDAStringSelect which(kBook, 3, CPDString(title), -1);
    OwnedPtr<CDADataIterator> it(Inner()->mQuery(kBook, &which, nullptr));
    ASSERT_TRUE(it);
    CPDLong u(user), t(transaction);
    it->mSetField(0, &u);
    it->mSetField(1, &t);
    ASSERT_NE(it->mUpdateRecord(), 0);
  }

  // Every stored row as Title/Pages/fUserID/fPersisTransID, in the order of those texts.
  std::vector<std::string> InnerRows() {
    std::vector<std::string> out;
    OwnedPtr<CDADataIterator> it(Inner()->mQueryType(kBook, nullptr));
    for (; it && it->mIsEOF() == 0; it->mMoveNext()) {
      CPDLong u(-7), t(-7), pages(-7);
      CPDString title;
      it->mGetField(0, &u);
      it->mGetField(1, &t);
      it->mGetField(3, &title);
      it->mGetField(4, &pages);
      out.push_back(Str(title) + "/" + std::to_string(pages.mGetValue()) + "/" + std::to_string(u.mGetValue()) +
                    "/" + std::to_string(t.mGetValue()));
    }
    std::sort(out.begin(), out.end());
    return out;
  }

  // Titles of a result read through the wrapper's field 1.
  static std::vector<std::string> Seen(CDADataIterator* it) {
    OwnedPtr<CDADataIterator> owned(it);
    std::vector<std::string> out;
    for (; owned && owned->mIsEOF() == 0; owned->mMoveNext()) {
      CPDString title;
      owned->mGetField(1, &title);
      out.push_back(Str(title));
    }
    return out;
  }

  std::unique_ptr<CDALockDatabase> lock_;
};

using Seen_ = std::vector<std::string>;

TEST_P(LockedRelational, TheTableAndTheCatalogCarryTheLockColumnsFirst) {
  CDaoTableDef def(Inner()->mGetDaoDatabase());
  def.Open("Book");
  ASSERT_EQ(def.GetFieldCount(), 6);
  const char* expected[] = {"fUserID", "fPersisTransID", "System", "Title", "Pages", "fName"};
  for (int i = 0; i < 6; ++i) {
    CDaoFieldInfo info;
    def.GetFieldInfo(i, info);
    EXPECT_STREQ(static_cast<const char*>(info.m_strName), expected[i]) << i;
  }
  // The catalog numbers the columns as their positions.
  for (LONG i = 0; i < 6; ++i) {
    CPDString name;
    LONG kind = -1;
    Inner()->mGetFieldName(kBook, i, &name, &kind);
    EXPECT_EQ(Str(name), expected[i]) << i;
  }
  CPDString name;
  LONG kind = -1;
  lock_->mGetFieldName(kBook, 1, &name, &kind);  // the wrapper's field 1 is the inner 3
  EXPECT_EQ(Str(name), "Title");
  EXPECT_EQ(kind, kDAKindText);
  EXPECT_EQ(lock_->mGetTypeFlags(), kDATypeRelational | kDAServiceLocking);
  // Catalog records pass the wrapper unshifted.
  CPDStringArray names;
  lock_->mGetFields(kBook, &names, nullptr);
  EXPECT_EQ(names.mGetNumItems(), 6);
  EXPECT_EQ(CDASysType::mGetOwnerType(lock_.get(), kBook), 0);
  CPDString table;
  CDASysType::mGetNameFromObjectType(lock_.get(), kBook, &table);
  EXPECT_EQ(Str(table), "Book");
  // Records made through the wrapper start free.
  EXPECT_EQ(InnerRows(), (Seen_{"Free/10/0/0", "Other/20/9/90"}));
}

TEST_P(LockedRelational, PlaceholderFieldsComeBeforeTheFirstFieldOfAFlaggedType) {
  constexpr LONG kLog = 101;
  CDASysType::mRegisterType(lock_.get(), kLog, "Log", "dLog", 0, 1);
  CDASysType::mRegisterField(lock_.get(), 0, kLog, "Entry", kDAKindText, 0);
  CPDStringArray names;
  CPDLongArray kinds;
  lock_->mGetFields(kLog, &names, &kinds);
  ASSERT_EQ(names.mGetNumItems(), 3);
  CPDString field;
  names.mGetArrayItem(&field, 0);
  EXPECT_EQ(Str(field), "DummyField_0");
  LONG kind = -1;
  Inner()->mGetFieldName(kLog, 2, &field, &kind);
  EXPECT_EQ(Str(field), "Entry");
  EXPECT_EQ(kind, kDAKindText);

  // A flagged type made through the wrapper lists more catalog entries than its table has
  // columns; taking one of its records still writes a whole companion.
  constexpr LONG kNote = 102;
  CDASysType::mRegisterType(lock_.get(), kNote, "Note", "dNote", 0, 1);
  lock_->mCreateTypeTable(kNote, "Note");
  CDASysType::mRegisterField(lock_.get(), 0, kNote, "System", kDAKindLong, 0);
  LONG text = lock_->mAddField(kNote, "Text", kDAKindText);
  ASSERT_EQ(text, 1);
  CDASysType::mRegisterField(lock_.get(), text, kNote, "Text", kDAKindText, 0);
  {
    OwnedPtr<CDADataObject> rec(lock_->mNewRecord(kNote));
    CPDLong key(8);
    CPDString body("ahoy");
    rec->mSetField(0, &key);
    rec->mSetField(1, &body);
    ASSERT_NE(rec->mUpdateRecord(), 0);
  }
  lock_->mSetContext(3, 30);
  {
    OwnedPtr<CDADataIterator> it(lock_->mQueryType(kNote, nullptr));
    ASSERT_TRUE(it);
    CPDString body("avast");
    it->mSetField(1, &body);
    ASSERT_NE(it->mUpdateRecord(), 0);
  }
  lock_->mSetContext(4, 40);  // another user sees the companion: the record as it was
  OwnedPtr<CDADataIterator> seen(lock_->mQueryType(kNote, nullptr));
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->mGetRecordCount(), 1);
  CPDString body;
  CPDLong key;
  seen->mGetField(1, &body);
  seen->mGetField(0, &key);
  EXPECT_EQ(Str(body), "ahoy");
  EXPECT_EQ(key.mGetValue(), 8);
}

TEST_P(LockedRelational, TheFilterFollowsTheUser) {
  CDASort byTitle;
  byTitle.mInit(1, 1);
  lock_->mSetContext(-1, 0);  // everything
  EXPECT_EQ(Seen(lock_->mQueryType(kBook, &byTitle)), (Seen_{"Free", "Other"}));
  lock_->mSetContext(0, 0);  // no user: records not taken
  EXPECT_EQ(Seen(lock_->mQueryType(kBook, &byTitle)), (Seen_{"Free"}));
  lock_->mSetContext(9, 90);  // free records and its own
  EXPECT_EQ(Seen(lock_->mQueryType(kBook, &byTitle)), (Seen_{"Free", "Other"}));
  byTitle.mInit(1, 0);
  EXPECT_EQ(Seen(lock_->mQueryType(kBook, &byTitle)), (Seen_{"Other", "Free"}));
  lock_->mSetContext(5, 50);  // not one another user holds
  EXPECT_EQ(Seen(lock_->mQueryType(kBook, &byTitle)), (Seen_{"Free"}));

  // Selections move by two and meet the filter.
  CDALongSelect big(kBook, 2, 15, 2);
  lock_->mSetContext(9, 90);
  EXPECT_EQ(Seen(lock_->mQuery(kBook, &big, nullptr)), (Seen_{"Other"}));
  lock_->mSetContext(5, 50);
  EXPECT_EQ(lock_->mQuery(kBook, &big, nullptr), nullptr);
  CDAOrSelectWithDelete either;
  either.mAddSelect(new CDAStringSelect(kBook, 1, CPDString("Fr"), 0));
  either.mAddSelect(new CDALongSelect(kBook, 2, 20, 0));
  lock_->mSetContext(-1, 0);
  EXPECT_EQ(Seen(lock_->mQuery(kBook, &either, &byTitle)), (Seen_{"Other", "Free"}));
  lock_->mSetContext(0, 0);
  EXPECT_EQ(Seen(lock_->mQuery(kBook, &either, &byTitle)), (Seen_{"Free"}));

  // Finds go through the filter too.
  CPDString other("Other");
  lock_->mSetContext(5, 50);
  EXPECT_EQ(lock_->mFindByName(kBook, &other), nullptr);
  lock_->mSetContext(9, 90);
  EXPECT_EQ(Seen(lock_->mFindByName(kBook, &other)), (Seen_{"Other"}));
  EXPECT_EQ(lock_->mFindByClass(kBook, 0), nullptr);
}

TEST_P(LockedRelational, TakingAFreeRecordWritesItsCompanionAndOthersAreRefused) {
  lock_->mSetContext(5, 50);
  {
    OwnedPtr<CDADataIterator> it(lock_->mQueryType(kBook, nullptr));
    ASSERT_TRUE(it);
    CPDLong same(10);
    it->mSetField(2, &same);  // an equal value: nothing written, nothing taken
    EXPECT_EQ(InnerRows(), (Seen_{"Free/10/0/0", "Other/20/9/90"}));
    CPDLong pages(11);
    it->mSetField(2, &pages);
    ASSERT_NE(it->mUpdateRecord(), 0);
  }
  // The taken record and its companion share System 1; the companion keeps the old image.
  EXPECT_EQ(InnerRows(), (Seen_{"Free/10/5/-50", "Free/11/5/50", "Other/20/9/90"}));
  EXPECT_EQ(Seen(lock_->mQueryType(kBook, nullptr)), (Seen_{"Free"}));
  {
    OwnedPtr<CDADataIterator> it(lock_->mQueryType(kBook, nullptr));
    ASSERT_TRUE(it);
    CPDLong pages;
    it->mGetField(2, &pages);
    EXPECT_EQ(pages.mGetValue(), 11);  // user 5 sees its own change
  }
  lock_->mSetContext(7, 70);  // another user sees the record as it was
  {
    OwnedPtr<CDADataIterator> it(lock_->mQueryType(kBook, nullptr));
    ASSERT_TRUE(it);
    EXPECT_EQ(it->mGetRecordCount(), 1);
    CPDLong pages;
    it->mGetField(2, &pages);
    EXPECT_EQ(pages.mGetValue(), 10);
  }
  // A record another user holds refuses the write; its holder may write it again.
  lock_->mSetContext(-1, 0);
  {
    CDAStringSelect which(kBook, 1, CPDString("Other"), -1);
    OwnedPtr<CDADataIterator> it(lock_->mQuery(kBook, &which, nullptr));
    ASSERT_TRUE(it);
    CPDLong pages(99);
    it->mSetField(2, &pages);
    it->mUpdateRecord();
  }
  EXPECT_EQ(InnerRows().at(2), "Other/20/9/90");
  lock_->mSetContext(9, 90);
  {
    CPDString other("Other");
    OwnedPtr<CDADataIterator> it(lock_->mFindByName(kBook, &other));
    ASSERT_TRUE(it);
    CPDLong pages(21);
    it->mSetField(2, &pages);
    ASSERT_NE(it->mUpdateRecord(), 0);
  }
  EXPECT_EQ(InnerRows().at(2), "Other/21/9/90");
  EXPECT_EQ(InnerRows().size(), 3u);  // a held record gets no second companion
}

// Last of the wrapper's cases: the switch holds for the rest of the process.
TEST_P(LockedRelational, AllowingAllUpdatesLetsAnyoneWriteAHeldRecord) {
  CDAStringSelect which(kBook, 1, CPDString("Other"), -1);
  lock_->mSetContext(-1, 0);
  CDALockDatabase::mAllowAllUpdate();
  EXPECT_EQ(CDALockDatabase::mIsAllUpdateAllowed(), 1);
  {
    OwnedPtr<CDADataIterator> it(lock_->mQuery(kBook, &which, nullptr));
    ASSERT_TRUE(it);
    CPDLong pages(99);
    it->mSetField(2, &pages);
    ASSERT_NE(it->mUpdateRecord(), 0);
  }
  // Written in place: still held by user 9, no companion.
  EXPECT_EQ(InnerRows(), (Seen_{"Free/10/0/0", "Other/99/9/90"}));
}

#if RELATIONAL_TEST_ENGINES == 1
INSTANTIATE_TEST_SUITE_P(Engines, RelationalTest, ::testing::Values(DaoEngine::kSqlite, DaoEngine::kSqliteOdbc),
                         [](const auto& info) { return std::string(halyard::testing::DaoEngineName(info.param)); });
INSTANTIATE_TEST_SUITE_P(Engines, LockedRelational, ::testing::Values(DaoEngine::kSqlite, DaoEngine::kSqliteOdbc),
                         [](const auto& info) { return std::string(halyard::testing::DaoEngineName(info.param)); });
#else
INSTANTIATE_TEST_SUITE_P(Engines, RelationalTest, ::testing::Values(DaoEngine::kPostgres),
                         [](const auto& info) { return std::string(halyard::testing::DaoEngineName(info.param)); });
INSTANTIATE_TEST_SUITE_P(Engines, LockedRelational, ::testing::Values(DaoEngine::kPostgres),
                         [](const auto& info) { return std::string(halyard::testing::DaoEngineName(info.param)); });
#endif

}  // namespace
