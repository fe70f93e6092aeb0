// The rich edit model through its messages: text, selection, character formats, undo, find,
// the clipboard and the keyboard.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/user/clipboard.h"
#include "platform/user/desktop.h"
#include "platform/user/rich_edit_ctrl.h"

using halyard::user::Clipboard;
using halyard::user::Desktop;

namespace {

class RichEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Desktop::Reset();
    Clipboard::Empty();
    RECT r{0, 0, 200, 100};
    ASSERT_TRUE(top.Create("top", WS_VISIBLE, r, nullptr, 0));
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE, r, &top, 5));
  }
  LRESULT Send(UINT m, WPARAM w = 0, LPARAM l = 0) { return ::SendMessage(edit.m_hWnd, m, w, l); }
  void SetText(const char* t) { Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t)); }
  std::string Text() {
    char buf[512];
    Send(WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
    return buf;
  }
  void Select(LONG a, LONG b) {
    CHARRANGE cr{a, b};
    Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cr));
  }
  CHARRANGE Sel() {
    CHARRANGE cr{-9, -9};
    Send(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&cr));
    return cr;
  }
  void Colour(LONG a, LONG b, COLORREF c) {
    Select(a, b);
    CHARFORMAT cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR;
    cf.crTextColor = c;
    ASSERT_EQ(Send(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)), 1);
  }
  // Colour of character i read back through EM_GETCHARFORMAT.
  COLORREF ColourOf(LONG i) {
    CHARRANGE keep = Sel();
    Select(i, i + 1);
    CHARFORMAT cf{};
    cf.cbSize = sizeof cf;
    Send(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    Select(keep.cpMin, keep.cpMax);
    return (cf.dwEffects & CFE_AUTOCOLOR) ? 0 : cf.crTextColor;
  }
  void Type(const char* s) {
    for (; *s; ++s) Send(WM_CHAR, static_cast<unsigned char>(*s));
  }
  void Key(int vk, bool shift = false, bool ctrl = false) {
    Desktop::SetKeyDown(VK_SHIFT, shift);
    Desktop::SetKeyDown(VK_CONTROL, ctrl);
    Send(WM_KEYDOWN, static_cast<WPARAM>(vk));
    Desktop::SetKeyDown(VK_SHIFT, false);
    Desktop::SetKeyDown(VK_CONTROL, false);
  }
  CWnd top;
  CRichEditCtrl edit;
};

TEST_F(RichEditTest, TextRoundTripsAndGetTextHonoursTheBuffer) {
  SetText("line one\r\nline two");
  EXPECT_EQ(Send(WM_GETTEXTLENGTH), 18);
  EXPECT_EQ(Text(), "line one\r\nline two");
  char small[5];
  EXPECT_EQ(Send(WM_GETTEXT, sizeof small, reinterpret_cast<LPARAM>(small)), 4);
  EXPECT_STREQ(small, "line");
  char range[8];
  TEXTRANGE tr{{5, 8}, range};
  EXPECT_EQ(Send(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&tr)), 3);
  EXPECT_STREQ(range, "one");
  SetText(nullptr);
  EXPECT_EQ(Send(WM_GETTEXTLENGTH), 0);
}

TEST_F(RichEditTest, SelectionIsClampedAndSpecialRangesWork) {
  SetText("0123456789");
  Select(3, 99);
  EXPECT_EQ(Sel().cpMin, 3);
  EXPECT_EQ(Sel().cpMax, 10);
  Select(0, -1);
  EXPECT_EQ(Sel().cpMax, 10);
  Select(7, 2);
  EXPECT_EQ(Sel().cpMin, 2) << "reported as the smaller end first";
  EXPECT_EQ(Sel().cpMax, 7);
  Select(-1, 0);
  EXPECT_EQ(Sel().cpMin, Sel().cpMax);
}

TEST_F(RichEditTest, CharacterFormatsAreKeptPerCharacter) {
  SetText("abcdefgh");
  Colour(2, 5, 0xFF);
  Colour(4, 6, 0xFF00);
  EXPECT_EQ(ColourOf(1), 0u);
  EXPECT_EQ(ColourOf(2), 0xFFu);
  EXPECT_EQ(ColourOf(3), 0xFFu);
  EXPECT_EQ(ColourOf(4), 0xFF00u);
  EXPECT_EQ(ColourOf(5), 0xFF00u);
  EXPECT_EQ(ColourOf(6), 0u);
  // A mixed selection reports the colour as not uniform.
  Select(2, 6);
  CHARFORMAT cf{};
  cf.cbSize = sizeof cf;
  DWORD mask =
      static_cast<DWORD>(Send(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)));
  EXPECT_EQ(mask & CFM_COLOR, 0u);
  EXPECT_NE(mask & CFM_FACE, 0u);
  // Bold and face on part of it keep the colours.
  cf.dwMask = CFM_BOLD | CFM_FACE;
  cf.dwEffects = CFE_BOLD;
  std::strcpy(cf.szFaceName, "courier new");
  Select(3, 5);
  Send(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  Select(3, 4);
  CHARFORMAT got{};
  got.cbSize = sizeof got;
  Send(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&got));
  EXPECT_TRUE(got.dwEffects & CFE_BOLD);
  EXPECT_STREQ(got.szFaceName, "courier new");
  EXPECT_EQ(got.crTextColor, 0xFFu);
  // A wrong structure size is refused.
  cf.cbSize = 12;
  EXPECT_EQ(Send(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf)), 0);
}

TEST_F(RichEditTest, TypedTextTakesTheInsertionFormat) {
  SetText("ab");
  Colour(0, 2, 0xFF);
  Select(2, 2);
  Type("c");
  EXPECT_EQ(ColourOf(2), 0xFFu) << "takes the format of the character before";
  // A format set on the caret applies to what is typed next...
  Colour(3, 3, 0xFF0000);
  Type("d");
  EXPECT_EQ(ColourOf(3), 0xFF0000u);
  // ...and is forgotten when the caret moves.
  Colour(4, 4, 0x00FF00);
  Select(1, 1);
  Select(4, 4);
  Type("e");
  EXPECT_EQ(ColourOf(4), 0xFF0000u);
  EXPECT_EQ(Text(), "abcde");
}

TEST_F(RichEditTest, UndoRestoresTextAndFormatsAndRedoes) {
  SetText("hello world");
  Colour(0, 5, 0xFF);
  Select(0, 5);
  Send(EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("bye"));
  EXPECT_EQ(Text(), "bye world");
  ASSERT_TRUE(Send(EM_CANUNDO));
  EXPECT_TRUE(Send(EM_UNDO));
  EXPECT_EQ(Text(), "hello world");
  EXPECT_EQ(ColourOf(4), 0xFFu);
  EXPECT_EQ(ColourOf(5), 0u);
  EXPECT_TRUE(Send(EM_UNDO));
  EXPECT_EQ(Text(), "bye world");
  SetText("fresh");
  EXPECT_FALSE(Send(EM_CANUNDO)) << "setting the whole text leaves nothing to undo";
}

TEST_F(RichEditTest, ReadOnlyRefusesTheUserButNotTheProgram) {
  SetText("abc");
  Send(EM_SETREADONLY, TRUE);
  Select(3, 3);
  Type("x");
  Key(VK_BACK);
  EXPECT_EQ(Text(), "abc");
  EXPECT_EQ(Desktop::Beeps().size(), 2u);
  Send(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("!"));
  EXPECT_EQ(Text(), "abc!");
  Send(EM_SETREADONLY, FALSE);
  Type("x");
  EXPECT_EQ(Text(), "abc!x");
}

TEST_F(RichEditTest, TextLimitStopsTypingAndCutsPastes) {
  Send(EM_EXLIMITTEXT, 0, 5);
  EXPECT_EQ(Send(EM_GETLIMITTEXT), 5);
  Type("abcdef");
  EXPECT_EQ(Text(), "abcde");
  EXPECT_EQ(Desktop::Beeps().size(), 1u);
  Select(1, 2);
  Clipboard::SetText("XYZ");
  Send(WM_PASTE);
  EXPECT_EQ(Text(), "aXcde") << "the paste is cut to what fits";
  SetText("much longer than five");
  EXPECT_EQ(Send(WM_GETTEXTLENGTH), 21) << "the limit is for the user, not for WM_SETTEXT";
  Send(EM_EXLIMITTEXT, 0, 0);
  EXPECT_EQ(Send(EM_GETLIMITTEXT), CRichEditCtrl::kDefaultLimit);
}

TEST_F(RichEditTest, FindTextWithCaseWholeWordAndRange) {
  SetText("Cat concat cat CAT");
  FINDTEXTEX f{{0, -1}, "cat", {0, 0}};
  EXPECT_EQ(Send(EM_FINDTEXTEX, FR_DOWN, reinterpret_cast<LPARAM>(&f)), 0);
  EXPECT_EQ(f.chrgText.cpMax, 3);
  EXPECT_EQ(Send(EM_FINDTEXTEX, FR_DOWN | FR_MATCHCASE, reinterpret_cast<LPARAM>(&f)), 7);
  EXPECT_EQ(
      Send(EM_FINDTEXTEX, FR_DOWN | FR_MATCHCASE | FR_WHOLEWORD, reinterpret_cast<LPARAM>(&f)), 11);
  f.chrg = {12, -1};
  EXPECT_EQ(Send(EM_FINDTEXTEX, FR_DOWN | FR_WHOLEWORD, reinterpret_cast<LPARAM>(&f)), 15);
  f.chrg = {12, 17};
  EXPECT_EQ(Send(EM_FINDTEXTEX, FR_DOWN, reinterpret_cast<LPARAM>(&f)), -1);
  f.lpstrText = "";
  EXPECT_EQ(Send(EM_FINDTEXTEX, FR_DOWN, reinterpret_cast<LPARAM>(&f)), -1);
}

TEST_F(RichEditTest, ClipboardCutCopyPaste) {
  SetText("one two");
  EXPECT_FALSE(Send(EM_CANPASTE));
  Select(0, 4);
  Send(WM_COPY);
  EXPECT_TRUE(Send(EM_CANPASTE));
  Send(WM_CUT);
  EXPECT_EQ(Text(), "two");
  std::string clip;
  ASSERT_TRUE(Clipboard::GetText(clip));
  EXPECT_EQ(clip, "one ");
  Select(3, 3);
  Send(WM_PASTE);
  EXPECT_EQ(Text(), "twoone ");
  Select(2, 2);
  Send(WM_CUT);  // nothing selected: nothing changes
  EXPECT_EQ(Text(), "twoone ");
}

TEST_F(RichEditTest, KeyboardEditingAndCaretMovement) {
  Type("ab");
  Send(WM_CHAR, '\r');
  Type("cd");
  EXPECT_EQ(Text(), "ab\r\ncd");
  Key(VK_LEFT);
  Key(VK_LEFT);
  Key(VK_LEFT);
  EXPECT_EQ(Sel().cpMin, 2) << "a line break is one step";
  Key(VK_BACK);
  EXPECT_EQ(Text(), "a\r\ncd");
  Key(VK_DELETE);
  EXPECT_EQ(Text(), "acd") << "Delete removes the whole line break";
  SetText("first line\r\nsecond\r\nthird line");
  Select(8, 8);
  Key(VK_DOWN);
  EXPECT_EQ(Sel().cpMin, 18) << "column 8 does not exist on \"second\": its end";
  Key(VK_DOWN);
  EXPECT_EQ(Sel().cpMin, 26);
  Key(VK_HOME);
  EXPECT_EQ(Sel().cpMin, 20);
  Key(VK_END, true);
  EXPECT_EQ(Sel().cpMin, 20);
  EXPECT_EQ(Sel().cpMax, 30);
  Key(VK_LEFT, true);
  EXPECT_EQ(Sel().cpMax, 29);
  Key(VK_RIGHT);
  EXPECT_EQ(Sel().cpMin, 29) << "an arrow without Shift collapses to the selection's end";
  Key(VK_HOME, false, true);
  EXPECT_EQ(Sel().cpMin, 0);
  Key(VK_RIGHT, true, true);
  EXPECT_EQ(Sel().cpMax, 6);
  Key('A', false, true);
  EXPECT_EQ(Sel().cpMax, 30);
  Type("x");
  EXPECT_EQ(Text(), "x");
  Key('Z', false, true);
  EXPECT_EQ(Text(), "first line\r\nsecond\r\nthird line");
}

TEST_F(RichEditTest, BackgroundColourAnswersThePreviousOne) {
  EXPECT_EQ(Send(EM_SETBKGNDCOLOR, 0, 0x123456), 0xFFFFFF);
  EXPECT_EQ(Send(EM_SETBKGNDCOLOR, 1, 0), 0x123456);
  EXPECT_TRUE(edit.UsesSystemBackground());
}

}  // namespace
