#include "coledatetime.h"

#include <cmath>
#include <string>
#include <vector>

#include "platform/mfc/carchive.h"
#include "platform/mfc/carchiveexception.h"
#include "bstr.h"
#include "coleexception.h"
#include "ole_date.h"

using halyard::ole::DateParts;

namespace {

bool InRange(double d) {
  return d >= halyard::ole::kMinOleDate && d < halyard::ole::kMaxOleDate + 1.0;
}

// Negative OLE dates count the time forward from a day counted backward, so -1.25 follows
// -1.0; arithmetic works on the linear form and converts back.
double LinearFromDate(DATE dt) {
  if (dt >= 0) return dt;
  const double whole = std::ceil(dt);
  return whole - (dt - whole);
}

DATE DateFromLinear(double value) {
  if (value >= 0) return value;
  const double whole = std::floor(value);
  return whole + (whole - value);
}

}  // namespace

COleDateTime COleDateTime::GetCurrentTime() { return COleDateTime(std::time(nullptr)); }

COleDateTime::COleDateTime() : m_dt(0), m_status(valid) {}

COleDateTime::COleDateTime(const VARIANT& varSrc) : COleDateTime() { *this = varSrc; }

COleDateTime::COleDateTime(DATE dtSrc) : COleDateTime() { *this = dtSrc; }

COleDateTime::COleDateTime(time_t timeSrc) : COleDateTime() { *this = timeSrc; }

COleDateTime::COleDateTime(const SYSTEMTIME& systimeSrc) : COleDateTime() { *this = systimeSrc; }

COleDateTime::COleDateTime(const FILETIME& filetimeSrc) : COleDateTime() { *this = filetimeSrc; }

COleDateTime::COleDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec)
    : COleDateTime() {
  SetDateTime(nYear, nMonth, nDay, nHour, nMin, nSec);
}

namespace {
bool PartsOf(const COleDateTime& d, DateParts* p) {
  return d.GetStatus() == COleDateTime::valid && halyard::ole::OleDateToParts(d.m_dt, p);
}
}  // namespace

int COleDateTime::GetYear() const {
  DateParts p;
  return PartsOf(*this, &p) ? p.year : AFX_OLE_DATETIME_ERROR;
}
int COleDateTime::GetMonth() const {
  DateParts p;
  return PartsOf(*this, &p) ? p.month : AFX_OLE_DATETIME_ERROR;
}
int COleDateTime::GetDay() const {
  DateParts p;
  return PartsOf(*this, &p) ? p.day : AFX_OLE_DATETIME_ERROR;
}
int COleDateTime::GetHour() const {
  DateParts p;
  return PartsOf(*this, &p) ? p.hour : AFX_OLE_DATETIME_ERROR;
}
int COleDateTime::GetMinute() const {
  DateParts p;
  return PartsOf(*this, &p) ? p.minute : AFX_OLE_DATETIME_ERROR;
}
int COleDateTime::GetSecond() const {
  DateParts p;
  return PartsOf(*this, &p) ? p.second : AFX_OLE_DATETIME_ERROR;
}
int COleDateTime::GetDayOfWeek() const {
  DateParts p;
  return PartsOf(*this, &p) ? p.dayOfWeek : AFX_OLE_DATETIME_ERROR;
}
int COleDateTime::GetDayOfYear() const {
  DateParts p;
  return PartsOf(*this, &p) ? p.dayOfYear : AFX_OLE_DATETIME_ERROR;
}

BOOL COleDateTime::GetAsSystemTime(SYSTEMTIME& sysTime) const {
  DateParts p;
  if (!PartsOf(*this, &p)) return FALSE;
  sysTime.wYear = static_cast<WORD>(p.year);
  sysTime.wMonth = static_cast<WORD>(p.month);
  sysTime.wDayOfWeek = static_cast<WORD>(p.dayOfWeek - 1);
  sysTime.wDay = static_cast<WORD>(p.day);
  sysTime.wHour = static_cast<WORD>(p.hour);
  sysTime.wMinute = static_cast<WORD>(p.minute);
  sysTime.wSecond = static_cast<WORD>(p.second);
  sysTime.wMilliseconds = 0;
  return TRUE;
}

BOOL COleDateTime::GetAsTimeT(time_t& timeOut) const {
  DateParts p;
  if (!PartsOf(*this, &p)) return FALSE;
  std::tm tm{};
  tm.tm_year = p.year - 1900;
  tm.tm_mon = p.month - 1;
  tm.tm_mday = p.day;
  tm.tm_hour = p.hour;
  tm.tm_min = p.minute;
  tm.tm_sec = p.second;
  tm.tm_isdst = -1;
  const time_t t = std::mktime(&tm);
  if (t == static_cast<time_t>(-1) && !(tm.tm_year == 69 && tm.tm_mon == 11 && tm.tm_mday == 31)) {
    return FALSE;
  }
  timeOut = t;
  return TRUE;
}

const COleDateTime& COleDateTime::operator=(const VARIANT& varSrc) {
  if (varSrc.vt == VT_DATE) {
    *this = varSrc.date;
    return *this;
  }
  VARIANT temp;
  VariantInit(&temp);
  const HRESULT hr = VariantChangeType(&temp, &varSrc, 0, VT_DATE);
  if (hr == E_OUTOFMEMORY) AfxThrowMemoryException();
  if (SUCCEEDED(hr)) {
    m_dt = temp.date;
    m_status = valid;
  } else {
    m_dt = 0;
    m_status = invalid;
  }
  VariantClear(&temp);
  return *this;
}

const COleDateTime& COleDateTime::operator=(DATE dtSrc) {
  m_dt = dtSrc;
  m_status = InRange(dtSrc) ? valid : invalid;
  return *this;
}

const COleDateTime& COleDateTime::operator=(const time_t& timeSrc) {
  std::tm tm{};
  if (localtime_r(&timeSrc, &tm) == nullptr ||
      !halyard::ole::OleDateFromParts(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour,
                                      tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec, &m_dt)) {
    m_dt = 0;
    m_status = invalid;
    return *this;
  }
  m_status = valid;
  return *this;
}

const COleDateTime& COleDateTime::operator=(const SYSTEMTIME& st) {
  SetDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
  return *this;
}

const COleDateTime& COleDateTime::operator=(const FILETIME& ft) {
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&ft, &st)) {
    m_dt = 0;
    m_status = invalid;
    return *this;
  }
  return *this = st;
}

BOOL COleDateTime::operator==(const COleDateTime& date) const {
  return m_status == date.m_status && m_dt == date.m_dt;
}
BOOL COleDateTime::operator!=(const COleDateTime& date) const { return !(*this == date); }
BOOL COleDateTime::operator<(const COleDateTime& date) const {
  return LinearFromDate(m_dt) < LinearFromDate(date.m_dt);
}
BOOL COleDateTime::operator>(const COleDateTime& date) const {
  return LinearFromDate(m_dt) > LinearFromDate(date.m_dt);
}
BOOL COleDateTime::operator<=(const COleDateTime& date) const {
  return LinearFromDate(m_dt) <= LinearFromDate(date.m_dt);
}
BOOL COleDateTime::operator>=(const COleDateTime& date) const {
  return LinearFromDate(m_dt) >= LinearFromDate(date.m_dt);
}

COleDateTime COleDateTime::operator+(const COleDateTimeSpan& dateSpan) const {
  COleDateTime result;
  if (m_status == null || dateSpan.GetStatus() == COleDateTimeSpan::null) {
    result.SetStatus(null);
  } else if (m_status == invalid || dateSpan.GetStatus() == COleDateTimeSpan::invalid) {
    result.SetStatus(invalid);
  } else {
    result = DateFromLinear(LinearFromDate(m_dt) + dateSpan.m_span);
  }
  return result;
}

COleDateTime COleDateTime::operator-(const COleDateTimeSpan& dateSpan) const {
  return *this + (-dateSpan);
}

const COleDateTime& COleDateTime::operator+=(const COleDateTimeSpan& dateSpan) {
  return *this = *this + dateSpan;
}

const COleDateTime& COleDateTime::operator-=(const COleDateTimeSpan& dateSpan) {
  return *this = *this - dateSpan;
}

COleDateTimeSpan COleDateTime::operator-(const COleDateTime& date) const {
  COleDateTimeSpan span;
  if (m_status == null || date.m_status == null) {
    span.SetStatus(COleDateTimeSpan::null);
  } else if (m_status == invalid || date.m_status == invalid) {
    span.SetStatus(COleDateTimeSpan::invalid);
  } else {
    span.m_span = LinearFromDate(m_dt) - LinearFromDate(date.m_dt);
  }
  return span;
}

int COleDateTime::SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec) {
  if (halyard::ole::OleDateFromParts(nYear, nMonth, nDay, nHour, nMin, nSec, &m_dt)) {
    m_status = valid;
    return 0;
  }
  m_status = invalid;
  return 1;
}

int COleDateTime::SetDate(int nYear, int nMonth, int nDay) {
  return SetDateTime(nYear, nMonth, nDay, 0, 0, 0);
}

int COleDateTime::SetTime(int nHour, int nMin, int nSec) {
  return SetDateTime(1899, 12, 30, nHour, nMin, nSec);
}

BOOL COleDateTime::ParseDateTime(LPCTSTR lpszDate, DWORD dwFlags, LCID lcid) {
  BSTR text = halyard::ole::BstrFromAnsi(lpszDate != nullptr ? lpszDate : "");
  if (text == nullptr) AfxThrowMemoryException();
  DATE value = 0;
  const HRESULT hr = VarDateFromStr(text, lcid, dwFlags, &value);
  SysFreeString(text);
  if (FAILED(hr)) {
    m_dt = hr == DISP_E_OVERFLOW ? -1 : 0;
    m_status = invalid;
    return FALSE;
  }
  if (dwFlags & VAR_DATEVALUEONLY) value = std::trunc(value);
  if (dwFlags & VAR_TIMEVALUEONLY) value = std::fabs(value - std::trunc(value));
  m_dt = value;
  m_status = valid;
  return TRUE;
}

CString COleDateTime::Format(DWORD dwFlags, LCID lcid) const {
  if (m_status == null) return CString();
  if (m_status == invalid) return CString("Invalid DateTime");
  BSTR text = nullptr;
  const HRESULT hr = VarBstrFromDate(m_dt, lcid, dwFlags, &text);
  if (FAILED(hr)) return CString("Invalid DateTime");
  const std::string ansi = halyard::ole::AnsiFromBstr(text);
  SysFreeString(text);
  return CString(ansi.c_str(), static_cast<int>(ansi.size()));
}

CString COleDateTime::Format(LPCTSTR lpszFormat) const {
  if (m_status == null) return CString();
  DateParts p;
  if (lpszFormat == nullptr || !PartsOf(*this, &p)) return CString("Invalid DateTime");
  std::tm tm{};
  tm.tm_year = p.year - 1900;
  tm.tm_mon = p.month - 1;
  tm.tm_mday = p.day;
  tm.tm_hour = p.hour;
  tm.tm_min = p.minute;
  tm.tm_sec = p.second;
  tm.tm_wday = p.dayOfWeek - 1;
  tm.tm_yday = p.dayOfYear - 1;
  if (*lpszFormat == '\0') return CString();
  // strftime gives 0 both for an empty result and for a too small buffer: grow a few times.
  std::vector<char> buf(256);
  for (int attempt = 0; attempt < 6; ++attempt) {
    const size_t n = std::strftime(buf.data(), buf.size(), lpszFormat, &tm);
    if (n > 0) return CString(buf.data(), static_cast<int>(n));
    buf.resize(buf.size() * 4);
  }
  return CString();
}

COleDateTimeSpan::COleDateTimeSpan() : m_span(0), m_status(valid) {}

COleDateTimeSpan::COleDateTimeSpan(double dblSpanSrc) : m_span(dblSpanSrc), m_status(valid) {}

COleDateTimeSpan::COleDateTimeSpan(long lDays, int nHours, int nMins, int nSecs)
    : COleDateTimeSpan() {
  SetDateTimeSpan(lDays, nHours, nMins, nSecs);
}

void COleDateTimeSpan::SetDateTimeSpan(long lDays, int nHours, int nMins, int nSecs) {
  m_span = lDays + nHours / 24.0 + nMins / 1440.0 + nSecs / 86400.0;
  m_status = valid;
}

namespace {
long long SpanSeconds(double span) { return std::llround(span * 86400.0); }
}  // namespace

long COleDateTimeSpan::GetDays() const { return static_cast<long>(SpanSeconds(m_span) / 86400); }
long COleDateTimeSpan::GetHours() const {
  return static_cast<long>(SpanSeconds(m_span) / 3600 % 24);
}
long COleDateTimeSpan::GetMinutes() const {
  return static_cast<long>(SpanSeconds(m_span) / 60 % 60);
}
long COleDateTimeSpan::GetSeconds() const { return static_cast<long>(SpanSeconds(m_span) % 60); }

COleDateTimeSpan COleDateTimeSpan::operator+(const COleDateTimeSpan& dateSpan) const {
  COleDateTimeSpan r(m_span + dateSpan.m_span);
  if (m_status != valid || dateSpan.m_status != valid) {
    r.m_status = (m_status == null || dateSpan.m_status == null) ? null : invalid;
  }
  return r;
}

COleDateTimeSpan COleDateTimeSpan::operator-(const COleDateTimeSpan& dateSpan) const {
  return *this + (-dateSpan);
}

COleDateTimeSpan COleDateTimeSpan::operator-() const {
  COleDateTimeSpan r(-m_span);
  r.m_status = m_status;
  return r;
}

BOOL COleDateTimeSpan::operator==(const COleDateTimeSpan& dateSpan) const {
  return m_status == dateSpan.m_status && m_span == dateSpan.m_span;
}

BOOL COleDateTimeSpan::operator<(const COleDateTimeSpan& dateSpan) const {
  return m_span < dateSpan.m_span;
}

CArchive& operator<<(CArchive& ar, const COleDateTime& dateSrc) {
  ar << static_cast<LONG>(dateSrc.m_status);
  return ar << dateSrc.m_dt;
}

CArchive& operator>>(CArchive& ar, COleDateTime& dateSrc) {
  LONG status;
  ar >> status;
  if (status < COleDateTime::valid || status > COleDateTime::null) {
    AfxThrowArchiveException(CArchiveException::generic);
  }
  double dt;
  ar >> dt;
  dateSrc.m_status = static_cast<COleDateTime::DateTimeStatus>(status);
  dateSrc.m_dt = dt;
  return ar;
}
