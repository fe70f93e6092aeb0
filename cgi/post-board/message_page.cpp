#include "message_page.h"

#include <cstdlib>

#include "cgi/common/text_escape.h"
#include "message_pieces.h"

namespace halyard::board {

using cgi::HtmlEscape;
using cgi::ScriptEscape;

std::string MessagePageText(const Message& m, const std::string& scriptUrlPrefix, long long n) {
  std::string number = std::to_string(n);
  std::string email = HtmlEscape(m.email);
  std::string page;
  page.reserve(1500 + m.body.size() * 2);
  page += kPageOpen;
  page += number;
  page += kPagePrev;
  page += number;
  page += kPageNext;
  page += scriptUrlPrefix;
  page += kPageReplyScript;
  page += HtmlEscape(m.thread);
  page += kPageReplyClose;
  page += kPageNameLabel;
  page += HtmlEscape(m.name);
  page += kPageNameEnd;
  page += kPageEmailLabel;
  page += email;
  page += kPageEmailMiddle;
  page += email;
  page += kPageEmailEnd;
  page += kPageSubjectLabel;
  page += HtmlEscape(m.subject);
  page += "\n";
  page += kPageThreadLabel;
  page += HtmlEscape(m.thread);
  page += "\n";
  page += kPageTimeLabel;
  page += HtmlEscape(m.realTime);
  page += "\n";
  page += kPageTimeComment;
  page += HtmlEscape(m.time);
  page += kPageTimeCommentEnd;
  std::string body = HtmlEscape(m.body);
  for (char c : body) {
    if (c == '\n')
      page += "<br>";
    else
      page += c;
  }
  page += kPageClose;
  return page;
}

std::string IndexLineText(const Message& m, long long n) {
  std::string number = std::to_string(n);
  char* subject = EscapeForScript(m.subject.c_str());
  char* name = EscapeForScript(m.name.c_str());
  std::string line;
  line += kIndexLineOpen;
  line += subject ? subject : "";
  line += kIndexQuoteSep;
  line += ScriptEscape(m.time);
  line += kIndexQuoteSep;
  line += ScriptEscape(m.realTime);
  line += kIndexQuoteSep;
  line += name ? name : "";
  line += kIndexBeforeThread;
  line += m.thread;
  line += kIndexAfterThread;
  line += number;
  line += kIndexAfterUrl;
  line += ScriptEscape(m.parent);
  line += kIndexQuoteSep;
  line += number;
  line += kIndexClose;
  std::free(subject);
  std::free(name);
  return line;
}

bool IsDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace halyard::board
