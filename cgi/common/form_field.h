// One decoded form field, the cutting of URL-encoded form data into fields, and the walk over
// the fields with the required-field markers ("3a" = "TRUE" asks that field "3" is not empty).
// Plain values; any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace halyard::cgi {

struct FormField {
  std::string name;
  std::string value;
};

// Slot sizes of a program's field records; a longer name or raw pair is cut to its slot.
struct FieldLimits {
  std::size_t maxName;  // characters of the name
  std::size_t maxPair;  // characters of the raw pair before decoding; 0 for no limit
};

// Cuts form data into fields in form order: pairs at "&" on the raw data, each pair decoded,
// then the name taken up to the first "=" of the decoded pair. "a=1&" gives one field,
// "a=1&&b=2" three (the middle one with empty name and value).
std::vector<FormField> CutFormData(std::string_view data, const FieldLimits& limits);

// True for a required-field marker: a name that begins with a digit and ends with "a", and
// the value exactly "TRUE".
bool IsRequiredMarker(const FormField& field);

struct FieldWalk {
  int matchCount = 0;
  bool stopped = false;  // a marker found its field empty and ended the walk
  // For each of the program's names, the position of the last field of that name, or -1.
  std::vector<int> positions;
};

// Walks the fields in order, counting those whose name equals one of names (exact case) and
// remembering their positions, until a marker whose field (anywhere in the request) is empty
// ends the walk. Markers themselves are not matched against names.
FieldWalk WalkFields(const std::vector<FormField>& fields,
                     const std::vector<std::string_view>& names);

}  // namespace halyard::cgi
