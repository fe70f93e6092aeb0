// The HTML library as the design tool uses it: through libtagsmith.so and the platform runtime
// only. HTML is tokenized into a tree under a Document the host owns, the tree is walked
// through its links, its elements give their text forms, and the checker repairs the nesting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html/checker.h"
#include "html/elem_kinds.h"
#include "html/parser.h"
#include "html/parser2.h"

namespace {

std::string TextOfChildren(const Elem* root) {
  std::string out;
  for (const Elem* e = root->firstChild; e; e = e->nextSibling) {
    CString t = e->TextForm();
    out.append(static_cast<const char*>(t), static_cast<std::size_t>(t.GetLength()));
  }
  return out;
}

int CountTags(const Elem* root, const char* name) {
  int n = 0;
  for (const Elem* e = root->firstChild; e; e = e->nextSibling) {
    if (e->kind == ElemKind::Tag || e->kind > ElemKind::Tag) {
      CString t = e->TextForm();
      if (std::string(static_cast<const char*>(t)).rfind(std::string("<") + name, 0) == 0) ++n;
    }
    n += CountTags(e, name);
  }
  return n;
}

TEST(TagsmithHost, PagesFedInPiecesGiveTheSameTreeAndTextForms) {
  const std::string page =
      "<HTML><BODY BGCOLOR=white><P ALIGN=center>Hello <B>world</B><!-- note --></BODY></HTML>";
  Document whole;
  Parser one;
  one.SetDocument(&whole);
  one.Parse(page.data(), static_cast<int>(page.size()));
  one.End();

  Document pieces;
  Parser many;
  many.SetDocument(&pieces);
  for (std::size_t at = 0; at < page.size(); at += 7)
    many.Parse(page.data() + at, static_cast<int>(std::min<std::size_t>(7, page.size() - at)));
  many.End();

  std::string text = TextOfChildren(&whole);
  EXPECT_EQ(text, TextOfChildren(&pieces));
  // Attribute values come back quoted; a comment's text keeps its blanks inside the markers.
  EXPECT_EQ(text,
            "<HTML><BODY BGCOLOR=\"white\"><P ALIGN=\"center\">Hello <B>world</B><!--  note  -->"
            "</BODY></HTML>");

  // The walk: every element knows its parent and neighbours.
  int elements = 0;
  for (Elem* e = whole.firstChild; e; e = e->nextSibling) {
    EXPECT_EQ(e->parent, &whole);
    if (e->nextSibling) {
      EXPECT_EQ(e->nextSibling->prevSibling, e);
    }
    ++elements;
  }
  EXPECT_GT(elements, 8);
  EXPECT_EQ(whole.lastChild->nextSibling, nullptr);
}

TEST(TagsmithHost, TheStreamReaderTokenizerBuildsTheSameElements) {
  const std::string page = "<TITLE>t</TITLE><A HREF=\"x.htm\">x</A>";
  Document a, b;
  Parser p;
  p.SetDocument(&a);
  p.Parse(page.data(), static_cast<int>(page.size()));
  p.End();
  Parser2 p2;
  p2.SetDocument(&b);
  p2.Parse(page.data(), static_cast<int>(page.size()));
  p2.End();
  EXPECT_EQ(TextOfChildren(&a), TextOfChildren(&b));
}

TEST(TagsmithHost, TheCheckerRepairsTheTreeTheHostOwns) {
  const std::string page = "<HTML><BODY><UL>one<LI>two</UL><TABLE><TD>cell</TABLE></BODY></HTML>";
  Document doc;
  Parser p;
  p.SetDocument(&doc);
  p.Parse(page.data(), static_cast<int>(page.size()));
  p.End();
  std::vector<std::string> trace;
  Checker checker;
  checker.SetTraceSink(&trace);
  checker.AddCheckHandler();
  checker.CheckHtml(&doc);
  EXPECT_GT(checker.GetCorrectionCount(), 0);
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.front().rfind("CheckHtml : Error ", 0), 0u) << trace.front();
  EXPECT_GT(CountTags(&doc, "TR"), 0) << TextOfChildren(&doc);

  // Checking the repaired tree again finds nothing more.
  Checker again;
  again.AddCheckHandler();
  again.CheckHtml(&doc);
  EXPECT_EQ(again.GetCorrectionCount(), 0);
  checker.CleanUp();
}

}  // namespace
