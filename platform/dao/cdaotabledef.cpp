#include "cdaotabledef.h"

#include "cdaodatabase.h"
#include "cdaoexception.h"
#include "engine.h"

CDaoTableDef::CDaoTableDef(CDaoDatabase* pDatabase) : m_pDatabase(pDatabase) {}

CDaoTableDef::~CDaoTableDef() { Close(); }

void CDaoTableDef::RequireOpen() const {
  if (!m_bOpen) AfxThrowDaoException(AFX_DAO_ERROR_NOT_OPEN, "DAO", "The table definition is not open.");
}

void CDaoTableDef::Create(LPCTSTR lpszName, LONG, LPCTSTR, LPCTSTR) {
  if (m_pDatabase == nullptr || !m_pDatabase->IsOpen())
    AfxThrowDaoException(AFX_DAO_ERROR_NOT_OPEN, "DAO", "The database is not open.");
  Close();
  m_strName = lpszName;
  m_bNew = TRUE;
  m_bOpen = TRUE;
  m_pDatabase->Attach(this);
}

void CDaoTableDef::Open(LPCTSTR lpszName) {
  if (m_pDatabase == nullptr || !m_pDatabase->IsOpen())
    AfxThrowDaoException(AFX_DAO_ERROR_NOT_OPEN, "DAO", "The database is not open.");
  Close();
  m_strName = lpszName;
  ReadFields();  // fails for a table that does not exist
  std::vector<std::string> key = m_pDatabase->Engine().PrimaryKey(std::string_view(m_strName, static_cast<size_t>(m_strName.GetLength())));
  if (!key.empty()) m_indexes.push_back({"PrimaryKey", key, true, true});
  m_bNew = FALSE;
  m_bOpen = TRUE;
  m_pDatabase->Attach(this);
}

void CDaoTableDef::ReadFields() {
  m_fields.clear();
  std::string sql = "SELECT * FROM [";
  sql.append(m_strName, static_cast<size_t>(m_strName.GetLength()));
  sql += "] WHERE 1 = 0";
  auto st = m_pDatabase->Engine().Prepare(sql);
  int n = st->ColumnCount();
  for (int i = 0; i < n; ++i) m_fields.push_back({st->ColumnName(i), st->ColumnType(i)});
}

std::string CDaoTableDef::FieldSql(const Field& f) const {
  return m_pDatabase->Engine().Quote(f.name) + " " + m_pDatabase->Engine().TypeName(f.type);
}

void CDaoTableDef::Append() {
  RequireOpen();
  if (!m_bNew) AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "The table definition is already appended.");
  m_pDatabase->RequireWritable();
  if (m_fields.empty())
    AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "A table needs at least one field.");
  halyard::dao::Connection& engine = m_pDatabase->Engine();
  std::string table(m_strName, static_cast<size_t>(m_strName.GetLength()));
  std::string sql = "CREATE TABLE " + engine.Quote(table) + " (";
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += FieldSql(m_fields[i]);
  }
  for (const Index& ix : m_indexes) {
    if (!ix.primary) continue;
    sql += ", PRIMARY KEY (";
    for (std::size_t k = 0; k < ix.fields.size(); ++k) {
      if (k > 0) sql += ", ";
      sql += engine.Quote(ix.fields[k]);
    }
    sql += ")";
  }
  sql += ")";
  engine.PrepareNative(sql)->Step();
  for (const Index& ix : m_indexes) {
    if (ix.primary) continue;
    std::string create = ix.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
    create += engine.Quote(table + "_" + ix.name) + " ON " + engine.Quote(table) + " (";
    for (std::size_t k = 0; k < ix.fields.size(); ++k) {
      if (k > 0) create += ", ";
      create += engine.Quote(ix.fields[k]);
    }
    engine.PrepareNative(create + ")")->Step();
  }
  m_bNew = FALSE;
}

void CDaoTableDef::Close() {
  if (m_bOpen && m_pDatabase != nullptr) m_pDatabase->Detach(this);
  m_bOpen = FALSE;
  m_bNew = FALSE;
  m_fields.clear();
  m_indexes.clear();
}

void CDaoTableDef::CreateField(LPCTSTR lpszName, short nType, LONG, LONG) {
  RequireOpen();
  Field f{lpszName != nullptr ? lpszName : "", nType};
  if (f.name.empty()) AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "A field needs a name.");
  if (!m_bNew) {
    m_pDatabase->RequireWritable();
    std::string sql = "ALTER TABLE " + m_pDatabase->Engine().Quote(std::string_view(m_strName, static_cast<size_t>(m_strName.GetLength()))) +
                      " ADD COLUMN " + FieldSql(f);
    m_pDatabase->Engine().PrepareNative(sql)->Step();
  }
  m_fields.push_back(f);
}

void CDaoTableDef::CreateField(CDaoFieldInfo& fieldinfo) {
  CreateField(fieldinfo.m_strName, fieldinfo.m_nType, fieldinfo.m_lSize, fieldinfo.m_lAttributes);
}

void CDaoTableDef::CreateIndex(CDaoIndexInfo& indexinfo) {
  RequireOpen();
  Index ix{std::string(indexinfo.m_strName, static_cast<size_t>(indexinfo.m_strName.GetLength())), {},
           indexinfo.m_bPrimary != FALSE, indexinfo.m_bUnique != FALSE || indexinfo.m_bPrimary != FALSE};
  for (short k = 0; k < indexinfo.m_nFields && indexinfo.m_pFieldInfos != nullptr; ++k)
    ix.fields.emplace_back(indexinfo.m_pFieldInfos[k].m_strName);
  if (ix.fields.empty()) AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "An index needs at least one field.");
  if (!m_bNew) {
    // A key cannot be added to an existing table everywhere; an index can.
    m_pDatabase->RequireWritable();
    halyard::dao::Connection& engine = m_pDatabase->Engine();
    std::string table(m_strName, static_cast<size_t>(m_strName.GetLength()));
    std::string create = ix.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
    create += engine.Quote(table + "_" + ix.name) + " ON " + engine.Quote(table) + " (";
    for (std::size_t k = 0; k < ix.fields.size(); ++k) {
      if (k > 0) create += ", ";
      create += engine.Quote(ix.fields[k]);
    }
    engine.PrepareNative(create + ")")->Step();
  }
  m_indexes.push_back(ix);
}

short CDaoTableDef::GetFieldCount() {
  RequireOpen();
  if (!m_bNew) ReadFields();
  return static_cast<short>(m_fields.size());
}

void CDaoTableDef::GetFieldInfo(int nIndex, CDaoFieldInfo& fieldinfo) {
  RequireOpen();
  if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_fields.size())
    AfxThrowDaoException(AFX_DAO_ERROR_ITEM_NOT_FOUND, "DAO", "Item not found in this collection.");
  const Field& f = m_fields[static_cast<std::size_t>(nIndex)];
  fieldinfo.m_strName = f.name.c_str();
  fieldinfo.m_nType = f.type;
  fieldinfo.m_nOrdinalPosition = static_cast<short>(nIndex);
  fieldinfo.m_lSize = f.type == dbLong ? 4 : f.type == dbDouble || f.type == dbDate ? 8 : 0;
}

short CDaoTableDef::GetIndexCount() {
  RequireOpen();
  return static_cast<short>(m_indexes.size());
}

void CDaoTableDef::GetIndexInfo(int nIndex, CDaoIndexInfo& indexinfo) {
  RequireOpen();
  if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_indexes.size())
    AfxThrowDaoException(AFX_DAO_ERROR_ITEM_NOT_FOUND, "DAO", "Item not found in this collection.");
  const Index& ix = m_indexes[static_cast<std::size_t>(nIndex)];
  m_indexFieldInfo.clear();
  for (const std::string& f : ix.fields) {
    CDaoIndexFieldInfo fi;
    fi.m_strName = f.c_str();
    m_indexFieldInfo.push_back(fi);
  }
  indexinfo.m_strName = ix.name.c_str();
  indexinfo.m_bPrimary = ix.primary ? TRUE : FALSE;
  indexinfo.m_bUnique = ix.unique ? TRUE : FALSE;
  indexinfo.m_nFields = static_cast<short>(ix.fields.size());
  // The field descriptions stay valid until the next call or until the definition closes.
  indexinfo.m_pFieldInfos = m_indexFieldInfo.data();
}
