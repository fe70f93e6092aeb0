#include "cdaorecordset.h"

#include <algorithm>
#include <cstring>

#include "cdaodatabase.h"
#include "cdaoexception.h"
#include "cdaotabledef.h"
#include "engine.h"
#include "platform/kernel/text.h"
#include "platform/ole/bstr.h"
#include "platform/ole/safearray.h"

namespace {

[[noreturn]] void NoCurrentRecord() {
  AfxThrowDaoException(AFX_DAO_ERROR_NO_CURRENT, "DAO", "No current record.");
}

// The table of "SELECT * FROM table [WHERE ...|ORDER BY ...]", with the position just after
// "SELECT" in *select; empty when the query has another form (which is then read-only).
std::string SingleTable(std::string_view sql) {
  std::size_t i = 0;
  auto skipSpace = [&] {
    while (i < sql.size() && halyard::IsCLocaleSpace(sql[i])) ++i;
  };
  auto word = [&](std::string_view w) {
    skipSpace();
    if (sql.size() - i < w.size() || !halyard::EqualsNoCaseAscii(sql.substr(i, w.size()), w)) return false;
    i += w.size();
    return i == sql.size() || halyard::IsCLocaleSpace(sql[i]) || w == "*";
  };
  if (!word("SELECT") || !word("*") || !word("FROM")) return std::string();
  skipSpace();
  std::string table;
  if (i < sql.size() && sql[i] == '[') {
    std::size_t close = sql.find(']', i);
    if (close == std::string_view::npos) return std::string();
    table = std::string(sql.substr(i + 1, close - i - 1));
    i = close + 1;
  } else {
    std::size_t start = i;
    while (i < sql.size() && !halyard::IsCLocaleSpace(sql[i]) && sql[i] != ';') ++i;
    table = std::string(sql.substr(start, i - start));
  }
  std::size_t rest = i;
  skipSpace();
  if (i < sql.size() && sql[i] == ';') ++i;
  skipSpace();
  if (i == sql.size()) return table;
  if (rest == i) return std::string();
  std::string_view tail = sql.substr(i);
  if (halyard::StartsWithNoCaseAscii(tail, "WHERE") || halyard::StartsWithNoCaseAscii(tail, "ORDER"))
    return table;
  return std::string();
}

}  // namespace

CDaoRecordset::CDaoRecordset(CDaoDatabase* pDatabase) : m_pDatabase(pDatabase) {}

const std::string& CDaoRecordset::Name(std::size_t c) const { return m_columns->names[c + m_first]; }

short CDaoRecordset::Type(std::size_t c) const { return m_columns->types[c + m_first]; }

CDaoRecordset::~CDaoRecordset() { Close(); }

void CDaoRecordset::RequireOpen() const {
  if (!m_bOpen) AfxThrowDaoException(AFX_DAO_ERROR_NOT_OPEN, "DAO", "The recordset is not open.");
}

void CDaoRecordset::Open(int, LPCTSTR lpszSQL, int nOptions) {
  if (m_pDatabase == nullptr || !m_pDatabase->IsOpen())
    AfxThrowDaoException(AFX_DAO_ERROR_NOT_OPEN, "DAO", "The database is not open.");
  Close();
  const CDaoDatabase::QueryPlan& plan = m_pDatabase->PlanQuery(lpszSQL != nullptr ? lpszSQL : "", [](const std::string& text) {
    CDaoDatabase::QueryPlan made;
    made.sql = text;
    std::string_view trimmed = halyard::TrimAsciiWhiteSpace(made.sql);
    if (!trimmed.empty() && trimmed.find_first_of(" \t\r\n") == std::string_view::npos &&
        !halyard::StartsWithNoCaseAscii(trimmed, "SELECT")) {
      // A bare table name.
      std::string name(trimmed);
      if (name.front() != '[') name = "[" + name + "]";
      made.sql = "SELECT * FROM " + name;
    }
    made.table = SingleTable(made.sql);
    if (!made.table.empty()) {
      std::size_t star = made.sql.find('*');
      made.withRowId = made.sql.substr(0, star) + "_rowid_, " + made.sql.substr(star);
    }
    return made;
  });
  const std::string& sql = plan.sql;
  halyard::dao::Connection& engine = m_pDatabase->Engine();
  m_table = plan.table;
  m_hasRowId = false;
  if (!m_table.empty() && engine.HasRowId()) {
    // The rowid finds a record again for Edit; a table without one is read by values.
    try {
      m_stmt = engine.Prepare(plan.withRowId);
      m_hasRowId = true;
    } catch (CDaoException* e) {
      e->Delete();
    }
  }
  if (!m_stmt) m_stmt = engine.Prepare(sql);
  m_columns = m_stmt->Describe();
  m_first = m_hasRowId ? 1 : 0;
  m_fieldCount = m_columns->names.size() >= m_first ? m_columns->names.size() - m_first : 0;
  m_strSQL = sql.c_str();
  m_bReadOnly = (nOptions & dbReadOnly) != 0 ? TRUE : FALSE;
  m_exhausted = false;
  m_pos = 0;
  m_bOpen = TRUE;
  m_pDatabase->Attach(this);
}

void CDaoRecordset::Open(CDaoTableDef* pTableDef, int nOpenType, int nOptions) {
  if (pTableDef == nullptr || !pTableDef->IsOpen())
    AfxThrowDaoException(AFX_DAO_ERROR_NOT_OPEN, "DAO", "The table definition is not open.");
  std::string sql = "SELECT * FROM [";
  CString name = pTableDef->GetName();
  sql.append(name, static_cast<size_t>(name.GetLength()));
  sql += "]";
  Open(nOpenType, sql.c_str(), nOptions);
}

void CDaoRecordset::Close() {
  if (m_bOpen && m_pDatabase != nullptr) m_pDatabase->Detach(this);
  m_bOpen = FALSE;
  m_stmt.reset();
  m_rows.clear();
  m_added.clear();
  m_addedRowIds.clear();
  m_columns.reset();
  m_fieldCount = 0;
  m_buffer.clear();
  m_dirty.clear();
  m_table.clear();
  m_nEditMode = dbEditNone;
  m_addedCurrent = -1;
  m_noCurrent = false;
  m_pos = 0;
}

bool CDaoRecordset::Fetch() {
  while (!m_exhausted) {
    m_started = true;
    if (!m_stmt->Step()) {
      m_exhausted = true;
      m_stmt.reset();
      // Records added meanwhile come after the ones read; an added current record keeps being
      // current at its new position.
      long current = -1;
      for (std::size_t i = 0; i < m_added.size(); ++i) {
        Row& r = m_added[i];
        long at = -1;
        if (r.detached) {
          at = Locate(r);
        } else {
          at = static_cast<long>(m_rows.size());
          m_rows.push_back(std::move(r));
        }
        if (static_cast<long>(i) == m_addedCurrent) current = at;
      }
      if (m_addedCurrent >= 0) {
        m_pos = current >= 0 ? current : static_cast<long>(m_rows.size());
        m_noCurrent = current < 0;
      }
      m_addedCurrent = -1;
      m_added.clear();
      m_addedRowIds.clear();
      return false;
    }
    Row row;
    int first = m_hasRowId ? 1 : 0;
    if (m_hasRowId) {
      COleVariant id;
      m_stmt->Read(0, &id);
      row.rowid = id.vt == VT_I4 ? id.lVal : id.vt == VT_R8 ? static_cast<long long>(id.dblVal) : 0;
      // A record this recordset added itself is already among the added ones.
      if (m_addedRowIds.count(row.rowid) != 0) continue;
    }
    row.values.resize(m_fieldCount);
    for (std::size_t c = 0; c < m_fieldCount; ++c) m_stmt->Read(static_cast<int>(c) + first, &row.values[c]);
    row.id = m_nextId++;
    m_rows.push_back(std::move(row));
    return true;
  }
  return false;
}

bool CDaoRecordset::Ensure(long index) {
  if (index < 0) return false;
  while (static_cast<std::size_t>(index) >= m_rows.size()) {
    if (!Fetch()) return false;
  }
  return true;
}

void CDaoRecordset::FetchAll() {
  while (Fetch()) {
  }
}

long CDaoRecordset::Locate(const Row& row) const {
  for (std::size_t i = m_rows.size(); i-- > 0;) {
    const Row& r = m_rows[i];
    if (m_hasRowId ? r.rowid == row.rowid : r.values.size() == row.values.size() &&
                                                std::equal(r.values.begin(), r.values.end(), row.values.begin(),
                                                           [](const COleVariant& a, const COleVariant& b) {
                                                             return a == b || (a.vt == VT_NULL && b.vt == VT_NULL);
                                                           }))
      return static_cast<long>(i);
  }
  return -1;
}

void CDaoRecordset::Settle() {
  if (m_addedCurrent >= 0) FetchAll();
}

CDaoRecordset::Row* CDaoRecordset::Current() {
  if (m_addedCurrent >= 0) return &m_added[static_cast<std::size_t>(m_addedCurrent)];
  if (m_noCurrent || !Ensure(m_pos)) return nullptr;
  return &m_rows[static_cast<std::size_t>(m_pos)];
}

CDaoRecordset::Row& CDaoRecordset::RequireCurrent() {
  RequireOpen();
  Row* row = Current();
  if (row == nullptr) NoCurrentRecord();
  return *row;
}

BOOL CDaoRecordset::IsBOF() {
  RequireOpen();
  if (m_addedCurrent >= 0) return FALSE;
  return (m_pos < 0 || !Ensure(0)) ? TRUE : FALSE;
}

BOOL CDaoRecordset::IsEOF() {
  RequireOpen();
  if (m_addedCurrent >= 0) return FALSE;
  if (m_pos < 0) return Ensure(0) ? FALSE : TRUE;
  return Ensure(m_pos) ? FALSE : TRUE;
}

void CDaoRecordset::MoveFirst() {
  RequireOpen();
  Settle();
  if (!Ensure(0)) NoCurrentRecord();
  m_pos = 0;
  m_noCurrent = false;
}

void CDaoRecordset::MoveNext() {
  RequireOpen();
  Settle();
  if (m_noCurrent) {
    m_noCurrent = false;  // Delete left the next record at this position
    return;
  }
  if (IsEOF()) NoCurrentRecord();
  ++m_pos;
}

void CDaoRecordset::MovePrev() {
  RequireOpen();
  Settle();
  m_noCurrent = false;
  if (m_pos < 0 || !Ensure(0)) NoCurrentRecord();
  --m_pos;
}

void CDaoRecordset::MoveLast() {
  RequireOpen();
  Settle();
  FetchAll();
  if (m_rows.empty()) NoCurrentRecord();
  m_pos = static_cast<long>(m_rows.size()) - 1;
  m_noCurrent = false;
}

void CDaoRecordset::Move(LONG lRows) {
  RequireOpen();
  Settle();
  m_noCurrent = false;
  if (lRows == 0) {
    RequireCurrent();
    return;
  }
  if ((lRows > 0 && IsEOF()) || (lRows < 0 && IsBOF())) NoCurrentRecord();
  long target = m_pos + lRows;
  if (target < 0) {
    m_pos = -1;
  } else if (!Ensure(target)) {
    m_pos = static_cast<long>(m_rows.size());
  } else {
    m_pos = target;
  }
}

LONG CDaoRecordset::GetAbsolutePosition() {
  RequireOpen();
  Settle();
  return Current() != nullptr ? static_cast<LONG>(m_pos) : -1;
}

void CDaoRecordset::SetAbsolutePosition(LONG lPosition) {
  RequireOpen();
  Settle();
  if (lPosition < 0 || !Ensure(lPosition))
    AfxThrowDaoException(AFX_DAO_ERROR_NO_CURRENT, "DAO", "No record at that position.");
  m_pos = lPosition;
  m_noCurrent = false;
}

LONG CDaoRecordset::GetRecordCount() {
  RequireOpen();
  Ensure(0);
  LONG count = static_cast<LONG>(m_rows.size());
  for (const Row& r : m_added)
    if (!r.detached) ++count;
  return count;
}

BOOL CDaoRecordset::CanUpdate() const {
  return m_bOpen && !m_bReadOnly && !m_table.empty() && m_pDatabase->CanUpdate() ? TRUE : FALSE;
}

void CDaoRecordset::AddNew() {
  RequireOpen();
  if (!CanUpdate()) {
    m_pDatabase->RequireWritable();
    AfxThrowDaoException(AFX_DAO_ERROR_READ_ONLY, "DAO", "Cannot update. Database or object is read-only.");
  }
  m_buffer.clear();
  m_buffer.resize(m_fieldCount);
  for (COleVariant& v : m_buffer) v.vt = VT_NULL;
  m_dirty.assign(m_fieldCount, false);
  m_nEditMode = dbEditAdd;
}

void CDaoRecordset::Edit() {
  RequireOpen();
  if (!CanUpdate()) {
    m_pDatabase->RequireWritable();
    AfxThrowDaoException(AFX_DAO_ERROR_READ_ONLY, "DAO", "Cannot update. Database or object is read-only.");
  }
  Row& row = RequireCurrent();
  m_buffer = row.values;
  m_dirty.assign(m_fieldCount, false);
  m_nEditMode = dbEditInProgress;
}

void CDaoRecordset::CancelUpdate() {
  m_nEditMode = dbEditNone;
  m_buffer.clear();
  m_dirty.clear();
}

void CDaoRecordset::Update() {
  RequireOpen();
  if (m_nEditMode == dbEditNone)
    AfxThrowDaoException(AFX_DAO_ERROR_UPDATE_NO_EDIT, "DAO", "Update or CancelUpdate without AddNew or Edit.");
  if (m_nEditMode == dbEditAdd) {
    Insert();
  } else {
    WriteChanges(RequireCurrent());
  }
  m_nEditMode = dbEditNone;
  m_buffer.clear();
  m_dirty.clear();
}

void CDaoRecordset::Insert() {
  halyard::dao::Connection& engine = m_pDatabase->Engine();
  // The fields written, as bits; a table too wide for them builds its text each time.
  unsigned long long mask = 0;
  for (std::size_t c = 0; c < m_fieldCount && c < 63; ++c)
    if (m_dirty[c]) mask |= 1ull << c;
  std::string built;
  std::string& sql = m_fieldCount < 63 ? m_columns->inserts[mask] : built;
  if (sql.empty()) {
    sql = "INSERT INTO [" + m_table + "]";
    std::string values;
    int bound = 0;
    for (std::size_t c = 0; c < m_fieldCount; ++c) {
      if (!m_dirty[c]) continue;
      sql += bound == 0 ? " ([" : ", [";
      sql += Name(c) + "]";
      values += bound == 0 ? "?" : ", ?";
      ++bound;
    }
    sql += bound == 0 ? " DEFAULT VALUES" : ") VALUES (" + values + ")";
  }
  auto st = engine.Prepare(sql);
  int p = 0;
  for (std::size_t c = 0; c < m_fieldCount; ++c)
    if (m_dirty[c]) st->Bind(++p, m_buffer[c]);
  st->Step();
  Row row;
  row.values = std::move(m_buffer);
  row.rowid = engine.LastRowId();
  row.id = m_nextId++;
  m_lastModified = row.id;
  if (m_exhausted) {
    m_rows.push_back(std::move(row));
  } else if (!m_started) {
    row.detached = true;
    m_added.push_back(std::move(row));
  } else {
    if (m_hasRowId) m_addedRowIds.insert(row.rowid);
    m_added.push_back(std::move(row));
  }
}

void CDaoRecordset::WriteChanges(Row& row) {
  if (std::find(m_dirty.begin(), m_dirty.end(), true) == m_dirty.end()) return;
  halyard::dao::Connection& engine = m_pDatabase->Engine();
  std::string set;
  for (std::size_t c = 0; c < m_fieldCount; ++c) {
    if (!m_dirty[c]) continue;
    if (!set.empty()) set += ", ";
    set += "[" + Name(c) + "] = ?";
  }
  // The record as it was read: by its rowid, or by every stored value.
  std::string where;
  std::vector<const COleVariant*> keys;
  if (m_hasRowId) {
    where = "_rowid_ = ?";
  } else {
    for (std::size_t c = 0; c < m_fieldCount; ++c) {
      if (!where.empty()) where += " AND ";
      const COleVariant& v = row.values[c];
      if (v.vt == VT_NULL || v.vt == VT_EMPTY) {
        where += "[" + Name(c) + "] IS NULL";
      } else {
        where += "[" + Name(c) + "] = ?";
        keys.push_back(&v);
      }
    }
    auto count = engine.Prepare("SELECT COUNT(*) FROM [" + m_table + "] WHERE " + where);
    int p = 0;
    for (const COleVariant* k : keys) count->Bind(++p, *k);
    COleVariant n;
    if (count->Step()) count->Read(0, &n);
    if (n.vt != VT_I4 || n.lVal != 1)
      AfxThrowDaoException(AFX_DAO_ERROR_ROW_UNKNOWN, "DAO",
                           n.vt == VT_I4 && n.lVal == 0
                               ? "The record was changed or deleted by someone else."
                               : "The record cannot be told apart from another one with the same values.");
  }
  auto st = engine.Prepare("UPDATE [" + m_table + "] SET " + set + " WHERE " + where);
  int p = 0;
  for (std::size_t c = 0; c < m_fieldCount; ++c)
    if (m_dirty[c]) st->Bind(++p, m_buffer[c]);
  if (m_hasRowId) {
    COleVariant id(static_cast<LONG>(row.rowid));
    if (row.rowid > INT32_MAX || row.rowid < INT32_MIN) id = static_cast<double>(row.rowid);
    st->Bind(++p, id);
  } else {
    for (const COleVariant* k : keys) st->Bind(++p, *k);
  }
  st->Step();
  if (st->Changes() == 0)
    AfxThrowDaoException(AFX_DAO_ERROR_ROW_UNKNOWN, "DAO", "The record was changed or deleted by someone else.");
  row.values = m_buffer;
  m_lastModified = row.id;
}

void CDaoRecordset::Delete() {
  RequireOpen();
  if (!CanUpdate()) {
    m_pDatabase->RequireWritable();
    AfxThrowDaoException(AFX_DAO_ERROR_READ_ONLY, "DAO", "Cannot update. Database or object is read-only.");
  }
  Settle();
  Row& row = RequireCurrent();
  halyard::dao::Connection& engine = m_pDatabase->Engine();
  if (m_hasRowId) {
    auto st = engine.Prepare("DELETE FROM [" + m_table + "] WHERE _rowid_ = ?");
    st->Bind(1, COleVariant(static_cast<double>(row.rowid)));
    st->Step();
  } else {
    // Mark every field as set so that WriteChanges' row finding applies: delete by values.
    std::string where;
    std::vector<const COleVariant*> keys;
    for (std::size_t c = 0; c < m_fieldCount; ++c) {
      if (!where.empty()) where += " AND ";
      const COleVariant& v = row.values[c];
      if (v.vt == VT_NULL || v.vt == VT_EMPTY) {
        where += "[" + Name(c) + "] IS NULL";
      } else {
        where += "[" + Name(c) + "] = ?";
        keys.push_back(&v);
      }
    }
    auto count = engine.Prepare("SELECT COUNT(*) FROM [" + m_table + "] WHERE " + where);
    int p = 0;
    for (const COleVariant* k : keys) count->Bind(++p, *k);
    COleVariant n;
    if (count->Step()) count->Read(0, &n);
    if (n.vt != VT_I4 || n.lVal != 1)
      AfxThrowDaoException(AFX_DAO_ERROR_ROW_UNKNOWN, "DAO", "The record cannot be found again to delete it.");
    auto st = engine.Prepare("DELETE FROM [" + m_table + "] WHERE " + where);
    p = 0;
    for (const COleVariant* k : keys) st->Bind(++p, *k);
    st->Step();
  }
  m_rows.erase(m_rows.begin() + m_pos);
  m_noCurrent = true;
}

short CDaoRecordset::GetFieldCount() {
  RequireOpen();
  return static_cast<short>(m_fieldCount);
}

int CDaoRecordset::RequireField(int nIndex) {
  RequireOpen();
  if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_fieldCount)
    AfxThrowDaoException(AFX_DAO_ERROR_ITEM_NOT_FOUND, "DAO", "Item not found in this collection.");
  return nIndex;
}

void CDaoRecordset::GetFieldInfo(int nIndex, CDaoFieldInfo& fieldinfo) {
  std::size_t c = static_cast<std::size_t>(RequireField(nIndex));
  fieldinfo.m_strName = Name(c).c_str();
  fieldinfo.m_nType = Type(c);
  fieldinfo.m_nOrdinalPosition = static_cast<short>(nIndex);
  fieldinfo.m_strSourceTable = m_table.c_str();
}

int CDaoRecordset::GetFieldIndexByName(LPCTSTR lpszName) {
  RequireOpen();
  std::string_view name(lpszName != nullptr ? lpszName : "");
  for (std::size_t c = 0; c < m_fieldCount; ++c)
    if (halyard::EqualsNoCaseAscii(Name(c), name)) return static_cast<int>(c);
  return -1;
}

void CDaoRecordset::GetFieldValue(int nIndex, COleVariant& varValue) {
  std::size_t c = static_cast<std::size_t>(RequireField(nIndex));
  if (m_nEditMode != dbEditNone) {
    varValue = m_buffer[c];
    return;
  }
  varValue = RequireCurrent().values[c];
}

COleVariant CDaoRecordset::GetFieldValue(int nIndex) {
  COleVariant v;
  GetFieldValue(nIndex, v);
  return v;
}

COleVariant CDaoRecordset::GetFieldValue(LPCTSTR lpszName) {
  int c = GetFieldIndexByName(lpszName);
  if (c < 0) AfxThrowDaoException(AFX_DAO_ERROR_ITEM_NOT_FOUND, "DAO", "Item not found in this collection.");
  return GetFieldValue(c);
}

void CDaoRecordset::SetFieldValue(int nIndex, const COleVariant& varValue) {
  COleVariant copy(varValue);
  SetFieldValue(nIndex, std::move(copy));
}

void CDaoRecordset::SetFieldValue(int nIndex, COleVariant&& varValue) {
  std::size_t c = static_cast<std::size_t>(RequireField(nIndex));
  if (m_nEditMode == dbEditNone)
    AfxThrowDaoException(AFX_DAO_ERROR_UPDATE_NO_EDIT, "DAO", "Update or CancelUpdate without AddNew or Edit.");
  if (Type(c) == dbLongBinary && varValue.vt == VT_BSTR) {
    // Binary data handed over as a byte string (the ANSI convention) is stored as the very
    // bytes, never as text in a code page.
    const char* bytes = reinterpret_cast<const char*>(varValue.bstrVal);
    UINT n = SysStringByteLen(varValue.bstrVal);
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, n);
    if (psa == nullptr) AfxThrowMemoryException();
    void* data = nullptr;
    SafeArrayAccessData(psa, &data);
    if (n > 0) std::memcpy(data, bytes, n);
    SafeArrayUnaccessData(psa);
    COleVariant blob;
    blob.vt = VT_ARRAY | VT_UI1;
    blob.parray = psa;
    m_buffer[c] = std::move(blob);
  } else {
    m_buffer[c] = std::move(varValue);
  }
  m_dirty[c] = true;
}

void CDaoRecordset::SetFieldValue(LPCTSTR lpszName, const COleVariant& varValue) {
  int c = GetFieldIndexByName(lpszName);
  if (c < 0) AfxThrowDaoException(AFX_DAO_ERROR_ITEM_NOT_FOUND, "DAO", "Item not found in this collection.");
  SetFieldValue(c, varValue);
}

void CDaoRecordset::SetFieldValueNull(int nIndex) {
  COleVariant null;
  null.vt = VT_NULL;
  SetFieldValue(nIndex, null);
}

COleVariant CDaoRecordset::GetBookmark() { return COleVariant(RequireCurrent().id); }

void CDaoRecordset::SetBookmark(COleVariant varBookmark) {
  RequireOpen();
  if (varBookmark.vt != VT_I4) AfxThrowDaoException(AFX_DAO_ERROR_NO_CURRENT, "DAO", "Not a valid bookmark.");
  LONG id = varBookmark.lVal;
  for (std::size_t i = 0; i < m_added.size(); ++i) {
    if (m_added[i].id == id) {
      m_addedCurrent = static_cast<long>(i);
      m_noCurrent = false;
      return;
    }
  }
  Settle();
  for (std::size_t i = 0; i < m_rows.size(); ++i) {
    if (m_rows[i].id == id) {
      m_pos = static_cast<long>(i);
      m_noCurrent = false;
      return;
    }
  }
  AfxThrowDaoException(AFX_DAO_ERROR_NO_CURRENT, "DAO", "Not a valid bookmark.");
}

COleVariant CDaoRecordset::GetLastModifiedBookmark() {
  RequireOpen();
  if (m_lastModified == 0) NoCurrentRecord();
  return COleVariant(m_lastModified);
}
