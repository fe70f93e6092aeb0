#include "name_case.h"

namespace halyard::registry {
namespace {

// Unicode values of Windows-1252 0x80..0x9F (unassigned bytes map to themselves).
constexpr unsigned short kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

unsigned short Unicode(unsigned char c) { return c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c; }

}  // namespace

unsigned char UpperChar(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A:  // s caron
      return 0x8A;
    case 0x9C:  // oe
      return 0x8C;
    case 0x9E:  // z caron
      return 0x8E;
    case 0xFF:  // y diaeresis
      return 0x9F;
    default:
      return c;
  }
}

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperChar(static_cast<unsigned char>(a[i])) != UpperChar(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string SortKey(std::string_view name) {
  std::string key;
  key.reserve(name.size() * 2);
  for (char ch : name) {
    unsigned short u = Unicode(UpperChar(static_cast<unsigned char>(ch)));
    key.push_back(static_cast<char>(u >> 8));
    key.push_back(static_cast<char>(u & 0xFF));
  }
  return key;
}

}  // namespace halyard::registry
