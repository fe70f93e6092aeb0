#include "stub_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

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
  while (n > 0) {
    const char* feed = static_cast<const char*>(std::memchr(text, '\n', n));
    std::size_t length = feed ? std::size_t(feed - text) : n;
    std::size_t take = std::min(length, kLineBuffer - 1 - column_);
    pending_.append(text, take);
    column_ += take;
    if (feed) {
      pending_ += '\n';
      column_ = 0;
      ++length;
    }
    text += length;
    n -= length;
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
