// Matcher: finds a search text in a text the way the rich edit control's find does (ASCII
// case folding, whole words bounded by characters that are no letters, digits or "_"), for
// sweeps over a text that is being replaced as the sweep goes on. Holds its own copy of the
// search text; any thread.
#pragma once

#include <string>

#include "platform/kernel/win_types.h"

namespace glyphpad {

class Matcher {
 public:
  Matcher(std::string what, bool matchCase, bool wholeWord);

  // The first match at or after from, or -1. before is the character that now stands before
  // from (0 for none): the text before from may have been replaced since.
  LONG Next(const std::string& text, LONG from, char before) const;

  static bool IsWordChar(char c);

 private:
  bool Equal(const std::string& text, size_t at) const;

  std::string what_;
  bool matchCase_;
  bool wholeWord_;
};

}  // namespace glyphpad
