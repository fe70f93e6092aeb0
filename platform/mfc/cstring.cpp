#include "cstring.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/kernel/text.h"
#include "cmemoryexception.h"
#include "stringtable.h"

namespace {

// Shared by every empty CString that owns no block; never written except with a NUL.
char g_empty[1] = {'\0'};

constexpr std::size_t kMaxLength = INT_MAX - 1;

using halyard::AsciiLower;
using halyard::AsciiUpper;
using halyard::IsCLocaleSpace;

std::size_t SafeLen(const char* p) { return p ? std::strlen(p) : 0; }

bool IsResourceId(const char* p) {
  auto v = reinterpret_cast<std::uintptr_t>(p);
  return v != 0 && v < 0x10000;
}

// Rewrites a format of the Win32 runtime for this host's printf: on Win32 "l" sizes a 32-bit
// integer and "I64" a 64-bit one, "I32" and "I" a 32-bit one.
std::string HostFormat(const char* fmt) {
  std::string out;
  out.reserve(std::strlen(fmt) + 8);
  for (const char* p = fmt; *p;) {
    if (*p != '%') {
      out.push_back(*p++);
      continue;
    }
    out.push_back(*p++);
    if (*p == '%') {
      out.push_back(*p++);
      continue;
    }
    while (*p && std::strchr("-+ #0'", *p)) out.push_back(*p++);
    while (*p == '*' || (*p >= '0' && *p <= '9')) out.push_back(*p++);
    if (*p == '.') {
      out.push_back(*p++);
      while (*p == '*' || (*p >= '0' && *p <= '9')) out.push_back(*p++);
    }
    if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
      out += "ll";
      p += 3;
    } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
      p += 3;
    } else if (p[0] == 'I' && p[1] && std::strchr("diouxX", p[1])) {
      p += 1;
    } else if (p[0] == 'l' && p[1] == 'l') {
      out += "ll";
      p += 2;
    } else if (p[0] == 'l' && p[1] && std::strchr("diouxXn", p[1])) {
      p += 1;
    }
  }
  return out;
}

}  // namespace

CString::CString() noexcept : p_(g_empty), len_(0), cap_(0) {}

CString::CString(const CString& s) : CString() { Assign(s.p_, s.len_); }

CString::CString(CString&& s) noexcept : p_(s.p_), len_(s.len_), cap_(s.cap_) {
  s.p_ = g_empty;
  s.len_ = s.cap_ = 0;
}

CString::CString(LPCSTR psz) : CString() {
  if (IsResourceId(psz)) {
    LoadString((UINT) reinterpret_cast<std::uintptr_t>(psz));
    return;
  }
  std::size_t n = SafeLen(psz);
  if (n > kMaxLength) AfxThrowMemoryException();
  Assign(psz, (int)n);
}

CString::CString(LPCSTR pch, int nLength) : CString() {
  if (pch == nullptr || nLength <= 0) return;
  Assign(pch, nLength);
}

CString::CString(const unsigned char* psz) : CString(reinterpret_cast<const char*>(psz)) {}

CString::CString(char ch, int nRepeat) : CString() {
  if (nRepeat <= 0) return;
  Reserve((std::size_t)nRepeat);
  std::memset(p_, ch, (std::size_t)nRepeat);
  SetLength(nRepeat);
}

CString::~CString() {
  if (p_ != g_empty) std::free(p_);
}

CString& CString::operator=(const CString& s) {
  if (this != &s) Assign(s.p_, s.len_);
  return *this;
}

CString& CString::operator=(CString&& s) noexcept {
  if (this != &s) {
    if (p_ != g_empty) std::free(p_);
    p_ = s.p_;
    len_ = s.len_;
    cap_ = s.cap_;
    s.p_ = g_empty;
    s.len_ = s.cap_ = 0;
  }
  return *this;
}

CString& CString::operator=(LPCSTR psz) {
  if (IsResourceId(psz)) {
    LoadString((UINT) reinterpret_cast<std::uintptr_t>(psz));
    return *this;
  }
  std::size_t n = SafeLen(psz);
  if (n > kMaxLength) AfxThrowMemoryException();
  Assign(psz, (int)n);  // Assign copes with psz pointing into this text
  return *this;
}

CString& CString::operator=(const unsigned char* psz) {
  return *this = reinterpret_cast<const char*>(psz);
}

CString& CString::operator=(char ch) {
  Assign(&ch, 1);
  return *this;
}

void CString::Empty() {
  if (p_ != g_empty) std::free(p_);
  p_ = g_empty;
  len_ = cap_ = 0;
}

void CString::Reserve(std::size_t n) {
  if (n > kMaxLength) AfxThrowMemoryException();
  if (p_ != g_empty && n <= (std::size_t)cap_) return;
  std::size_t cap = n;
  // Grow geometrically so that repeated appends stay linear.
  if (p_ != g_empty && cap < (std::size_t)cap_ + cap_ / 2) cap = (std::size_t)cap_ + cap_ / 2;
  if (cap > kMaxLength) cap = kMaxLength;
  char* q = static_cast<char*>(std::malloc(cap + 1));
  if (q == nullptr) AfxThrowMemoryException();
  std::memcpy(q, p_, (std::size_t)len_);
  q[len_] = '\0';
  if (p_ != g_empty) std::free(p_);
  p_ = q;
  cap_ = (int)cap;
}

void CString::SetLength(int n) {
  len_ = n;
  p_[n] = '\0';
}

void CString::Assign(const char* p, int n) {
  if (n <= 0) {
    if (p_ != g_empty) SetLength(0);
    return;
  }
  if (p_ != g_empty && n <= cap_) {
    std::memmove(p_, p, (std::size_t)n);
    SetLength(n);
    return;
  }
  char* q = static_cast<char*>(std::malloc((std::size_t)n + 1));
  if (q == nullptr) AfxThrowMemoryException();
  std::memcpy(q, p, (std::size_t)n);
  q[n] = '\0';
  if (p_ != g_empty) std::free(p_);
  p_ = q;
  len_ = cap_ = n;
}

void CString::Append(const char* p, std::size_t n) {
  if (n == 0) return;
  if (n > kMaxLength - (std::size_t)len_) AfxThrowMemoryException();
  // p may point into this text; remember it as an offset across the reallocation.
  bool inside = p >= p_ && p < p_ + len_;
  std::size_t off = inside ? (std::size_t)(p - p_) : 0;
  Reserve((std::size_t)len_ + n);
  if (inside) p = p_ + off;
  std::memmove(p_ + len_, p, n);
  SetLength(len_ + (int)n);
}

void CString::Splice(int at, int removeCount, const char* ins, int insCount) {
  std::string tail(p_ + at + removeCount, (std::size_t)(len_ - at - removeCount));
  std::string mid(ins ? ins : "", ins ? (std::size_t)insCount : 0);
  SetLength(at);
  Append(mid.data(), mid.size());
  Append(tail.data(), tail.size());
}

char CString::GetAt(int nIndex) const {
  if (nIndex < 0 || nIndex >= len_) return '\0';
  return p_[nIndex];
}

void CString::SetAt(int nIndex, char ch) {
  if (nIndex < 0 || nIndex >= len_) return;
  p_[nIndex] = ch;
}

CString& CString::operator+=(const CString& s) {
  Append(s.p_, (std::size_t)s.len_);
  return *this;
}

CString& CString::operator+=(LPCSTR psz) {
  Append(psz, SafeLen(psz));
  return *this;
}

CString& CString::operator+=(char ch) {
  Append(&ch, 1);
  return *this;
}

CString operator+(const CString& a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(const CString& a, LPCSTR b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(LPCSTR a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(const CString& a, char b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(char a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

bool operator==(const CString& a, const CString& b) { return a.Compare(b.p_) == 0; }

int CString::Compare(LPCSTR psz) const {
  int c = std::strcmp(p_, psz ? psz : "");
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int CString::CompareNoCase(LPCSTR psz) const {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(p_);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(psz ? psz : "");
  for (;; ++a, ++b) {
    int ca = (unsigned char)AsciiLower((char)*a);
    int cb = (unsigned char)AsciiLower((char)*b);
    if (ca != cb || ca == 0) return ca - cb;
  }
}

int CString::Find(char ch, int nStart) const {
  if (nStart < 0) nStart = 0;
  if (nStart >= len_) return -1;
  const void* hit = std::memchr(p_ + nStart, ch, (std::size_t)(len_ - nStart));
  return hit ? (int)(static_cast<const char*>(hit) - p_) : -1;
}

int CString::Find(LPCSTR pszSub, int nStart) const {
  if (nStart < 0) nStart = 0;
  if (nStart > len_ || pszSub == nullptr) return -1;
  const char* hit = std::strstr(p_ + nStart, pszSub);
  return hit ? (int)(hit - p_) : -1;
}

int CString::ReverseFind(char ch) const {
  for (int i = len_ - 1; i >= 0; --i)
    if (p_[i] == ch) return i;
  return -1;
}

int CString::FindOneOf(LPCSTR pszCharSet) const {
  if (pszCharSet == nullptr || *pszCharSet == '\0') return -1;
  std::size_t n = std::strcspn(p_, pszCharSet);
  return p_[n] ? (int)n : -1;
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, len_ - (nFirst < 0 ? 0 : nFirst)); }

CString CString::Mid(int nFirst, int nCount) const {
  if (nFirst < 0) nFirst = 0;
  if (nCount < 0) nCount = 0;
  if (nFirst >= len_) return CString();
  if ((long long)nFirst + nCount > len_) nCount = len_ - nFirst;
  if (nFirst == 0 && nCount == len_) return *this;
  return CString(p_ + nFirst, nCount);
}

CString CString::Left(int nCount) const {
  if (nCount < 0) nCount = 0;
  if (nCount >= len_) return *this;
  return CString(p_, nCount);
}

CString CString::Right(int nCount) const {
  if (nCount < 0) nCount = 0;
  if (nCount >= len_) return *this;
  return CString(p_ + len_ - nCount, nCount);
}

CString CString::SpanIncluding(LPCSTR pszCharSet) const {
  return Left((int)std::strspn(p_, pszCharSet ? pszCharSet : ""));
}

CString CString::SpanExcluding(LPCSTR pszCharSet) const {
  return Left((int)std::strcspn(p_, pszCharSet ? pszCharSet : ""));
}

void CString::MakeUpper() {
  for (int i = 0; i < len_; ++i) p_[i] = AsciiUpper(p_[i]);
}

void CString::MakeLower() {
  for (int i = 0; i < len_; ++i) p_[i] = AsciiLower(p_[i]);
}

void CString::MakeReverse() {
  for (int i = 0, j = len_ - 1; i < j; ++i, --j) {
    char t = p_[i];
    p_[i] = p_[j];
    p_[j] = t;
  }
}

void CString::TrimLeft() {
  int n = 0;
  while (n < len_ && IsCLocaleSpace(p_[n])) ++n;
  if (n > 0) Splice(0, n, nullptr, 0);
}

void CString::TrimLeft(char chTarget) {
  int n = 0;
  while (n < len_ && p_[n] == chTarget) ++n;
  if (n > 0) Splice(0, n, nullptr, 0);
}

void CString::TrimLeft(LPCSTR pszTargets) {
  if (pszTargets == nullptr || *pszTargets == '\0') return;
  int n = 0;
  while (n < len_ && p_[n] != '\0' && std::strchr(pszTargets, p_[n])) ++n;
  if (n > 0) Splice(0, n, nullptr, 0);
}

void CString::TrimRight() {
  int n = len_;
  while (n > 0 && IsCLocaleSpace(p_[n - 1])) --n;
  if (n < len_) SetLength(n);
}

void CString::TrimRight(char chTarget) {
  int n = len_;
  while (n > 0 && p_[n - 1] == chTarget) --n;
  if (n < len_) SetLength(n);
}

void CString::TrimRight(LPCSTR pszTargets) {
  if (pszTargets == nullptr || *pszTargets == '\0') return;
  int n = len_;
  while (n > 0 && p_[n - 1] != '\0' && std::strchr(pszTargets, p_[n - 1])) --n;
  if (n < len_) SetLength(n);
}

int CString::Replace(char chOld, char chNew) {
  if (chOld == chNew) return 0;
  int count = 0;
  for (int i = 0; i < len_; ++i) {
    if (p_[i] == chOld) {
      p_[i] = chNew;
      ++count;
    }
  }
  return count;
}

int CString::Replace(LPCSTR pszOld, LPCSTR pszNew) {
  std::size_t oldLen = SafeLen(pszOld);
  if (oldLen == 0) return 0;
  std::size_t newLen = SafeLen(pszNew);
  std::string out;
  int count = 0;
  std::size_t i = 0;
  const std::size_t n = (std::size_t)len_;
  while (i < n) {
    if (i + oldLen <= n && std::memcmp(p_ + i, pszOld, oldLen) == 0) {
      out.append(pszNew ? pszNew : "", newLen);
      i += oldLen;
      ++count;
    } else {
      out.push_back(p_[i++]);
    }
  }
  if (count == 0) return 0;
  if (out.size() > kMaxLength) AfxThrowMemoryException();
  Assign(out.data(), (int)out.size());
  return count;
}

int CString::Remove(char ch) {
  int w = 0;
  for (int r = 0; r < len_; ++r)
    if (p_[r] != ch) p_[w++] = p_[r];
  int removed = len_ - w;
  if (removed) SetLength(w);
  return removed;
}

int CString::Insert(int nIndex, char ch) { return Insert(nIndex, CString(ch, 1)); }

int CString::Insert(int nIndex, LPCSTR psz) {
  if (nIndex < 0) nIndex = 0;
  if (nIndex > len_) nIndex = len_;
  std::size_t n = SafeLen(psz);
  if (n == 0) return len_;
  if (n > kMaxLength - (std::size_t)len_) AfxThrowMemoryException();
  Splice(nIndex, 0, psz, (int)n);
  return len_;
}

int CString::Delete(int nIndex, int nCount) {
  if (nIndex < 0) nIndex = 0;
  if (nCount <= 0 || nIndex >= len_) return len_;
  if ((long long)nIndex + nCount > len_) nCount = len_ - nIndex;
  Splice(nIndex, nCount, nullptr, 0);
  return len_;
}

void CString::FormatV(LPCSTR pszFormat, va_list args) {
  if (pszFormat == nullptr) {
    Empty();
    return;
  }
  std::string fmt = HostFormat(pszFormat);
  va_list probe;
  va_copy(probe, args);
  char small[256];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  int n = std::vsnprintf(small, sizeof(small), fmt.c_str(), probe);
  va_end(probe);
  if (n < 0) {
    Empty();
    return;
  }
  if ((std::size_t)n < sizeof(small)) {
    Assign(small, n);
    return;
  }
  std::string big((std::size_t)n + 1, '\0');
  std::vsnprintf(big.data(), big.size(), fmt.c_str(), args);
#pragma GCC diagnostic pop
  Assign(big.data(), n);
}

void CString::Format(LPCSTR pszFormat, ...) {
  va_list args;
  va_start(args, pszFormat);
  FormatV(pszFormat, args);
  va_end(args);
}

void CString::AppendFormat(LPCSTR pszFormat, ...) {
  CString piece;
  va_list args;
  va_start(args, pszFormat);
  piece.FormatV(pszFormat, args);
  va_end(args);
  *this += piece;
}

LPTSTR CString::GetBuffer(int nMinBufLength) {
  if (nMinBufLength < 0) nMinBufLength = 0;
  std::size_t want = (std::size_t)(nMinBufLength > len_ ? nMinBufLength : len_);
  if (p_ == g_empty || want > (std::size_t)cap_) {
    // An exact block: the caller may write up to nMinBufLength bytes and a terminator.
    char* q = static_cast<char*>(std::malloc(want + 1));
    if (q == nullptr) AfxThrowMemoryException();
    std::memcpy(q, p_, (std::size_t)len_);
    std::memset(q + len_, 0, want + 1 - (std::size_t)len_);
    if (p_ != g_empty) std::free(p_);
    p_ = q;
    cap_ = (int)want;
  }
  return p_;
}

void CString::ReleaseBuffer(int nNewLength) {
  if (p_ == g_empty) return;
  if (nNewLength < 0) {
    const void* nul = std::memchr(p_, '\0', (std::size_t)cap_ + 1);
    nNewLength = nul ? (int)(static_cast<const char*>(nul) - p_) : cap_;
  }
  if (nNewLength > cap_) nNewLength = cap_;
  SetLength(nNewLength);
}

LPTSTR CString::GetBufferSetLength(int nNewLength) {
  if (nNewLength < 0) nNewLength = 0;
  GetBuffer(nNewLength);
  SetLength(nNewLength);
  return p_;
}

void CString::FreeExtra() {
  if (p_ == g_empty || cap_ == len_) return;
  CString copy(p_, len_);
  *this = std::move(copy);
}

BOOL CString::LoadString(UINT nID) {
  std::string text;
  if (!halyard::FindStringResource(nID, &text) || text.empty()) {
    Empty();
    return FALSE;
  }
  if (text.size() > kMaxLength) AfxThrowMemoryException();
  Assign(text.data(), (int)text.size());
  return TRUE;
}
