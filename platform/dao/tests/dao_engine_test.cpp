// The DAO classes on every engine they serve: the same cases run on a SQLite file, on SQLite
// through its ODBC driver and (in the e2e build of this file) on a PostgreSQL server through
// its ODBC driver, started by the test fixture. Texts go in and out as Windows-1252.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "platform/dao/cdaodatabase.h"
#include "platform/dao/cdaoexception.h"
#include "platform/dao/cdaorecordset.h"
#include "platform/dao/cdaotabledef.h"
#include "platform/dao/cdaoworkspace.h"
#include "platform/dao/engine.h"
#include "platform/kernel/testing/scratch_dir.h"
#include "platform/ole/bstr.h"
#include "platform/ole/safearray.h"

namespace {

using halyard::testing::ScratchDir;

enum class Engine { kSqlite, kSqliteOdbc, kPostgres };

std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
  switch (info.param) {
    case Engine::kSqlite: return "SQLite";
    case Engine::kSqliteOdbc: return "SQLiteOdbc";
    default: return "PostgreSQL";
  }
}

// The description of a CDaoException, which the test deletes.
std::string Message(CDaoException* e) {
  std::string text = e->m_pErrorInfo != nullptr ? std::string(e->m_pErrorInfo->m_strDescription) : "";
  e->Delete();
  return text;
}

LONG Code(CDaoException* e) {
  LONG code = e->m_pErrorInfo != nullptr ? e->m_pErrorInfo->m_lErrorCode : 0;
  e->Delete();
  return code;
}

COleVariant Text(const char* ansi) { return COleVariant(ansi, VT_BSTRT); }

std::string TextOf(const COleVariant& v) {
  if (v.vt != VT_BSTR) return "<vt " + std::to_string(v.vt) + ">";
  return std::string(V_BSTRT(&v), SysStringByteLen(v.bstrVal));
}

COleVariant Bytes(const std::string& bytes) {
  COleVariant v;
  SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  void* data = nullptr;
  SafeArrayAccessData(psa, &data);
  std::copy(bytes.begin(), bytes.end(), static_cast<char*>(data));
  SafeArrayUnaccessData(psa);
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = psa;
  return v;
}

std::string BytesOf(const COleVariant& v) {
  if (v.vt != (VT_ARRAY | VT_UI1)) return "<vt " + std::to_string(v.vt) + ">";
  void* data = nullptr;
  SafeArrayAccessData(v.parray, &data);
  std::string out(static_cast<char*>(data), v.parray->rgsabound[0].cElements);
  SafeArrayUnaccessData(v.parray);
  return out;
}

class DaoEngineTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    switch (GetParam()) {
      case Engine::kSqlite:
        name_ = scratch_.Join("test.db");
        break;
      case Engine::kSqliteOdbc:
#ifdef SQLITE_ODBC_DRIVER
        if (std::string(SQLITE_ODBC_DRIVER).empty() || std::string(SQLITE_ODBC_DRIVER).find("NOTFOUND") != std::string::npos)
          GTEST_FAIL() << "the SQLite ODBC driver was not found at configure time";
        connect_ = std::string("ODBC;DRIVER=") + SQLITE_ODBC_DRIVER + ";DATABASE=" + scratch_.Join("test.db") + ";";
#endif
        break;
      case Engine::kPostgres: {
        const char* fixture = std::getenv("HALYARD_PG_FIXTURE");
        ASSERT_NE(fixture, nullptr) << "HALYARD_PG_FIXTURE is not set; run through ctest";
        std::string server = ScratchDir::Read(std::string(fixture) + "/connect");
        while (!server.empty() && (server.back() == '\n' || server.back() == '\r')) server.pop_back();
        ASSERT_FALSE(server.empty()) << "the PostgreSQL fixture did not start";
        // One fresh database per test, dropped at the end.
        static std::atomic<int> counter{0};
        pgName_ = "dao_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        admin_ = std::make_unique<CDaoDatabase>();
        admin_->Open("", FALSE, FALSE, ("ODBC;" + server).c_str());
        admin_->Engine().PrepareNative("CREATE DATABASE " + pgName_)->Step();
        std::string own = server;
        std::size_t at = own.find("DATABASE=postgres");
        own.replace(at, 17, "DATABASE=" + pgName_);
        connect_ = "ODBC;" + own;
        break;
      }
    }
    db_ = std::make_unique<CDaoDatabase>();
    OpenForWriting(*db_);
  }

  void TearDown() override {
    if (db_) db_->Close();
    if (admin_ && !pgName_.empty()) {
      try {
        admin_->Engine().PrepareNative("DROP DATABASE IF EXISTS " + pgName_)->Step();
      } catch (CDaoException* e) {
        e->Delete();
      }
    }
  }

  // A new database file, or the server's database opened for writing.
  void OpenForWriting(CDaoDatabase& db) {
    if (connect_.empty()) {
      if (std::ifstream(name_).good()) {
        db.Open(name_.c_str());
      } else {
        db.Create(name_.c_str());
      }
    } else {
      db.Open("", FALSE, FALSE, connect_.c_str());
    }
  }
  void OpenReadOnly(CDaoDatabase& db) {
    if (connect_.empty()) {
      db.Open(name_.c_str(), FALSE, TRUE);
    } else {
      db.Open("", FALSE, TRUE, connect_.c_str());
    }
  }

  // People(System long key, Name text, Photo binary, Born date, Height double).
  void MakePeople() {
    CDaoTableDef def(db_.get());
    def.Create("People");
    def.CreateField("System", dbLong, 4);
    def.CreateField("Name", dbText, 255);
    def.CreateField("Photo", dbLongBinary, 0);
    def.CreateField("Born", dbDate, 8);
    def.CreateField("Height", dbDouble, 8);
    CDaoIndexFieldInfo key;
    key.m_strName = "System";
    CDaoIndexInfo index;
    index.m_strName = "Primary";
    index.m_pFieldInfos = &key;
    index.m_nFields = 1;
    index.m_bPrimary = TRUE;
    index.m_bUnique = TRUE;
    def.CreateIndex(index);
    def.Append();
  }

  void AddPerson(LONG system, const char* name) {
    CDaoRecordset rs(db_.get());
    rs.Open(dbOpenDynaset, "SELECT * FROM [People]");
    rs.AddNew();
    rs.SetFieldValue(0, COleVariant(system));
    rs.SetFieldValue("Name", Text(name));
    rs.Update();
  }

  std::string NamesOf(const char* sql) {
    CDaoRecordset rs(db_.get());
    rs.Open(dbOpenDynaset, sql);
    std::string names;
    while (!rs.IsEOF()) {
      if (!names.empty()) names += ",";
      names += TextOf(rs.GetFieldValue(1));
      rs.MoveNext();
    }
    return names;
  }

  ScratchDir scratch_{"dao-test"};
  std::string name_;
  std::string connect_;
  std::string pgName_;
  std::unique_ptr<CDaoDatabase> admin_;
  std::unique_ptr<CDaoDatabase> db_;
};

TEST_P(DaoEngineTest, TableDefinitionKeepsFieldsTypesAndPrimaryIndex) {
  MakePeople();
  CDaoTableDef def(db_.get());
  def.Open("People");
  ASSERT_EQ(def.GetFieldCount(), 5);
  CDaoFieldInfo info;
  const char* names[] = {"System", "Name", "Photo", "Born", "Height"};
  const short types[] = {dbLong, dbText, dbLongBinary, dbDate, dbDouble};
  for (int i = 0; i < 5; ++i) {
    def.GetFieldInfo(i, info);
    EXPECT_STREQ(info.m_strName, names[i]);
    EXPECT_EQ(info.m_nType, types[i]) << names[i];
  }
  ASSERT_EQ(def.GetIndexCount(), 1);
  CDaoIndexInfo index;
  def.GetIndexInfo(0, index);
  EXPECT_TRUE(index.m_bPrimary);
  ASSERT_EQ(index.m_nFields, 1);
  EXPECT_STREQ(index.m_pFieldInfos[0].m_strName, "System");

  // A field added to the existing table comes last.
  def.CreateField("Nick", dbText, 50);
  EXPECT_EQ(def.GetFieldCount(), 6);
  // The primary index refuses a second record with the same key.
  AddPerson(1, "Ann");
  try {
    AddPerson(1, "Bob");
    ADD_FAILURE() << "a duplicate key was accepted";
  } catch (CDaoException* e) {
    EXPECT_FALSE(Message(e).empty());
  }
}

TEST_P(DaoEngineTest, EveryFieldTypeRoundTripsWithWindows1252Text) {
  MakePeople();
  COleDateTime born(1969, 12, 31, 23, 30, 15);
  {
    CDaoRecordset rs(db_.get());
    rs.Open(dbOpenDynaset, "SELECT * FROM [People]");
    ASSERT_TRUE(rs.CanUpdate());
    rs.AddNew();
    rs.SetFieldValue(0, COleVariant(static_cast<LONG>(-7)));
    rs.SetFieldValue(1, Text("Caf\xE9 \x96 50 \x80 O'Hara"));
    rs.SetFieldValue(2, Bytes(std::string("\0\x01\xFFzz", 5)));
    rs.SetFieldValue(3, COleVariant(born));
    rs.SetFieldValue(4, COleVariant(1.875));
    rs.Update();
  }
  CDaoRecordset rs(db_.get());
  rs.Open(dbOpenDynaset, "SELECT * FROM [People]");
  ASSERT_FALSE(rs.IsEOF());
  COleVariant v = rs.GetFieldValue(0);
  ASSERT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, -7);
  EXPECT_EQ(TextOf(rs.GetFieldValue(1)), "Caf\xE9 \x96 50 \x80 O'Hara");
  EXPECT_EQ(BytesOf(rs.GetFieldValue(2)), std::string("\0\x01\xFFzz", 5));
  v = rs.GetFieldValue("Born");
  ASSERT_EQ(v.vt, VT_DATE);
  EXPECT_DOUBLE_EQ(v.date, born.m_dt);
  v = rs.GetFieldValue("height");
  ASSERT_EQ(v.vt, VT_R8);
  EXPECT_DOUBLE_EQ(v.dblVal, 1.875);
  // A field that was never set reads as NULL.
  AddPerson(8, "Bo");
  CDaoRecordset again(db_.get());
  again.Open(dbOpenDynaset, "SELECT * FROM [People] WHERE [System] = 8");
  EXPECT_EQ(again.GetFieldValue(4).vt, VT_NULL);
}

TEST_P(DaoEngineTest, MovesPositionsAndCountsLikeADynaset) {
  MakePeople();
  const char* names[] = {"Ann", "Bob", "Cid", "Dee", "Eve"};
  for (LONG i = 0; i < 5; ++i) AddPerson(i + 1, names[i]);
  CDaoRecordset rs(db_.get());
  rs.Open(dbOpenDynaset, "SELECT * FROM [People] ORDER BY [System] ASC");
  EXPECT_FALSE(rs.IsBOF());
  EXPECT_FALSE(rs.IsEOF());
  EXPECT_EQ(TextOf(rs.GetFieldValue(1)), "Ann");
  EXPECT_EQ(rs.GetAbsolutePosition(), 0);
  // The count is what was reached so far, all of it after MoveLast.
  EXPECT_EQ(rs.GetRecordCount(), 1);
  rs.MoveLast();
  EXPECT_EQ(rs.GetRecordCount(), 5);
  EXPECT_EQ(TextOf(rs.GetFieldValue(1)), "Eve");
  rs.SetAbsolutePosition(2);
  EXPECT_EQ(TextOf(rs.GetFieldValue(1)), "Cid");
  rs.MovePrev();
  EXPECT_EQ(TextOf(rs.GetFieldValue(1)), "Bob");
  rs.Move(3);
  EXPECT_EQ(TextOf(rs.GetFieldValue(1)), "Eve");
  rs.MoveNext();
  EXPECT_TRUE(rs.IsEOF());
  EXPECT_EQ(rs.GetAbsolutePosition(), -1);
  try {
    rs.MoveNext();
    ADD_FAILURE() << "moved past the end";
  } catch (CDaoException* e) {
    EXPECT_EQ(Code(e), AFX_DAO_ERROR_NO_CURRENT);
  }
  try {
    rs.SetAbsolutePosition(5);
    ADD_FAILURE() << "positioned beyond the records";
  } catch (CDaoException* e) {
    EXPECT_EQ(Code(e), AFX_DAO_ERROR_NO_CURRENT);
  }
  rs.MoveFirst();
  rs.MovePrev();
  EXPECT_TRUE(rs.IsBOF());
  try {
    rs.GetFieldValue(1);
    ADD_FAILURE() << "read a field before the first record";
  } catch (CDaoException* e) {
    EXPECT_EQ(Code(e), AFX_DAO_ERROR_NO_CURRENT);
  }
}

TEST_P(DaoEngineTest, EmptyResultIsAtBothEnds) {
  MakePeople();
  CDaoRecordset rs(db_.get());
  rs.Open(dbOpenDynaset, "SELECT * FROM [People]");
  EXPECT_TRUE(rs.IsBOF());
  EXPECT_TRUE(rs.IsEOF());
  EXPECT_EQ(rs.GetRecordCount(), 0);
  EXPECT_EQ(rs.GetFieldCount(), 5);
}

TEST_P(DaoEngineTest, EditChangesOnlyTheCurrentRecordAndDeleteRemovesIt) {
  MakePeople();
  AddPerson(1, "Ann");
  AddPerson(2, "Bob");
  AddPerson(3, "Cid");
  {
    CDaoRecordset rs(db_.get());
    rs.Open(dbOpenDynaset, "SELECT * FROM [People] WHERE [System] > 1 ORDER BY [System]");
    rs.Edit();
    rs.SetFieldValue(1, Text("Bobby"));
    EXPECT_EQ(TextOf(rs.GetFieldValue(1)), "Bobby");  // the edit buffer
    rs.Update();
    EXPECT_EQ(TextOf(rs.GetFieldValue(1)), "Bobby");
    rs.MoveNext();
    rs.Delete();
    try {
      rs.GetFieldValue(1);
      ADD_FAILURE() << "a deleted record is still current";
    } catch (CDaoException* e) {
      e->Delete();
    }
  }
  EXPECT_EQ(NamesOf("SELECT * FROM [People] ORDER BY [System]"), "Ann,Bobby");
  // Update without AddNew or Edit is an error, not a silent no-op.
  CDaoRecordset rs(db_.get());
  rs.Open(dbOpenDynaset, "SELECT * FROM [People]");
  try {
    rs.Update();
    ADD_FAILURE() << "Update without Edit succeeded";
  } catch (CDaoException* e) {
    EXPECT_EQ(Code(e), AFX_DAO_ERROR_UPDATE_NO_EDIT);
  }
}

TEST_P(DaoEngineTest, AddedRecordIsReachedThroughTheLastModifiedBookmark) {
  MakePeople();
  AddPerson(1, "Ann");
  CDaoRecordset rs(db_.get());
  rs.Open(dbOpenDynaset, "SELECT * FROM [People]");
  rs.AddNew();
  rs.SetFieldValue(0, COleVariant(static_cast<LONG>(2)));
  rs.SetFieldValue(1, Text("New"));
  rs.Update();
  rs.SetBookmark(rs.GetLastModifiedBookmark());
  EXPECT_EQ(TextOf(rs.GetFieldValue(1)), "New");
  // The new record can be edited at once.
  rs.Edit();
  rs.SetFieldValue(1, Text("Newer"));
  rs.Update();
  rs.MoveLast();
  EXPECT_EQ(rs.GetRecordCount(), 2);
  EXPECT_EQ(NamesOf("SELECT * FROM [People] ORDER BY [System]"), "Ann,Newer");
}

TEST_P(DaoEngineTest, JetLikeWildcardsAndEqualityIgnoreCase) {
  MakePeople();
  AddPerson(1, "Alice Smith");
  AddPerson(2, "ALAN SMITHERS");
  AddPerson(3, "bob");
  AddPerson(4, "50% off");
  AddPerson(5, "500 off");
  EXPECT_EQ(NamesOf("SELECT * FROM [People] WHERE [Name] like 'al*' ORDER BY [System]"), "Alice Smith,ALAN SMITHERS");
  EXPECT_EQ(NamesOf("SELECT * FROM [People] WHERE [Name] like '*smith' ORDER BY [System]"), "Alice Smith");
  EXPECT_EQ(NamesOf("SELECT * FROM [People] WHERE [Name] like 'b?b'"), "bob");
  EXPECT_EQ(NamesOf("SELECT * FROM [People] WHERE [Name] like '50[%]*'"), "50% off");
  EXPECT_EQ(NamesOf("SELECT * FROM [People] WHERE Name = 'BOB'"), "bob");
  EXPECT_EQ(NamesOf("SELECT * FROM [People] WHERE [Name] = 'O''Brien'"), "");
}

TEST_P(DaoEngineTest, RollbackLeavesNothingAndCommitKeepsAll) {
  MakePeople();
  db_->m_pWorkspace->BeginTrans();
  AddPerson(1, "Ann");
  AddPerson(2, "Bob");
  db_->m_pWorkspace->Rollback();
  EXPECT_EQ(NamesOf("SELECT * FROM [People]"), "");
  db_->m_pWorkspace->BeginTrans();
  AddPerson(3, "Cid");
  db_->m_pWorkspace->CommitTrans();
  db_->Close();
  OpenForWriting(*db_);
  EXPECT_EQ(NamesOf("SELECT * FROM [People]"), "Cid");
}

TEST_P(DaoEngineTest, EngineErrorsArriveWithTheEnginesMessage) {
  CDaoRecordset rs(db_.get());
  try {
    rs.Open(dbOpenDynaset, "SELECT * FROM [NoSuchTable]");
    ADD_FAILURE() << "a missing table was opened";
  } catch (CDaoException* e) {
    std::string text = Message(e);
    EXPECT_NE(text.find("NoSuchTable"), std::string::npos) << text;
  }
  try {
    db_->Execute("SELEKT nothing");
    ADD_FAILURE() << "bad SQL ran";
  } catch (CDaoException* e) {
    EXPECT_FALSE(Message(e).empty());
  }
  EXPECT_FALSE(rs.IsOpen());
}

TEST_P(DaoEngineTest, ReadOnlyDatabaseRefusesEveryWrite) {
  MakePeople();
  AddPerson(1, "Ann");
  db_->Close();
  CDaoDatabase ro;
  OpenReadOnly(ro);
  EXPECT_FALSE(ro.CanUpdate());
  CDaoRecordset rs(&ro);
  rs.Open(dbOpenDynaset, "SELECT * FROM [People]");
  EXPECT_EQ(TextOf(rs.GetFieldValue(1)), "Ann");
  EXPECT_FALSE(rs.CanUpdate());
  try {
    rs.AddNew();
    ADD_FAILURE() << "AddNew on a read-only database";
  } catch (CDaoException* e) {
    EXPECT_EQ(Code(e), AFX_DAO_ERROR_READ_ONLY);
  }
  try {
    ro.Execute("DELETE FROM [People]");
    ADD_FAILURE() << "Execute on a read-only database";
  } catch (CDaoException* e) {
    EXPECT_EQ(Code(e), AFX_DAO_ERROR_READ_ONLY);
  }
  rs.Close();
  ro.Close();
  OpenForWriting(*db_);
  EXPECT_EQ(NamesOf("SELECT * FROM [People]"), "Ann");
}

TEST_P(DaoEngineTest, TableListAndClosingTheDatabaseClosesItsRecordsets) {
  MakePeople();
  ASSERT_GE(db_->GetTableDefCount(), 1);
  bool found = false;
  for (short i = 0; i < db_->GetTableDefCount(); ++i) {
    CDaoTableDefInfo info;
    db_->GetTableDefInfo(i, info);
    if (std::string(info.m_strName) == "People") found = true;
  }
  EXPECT_TRUE(found);
  CDaoRecordset rs(db_.get());
  rs.Open(dbOpenDynaset, "People");
  EXPECT_TRUE(rs.IsOpen());
  db_->Close();
  EXPECT_FALSE(rs.IsOpen());
}

#if DAO_TEST_ENGINES == 2
// A connection the server drops makes the next call fail with the driver's message, and a new
// connection sees nothing of the transaction that was open.
TEST_P(DaoEngineTest, LostServerConnectionIsAClearErrorAndLosesNothingCommitted) {
  MakePeople();
  AddPerson(1, "Kept");
  db_->m_pWorkspace->BeginTrans();
  AddPerson(2, "Lost");
  admin_->Engine()
      .PrepareNative("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + pgName_ +
                     "' AND pid <> pg_backend_pid()")
      ->Step();
  try {
    AddPerson(3, "After");
    db_->m_pWorkspace->CommitTrans();
    ADD_FAILURE() << "wrote through a dropped connection";
  } catch (CDaoException* e) {
    EXPECT_FALSE(Message(e).empty());
  }
  try {
    db_->m_pWorkspace->Rollback();
  } catch (CDaoException* e) {
    e->Delete();
  }
  db_->Close();
  OpenForWriting(*db_);
  EXPECT_EQ(NamesOf("SELECT * FROM [People] ORDER BY [System]"), "Kept");
}

// What the server stores is read by its own client as UTF-8 text.
TEST_P(DaoEngineTest, TextsAreUtf8ForTheServersOwnClient) {
  MakePeople();
  AddPerson(1, "Cr\xE8me \x80 O'Hara");
  std::string fixture = std::getenv("HALYARD_PG_FIXTURE");
  std::string bin = ScratchDir::Read(fixture + "/bin");
  while (!bin.empty() && bin.back() == '\n') bin.pop_back();
  std::size_t at = connect_.find("SERVER=") + 7;
  std::string socket = connect_.substr(at, connect_.find(';', at) - at);
  std::string command = bin + "/psql -h '" + socket + "' -p 5432 -U halyard -d " + pgName_ +
                        " -At -c 'SELECT \"Name\" FROM \"People\"'";
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[256];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  EXPECT_EQ(out, "Cr\xC3\xA8me \xE2\x82\xAC O'Hara\n");
}
#endif

#if DAO_TEST_ENGINES == 1
INSTANTIATE_TEST_SUITE_P(Engines, DaoEngineTest, ::testing::Values(Engine::kSqlite, Engine::kSqliteOdbc), EngineName);
#else
INSTANTIATE_TEST_SUITE_P(Engines, DaoEngineTest, ::testing::Values(Engine::kPostgres), EngineName);
#endif

}  // namespace
