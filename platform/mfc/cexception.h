// The root of the class library's exceptions. As in the original, exceptions are thrown as
// pointers to heap objects (throw new CFileException(...)); whoever catches one calls Delete().
// An exception object belongs to one thread at a time.
#pragma once

#include "afx_types.h"
#include "cobject.h"

class CException : public CObject {
  DECLARE_DYNAMIC(CException)

 public:
  // bAutoDelete: the object lives on the heap and Delete() frees it.
  explicit CException(BOOL bAutoDelete = TRUE) : m_bAutoDelete(bAutoDelete) {}
  ~CException() override = default;

  // Frees a heap exception; does nothing for one made with bAutoDelete FALSE.
  void Delete();

  // Copies a description (cut to nMaxError - 1 bytes, always terminated) into lpszError.
  // FALSE when the exception has no description.
  virtual BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr);

  BOOL m_bAutoDelete;

 protected:
  // Helper for GetErrorMessage overrides.
  static BOOL CopyMessage(const char* text, LPTSTR lpszError, UINT nMaxError);
};

// Throws a CMemoryException, as the library does when an allocation fails.
[[noreturn]] void AfxThrowMemoryException();
