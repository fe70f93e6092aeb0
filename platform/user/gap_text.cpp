#include "gap_text.h"

#include <algorithm>
#include <cstring>

namespace halyard::user {

std::string GapText::substr(size_t pos, size_t n) const {
  size_t len = size();
  if (pos >= len) return std::string();
  n = std::min(n, len - pos);
  std::string out;
  out.resize(n);
  size_t end = pos + n;
  size_t i = 0;
  if (pos < gapStart_) {
    size_t m = std::min(end, gapStart_) - pos;
    std::memcpy(out.data(), buf_.data() + pos, m);
    i = m;
  }
  if (end > gapStart_) {
    size_t from = std::max(pos, gapStart_);
    std::memcpy(out.data() + i, buf_.data() + from + (gapEnd_ - gapStart_), end - from);
  }
  return out;
}

void GapText::assign(const char* text, size_t n) {
  buf_.assign(text, text + n);
  buf_.resize(n + 64);
  gapStart_ = n;
  gapEnd_ = buf_.size();
}

void GapText::MoveGap(size_t pos) {
  if (pos < gapStart_) {
    size_t m = gapStart_ - pos;
    std::memmove(buf_.data() + gapEnd_ - m, buf_.data() + pos, m);
    gapStart_ -= m;
    gapEnd_ -= m;
  } else if (pos > gapStart_) {
    size_t m = pos - gapStart_;
    std::memmove(buf_.data() + gapStart_, buf_.data() + gapEnd_, m);
    gapStart_ += m;
    gapEnd_ += m;
  }
}

void GapText::Reserve(size_t n) {
  if (gapEnd_ - gapStart_ >= n) return;
  size_t tail = buf_.size() - gapEnd_;
  size_t grow = std::max(n, buf_.size() / 2 + 64);
  buf_.resize(buf_.size() + grow);
  std::memmove(buf_.data() + buf_.size() - tail, buf_.data() + gapEnd_, tail);
  gapEnd_ = buf_.size() - tail;
}

void GapText::insert(size_t pos, const char* text, size_t n) {
  if (n == 0) return;
  pos = std::min(pos, size());
  Reserve(n);
  MoveGap(pos);
  std::memcpy(buf_.data() + gapStart_, text, n);
  gapStart_ += n;
}

void GapText::erase(size_t pos, size_t n) {
  size_t len = size();
  if (pos >= len || n == 0) return;
  n = std::min(n, len - pos);
  MoveGap(pos);
  gapEnd_ += n;
}

size_t GapText::find(char c, size_t from, size_t to) const {
  to = std::min(to, size());
  size_t gap = gapEnd_ - gapStart_;
  if (from < to && from < gapStart_) {
    size_t e = std::min(to, gapStart_);
    const void* p = std::memchr(buf_.data() + from, c, e - from);
    if (p) return static_cast<size_t>(static_cast<const char*>(p) - buf_.data());
    from = e;
  }
  if (from < to) {
    const void* p = std::memchr(buf_.data() + from + gap, c, to - from);
    if (p) return static_cast<size_t>(static_cast<const char*>(p) - buf_.data()) - gap;
  }
  return npos;
}

}  // namespace halyard::user
