// CDaoDatabase: one open database, a SQLite file or an ODBC source. Open takes a file name,
// or a connect text that begins with "ODBC;" (in the connect argument or as the name); Create
// makes a new SQLite file (for an "ODBC;" text it opens the server's existing database for
// writing, since server databases are made by the server's own tools). Open recordsets and
// table definitions are closed with the database. SQL is the Jet dialect (see engine.h).
// One thread.
#pragma once

#include <memory>
#include <vector>
#include <string>
#include <unordered_map>

#include "dao_types.h"
#include "platform/mfc/cobject.h"
#include "platform/mfc/cstring.h"

class CDaoWorkspace;
class CDaoRecordset;
class CDaoTableDef;
namespace halyard::dao {
class Connection;
}

struct CDaoTableDefInfo {
  CString m_strName;
};

class CDaoDatabase : public CObject {
 public:
  explicit CDaoDatabase(CDaoWorkspace* pWorkspace = nullptr);
  ~CDaoDatabase() override;
  CDaoDatabase(const CDaoDatabase&) = delete;
  CDaoDatabase& operator=(const CDaoDatabase&) = delete;

  virtual void Create(LPCTSTR lpszName, LPCTSTR lpszLocale = dbLangGeneral, int dwOptions = 0);
  virtual void Open(LPCTSTR lpszName, BOOL bExclusive = FALSE, BOOL bReadOnly = FALSE, LPCTSTR lpszConnect = "");
  virtual void Close();
  BOOL IsOpen() const;
  BOOL CanUpdate() const;
  BOOL CanTransact() const { return IsOpen(); }
  CString GetName() const { return m_strName; }
  CString GetConnect() const { return m_strConnect; }
  // "ODBC" for an ODBC source, "SQLite" for a file.
  CString GetEngineName() const;

  // Runs one action statement (Jet SQL); CDaoException on failure or on a read-only database.
  void Execute(LPCTSTR lpszSQL, int nOptions = dbFailOnError);
  LONG GetRecordsAffected() const { return m_lRecordsAffected; }

  short GetTableDefCount();
  void GetTableDefInfo(int nIndex, CDaoTableDefInfo& tabledefinfo);
  void DeleteTableDef(LPCTSTR lpszName);

  CDaoWorkspace* m_pWorkspace;

  // For the DAO classes: the engine connection (CDaoException when not open) and the
  // registration of the objects closed with the database.
  halyard::dao::Connection& Engine() const;
  void Attach(CDaoRecordset* pSet) { m_recordsets.push_back(pSet); }
  void Detach(CDaoRecordset* pSet) { Remove(m_recordsets, pSet); }
  void Attach(CDaoTableDef* pDef) { m_tabledefs.push_back(pDef); }
  void Detach(CDaoTableDef* pDef) { Remove(m_tabledefs, pDef); }
  // Throws the read-only error when the database cannot be written.
  void RequireWritable() const;
  // What a recordset makes of a query text (worked out once per text by make): the query
  // itself, its table when it can be updated, and the query with the rowid in front.
  struct QueryPlan {
    std::string sql;
    std::string table;
    std::string withRowId;
  };
  template <typename Make>
  const QueryPlan& PlanQuery(const std::string& text, Make make) {
    auto it = m_plans.find(text);
    if (it != m_plans.end()) return it->second;
    if (m_plans.size() > 256) m_plans.clear();
    return m_plans.emplace(text, make(text)).first->second;
  }

 private:
  void OpenEngine(const CString& name, const CString& connect, bool readOnly, bool create);

  std::unique_ptr<halyard::dao::Connection> m_engine;
  std::unique_ptr<CDaoWorkspace> m_ownWorkspace;
  CString m_strName;
  CString m_strConnect;
  LONG m_lRecordsAffected = 0;
  // Few at a time, the newest usually closed first.
  template <typename T>
  static void Remove(std::vector<T*>& list, T* item) {
    for (std::size_t i = list.size(); i-- > 0;) {
      if (list[i] == item) {
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        return;
      }
    }
  }
  std::vector<CDaoRecordset*> m_recordsets;
  std::vector<CDaoTableDef*> m_tabledefs;
  std::unordered_map<std::string, QueryPlan> m_plans;
};
