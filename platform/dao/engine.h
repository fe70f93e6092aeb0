// The engine behind the DAO classes: one connection to a SQLite file or an ODBC source, and the
// statements prepared on it. CDaoDatabase owns a Connection; recordsets, table definitions and
// Execute work through it. Statements take the Jet dialect ([name], like with * and ?) and the
// engine runs it natively (SQLite) or rewrites it (ODBC). Values cross as VARIANTs: texts are
// BSTRs holding Windows-1252 bytes (the class library's ANSI convention), long values VT_I4,
// doubles VT_R8, dates VT_DATE, binary data a VT_UI1 array, NULL VT_NULL; the engines store
// texts as UTF-8. Errors throw CDaoException with the engine's message. One thread.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ole/colevariant.h"

namespace halyard::dao {

// The names (Windows-1252) and field types of a statement's result columns.
struct Columns {
  std::vector<std::string> names;
  std::vector<short> types;
  // The INSERT texts a recordset over these columns built, by the set of fields written:
  // adding records one after another builds each text once.
  mutable std::map<unsigned long long, std::string> inserts;
};

class Statement {
 public:
  virtual ~Statement() = default;
  virtual int ColumnCount() = 0;
  // The column's name in Windows-1252.
  virtual std::string ColumnName(int column) = 0;
  // The field type (dbLong, dbText...) the column has as far as the engine can tell.
  virtual short ColumnType(int column) = 0;
  // All columns at once, shared: a statement prepared again keeps its description.
  virtual std::shared_ptr<const Columns> Describe() = 0;
  // Binds parameter 1..n for the next execution. The value must stay as it is until the
  // statement has run (an engine may read it in place).
  virtual void Bind(int parameter, const VARIANT& value) = 0;
  // Runs the statement on its first call, then moves on: true while a row is ready.
  virtual bool Step() = 0;
  // Makes the statement ready to run again (bindings are kept until rebound).
  virtual void Reset() = 0;
  // The current row's value of a column.
  virtual void Read(int column, COleVariant* out) = 0;
  // Rows changed by the last insert, update or delete.
  virtual long long Changes() = 0;
};

// Field types a table is created with, in the engine's own words.
struct ColumnTypes {
  std::string text, integer, binary, date, real;
};

class Connection {
 public:
  virtual ~Connection() = default;
  // A statement for Jet-dialect SQL text in Windows-1252.
  virtual std::unique_ptr<Statement> Prepare(std::string_view jetSql) = 0;
  // SQL already in the engine's own dialect (DDL written for this engine), in Windows-1252.
  virtual std::unique_ptr<Statement> PrepareNative(std::string_view sql) = 0;
  virtual void Begin() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;
  // The engine's name for a DAO field type (dbLong...): what CREATE TABLE writes.
  virtual std::string TypeName(short daoType) = 0;
  // An identifier quoted for this engine's native SQL.
  virtual std::string Quote(std::string_view name) = 0;
  // SQLite: rows carry a rowid that identifies them for updates.
  virtual bool HasRowId() const = 0;
  // The rowid of the last inserted row (SQLite), or 0.
  virtual long long LastRowId() = 0;
  // Names of the tables and of their columns (in order), Windows-1252.
  virtual std::vector<std::string> TableNames() = 0;
  // The columns of a table's primary key, in key order (none when it has no primary key).
  virtual std::vector<std::string> PrimaryKey(std::string_view table) = 0;
  virtual bool IsReadOnly() const = 0;
};

// Opens a SQLite database file (readOnly, or read-write; create makes a new file and fails when
// it exists). The path is a host path.
std::unique_ptr<Connection> OpenSqlite(const std::string& path, bool readOnly, bool create);
// Connects to an ODBC source with a connect text (without the leading "ODBC;").
std::unique_ptr<Connection> OpenOdbc(const std::string& connect, bool readOnly);

}  // namespace halyard::dao
