#include "ole_date.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "variant.h"

namespace halyard::ole {
namespace {

// Days from 1 March of year 0 (proleptic Gregorian) for the civil date; the well-known
// era-based algorithm, exact for every year.
long long RawDaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe);
}

const long long kEpoch = RawDaysFromCivil(1899, 12, 30);

constexpr double kHalfSecond = 1.0 / 172800.0;

const char* const kMonths[12] = {"january",   "february", "march",    "april",
                                 "may",       "june",     "july",     "august",
                                 "september", "october",  "november", "december"};

}  // namespace

long long DaysFromCivil(long long year, unsigned month, unsigned day) {
  return RawDaysFromCivil(year, month, day) - kEpoch;
}

void CivilFromDays(long long days, int* year, int* month, int* day) {
  const long long z = days + kEpoch;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(y + (m <= 2));
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool OleDateFromParts(int year, int month, int day, int hour, int minute, int second, DATE* out) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59) {
    return false;
  }
  const long long days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
  *out = days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
  return true;
}

bool OleDateToParts(DATE date, DateParts* out) {
  if (!(date >= kMinOleDate && date < kMaxOleDate + 1.0)) return false;
  // Round to the second away from zero first, so 23:59:59.9999 becomes the next midnight.
  double rounded = date + (date > 0.0 ? kHalfSecond : -kHalfSecond);
  const long long days = static_cast<long long>(rounded);  // towards zero
  rounded = std::fabs(rounded);
  long seconds = static_cast<long>((rounded - std::floor(rounded)) * 86400.0);
  if (seconds >= 86400) seconds = 86399;
  int y, m, d;
  CivilFromDays(days, &y, &m, &d);
  if (y < 100 || y > 9999) return false;
  out->year = y;
  out->month = m;
  out->day = d;
  out->hour = static_cast<int>(seconds / 3600);
  out->minute = static_cast<int>(seconds / 60 % 60);
  out->second = static_cast<int>(seconds % 60);
  // 30 December 1899 was a Saturday.
  out->dayOfWeek = static_cast<int>(((days % 7) + 7 + 6) % 7) + 1;
  out->dayOfYear = static_cast<int>(days - DaysFromCivil(y, 1, 1)) + 1;
  return true;
}

bool FormatOleDate(DATE date, ULONG flags, std::string* out) {
  DateParts p;
  if (!OleDateToParts(date, &p)) return false;
  const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
  const bool dayZero = p.year == 1899 && p.month == 12 && p.day == 30;
  bool showDate = !dayZero;
  bool showTime = !midnight || dayZero;
  if (flags & VAR_DATEVALUEONLY) showDate = true, showTime = false;
  if (flags & VAR_TIMEVALUEONLY) showDate = false, showTime = true;
  char buf[64];
  out->clear();
  if (showDate) {
    std::snprintf(buf, sizeof(buf), "%d/%d/%d", p.month, p.day, p.year);
    *out += buf;
  }
  if (showTime) {
    const int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
    std::snprintf(buf, sizeof(buf), "%s%d:%02d:%02d %s", showDate ? " " : "", h12, p.minute,
                  p.second, p.hour < 12 ? "AM" : "PM");
    *out += buf;
  }
  return true;
}

namespace {

struct Token {
  enum Kind { kNumber, kMonth, kAm, kPm } kind;
  long value;
  int digits;
  char16_t after;  // the separator that follows (0 at the end, ' ' for blanks)
};

bool Tokenize(std::u16string_view text, std::vector<Token>* tokens) {
  size_t i = 0;
  const size_t n = text.size();
  auto lower = [](char16_t c) -> char {
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c < 0x80 ? static_cast<char>(c) : '\x7F';
  };
  while (i < n && text[i] == ' ') ++i;
  while (i < n) {
    Token t{Token::kNumber, 0, 0, 0};
    const char16_t c = text[i];
    if (c >= '0' && c <= '9') {
      while (i < n && text[i] >= '0' && text[i] <= '9') {
        if (t.digits >= 9) return false;
        t.value = t.value * 10 + (text[i] - '0');
        ++t.digits;
        ++i;
      }
    } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      std::string word;
      while (i < n && ((text[i] >= 'A' && text[i] <= 'Z') || (text[i] >= 'a' && text[i] <= 'z'))) {
        if (word.size() > 16) return false;
        word.push_back(lower(text[i]));
        ++i;
      }
      if (word == "am" || word == "a") {
        t.kind = Token::kAm;
      } else if (word == "pm" || word == "p") {
        t.kind = Token::kPm;
      } else {
        int month = 0;
        for (int m = 0; m < 12 && month == 0; ++m) {
          const std::string full = kMonths[m];
          if (word == full || (word.size() == 3 && full.compare(0, 3, word) == 0) ||
              (word == "sept" && m == 8)) {
            month = m + 1;
          }
        }
        if (month == 0) return false;
        t.kind = Token::kMonth;
        t.value = month;
      }
    } else {
      return false;
    }
    // One separator, blanks around it allowed.
    while (i < n && text[i] == ' ') t.after = ' ', ++i;
    if (i < n &&
        (text[i] == '/' || text[i] == '-' || text[i] == '.' || text[i] == ',' || text[i] == ':')) {
      t.after = text[i];
      ++i;
      while (i < n && text[i] == ' ') ++i;
    }
    tokens->push_back(t);
  }
  return true;
}

long CurrentYear() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  if (localtime_r(&now, &tm) == nullptr) return 2000;
  return tm.tm_year + 1900L;
}

}  // namespace

bool ParseOleDate(std::u16string_view text, DATE* out) {
  std::vector<Token> tokens;
  if (!Tokenize(text, &tokens) || tokens.empty()) return false;
  // The time: a number followed by ':' starts it; or a number followed by AM/PM.
  size_t timeStart = tokens.size();
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind == Token::kNumber &&
        (tokens[i].after == ':' || (i + 1 < tokens.size() && (tokens[i + 1].kind == Token::kAm ||
                                                              tokens[i + 1].kind == Token::kPm)))) {
      timeStart = i;
      break;
    }
  }
  long hour = 0, minute = 0, second = 0;
  bool haveTime = false;
  size_t timeEnd = timeStart;
  if (timeStart < tokens.size()) {
    haveTime = true;
    long parts[3] = {0, 0, 0};
    int count = 0;
    size_t i = timeStart;
    while (i < tokens.size() && tokens[i].kind == Token::kNumber && count < 3) {
      parts[count++] = tokens[i].value;
      const bool more = tokens[i].after == ':';
      ++i;
      if (!more) break;
    }
    hour = parts[0], minute = parts[1], second = parts[2];
    if (i < tokens.size() && (tokens[i].kind == Token::kAm || tokens[i].kind == Token::kPm)) {
      if (hour < 1 || hour > 12) return false;
      if (tokens[i].kind == Token::kAm) {
        if (hour == 12) hour = 0;
      } else if (hour != 12) {
        hour += 12;
      }
      ++i;
    }
    timeEnd = i;
    if (hour > 23 || minute > 59 || second > 59) return false;
  }
  std::vector<Token> date(tokens.begin(), tokens.begin() + static_cast<long>(timeStart));
  // A date may also follow the time.
  if (timeEnd < tokens.size()) {
    if (!date.empty()) return false;
    date.assign(tokens.begin() + static_cast<long>(timeEnd), tokens.end());
  }
  long year = 0, month = 0, day = 0;
  int yearDigits = 4;
  if (date.empty()) {
    if (!haveTime) return false;
    *out = (hour * 3600 + minute * 60 + second) / 86400.0;
    return true;
  }
  std::vector<long> numbers;
  std::vector<int> digits;
  int monthIndex = -1;
  for (size_t i = 0; i < date.size(); ++i) {
    if (date[i].kind == Token::kMonth) {
      if (monthIndex >= 0) return false;
      monthIndex = static_cast<int>(i);
      month = date[i].value;
    } else if (date[i].kind == Token::kNumber) {
      numbers.push_back(date[i].value);
      digits.push_back(date[i].digits);
    } else {
      return false;
    }
  }
  if (monthIndex >= 0) {
    if (numbers.size() == 1) {
      day = numbers[0], year = CurrentYear();
    } else if (numbers.size() == 2) {
      if (digits[0] >= 3) {
        year = numbers[0], yearDigits = digits[0], day = numbers[1];
      } else {
        day = numbers[0], year = numbers[1], yearDigits = digits[1];
      }
    } else {
      return false;
    }
  } else if (numbers.size() == 3) {
    if (digits[0] >= 3) {
      year = numbers[0], yearDigits = digits[0], month = numbers[1], day = numbers[2];
    } else {
      month = numbers[0], day = numbers[1], year = numbers[2], yearDigits = digits[2];
    }
  } else if (numbers.size() == 2) {
    month = numbers[0], day = numbers[1], year = CurrentYear();
  } else {
    return false;
  }
  if (yearDigits <= 2) year += year < 30 ? 2000 : 1900;
  return OleDateFromParts(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                          static_cast<int>(hour), static_cast<int>(minute),
                          static_cast<int>(second), out);
}

}  // namespace halyard::ole
