// FormatRuns: which character format each character of an edit control has, kept as runs
// (a length and a format number) in small chunks. Every chunk knows its length, so an edit
// only touches the chunk it falls in (no offsets to shift), and a finger on the last chunk
// visited makes walking the text in order cost nearly nothing per step. One thread only.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/kernel/win_types.h"

namespace halyard::user {

class FormatRuns {
 public:
  struct Run {
    LONG len;
    UINT fmt;
  };

  LONG size() const { return total_; }
  size_t RunCount() const;
  // One run of len characters (none when len is 0).
  void Assign(LONG len, UINT fmt);
  void Insert(LONG pos, LONG len, UINT fmt);
  void InsertRuns(LONG pos, const std::vector<Run>& runs);
  void Erase(LONG pos, LONG len);
  // Replaces the formats of the characters from pos on by the runs, in one step however many
  // there are (pos + their length within the text).
  void Replace(LONG pos, const std::vector<Run>& runs);
  std::vector<Run> Extract(LONG pos, LONG len) const;
  // The format of the character at pos (pos within the text).
  UINT At(LONG pos) const;

  // Replaces the format f of every character in [a, b) by fn(f).
  template <typename Fn>
  void Apply(LONG a, LONG b, Fn fn) {
    if (a < 0) a = 0;
    if (b > total_) b = total_;
    if (a >= b) return;
    SplitAt(a);
    SplitAt(b);
    size_t c, r;
    LONG cs;
    RunAt(a, c, r, cs);
    size_t c0 = c, r0 = r;
    LONG pos = a;
    std::vector<size_t> lastTouched;
    while (pos < b) {
      Run& run = chunks_[c].runs[r];
      run.fmt = fn(run.fmt);
      pos += run.len;
      if (++r == chunks_[c].runs.size() && pos < b) {
        lastTouched.push_back(r - 1);
        ++c;
        r = 0;
      }
    }
    lastTouched.push_back(r - 1);
    for (size_t i = 0; i < lastTouched.size(); ++i) Merge(c0 + i, i == 0 ? r0 : 0, lastTouched[i]);
    fc_ = c0;
    fcStart_ = cs;
  }

  // Calls fn(start, end, fmt) for each run piece inside [a, b), in order.
  template <typename Fn>
  void ForEach(LONG a, LONG b, Fn fn) const {
    ForEachWhile(a, b, [&](LONG s, LONG e, UINT f) {
      fn(s, e, f);
      return true;
    });
  }

  // The same, stopping after the first piece for which fn returns false.
  template <typename Fn>
  void ForEachWhile(LONG a, LONG b, Fn fn) const {
    if (a < 0) a = 0;
    if (b > total_) b = total_;
    if (a >= b) return;
    LONG cs;
    size_t c = FindChunk(a, cs);
    size_t r = 0;
    LONG rs = cs;
    while (rs + chunks_[c].runs[r].len <= a) rs += chunks_[c].runs[r++].len;
    while (rs < b) {
      const Run& run = chunks_[c].runs[r];
      LONG s = rs < a ? a : rs;
      LONG e = rs + run.len > b ? b : rs + run.len;
      if (!fn(s, e, run.fmt)) break;
      rs += run.len;
      if (++r == chunks_[c].runs.size()) {
        if (++c == chunks_.size()) break;
        r = 0;
      }
    }
  }

 private:
  struct Chunk {
    std::vector<Run> runs;
    LONG len = 0;
  };
  static constexpr size_t kMaxRuns = 24;

  size_t FindChunk(LONG pos, LONG& start) const;
  void SplitAt(LONG pos);
  void RunAt(LONG pos, size_t& c, size_t& r, LONG& chunkStart) const;
  void Merge(size_t c, size_t r0, size_t r1);
  void Rebalance(size_t c);

  std::vector<Chunk> chunks_;
  LONG total_ = 0;
  mutable size_t fc_ = 0;
  mutable LONG fcStart_ = 0;
};

}  // namespace halyard::user
