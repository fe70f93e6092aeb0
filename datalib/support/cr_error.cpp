#include "cr_error.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct MessageEntry {
  LONG number;
  const char* format;
};

const MessageEntry kMessages[] = {
#include "cr_error_messages.inc"
};

// Large enough for every message with two arguments of a stored message's length; longer
// results are cut, and stored errors keep 255 characters anyway.
char gFormatBuffer[1024];

struct Arg {
  const char* text;
  LONG value;
  bool isText;
};

char* Format(LONG number, const Arg* args, int count) {
  const char* format = CRError::mGetMessage(number);
  std::string out;
  int next = 0;
  for (const char* p = format; *p != 0; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    if (p[1] == '%') {
      out += '%';
      ++p;
      continue;
    }
    // Skip flags, width, precision and size to the conversion letter.
    const char* q = p + 1;
    while (*q != 0 && std::strchr("-+ #0123456789.lhI", *q) != nullptr) ++q;
    if (*q == 0) break;
    p = q;
    if (next < count) {
      const Arg& a = args[next++];
      if (a.isText) {
        out += a.text != nullptr ? a.text : "(null)";
      } else {
        out += std::to_string(a.value);
      }
    }
  }
  size_t n = out.size() < sizeof gFormatBuffer - 1 ? out.size() : sizeof gFormatBuffer - 1;
  std::memcpy(gFormatBuffer, out.data(), n);
  gFormatBuffer[n] = 0;
  return gFormatBuffer;
}

CRError gLastError;

}  // namespace

CRError::CRError() : mSeverity(eNone) { mMessage[0] = 0; }

CRError::CRError(eSeverity severity, char* text) : mSeverity(severity) {
  mMessage[0] = 0;
  if (text != nullptr) mSetMessage(text);
}

CRError::CRError(eSeverity severity, LONG number) : mSeverity(severity) {
  mSetMessage(mGetMessage(number));
}

CRError::CRError(eSeverity severity, LONG number, char* text) : mSeverity(severity) {
  if (number != 0 || text == nullptr) {
    mSetMessage(mFormatString(number, text));
  } else {
    mSetMessage(text);
  }
}

CRError::CRError(eSeverity severity, LONG number, char* text1, char* text2) : mSeverity(severity) {
  mSetMessage(mFormatString(number, text1, text2));
}

CRError::CRError(eSeverity severity, LONG number, char* text, LONG value) : mSeverity(severity) {
  mSetMessage(mFormatString(number, text, value));
}

CRError::CRError(eSeverity severity, LONG number, LONG value, char* text) : mSeverity(severity) {
  mSetMessage(mFormatString(number, value, text));
}

CRError::CRError(const CRError& other) : mSeverity(other.mSeverity) {
  std::memcpy(mMessage, other.mMessage, sizeof mMessage);
}

CRError& CRError::operator=(const CRError& other) {
  if (this != &other) {
    std::memcpy(mMessage, other.mMessage, sizeof mMessage);
    mSeverity = other.mSeverity;
  }
  return *this;
}

void CRError::mSetMessage(const char* text) {
  size_t n = strnlen(text, kMessageSize - 1);
  std::memcpy(mMessage, text, n);
  mMessage[n] = 0;
}

const char* CRError::mGetMessage(LONG number) {
  for (const MessageEntry& e : kMessages) {
    if (e.number == number) return e.format;
  }
  return "Undefined error";
}

char* CRError::mFormatString(LONG number, char* text) {
  Arg a[] = {{text, 0, true}};
  return Format(number, a, 1);
}

char* CRError::mFormatString(LONG number, char* text1, char* text2) {
  Arg a[] = {{text1, 0, true}, {text2, 0, true}};
  return Format(number, a, 2);
}

char* CRError::mFormatString(LONG number, char* text, LONG value) {
  Arg a[] = {{text, 0, true}, {nullptr, value, false}};
  return Format(number, a, 2);
}

char* CRError::mFormatString(LONG number, LONG value, char* text) {
  Arg a[] = {{nullptr, value, false}, {text, 0, true}};
  return Format(number, a, 2);
}

void CRErrorHandler::mReportError(CRError& error) { gLastError = error; }
void CRErrorHandler::mFatalError(LONG number) {
  CRError e(CRError::eFatal, number);
  mReportError(e);
}
CRError* CRErrorHandler::mGetLastError() { return &gLastError; }
void CRErrorHandler::mClearError() {
  CRError e;
  mReportError(e);
}
