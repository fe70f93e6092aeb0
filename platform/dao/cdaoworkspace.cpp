#include "cdaoworkspace.h"

#include <algorithm>

#include "cdaodatabase.h"
#include "cdaoexception.h"
#include "engine.h"

CDaoWorkspace::CDaoWorkspace() = default;

CDaoWorkspace::~CDaoWorkspace() {
  if (m_bInTrans) {
    try {
      Rollback();
    } catch (CDaoException* e) {
      e->Delete();
    }
  }
}

void CDaoWorkspace::Create(LPCTSTR lpszName, LPCTSTR, LPCTSTR) { Open(lpszName); }

void CDaoWorkspace::Open(LPCTSTR lpszName) {
  m_strName = lpszName != nullptr ? lpszName : "#Default Workspace#";
  m_bOpen = TRUE;
}

void CDaoWorkspace::Close() {
  if (m_bInTrans) Rollback();
  m_bOpen = FALSE;
}

void CDaoWorkspace::BeginTrans() {
  if (m_bInTrans) AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "A transaction is already open in this workspace.");
  std::vector<CDaoDatabase*> begun;
  try {
    for (CDaoDatabase* db : m_databases) {
      if (!db->IsOpen()) continue;
      db->Engine().Begin();
      begun.push_back(db);
    }
  } catch (CDaoException*) {
    for (CDaoDatabase* db : begun) {
      try {
        db->Engine().Rollback();
      } catch (CDaoException* e2) {
        e2->Delete();
      }
    }
    throw;
  }
  m_bInTrans = TRUE;
}

void CDaoWorkspace::CommitTrans() {
  if (!m_bInTrans) AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "Commit without a transaction.");
  m_bInTrans = FALSE;
  // A failed commit leaves nothing half-done in the failing database: the engine rolls it back.
  CDaoException* first = nullptr;
  for (CDaoDatabase* db : m_databases) {
    if (!db->IsOpen() || !db->Engine().InTransaction()) continue;
    try {
      if (first == nullptr) {
        db->Engine().Commit();
      } else {
        db->Engine().Rollback();
      }
    } catch (CDaoException* e) {
      try {
        db->Engine().Rollback();
      } catch (CDaoException* e2) {
        e2->Delete();
      }
      if (first == nullptr) {
        first = e;
      } else {
        e->Delete();
      }
    }
  }
  if (first != nullptr) throw first;
}

void CDaoWorkspace::Rollback() {
  if (!m_bInTrans) AfxThrowDaoException(AFX_DAO_ERROR_ENGINE, "DAO", "Rollback without a transaction.");
  m_bInTrans = FALSE;
  CDaoException* first = nullptr;
  for (CDaoDatabase* db : m_databases) {
    if (!db->IsOpen()) continue;
    try {
      db->Engine().Rollback();
    } catch (CDaoException* e) {
      if (first == nullptr) {
        first = e;
      } else {
        e->Delete();
      }
    }
  }
  if (first != nullptr) throw first;
}

void CDaoWorkspace::AddDatabase(CDaoDatabase* pDatabase) {
  if (std::find(m_databases.begin(), m_databases.end(), pDatabase) == m_databases.end())
    m_databases.push_back(pDatabase);
}

void CDaoWorkspace::RemoveDatabase(CDaoDatabase* pDatabase) {
  m_databases.erase(std::remove(m_databases.begin(), m_databases.end(), pDatabase), m_databases.end());
}
