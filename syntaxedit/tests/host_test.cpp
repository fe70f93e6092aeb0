// The syntax edit control as the design tool hosts it: a CSyntaxEdit from libglyphpad.so in a
// window of the platform runtime, driven only by its messages and exported members. The
// clipboard it copies to is the process's one clipboard, which the host reads directly.
#include "glyphpad_fixture.h"
#include "platform/user/commdlg.h"

using GlyphpadHost = GlyphpadTest;

TEST_F(GlyphpadHost, TextSetByMessageIsColouredAndReadBack) {
  SetContent("<P ALIGN=center>x<!-- c -->");
  EXPECT_EQ(Text(), "<P ALIGN=center>x<!-- c -->");
  EXPECT_EQ(Colours(), "BDKRRRRRBBBBBBBBKGGGGGGGGGG");
  Select(17, 17);
  Type("<B>");
  EXPECT_EQ(Text(), "<P ALIGN=center>x<B><!-- c -->");
  EXPECT_EQ(Colours().substr(16, 4), "KBDB");
}

TEST_F(GlyphpadHost, CopyGoesToTheProcessClipboardAndProtectionHolds) {
  SetContent("<P>keep</P>edit");
  edit.AddProtectRange(0, 11);
  Select(3, 7);
  ASSERT_TRUE(edit.HasSelection());
  edit.Copy();
  std::string clip;
  ASSERT_TRUE(halyard::user::Clipboard::GetText(clip));
  EXPECT_EQ(clip, "keep");
  Type("x");  // inside the protected range: refused
  EXPECT_EQ(Text(), "<P>keep</P>edit");
  Select(15, 15);
  Type("s");
  EXPECT_EQ(Text(), "<P>keep</P>edits");
}

TEST_F(GlyphpadHost, EveryMessageOfTheTableAnswersAsDocumented) {
  for (UINT m : {SEM_SETFIXKEY, SEM_SETPAIRKEY, SEM_SETVARKEY, SEM_GETLISTOFCHANGES,
                 SEM_SETINITFORMAT})
    EXPECT_EQ(Edit(m, 1, 1), 0);
  EXPECT_EQ(Edit(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("0123456789")), TRUE);
  EXPECT_EQ(Edit(WM_GETTEXTLENGTH), 10);
  EXPECT_EQ(Edit(SEM_GETCONTENTLENGTH), 10);
  EXPECT_EQ(Edit(SEM_SETSEL, static_cast<WPARAM>(-5), 1000000), 0);
  LONG a = -1, b = -1;
  EXPECT_EQ(Edit(SEM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b)), 1);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 10);
  EXPECT_EQ(Edit(SEM_GETSEL, 0, reinterpret_cast<LPARAM>(&b)), 0);
  EXPECT_EQ(Edit(SEM_SETPROTECT, 1), 0);
  EXPECT_EQ(Edit(SEM_GETPROTECT), 1);
  Select(4, 4);
  Edit(SEM_SETPROTECT, 0);
  EXPECT_EQ(Edit(SEM_GETPROTECT), 0);
  ASSERT_EQ(edit.GetProtectRangeCount(), 1);
  ProtectRange ranges[2] = {{1, 2}, {5, 6}};
  EXPECT_EQ(Edit(SEM_SETPROTECTFIELD, 2, reinterpret_cast<LPARAM>(ranges)), 0);
  EXPECT_EQ(edit.GetRegionCount(), 5);
  Select(8, 8);
  EXPECT_EQ(Edit(SEM_INSERTTEXT, 0, reinterpret_cast<LPARAM>("<B>")), 0);
  EXPECT_EQ(Text(), "01234567<B>89");
  EXPECT_EQ(Edit(SEM_SETREADONLY, 1), 0);
  Type("z");
  EXPECT_EQ(Text(), "01234567<B>89");
  Edit(SEM_SETREADONLY, 0);
  EXPECT_EQ(Edit(SEM_UNDOLASTCHANGE), 0);
  EXPECT_EQ(Text(), "0123456789");
  EXPECT_EQ(Edit(SEM_SETDEFAULTFONT, 9, reinterpret_cast<LPARAM>("arial")), 0);
  EXPECT_EQ(Edit(SEM_SETBACKGROUND, 0, 0xFF), 0);
  char buf[4];
  EXPECT_EQ(Edit(WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf)), 3);
  EXPECT_STREQ(buf, "012");
}

TEST_F(GlyphpadHost, FindAndReplaceThroughTheDialog) {
  SetContent("<I>a</I> <I>b</I>");
  edit.BringUpFindReplaceDlg(0);
  CFindReplaceDialog* dlg = edit.GetFindReplaceDialog();
  ASSERT_NE(dlg, nullptr);
  dlg->TypeFindWhat("i>");
  dlg->TypeReplaceWith("B>");
  dlg->PressFindNext();
  EXPECT_EQ(Sel().cpMin, 1);
  dlg->PressReplaceAll();
  EXPECT_EQ(Text(), "<B>a</B> <B>b</B>");
  EXPECT_EQ(Colours(), "BDBKBDDBKBDBKBDDB");
  dlg->ChooseDirectionDown(false);
  Select(0, 0);
  dlg->PressFindNext();
  ASSERT_EQ(halyard::user::Desktop::MessageBoxes().size(), 1u);
  EXPECT_EQ(halyard::user::Desktop::MessageBoxes()[0].text, "Reach the top of the document");
  dlg->PressCancel();
  EXPECT_EQ(edit.GetFindReplaceDialog(), nullptr);
  EXPECT_EQ(edit.GetLastSearchText(), "i>");
}
