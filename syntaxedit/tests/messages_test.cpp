// The control's messages, the dialog keys, the clipboard members and the print dialog.
#include <memory>
#include <vector>

#include "glyphpad_fixture.h"
#include "syntaxedit/syntax_rich_edit.h"
#include "platform/user/commdlg.h"

namespace {

using halyard::user::Desktop;

TEST_F(GlyphpadTest, MessagesThatDoNothingAnswerZeroAndChangeNothing) {
  SetContent("<B>x</B>");
  std::string colours = Colours();
  for (UINT m : {SEM_SETFIXKEY, SEM_SETPAIRKEY, SEM_SETVARKEY, SEM_GETLISTOFCHANGES,
                 SEM_SETINITFORMAT}) {
    EXPECT_EQ(Edit(m, 7, reinterpret_cast<LPARAM>("<P")), 0) << m;
  }
  EXPECT_EQ(Text(), "<B>x</B>");
  EXPECT_EQ(Colours(), colours);
  EXPECT_EQ(edit.FoundPrimaryKey("<P"), 1) << "the key tables stay as built";
}

TEST_F(GlyphpadTest, ReadOnlyBackgroundAndUndoMessages) {
  SetContent("abc");
  EXPECT_EQ(Edit(SEM_SETREADONLY, 1), 0);
  Select(3, 3);
  Type("d");
  EXPECT_EQ(Text(), "abc");
  Edit(SEM_SETREADONLY, 0);
  Type("d");
  EXPECT_EQ(Text(), "abcd");
  EXPECT_EQ(Edit(SEM_UNDOLASTCHANGE), 0);
  EXPECT_EQ(Text(), "abc");
  auto* rich = edit.GetRichEdit();
  Edit(SEM_SETBACKGROUND, 0, 0x00336699);
  EXPECT_EQ(rich->GetBackgroundColour(), 0x00336699u);
  EXPECT_FALSE(rich->UsesSystemBackground());
  Edit(SEM_SETBACKGROUND, 1, 0);
  EXPECT_TRUE(rich->UsesSystemBackground());
}

TEST_F(GlyphpadTest, DefaultFontMessageSetsSizeInTwipsAndCutsTheFace) {
  std::string longFace(40, 'f');
  Edit(SEM_SETDEFAULTFONT, 12, reinterpret_cast<LPARAM>(longFace.c_str()));
  CHARFORMAT cf{};
  cf.cbSize = sizeof cf;
  Inner(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
  EXPECT_EQ(cf.yHeight, 240);
  EXPECT_EQ(std::string(cf.szFaceName), std::string(31, 'f'));
  // No face: only the size changes.
  Edit(SEM_SETDEFAULTFONT, 8, 0);
  Inner(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
  EXPECT_EQ(cf.yHeight, 160);
  EXPECT_EQ(std::string(cf.szFaceName), std::string(31, 'f'));
}

TEST_F(GlyphpadTest, ShowAndSizeArePassedToTheInnerControl) {
  CWnd* rich = edit.GetRichEdit();
  edit.ShowWindow(SW_HIDE);
  EXPECT_EQ(rich->GetStyle() & WS_VISIBLE, 0u);
  edit.ShowWindow(SW_SHOW);
  EXPECT_NE(rich->GetStyle() & WS_VISIBLE, 0u);
  edit.MoveWindow(RECT{5, 5, 105, 55});
  RECT r;
  rich->GetWindowRect(&r);
  EXPECT_EQ(r.right - r.left, 100);
  EXPECT_EQ(r.bottom - r.top, 50);
}

TEST_F(GlyphpadTest, InsertOrPasteThatDoesNotFitIsRefusedWholeWithABeep) {
  std::string text(CRichEditCtrl::kDefaultLimit - 5, 'x');
  SetContent(text);
  edit.AddProtectRange(10, 20);
  Select(2, 2);
  size_t beeps = Beeps();
  Edit(SEM_INSERTTEXT, 1, 0);  // the 15-character marker
  EXPECT_EQ(Beeps(), beeps + 1);
  EXPECT_EQ(Text().size(), text.size());
  EXPECT_EQ(edit.GetHiddenFieldCount(), 0);
  EXPECT_EQ(edit.GetProtectRanges()[0].start, 10) << "nothing inserted, nothing moved";
  Edit(SEM_INSERTTEXT, 0, reinterpret_cast<LPARAM>("12345"));
  EXPECT_EQ(Text().size(), text.size() + 5) << "what fits exactly is inserted";
  EXPECT_EQ(edit.GetProtectRanges()[0].start, 15);
  halyard::user::Clipboard::SetText("y");
  Key('V', false, true);
  EXPECT_EQ(Beeps(), beeps + 2);
  Inner(WM_PASTE);
  EXPECT_EQ(Beeps(), beeps + 3);
  EXPECT_EQ(Text().size(), text.size() + 5);
}

// A dialog with items before and after the control; the control optionally on a page.
class DialogHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Desktop::Reset();
    halyard::user::Clipboard::Empty();
    halyard::user::PrintDialogs::Reset();
    ASSERT_TRUE(dlg.CreateDialogWindow("dialog", WS_VISIBLE, RECT{0, 0, 300, 200}, nullptr));
  }
  void TearDown() override { halyard::user::PrintDialogs::Reset(); }
  CWnd* Item(CWnd* parent, UINT id, DWORD style = WS_VISIBLE | WS_TABSTOP, DWORD ex = 0) {
    items.push_back(std::make_unique<CWnd>());
    EXPECT_TRUE(items.back()->CreateEx(ex, "", WS_CHILD | style, RECT{10, 20, 110, 60}, parent, id));
    return items.back().get();
  }
  void Key(int vk, bool shift = false, bool ctrl = false) {
    Desktop::SetKeyDown(VK_SHIFT, shift);
    Desktop::SetKeyDown(VK_CONTROL, ctrl);
    edit.GetRichEdit()->SendMessage(WM_KEYDOWN, static_cast<WPARAM>(vk));
    Desktop::SetKeyDown(VK_SHIFT, false);
    Desktop::SetKeyDown(VK_CONTROL, false);
  }
  CDialog dlg;
  std::vector<std::unique_ptr<CWnd>> items;
  CSyntaxEdit edit;
};

TEST_F(DialogHostTest, SubclassDlgItemTakesTheItemsPlaceIdAndStyles) {
  Item(&dlg, 1);
  CWnd* placeholder = Item(&dlg, 2, WS_VISIBLE);
  HWND old = placeholder->m_hWnd;
  EXPECT_EQ(edit.SubclassDlgItem(99, &dlg), 0);
  ASSERT_EQ(edit.SubclassDlgItem(2, &dlg), 1);
  EXPECT_FALSE(IsWindow(old));
  EXPECT_EQ(dlg.GetDlgItem(2), &edit);
  RECT r;
  edit.GetWindowRect(&r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.bottom, 60);
  EXPECT_EQ(edit.GetStyle(), DWORD{WS_CHILD | WS_VISIBLE | WS_TABSTOP});
  EXPECT_EQ(edit.GetExStyle(), DWORD{WS_EX_CLIENTEDGE});
  EXPECT_EQ(edit.GetWindowText(), "");
  ASSERT_NE(edit.GetRichEdit(), nullptr);
  CSyntaxEdit tabbed;
  Item(&dlg, 3, WS_VISIBLE);
  tabbed.SetTabDialog(1);
  tabbed.SetTabDialog(0);  // zero leaves it as it is
  ASSERT_EQ(tabbed.SubclassDlgItem(3, &dlg), 1);
  EXPECT_EQ(tabbed.GetStyle() & CSyntaxEdit::kTabDialogStyle, CSyntaxEdit::kTabDialogStyle);
}

TEST_F(DialogHostTest, EscapeIsPostedToTheDialogAndNotTyped) {
  Item(&dlg, 1, WS_VISIBLE);
  ASSERT_EQ(edit.SubclassDlgItem(1, &dlg), 1);
  edit.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc"));
  Key(VK_ESCAPE);
  edit.GetRichEdit()->SendMessage(WM_CHAR, 0x1B);
  EXPECT_EQ(edit.GetWindowTextLength(), 3);
  EXPECT_FALSE(dlg.IsEnded()) << "posted, not sent";
  halyard::user::PumpMessages();
  EXPECT_TRUE(dlg.IsEnded());
  EXPECT_EQ(dlg.GetResult(), IDCANCEL);
}

TEST_F(DialogHostTest, OnATabbedDialogEscapeGoesOneLevelHigher) {
  CWnd* pageWnd = Item(&dlg, 50, WS_VISIBLE, WS_EX_CONTROLPARENT);
  Item(pageWnd, 1, WS_VISIBLE);
  edit.SetTabDialog(1);
  ASSERT_EQ(edit.SubclassDlgItem(1, pageWnd), 1);
  EXPECT_EQ(edit.GetDialog(), &dlg);
  Key(VK_ESCAPE);
  const auto& posted = halyard::user::PostedMessages();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].hwnd, dlg.m_hWnd);
  EXPECT_EQ(posted[0].msg, WM_KEYDOWN);
  EXPECT_EQ(posted[0].wParam, WPARAM{VK_ESCAPE});
  halyard::user::PumpMessages();
  EXPECT_TRUE(dlg.IsEnded());
}

TEST_F(DialogHostTest, TabAndShiftTabMoveThroughTheDialogsTabStops) {
  CWnd* first = Item(&dlg, 1);
  Item(&dlg, 2, WS_VISIBLE);  // the control's place
  Item(&dlg, 3, WS_VISIBLE);  // no tab stop
  CWnd* last = Item(&dlg, 4);
  ASSERT_EQ(edit.SubclassDlgItem(2, &dlg), 1);
  edit.SetFocus();
  Key(VK_TAB);
  edit.GetRichEdit()->SendMessage(WM_CHAR, '\t');  // the character of that key
  EXPECT_EQ(CWnd::GetFocus(), last);
  EXPECT_EQ(edit.GetWindowTextLength(), 0) << "no tab typed";
  edit.SetFocus();
  Key(VK_TAB, true);
  EXPECT_EQ(CWnd::GetFocus(), first);
  // With Control a tab is typed.
  edit.SetFocus();
  Key(VK_TAB, false, true);
  edit.GetRichEdit()->SendMessage(WM_CHAR, '\t');
  EXPECT_EQ(edit.GetWindowText(), "\t");
}

TEST_F(DialogHostTest, TabOnATabbedDialogWalksThePagesItemsInTheSheetsOrder) {
  CWnd* before = Item(&dlg, 1);
  CWnd* page = Item(&dlg, 50, WS_VISIBLE, WS_EX_CONTROLPARENT);
  Item(page, 2, WS_VISIBLE);
  CWnd* after = Item(&dlg, 3);
  edit.SetTabDialog(1);
  ASSERT_EQ(edit.SubclassDlgItem(2, page), 1);
  edit.SetFocus();
  Key(VK_TAB);
  EXPECT_EQ(CWnd::GetFocus(), after);
  edit.SetFocus();
  Key(VK_TAB, true);
  EXPECT_EQ(CWnd::GetFocus(), before);
}

TEST_F(DialogHostTest, WithoutTheTabStopStyleTabTypesATab) {
  Item(&dlg, 1);
  ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 100}, &dlg, 7));
  edit.SetFocus();
  CWnd* focus = CWnd::GetFocus();
  Key(VK_TAB);
  edit.GetRichEdit()->SendMessage(WM_CHAR, '\t');
  EXPECT_EQ(CWnd::GetFocus(), focus);
  EXPECT_EQ(edit.GetWindowText(), "\t");
}

TEST_F(DialogHostTest, PrintTextShowsThePrintDialogAndPrintsNothing) {
  ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 100}, &dlg, 7));
  EXPECT_EQ(edit.PrintText(), 0) << "cancelled";
  ASSERT_EQ(halyard::user::PrintDialogs::Shown().size(), 1u);
  const auto& call = halyard::user::PrintDialogs::Shown()[0];
  EXPECT_EQ(call.owner, edit.m_hWnd);
  EXPECT_TRUE(call.flags & PD_HIDEPRINTTOFILE);
  EXPECT_TRUE(call.flags & PD_USEDEVMODECOPIES);
  halyard::user::PrintDialogs::SetAnswerer([](PRINTDLG&) { return TRUE; });
  EXPECT_EQ(edit.PrintText(), 1);
  EXPECT_EQ(halyard::user::PrintDialogs::Shown().size(), 2u);
}

TEST_F(GlyphpadTest, ClipboardKeysAndMembersKeepProtectedTextWhileCopyAlwaysWorks) {
  SetContent("0123456789abcdefghij");
  edit.AddProtectRange(5, 10);
  Select(3, 7);
  EXPECT_EQ(edit.CanCut(), 1);
  EXPECT_EQ(edit.CanCopy(), 1);
  size_t beeps = Beeps();
  edit.Cut();
  EXPECT_EQ(Text(), "0123456789abcdefghij");
  EXPECT_EQ(Beeps(), beeps) << "the member is silent";
  Key('X', false, true);
  EXPECT_EQ(Beeps(), beeps + 1) << "the key beeps";
  Key('C', false, true);
  std::string clip;
  ASSERT_TRUE(halyard::user::Clipboard::GetText(clip));
  EXPECT_EQ(clip, "3456");
  edit.Paste();
  Key('V', false, true);
  EXPECT_EQ(Text(), "0123456789abcdefghij");
  EXPECT_EQ(Beeps(), beeps + 2);
  Select(12, 14);
  edit.Cut();
  EXPECT_EQ(Text(), "0123456789abefghij");
  Select(0, 0);
  edit.Paste();
  EXPECT_EQ(Text(), "cd0123456789abefghij");
  EXPECT_EQ(edit.GetProtectRanges()[0].start, 7);
  Select(4, 4);
  EXPECT_EQ(edit.CanCut(), 0);
  EXPECT_EQ(edit.HasSelection(), 0);
}

}  // namespace

namespace {

TEST_F(GlyphpadTest, UndoOfAChangeThatHasSinceBeenProtectedIsRefused) {
  SetContent("0123456789");
  Select(2, 2);
  Type("ab");
  ProtectRange r{1, 5};
  Edit(SEM_SETPROTECTFIELD, 1, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(Edit(SEM_UNDOLASTCHANGE), 0);
  EXPECT_EQ(Text(), "01ab23456789");
  size_t beeps = Beeps();
  Key('Z', false, true);
  EXPECT_EQ(Beeps(), beeps + 1);
  EXPECT_EQ(Text(), "01ab23456789");
  Edit(SEM_SETPROTECTFIELD, 0, 0);
  Edit(SEM_UNDOLASTCHANGE);
  EXPECT_EQ(Text(), "01a23456789") << "unprotected, the same undo (of the last key) goes through";
}

}  // namespace
