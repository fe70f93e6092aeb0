// Escaping of visitors' text for the places the programs write it: HTML text and attribute
// values, and double-quoted script strings. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halyard::cgi {

// "&", "<", ">" and the double quote as character references; every other byte unchanged.
std::string HtmlEscape(std::string_view text);

// A text that reads back as itself inside a double-quoted script string and cannot end the
// string, the line or the script block: backslash and double quote get a backslash before
// them, CR and LF become \r and \n, and "<" becomes \x3C. Every other byte unchanged.
// maxLength (0 for none) cuts the result before an escape that would not fit whole.
std::string ScriptEscape(std::string_view text, std::size_t maxLength = 0);

}  // namespace halyard::cgi

// The board's escape for subject and name in an index line: ScriptEscape cut to at most 99
// characters, as a new text that the caller frees with free().
char* EscapeForScript(const char* text);
