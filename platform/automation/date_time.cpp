#include "platform/automation/date_time.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "platform/automation/date_time_internal.h"

namespace date_internal {
namespace {

constexpr int64_t kDaysPer400Years = 146097;
// Day numbers below are first counted from 0000-03-01, the start of a 400-year cycle whose
// leap day falls at the end of the counting year; this is 1899-12-30 in that count.
constexpr int64_t kOleEpochFromMarchZero = 693899;

constexpr int64_t FloorDivide(int64_t value, int64_t divisor) {
  int64_t quotient = value / divisor;
  return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

}  // namespace

bool IsLeapYear(int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int64_t year, int month) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

bool IsCalendarDate(int64_t year, int64_t month, int64_t day) {
  if (year < kFirstYear || year > kLastYear) return false;
  if (month < 1 || month > 12) return false;
  return day >= 1 && day <= DaysInMonth(year, static_cast<int>(month));
}

int64_t DayNumberFromCivil(int64_t year, int month, int day) {
  // Counting years from March puts February's leap day last, so the day of the year follows
  // from the month by one linear formula.
  int64_t march_year = month <= 2 ? year - 1 : year;
  int64_t cycle = FloorDivide(march_year, 400);
  int64_t year_of_cycle = march_year - cycle * 400;                      // 0-399
  int march_month = month > 2 ? month - 3 : month + 9;                   // 0 = March
  int64_t day_of_year = (153 * march_month + 2) / 5 + day - 1;           // 0-365
  int64_t day_of_cycle = year_of_cycle * 365 + year_of_cycle / 4 - year_of_cycle / 100 +
                         day_of_year;
  return cycle * kDaysPer400Years + day_of_cycle - kOleEpochFromMarchZero;
}

CivilDate CivilFromDayNumber(int64_t day_number) {
  int64_t from_march_zero = day_number + kOleEpochFromMarchZero;
  int64_t cycle = FloorDivide(from_march_zero, kDaysPer400Years);
  int64_t day_of_cycle = from_march_zero - cycle * kDaysPer400Years;  // 0-146096
  int64_t year_of_cycle = (day_of_cycle - day_of_cycle / 1460 + day_of_cycle / 36524 -
                           day_of_cycle / 146096) / 365;
  int64_t day_of_year = day_of_cycle - (365 * year_of_cycle + year_of_cycle / 4 -
                                        year_of_cycle / 100);
  int march_month = static_cast<int>((5 * day_of_year + 2) / 153);
  int day = static_cast<int>(day_of_year - (153 * march_month + 2) / 5 + 1);
  int month = march_month < 10 ? march_month + 3 : march_month - 9;
  int64_t year = year_of_cycle + cycle * 400 + (month <= 2 ? 1 : 0);
  return {year, month, day};
}

int64_t WindowTwoDigitYear(int64_t year) {
  if (year < 0 || year > 99) return year;
  return year < 30 ? year + 2000 : year + 1900;
}

DATE DateFromDayAndSeconds(int64_t day_number, int64_t seconds) {
  double day = static_cast<double>(day_number);
  double time = static_cast<double>(seconds) / static_cast<double>(kSecondsPerDay);
  return day_number < 0 ? day - time : day + time;
}

}  // namespace date_internal

using namespace date_internal;

namespace {

// A valid date's whole part counts days (toward zero) and its magnitude's fraction is the time.
struct DayAndSeconds {
  int64_t day_number;
  int64_t seconds;  // 0-86399
};

// Rounds the time to the nearest second; 23:59:59.5 and later become the next midnight, except
// on the last valid day, which has no next day to carry into.
DayAndSeconds RoundToSecond(DATE date) {
  double whole = std::trunc(date);
  double fraction = std::fabs(date - whole);
  DayAndSeconds result{static_cast<int64_t>(whole),
                       std::llround(fraction * static_cast<double>(kSecondsPerDay))};
  if (result.seconds < kSecondsPerDay) return result;
  if (result.day_number == kLastDayNumber) return {kLastDayNumber, kSecondsPerDay - 1};
  return {result.day_number + 1, 0};
}

// 1899-12-30, day number 0, was a Saturday.
int DayOfWeek(int64_t day_number) {
  int64_t from_sunday = ((day_number + 6) % 7 + 7) % 7;
  return static_cast<int>(from_sunday) + 1;
}

}  // namespace

bool IsValidDate(double date) {
  // Comparisons are false for NaN, so it fails here as well.
  return date > static_cast<double>(kFirstDayNumber - 1) &&
         date < static_cast<double>(kLastDayNumber + 1);
}

Result<DATE> DateFromParts(int year, int month, int day, int hour, int minute, int second) {
  if (year < kFirstYear || year > kLastYear) return ErrorNumber::Overflow;
  if (!IsCalendarDate(year, month, day)) return ErrorNumber::InvalidProcedureCall;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return ErrorNumber::InvalidProcedureCall;
  }
  int64_t seconds = int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
  return DateFromDayAndSeconds(DayNumberFromCivil(year, month, day), seconds);
}

Result<DateParts> SplitDate(DATE date) {
  if (!IsValidDate(date)) return ErrorNumber::Overflow;
  DayAndSeconds rounded = RoundToSecond(date);
  CivilDate civil = CivilFromDayNumber(rounded.day_number);
  DateParts parts{};
  parts.year = static_cast<int>(civil.year);
  parts.month = civil.month;
  parts.day = civil.day;
  parts.hour = static_cast<int>(rounded.seconds / 3600);
  parts.minute = static_cast<int>(rounded.seconds / 60 % 60);
  parts.second = static_cast<int>(rounded.seconds % 60);
  parts.day_of_week = DayOfWeek(rounded.day_number);
  parts.day_of_year =
      static_cast<int>(rounded.day_number - DayNumberFromCivil(civil.year, 1, 1)) + 1;
  return parts;
}

Result<DATE> DateSerial(int year, int month, int day) {
  // 64-bit throughout: any int arguments stay far inside the calendar functions' range.
  int64_t months = WindowTwoDigitYear(year) * 12 + (int64_t{month} - 1);
  int64_t normal_year = FloorDivide(months, 12);
  int normal_month = static_cast<int>(months - normal_year * 12) + 1;
  int64_t day_number = DayNumberFromCivil(normal_year, normal_month, 1) + (int64_t{day} - 1);
  if (day_number < kFirstDayNumber || day_number > kLastDayNumber) return ErrorNumber::Overflow;
  return static_cast<DATE>(day_number);
}

Result<DATE> TimeSerial(int hour, int minute, int second) {
  int64_t total = int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
  // Whole days count toward zero and a negative remainder wraps to the time before midnight
  // of that day: -1 second is 23:59:59 on day 0, stored as -(86399 / 86400).
  int64_t days = total / kSecondsPerDay;
  int64_t remainder = total % kSecondsPerDay;
  if (days < kFirstDayNumber || days > kLastDayNumber) return ErrorNumber::Overflow;
  if (remainder >= 0) return DateFromDayAndSeconds(days, remainder);
  double time = static_cast<double>(kSecondsPerDay + remainder) /
                static_cast<double>(kSecondsPerDay);
  return static_cast<double>(days) - time;
}

Result<DATE> LocalDateOfMoment(int64_t seconds_since_1970) {
  std::time_t moment = static_cast<std::time_t>(seconds_since_1970);
  struct tm fields {};
  if (localtime_r(&moment, &fields) == nullptr) return ErrorNumber::Overflow;
  // A leap second shows as :59.
  return DateFromParts(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
                       fields.tm_min, std::min(fields.tm_sec, 59));
}
