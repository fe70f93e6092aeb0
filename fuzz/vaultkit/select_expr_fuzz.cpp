// The tools' condition language over arbitrary text: a selection or an error with a position
// inside the text (or just behind it), never more. What parses writes a stream form that
// reads back to the same text.
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "datalib/select/cda_select.h"
#include "datalib/select/select_expr.h"
#include "platform/kernel/text.h"

namespace {

// Knows three fields: a text, a number and one of either kind.
class Fields : public vaultkit::SelectFieldResolver {
 public:
  bool Resolve(const std::string& name, LONG* field, LONG* kind) const override {
    static const struct {
      const char* name;
      LONG kind;
    } kFields[] = {{"Title", 0}, {"Pages", 1}, {"Any Thing", -1}};
    for (LONG i = 0; i < 3; ++i) {
      if (halyard::CompareNoCaseAscii(name, kFields[i].name) == 0) {
        *field = i;
        *kind = kFields[i].kind;
        return true;
      }
    }
    return false;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Fields fields;
  vaultkit::SelectExprError error;
  CDASelect* select = vaultkit::ParseSelectExpr(text, 9, &fields, &error);
  if (select == nullptr) {
    if (error.position < 1 || error.position > size + 1 || error.message.empty()) __builtin_trap();
    return 0;
  }
  std::ostringstream out;
  out << *select;
  std::istringstream in(out.str());
  CDASelect* again = CDASelect::mNew(in);
  // In-list selections have no re-creatable stream form of their own.
  if (again != nullptr) {
    std::ostringstream out2;
    out2 << *again;
    if (out2.str() != out.str()) __builtin_trap();
    vaultkit::DeleteSelectTree(again);
  } else if (out.str()[0] != 'N' && out.str().find('N') == std::string::npos) {
    __builtin_trap();
  }
  vaultkit::DeleteSelectTree(select);
  return 0;
}
