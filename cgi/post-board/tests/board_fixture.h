// A message board in a temporary folder, laid out as the design tool publishes it: the
// programs' folder with "bbs_NT.cfg" and, beside it, the board with its message folder and the
// index template. Runs post-board and board-form on it as the web server would.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "cgi/common/tests/cgi_process.h"

namespace halyard::cgitest {

// The index template: a script block whose braced function stays open above the marker line
// (stored as CR CR LF), then the twelve tail lines.
inline const std::string kTemplateHead =
    "<HTML><HEAD>\r\n<script language=\"JavaScript\">\r\n<!--\r\nfunction load(){\r\n";
inline const std::string kMarker = "<!--insertion point-->\r\r\n";
inline const std::string kTail =
    "parent.init();\r\n}\r\nvar state = parent.readCookie(\"quillmarks_bbs_view_mode\");\r\n"
    "if (state==\"\"){\r\nstate=\"Thread\";\r\n}\r\n//-->\r\n</script>\r\n</HEAD>\r\n"
    "<BODY onload=\"parent.hack(state);\">\r\n</BODY>\r\n</html>\r\n";

inline const std::string kHeader = "Content-type: text/html\r\n\r\n";
inline const std::string kSuccessReply =
    kHeader + "<html><meta http-equiv=\"Refresh\" content=\"0; URL=../board/html/success.html\">" +
    "</html>";
inline const std::string kErrorReply =
    kHeader + "<html>\r\n<meta http-equiv=\"Refresh\" content=\"0; URL=../board/html/error.html\"" +
    "> \r\n</html>";

class BoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDirs(cgiDir());
    MakeDirs(messageDir());
    MakeDirs(dir_ / "c");
    WriteFile(cgiDir() + "/bbs_NT.cfg", "..\\board\nhttp://host/cgi-bin/");
    WriteFile(messageDir() + "/bbs-data.original", kTemplateHead + kMarker + kTail);
  }

  std::string cgiDir() const { return dir_ / "cgi-bin"; }
  std::string messageDir() const { return dir_ / "board/message"; }
  std::string Message(const std::string& name) const { return ReadFile(messageDir() + "/" + name); }

  CgiRun Run(const std::string& program, const std::string& method, const std::string& data) {
    CgiRun run;
    run.program = HALYARD_CGI_PROGRAM(program);
    run.directory = cgiDir();
    run.env = {"HALYARD_DRIVE_C=" + (dir_ / "c")};
    if (!method.empty()) run.env.push_back("REQUEST_METHOD=" + method);
    if (method == "POST" || method == "post") {
      run.env.push_back("CONTENT_LENGTH=" + std::to_string(data.size()));
      run.input = data;
    } else {
      run.env.push_back("QUERY_STRING=" + data);
    }
    return run;
  }
  CgiRun PostRun(const std::string& data) { return Run("post-board", "POST", data); }
  CgiResult Post(const std::string& data) { return Checked(RunCgi(PostRun(data))); }
  CgiResult Form(const std::string& query) {
    return Checked(RunCgi(Run("board-form", "GET", query)));
  }
  static CgiResult Checked(CgiResult r) {
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return r;
  }

  // Every file of the board, for checking that a request left them all as they were.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const std::string& name : ListDir(messageDir()))
      files[name] = ReadFile(messageDir() + "/" + name);
    return files;
  }

  TempDir dir_;
};

// Form data of a post with the eight fields, URL-encoded as a browser sends it.
struct PostForm {
  std::string name = "Ann", email = "ann%40example.org", subject = "Hello";
  std::string body = "First+line%0D%0Asecond", thread = "2", parent = "1";
  std::string time = "1000", realTime = "Tue,_08_Dec_2026_01:00:00_GMT";
  std::string Encode() const {
    return "name=" + name + "&email=" + email + "&subject=" + subject + "&body=" + body +
           "&thread=" + thread + "&parent=" + parent + "&time=" + time + "&RealTime=" + realTime;
  }
};

}  // namespace halyard::cgitest
