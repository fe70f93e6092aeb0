// CPDDate: the persistent date and time, one instant as seconds since 1970-01-01 UTC, held in
// 64 bits so that it keeps working after 2038. Calendar parts are read through the C library's
// local time and written back through mktime, so setters normalise and follow the local
// daylight-saving rules. Comparisons are by UTC day (seconds / 86400). Stream form: "W" and
// the local year, month, day, hour, minute, second, each followed by a blank; no archive form.
#pragma once

#include <ctime>

#include "cpd_object.h"

class CPDString;

class HALYARD_EXPORT CPDDate : public CPDObject {
 public:
  CPDDate();
  // 00:00:01 local time of that day.
  CPDDate(unsigned short year, unsigned short month, unsigned short day);
  CPDDate(unsigned short year, unsigned short month, unsigned short day, unsigned short hour,
          unsigned short minute, unsigned short second);
  CPDDate(const CPDDate& other) : CPDObject(), mTime(other.mTime) {}
  ~CPDDate() override;

  CPDObject& operator=(const CPDObject& other) override;
  int mCompare(const CPDObject* other) const override;
  void mConvertFromOleVariant(const COleVariant& var) override;
  void mConvertToOleVariant(COleVariant* var) const override;
  void Serialize(std::ostream& os) override;
  void Serialize(std::istream& is) override;
  // Appended after the root's operations (non-const, so the root's mCopy and mNew stay null).
  using CPDObject::mCopy;
  using CPDObject::mNew;
  virtual CPDDate* mCopy();
  // A new date holding the current time.
  virtual CPDDate* mNew();

  CPDDate& operator=(const CPDDate& other) {
    mTime = other.mTime;
    return *this;
  }
  CPDDate& operator=(LONG seconds) {
    mTime = seconds;
    return *this;
  }
  CPDDate& operator+=(unsigned long seconds);
  CPDDate& operator-=(unsigned long seconds);
  // The seconds count; for instants outside the 32-bit range the nearest 32-bit value.
  LONG mGetDateAsLong() const;
  // The full 64-bit seconds count.
  time_t mGetTime() const { return mTime; }
  void mSetTime(time_t seconds) { mTime = seconds; }

  int mGetYear() const;
  int mGetMonth() const;
  int mGetDay() const;
  int mGetDayOfWeek() const;  // 1 = Sunday
  int mGetHour() const;
  int mGetMinute() const;
  int mGetSecond() const;
  void mSetYear(int year);
  void mSetMonth(int month);
  void mSetDay(int day);
  // Sets every local field in one step (out-of-range fields carry over as in mktime).
  void mSetLocal(int year, int month, int day, int hour, int minute, int second);
  void mSetHour(int hour);
  void mSetMinute(int minute);
  void mSetSecond(int second);

  static int mIsLeapYear(unsigned short year);
  // 0 for a month outside 1 to 12.
  static int mDaysInMonth(unsigned short month, unsigned short year);

  bool operator==(const CPDDate& o) const { return mDayNumber() == o.mDayNumber(); }
  bool operator!=(const CPDDate& o) const { return mDayNumber() != o.mDayNumber(); }
  bool operator<(const CPDDate& o) const { return mDayNumber() < o.mDayNumber(); }
  bool operator<=(const CPDDate& o) const { return mDayNumber() <= o.mDayNumber(); }
  bool operator>(const CPDDate& o) const { return mDayNumber() > o.mDayNumber(); }
  bool operator>=(const CPDDate& o) const { return mDayNumber() >= o.mDayNumber(); }
  bool operator==(long day) const { return mDayNumber() == day; }
  // Floor division, so that instants before 1970 fall on their own day.
  long long mDayNumber() const {
    long long t = static_cast<long long>(mTime);
    return t >= 0 ? t / 86400 : -((-t + 86399) / 86400);
  }

  void mDate2Str(CPDString& out) const;
  void mTime2Str(CPDString& out) const;
  void mGetMonthStr(CPDString& out) const;
  void mGetYearStr(CPDString& out) const;
  void mGetDayStr(CPDString& out) const;
  void mGetWeekDayStr(CPDString& out) const;
  void mGetDayPlanStr(CPDString& out) const;
  void mGetMonthDateStr(CPDString& out) const;
  int mWeekOf() const;

 private:
  bool mLocal(struct tm& out) const;
  // Replaces one local-time part and converts back; nothing when a conversion fails.
  void mSetPart(int tm::*part, int value);
  void mFormat(CPDString& out, const char* format) const;

  time_t mTime;
};
