// The OLE date: a double counting days since midnight of 30 December 1899, the fraction being
// the time of day. Before that day the whole part is negative and the fraction still counts
// forward from midnight (-1.25 is 29 December 1899, 06:00). Dates are local times with no zone.
// These helpers convert between a date and its calendar parts, as the variant conversions and
// COleDateTime need; they are pure and thread-safe.
#pragma once

#include <string>

#include "ole_types.h"

namespace halyard::ole {

// The range an OLE date may take: 1 January 100 to 31 December 9999.
inline constexpr double kMinOleDate = -657434.0;
inline constexpr double kMaxOleDate = 2958465.0;

struct DateParts {
  int year;
  int month;      // 1-12
  int day;        // 1-31
  int hour;       // 0-23
  int minute;     // 0-59
  int second;     // 0-59
  int dayOfWeek;  // 1 = Sunday ... 7 = Saturday
  int dayOfYear;  // 1-366
};

// Days from 30 December 1899 to the given day of the proleptic Gregorian calendar.
long long DaysFromCivil(long long year, unsigned month, unsigned day);
void CivilFromDays(long long days, int* year, int* month, int* day);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// False when a part is out of its range or the year lies outside 100-9999.
bool OleDateFromParts(int year, int month, int day, int hour, int minute, int second, DATE* out);

// Rounds to the nearest second first; false outside the OLE date range or for NaN.
bool OleDateToParts(DATE date, DateParts* out);

// The text the variant conversions give for a date in the United States English locale:
// "M/D/YYYY", "h:mm:ss AM", or both separated by a blank. Only the date when the time is
// midnight, only the time when the day is 30 December 1899 (flags VAR_DATEVALUEONLY and
// VAR_TIMEVALUEONLY pick one). False when the date is out of range.
bool FormatOleDate(DATE date, ULONG flags, std::string* out);

// Reads the date and time forms people type in that locale: "M/D/YYYY", "M/D/YY", "M-D-YYYY",
// "YYYY-MM-DD", "D Mon YYYY", "Mon D, YYYY", each optionally followed by (or only) a time
// "h:mm[:ss] [AM|PM]"; two-digit years 0-29 are 2000-2029, 30-99 are 1930-1999.
bool ParseOleDate(std::u16string_view text, DATE* out);

}  // namespace halyard::ole
