#include "cpd_date.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>

#include "platform/ole/coledatetime.h"
#include "platform/ole/colevariant.h"
#include "cpd_string.h"

namespace {

const int kDaysInMonth[2][12] = {
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

// mktime that tells failure apart from the instant one second before 1970.
bool MakeTime(struct tm& t, time_t& out) {
  t.tm_wday = -1;
  time_t r = mktime(&t);
  if (r == static_cast<time_t>(-1) && t.tm_wday == -1) return false;
  out = r;
  return true;
}

time_t LocalInstant(int year, int month, int day, int hour, int minute, int second) {
  struct tm t {};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  time_t r = -1;
  MakeTime(t, r);
  return r;
}

}  // namespace

CPDDate::CPDDate() : mTime(time(nullptr)) {}

CPDDate::CPDDate(unsigned short year, unsigned short month, unsigned short day)
    : mTime(LocalInstant(year, month, day, 0, 0, 1)) {}

CPDDate::CPDDate(unsigned short year, unsigned short month, unsigned short day, unsigned short hour,
                 unsigned short minute, unsigned short second)
    : mTime(LocalInstant(year, month, day, hour, minute, second)) {}

CPDDate::~CPDDate() = default;

CPDDate* CPDDate::mCopy() { return new CPDDate(*this); }
CPDDate* CPDDate::mNew() { return new CPDDate(); }

CPDObject& CPDDate::operator=(const CPDObject& other) {
  const auto* o = dynamic_cast<const CPDDate*>(&other);
  if (o == nullptr) throw static_cast<char*>(cPDUnsupportedConversion);
  mTime = o->mTime;
  return *this;
}

int CPDDate::mCompare(const CPDObject* other) const {
  const auto* o = dynamic_cast<const CPDDate*>(other);
  if (o == nullptr) return -1;
  long long a = mDayNumber();
  long long b = o->mDayNumber();
  return a < b ? -1 : (a > b ? 1 : 0);
}

CPDDate& CPDDate::operator+=(unsigned long seconds) {
  mTime += static_cast<time_t>(seconds);
  return *this;
}

CPDDate& CPDDate::operator-=(unsigned long seconds) {
  mTime -= static_cast<time_t>(seconds);
  return *this;
}

LONG CPDDate::mGetDateAsLong() const {
  if (mTime > INT32_MAX) return INT32_MAX;
  if (mTime < INT32_MIN) return INT32_MIN;
  return static_cast<LONG>(mTime);
}

bool CPDDate::mLocal(struct tm& out) const {
  time_t t = mTime;
  return localtime_r(&t, &out) != nullptr;
}

int CPDDate::mGetYear() const {
  struct tm t;
  return mLocal(t) ? t.tm_year + 1900 : 0;
}
int CPDDate::mGetMonth() const {
  struct tm t;
  return mLocal(t) ? t.tm_mon + 1 : 0;
}
int CPDDate::mGetDay() const {
  struct tm t;
  return mLocal(t) ? t.tm_mday : 0;
}
int CPDDate::mGetDayOfWeek() const {
  struct tm t;
  return mLocal(t) ? t.tm_wday + 1 : 0;
}
int CPDDate::mGetHour() const {
  struct tm t;
  return mLocal(t) ? t.tm_hour : 0;
}
int CPDDate::mGetMinute() const {
  struct tm t;
  return mLocal(t) ? t.tm_min : 0;
}
int CPDDate::mGetSecond() const {
  struct tm t;
  return mLocal(t) ? t.tm_sec : 0;
}

void CPDDate::mSetPart(int tm::*part, int value) {
  struct tm t;
  if (!mLocal(t)) return;
  t.*part = value;
  t.tm_isdst = -1;
  time_t r;
  if (MakeTime(t, r)) mTime = r;
}

void CPDDate::mSetYear(int year) {
  if (year < INT_MIN + 1900) return;
  mSetPart(&tm::tm_year, year - 1900);
}
void CPDDate::mSetMonth(int month) {
  if (month == INT_MIN) return;
  mSetPart(&tm::tm_mon, month - 1);
}
void CPDDate::mSetDay(int day) { mSetPart(&tm::tm_mday, day); }
void CPDDate::mSetHour(int hour) { mSetPart(&tm::tm_hour, hour); }
void CPDDate::mSetMinute(int minute) { mSetPart(&tm::tm_min, minute); }
void CPDDate::mSetSecond(int second) { mSetPart(&tm::tm_sec, second); }

int CPDDate::mIsLeapYear(unsigned short year) {
  return ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0) ? 1 : 0;
}

int CPDDate::mDaysInMonth(unsigned short month, unsigned short year) {
  if (month < 1 || month > 12) return 0;
  return kDaysInMonth[mIsLeapYear(year)][month - 1];
}

void CPDDate::mFormat(CPDString& out, const char* format) const {
  struct tm t;
  if (!mLocal(t)) return;
  char text[81];
  size_t n = strftime(text, 80, format, &t);
  text[n] = 0;
  out = text;
}

void CPDDate::mDate2Str(CPDString& out) const { mFormat(out, "%x"); }
void CPDDate::mTime2Str(CPDString& out) const { mFormat(out, "%X"); }
void CPDDate::mGetMonthStr(CPDString& out) const { mFormat(out, "%B"); }
void CPDDate::mGetYearStr(CPDString& out) const { mFormat(out, "%Y"); }
void CPDDate::mGetDayStr(CPDString& out) const { mFormat(out, "%d"); }
void CPDDate::mGetWeekDayStr(CPDString& out) const { mFormat(out, "%a"); }
void CPDDate::mGetDayPlanStr(CPDString& out) const { mFormat(out, "Day Plan %B %d, %Y"); }

void CPDDate::mGetMonthDateStr(CPDString& out) const {
  struct tm t;
  if (!mLocal(t)) return;
  char month[81];
  size_t n = strftime(month, 80, "%b ", &t);
  month[n] = 0;
  char text[120];
  std::snprintf(text, sizeof text, "%s%d", month, t.tm_mday);
  out = text;
}

int CPDDate::mWeekOf() const {
  struct tm t;
  if (!mLocal(t)) return 0;
  int year = t.tm_year + 1900;
  int month = t.tm_mon + 1;
  int d = t.tm_mday;
  for (int m = 1; m < month; ++m)
    d += mDaysInMonth(static_cast<unsigned short>(m), static_cast<unsigned short>(year));
  auto monday = [](int sundayBased) { return sundayBased == 1 ? 7 : sundayBased - 1; };
  CPDDate first(static_cast<unsigned short>(year), 1, 1);
  int jan1 = first.mGetDayOfWeek();
  int j = monday(jan1);
  int w = monday(t.tm_wday + 1);
  int n = (j + d + 7 - w) / 7;
  if (jan1 == 6 || jan1 == 7 || jan1 == 1) n -= 1;  // Friday, Saturday, Sunday
  if (n != 0) return n;
  int h = CPDDate(static_cast<unsigned short>(year - 1), 1, 1).mGetDayOfWeek();
  int l = CPDDate(static_cast<unsigned short>(year - 1), 12, 31).mGetDayOfWeek();
  bool hMonThu = h >= 2 && h <= 5;
  bool lThuSun = (l >= 5 && l <= 7) || l == 1;
  return (hMonThu && lThuSun) ? 53 : 52;
}

void CPDDate::mConvertFromOleVariant(const COleVariant& var) {
  if (var.vt != VT_DATE) return;
  COleDateTime dt(var.date);
  if (dt.GetStatus() != COleDateTime::valid) return;
  // At once, for the same reason as the stream reader.
  mSetLocal(dt.GetYear(), dt.GetMonth(), dt.GetDay(), dt.GetHour(), dt.GetMinute(), dt.GetSecond());
}

void CPDDate::mConvertToOleVariant(COleVariant* var) const {
  if (var != nullptr) *var = COleVariant(static_cast<long>(mTime), static_cast<VARTYPE>(VT_DATE));
}

void CPDDate::Serialize(std::ostream& os) {
  char text[96];
  int n = std::snprintf(text, sizeof text, "W%d %d %d %d %d %d ", mGetYear(), mGetMonth(),
                        mGetDay(), mGetHour(), mGetMinute(), mGetSecond());
  os.write(text, n);
}

void CPDDate::Serialize(std::istream& is) {
  int parts[6];
  for (int& p : parts) {
    if (!(is >> p)) return;
    is.get();
  }
  // All fields at once: set one by one on the current date, a day of 29 to 31 first met a
  // month too short for it and the date moved on a month.
  mSetLocal(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]);
}

void CPDDate::mSetLocal(int year, int month, int day, int hour, int minute, int second) {
  if (year < INT_MIN + 1900 || month == INT_MIN) return;
  struct tm t {};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  time_t r;
  if (MakeTime(t, r)) mTime = r;
}
