#include "cpd_string.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>

#include "datalib/access/cda_data_object.h"
#include "platform/mfc/carchive.h"
#include "platform/ole/colevariant.h"

CPDString::CPDString() { std::memset(mText, 0, sizeof mText); }

CPDString::CPDString(const char* text) {
  std::memset(mText, 0, sizeof mText);
  mAssign(text, kMaxLength);
}

CPDString::CPDString(const CPDString& other) : CPDObject() {
  std::memcpy(mText, other.mText, sizeof mText);
}

CPDString::~CPDString() = default;

void CPDString::mAssign(const char* text, size_t maxLength) {
  if (text == nullptr) {
    mText[0] = 0;
    return;
  }
  size_t n = strnlen(text, maxLength);
  std::memmove(mText, text, n);
  mText[n] = 0;
}

void CPDString::mSetTextArea(const char* area) {
  std::memcpy(mText, area, kTextSize);
  mText[kTextSize - 1] = 0;
}

CPDObject* CPDString::mCopy() const { return new CPDString(*this); }
CPDObject* CPDString::mNew() const { return new CPDString(); }

CPDObject& CPDString::operator=(const CPDObject& other) {
  const auto* o = dynamic_cast<const CPDString*>(&other);
  if (o == nullptr) throw static_cast<char*>(cPDUnsupportedConversion);
  return *this = *o;
}

CPDString& CPDString::operator=(const char* text) {
  mAssign(text, kMaxLength);
  return *this;
}

CPDString& CPDString::operator=(const CPDString& other) {
  if (this != &other) mAssign(other.mText, kMaxLength);
  return *this;
}

short CPDString::getLength() const { return static_cast<short>(strnlen(mText, kTextSize - 1)); }

CPDString& CPDString::operator+=(const CPDString& other) {
  size_t have = strnlen(mText, kTextSize - 1);
  if (have >= static_cast<size_t>(kMaxLength)) return *this;
  size_t add = strnlen(other.mText, kMaxLength - have);
  std::memmove(mText + have, other.mText, add);
  mText[have + add] = 0;
  return *this;
}

CPDString operator+(const CPDString& a, const CPDString& b) {
  CPDString r(a);
  r += b;
  return r;
}
CPDString operator+(const CPDString& a, const char* b) {
  CPDString r(a);
  r += CPDString(b);
  return r;
}
CPDString operator+(const char* a, const CPDString& b) {
  CPDString r(a);
  r += b;
  return r;
}

void CPDString::mConcat(const char* text, int count) {
  if (text == nullptr || count < 0) return;
  size_t n = count == 0 ? std::strlen(text) : static_cast<size_t>(count);
  size_t have = strnlen(mText, kTextSize - 1);
  if (have + n >= static_cast<size_t>(kTextSize)) return;
  std::memmove(mText + have, text, n);
  mText[have + n] = 0;
}

void CPDString::mReplaceAll(char from, char to) {
  for (char* p = mText; *p != 0 && p < mText + kTextSize - 1; ++p) {
    if (*p == from) *p = to;
  }
}

void CPDString::mToLower() {
  for (char* p = mText; *p != 0 && p < mText + kTextSize - 1; ++p)
    *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
}

void CPDString::mToUpper() {
  for (char* p = mText; *p != 0 && p < mText + kTextSize - 1; ++p)
    *p = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
}

int CPDString::mCaseInsensitiveCompare(const CPDString* other) const {
  if (other == nullptr) return 1;
  const unsigned char* a = reinterpret_cast<const unsigned char*>(mText);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(other->mText);
  for (int i = 0; i < kTextSize; ++i) {
    int ca = (a[i] >= 'A' && a[i] <= 'Z') ? a[i] + 32 : a[i];
    int cb = (b[i] >= 'A' && b[i] <= 'Z') ? b[i] + 32 : b[i];
    if (ca != cb || ca == 0) return ca - cb;
  }
  return 0;
}

int CPDString::LoadStringA(unsigned int id) {
  CString s;
  if (!s.LoadString(id)) return 0;
  mAssign(s, kMaxLength);
  return 1;
}

int CPDString::mCompare(const CPDObject* other) const {
  const auto* o = dynamic_cast<const CPDString*>(other);
  if (o == nullptr) return -1;
  int r = std::strncmp(mText, o->mText, kTextSize);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

void CPDString::mGetValue(CDADataObject* record, LONG field) {
  if (record != nullptr) {
    try {
      record->mGetFieldString(field, this);
    } catch (...) {
      mText[0] = 0;
    }
  }
  mResetGuard();
}

void CPDString::mSetValue(CDADataObject* record, LONG field) {
  mResetGuard();
  if (record != nullptr) record->mSetFieldString(field, this);
}

void CPDString::mConvertFromOleVariant(const COleVariant& var) {
  char text[400];
  switch (var.vt) {
    case VT_I4:
      std::snprintf(text, sizeof text, "%d", static_cast<int>(var.lVal));
      *this = text;
      break;
    case VT_R4:
      std::snprintf(text, sizeof text, "%.1f", static_cast<double>(var.fltVal));
      *this = text;
      break;
    case VT_R8:
      std::snprintf(text, sizeof text, "%.1f", var.dblVal);
      *this = text;
      break;
    case VT_BSTR:
      if (var.bstrVal != nullptr) *this = V_BSTRT(&var);
      break;
    default:
      break;
  }
}

void CPDString::mConvertToOleVariant(COleVariant* var) const {
  if (var != nullptr) *var = COleVariant(mText, static_cast<VARTYPE>(VT_BSTRT));
}

void CPDString::Serialize(std::ostream& os) {
  char out[kTextSize + 16];
  int len = getLength();
  int n = std::snprintf(out, 16, "T%d ", len);
  std::memcpy(out + n, mText, static_cast<size_t>(len));
  out[n + len] = ' ';
  os.write(out, n + len + 1);
}

void CPDString::Serialize(std::istream& is) {
  LONG length = 0;
  if (!vaultkit::ReadStreamLength(is, length)) return;
  is.get();
  if (length < kTextSize) {
    is.read(mText, length);
    mText[is.gcount()] = 0;
  } else {
    // Never written by this class: take what fits and leave the rest in the stream.
    is.read(mText, kTextSize);
    mText[is.gcount() < kMaxLength ? is.gcount() : kMaxLength] = 0;
  }
  if (!is) return;
  is.get();
}

void CPDString::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << CString(mText);
  } else {
    CString s;
    ar >> s;
    size_t n = static_cast<size_t>(s.GetLength()) < static_cast<size_t>(kMaxLength)
                   ? static_cast<size_t>(s.GetLength())
                   : static_cast<size_t>(kMaxLength);
    std::memcpy(mText, static_cast<LPCTSTR>(s), n);
    mText[n] = 0;
  }
}
