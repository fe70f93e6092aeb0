// The handler: database creation by type and prefix, services, external sources opened
// through the provider, destruction at exit, and the defaults of the database interface.
#include <gtest/gtest.h>

#include <string>

#include "datalib/access/cda_connect_string_provider.h"
#include "datalib/access/cda_handler.h"
#include "datalib/select/tests/memory_database.h"
#include "datalib/values/cpd_buffer.h"
#include "platform/mfc/cobarray.h"

namespace {

using vaultkit_test::MemoryDatabase;

int g_created = 0;
int g_destroyed = 0;
int g_openResult = 1;
int g_providers = 0;  // providers destroyed
std::string g_lastOpened;

CDADatabase* MakeStore() {
  ++g_created;
  auto* db = new MemoryDatabase();
  db->flags = kDATypeObjectStore;
  db->destroyed = &g_destroyed;
  return db;
}

MemoryDatabase* g_lastRelational = nullptr;

CDADatabase* MakeRelational() {
  ++g_created;
  auto* db = new MemoryDatabase();
  db->destroyed = &g_destroyed;
  db->openResult = g_openResult;
  g_lastRelational = db;
  return db;
}

class Provider : public CDAConnectStringProvider {
 public:
  explicit Provider(int* destroyed) : mDestroyed(destroyed) {}
  ~Provider() override { ++*mDestroyed; }
  int mGetConnectString(CDADatabase* defaultDb, LONG index, CPDString* connect,
                        CPDBuffer*) override {
    seenDefault = defaultDb;
    if (index == 13) return 0;
    *connect = ("ODBC;DSN=source" + std::to_string(index)).c_str();
    return 1;
  }
  CDADatabase* seenDefault = nullptr;

 private:
  int* mDestroyed;
};

class Handler : public ::testing::Test {
 protected:
  void SetUp() override {
    g_created = g_destroyed = g_providers = 0;
    g_openResult = 1;
    CDAHandler::mSetDatabaseFactory(kDATypeObjectStore, MakeStore);
    CDAHandler::mSetDatabaseFactory(kDATypeRelational, MakeRelational);
  }
  void TearDown() override {
    CDAHandler::mExit();
    CDAHandler::mSetDatabaseFactory(kDATypeObjectStore, nullptr);
    CDAHandler::mSetDatabaseFactory(kDATypeRelational, nullptr);
  }

  static unsigned short FlagsOf(CDADatabase* db) {
    unsigned short flags = db != nullptr ? db->mGetTypeFlags() : 0;
    delete db;
    return flags;
  }
};

TEST_F(Handler, NewDatabasesAreObjectStoresChosenByTypeOrPrefix) {
  EXPECT_EQ(CDAHandler::mGetDefaultDatabaseType(), 64);
  EXPECT_EQ(CDAHandler::mIsMultiUser(), 0);
  EXPECT_EQ(FlagsOf(CDAHandler::mNewDatabase()), 64);
  EXPECT_EQ(FlagsOf(CDAHandler::mNewDatabase(static_cast<unsigned short>(0))), 64);
  EXPECT_EQ(FlagsOf(CDAHandler::mNewDatabase(static_cast<unsigned short>(64))), 64);
  EXPECT_EQ(CDAHandler::mNewDatabase(static_cast<unsigned short>(16)), nullptr);
  EXPECT_EQ(CDAHandler::mNewDatabase(static_cast<unsigned short>(32)), nullptr);
  EXPECT_EQ(FlagsOf(CDAHandler::mNewDatabase(static_cast<const char*>(nullptr))), 64);
  EXPECT_EQ(FlagsOf(CDAHandler::mNewDatabase("pyx:Smith")), 64);
  EXPECT_EQ(FlagsOf(CDAHandler::mNewDatabase("C:\\sites\\a.qld")), 64);
  EXPECT_EQ(CDAHandler::mNewDatabase("sybase:server"), nullptr);
  EXPECT_EQ(CDAHandler::mNewDatabase("INFORMIX:db"), nullptr);
  EXPECT_EQ(g_created, 6);
  EXPECT_EQ(g_destroyed, 6);
  CDAHandler::mSetDatabaseFactory(kDATypeObjectStore, nullptr);
  EXPECT_EQ(CDAHandler::mNewDatabase(), nullptr);
}

TEST_F(Handler, FixedIndexesAreNeverOpenedOnDemand) {
  CDAHandler::mSetConnectStringProvider(new Provider(&g_providers));
  EXPECT_EQ(CDAHandler::mGetDatabase(3), nullptr);
  EXPECT_EQ(CDAHandler::mGetDatabase(0), nullptr);
  EXPECT_EQ(g_created, 0);
  CDAHandler::mExit();
  EXPECT_EQ(g_providers, 1);
}

TEST_F(Handler, ExternalSourcesOpenThroughTheProviderOnce) {
  EXPECT_EQ(CDAHandler::mGetDatabase(7), nullptr);  // no provider yet
  auto* main = new MemoryDatabase();
  main->destroyed = &g_destroyed;
  CDAHandler::mSetDatabase(0, main);
  auto* provider = new Provider(&g_providers);
  CDAHandler::mSetConnectStringProvider(provider);

  CDADatabase* source = CDAHandler::mGetDatabase(7);
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(provider->seenDefault, main);
  EXPECT_EQ(g_lastRelational->openedWith, "ODBC;DSN=source7");
  EXPECT_EQ(CDAHandler::mGetDatabase(7), source);
  EXPECT_EQ(g_created, 1);
  EXPECT_EQ(CDAHandler::mGetDatabase(13), nullptr);  // the provider knows no such source

  g_openResult = 0;
  EXPECT_EQ(CDAHandler::mGetDatabase(8), nullptr);
  EXPECT_EQ(g_destroyed, 1);  // the database that failed to open
  EXPECT_EQ(CDAHandler::mGetDatabase(8), nullptr);
  EXPECT_EQ(g_created, 3);

  // A default database of the Sybase family asks for a type that cannot be made.
  g_openResult = 1;
  main->flags = kDATypeSybase;
  EXPECT_EQ(CDAHandler::mGetDatabase(9), nullptr);
  EXPECT_EQ(g_created, 3);
}

TEST_F(Handler, ExternalSourcesOpenEvenWithoutADefaultDatabase) {
  CDAHandler::mSetConnectStringProvider(new Provider(&g_providers));
  CDADatabase* source = CDAHandler::mGetDatabase(11);
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(g_lastRelational->openedWith, "ODBC;DSN=source11");
}

TEST_F(Handler, ExitEmptiesTheRegistryAndDestroysTheProvider) {
  auto* db = new MemoryDatabase();
  db->destroyed = &g_destroyed;
  CDAHandler::mSetDatabase(2, db);
  EXPECT_EQ(CDAHandler::mGetDatabase(2), db);
  CDAHandler::mSetConnectStringProvider(new Provider(&g_providers));
  CDAHandler::mExit();
  EXPECT_EQ(g_destroyed, 1);
  EXPECT_EQ(g_providers, 1);
  EXPECT_EQ(CDAHandler::mGetDatabase(2), nullptr);
  EXPECT_EQ(CDAHandler::mGetDatabase(7), nullptr);  // the provider is gone too
  CDAHandler::mExit();                              // nothing left to destroy
  EXPECT_EQ(g_destroyed, 1);
}

// A database that reports into counters that outlive it.
class Closing : public MemoryDatabase {
 public:
  Closing(int* closes, int* deletes) : mCloses(closes), mDeletes(deletes) {}
  ~Closing() override { ++*mDeletes; }
  void mClose() override { ++*mCloses; }

 private:
  int* mCloses;
  int* mDeletes;
};

TEST_F(Handler, ADatabaseUnderAFixedAndAnExternalIndexIsClosedAndDestroyedOnce) {
  int closes[3] = {0, 0, 0}, deletes[3] = {0, 0, 0};
  auto* both = new Closing(&closes[0], &deletes[0]);
  CDAHandler::mSetDatabase(0, both);
  CDAHandler::mSetDatabase(7, both);
  CDAHandler::mSetDatabase(5, new Closing(&closes[1], &deletes[1]));
  CDAHandler::mSetDatabase(-4, new Closing(&closes[2], &deletes[2]));
  CDAHandler::mExit();
  EXPECT_EQ(deletes[0], 1);
  EXPECT_EQ(closes[0], 1);  // destroyed at its last entry, 7, which is external
  EXPECT_EQ(deletes[1], 1);
  EXPECT_EQ(closes[1], 0);
  EXPECT_EQ(deletes[2], 1);
  EXPECT_EQ(closes[2], 1);
}

TEST_F(Handler, SessionFlagsAndTheEngineSessionAreProcessWide) {
  CDAHandler::mSetDefaultSessionFlags(0x44);
  EXPECT_EQ(CDAHandler::mGetDefaultSessionFlags(), 0x44);
  CDAHandler::mSetDefaultSessionFlags(0);
  CDAHandler::mSetEngineSession(new CObArray());
  EXPECT_NE(CDAHandler::mGetEngineSession(), nullptr);
  UninitializeDatabase();
  EXPECT_EQ(CDAHandler::mGetEngineSession(), nullptr);
  UninitializeDatabase();  // twice is harmless
}

TEST(DatabaseDefaults, TheAbstractDatabaseAnswersItsDefaults) {
  MemoryDatabase db;
  db.AddType(4, {{"A", 0}, {"B", 1}, {"C", 5}});
  EXPECT_EQ(db.mGetContextType(), 0);
  EXPECT_EQ(db.mReserved17(), -1);
  EXPECT_EQ(db.mReserved1(), 0);
  CPDStringArray names;
  CPDLongArray kinds;
  db.mGetFieldKindNames(&names, &kinds);
  ASSERT_EQ(names.mGetNumItems(), 4);
  EXPECT_STREQ(static_cast<char*>(names.mGetAt(0)), "Formatted Text");
  EXPECT_STREQ(static_cast<char*>(names.mGetAt(3)), "Date");
  EXPECT_EQ(static_cast<const CPDLongArray&>(kinds)[1], 0);
  EXPECT_EQ(static_cast<const CPDLongArray&>(kinds)[2], 3);

  CPDStringArray fieldNames;
  CPDLongArray fieldKinds, numbers;
  db.mGetFieldNumbers(4, &fieldNames, &fieldKinds, &numbers);
  ASSERT_EQ(numbers.mGetNumItems(), 3);
  EXPECT_EQ(static_cast<const CPDLongArray&>(numbers)[2], 2);
  EXPECT_EQ(static_cast<const CPDLongArray&>(fieldKinds)[2], 5);
  EXPECT_STREQ(static_cast<char*>(fieldNames.mGetAt(1)), "B");
}

}  // namespace
