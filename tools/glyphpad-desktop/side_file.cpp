#include "tools/glyphpad-desktop/side_file.h"

#include <sstream>

#include <cstring>

#include "syntaxedit/syntax_edit.h"
#include "syntaxedit/syntax_rich_edit.h"

namespace halyard::glyphpad {

bool ParseSideFile(const std::string& text, long textLength, std::vector<SideField>& out,
                   std::string* error) {
  out.clear();
  std::istringstream in(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(number) + ": " + why;
    out.clear();
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    std::istringstream words(line);
    std::string kind;
    SideField f;
    words >> kind;
    if (kind != "protect" && kind != "hidden") return fail("unknown field \"" + kind + "\"");
    f.hidden = kind == "hidden";
    if (!(words >> f.start >> f.end)) return fail("START END expected");
    if (f.hidden && !(words >> f.first >> f.second)) return fail("FIRST SECOND expected");
    std::string extra;
    if (words >> extra) return fail("unexpected \"" + extra + "\"");
    if (f.start < 0 || f.end <= f.start || f.end > textLength)
      return fail("range " + std::to_string(f.start) + "-" + std::to_string(f.end) +
                  " lies outside the text");
    out.push_back(std::move(f));
  }
  return true;
}

void StyleEditor(CSyntaxEdit& edit) {
  CHARFORMAT cf{};
  cf.cbSize = sizeof cf;
  cf.dwMask = CFM_FACE | CFM_SIZE;
  std::strcpy(cf.szFaceName, "Monospace");
  cf.yHeight = 200;  // twips
  if (edit.GetRichEdit()) edit.GetRichEdit()->SetDefaultCharFormat(cf);
}

bool ApplySideFields(CSyntaxEdit& edit, const std::vector<SideField>& fields) {
  bool all = true;
  for (const SideField& f : fields) {
    if (f.hidden) continue;
    int before = edit.GetProtectRangeCount();
    edit.AddProtectRange(static_cast<int>(f.start), static_cast<int>(f.end));
    all = all && edit.GetProtectRangeCount() == before + 1;
  }
  for (const SideField& f : fields) {
    if (!f.hidden) continue;
    int before = edit.GetHiddenFieldCount();
    edit.AddHiddenField(f.first.c_str(), f.second.c_str(), static_cast<int>(f.start),
                        static_cast<int>(f.end));
    all = all && edit.GetHiddenFieldCount() == before + 1;
  }
  return all;
}

}  // namespace halyard::glyphpad
