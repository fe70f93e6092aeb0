// ElemName: the owned name or text of an element. Short texts (most words and tag names) are
// kept inside the eight bytes of the name itself, longer ones in one block of the element pool
// (a DWORD length, the text, a NUL), so that a tree of many small elements stays small. May
// hold NUL bytes; always NUL-terminated. Converts to CString.
#pragma once

#include <bit>
#include <cstddef>
#include <cstring>
#include <iosfwd>

#include "platform/kernel/win_types.h"
#include "platform/mfc/cstring.h"

class ElemName {
 public:
  enum { kInline = 6 };

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
  const char* data() const {
    return IsInline() ? reinterpret_cast<const char*>(b_ + kText) : Block() + sizeof(DWORD);
  }
  int GetLength() const {
    if (IsInline()) return b_[kTag] >> 1;
    DWORD n;
    std::memcpy(&n, Block(), sizeof n);
    return static_cast<int>(n);
  }
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
  // The eight bytes hold either a pointer to the block or, inline, a tag byte (length * 2 + 1)
  // and up to six bytes of text with their NUL. The tag byte is where the pointer keeps its
  // lowest bits, which are clear in a pointer to a block (blocks are 8-aligned), so an odd tag
  // byte means inline.
  static constexpr int kTag = std::endian::native == std::endian::little ? 0 : 7;
  static constexpr int kText = kTag == 0 ? 1 : 0;

  bool IsInline() const { return (b_[kTag] & 1) != 0; }
  const char* Block() const {
    const char* p;
    std::memcpy(&p, b_, sizeof p);
    return p;
  }
  void SetInline(int n) {
    b_[kText + n] = 0;
    b_[kTag] = static_cast<unsigned char>(n * 2 + 1);
  }
  void Init(const char* p, int n) {
    if (!p || n < 0) n = 0;
    if (n <= kInline) {
      if (n) std::memcpy(b_ + kText, p, static_cast<std::size_t>(n));
      SetInline(n);
      return;
    }
    InitHeap(p, n);
  }
  void InitHeap(const char* p, int n);
  void Release();

  alignas(char*) unsigned char b_[sizeof(char*)];
};
