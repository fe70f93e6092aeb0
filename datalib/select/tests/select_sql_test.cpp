// Selections translated by a database: SQL conditions with quoted texts and literal like
// patterns, parentheses around nested AND/OR parts, and the locking wrapper's shifted form.
#include <gtest/gtest.h>

#include "datalib/access/cda_handler.h"
#include "datalib/access/cda_lock_database.h"
#include "datalib/select/select_shift.h"
#include "memory_database.h"

namespace {

using vaultkit_test::MemoryDatabase;
using vaultkit_test::SqlOf;

// Translates a selection the caller no longer needs, and frees it.
CObject* TranslateAndFree(CDASelect* select, CDADatabase* db) {
  CObject* out = select->mProcessSelect(db);
  delete select;
  return out;
}

class SelectSql : public ::testing::Test {
 protected:
  void SetUp() override {
    db.AddType(20, {{"Title", kDAKindText}, {"Pages", kDAKindLong}, {"Author", kDAKindText}});
  }
  MemoryDatabase db;
};

TEST_F(SelectSql, StringOperatorsBecomeLikePatternsOrEquality) {
  CDAStringSelect s(20, 0, CPDString("abc"), 1);
  EXPECT_EQ(SqlOf(s.mProcessSelect(&db)), "[Title] like '*abc*'");
  s.mSetOperatorType(0);
  EXPECT_EQ(SqlOf(s.mProcessSelect(&db)), "[Title] like 'abc*'");
  s.mSetOperatorType(2);
  EXPECT_EQ(SqlOf(s.mProcessSelect(&db)), "[Title] like '*abc'");
  s.mSetOperatorType(-1);
  EXPECT_EQ(SqlOf(s.mProcessSelect(&db)), "[Title] = 'abc'");
  s.mSetOperatorType(17);
  EXPECT_EQ(SqlOf(s.mProcessSelect(&db)), "[Title] = 'abc'");
}

TEST_F(SelectSql, LongOperatorsAndTheUnknownOperatorMeaningEquality) {
  CDALongSelect n(20, 1, -12, -1);
  EXPECT_EQ(SqlOf(n.mProcessSelect(&db)), "[Pages] = -12");
  n.mSetOperatorType(1);
  EXPECT_EQ(SqlOf(n.mProcessSelect(&db)), "[Pages] < -12");
  n.mSetOperatorType(2);
  EXPECT_EQ(SqlOf(n.mProcessSelect(&db)), "[Pages] > -12");
  n.mSetOperatorType(0);
  EXPECT_EQ(SqlOf(n.mProcessSelect(&db)), "[Pages] = -12");
  // The object store's further comparisons, which the locking wrapper's filter uses.
  n.mSetOperatorType(3);
  EXPECT_EQ(SqlOf(n.mProcessSelect(&db)), "[Pages] <= -12");
  n.mSetOperatorType(4);
  EXPECT_EQ(SqlOf(n.mProcessSelect(&db)), "[Pages] >= -12");
  n.mSetOperatorType(5);
  EXPECT_EQ(SqlOf(n.mProcessSelect(&db)), "[Pages] <> -12");
  n.mSetOperatorType(6);
  EXPECT_EQ(SqlOf(n.mProcessSelect(&db)), "[Pages] = -12");
}

TEST_F(SelectSql, ApostrophesAreDoubledSoATextCannotEndTheLiteral) {
  CDAStringSelect s(20, 2, CPDString("O'Brien"), -1);
  EXPECT_EQ(SqlOf(s.mProcessSelect(&db)), "[Author] = 'O''Brien'");
  CDAStringSelect attack(20, 2, CPDString("x' OR '1'='1"), 1);
  EXPECT_EQ(SqlOf(attack.mProcessSelect(&db)), "[Author] like '*x'' OR ''1''=''1*'");
}

TEST_F(SelectSql, LikeWildcardsInsideTheTextMatchThemselves) {
  CDAStringSelect s(20, 0, CPDString("50*? #1 [a]"), 0);
  EXPECT_EQ(SqlOf(s.mProcessSelect(&db)), "[Title] like '50[*][?] [#]1 [[]a]*'");
  // Equality compares as it is: no pattern, no escapes.
  s.mSetOperatorType(-1);
  EXPECT_EQ(SqlOf(s.mProcessSelect(&db)), "[Title] = '50*? #1 [a]'");
}

TEST_F(SelectSql, AnOrInsideAnAndKeepsItsMeaningThroughParentheses) {
  CDAStringSelect a(20, 0, CPDString("x"), 1);
  CDALongSelect b(20, 1, 100, 2);
  CDAOrSelect either;
  either.mAddSelect(&a);
  either.mAddSelect(&b);
  CDAStringSelect c(20, 2, CPDString("y"), 0);
  CDAAndSelect both;
  both.mAddSelect(&either);
  both.mAddSelect(&c);
  EXPECT_EQ(SqlOf(both.mProcessSelect(&db)),
            "([Title] like '*x*' OR [Pages] > 100) AND [Author] like 'y*'");
  EXPECT_EQ(SqlOf(either.mProcessSelect(&db)), "[Title] like '*x*' OR [Pages] > 100");
  // Each part went through the database, in order.
  EXPECT_EQ(db.calls, (std::vector<std::string>{"and", "or", "string", "long", "string", "or",
                                                "string", "long"}));
}

TEST_F(SelectSql, InListsBecomeInConditionsAndEmptyPartsAreLeftOut) {
  CDAInLongSelect in(20, 1);
  EXPECT_EQ(SqlOf(in.mProcessSelect(&db)), "1 = 0");
  in.mAddValue(3);
  in.mAddValue(-4);
  EXPECT_EQ(SqlOf(in.mProcessSelect(&db)), "[Pages] IN (3, -4)");
  CDAOrSelect empty;
  EXPECT_EQ(empty.mProcessSelect(&db), nullptr);
  CDAAndSelect withHole;
  withHole.mAddSelect(nullptr);
  withHole.mAddSelect(&empty);
  withHole.mAddSelect(&in);
  EXPECT_EQ(SqlOf(withHole.mProcessSelect(&db)), "[Pages] IN (3, -4)");
}

TEST_F(SelectSql, BaseKindsAndNullDatabasesTranslateToNothing) {
  CDATypeSelect plain(20, 0);
  CDAComplexSelect bare;
  CDASelect root;
  EXPECT_EQ(plain.mProcessSelect(&db), nullptr);
  EXPECT_EQ(bare.mProcessSelect(&db), nullptr);
  EXPECT_EQ(root.mProcessSelect(&db), nullptr);
  CDAStringSelect s(20, 0, CPDString("a"), 0);
  EXPECT_EQ(s.mProcessSelect(static_cast<CDADatabase*>(nullptr)), nullptr);
  EXPECT_EQ(s.mProcessSelect(static_cast<CDADataIterator*>(nullptr)), nullptr);
  EXPECT_TRUE(db.calls.empty());
}

TEST_F(SelectSql, ColumnNamesComeFromTheDefaultDatabaseWhenOneIsRegistered) {
  auto* catalog = new MemoryDatabase();
  catalog->AddType(20, {{"Heading", kDAKindText}});
  CDAHandler::mSetDatabase(0, catalog);
  CDAStringSelect s(20, 0, CPDString("a"), 0);
  EXPECT_EQ(SqlOf(s.mProcessSelect(&db)), "[Heading] like 'a*'");
  CDAHandler::mExit();
  EXPECT_EQ(SqlOf(s.mProcessSelect(&db)), "[Title] like 'a*'");
}

// An iterator that answers each selection kind with a condition naming the kind.
class NamingIterator : public vaultkit_test::MemoryIterator {
 public:
  NamingIterator() : MemoryIterator(&mRows, false) {}
  CObject* mProcessStringSelect(CDAStringSelect*) override { return new CDASqlCondition("s"); }
  CObject* mProcessLongSelect(CDALongSelect*) override { return new CDASqlCondition("l"); }
  CObject* mProcessOrSelect(CDAOrSelect*) override { return new CDASqlCondition("o"); }
  CObject* mProcessAndSelect(CDAAndSelect*) override { return new CDASqlCondition("a"); }

 private:
  std::vector<vaultkit_test::MemoryRow> mRows;
};

TEST(SelectIterator, EachKindCallsTheIteratorsOperationAndInListsGetNothing) {
  NamingIterator it;
  CDAStringSelect s;
  CDALongSelect l;
  CDAOrSelectWithDelete o;
  CDAAndSelect a;
  CDAInLongSelect in;
  CDATypeSelect plain;
  EXPECT_EQ(SqlOf(s.mProcessSelect(&it)), "s");
  EXPECT_EQ(SqlOf(l.mProcessSelect(&it)), "l");
  EXPECT_EQ(SqlOf(o.mProcessSelect(&it)), "o");
  EXPECT_EQ(SqlOf(a.mProcessSelect(&it)), "a");
  EXPECT_EQ(in.mProcessSelect(&it), nullptr);
  EXPECT_EQ(plain.mProcessSelect(&it), nullptr);
  // An iterator that does not apply selections answers null for every kind.
  std::vector<vaultkit_test::MemoryRow> rows;
  vaultkit_test::MemoryIterator plainIt(&rows, false);
  EXPECT_EQ(s.mProcessSelect(&plainIt), nullptr);
  EXPECT_EQ(a.mProcessSelect(&plainIt), nullptr);
}

TEST(SelectShift, TheLockFormMovesFieldsByTwoAndOwnsItsParts) {
  CDAStringSelect a(20, 0, CPDString("x"), 1);
  CDAInLongSelect in(20, 3);
  in.mSetOperatorType(4);
  in.mAddValue(9);
  CDAOrSelect either;
  either.mAddSelect(&a);
  either.mAddSelect(&in);
  CDALongSelect b(20, 1, 5, 2);
  CDAAndSelect both;
  both.mAddSelect(&either);
  both.mAddSelect(&b);

  CDASelect* moved = vaultkit::ShiftedSelect(&both, 2);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->GetRuntimeClass(), RUNTIME_CLASS(CDAAndSelectWithDelete));
  auto* m = static_cast<CDAComplexSelect*>(moved);
  auto* mEither = dynamic_cast<CDAOrSelectWithDelete*>(m->mGetSelect(0));
  ASSERT_NE(mEither, nullptr);
  auto* ma = dynamic_cast<CDAStringSelect*>(mEither->mGetSelect(0));
  auto* mIn = dynamic_cast<CDAInLongSelect*>(mEither->mGetSelect(1));
  auto* mb = dynamic_cast<CDALongSelect*>(m->mGetSelect(1));
  ASSERT_TRUE(ma && mIn && mb);
  EXPECT_EQ(ma->mGetObjectField(), 2);
  EXPECT_EQ(ma->mGetOperatorType(), 1);
  EXPECT_STREQ(static_cast<char*>(ma->mGetValue()), "x");
  EXPECT_EQ(mIn->mGetObjectField(), 5);
  EXPECT_EQ(mIn->mGetOperatorType(), 4);
  EXPECT_EQ(mIn->mGetValue(0), 9);
  EXPECT_EQ(mb->mGetObjectField(), 3);
  EXPECT_EQ(mb->mGetValue(), 5);
  EXPECT_EQ(mb->mGetObjectType(), 20);
  delete moved;  // owns the whole tree
  // The originals are untouched.
  EXPECT_EQ(a.mGetObjectField(), 0);
}

TEST(SelectShift, TheLockingWrapperHandsTheShiftedTreeToItsInnerDatabase) {
  auto* inner = new MemoryDatabase();
  inner->AddType(20, {{"fUserID", kDAKindLong},
                      {"fPersisTransID", kDAKindLong},
                      {"Title", kDAKindText},
                      {"Pages", kDAKindLong}});
  CDADatabase* lock = CDAHandler::mAddService(kDAServiceLocking, inner);
  ASSERT_NE(lock, inner);
  EXPECT_EQ(lock->mGetTypeFlags(), kDATypeRelational | kDAServiceLocking);
  CDAStringSelect a(20, 0, CPDString("x"), 1);
  CDALongSelect b(20, 1, 5, 2);
  CDAAndSelect both;
  both.mAddSelect(&a);
  both.mAddSelect(&b);
  EXPECT_EQ(SqlOf(both.mProcessSelect(lock)), "[Title] like '*x*' AND [Pages] > 5");
  CPDString name;
  LONG kind = -1;
  lock->mGetFieldName(20, 1, &name, &kind);
  EXPECT_STREQ(static_cast<char*>(name), "Pages");
  EXPECT_EQ(lock->mAddField(20, CPDString("Year"), kDAKindLong), 2);
  EXPECT_EQ(CDAHandler::mAddService(0, inner), inner);
  delete lock;  // owns the inner database
}

TEST(SelectShift, TheVisibilityFilterFollowsTheUser) {
  EXPECT_EQ(CDALockDatabase::mNewVisibilityFilter(-1, 20), nullptr);
  MemoryDatabase inner;
  inner.AddType(20, {{"fUserID", kDAKindLong}, {"fPersisTransID", kDAKindLong}});
  EXPECT_EQ(SqlOf(TranslateAndFree(CDALockDatabase::mNewVisibilityFilter(0, 20), &inner)),
            "[fPersisTransID] <= 0");
  EXPECT_EQ(SqlOf(TranslateAndFree(CDALockDatabase::mNewVisibilityFilter(7, 20), &inner)),
            "([fUserID] = 7 AND [fPersisTransID] > 0) OR ([fUserID] <> 7 AND [fPersisTransID] <= 0)");
}

}  // namespace
