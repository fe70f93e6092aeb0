#include "cdaodatabase.h"

#include <string>

#include "cdaoexception.h"
#include "cdaorecordset.h"
#include "cdaotabledef.h"
#include "cdaoworkspace.h"
#include "engine.h"
#include "platform/kernel/text.h"
#include "platform/kernel/win_path.h"

namespace {

// The connect text without its "ODBC;" prefix, or empty when it names no ODBC source.
bool OdbcText(const CString& text, std::string* rest) {
  std::string_view s(text, static_cast<size_t>(text.GetLength()));
  s = halyard::TrimSpaceOrTab(s);
  if (!halyard::StartsWithNoCaseAscii(s, "ODBC;")) return false;
  *rest = std::string(s.substr(5));
  return true;
}

}  // namespace

CDaoDatabase::CDaoDatabase(CDaoWorkspace* pWorkspace) : m_pWorkspace(pWorkspace) {
  if (m_pWorkspace == nullptr) {
    m_ownWorkspace = std::make_unique<CDaoWorkspace>();
    m_ownWorkspace->Open();
    m_pWorkspace = m_ownWorkspace.get();
  }
}

CDaoDatabase::~CDaoDatabase() {
  try {
    Close();
  } catch (CDaoException* e) {
    e->Delete();
  }
}

void CDaoDatabase::OpenEngine(const CString& name, const CString& connect, bool readOnly, bool create) {
  if (IsOpen()) Close();
  std::string odbc;
  if (OdbcText(connect, &odbc) || OdbcText(name, &odbc)) {
    m_engine = halyard::dao::OpenOdbc(odbc, readOnly);
  } else {
    if (name.IsEmpty()) AfxThrowDaoException(AFX_DAO_ERROR_NOT_FOUND, "DAO", "No database name was given.");
    m_engine = halyard::dao::OpenSqlite(halyard::MapWinPath(std::string_view(name, static_cast<size_t>(name.GetLength()))),
                                        readOnly, create);
  }
  m_strName = name;
  m_strConnect = connect;
  m_pWorkspace->AddDatabase(this);
}

void CDaoDatabase::Create(LPCTSTR lpszName, LPCTSTR, int) {
  // The data is always stored as UTF-8; the locale text is taken for what it is.
  OpenEngine(lpszName, "", false, true);
}

void CDaoDatabase::Open(LPCTSTR lpszName, BOOL, BOOL bReadOnly, LPCTSTR lpszConnect) {
  OpenEngine(lpszName, lpszConnect, bReadOnly != FALSE, false);
}

void CDaoDatabase::Close() {
  // Copies: closing detaches each one from the sets.
  std::vector<CDaoRecordset*> sets = m_recordsets;
  for (CDaoRecordset* s : sets) s->Close();
  std::vector<CDaoTableDef*> defs = m_tabledefs;
  for (CDaoTableDef* d : defs) d->Close();
  if (m_engine) {
    m_pWorkspace->RemoveDatabase(this);
    m_engine.reset();  // an open transaction is rolled back
  }
}

BOOL CDaoDatabase::IsOpen() const { return m_engine != nullptr; }

BOOL CDaoDatabase::CanUpdate() const { return m_engine != nullptr && !m_engine->IsReadOnly(); }

CString CDaoDatabase::GetEngineName() const { return m_engine && !m_engine->HasRowId() ? "ODBC" : "SQLite"; }

halyard::dao::Connection& CDaoDatabase::Engine() const {
  if (!m_engine) AfxThrowDaoException(AFX_DAO_ERROR_NOT_OPEN, "DAO", "The database is not open.");
  return *m_engine;
}

void CDaoDatabase::RequireWritable() const {
  if (!CanUpdate())
    AfxThrowDaoException(AFX_DAO_ERROR_READ_ONLY, "DAO", "Cannot update. Database or object is read-only.");
}

void CDaoDatabase::Execute(LPCTSTR lpszSQL, int) {
  RequireWritable();
  std::string_view sql(lpszSQL != nullptr ? lpszSQL : "");
  auto st = Engine().Prepare(sql);
  while (st->Step()) {
  }
  m_lRecordsAffected = static_cast<LONG>(st->Changes());
}

short CDaoDatabase::GetTableDefCount() { return static_cast<short>(Engine().TableNames().size()); }

void CDaoDatabase::GetTableDefInfo(int nIndex, CDaoTableDefInfo& tabledefinfo) {
  auto names = Engine().TableNames();
  if (nIndex < 0 || static_cast<size_t>(nIndex) >= names.size())
    AfxThrowDaoException(AFX_DAO_ERROR_ITEM_NOT_FOUND, "DAO", "Item not found in this collection.");
  tabledefinfo.m_strName = names[static_cast<size_t>(nIndex)].c_str();
}

void CDaoDatabase::DeleteTableDef(LPCTSTR lpszName) {
  RequireWritable();
  std::string sql = "DROP TABLE " + Engine().Quote(lpszName != nullptr ? lpszName : "");
  auto st = Engine().PrepareNative(sql);
  st->Step();
}
