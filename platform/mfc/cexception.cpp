#include "cexception.h"

#include <cstring>

#include "cmemoryexception.h"

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CMemoryException, CException)

void CException::Delete() {
  if (m_bAutoDelete > 0) delete this;
}

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext) *pnHelpContext = 0;
  if (lpszError && nMaxError) *lpszError = '\0';
  return FALSE;
}

BOOL CException::CopyMessage(const char* text, LPTSTR lpszError, UINT nMaxError) {
  if (lpszError == nullptr || nMaxError == 0) return FALSE;
  std::size_t n = std::strlen(text);
  if (n > nMaxError - 1) n = nMaxError - 1;
  std::memcpy(lpszError, text, n);
  lpszError[n] = '\0';
  return TRUE;
}

BOOL CMemoryException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext) *pnHelpContext = 0;
  return CopyMessage("Out of memory.", lpszError, nMaxError);
}

void AfxThrowMemoryException() { throw new CMemoryException(); }
