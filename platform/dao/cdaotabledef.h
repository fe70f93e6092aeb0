// CDaoTableDef: the definition of one table. A new definition (Create) collects fields and
// indexes and makes the table on Append; an existing one (Open) adds each new field or index
// to the table at once. Field and index information is read from the engine. Belongs to its
// database, which closes it; one thread.
#pragma once

#include <string>
#include <vector>

#include "dao_types.h"
#include "platform/mfc/cobject.h"
#include "platform/mfc/cstring.h"

class CDaoDatabase;

class CDaoTableDef : public CObject {
 public:
  explicit CDaoTableDef(CDaoDatabase* pDatabase);
  ~CDaoTableDef() override;
  CDaoTableDef(const CDaoTableDef&) = delete;
  CDaoTableDef& operator=(const CDaoTableDef&) = delete;

  void Create(LPCTSTR lpszName, LONG lAttributes = 0, LPCTSTR lpszSrcTable = nullptr, LPCTSTR lpszConnect = nullptr);
  void Open(LPCTSTR lpszName);
  // Makes the table of a new definition, with its fields and its primary index.
  void Append();
  void Close();
  BOOL IsOpen() const { return m_bOpen; }
  CString GetName() const { return m_strName; }

  void CreateField(LPCTSTR lpszName, short nType, LONG lSize, LONG lAttributes = 0);
  void CreateField(CDaoFieldInfo& fieldinfo);
  void CreateIndex(CDaoIndexInfo& indexinfo);

  short GetFieldCount();
  void GetFieldInfo(int nIndex, CDaoFieldInfo& fieldinfo);
  // The primary index (named as it was created, "PrimaryKey" when read from an existing table)
  // and the other indexes made through this object.
  short GetIndexCount();
  void GetIndexInfo(int nIndex, CDaoIndexInfo& indexinfo);

  CDaoDatabase* m_pDatabase;

 private:
  struct Field {
    std::string name;
    short type;
  };
  struct Index {
    std::string name;
    std::vector<std::string> fields;
    bool primary;
    bool unique;
  };
  void RequireOpen() const;
  void ReadFields();
  std::string FieldSql(const Field& f) const;

  BOOL m_bOpen = FALSE;
  BOOL m_bNew = FALSE;
  CString m_strName;
  std::vector<Field> m_fields;
  std::vector<Index> m_indexes;
  std::vector<CDaoIndexFieldInfo> m_indexFieldInfo;
};
