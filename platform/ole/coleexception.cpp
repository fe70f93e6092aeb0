#include "coleexception.h"

#include <cstdio>

#include "platform/mfc/cmemoryexception.h"

IMPLEMENT_DYNAMIC(COleException, CException)

BOOL COleException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext != nullptr) *pnHelpContext = 0;
  char text[64];
  std::snprintf(text, sizeof(text), "OLE error 0x%08X.", static_cast<unsigned>(m_sc));
  return CopyMessage(text, lpszError, nMaxError);
}

SCODE COleException::Process(const CException* pAnyException) {
  if (pAnyException == nullptr) return E_UNEXPECTED;
  if (const auto* ole = dynamic_cast<const COleException*>(pAnyException)) return ole->m_sc;
  if (dynamic_cast<const CMemoryException*>(pAnyException) != nullptr) return E_OUTOFMEMORY;
  return E_UNEXPECTED;
}

void AfxThrowOleException(SCODE sc) { throw new COleException(sc); }

void AfxCheckError(SCODE sc) {
  if (SUCCEEDED(sc)) return;
  if (sc == E_OUTOFMEMORY) AfxThrowMemoryException();
  AfxThrowOleException(sc);
}
