// The archive loaders of the values over arbitrary bytes: the first byte picks the kind, the
// rest is the archive. A load ends in success or an archive or memory exception, never more.
#include <cstdint>
#include <memory>

#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "platform/mfc/cmemfile.h"
#include "datalib/values/cpd_array.h"
#include "datalib/values/cpd_buffer.h"
#include "datalib/values/cpd_long.h"
#include "datalib/values/cpd_long_array.h"
#include "datalib/values/cpd_string.h"
#include "datalib/values/cpd_string_array.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::unique_ptr<CPDObject> value;
  switch (data[0] % 6) {
    case 0:
      value = std::make_unique<CPDLong>();
      break;
    case 1:
      value = std::make_unique<CPDString>();
      break;
    case 2:
      value = std::make_unique<CPDBuffer>();
      break;
    case 3:
      value = std::make_unique<CPDArray>(4, 16);
      break;
    case 4:
      value = std::make_unique<CPDLongArray>();
      break;
    default:
      value = std::make_unique<CPDStringArray>();
      break;
  }
  CMemFile file(const_cast<BYTE*>(data + 1), static_cast<UINT>(size - 1), 0);
  try {
    CArchive ar(&file, CArchive::load);
    value->Serialize(ar);
  } catch (CException* e) {
    e->Delete();
    return 0;
  }
  // What loaded must store again and load to the same bytes.
  CMemFile out;
  {
    CArchive ar(&out, CArchive::store);
    value->Serialize(ar);
    ar.Close();
  }
  if (auto* sa = dynamic_cast<CPDStringArray*>(value.get())) {
    for (LONG i = 0; i < sa->mGetNumItems(); ++i) {
      if (sa->mGetAt(i).getLength() > 255) __builtin_trap();
    }
  }
  return 0;
}
