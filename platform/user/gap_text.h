// GapText: the characters of an edit control, kept in one buffer with a movable gap at the
// place of the last edit, so that typing and deleting near the caret move no more than the
// distance from the previous edit instead of the whole tail of the text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace halyard::user {

class GapText {
 public:
  size_t size() const { return buf_.size() - (gapEnd_ - gapStart_); }
  char at(size_t pos) const {
    return pos < gapStart_ ? buf_[pos] : buf_[pos + gapEnd_ - gapStart_];
  }
  // [pos, pos + n) clamped to the text.
  std::string substr(size_t pos, size_t n) const;
  // The characters from pos (within the text) up to the gap or the end, in place: how many
  // in *n. Valid until the next change.
  const char* span(size_t pos, size_t* n) const {
    if (pos < gapStart_) {
      *n = gapStart_ - pos;
      return buf_.data() + pos;
    }
    *n = buf_.size() - (pos + gapEnd_ - gapStart_);
    return buf_.data() + pos + (gapEnd_ - gapStart_);
  }
  void assign(const char* text, size_t n);
  void insert(size_t pos, const char* text, size_t n);
  void erase(size_t pos, size_t n);
  // First position at or after from (and before to) holding c, or npos.
  size_t find(char c, size_t from, size_t to) const;
  static constexpr size_t npos = static_cast<size_t>(-1);

 private:
  void MoveGap(size_t pos);
  void Reserve(size_t n);

  std::vector<char> buf_;
  size_t gapStart_ = 0;
  size_t gapEnd_ = 0;
};

}  // namespace halyard::user
