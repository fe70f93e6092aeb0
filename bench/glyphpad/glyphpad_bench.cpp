// Setting a large page (with the full colouring pass), typing into the middle of it and into
// the worst pages for a keystroke, and find and replace across a large page.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>

#include "syntaxedit/syntax_edit.h"
#include "syntaxedit/syntax_rich_edit.h"

namespace {

// The sample page repeated up to the wanted size.
std::string Page(size_t bytes) {
  std::ifstream in(HALYARD_SOURCE_DIR "/bench/glyphpad/data/page.html", std::ios::binary);
  std::string one((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (one.empty()) one = "<P ALIGN=center>text &amp; more</P>\n";
  std::string all;
  while (all.size() < bytes) all += one;
  all.resize(bytes);
  return all;
}

struct Host {
  CWnd frame;
  CSyntaxEdit edit;
  Host() {
    RECT r{0, 0, 800, 600};
    frame.Create("bench", WS_VISIBLE, r, nullptr, 0);
    edit.Create(WS_CHILD | WS_VISIBLE, r, &frame, 100);
    edit.GetRichEdit()->LimitText(0x7FFFFFFF);
  }
};

void BM_SetText(benchmark::State& state) {
  std::string text = Page(static_cast<size_t>(state.range(0)));
  Host host;
  for (auto _ : state) {
    host.edit.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_SetText)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// One character typed in the middle, in plain text (between tags) or inside a tag. Without
// taking it out again the same word would grow on every iteration, so the "+Backspace" cases
// time the keystroke together with the Backspace that restores the page.
void TypeAt(benchmark::State& state, const char* anchor, int offset, char ch, bool restore) {
  std::string text = Page(static_cast<size_t>(state.range(0)));
  Host host;
  host.edit.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  size_t mid = text.find(anchor, text.size() / 2);
  if (mid == std::string::npos) mid = text.size() / 2;
  LONG pos = static_cast<LONG>(mid) + offset;
  SyntaxRichEdit* inner = host.edit.GetRichEdit();
  for (auto _ : state) {
    inner->SetSel(pos, pos);
    inner->SendMessage(WM_CHAR, static_cast<unsigned char>(ch), 0);
    if (restore) inner->SendMessage(WM_KEYDOWN, VK_BACK, 0);
  }
}

void BM_TypeInTextBackspace(benchmark::State& state) { TypeAt(state, "The new ", 4, 'x', true); }
void BM_TypeInTagBackspace(benchmark::State& state) { TypeAt(state, "<TD NOWRAP>", 6, 'x', true); }
void BM_TypeTagCloseBackspace(benchmark::State& state) {
  TypeAt(state, "<TD NOWRAP>", 3, '>', true);
}
// A blank typed between two words of text, again and again: each keystroke recolours only the
// (empty) word at the caret, so this is one keystroke on a page that hardly changes.
void BM_TypeBlankInText(benchmark::State& state) { TypeAt(state, "The new ", 3, ' ', false); }
// The one keystroke that recolours beyond its span: a ">" that closes a comment recolours
// everything after it (here, half of the page).
void BM_CloseCommentBackspace(benchmark::State& state) {
  TypeAt(state, "<!-- page header", 16, '>', true);
}
// A "<" typed into a comment ends it there: everything after it turns green.
void BM_LtInCommentBackspace(benchmark::State& state) {
  TypeAt(state, "<!-- page header", 10, '<', true);
}
// The last letter of a known attribute name taken out and typed again: the Backspace recolours
// the tag, the letter only the name.
void BM_BackspaceRetypeAttributeName(benchmark::State& state) {
  std::string text = Page(static_cast<size_t>(state.range(0)));
  Host host;
  host.edit.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  size_t mid = text.find(" ALIGN=", text.size() / 2);
  if (mid == std::string::npos) mid = text.size() / 2;
  LONG pos = static_cast<LONG>(mid) + 6;
  SyntaxRichEdit* inner = host.edit.GetRichEdit();
  for (auto _ : state) {
    inner->SetSel(pos, pos);
    inner->SendMessage(WM_KEYDOWN, VK_BACK, 0);
    inner->SendMessage(WM_CHAR, 'N', 0);
  }
}
BENCHMARK(BM_CloseCommentBackspace)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LtInCommentBackspace)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackspaceRetypeAttributeName)
    ->Arg(1 << 20)
    ->Arg(4 << 20)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TypeInTextBackspace)
    ->Arg(64 << 10)
    ->Arg(1 << 20)
    ->Arg(4 << 20)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TypeInTagBackspace)
    ->Arg(64 << 10)
    ->Arg(1 << 20)
    ->Arg(4 << 20)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TypeTagCloseBackspace)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TypeBlankInText)->Arg(1 << 20)->Arg(4 << 20)->Unit(benchmark::kMicrosecond);

// ---- find and replace on a 1 MB page ----

// Find Next for a text that only the far end of the page holds, so that the search crosses it
// whole: down from the start, or up from the end through the reversed copy.
void FindAcross(benchmark::State& state, bool down) {
  std::string text = Page(1 << 20);
  if (down)
    text += "ZQZQ";
  else
    text.insert(0, "ZQZQ");
  Host host;
  host.edit.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  SyntaxRichEdit* inner = host.edit.GetRichEdit();
  LONG from = down ? 0 : inner->GetTextLength();
  for (auto _ : state) {
    inner->SetSel(from, from);
    if (!host.edit.FindNextMatch("zqzq", down, FALSE, FALSE)) state.SkipWithError("not found");
  }
}
void BM_FindDown(benchmark::State& state) { FindAcross(state, true); }
void BM_FindUp(benchmark::State& state) { FindAcross(state, false); }
BENCHMARK(BM_FindDown)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindUp)->Unit(benchmark::kMillisecond);

// Replace All of 50,000 matches in a 1 MB page of table cells, recolouring included; the text
// is set anew (untimed) before each round.
void BM_ReplaceAll50000(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < 50000; ++i) text += "<TD>ab</TD> xxxxxx\n";
  Host host;
  for (auto _ : state) {
    state.PauseTiming();
    host.edit.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    state.ResumeTiming();
    if (host.edit.ReplaceAllMatches("<td>", "<FONT>", FALSE, FALSE) != 50000)
      state.SkipWithError("wrong count");
  }
}
BENCHMARK(BM_ReplaceAll50000)->Unit(benchmark::kMillisecond);

// The worst pages for a keystroke: thousands of back-to-back comments or component tags, with
// the character typed near the start and taken out again.
void TypeNearStartOf(benchmark::State& state, const std::string& unit) {
  std::string text;
  while (text.size() < static_cast<size_t>(state.range(0))) text += unit;
  Host host;
  host.edit.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  SyntaxRichEdit* inner = host.edit.GetRichEdit();
  LONG pos = static_cast<LONG>(unit.size()) + 2;
  for (auto _ : state) {
    inner->SetSel(pos, pos);
    inner->SendMessage(WM_CHAR, 'y', 0);
    inner->SendMessage(WM_KEYDOWN, VK_BACK, 0);
  }
}
void BM_TypeBeforeAdjacentCommentsBackspace(benchmark::State& state) {
  TypeNearStartOf(state, "<!--x-->");
}
void BM_TypeBeforeAdjacentComponentsBackspace(benchmark::State& state) {
  TypeNearStartOf(state, "<q-x>");
}
BENCHMARK(BM_TypeBeforeAdjacentCommentsBackspace)
    ->Arg(64000)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TypeBeforeAdjacentComponentsBackspace)
    ->Arg(40000)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
