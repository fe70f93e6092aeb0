// The fixed texts of board-form's page, in the order they are written: the page head, the
// form opening, the table of visible fields and the closing lines. \n is a line feed (CR LF
// on the wire, since standard output is text).
#pragma once

namespace halyard::board {

inline constexpr const char* kPageHead[78] = {
    "<HTML><HEAD>\n",
    "</HEAD>",
    "<TITLE>post-board</TITLE><META NAME=\"Author\" CONTENT=\"\">\n",
    "<script language=\"JavaScript\">\n",
    "<!--\n",
    "var today = new Date();\n",
    "\t\tfunction newCookie(name, value){\n",
    "  document.cookie = name + \"=\" + value + \"; expires=Tue, 07 Jan 2010 00:00:01 GMT\"\n",
    "}\n",
    "function readCookie(name){\n",
    "  var cookieFound = false;\n",
    "  var start = 0;\n",
    "  var end = 0;\n",
    "  var cookieString = document.cookie;\n",
    "  var i = 0;\n",
    "  while (i <= cookieString.length){\n",
    "    start =i;\n",
    "    end = start + name.length;\n",
    "    if (cookieString.substring(start,end) == name){\n",
    "      cookieFound = true;\n",
    "      break;\n",
    "    }\n",
    "    i++;\n",
    "  } \t\n",
    "  if (cookieFound){\n",
    "    start = end + 1;\n",
    "    end = document.cookie.indexOf(\";\",start);\n",
    "    if (end < 0){\n",
    "      end = document.cookie.length;\n",
    "    }\n",
    "    else if (end < start){\n",
    "      end = document.cookie.length;\n",
    "    }\n",
    "    return document.cookie.substring(start,end);\n",
    "  }\n",
    "  return '';\n",
    "}\n",
    "function replace(target,oldTerm,newTerm,caseSens,wordOnly){\n",
    "  var work=target;\n",
    "  var ind=0;\n",
    "  var next=0;\n",
    "  if(!caseSens){\n",
    "    oldterm = oldTerm.toLowerCase();\n",
    "    work = target.toLowerCase();\n",
    "  }\n",
    "  while((ind = work.indexOf(oldTerm,next)) >= 0) {\n",
    "    if (wordOnly){\n",
    "      var before = ind - 1;\n",
    "      var after = ind + oldTerm.length;\n",
    "      if (!(space(work.charAt(before)) && space(work.charAt(after)))){\n",
    "        next = ind + oldTerm.length;\n",
    "        continue;\n",
    "      }\n",
    "    }\n",
    "    target = target.substring(0,ind) + newTerm + "
    "target.substring(ind+oldTerm.length,target.length);\n",
    "    work = work.substring(0,ind) + newTerm + "
    "work.substring(ind+oldTerm.length,work.length);\n",
    "    next = ind + newTerm.length;\n",
    "    if (next >= work.length) { break; }\n",
    "  }\n",
    "  return target;\n",
    "}\n",
    "function timeNow(){\n",
    "  return today.getTime();\n",
    "}\n",
    "function timeRealNow(){\n",
    "  \n",
    "  return replace(today.toGMTString(),\" \",\"_\",false,false);\n",
    "}\n",
    "function monitorName(name){\n",
    "  parent.newCookie(\"quillmarks_bbs_name\",name);\n",
    "}\n",
    "function monitorEmail(email){\n",
    "  parent.newCookie(\"quillmarks_bbs_email\",email);\n",
    "}\n",
    "//-->\n",
    "</script>\n",
    "</HEAD>\n",
    "<BODY bgcolor=#FFFFFF LINK=#FF0000 VLINK=#800080 ALINK=#800080>\n",
};

inline constexpr const char* kHeadingReply = "<font size=4>Reply to Message:\n";
inline constexpr const char* kHeadingNew = "<font size=4>New Message: \n";
inline constexpr const char* kHeadingClose = "</font>\n";

inline constexpr const char* kFormOpen = " <FORM ACTION=\"./post-board.cgi\" method=\"post\">\n";
inline constexpr const char* kParentOpen = "<INPUT TYPE=HIDDEN NAME=\"parent\" VALUE= \"";
inline constexpr const char* kHiddenClose = "\">\n";
inline constexpr const char* kThreadOpen = "<INPUT TYPE=HIDDEN NAME=\"thread\" VALUE = \"";
inline constexpr const char* kTimeScript[4] = {
    "<script language=\"JavaScript\">\n",
    "document.write(\"<INPUT TYPE=HIDDEN NAME=time VALUE =\\\"\"+timeNow()+\"\\\">\");\n",
    "document.write(\"<INPUT TYPE=HIDDEN NAME=RealTime VALUE =\\\"\"+timeRealNow()+\"\\\">\");\n",
    "</script>\n",
};

inline constexpr const char* kRowOpener = "   <TR VALIGN=\"top\" ALIGN=\"left\">\n";
inline constexpr const char* kRowCloser = "   </TR>\n";
inline constexpr const char* kBlanks =
    "                                                                                              "
    "                                                                            ";
inline constexpr const char* kBlanksTab =
    "                                                                                              "
    "                                                                            \t";

// The table of visible fields, row by row; the null entry is where the query text goes.
inline constexpr const char* kTable[] = {
    "  <TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=485>\n",
    // row 0
    "   <TR>\n",
    "\t<TD WIDTH=12></TD><TD WIDTH=25></TD><TD WIDTH=38></TD><TD WIDTH=13></TD><TD "
    "WIDTH=91></TD>\n",
    "\t<TD WIDTH=3></TD><TD WIDTH=92></TD><TD WIDTH=54></TD><TD WIDTH=157></TD><TD WIDTH=0></TD>\n",
    "\t\n",
    kRowCloser,
    // Row 1
    kRowOpener,
    "\t<TD COLSPAN=10 HEIGHT=36></TD>\n",
    kRowCloser,
    // Row 2
    kRowOpener,
    "\t<TD COLSPAN=4></TD>\n",
    "\t<TD COLSPAN=4 ROWSPAN=3 WIDTH=240>\t  \n",
    "\t<script language=\"JavaScript\">  \n",
    kBlanksTab,
    "   document.write('<INPUT TYPE=text NAME=\\\"name\\\" SIZE=\\\"30\\\" MAXLENGTH=\\\"100\\\" "
    "onChange=\\\"newCookie(\\'quillmarks_bbs_username\\',this.form.name.value)\\\" VALUE=\\\"' + "
    "readCookie(\"quillmarks_bbs_username\")+ '\\\">');  \n",
    "   </script>\n",
    "   </TD>  \n",
    "\t<TD COLSPAN=2 HEIGHT=3></TD>\n",
    kRowCloser,
    // Row 3
    kRowOpener,
    "\t<TD COLSPAN=2></TD>\n",
    "\t<TD COLSPAN=1 ROWSPAN=1 WIDTH=45>\n",
    "<P ALIGN=\"RIGHT\"><B>Name</B></TD>\n",
    "\t<TD COLSPAN=1></TD>\n",
    "\t<TD COLSPAN=2 HEIGHT=16></TD>\n",
    kRowCloser,
    // Row 4
    kRowOpener,
    "\t<TD COLSPAN=4></TD>\n",
    "\t<TD COLSPAN=2 HEIGHT=3></TD>\n",
    kRowCloser,
    // Row 5
    kRowOpener,
    "\t<TD COLSPAN=10 HEIGHT=11></TD>\n",
    kRowCloser,
    // Row 6
    kRowOpener,
    "\t<TD COLSPAN=4></TD>\n",
    "\t<TD COLSPAN=4 ROWSPAN=3 WIDTH=240> \n",
    "   <script language=JavaScript> \n",
    kBlanksTab,
    "    document.write('<INPUT TYPE=text NAME=\\\"email\\\" SIZE=\\\"30\\\" MAXLENGTH=\\\"100\\\" "
    "onChange=\\\"newCookie(\\'quillmark_bbs_email\\',this.form.email.value)\\\" "
    "VALUE=\\\"'+readCookie(\"quillmark_bbs_email\")+ '\\\">'); \n",
    "    </script>\n",
    "\t</TD>\n",
    "\t<TD COLSPAN=2 HEIGHT=1></TD>\n",
    kRowCloser,
    // Row 7
    kRowOpener,
    "\t<TD COLSPAN=2></TD>\n",
    "\t<TD COLSPAN=1 ROWSPAN=1 WIDTH=45>\n",
    "<P ALIGN=\"RIGHT\"><B>E-mail</B></TD>\n",
    "\t<TD COLSPAN=1></TD>\n",
    "\t<TD COLSPAN=2 HEIGHT=16></TD>\n",
    kRowCloser,
    // Row 8
    kRowOpener,
    "\t<TD COLSPAN=4></TD>\n",
    "\t<TD COLSPAN=2 HEIGHT=5></TD>\n",
    kRowCloser,
    // Row 9
    kRowOpener,
    "\t<TD COLSPAN=10 HEIGHT=13></TD>\n",
    kRowCloser,
    // Row 10
    kRowOpener,
    "\t<TD COLSPAN=4></TD>\n",
    "\t<TD COLSPAN=4 ROWSPAN=3 WIDTH=240>\n",
    "\t<script language=\"JavaScript\">\n",
    kBlanks,
    "   document.write('<INPUT TYPE=text NAME=\\\"subject\\\" SIZE=\\\"30\\\" "
    "MAXLENGTH=\\\"100\\\" VALUE=\\\"' + parent.getParentSubject(\"",
    nullptr,  // the query text
    "\")+ '\\\">'); \n",
    "   </script>\n</TD>\n",
    "\t<TD COLSPAN=2 HEIGHT=2></TD>\n",
    kRowCloser,
    // Row 11
    kRowOpener,
    "\t<TD COLSPAN=1></TD>\n",
    "\t<TD COLSPAN=2 ROWSPAN=1 WIDTH=63>\n",
    "<P ALIGN=\"RIGHT\"><B>Subject</B></TD>\n",
    "\t<TD COLSPAN=1></TD>\n",
    "\t<TD COLSPAN=2 HEIGHT=18></TD>\n",
    kRowCloser,
    // Row 12
    kRowOpener,
    "\t<TD COLSPAN=4></TD>\n",
    "\t<TD COLSPAN=2 HEIGHT=2></TD>\n",
    kRowCloser,
    // Row 13
    kRowOpener,
    "\t<TD COLSPAN=10 HEIGHT=8></TD>\n",
    kRowCloser,
    // Row 14
    kRowOpener,
    "\t<TD COLSPAN=4></TD>\n",
    "\t<TD COLSPAN=5 ROWSPAN=1 WIDTH=397><TEXTAREA NAME=\"body\" ROWS=10 COLS=45 "
    "WRAP=physical></TEXTAREA></TD>\n",
    "\t<TD COLSPAN=1 HEIGHT=179></TD>\n",
    kRowCloser,
    // Row 15
    kRowOpener,
    "\t<TD COLSPAN=10 HEIGHT=6></TD>\n",
    kRowCloser,
    // Row 16
    kRowOpener,
    "\t<TD COLSPAN=6></TD>\n",
    "\t<TD COLSPAN=1 ROWSPAN=2 WIDTH=92 ALIGN=\"center\" VALIGN=\"center\"></TD>\n",
    "\t<TD COLSPAN=3 HEIGHT=1></TD>\n",
    kRowCloser,
    // Row 17
    kRowOpener,
    "\t<TD COLSPAN=4></TD>\n",
    "\t<TD COLSPAN=1 ROWSPAN=1 WIDTH=91 ALIGN=\"center\" VALIGN=\"center\"><INPUT TYPE=SUBMIT "
    "VALUE=\"Submit\"></TD>\n",
    "\t<TD COLSPAN=1></TD>\n",
    "\t<TD COLSPAN=3 HEIGHT=22></TD>\n",
    kRowCloser,
    // Row 18
    kRowOpener,
    "\t<TD COLSPAN=10 HEIGHT=0></TD>\n",
    kRowCloser,
};

inline constexpr const char* kPageClose[3] = {"  </TABLE>\n", " </FORM></BODY>\n", "</HTML>\n"};

}  // namespace halyard::board
