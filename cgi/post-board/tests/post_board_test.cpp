#include <csignal>
#include <set>
#include <string>
#include <vector>

#include "board_fixture.h"

namespace halyard::cgitest {
namespace {

struct Shown {
  std::string n = "0", thread = "2", name = "Ann", email = "ann@example.org", subject = "Hello";
  std::string realTime = "Tue, 08 Dec 2026 01:00:00 GMT", time = "1000";
  std::string bodyOnDisk = "First line\r<br>second";
};

// The message page as the board's frames load it, line by line.
std::string ExpectedPage(const Shown& s) {
  return Crlf(
             "<html> \n"
             "  <META HTTP-EQUIV=\"Expires\" CONTENT=\"Sat, 29 Sep 1973 23:59:00 GMT\">\t\n"
             "  <head> <title>$subject</title>  </head>\t\n"
             " <body bgcolor=\"#FFFFFF\" > \n"
             " <script language=\"JavaScript\"> \n"
             "\t<!--\t\n"
             "     var coun = navigator.appVersion.indexOf(\"(\")\t  \n"
             "     var last = navigator.appVersion.lastIndexOf(\";\")\t \n"
             " \t\tvar previous = parent.returnNgbr(" +
             s.n + ",\"Prev\");\t\n\t\t\tvar next = parent.returnNgbr(" + s.n +
             ",\"Next\");\t\n"
             " \t\t\tdocument.write('<a href=\"'+previous+'\" target=\"message\" > <img "
             "src=\"../image/previous.gif\" border=\"0\"></a>');\t\n"
             " \t\tdocument.write('<a href=\"'+next+'\" target=\"message\" > <img "
             "src=\"../image/next.gif\" border=\"0\"></a>');\t\n"
             "     document.write('<a href=\"http://host/cgi-bin/board-form.cgi?" +
             s.thread +
             "\" target=\"message\"><img src=\"../image/reply.gif\" border=\"0\"></a><br>'); \n"
             " \t//-->\t \n"
             " </script><hr>\t\n"
             " <pre>\t\t\n"
             "<b>Name</b>:   " +
             s.name + "\t \n<b>Email</b>:  <a href=\"mailto:" + s.email + "\">" + s.email +
             "</a>\t\n<b>Subject</b>:" + s.subject + "\n<b>Thread</b>: " + s.thread +
             "\n<b>Time</b>:   " + s.realTime + "\n</pre><hr>\t\n <!-- since 1/1/70 GMT " + s.time +
             "-->\n <b> \n") +
         s.bodyOnDisk + Crlf("\n</b> \n </body> \n</html>\n");
}

std::string Line(const std::string& subject, const std::string& time, const std::string& date,
                 const std::string& name, const std::string& thread, const std::string& n,
                 const std::string& parent) {
  return "parent.addpbbsArray(\"" + subject + "\",\"" + time + "\",\"" + date + "\",\"" + name +
         "\"," + thread + ",\"message/" + n + ".html\",\"" + parent + "\",\"" + n + "\")\r\n";
}

std::string IndexWith(const std::string& lines) { return kTemplateHead + lines + kMarker + kTail; }

TEST_F(BoardTest, WholeCycleFromSetUpToASecondLineBelowTheFirst) {
  // Set-up and the new-message form.
  CgiResult form = Form("");
  EXPECT_NE(form.out.find("<font size=4>New Message: \r\n2</font>\r\n"), std::string::npos);
  EXPECT_EQ(Message("thread_counter"), "3\r\n");
  EXPECT_EQ(Message("counter"), "0\r\n");
  EXPECT_EQ(Message("bbs-data.html"), kTemplateHead + kMarker + kTail + "\r\n");

  // The first post opens thread 2 as message 0.
  PostForm first;
  EXPECT_EQ(Post(first.Encode()).out, kSuccessReply);
  EXPECT_EQ(Message("0.html"), ExpectedPage(Shown{}));
  EXPECT_EQ(Message("counter"), "1\r\n");
  std::string line0 = Line("Hello", "1000", "Tue, 08 Dec 2026 01:00:00 GMT", "Ann", "2", "0", "1");
  EXPECT_EQ(Message("bbs-data.html"), IndexWith(line0));

  // The reply form of thread 2 changes no file.
  auto before = Snapshot();
  form = Form("2");
  EXPECT_NE(form.out.find("<font size=4>Reply to Message:\r\n2</font>\r\n"), std::string::npos);
  EXPECT_NE(form.out.find("NAME=\"parent\" VALUE= \"0\">"), std::string::npos);
  EXPECT_EQ(Snapshot(), before);

  // The reply goes in below the first line.
  PostForm reply;
  reply.name = "Bob";
  reply.subject = "Re%3A+Hello";
  reply.parent = "0";
  reply.body = "Thanks";
  reply.time = "2000";
  EXPECT_EQ(Post(reply.Encode()).out, kSuccessReply);
  Shown shown;
  shown.n = "1";
  shown.name = "Bob";
  shown.subject = "Re: Hello";
  shown.bodyOnDisk = "Thanks";
  shown.time = "2000";
  EXPECT_EQ(Message("1.html"), ExpectedPage(shown));
  EXPECT_EQ(Message("counter"), "2\r\n");
  EXPECT_EQ(Message("bbs-data.html"),
            IndexWith(line0 + Line("Re: Hello", "2000", "Tue, 08 Dec 2026 01:00:00 GMT", "Bob", "2",
                                   "1", "0")));
  EXPECT_EQ(Message("0.html"), ExpectedPage(Shown{}));
}

class PostTest : public BoardTest {
 protected:
  void SetUp() override {
    BoardTest::SetUp();
    Form("");  // set the board up
  }
  void ExpectRefusedUntouched(const std::string& data) {
    auto before = Snapshot();
    EXPECT_EQ(Post(data).out, kErrorReply) << data;
    EXPECT_EQ(Snapshot(), before) << data;
  }
};

TEST_F(PostTest, ExactlyTheEightFieldsAreRequired) {
  PostForm f;
  ExpectRefusedUntouched("");
  ExpectRefusedUntouched(f.Encode() + "&name=Eve");  // a ninth known field
  ExpectRefusedUntouched(f.Encode().substr(0, f.Encode().find("&RealTime")));  // seven
  ExpectRefusedUntouched("Name=x&" + f.Encode().substr(f.Encode().find("&email") + 1));
  // Unknown fields are ignored, and an empty known field is still a field.
  f.body = "";
  EXPECT_EQ(Post("x=1&" + f.Encode() + "&extra=2").out, kSuccessReply);
  EXPECT_EQ(Message("counter"), "1\r\n");
}

TEST_F(PostTest, AMarkerBeforeTheEightEndsTheWalkOneAfterThemDoesNot) {
  PostForm f;
  f.body = "";
  // "bodya" begins with no digit: no marker, and no field of the board either.
  EXPECT_EQ(Post("bodya=TRUE&" + f.Encode()).out, kSuccessReply);
  ExpectRefusedUntouched("5a=TRUE&5=&" + f.Encode());
  EXPECT_EQ(Post(f.Encode() + "&5a=TRUE&5=").out, kSuccessReply);
}

TEST_F(PostTest, FieldValuesAreDecodedAndPlacedAsTheBoardExpects) {
  PostForm f;
  f.subject = "a%22b%5Cc";  // a"b\c
  f.body = "a%0D%0Ab";
  f.realTime = "Mon,_01_Jan";
  f.name = "J+Smith%21";
  EXPECT_EQ(Post(f.Encode()).out, kSuccessReply);
  std::string page = Message("0.html");
  EXPECT_NE(page.find("<title>$subject</title>"), std::string::npos);
  EXPECT_NE(page.find("<b>Subject</b>:a&quot;b\\c\r\n"), std::string::npos);
  EXPECT_NE(page.find("<b>Name</b>:   J Smith!\t \r\n"), std::string::npos);
  EXPECT_NE(page.find("<b>Time</b>:   Mon, 01 Jan\r\n"), std::string::npos);
  EXPECT_NE(page.find(" <b> \r\na\r<br>b\r\n</b> \r\n"), std::string::npos);
  EXPECT_EQ(Message("bbs-data.html"),
            IndexWith(Line("a\\\"b\\\\c", "1000", "Mon, 01 Jan", "J Smith!", "2", "0", "1")));
}

TEST_F(PostTest, PostBodyEndsAtARawLineFeedOrNulAndLowerCasePostReadsInput) {
  PostForm f;
  CgiRun run = Run("post-board", "post", f.Encode() + "\n&name=second");
  EXPECT_EQ(Checked(RunCgi(run)).out, kSuccessReply);
  run = Run("post-board", "POST", f.Encode() + std::string(1, '\0') + "&name=second");
  EXPECT_EQ(Checked(RunCgi(run)).out, kSuccessReply);
  EXPECT_EQ(Message("counter"), "2\r\n");
  // Without a method the data comes from the query, as for a GET.
  run = Run("post-board", "", f.Encode());
  EXPECT_EQ(Checked(RunCgi(run)).out, kSuccessReply);
  EXPECT_EQ(Message("counter"), "3\r\n");
}

TEST_F(PostTest, AnyOtherMethodTakesItsDataFromTheQuery) {
  PostForm f;
  CgiRun run = Run("post-board", "PUT", "");
  run.input = f.Encode();  // not read
  auto before = Snapshot();
  EXPECT_EQ(Checked(RunCgi(run)).out, kErrorReply);
  EXPECT_EQ(Snapshot(), before);
  run = Run("post-board", "DELETE", f.Encode());
  EXPECT_EQ(Checked(RunCgi(run)).out, kSuccessReply);
  EXPECT_EQ(Message("counter"), "1\r\n");
}

TEST_F(PostTest, ThirtyTwoPostsAtOnceGetThirtyTwoNumbersPagesAndLines) {
  std::vector<CgiRun> runs;
  for (int i = 0; i < 32; ++i) {
    PostForm f;
    f.subject = "post" + std::to_string(i);
    runs.push_back(PostRun(f.Encode()));
  }
  std::vector<CgiResult> results = RunCgiTogether(runs);
  for (const CgiResult& r : results) EXPECT_EQ(Checked(r).out, kSuccessReply);
  EXPECT_EQ(Message("counter"), "32\r\n");
  std::string index = Message("bbs-data.html");
  std::set<std::string> subjects;
  for (int n = 0; n < 32; ++n) {
    std::string page = Message(std::to_string(n) + ".html");
    std::size_t at = page.find("<b>Subject</b>:");
    ASSERT_NE(at, std::string::npos) << n;
    std::string subject = page.substr(at + 15, page.find('\r', at) - at - 15);
    subjects.insert(subject);
    // Each message's line names its own page and number.
    EXPECT_NE(index.find("\"" + subject + "\",\"1000\""), std::string::npos);
    EXPECT_NE(index.find(",2,\"message/" + std::to_string(n) + ".html\",\"1\",\"" +
                         std::to_string(n) + "\")\r\n"),
              std::string::npos);
  }
  EXPECT_EQ(subjects.size(), 32u);
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = index.find("parent.addpbbsArray(", at)) != std::string::npos; ++at)
    ++lines;
  EXPECT_EQ(lines, 32u);
  EXPECT_EQ(index.substr(index.size() - kMarker.size() - kTail.size()), kMarker + kTail);
}

TEST_F(PostTest, AnIndexTooLargeToRewriteIsKeptWholeAndTheFailureReported) {
  // A full disk, as the file size limit makes it: the new index cannot be written completely.
  std::string big = kTemplateHead + std::string(20000, ' ') + "\r\n" + kMarker + kTail;
  WriteFile(messageDir() + "/bbs-data.html", big);
  auto before = Snapshot();
  CgiRun run = PostRun(PostForm{}.Encode());
  run.fileSizeLimit = static_cast<long>(big.size()) + 10;
  EXPECT_EQ(Checked(RunCgi(run)).out, kErrorReply);
  // The page written before the index is taken back, the counter keeps its number, and no
  // temporary file stays behind.
  EXPECT_EQ(Snapshot(), before);
  // With room again, the same number is taken.
  EXPECT_EQ(Post(PostForm{}.Encode()).out, kSuccessReply);
  EXPECT_TRUE(FileExists(messageDir() + "/0.html"));
  EXPECT_EQ(Message("counter"), "1\r\n");
}

TEST_F(PostTest, AnUpdateCutShortLeavesTheIndexWholeAndOnlyAHiddenTmpFile) {
  // Killed while it writes the new index: the old index stands, and what is left over has a
  // name the published site's server refuses (a leading dot, ".tmp" at the end).
  std::string big = kTemplateHead + std::string(20000, ' ') + "\r\n" + kMarker + kTail;
  WriteFile(messageDir() + "/bbs-data.html", big);
  auto before = Snapshot();
  CgiRun run = PostRun(PostForm{}.Encode());
  run.fileSizeLimit = static_cast<long>(big.size()) + 10;
  run.killAtFileSizeLimit = true;
  CgiResult r = RunCgi(run);
  EXPECT_EQ(r.status, 128 + SIGXFSZ);
  EXPECT_EQ(Message("bbs-data.html"), big);
  EXPECT_EQ(Message("counter"), "0\r\n");
  std::vector<std::string> left;
  for (const auto& [name, bytes] : Snapshot())
    if (before.count(name) == 0) left.push_back(name);
  // The message's page, written before the index, the new counter waiting for the index,
  // and the cut-off new index.
  ASSERT_EQ(left.size(), 3u);
  EXPECT_EQ(left[0].rfind(".bbs-data.html.", 0), 0u) << left[0];
  EXPECT_EQ(left[1].rfind(".counter.", 0), 0u) << left[1];
  EXPECT_EQ(left[2], "0.html");
  for (const std::string& temp : {left[0], left[1]}) EXPECT_TRUE(temp.ends_with(".tmp")) << temp;
  // The board goes on: the next post takes the next free number and is listed.
  EXPECT_EQ(Post(PostForm{}.Encode()).out, kSuccessReply);
  EXPECT_NE(Message("bbs-data.html").find("\"message/1.html\",\"1\",\"1\")"), std::string::npos);
}

TEST_F(PostTest, APageThatCannotBeWrittenIsReportedAndNothingIsStored) {
  auto before = Snapshot();
  CgiRun run = PostRun(PostForm{}.Encode());
  run.fileSizeLimit = 900;  // less than one message page
  EXPECT_EQ(Checked(RunCgi(run)).out, kErrorReply);
  before.erase("board.lock");
  auto after = Snapshot();
  after.erase("board.lock");
  EXPECT_EQ(after, before);
}

TEST_F(PostTest, AnIndexThatCannotTakeTheLineLeavesNoPageAndTheCounterAsItWas) {
  // No marker line, and then no index at all: the message cannot be listed, so nothing of it
  // stays.
  EXPECT_EQ(Post(PostForm{}.Encode()).out, kSuccessReply);
  WriteFile(messageDir() + "/bbs-data.html", "no marker here\r\n");
  ExpectRefusedUntouched(PostForm{}.Encode());
  ::unlink((messageDir() + "/bbs-data.html").c_str());
  ExpectRefusedUntouched(PostForm{}.Encode());
  EXPECT_EQ(Message("counter"), "1\r\n");
  EXPECT_FALSE(FileExists(messageDir() + "/1.html"));
  // An index that is a folder cannot be rewritten either.
  MakeDirs(messageDir() + "/bbs-data.html");
  ExpectRefusedUntouched(PostForm{}.Encode());
}

TEST_F(PostTest, ABoardThatDoesNotExistGetsTheErrorPage) {
  WriteFile(cgiDir() + "/bbs_NT.cfg", "..\\no-such-board\nhttp://host/cgi-bin/");
  CgiResult r = Post(PostForm{}.Encode());
  EXPECT_EQ(r.out, kHeader +
                       "<html>\r\n<meta http-equiv=\"Refresh\" content=\"0; "
                       "URL=../no-such-board/html/error.html\"> \r\n</html>");
  EXPECT_FALSE(FileExists(dir_ / "no-such-board"));
}

TEST_F(PostTest, AMissingConfigurationUsesTheMessageFolderOfTheCurrentDrive) {
  ::unlink((cgiDir() + "/bbs_NT.cfg").c_str());
  MakeDirs(dir_ / "c/message");
  WriteFile(dir_ / "c/message/bbs-data.html", IndexWith(""));
  WriteFile(dir_ / "c/message/counter", "4\r\n");
  CgiResult r = Post(PostForm{}.Encode());
  EXPECT_EQ(r.out, kHeader +
                       "<html><meta http-equiv=\"Refresh\" content=\"0; "
                       "URL=/html/success.html\"></html>");
  EXPECT_TRUE(FileExists(dir_ / "c/message/4.html"));
  EXPECT_EQ(ReadFile(dir_ / "c/message/counter"), "5\r\n");
}

TEST_F(PostTest, ALostCounterNeverOverwritesAnExistingPage) {
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Post(PostForm{}.Encode()).out, kSuccessReply);
  std::string page1 = Message("1.html");

  // Counter gone: numbering goes on above the pages that exist.
  ::unlink((messageDir() + "/counter").c_str());
  EXPECT_EQ(Post(PostForm{}.Encode()).out, kSuccessReply);
  EXPECT_TRUE(FileExists(messageDir() + "/3.html"));
  EXPECT_EQ(Message("counter"), "4\r\n");

  // Counter set back: the taken numbers are skipped.
  WriteFile(messageDir() + "/counter", "1\r\n");
  EXPECT_EQ(Post(PostForm{}.Encode()).out, kSuccessReply);
  EXPECT_EQ(Message("1.html"), page1);
  EXPECT_TRUE(FileExists(messageDir() + "/4.html"));
  EXPECT_EQ(Message("counter"), "5\r\n");

  // A counter that holds no number counts as lost.
  WriteFile(messageDir() + "/counter", "garbage\r\n");
  EXPECT_EQ(Post(PostForm{}.Encode()).out, kSuccessReply);
  EXPECT_TRUE(FileExists(messageDir() + "/5.html"));
  EXPECT_NE(Message("bbs-data.html").find("\"message/5.html\",\"1\",\"5\")"), std::string::npos);
}

TEST_F(PostTest, VisitorsTextCannotPlantMarkupOrScript) {
  PostForm f;
  f.subject = "%3C%2Fscript%3E%3Cscript%3Ealert(1)%3C%2Fscript%3E";
  f.name = "a%22b%5C";
  f.email = "x%22+onmouseover%3D%22alert(1)";
  f.body = "%3Cb%3Ebold%3C%2Fb%3E+%26+more%0Anext";
  f.realTime = "now%0D%0A%22x";
  EXPECT_EQ(Post(f.Encode()).out, kSuccessReply);
  std::string page = Message("0.html");
  EXPECT_NE(page.find("<b>Subject</b>:&lt;/script&gt;&lt;script&gt;alert(1)&lt;/script&gt;\r\n"),
            std::string::npos);
  EXPECT_NE(page.find("<b>Name</b>:   a&quot;b\\\t \r\n"), std::string::npos);
  EXPECT_NE(page.find("<a href=\"mailto:x&quot; onmouseover=&quot;alert(1)\">x&quot; "
                      "onmouseover=&quot;alert(1)</a>"),
            std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;bold&lt;/b&gt; &amp; more<br>next"), std::string::npos);
  EXPECT_NE(page.find("<b>Time</b>:   now\r\r\n&quot;x\r\n"), std::string::npos);
  EXPECT_EQ(Message("bbs-data.html"),
            IndexWith(Line("\\x3C/script>\\x3Cscript>alert(1)\\x3C/script>", "1000",
                           "now\\r\\n\\\"x", "a\\\"b\\\\", "2", "0", "1")));
}

TEST_F(PostTest, NumbersThatStandUnquotedInTheScriptMustBeDigits) {
  for (auto field : {&PostForm::thread, &PostForm::parent, &PostForm::time}) {
    for (const char* bad : {"1);alert(1);//", "1-->", "x", "%201"}) {
      PostForm f;
      f.*field = bad;
      ExpectRefusedUntouched(f.Encode());
    }
  }
  PostForm f;
  f.thread = "";
  ExpectRefusedUntouched(f.Encode());
  f = PostForm{};
  f.parent = "";
  f.time = "";
  EXPECT_EQ(Post(f.Encode()).out, kSuccessReply);
}

TEST_F(PostTest, OversizedInputIsCutOrRefusedSafely) {
  // Far beyond any form: refused before anything is allocated or read.
  for (const char* length : {"4000000000", "1048577", "-1", "99999999999999999999"}) {
    CgiRun run = PostRun(PostForm{}.Encode());
    run.env.push_back(std::string("CONTENT_LENGTH=") + length);  // the later one counts
    run.env.erase(run.env.begin() + 2);
    auto before = Snapshot();
    EXPECT_EQ(Checked(RunCgi(run)).out, kErrorReply) << length;
    EXPECT_EQ(Snapshot(), before);
  }
  // Garbage in CONTENT_LENGTH reads as 0: no data.
  CgiRun run = PostRun(PostForm{}.Encode());
  run.env[2] = "CONTENT_LENGTH=abc";
  EXPECT_EQ(Checked(RunCgi(run)).out, kErrorReply);
  // A long subject is cut to 99 characters in the index line, whole on the page; a long
  // field name matches nothing; a "%" at the very end stays.
  PostForm f;
  f.subject = std::string(150, 'S') + "%22";
  f.body = "end%";
  EXPECT_EQ(Post("averyveryverylongfieldname=1&" + f.Encode()).out, kSuccessReply);
  EXPECT_NE(Message("bbs-data.html").find("(\"" + std::string(99, 'S') + "\",\"1000\""),
            std::string::npos);
  EXPECT_NE(Message("0.html").find(std::string(150, 'S') + "&quot;\r\n"), std::string::npos);
  EXPECT_NE(Message("0.html").find(" <b> \r\nend%\r\n"), std::string::npos);
}

TEST_F(PostTest, BinaryBytesAreStoredAsTheyCame) {
  PostForm f;
  f.name = "%FF%01%80";
  EXPECT_EQ(Post(f.Encode()).out, kSuccessReply);
  EXPECT_NE(Message("0.html").find("<b>Name</b>:   \xFF\x01\x80\t \r\n"), std::string::npos);
  // A body of raw binary bytes (no line feed or NUL among them) is no crash either.
  std::string raw = f.Encode() + "&x=";
  for (int c = 1; c < 256; ++c)
    if (c != '\n' && c != '&') raw += static_cast<char>(c);
  EXPECT_EQ(Post(raw).out, kSuccessReply);
}

}  // namespace
}  // namespace halyard::cgitest
