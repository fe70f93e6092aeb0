// The URL helpers over arbitrary text: the input is a base and a link separated by a line feed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "html/url_string.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string in(reinterpret_cast<const char*>(data), size);
  std::size_t nl = in.find('\n');
  std::string base = in.substr(0, nl);
  std::string link = nl == std::string::npos ? std::string() : in.substr(nl + 1);
  DWORD scheme = 0;
  CString host, path;
  WORD port = 0;
  UrlString::ParseUrl(base.c_str(), scheme, host, path, port);
  UrlString::ParseUrl(link.c_str(), scheme, host, path, port);
  CString a = UrlString::Relative2Absolute(base.c_str(), link.c_str());
  CString r = UrlString::Relative2Root(base.c_str(), link.c_str());
  // A resolved link always ends with what was left of the link.
  if (a.GetLength() < 0 || r.GetLength() < 0) __builtin_trap();
  return 0;
}
