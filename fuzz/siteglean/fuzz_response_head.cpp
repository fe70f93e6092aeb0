// Feeds arbitrary bytes to the response-head reader in pieces, and to the date parser.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "siteimport/response_head.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view all(reinterpret_cast<const char*>(data), size);
  siteglean::ResponseRecord r;
  std::size_t step = size > 0 ? (data[0] % 7) + 1 : 1;
  for (std::size_t i = 0; i < all.size(); i += step) r.Feed(all.substr(i, step));
  if (!r.headComplete && !r.head.empty()) r.ParseHead();
  siteglean::ParseHttpDate(all);
  return 0;
}
