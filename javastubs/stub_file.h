// StubFile, the file object through which the stub writers write into a caller's IStream:
// single-byte text, lines ended by a single line feed, each line formatted in a 512-byte
// buffer so that it holds at most 511 characters (the rest of a longer line is cut). It
// writes from the stream's current position and neither seeks, truncates nor releases it.
#pragma once

#include <string>

#include "platform/ole/stream.h"

namespace quarb {

class StubFile {
 public:
  static constexpr std::size_t kLineBuffer = 512;

  explicit StubFile(IStream* stream) : stream_(stream) {}
  ~StubFile() { Flush(); }
  StubFile(const StubFile&) = delete;
  StubFile& operator=(const StubFile&) = delete;

  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Write(const std::string& text);
  // Hands what is pending to the stream. False once the stream has refused a write.
  bool Flush();

 private:
  void Put(const char* text, std::size_t n);

  IStream* stream_;
  std::string pending_;
  std::size_t column_ = 0;  // characters of the current line so far
  bool failed_ = false;
};

}  // namespace quarb
