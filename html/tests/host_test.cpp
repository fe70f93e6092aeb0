// The HTML library as the design tool uses it: through libtagsmith.so and the platform runtime
// only. HTML is tokenized into a tree under a Document the host owns, the tree is walked
// through its links, its elements give their text forms, and the checker repairs the nesting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html/checker.h"
#include "html/elem_kinds.h"
#include "html/layout.h"
#include "html/ordinals.h"
#include "html/parser.h"
#include "html/parser2.h"
#include "html/script_scanner.h"
#include "html/script_structure.h"
#include "html/selector_node.h"
#include "html/tag_token.h"
#include "html/token_reader.h"
#include "platform/kernel/win_module.h"
#include "platform/mfc/cmapstringtostring.h"
#include "platform/mfc/cmemfile.h"

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

// ---- every export by number, as the design tool binds them ------------------------------------

namespace ord = halyard::tagsmith::ordinal;

template <typename Fn>
Fn Bind(HMODULE lib, int number) {
  FARPROC proc = GetProcAddress(lib, MAKEINTRESOURCEA(number));
  EXPECT_NE(proc, nullptr) << "ordinal " << number;
  return halyard::ProcAs<Fn>(proc);
}

std::string Str(const CString& s) {
  return std::string(static_cast<const char*>(s), static_cast<std::size_t>(s.GetLength()));
}

// Raw, aligned memory for an object the host builds through a constructor ordinal.
template <typename T>
struct Room {
  alignas(T) unsigned char bytes[sizeof(T)];
  void* get() { return bytes; }
};

HMODULE Library() {
  static HMODULE lib = LoadLibraryA("Tagsmith.dll");
  return lib;
}

TEST(TagsmithOrdinals, EveryNumberFrom101To140ReachesAnEntryAndNoOther) {
  HMODULE lib = Library();
  ASSERT_NE(lib, nullptr);
  for (int n = ord::kFirst; n <= ord::kLast; ++n)
    EXPECT_NE(GetProcAddress(lib, MAKEINTRESOURCEA(n)), nullptr) << "ordinal " << n;
  EXPECT_EQ(GetProcAddress(lib, MAKEINTRESOURCEA(100)), nullptr);
  EXPECT_EQ(GetProcAddress(lib, MAKEINTRESOURCEA(141)), nullptr);
  // The numbers of the named exports reach those very functions.
  const std::pair<int, const char*> named[] = {
      {112, "_ZN7CheckerC1Ev"},
      {121, "_ZN7Parser2C1Ev"},
      {122, "_ZN12SelectorNodeC1EPS_N5Token4TypeE7CString"},
      {123, "_ZN12SelectorNodeC1EN5Token4TypeE7CString"},
      {124, "_ZN8TagTokenC1ERKS_"},
      {125, "_ZN7CheckerD1Ev"},
      {126, "_ZN12SelectorNodeD1Ev"},
      {127, "_ZN8TagTokenaSERKS_"},
      {128, "_ZN7Checker15AddCheckHandlerEv"},
      {129, "_ZN7Checker9CheckHtmlEP4Elem"},
      {130, "_ZN7Checker7CleanUpEv"},
      {131, "_ZN12SelectorNode4FindEN5Token4TypeE"},
      {132, "_ZN12CheckHandler16HandleCheckErrorEP4ElemN9CheckHtml5ErrorE"},
      {133, "_ZN7Checker16HandleCheckErrorEP4ElemN9CheckHtml5ErrorE"},
      {134, "_Z3LogPKcz"},
      {135, "_ZN12SelectorNode15MergePropertiesEP18CMapStringToString"},
      {136, "_ZN9UrlString8ParseUrlEPKcRjR7CStringS4_Rt"},
      {137, "_ZN7Checker12PopContainerEv"},
      {138, "_ZN9UrlString17Relative2AbsoluteEPKcS1_"},
      {139, "_ZN9UrlString13Relative2RootEPKcS1_"},
      {140, "_ZN12SelectorNode17parseCSSTagParamsEPPhjP18CMapStringToString"},
  };
  for (const auto& [number, name] : named) {
    FARPROC byName = GetProcAddress(lib, name);
    EXPECT_NE(byName, nullptr) << name;
    EXPECT_EQ(GetProcAddress(lib, MAKEINTRESOURCEA(number)), byName) << number;
  }
}

TEST(TagsmithOrdinals, AParserAndDocumentBuiltInHostMemoryScanAScriptTheHostWalks) {
  HMODULE lib = Library();
  ASSERT_NE(lib, nullptr);
  Room<Parser> parserRoom;
  Room<Document> docRoom;
  Parser* parser = Bind<ord::ConstructParserProc>(lib, 101)(parserRoom.get());
  Document* doc = Bind<ord::ConstructDocumentProc>(lib, 102)(docRoom.get());
  ASSERT_EQ(static_cast<void*>(parser), parserRoom.get());
  ASSERT_EQ(static_cast<void*>(doc), docRoom.get());
  EXPECT_EQ(doc->kind, ElemKind::Document);
  EXPECT_EQ(doc->type, 0);
  EXPECT_EQ(doc->flags, 0u);
  EXPECT_EQ(doc->name.GetLength(), 0);
  EXPECT_NE(doc->GetLayoutState(), nullptr);

  const std::string page =
      "<SCRIPT LANGUAGE=JavaScript><!--\nfunction f(a) { alert(a, \"x\"); }\nf(1);\n// -->"
      "</SCRIPT><P>x";
  parser->SetDocument(doc);
  parser->Parse(page.data(), static_cast<int>(page.size()));
  ScriptScanner* scanner = parser->GetScriptScanner();
  ASSERT_NE(scanner, nullptr);
  Bind<ord::ScriptScannerFinishProc>(lib, 109)(scanner);
  ScriptItemList* top = scanner->GetScriptItems();
  auto itemAt = Bind<ord::ScriptItemAtProc>(lib, 107);
  auto valueAt = Bind<ord::ScriptItemValueAtProc>(lib, 108);
  int count = 0;
  while (ScriptItem* item = itemAt(top, count)) {
    EXPECT_EQ(valueAt(top, count), reinterpret_cast<DWORD_PTR>(item));
    ++count;
  }
  EXPECT_EQ(count, top->GetCount());
  EXPECT_EQ(itemAt(top, -1), nullptr);
  EXPECT_EQ(valueAt(top, count), 0u);
  ASSERT_GE(count, 2);
  ASSERT_EQ(itemAt(top, 1)->GetKind(), ScriptItem::kFunction);
  auto* def = static_cast<ScriptFunction*>(itemAt(top, 1));
  EXPECT_EQ(def->GetSignature()->Name(), "f");
  ScriptItem* call = itemAt(&def->Items(), 1);
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->GetKind(), ScriptItem::kCall);
  CString text("//");
  Bind<ord::WriteScriptItemsProc>(lib, 115)(top, &text);
  EXPECT_EQ(Str(text), "//\nfunction f(a) { alert(a, \"x\"); }\nf(1);\n//    ");
  parser->End();
  parser->~Parser();
  EXPECT_GT(doc->ChildCount(), 2);
  doc->~Document();
}

TEST(TagsmithOrdinals, AScannerBuiltInHostMemoryScansFinishesAndGoes) {
  HMODULE lib = Library();
  ASSERT_NE(lib, nullptr);
  Room<ScriptScanner> room;
  ScriptScanner* s = Bind<ord::ConstructScriptScannerProc>(lib, 111)(room.get());
  auto scan = Bind<ord::ScriptScannerScanProc>(lib, 110);
  EXPECT_EQ(scan(s, "go(1, ", 6), 0);
  EXPECT_EQ(scan(s, "'</b>'); x</script>", 19), 10);
  EXPECT_EQ(Bind<ord::ScriptScannerReservedProc>(lib, 113)(s), 0);
  Bind<ord::ScriptScannerFinishProc>(lib, 109)(s);
  CString out;
  Bind<ord::WriteScriptItemsProc>(lib, 115)(s->GetScriptItems(), &out);
  EXPECT_EQ(Str(out), "go(1, '</b>'); x");
  Bind<ord::DestroyScriptScannerProc>(lib, 106)(s);
}

TEST(TagsmithOrdinals, TheBlockClassOfEveryTagTypeFollowsTheTable) {
  HMODULE lib = Library();
  ASSERT_NE(lib, nullptr);
  int expected[132] = {};
  for (int t : {1, 7, 8, 14, 22, 24, 29, 30, 35, 40, 53, 58, 60, 88, 89, 92, 96, 110, 111, 113})
    expected[t] = 33;
  expected[2] = expected[3] = 1;
  expected[18] = 2;
  for (int t : {28, 32, 33, 34, 38, 51, 65, 101}) expected[t] = 6;
  expected[4] = 7;
  for (int t : {21, 41, 69, 79, 112}) expected[t] = 22;
  for (int t : {44, 45, 46, 47, 48, 49, 82, 85}) expected[t] = 23;
  expected[31] = 30;
  expected[16] = 31;
  // An image element made by the library (null memory): a tree may own it.
  ImageTag* img = Bind<ord::ConstructImageTagProc>(lib, 114)(nullptr, FALSE, "IMG");
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->kind, ElemKind::Image);
  EXPECT_EQ(img->type, Token::IMG);
  EXPECT_FALSE(img->IsEnd());
  auto blockClass = Bind<ord::BlockClassProc>(lib, 105);
  for (int t = 0; t < 132; ++t) {
    img->type = static_cast<Token::Type>(t);
    int out = -1;
    EXPECT_EQ(blockClass(&out, img), &out);
    EXPECT_EQ(out, expected[t]) << "type " << t;
  }
  img->type = Token::IMG;
  Document doc;
  doc.Append(img);
  ImageTag* end = Bind<ord::ConstructImageTagProc>(lib, 114)(nullptr, TRUE, "IMG");
  EXPECT_TRUE(end->IsEnd());
  doc.Append(end);
  // Unlinking the last element answers the new last one.
  auto unlink = Bind<ord::UnlinkElemProc>(lib, 116);
  doc.SetCursor(end);
  EXPECT_EQ(unlink(&doc, end), img);
  EXPECT_EQ(end->parent, nullptr);
  EXPECT_EQ(doc.GetCursor(), nullptr);
  EXPECT_EQ(doc.lastChild, img);
  delete end;
}

TEST(TagsmithOrdinals, TagTokensAndTheReaderWorkThroughTheirNumbers) {
  HMODULE lib = Library();
  ASSERT_NE(lib, nullptr);
  const char page[] = "<a href=\"x.htm\" Target=top>";
  CMemFile file;
  file.Write(page, sizeof page - 1);
  file.SeekToBegin();
  Room<TokenReader> readerRoom;
  TokenReader* reader = Bind<ord::ConstructTokenReaderProc>(lib, 119)(readerRoom.get(), &file);
  ASSERT_EQ(reader->NextToken(), 3);
  Room<TagToken> a, b, c;
  TagToken* token = Bind<ord::ConstructTagTokenProc>(lib, 118)(a.get());
  ASSERT_NE(TokenReader::ParseTag(static_cast<const TokenReader*>(reader)->Token(), *token), 0);
  auto text = Bind<ord::TagTokenTextProc>(lib, 120);
  std::string written = Str(text(token));
  EXPECT_EQ(written.rfind("<a ", 0), 0u) << written;
  EXPECT_NE(written.find("href=\"x.htm\""), std::string::npos) << written;
  EXPECT_NE(written.find("Target=\"top\""), std::string::npos) << written;
  // Copy construction (124) and assignment (127) by their numbers.
  auto* copy = static_cast<TagToken*>(b.get());
  Bind<void (*)(TagToken*, const TagToken&)>(lib, 124)(copy, *token);
  EXPECT_EQ(Str(text(copy)), written);
  TagToken* assigned = Bind<ord::ConstructTagTokenProc>(lib, 118)(c.get());
  EXPECT_EQ(Bind<TagToken& (*)(TagToken*, const TagToken&)>(lib, 127)(assigned, *token).ToText(),
            token->ToText());
  auto destroy = Bind<ord::DestroyTagTokenProc>(lib, 117);
  destroy(token);
  destroy(copy);
  destroy(assigned);
  reader->~TokenReader();
}

TEST(TagsmithOrdinals, TheCheckerRunsThroughItsNumbers) {
  HMODULE lib = Library();
  ASSERT_NE(lib, nullptr);
  const std::string page = "<HTML><BODY><UL>one<LI>two</UL><TABLE><TD>cell</TABLE></BODY></HTML>";
  Document doc;
  Room<Parser2> parserRoom;
  Bind<void (*)(Parser2*)>(lib, 121)(static_cast<Parser2*>(parserRoom.get()));
  auto* parser = static_cast<Parser2*>(parserRoom.get());
  parser->SetDocument(&doc);
  parser->Parse(page.data(), static_cast<int>(page.size()));
  parser->End();
  parser->~Parser2();

  Room<Checker> room;
  auto* checker = static_cast<Checker*>(room.get());
  Bind<void (*)(Checker*)>(lib, 112)(checker);
  std::vector<std::string> trace;
  checker->SetTraceSink(&trace);
  Bind<void (*)(Checker*)>(lib, 128)(checker);
  EXPECT_EQ(Bind<Elem* (*)(Checker*, Elem*)>(lib, 129)(checker, &doc), nullptr);
  EXPECT_GT(checker->GetCorrectionCount(), 0);
  EXPECT_FALSE(trace.empty());
  // With nothing open, popping answers null; clean-up empties the stack.
  EXPECT_EQ(Bind<Tag* (*)(Checker*)>(lib, 137)(checker), nullptr);
  Bind<void (*)(Checker*)>(lib, 130)(checker);
  EXPECT_EQ(checker->GetOpenContainerCount(), 0u);

  // The checker hands an error to its handlers (133); a handler repairs what it is for (132).
  Document small;
  Elem* x = Bind<ord::ConstructImageTagProc>(lib, 114)(nullptr, FALSE, "IMG");
  Elem* y = Bind<ord::ConstructImageTagProc>(lib, 114)(nullptr, FALSE, "IMG");
  small.Append(x);
  small.Append(y);
  auto checkerError = Bind<Elem* (*)(Checker*, Elem*, CheckHtml::Error)>(lib, 133);
  EXPECT_EQ(checkerError(checker, x, CheckHtml::kDelete), y);
  EXPECT_EQ(small.ChildCount(), 1);
  CheckHandler handler(checker, CheckHtml::kDelete, &Checker::RepairDelete, nullptr);
  auto handlerError = Bind<Elem* (*)(CheckHandler*, Elem*, CheckHtml::Error)>(lib, 132);
  EXPECT_EQ(handlerError(&handler, y, CheckHtml::kTable), nullptr);  // not its error
  EXPECT_EQ(handlerError(&handler, y, CheckHtml::kDelete), nullptr);  // deleted, nothing after
  EXPECT_EQ(small.ChildCount(), 0);
  Bind<void (*)(Checker*)>(lib, 125)(checker);
}

TEST(TagsmithOrdinals, StyleNodesUrlHelpersAndTheTraceThroughTheirNumbers) {
  HMODULE lib = Library();
  ASSERT_NE(lib, nullptr);
  Room<SelectorNode> rootRoom;
  auto* root = static_cast<SelectorNode*>(rootRoom.get());
  Bind<void (*)(SelectorNode*, Token::Type, CString)>(lib, 123)(root, Token::BODY, CString("BODY"));
  auto* child = static_cast<SelectorNode*>(::operator new(sizeof(SelectorNode)));
  Bind<void (*)(SelectorNode*, SelectorNode*, Token::Type, CString)>(lib, 122)(
      child, root, Token::P, CString("P"));
  auto find = Bind<SelectorNode* (*)(SelectorNode*, Token::Type)>(lib, 131);
  EXPECT_EQ(find(root, Token::P), child);
  EXPECT_EQ(find(root, Token::TABLE), nullptr);

  CMapStringToString props;
  const char css[] = "color: red; font-family: 'Arial' } rest";
  auto* at = reinterpret_cast<unsigned char*>(const_cast<char*>(css));
  Bind<void (*)(unsigned char**, DWORD, CMapStringToString*)>(lib, 140)(
      &at, static_cast<DWORD>(sizeof css - 1), &props);
  CString value;
  EXPECT_TRUE(props.Lookup("COLOR", value));
  EXPECT_EQ(Str(value), "RED");
  EXPECT_TRUE(props.Lookup("FONT-FAMILY", value));
  EXPECT_EQ(Str(value), "ARIAL");
  EXPECT_GT(at, reinterpret_cast<unsigned char*>(const_cast<char*>(css)));
  Bind<void (*)(SelectorNode*, CMapStringToString*)>(lib, 135)(child, &props);
  EXPECT_TRUE(child->properties.Lookup("COLOR", value));
  // The root deletes its children as it goes.
  Bind<void (*)(SelectorNode*)>(lib, 126)(root);

  DWORD scheme = 0;
  CString host, path;
  WORD port = 0;
  EXPECT_EQ(Bind<int (*)(const char*, DWORD&, CString&, CString&, WORD&)>(lib, 136)(
                "http://h:8080/a/b.htm", scheme, host, path, port),
            1);
  EXPECT_EQ(scheme, 2u);
  EXPECT_EQ(Str(host), "h");
  EXPECT_EQ(port, 8080);
  EXPECT_EQ(Str(path), "/a/b.htm");
  EXPECT_EQ(Str(Bind<CString (*)(const char*, const char*)>(lib, 138)("http://h/a/b/c.htm",
                                                                      "../x.htm")),
            "http://h/a/x.htm");
  EXPECT_EQ(Str(Bind<CString (*)(const char*, const char*)>(lib, 139)("http://h/a/b/c.htm",
                                                                      "x.htm")),
            "http://h/x.htm");
  // The trace is off unless switched on: the call is harmless.
  Bind<void (*)(const char*, ...)>(lib, 134)("host %d\n", 1);
}

TEST(TagsmithOrdinals, TheLayoutMadeThroughItsNumbersPlacesComponentsAndFlowsText) {
  HMODULE lib = Library();
  ASSERT_NE(lib, nullptr);
  const std::string page =
      "<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY>Hello world<Q-TEXT POS=10,20,110,70>hi</Q-TEXT>"
      "<P>next<IMG SRC=x.gif WIDTH=40 HEIGHT=30></BODY></HTML>";
  Document doc;
  Parser parser;
  parser.SetDocument(&doc);
  parser.Parse(page.data(), static_cast<int>(page.size()));
  parser.End();
  Room<LayoutState> stateRoom;
  Room<LayoutContext> contextRoom;
  LayoutState* state = Bind<ord::ConstructLayoutStateProc>(lib, 103)(stateRoom.get());
  LayoutContext* context =
      Bind<ord::ConstructLayoutContextProc>(lib, 104)(contextRoom.get(), state, 0);
  context->Run(&doc);
  std::vector<std::string> placed;
  for (const LayoutState::Placed& p : state->Items()) {
    std::string line = std::to_string(p.kind) + " " + std::to_string(p.type) + " " +
                       std::to_string(p.component) + " " + std::to_string(p.rect.left) + "," +
                       std::to_string(p.rect.top) + "," + std::to_string(p.rect.right) + "," +
                       std::to_string(p.rect.bottom);
    placed.push_back(line);
  }
  const std::vector<std::string> expected = {
      "1 118 0 0,0,40,16",        // Hello
      "1 118 0 48,0,88,16",       // world
      "17 119 6 10,20,110,70",    // the component at its POS
      "1 118 0 0,16,32,32",       // next, after the paragraph's break
      "5 56 0 40,16,80,46",       // the image with its size
  };
  EXPECT_EQ(placed, expected);
  // The host asks where an element went; tags without a box of their own were not placed.
  EXPECT_EQ(state->Find(doc.firstChild), nullptr);
  const Elem* component = nullptr;
  for (const Elem* e = doc.firstChild; e; e = e->nextSibling)
    if (e->kind == ElemKind::Component) component = e;
  ASSERT_NE(component, nullptr);
  ASSERT_NE(state->Find(component), nullptr);
  EXPECT_EQ(state->Find(component)->rect.right, 110);
  context->~LayoutContext();
  state->~LayoutState();
}

}  // namespace
