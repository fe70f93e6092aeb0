// CDASelect::mRetrieveData over arbitrary bytes: a selection, null, or the archive's (or
// memory) exception, never more. What loads stores again into bytes that load the same.
#include <cstdint>
#include <string>

#include "datalib/select/cda_select.h"
#include "datalib/values/cpd_buffer.h"
#include "platform/mfc/cexception.h"

namespace {

std::string Stored(CDASelect& select) {
  CPDBuffer buffer;
  select.mStoreData(&buffer);
  return std::string(buffer.mGetBuffer() != nullptr ? buffer.mGetBuffer() : "",
                     static_cast<size_t>(buffer.mGetLength()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CPDBuffer buffer;
  // A count of 0 would make mInit take the data for a terminated text.
  if (size > 0) buffer.mInit(reinterpret_cast<const char*>(data), static_cast<LONG>(size));
  CDASelect* select = nullptr;
  try {
    select = CDASelect::mRetrieveData(&buffer);
  } catch (CException* e) {
    e->Delete();
    return 0;
  }
  if (select == nullptr) return 0;
  const std::string first = Stored(*select);
  CPDBuffer again;
  again.mInit(first.data(), static_cast<LONG>(first.size()));
  CDASelect* reloaded = CDASelect::mRetrieveData(&again);
  if (reloaded == nullptr || Stored(*reloaded) != first) __builtin_trap();
  vaultkit::DeleteSelectTree(reloaded);
  vaultkit::DeleteSelectTree(select);
  return 0;
}
