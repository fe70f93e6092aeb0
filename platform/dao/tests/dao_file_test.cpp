// Database files as other programs and bad files meet them: a missing file, a file that is not
// a database, a file another process holds locked, creating over an existing file, and texts
// that the sqlite3 command-line program reads back as UTF-8.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>

#include "platform/dao/cdaodatabase.h"
#include "platform/dao/cdaoexception.h"
#include "platform/dao/cdaorecordset.h"
#include "platform/dao/cdaotabledef.h"
#include "platform/dao/cdaoworkspace.h"
#include "platform/kernel/testing/scratch_dir.h"
#include "platform/ole/bstr.h"

namespace {

using halyard::testing::ScratchDir;

LONG CodeOf(CDaoException* e, std::string* text = nullptr) {
  LONG code = e->m_pErrorInfo != nullptr ? e->m_pErrorInfo->m_lErrorCode : 0;
  if (text != nullptr && e->m_pErrorInfo != nullptr) *text = std::string(e->m_pErrorInfo->m_strDescription);
  e->Delete();
  return code;
}

std::string RunCommand(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[512];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

void MakeNotes(CDaoDatabase& db) {
  CDaoTableDef def(&db);
  def.Create("Notes");
  def.CreateField("Id", dbLong, 4);
  def.CreateField("Body", dbText, 0);
  def.Append();
}

TEST(DaoFile, MissingFileIsReportedAndNotCreated) {
  ScratchDir dir("dao-file");
  CDaoDatabase db;
  try {
    db.Open(dir.Join("absent.db").c_str());
    ADD_FAILURE() << "a missing file was opened";
  } catch (CDaoException* e) {
    std::string text;
    EXPECT_EQ(CodeOf(e, &text), AFX_DAO_ERROR_NOT_FOUND);
    EXPECT_NE(text.find("absent.db"), std::string::npos) << text;
  }
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(ScratchDir::Read(dir.Join("absent.db")), "");
  FILE* f = std::fopen(dir.Join("absent.db").c_str(), "rb");
  EXPECT_EQ(f, nullptr);
  if (f != nullptr) std::fclose(f);
}

TEST(DaoFile, FileThatIsNotADatabaseIsRefusedAtOpen) {
  ScratchDir dir("dao-file");
  std::string path = dir.Join("notes.txt");
  std::string junk(4096, 'x');
  ScratchDir::Write(path, junk);
  CDaoDatabase db;
  try {
    db.Open(path.c_str());
    ADD_FAILURE() << "a text file was opened as a database";
  } catch (CDaoException* e) {
    EXPECT_EQ(CodeOf(e), AFX_DAO_ERROR_NOT_DATABASE);
  }
  // Nothing was written into it.
  EXPECT_EQ(ScratchDir::Read(path), junk);
}

TEST(DaoFile, CreateNeverReplacesAnExistingFile) {
  ScratchDir dir("dao-file");
  std::string path = dir.Join("keep.db");
  {
    CDaoDatabase db;
    db.Create(path.c_str());
    MakeNotes(db);
  }
  CDaoDatabase again;
  try {
    again.Create(path.c_str());
    ADD_FAILURE() << "an existing database was created over";
  } catch (CDaoException* e) {
    EXPECT_EQ(CodeOf(e), AFX_DAO_ERROR_EXISTS);
  }
  CDaoDatabase db;
  db.Open(path.c_str());
  CDaoTableDef def(&db);
  def.Open("Notes");
  EXPECT_EQ(def.GetFieldCount(), 2);
}

TEST(DaoFile, WriteToAFileLockedByAnotherWriterFailsCleanly) {
  ScratchDir dir("dao-file");
  std::string path = dir.Join("busy.db");
  {
    CDaoDatabase db;
    db.Create(path.c_str());
    MakeNotes(db);
  }
  // Another connection holds the write lock.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  CDaoDatabase db;
  try {
    db.Open(path.c_str());
    CDaoRecordset rs(&db);
    rs.Open(dbOpenDynaset, "SELECT * FROM [Notes]");
    rs.AddNew();
    rs.SetFieldValue(0, COleVariant(static_cast<LONG>(1)));
    rs.Update();
    ADD_FAILURE() << "wrote past another writer's lock";
  } catch (CDaoException* e) {
    std::string text;
    CodeOf(e, &text);
    EXPECT_NE(text.find("locked"), std::string::npos) << text;
  }
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
}

TEST(DaoFile, TextsAreUtf8ForOtherClients) {
  ScratchDir dir("dao-file");
  std::string path = dir.Join("texts.db");
  {
    CDaoDatabase db;
    db.Create(path.c_str());
    MakeNotes(db);
    CDaoRecordset rs(&db);
    rs.Open(dbOpenDynaset, "Notes");
    rs.AddNew();
    rs.SetFieldValue(0, COleVariant(static_cast<LONG>(1)));
    rs.SetFieldValue(1, COleVariant("Cr\xE8me br\xFBl\xE9\x65 \x80 5", VT_BSTRT));
    rs.Update();
  }
  EXPECT_EQ(RunCommand("sqlite3 '" + path + "' 'SELECT Body FROM Notes'"), "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65 \xE2\x82\xAC 5\n");
  // And what another client writes in UTF-8 reads back as Windows-1252.
  RunCommand("sqlite3 '" + path + "' \"INSERT INTO Notes VALUES (2, 'na\xC3\xAFve')\"");
  CDaoDatabase db;
  db.Open(path.c_str(), FALSE, TRUE);
  CDaoRecordset rs(&db);
  rs.Open(dbOpenDynaset, "SELECT * FROM [Notes] WHERE [Id] = 2");
  COleVariant v = rs.GetFieldValue(1);
  ASSERT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(std::string(V_BSTRT(&v), SysStringByteLen(v.bstrVal)), "na\xEFve");
}

TEST(DaoFile, WorkspaceTransactionSpansItsDatabases) {
  ScratchDir dir("dao-file");
  CDaoWorkspace ws;
  ws.Open();
  CDaoDatabase a(&ws), b(&ws);
  a.Create(dir.Join("a.db").c_str());
  b.Create(dir.Join("b.db").c_str());
  MakeNotes(a);
  MakeNotes(b);
  ws.BeginTrans();
  a.Execute("INSERT INTO [Notes] VALUES (1, 'one')");
  b.Execute("INSERT INTO [Notes] VALUES (2, 'two')");
  ws.Rollback();
  for (CDaoDatabase* db : {&a, &b}) {
    CDaoRecordset rs(db);
    rs.Open(dbOpenDynaset, "Notes");
    EXPECT_TRUE(rs.IsEOF());
  }
  try {
    ws.CommitTrans();
    ADD_FAILURE() << "committed without a transaction";
  } catch (CDaoException* e) {
    e->Delete();
  }
}

TEST(DaoFile, OneStatementPerExecute) {
  ScratchDir dir("dao-file");
  CDaoDatabase db;
  db.Create(dir.Join("one.db").c_str());
  MakeNotes(db);
  try {
    db.Execute("INSERT INTO [Notes] VALUES (1, 'a'); DROP TABLE [Notes]");
    ADD_FAILURE() << "a second statement was accepted";
  } catch (CDaoException* e) {
    e->Delete();
  }
  CDaoTableDef def(&db);
  def.Open("Notes");  // still there
  EXPECT_EQ(def.GetFieldCount(), 2);
}

#ifdef PG_ODBC_DRIVER
TEST(DaoFile, UnreachableServerIsAClearError) {
  ScratchDir dir("dao-file");
  CDaoDatabase db;
  try {
    db.Open("", FALSE, FALSE,
            (std::string("ODBC;DRIVER=") + PG_ODBC_DRIVER + ";SERVER=" + dir.path() + ";PORT=5432;DATABASE=x;UID=x;")
                .c_str());
    ADD_FAILURE() << "connected to nothing";
  } catch (CDaoException* e) {
    std::string text;
    EXPECT_EQ(CodeOf(e, &text), AFX_DAO_ERROR_BAD_CONNECT);
    EXPECT_NE(text.find("ODBC connection failed"), std::string::npos) << text;
  }
  EXPECT_FALSE(db.IsOpen());
}
#endif

}  // namespace
