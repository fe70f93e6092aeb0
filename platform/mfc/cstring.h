// CString: the class library's single-byte text, Windows-1252 bytes, always NUL-terminated,
// possibly holding NUL bytes inside when built with an explicit length. Positions and lengths
// are ints as in the original; out-of-range arguments are clamped the way the original clamps
// them, never read or written outside the text. A CString belongs to one thread at a time.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "afx_types.h"

class CArchive;

class CString {
 public:
  CString() noexcept;
  CString(const CString& s);
  CString(CString&& s) noexcept;
  // A null pointer gives the empty text; a value below 0x10000 names a string resource, which
  // is loaded (MAKEINTRESOURCE, as in the original).
  CString(LPCSTR psz);                             // NOLINT(google-explicit-constructor)
  CString(std::nullptr_t) noexcept : CString() {}  // NOLINT(google-explicit-constructor)
  CString(LPCSTR pch, int nLength);
  CString(const unsigned char* psz);  // NOLINT(google-explicit-constructor)
  explicit CString(char ch, int nRepeat = 1);
  ~CString();

  CString& operator=(const CString& s);
  CString& operator=(CString&& s) noexcept;
  CString& operator=(LPCSTR psz);
  CString& operator=(std::nullptr_t) {
    Empty();
    return *this;
  }
  CString& operator=(const unsigned char* psz);
  CString& operator=(char ch);

  int GetLength() const { return len_; }
  BOOL IsEmpty() const { return len_ == 0; }
  void Empty();

  operator LPCTSTR() const { return p_; }  // NOLINT(google-explicit-constructor)
  // The byte at an index below GetLength().
  char GetAt(int nIndex) const;
  char operator[](int nIndex) const { return GetAt(nIndex); }
  char operator[](unsigned nIndex) const { return GetAt((int)nIndex); }
  char operator[](long nIndex) const { return GetAt((int)nIndex); }
  char operator[](unsigned long nIndex) const { return GetAt((int)nIndex); }
  void SetAt(int nIndex, char ch);

  CString& operator+=(const CString& s);
  CString& operator+=(LPCSTR psz);
  CString& operator+=(char ch);
  friend CString operator+(const CString& a, const CString& b);
  friend CString operator+(const CString& a, LPCSTR b);
  friend CString operator+(LPCSTR a, const CString& b);
  friend CString operator+(const CString& a, char b);
  friend CString operator+(char a, const CString& b);

  // Byte-wise comparison (strcmp): -1, 0 or 1.
  int Compare(LPCSTR psz) const;
  // Comparison with A-Z folded to a-z (_stricmp): the difference of the first differing bytes.
  int CompareNoCase(LPCSTR psz) const;
  int Collate(LPCSTR psz) const { return Compare(psz); }
  int CollateNoCase(LPCSTR psz) const { return CompareNoCase(psz); }

  // Index of the first occurrence at or after nStart, or -1.
  int Find(char ch) const { return Find(ch, 0); }
  int Find(char ch, int nStart) const;
  int Find(LPCSTR pszSub) const { return Find(pszSub, 0); }
  int Find(LPCSTR pszSub, int nStart) const;
  // Index of the last occurrence, or -1.
  int ReverseFind(char ch) const;
  // Index of the first byte that is one of the given characters, or -1.
  int FindOneOf(LPCSTR pszCharSet) const;

  CString Mid(int nFirst) const;
  CString Mid(int nFirst, int nCount) const;
  CString Left(int nCount) const;
  CString Right(int nCount) const;
  CString SpanIncluding(LPCSTR pszCharSet) const;
  CString SpanExcluding(LPCSTR pszCharSet) const;

  // A-Z and a-z only, as the C runtime's "C" locale converts.
  void MakeUpper();
  void MakeLower();
  void MakeReverse();

  // Without an argument the white space of the C locale (space, \t \n \v \f \r) is removed.
  void TrimLeft();
  void TrimLeft(char chTarget);
  void TrimLeft(LPCSTR pszTargets);
  void TrimRight();
  void TrimRight(char chTarget);
  void TrimRight(LPCSTR pszTargets);
  void Trim() {
    TrimRight();
    TrimLeft();
  }

  // Replaces every occurrence, left to right, not rescanning inserted text; returns the count.
  int Replace(char chOld, char chNew);
  int Replace(LPCSTR pszOld, LPCSTR pszNew);
  // Removes every occurrence of ch; returns the count.
  int Remove(char ch);
  // Inserts at nIndex (clamped to the text); returns the new length.
  int Insert(int nIndex, char ch);
  int Insert(int nIndex, LPCSTR psz);
  // Deletes up to nCount bytes from nIndex; returns the new length.
  int Delete(int nIndex, int nCount = 1);

  // printf formatting, with the Win32 meaning of the size prefixes: "l" is the 32-bit long,
  // "I64" the 64-bit integer.
  void Format(LPCSTR pszFormat, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(LPCSTR pszFormat, va_list args);
  void AppendFormat(LPCSTR pszFormat, ...) __attribute__((format(printf, 2, 3)));

  // A writable buffer of at least nMinBufLength bytes plus a terminator; the text so far is
  // kept. ReleaseBuffer(-1) takes the length from the terminator (searching no further than
  // the buffer), otherwise the given length (clamped to the buffer).
  LPTSTR GetBuffer(int nMinBufLength);
  void ReleaseBuffer(int nNewLength = -1);
  LPTSTR GetBufferSetLength(int nNewLength);
  LPTSTR LockBuffer() { return GetBuffer(0); }
  void UnlockBuffer() {}
  void FreeExtra();

  // Loads string resource nID from the string tables registered by the libraries of this
  // process (halyard::StringTableRegistration). On failure the text becomes empty and the
  // result is FALSE, as for an empty resource.
  BOOL LoadString(UINT nID);

  friend bool operator==(const CString& a, const CString& b);
  friend bool operator==(const CString& a, LPCSTR b) { return a.Compare(b) == 0; }
  friend bool operator==(LPCSTR a, const CString& b) { return b.Compare(a) == 0; }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, LPCSTR b) { return a.Compare(b) != 0; }
  friend bool operator!=(LPCSTR a, const CString& b) { return b.Compare(a) != 0; }
  friend bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
  friend bool operator<(const CString& a, LPCSTR b) { return a.Compare(b) < 0; }
  friend bool operator<(LPCSTR a, const CString& b) { return b.Compare(a) > 0; }
  friend bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }
  friend bool operator>(const CString& a, LPCSTR b) { return a.Compare(b) > 0; }
  friend bool operator>(LPCSTR a, const CString& b) { return b.Compare(a) < 0; }
  friend bool operator<=(const CString& a, const CString& b) { return a.Compare(b) <= 0; }
  friend bool operator<=(const CString& a, LPCSTR b) { return a.Compare(b) <= 0; }
  friend bool operator<=(LPCSTR a, const CString& b) { return b.Compare(a) >= 0; }
  friend bool operator>=(const CString& a, const CString& b) { return a.Compare(b) >= 0; }
  friend bool operator>=(const CString& a, LPCSTR b) { return a.Compare(b) >= 0; }
  friend bool operator>=(LPCSTR a, const CString& b) { return b.Compare(a) <= 0; }

  // The archive form: a length byte below 255; else 0xFF and a WORD length; for 65534 bytes
  // and more 0xFF, 0xFFFF and a DWORD length; then the bytes. Loading also accepts the
  // wide-text form of the original's Unicode builds (0xFF 0xFFFE prefix), converted to
  // Windows-1252.
  friend CArchive& operator<<(CArchive& ar, const CString& s);
  friend CArchive& operator>>(CArchive& ar, CString& s);

 private:
  void Assign(const char* p, int n);
  void Append(const char* p, std::size_t n);
  // Makes room for n bytes plus the terminator; keeps the text.
  void Reserve(std::size_t n);
  void SetLength(int n);
  void Splice(int at, int removeCount, const char* ins, int insCount);

  char* p_;  // the text, NUL-terminated; points at a shared empty text when cap_ is 0
  int len_;  // bytes in use
  int cap_;  // bytes allocated for text, not counting the terminator
};
