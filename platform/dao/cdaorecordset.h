// CDaoRecordset: the records of one SQL query (Jet dialect) as a dynaset. Records are fetched
// as the recordset moves over them and kept, so moving back, absolute positions and bookmarks
// work on every engine. A query of the form "SELECT * FROM table ..." can be updated: AddNew,
// Edit, SetFieldValue and Update write through the engine (only the fields that were set), a
// row being found again by its rowid on SQLite and by all its stored values on an ODBC source
// (an update that would reach more than one row is refused). GetRecordCount counts the records
// reached so far, as DAO does; MoveLast reaches them all. A record added with AddNew/Update is
// found with GetLastModifiedBookmark and SetBookmark. Errors throw CDaoException. Belongs to
// its database, which closes it; one thread.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "dao_types.h"
#include "platform/mfc/cobject.h"
#include "platform/mfc/cstring.h"
#include "platform/ole/colevariant.h"

class CDaoDatabase;
class CDaoTableDef;
namespace halyard::dao {
class Statement;
struct Columns;
}

class CDaoRecordset : public CObject {
 public:
  explicit CDaoRecordset(CDaoDatabase* pDatabase = nullptr);
  ~CDaoRecordset() override;
  CDaoRecordset(const CDaoRecordset&) = delete;
  CDaoRecordset& operator=(const CDaoRecordset&) = delete;

  // lpszSQL is a SELECT statement or a table name. dbReadOnly in nOptions refuses updates.
  virtual void Open(int nOpenType = dbOpenDynaset, LPCTSTR lpszSQL = nullptr, int nOptions = 0);
  virtual void Open(CDaoTableDef* pTableDef, int nOpenType = dbOpenTable, int nOptions = 0);
  virtual void Close();
  BOOL IsOpen() const { return m_bOpen; }
  CString GetSQL() const { return m_strSQL; }

  BOOL IsBOF();
  BOOL IsEOF();
  void MoveFirst();
  void MoveNext();
  void MovePrev();
  void MoveLast();
  void Move(LONG lRows);
  // Zero-based position of the current record; -1 when there is none.
  LONG GetAbsolutePosition();
  // Makes record lPosition (zero-based) current; CDaoException when there is no such record.
  void SetAbsolutePosition(LONG lPosition);
  LONG GetRecordCount();

  BOOL CanUpdate() const;
  BOOL CanAppend() const { return CanUpdate(); }
  void AddNew();
  void Edit();
  void Update();
  void CancelUpdate();
  void Delete();
  short GetEditMode() const { return m_nEditMode; }

  short GetFieldCount();
  void GetFieldInfo(int nIndex, CDaoFieldInfo& fieldinfo);
  // The position of a field by name (ignoring case), or -1.
  int GetFieldIndexByName(LPCTSTR lpszName);
  COleVariant GetFieldValue(int nIndex);
  COleVariant GetFieldValue(LPCTSTR lpszName);
  void GetFieldValue(int nIndex, COleVariant& varValue);
  void SetFieldValue(int nIndex, const COleVariant& varValue);
  // Takes the value over (varValue is left empty).
  void SetFieldValue(int nIndex, COleVariant&& varValue);
  void SetFieldValue(LPCTSTR lpszName, const COleVariant& varValue);
  void SetFieldValueNull(int nIndex);

  COleVariant GetBookmark();
  void SetBookmark(COleVariant varBookmark);
  COleVariant GetLastModifiedBookmark();

  CDaoDatabase* m_pDatabase;

 private:
  struct Row {
    std::vector<COleVariant> values;
    long long rowid = 0;
    LONG id = 0;
    // Added before the query was first run: the query itself returns it, so it is only
    // remembered as the record to come back to.
    bool detached = false;
  };

  void RequireOpen() const;
  bool Fetch();
  bool Ensure(long index);
  void FetchAll();
  // Leaves the "on an added record" state for an ordinary position.
  void Settle();
  // The position of a record as the query returned it: by rowid, or by its values.
  long Locate(const Row& row) const;
  Row* Current();
  Row& RequireCurrent();
  int RequireField(int nIndex);
  void Insert();
  void WriteChanges(Row& row);

  BOOL m_bOpen = FALSE;
  BOOL m_bReadOnly = FALSE;
  CString m_strSQL;
  std::string m_table;  // the table of an updatable query, else empty
  bool m_hasRowId = false;
  std::unique_ptr<halyard::dao::Statement> m_stmt;
  bool m_exhausted = false;
  bool m_started = false;
  std::shared_ptr<const halyard::dao::Columns> m_columns;
  std::size_t m_first = 0;  // columns of the statement before the fields (the rowid)
  std::size_t m_fieldCount = 0;
  const std::string& Name(std::size_t c) const;
  short Type(std::size_t c) const;
  std::vector<Row> m_rows;
  std::vector<Row> m_added;  // added while the query was still being read
  std::unordered_set<long long> m_addedRowIds;
  long m_pos = 0;         // -1 before the first record
  long m_addedCurrent = -1;
  bool m_noCurrent = false;  // after Delete, until the next move
  short m_nEditMode = dbEditNone;
  std::vector<COleVariant> m_buffer;
  std::vector<bool> m_dirty;
  LONG m_nextId = 1;
  LONG m_lastModified = 0;
};
