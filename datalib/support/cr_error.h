// CRError: one error of the data access library, a message of at most 255 characters and a
// severity (30 is fatal, 0 a cleared error), with the numbered message table. CRErrorHandler
// keeps the process-wide last error, which every report replaces; nothing is shown or
// logged. The last error and the formatting buffer are unguarded: use them from one thread.
#pragma once

#include "platform/kernel/export.h"
#include "platform/kernel/win_types.h"

class HALYARD_EXPORT CRError {
 public:
  enum eSeverity : LONG { eNone = 0, eWarning = 10, eError = 20, eFatal = 30 };
  static constexpr int kMessageSize = 256;

  CRError();
  CRError(eSeverity severity, char* text);
  CRError(eSeverity severity, LONG number);
  CRError(eSeverity severity, LONG number, char* text);
  CRError(eSeverity severity, LONG number, char* text1, char* text2);
  CRError(eSeverity severity, LONG number, char* text, LONG value);
  CRError(eSeverity severity, LONG number, LONG value, char* text);
  CRError(const CRError& other);

  CRError& operator=(const CRError& other);
  const char* mGetMessage() const { return mMessage; }
  eSeverity mGetSeverity() const { return mSeverity; }

  // The table's format for the number, or "Undefined error".
  static const char* mGetMessage(LONG number);
  // The number's message with the arguments put in for its conversions in order, in one
  // process-wide buffer that the next call overwrites. A conversion without an argument
  // stays empty; every argument is written by its own type, whatever the conversion says.
  static char* mFormatString(LONG number, char* text);
  static char* mFormatString(LONG number, char* text1, char* text2);
  static char* mFormatString(LONG number, char* text, LONG value);
  static char* mFormatString(LONG number, LONG value, char* text);

 private:
  void mSetMessage(const char* text);

  char mMessage[kMessageSize];
  eSeverity mSeverity;
};

class HALYARD_EXPORT CRErrorHandler {
 public:
  static void mReportError(CRError& error);
  static void mFatalError(LONG number);
  static CRError* mGetLastError();
  static void mClearError();
};
