// The structure the script scanner builds: statements, calls and their arguments, function
// definitions, and above all that the written text of the top-level list gives the script back.
#include "html/script_structure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "html/script_builder.h"
#include "html/script_scanner.h"
#include "html/script_text.h"

namespace {

using halyard::tagsmith::DumpScript;

// Scans script in pieces of pieceSize bytes (0: whole) and finishes it.
void Build(ScriptScanner& s, const std::string& script, std::size_t pieceSize = 0) {
  halyard::tagsmith::ScanScript(s, script.data(), script.size(), pieceSize);
  s.Finish();
}

std::string Dump(const std::string& script, std::size_t pieceSize = 0) {
  ScriptScanner s;
  Build(s, script, pieceSize);
  std::string out;
  DumpScript(*s.GetScriptItems(), out);
  return out;
}

std::string DumpStructure(ScriptScanner& s) {
  std::string out;
  DumpScript(*s.GetScriptItems(), out);
  return out;
}

std::string Written(const std::string& script, std::size_t pieceSize = 0) {
  ScriptScanner s;
  Build(s, script, pieceSize);
  std::string out;
  s.GetScriptItems()->Write(out);
  return out;
}

// The script as the structure gives it back: without "<!--", and the first "-->" of the last
// text run blanked (for these scripts, the last "-->" of the text).
std::string Expected(std::string script) {
  for (std::size_t at; (at = script.find("<!--")) != std::string::npos;) script.erase(at, 4);
  std::size_t close = script.rfind("-->");
  if (close != std::string::npos &&
      script.find_first_not_of(" \t\r\n;", close + 3) == std::string::npos)
    script.replace(close, 3, "   ");
  return script;
}

TEST(ScriptStructure, ACallWithItsArgumentThenTheRestOfTheStatement) {
  EXPECT_EQ(Dump("alert(x);"),
            "group\n"
            "  call alert\n"
            "    arg 0\n"
            "      text \"x\"\n"
            "  text \";\"\n");
}

TEST(ScriptStructure, AFunctionDefinitionKeepsItsSignatureApartAndWritesItsWholeText) {
  const std::string script = "function f(a,b){return a+b;}";
  ScriptScanner s;
  Build(s, script);
  ScriptItemList* top = s.GetScriptItems();
  ASSERT_EQ(top->GetCount(), 1);
  ASSERT_EQ(top->GetAt(0)->GetKind(), ScriptItem::kFunction);
  auto* def = static_cast<ScriptFunction*>(top->GetAt(0));
  EXPECT_TRUE(def->IsStructured());
  ScriptCall* sig = def->GetSignature();
  EXPECT_EQ(sig->Name(), "f");
  ASSERT_EQ(sig->GetArgumentCount(), 2);
  std::string a, b, body;
  sig->GetArgument(0)->Write(a);
  sig->GetArgument(1)->Write(b);
  def->Items().Write(body);
  EXPECT_EQ(a, "a");
  EXPECT_EQ(b, "b");
  EXPECT_EQ(body, "{return a+b;}");
  std::string written;
  top->Write(written);
  EXPECT_EQ(written, script);
  EXPECT_EQ(Dump(script), "function f(a,b)\n  text \"{return a+b;}\"\n");
}

TEST(ScriptStructure, NestedCallsStandInTheArgumentsOfTheirCaller) {
  EXPECT_EQ(Dump("f(g(1),2)"),
            "group\n"
            "  call f\n"
            "    arg 0\n"
            "      call g\n"
            "        arg 0\n"
            "          text \"1\"\n"
            "    arg 1\n"
            "      text \"2\"\n");
  EXPECT_EQ(Dump("a.b(c.d(e(1)))"),
            "group\n"
            "  call a.b\n"
            "    arg 0\n"
            "      call c.d\n"
            "        arg 0\n"
            "          call e\n"
            "            arg 0\n"
            "              text \"1\"\n");
}

TEST(ScriptStructure, FunctionBodiesHoldTheirCalls) {
  const std::string script =
      "function show(msg) {\n  if (msg) alert(msg, 1);\n  window.status = \"x\";\n}\n";
  EXPECT_EQ(Dump(script),
            "function show(msg)\n"
            "  text \" {\\n  if (msg) \"\n"
            "  call alert\n"
            "    arg 0\n"
            "      text \"msg\"\n"
            "    arg 1\n"
            "      text \" 1\"\n"
            "  text \";\\n  window.status = \\\"x\\\";\\n}\"\n"
            "group\n"
            "  text \"\\n\"\n");
  EXPECT_EQ(Written(script), script);
}

TEST(ScriptStructure, TheClosingMarkOfAnHtmlCommentIsBlankedAndItsOpeningDropped) {
  EXPECT_EQ(Written("<!--\nx = 1;\n// -->\n"), "\nx = 1;\n//    \n");
  // Only the last text run is looked at, and only its first mark.
  EXPECT_EQ(Written("a = '-->'; b(1)"), "a = '-->'; b(1)");
  EXPECT_EQ(Written("x--> y --> z"), "x    y --> z");
}

// Taken word for word, the rules let text slip away in these places; the structure keeps it.
TEST(ScriptStructure, StringArgumentsAreKept) {
  EXPECT_EQ(Written("f(\"x\")"), "f(\"x\")");
  EXPECT_EQ(Written("f('a', \"b\", 'c')"), "f('a', \"b\", 'c')");
  EXPECT_EQ(Dump("f(\"x\")"), "group\n  call f\n    arg 0\n      text \"\\\"x\\\"\"\n");
}

TEST(ScriptStructure, TheParenthesesOfAConditionWithoutACallAreKept) {
  EXPECT_EQ(Written("if (x) y = 1;"), "if (x) y = 1;");
  EXPECT_EQ(Written("while ((a + b) * 2 > c(d)) e();"), "while ((a + b) * 2 > c(d)) e();");
  EXPECT_EQ(Dump("if (f(x)) y();"),
            "group\n"
            "  text \"if (\"\n"
            "  call f\n"
            "    arg 0\n"
            "      text \"x\"\n"
            "  text \") \"\n"
            "  call y\n"
            "  text \";\"\n");
}

TEST(ScriptStructure, TextBeforeABracketStaysBeforeItsContents) {
  EXPECT_EQ(Written("a[b]"), "a[b]");
  EXPECT_EQ(Written("x = images[name].src; y[i][j] = z[k + 1];"),
            "x = images[name].src; y[i][j] = z[k + 1];");
  EXPECT_EQ(Dump("f(a[g(1)], 2)"),
            "group\n"
            "  call f\n"
            "    arg 0\n"
            "      text \"a[\"\n"
            "      call g\n"
            "        arg 0\n"
            "          text \"1\"\n"
            "      text \"]\"\n"
            "    arg 1\n"
            "      text \" 2\"\n");
}

TEST(ScriptStructure, EmptyArgumentsAndBlanksAroundTheParenthesisAreKept) {
  EXPECT_EQ(Dump("f()"), "group\n  call f\n");
  for (const char* s : {"f(a,)", "f(,)", "f( )", "f (x)", "function  g ( a , b ) { }", "f(a,\n b)"})
    EXPECT_EQ(Written(s), s);
}

TEST(ScriptStructure, FunctionsWrittenAsArgumentsStayInTheirCall) {
  const std::string script = "setTimeout(function () { go(1); }, 10); done();";
  EXPECT_EQ(Written(script), script);
  std::string dump = Dump(script);
  EXPECT_NE(dump.find("call setTimeout\n    arg 0\n      text \"function () { \"\n"
                      "      call go\n"),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("    arg 1\n      text \" 10\"\n"), std::string::npos) << dump;
  // A named function expression inside a call is not a definition of the statement.
  const std::string named = "el.on('x', function handler(e) { stop(e); });";
  EXPECT_EQ(Written(named), named);
  EXPECT_EQ(Dump(named).rfind("function", 0), std::string::npos) << Dump(named);
  EXPECT_EQ(Dump(named).find("\nfunction"), std::string::npos) << Dump(named);
}

TEST(ScriptStructure, AScriptCutShortIsWrittenAsItStood) {
  for (const char* s : {"f(a, b", "f(g(1", "function h(a", "function k", "x = [1, f(2"}) {
    EXPECT_EQ(Written(s), s);
  }
  EXPECT_EQ(Dump("f(a"), "group\n  call f unclosed\n    arg 0\n      text \"a\"\n");
}

TEST(ScriptStructure, StatementsOfTheTopLevelAreCutAtFunctionsAndClosingBraces) {
  const std::string script =
      "var n = 0;\nfunction a() { n++; }\nif (n) { b(); }\nfunction c(x) { return x; }\n";
  ScriptScanner s;
  Build(s, script);
  ScriptItemList* top = s.GetScriptItems();
  // The line end before a definition is a statement of its own.
  const ScriptItem::Kind kinds[] = {ScriptItem::kGroup, ScriptItem::kFunction, ScriptItem::kGroup,
                                    ScriptItem::kGroup, ScriptItem::kFunction, ScriptItem::kGroup};
  ASSERT_EQ(top->GetCount(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(top->GetAt(i)->GetKind(), kinds[i]) << i;
  std::string third;
  top->GetAt(2)->Write(third);
  EXPECT_EQ(third, "\nif (n) { b(); }");
  std::string all;
  top->Write(all);
  EXPECT_EQ(all, script);
}

TEST(ScriptStructure, CommentsInsideArgumentsAndBracketsStayWhereTheyStood) {
  const std::string script = "f(a, /* b) */ c, // d, e)\n g(h)) + x[/*]*/ 1]";
  EXPECT_EQ(Written(script), script);
  std::string dump = Dump(script);
  EXPECT_NE(dump.find("    arg 1\n      text \" /* b) */ c\"\n"), std::string::npos) << dump;
  EXPECT_NE(dump.find("    arg 2\n      text \" // d, e)\\n \"\n      call g\n"), std::string::npos)
      << dump;
}

TEST(ScriptStructure, PiecesOfAnySizeBuildTheSameStructure) {
  const std::string script =
      "<!--\nfunction swap(img, src) {\n  document.images[img].src = src; // \"x\"\n}\n"
      "var w = window.open('a.htm', 'w', 'width=' + (screen.width / 2));\n"
      "/* done( */ if (w) { w.focus(); } else alert(\"no\\\"pe\");\n//-->\n";
  const std::string whole = Dump(script);
  EXPECT_EQ(Written(script), Expected(script));
  for (std::size_t n = 1; n < 24; ++n) {
    EXPECT_EQ(Dump(script, n), whole) << "pieces of " << n;
    EXPECT_EQ(Written(script, n), Expected(script)) << "pieces of " << n;
  }
}

TEST(ScriptStructure, AnEndTagEndsTheTextOfTheScriptAlsoAcrossPieces) {
  const std::string page = "x = f('</b>'); // c\n</SCRIPT><P>after";
  for (std::size_t n = 1; n <= page.size(); ++n) {
    ScriptScanner s;
    std::size_t used = halyard::tagsmith::ScanScript(s, page.data(), page.size(), n);
    EXPECT_EQ(used, page.find("</SCRIPT>")) << n;
    s.Finish();
    std::string out;
    s.GetScriptItems()->Write(out);
    EXPECT_EQ(out, "x = f('</b>'); // c\n") << n;
  }
}

// The text items point into the scanner's own copy of the script, never into the caller's
// buffer: the structure stays whole when every piece was read from one reused buffer, written
// over after each piece and gone before the structure is written.
TEST(ScriptStructure, TheStructureOutlivesTheBuffersItWasReadFrom) {
  const std::string script =
      "function go(a, b) { return f(a[b], \"x\"); }\nvar s = g('one', h(2)) + k[1];\n"
      "if (s) { w.document.write('<p>' + s); }\n";
  for (std::size_t n : {std::size_t{1}, std::size_t{3}, std::size_t{7}, std::size_t{4096}}) {
    ScriptScanner s;
    {
      auto buffer = std::make_unique<char[]>(n);
      for (std::size_t at = 0; at < script.size(); at += n) {
        std::size_t len = std::min(n, script.size() - at);
        std::memcpy(buffer.get(), script.data() + at, len);
        ASSERT_EQ(s.ScanForEnd(buffer.get(), len), ScriptScanner::kGoesOn);
        std::memset(buffer.get(), '#', n);
      }
    }
    s.Finish();
    std::string out;
    s.GetScriptItems()->Write(out);
    EXPECT_EQ(out, script) << "pieces of " << n;
    EXPECT_EQ(DumpStructure(s), Dump(script)) << "pieces of " << n;
  }
}

// Only the script's part of a piece is kept: an end tag that is not one ("</scripts" in a string
// or comment) does not stop the script, "</" where a token begins does, and the page after the
// end is not part of it.
TEST(ScriptStructure, ThePieceIsReadUpToTheEndOfTheScript) {
  struct Case {
    std::string page;
    std::string script;
  };
  const std::string after = "<P>" + std::string(100, 'z');
  const Case cases[] = {
      {"a('</scripts>');\n</script>b(1);" + after, "a('</scripts>');\n"},
      {"a(1); /* </scriptx */ b(2);</SCRIPT\t>c(3);" + after, "a(1); /* </scriptx */ b(2);"},
      {"a(1);</scriptzz" + after, "a(1);"},
      {"a(1); x = 1 </ 2; b(2);</script>" + after, "a(1); x = 1 "},
      {"a(1); b('<' + c);", "a(1); b('<' + c);"},
  };
  for (const Case& c : cases) {
    ScriptScanner s;
    halyard::tagsmith::ScanScript(s, c.page.data(), c.page.size());
    s.Finish();
    std::string out;
    s.GetScriptItems()->Write(out);
    EXPECT_EQ(out, c.script) << c.page;
  }
}

// A run stays a view of the kept text while its stretches follow each other there, and holds a
// copy once text from elsewhere joins it; either way its text is the text appended, in order.
TEST(ScriptTextRun, ViewsOfOneStretchAndCopiesOfTheRest) {
  const std::string kept = "abcdefgh";
  ScriptTextRun run;
  EXPECT_TRUE(run.IsEmpty());
  run.AppendKept(kept.data(), 3);
  run.AppendKept(kept.data() + 3, 2);
  EXPECT_TRUE(run.IsKept());
  EXPECT_EQ(run.View(), "abcde");
  EXPECT_EQ(run.View().data(), kept.data());
  run.AppendKept(kept.data() + 6, 2);  // a gap: no longer one stretch
  EXPECT_FALSE(run.IsKept());
  EXPECT_EQ(run.View(), "abcdegh");
  run.AppendKept(kept.data(), 1);
  run.Append("!?", 2);
  EXPECT_EQ(run.View(), "abcdegha!?");
  run.Clear();
  EXPECT_TRUE(run.IsEmpty());
  run.AppendKept(kept.data() + 1, 2);
  EXPECT_TRUE(run.IsKept());
  run.Append("x", 1);
  EXPECT_EQ(run.View(), "bcx");
  run.Assign("new");
  EXPECT_EQ(run.View(), "new");
  run.AppendKept(kept.data(), 0);
  run.Append("", 0);
  EXPECT_EQ(run.View(), "new");
}

TEST(ScriptTextRun, ListsMergeKeptAndCopiedTextInOrder) {
  using halyard::tagsmith::AppendKeptText;
  using halyard::tagsmith::AppendRun;
  const std::string kept = "0123456789";
  ScriptItemList list;
  AppendKeptText(list, kept.data(), 2);
  AppendKeptText(list, kept.data() + 2, 3);
  ASSERT_EQ(list.GetCount(), 1);
  EXPECT_EQ(static_cast<ScriptText*>(list.GetAt(0))->Text().data(), kept.data());
  {
    std::string transient = "ab";
    list.AppendText(transient.data(), transient.size());
    transient = "##";
  }
  list.Append(halyard::tagsmith::NewKeptText(kept.data() + 5, 1));
  list.Append(new ScriptText("c", 1));
  ScriptTextRun run;
  run.AppendKept(kept.data() + 9, 1);
  AppendRun(list, run);
  auto* call = new ScriptCall;
  call->closed = true;
  list.Append(call);
  AppendRun(list, run);
  ASSERT_EQ(list.GetCount(), 3);
  std::string out;
  list.Write(out);
  EXPECT_EQ(out, "01234ab5c9()9");
  EXPECT_TRUE(static_cast<ScriptText*>(list.GetAt(2))->Run().IsKept());
}

TEST(ScriptStructure, FinishKeepsTheListAndResetEmptiesIt) {
  ScriptScanner s;
  Build(s, "a(1);");
  Build(s, "b(2);");
  std::string out;
  s.GetScriptItems()->Write(out);
  EXPECT_EQ(out, "a(1);b(2);");
  EXPECT_EQ(s.GetScriptItems()->GetCount(), 2);
  EXPECT_EQ(s.GetScriptItems()->GetAt(2), nullptr);
  EXPECT_EQ(s.GetScriptItems()->GetAt(-1), nullptr);
  EXPECT_EQ(s.Reserved(), 0);
  s.Reset();
  EXPECT_EQ(s.GetScriptItems()->GetCount(), 0);
  Build(s, "c;");
  out.clear();
  s.GetScriptItems()->Write(out);
  EXPECT_EQ(out, "c;");
}

TEST(ScriptStructure, ThePageScriptsAreReadInOrderAndEndAtTheirEndTags) {
  const std::string page =
      "<HTML><HEAD><SCRIPT LANGUAGE=\"JavaScript\"><!--\nfunction hi() { alert('hi'); }\n// -->"
      "</SCRIPT></HEAD><BODY onLoad=\"hi()\"><script>go(1)</script><p>text</p>"
      "<Script type=text/javascript>\nx = '</p>';\n</script></BODY></HTML>";
  for (std::size_t n : {0, 1, 3, 7}) {
    ScriptScanner s;
    EXPECT_EQ(halyard::tagsmith::ScanPageScripts(s, page.data(), page.size(), n), 3);
    s.Finish();
    std::string out;
    s.GetScriptItems()->Write(out);
    // One finish for the page: only its last text run is looked at for the closing mark.
    EXPECT_EQ(out, "\nfunction hi() { alert('hi'); }\n// -->go(1)\nx = '</p>';\n") << n;
  }
}

// Scripts of real pages: the written text of the statements gives each script back.
TEST(ScriptStructure, RealPageScriptsAreGivenBackWhole) {
  std::ifstream in(std::string(HALYARD_SOURCE_DIR) + "/html/tests/data/scripts.html",
                   std::ios::binary);
  ASSERT_TRUE(in) << "fixture missing";
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string page = ss.str();
  // Each script of the page on its own, so that each one's closing mark is the one blanked.
  int scripts = 0;
  for (std::size_t at = 0; (at = page.find("<script", at)) != std::string::npos;) {
    std::size_t open = page.find('>', at) + 1;
    std::size_t close = page.find("</script>", open);
    ASSERT_NE(close, std::string::npos);
    const std::string script = page.substr(open, close - open);
    EXPECT_EQ(Written(script), Expected(script)) << script;
    EXPECT_EQ(Written(script, 5), Expected(script)) << script;
    ++scripts;
    at = close;
  }
  EXPECT_GE(scripts, 4);
}

// Calls nest only so deep; beyond that the parentheses are text, and nothing is lost.
TEST(ScriptStructure, DeeplyNestedCallsAndLongChainsAreKeptWithoutDeepNesting) {
  std::string nested;
  for (int i = 0; i < 20000; ++i) nested += "f(";
  nested += "x";
  for (int i = 0; i < 20000; ++i) nested += ")";
  std::string chain = "g(";
  for (int i = 0; i < 20000; ++i) chain += "a(1).";
  chain += "b)";
  for (const std::string& script : {nested, chain, nested + ";" + chain}) {
    ScriptScanner s;
    Build(s, script, 4096);
    std::string out;
    s.GetScriptItems()->Write(out);
    EXPECT_EQ(out, script);
    const ScriptItem* group = s.GetScriptItems()->GetAt(0);
    ASSERT_NE(group, nullptr);
    const ScriptItem* call = static_cast<const ScriptGroup*>(group)->Items().GetAt(0);
    ASSERT_NE(call, nullptr);
    ASSERT_EQ(call->GetKind(), ScriptItem::kCall);
    EXPECT_LE(static_cast<const ScriptCall*>(call)->depth,
              2 * halyard::tagsmith::ScriptBuilder::kMaxCallNesting);
    EXPECT_GT(static_cast<const ScriptCall*>(call)->depth, 100);
  }
}

// Random token soup in random pieces: whatever the script, its text comes back.
TEST(ScriptStructure, RandomScriptsComeBackWhole) {
  static const char* const kPieces[] = {
      "f",       "g", "obj",  ".", "x",  "(",     ")",      "(",        ")",         ",",
      "[",       "]", "{",    "}", ";",  " ",     "\n",     "function", "function ", "var ",
      "if",      "1", "0x1F", "+", "==", "'s,)'", "\"d(\"", "/* (] */", "// ,)\n",   "\t",
      "return ", "!", "<!--", "?", ":",  "&&",    "a_b",    "\\"};
  std::mt19937 rng(20261208);
  for (int round = 0; round < 400; ++round) {
    std::string script;
    int n = static_cast<int>(rng() % 60);
    for (int i = 0; i < n; ++i) script += kPieces[rng() % (sizeof kPieces / sizeof *kPieces)];
    std::string expected = script;
    for (std::size_t at; (at = expected.find("<!--")) != std::string::npos;) expected.erase(at, 4);
    std::size_t piece = 1 + rng() % 9;
    std::string got = Written(script, piece);
    // The blanked closing mark aside (none of the pieces above makes one).
    ASSERT_EQ(got, expected) << "script: " << script << " pieces of " << piece;
  }
}

}  // namespace
