// The fixed texts of post-board's output, in the order they are written: the message page
// pieces around the field values, and the index page's marker and tail. \n is a line feed
// (stored as CR LF, since every file is written as text).
#pragma once

namespace halyard::board {

// Message page: piece 1, N, piece 3, N, piece 5, script URL prefix, "board-form.cgi?", thread,
// piece 9, then the labelled field lines, the time comment, the body and the closing piece.
inline constexpr const char* kPageOpen =
    "<html> \n  <META HTTP-EQUIV=\"Expires\" CONTENT=\"Sat, 29 Sep 1973 23:59:00 GMT\">\t\n  "
    "<head> <title>$subject</title>  </head>\t\n <body bgcolor=\"#FFFFFF\" > \n <script "
    "language=\"JavaScript\"> \n\t<!--\t\n     var coun = navigator.appVersion.indexOf(\"(\")\t  "
    "\n     var last = navigator.appVersion.lastIndexOf(\";\")\t \n \t\tvar previous = "
    "parent.returnNgbr(";
inline constexpr const char* kPagePrev = ",\"Prev\");\t\n\t\t\tvar next = parent.returnNgbr(";
inline constexpr const char* kPageNext =
    ",\"Next\");\t\n \t\t\tdocument.write('<a href=\"'+previous+'\" target=\"message\" > <img "
    "src=\"../image/previous.gif\" border=\"0\"></a>');\t\n \t\tdocument.write('<a "
    "href=\"'+next+'\" target=\"message\" > <img src=\"../image/next.gif\" "
    "border=\"0\"></a>');\t\n     document.write('<a href=\"";
inline constexpr const char* kPageReplyScript = "board-form.cgi?";
inline constexpr const char* kPageReplyClose =
    "\" target=\"message\"><img src=\"../image/reply.gif\" border=\"0\"></a><br>'); \n \t//-->\t "
    "\n </script><hr>\t\n <pre>\t\t\n";
inline constexpr const char* kPageNameLabel = "<b>Name</b>:   ";
inline constexpr const char* kPageNameEnd = "\t \n";
// The address is quoted in the link so that no value can add attributes to it.
inline constexpr const char* kPageEmailLabel = "<b>Email</b>:  <a href=\"mailto:";
inline constexpr const char* kPageEmailMiddle = "\">";
inline constexpr const char* kPageEmailEnd = "</a>\t\n";
inline constexpr const char* kPageSubjectLabel = "<b>Subject</b>:";
inline constexpr const char* kPageThreadLabel = "<b>Thread</b>: ";
inline constexpr const char* kPageTimeLabel = "<b>Time</b>:   ";
inline constexpr const char* kPageTimeComment = "</pre><hr>\t\n <!-- since 1/1/70 GMT ";
inline constexpr const char* kPageTimeCommentEnd = "-->\n <b> \n";
inline constexpr const char* kPageClose = "\n</b> \n </body> \n</html>\n";

// Index page.
inline constexpr const char* kMarkerLine = "<!--insertion point-->\r";  // as read in text mode
inline constexpr const char* kIndexLineOpen = "parent.addpbbsArray(\"";
inline constexpr const char* kIndexQuoteSep = "\",\"";
inline constexpr const char* kIndexBeforeThread = "\",";
inline constexpr const char* kIndexAfterThread = ",\"message/";
inline constexpr const char* kIndexAfterUrl = ".html\",\"";
inline constexpr const char* kIndexClose = "\")";
inline constexpr const char* kIndexTail[12] = {
    "parent.init();",
    "}",
    "var state = parent.readCookie(\"quillmarks_bbs_view_mode\");",
    "if (state==\"\"){",
    "state=\"Thread\";",
    "}",
    "//-->",
    "</script>",
    "</HEAD>",
    "<BODY onload=\"parent.hack(state);\">",
    "</BODY>",
    "</html>",
};

}  // namespace halyard::board
