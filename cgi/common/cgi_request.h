// The request object of the three CGI programs: reads the request from the CGI environment and
// standard input and writes the reply to standard output. One per process, on the main thread.
#pragma once

#include "platform/kernel/win_types.h"

// Base of the request object. Its own operations do nothing; the virtual slots stand in this
// order: ContentLength, ReadContent, WriteBytes, WriteText, RequestMethod.
class CgiRequest {
 public:
  virtual ~CgiRequest() = default;

  virtual DWORD ContentLength() { return 0; }
  // Reads the form data into buffer, which holds capacity bytes. A POST stores at most
  // capacity - 1 characters and a terminator; a GET copies at most capacity bytes of the query
  // without a terminator (the caller terminates at ContentLength).
  virtual int ReadContent(char* buffer, DWORD capacity) {
    (void)buffer;
    (void)capacity;
    return 1;
  }
  virtual int WriteBytes(const char* buffer, DWORD count) {
    (void)buffer;
    (void)count;
    return 1;
  }
  virtual int WriteText(const char* text) {
    (void)text;
    return 1;
  }
  // The request method, or null when there is none.
  virtual const char* RequestMethod() { return nullptr; }

  // True for "POST" in any case; asks RequestMethod afresh on every call.
  bool IsPost();
};

// The request as the web server hands it over: environment, standard input and output (text
// mode, so every line feed reaches the server as CR LF). Constructing it writes the header.
class StdCgiRequest : public CgiRequest {
 public:
  StdCgiRequest();

  DWORD ContentLength() override;
  int ReadContent(char* buffer, DWORD capacity) override;
  int WriteBytes(const char* buffer, DWORD count) override;
  int WriteText(const char* text) override;
  const char* RequestMethod() override;
};

namespace halyard::cgi {

// The decimal value at the front of text as the runtime's atol reads it (white space, sign,
// digits), kept within the range of a 32-bit LONG instead of overflowing.
LONG ParseLeadingLong(const char* text);

}  // namespace halyard::cgi
