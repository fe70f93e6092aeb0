// The string routines of the CGI programs: cutting texts at a delimiter, decoding URL-encoded
// form data and reading the small configuration files. All work on NUL-terminated byte texts
// and keep no state; any thread may call them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Copies the characters of source before the first delimiter (all of it when there is none) to
// destination, then removes them and the delimiter from the front of source. destination must
// hold strlen(source) + 1 bytes.
void SplitAt(char* destination, char* source, char delimiter);
// The same, but stores at most destinationSize - 1 characters (the rest of the piece is still
// removed from source), so a piece longer than its slot is cut, never written past the slot.
void SplitAt(char* destination, std::size_t destinationSize, char* source, char delimiter);
// SplitAt into a new text of exactly the right size; the caller frees it with free().
char* SplitAtCopy(char* source, char delimiter);

// The byte that two hexadecimal digits stand for. Lower-case letters work; nothing is checked.
int HexPairValue(const char* pair);

// Decodes URL-encoded text in place: "+" to blank, "%" and two characters to one byte. A "%"
// with fewer than two characters after it is kept as it stands.
void DecodeUrl(char* text);

// Reads the text file fileName (text mode, current directory) into buffer: at most 2048
// characters and never more than bufferSize - 1, then a terminator. A file that cannot be
// opened gives the empty text. Always 1.
int ReadConfigText(const char* fileName, char* buffer, std::size_t bufferSize);

namespace halyard::cgi {

// The bytes a text takes on disk when written in text mode: every line feed as CR LF, every
// other byte (a lone CR included) unchanged.
std::string TextModeBytes(std::string_view text);

// DecodeUrl over a text that need not end in NUL. The result ends at the first NUL that the
// decoding produced, as the decoded text does for every routine that reads it afterwards.
std::string DecodeUrlText(std::string_view text);

}  // namespace halyard::cgi
