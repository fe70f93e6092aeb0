// The import's debug trace: lines written to the standard error stream when the environment
// variable SITEGLEAN_TRACE is set to a non-empty value, silent otherwise. Any thread.
#pragma once

namespace siteglean {

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace siteglean
