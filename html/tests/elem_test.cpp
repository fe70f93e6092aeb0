#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "html/elem_kinds.h"
#include "html/elem_pool.h"
#include "platform/mfc/cmapstringtostring.h"
#include "html/tag_type_table.h"
#include "test_util.h"

namespace {

Elem* MakeTag(const char* name, bool end = false) {
  return CreateElem(TagTypeTable::Lookup(name), name, static_cast<int>(std::strlen(name)), end);
}

TEST(ElemTree, AppendUnlinkAndInsertKeepTheLinksConsistent) {
  Document root;
  Elem* a = MakeTag("A");
  Elem* b = MakeTag("B");
  Elem* c = MakeTag("I");
  root.Append(a);
  root.Append(b);
  root.Append(c);
  EXPECT_EQ(root.firstChild, a);
  EXPECT_EQ(root.lastChild, c);
  EXPECT_EQ(b->prevSibling, a);
  EXPECT_EQ(b->nextSibling, c);
  EXPECT_EQ(b->parent, &root);

  root.SetCursor(b);
  EXPECT_EQ(root.Unlink(b), c);  // the element that followed
  EXPECT_EQ(root.GetCursor(), nullptr);
  EXPECT_EQ(a->nextSibling, c);
  EXPECT_EQ(c->prevSibling, a);
  EXPECT_EQ(b->parent, nullptr);
  EXPECT_EQ(b->nextSibling, nullptr);

  EXPECT_EQ(root.Unlink(c), a);  // the last one: the new last child
  EXPECT_EQ(root.lastChild, a);
  EXPECT_EQ(root.Unlink(c), nullptr);  // not ours any more

  root.InsertBefore(a, c);
  root.InsertAfter(a, b);
  EXPECT_EQ(root.firstChild, c);
  EXPECT_EQ(c->nextSibling, a);
  EXPECT_EQ(a->nextSibling, b);
  EXPECT_EQ(root.lastChild, b);
  EXPECT_EQ(root.ChildCount(), 3);

  // Appending elsewhere moves the element.
  a->Append(b);
  EXPECT_EQ(root.lastChild, a);
  EXPECT_EQ(a->firstChild, b);
  // Deleting a linked element unlinks it first.
  delete a;
  EXPECT_EQ(root.ChildCount(), 1);
  EXPECT_EQ(root.firstChild, c);
  EXPECT_EQ(c->nextSibling, nullptr);
}

TEST(ElemTree, DeepSubtreesAreDeletedWithoutDeepRecursion) {
  auto* top = new Document;
  Elem* at = top;
  for (int i = 0; i < 200000; ++i) {
    Elem* e = MakeTag("DIV");
    at->Append(e);
    at->Append(MakeTag("B"));
    at = e;
  }
  delete top;  // would exhaust the stack if deletion recursed
}

TEST(ElemFactory, BuildsTheClassForEachType) {
  struct Case {
    const char* name;
    ElemKind kind;
    int type;
  } cases[] = {{"IMG", ElemKind::Image, 56},
               {"TABLE", ElemKind::Table, 101},
               {"INPUT", ElemKind::FormControl, 57},
               {"SELECT", ElemKind::FormControl, 91},
               {"TEXTAREA", ElemKind::FormControl, 104},
               {"DIR", ElemKind::List, 112},
               {"MENU", ElemKind::List, 112},
               {"OL", ElemKind::List, 112},
               {"UL", ElemKind::List, 112},
               {"HR", ElemKind::Rule, 51},
               {"APPLET", ElemKind::EmbeddedObject, 5},
               {"EMBED", ElemKind::EmbeddedObject, 36},
               {"OBJECT", ElemKind::EmbeddedObject, 78},
               {"A", ElemKind::Anchor, 1},
               {"SCRIPT", ElemKind::Script, 90},
               {"P", ElemKind::Paragraph, 82},
               {"FONT", ElemKind::Font, 40},
               {"TITLE", ElemKind::Title, 108},
               {"STYLE", ElemKind::Style, 97},
               {"Q-LINE", ElemKind::Component, 119},
               {"B", ElemKind::Tag, 8},
               {"BOGUS", ElemKind::Tag, 0}};
  for (const Case& c : cases) {
    std::unique_ptr<Elem> e(MakeTag(c.name, true));
    EXPECT_EQ(e->kind, c.kind) << c.name;
    EXPECT_EQ(e->type, c.type) << c.name;
    EXPECT_EQ(e->name, c.name) << c.name;  // lists keep their own names
    EXPECT_TRUE(e->IsEnd());
    EXPECT_EQ(e->flags & Elem::kReserved, 0u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(e->GetLayout(i), 0u);
  }
  std::unique_ptr<Elem> mark(CreateElem(Token::LFCHAR, "_LFCHAR", 7, false));
  EXPECT_EQ(mark->kind, ElemKind::Tag);
  std::unique_ptr<Elem> text(CreateElem(Token::TEXT, "word", 4, false));
  EXPECT_EQ(text->kind, ElemKind::Text);
  EXPECT_EQ(text->TextLength(), 4u);
  EXPECT_EQ(text->Attributes(), nullptr);
}

// A tag with its attributes, read by Parser.
std::unique_ptr<Document> Read(const char* html) {
  auto doc = std::make_unique<Document>();
  Parser p;
  p.SetDocument(doc.get());
  p.Parse(html, static_cast<int>(std::strlen(html)));
  p.End();
  return doc;
}

int ReadRect(const char* html, RECT* r) {
  auto doc = Read(html);
  return doc->firstChild->GetRectAttr("POS", r);
}

TEST(TagAttributes, RectangleNeedsExactlyFourNumbers) {
  RECT r;
  EXPECT_EQ(ReadRect("<Q-PICTURE POS=0,0,5>", &r), 0);
  EXPECT_EQ(r.right, 5);
  EXPECT_EQ(r.bottom, 0);
  EXPECT_EQ(ReadRect("<P POS=\" 10, -20,110,70\">", &r), 1);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, -20);
  EXPECT_EQ(r.right, 110);
  EXPECT_EQ(r.bottom, 70);
  EXPECT_EQ(ReadRect("<P POS=1,2,3,4,5>", &r), 0);  // five: only the first four count
  EXPECT_EQ(r.bottom, 4);
  EXPECT_EQ(ReadRect("<P POS=a,,7,8>", &r), 1);  // four pieces, read as the runtime reads them
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.right, 7);
  EXPECT_EQ(ReadRect("<P>", &r), 0);
  EXPECT_EQ(r.right, 0);
  EXPECT_EQ(ReadRect("<P POS>", &r), 0);
}

TEST(TagAttributes, AlignmentAndInputKind) {
  auto doc = Read(
      "<P ALIGN=Center><IMG><CAPTION><HR><P><P ALIGN=bogus><IMG ALIGN=ABSBOTTOM>"
      "<INPUT TYPE=Password><INPUT><INPUT TYPE=Checkbox><INPUT TYPE=text>"
      "<INPUT TYPE=Button><INPUT TYPE=weird>");
  int aligns[] = {2, 5, 7, 2, 0, 0, 11};
  Elem* e = doc->firstChild;
  for (int a : aligns) {
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(static_cast<Tag*>(e)->Alignment(), a) << static_cast<const char*>(e->name);
    e = e->nextSibling;
  }
  int kinds[] = {4, 8, 1, 8, 10, 8};
  for (int k : kinds) {
    ASSERT_EQ(e->kind, ElemKind::FormControl);
    EXPECT_EQ(static_cast<FormControlTag*>(e)->GetInputKind(), k);
    e = e->nextSibling;
  }
  EXPECT_STREQ(FormControlTag::DefaultCaption(FormControlTag::kReset), "Reset");
  EXPECT_STREQ(FormControlTag::DefaultCaption(FormControlTag::kSubmit), "Submit");
}

TEST(Components, GatherTheirContentAndMeasureTheirPosition) {
  auto doc = Read("<Q-TEXT POS=10,20,110,70>hello</Q-TEXT><B>");
  auto* comp = static_cast<ComponentTag*>(doc->firstChild);
  ASSERT_EQ(comp->kind, ElemKind::Component);
  EXPECT_EQ(comp->number, 6);
  ASSERT_EQ(comp->ChildCount(), 2);
  EXPECT_EQ(comp->firstChild->name, "hello");
  EXPECT_TRUE(comp->lastChild->IsEnd());
  EXPECT_EQ(static_cast<ComponentTag*>(comp->lastChild)->number, 6);
  EXPECT_EQ(comp->nextSibling->name, "B");  // the walk goes on after what was taken
  LONG w = 0, h = 0;
  comp->Measure(&w, &h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 50);
  EXPECT_EQ(comp->GetLayout(0), 100u);
  EXPECT_EQ(comp->GetLayout(1), 50u);
  EXPECT_EQ(comp->GetLayout(2), 0u);

  // Normalised, and 0 by 0 without POS; an unknown name has number 0.
  doc = Read("<Q-LINE POS=110,70,10,20></Q-LINE><Q-BOGUS>");
  comp = static_cast<ComponentTag*>(doc->firstChild);
  comp->Measure(&w, &h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 50);
  EXPECT_EQ(comp->nextSibling->kind, ElemKind::Tag);  // not a known pseudo-tag: type 0
  ComponentTag unknown("Q-BOGUS", 7, false);
  EXPECT_EQ(unknown.number, 0);
  comp = &unknown;
  comp->Measure(&w, &h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

TEST(Components, NestAndRunToTheEndWithoutAnEndTag) {
  EXPECT_EQ(tagsmith_test::ParseDump("<Q-TEXT>a<Q-LINE>b</Q-LINE>c</Q-TEXT>d"),
            "component 119 \"Q-TEXT\" #6\n"
            "  text 118 \"a\"\n"
            "  component 119 \"Q-LINE\" #4\n"
            "    text 118 \"b\"\n"
            "    component 119 \"Q-LINE\" #4 end\n"
            "  text 118 \"c\"\n"
            "  component 119 \"Q-TEXT\" #6 end\n"
            "text 118 \"d\"\n");
  EXPECT_EQ(tagsmith_test::ParseDump("x<Q-POLY>a<B>b"),
            "text 118 \"x\"\n"
            "component 119 \"Q-POLY\" #8\n"
            "  text 118 \"a\"\n"
            "  tag 8 \"B\"\n"
            "  text 118 \"b\"\n");
  // A comment inside a component still gathers its further lines.
  EXPECT_EQ(tagsmith_test::ParseDump("<Q-TEXT><!-- a\nb --></Q-TEXT>"),
            "component 119 \"Q-TEXT\" #6\n"
            "  comment 115 \" a\"\n"
            "    comment 115 \"b \"\n"
            "  component 119 \"Q-TEXT\" #6 end\n");
}

TEST(Components, DeepNestingNeedsNoDeepRecursion) {
  std::string html;
  for (int i = 0; i < 100000; ++i) html += "<Q-TEXT>";
  Document doc;
  Parser p;
  p.SetDocument(&doc);
  p.Parse(html.data(), static_cast<int>(html.size()));
  p.End();
  EXPECT_EQ(doc.ChildCount(), 1);
  std::string summary;
  halyard::tagsmith::DumpSummary(&doc, summary);
  EXPECT_EQ(summary, "component 100000\ntotal 100000\n");
}

TEST(TextForms, TagsAndCommentsAreWrittenBack) {
  auto doc = Read("<a href=x><!-- a\nb\nc --></P><br>");
  Elem* a = doc->firstChild;
  EXPECT_EQ(a->TextForm(), "<A HREF=\"x\">");
  EXPECT_EQ(a->nextSibling->TextForm(), "<!--  abc  -->");
  EXPECT_EQ(a->nextSibling->nextSibling->TextForm(), "</P>");
  EXPECT_EQ(doc->lastChild->TextForm(), "<BR>");
  // Values are written as stored, nothing escaped.
  doc = Read("<img alt='say \"hi\"' src=a&amp;b>");
  EXPECT_EQ(doc->firstChild->TextForm(), "<IMG SRC=\"a&b\" ALT=\"say \"hi\"\">");
}

}  // namespace

namespace {

TEST(ElemAttributes, PackedListGivesTheSameMapAsAddingThePairsInOrder) {
  const char* pairs[][2] = {{"HREF", "a"}, {"NAME", "n"}, {"TITLE", "t"}, {"HREF", "b"},
                            {"CLASS", ""}, {"ID", "i"},   {"STYLE", "s"}, {"ALT", "x"}};
  std::vector<Elem::AttrRef> refs;
  CMapStringToString direct;
  for (auto& p : pairs) {
    refs.push_back(
        {p[0], static_cast<int>(std::strlen(p[0])), p[1], static_cast<int>(std::strlen(p[1]))});
    direct.SetAt(p[0], p[1]);
  }
  Tag tag(Token::A, "A", 1, false);
  tag.SetAttributeList(refs.data(), static_cast<int>(refs.size()));
  CString v;
  ASSERT_TRUE(tag.GetAttribute("HREF", &v));  // read before the map is built
  EXPECT_EQ(v, "b");
  EXPECT_FALSE(tag.GetAttribute("SRC", &v));
  CMapStringToString* map = tag.Attributes();
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map, tag.Attributes());
  ASSERT_EQ(map->GetCount(), direct.GetCount());
  POSITION a = map->GetStartPosition(), b = direct.GetStartPosition();
  CString ka, va, kb, vb;
  while (a && b) {
    map->GetNextAssoc(a, ka, va);
    direct.GetNextAssoc(b, kb, vb);
    EXPECT_EQ(ka, kb);
    EXPECT_EQ(va, vb);
  }
  EXPECT_EQ(a, b);
  ASSERT_TRUE(tag.GetAttribute("HREF", &v));
  EXPECT_EQ(v, "b");
  tag.SetAttributeList(nullptr, 0);
  EXPECT_EQ(tag.Attributes(), nullptr);
  EXPECT_FALSE(tag.HasAttributes());
}

TEST(ElemAttributes, PackedWalkAgreesWithTheMapForRandomLists) {
  std::mt19937 rng(99);
  const char* names[] = {"A",     "B",      "HREF",  "SRC",   "ALT",     "NAME",  "ID",   "X1",
                         "WIDTH", "HEIGHT", "CLASS", "STYLE", "ONCLICK", "VALUE", "TYPE", "Z"};
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> keys, values;
    int n = 1 + static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i) {
      keys.push_back(names[rng() % 16]);
      values.push_back("v" + std::to_string(rng() % 100));
    }
    std::vector<Elem::AttrRef> refs;
    for (int i = 0; i < n; ++i)
      refs.push_back({keys[i].c_str(), static_cast<int>(keys[i].size()), values[i].c_str(),
                      static_cast<int>(values[i].size())});
    Tag tag(Token::A, "A", 1, false);
    tag.SetAttributeList(refs.data(), n);
    std::vector<Elem::AttrRef> walked;
    ASSERT_TRUE(tag.PackedAttributesInMapOrder(walked));
    std::string fromPacked, fromMap;
    for (const auto& a : walked) fromPacked += std::string(a.key) + "=" + a.value + ";";
    CMapStringToString* map = tag.Attributes();  // the map built from the same list
    CString k, v;
    for (POSITION pos = map->GetStartPosition(); pos;) {
      map->GetNextAssoc(pos, k, v);
      fromMap += std::string(static_cast<const char*>(k)) + "=" + static_cast<const char*>(v) + ";";
    }
    ASSERT_EQ(fromPacked, fromMap) << "round " << round;
    EXPECT_FALSE(tag.PackedAttributesInMapOrder(walked));  // now a map: the caller walks it
    EXPECT_TRUE(walked.empty());
  }
}

TEST(ElemTree, EveryKindKeepsItsWalkCursorUntilThatChildGoes) {
  // Text keeps its cursor aside, every other kind in place; both behave alike.
  std::vector<Elem*> parents = {new TextElem("word", 4, 0), new CommentElem("c", 1), new Document,
                                MakeTag("TABLE"), MakeTag("Q-TEXT")};
  for (Elem* p : parents) {
    SCOPED_TRACE(static_cast<int>(p->kind));
    Elem* x = new TextElem("x", 1, 0);
    Elem* y = MakeTag("B");
    p->Append(x);
    p->Append(y);
    EXPECT_EQ(p->GetCursor(), nullptr);
    p->SetCursor(y);
    EXPECT_EQ(p->GetCursor(), y);
    EXPECT_EQ(x->GetCursor(), nullptr);  // another element's cursor is its own
    p->Unlink(x);                        // not the cursor's child: the cursor stays
    EXPECT_EQ(p->GetCursor(), y);
    delete x;
    delete y;  // unlinks itself, and the cursor that pointed at it goes
    EXPECT_EQ(p->GetCursor(), nullptr);
    p->Append(new TextElem("z", 1, 0));
    p->SetCursor(p->firstChild);
    p->DeleteChildren();
    EXPECT_EQ(p->GetCursor(), nullptr);
    p->Append(new TextElem("w", 1, 0));
    p->SetCursor(p->firstChild);
    delete p;  // with its children and its cursor
  }
  // A text element freed with its cursor set leaves none behind for the next one.
  TextElem* t = new TextElem("t", 1, 0);
  EXPECT_EQ(t->GetCursor(), nullptr);
  delete t;
}

TEST(ElemPool, PiecesOfEverySizeNeverOverlapAndComeBackAligned) {
  // Sizes from 1 to 300 bytes carved from shared blocks, freed at random and taken again
  // (freed places are reused, a block's rest goes to the free lists): every piece keeps the
  // bytes written into it while it is held.
  std::mt19937 rng(13);
  struct Piece {
    unsigned char* p;
    std::size_t size;
    unsigned char fill;
  };
  std::vector<Piece> held;
  auto intact = [](const Piece& x) {
    for (std::size_t i = 0; i < x.size; ++i)
      if (x.p[i] != x.fill) return false;
    return true;
  };
  for (int round = 0; round < 20000; ++round) {
    if (!held.empty() && rng() % 3 == 0) {
      std::size_t k = rng() % held.size();
      ASSERT_TRUE(intact(held[k])) << "round " << round;
      halyard::tagsmith::FreeElem(held[k].p, held[k].size);
      held[k] = held.back();
      held.pop_back();
      continue;
    }
    std::size_t size = 1 + rng() % 300;
    auto* p = static_cast<unsigned char*>(halyard::tagsmith::AllocateElem(size));
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(p) % 8, 0u);  // names keep a tag in the low bit
    unsigned char fill = static_cast<unsigned char>(rng());
    std::memset(p, fill, size);
    held.push_back({p, size, fill});
  }
  for (const Piece& x : held) {
    EXPECT_TRUE(intact(x));
    halyard::tagsmith::FreeElem(x.p, x.size);
  }
}

TEST(ElemName, ShortAndLongTextsKeepEveryByte) {
  std::string longText(300, 'x');
  longText[100] = '\0';
  ElemName shortName("ab\0c", 4), longName(longText.data(), 300), copy(longName);
  EXPECT_EQ(shortName.GetLength(), 4);
  EXPECT_EQ(std::string(shortName.data(), 4), std::string("ab\0c", 4));
  EXPECT_EQ(copy.GetLength(), 300);
  EXPECT_EQ(std::string(copy.data(), 300), longText);
  copy = shortName;
  EXPECT_EQ(copy.GetLength(), 4);
  copy = "fourteen chars";
  EXPECT_EQ(copy, "fourteen chars");
  copy = "fifteen chars!!";
  EXPECT_EQ(copy, "fifteen chars!!");
  EXPECT_EQ(copy.ToCString().GetLength(), 15);
  EXPECT_EQ(copy.data()[15], '\0');
}

TEST(ElemName, EveryLengthAroundTheInlineLimitReadsBackWithItsNul) {
  std::string text = "abcdefghij";
  text[2] = '\0';  // a NUL inside the text is kept too
  for (int n = 0; n <= 10; ++n) {
    ElemName name(text.data(), n);
    ASSERT_EQ(name.GetLength(), n);
    EXPECT_EQ(std::string(name.data(), static_cast<std::size_t>(n)), text.substr(0, n));
    EXPECT_EQ(name.data()[n], '\0') << n;
    ElemName other("zz", 2);
    other = name;  // inline to heap and back
    EXPECT_EQ(std::string(other.data(), static_cast<std::size_t>(other.GetLength())),
              text.substr(0, n));
    other.Assign("0123456789012", 13);
    other.Assign(text.data(), n);
    EXPECT_EQ(other.GetLength(), n);
    EXPECT_EQ(other.data()[n], '\0');
  }
  ElemName empty(nullptr, 5);
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(*empty.data(), '\0');
}

}  // namespace

namespace {

TEST(ElemSize, ElementsStaySmall) {
  // A page has about one element per seven bytes; the tree must stay within twelve times the
  // page.
  EXPECT_LE(sizeof(ElemName), 8u);
  EXPECT_LE(sizeof(TextElem), 64u);
  EXPECT_LE(sizeof(Tag), 88u);
}

}  // namespace

namespace {

TEST(Components, ChildrenTheRootHeldBeforeTheDocumentGetTheirCallToo) {
  Document doc;
  doc.Append(CreateElem(Token::COMPONENT, "Q-TEXT", 6, false));
  Parser p;
  p.SetDocument(&doc);
  p.Parse("x</Q-TEXT>y", 11);
  p.End();
  std::string out;
  halyard::tagsmith::DumpTree(&doc, out);
  EXPECT_EQ(out,
            "component 119 \"Q-TEXT\" #6\n  text 118 \"x\"\n  component 119 \"Q-TEXT\" #6 end\n"
            "text 118 \"y\"\n");
}

}  // namespace
