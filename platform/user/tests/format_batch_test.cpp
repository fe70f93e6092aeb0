// Formatting in bulk: runs replaced in one step, and a batch of range formats put back at its
// end, each checked against doing the same one step at a time.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/user/desktop.h"
#include "platform/user/format_runs.h"
#include "platform/user/rich_edit_ctrl.h"

using halyard::user::FormatRuns;

namespace {

std::vector<UINT> Expand(const FormatRuns& runs) {
  std::vector<UINT> out;
  runs.ForEach(0, runs.size(), [&](LONG s, LONG e, UINT f) {
    EXPECT_EQ(static_cast<LONG>(out.size()), s);
    out.insert(out.end(), static_cast<size_t>(e - s), f);
  });
  return out;
}

TEST(FormatRunsReplaceTest, ReplacingRunsMatchesPerCharacterModel) {
  std::mt19937 rng(5);
  FormatRuns runs;
  std::vector<UINT> model(3000, 0);
  runs.Assign(3000, 0);
  for (int step = 0; step < 3000; ++step) {
    LONG n = static_cast<LONG>(model.size());
    LONG a = static_cast<LONG>(rng() % static_cast<unsigned>(n + 1));
    if (step % 3 == 0) {
      // Many small edits between the replacements make many chunks.
      LONG b = std::min<LONG>(n, a + static_cast<LONG>(rng() % 5));
      UINT f = rng() % 4;
      runs.Apply(a, b, [&](UINT) { return f; });
      for (LONG i = a; i < b; ++i) model[static_cast<size_t>(i)] = f;
      continue;
    }
    // From a single character to most of the text.
    LONG len = std::min<LONG>(n - a, static_cast<LONG>(rng() % (step % 5 == 1 ? 2500 : 30)));
    std::vector<FormatRuns::Run> with;
    for (LONG done = 0; done < len;) {
      LONG l = std::min<LONG>(len - done, 1 + static_cast<LONG>(rng() % 9));
      with.push_back(FormatRuns::Run{l, static_cast<UINT>(rng() % 4)});
      for (LONG i = 0; i < l; ++i) model[static_cast<size_t>(a + done + i)] = with.back().fmt;
      done += l;
    }
    runs.Replace(a, with);
    ASSERT_EQ(runs.size(), n) << step;
    if (step % 25 == 0) {
      ASSERT_EQ(Expand(runs), model) << step;
      LONG p = static_cast<LONG>(rng() % model.size());
      ASSERT_EQ(runs.At(p), model[static_cast<size_t>(p)]) << step;
    }
  }
  EXPECT_EQ(Expand(runs), model);
  // Runs that would reach past the text are refused, nothing changed.
  runs.Replace(2990, {FormatRuns::Run{20, 9}});
  EXPECT_EQ(Expand(runs), model);
}

class Batched : public CRichEditCtrl {
 public:
  using CRichEditCtrl::BeginFormatBatch;
  using CRichEditCtrl::EndFormatBatch;
  using CRichEditCtrl::FormatRangeKeepingSelection;
};

TEST(FormatBatchTest, ABatchEndsAsTheSameFormatsOneByOne) {
  halyard::user::Desktop::Reset();
  Batched one, batch;
  ASSERT_TRUE(one.Create(ES_MULTILINE, RECT{0, 0, 100, 100}, nullptr, 0));
  ASSERT_TRUE(batch.Create(ES_MULTILINE, RECT{0, 0, 100, 100}, nullptr, 0));
  std::string text;
  for (int i = 0; i < 200; ++i) text += "<P CLASS=\"x\">row " + std::to_string(i) + "</P>\r\n";
  const LONG len = static_cast<LONG>(text.size());
  for (Batched* e : {&one, &batch}) {
    e->LimitText(0x7FFFFFFF);
    e->SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    e->SetSel(7, 3);
  }
  std::mt19937 rng(3);
  for (int round = 0; round < 20; ++round) {
    LONG from = static_cast<LONG>(rng() % len), to = std::min<LONG>(len, from + static_cast<LONG>(rng() % 3000));
    batch.BeginFormatBatch(from, to);
    for (int i = 0; i < 300; ++i) {
      // Mostly inside the batch, some across either end or wholly outside it.
      LONG a = from - 50 + static_cast<LONG>(rng() % static_cast<unsigned>(to - from + 100));
      LONG b = a + 1 + static_cast<LONG>(rng() % 40);
      CHARFORMAT cf{};
      cf.cbSize = sizeof cf;
      cf.dwMask = CFM_COLOR | (rng() % 5 == 0 ? CFM_ITALIC : 0);
      cf.dwEffects = rng() % 2 ? CFE_ITALIC : 0;
      cf.crTextColor = RGB(rng() % 4 * 60, 0, 0);
      one.FormatRangeKeepingSelection(a, b, cf);
      batch.FormatRangeKeepingSelection(a, b, cf);
    }
    // A message ends a batch as well as EndFormatBatch does.
    if (round % 2)
      batch.EndFormatBatch();
    else
      batch.SendMessage(WM_GETTEXTLENGTH);
    for (LONG p = 0; p < len; ++p) ASSERT_EQ(one.ColorAt(p), batch.ColorAt(p)) << round << " at " << p;
    CHARRANGE s1, s2;
    one.GetSel(s1);
    batch.GetSel(s2);
    EXPECT_EQ(s1.cpMin, s2.cpMin);
    EXPECT_EQ(s1.cpMax, s2.cpMax);
  }
  one.SetSel(0, len);
  batch.SetSel(0, len);
  CHARFORMAT f1{}, f2{};
  EXPECT_EQ(one.GetSelectionCharFormat(f1), batch.GetSelectionCharFormat(f2));
}

}  // namespace
