// Dialogs and their tab order, registered messages, and the find/replace and print dialogs
// driven as a user would.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/user/commdlg.h"
#include "platform/user/desktop.h"

using halyard::user::Desktop;
using halyard::user::PrintDialogs;

namespace {

RECT R() { return RECT{0, 0, 100, 20}; }

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Desktop::Reset();
    PrintDialogs::Reset();
    ASSERT_TRUE(dlg.CreateDialogWindow("dlg", WS_VISIBLE, R(), nullptr));
  }
  void TearDown() override { PrintDialogs::Reset(); }
  CWnd* Item(DWORD style, UINT id, CWnd* parent = nullptr, DWORD exStyle = 0) {
    items.push_back(std::make_unique<CWnd>());
    EXPECT_TRUE(items.back()->CreateEx(exStyle, "", WS_CHILD | style, R(), parent ? parent : &dlg, id));
    return items.back().get();
  }
  CDialog dlg;
  std::vector<std::unique_ptr<CWnd>> items;
};

TEST_F(DialogTest, TabOrderSkipsItemsThatAreNoVisibleEnabledTabStopsAndWraps) {
  CWnd* a = Item(WS_VISIBLE | WS_TABSTOP, 1);
  Item(WS_VISIBLE, 2);                               // no tab stop
  Item(WS_TABSTOP, 3);                               // hidden
  Item(WS_VISIBLE | WS_TABSTOP | WS_DISABLED, 4);    // disabled
  CWnd* e = Item(WS_VISIBLE | WS_TABSTOP, 5);
  EXPECT_EQ(GetNextDlgTabItem(dlg.m_hWnd, a->m_hWnd, FALSE), e->m_hWnd);
  EXPECT_EQ(GetNextDlgTabItem(dlg.m_hWnd, e->m_hWnd, FALSE), a->m_hWnd);
  EXPECT_EQ(GetNextDlgTabItem(dlg.m_hWnd, a->m_hWnd, TRUE), e->m_hWnd);
  EXPECT_EQ(GetNextDlgTabItem(dlg.m_hWnd, nullptr, FALSE), a->m_hWnd);
  EXPECT_EQ(GetNextDlgTabItem(dlg.m_hWnd, nullptr, TRUE), e->m_hWnd);
}

TEST_F(DialogTest, TabOrderEntersControlParentsAndCountsFocusInsideAnItemAsThatItem) {
  CWnd* a = Item(WS_VISIBLE | WS_TABSTOP, 1);
  CWnd* page = Item(WS_VISIBLE, 2, nullptr, WS_EX_CONTROLPARENT);
  CWnd* b = Item(WS_VISIBLE | WS_TABSTOP, 3, page);
  CWnd* inner = Item(WS_VISIBLE, 9, b);  // the edit inside a composite control
  CWnd* c = Item(WS_VISIBLE | WS_TABSTOP, 4);
  EXPECT_EQ(GetNextDlgTabItem(dlg.m_hWnd, a->m_hWnd, FALSE), b->m_hWnd);
  EXPECT_EQ(GetNextDlgTabItem(dlg.m_hWnd, inner->m_hWnd, FALSE), c->m_hWnd);
  EXPECT_EQ(GetNextDlgTabItem(dlg.m_hWnd, inner->m_hWnd, TRUE), a->m_hWnd);
}

TEST_F(DialogTest, TabOrderWithOneOrNoItemsAndBadHandles) {
  EXPECT_EQ(GetNextDlgTabItem(dlg.m_hWnd, nullptr, FALSE), nullptr);
  CWnd* a = Item(WS_VISIBLE | WS_TABSTOP, 1);
  EXPECT_EQ(GetNextDlgTabItem(dlg.m_hWnd, a->m_hWnd, FALSE), a->m_hWnd);
  EXPECT_EQ(GetNextDlgTabItem(reinterpret_cast<HWND>(0x7), a->m_hWnd, FALSE), nullptr);
}

TEST_F(DialogTest, KeysOfTheDialogManager) {
  CWnd* a = Item(WS_VISIBLE | WS_TABSTOP, 1);
  CWnd* b = Item(WS_VISIBLE | WS_TABSTOP, 2);
  a->SetFocus();
  dlg.SendMessage(WM_KEYDOWN, VK_TAB);
  EXPECT_EQ(CWnd::GetFocus(), b);
  Desktop::SetKeyDown(VK_SHIFT, true);
  dlg.SendMessage(WM_KEYDOWN, VK_TAB);
  Desktop::SetKeyDown(VK_SHIFT, false);
  EXPECT_EQ(CWnd::GetFocus(), a);
  EXPECT_FALSE(dlg.IsEnded());
  ASSERT_TRUE(dlg.PostMessage(WM_KEYDOWN, VK_ESCAPE));
  halyard::user::PumpMessages();
  EXPECT_TRUE(dlg.IsEnded());
  EXPECT_EQ(dlg.GetResult(), IDCANCEL);
  EXPECT_FALSE(dlg.IsWindowVisible());
}

TEST(RegisteredMessages, OneNumberPerNameIgnoringCase) {
  UINT a = RegisterWindowMessage("halyard test message");
  EXPECT_GE(a, 0xC000u);
  EXPECT_LE(a, 0xFFFFu);
  EXPECT_EQ(RegisterWindowMessage("HALYARD Test Message"), a);
  EXPECT_NE(RegisterWindowMessage("another one"), a);
  EXPECT_EQ(RegisterWindowMessage(""), 0u);
  EXPECT_EQ(RegisterWindowMessage(nullptr), 0u);
}

// The owner of a find/replace dialog: what it was told, and the texts at that moment.
class FindOwner : public CWnd {
 public:
  struct Seen {
    DWORD flags;
    std::string find, replace;
  };
  std::vector<Seen> seen;
  CFindReplaceDialog* notifier = nullptr;
  LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
    if (msg == RegisterWindowMessage(FINDMSGSTRING)) {
      auto* fr = reinterpret_cast<FINDREPLACE*>(l);
      notifier = CFindReplaceDialog::GetNotifier(l);
      seen.push_back(Seen{fr->Flags, fr->lpstrFindWhat, fr->lpstrReplaceWith});
      return 0;
    }
    return CWnd::WindowProc(msg, w, l);
  }
};

TEST_F(DialogTest, FindReplaceButtonsTellTheOwnerWithTheFieldsAndChoices) {
  FindOwner owner;
  ASSERT_TRUE(owner.Create("owner", WS_VISIBLE, R(), nullptr, 0));
  CFindReplaceDialog fr;
  ASSERT_TRUE(fr.Create(FALSE, "old", "new", FR_DOWN, &owner));
  EXPECT_EQ(fr.GetParent(), nullptr);  // owned, not a child
  EXPECT_EQ(fr.GetOwner(), &owner);
  fr.TypeFindWhat("abc");
  fr.CheckMatchCase(true);
  fr.ChooseDirectionDown(false);
  EXPECT_TRUE(fr.PressFindNext());
  ASSERT_EQ(owner.seen.size(), 1u);
  EXPECT_EQ(owner.notifier, &fr);
  EXPECT_EQ(owner.seen[0].flags, FR_FINDNEXT | FR_MATCHCASE);
  EXPECT_EQ(owner.seen[0].find, "abc");
  EXPECT_EQ(owner.seen[0].replace, "new");
  EXPECT_TRUE(fr.PressReplace());
  EXPECT_TRUE(fr.PressReplaceAll());
  EXPECT_EQ(owner.seen[1].flags & (FR_REPLACE | FR_FINDNEXT), FR_REPLACE);
  EXPECT_EQ(owner.seen[2].flags & (FR_REPLACE | FR_REPLACEALL), FR_REPLACEALL);
  HWND h = fr.m_hWnd;
  EXPECT_TRUE(fr.PressCancel());
  ASSERT_EQ(owner.seen.size(), 4u);
  EXPECT_TRUE(owner.seen[3].flags & FR_DIALOGTERM);
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(fr.PressFindNext());  // closed
  EXPECT_EQ(owner.seen.size(), 4u);
}

TEST_F(DialogTest, FindOnlyDialogHasNoReplaceButtonsAndAnEmptySearchIsNotSent) {
  FindOwner owner;
  ASSERT_TRUE(owner.Create("owner", WS_VISIBLE, R(), nullptr, 0));
  CFindReplaceDialog fr;
  ASSERT_TRUE(fr.Create(TRUE, "", nullptr, FR_DOWN, &owner));
  EXPECT_FALSE(fr.PressFindNext());
  fr.TypeFindWhat("x");
  EXPECT_FALSE(fr.PressReplace());
  EXPECT_FALSE(fr.PressReplaceAll());
  EXPECT_TRUE(fr.PressFindNext());
  EXPECT_EQ(owner.seen.size(), 1u);
  fr.SendMessage(WM_KEYDOWN, VK_RETURN);  // the default button
  ASSERT_EQ(owner.seen.size(), 2u);
  EXPECT_EQ(owner.seen[1].flags & FR_FINDNEXT, FR_FINDNEXT);
  owner.seen.pop_back();
  // Escape in the dialog is its Cancel button.
  fr.SendMessage(WM_KEYDOWN, VK_ESCAPE);
  ASSERT_EQ(owner.seen.size(), 2u);
  EXPECT_TRUE(owner.seen[1].flags & FR_DIALOGTERM);
}

TEST_F(DialogTest, FindFieldsAreCutToTheirSizeAndCreationNeedsAnOwner) {
  CFindReplaceDialog orphan;
  EXPECT_FALSE(orphan.Create(TRUE, "x", nullptr, FR_DOWN, nullptr));
  FindOwner owner;
  ASSERT_TRUE(owner.Create("owner", WS_VISIBLE, R(), nullptr, 0));
  CFindReplaceDialog fr;
  ASSERT_TRUE(fr.Create(FALSE, std::string(500, 'a').c_str(), nullptr, FR_DOWN, &owner));
  EXPECT_EQ(fr.GetFindString().size(), size_t{CFindReplaceDialog::kFieldSize - 1});
  EXPECT_EQ(std::string(fr.m_fr.lpstrFindWhat), fr.GetFindString());
  EXPECT_FALSE(fr.Create(FALSE, "again", nullptr, FR_DOWN, &owner));  // already open
}

TEST_F(DialogTest, PrintDialogIsRecordedAndCancelledUnlessAnswered) {
  EXPECT_FALSE(PrintDlg(nullptr));
  PRINTDLG bad{};
  EXPECT_FALSE(PrintDlg(&bad));
  EXPECT_TRUE(PrintDialogs::Shown().empty());
  PRINTDLG pd{};
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = dlg.m_hWnd;
  pd.Flags = PD_HIDEPRINTTOFILE | PD_USEDEVMODECOPIES;
  EXPECT_FALSE(PrintDlg(&pd));
  ASSERT_EQ(PrintDialogs::Shown().size(), 1u);
  EXPECT_EQ(PrintDialogs::Shown()[0].owner, dlg.m_hWnd);
  EXPECT_EQ(PrintDialogs::Shown()[0].flags, PD_HIDEPRINTTOFILE | PD_USEDEVMODECOPIES);
  EXPECT_EQ(pd.nCopies, 1);
  PrintDialogs::SetAnswerer([](PRINTDLG& p) {
    p.nCopies = 3;
    return TRUE;
  });
  EXPECT_TRUE(PrintDlg(&pd));
  EXPECT_EQ(pd.nCopies, 3);
}

}  // namespace
