// The one way the tools show a text in their output: between quote marks, with C escapes for
// the marks, the backslash, tab, CR and LF, and a three-digit octal escape for every other byte
// outside printable ASCII. Octal with three digits never swallows a following digit (as \x
// would), and the result is plain ASCII whatever the code page of the text. Pure functions,
// safe on any thread.
#pragma once

#include <string>
#include <string_view>

namespace halyard::tool {

// Appends text to out between two marks ('"' unless told otherwise).
void AppendQuoted(std::string& out, std::string_view text, char mark = '"');

std::string Quote(std::string_view text, char mark = '"');

}  // namespace halyard::tool
