#include "cdaoexception.h"

IMPLEMENT_DYNAMIC(CDaoException, CException)

CDaoException::CDaoException() : m_scode(S_OK), m_nAfxDaoError(0), m_pErrorInfo(nullptr) {}

CDaoException::~CDaoException() { delete m_pErrorInfo; }

BOOL CDaoException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext != nullptr) *pnHelpContext = 0;
  if (m_pErrorInfo == nullptr) return CException::GetErrorMessage(lpszError, nMaxError, pnHelpContext);
  return CopyMessage(m_pErrorInfo->m_strDescription, lpszError, nMaxError);
}

void AfxThrowDaoException(LONG lErrorCode, LPCTSTR lpszSource, LPCTSTR lpszDescription) {
  auto* e = new CDaoException();
  e->m_scode = E_FAIL;
  e->m_pErrorInfo = new CDaoErrorInfo();
  e->m_pErrorInfo->m_lErrorCode = lErrorCode;
  e->m_pErrorInfo->m_strSource = lpszSource;
  e->m_pErrorInfo->m_strDescription = lpszDescription;
  throw e;
}
