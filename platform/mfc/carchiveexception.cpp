#include "carchiveexception.h"

IMPLEMENT_DYNAMIC(CArchiveException, CException)

BOOL CArchiveException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext) {
  if (pnHelpContext) *pnHelpContext = 0;
  static const char* const kTexts[] = {
      "No error occurred.",
      "An unexpected error occurred while reading or writing the archive.",
      "Tried to write to an archive opened for loading.",
      "Reached the end of the data while reading the archive.",
      "Tried to read from an archive opened for storing.",
      "The archive has an invalid object or class reference.",
      "The archive names an unknown or unexpected class.",
      "The archive holds an object of an unsupported version.",
  };
  const char* text = (m_cause >= 0 && m_cause <= badSchema) ? kTexts[m_cause] : kTexts[generic];
  CString msg(text);
  if (!m_strFileName.IsEmpty()) msg = CString(m_strFileName) + ": " + msg;
  return CopyMessage(msg, lpszError, nMaxError);
}

void AfxThrowArchiveException(int cause, LPCTSTR lpszArchiveName) {
  throw new CArchiveException(cause, lpszArchiveName);
}
