// Constants and plain description structures of the DAO classes: field types, recordset open
// types and options, database options, and the field and index descriptions that table
// definitions and recordsets hand out. Plain data; any thread may use it.
#pragma once

#include "platform/kernel/win_types.h"
#include "platform/mfc/cstring.h"

// Field types, with the numbers the engine uses for them.
#define dbBoolean 1
#define dbByte 2
#define dbInteger 3
#define dbLong 4
#define dbCurrency 5
#define dbSingle 6
#define dbDouble 7
#define dbDate 8
#define dbText 10
#define dbLongBinary 11
#define dbMemo 12

// Recordset types. Every type is served as a dynaset here.
#define dbOpenTable 1
#define dbOpenDynaset 2
#define dbOpenSnapshot 4

// Recordset and database options.
#define dbDenyWrite 0x1
#define dbDenyRead 0x2
#define dbReadOnly 0x4
#define dbAppendOnly 0x8
#define dbSQLPassThrough 0x40
#define dbFailOnError 0x80

// Field attributes.
#define dbFixedField 0x1
#define dbVariableField 0x2
#define dbAutoIncrField 0x10

// The locale text that CDaoDatabase::Create takes (the data itself is always stored as UTF-8).
#define dbLangGeneral ";LANGID=0x0409;CP=1252;COUNTRY=0"

// Edit modes of a recordset.
#define dbEditNone 0
#define dbEditInProgress 1
#define dbEditAdd 2

struct CDaoFieldInfo {
  CString m_strName;
  short m_nType = 0;
  LONG m_lSize = 0;
  LONG m_lAttributes = 0;
  short m_nOrdinalPosition = 0;
  BOOL m_bRequired = FALSE;
  BOOL m_bAllowZeroLength = FALSE;
  LONG m_lCollatingOrder = 0;
  CString m_strForeignName;
  CString m_strSourceField;
  CString m_strSourceTable;
  CString m_strValidationRule;
  CString m_strValidationText;
  CString m_strDefaultValue;
};

struct CDaoIndexFieldInfo {
  CString m_strName;
  BOOL m_bDescending = FALSE;
};

struct CDaoIndexInfo {
  CString m_strName;
  CDaoIndexFieldInfo* m_pFieldInfos = nullptr;
  short m_nFields = 0;
  BOOL m_bPrimary = FALSE;
  BOOL m_bUnique = FALSE;
  BOOL m_bClustered = FALSE;
  BOOL m_bIgnoreNulls = FALSE;
  BOOL m_bRequired = FALSE;
  BOOL m_bForeign = FALSE;
  LONG m_lDistinctCount = 0;
};
