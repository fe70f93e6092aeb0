// Protected ranges, regions, hidden fields and protect recording, through the control's
// messages, keys and exported members.
#include <cstdint>
#include <ostream>
#include <vector>

#include "glyphpad_fixture.h"

bool operator==(const ProtectRange& a, const ProtectRange& b) {
  return a.start == b.start && a.end == b.end;
}
void PrintTo(const ProtectRange& r, std::ostream* os) {
  *os << "[" << r.start << ", " << r.end << ")";
}

namespace {

std::vector<ProtectRange> Ranges(const CSyntaxEdit& e) {
  return std::vector<ProtectRange>(e.GetProtectRanges(),
                                   e.GetProtectRanges() + e.GetProtectRangeCount());
}

class ProtectTest : public GlyphpadTest {
 protected:
  void SetUp() override {
    GlyphpadTest::SetUp();
    SetContent(std::string(30, 'a'));
    edit.AddProtectRange(10, 20);
  }
  // Types one character with this selection; true when it went in.
  bool TypeWith(LONG a, LONG b) {
    std::string before = Text();
    Select(a, b);
    Type("x");
    return Text() != before;
  }
};

TEST_F(ProtectTest, TypingNextToAProtectedRangeIsAllowedInsideItIsRefused) {
  EXPECT_TRUE(TypeWith(10, 10));
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{11, 21}})) << "typing before moves it";
  EXPECT_TRUE(TypeWith(21, 21));
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{11, 21}})) << "typing after leaves it";
  size_t beeps = Beeps();
  EXPECT_FALSE(TypeWith(15, 15));
  EXPECT_EQ(Beeps(), beeps + 1);
}

TEST_F(ProtectTest, SelectionsTouchingTheRange) {
  CHARRANGE a{5, 10}, b{5, 11}, c{0, 30}, d{20, 25}, e{10, 10}, f{15, 15}, g{12, 18};
  EXPECT_EQ(edit.IsInProtectedRange(a), 0);
  EXPECT_EQ(edit.IsInProtectedRange(b), 1);
  EXPECT_EQ(edit.IsInProtectedRange(c), 1);
  EXPECT_EQ(edit.IsInProtectedRange(d), 0);
  EXPECT_EQ(edit.IsInProtectedRange(e), 0);
  EXPECT_EQ(edit.IsInProtectedRange(f), 1);
  EXPECT_EQ(edit.IsInProtectedRange(g), 1);
  EXPECT_TRUE(TypeWith(5, 10));
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{6, 16}})) << "the range follows the edit";
  EXPECT_FALSE(TypeWith(5, 7));
  EXPECT_FALSE(TypeWith(0, 26));
  EXPECT_EQ(edit.CanDelete(0, 5), 1);
  EXPECT_EQ(edit.CanDelete(6, 8), 0);
  EXPECT_EQ(edit.CanDelete(0, 16), 0);
  EXPECT_EQ(edit.CanDelete(16, 20), 1);
}

TEST_F(ProtectTest, DeleteAndBackspaceMayNotEatIntoTheRange) {
  size_t beeps = Beeps();
  Select(10, 10);
  Key(VK_DELETE);  // would remove the first protected character
  Select(20, 20);
  Key(VK_BACK);  // would remove the last one
  EXPECT_EQ(Text(), std::string(30, 'a'));
  EXPECT_EQ(Beeps(), beeps + 2);
  Select(10, 10);
  Key(VK_BACK);
  Select(19, 19);
  Key(VK_DELETE);
  EXPECT_EQ(Text().size(), 28u);
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{9, 19}}));
  Select(5, 12);
  Key(VK_DELETE);
  EXPECT_EQ(Text().size(), 28u);
}

TEST_F(ProtectTest, ClipboardKeysBeepClipboardMessagesAreSilent) {
  halyard::user::Clipboard::SetText("zz");
  Select(12, 14);
  size_t beeps = Beeps();
  Key('X', false, true);
  Key('V', false, true);
  EXPECT_EQ(Beeps(), beeps + 2);
  Inner(WM_CUT);
  Inner(WM_PASTE);
  edit.Cut();
  edit.Paste();
  EXPECT_EQ(Beeps(), beeps + 2);
  EXPECT_EQ(Text(), std::string(30, 'a'));
  Key('C', false, true);  // copying is always allowed
  std::string clip;
  ASSERT_TRUE(halyard::user::Clipboard::GetText(clip));
  EXPECT_EQ(clip, "aa");
  Select(0, 3);
  Key('X', false, true);
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{7, 17}}));
  Select(0, 0);
  edit.Paste();
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{10, 20}}));
}

TEST_F(ProtectTest, AddingRangesRefusesOverlapsOnly) {
  edit.AddProtectRange(15, 25);
  edit.AddProtectRange(5, 30);
  edit.AddProtectRange(12, 14);
  edit.AddProtectRange(7, 7);
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{10, 20}}));
  edit.AddProtectRange(20, 25);
  edit.AddProtectRange(2, 10);
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{2, 10}, {10, 20}, {20, 25}}))
      << "touching ranges are kept, in ascending order";
  EXPECT_EQ(edit.HasOverlapedProtectRange(15, 40), 1);
  EXPECT_EQ(edit.HasOverlapedProtectRange(26, 40), -1);
  EXPECT_EQ(edit.OffsetProtectField(10, 5), 1);
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{2, 10}, {15, 25}, {25, 30}}));
}

TEST_F(ProtectTest, RegionsAlternateBetweenEditableAndProtected) {
  SetContent("0123456789abcdefghijKLMNOPQRSTuvwxyzABCDEFGHIJ!@#$%^&*()");
  edit.SetProtectField(nullptr, 0);
  EXPECT_EQ(edit.GetRegionCount(), 1);
  CString text;
  int prot = -1;
  edit.GetRegionText(0, text, prot);
  EXPECT_EQ(text.GetLength(), 56);
  EXPECT_EQ(prot, 0);
  ProtectRange two[] = {{10, 20}, {30, 40}};
  Edit(SEM_SETPROTECTFIELD, 2, reinterpret_cast<LPARAM>(two));
  ASSERT_EQ(edit.GetRegionCount(), 5);
  const char* want[] = {"0123456789", "abcdefghij", "KLMNOPQRST", "uvwxyzABCD", "EFGHIJ!@#$%^&*()"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(edit.GetRegionText(i, text, prot), 1);
    EXPECT_STREQ(text, want[i]) << i;
    EXPECT_EQ(prot, i % 2) << i;
  }
  EXPECT_EQ(edit.GetRegionText(9, text, prot), 1);
  EXPECT_STREQ(text, "");
  ProtectRange touching[] = {{0, 5}, {5, 8}};
  Edit(SEM_SETPROTECTFIELD, 2, reinterpret_cast<LPARAM>(touching));
  edit.GetRegionText(0, text, prot);
  EXPECT_STREQ(text, "");
  edit.GetRegionText(2, text, prot);
  EXPECT_STREQ(text, "") << "an empty gap";
  Edit(SEM_SETPROTECTFIELD, 0, 0);
  EXPECT_EQ(edit.GetProtectRangeCount(), 0);
}

TEST_F(ProtectTest, PositionsNearTheLimitSaturateInsteadOfOverflowing) {
  ProtectRange far[] = {{INT32_MAX - 1, INT32_MAX}};
  Edit(SEM_SETPROTECTFIELD, 1, reinterpret_cast<LPARAM>(far));
  Select(0, 0);
  Type("x");
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{INT32_MAX, INT32_MAX}}));
  edit.AddHiddenField("a", "b", INT32_MIN, INT32_MAX);
  edit.UpdateHiddenFields(0, INT32_MAX);
  EXPECT_EQ(edit.GetHiddenFields()[0].end, INT32_MAX);
  CString text;
  int prot = 0;
  edit.GetRegionText(1, text, prot);
  EXPECT_STREQ(text, "");
}

TEST_F(ProtectTest, ToolInsertsMoveRangesByWhatWasInserted) {
  Select(2, 2);
  Edit(SEM_INSERTTEXT, 1, reinterpret_cast<LPARAM>("kept aside, 27 characters!!"));
  EXPECT_EQ(Text().substr(2, 15), HIDDEN_TEXT_MARKER);
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{25, 35}}));
  Select(0, 0);
  Edit(SEM_INSERTTEXT, 0, reinterpret_cast<LPARAM>("<B>"));
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{28, 38}}));
  EXPECT_EQ(Colours().substr(0, 3), "BDB");
  size_t beeps = Beeps();
  Select(30, 30);
  Edit(SEM_INSERTTEXT, 0, reinterpret_cast<LPARAM>("no"));
  EXPECT_EQ(Beeps(), beeps + 1);
  EXPECT_EQ(Text().size(), 48u);
}

TEST_F(GlyphpadTest, HiddenFieldsGuardTheirInside) {
  SetContent("0123456789[[Hidden Text]]0123456789");
  edit.AddHiddenField("first", "second", 10, 25);
  CHARRANGE caretIn{15, 15}, caretAt{10, 10}, inside{12, 14}, across{5, 12}, whole{5, 30},
      exact{10, 25}, after{25, 30};
  EXPECT_EQ(edit.IsInHiddenField(caretIn), 4);
  EXPECT_EQ(edit.IsInHiddenField(caretAt), 0);
  EXPECT_EQ(edit.IsInHiddenField(inside), 4);
  EXPECT_EQ(edit.IsInHiddenField(across), 2);
  EXPECT_EQ(edit.IsInHiddenField(whole), 1);
  EXPECT_EQ(edit.IsInHiddenField(exact), 1);
  EXPECT_EQ(edit.IsInHiddenField(after), 0);
  size_t beeps = Beeps();
  Select(15, 15);
  Type("x");
  Select(5, 12);
  Type("x");
  Key(VK_DELETE);
  Select(10, 10);
  Key(VK_DELETE);
  EXPECT_EQ(Beeps(), beeps + 4);
  EXPECT_EQ(Text(), "0123456789[[Hidden Text]]0123456789");
  Select(10, 10);
  Type("y");  // directly before the field
  EXPECT_EQ(Text().substr(10, 2), "y[");
  EXPECT_EQ(edit.GetHiddenFields()[0].start, 10) << "edits do not move hidden fields";
  Select(5, 30);
  Type("z");  // a selection that holds the whole field may be edited
  EXPECT_EQ(Text(), "01234z456789");
  EXPECT_STREQ(edit.GetHiddenFields()[0].first, "first");
  EXPECT_STREQ(edit.GetHiddenFields()[0].second, "second");
}

TEST_F(GlyphpadTest, HiddenFieldsFollowUpdatesAndAreRemovedWhenWhollyInside) {
  edit.AddHiddenField("a", "b", 10, 20);
  edit.AddHiddenField("c", "d", 12, 14);
  edit.AddHiddenField("e", "f", 2, 5);
  edit.UpdateHiddenFields(12, 4);
  const HiddenField* f = edit.GetHiddenFields();
  EXPECT_EQ(f[0].start, 10);
  EXPECT_EQ(f[0].end, 24);
  EXPECT_EQ(f[1].start, 16);
  EXPECT_EQ(f[1].end, 18);
  EXPECT_EQ(f[2].end, 5);
  edit.AddHiddenField("g", "h", 15, 25);
  CHARRANGE r{0, 20};
  edit.AddHiddenField(nullptr, nullptr, 5, 20);
  edit.RemoveHiddenFields(r);
  ASSERT_EQ(edit.GetHiddenFieldCount(), 2);
  EXPECT_STREQ(edit.GetHiddenFields()[0].first, "a") << "[10, 24) reaches past 20";
  EXPECT_STREQ(edit.GetHiddenFields()[1].first, "g");
}

TEST_F(GlyphpadTest, ProtectRecordingAddsTheMarkedRange) {
  SetContent(std::string(40, 'a'));
  EXPECT_EQ(Edit(SEM_GETPROTECT), 0);
  Select(5, 5);
  Edit(SEM_SETPROTECT, 1);
  EXPECT_EQ(Edit(SEM_GETPROTECT), 1);
  Select(30, 30);
  Edit(SEM_SETPROTECT, 1);  // already on: the mark stays at 5
  Select(0, 0);
  Type("xyz");  // before the mark: it moves with the text
  Select(12, 12);
  Edit(SEM_SETPROTECT, 0);
  EXPECT_EQ(Edit(SEM_GETPROTECT), 0);
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{8, 12}}));
  Select(20, 20);
  Edit(SEM_SETPROTECT, 1);
  Select(15, 20);
  Edit(SEM_SETPROTECT, 0);  // ends at the selection's end, the mark: nothing added
  Edit(SEM_SETPROTECT, 0);
  EXPECT_EQ(Ranges(edit).size(), 1u);
  Select(30, 30);
  Edit(SEM_SETPROTECT, 1);
  Select(25, 25);
  Edit(SEM_SETPROTECT, 0);
  EXPECT_EQ(Ranges(edit), (std::vector<ProtectRange>{{8, 12}, {25, 30}}));
}

TEST_F(GlyphpadTest, SelectionAndContentMessages) {
  SetContent("0123456789");
  LONG a = 0;
  EXPECT_EQ(Edit(SEM_GETSEL, reinterpret_cast<WPARAM>(&a), 0), 0);
  EXPECT_EQ(Edit(SEM_GETSEL, 0, reinterpret_cast<LPARAM>(&a)), 0);
  Edit(SEM_SETSEL, static_cast<WPARAM>(-5), 1000000);
  EXPECT_EQ(Sel().cpMin, 0);
  EXPECT_EQ(Sel().cpMax, 10);
  char buf[16];
  Edit(SEM_GETCONTENT, 4, reinterpret_cast<LPARAM>(buf));
  EXPECT_STREQ(buf, "0123");
  EXPECT_EQ(edit.HasSelection(), 1);
  EXPECT_EQ(edit.CanPaste(), 0);
  edit.Copy();
  EXPECT_EQ(edit.CanPaste(), 1);
  Edit(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("<B>"));
  EXPECT_EQ(Colours(), "BDB");
  char out[3];
  EXPECT_EQ(Edit(WM_GETTEXT, sizeof out, reinterpret_cast<LPARAM>(out)), 2);
  EXPECT_STREQ(out, "<B");
}

}  // namespace

namespace {

TEST_F(GlyphpadTest, InnerControlIsTheOnlyChildWithTheViewsScrollBars) {
  ASSERT_EQ(edit.GetChildren().size(), 1u);
  CWnd* child = edit.GetChildren()[0];
  EXPECT_EQ(child->GetDlgCtrlID(), 1001);
  EXPECT_EQ(edit.GetStyle() & WS_VSCROLL, 0u) << "the scroll bar moved to the inner control";
  DWORD want = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
               ES_NOHIDESEL | ES_WANTRETURN | ES_SAVESEL;
  EXPECT_EQ(child->GetStyle() & want, want);
  CHARFORMAT cf{};
  cf.cbSize = sizeof cf;
  Inner(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
  EXPECT_STREQ(cf.szFaceName, "courier new");
  EXPECT_EQ(cf.yHeight, 200);
  EXPECT_EQ(cf.dwEffects & (CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE), 0u);
  EXPECT_EQ(Inner(EM_GETLIMITTEXT), 65536);
  SetContent("<B>x");
  Select(1, 2);
  Inner(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  EXPECT_STREQ(cf.szFaceName, "courier new") << "set text takes the default format";
  edit.SetFocus();
  EXPECT_EQ(::GetFocus(), inner) << "the view hands the focus on";
  edit.DestroyWindow();
  EXPECT_FALSE(IsWindow(inner));
  EXPECT_EQ(Edit(SEM_GETCONTENTLENGTH), 0);
}

}  // namespace
