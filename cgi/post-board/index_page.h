// The board's index page as stored on disk (CR LF line ends, the marker line
// "<!--insertion point-->" CR CR LF) and the insertion of one message line above its marker.
// Pure functions over the file's bytes; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halyard::board {

// The byte offset at which the first marker line starts, or npos when there is none. Lines
// are read as text (CR LF as line feed) in pieces of at most 99 characters, each piece
// compared on its own, so the marker counts only at the start of such a piece.
std::size_t FindInsertionPoint(std::string_view disk);

// The text written at the marker: the index line, the marker line and the twelve tail lines,
// each followed by a line feed (text, not yet translated to CR LF).
std::string InsertionText(std::string_view indexLine);

}  // namespace halyard::board
