#include "string_pool.h"

#include <cstring>
#include <new>

#include "robot_list.h"

namespace siteglean {

const char* StringPool::Copy(std::string_view text) {
  std::size_t need = text.size() + 1;
  if (need > left_) {
    std::size_t size = need > kBlock / 4 ? need : kBlock;
    char* block = new (std::nothrow) char[size];
    if (block == nullptr) RobotFatal("CAN'T GET DYNAMIC MEMORY");
    blocks_.emplace_back(block);
    if (size == kBlock) {
      cur_ = block;
      left_ = size;
    } else {
      // A large text gets a block of its own; the current block stays in use.
      if (!text.empty()) std::memcpy(block, text.data(), text.size());
      block[text.size()] = '\0';
      used_ += need;
      return block;
    }
  }
  char* out = cur_;
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  cur_ += need;
  left_ -= need;
  used_ += need;
  return out;
}

}  // namespace siteglean
