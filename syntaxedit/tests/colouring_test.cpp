// Colours given by the full pass when text is set, and by the keystroke and clipboard
// recolouring, read back through the control's messages.
#include <vector>

#include "glyphpad_fixture.h"

namespace {

struct Case {
  const char* text;
  const char* colours;
};

TEST_F(GlyphpadTest, SettingTextColoursTagsAttributesAndValues) {
  const Case cases[] = {
      {"<P ALIGN=center>", "BDKRRRRRBBBBBBBB"},
      {"<FOO BAR='x>", "BMMMKMMMBMMB"},
      {"<A HREF=\"x.html\" TARGET='_top'>", "BDKRRRRBBBBBBBBBKRRRRRRBBBBBBBB"},
      {"<B FOO=1 ALT = no>", "BDKMMMBBKRRRKBKBBB"},
      {"</TABLE>x", "BDDDDDDBK"},
      {"<IMG SRC=\"a.gif\"", "BDDDKRRRBBBBBBBB"},
      {"<A TITLE=\"open", "BDKRRRRRBMMMMM"},
      {"<p align=center>", "BDKRRRRRBBBBBBBB"},
      {"<P>a<BR>", "BDBKBDDB"},
      {"<>", "BB"},
  };
  for (const Case& c : cases) EXPECT_EQ(ColoursOf(c.text), c.colours) << c.text;
}

TEST_F(GlyphpadTest, CommentsAndComponentTagsAreColouredWhole) {
  EXPECT_EQ(ColoursOf("<!-- note -->"), "GGGGGGGGGGGGG");
  EXPECT_EQ(ColoursOf("x<!--a-->y"), "KGGGGGGGGK");
  EXPECT_EQ(ColoursOf("<!--a--><P>"), "GGGGGGGGBDB") << "a closed comment ends at its \">\"";
  // A "<" before the comment's ">": everything from there on reads as comment.
  EXPECT_EQ(ColoursOf("x<!-- a <P>b</P>"), "KGGGGGGGGGGGGGGG");
  // The first ">" ends a comment, as in the original.
  EXPECT_EQ(ColoursOf("<!-- a > b -->"), "GGGGGGGGKKKKKK");
  EXPECT_EQ(ColoursOf("<Q-TEXT a=b>z"), "SSSSSSSSSSSSK");
  EXPECT_EQ(ColoursOf("<q-box>"), "SSSSSSS");
  EXPECT_EQ(ColoursOf("<!DOCTYPE html>"), "BDDDDDDDDKMMMMB");
}

TEST_F(GlyphpadTest, CharacterReferencesAreRedWhenKnown) {
  const Case cases[] = {
      {"&amp; &#65; &#200;", "RRRRRKRRRRRKRRRRRR"},
      {"&#128; &nbsp;", "KKKKKKKKKKKKK"},
      {"&AMP;&lt&gtx", "RRRRRRRRKKKK"},
      {"a&quot;b", "KRRRRRRK"},
      {"&#09;&#10;&#9;", "RRRRRRRRRRKKKK"},
      {"& &# &;", "KKKKKKK"},
      {"<P>&lt;</P> &gt;", "BDBRRRRBDDBKRRRR"},
  };
  for (const Case& c : cases) EXPECT_EQ(ColoursOf(c.text), c.colours) << c.text;
}

TEST_F(GlyphpadTest, SettingTextShowsWaitCursorPutsCaretAtStartAndKeepsVisibility) {
  SetContent("<P>one</P>");
  Select(3, 5);
  int shown = halyard::user::Desktop::WaitCursorShownCount();
  CWnd::FromHandle(inner)->SetFocus();
  std::string big;
  for (int i = 0; i < 300; ++i) big += "<B>bold</B>";
  SetContent(big);
  EXPECT_EQ(halyard::user::Desktop::WaitCursorShownCount(), shown + 1);
  EXPECT_EQ(halyard::user::Desktop::WaitCursorDepth(), 0);
  EXPECT_EQ(Sel().cpMin, 0);
  EXPECT_EQ(Sel().cpMax, 0);
  EXPECT_TRUE(IsWindowVisible(inner));
  EXPECT_EQ(::GetFocus(), inner);
  EXPECT_EQ(Edit(WM_GETTEXTLENGTH), static_cast<LRESULT>(big.size()));
}

TEST_F(GlyphpadTest, TypingAgreesWithSettingTheText) {
  const char* texts[] = {
      "<P ALIGN=center>",
      "<A HREF=\"x.html\" TARGET=_top>link</A>",
      "<TABLE BORDER=1 WIDTH='50%'><TR><TD>cell</TD></TR></TABLE>",
      "<FONT COLOR=red SIZE=+1>big</FONT>",
      "<!-- note -->after",
      "<Q-TEXT name=x>z",
      "a &amp; b &#65; &nbsp; c",
      "<IMG SRC=a.gif ALT=\"a b\">",
      "<FOO BAR=1>",
      "text <B>bold</B> more\n<I>it</I>",
  };
  for (const char* t : texts) EXPECT_EQ(TypedColours(t), ColoursOf(t)) << t;
}

TEST_F(GlyphpadTest, TypingIntoExistingTextRecolours) {
  SetContent("<P ALIN=center>");
  Select(6, 6);
  Type("G");
  EXPECT_EQ(Text(), "<P ALIGN=center>");
  EXPECT_EQ(Colours(), ColoursOf("<P ALIGN=center>"));

  SetContent("<X>");
  Select(1, 2);
  Type("B");  // a replaced selection: the span around it is recoloured
  EXPECT_EQ(Colours(), "BDB");

  // A ">" typed inside a tag closes it there; what followed is text now.
  SetContent("<P ALIGN=center>");
  Select(2, 2);
  Type(">");
  EXPECT_EQ(Text(), "<P> ALIGN=center>");
  EXPECT_EQ(Colours(), ColoursOf("<P> ALIGN=center>"));

  // A "<" typed before text starts a tag there.
  SetContent("xB>y");
  Select(1, 1);
  Type("<");
  EXPECT_EQ(Colours(), "KBDBK");

  // After a ">" the caret colour is black again.
  SetContent("");
  Type("<P>");
  Type("x");
  EXPECT_EQ(Colours(), "BDBK");

  // Inside a comment only the closing ">" recolours.
  SetContent("<!-- a  b --");
  Select(6, 6);
  Type("zz");
  EXPECT_EQ(Colours(), std::string(14, 'G'));
}

TEST_F(GlyphpadTest, DeletingAndUndoRecolourTheSpan) {
  SetContent("<P ALIGNX=center>");
  Select(9, 9);
  Key(VK_BACK);
  EXPECT_EQ(Colours(), ColoursOf("<P ALIGN=center>"));
  SetContent("<P ALIGN=center>");
  Select(3, 3);
  Key(VK_DELETE);
  EXPECT_EQ(Text(), "<P LIGN=center>");
  EXPECT_EQ(Colours(), "BDKMMMMBBBBBBBB");
  Key('Z', false, true);
  EXPECT_EQ(Text(), "<P ALIGN=center>");
  EXPECT_EQ(Colours(), ColoursOf("<P ALIGN=center>"));
}

TEST_F(GlyphpadTest, AnEditRightBeforeACommentOrComponentTagLeavesItWhole) {
  SetContent("a<!--c-->");
  Select(0, 1);
  Key(VK_DELETE);
  EXPECT_EQ(Colours(), "GGGGGGGG");
  SetContent("ab<Q-X a=1>");
  Select(2, 2);
  Key(VK_BACK);
  EXPECT_EQ(Colours(), "KSSSSSSSSS");
  SetContent("<P>x<!-- c --></P>");
  Select(3, 4);
  halyard::user::Clipboard::SetText("y z");
  Inner(WM_PASTE);
  EXPECT_EQ(Colours(), ColoursOf("<P>y z<!-- c --></P>"));
}

TEST_F(GlyphpadTest, GreenRunningOnFromAnOpenCommentFollowsEdits) {
  // A "<" typed into a comment ends it there: the rest of the text is green.
  SetContent("<!-- a b --><P>x</P>");
  Select(6, 6);
  Type("<");
  EXPECT_EQ(Colours(), std::string(21, 'G'));
  // Typing past that "<" keeps everything green, tags and references included.
  Select(17, 17);
  Type("<B>&amp;");
  EXPECT_EQ(Colours(), std::string(29, 'G'));
  // Removing the "<" lets the comment close at its ">" again.
  Select(6, 7);
  Key(VK_DELETE);
  EXPECT_EQ(Text(), "<!-- a b --><P>x<B>&amp;</P>");
  EXPECT_EQ(Colours(), ColoursOf(Text()));
  // Breaking the opening word of a comment that ran on: what followed it is coloured again.
  SetContent("x<!-- a <P>b</P><!--c--><Q-T>d");
  Select(1, 2);
  Key(VK_DELETE);
  EXPECT_EQ(Colours(), ColoursOf("x!-- a <P>b</P><!--c--><Q-T>d"));
  SetContent("<Q-X a<B>c");
  Select(2, 2);
  Key(VK_BACK);
  EXPECT_EQ(Colours(), "BMMKMBDBK");
}

TEST_F(GlyphpadTest, PasteAndCutRecolourTheWidenedRange) {
  SetContent("<P>hello</P>");
  Select(3, 8);
  halyard::user::Clipboard::SetText("<B CLASS=x>y</B>");
  Inner(WM_PASTE);
  EXPECT_EQ(Text(), "<P><B CLASS=x>y</B></P>");
  EXPECT_EQ(Colours(), ColoursOf("<P><B CLASS=x>y</B></P>"));

  SetContent("<P>a&amp;b</P>");
  Select(0, 3);
  Key('X', false, true);
  EXPECT_EQ(Text(), "a&amp;b</P>");
  EXPECT_EQ(Colours(), "KRRRRRKBDDB");
  std::string clip;
  ASSERT_TRUE(halyard::user::Clipboard::GetText(clip));
  EXPECT_EQ(clip, "<P>");
  Select(0, 0);
  Key('V', false, true);
  EXPECT_EQ(Colours(), ColoursOf("<P>a&amp;b</P>"));
}

TEST_F(GlyphpadTest, HiddenFieldsAreOlive) {
  edit.AddHiddenField("kept", "aside", 3, 18);
  SetContent("<P>[[Hidden Text]]</P>");
  EXPECT_EQ(Colours(), "BDB" + std::string(15, 'O') + "BDDB");
  // Typing right after it: the new character is text, the field stays olive.
  Select(18, 18);
  Type("x");
  EXPECT_EQ(Colours(), "BDB" + std::string(15, 'O') + "KBDDB");
}

}  // namespace

namespace {

// Random pages of tags, attributes, values, text and references: typed key by key they must
// come out as the full pass colours them.
std::string RandomPage(unsigned seed, bool comments) {
  static const char* kTags[] = {"P", "A", "TABLE", "TD", "FOO", "/P", "IMG", "BR", "x-y"};
  static const char* kAttrs[] = {"ALIGN", "HREF", "bgcolor", "BAR", "SRC", "WIDTH", "zz"};
  static const char* kValues[] = {"center", "\"x.html\"", "'a b'", "10", "\"\"", "#FFF"};
  static const char* kText[] = {"hello",  " ",  "&amp;",     "&#65;",  "&nbsp;",
                                "a&lt;b", "\n", "word word", "&#200;", "x=y"};
  static const char* kMarkup[] = {"<!-- c -->", "<Q-X a=1>", "<!--x-->"};
  unsigned s = seed;
  auto next = [&](unsigned n) {
    s = s * 1103515245u + 12345u;
    return (s >> 16) % n;
  };
  std::string page;
  int pieces = 3 + static_cast<int>(next(8));
  for (int i = 0; i < pieces; ++i) {
    if (next(2)) {
      page += comments && next(3) == 0 ? kMarkup[next(3)] : kText[next(10)];
      continue;
    }
    page += "<";
    page += kTags[next(9)];
    int attrs = static_cast<int>(next(4));
    for (int a = 0; a < attrs; ++a) {
      page += next(4) ? " " : "\n";
      page += kAttrs[next(7)];
      if (next(4)) {
        page += next(5) ? "=" : " = ";
        page += kValues[next(6)];
      }
    }
    page += ">";
  }
  return page;
}

TEST_F(GlyphpadTest, TypingRandomPagesAgreesWithSettingThem) {
  for (unsigned seed = 1; seed <= 400; ++seed) {
    std::string page = RandomPage(seed, true);
    ASSERT_EQ(TypedColours(page), ColoursOf(page)) << "seed " << seed << ": " << page;
  }
}

}  // namespace

namespace {

// Random keys, deletions and backspaces at random places, each checked against a full pass of
// the result.
class RandomEditTest : public GlyphpadTest {
 protected:
  void EditRandomPages(bool comments, const char* keys, unsigned pages, unsigned salt) {
    std::string k(keys);
    unsigned s = salt;
    auto next = [&](unsigned n) {
      s = s * 1103515245u + 12345u;
      return (s >> 16) % n;
    };
    for (unsigned seed = 1; seed <= pages; ++seed) {
      std::string page = RandomPage(seed, comments);
      SetContent(page);
      for (int key = 0; key < 4; ++key) {
        LONG at = static_cast<LONG>(next(static_cast<unsigned>(page.size()) + 1));
        Select(at, at);
        std::string prev = page;
        char c = k[next(static_cast<unsigned>(k.size()))];
        std::string did;
        if (next(5) == 0) {
          bool back = next(2) != 0;
          Key(back ? VK_BACK : VK_DELETE);
          did = back ? "backspace" : "delete";
        } else {
          Type(std::string(1, c));
          did = std::string("typed ") + c;
        }
        page = Text();
        std::string typed = Colours();
        ASSERT_EQ(typed, ColoursOf(page)) << "seed " << seed << " key " << key << ": [" << page
                                          << "] from [" << prev << "], " << did << " at " << at;
        SetContent(page);
      }
    }
  }
};

TEST_F(RandomEditTest, EditsInsideRandomPagesAgreeWithSettingTheResult) {
  EditRandomPages(false, "a =\"'><&;#1\n", 300, 99);
}

// With comments and component tags: a "<" typed into one, or a "<" or ">" removed, starts or
// ends green that runs on to the end of the text.
TEST_F(RandomEditTest, EditsAroundCommentsAgreeWithSettingTheResult) {
  EditRandomPages(true, "a =\"'><&;#1\n-!", 400, 7);
}

}  // namespace
