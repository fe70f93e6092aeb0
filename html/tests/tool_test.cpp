#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "platform/kernel/testing/scratch_dir.h"

namespace {

struct ToolResult {
  int code;
  std::string out;
};

// Runs the tagsmith tool with the arguments (a shell fragment), feeding input on stdin; the
// standard error goes with the output when asked for.
ToolResult Tool(const std::string& args, const std::string& input = "", bool withErrors = false) {
  // A folder of the process's own: CTest runs the tool tests as parallel processes.
  static halyard::testing::ScratchDir scratch("tagsmith_tool");
  static int inputs = 0;
  std::string in = scratch.Join("in" + std::to_string(inputs++));
  {
    std::ofstream f(in, std::ios::binary);
    f << input;
  }
  std::string cmd = std::string(HALYARD_BINARY_DIR) + "/bin/tagsmith " + args + " < '" + in + "' " +
                    (withErrors ? "2>&1" : "2>/dev/null");
  ToolResult r{-1, ""};
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) {
    std::remove(in.c_str());
    return r;
  }
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::remove(in.c_str());
  return r;
}

TEST(TagsmithTool, TokensPrintsTheTree) {
  ToolResult r = Tool("tokens", "<P ALIGN=center>Hi <Q-TEXT POS=1,2,3,4>x</Q-TEXT> there\n");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out,
            "paragraph 82 \"P\" ALIGN=\"center\"\n"
            "text 118 \"Hi\" space-after\n"
            "component 119 \"Q-TEXT\" #6 POS=\"1,2,3,4\"\n"
            "  text 118 \"x\"\n"
            "  component 119 \"Q-TEXT\" #6 end\n"
            "text 118 \"there\" space-before\n");
}

TEST(TagsmithTool, PiecesReaderAndSummary) {
  const std::string page = "<b>one two</b><!-- c --><img src=x>";
  ToolResult whole = Tool("tokens", page);
  ToolResult pieces = Tool("tokens --pieces 3", page);
  EXPECT_EQ(pieces.code, 0);
  EXPECT_EQ(pieces.out, whole.out);
  ToolResult reader = Tool("tokens --reader", page);
  EXPECT_EQ(reader.code, 0);
  EXPECT_EQ(reader.out, whole.out);
  ToolResult summary = Tool("tokens --summary", page);
  EXPECT_EQ(summary.out, "text 2\ncomment 1\ntag 2\nimage 1\ntotal 6\n");
}

TEST(TagsmithTool, WritePrintsTheTextForms) {
  ToolResult r = Tool("write", "<a href=x>link</a> <!-- a\nb --><Q-TEXT>in</Q-TEXT>");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "<A HREF=\"x\">link</A><!--  ab  --><Q-TEXT>in</Q-TEXT>\n");
}

TEST(TagsmithTool, UrlCommands) {
  ToolResult r = Tool("url parse http://h:8080/a/b.htm");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "result 1\nscheme 2\nhost \"h\"\nport 8080\npath \"/a/b.htm\"\n");
  r = Tool("url parse HTTP://x");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "result 0\nscheme 4096\nhost \"\"\nport 0\npath \"\"\n");
  r = Tool("url absolute http://h/a/b/c.htm ../x.htm");
  EXPECT_EQ(r.out, "http://h/a/x.htm\n");
  r = Tool("url root 'C:\\site\\a\\b.htm' x.htm");
  EXPECT_EQ(r.out, "C:\\x.htm\n");
}

TEST(TagsmithTool, HelpAndExitCodes) {
  ToolResult r = Tool("--help");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("usage: tagsmith tokens"), std::string::npos);
  EXPECT_EQ(Tool("tokens --help").code, 0);
  EXPECT_EQ(Tool("").code, 2);
  EXPECT_EQ(Tool("frobnicate").code, 2);
  EXPECT_EQ(Tool("tokens --pieces 0").code, 2);
  EXPECT_EQ(Tool("tokens --pieces").code, 2);
  EXPECT_EQ(Tool("tokens --bogus").code, 2);
  EXPECT_EQ(Tool("url parse").code, 2);
  EXPECT_EQ(Tool("url absolute a").code, 2);
  EXPECT_EQ(Tool("tokens /nonexistent/page.html").code, 3);
}

}  // namespace

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(TagsmithTool, EnvironmentSwitchesTheTraceOn) {
  halyard::testing::ScratchDir scratch("tagsmith_drive");
  const std::string& drive = scratch.path();
  ASSERT_EQ(std::system(("mkdir -p '" + drive + "/temp'").c_str()), 0);
  ToolResult r = Tool("tokens", "<b>\nx</b>");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(Slurp(drive + "/temp/html_log.txt"), "");  // off unless switched on
  // "1": the default file, c:\temp\html_log.txt, on drive C.
  std::string env = "HALYARD_DRIVE_C='" + drive + "' TAGSMITH_LOG=1 ";
  std::string input = drive + "/in.html";
  {
    std::ofstream f(input, std::ios::binary);
    f << "<b>\nx</b>";
  }
  ASSERT_EQ(
      std::system(
          (env + HALYARD_BINARY_DIR + "/bin/tagsmith tokens '" + input + "' > /dev/null").c_str()),
      0);
  EXPECT_EQ(Slurp(drive + "/temp/html_log.txt"),
            "[line 1] tag: 8 'B'\r\n[line 2] text: '\r\nx'\r\n[line 2] tag: 8 'B'\r\n");
  // Any other value names the file.
  ASSERT_EQ(std::system(("HALYARD_DRIVE_C='" + drive + "' TAGSMITH_LOG='c:\\other.txt' " +
                         HALYARD_BINARY_DIR + "/bin/tagsmith tokens '" + input + "' > /dev/null")
                            .c_str()),
            0);
  EXPECT_EQ(Slurp(drive + "/other.txt").substr(0, 20), "[line 1] tag: 8 'B'\r");
  std::error_code ignored;
  std::filesystem::remove_all(drive, ignored);
}

}  // namespace

namespace {

class CheckTool : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = std::make_unique<halyard::testing::ScratchDir>("tagsmith_check");
    dir_ = scratch_->path();
  }
  std::string Put(const std::string& name, const std::string& text) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::unique_ptr<halyard::testing::ScratchDir> scratch_;
  std::string dir_;
};

TEST_F(CheckTool, RepairsStandardInputAndTellsByItsExitCode) {
  ToolResult fixed = Tool("check", "hello");
  EXPECT_EQ(fixed.code, 1);
  EXPECT_EQ(fixed.out, "<HTML><BODY>hello</BODY></HTML>\n");
  ToolResult clean = Tool("check", "<HTML><BODY>hello</BODY></HTML>");
  EXPECT_EQ(clean.code, 0);
  EXPECT_EQ(clean.out, "<HTML><BODY>hello</BODY></HTML>\n");
}

TEST_F(CheckTool, ErrorsShowsTheCheckersLinesOnly) {
  ToolResult r = Tool("check --errors", "<HTML><BODY><TITLE>x<B>y</TITLE></BODY></HTML>");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out,
            "CheckHtml : Error 7 BODY Content Container type 17 Can't Contain type 108\n"
            "Correction : Move to before Body 108\n"
            "CheckHtml : Error 5 HTML Tag type 52 Can't Contain type 108\n"
            "Correction : Add Start Tag type 50\n"
            "CheckHtml : Error 2 PCData Container type 108 Can't Contain type 8\n"
            "Correction : Remove \n"
            "CheckHtml : Error 6 HEAD Container type 50 Can't Contain type 17\n"
            "Correction : Add End Tag type 50\n");
}

TEST_F(CheckTool, SetChangesASwitch) {
  ToolResult on = Tool("check --set addListItem=on", "<HTML><BODY><UL>x</UL></BODY></HTML>");
  EXPECT_EQ(on.out, "<HTML><BODY><UL><LI>x</LI></UL></BODY></HTML>\n");
  ToolResult off = Tool("check", "<HTML><BODY><UL>x</UL></BODY></HTML>");
  EXPECT_EQ(off.out, "<HTML><BODY><UL></UL>x</BODY></HTML>\n");
  EXPECT_EQ(Tool("check --set bogus=on").code, 2);
  EXPECT_EQ(Tool("check --set addOption=maybe").code, 2);
}

TEST_F(CheckTool, KeepsTheToolsSharedUsageAndHelp) {
  // A usage error names the tool, says what was wrong and repeats the synopsis, check included.
  ToolResult bad = Tool("check --set bogus=on", "", true);
  EXPECT_EQ(bad.code, 2);
  EXPECT_EQ(bad.out.rfind("tagsmith: unknown switch 'bogus'\nusage: tagsmith tokens", 0), 0u)
      << bad.out;
  EXPECT_NE(bad.out.find("\n       tagsmith check [--errors] [--set NAME=on|off]... [-o DIR] "
                         "[FILE]...\n"),
            std::string::npos);
  EXPECT_EQ(Tool("check -o", "", true).out.rfind("tagsmith: -o needs a folder\n", 0), 0u);
  ToolResult help = Tool("--help");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("\ncheck     tokenizes each FILE"), std::string::npos);
  EXPECT_NE(help.out.find("--set NAME=on|off change a correction switch"), std::string::npos);
  EXPECT_EQ(Tool("check --help").out, help.out);
  // A file that cannot be read is reported in the tools' words.
  ToolResult missing = Tool("check '" + dir_ + "/none.html'", "", true);
  EXPECT_EQ(missing.code, 3);
  EXPECT_EQ(missing.out,
            "tagsmith: cannot read " + dir_ + "/none.html: No such file or directory\n");
}

TEST_F(CheckTool, SeveralFilesGoToAFolderAndAnUnreadableOneDoesNotStopTheRest) {
  std::string a = Put("a.html", "<HTML><BODY>a</BODY></HTML>");
  std::string b = Put("b.html", "b");
  std::string out = dir_ + "/out";
  ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
  ToolResult r = Tool("check -o '" + out + "' '" + a + "' '" + dir_ + "/missing.html' '" + b + "'");
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Get(out + "/a.html"), "<HTML><BODY>a</BODY></HTML>\n");
  EXPECT_EQ(Get(out + "/b.html"), "<HTML><BODY>b</BODY></HTML>\n");
  ToolResult both = Tool("check '" + a + "' '" + b + "'");
  EXPECT_EQ(both.code, 1);
  EXPECT_EQ(both.out, "<HTML><BODY>a</BODY></HTML>\n<HTML><BODY>b</BODY></HTML>\n");
}

TEST_F(CheckTool, CorrectionLimitIsReportedAndTheNextFileGoesOn) {
  std::string strays = "<HTML><BODY>";
  for (int i = 0; i < 4200; ++i) strays += "</B>";
  std::string a = Put("many.html", strays);
  std::string b = Put("fine.html", "<HTML><BODY>ok</BODY></HTML>");
  ToolResult r = Tool("check --errors '" + a + "' '" + b + "'");
  EXPECT_EQ(r.code, 1);
  // 4096 corrections traced for the first page, nothing for the second.
  std::size_t deletes = 0;
  for (std::size_t at = 0; (at = r.out.find("Correction : Delete.\n", at)) != std::string::npos;
       ++at)
    ++deletes;
  EXPECT_EQ(deletes, 4096u);
}

TEST(TagsmithTool, ScriptPrintsTheStructureOrGivesTheScriptBack) {
  const std::string script = "<!--\nfunction f(a) { g(a, \"x\"); }\nf(1);\n// -->\n";
  ToolResult r = Tool("script", script);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out,
            "group\n"
            "  text \"\\n\"\n"
            "function f(a)\n"
            "  text \" { \"\n"
            "  call g\n"
            "    arg 0\n"
            "      text \"a\"\n"
            "    arg 1\n"
            "      text \" \\\"x\\\"\"\n"
            "  text \"; }\"\n"
            "group\n"
            "  text \"\\n\"\n"
            "  call f\n"
            "    arg 0\n"
            "      text \"1\"\n"
            "  text \";\\n//    \\n\"\n");
  r = Tool("script --text --pieces 3", script);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "\nfunction f(a) { g(a, \"x\"); }\nf(1);\n//    \n");
  // A page: the scripts of its SCRIPT elements, in order.
  r = Tool("script --text", "<P>a<SCRIPT>x(1)</SCRIPT><script language=JavaScript>y</script>");
  EXPECT_EQ(r.out, "x(1)y");
  EXPECT_EQ(Tool("script --pieces 0", "").code, 2);
  EXPECT_EQ(Tool("script /nonexistent/file.js").code, 3);
}

TEST(TagsmithTool, LayoutPrintsWhereEachElementWent) {
  ToolResult r = Tool("layout", "Hi <Q-TEXT POS=10,20,110,70>x</Q-TEXT><IMG WIDTH=5 HEIGHT=6>");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out,
            "text 118 0,0,16,16\n"
            "component 119 #6 10,20,110,70\n"
            "image 56 24,0,29,6\n");
}

TEST(TagsmithTool, ExportsFindsEveryNumberAndName) {
  ToolResult r = Tool("exports");
  EXPECT_EQ(r.code, 0) << r.out;
  for (int n = 101; n <= 140; ++n) {
    std::string line = "\n" + std::to_string(n) + " ";
    EXPECT_NE(("\n" + r.out).find(line), std::string::npos) << n;
  }
  EXPECT_EQ(r.out.find("missing"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n112 Checker::Checker()\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nCheckHandler::HandleCheckError(Elem*, CheckHtml::Error) = 132\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(Tool("exports extra").code, 2);
}

}  // namespace
