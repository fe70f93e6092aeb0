#include "bstr.h"

#include <cstdlib>
#include <cstring>

#include "code_page.h"

namespace {

constexpr size_t kPrefix = sizeof(DWORD);

DWORD* Header(BSTR b) { return reinterpret_cast<DWORD*>(reinterpret_cast<char*>(b) - kPrefix); }

// Room for the prefix, the bytes, and a wide NUL (two zero bytes, three when the count is odd so
// that the terminator after the last whole character is wide as well).
BSTR AllocateBytes(const void* src, size_t bytes) {
  if (bytes > halyard::ole::kMaxBstrBytes) return nullptr;
  char* block = static_cast<char*>(std::malloc(kPrefix + bytes + 3));
  if (block == nullptr) return nullptr;
  const DWORD count = static_cast<DWORD>(bytes);
  std::memcpy(block, &count, kPrefix);
  char* data = block + kPrefix;
  if (src != nullptr) {
    std::memcpy(data, src, bytes);
  } else {
    std::memset(data, 0, bytes);
  }
  std::memset(data + bytes, 0, 3);
  return reinterpret_cast<BSTR>(data);
}

size_t WideLength(const OLECHAR* s) {
  size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  return AllocateBytes(psz, WideLength(psz) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  if (ui > halyard::ole::kMaxBstrBytes / sizeof(OLECHAR)) return nullptr;
  return AllocateBytes(strIn, static_cast<size_t>(ui) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) { return AllocateBytes(psz, len); }

void SysFreeString(BSTR bstrString) {
  if (bstrString != nullptr) std::free(Header(bstrString));
}

UINT SysStringByteLen(BSTR bstr) {
  if (bstr == nullptr) return 0;
  DWORD count;
  std::memcpy(&count, Header(bstr), kPrefix);
  return count;
}

UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (pbstr == nullptr) return FALSE;
  // The source may lie inside the old string, so the new one is made before the old one goes.
  BSTR fresh = SysAllocStringLen(psz, len);
  if (fresh == nullptr) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (pbstr == nullptr) return FALSE;
  if (psz == nullptr) {
    SysFreeString(*pbstr);
    *pbstr = nullptr;
    return TRUE;
  }
  const size_t n = WideLength(psz);
  if (n > halyard::ole::kMaxBstrBytes / sizeof(OLECHAR)) return FALSE;
  return SysReAllocStringLen(pbstr, psz, static_cast<UINT>(n));
}

namespace halyard::ole {

BSTR BstrFromAnsi(std::string_view text) {
  std::u16string wide = AnsiToWide(text);
  if (wide.size() > kMaxBstrBytes / sizeof(OLECHAR)) return nullptr;
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string AnsiFromBstr(BSTR bstr) { return WideToAnsi(BstrView(bstr)); }

std::u16string_view BstrView(BSTR bstr) {
  if (bstr == nullptr) return {};
  return std::u16string_view(bstr, SysStringLen(bstr));
}

}  // namespace halyard::ole
