// COleVariant: the class library's VARIANT that owns and frees its value. Constructors take
// the value types automation knows; text is single-byte (Windows-1252) and becomes a wide BSTR,
// or with VT_BSTRT a BSTR that keeps the single-byte text as it is (the ANSI string variants).
// Failed conversions throw COleException, as in the original. A value object for one thread.
#pragma once

#include <ctime>

#include "platform/mfc/cstring.h"
#include "colecurrency.h"
#include "coledatetime.h"
#include "variant.h"

class CArchive;

// The type code that asks the text constructors for a BSTR holding the single-byte text.
#define VT_BSTRA 14
#define VT_BSTRT VT_BSTRA
// The single-byte text of a BSTR made with VT_BSTRT.
#define V_BSTRT(X) (reinterpret_cast<LPCSTR>((X)->bstrVal))

class COleVariant : public tagVARIANT {
 public:
  COleVariant();
  COleVariant(const VARIANT& varSrc);  // NOLINT(google-explicit-constructor)
  COleVariant(LPCVARIANT pSrc);        // NOLINT(google-explicit-constructor)
  COleVariant(const COleVariant& varSrc);
  COleVariant(COleVariant&& varSrc) noexcept;
  // VT_BSTR: the text converted to UTF-16; VT_BSTRT: its bytes as they are. A null text gives
  // a string variant with a null BSTR.
  COleVariant(LPCTSTR lpszSrc);  // NOLINT(google-explicit-constructor)
  COleVariant(LPCTSTR lpszSrc, VARTYPE vtSrc);
  COleVariant(const CString& strSrc);  // NOLINT(google-explicit-constructor)
  COleVariant(BYTE nSrc);              // NOLINT(google-explicit-constructor)
  // VT_I2, or VT_BOOL (any non-zero value is VARIANT_TRUE).
  COleVariant(short nSrc, VARTYPE vtSrc = VT_I2);  // NOLINT(google-explicit-constructor)
  // VT_I4, VT_ERROR (the value is the status code), VT_BOOL, VT_UI4, VT_INT, VT_UINT,
  // VT_HRESULT; and VT_DATE, where the value is a time_t (seconds since 1970 UTC) and the
  // variant holds the OLE date of that instant in local time. Other codes give VT_I4.
  COleVariant(LONG lSrc, VARTYPE vtSrc = VT_I4);  // NOLINT(google-explicit-constructor)
  // The host's long (wider than a Win32 long): as above, a time_t for VT_DATE keeps its width.
  COleVariant(long lSrc, VARTYPE vtSrc = VT_I4);  // NOLINT(google-explicit-constructor)
  COleVariant(const COleCurrency& curSrc);        // NOLINT(google-explicit-constructor)
  COleVariant(float fltSrc);                      // NOLINT(google-explicit-constructor)
  COleVariant(double dblSrc);                     // NOLINT(google-explicit-constructor)
  COleVariant(const COleDateTime& timeSrc);       // NOLINT(google-explicit-constructor)
  ~COleVariant();

  void Clear();
  // Converts this variant, or pSrc into this variant, to vartype; COleException on failure.
  void ChangeType(VARTYPE vartype, LPVARIANT pSrc = nullptr);
  // Takes over varSrc's value, leaving varSrc VT_EMPTY.
  void Attach(VARIANT& varSrc);
  // Hands over the value; this variant becomes VT_EMPTY.
  VARIANT Detach();
  void SetString(LPCTSTR lpszSrc, VARTYPE vtSrc);

  // Same type and value (strings and arrays compared byte for byte).
  BOOL operator==(const VARIANT& varSrc) const;
  BOOL operator==(LPCVARIANT pSrc) const;
  BOOL operator==(const COleVariant& varSrc) const {
    return *this == static_cast<const VARIANT&>(varSrc);
  }

  const COleVariant& operator=(const VARIANT& varSrc);
  const COleVariant& operator=(LPCVARIANT pSrc);
  const COleVariant& operator=(const COleVariant& varSrc);
  const COleVariant& operator=(COleVariant&& varSrc) noexcept;
  const COleVariant& operator=(LPCTSTR lpszSrc);
  const COleVariant& operator=(const CString& strSrc);
  const COleVariant& operator=(BYTE nSrc);
  const COleVariant& operator=(short nSrc);
  const COleVariant& operator=(LONG lSrc);
  const COleVariant& operator=(const COleCurrency& curSrc);
  const COleVariant& operator=(float fltSrc);
  const COleVariant& operator=(double dblSrc);
  const COleVariant& operator=(const COleDateTime& dateSrc);

  operator LPVARIANT() { return this; }         // NOLINT(google-explicit-constructor)
  operator LPCVARIANT() const { return this; }  // NOLINT(google-explicit-constructor)
};

// The archive form of the class library: the 16-bit type, then the value (a BSTR as its byte
// count and bytes). Loading throws CArchiveException for a type without an archive form or
// for data that ends early; a string is read in pieces, so a false byte count never makes it
// allocate more than the archive holds.
CArchive& operator<<(CArchive& ar, const COleVariant& varSrc);
CArchive& operator>>(CArchive& ar, COleVariant& varSrc);
