// CDASelect::mNew over arbitrary text: selections or null, never more. Each selection read
// writes a stream form that reads back to the same text.
#include <cstdint>
#include <sstream>
#include <string>

#include "datalib/select/cda_select.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  for (int i = 0; i < 64; ++i) {
    CDASelect* select = CDASelect::mNew(in);
    if (select == nullptr) break;
    std::ostringstream out;
    out << *select;
    std::istringstream back(out.str());
    CDASelect* again = CDASelect::mNew(back);
    if (again == nullptr) __builtin_trap();
    std::ostringstream out2;
    out2 << *again;
    if (out2.str() != out.str()) __builtin_trap();
    vaultkit::DeleteSelectTree(again);
    vaultkit::DeleteSelectTree(select);
  }
  return 0;
}
