// Typing agrees with a full pass on the pages that once broke it or made it slow.
#include <chrono>

#include "glyphpad_fixture.h"
#include "syntaxedit/syntax_rich_edit.h"

namespace {

class TypingAgreesTest : public GlyphpadTest {
 protected:
  // The colour runs, cheaper to read than one character at a time on a large page.
  std::string Runs() {
    std::string out;
    edit.GetRichEdit()->ForEachColourRun([&](LONG a, LONG b, COLORREF c) {
      out += std::to_string(a) + "-" + std::to_string(b) + ":" + std::to_string(c) + " ";
    });
    return out;
  }
  std::string RunsOf(const std::string& text) {
    SetContent(text);
    return Runs();
  }
  // Types at the caret, then compares with a full pass of the same text.
  void TypeAndCompare(const std::string& text, LONG caret, const std::string& typed) {
    SetContent(text);
    Select(caret, caret);
    Type(typed);
    std::string result = Text();
    std::string typedColours = Colours();
    EXPECT_EQ(typedColours, ColoursOf(result)) << result;
  }
};

TEST_F(TypingAgreesTest, GreaterThanAfterAComponentOpenerWithoutItsOwnCloser) {
  TypeAndCompare("<q-x<B>y", 2, ">");
  TypeAndCompare("<q-x<B>y", 1, ">");
  TypeAndCompare("<!--x<B>y", 2, ">");
  TypeAndCompare("<q-x<B>y<P>z", 3, ">");
}

TEST_F(TypingAgreesTest, AKeystrokeNearTheStartOfThousandsOfCommentsStaysCheap) {
  std::string page;
  for (int i = 0; i < 8000; ++i) page += "<!--x-->";
  for (const std::string& typed : {std::string("a"), std::string(">"), std::string("<")}) {
    SetContent(page);
    Select(8, 8);
    auto start = std::chrono::steady_clock::now();
    Type(typed);
    auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
    // Generous for sanitizer builds; the unmended control took seconds here.
    EXPECT_LT(ms.count(), 100.0) << typed;
    std::string runs = Runs();
    EXPECT_EQ(runs, RunsOf(Text())) << typed;
  }
  std::string comps;
  for (int i = 0; i < 8000; ++i) comps += "<q-x>";
  SetContent(comps);
  Select(5, 5);
  auto start = std::chrono::steady_clock::now();
  Type("b");
  auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start);
  EXPECT_LT(ms.count(), 100.0);
  std::string runs = Runs();
  EXPECT_EQ(runs, RunsOf(Text()));
}

TEST_F(TypingAgreesTest, ClosingARunOnCommentClearsTheGreenAfterIt) {
  TypeAndCompare("<!--a<B>x</B><!--c-->d<B>e", 4, ">");
  TypeAndCompare("<!--a<q-c>d<B>e", 3, "->");
  TypeAndCompare("<!--a<B>x</B><!--c-->d", 5, "<");
}

TEST_F(TypingAgreesTest, ACharacterTypedAfterAHiddenFieldInACommentTakesTheCommentsColour) {
  edit.AddHiddenField("a", "b", 4, 19);
  TypeAndCompare("<!--[[Hidden Text]]-->", 19, "x");
  EXPECT_EQ(Colours()[19], 'G');
  CHARRANGE all{0, 100};
  edit.RemoveHiddenFields(all);
  edit.AddHiddenField("c", "d", 3, 18);
  TypeAndCompare("<q-[[Hidden Text]]>", 18, "x");
  EXPECT_EQ(Colours()[18], 'S');
}

}  // namespace
