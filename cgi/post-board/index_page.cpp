#include "index_page.h"

#include <cstring>

#include "message_pieces.h"

namespace halyard::board {

namespace {
constexpr std::size_t kPieceLength = 99;  // characters per read of a line
}

std::size_t FindInsertionPoint(std::string_view disk) {
  const std::size_t markerLength = std::strlen(kMarkerLine);
  std::size_t start = 0;
  while (start < disk.size()) {
    std::size_t lf = disk.find('\n', start);
    std::size_t next = lf == std::string_view::npos ? disk.size() : lf + 1;
    // The characters of the line as text: a CR right before the line feed belongs to it.
    std::size_t textEnd = lf == std::string_view::npos ? disk.size() : lf;
    if (lf != std::string_view::npos && lf > start && disk[lf - 1] == '\r') --textEnd;
    std::size_t length = textEnd - start;
    if (length > 0) {
      // Only the last piece of the line can be as short as the marker.
      std::size_t last = start + (length - 1) / kPieceLength * kPieceLength;
      if (textEnd - last == markerLength &&
          disk.compare(last, markerLength, kMarkerLine, markerLength) == 0)
        return last;
    }
    start = next;
  }
  return std::string_view::npos;
}

std::string InsertionText(std::string_view indexLine) {
  std::string text(indexLine);
  text += "\n";
  text += "<!--insertion point-->\r\n";
  for (const char* line : kIndexTail) {
    text += line;
    text += "\n";
  }
  return text;
}

}  // namespace halyard::board
