#include "html/checker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "html/check_rules.h"
#include "html/elem_kinds.h"
#include "html/log.h"
#include "html/parser.h"
#include "html/tree_text.h"
#include "platform/kernel/testing/scratch_dir.h"

namespace {

struct Checked {
  std::string trace;  // the checker's trace lines, one a line
  std::string page;   // the repaired page
  LONG corrections = 0;
};

void Tokenize(const std::string& html, Document& doc) {
  Parser p;
  p.SetDocument(&doc);
  p.Parse(html.data(), static_cast<int>(html.size()));
  p.End();
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) {
    out += l;
    if (l.empty() || l.back() != '\n') out += '\n';
  }
  return out;
}

Checked Check(const std::string& html, const std::function<void(Checker&)>& setup = nullptr) {
  Document doc;
  Tokenize(html, doc);
  Checker checker;
  if (setup) setup(checker);
  checker.AddCheckHandler();
  std::vector<std::string> lines;
  checker.SetTraceSink(&lines);
  EXPECT_EQ(checker.CheckHtml(&doc), nullptr);
  EXPECT_EQ(checker.GetOpenContainerCount(), 0u);
  Checked r;
  r.trace = Joined(lines);
  halyard::tagsmith::WriteHtml(&doc, r.page);
  r.corrections = checker.GetCorrectionCount();
  return r;
}

// A page inside a ready frame, so that only the body's own errors show.
std::string Body(const std::string& inner) { return "<HTML><BODY>" + inner + "</BODY></HTML>"; }

// Checking a repaired page again changes nothing.
void ExpectSettled(const std::string& page) {
  Checked again = Check(page);
  EXPECT_EQ(again.trace, "") << page;
  EXPECT_EQ(again.page, page);
}

TEST(CheckRules, TablesHoldTheListedClasses) {
  using namespace halyard::tagsmith;
  EXPECT_TRUE(IsEmptyType(Token::BR));
  EXPECT_TRUE(IsEmptyType(Token::TEXT));
  EXPECT_FALSE(IsEmptyType(Token::UNKNOWN));
  EXPECT_TRUE(HasOmissibleEnd(Token::LI));
  EXPECT_FALSE(HasOmissibleEnd(Token::UL));
  EXPECT_TRUE(IsSelfClosingRepeat(Token::TR));
  EXPECT_FALSE(IsSelfClosingRepeat(Token::DD));
  EXPECT_TRUE(InHeadSet(0));
  EXPECT_TRUE(InHeadSet(Token::COMPONENT));
  EXPECT_FALSE(InHeadSet(Token::TEXT));
  EXPECT_TRUE(InListItemSet(Token::H3));
  EXPECT_FALSE(InFontSet(Token::B));
}

TEST(CheckRules, ContentRulesGiveTheErrorOfTheirRow) {
  using halyard::tagsmith::ContentRule;
  EXPECT_EQ(ContentRule(Token::A, Token::A), 10);
  EXPECT_EQ(ContentRule(Token::A, Token::B), 1);
  EXPECT_EQ(ContentRule(Token::ADDRESS, Token::P), 1);
  EXPECT_EQ(ContentRule(Token::ADDRESS, Token::DIV), 3);
  EXPECT_EQ(ContentRule(Token::OBJECT, Token::PARAM), 1);
  EXPECT_EQ(ContentRule(Token::BODY, Token::TD), 7);
  EXPECT_EQ(ContentRule(Token::LI, Token::H1), 8);
  EXPECT_EQ(ContentRule(Token::UL, Token::LI), 1);
  EXPECT_EQ(ContentRule(Token::UL, Token::TEXT), 17);
  EXPECT_EQ(ContentRule(Token::DL, Token::TEXT), 9);
  EXPECT_EQ(ContentRule(Token::FONT, Token::TABLE), 3);
  EXPECT_EQ(ContentRule(Token::FORM, Token::FORM), 11);
  EXPECT_EQ(ContentRule(Token::FRAMESET, Token::FRAME), 1);
  EXPECT_EQ(ContentRule(Token::HEAD, Token::TEXT), 6);
  EXPECT_EQ(ContentRule(Token::HTML, Token::P), 5);
  EXPECT_EQ(ContentRule(Token::MAP, Token::TEXT), 20);
  EXPECT_EQ(ContentRule(Token::NOFRAMES, Token::BODY), 1);
  EXPECT_EQ(ContentRule(Token::SCRIPT, Token::B), 2);
  EXPECT_EQ(ContentRule(Token::PRE, Token::FONT), 3);
  EXPECT_EQ(ContentRule(Token::PRE, Token::LFCHAR), 1);
  EXPECT_EQ(ContentRule(Token::SELECT, Token::TEXT), 16);
  EXPECT_EQ(ContentRule(Token::TABLE, Token::TD), 18);
  EXPECT_EQ(ContentRule(Token::TABLE, Token::TBODY), 1);
  EXPECT_EQ(ContentRule(Token::TITLE, Token::B), 2);
  EXPECT_EQ(ContentRule(Token::TR, Token::TEXT), 19);
  EXPECT_EQ(ContentRule(Token::B, Token::P), 3);
  EXPECT_EQ(ContentRule(Token::B, Token::COMMENT), 1);
  EXPECT_EQ(ContentRule(Token::UNKNOWN, Token::BODY), 1);
  EXPECT_EQ(ContentRule(Token::COMPONENT, Token::TD), 1);
  EXPECT_EQ(ContentRule(Token::BR, Token::TEXT), 21);
}

TEST(CheckerWalk, WellFormedPageIsLeftAsItIs) {
  const std::string page =
      "<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY><P>a <B>b</B></P>"
      "<TABLE><TR><TD>x</TD></TR></TABLE><UL><LI>i</LI></UL></BODY></HTML>";
  Checked r = Check(page);
  EXPECT_EQ(r.trace, "");
  EXPECT_EQ(r.page, page);
  EXPECT_EQ(r.corrections, 0);
}

TEST(CheckerWalk, PlainTextGetsItsFrame) {
  Checked r = Check("hello world");
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 4 Contain type 118 must be within HTML tag\n"
            "Correction : Add Start Tag type 52\n"
            "CheckHtml : Error 5 HTML Tag type 52 Can't Contain type 118\n"
            "Correction : Add Start Tag type 17\n");
  EXPECT_EQ(r.page, "<HTML><BODY>hello world</BODY></HTML>");
  EXPECT_EQ(r.corrections, 2);
  ExpectSettled(r.page);
}

TEST(CheckerWalk, RepeatedParagraphEndsThePreviousWithoutAnError) {
  Checked r = Check(Body("<P>a<P>b"));
  EXPECT_EQ(r.trace, "");
  EXPECT_EQ(r.page, Body("<P>a</P><P>b</P>"));
}

TEST(CheckerWalk, EndTagClosesTheContainersAboveItsMatch) {
  Checked r = Check(Body("<DIV><B><I>x</DIV>"));
  EXPECT_EQ(r.trace, "");
  EXPECT_EQ(r.page, Body("<DIV><B><I>x</I></B></DIV>"));
}

TEST(CheckerWalk, CloseImpliedClosesOmissibleContainersFirst) {
  Checked off = Check(Body("<DL><DT>a<DD>b</DL>"));
  EXPECT_NE(off.trace, "");
  Checked on = Check(Body("<DL><DT>a<DD>b</DL>"), [](Checker& c) { c.closeImplied = 1; });
  EXPECT_EQ(on.trace, "");
  EXPECT_EQ(on.page, Body("<DL><DT>a</DT><DD>b</DD></DL>"));
}

TEST(CheckerWalk, ComponentHoldingItsContentIsCheckedInside) {
  // The component gathers its content as children; a paragraph left open inside it is closed
  // before the component's own end tag.
  Checked r = Check(Body("<Q-TEXT POS=1,2,3,4><P>x</Q-TEXT>y"));
  EXPECT_EQ(r.trace, "");
  EXPECT_EQ(r.page, Body("<Q-TEXT POS=\"1,2,3,4\"><P>x</P></Q-TEXT>y"));
}

TEST(CheckerWalk, UnclosedComponentGetsItsEndAsLastChild) {
  Document doc;
  Tokenize("<HTML><BODY><Q-TEXT POS=1,2,3,4>x", doc);
  Checker checker;
  checker.AddCheckHandler();
  checker.CheckHtml(&doc);
  std::string page;
  halyard::tagsmith::WriteHtml(&doc, page);
  EXPECT_EQ(page, "<HTML><BODY><Q-TEXT POS=\"1,2,3,4\">x</Q-TEXT></BODY></HTML>");
  EXPECT_EQ(checker.GetClosedAtEndCount(), 1);
}

TEST(CheckerWalk, WithoutHandlersTheWalkStillEnds) {
  Document doc;
  Tokenize("a <B>b</I> c", doc);
  Checker checker;
  EXPECT_EQ(checker.HandleCheckError(doc.firstChild, CheckHtml::kDelete), nullptr);
  EXPECT_EQ(checker.CheckHtml(&doc), nullptr);
  EXPECT_GT(checker.GetCorrectionCount(), 0);
}

TEST(CheckerErrors, Error2RemovesFromTextOnlyContainersOrMovesBehind) {
  const std::string page = "<HTML><HEAD><TITLE>a<B>b</TITLE></HEAD><BODY></BODY></HTML>";
  Checked r = Check(page);
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 2 PCData Container type 108 Can't Contain type 8\n"
            "Correction : Remove \n");
  EXPECT_EQ(r.page, "<HTML><HEAD><TITLE>ab</TITLE></HEAD><BODY></BODY></HTML>");
  Checked moved = Check(page, [](Checker& c) { c.removeIllegal = 0; });
  EXPECT_EQ(moved.trace.substr(moved.trace.find('\n') + 1),
            "Correction : Move Illegal Html to After type 108\n"
            "CheckHtml : Error 6 HEAD Container type 50 Can't Contain type 8\n"
            "Correction : Move after out of head type 50\n"
            "CheckHtml : Error 5 HTML Tag type 52 Can't Contain type 8\n"
            "Correction : Move after into Body type 17\n");
  ExpectSettled(moved.page);
}

TEST(CheckerErrors, Error2WithoutTheContainersEndAddsIt) {
  Checked r = Check("<HTML><HEAD><TITLE>a<B>b</HEAD></HTML>");
  EXPECT_EQ(r.trace.substr(0, r.trace.find('\n', r.trace.find('\n') + 1) + 1),
            "CheckHtml : Error 2 PCData Container type 108 Can't Contain type 8\n"
            "Correction : Add End Tag type 108\n");
}

TEST(CheckerErrors, Error3EndsAndResumesTheInlineContainer) {
  Checked r = Check(Body("<B><P>x</P></B>"));
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 3 InLine Container type 8 Can't Contain type 82\n"
            "Correction : end type 82 here and resume after type 8 ends\n");
  EXPECT_EQ(r.page, Body("<B></B><P><B>x</B></P><B></B>"));
  ExpectSettled(r.page);
}

TEST(CheckerErrors, Error3ResumedFontKeepsItsFont) {
  Checked r = Check(Body("<FONT SIZE=2><BLOCKQUOTE>x</BLOCKQUOTE></FONT>"));
  EXPECT_EQ(r.page,
            Body("<FONT SIZE=\"2\"></FONT><BLOCKQUOTE><FONT SIZE=\"2\">x</FONT></BLOCKQUOTE>"
                 "<FONT SIZE=\"2\"></FONT>"));
}

TEST(CheckerErrors, Error3IsNotResumedWhereTheElementMayNotHoldIt) {
  Checked r = Check(Body("<B>a<UL><LI>i</LI></UL>b</B>"));
  EXPECT_EQ(r.page, Body("<B>a</B><UL><LI>i</LI></UL><B>b</B>"));
  ExpectSettled(r.page);
}

TEST(CheckerErrors, Error3SwitchesPickTheRepair) {
  auto behind = Check(Body("<B>a<P>x</P>b</B>"), [](Checker& c) {
    c.endAndResume = 0;
    c.moveIllegalAfter = 1;
  });
  EXPECT_NE(behind.trace.find("Correction : Move Illegal Html to After type 8\n"),
            std::string::npos);
  EXPECT_EQ(behind.page, Body("<B>ab</B><P>x</P>"));
  auto endBefore = Check(Body("<B>a<P>x</P>b</B>"), [](Checker& c) { c.endAndResume = 0; });
  EXPECT_NE(endBefore.trace.find("Correction : Move to Before type 8\n"), std::string::npos);
  EXPECT_EQ(endBefore.page, Body("<B>a</B><P>x</P>b"));
}

TEST(CheckerErrors, Error4DeletesAPrematureHtmlEndTag) {
  Checked r = Check("<HTML><BODY>a</BODY></HTML>b");
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 4 Contain type 118 must be within HTML tag\n"
            "Correction : delete first Html end tag type 52\n"
            "CheckHtml : Error 5 HTML Tag type 52 Can't Contain type 118\n"
            "Correction : Move before into Body type 17\n");
  EXPECT_EQ(r.page, "<HTML><BODY>ab</BODY></HTML>");
  ExpectSettled(r.page);
}

TEST(CheckerErrors, Error4MovesWhatStandsBeforeTheHtmlIntoIt) {
  Checked r = Check("a<HTML><BODY>b</BODY></HTML>");
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 4 Contain type 118 must be within HTML tag\n"
            "Correction : Move after into Html type 52\n"
            "CheckHtml : Error 5 HTML Tag type 52 Can't Contain type 118\n"
            "Correction : Move after into Body type 17\n");
  EXPECT_EQ(r.page, "<HTML><BODY>ab</BODY></HTML>");
}

TEST(CheckerErrors, Error5MovesHeadContentIntoTheHead) {
  Checked r = Check("<HTML><TITLE>t</TITLE><HEAD></HEAD><BODY></BODY></HTML>");
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 5 HTML Tag type 52 Can't Contain type 108\n"
            "Correction : Move after into head type 50\n");
  EXPECT_EQ(r.page, "<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY></BODY></HTML>");
}

TEST(CheckerErrors, Error5AddsABodyOrAHeadOrDeletes) {
  Checked body = Check("<HTML><HEAD></HEAD><P>x</P></HTML>");
  EXPECT_EQ(body.trace,
            "CheckHtml : Error 5 HTML Tag type 52 Can't Contain type 82\n"
            "Correction : Add Start Tag type 17\n");
  EXPECT_EQ(body.page, "<HTML><HEAD></HEAD><BODY><P>x</P></BODY></HTML>");
  Checked head = Check("<HTML><META NAME=a><BODY></BODY></HTML>");
  EXPECT_EQ(head.trace,
            "CheckHtml : Error 5 HTML Tag type 52 Can't Contain type 70\n"
            "Correction : Add Start Tag type 50\n"
            "CheckHtml : Error 6 HEAD Container type 50 Can't Contain type 17\n"
            "Correction : Add End Tag type 50\n");
  EXPECT_EQ(head.page, "<HTML><HEAD><META NAME=\"a\"></HEAD><BODY></BODY></HTML>");
  Checked gone = Check("<HTML><TD></HTML>");
  EXPECT_NE(gone.trace.find("Correction : Delete Tag type 103\n"), std::string::npos);
}

TEST(CheckerErrors, Error5DeletesAPrematureBodyEndTag) {
  Checked r = Check("<HTML><BODY>a</BODY>b</BODY></HTML>");
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 5 HTML Tag type 52 Can't Contain type 118\n"
            "Correction : delete first Body end tag type 17\n");
  EXPECT_EQ(r.page, "<HTML><BODY>ab</BODY></HTML>");
}

TEST(CheckerErrors, Error6MovesBodyContentOutOfTheHead) {
  Checked r = Check("<HTML><HEAD>x</HEAD><BODY></BODY></HTML>");
  EXPECT_EQ(r.trace.substr(0, r.trace.find('\n', r.trace.find('\n') + 1) + 1),
            "CheckHtml : Error 6 HEAD Container type 50 Can't Contain type 118\n"
            "Correction : Move after out of head type 50\n");
  EXPECT_EQ(r.page, "<HTML><HEAD></HEAD><BODY>x</BODY></HTML>");
  Checked open = Check("<HTML><HEAD><TITLE>t</TITLE><BODY>x</BODY></HTML>");
  EXPECT_EQ(open.trace,
            "CheckHtml : Error 6 HEAD Container type 50 Can't Contain type 17\n"
            "Correction : Add End Tag type 50\n");
}

TEST(CheckerErrors, Error7RepairsWhatBodyContentMayNotHold) {
  Checked cell = Check(Body("a<TD>b"));
  EXPECT_EQ(cell.trace,
            "CheckHtml : Error 7 BODY Content Container type 17 Can't Contain type 103\n"
            "Correction : Delete Tag type 103\n");
  EXPECT_EQ(cell.page, Body("ab"));
  Checked item = Check(Body("<LI>a"));
  EXPECT_EQ(item.trace,
            "CheckHtml : Error 7 BODY Content Container type 17 Can't Contain type 65\n"
            "Correction : Delete type 65\n");
  Checked row = Check(Body("<TABLE><TR><TD>a<TR><TD>b</TD></TR></TABLE>"));
  EXPECT_EQ(row.trace,
            "CheckHtml : Error 7 BODY Content Container type 103 Can't Contain type 109\n"
            "Correction : Add End Tag type 103 and \n");
  EXPECT_EQ(row.page, Body("<TABLE><TR><TD>a</TD></TR><TR><TD>b</TD></TR></TABLE>"));
  Checked title = Check("<HTML><HEAD></HEAD><BODY>a<TITLE>t</TITLE></BODY></HTML>");
  EXPECT_NE(title.trace.find("Correction : Move to before Body 108\n"), std::string::npos);
  EXPECT_EQ(title.page, "<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY>a</BODY></HTML>");
  ExpectSettled(title.page);
}

TEST(CheckerErrors, Error8EndsTheItemBeforeABlock) {
  Checked r = Check(Body("<UL><LI>a<H2>x</H2></LI></UL>"));
  EXPECT_EQ(r.trace.substr(0, r.trace.find('\n', r.trace.find('\n') + 1) + 1),
            "CheckHtml : Error 8 Flow Container type 65 Can't Contain type 45\n"
            "Correction : Move to Before type 65\n");
  Checked add = Check(Body("<UL><LI>a<H2>x</H2></UL>"));
  EXPECT_EQ(add.trace.substr(0, add.trace.find('\n', add.trace.find('\n') + 1) + 1),
            "CheckHtml : Error 8 Flow Container type 65 Can't Contain type 45\n"
            "Correction : Add End Tag type 65\n");
  ExpectSettled(add.page);
}

TEST(CheckerErrors, Error9WrapsOrMovesDefinitionListContent) {
  Checked dd = Check(Body("<DL><DT>a</DT>x</DL>"));
  EXPECT_EQ(dd.trace,
            "CheckHtml : Error 9 DL type 33 Can't Contain type 118\n"
            "Correction : Add DD \n");
  EXPECT_EQ(dd.page, Body("<DL><DT>a</DT><DD>x</DD></DL>"));
  Checked before = Check(Body("<DL>x<DT>a</DT></DL>"));
  EXPECT_EQ(before.trace,
            "CheckHtml : Error 9 DL type 33 Can't Contain type 118\n"
            "Correction : Move before DL\n");
  EXPECT_EQ(before.page, Body("x<DL><DT>a</DT></DL>"));
  Checked td = Check(Body("<DL><TD>a</TD></DL>"));
  EXPECT_NE(td.trace.find("Correction :Change TD to DT tag\n"), std::string::npos);
  EXPECT_EQ(td.page, Body("<DL><DT>a</DT></DL>"));
  Checked add = Check(Body("<DL>x</DD></DL>"));
  EXPECT_EQ(add.trace.substr(0, add.trace.find('\n', add.trace.find('\n') + 1) + 1),
            "CheckHtml : Error 9 DL type 33 Can't Contain type 118\n"
            "Correction : Add DD tag\n");
  EXPECT_EQ(add.page, Body("<DL><DD>x</DD></DL>"));
}

TEST(CheckerErrors, Error10ClosesTheFirstAnchor) {
  Checked r = Check(Body("<A HREF=x>a<A HREF=y>b</A>"));
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 10 A anchor type 1 Can't Contain type 1\n"
            "Correction : Delete type 1\n");
  EXPECT_EQ(r.page, Body("<A HREF=\"x\">a</A><A HREF=\"y\">b</A>"));
  Checked open = Check(Body("<A HREF=x><B>a<A HREF=y>b"));
  EXPECT_EQ(open.trace,
            "CheckHtml : Error 10 A anchor type 8 Can't Contain type 1\n"
            "Correction : Parent != container\n");
  EXPECT_EQ(open.page, Body("<A HREF=\"x\"><B>a</B></A><A HREF=\"y\">b</A>"));
  Checked block = Check(Body("<A HREF=x>a<DIV>b</DIV></A>"));
  EXPECT_EQ(block.trace,
            "CheckHtml : Error 10 A anchor type 1 Can't Contain type 32\n"
            "Correction : Delete type 1\n");
  ExpectSettled(block.page);
}

TEST(CheckerErrors, Error10InANestedTreeMovesOutBehindTheAnchor) {
  // A host may hand over a tree in which the anchor holds its content and its end tag.
  Document doc;
  Tokenize("<HTML><BODY></BODY></HTML>", doc);
  Elem* body = doc.firstChild->nextSibling;
  Elem* anchor = CreateElem(Token::A, "A", 1, false);
  doc.InsertAfter(body, anchor);
  anchor->Append(new TextElem("a", 1, 0));
  anchor->Append(CreateElem(Token::DIV, "DIV", 3, false));
  anchor->Append(new TextElem("b", 1, 0));
  anchor->Append(CreateElem(Token::DIV, "DIV", 3, true));
  anchor->Append(CreateElem(Token::A, "A", 1, true));
  Checker checker;
  checker.AddCheckHandler();
  std::vector<std::string> lines;
  checker.SetTraceSink(&lines);
  checker.CheckHtml(&doc);
  EXPECT_EQ(Joined(lines),
            "CheckHtml : Error 10 A anchor type 1 Can't Contain type 32\n"
            "Correction : Move after Anchor\n");
  std::string page;
  halyard::tagsmith::WriteHtml(&doc, page);
  EXPECT_EQ(page, "<HTML><BODY><A>a</A><DIV>b</DIV></BODY></HTML>");
}

TEST(CheckerErrors, Error11EndsAFormBeforeAnother) {
  Checked r = Check(Body("<FORM>a<FORM>b</FORM>"));
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 11 Form type 41 Can't Contain type 41\n"
            "Correction : Form in form, add end form tag\n");
  EXPECT_EQ(r.page, Body("<FORM>a</FORM><FORM>b</FORM>"));
  Checked cell = Check(Body("<FORM>a<TD>b</FORM>"));
  EXPECT_EQ(cell.trace.substr(0, cell.trace.find('\n', cell.trace.find('\n') + 1) + 1),
            "CheckHtml : Error 11 Form type 41 Can't Contain type 103\n"
            "Correction : Move Illegal Html to After type 41\n");
}

TEST(CheckerErrors, Error14OnlyWhenTheCallerSetsTheParagraphFlag) {
  Checked r = Check(Body("<P>a"), [](Checker& c) { c.paragraphOpen = 1; });
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 14 P type 17 Can't Contain type 82\n"
            "Correction : P in P , add end P tag\n"
            "CheckHtml : Error 22 Delete Tag type 82\n"
            "Correction : Delete.\n");
  EXPECT_EQ(r.page, Body("<P>a</P>"));
}

TEST(CheckerErrors, Error15EndsThePreformattedText) {
  Checked r = Check(Body("<PRE>a<IMG SRC=i></PRE>"));
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 15 PRE type 85 Can't Contain type 56\n"
            "Correction : Add end PRE tag\n"
            "CheckHtml : Error 22 Delete Tag type 85\n"
            "Correction : Delete.\n");
  EXPECT_EQ(r.page, Body("<PRE>a</PRE><IMG SRC=\"i\">"));
}

TEST(CheckerErrors, Error16WrapsSelectTextInAnOption) {
  Checked r = Check(Body("<SELECT>a</SELECT>"));
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 16 SELECT type 91 Can't Contain type 118\n"
            "Correction : Add OPTION start tag\n");
  EXPECT_EQ(r.page, Body("<SELECT><OPTION>a</OPTION></SELECT>"));
  Checked last = Check(Body("<SELECT><OPTION>a</OPTION>b</SELECT>"));
  EXPECT_EQ(last.trace,
            "CheckHtml : Error 16 SELECT type 91 Can't Contain type 118\n"
            "Correction : Move last OPTION end tag to contain type 118\n");
  EXPECT_EQ(last.page, Body("<SELECT><OPTION>ab</OPTION></SELECT>"));
  Checked off = Check(Body("<SELECT>a</SELECT>"), [](Checker& c) { c.addOption = 0; });
  EXPECT_NE(off.trace.find("Correction : Move to Before type 91\n"), std::string::npos);
}

TEST(CheckerErrors, Error17ListTextWithAndWithoutItemWrapping) {
  Checked r = Check(Body("<UL>text</UL>"));
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 17 List can only have LI items, type 112 Can't Contain type 118\n"
            "Correction : Move to Before type 112\n");
  EXPECT_EQ(r.page, Body("<UL></UL>text"));
  Checked wrap = Check(Body("<OL>text</OL>"), [](Checker& c) { c.addListItem = 1; });
  EXPECT_EQ(wrap.trace,
            "CheckHtml : Error 17 List can only have LI items, type 112 Can't Contain type 118\n"
            "Correction : Add LI start tag\n");
  EXPECT_EQ(wrap.page, Body("<OL><LI>text</LI></OL>"));
  Checked flow = Check(Body("<UL><TD>a</UL>"));
  EXPECT_NE(flow.trace.find("Correction : Move after Tag type 112\n"), std::string::npos);
  Checked stray = Check(Body("<UL><LI>a</LI>b</UL>"));
  EXPECT_EQ(stray.trace,
            "CheckHtml : Error 17 List can only have LI items, type 112 Can't Contain type 118\n"
            "Correction : Move last LI end tag to contain type 118\n");
  EXPECT_EQ(stray.page, Body("<UL><LI>ab</LI></UL>"));
}

TEST(CheckerErrors, Error18PutsACellIntoARow) {
  Checked r = Check(Body("<TABLE><TD>x</TABLE>"));
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 18 TABLE type 101 Can't Contain type 103\n"
            "Correction : Add TR start tag before TD type 103\n");
  EXPECT_EQ(r.page, Body("<TABLE><TR><TD>x</TD></TR></TABLE>"));
  Checked rows =
      Check(Body("<TABLE><TR><TD>a</TD></TR>x</TABLE>"), [](Checker& c) { c.addRowOrCell = 1; });
  EXPECT_EQ(rows.trace.substr(0, rows.trace.find('\n', rows.trace.find('\n') + 1) + 1),
            "CheckHtml : Error 18 TABLE type 101 Can't Contain type 118\n"
            "Correction : Move previous TR end tag after type 118\n");
  ExpectSettled(rows.page);
}

TEST(CheckerErrors, Error19TextInARowDoesNotChaseTheRowsEndTag) {
  Checked r = Check(Body("<TABLE><TR>text<TD>x</TD></TR></TABLE>"));
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 19 TR type 109 Can't Contain type 118\n"
            "Correction : Add TD start tag before type 118\n");
  EXPECT_EQ(r.page, Body("<TABLE><TR><TD>text</TD><TD>x</TD></TR></TABLE>"));
  Checked last = Check(Body("<TABLE><TR><TD>x</TD>y</TR></TABLE>"));
  EXPECT_EQ(last.trace,
            "CheckHtml : Error 19 TR type 109 Can't Contain type 118\n"
            "Correction : Move last TD end tag after type 118\n");
  EXPECT_EQ(last.page, Body("<TABLE><TR><TD>xy</TD></TR></TABLE>"));
  Checked behind = Check(Body("<TABLE><TR>t<TD>x</TD></TR></TABLE>"),
                         [](Checker& c) { c.moveIllegalAfter = 1; });
  EXPECT_NE(behind.trace.find("Correction : Move Illegal Html to After type 109\n"),
            std::string::npos);
  EXPECT_LT(behind.corrections, 10);
}

TEST(CheckerErrors, Error20MovesMapContentBehindTheMap) {
  Checked r = Check(Body("<MAP><AREA HREF=a>x<AREA HREF=b></MAP>"));
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 20 MAP type 67 Can't Contain type 118\n"
            "Correction : Move Illegal Html to After type 67\n");
  EXPECT_EQ(r.page, Body("<MAP><AREA HREF=\"a\"><AREA HREF=\"b\"></MAP>x"));
}

TEST(CheckerErrors, Error21AndUnhandledNumbersGoToTheLastHandler) {
  Document doc;
  Tokenize("<HTML>", doc);
  Checker checker;
  checker.AddCheckHandler();
  std::vector<std::string> lines;
  checker.SetTraceSink(&lines);
  EXPECT_EQ(checker.HandleCheckError(doc.firstChild, CheckHtml::kEmpty), nullptr);
  EXPECT_EQ(checker.HandleCheckError(doc.firstChild, static_cast<CheckHtml::Error>(12)), nullptr);
  EXPECT_EQ(Joined(lines),
            "CheckHtml : Error 21 EMPTY Can't Contain type 52\n"
            "CheckHtml : NO HANDLER for error 21, token type 52\n"
            "CheckHtml : NO HANDLER for error 12, token type 52\n");
}

TEST(CheckerErrors, Error22DeletesAStrayEndTag) {
  Checked r = Check(Body("a</B>b"));
  EXPECT_EQ(r.trace,
            "CheckHtml : Error 22 Delete Tag type 8\n"
            "Correction : Delete.\n");
  EXPECT_EQ(r.page, Body("ab"));
  Checked twice = Check("<HTML><BODY></BODY></HTML><HTML>");
  EXPECT_EQ(twice.trace,
            "CheckHtml : Error 22 Delete Tag type 52\n"
            "Correction : Delete.\n");
}

TEST(CheckerLimit, The4097thCorrectionThrowsAndANewCheckerStartsAtZero) {
  std::string strays;
  for (int i = 0; i < 3000; ++i) strays += "</B>";
  Checker checker;
  checker.AddCheckHandler();
  {
    Document doc;
    Tokenize(Body(strays), doc);
    EXPECT_EQ(checker.CheckHtml(&doc), nullptr);
    EXPECT_EQ(checker.GetCorrectionCount(), 3000);
  }
  {
    Document doc;
    Tokenize(Body(strays), doc);
    int thrown = 0;
    try {
      checker.CheckHtml(&doc);
    } catch (int v) {
      thrown = v;
    }
    EXPECT_EQ(thrown, -1);
    EXPECT_EQ(checker.GetCorrectionCount(), 4097);
    EXPECT_EQ(checker.GetOpenContainerCount(), 0u);
  }
  Checker fresh;
  fresh.AddCheckHandler();
  Document doc;
  Tokenize(Body(strays), doc);
  EXPECT_NO_THROW(fresh.CheckHtml(&doc));
  EXPECT_EQ(fresh.GetCorrectionCount(), 3000);
}

TEST(CheckerState, PopAndCleanUpEmptyTheStackButKeepFlagsAndCount) {
  Document doc;
  Tokenize("<HTML><BODY><FORM>x", doc);
  Checker checker;
  checker.AddCheckHandler();
  checker.CheckHtml(&doc);
  EXPECT_EQ(checker.PopContainer(), nullptr);
  EXPECT_EQ(checker.htmlSeen, 1u);
  checker.CleanUp();
  EXPECT_EQ(checker.htmlSeen, 1u);
}

class CheckerTrace : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = std::make_unique<halyard::testing::ScratchDir>("tagsmith_check_trace");
    dir_ = scratch_->path();
    setenv("HALYARD_DRIVE_C", dir_.c_str(), 1);
    mkdir((dir_ + "/temp").c_str(), 0700);
  }
  void TearDown() override {
    halyard::tagsmith::CloseLog();
    unsetenv("HALYARD_DRIVE_C");
    scratch_.reset();
  }
  std::unique_ptr<halyard::testing::ScratchDir> scratch_;
  std::string dir_;
};

TEST_F(CheckerTrace, LinesGoToTheTraceFileWordForWord) {
  ASSERT_TRUE(halyard::tagsmith::OpenLog("c:\\temp\\html_log.txt"));
  Document doc;
  Tokenize(Body("<TITLE>x<B>y</TITLE>"), doc);
  halyard::tagsmith::CloseLog();
  ASSERT_TRUE(halyard::tagsmith::OpenLog("c:\\temp\\html_log.txt"));
  Checker checker;
  checker.AddCheckHandler();
  checker.CheckHtml(&doc);
  halyard::tagsmith::CloseLog();
  std::ifstream in(dir_ + "/temp/html_log.txt", std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string log = ss.str();
  EXPECT_NE(log.find("[line 0] CheckHtml : Error 7 BODY Content Container type 17 Can't Contain "
                     "type 108[line 0] Correction : Move to before Body 108\r\n"),
            std::string::npos)
      << log;
}

TEST(CheckerWriter, TextAndValuesReadBackTheSame) {
  Checked r = Check(Body("a&lt;b&amp;c <A HREF='a?b=1&amp;c=2'>l</A>"));
  EXPECT_EQ(r.page, Body("a&lt;b&amp;c <A HREF=\"a?b=1&amp;c=2\">l</A>"));
  ExpectSettled(r.page);
  Checked quoted = Check(Body("<A TITLE='say \"hi\"'>l</A>"));
  EXPECT_EQ(quoted.page, Body("<A TITLE=\"say &quot;hi&quot;\">l</A>"));
}

TEST(CheckerWriter, ScriptAndPreformattedTextAreWrittenAsTheyStand) {
  Checked r = Check(Body("<SCRIPT>if (a<b && c) x();</SCRIPT><PRE>a\tb\nc</PRE>"));
  EXPECT_EQ(r.page, Body("<SCRIPT>if (a<b && c) x();</SCRIPT><PRE>a\tb\nc</PRE>"));
}

TEST(CheckerWriter, PageWrittenInPiecesIsThePageWrittenWhole) {
  std::ifstream in(std::string(HALYARD_SOURCE_DIR) + "/html/tests/data/sample.html",
                   std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::string html;
  while (html.size() < 300000) html += ss.str();  // several drains' worth
  Document doc;
  Parser p;
  p.SetDocument(&doc);
  p.Parse(html.data(), static_cast<int>(html.size()));
  p.End();
  std::string whole, pieces, buf;
  halyard::tagsmith::WriteHtml(&doc, whole);
  int drains = 0;
  halyard::tagsmith::WriteHtml(&doc, buf, [&](std::string& s) {
    ++drains;
    pieces += s;
    s.clear();
  });
  pieces += buf;
  EXPECT_GE(drains, 4);
  EXPECT_EQ(pieces, whole);
  // Writing built no attribute maps: the attributes are still packed.
  std::vector<Elem::AttrRef> attrs;
  for (Elem* e = doc.firstChild; e; e = e->nextSibling)
    ASSERT_TRUE(e->PackedAttributesInMapOrder(attrs));
}

TEST(CheckerWriter, PiecesLongerThanTheWritersBufferAreWrittenWholeAndInOrder) {
  // A comment, an attribute value and a word that each outgrow the writer's own 8 KB buffer
  // once written (the references make them four times as long), between short elements.
  std::string comment(20000, 'c'), value, word;
  for (int i = 0; i < 1300; ++i) value += "a&\"";  // a tag stays within 4 KB
  for (int i = 0; i < 1300; ++i) word += "&amp;&lt;&gt;";
  std::string html = "<P>x<!-- " + comment + " --><A TITLE='" + value + "'>" + word +
                     "</A><SCRIPT>" + std::string(9000, 's') + "</SCRIPT>y";
  Document doc;
  Parser p;
  p.SetDocument(&doc);
  p.Parse(html.data(), static_cast<int>(html.size()));
  p.End();
  std::string whole, pieces, buf;
  halyard::tagsmith::WriteHtml(&doc, whole);
  halyard::tagsmith::WriteHtml(&doc, buf, [&](std::string& s) {
    pieces += s;
    s.clear();
  });
  pieces += buf;
  EXPECT_TRUE(pieces == whole);
  std::string escapedValue, escapedWord;
  for (int i = 0; i < 1300; ++i) escapedValue += "a&amp;&quot;";
  for (int i = 0; i < 1300; ++i) escapedWord += "&amp;&lt;&gt;";
  std::size_t at = whole.find(comment + "  -->");
  ASSERT_NE(at, std::string::npos);
  std::size_t v = whole.find("TITLE=\"" + escapedValue + "\">", at);
  ASSERT_NE(v, std::string::npos);
  std::size_t w = whole.find('>', v + 7 + escapedValue.size()) + 1;
  std::size_t end = whole.find("</A>", w);
  ASSERT_NE(end, std::string::npos);
  std::string written = whole.substr(w, end - w);
  written.erase(std::remove(written.begin(), written.end(), ' '), written.end());
  EXPECT_TRUE(written == escapedWord) << written.size() << " bytes for " << escapedWord.size();
  EXPECT_NE(whole.find("<SCRIPT>" + std::string(4095, 's')), std::string::npos);
  EXPECT_EQ(whole.substr(whole.size() - 10), "</SCRIPT>y");
}

// Every page of the corpus settles: checking the repaired page again corrects nothing. The
// corpus is the library's test page, plus every *.html below TAGSMITH_TEST_CORPUS when set.
TEST(CheckerCorpus, RepairedPagesSettle) {
  std::vector<std::string> files{std::string(HALYARD_SOURCE_DIR) + "/html/tests/data/sample.html"};
  if (const char* dir = std::getenv("TAGSMITH_TEST_CORPUS")) {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (ec) break;
      if (it->is_regular_file(ec) && it->path().extension() == ".html")
        files.push_back(it->path().string());
    }
  }
  LONG largest = 0;
  for (const std::string& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    Checked first = Check(ss.str());
    largest = std::max(largest, first.corrections);
    Checked again = Check(first.page);
    EXPECT_EQ(again.trace, "") << f;
  }
  EXPECT_LT(largest, Checker::kCorrectionLimit / 4);
}

}  // namespace
