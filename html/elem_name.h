// ElemName: the owned name or text of an element. Short texts (most words and tag names) are
// kept inside the element, longer ones in one heap block of their own, so that a tree of many
// small elements stays small. May hold NUL bytes; always NUL-terminated. Converts to CString.
#pragma once

#include <cstddef>
#include <cstring>
#include <iosfwd>

#include "platform/kernel/win_types.h"
#include "platform/mfc/cstring.h"

class ElemName {
 public:
  enum { kInline = 14 };

  ElemName() { SetInline(0); }
  ElemName(const char* p, int n) { Init(p, n); }
  ElemName(const ElemName& o) { Init(o.data(), o.GetLength()); }
  ElemName& operator=(const ElemName& o) {
    if (this != &o) Assign(o.data(), o.GetLength());
    return *this;
  }
  ElemName& operator=(const CString& s) {
    Assign(s, s.GetLength());
    return *this;
  }
  ElemName& operator=(const char* s) {
    Assign(s, s ? static_cast<int>(std::strlen(s)) : 0);
    return *this;
  }
  ~ElemName() { Release(); }

  void Assign(const char* p, int n) {
    Release();
    Init(p, n);
  }
  const char* data() const { return IsInline() ? u_.inl : u_.heap.ptr; }
  int GetLength() const { return IsInline() ? (u_.inl[15] & 0x7f) : static_cast<int>(u_.heap.len); }
  bool IsEmpty() const { return GetLength() == 0; }
  operator LPCTSTR() const { return data(); }  // NOLINT(google-explicit-constructor)
  CString ToCString() const { return CString(data(), GetLength()); }
  int CompareNoCase(const char* s) const { return ToCString().CompareNoCase(s); }

  friend bool operator==(const ElemName& a, const char* b) {
    std::size_t n = std::strlen(b);
    return static_cast<std::size_t>(a.GetLength()) == n && std::memcmp(a.data(), b, n) == 0;
  }
  friend bool operator==(const ElemName& a, const CString& b) {
    return a.GetLength() == b.GetLength() &&
           std::memcmp(a.data(), static_cast<const char*>(b),
                       static_cast<std::size_t>(b.GetLength())) == 0;
  }
  friend bool operator!=(const ElemName& a, const char* b) { return !(a == b); }
  friend std::ostream& operator<<(std::ostream& os, const ElemName& n);

 private:
  bool IsInline() const { return (u_.inl[15] & 0x80) != 0; }
  void SetInline(int n) {
    u_.inl[n] = 0;
    u_.inl[15] = static_cast<char>(0x80 | n);
  }
  void Init(const char* p, int n) {
    if (!p || n < 0) n = 0;
    if (n <= kInline) {
      if (n) std::memcpy(u_.inl, p, static_cast<std::size_t>(n));
      SetInline(n);
      return;
    }
    InitHeap(p, n);
  }
  void InitHeap(const char* p, int n);
  void Release();

  union {
    char inl[16];  // [15]: 0x80 | length while inline
    struct {
      char* ptr;
      DWORD len;
      char pad[4];  // [15] stays 0
    } heap;
  } u_;
};
