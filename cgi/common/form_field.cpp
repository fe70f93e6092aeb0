#include "form_field.h"

#include <unordered_set>

#include "cgi_string.h"

namespace halyard::cgi {

std::vector<FormField> CutFormData(std::string_view data, const FieldLimits& limits) {
  std::vector<FormField> fields;
  std::size_t pos = 0;
  // Works with a cursor instead of moving the rest of the data forward after every pair, so
  // that a request of many pairs costs linear time.
  while (pos < data.size()) {
    std::size_t amp = data.find('&', pos);
    std::size_t end = amp == std::string_view::npos ? data.size() : amp;
    std::string_view raw = data.substr(pos, end - pos);
    pos = amp == std::string_view::npos ? data.size() : amp + 1;
    if (limits.maxPair != 0 && raw.size() > limits.maxPair) raw = raw.substr(0, limits.maxPair);
    std::string pair = DecodeUrlText(raw);
    FormField field;
    std::size_t eq = pair.find('=');
    if (eq == std::string::npos) {
      field.name = pair;
    } else {
      field.name = pair.substr(0, eq);
      field.value = pair.substr(eq + 1);
    }
    if (field.name.size() > limits.maxName) field.name.resize(limits.maxName);
    fields.push_back(std::move(field));
  }
  return fields;
}

bool IsRequiredMarker(const FormField& field) {
  const std::string& n = field.name;
  return !n.empty() && n.front() >= '0' && n.front() <= '9' && n.back() == 'a' &&
         field.value == "TRUE";
}

FieldWalk WalkFields(const std::vector<FormField>& fields,
                     const std::vector<std::string_view>& names) {
  FieldWalk walk;
  walk.positions.assign(names.size(), -1);
  // Names that stand somewhere in the request with an empty value; built once so that a
  // request full of markers is not quadratic.
  std::unordered_set<std::string_view> emptyNames;
  bool emptyNamesBuilt = false;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (walk.stopped) break;
    const FormField& f = fields[i];
    if (IsRequiredMarker(f)) {
      if (!emptyNamesBuilt) {
        for (const FormField& g : fields)
          if (g.value.empty()) emptyNames.insert(g.name);
        emptyNamesBuilt = true;
      }
      std::string_view guarded(f.name.data(), f.name.size() - 1);
      if (emptyNames.count(guarded) != 0) walk.stopped = true;
      continue;
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
      if (f.name == names[k]) {
        ++walk.matchCount;
        walk.positions[k] = static_cast<int>(i);
      }
    }
  }
  return walk;
}

}  // namespace halyard::cgi
