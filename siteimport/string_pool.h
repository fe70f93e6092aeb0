// The string pool from which the robot allocates the texts of its objects: copies are packed
// into large blocks and freed together with the pool (one per exploration). One thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace siteglean {

class StringPool {
 public:
  StringPool() = default;
  StringPool(const StringPool&) = delete;
  StringPool& operator=(const StringPool&) = delete;

  // A NUL-terminated copy of the text that lives as long as the pool.
  const char* Copy(std::string_view text);
  std::size_t BytesUsed() const { return used_; }

 private:
  static constexpr std::size_t kBlock = 64 * 1024;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* cur_ = nullptr;
  std::size_t left_ = 0;
  std::size_t used_ = 0;
};

}  // namespace siteglean
