// The class of the word at the caret, asked of the inner control directly, and as it shows in
// how much a typed character recolours.
#include "glyphpad_fixture.h"
#include "syntaxedit/syntax_colours.h"
#include "syntaxedit/syntax_rich_edit.h"

namespace {

using namespace glyphpad;

struct ClassCase {
  const char* text;
  LONG caret;
  int wordClass;
  LONG start, end;  // the word's extent
};

TEST_F(GlyphpadTest, WordClassAtTheCaret) {
  const ClassCase cases[] = {
      // Tag words, the "<" included.
      {"<TABLE BORDER=1>", 3, kWordKnownTag, 0, 6},
      {"<TABLE BORDER=1>", 1, kWordKnownTag, 0, 6},
      {"</P>", 4, kWordOther, 4, 4},
      {"</P>", 3, kWordKnownTag, 0, 3},
      {"<TABLEX>", 7, kWordUnknownTag, 0, 7},
      {"<", 1, kWordUnknownTag, 0, 1},
      // Attribute names, known and not, with or without their "=".
      {"<P ALIGN=center>", 5, kWordKnownAttribute, 3, 8},
      {"<P align>", 8, kWordKnownAttribute, 3, 8},
      {"<P ALIGNX=center>", 3, kWordUnknownAttribute, 3, 9},
      {"<P A='x' HREF", 13, kWordKnownAttribute, 9, 13},
      {"<P\nWIDTH", 8, kWordKnownAttribute, 3, 8},
      // Values: quoted ones, open or closed quotes before the caret.
      {"<A HREF=\"x.html\">", 11, kWordQuoted, 9, 15},
      {"<A HREF=\"x.html\">", 9, kWordQuoted, 9, 15},
      {"<A HREF='a b' TITLE=\"open", 24, kWordQuoted, 21, 25},
      {"<A HREF=\"x\">", 11, kWordOther, 11, 11},
      // An unquoted value is no attribute name, however it reads.
      {"<INPUT TYPE=TEXT>", 14, kWordOther, 12, 16},
      {"<INPUT TYPE = TEXT>", 16, kWordOther, 14, 18},
      {"<INPUT TYPE==TEXT>", 16, kWordOther, 13, 17},
      // Between words of a tag.
      {"<P  ALIGN>", 3, kWordOther, 3, 3},
      // Comments and component tags.
      {"<!-- a b -->", 6, kWordOther, 5, 6},
      {"<!-- a b -->", 3, kWordOther, 0, 4},
      {"<Q-TEXT a=b>", 4, kWordOther, 0, 7},
      {"<!- x", 2, kWordUnknownTag, 0, 3},
      // Outside any tag.
      {"<P>some text", 6, kWordOther, 3, 7},
      {"&amp;", 2, kWordOther, 0, 5},
      {"", 0, kWordOther, 0, 0},
  };
  SyntaxRichEdit* re = edit.GetRichEdit();
  ASSERT_NE(re, nullptr);
  for (const ClassCase& c : cases) {
    SetContent(c.text);
    Select(c.caret, c.caret);
    LONG s = -1, e = -1;
    EXPECT_EQ(re->WordClassAtCaret(&s, &e), c.wordClass) << c.text << " at " << c.caret;
    EXPECT_EQ(s, c.start) << c.text << " at " << c.caret;
    EXPECT_EQ(e, c.end) << c.text << " at " << c.caret;
  }
  // With a selection the caret is its end.
  SetContent("<P ALIGN=center>");
  Select(1, 5);
  EXPECT_EQ(re->WordClassAtCaret(), kWordKnownAttribute);
}

// Paints the whole text a colour no pass gives, so that a test sees what a keystroke
// recoloured: every character left as '?' kept the paint.
class TypedExtentTest : public GlyphpadTest {
 protected:
  std::string TypeIntoPainted(const std::string& text, LONG at, const std::string& keys) {
    SetContent(text);
    Select(0, static_cast<LONG>(text.size()));
    CHARFORMAT cf{};
    cf.cbSize = sizeof cf;
    cf.dwMask = CFM_COLOR;
    cf.crTextColor = 0x123456;
    Inner(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    Select(at, at);
    Type(keys);
    return Colours();
  }
};

TEST_F(TypedExtentTest, TheClassOfTheWordDecidesWhatATypedCharacterRecolours) {
  // A known attribute name (2): that name alone.
  EXPECT_EQ(TypeIntoPainted("<P ALIN=center>", 6, "G"), "???RRRRR????????");
  EXPECT_EQ(TypeIntoPainted("<P A='x' HRE>", 12, "F"), "?????????RRRR?");
  // A known tag word (1): the whole tag, as a full pass colours it.
  EXPECT_EQ(TypeIntoPainted("<TABL BORDER=1>x", 5, "E"), "BDDDDDKRRRRRRBBB?");
  // An unknown tag word (8) and an unknown attribute name (16): the whole tag too.
  EXPECT_EQ(TypeIntoPainted("<TABLE BORDER=1>x", 6, "X"), "BMMMMMMKRRRRRRBBB?");
  EXPECT_EQ(TypeIntoPainted("<P ALIGN=center>x", 8, "X"), "BDKMMMMMMBBBBBBBB?");
  // Inside a quoted value (128): the tag, the value blue while its quote is closed.
  EXPECT_EQ(TypeIntoPainted("<A HREF=\"x.html\">x", 10, "y"), "BDKRRRRBBBBBBBBBBB?");
  EXPECT_EQ(TypeIntoPainted("<A HREF=\"x.html>x", 10, "y"), "BDKRRRRBMMMMMMMMB?");
  // A value that reads like an attribute name stays a value.
  EXPECT_EQ(TypeIntoPainted("<INPUT TYPE=TEX>", 15, "T"), "BDDDDDKRRRRBBBBBB");
  // Inside a comment (0): nothing around it; the typed character itself is green.
  EXPECT_EQ(TypeIntoPainted("<!-- ab -->", 6, "z"), "??????G?????");
  // Outside any tag (0): the word around the caret as text, references red.
  EXPECT_EQ(TypeIntoPainted("<P>a b&am c", 9, "p"), "?????KRRRR??");
}

TEST_F(GlyphpadTest, TypingIntoAttributeNamesAgreesWithSettingTheText) {
  // Every letter of each name typed into a tag that already has its other attributes; each
  // step is compared with a full pass.
  const char* names[] = {"ALIGN", "HREF", "TEXT", "CODEBASE", "HTTP-EQUIV", "ALX"};
  for (const char* name : names) {
    std::string before = "<INPUT TYPE=TEXT ", after = "=x VALUE='a b'>z";
    std::string typed;
    SetContent(before + after);
    Select(static_cast<LONG>(before.size()), static_cast<LONG>(before.size()));
    for (const char* p = name; *p; ++p) {
      Type(std::string(1, *p));
      typed += *p;
      std::string text = before + typed + after;
      std::string colours = Colours();
      EXPECT_EQ(colours, ColoursOf(text)) << text;
      SetContent(text);
      Select(static_cast<LONG>(before.size() + typed.size()),
             static_cast<LONG>(before.size() + typed.size()));
    }
  }
}

}  // namespace
