#include "cgi_request.h"

#include <cstdlib>
#include <cstring>

#include "platform/kernel/text.h"
#include "platform/kernel/win_file.h"

namespace halyard::cgi {

LONG ParseLeadingLong(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (IsCLocaleSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > 2147483648LL) v = 2147483648LL;  // Saturate; only the sign decides beyond this.
  }
  if (negative)
    return v >= 2147483648LL ? static_cast<LONG>(-2147483647 - 1) : static_cast<LONG>(-v);
  return v > 2147483647LL ? 2147483647 : static_cast<LONG>(v);
}

}  // namespace halyard::cgi

bool CgiRequest::IsPost() {
  const char* method = RequestMethod();
  return method != nullptr && halyard::EqualsNoCaseAscii(method, "POST");
}

StdCgiRequest::StdCgiRequest() {
  WriteText("Content-type: text/html");
  WriteText("\n\n");
}

DWORD StdCgiRequest::ContentLength() {
  if (IsPost()) {
    const char* length = std::getenv("CONTENT_LENGTH");
    if (length == nullptr) return 0;
    return static_cast<DWORD>(halyard::cgi::ParseLeadingLong(length));
  }
  const char* query = std::getenv("QUERY_STRING");
  return query == nullptr ? 0 : static_cast<DWORD>(std::strlen(query));
}

int StdCgiRequest::ReadContent(char* buffer, DWORD capacity) {
  if (IsPost()) {
    // Some servers set the variable late; look again before giving up on it.
    const char* length = std::getenv("CONTENT_LENGTH");
    for (int tries = 0; length == nullptr && tries < 500; ++tries)
      length = std::getenv("CONTENT_LENGTH");
    long long count;
    if (length != nullptr) {
      count = halyard::cgi::ParseLeadingLong(length);
      if (count < 0) count = 0;
    } else {
      count = capacity == 0 ? 0 : static_cast<long long>(capacity) - 1;
    }
    if (capacity == 0) return count == 0;
    // Never more than the buffer holds, whatever the variable claims.
    long long limit = count < static_cast<long long>(capacity) - 1 ? count : capacity - 1;
    halyard::WinFile& in = halyard::WinStdin();
    long long stored = 0;
    while (stored < limit) {
      int c = in.GetC();
      if (c < 0 || c == '\n' || c == '\0') break;
      buffer[stored++] = static_cast<char>(c);
    }
    buffer[stored] = '\0';
    return static_cast<long long>(capacity) == count ? 1 : 0;
  }
  const char* query = std::getenv("QUERY_STRING");
  if (query == nullptr) {
    if (capacity > 0) buffer[0] = '\0';
    return 1;
  }
  std::size_t n = std::strlen(query);
  if (n > capacity) n = capacity;
  std::memcpy(buffer, query, n);
  return 1;
}

int StdCgiRequest::WriteBytes(const char* buffer, DWORD count) {
  halyard::WinStdout().Write(buffer, count);
  return 1;
}

int StdCgiRequest::WriteText(const char* text) {
  if (text == nullptr) return 1;
  halyard::WinFile& out = halyard::WinStdout();
  out.Write(text, std::strlen(text));
  out.Flush();
  return 1;
}

const char* StdCgiRequest::RequestMethod() { return std::getenv("REQUEST_METHOD"); }
