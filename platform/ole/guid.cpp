#include "guid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

namespace halyard::ole {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// The 36 hex/dash characters between the braces; positions 8, 13, 18 and 23 are dashes.
template <typename Char>
void FormatBraced(REFGUID g, Char* out) {
  unsigned idx = 0;
  auto put = [&](unsigned long value, int digits) {
    for (int i = digits - 1; i >= 0; --i)
      out[idx++] = static_cast<Char>(kHex[(value >> (i * 4)) & 0xF]);
  };
  out[idx++] = '{';
  put(g.Data1, 8);
  out[idx++] = '-';
  put(g.Data2, 4);
  out[idx++] = '-';
  put(g.Data3, 4);
  out[idx++] = '-';
  put(g.Data4[0], 2);
  put(g.Data4[1], 2);
  out[idx++] = '-';
  for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
  out[idx++] = '}';
}

int HexValue(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  return -1;
}

template <typename View>
bool ParseBraced(View text, GUID* out) {
  if (text.size() != 38 || text[0] != '{' || text[37] != '}') return false;
  unsigned long long digits[32];
  int n = 0;
  for (size_t i = 1; i < 37; ++i) {
    const size_t pos = i - 1;
    const char32_t c = static_cast<char32_t>(text[i]);
    if (pos == 8 || pos == 13 || pos == 18 || pos == 23) {
      if (c != '-') return false;
      continue;
    }
    const int v = HexValue(c);
    if (v < 0) return false;
    digits[n++] = static_cast<unsigned long long>(v);
  }
  auto take = [&](int from, int count) {
    unsigned long long v = 0;
    for (int i = 0; i < count; ++i) v = (v << 4) | digits[from + i];
    return v;
  };
  GUID g;
  g.Data1 = static_cast<DWORD>(take(0, 8));
  g.Data2 = static_cast<WORD>(take(8, 4));
  g.Data3 = static_cast<WORD>(take(12, 4));
  for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<BYTE>(take(16 + 2 * i, 2));
  *out = g;
  return true;
}

std::u16string_view ViewOf(LPCOLESTR s) {
  size_t n = 0;
  // A braced form is 38 characters; looking further than 39 is pointless and unbounded.
  while (n < 39 && s[n] != 0) ++n;
  return std::u16string_view(s, n);
}

}  // namespace

std::string GuidToString(REFGUID guid) {
  std::string s(38, '\0');
  FormatBraced(guid, s.data());
  return s;
}

bool ParseGuid(std::string_view text, GUID* out) { return ParseBraced(text, out); }
bool ParseGuid(std::u16string_view text, GUID* out) { return ParseBraced(text, out); }

}  // namespace halyard::ole

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (lpsz == nullptr || cchMax < 39) return 0;
  halyard::ole::FormatBraced(rguid, lpsz);
  lpsz[38] = 0;
  return 39;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (pclsid == nullptr) return E_INVALIDARG;
  if (lpsz == nullptr) {
    *pclsid = CLSID_NULL;
    return S_OK;
  }
  return halyard::ole::ParseGuid(halyard::ole::ViewOf(lpsz), pclsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
  if (lpiid == nullptr) return E_INVALIDARG;
  if (lpsz == nullptr) {
    *lpiid = IID_NULL;
    return S_OK;
  }
  return halyard::ole::ParseGuid(halyard::ole::ViewOf(lpsz), lpiid) ? S_OK : E_INVALIDARG;
}

HRESULT CoCreateGuid(GUID* pguid) {
  if (pguid == nullptr) return E_INVALIDARG;
  BYTE bytes[16];
  size_t got = 0;
  while (got < sizeof(bytes)) {
    const ssize_t n = getrandom(bytes + got, sizeof(bytes) - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return E_FAIL;
    }
    got += static_cast<size_t>(n);
  }
  bytes[6] = static_cast<BYTE>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<BYTE>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  GUID g;
  g.Data1 = static_cast<DWORD>(bytes[0]) << 24 | static_cast<DWORD>(bytes[1]) << 16 |
            static_cast<DWORD>(bytes[2]) << 8 | bytes[3];
  g.Data2 = static_cast<WORD>(bytes[4] << 8 | bytes[5]);
  g.Data3 = static_cast<WORD>(bytes[6] << 8 | bytes[7]);
  std::memcpy(g.Data4, bytes + 8, 8);
  *pguid = g;
  return S_OK;
}
