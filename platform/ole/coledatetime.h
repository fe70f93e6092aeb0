// COleDateTime: the class library's wrapper of the OLE date (days since midnight of
// 30 December 1899, local time without a zone) with a status (valid, invalid, null), and
// COleDateTimeSpan, a signed number of days. A time_t is converted through the C library's
// local time, so the time zone (TZ) and its daylight-saving rules apply; GetAsTimeT goes back
// the same way. Getters answer -1 (AFX_OLE_DATETIME_ERROR) for an invalid or null date.
// Value objects; the local-time conversions are thread-safe.
#pragma once

#include <ctime>

#include "platform/kernel/win_time.h"
#include "platform/mfc/cstring.h"
#include "variant.h"

#define AFX_OLE_DATETIME_ERROR (-1)

class CArchive;
class COleDateTimeSpan;

class COleDateTime {
 public:
  enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

  static COleDateTime GetCurrentTime();

  COleDateTime();                              // 0.0 (30 December 1899, midnight), valid
  COleDateTime(const VARIANT& varSrc);         // NOLINT(google-explicit-constructor)
  COleDateTime(DATE dtSrc);                    // NOLINT(google-explicit-constructor)
  COleDateTime(time_t timeSrc);                // NOLINT(google-explicit-constructor)
  COleDateTime(const SYSTEMTIME& systimeSrc);  // NOLINT(google-explicit-constructor)
  COleDateTime(const FILETIME& filetimeSrc);   // NOLINT(google-explicit-constructor)
  COleDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec);

  DateTimeStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeStatus status) { m_status = status; }

  // Calendar parts, rounded to the second.
  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;
  int GetDayOfWeek() const;  // 1 = Sunday
  int GetDayOfYear() const;  // 1 = 1 January
  BOOL GetAsSystemTime(SYSTEMTIME& sysTime) const;
  // The instant the local date and time name (daylight saving decided by the C library, as
  // mktime does with tm_isdst -1); FALSE for an invalid date or one time_t cannot hold.
  BOOL GetAsTimeT(time_t& timeOut) const;

  // A variant of another type is converted (VariantChangeType); one that cannot be gives
  // 0 and invalid.
  const COleDateTime& operator=(const VARIANT& varSrc);
  // Out of the OLE date range gives invalid.
  const COleDateTime& operator=(DATE dtSrc);
  // Local time of the instant; a time the C library cannot convert gives invalid.
  const COleDateTime& operator=(const time_t& timeSrc);
  const COleDateTime& operator=(const SYSTEMTIME& systimeSrc);
  const COleDateTime& operator=(const FILETIME& filetimeSrc);

  BOOL operator==(const COleDateTime& date) const;
  BOOL operator!=(const COleDateTime& date) const;
  BOOL operator<(const COleDateTime& date) const;
  BOOL operator>(const COleDateTime& date) const;
  BOOL operator<=(const COleDateTime& date) const;
  BOOL operator>=(const COleDateTime& date) const;

  // Arithmetic runs on a linear time scale (OLE dates before day zero are not linear).
  COleDateTime operator+(const COleDateTimeSpan& dateSpan) const;
  COleDateTime operator-(const COleDateTimeSpan& dateSpan) const;
  const COleDateTime& operator+=(const COleDateTimeSpan& dateSpan);
  const COleDateTime& operator-=(const COleDateTimeSpan& dateSpan);
  COleDateTimeSpan operator-(const COleDateTime& date) const;

  operator DATE() const { return m_dt; }  // NOLINT(google-explicit-constructor)

  // 0 on success; 1 with the status invalid when a part is out of its range (month 1-12,
  // day within the month, hour 0-23, minute and second 0-59, year 100-9999).
  int SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec);
  int SetDate(int nYear, int nMonth, int nDay);
  int SetTime(int nHour, int nMin, int nSec);
  // FALSE and invalid for a text that is no date (value 0) or out of range (value -1).
  // VAR_DATEVALUEONLY and VAR_TIMEVALUEONLY keep only that part.
  BOOL ParseDateTime(LPCTSTR lpszDate, DWORD dwFlags = 0, LCID lcid = LANG_USER_DEFAULT);

  // As automation writes dates ("1/2/2000 1:05:00 PM"); the empty text when null,
  // "Invalid DateTime" when invalid.
  CString Format(DWORD dwFlags = 0, LCID lcid = LANG_USER_DEFAULT) const;
  // strftime-style format over the date's parts.
  CString Format(LPCTSTR lpszFormat) const;

  DATE m_dt;
  DateTimeStatus m_status;
};

class COleDateTimeSpan {
 public:
  enum DateTimeSpanStatus { valid = 0, invalid = 1, null = 2 };

  COleDateTimeSpan();
  COleDateTimeSpan(double dblSpanSrc);  // NOLINT(google-explicit-constructor)
  COleDateTimeSpan(long lDays, int nHours, int nMins, int nSecs);

  DateTimeSpanStatus GetStatus() const { return m_status; }
  void SetStatus(DateTimeSpanStatus status) { m_status = status; }
  void SetDateTimeSpan(long lDays, int nHours, int nMins, int nSecs);

  double GetTotalDays() const { return m_span; }
  double GetTotalHours() const { return m_span * 24; }
  double GetTotalMinutes() const { return m_span * 24 * 60; }
  double GetTotalSeconds() const { return m_span * 24 * 60 * 60; }
  // The parts of the span rounded to the second; negative spans give negative parts.
  long GetDays() const;
  long GetHours() const;
  long GetMinutes() const;
  long GetSeconds() const;

  COleDateTimeSpan operator+(const COleDateTimeSpan& dateSpan) const;
  COleDateTimeSpan operator-(const COleDateTimeSpan& dateSpan) const;
  COleDateTimeSpan operator-() const;
  BOOL operator==(const COleDateTimeSpan& dateSpan) const;
  BOOL operator<(const COleDateTimeSpan& dateSpan) const;
  operator double() const { return m_span; }  // NOLINT(google-explicit-constructor)

  double m_span;
  DateTimeSpanStatus m_status;
};

// The archive form of the class library: the status as a 32-bit number, then the date.
CArchive& operator<<(CArchive& ar, const COleDateTime& dateSrc);
CArchive& operator>>(CArchive& ar, COleDateTime& dateSrc);
