// The object database engine: store files made, refused and reopened; objects, selections with
// every comparison code, orders, stored queries and identifier lists; file failures raised as
// the platform's exceptions with the store left as it was.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <memory>
#include <string>

#include "datalib/access/cda_handler.h"
#include "datalib/store/pyx_engine.h"
#include "datalib/store/pyx_vfs.h"
#include "platform/kernel/testing/scratch_dir.h"
#include "platform/mfc/cfileexception.h"
#include "platform/mfc/cmemoryexception.h"

namespace {

using namespace vaultkit::pyx;

constexpr LONG kBook = 30;

COleVariant Long(LONG v) { return COleVariant(v, static_cast<VARTYPE>(VT_I4)); }
COleVariant Text(const char* v) { return COleVariant(v, static_cast<VARTYPE>(VT_BSTRT)); }
std::string TextOf(const COleVariant& v) {
  return v.vt == VT_BSTR ? std::string(V_BSTRT(&v), SysStringByteLen(v.bstrVal)) : "<not text>";
}

// Runs job and returns the OS error code of the CFileException it raises (0 when none).
template <typename Job>
LONG FileErrorOf(Job job) {
  try {
    job();
  } catch (CFileException* e) {
    LONG code = e->m_lOsError;
    e->Delete();
    return code;
  }
  return 0;
}

class StoreEngine : public ::testing::Test {
 protected:
  void SetUp() override { path = dir.Join("books.qld"); }

  // A store with books: title (512) and pages (513), committed.
  std::unique_ptr<PyxStore> MakeBooks() {
    auto store = std::make_unique<PyxStore>(path, true, true);
    store->DefineType(kBook, "Book");
    EXPECT_EQ(store->AddAttribute(kBook, 0), 512);
    EXPECT_EQ(store->AddAttribute(kBook, 1), 513);
    const struct {
      const char* title;
      LONG pages;
    } books[] = {{"Sails", 120}, {"Rigging", 80}, {"Knots", 80}, {"sail Plans", 300}, {"Charts", -5}};
    for (const auto& b : books) store->Insert(kBook, {{512, Text(b.title)}, {513, Long(b.pages)}});
    store->Commit();
    return store;
  }

  std::vector<std::string> Titles(PyxStore& store, PyxSelect* select, LONG order = -1, bool ascending = true) {
    PyxQuery query(kBook, select, order, ascending);
    std::unique_ptr<PyxIDList> list(store.Evaluate(query));
    std::vector<std::string> out;
    for (auto id : list->mIds) {
      std::vector<COleVariant> row;
      EXPECT_TRUE(store.Read(kBook, id, &row));
      out.push_back(TextOf(row.at(0)));
    }
    return out;
  }

  halyard::testing::ScratchDir dir{"pyx-engine"};
  std::string path;
};

using Titles_ = std::vector<std::string>;

TEST_F(StoreEngine, LongComparisonCodesAndTheirOrder) {
  auto store = MakeBooks();
  auto pages = [&](LONG code, LONG value) {
    return Titles(*store, new PyxLongSelect(513, value, code), 512);
  };
  EXPECT_EQ(pages(0, 80), (Titles_{"Knots", "Rigging"}));
  EXPECT_EQ(pages(1, 80), (Titles_{"Charts"}));
  EXPECT_EQ(pages(3, 80), (Titles_{"Charts", "Knots", "Rigging"}));
  // Texts order without regard to case ("sail P" before "Sails").
  EXPECT_EQ(pages(4, 80), (Titles_{"sail Plans", "Sails"}));
  EXPECT_EQ(pages(5, 80), (Titles_{"Charts", "sail Plans", "Sails"}));
  EXPECT_EQ(pages(6, 120), (Titles_{"sail Plans", "Sails"}));
  EXPECT_EQ(pages(2, 300), (Titles_{"sail Plans"}));  // unknown codes compare equal
  // Orders: descending by pages, ties in creation order.
  EXPECT_EQ(Titles(*store, nullptr, 513, false), (Titles_{"sail Plans", "Sails", "Rigging", "Knots", "Charts"}));
  EXPECT_EQ(Titles(*store, nullptr), (Titles_{"Sails", "Rigging", "Knots", "sail Plans", "Charts"}));
}

TEST_F(StoreEngine, StringSelectionsIgnoreCaseAndListsCombine) {
  auto store = MakeBooks();
  EXPECT_EQ(Titles(*store, new PyxStringSelect(512, "SAIL", 0)), (Titles_{"Sails", "sail Plans"}));
  EXPECT_EQ(Titles(*store, new PyxStringSelect(512, "i", 1), 512), (Titles_{"Rigging", "sail Plans", "Sails"}));
  EXPECT_EQ(Titles(*store, new PyxStringSelect(512, "TS", 2)), (Titles_{"Knots", "Charts"}));
  EXPECT_EQ(Titles(*store, new PyxStringSelect(512, "knots", -1)), (Titles_{"Knots"}));
  EXPECT_EQ(Titles(*store, new PyxStringSelect(512, "knot", -1)), Titles_{});
  // Quotes and wildcards are plain characters.
  EXPECT_EQ(Titles(*store, new PyxStringSelect(512, "%", 1)), Titles_{});
  EXPECT_EQ(Titles(*store, new PyxStringSelect(512, "' OR 1=1 --", 1)), Titles_{});

  auto* either = new PyxListSelect(false);
  either->Add(new PyxLongSelect(513, 300, 0));
  auto* both = new PyxListSelect(true);
  both->Add(new PyxStringSelect(512, "s", 2));
  both->Add(new PyxLongSelect(513, 100, 1));
  either->Add(both);
  EXPECT_EQ(Titles(*store, either, 512), (Titles_{"Charts", "Knots", "sail Plans"}));
  EXPECT_EQ(Titles(*store, new PyxListSelect(true)).size(), 5u);
  EXPECT_EQ(Titles(*store, new PyxListSelect(false)).size(), 0u);
  // A selection on an attribute the type lacks is refused, not ignored.
  EXPECT_EQ(FileErrorOf([&] { Titles(*store, new PyxLongSelect(530, 1, 0)); }), 87);
}

TEST_F(StoreEngine, CommittedStateSurvivesAndUncommittedChangesDoNot) {
  {
    auto store = MakeBooks();
    store->Insert(kBook, {{512, Text("Lost")}});  // never committed
    std::unique_ptr<PyxIDList> knots(store->Evaluate(PyxQuery(kBook, new PyxStringSelect(512, "Knots", -1), -1, true)));
    sqlite3_int64 id = knots->mIds.at(0);
    store->Update(kBook, id, {{513, Long(81)}});
    store->Rollback();
    std::vector<COleVariant> row;
    ASSERT_TRUE(store->Read(kBook, id, &row));
    EXPECT_EQ(row[1].lVal, 80);
    store->Insert(kBook, {{512, Text("Kept")}});
    store->Commit();
    store->Insert(kBook, {{512, Text("Dropped at close")}});
  }
  PyxStore again(path, false, false);
  EXPECT_FALSE(again.Created());
  EXPECT_EQ(again.Count(kBook), 6);
  EXPECT_EQ(again.TypeName(kBook), "Book");
  ASSERT_EQ(again.Attributes(kBook).size(), 2u);
  EXPECT_EQ(again.Attributes(kBook)[1].kind, 1);
  // A new object's long attributes read 0, not empty.
  PyxQuery kept(kBook, new PyxStringSelect(512, "Kept", -1), -1, true);
  std::unique_ptr<PyxIDList> list(again.Evaluate(kept));
  std::vector<COleVariant> row;
  ASSERT_TRUE(again.Read(kBook, list->mIds.at(0), &row));
  EXPECT_EQ(row[1].vt, VT_I4);
  EXPECT_EQ(row[1].lVal, 0);
  // Read-only: every change is refused with access denied.
  EXPECT_EQ(FileErrorOf([&] { again.Insert(kBook, {}); }), 5);
  EXPECT_EQ(FileErrorOf([&] { again.DefineType(31, "X"); }), 5);
}

TEST_F(StoreEngine, TextsAreWindows1252HereAndUtf8InTheFile) {
  {
    auto store = MakeBooks();
    store->Insert(kBook, {{512, Text("Caf\xE9 \x80")}});
    store->Commit();
    PyxQuery q(kBook, new PyxStringSelect(512, "CAF\xC9", 0), -1, true);
    std::unique_ptr<PyxIDList> list(store->Evaluate(q));
    ASSERT_EQ(list->mIds.size(), 1u);  // é and É fold together
    std::vector<COleVariant> row;
    store->Read(kBook, list->mIds[0], &row);
    EXPECT_EQ(TextOf(row[0]), "Caf\xE9 \x80");
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* stmt = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT a512 FROM o30 WHERE a512 LIKE 'Caf%'", -1, &stmt, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))), "Caf\xC3\xA9 \xE2\x82\xAC");
  sqlite3_finalize(stmt);
  sqlite3_close(db);
}

TEST_F(StoreEngine, StoredQueriesAndIdentifierListsUnderTheirClassNames) {
  auto store = MakeBooks();
  for (const auto& name : PyxSession::Get().Classes()) store->RegisterClass(name);
  EXPECT_TRUE(store->IsClassRegistered("CPyxIDList"));
  EXPECT_TRUE(store->IsClassRegistered("CPyxQuery"));
  auto* select = new PyxListSelect(true);
  select->Add(new PyxStringSelect(512, "s", 1));
  select->Add(new PyxLongSelect(513, 100, 6));
  PyxQuery query(kBook, select, 513, false);
  store->SaveQuery("long sails", query);
  std::unique_ptr<PyxIDList> found(store->Evaluate(query));
  store->SaveIDList("found", *found);
  store->Commit();
  store.reset();

  PyxStore again(path, false, false);
  EXPECT_TRUE(again.IsClassRegistered("CPyxQuery"));
  std::unique_ptr<PyxQuery> loaded(again.LoadQuery("long sails"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(Titles(again, nullptr).size(), 5u);
  std::unique_ptr<PyxIDList> evaluated(again.Evaluate(*loaded));
  std::unique_ptr<PyxIDList> list(again.LoadIDList("found"));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(evaluated->mIds, found->mIds);
  EXPECT_EQ(list->mIds, found->mIds);
  EXPECT_EQ(found->mIds.size(), 2u);
  EXPECT_EQ(again.LoadQuery("none"), nullptr);

  // Damaged saved forms are refused, never half read.
  PyxQuery damaged;
  std::string bytes = query.Save();
  for (size_t cut = 0; cut < bytes.size(); ++cut) EXPECT_FALSE(damaged.Load(bytes.substr(0, cut)) && cut < 24) << cut;
  EXPECT_FALSE(damaged.Load(bytes + "x"));
}

TEST_F(StoreEngine, FilesThatAreNotStoresRaiseTheFileException) {
  auto write = [&](const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  };
  EXPECT_EQ(FileErrorOf([&] { PyxStore s(path, true, false); }), 2);  // missing: file not found
  write(std::string(255, 'x'));
  EXPECT_EQ(FileErrorOf([&] { PyxStore s(path, true, false); }), kCorruptStoreCode);
  EXPECT_EQ(FileErrorOf([&] { PyxStore s(path, true, true); }), kCorruptStoreCode);  // only empty files are made stores
  write(std::string(4096, 'x'));
  EXPECT_EQ(FileErrorOf([&] { PyxStore s(path, false, false); }), kCorruptStoreCode);
  // A SQLite database of someone else's is not a store either.
  std::remove(path.c_str());
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(FileErrorOf([&] { PyxStore s(path, false, false); }), kCorruptStoreCode);
  // An empty file becomes a store when one is made.
  write("");
  PyxStore made(path, true, true);
  EXPECT_TRUE(made.Created());
  // A folder is no store.
  EXPECT_EQ(FileErrorOf([&] { PyxStore s(dir.path(), true, false); }), 5);
}

TEST_F(StoreEngine, AFailedWriteDuringCommitLeavesTheStoreAsItWas) {
  MakeBooks();
  for (int n : {1, 2, 3}) {
    PyxStore store(path, true, false);
    for (int i = 0; i < 500; ++i) store.Insert(kBook, {{512, Text("Bulk")}, {513, Long(i)}});
    FailWriteAfter(n, 112 /* ERROR_DISK_FULL */);
    EXPECT_EQ(FileErrorOf([&] { store.Commit(); }), 112) << n;
    FailWriteAfter(0, 0);
    EXPECT_EQ(LastFailureText(), "File write failed!");
    EXPECT_FALSE(store.InTransaction());
    EXPECT_EQ(store.Count(kBook), 5);
  }
  PyxStore again(path, false, false);
  EXPECT_EQ(again.Count(kBook), 5);
}

TEST_F(StoreEngine, OutOfMemoryIsTheMemoryExceptionAndEachCallNamesItself) {
  MakeBooks();
  {
    PyxStore store(path, true, false);
    store.Insert(kBook, {{512, Text("More")}});
    FailWriteAfter(1, 12);
    bool memory = false;
    try {
      store.Commit();
    } catch (CMemoryException* e) {
      e->Delete();
      memory = true;
    } catch (CFileException* e) {
      e->Delete();
    }
    FailWriteAfter(0, 0);
    EXPECT_TRUE(memory);
    EXPECT_EQ(store.Count(kBook), 5);
  }
  EXPECT_EQ(FileErrorOf([&] { PyxStore s(dir.Join("none.qld"), false, false); }), 2);
  EXPECT_EQ(LastFailureText(), "File open failed!");
  EXPECT_NE(FileErrorOf([&] { PyxStore s(dir.Join("no/such/folder.qld"), true, true); }), 0);
  EXPECT_EQ(LastFailureText(), "File create failed!");
  EXPECT_STREQ(FileCallText(FileCall::kSetMark), "Set file mark failed!");
  EXPECT_STREQ(FileCallText(FileCall::kGetLength), "Get file length failed!");
}

TEST_F(StoreEngine, AStoreWrittenByAnotherSqliteClientOpens) {
  // The fuzz target's seed, written by Python's sqlite3 module in the store's layout.
  std::ifstream seed(std::string(HALYARD_SOURCE_DIR) + "/fuzz/vaultkit/corpus_store/books", std::ios::binary);
  ASSERT_TRUE(seed.good());
  std::ofstream(path, std::ios::binary) << seed.rdbuf();
  PyxStore store(path, false, false);
  EXPECT_EQ(store.TypeName(7), "Book");
  EXPECT_EQ(store.Count(7), 12);
  std::unique_ptr<PyxQuery> query(store.LoadQuery("q"));
  ASSERT_NE(query, nullptr);
  std::unique_ptr<PyxIDList> found(store.Evaluate(*query));  // a513 <= 2, descending
  EXPECT_EQ(found->mIds.size(), 8u);
  std::unique_ptr<PyxIDList> list(store.LoadIDList("l"));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->mIds, (std::vector<sqlite3_int64>{1, 2}));
}

TEST_F(StoreEngine, TheSessionIsMadeOnceAndEndedByUninitialize) {
  PyxSession& first = PyxSession::Get();
  EXPECT_EQ(&first, &PyxSession::Get());
  first.SetCacheLimit(123456);
  EXPECT_EQ(PyxSession::Get().GetCacheLimit(), 123456u);
  UninitializeDatabase();
  EXPECT_EQ(CDAHandler::mGetEngineSession(), nullptr);
  EXPECT_EQ(PyxSession::Get().GetCacheLimit(), 0u);
  EXPECT_EQ(PyxSession::Get().Classes(), (std::vector<std::string>{"CPyxIDList", "CPyxQuery"}));
}

}  // namespace
