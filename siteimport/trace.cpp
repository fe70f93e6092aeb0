#include "trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace siteglean {

void Trace(const char* format, ...) {
  static const bool on = [] {
    const char* v = std::getenv("SITEGLEAN_TRACE");
    return v != nullptr && *v != '\0';
  }();
  if (!on) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}

}  // namespace siteglean
