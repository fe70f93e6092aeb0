#include "format_runs.h"

#include <algorithm>

namespace halyard::user {

size_t FormatRuns::RunCount() const {
  size_t n = 0;
  for (const Chunk& c : chunks_) n += c.runs.size();
  return n;
}

void FormatRuns::Assign(LONG len, UINT fmt) {
  chunks_.clear();
  total_ = 0;
  fc_ = 0;
  fcStart_ = 0;
  if (len > 0) {
    chunks_.push_back(Chunk{{Run{len, fmt}}, len});
    total_ = len;
  }
}

size_t FormatRuns::FindChunk(LONG pos, LONG& start) const {
  size_t n = chunks_.size();
  size_t c = fc_ < n ? fc_ : 0;
  LONG s = fc_ < n ? fcStart_ : 0;
  while (pos < s && c > 0) {
    --c;
    s -= chunks_[c].len;
  }
  while (pos >= s + chunks_[c].len && c + 1 < n) {
    s += chunks_[c].len;
    ++c;
  }
  fc_ = c;
  fcStart_ = s;
  start = s;
  return c;
}

void FormatRuns::RunAt(LONG pos, size_t& c, size_t& r, LONG& chunkStart) const {
  if (pos >= total_) {
    c = chunks_.size() - 1;
    r = chunks_[c].runs.size();
    chunkStart = total_ - chunks_[c].len;
    return;
  }
  c = FindChunk(pos, chunkStart);
  LONG rs = chunkStart;
  r = 0;
  while (rs + chunks_[c].runs[r].len <= pos) rs += chunks_[c].runs[r++].len;
}

void FormatRuns::SplitAt(LONG pos) {
  if (pos <= 0 || pos >= total_) return;
  LONG s;
  size_t c = FindChunk(pos, s);
  auto& runs = chunks_[c].runs;
  LONG rs = s;
  for (size_t r = 0; r < runs.size(); ++r) {
    if (rs == pos) return;
    if (pos < rs + runs[r].len) {
      Run tail{rs + runs[r].len - pos, runs[r].fmt};
      runs[r].len = pos - rs;
      runs.insert(runs.begin() + static_cast<std::ptrdiff_t>(r) + 1, tail);
      Rebalance(c);
      return;
    }
    rs += runs[r].len;
  }
}

void FormatRuns::Merge(size_t c, size_t r0, size_t r1) {
  auto& v = chunks_[c].runs;
  if (v.empty()) return;
  size_t lo = r0 > 0 ? r0 - 1 : 0;
  size_t hi = std::min(r1 + 1, v.size() - 1);
  size_t w = lo;
  for (size_t i = lo + 1; i <= hi; ++i) {
    if (v[i].fmt == v[w].fmt)
      v[w].len += v[i].len;
    else
      v[++w] = v[i];
  }
  v.erase(v.begin() + static_cast<std::ptrdiff_t>(w) + 1,
          v.begin() + static_cast<std::ptrdiff_t>(hi) + 1);
}

void FormatRuns::Rebalance(size_t c) {
  Chunk& ch = chunks_[c];
  if (ch.runs.size() <= kMaxRuns) return;
  Chunk second;
  size_t half = ch.runs.size() / 2;
  second.runs.assign(ch.runs.begin() + static_cast<std::ptrdiff_t>(half), ch.runs.end());
  ch.runs.resize(half);
  for (const Run& r : second.runs) second.len += r.len;
  ch.len -= second.len;
  chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(c) + 1, std::move(second));
}

void FormatRuns::Insert(LONG pos, LONG len, UINT fmt) {
  if (len <= 0) return;
  if (chunks_.empty()) {
    Assign(len, fmt);
    return;
  }
  pos = std::clamp<LONG>(pos, 0, total_);
  SplitAt(pos);
  size_t c, r;
  LONG cs;
  RunAt(pos, c, r, cs);
  if (r == 0 && c > 0 && chunks_[c - 1].runs.back().fmt == fmt) {
    --c;
    cs -= chunks_[c].len;
    r = chunks_[c].runs.size();
  }
  Chunk& ch = chunks_[c];
  if (r > 0 && ch.runs[r - 1].fmt == fmt)
    ch.runs[r - 1].len += len;
  else if (r < ch.runs.size() && ch.runs[r].fmt == fmt)
    ch.runs[r].len += len;
  else
    ch.runs.insert(ch.runs.begin() + static_cast<std::ptrdiff_t>(r), Run{len, fmt});
  ch.len += len;
  total_ += len;
  fc_ = c;
  fcStart_ = cs;
  Rebalance(c);
}

void FormatRuns::InsertRuns(LONG pos, const std::vector<Run>& runs) {
  for (const Run& r : runs) {
    Insert(pos, r.len, r.fmt);
    pos += r.len;
  }
}

void FormatRuns::Erase(LONG pos, LONG len) {
  if (pos < 0) {
    len += pos;
    pos = 0;
  }
  if (len > total_ - pos) len = total_ - pos;
  if (len <= 0) return;
  SplitAt(pos);
  SplitAt(pos + len);
  size_t c, r;
  LONG cs;
  RunAt(pos, c, r, cs);
  size_t c0 = c;
  LONG remaining = len;
  while (remaining > 0 && c < chunks_.size()) {
    Chunk& ch = chunks_[c];
    size_t e = r;
    LONG removed = 0;
    while (e < ch.runs.size() && removed < remaining) removed += ch.runs[e++].len;
    ch.runs.erase(ch.runs.begin() + static_cast<std::ptrdiff_t>(r),
                  ch.runs.begin() + static_cast<std::ptrdiff_t>(e));
    ch.len -= removed;
    remaining -= removed;
    if (ch.runs.empty()) {
      chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(c));
    } else {
      ++c;
    }
    r = 0;
  }
  total_ -= len;
  // The finger goes back to a chunk whose start is known to be unchanged.
  if (c0 < chunks_.size() && chunks_[c0].len > 0 && cs <= pos) {
    fc_ = c0;
    fcStart_ = cs;
  } else {
    fc_ = 0;
    fcStart_ = 0;
  }
  if (pos > 0 && pos < total_) {
    size_t pc, pr;
    LONG pcs;
    RunAt(pos - 1, pc, pr, pcs);
    auto& v = chunks_[pc].runs;
    if (pr + 1 < v.size() && v[pr + 1].fmt == v[pr].fmt) {
      v[pr].len += v[pr + 1].len;
      v.erase(v.begin() + static_cast<std::ptrdiff_t>(pr) + 1);
    }
  }
}

void FormatRuns::Replace(LONG pos, const std::vector<Run>& runs) {
  LONG len = 0;
  for (const Run& r : runs) len += std::max<LONG>(0, r.len);
  if (pos < 0 || len <= 0 || len > total_ - pos) return;
  SplitAt(pos);
  SplitAt(pos + len);
  // Chunks c0..c1 are replaced whole: by the runs of c0 before pos, the new runs in chunks
  // half full, and the runs of c1 from pos + len on.
  size_t c0, r0, c1, r1;
  LONG s0, s1;
  RunAt(pos, c0, r0, s0);
  RunAt(pos + len, c1, r1, s1);
  std::vector<Chunk> with;
  auto add = [&](const Run& r) {
    if (r.len <= 0) return;
    if (with.empty() || with.back().runs.size() >= kMaxRuns / 2) with.emplace_back();
    with.back().runs.push_back(r);
    with.back().len += r.len;
  };
  for (size_t r = 0; r < r0; ++r) add(chunks_[c0].runs[r]);
  for (const Run& r : runs) add(r);
  for (size_t r = r1; r < chunks_[c1].runs.size(); ++r) add(chunks_[c1].runs[r]);
  chunks_.erase(chunks_.begin() + static_cast<std::ptrdiff_t>(c0),
                chunks_.begin() + static_cast<std::ptrdiff_t>(c1) + 1);
  chunks_.insert(chunks_.begin() + static_cast<std::ptrdiff_t>(c0), std::make_move_iterator(with.begin()),
                 std::make_move_iterator(with.end()));
  fc_ = 0;
  fcStart_ = 0;
}

std::vector<FormatRuns::Run> FormatRuns::Extract(LONG pos, LONG len) const {
  std::vector<Run> out;
  ForEach(pos, pos + len, [&](LONG s, LONG e, UINT f) {
    if (!out.empty() && out.back().fmt == f)
      out.back().len += e - s;
    else
      out.push_back(Run{e - s, f});
  });
  return out;
}

UINT FormatRuns::At(LONG pos) const {
  if (chunks_.empty()) return 0;
  pos = std::clamp<LONG>(pos, 0, total_ - 1);
  LONG cs;
  size_t c = FindChunk(pos, cs);
  LONG rs = cs;
  for (const Run& r : chunks_[c].runs) {
    if (pos < rs + r.len) return r.fmt;
    rs += r.len;
  }
  return chunks_[c].runs.back().fmt;
}

}  // namespace halyard::user
