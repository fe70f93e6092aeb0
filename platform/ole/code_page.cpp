#include "code_page.h"

#include "platform/kernel/win_error.h"
#include "cp1252_table.h"

namespace halyard::ole {
namespace {

enum class Page { kAnsi, kUtf8, kUnknown };

Page PageOf(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
    case CP_THREAD_ACP:
    case CP_WINDOWS_1252:
      return Page::kAnsi;
    case CP_UTF8:
      return Page::kUtf8;
    default:
      return Page::kUnknown;
  }
}

int Fail(DWORD code) {
  SetLastError(code);
  return 0;
}

// The byte of a character outside Latin-1: the 27 characters of 0x80-0x9F that are no C1
// controls. A table of a quarter of a megabyte would be faster still; a switch is enough.
int HighByteFor(char16_t ch) {
  // clang-format off
  switch (ch) {
    case 0x20AC: return 0x80;
    case 0x201A: return 0x82;
    case 0x0192: return 0x83;
    case 0x201E: return 0x84;
    case 0x2026: return 0x85;
    case 0x2020: return 0x86;
    case 0x2021: return 0x87;
    case 0x02C6: return 0x88;
    case 0x2030: return 0x89;
    case 0x0160: return 0x8A;
    case 0x2039: return 0x8B;
    case 0x0152: return 0x8C;
    case 0x017D: return 0x8E;
    case 0x2018: return 0x91;
    case 0x2019: return 0x92;
    case 0x201C: return 0x93;
    case 0x201D: return 0x94;
    case 0x2022: return 0x95;
    case 0x2013: return 0x96;
    case 0x2014: return 0x97;
    case 0x02DC: return 0x98;
    case 0x2122: return 0x99;
    case 0x0161: return 0x9A;
    case 0x203A: return 0x9B;
    case 0x0153: return 0x9C;
    case 0x017E: return 0x9E;
    case 0x0178: return 0x9F;
    default: return -1;
  }
  // clang-format on
}

// Emits one wide unit into out (when there is room) and counts it.
struct WideSink {
  LPWSTR out;
  int capacity;  // 0: only count
  long long count = 0;
  bool overflow = false;
  void Put(char16_t c) {
    if (capacity > 0) {
      if (count >= capacity) {
        overflow = true;
        return;
      }
      out[count] = c;
    }
    ++count;
  }
};

struct ByteSink {
  LPSTR out;
  int capacity;
  long long count = 0;
  bool overflow = false;
  void Put(char c) {
    if (capacity > 0) {
      if (count >= capacity) {
        overflow = true;
        return;
      }
      out[count] = c;
    }
    ++count;
  }
};

// Decodes one UTF-8 sequence at in[i]; returns the code point or -1 for an invalid sequence, and
// advances i past what it consumed (one byte for an invalid start or a broken sequence).
long DecodeUtf8(const unsigned char* in, size_t n, size_t& i) {
  const unsigned char b0 = in[i];
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int need;
  long cp;
  long min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++i;
    return -1;
  }
  size_t j = i + 1;
  for (int k = 0; k < need; ++k, ++j) {
    if (j >= n || (in[j] & 0xC0) != 0x80) {
      i = j;  // the broken prefix is one replacement
      return -1;
    }
    cp = (cp << 6) | (in[j] & 0x3F);
  }
  i = j;
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  return cp;
}

}  // namespace

char16_t Cp1252ToWide(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kCp1252High[byte - 0x80];
  return byte;
}

int WideToCp1252(char16_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return ch;
  // The five unassigned bytes stand for the C1 controls of their number.
  if (ch == 0x81 || ch == 0x8D || ch == 0x8F || ch == 0x90 || ch == 0x9D) return ch;
  return HighByteFor(ch);
}

std::u16string AnsiToWide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (unsigned char c : text) out.push_back(Cp1252ToWide(c));
  return out;
}

std::string WideToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    const int b = WideToCp1252(c);
    out.push_back(b < 0 ? '?' : static_cast<char>(b));
  }
  return out;
}

}  // namespace halyard::ole

using halyard::ole::Page;

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
  using namespace halyard::ole;
  const Page page = PageOf(CodePage);
  if (page == Page::kUnknown) return Fail(ERROR_INVALID_PARAMETER);
  if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && lpWideCharStr == nullptr)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (page == Page::kUtf8 && (dwFlags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0) {
    return Fail(ERROR_INVALID_FLAGS);
  }
  size_t n;
  if (cbMultiByte == -1) {
    n = 0;
    while (lpMultiByteStr[n] != 0) ++n;
    ++n;  // the NUL is converted too
  } else {
    n = static_cast<size_t>(cbMultiByte);
  }
  const auto* in = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
  WideSink sink{lpWideCharStr, cchWideChar};
  if (page == Page::kAnsi) {
    for (size_t i = 0; i < n && !sink.overflow; ++i) sink.Put(Cp1252ToWide(in[i]));
  } else {
    size_t i = 0;
    while (i < n && !sink.overflow) {
      const long cp = DecodeUtf8(in, n, i);
      if (cp < 0) {
        if (dwFlags & MB_ERR_INVALID_CHARS) return Fail(ERROR_NO_UNICODE_TRANSLATION);
        sink.Put(0xFFFD);
      } else if (cp >= 0x10000) {
        sink.Put(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        sink.Put(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      } else {
        sink.Put(static_cast<char16_t>(cp));
      }
    }
  }
  if (sink.overflow) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (sink.count > 0x7FFFFFFF) return Fail(ERROR_INVALID_PARAMETER);
  return static_cast<int>(sink.count);
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar) {
  using namespace halyard::ole;
  const Page page = PageOf(CodePage);
  if (page == Page::kUnknown) return Fail(ERROR_INVALID_PARAMETER);
  if (lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && lpMultiByteStr == nullptr)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (page == Page::kUtf8) {
    if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) {
      return Fail(ERROR_INVALID_PARAMETER);
    }
    if ((dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) != 0) {
      return Fail(ERROR_INVALID_FLAGS);
    }
  }
  size_t n;
  if (cchWideChar == -1) {
    n = 0;
    while (lpWideCharStr[n] != 0) ++n;
    ++n;
  } else {
    n = static_cast<size_t>(cchWideChar);
  }
  ByteSink sink{lpMultiByteStr, cbMultiByte};
  if (page == Page::kAnsi) {
    const char fallback = lpDefaultChar != nullptr ? *lpDefaultChar : '?';
    bool used = false;
    for (size_t i = 0; i < n && !sink.overflow; ++i) {
      const int b = WideToCp1252(lpWideCharStr[i]);
      if (b < 0) {
        used = true;
        sink.Put(fallback);
      } else {
        sink.Put(static_cast<char>(b));
      }
    }
    if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = used ? TRUE : FALSE;
  } else {
    for (size_t i = 0; i < n && !sink.overflow; ++i) {
      long cp = lpWideCharStr[i];
      if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && lpWideCharStr[i + 1] >= 0xDC00 &&
          lpWideCharStr[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lpWideCharStr[i + 1] - 0xDC00);
        ++i;
      } else if (cp >= 0xD800 && cp <= 0xDFFF) {
        if (dwFlags & WC_ERR_INVALID_CHARS) return Fail(ERROR_NO_UNICODE_TRANSLATION);
        cp = 0xFFFD;
      }
      if (cp < 0x80) {
        sink.Put(static_cast<char>(cp));
      } else if (cp < 0x800) {
        sink.Put(static_cast<char>(0xC0 | (cp >> 6)));
        sink.Put(static_cast<char>(0x80 | (cp & 0x3F)));
      } else if (cp < 0x10000) {
        sink.Put(static_cast<char>(0xE0 | (cp >> 12)));
        sink.Put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        sink.Put(static_cast<char>(0x80 | (cp & 0x3F)));
      } else {
        sink.Put(static_cast<char>(0xF0 | (cp >> 18)));
        sink.Put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        sink.Put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        sink.Put(static_cast<char>(0x80 | (cp & 0x3F)));
      }
    }
  }
  if (sink.overflow) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (sink.count > 0x7FFFFFFF) return Fail(ERROR_INVALID_PARAMETER);
  return static_cast<int>(sink.count);
}
