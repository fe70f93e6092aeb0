// The side file of glyphpad-desktop: the protected ranges and hidden fields of a page, one a
// line, "protect START END" or "hidden START END FIRST SECOND"; blank lines and lines starting
// with # are skipped.
#pragma once

#include <string>
#include <vector>

class CSyntaxEdit;

namespace halyard::glyphpad {

struct SideField {
  bool hidden = false;
  long start = 0;
  long end = 0;
  std::string first, second;  // a hidden field's two texts
};

// Reads the fields; false with the line and reason in error for a malformed line or a range
// that does not lie inside a text of textLength characters (START < END <= textLength).
bool ParseSideFile(const std::string& text, long textLength, std::vector<SideField>& out,
                   std::string* error);
// The look glyphpad-desktop gives the control: 10 point Monospace.
void StyleEditor(CSyntaxEdit& edit);
// Gives the control the fields, protected ranges first; false when the control refused one
// (ranges that overlap).
bool ApplySideFields(CSyntaxEdit& edit, const std::vector<SideField>& fields);

}  // namespace halyard::glyphpad
