// Plain-text views of a script's structure, for the command-line tool and the tests: one item a
// line, and the scripts of a page handed to a scanner one SCRIPT element after another.
#pragma once

#include <cstddef>
#include <string>

class ScriptItemList;
class ScriptScanner;

namespace halyard::tagsmith {

// One line per item, indented two blanks per level: "group", "function NAME(PARAMS)",
// "call NAME" (with " unclosed" when the script never closed it, and a "name" block when the
// name part holds more than text), "arg N" and text "..." with C escapes.
void DumpScript(const ScriptItemList& list, std::string& out);
// Hands the content of every SCRIPT element of page, in order, to scanner, in pieces of at most
// pieceSize bytes (0: each script whole), each script ending where the scanner says it does.
// Returns how many scripts it found. The structure is not finished.
int ScanPageScripts(ScriptScanner& scanner, const char* page, std::size_t length,
                    std::size_t pieceSize = 0);
// Hands a script file to scanner in pieces of at most pieceSize bytes (0: whole); stops where the
// scanner finds the script's end, and returns how many bytes were script text.
std::size_t ScanScript(ScriptScanner& scanner, const char* text, std::size_t length,
                       std::size_t pieceSize = 0);

}  // namespace halyard::tagsmith
