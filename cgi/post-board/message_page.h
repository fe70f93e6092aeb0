// One board message as post-board received it, and the two texts made from it: the message
// page and the message's line in the index page. Plain values; any thread.
#pragma once

#include <string>

namespace halyard::board {

struct Message {
  std::string name, email, subject, body;
  std::string thread, parent, time, realTime;  // realTime with blanks for "_"
};

// The message page of message number n, as text (line feeds become CR LF on disk). Every
// field value is HTML-escaped; the body's line feeds become "<br>".
std::string MessagePageText(const Message& m, const std::string& scriptUrlPrefix, long long n);

// The index line of message number n, without its line feed. Every quoted argument is
// escaped for a script string; subject and name are cut to 99 characters.
std::string IndexLineText(const Message& m, long long n);

// True for a non-empty text of decimal digits only.
bool IsDigits(const std::string& text);

}  // namespace halyard::board
