// Where a test's database lives, for each engine the DAO classes serve: a SQLite file in a
// scratch folder, the same through the SQLite ODBC driver, or a fresh database on the
// PostgreSQL server that the "postgres" test fixture runs (HALYARD_PG_FIXTURE names the folder
// where the fixture wrote its connect text). The PostgreSQL database is dropped at the end.
// Header-only, for tests; one object belongs to one test.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/dao/cdaodatabase.h"
#include "platform/dao/cdaoexception.h"
#include "platform/dao/engine.h"
#include "platform/kernel/testing/scratch_dir.h"

namespace halyard::testing {

enum class DaoEngine { kSqlite, kSqliteOdbc, kPostgres };

inline const char* DaoEngineName(DaoEngine e) {
  switch (e) {
    case DaoEngine::kSqlite: return "SQLite";
    case DaoEngine::kSqliteOdbc: return "SQLiteOdbc";
    default: return "PostgreSQL";
  }
}

class DaoTestSource {
 public:
  // sqliteOdbcDriver: the SQLite ODBC driver library (for kSqliteOdbc).
  DaoTestSource(DaoEngine engine, const std::string& sqliteOdbcDriver = "") : engine_(engine) {
    switch (engine) {
      case DaoEngine::kSqlite:
        path_ = scratch_.Join("test.db");
        break;
      case DaoEngine::kSqliteOdbc:
        if (sqliteOdbcDriver.empty() || sqliteOdbcDriver.find("NOTFOUND") != std::string::npos)
          throw std::runtime_error("the SQLite ODBC driver was not found at configure time");
        connect_ = "ODBC;DRIVER=" + sqliteOdbcDriver + ";DATABASE=" + scratch_.Join("test.db") + ";";
        break;
      case DaoEngine::kPostgres: {
        const char* fixture = std::getenv("HALYARD_PG_FIXTURE");
        if (fixture == nullptr) throw std::runtime_error("HALYARD_PG_FIXTURE is not set; run through ctest");
        std::string server = ScratchDir::Read(std::string(fixture) + "/connect");
        while (!server.empty() && (server.back() == '\n' || server.back() == '\r')) server.pop_back();
        if (server.empty()) throw std::runtime_error("the PostgreSQL fixture did not start");
        static std::atomic<int> counter{0};
        pgName_ = "t_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        admin_ = std::make_unique<CDaoDatabase>();
        admin_->Open("", FALSE, FALSE, ("ODBC;" + server).c_str());
        admin_->Engine().PrepareNative("CREATE DATABASE " + pgName_)->Step();
        std::size_t at = server.find("DATABASE=postgres");
        server.replace(at, 17, "DATABASE=" + pgName_);
        connect_ = "ODBC;" + server;
        fixture_ = fixture;
        break;
      }
    }
  }
  ~DaoTestSource() {
    if (admin_) {
      try {
        admin_->Engine().PrepareNative("DROP DATABASE IF EXISTS " + pgName_ + " WITH (FORCE)")->Step();
      } catch (CDaoException* e) {
        e->Delete();
      }
    }
  }
  DaoTestSource(const DaoTestSource&) = delete;
  DaoTestSource& operator=(const DaoTestSource&) = delete;

  DaoEngine engine() const { return engine_; }
  // A file path or an "ODBC;" connect text.
  const std::string& name() const { return connect_.empty() ? path_ : connect_; }
  // The SQLite file behind the source (empty for PostgreSQL).
  std::string file() const { return engine_ == DaoEngine::kPostgres ? std::string() : scratch_.Join("test.db"); }
  const std::string& pgDatabase() const { return pgName_; }
  const std::string& fixture() const { return fixture_; }
  ScratchDir& scratch() { return scratch_; }

 private:
  DaoEngine engine_;
  ScratchDir scratch_{"dao-source"};
  std::string path_;
  std::string connect_;
  std::string pgName_;
  std::string fixture_;
  std::unique_ptr<CDaoDatabase> admin_;
};

}  // namespace halyard::testing
