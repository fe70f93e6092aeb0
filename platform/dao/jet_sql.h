// The Jet dialect as the engines need it: Windows-1252 <-> UTF-8 for texts, Jet's
// case-insensitive comparison (letters of Windows-1252 fold, not only ASCII), Jet's like
// patterns (* any run, ? one character, # one digit, [abc], [a-z], [!...], where [*] is a
// literal *), the rewrite of Jet SQL for an ODBC source, and the text form of dates. Pure
// functions; any thread may call them.
#pragma once

#include <string>
#include <string_view>

#include "platform/ole/ole_types.h"

namespace halyard::dao {

std::string AnsiToUtf8(std::string_view ansi);
// Characters without a Windows-1252 byte become '?'; broken UTF-8 bytes are taken as
// Windows-1252 bytes, so nothing is lost from a database written by a careless client.
std::string Utf8ToAnsi(std::string_view utf8);

// The case-folded (lower-case) form of a character, for the letters Windows-1252 knows.
char32_t FoldCase(char32_t c);
// Compares two UTF-8 texts ignoring case as above: <0, 0, >0.
int CompareNoCaseUtf8(std::string_view a, std::string_view b);
// True when the UTF-8 value matches the UTF-8 Jet pattern, ignoring case.
bool JetLike(std::string_view pattern, std::string_view value);

// Jet SQL (Windows-1252) for an ODBC source whose identifier quote character is quote:
// [name] and bare names become quoted names; "x like 'p'" becomes
// "UPPER(x) LIKE UPPER('p2') ESCAPE '\'" with the pattern in SQL's wildcards, and a text
// compared with = is compared ignoring case the same way. String literals pass unchanged.
std::string RewriteJetForOdbc(std::string_view jetSql, char quote);
// A Jet like pattern in SQL's wildcards, with \ escaping literal % _ and \.
std::string JetPatternToSql(std::string_view pattern);

// "YYYY-MM-DD HH:MM:SS" for an OLE date, and back (false when the text is not a date).
std::string DateToText(DATE date);
bool TextToDate(std::string_view text, DATE* date);

}  // namespace halyard::dao
