// CDaoException: what every DAO class throws (as a heap pointer, like the class library's other
// exceptions; the catcher calls Delete()). m_pErrorInfo carries the engine's own error number
// and message: SQLite's result code and text, or the ODBC driver's native code and diagnostic,
// so a caller sees what the engine said. Errors that the DAO layer itself finds (a read-only
// database, a recordset that is not positioned) carry the numbers below.
#pragma once

#include "platform/mfc/cexception.h"
#include "platform/mfc/cstring.h"
#include "platform/ole/hresult.h"
#include "platform/ole/ole_types.h"

struct CDaoErrorInfo {
  LONG m_lErrorCode = 0;
  CString m_strSource;
  CString m_strDescription;
  CString m_strHelpFile;
  LONG m_lHelpContext = 0;
};

// Errors found by the DAO layer itself (m_lErrorCode).
#define AFX_DAO_ERROR_READ_ONLY 3027        // the database or recordset cannot be updated
#define AFX_DAO_ERROR_NO_CURRENT 3021       // no current record
#define AFX_DAO_ERROR_NOT_FOUND 3024        // database file not found
#define AFX_DAO_ERROR_EXISTS 3204           // database already exists
#define AFX_DAO_ERROR_NOT_DATABASE 3343     // not a database file
#define AFX_DAO_ERROR_ITEM_NOT_FOUND 3265   // no field or table of that name / position
#define AFX_DAO_ERROR_NOT_OPEN 3420         // object not open
#define AFX_DAO_ERROR_UPDATE_NO_EDIT 3020   // Update without AddNew or Edit
#define AFX_DAO_ERROR_ROW_UNKNOWN 3197      // the row cannot be identified for an update
#define AFX_DAO_ERROR_BAD_CONNECT 3151      // ODBC connection failed
#define AFX_DAO_ERROR_ENGINE 3146           // an engine call failed (see the description)

class CDaoException : public CException {
  DECLARE_DYNAMIC(CDaoException)

 public:
  CDaoException();
  ~CDaoException() override;

  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;
  // The number of error records (one here, or none).
  short GetErrorCount() const { return m_pErrorInfo != nullptr ? 1 : 0; }

  SCODE m_scode;
  int m_nAfxDaoError;
  CDaoErrorInfo* m_pErrorInfo;
};

// Throws a CDaoException carrying the code, the source ("SQLite", "ODBC", "DAO") and the message.
[[noreturn]] void AfxThrowDaoException(LONG lErrorCode, LPCTSTR lpszSource, LPCTSTR lpszDescription);
