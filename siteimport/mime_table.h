// The suffix table: file-name suffixes with their type codes and MIME types, in a fixed order,
// and the lookups the robot makes with it (type code of a name, MIME type and suffix of a code,
// category of a link target). One process-wide table; its first two suffixes are replaced by
// "htm" and "html" when a SiteGlean is constructed. Lookups may run on any thread once that
// replacement is done.
#pragma once

#include "platform/kernel/export.h"

#include <string>
#include <string_view>
#include <vector>

#include "type_codes.h"

namespace siteglean {

struct MimeRow {
  std::string suffix;
  TypeCode code;
  std::string mime;
};

class MimeTable {
 public:
  // The process's table.
  static MimeTable& Instance();

  MimeTable();

  // Replaces the suffix of row 0 or 1 (the robot puts "htm" and "html" there).
  void ReplaceSuffix(std::size_t row, std::string_view suffix);
  void UseLowerCaseHtmlSuffixes() {
    ReplaceSuffix(0, "htm");
    ReplaceSuffix(1, "html");
  }

  // The type code of a file name: the first row whose suffix equals the text after the last
  // "." (case-insensitive); defaultCode when the name has no suffix; 0xFFFF when none matches.
  TypeCode CodeOfName(std::string_view name, TypeCode defaultCode) const;
  // The MIME type of the first row with the code, or the robot's default MIME text.
  std::string_view MimeOf(TypeCode code) const;
  // The suffix of the first row with the code, or null when no row has it.
  const char* SuffixOf(TypeCode code) const;

  const std::vector<MimeRow>& Rows() const { return rows_; }

  // The MIME text given to type codes that have no row.
  static constexpr std::string_view kDefaultMime = "application/octet-stream";

 private:
  std::vector<MimeRow> rows_;
};

// The category of a link target from the scheme and type code (0: no object).
Category CategoryOf(SchemeCode scheme, TypeCode code);

// A word for a category, for tools and traces ("page", "image", "mailto", ...).
const char* CategoryName(Category c);

}  // namespace siteglean
