// Raised when memory cannot be had, or when a memory file must grow but may not.
#pragma once

#include "cexception.h"

class CMemoryException : public CException {
  DECLARE_DYNAMIC(CMemoryException)

 public:
  CMemoryException() = default;
  BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) override;
};
