// COleException: the class library's exception for a failed OLE call, carrying its status
// code. Thrown as a heap pointer, like every class library exception; the catcher calls
// Delete(). AfxCheckError turns a failed status into the matching exception.
#pragma once

#include "platform/mfc/cexception.h"
#include "hresult.h"
#include "ole_types.h"

class COleException : public CException {
  DECLARE_DYNAMIC(COleException)

 public:
  explicit COleException(SCODE sc = S_OK) : m_sc(sc) {}
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;

  // The status code of an exception: m_sc for an OLE exception, E_OUTOFMEMORY for a memory
  // exception, E_UNEXPECTED for anything else.
  static SCODE Process(const CException* pAnyException);

  SCODE m_sc;
};

[[noreturn]] void AfxThrowOleException(SCODE sc);
// Nothing for a success; a CMemoryException for E_OUTOFMEMORY; a COleException otherwise.
void AfxCheckError(SCODE sc);
