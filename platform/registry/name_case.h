// Comparison of registry and profile names without regard to case, as the system compares
// them: Windows-1252 letters (with the accented ones and the few in 0x80-0x9F) match their
// capitals, and names sort by the Unicode values of their capitals. Pure functions.
#pragma once

#include <string>
#include <string_view>

namespace halyard::registry {

// The capital of a Windows-1252 character (itself when it has none).
unsigned char UpperChar(unsigned char c);

bool NamesEqual(std::string_view a, std::string_view b);

// A key whose byte order is the system's order of names: two bytes per character, the
// Unicode value of its capital, high byte first. Equal keys mean equal names.
std::string SortKey(std::string_view name);

}  // namespace halyard::registry
