// CDaoWorkspace: the transaction scope of the databases opened in it. BeginTrans, CommitTrans
// and Rollback act on every open database of the workspace at once. A database made without a
// workspace gets one of its own, so its transactions concern it alone. One thread.
#pragma once

#include <vector>

#include "platform/mfc/cobject.h"
#include "platform/mfc/cstring.h"

class CDaoDatabase;

class CDaoWorkspace : public CObject {
 public:
  CDaoWorkspace();
  ~CDaoWorkspace() override;
  CDaoWorkspace(const CDaoWorkspace&) = delete;
  CDaoWorkspace& operator=(const CDaoWorkspace&) = delete;

  void Create(LPCTSTR lpszName, LPCTSTR lpszUserName = nullptr, LPCTSTR lpszPassword = nullptr);
  void Open(LPCTSTR lpszName = nullptr);
  BOOL IsOpen() const { return m_bOpen; }
  void Close();
  CString GetName() const { return m_strName; }

  // A failure of one database rolls the others back and throws its CDaoException.
  void BeginTrans();
  void CommitTrans();
  void Rollback();
  BOOL IsInTransaction() const { return m_bInTrans; }

  // Called by CDaoDatabase as it opens and closes.
  void AddDatabase(CDaoDatabase* pDatabase);
  void RemoveDatabase(CDaoDatabase* pDatabase);

 private:
  BOOL m_bOpen = FALSE;
  BOOL m_bInTrans = FALSE;
  CString m_strName;
  std::vector<CDaoDatabase*> m_databases;
};
