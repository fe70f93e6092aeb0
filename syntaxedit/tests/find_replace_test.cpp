// Find and replace through the common dialog, driven as a user would, and replace all against
// a replacement done one match at a time.
#include <random>

#include "glyphpad_fixture.h"
#include "syntaxedit/syntax_rich_edit.h"
#include "syntaxedit/text_matcher.h"
#include "platform/user/commdlg.h"

namespace {

using halyard::user::Desktop;

class FindReplaceTest : public GlyphpadTest {
 protected:
  CFindReplaceDialog* Open(bool findOnly) {
    edit.BringUpFindReplaceDlg(findOnly ? 1 : 0);
    CFindReplaceDialog* dlg = edit.GetFindReplaceDialog();
    EXPECT_NE(dlg, nullptr);
    return dlg;
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> out;
    for (const auto& b : Desktop::MessageBoxes()) out.push_back(b.text);
    return out;
  }
};

TEST_F(FindReplaceTest, FindNextDownSelectsEachMatchThenSaysTheEndWasReached) {
  SetContent("<B>ab</B> AB ab");
  CFindReplaceDialog* dlg = Open(true);
  EXPECT_EQ(dlg->GetFindString(), "");
  EXPECT_TRUE(dlg->SearchDown());
  EXPECT_TRUE(dlg->IsFindOnly());
  dlg->TypeFindWhat("ab");
  dlg->CheckMatchCase(true);
  ASSERT_TRUE(dlg->PressFindNext());
  EXPECT_EQ(Sel().cpMin, 3);
  EXPECT_EQ(Sel().cpMax, 5);
  dlg->PressFindNext();
  EXPECT_EQ(Sel().cpMin, 13) << "AB is skipped with match case";
  EXPECT_TRUE(Boxes().empty());
  dlg->PressFindNext();
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Reach the end of the document"});
  EXPECT_EQ(Sel().cpMin, 13) << "the selection stays";
  EXPECT_EQ(Sel().cpMax, 15);
  dlg->CheckMatchCase(false);
  Select(6, 6);
  dlg->PressFindNext();
  EXPECT_EQ(Sel().cpMin, 10);
  EXPECT_EQ(Text(), "<B>ab</B> AB ab");
}

TEST_F(FindReplaceTest, FindNextUpSearchesTheReversedTextBeforeTheSelection) {
  SetContent("xxabyyab");
  CFindReplaceDialog* dlg = Open(true);
  dlg->TypeFindWhat("ab");
  dlg->ChooseDirectionDown(false);
  Select(8, 8);
  dlg->PressFindNext();
  EXPECT_EQ(Sel().cpMin, 6);
  EXPECT_EQ(Sel().cpMax, 8);
  Select(6, 6);
  dlg->PressFindNext();
  EXPECT_EQ(Sel().cpMin, 2);
  EXPECT_EQ(Sel().cpMax, 4);
  dlg->PressFindNext();  // from the selection's start, 2
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Reach the top of the document"});
  EXPECT_EQ(Sel().cpMin, 2);
  EXPECT_EQ(edit.GetChildren().size(), 1u) << "the reversed copy is no child of the view";
}

TEST_F(FindReplaceTest, WholeWordsInBothDirections) {
  SetContent("cat concat cat_x cat");
  EXPECT_TRUE(edit.FindNextMatch("cat", TRUE, FALSE, TRUE));
  EXPECT_EQ(Sel().cpMin, 0);
  EXPECT_TRUE(edit.FindNextMatch("cat", TRUE, FALSE, TRUE));
  EXPECT_EQ(Sel().cpMin, 17);
  EXPECT_TRUE(edit.FindNextMatch("cat", FALSE, FALSE, TRUE));
  EXPECT_EQ(Sel().cpMin, 0);
  Select(20, 20);
  EXPECT_TRUE(edit.FindNextMatch("CAT", FALSE, FALSE, FALSE));
  EXPECT_EQ(Sel().cpMin, 17);
  EXPECT_TRUE(edit.FindNextMatch("CAT", FALSE, FALSE, FALSE));
  EXPECT_EQ(Sel().cpMin, 11);
  EXPECT_FALSE(edit.FindNextMatch("CAT", FALSE, TRUE, FALSE));
}

TEST_F(FindReplaceTest, ReplaceNeedsAMatchingSelectionThenRecoloursAndSelectsTheNext) {
  SetContent("<B>x</B><B>y</B>");
  CFindReplaceDialog* dlg = Open(false);
  dlg->TypeFindWhat("b");
  dlg->TypeReplaceWith("FONT");
  Select(0, 0);
  size_t beeps = Beeps();
  dlg->PressReplace();
  EXPECT_EQ(Beeps(), beeps + 1) << "an empty selection does not match";
  EXPECT_EQ(Text(), "<B>x</B><B>y</B>");
  dlg->PressFindNext();
  EXPECT_EQ(Sel().cpMin, 1);
  dlg->PressReplace();
  EXPECT_EQ(Text(), "<FONT>x</B><B>y</B>");
  EXPECT_EQ(Sel().cpMin, 9) << "the next match is selected";
  EXPECT_EQ(Sel().cpMax, 10);
  std::string colours = Colours();
  EXPECT_EQ(colours, ColoursOf("<FONT>x</B><B>y</B>"));
  EXPECT_EQ(colours.substr(0, 6), "BDDDDB");
}

TEST_F(FindReplaceTest, ReplaceAllGoesOnAfterEachReplacementAndRecoloursWhatChanged) {
  SetContent("aaa");
  CFindReplaceDialog* dlg = Open(false);
  dlg->TypeFindWhat("a");
  dlg->TypeReplaceWith("aa");
  dlg->PressReplaceAll();
  EXPECT_EQ(Text(), "aaaaaa");
  SetContent("<Q>1</Q> <Q>2</Q> &AMP;");
  EXPECT_EQ(edit.ReplaceAllMatches("q", "B", FALSE, FALSE), 4);
  EXPECT_EQ(Text(), "<B>1</B> <B>2</B> &AMP;");
  std::string after = Colours();
  EXPECT_EQ(after, ColoursOf("<B>1</B> <B>2</B> &AMP;"));
  EXPECT_EQ(after.substr(0, 3), "BDB") << "known now, no longer magenta";
  SetContent("<!-- a --> x");
  edit.ReplaceAllMatches("-->", "--", TRUE, FALSE);
  EXPECT_EQ(Colours(), ColoursOf("<!-- a -- x")) << "a comment left open runs on";
}

TEST_F(FindReplaceTest, ReplaceAndReplaceAllLeaveProtectedTextAlone) {
  SetContent("ab ab ab ab");
  edit.AddProtectRange(3, 5);
  edit.AddHiddenField("h", "", 8, 10);
  Select(3, 5);
  size_t beeps = Beeps();
  EXPECT_FALSE(edit.ReplaceCurrent("ab", "X", FALSE, FALSE));
  EXPECT_EQ(Beeps(), beeps + 1);
  EXPECT_EQ(Text(), "ab ab ab ab");
  EXPECT_EQ(edit.ReplaceAllMatches("ab", "XY", FALSE, FALSE), 2) << "one protected, one cut";
  EXPECT_EQ(Text(), "XY ab XY ab");
  SetContent("ab ab ab ab");
  CHARRANGE all{0, 100};
  edit.RemoveHiddenFields(all);
  EXPECT_EQ(edit.ReplaceAllMatches("ab", "XYZ", FALSE, FALSE), 3);
  EXPECT_EQ(Text(), "XYZ ab XYZ XYZ");
  EXPECT_EQ(edit.GetProtectRanges()[0].start, 4) << "moved by the replacement before it";
  EXPECT_EQ(edit.GetProtectRanges()[0].end, 6);
}

TEST_F(FindReplaceTest, DialogLifecycleKeepsTheLastSearchText) {
  CFindReplaceDialog* first = Open(true);
  first->TypeFindWhat("one");
  first->PressCancel();
  EXPECT_EQ(edit.GetFindReplaceDialog(), nullptr) << "the view lets go of a closed dialog";
  EXPECT_EQ(edit.GetLastSearchText(), "one");
  CFindReplaceDialog* second = Open(false);
  EXPECT_EQ(second->GetFindString(), "one");
  EXPECT_TRUE(second->SearchDown());
  HWND old = second->m_hWnd;
  CFindReplaceDialog* third = Open(true);
  EXPECT_FALSE(IsWindow(old)) << "a second call closes the dialog still open";
  EXPECT_EQ(edit.GetFindReplaceDialog(), third);
  // Replace buttons do not exist in a find-only dialog.
  SetContent("one");
  EXPECT_FALSE(third->PressReplaceAll());
  EXPECT_EQ(Text(), "one");
}

TEST_F(FindReplaceTest, ReplaceAllThatWouldPassTheLimitStopsWithABeep) {
  std::string text(CRichEditCtrl::kDefaultLimit - 2, 'x');
  text.replace(0, 1, "a");
  text.replace(10, 1, "a");
  text.replace(20, 1, "a");
  SetContent(text);
  size_t beeps = Beeps();
  EXPECT_EQ(edit.ReplaceAllMatches("a", "bb", TRUE, FALSE), 2);
  EXPECT_EQ(Beeps(), beeps + 1);
  EXPECT_EQ(Text().size(), text.size() + 2);
  EXPECT_EQ(Text()[22], 'a');
}

// Reference: select each match found after the previous replacement and replace it, then
// a full pass over the result.
std::string ReplaceOneByOne(std::string text, const std::string& what, const std::string& with,
                            bool matchCase, bool whole) {
  LONG from = 0;
  for (;;) {
    glyphpad::Matcher m(what, matchCase, whole);
    LONG at = m.Next(text, 0, 0);
    while (at >= 0 && at < from) at = m.Next(text, at + 1, 0);
    if (at < 0) return text;
    text.replace(static_cast<size_t>(at), what.size(), with);
    from = at + static_cast<LONG>(with.size());
  }
}

TEST_F(FindReplaceTest, ReplaceAllAgreesWithReplacingOneMatchAtATime) {
  std::mt19937 rng(19);
  const std::string alphabet = "aAb <>!-=\"q";
  auto word = [&](size_t max) {
    std::string s;
    size_t n = rng() % max;
    for (size_t i = 0; i < n; ++i) s += alphabet[rng() % alphabet.size()];
    return s;
  };
  for (int round = 0; round < 150; ++round) {
    std::string text = word(40);
    std::string what = word(3) + "a";
    std::string with = word(4);
    bool matchCase = rng() % 2, whole = rng() % 2;
    SetContent(text);
    edit.ReplaceAllMatches(what, with, matchCase, whole);
    std::string want = ReplaceOneByOne(text, what, with, matchCase, whole);
    ASSERT_EQ(Text(), want) << text << " / " << what << " / " << with;
    std::string colours = Colours();
    ASSERT_EQ(colours, ColoursOf(want)) << text << " / " << what << " / " << with;
  }
}

}  // namespace
