#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <memory>
#include <string>

#include "html/log.h"
#include "platform/mfc/cmapstringtostring.h"
#include "html/script_scanner.h"
#include "html/selector_node.h"
#include "test_util.h"
#include "platform/kernel/testing/scratch_dir.h"

namespace {

using tagsmith_test::ParseDump;

TEST(ParserText, SplitsWordsWithTheirSpaceFlags) {
  EXPECT_EQ(ParseDump(" one two  <B>three</B> "),
            "text 118 \"one\" space-before\n"
            "text 118 \"two\" space-before space-after\n"
            "tag 8 \"B\"\n"
            "text 118 \"three\"\n"
            "tag 8 \"B\" end\n");
  // A line feed ends the run; the next word has white space before it.
  EXPECT_EQ(ParseDump("a\nb"), "text 118 \"a\"\ntext 118 \"b\" space-before\n");
  // Carriage returns and DEL are dropped; a lone CR is a line feed.
  EXPECT_EQ(ParseDump("a\r\nb\rc\x7f"
                      "d"),
            "text 118 \"a\"\ntext 118 \"b\" space-before\ntext 118 \"cd\" space-before\n");
}

TEST(ParserText, OddTagsFromThePage) {
  EXPECT_EQ(ParseDump("<<b>"), "text 118 \"<<\"\ntext 118 \"b>\"\n");
  EXPECT_EQ(ParseDump("<>"), "");
  EXPECT_EQ(ParseDump("</>< >"), "");
  EXPECT_EQ(ParseDump("<foo bar>"), "tag 0 \"FOO\" BAR=\"\"\n");
  EXPECT_EQ(ParseDump("<\\b>"), "tag 8 \"B\"\n");
  EXPECT_EQ(ParseDump("</ul><OL><menu>"),
            "list 112 \"UL\" end\nlist 112 \"OL\"\nlist 112 \"MENU\"\n");
  // An unfinished tag at the end of input is not emitted.
  EXPECT_EQ(ParseDump("a<b"), "text 118 \"a\"\n");
}

TEST(ParserEntities, DecodeInTextAndInTags) {
  EXPECT_EQ(ParseDump("&lt;&gt;&amp;&quot;"), "text 118 \"<>&\\\"\"\n");
  EXPECT_EQ(ParseDump("&#65;"), "text 118 \"A\"\n");
  EXPECT_EQ(ParseDump("&#321;"), "text 118 \"A\"\n");  // modulo 256
  EXPECT_EQ(ParseDump("&#x41;"), "text 118 \"&#x41;\"\n");
  EXPECT_EQ(ParseDump("&copy2"), "text 118 \"\\2512\"\n");
  EXPECT_EQ(ParseDump("&bogus;"), "text 118 \"&bogus;\"\n");
  EXPECT_EQ(ParseDump("a&amp b&lt<i>"),
            "text 118 \"a&\"\ntext 118 \"b<\" space-before\ntag 53 \"I\"\n");
  EXPECT_EQ(ParseDump("&#;&#"), "text 118 \"&#;&#\"\n");
  EXPECT_EQ(ParseDump("<a title=\"x&amp;y\" href=a&lt;b>"),
            "anchor 1 \"A\" TITLE=\"x&y\" HREF=\"a<b\"\n");
}

TEST(ParserEntities, ReferenceToByteZeroIsKeptAsWritten) {
  // A NUL in the buffer would cut the text that holds it.
  EXPECT_EQ(
      ParseDump("a&#0;b &#256;c &#00;"),
      "text 118 \"a&#0;b\"\ntext 118 \"&#256;c\" space-before\ntext 118 \"&#00;\" space-before\n");
  EXPECT_EQ(ParseDump("<p title=\"x&#0;y\">"), "paragraph 82 \"P\" TITLE=\"x&#0;y\"\n");
}

TEST(ParserEntities, PendingReferenceAtTheEndOfInputIsResolved) {
  EXPECT_EQ(ParseDump("fish &amp"), "text 118 \"fish\"\ntext 118 \"&\" space-before\n");
  EXPECT_EQ(ParseDump("x&nbsp", {3}), "text 118 \"x\\240\"\n");
}

TEST(ParserComments, CommentsAndDeclarations) {
  EXPECT_EQ(ParseDump("<!-- a -->"), "comment 115 \" a \"\n");
  EXPECT_EQ(ParseDump("<!DOCTYPE HTML>x"), "comment 115 \"DOCTYPE HTML\"\ntext 118 \"x\"\n");
  EXPECT_EQ(ParseDump("<!-- a > b -->"),
            "comment 115 \" a \"\ntext 118 \"b\" space-before\ntext 118 \"-->\" space-before\n");
  // A "<" inside raises the nesting; "--" before ">" closes anyway.
  EXPECT_EQ(ParseDump("<!-- <b> c --><!-- <x -- >y"),
            "comment 115 \" <b> c \"\n  comment 115 \" <x -- \"\ntext 118 \"y\"\n");
  EXPECT_EQ(ParseDump("<!-x>"), "comment 115 \"-x\"\n");
  // One element per line; the further lines become children of the first at the end.
  EXPECT_EQ(ParseDump("<!-- a\r\nb\nc -->"),
            "comment 115 \" a\"\n  comment 115 \"b\"\n  comment 115 \"c \"\n");
}

TEST(ParserAttributes, ValuesNamesAndQuotes) {
  EXPECT_EQ(ParseDump("<P ALIGN=center CLASS= x>"), "paragraph 82 \"P\" ALIGN=\"center\" X=\"\"\n");
  EXPECT_EQ(ParseDump("<a href='x\ny'>"), "anchor 1 \"A\" HREF=\"x y\"\n");
  EXPECT_EQ(ParseDump("<a href='x\r\ny'>"), "anchor 1 \"A\" HREF=\"x  y\"\n");
  EXPECT_EQ(ParseDump("<a href= \"q\" name=a name=b>"), "anchor 1 \"A\" HREF=\"q\" NAME=\"b\"\n");
  // An unclosed quote runs to the end of the tag.
  EXPECT_EQ(ParseDump("<img alt=\"a b>c"), "image 56 \"IMG\" ALT=\"a b\"\ntext 118 \"c\"\n");
  EXPECT_EQ(ParseDump("<td nowrap width=50%>"), "tag 103 \"TD\" WIDTH=\"50%\" NOWRAP=\"\"\n");
  EXPECT_EQ(ParseDump("<br/>"), "tag 0 \"BR/\"\n");
}

TEST(ParserPreformatted, TabsAndLineFeedsBecomeMarks) {
  EXPECT_EQ(ParseDump("<PRE>a\tb\n</PRE>"),
            "tag 85 \"PRE\"\ntext 118 \"a\"\ntag 116 \"_TABCHAR\"\ntext 118 \"b\"\n"
            "tag 117 \"_LFCHAR\"\ntag 85 \"PRE\" end\n");
  EXPECT_EQ(ParseDump("<pre>  two  words\x01</pre>x\ty"),
            "tag 85 \"PRE\"\ntext 118 \"  two  words\\001\"\ntag 85 \"PRE\" end\n"
            "text 118 \"x\"\ntext 118 \"y\" space-before\n");
  EXPECT_EQ(ParseDump("<pre>\x02\x03</pre>"), "tag 85 \"PRE\"\ntag 85 \"PRE\" end\n");
}

TEST(ParserScript, JavaScriptEndsOutsideStringsAndComments) {
  EXPECT_EQ(ParseDump("<SCRIPT LANGUAGE=JavaScript>x='</b>';</SCRIPT>"),
            "script 90 \"SCRIPT\" LANGUAGE=\"JavaScript\"\ntext 118 \"x='</b>';\"\n"
            "script 90 \"SCRIPT\" end\n");
  EXPECT_EQ(ParseDump("<script language=javascript>/* </b> */ a = \"x\\\"</i>\" // </p>\n"
                      "</script>"),
            "script 90 \"SCRIPT\" LANGUAGE=\"javascript\"\n"
            "text 118 \"/* </b> */ a = \\\"x\\\\\\\"</i>\\\" // </p>\\n\"\n"
            "script 90 \"SCRIPT\" end\n");
  // Any end tag ends the script.
  EXPECT_EQ(ParseDump("<script language=javascript>a</b>c</script>"),
            "script 90 \"SCRIPT\" LANGUAGE=\"javascript\"\ntext 118 \"a\"\ntag 8 \"B\" end\n"
            "text 118 \"c\"\nscript 90 \"SCRIPT\" end\n");
}

TEST(ParserScript, AnEmptyScriptDoesNotSwallowThePage) {
  EXPECT_EQ(ParseDump("<script language=javascript></script><b>x</b>"),
            "script 90 \"SCRIPT\" LANGUAGE=\"javascript\"\nscript 90 \"SCRIPT\" end\n"
            "tag 8 \"B\"\ntext 118 \"x\"\ntag 8 \"B\" end\n");
}

TEST(ParserScript, UnknownCharactersDoNotHideTheEnd) {
  EXPECT_EQ(ParseDump("<script language=javascript>$(x); _y = 1;</script>z"),
            "script 90 \"SCRIPT\" LANGUAGE=\"javascript\"\ntext 118 \"$(x); _y = 1;\"\n"
            "script 90 \"SCRIPT\" end\ntext 118 \"z\"\n");
}

TEST(ParserScript, OnceTheScannerExistsEveryScriptUsesIt) {
  EXPECT_EQ(ParseDump("<script language=javascript>a</script><script>'</b>'</script>"),
            "script 90 \"SCRIPT\" LANGUAGE=\"javascript\"\ntext 118 \"a\"\n"
            "script 90 \"SCRIPT\" end\nscript 90 \"SCRIPT\"\ntext 118 \"'</b>'\"\n"
            "script 90 \"SCRIPT\" end\n");
}

TEST(ParserScript, EndAcrossPiecesIsFound) {
  const std::string html = "<script language=javascript>var s = 'a</b>';</script>x";
  // Every cut of the text, including one between "<" and "/".
  for (std::size_t cut = 1; cut < html.size(); ++cut) {
    std::string dump = ParseDump(html, {cut, 1000});
    EXPECT_NE(dump.find("script 90 \"SCRIPT\" end\ntext 118 \"x\"\n"), std::string::npos)
        << "cut " << cut << "\n"
        << dump;
  }
}

TEST(ParserRawText, OtherScriptsEndOnlyAtTheirEndTag) {
  EXPECT_EQ(ParseDump("<SCRIPT LANGUAGE=VBScript>a</b</SCRIPT>"),
            "script 90 \"SCRIPT\" LANGUAGE=\"VBScript\"\ntext 118 \"a</b\"\n"
            "script 90 \"SCRIPT\" end\n");
  EXPECT_EQ(ParseDump("<script>x</ScRiPt>y"),
            "script 90 \"SCRIPT\"\ntext 118 \"x\"\nscript 90 \"SCRIPT\" end\ntext 118 \"y\"\n");
  EXPECT_EQ(ParseDump("<JSB_CONSTRUCTOR>a <b> c</jsb_constructor>"),
            "tag 126 \"JSB_CONSTRUCTOR\"\ntext 118 \"a <b> c\"\ntag 126 \"JSB_CONSTRUCTOR\" end\n");
  EXPECT_EQ(ParseDump("<JSB_METHOD>a <b>"),
            "tag 124 \"JSB_METHOD\"\ntext 118 \"a\" space-after\ntag 8 \"B\"\n");
}

TEST(ParserRawText, EndMarkerCutByThePieceEndIsCarriedOver) {
  const std::string html = "<script>if (a</b) x();</script>after";
  for (std::size_t cut = 1; cut < html.size(); ++cut) {
    std::string dump = ParseDump(html, {cut, 1000});
    EXPECT_NE(dump.find("script 90 \"SCRIPT\" end\ntext 118 \"after\"\n"), std::string::npos)
        << "cut " << cut << "\n"
        << dump;
  }
  // An end marker that never completes is text after all.
  EXPECT_EQ(ParseDump("<script>x</scr"),
            "script 90 \"SCRIPT\"\ntext 118 \"x\"\ntext 118 \"</scr\"\n");
}

TEST(ParserRawText, TwoParsersSideBySideKeepTheirOwnCarryOverAndLines) {
  // Both documents end their pieces in the middle of an end marker; a carry-over shared by
  // the parsers would give each the other's bytes.
  const std::string a =
      "<script>one\n\n</scr"
      "ipt>A";
  const std::string b =
      "<script>two</SC"
      "RIPT>B";
  Document da, db;
  Parser pa, pb;
  pa.SetDocument(&da);
  pb.SetDocument(&db);
  pa.Parse(a.data(), 18);
  pb.Parse(b.data(), 15);
  pa.Parse(a.data() + 18, static_cast<int>(a.size() - 18));
  pb.Parse(b.data() + 15, static_cast<int>(b.size() - 15));
  EXPECT_EQ(pa.GetLine(), 3);
  EXPECT_EQ(pb.GetLine(), 1);
  pa.End();
  pb.End();
  std::string outA, outB;
  halyard::tagsmith::DumpTree(&da, outA);
  halyard::tagsmith::DumpTree(&db, outB);
  EXPECT_EQ(
      outA,
      "script 90 \"SCRIPT\"\ntext 118 \"one\\n\\n\"\nscript 90 \"SCRIPT\" end\ntext 118 \"A\"\n");
  EXPECT_EQ(outB,
            "script 90 \"SCRIPT\"\ntext 118 \"two\"\nscript 90 \"SCRIPT\" end\ntext 118 \"B\"\n");
}

TEST(ParserStyle, RulesAreReadAndTravelWithTheEndTag) {
  Document doc;
  auto parser = std::make_unique<Parser>();
  Parser& p = *parser;
  p.SetDocument(&doc);
  std::string html =
      "<STYLE><!--\n H1, P.note { color: red; font-family: 'Times New Roman' }\n"
      "/* c */ UL LI{margin:0} @media print { P { x: y } } --></STYLE><p>";
  p.Parse(html.data(), static_cast<int>(html.size()));
  p.End();
  ASSERT_EQ(doc.ChildCount(), 4);
  Elem* end = doc.firstChild->nextSibling->nextSibling;
  ASSERT_EQ(end->kind, ElemKind::Style);
  ASSERT_TRUE(end->IsEnd());
  SelectorNode* root = static_cast<StyleTag*>(end)->rules.get();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->type, Token::BODY);
  EXPECT_EQ(root->name, "BODY");
  SelectorNode* h1 = root->Find(Token::H1);
  ASSERT_NE(h1, nullptr);
  CString v;
  EXPECT_TRUE(h1->properties.Lookup("COLOR", v));
  EXPECT_EQ(v, "RED");
  EXPECT_TRUE(h1->properties.Lookup("FONT-FAMILY", v));
  EXPECT_EQ(v, "TIMES NEW ROMAN");
  SelectorNode* pn = root->Find(Token::P);
  ASSERT_NE(pn, nullptr);
  EXPECT_EQ(pn->properties.GetCount(), 0);  // the rule was for P.note, and @media is passed over
  SelectorNode* note = pn->FindChild(Token::UNKNOWN, ".NOTE");
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->properties.Lookup("COLOR", v));
  SelectorNode* li = root->Find(Token::UL) ? root->Find(Token::UL)->Find(Token::LI) : nullptr;
  ASSERT_NE(li, nullptr);
  EXPECT_TRUE(li->properties.Lookup("MARGIN", v));
  EXPECT_EQ(v, "0");
  // The rules outlive the parser with the tree.
  parser.reset();
  EXPECT_EQ(static_cast<StyleTag*>(end)->rules.use_count(), 1);
}

TEST(ParserStyle, RulesCutByPiecesAreCompletedInTheNextPiece) {
  const std::string html = "<style>B { color : x } I{font-size:12pt;color:blue}</style>z";
  for (std::size_t cut = 1; cut < html.size(); ++cut) {
    Document doc;
    Parser p;
    p.SetDocument(&doc);
    p.Parse(html.data(), static_cast<int>(cut));
    p.Parse(html.data() + cut, static_cast<int>(html.size() - cut));
    p.End();
    ASSERT_EQ(doc.lastChild->name, "z") << cut;
    Elem* end = doc.lastChild->prevSibling;
    ASSERT_EQ(end->kind, ElemKind::Style) << cut;
    SelectorNode* root = static_cast<StyleTag*>(end)->rules.get();
    ASSERT_NE(root, nullptr);
    SelectorNode* i = root->Find(Token::I);
    ASSERT_NE(i, nullptr) << cut;
    CString v;
    EXPECT_TRUE(i->properties.Lookup("FONT-SIZE", v)) << cut;
    EXPECT_EQ(v, "12PT");
    EXPECT_TRUE(i->properties.Lookup("COLOR", v)) << cut;
    EXPECT_EQ(v, "BLUE");
    // "color : x" is not followed by ":" straight away: the reading ends there.
    ASSERT_NE(root->Find(Token::B), nullptr);
    EXPECT_EQ(root->Find(Token::B)->properties.GetCount(), 0);
  }
}

TEST(SelectorNode, ParseCssTagParamsAdvancesPastWhatItRead) {
  std::string text = " color:red ; x:\"a;b\"; border : 1px}rest";
  auto* p = reinterpret_cast<unsigned char*>(text.data());
  CMapStringToString map;
  SelectorNode::parseCSSTagParams(&p, static_cast<DWORD>(text.size()), &map);
  CString v;
  EXPECT_EQ(map.GetCount(), 2);
  EXPECT_TRUE(map.Lookup("COLOR", v));
  EXPECT_EQ(v, "RED");
  EXPECT_TRUE(map.Lookup("X", v));
  EXPECT_EQ(v, "A;B");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(p)), "border : 1px}rest");

  SelectorNode root(Token::BODY, "BODY");
  SelectorNode child(&root, Token::P, "P");
  child.children.clear();
  EXPECT_EQ(root.Find(Token::P), &child);
  EXPECT_EQ(root.Find(Token::B), nullptr);
  child.MergeProperties(&map);
  CMapStringToString more;
  more.SetAt("COLOR", "BLUE");
  child.MergeProperties(&more);
  EXPECT_TRUE(child.properties.Lookup("COLOR", v));
  EXPECT_EQ(v, "BLUE");
  EXPECT_EQ(child.properties.GetCount(), 2);
  root.children.clear();  // child lives on the stack
}

TEST(ScriptScanner, TokenClassesAndKeywords) {
  ScriptScanner s;
  // No closing token: those pop the stack (below).
  const char* text = "function f(a{ return a>>>=2 && b.c[0 != 0x1F <!-- \n";
  EXPECT_EQ(s.ScanForEnd(text, std::strlen(text)), ScriptScanner::kGoesOn);
  std::vector<int> expect = {21,
                             ScriptScanner::kName,
                             ScriptScanner::kLParen,
                             ScriptScanner::kName,
                             ScriptScanner::kLBrace,
                             38,
                             ScriptScanner::kName,
                             ScriptScanner::kOperator,
                             ScriptScanner::kNumber,
                             ScriptScanner::kOperator,
                             ScriptScanner::kName,
                             ScriptScanner::kDot,
                             ScriptScanner::kName,
                             ScriptScanner::kLBracket,
                             ScriptScanner::kNumber,
                             ScriptScanner::kOperator,
                             ScriptScanner::kNumber};
  EXPECT_EQ(s.TokenStack(), expect);
  // "]" pops back to its "[", ";" back to the last "{" or "(", "}" takes the statement that
  // opened its block with it.
  EXPECT_EQ(s.ScanForEnd("]", 1), ScriptScanner::kGoesOn);
  expect.resize(13);
  EXPECT_EQ(s.TokenStack(), expect);
  EXPECT_EQ(s.ScanForEnd(";", 1), ScriptScanner::kGoesOn);
  expect.resize(5);
  EXPECT_EQ(s.TokenStack(), expect);
  EXPECT_EQ(s.ScanForEnd("}", 1), ScriptScanner::kGoesOn);
  expect.resize(3);
  EXPECT_EQ(s.TokenStack(), expect);
  EXPECT_EQ(s.ScanForEnd(")", 1), ScriptScanner::kGoesOn);
  expect.resize(2);
  EXPECT_EQ(s.TokenStack(), expect);
  EXPECT_EQ(s.Scan("x</script>", 10), 1);
  EXPECT_EQ(s.Scan("</script>", 9), 0);  // the exported form cannot tell "at once" from "goes on"
}

TEST(ScriptScanner, StackHoldsAtMost512Tokens) {
  ScriptScanner s;
  std::string text;
  for (int i = 0; i < 600; ++i) text += "a+";
  s.ScanForEnd(text.data(), text.size());
  EXPECT_EQ(s.TokenStack().size(), 512u);
  EXPECT_EQ(s.TokenCount(), 1199u);  // the last "+" waits for the character after it
}

TEST(ParserBuffer, LongRunsAreEmittedInPiecesWithNothingLost) {
  std::string word(10000, 'w');
  std::string dump = ParseDump(word);
  std::string joined;
  std::istringstream lines(dump);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ASSERT_EQ(line.rfind("text 118 \"", 0), 0u);
    std::string w = line.substr(10, line.find('"', 10) - 10);
    EXPECT_LE(w.size(), 4095u);
    joined += w;
    ++count;
  }
  EXPECT_EQ(joined, word);
  EXPECT_EQ(count, 3);
  // A long tag keeps its first 4095 characters; a long script text likewise.
  std::string tag = "<p title=\"" + std::string(5000, 't') + "\">x";
  EXPECT_EQ(ParseDump(tag),
            "paragraph 82 \"P\" TITLE=\"" + std::string(4095 - 9, 't') + "\"\ntext 118 \"x\"\n");
  // Script text longer than the buffer goes on in a further element.
  std::string script = "<script>" + std::string(5000, 's') + "</script>";
  EXPECT_EQ(ParseDump(script), "script 90 \"SCRIPT\"\ntext 118 \"" + std::string(4095, 's') +
                                   "\"\ntext 118 \"" + std::string(905, 's') +
                                   "\"\nscript 90 \"SCRIPT\" end\n");
}

TEST(ParserInput, NulBytesAndControlBytesAreText) {
  std::string html("a\0b <p\0x=y\0> c", 14);
  std::string dump = ParseDump(html);
  EXPECT_EQ(dump.substr(0, 17), "text 118 \"a\\000b\"");
}

// Documents of every kind the tokenizer knows, outside script and style.
const char* const kVariedDocuments[] = {
    ("<HTML><HEAD><TITLE>A page &amp; more</TITLE></HEAD>\r\n<BODY BGCOLOR=\"#ffffff\">\r\n"
     "<P ALIGN=center>Hello, <B>world</B>! &copy;1997 &#169; &bogus; a&ltb\r\n"
     "<A HREF='x.htm' NAME = top>link</A><!-- a comment\r\nof two lines -->\r\n"
     "<PRE>\tcode\tline\r\n  more\r</PRE><!DOCTYPE x><<b><>\r\n"
     "<Q-TEXT POS=1,2,3,4>inside <Q-LINE>deep</Q-LINE></Q-TEXT>\rlone CR</BODY></HTML>"),
    "text only, no tags at all, with &quot;quotes&quot; and &#65;&#66;&#67; &#0; end",
    ("<table><tr><td nowrap width=50%>1<td>2</table><ul><li>a<li>b</ul><img src=a.gif alt=\"x "
     "y\"><input type=checkbox checked><select><option>o</select><hr><font size=+1>f</font>"),
    "<!-- <nested> -- > and > more --><!---->x<!--\n\n\n-->\n\n\n<p\nclass\n=\n'a\nb'>",
};

TEST(ParserPieces, TreeDoesNotDependOnWherePiecesAreCut) {
  std::mt19937 rng(12345);
  for (const char* docText : kVariedDocuments) {
    std::string html = docText;
    std::string whole = ParseDump(html);
    for (int round = 0; round < 60; ++round) {
      Document doc;
      Parser p;
      p.SetDocument(&doc);
      std::size_t at = 0;
      while (at < html.size()) {
        std::size_t n = 1 + rng() % (round < 30 ? 4 : 40);
        if (n > html.size() - at) n = html.size() - at;
        p.Parse(html.data() + at, static_cast<int>(n));
        at += n;
      }
      p.End();
      std::string out;
      halyard::tagsmith::DumpTree(&doc, out);
      ASSERT_EQ(out, whole) << "round " << round << " of " << html.substr(0, 40);
    }
  }
}

TEST(ParserPieces, RealPageFixtureDoesNotDependOnPieces) {
  std::ifstream in(std::string(HALYARD_SOURCE_DIR) + "/html/tests/data/sample.html",
                   std::ios::binary);
  ASSERT_TRUE(in) << "fixture missing";
  std::stringstream ss;
  ss << in.rdbuf();
  std::string html = ss.str();
  std::string whole = ParseDump(html);
  EXPECT_GT(whole.size(), 1000u);
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    std::size_t a = 1 + rng() % 97, b = 1 + rng() % 13;
    EXPECT_EQ(ParseDump(html, {a, b}), whole) << a << "," << b;
  }
}

// The tree with the text of each script, style and raw-text element joined into one line:
// the text is cut into elements where the pieces were cut, but none of it may change.
std::string JoinedBlocks(const std::string& html, std::size_t cut, std::size_t step = 0) {
  Document doc;
  Parser p;
  p.SetDocument(&doc);
  if (cut == 0) cut = html.size();
  p.Parse(html.data(), static_cast<int>(cut));
  for (std::size_t at = cut; at < html.size();) {
    std::size_t n = step ? std::min(step, html.size() - at) : html.size() - at;
    p.Parse(html.data() + at, static_cast<int>(n));
    at += n;
  }
  p.End();
  std::string out, block;
  bool inBlock = false;
  for (Elem* e = doc.firstChild; e; e = e->nextSibling) {
    bool opens = !e->IsEnd() && (e->type == Token::SCRIPT || e->type == Token::STYLE ||
                                 e->type == Token::JSB_CONSTRUCTOR);
    if (inBlock && e->kind == ElemKind::Text) {
      block.append(static_cast<const char*>(e->name),
                   static_cast<std::size_t>(e->name.GetLength()));
      continue;
    }
    if (inBlock) {
      halyard::tagsmith::AppendQuoted(out, block.data(), block.size());
      out += '\n';
      block.clear();
      inBlock = false;
    }
    out += std::to_string(e->type) + " " + static_cast<const char*>(e->name) +
           (e->IsEnd() ? " end\n" : "\n");
    inBlock = opens;
  }
  if (inBlock) halyard::tagsmith::AppendQuoted(out, block.data(), block.size());
  return out;
}

TEST(ParserPieces, ScriptStyleAndRawTextDoNotDependOnWherePiecesAreCut) {
  const std::string docs[] = {
      // The "<" of the end tag, a CR LF pair and a reference may all fall on a cut.
      "<SCRIPT LANGUAGE=JavaScript>x=1;\r\nif (a<b) y='</b>';</SCRIPT>y",
      "<SCRIPT LANGUAGE=VBScript>a\r\nb</b</SCRIPT>y",
      "<STYLE>B { color : red }\r\nI{x:y} a<b</STYLE>y",
      "<JSB_CONSTRUCTOR>a <b>\r\n c</jsb_constructor>y",
      "<script language=javascript>a\r</script><style>\r</style><script>\r</script>z",
  };
  for (const std::string& html : docs) {
    std::string whole = JoinedBlocks(html, 0);
    EXPECT_EQ(whole.find('<' + std::string("\"")), std::string::npos) << whole;
    for (std::size_t cut = 1; cut < html.size(); ++cut)
      ASSERT_EQ(JoinedBlocks(html, cut), whole) << "cut " << cut << " of " << html;
    ASSERT_EQ(JoinedBlocks(html, 1, 1), whole) << "byte by byte: " << html;
    ASSERT_EQ(JoinedBlocks(html, 2, 3), whole) << "pieces of 3: " << html;
  }
  // The example of the stray "<": the end tag's "<" is the last byte of the first piece.
  EXPECT_EQ(ParseDump("<SCRIPT LANGUAGE=JavaScript>x=1;</SCRIPT>y", {33, 100}),
            "script 90 \"SCRIPT\" LANGUAGE=\"JavaScript\"\ntext 118 \"x=1;\"\n"
            "script 90 \"SCRIPT\" end\ntext 118 \"y\"\n");
  EXPECT_EQ(ParseDump("<STYLE>x{a:b}</STYLE>y", {14, 100}),
            "style 97 \"STYLE\"\ntext 118 \"x{a:b}\"\nstyle 97 \"STYLE\" end\ntext 118 \"y\"\n");
  // One CR LF stays one line end when the pieces part the two.
  EXPECT_EQ(ParseDump("<SCRIPT>ab\r\nb</SCRIPT>", {11, 100}),
            "script 90 \"SCRIPT\"\ntext 118 \"ab\"\ntext 118 \"\\r\\nb\"\n"
            "script 90 \"SCRIPT\" end\n");
}

// The tree of a document fed in pieces with the block text gathered: every element as in the
// document given whole, wherever the pieces are cut.
std::string GatheredDump(const std::string& html, std::size_t cut, std::size_t step, bool gather) {
  Document doc;
  Parser p;
  p.SetDocument(&doc);
  p.GatherBlockText(gather);
  if (cut == 0 || cut > html.size()) cut = html.size();
  p.Parse(html.data(), static_cast<int>(cut));
  for (std::size_t at = cut; at < html.size();) {
    std::size_t n = step ? std::min(step, html.size() - at) : html.size() - at;
    p.Parse(html.data() + at, static_cast<int>(n));
    at += n;
  }
  p.End();
  std::string out;
  halyard::tagsmith::DumpTree(&doc, out);
  return out;
}

TEST(ParserPieces, GatheredBlockTextGivesTheElementsOfTheWholeDocument) {
  const std::string docs[] = {
      "<SCRIPT>ab\r\nb</SCRIPT>y",
      "<SCRIPT LANGUAGE=JavaScript>x=1;\r\nif (a<b) y='</b>';</SCRIPT>y",
      "<STYLE>p{a:b}\r\nq{c:d}</STYLE>z",
      "<JSB_CONSTRUCTOR>a <b>\r\n c</jsb_constructor>y",
      "<script>x</scr",  // an end tag the input never completes stays apart
      "<style>x<",
      "<script>" + std::string(5000, 's') + "\r\n" + std::string(4000, 't') + "</script>after",
  };
  for (const std::string& html : docs) {
    const std::string whole = GatheredDump(html, 0, 0, false);
    ASSERT_EQ(GatheredDump(html, 0, 0, true), whole) << html;
    for (std::size_t cut = 1; cut < html.size(); cut += html.size() > 200 ? 97 : 1)
      ASSERT_EQ(GatheredDump(html, cut, 0, true), whole) << "cut " << cut << " of " << html;
    ASSERT_EQ(GatheredDump(html, 1, 1, true), whole) << "byte by byte: " << html;
    ASSERT_EQ(GatheredDump(html, 4096, 4096, true), whole) << "pieces of 4096: " << html;
  }
  // Without gathering, each piece's text becomes elements as it comes.
  EXPECT_NE(GatheredDump("<SCRIPT>ab\r\nb</SCRIPT>y", 11, 0, false),
            GatheredDump("<SCRIPT>ab\r\nb</SCRIPT>y", 0, 0, false));
}

TEST(ParserPieces, ScriptStyleAndRawTextLongerThanTheBufferLoseNothing) {
  const std::string body = std::string(5000, 's') + "\n" + std::string(9000, 't');
  for (const char* open : {"<script language=javascript>", "<script>", "<style>"}) {
    std::string tag = open;
    std::string close = tag.find("style") != std::string::npos ? "</style>" : "</script>";
    std::string html = tag + "/* " + body + " */" + close + "after";
    std::string joined = JoinedBlocks(html, 0);
    EXPECT_NE(
        joined.find("\"/* " + std::string(5000, 's') + "\\n" + std::string(9000, 't') + " */\""),
        std::string::npos)
        << tag;
    EXPECT_NE(joined.find(" end\n118 after\n"), std::string::npos) << tag;
    EXPECT_EQ(JoinedBlocks(html, 4097, 4096), joined) << tag;
  }
}

TEST(ParserScript, EndTagEndsTheScriptWhateverItHoldsOpen) {
  // A line comment, a block comment or a string left open does not hide </SCRIPT>.
  EXPECT_EQ(ParseDump("<SCRIPT LANGUAGE=JavaScript><!--\nx=1; //--></SCRIPT><B>y</B>"),
            "script 90 \"SCRIPT\" LANGUAGE=\"JavaScript\"\ntext 118 \"<!--\\nx=1; //-->\"\n"
            "script 90 \"SCRIPT\" end\ntag 8 \"B\"\ntext 118 \"y\"\ntag 8 \"B\" end\n");
  EXPECT_EQ(ParseDump("<script language=javascript>/* open </Script >y"),
            "script 90 \"SCRIPT\" LANGUAGE=\"javascript\"\ntext 118 \"/* open \"\n"
            "script 90 \"SCRIPT\" end\ntext 118 \"y\"\n");
  EXPECT_EQ(ParseDump("<script language=javascript>s = \"</script>\";</script>y"),
            "script 90 \"SCRIPT\" LANGUAGE=\"javascript\"\ntext 118 \"s = \\\"\"\n"
            "script 90 \"SCRIPT\" end\ntext 118 \"\\\";\"\nscript 90 \"SCRIPT\" end\n"
            "text 118 \"y\"\n");
  // Other end tags inside strings and comments still do not end it, nor a longer name.
  EXPECT_EQ(ParseDump("<script language=javascript>/* </b> </scripts> */</script>y"),
            "script 90 \"SCRIPT\" LANGUAGE=\"javascript\"\ntext 118 \"/* </b> </scripts> */\"\n"
            "script 90 \"SCRIPT\" end\ntext 118 \"y\"\n");
  // Every cut, including those inside the end tag.
  const std::string html = "<script language=javascript>// c </SCRIPT>after";
  for (std::size_t cut = 1; cut < html.size(); ++cut)
    EXPECT_EQ(JoinedBlocks(html, cut), JoinedBlocks(html, 0)) << cut;
  EXPECT_EQ(JoinedBlocks(html, 0), "90 SCRIPT\n\"// c \"\n90 SCRIPT end\n118 after\n");
  // In one piece, a wrapper left open no longer swallows the page at 4095 characters.
  std::string page = "<script language=javascript>/*" + std::string(10000, 'x') + "</script>" +
                     std::string(3000, 'p');
  EXPECT_NE(ParseDump(page).find("text 118 \"" + std::string(3000, 'p') + "\""), std::string::npos);
}

TEST(ParserStyle, RuleInSmallPiecesIsReadOnceNotFromItsStartEachTime) {
  std::string html = "<style>P.x { ";
  while (html.size() < (2u << 20)) html += "color: red; margin: 0; ";
  html += "font-size: 9pt }</style>z";
  auto run = [&](std::size_t step) {
    auto start = std::chrono::steady_clock::now();
    Document doc;
    Parser p;
    p.SetDocument(&doc);
    for (std::size_t at = 0; at < html.size(); at += step)
      p.Parse(html.data() + at, static_cast<int>(std::min(step, html.size() - at)));
    p.End();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Elem* end = doc.lastChild->prevSibling;
    EXPECT_EQ(end->kind, ElemKind::Style);
    SelectorNode* x = static_cast<StyleTag*>(end)->rules->Find(Token::P);
    CString v;
    EXPECT_TRUE(x && !x->children.empty() && x->children[0]->properties.Lookup("FONT-SIZE", v));
    EXPECT_EQ(v, "9PT");
    return seconds;
  };
  double whole = run(html.size());
  double pieces = run(512);
  // Read again from the rule's start on every piece, the 4096 pieces took 190 times as long.
  EXPECT_LT(pieces, 8 * whole + 0.5) << "whole " << whole << " s, pieces " << pieces << " s";
}

TEST(ParserEntities, ReferenceAtTheBufferSeamIsDecoded) {
  for (std::size_t pad = 4080; pad < 4100; ++pad) {
    std::string html = std::string(pad, 'a') + "&amp;b &lt;" + std::string(pad, 'c') + "&copy;";
    Document doc;
    Parser p;
    p.SetDocument(&doc);
    p.Parse(html.data(), static_cast<int>(html.size()));
    p.End();
    std::string joined;
    for (Elem* e = doc.firstChild; e; e = e->nextSibling)
      joined.append(static_cast<const char*>(e->name),
                    static_cast<std::size_t>(e->name.GetLength()));
    EXPECT_EQ(joined, std::string(pad, 'a') + "&b<" + std::string(pad, 'c') + "\xa9") << pad;
  }
}

TEST(ParserEntities, ReferencesInAQuotedValueStayInsideIt) {
  EXPECT_EQ(ParseDump("<A TITLE=\"a &quot;b&quot; c\" HREF=u>"),
            "anchor 1 \"A\" TITLE=\"a \\\"b\\\" c\" HREF=\"u\"\n");
  EXPECT_EQ(ParseDump("<p title='&#39;x&#39; &gt; y' class=a&amp;b>"),
            "paragraph 82 \"P\" TITLE=\"'x' > y\" CLASS=\"a&b\"\n");
  // Names are not decoded; a value's references follow the rules of the text.
  EXPECT_EQ(ParseDump("<p a&amp;b=&copy2>"), "paragraph 82 \"P\" A&AMP;B=\"\\2512\"\n");
}

TEST(ParserComments, CommentOpenAtTheEndOfInputKeepsItsLastLine) {
  EXPECT_EQ(ParseDump("a<!-- b\nc"), "text 118 \"a\"\ncomment 115 \" b\"\n  comment 115 \"c\"\n");
  EXPECT_EQ(ParseDump("a<!-- b", {3}), "text 118 \"a\"\ncomment 115 \" b\"\n");
  EXPECT_EQ(ParseDump("<!DOCTYPE x"), "comment 115 \"DOCTYPE x\"\n");
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = std::make_unique<halyard::testing::ScratchDir>("tagsmith_trace");
    dir_ = scratch_->path();
    setenv("HALYARD_DRIVE_C", dir_.c_str(), 1);
    std::string temp = dir_ + "/temp";
    mkdir(temp.c_str(), 0700);
  }
  void TearDown() override {
    halyard::tagsmith::CloseLog();
    unsetenv("HALYARD_DRIVE_C");
    scratch_.reset();
  }
  std::string ReadLog() {
    std::ifstream in(dir_ + "/temp/html_log.txt", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::unique_ptr<halyard::testing::ScratchDir> scratch_;
  std::string dir_;
};

TEST_F(TraceTest, TraceIsOffUnlessSwitchedOn) {
  ASSERT_FALSE(halyard::tagsmith::g_logOn);
  ParseDump("<b>x</b>");
  EXPECT_EQ(ReadLog(), "");
}

TEST_F(TraceTest, TraceRecordsEveryTokenWithTheParsersOwnLine) {
  ASSERT_TRUE(halyard::tagsmith::OpenLog("c:\\temp\\html_log.txt"));
  Document d1, d2;
  Parser p1, p2;
  p1.SetDocument(&d1);
  p2.SetDocument(&d2);
  p1.Parse("\n\n\n<p a=1 b c= d>", 17);
  p2.Parse("x\n<pre>y</pre>", 14);
  p1.End();
  p2.End();
  halyard::tagsmith::CloseLog();
  EXPECT_EQ(ReadLog(),
            "[line 3] text: '\r\n'\r\n"
            "[line 4] text: '\r\n'\r\n"
            "[line 4] text: '\r\n'\r\n"
            "[line 4] param: A=1\r\n"
            "[line 4] param: B\r\n"
            "[line 4] param: C= (ignored)\r\n"
            "[line 4] param: D\r\n"
            "[line 4] tag: 82 'P'\r\n"
            "[line 2] text: 'x'\r\n"
            "[line 2] text: '\r\n'\r\n"
            "[line 2] tag: 85 'PRE'\r\n"
            "[line 2] <pre>text: 'y'\r\n"
            "[line 2] tag: 85 'PRE'\r\n");
}

}  // namespace
