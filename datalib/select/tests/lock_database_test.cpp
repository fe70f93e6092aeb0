// The locking wrapper: queries see records through the visibility filter with fields moved
// past the two lock columns, and writes through its records take, respect or skip locks.
#include <gtest/gtest.h>

#include <memory>

#include "datalib/access/cda_lock_database.h"
#include "datalib/values/cpd_long.h"
#include "memory_database.h"

namespace {

using vaultkit_test::MemoryDatabase;
using vaultkit_test::MemoryRow;

constexpr LONG kType = 20;

class LockDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    inner = new MemoryDatabase();
    inner->AddType(kType, {{"fUserID", kDAKindLong},
                           {"fPersisTransID", kDAKindLong},
                           {"Title", kDAKindText},
                           {"Pages", kDAKindLong}});
    lock = std::make_unique<CDALockDatabase>(inner);
  }

  // A stored row: user, transaction, title, pages.
  void AddRow(LONG user, LONG transaction, const char* title, LONG pages) {
    MemoryRow row;
    row[0] = COleVariant(static_cast<LONG>(user), static_cast<VARTYPE>(VT_I4));
    row[1] = COleVariant(static_cast<LONG>(transaction), static_cast<VARTYPE>(VT_I4));
    row[2] = COleVariant(title, static_cast<VARTYPE>(VT_BSTRT));  // as CPDString stores texts
    row[3] = COleVariant(static_cast<LONG>(pages), static_cast<VARTYPE>(VT_I4));
    inner->rows[kType].push_back(row);
  }

  LONG InnerLong(size_t row, LONG field) {
    CPDLong v(-999);
    v.mConvertFromOleVariant(inner->rows[kType].at(row)[field]);
    return v.mGetValue();
  }
  std::string InnerText(size_t row, LONG field) {
    CPDString v;
    v.mConvertFromOleVariant(inner->rows[kType].at(row)[field]);
    return static_cast<char*>(v);
  }

  MemoryDatabase* inner = nullptr;
  std::unique_ptr<CDALockDatabase> lock;
};

TEST_F(LockDatabase, QueriesCarryTheVisibilityFilterOfTheContextUser) {
  AddRow(0, 0, "free", 1);
  CDASort sort;
  sort.mInit(1, 1);
  lock->mSetContext(7, 99);
  std::unique_ptr<CDADataIterator> all(lock->mQueryType(kType, &sort));
  ASSERT_NE(all, nullptr);
  ASSERT_FALSE(inner->calls.empty());
  EXPECT_EQ(inner->calls.front(), "query");
  EXPECT_EQ(inner->lastCondition,
            "([fUserID] = 7 AND [fPersisTransID] > 0) OR ([fUserID] <> 7 AND [fPersisTransID] <= 0)");
  EXPECT_EQ(inner->lastSortField, 3);  // raised past the lock columns

  CDAStringSelect title(kType, 0, CPDString("fr"), 0);
  lock->mSetContext(0, 0);
  std::unique_ptr<CDADataIterator> some(lock->mQuery(kType, &title, nullptr));
  EXPECT_EQ(inner->lastCondition, "[Title] like 'fr*' AND [fPersisTransID] <= 0");
  EXPECT_EQ(inner->lastSortField, -100);

  lock->mSetContext(-1, 0);  // no filter at all
  inner->calls.clear();
  std::unique_ptr<CDADataIterator> plain(lock->mQueryType(kType, nullptr));
  EXPECT_EQ(inner->calls, std::vector<std::string>{"queryType"});
  std::unique_ptr<CDADataIterator> selected(lock->mQuery(kType, &title, nullptr));
  EXPECT_EQ(inner->lastCondition, "[Title] like 'fr*'");
  EXPECT_EQ(lock->mFindByClass(kType, 1), nullptr);
}

TEST_F(LockDatabase, ResultsReadTheTypesOwnFieldsBehindTheLockColumns) {
  AddRow(0, 0, "first", 10);
  lock->mSetContext(-1, 0);
  std::unique_ptr<CDADataIterator> it(lock->mQueryType(kType, nullptr));
  ASSERT_NE(it, nullptr);
  CPDString title;
  CPDLong pages;
  it->mGetFieldString(0, &title);
  it->mGetFieldLong(1, &pages);
  EXPECT_STREQ(static_cast<char*>(title), "first");
  EXPECT_EQ(pages.mGetValue(), 10);
  EXPECT_EQ(it->mGetRecordCount(), 1);
  EXPECT_FALSE(it->mIsEOF());
  it->mMoveNext();
  EXPECT_TRUE(it->mIsEOF());
}

TEST_F(LockDatabase, AFreeRecordIsTakenByTheFirstWriteOfAUserInATransaction) {
  AddRow(0, 0, "free", 1);
  lock->mSetContext(7, 99);
  std::unique_ptr<CDADataIterator> it(lock->mQueryType(kType, nullptr));
  ASSERT_NE(it, nullptr);
  CPDString same("free");
  it->mSetFieldString(0, &same);  // an equal value writes nothing and takes nothing
  EXPECT_EQ(InnerLong(0, 0), 0);
  CPDString changed("mine");
  it->mSetFieldString(0, &changed);
  EXPECT_EQ(InnerText(0, 2), "mine");
  EXPECT_EQ(InnerLong(0, 0), 7);
  EXPECT_EQ(InnerLong(0, 1), 99);
  // The companion record holds the user and the negated transaction.
  ASSERT_EQ(inner->rows[kType].size(), 2u);
  EXPECT_EQ(InnerLong(1, 0), 7);
  EXPECT_EQ(InnerLong(1, 1), -99);
}

TEST_F(LockDatabase, ARecordHeldByAnotherUserRefusesWritesUntilAllUpdatesAreAllowed) {
  AddRow(8, 5, "theirs", 1);
  lock->mSetContext(7, 99);
  std::unique_ptr<CDADataIterator> it(lock->mQueryType(kType, nullptr));
  ASSERT_NE(it, nullptr);
  CPDLong pages(40);
  it->mSetFieldLong(1, &pages);
  EXPECT_EQ(InnerLong(0, 3), 1);
  lock->mSetContext(8, 5);
  it->mSetFieldLong(1, &pages);  // the holder itself may write
  EXPECT_EQ(InnerLong(0, 3), 40);
  EXPECT_EQ(InnerLong(0, 0), 8);

  // Process-wide and never undone: this stays the last check of the suite that needs it off.
  lock->mSetContext(7, 99);
  CPDLong more(41);
  CDALockDatabase::mAllowAllUpdate();
  it->mSetFieldLong(1, &more);
  EXPECT_EQ(InnerLong(0, 3), 41);
  EXPECT_EQ(InnerLong(0, 0), 8);  // still held by its user
}

TEST_F(LockDatabase, ContextPairsClearTheTransactionWhenTheyMatchIt) {
  lock->mSetContext(7, 99);
  EXPECT_EQ(lock->mGetContextType(), 99);
  lock->mContextPairA(7, 98);
  EXPECT_EQ(lock->mGetContextType(), 99);
  lock->mContextPairB(7, 99);
  EXPECT_EQ(lock->mGetContextType(), 0);
  EXPECT_EQ(lock->mGetContextUser(), 7);
  lock->mSetContext(7, 99);
  lock->mClearContext();
  EXPECT_EQ(lock->mGetContextType(), 0);
  EXPECT_EQ(lock->mGetContextUser(), 0);
}

TEST_F(LockDatabase, NewTypesGetTheTwoLockColumnsAndNewRecordsWriteBehindThem) {
  lock->mCreateTypeTable(33, CPDString("Books"));
  EXPECT_EQ(lock->mAddField(33, CPDString("Title"), kDAKindText), 0);
  ASSERT_EQ(inner->catalog[33].size(), 3u);
  EXPECT_EQ(inner->catalog[33][0].name, "fUserID");
  EXPECT_EQ(inner->catalog[33][1].name, "fPersisTransID");
  std::unique_ptr<CDADataObject> record(lock->mNewRecord(33));
  ASSERT_NE(record, nullptr);
  CPDString title("new");
  record->mSetFieldString(0, &title);
  record->mUpdateRecord();
  ASSERT_EQ(inner->rows[33].size(), 1u);
  CPDString stored;
  stored.mConvertFromOleVariant(inner->rows[33][0][2]);
  EXPECT_STREQ(static_cast<char*>(stored), "new");
}

}  // namespace
