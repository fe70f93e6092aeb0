// The least page layout: where each element goes, as a host asks after laying a page out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html/block_class.h"
#include "html/elem_kinds.h"
#include "html/layout.h"
#include "html/parser.h"

namespace {

struct Laid {
  Document doc;
  LayoutState* state = nullptr;
};

// Lays page out on a page width pixels wide; lines "kind type component l,t,r,b".
std::vector<std::string> Layout(const std::string& page, LONG width = 640, Laid* keep = nullptr) {
  Laid local;
  Laid& laid = keep ? *keep : local;
  Parser parser;
  parser.SetDocument(&laid.doc);
  parser.Parse(page.data(), static_cast<int>(page.size()));
  parser.End();
  laid.state = laid.doc.GetLayoutState();
  LayoutContext context(laid.state, width);
  context.Run(&laid.doc);
  std::vector<std::string> lines;
  for (const LayoutState::Placed& p : laid.state->Items())
    lines.push_back(std::to_string(p.kind) + " " + std::to_string(p.type) + " " +
                    std::to_string(p.component) + " " + std::to_string(p.rect.left) + "," +
                    std::to_string(p.rect.top) + "," + std::to_string(p.rect.right) + "," +
                    std::to_string(p.rect.bottom));
  return lines;
}

TEST(Layout, WordsFlowAlongTheLineAndWrapAtThePageWidth) {
  // 8 pixels a character, a blank between words, 16 pixels a line.
  EXPECT_EQ(Layout("aa bbb cccc", 80),
            (std::vector<std::string>{"1 118 0 0,0,16,16", "1 118 0 24,0,48,16",
                                      "1 118 0 0,16,32,32"}));
  // A word wider than the page stands alone on its line.
  EXPECT_EQ(Layout("x yyyyyyyyyyyy z", 40),
            (std::vector<std::string>{"1 118 0 0,0,8,16", "1 118 0 0,16,96,32",
                                      "1 118 0 0,32,8,48"}));
}

TEST(Layout, BlocksAndLineBreaksStartNewLines) {
  EXPECT_EQ(Layout("a<B>b</B><P>c<BR>d<H1>e</H1>f<BR><BR>g"),
            (std::vector<std::string>{"1 118 0 0,0,8,16", "1 118 0 8,0,16,16",
                                      "1 118 0 0,16,8,32", "1 118 0 0,32,8,48",
                                      "1 118 0 0,48,8,64", "1 118 0 0,64,8,80",
                                      "1 118 0 0,96,8,112"}));
  // A rule takes a line of the page's width.
  EXPECT_EQ(Layout("a<HR SIZE=4>b", 100),
            (std::vector<std::string>{"1 118 0 0,0,8,16", "9 51 0 0,16,100,20",
                                      "1 118 0 0,20,8,36"}));
}

TEST(Layout, ComponentsGoToTheirPositionAndKeepTheirContent) {
  Laid laid;
  // POS given the wrong way round is normalised; the component's text is not flowed. Without
  // POS a component is an empty box at the origin, and takes the rest of the page with it.
  EXPECT_EQ(Layout("x<Q-PICTURE POS=110,70,10,20>inside</Q-PICTURE>y<Q-TEXT>z", 640, &laid),
            (std::vector<std::string>{"1 118 0 0,0,8,16", "17 119 7 10,20,110,70",
                                      "1 118 0 8,0,16,16", "17 119 6 0,0,0,0"}));
  const Elem* picture = laid.doc.firstChild->nextSibling;
  ASSERT_EQ(picture->kind, ElemKind::Component);
  const LayoutState::Placed* p = laid.state->Find(picture);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->elem, picture);
  EXPECT_EQ(laid.state->Find(picture->firstChild), nullptr);
  EXPECT_EQ(laid.state->Find(nullptr), nullptr);
}

TEST(Layout, TheContentOfScriptsStylesTitlesAndTheHeadIsNotPlaced) {
  EXPECT_EQ(Layout("<HEAD><TITLE>t t</TITLE><STYLE>p{}</STYLE></HEAD>"
                   "<SCRIPT>var x</SCRIPT>a<SCRIPT LANGUAGE=JavaScript>f(1)</SCRIPT>b"),
            (std::vector<std::string>{"1 118 0 0,0,8,16", "1 118 0 8,0,16,16"}));
  // An end tag without its start does not hide what follows it.
  EXPECT_EQ(Layout("</TITLE>a").size(), 1u);
}

TEST(Layout, ImagesAndFormControlsFlowWithTheirSize) {
  EXPECT_EQ(Layout("<IMG WIDTH=40 HEIGHT=30><IMG WIDTH=50%><INPUT TYPE=hidden>"
                   "<INPUT TYPE=checkbox><INPUT TYPE=submit><TEXTAREA COLS=10 ROWS=3></TEXTAREA>",
                   1000),
            (std::vector<std::string>{"5 56 0 0,0,40,30", "5 56 0 48,0,80,32",
                                      "7 57 0 88,0,104,16", "7 57 0 112,0,176,22",
                                      "7 104 0 184,0,264,54"}));
}

TEST(Layout, HugeSizesAndPositionsStopAtTheEdgeOfThePageSpace) {
  std::string page = "<Q-TEXT POS=-2000000000,0,2000000000,2147483647></Q-TEXT>";
  for (int i = 0; i < 2000; ++i) page += "<TEXTAREA ROWS=100000 COLS=100000></TEXTAREA><HR SIZE=99999>";
  std::vector<std::string> lines = Layout(page);
  ASSERT_EQ(lines.size(), 4001u);
  EXPECT_EQ(lines[0], "17 119 6 -2000000000,0,2000000000,2147483647");
  EXPECT_EQ(lines.back(), "9 51 0 0,2147483647,640,2147483647");
}

TEST(Layout, ASecondRunStartsAfresh) {
  Laid laid;
  std::vector<std::string> first = Layout("a b <Q-TEXT POS=1,2,3,4>", 640, &laid);
  LayoutContext again(laid.state, 640);
  again.Run(&laid.doc);
  EXPECT_EQ(laid.state->GetCount(), static_cast<int>(first.size()));
  EXPECT_EQ(laid.state->Height(), 16);
  again.Run(nullptr);
  EXPECT_EQ(laid.state->GetCount(), 0);
}

TEST(Layout, BlockClassesFollowTheTable) {
  using halyard::tagsmith::BlockClassOf;
  EXPECT_EQ(BlockClassOf(1), 33);
  EXPECT_EQ(BlockClassOf(3), 1);
  EXPECT_EQ(BlockClassOf(18), 2);
  EXPECT_EQ(BlockClassOf(101), 6);
  EXPECT_EQ(BlockClassOf(4), 7);
  EXPECT_EQ(BlockClassOf(112), 22);
  EXPECT_EQ(BlockClassOf(85), 23);
  EXPECT_EQ(BlockClassOf(31), 30);
  EXPECT_EQ(BlockClassOf(16), 31);
  for (int t : {0, 17, 56, 119, 131, -1, 255, 256, 100000}) EXPECT_EQ(BlockClassOf(t), 0) << t;
}

}  // namespace
