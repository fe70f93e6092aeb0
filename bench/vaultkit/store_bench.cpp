// The object store against SQLite's own interfaces, on 100,000 objects of a type with six
// attributes (Name, Count, Price, Note, Code, Flag):
//   Insert/Store      mNewRecord, six mSetField and mUpdateRecord per object, one commit
//   Insert/SQLite     one prepared INSERT with six bindings per row, one transaction
//   Select/Store      mQuery with Count < 1000 on the indexed Count (1,000 objects), every
//                     object's Count read
//   Select/Locked     the same through the locking wrapper for a reader without a user (the
//                     visibility filter added), on a store whose type has the lock columns
// The counters StoreBytes and SQLiteBytes give the sizes of the two files after the inserts.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <memory>
#include <string>

#include "datalib/access/cda_data_iterator.h"
#include "datalib/access/cda_lock_database.h"
#include "datalib/catalog/cda_sys_type.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/store/cda_store_database.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_string.h"
#include "platform/kernel/testing/scratch_dir.h"

namespace {

constexpr LONG kObjects = 100000;
constexpr LONG kType = 600;
constexpr LONG kSelected = 1000;

const char* const kNames[] = {"Name", "Count", "Price", "Note", "Code", "Flag"};
const LONG kKinds[] = {kDAKindText, kDAKindLong, kDAKindLong, kDAKindText, kDAKindLong, kDAKindLong};

halyard::testing::ScratchDir& Dir() {
  static halyard::testing::ScratchDir dir("store-bench");
  return dir;
}

long long FileSize(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// The type with its six fields (through db, which may be a locking wrapper); Count indexed.
void MakeType(CDADatabase& db, CDAStoreDatabase& store, bool locked) {
  CDASysType::mRegisterType(&db, kType, "Item", "dItem", 0, 0);
  db.mCreateTypeTable(kType, "Item");
  for (int f = 0; f < 6; ++f) {
    LONG n = db.mAddField(kType, kNames[f], kKinds[f]);
    CDASysType::mRegisterField(&db, n, kType, kNames[f], kKinds[f], 0);
  }
  store.mIndexField(kType, locked ? 3 : 1);
}

void Fill(CDADatabase& db) {
  db.mBeginTransaction();
  for (LONG i = 0; i < kObjects; ++i) {
    std::unique_ptr<CDADataObject> rec(db.mNewRecord(kType));
    CPDString name(("item " + std::to_string(i)).c_str()), note("a note on the item");
    CPDLong count(i), price(i % 977), code(i * 7), flag(i & 1);
    rec->mSetField(0, &name);
    rec->mSetField(1, &count);
    rec->mSetField(2, &price);
    rec->mSetField(3, &note);
    rec->mSetField(4, &code);
    rec->mSetField(5, &flag);
    rec->mUpdateRecord();
  }
  db.mCommitTransaction(nullptr);
}

void BM_InsertStore(benchmark::State& state) {
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string path = Dir().Join("insert" + std::to_string(round++) + ".qld");
    CDAStoreDatabase db;
    db.mCreate(path.c_str());
    MakeType(db, db, false);
    db.mCommitTransaction(nullptr);
    state.ResumeTiming();
    Fill(db);
    state.PauseTiming();
    db.mClose();
    state.counters["StoreBytes"] = static_cast<double>(FileSize(path));
    ::unlink(path.c_str());
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_InsertStore)->Name("Insert/Store")->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_InsertSqlite(benchmark::State& state) {
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string path = Dir().Join("plain" + std::to_string(round++) + ".sqlite");
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE Item(id INTEGER PRIMARY KEY, Name TEXT, Count INTEGER, Price INTEGER, Note TEXT, "
                 "Code INTEGER, Flag INTEGER); CREATE INDEX ItemCount ON Item(Count)",
                 nullptr, nullptr, nullptr);
    state.ResumeTiming();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Item(Name, Count, Price, Note, Code, Flag) VALUES (?, ?, ?, ?, ?, ?)", -1,
                       &stmt, nullptr);
    for (LONG i = 0; i < kObjects; ++i) {
      std::string name = "item " + std::to_string(i);
      sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(stmt, 2, i);
      sqlite3_bind_int(stmt, 3, i % 977);
      sqlite3_bind_text(stmt, 4, "a note on the item", -1, SQLITE_STATIC);
      sqlite3_bind_int(stmt, 5, i * 7);
      sqlite3_bind_int(stmt, 6, i & 1);
      sqlite3_step(stmt);
      sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    state.PauseTiming();
    sqlite3_close(db);
    state.counters["SQLiteBytes"] = static_cast<double>(FileSize(path));
    ::unlink(path.c_str());
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_InsertSqlite)->Name("Insert/SQLite")->Unit(benchmark::kMillisecond)->Iterations(3);

LONG ReadSelection(CDADatabase& db) {
  CDALongSelect few(kType, 1, kSelected, 1);
  std::unique_ptr<CDADataIterator> it(db.mQuery(kType, &few, nullptr));
  LONG n = 0;
  for (; it && it->mIsEOF() == 0; it->mMoveNext(), ++n) {
    CPDLong count;
    it->mGetField(1, &count);
    if (count.mGetValue() >= kSelected) return -1;
  }
  return n;
}

void BM_SelectStore(benchmark::State& state) {
  static int run = 0;  // the library may call a case more than once
  const std::string path = Dir().Join("select" + std::to_string(run++) + ".qld");
  CDAStoreDatabase db;
  db.mCreate(path.c_str());
  MakeType(db, db, false);
  Fill(db);
  for (auto _ : state) {
    LONG n = ReadSelection(db);
    if (n != kSelected) state.SkipWithError(("wrong number of objects: " + std::to_string(n)).c_str());
  }
  state.SetItemsProcessed(state.iterations() * kSelected);
}
BENCHMARK(BM_SelectStore)->Name("Select/Store")->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SelectLocked(benchmark::State& state) {
  static int run = 0;
  const std::string path = Dir().Join("locked" + std::to_string(run++) + ".qld");
  auto* store = new CDAStoreDatabase();
  CDALockDatabase lock(store);
  lock.mCreate(path.c_str());
  MakeType(lock, *store, true);
  Fill(lock);
  lock.mSetContext(0, 0);
  for (auto _ : state) {
    LONG n = ReadSelection(lock);
    if (n != kSelected) state.SkipWithError(("wrong number of objects: " + std::to_string(n)).c_str());
  }
  state.SetItemsProcessed(state.iterations() * kSelected);
}
BENCHMARK(BM_SelectLocked)->Name("Select/Locked")->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
