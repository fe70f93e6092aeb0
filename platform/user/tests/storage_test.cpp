// The text and format storage of the edit control against plain per-character models, under
// long random edit sequences.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/user/format_runs.h"
#include "platform/user/gap_text.h"

using halyard::user::FormatRuns;
using halyard::user::GapText;

namespace {

std::vector<UINT> Expand(const FormatRuns& runs) {
  std::vector<UINT> out;
  runs.ForEach(0, runs.size(), [&](LONG s, LONG e, UINT f) {
    EXPECT_EQ(static_cast<LONG>(out.size()), s);
    out.insert(out.end(), static_cast<size_t>(e - s), f);
  });
  return out;
}

TEST(FormatRunsTest, RandomEditsMatchPerCharacterModel) {
  std::mt19937 rng(7);
  FormatRuns runs;
  std::vector<UINT> model;
  runs.Assign(500, 0);
  model.assign(500, 0);
  for (int step = 0; step < 6000; ++step) {
    LONG n = static_cast<LONG>(model.size());
    int op = static_cast<int>(rng() % 4);
    LONG a = n ? static_cast<LONG>(rng() % static_cast<unsigned>(n + 1)) : 0;
    LONG len = static_cast<LONG>(rng() % 40);
    UINT f = rng() % 5;
    if (op == 0) {
      runs.Insert(a, len, f);
      model.insert(model.begin() + a, static_cast<size_t>(len), f);
    } else if (op == 1) {
      LONG m = std::min(len, n - a);
      runs.Erase(a, len);
      model.erase(model.begin() + a, model.begin() + a + m);
    } else if (op == 2) {
      LONG b = std::min(n, a + len * 3);
      runs.Apply(a, b, [&](UINT) { return f; });
      for (LONG i = a; i < b; ++i) model[static_cast<size_t>(i)] = f;
    } else {
      LONG m = std::min(len, n - a);
      std::vector<FormatRuns::Run> piece = runs.Extract(a, m);
      LONG at = n ? static_cast<LONG>(rng() % static_cast<unsigned>(n + 1)) : 0;
      runs.InsertRuns(at, piece);
      std::vector<UINT> copy(model.begin() + a, model.begin() + a + m);
      model.insert(model.begin() + at, copy.begin(), copy.end());
    }
    ASSERT_EQ(runs.size(), static_cast<LONG>(model.size())) << "step " << step;
    if (step % 50 == 0) {
      ASSERT_EQ(Expand(runs), model) << "step " << step;
      if (!model.empty()) {
        LONG p = static_cast<LONG>(rng() % model.size());
        ASSERT_EQ(runs.At(p), model[static_cast<size_t>(p)]);
      }
    }
  }
  EXPECT_EQ(Expand(runs), model);
}

TEST(FormatRunsTest, NeighbouringRunsOfOneFormatAreJoined) {
  FormatRuns runs;
  runs.Assign(100, 1);
  runs.Apply(10, 20, [](UINT) { return 2u; });
  runs.Apply(20, 30, [](UINT) { return 2u; });
  EXPECT_EQ(runs.RunCount(), 3u);
  runs.Apply(0, 100, [](UINT) { return 1u; });
  EXPECT_EQ(runs.RunCount(), 1u);
  runs.Erase(0, 100);
  EXPECT_EQ(runs.size(), 0);
  runs.Insert(0, 5, 3);
  EXPECT_EQ(runs.At(4), 3u);
}

TEST(GapTextTest, RandomEditsMatchString) {
  std::mt19937 rng(11);
  GapText text;
  std::string model = "<HTML><BODY>hello</BODY></HTML>";
  text.assign(model.data(), model.size());
  for (int step = 0; step < 5000; ++step) {
    size_t pos = rng() % (model.size() + 1);
    if (rng() % 2) {
      std::string ins(rng() % 70, static_cast<char>('a' + rng() % 26));
      text.insert(pos, ins.data(), ins.size());
      model.insert(pos, ins);
    } else {
      size_t n = rng() % 50;
      text.erase(pos, n);
      model.erase(pos, std::min(n, model.size() - pos));
    }
    ASSERT_EQ(text.size(), model.size());
    size_t a = rng() % (model.size() + 1);
    ASSERT_EQ(text.substr(a, 60), model.substr(a, 60));
    if (!model.empty()) {
      ASSERT_EQ(text.at(a % model.size()), model[a % model.size()]);
    }
    char c = static_cast<char>('a' + rng() % 26);
    size_t want = model.find(c, a);
    if (want != std::string::npos && want >= model.size()) want = std::string::npos;
    ASSERT_EQ(text.find(c, a, model.size()), want == std::string::npos ? GapText::npos : want);
  }
  EXPECT_EQ(text.substr(0, model.size()), model);
}

}  // namespace
