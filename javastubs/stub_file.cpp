#include "stub_file.h"

#include <cstdarg>
#include <cstdio>

namespace quarb {

namespace {
constexpr std::size_t kFlushAt = 64 * 1024;
}

void StubFile::Printf(const char* format, ...) {
  char buffer[kLineBuffer];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return;
  Put(buffer, std::min<std::size_t>(std::size_t(n), sizeof buffer - 1));
}

void StubFile::Write(const std::string& text) { Put(text.data(), text.size()); }

// A line keeps its first 511 characters; what follows up to its line feed is dropped.
void StubFile::Put(const char* text, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] == '\n') {
      pending_ += '\n';
      column_ = 0;
    } else if (column_ < kLineBuffer - 1) {
      pending_ += text[i];
      ++column_;
    }
  }
  if (pending_.size() >= kFlushAt) Flush();
}

bool StubFile::Flush() {
  if (!pending_.empty() && !failed_) {
    if (FAILED(halyard::ole::WriteFully(stream_, pending_.data(), ULONG(pending_.size()))))
      failed_ = true;
  }
  pending_.clear();
  return !failed_;
}

}  // namespace quarb
