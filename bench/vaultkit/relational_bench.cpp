// The relational back end against SQLite's own interfaces, on 100,000 records of a type with
// six fields (System, Name, Count, Price, Note, Code):
//   Insert/BackEnd       mNewRecord, six mSetField and mUpdateRecord per record, one transaction
//   Insert/SQLite        one prepared INSERT with six bindings per record, one transaction
//   Query/BackEnd        mQuery with [Count] < 10000 (10,000 records), every field of every
//                        record read through a persistent value
//   Query/SQLiteProgram  the sqlite3 program running the same SQL text, output discarded
// With HALYARD_BENCH_PG set to an ODBC connect text of an empty PostgreSQL database (for
// instance from scripts/pg-fixture), Insert/PostgreSQL and Query/PostgreSQL run the back end's
// cases there.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "datalib/access/cda_data_iterator.h"
#include "datalib/catalog/cda_sys_type.h"
#include "datalib/relational/cda_relational_database.h"
#include "datalib/select/cda_type_select.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_string.h"
#include "platform/dao/cdaodatabase.h"
#include "platform/dao/engine.h"
#include "platform/kernel/testing/scratch_dir.h"

namespace {

constexpr LONG kRecords = 100000;
constexpr LONG kType = 500;
constexpr LONG kSelected = 10000;

const char* const kFieldNames[] = {"Name", "Count", "Price", "Note", "Code"};
const LONG kFieldKinds[] = {kDAKindText, kDAKindLong, kDAKindLong, kDAKindText, kDAKindLong};

void MakeType(CDARelationalDatabase& db) {
  CDASysType::mRegisterType(&db, kType, "Item", "dItem", 0, 0);
  db.mCreateTypeTable(kType, "Item");
  CDASysType::mRegisterField(&db, 0, kType, "System", kDAKindLong, 0);
  for (int f = 0; f < 5; ++f) {
    LONG n = db.mAddField(kType, kFieldNames[f], kFieldKinds[f]);
    CDASysType::mRegisterField(&db, n, kType, kFieldNames[f], kFieldKinds[f], 0);
  }
}

std::string NameOf(LONG i) { return "item " + std::to_string(i); }

void InsertThroughBackEnd(CDARelationalDatabase& db) {
  db.mBeginTransaction();
  for (LONG i = 0; i < kRecords; ++i) {
    std::unique_ptr<CDADataObject> rec(db.mNewRecord(kType));
    CPDLong system(i + 1), count(i), price(i % 977), code(i * 7);
    CPDString name(NameOf(i).c_str()), note("a note on the item");
    rec->mSetField(0, &system);
    rec->mSetField(1, &name);
    rec->mSetField(2, &count);
    rec->mSetField(3, &price);
    rec->mSetField(4, &note);
    rec->mSetField(5, &code);
    rec->mUpdateRecord();
  }
  db.mCommitTransaction(nullptr);
}

void BM_InsertBackEnd(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    halyard::testing::ScratchDir dir("bench-rel");
    auto db = std::make_unique<CDARelationalDatabase>();
    db->mCreate(dir.Join("b.db").c_str());
    MakeType(*db);
    state.ResumeTiming();
    InsertThroughBackEnd(*db);
    state.PauseTiming();
    db.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_InsertBackEnd)->Name("Insert/BackEnd")->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_InsertSqlite(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    halyard::testing::ScratchDir dir("bench-rel");
    sqlite3* db = nullptr;
    sqlite3_open(dir.Join("s.db").c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE Item (System INTEGER PRIMARY KEY, Name TEXT, Count INTEGER, Price INTEGER, "
                 "Note TEXT, Code INTEGER)",
                 nullptr, nullptr, nullptr);
    state.ResumeTiming();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Item VALUES (?, ?, ?, ?, ?, ?)", -1, &st, nullptr);
    for (LONG i = 0; i < kRecords; ++i) {
      std::string name = NameOf(i);
      sqlite3_bind_int(st, 1, i + 1);
      sqlite3_bind_text(st, 2, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
      sqlite3_bind_int(st, 3, i);
      sqlite3_bind_int(st, 4, i % 977);
      sqlite3_bind_text(st, 5, "a note on the item", -1, SQLITE_STATIC);
      sqlite3_bind_int(st, 6, i * 7);
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    state.PauseTiming();
    sqlite3_close(db);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_InsertSqlite)->Name("Insert/SQLite")->Unit(benchmark::kMillisecond)->Iterations(3);

// One database of 100,000 records for the query cases.
struct QueryData {
  halyard::testing::ScratchDir dir{"bench-rel-q"};
  std::string path = dir.Join("q.db");
  QueryData() {
    CDARelationalDatabase db;
    db.mCreate(path.c_str());
    MakeType(db);
    InsertThroughBackEnd(db);
    db.mClose();
  }
};
QueryData& Data() {
  static QueryData data;
  return data;
}

LONG ReadSelection(CDARelationalDatabase& db) {
  CDALongSelect select(kType, 2, kSelected, CDALongSelect::kLessThan);
  std::unique_ptr<CDADataIterator> it(db.mQuery(kType, &select, nullptr));
  LONG n = 0;
  for (; it && it->mIsEOF() == 0; it->mMoveNext()) {
    CPDLong system, count, price, code;
    CPDString name, note;
    it->mGetField(0, &system);
    it->mGetField(1, &name);
    it->mGetField(2, &count);
    it->mGetField(3, &price);
    it->mGetField(4, &note);
    it->mGetField(5, &code);
    benchmark::DoNotOptimize(code.mGetValue());
    ++n;
  }
  return n;
}

void BM_QueryBackEnd(benchmark::State& state) {
  CDARelationalDatabase db;
  db.mOpen(Data().path.c_str());
  for (auto _ : state) {
    if (ReadSelection(db) != kSelected) state.SkipWithError("wrong number of records");
  }
  state.SetItemsProcessed(state.iterations() * kSelected);
}
BENCHMARK(BM_QueryBackEnd)->Name("Query/BackEnd")->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_QuerySqliteProgram(benchmark::State& state) {
  CDARelationalDatabase db;
  db.mOpen(Data().path.c_str());
  CDALongSelect select(kType, 2, kSelected, CDALongSelect::kLessThan);
  std::string sql = static_cast<const char*>(db.mGetQuerySql(kType, &select, nullptr));
  db.mClose();
  std::string command = "sqlite3 '" + Data().path + "' \"" + sql + "\" > /dev/null";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("sqlite3 failed");
  }
  state.SetItemsProcessed(state.iterations() * kSelected);
}
BENCHMARK(BM_QuerySqliteProgram)->Name("Query/SQLiteProgram")->Unit(benchmark::kMillisecond)->MinTime(2.0);

const char* PgConnect() { return std::getenv("HALYARD_BENCH_PG"); }

void BM_InsertPostgres(benchmark::State& state) {
  if (PgConnect() == nullptr) {
    state.SkipWithError("HALYARD_BENCH_PG is not set");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    auto db = std::make_unique<CDARelationalDatabase>();
    {
      // An empty database each time: drop what an earlier run left.
      CDaoDatabase raw;
      raw.Open("", FALSE, FALSE, PgConnect());
      for (const char* t : {"Item", "SysFields", "SysTypes"})
        raw.Engine().PrepareNative(std::string("DROP TABLE IF EXISTS \"") + t + "\"")->Step();
    }
    db->mCreate(PgConnect());
    MakeType(*db);
    state.ResumeTiming();
    InsertThroughBackEnd(*db);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_InsertPostgres)->Name("Insert/PostgreSQL")->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_QueryPostgres(benchmark::State& state) {
  if (PgConnect() == nullptr) {
    state.SkipWithError("HALYARD_BENCH_PG is not set");
    return;
  }
  CDARelationalDatabase db;
  db.mOpen(PgConnect());
  for (auto _ : state) {
    if (ReadSelection(db) != kSelected) state.SkipWithError("wrong number of records (run Insert/PostgreSQL first)");
  }
  state.SetItemsProcessed(state.iterations() * kSelected);
}
BENCHMARK(BM_QueryPostgres)->Name("Query/PostgreSQL")->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
