// Colouring left for later: a control that colours past the window on its timer shows, at every
// moment and through every way of reading formats, what a control colouring everything at once
// shows; the timer alone finishes the work; a keystroke colours only about a window's worth.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/user/clipboard.h"
#include "platform/user/desktop.h"
#include "platform/user/gdi.h"
#include "platform/user/timer.h"
#include "syntaxedit/syntax_edit.h"
#include "syntaxedit/syntax_messages.h"
#include "syntaxedit/syntax_rich_edit.h"

using halyard::user::Clipboard;
using halyard::user::Desktop;
using halyard::user::Timers;

namespace {

constexpr LONG kWidth = 400, kHeight = 300;

// A page of many lines: tags with attributes and values, comments, component tags, character
// references and plain text.
std::string Page(std::mt19937& rng, size_t size) {
  static const char* const kRows[] = {
      "<P ALIGN=center CLASS=\"row\">Row text &amp; more &#65; here</P>\r\n",
      "<!-- a comment -->\r\n",
      "<A HREF='page.html'>a link</A> and <B>bold</B>\r\n",
      "<Q-TEXT NAME=x>\r\n",
      "plain words without tags\r\n",
      "<FOO BAR=\"open>\r\n",
  };
  std::string page = "<HTML><BODY>\r\n";
  while (page.size() < size) page += kRows[rng() % std::size(kRows)];
  return page;
}

using Runs = std::vector<std::tuple<LONG, LONG, COLORREF>>;

struct Control {
  CWnd frame;
  CSyntaxEdit edit;
  SyntaxRichEdit* inner = nullptr;

  void Create() {
    RECT r{0, 0, kWidth, kHeight};
    ASSERT_TRUE(frame.Create("frame", WS_VISIBLE, r, nullptr, 0));
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL, r, &frame, 100));
    inner = edit.GetRichEdit();
    ASSERT_NE(inner, nullptr);
    Send(EM_EXLIMITTEXT, 0, 1 << 24);  // room to type into large pages
  }
  LRESULT Send(UINT m, WPARAM w = 0, LPARAM l = 0) { return ::SendMessage(inner->m_hWnd, m, w, l); }
  void SetContent(const std::string& text) {
    ::SendMessage(edit.m_hWnd, SEM_SETCONTENT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  void Select(LONG a, LONG b) {
    CHARRANGE cr{a, b};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr));
  }
  void Type(const std::string& s) {
    for (unsigned char c : s) Send(WM_CHAR, c);
  }
  void Key(int vk, bool ctrl = false) {
    Desktop::SetKeyDown(VK_CONTROL, ctrl);
    Send(WM_KEYDOWN, static_cast<WPARAM>(vk));
    Desktop::SetKeyDown(VK_CONTROL, false);
  }
  Runs AllRuns() const {
    Runs runs;
    inner->ForEachColourRun([&](LONG s, LONG e, COLORREF c) { runs.emplace_back(s, e, c); });
    return runs;
  }
  // EM_GETCHARFORMAT over [a, b), the selection kept: which attributes agree, and the colour.
  std::pair<DWORD, COLORREF> FormatOf(LONG a, LONG b) {
    CHARRANGE keep;
    Send(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&keep));
    Select(a, b);
    CHARFORMAT cf{};
    cf.cbSize = sizeof cf;
    DWORD mask =
        static_cast<DWORD>(Send(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)));
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&keep));
    return {mask, (mask & CFM_COLOR) ? cf.crTextColor : 0};
  }
  std::vector<COLORREF> Pixels() {
    CDC dc(kWidth, kHeight);
    inner->Paint(dc);
    std::vector<COLORREF> px;
    for (int y = 0; y < kHeight; y += 2)
      for (int x = 0; x < kWidth; ++x) px.push_back(dc.GetPixel(x, y));
    return px;
  }
};

class LazyColouringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Desktop::Reset();
    Clipboard::Empty();
    Timers::UseClock(nullptr);
    Timers::Reset();
    lazy.Create();
    eager.Create();
    eager.inner->SetLazyColouring(false);
  }
  void TearDown() override { Timers::Reset(); }

  template <typename Fn>
  void Both(Fn fn) {
    fn(lazy);
    fn(eager);
  }
  void SetContent(const std::string& page) {
    Both([&](Control& c) { c.SetContent(page); });
  }
  // "<!--" at the start of a line near the top, its ">" missing until typed: a "<" follows
  // directly, so the comment runs on to the end of the page.
  LONG OpenRunOnComment(const std::string& page) {
    LONG at = static_cast<LONG>(page.find("\r\n<", 200)) + 2;
    Both([&](Control& c) {
      c.Select(at, at);
      c.Type("<!-- note --");
    });
    return at + 12;  // where the ">" goes
  }

  Control lazy, eager;
};

TEST_F(LazyColouringTest, RandomEditsReadTheSameAsColouringAtOnce) {
  for (unsigned seed = 1; seed <= 3; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::string page = Page(rng, 24000);
    Both([&](Control& c) {
      CHARRANGE all{0, 1 << 30};
      c.edit.RemoveHiddenFields(all);
      c.edit.AddHiddenField("first", "second", 9000, 9040);
    });
    SetContent(page);
    OpenRunOnComment(page);
    Both([&](Control& c) { c.Type(">"); });
    ASSERT_EQ(lazy.AllRuns(), eager.AllRuns());
    static const char* const kTyped[] = {"<!--", "-->", ">",     "<", "\"", "'",   "<P ALIGN=x>",
                                         "abc",  "\r",  "&amp;", " ", "=",  "<q-", "--"};
    static const char* const kPasted[] = {"<!--", "-->", "<B>", "\"x\" >"};
    int editsWithWorkPending = 0;
    for (int step = 0; step < 200; ++step) {
      SCOPED_TRACE(step);
      LONG len = lazy.inner->GetTextLength();
      editsWithWorkPending += lazy.inner->GetColouredEnd() < len;
      // A fresh page now and then: comments left open by the typing below would otherwise
      // soon turn the whole page green for good.
      if (step % 25 == 24) {
        SetContent(Page(rng, 24000));
        len = lazy.inner->GetTextLength();
      }
      ASSERT_EQ(len, eager.inner->GetTextLength());
      // Mostly near the top, where a keystroke recolours what follows; now and then anywhere,
      // into what is left for later.
      LONG pos = static_cast<LONG>(rng() % 4 ? rng() % std::min<LONG>(len + 1, 3000)
                                             : rng() % static_cast<unsigned>(len + 1));
      unsigned op = rng() % 12;
      switch (op) {
        case 0:
        case 1:
        case 2:
          Both([&](Control& c) {
            c.Select(pos, pos);
            c.Type(kTyped[step % std::size(kTyped)]);
          });
          break;
        case 3:
          Both([&](Control& c) {
            c.Select(pos, pos);
            c.Key(step % 2 ? VK_DELETE : VK_BACK);
            c.Key(step % 2 ? VK_DELETE : VK_BACK);
          });
          break;
        case 4:
          Clipboard::SetText(kPasted[step % std::size(kPasted)]);
          Both([&](Control& c) {
            c.Select(pos, std::min(len, pos + static_cast<LONG>(step % 3)));
            c.Send(WM_PASTE);
          });
          break;
        case 5:
          Both([&](Control& c) {
            c.Select(pos, std::min(len, pos + 5));
            c.Send(WM_CUT);
          });
          break;
        case 6:
          Both([&](Control& c) { c.Send(EM_UNDO); });
          break;
        case 7: {
          LPARAM lines = static_cast<LPARAM>(rng() % 40) - 20;
          Both([&](Control& c) { c.Send(EM_LINESCROLL, 0, lines); });
          break;
        }
        default: {
          // A comment opened right before a tag runs on to the end; its ">" closes it again.
          size_t q = lazy.inner->GetTextRange(0, len).find("\r\n<", static_cast<size_t>(pos));
          LONG at = q == std::string::npos ? pos : static_cast<LONG>(q) + 2;
          Both([&](Control& c) {
            c.Select(at, at);
            c.Type(step % 3 ? "<!-- x --" : "<q-x ");
            c.Type(">");
          });
        }
      }
      ASSERT_EQ(lazy.inner->GetTextLength(), eager.inner->GetTextLength());
      // A different way to read each time; some steps read nothing and leave work pending
      // for the next edit, or let a slice of it run.
      LONG at = static_cast<LONG>(rng() % static_cast<unsigned>(lazy.inner->GetTextLength() + 1));
      if (rng() % 4) at %= 4000;  // mostly where the window is, leaving the rest pending
      switch (step % 8) {
        case 0:
          EXPECT_EQ(lazy.inner->ColorAt(at), eager.inner->ColorAt(at));
          break;
        case 1: {
          LONG b = std::min(lazy.inner->GetTextLength(), at + 30);
          EXPECT_EQ(lazy.FormatOf(at, b), eager.FormatOf(at, b));
          EXPECT_EQ(lazy.FormatOf(at, at), eager.FormatOf(at, at));
          break;
        }
        case 2:
          Timers::Advance(SyntaxRichEdit::kSliceInterval);
          break;
        case 3:
          if (step % 24 == 11) {
            EXPECT_EQ(lazy.Pixels(), eager.Pixels());
          }
          break;
        case 4:
          if (step % 16 == 4) {
            EXPECT_EQ(lazy.AllRuns(), eager.AllRuns());
          }
          break;
        default:
          break;
      }
    }
    EXPECT_EQ(lazy.AllRuns(), eager.AllRuns());
    EXPECT_GT(editsWithWorkPending, 20) << "runs that leave work pending between edits";
  }
}

TEST_F(LazyColouringTest, ClosingARunOnCommentColoursAWindowNowAndTheRestOnTheTimer) {
  std::mt19937 rng(7);
  std::string page = Page(rng, 200000);
  SetContent(page);
  LONG gt = OpenRunOnComment(page);
  EXPECT_EQ(lazy.inner->GetColouredEnd(), lazy.inner->GetTextLength());
  Both([&](Control& c) { c.Type(">"); });
  // The keystroke coloured the window and a margin, whole tag spans, and no more.
  LONG end = lazy.inner->GetColouredEnd();
  LONG shown =
      lazy.inner->LineIndex(lazy.inner->GetFirstVisibleLine() + lazy.inner->VisibleLineCount() + 1);
  EXPECT_GT(shown, gt);
  EXPECT_GE(end, shown + SyntaxRichEdit::kMarginChars);
  EXPECT_LT(end, shown + SyntaxRichEdit::kMarginChars + 200);
  EXPECT_EQ(eager.inner->GetColouredEnd(), eager.inner->GetTextLength());
  // The timer finishes it in slices, with nothing reading meanwhile.
  int slices = 0;
  while (lazy.inner->GetColouredEnd() < lazy.inner->GetTextLength() && slices < 100) {
    LONG before = lazy.inner->GetColouredEnd();
    Timers::Advance(SyntaxRichEdit::kSliceInterval);
    ++slices;
    EXPECT_GT(lazy.inner->GetColouredEnd(), before);
  }
  EXPECT_EQ(lazy.inner->GetColouredEnd(), lazy.inner->GetTextLength());
  EXPECT_LE(slices, static_cast<int>(page.size()) / SyntaxRichEdit::kSliceChars + 2);
  EXPECT_EQ(Timers::NextDue(), -1);
  EXPECT_EQ(lazy.AllRuns(), eager.AllRuns());
}

TEST_F(LazyColouringTest, WorkLeftForLaterIsFinishedByWhatDependsOnIt) {
  std::mt19937 rng(11);
  std::string page = Page(rng, 60000);
  SetContent(page);
  LONG gt = OpenRunOnComment(page);
  auto closeAgain = [&] {
    // Taking the ">" out lets the comment run on again; typing it back leaves work pending.
    Both([&](Control& c) {
      c.Send(EM_LINESCROLL, 0, -100000);
      c.Select(gt, gt + 1);
      c.Key(VK_DELETE);
      c.Select(gt, gt);
      c.Type(">");
    });
    EXPECT_LT(lazy.inner->GetColouredEnd(), lazy.inner->GetTextLength());
  };
  Both([&](Control& c) { c.Type(">xy"); });
  EXPECT_LT(lazy.inner->GetColouredEnd(), lazy.inner->GetTextLength());
  // Scrolling to the end and painting: what is shown is coloured first.
  Both([&](Control& c) { c.Send(EM_LINESCROLL, 0, 100000); });
  EXPECT_EQ(lazy.Pixels(), eager.Pixels());
  closeAgain();
  // A hidden field the host adds over text not yet coloured is olive only from the next pass
  // over it, as when everything was coloured at once.
  Both([&](Control& c) { c.edit.AddHiddenField("a", "b", 50000, 50100); });
  Timers::Advance(1000);
  EXPECT_EQ(lazy.AllRuns(), eager.AllRuns());
  closeAgain();
  // Undo brings back what the last change took, formats and all.
  Both([&](Control& c) { c.Send(EM_UNDO); });
  EXPECT_EQ(lazy.AllRuns(), eager.AllRuns());
  closeAgain();
  // Setting the text anew forgets what was pending.
  SetContent("<P>short</P>");
  EXPECT_EQ(lazy.inner->GetColouredEnd(), lazy.inner->GetTextLength());
  EXPECT_EQ(Timers::NextDue(), -1);
  EXPECT_EQ(lazy.AllRuns(), eager.AllRuns());
}

}  // namespace
