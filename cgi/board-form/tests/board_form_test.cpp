#include <set>
#include <string>
#include <vector>

#include "cgi/post-board/tests/board_fixture.h"

namespace halyard::cgitest {
namespace {

// The form page as the browser receives it (before the CR LF of standard output).
std::string ExpectedForm(const std::string& heading, const std::string& parent,
                         const std::string& thread, const std::string& subject) {
  return kHeader +
         Crlf(
             "<HTML><HEAD>\n"
             "</HEAD><TITLE>post-board</TITLE><META NAME=\"Author\" CONTENT=\"\">\n"
             "<script language=\"JavaScript\">\n"
             "<!--\n"
             "var today = new Date();\n"
             "\t\tfunction newCookie(name, value){\n"
             "  document.cookie = name + \"=\" + value + \"; expires=Tue, 07 Jan 2010 00:00:01 "
             "GMT\"\n"
             "}\n"
             "function readCookie(name){\n"
             "  var cookieFound = false;\n"
             "  var start = 0;\n"
             "  var end = 0;\n"
             "  var cookieString = document.cookie;\n"
             "  var i = 0;\n"
             "  while (i <= cookieString.length){\n"
             "    start =i;\n"
             "    end = start + name.length;\n"
             "    if (cookieString.substring(start,end) == name){\n"
             "      cookieFound = true;\n"
             "      break;\n"
             "    }\n"
             "    i++;\n"
             "  } \t\n"
             "  if (cookieFound){\n"
             "    start = end + 1;\n"
             "    end = document.cookie.indexOf(\";\",start);\n"
             "    if (end < 0){\n"
             "      end = document.cookie.length;\n"
             "    }\n"
             "    else if (end < start){\n"
             "      end = document.cookie.length;\n"
             "    }\n"
             "    return document.cookie.substring(start,end);\n"
             "  }\n"
             "  return '';\n"
             "}\n"
             "function replace(target,oldTerm,newTerm,caseSens,wordOnly){\n"
             "  var work=target;\n"
             "  var ind=0;\n"
             "  var next=0;\n"
             "  if(!caseSens){\n"
             "    oldterm = oldTerm.toLowerCase();\n"
             "    work = target.toLowerCase();\n"
             "  }\n"
             "  while((ind = work.indexOf(oldTerm,next)) >= 0) {\n"
             "    if (wordOnly){\n"
             "      var before = ind - 1;\n"
             "      var after = ind + oldTerm.length;\n"
             "      if (!(space(work.charAt(before)) && space(work.charAt(after)))){\n"
             "        next = ind + oldTerm.length;\n"
             "        continue;\n"
             "      }\n"
             "    }\n"
             "    target = target.substring(0,ind) + newTerm + "
             "target.substring(ind+oldTerm.length,target.length);\n"
             "    work = work.substring(0,ind) + newTerm + "
             "work.substring(ind+oldTerm.length,work.length);\n"
             "    next = ind + newTerm.length;\n"
             "    if (next >= work.length) { break; }\n"
             "  }\n"
             "  return target;\n"
             "}\n"
             "function timeNow(){\n"
             "  return today.getTime();\n"
             "}\n"
             "function timeRealNow(){\n"
             "  \n"
             "  return replace(today.toGMTString(),\" \",\"_\",false,false);\n"
             "}\n"
             "function monitorName(name){\n"
             "  parent.newCookie(\"quillmarks_bbs_name\",name);\n"
             "}\n"
             "function monitorEmail(email){\n"
             "  parent.newCookie(\"quillmarks_bbs_email\",email);\n"
             "}\n"
             "//-->\n"
             "</script>\n"
             "</HEAD>\n"
             "<BODY bgcolor=#FFFFFF LINK=#FF0000 VLINK=#800080 ALINK=#800080>\n" +
             heading +
             " <FORM ACTION=\"./post-board.cgi\" method=\"post\">\n"
             "<INPUT TYPE=HIDDEN NAME=\"parent\" VALUE= \"" +
             parent +
             "\">\n"
             "<INPUT TYPE=HIDDEN NAME=\"thread\" VALUE = \"" +
             thread +
             "\">\n"
             "<script language=\"JavaScript\">\n"
             "document.write(\"<INPUT TYPE=HIDDEN NAME=time VALUE =\\\"\"+timeNow()+\"\\\">\");\n"
             "document.write(\"<INPUT TYPE=HIDDEN NAME=RealTime VALUE "
             "=\\\"\"+timeRealNow()+\"\\\">\");\n"
             "</script>\n"
             "  <TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=485>\n"
             "   <TR>\n"
             "\t<TD WIDTH=12></TD><TD WIDTH=25></TD><TD WIDTH=38></TD><TD WIDTH=13></TD><TD "
             "WIDTH=91></TD>\n"
             "\t<TD WIDTH=3></TD><TD WIDTH=92></TD><TD WIDTH=54></TD><TD WIDTH=157></TD><TD "
             "WIDTH=0></TD>\n"
             "\t\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=10 HEIGHT=36></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=4></TD>\n"
             "\t<TD COLSPAN=4 ROWSPAN=3 WIDTH=240>\t  \n"
             "\t<script language=\"JavaScript\">  \n" +
             std::string(170, ' ') +
             "\t   document.write('<INPUT TYPE=text NAME=\\\"name\\\" SIZE=\\\"30\\\" "
             "MAXLENGTH=\\\"100\\\" "
             "onChange=\\\"newCookie(\\'quillmarks_bbs_username\\',this.form.name.value)\\\" "
             "VALUE=\\\"' + readCookie(\"quillmarks_bbs_username\")+ '\\\">');  \n"
             "   </script>\n"
             "   </TD>  \n"
             "\t<TD COLSPAN=2 HEIGHT=3></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=2></TD>\n"
             "\t<TD COLSPAN=1 ROWSPAN=1 WIDTH=45>\n"
             "<P ALIGN=\"RIGHT\"><B>Name</B></TD>\n"
             "\t<TD COLSPAN=1></TD>\n"
             "\t<TD COLSPAN=2 HEIGHT=16></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=4></TD>\n"
             "\t<TD COLSPAN=2 HEIGHT=3></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=10 HEIGHT=11></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=4></TD>\n"
             "\t<TD COLSPAN=4 ROWSPAN=3 WIDTH=240> \n"
             "   <script language=JavaScript> \n" +
             std::string(170, ' ') +
             "\t    document.write('<INPUT TYPE=text NAME=\\\"email\\\" SIZE=\\\"30\\\" "
             "MAXLENGTH=\\\"100\\\" "
             "onChange=\\\"newCookie(\\'quillmark_bbs_email\\',this.form.email.value)\\\" "
             "VALUE=\\\"'+readCookie(\"quillmark_bbs_email\")+ '\\\">'); \n"
             "    </script>\n"
             "\t</TD>\n"
             "\t<TD COLSPAN=2 HEIGHT=1></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=2></TD>\n"
             "\t<TD COLSPAN=1 ROWSPAN=1 WIDTH=45>\n"
             "<P ALIGN=\"RIGHT\"><B>E-mail</B></TD>\n"
             "\t<TD COLSPAN=1></TD>\n"
             "\t<TD COLSPAN=2 HEIGHT=16></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=4></TD>\n"
             "\t<TD COLSPAN=2 HEIGHT=5></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=10 HEIGHT=13></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=4></TD>\n"
             "\t<TD COLSPAN=4 ROWSPAN=3 WIDTH=240>\n"
             "\t<script language=\"JavaScript\">\n" +
             std::string(170, ' ') +
             "   document.write('<INPUT TYPE=text NAME=\\\"subject\\\" SIZE=\\\"30\\\" "
             "MAXLENGTH=\\\"100\\\" VALUE=\\\"' + parent.getParentSubject(\"" +
             subject +
             "\")+ '\\\">'); \n"
             "   </script>\n"
             "</TD>\n"
             "\t<TD COLSPAN=2 HEIGHT=2></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=1></TD>\n"
             "\t<TD COLSPAN=2 ROWSPAN=1 WIDTH=63>\n"
             "<P ALIGN=\"RIGHT\"><B>Subject</B></TD>\n"
             "\t<TD COLSPAN=1></TD>\n"
             "\t<TD COLSPAN=2 HEIGHT=18></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=4></TD>\n"
             "\t<TD COLSPAN=2 HEIGHT=2></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=10 HEIGHT=8></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=4></TD>\n"
             "\t<TD COLSPAN=5 ROWSPAN=1 WIDTH=397><TEXTAREA NAME=\"body\" ROWS=10 COLS=45 "
             "WRAP=physical></TEXTAREA></TD>\n"
             "\t<TD COLSPAN=1 HEIGHT=179></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=10 HEIGHT=6></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=6></TD>\n"
             "\t<TD COLSPAN=1 ROWSPAN=2 WIDTH=92 ALIGN=\"center\" VALIGN=\"center\"></TD>\n"
             "\t<TD COLSPAN=3 HEIGHT=1></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=4></TD>\n"
             "\t<TD COLSPAN=1 ROWSPAN=1 WIDTH=91 ALIGN=\"center\" VALIGN=\"center\"><INPUT "
             "TYPE=SUBMIT VALUE=\"Submit\"></TD>\n"
             "\t<TD COLSPAN=1></TD>\n"
             "\t<TD COLSPAN=3 HEIGHT=22></TD>\n"
             "   </TR>\n"
             "   <TR VALIGN=\"top\" ALIGN=\"left\">\n"
             "\t<TD COLSPAN=10 HEIGHT=0></TD>\n"
             "   </TR>\n"
             "  </TABLE>\n"
             " </FORM></BODY>\n"
             "</HTML>\n");
}

std::string NewForm(int thread) {
  std::string t = std::to_string(thread);
  return ExpectedForm("<font size=4>New Message: \n" + t + "</font>\n", "1", t, "");
}

std::string ReplyForm(const std::string& shown, const std::string& thread,
                      const std::string& subject) {
  return ExpectedForm("<font size=4>Reply to Message:\n" + shown + "</font>\n", "0", thread,
                      subject);
}

TEST_F(BoardTest, FirstRequestSetsTheBoardUpAndServesThreadTwo) {
  EXPECT_EQ(Form("").out, NewForm(2));
  EXPECT_EQ(Message("thread_counter"), "3\r\n");
  EXPECT_EQ(Message("counter"), "0\r\n");
  EXPECT_EQ(Message("bbs-data.html"), kTemplateHead + kMarker + kTail + "\r\n");
  // The next new-message form takes the next thread; set-up touches nothing again.
  WriteFile(messageDir() + "/counter", "17\r\n");
  WriteFile(messageDir() + "/bbs-data.html", "kept\r\n");
  EXPECT_EQ(Form("").out, NewForm(3));
  EXPECT_EQ(Message("thread_counter"), "4\r\n");
  EXPECT_EQ(Message("counter"), "17\r\n");
  EXPECT_EQ(Message("bbs-data.html"), "kept\r\n");
}

TEST_F(BoardTest, AReplyFormCarriesTheQueryAndChangesNoFile) {
  Form("");
  auto before = Snapshot();
  EXPECT_EQ(Form("5").out, ReplyForm("5", "5", "5"));
  EXPECT_EQ(Snapshot(), before);
  // A POST with an empty body asks for a new message; its data is the query otherwise.
  EXPECT_EQ(Checked(RunCgi(Run("board-form", "POST", ""))).out, NewForm(3));
  EXPECT_EQ(Checked(RunCgi(Run("board-form", "POST", "7"))).out, ReplyForm("7", "7", "7"));
}

TEST_F(BoardTest, TheQueryIsShownUndecodedAndEscapedWhereItStands) {
  EXPECT_EQ(Form("%41").out, ReplyForm("%41", "%41", "%41"));
  EXPECT_EQ(Form("1\"><b>x</b>\\").out,
            ReplyForm("1&quot;&gt;&lt;b&gt;x&lt;/b&gt;\\", "1&quot;&gt;&lt;b&gt;x&lt;/b&gt;\\",
                      "1\\\">\\x3Cb>x\\x3C/b>\\\\"));
  // At most 19 characters of query are used.
  EXPECT_EQ(Form("12345678901234567890123").out,
            ReplyForm("1234567890123456789", "1234567890123456789", "1234567890123456789"));
}

TEST_F(BoardTest, AMissingTemplateLeavesTheIndexWithOneLineFeed) {
  ::unlink((messageDir() + "/bbs-data.original").c_str());
  Form("");
  EXPECT_EQ(Message("bbs-data.html"), "\r\n");
}

TEST_F(BoardTest, TemplateLineEndsReachTheIndexAsText) {
  WriteFile(messageDir() + "/bbs-data.original", "a\nb\r\nc\rd" + kMarker + "end");
  Form("");
  EXPECT_EQ(Message("bbs-data.html"), "a\r\nb\r\nc\rd" + kMarker + "end\r\n");
}

TEST_F(BoardTest, AnUnreadableThreadCounterGivesThreadOne) {
  Form("");
  WriteFile(messageDir() + "/thread_counter", "none\r\n");
  EXPECT_EQ(Form("").out, NewForm(1));
  EXPECT_EQ(Message("thread_counter"), "2\r\n");
}

TEST_F(BoardTest, AThreadNumberThatCannotBeStoredIsNotHandedOut) {
  // No board where the configuration points: the reply form needs no file and is served, a
  // new message gets the board's error page instead of a number it would get again.
  WriteFile(cgiDir() + "/bbs_NT.cfg", "..\\nowhere\n");
  EXPECT_EQ(Form("").out, kHeader +
                              "<html>\r\n<meta http-equiv=\"Refresh\" content=\"0; "
                              "URL=../nowhere/html/error.html\"> \r\n</html>");
  EXPECT_EQ(Form("4").out, ReplyForm("4", "4", "4"));
  EXPECT_FALSE(FileExists(dir_ / "nowhere"));

  // A thread counter that cannot be replaced: nothing of the board changes.
  WriteFile(cgiDir() + "/bbs_NT.cfg", "..\\board\nhttp://host/cgi-bin/");
  Form("");
  ::unlink((messageDir() + "/thread_counter").c_str());
  MakeDirs(messageDir() + "/thread_counter");
  auto before = Snapshot();
  EXPECT_EQ(Form("").out, kErrorReply);
  EXPECT_EQ(Snapshot(), before);
  for (const std::string& name : ListDir(messageDir()))
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;

  // The current drive's message folder when the configuration is missing.
  ::unlink((cgiDir() + "/bbs_NT.cfg").c_str());
  MakeDirs(dir_ / "c/message");
  EXPECT_EQ(Form("").out, NewForm(2));
  EXPECT_EQ(ReadFile(dir_ / "c/message/thread_counter"), "3\r\n");
  EXPECT_EQ(ReadFile(dir_ / "c/message/counter"), "0\r\n");
}

TEST_F(BoardTest, ThirtyTwoFirstRequestsAtOnceSetUpOnceAndTakeDistinctThreads) {
  std::vector<CgiRun> runs(32, Run("board-form", "GET", ""));
  std::set<std::string> pages;
  for (const CgiResult& r : RunCgiTogether(runs)) pages.insert(Checked(r).out);
  std::set<std::string> expected;
  for (int t = 2; t < 34; ++t) expected.insert(NewForm(t));
  EXPECT_EQ(pages, expected);
  EXPECT_EQ(Message("thread_counter"), "34\r\n");
  EXPECT_EQ(Message("counter"), "0\r\n");
  EXPECT_EQ(Message("bbs-data.html"), kTemplateHead + kMarker + kTail + "\r\n");
  for (const std::string& name : ListDir(messageDir()))
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

TEST_F(BoardTest, MalformedRequestsStillGetAPage) {
  Form("");
  CgiRun run = Run("board-form", "POST",
                   "\xff\x01\x02"
                   "abc");
  EXPECT_EQ(Checked(RunCgi(run)).out, ReplyForm("\xff\x01\x02"
                                                "abc",
                                                "\xff\x01\x02"
                                                "abc",
                                                "\xff\x01\x02"
                                                "abc"));
  run = Run("board-form", "POST", "");
  run.env.push_back("CONTENT_LENGTH=99999999999");
  EXPECT_EQ(Checked(RunCgi(run)).out, NewForm(3));
  run = Run("board-form", "", "");
  run.env.clear();  // no method, no query
  EXPECT_EQ(Checked(RunCgi(run)).out, NewForm(4));
}

}  // namespace
}  // namespace halyard::cgitest
