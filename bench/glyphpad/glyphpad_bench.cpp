// Setting a large page (with the full colouring pass) and typing into the middle of it.
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

}  // namespace

BENCHMARK_MAIN();
