#pragma once
// Calendar arithmetic shared by the date conversion, parsing and formatting files. Day numbers
// count days since 1899-12-30 (the OLE date's whole part) in the proleptic Gregorian calendar
// and work for any year, so callers may normalise out-of-range fields before checking limits.

#include <cstdint>

#include "platform/automation/variant.h"

namespace date_internal {

inline constexpr int64_t kSecondsPerDay = 86400;
inline constexpr int64_t kFirstDayNumber = -657434;  // 100-01-01
inline constexpr int64_t kLastDayNumber = 2958465;   // 9999-12-31
inline constexpr int kFirstYear = 100;
inline constexpr int kLastYear = 9999;

struct CivilDate {
  int64_t year;
  int month;  // 1-12
  int day;    // 1-31
};

bool IsLeapYear(int64_t year);
/// Days in a month (1-12) of any year.
int DaysInMonth(int64_t year, int month);
/// True for an existing day of years 100-9999.
bool IsCalendarDate(int64_t year, int64_t month, int64_t day);

/// The day number of a calendar day; month 1-12, day 1-31 (the day may run past the month's
/// end; it simply counts on). Valid for |year| below 2^40.
int64_t DayNumberFromCivil(int64_t year, int month, int day);
/// The calendar day of a day number; valid for |day_number| below 2^50.
CivilDate CivilFromDayNumber(int64_t day_number);

/// Years 0-29 mean 2000-2029 and 30-99 mean 1930-1999; other years are taken as written.
int64_t WindowTwoDigitYear(int64_t year);

/// The OLE date of a day number and a time of day in seconds (0-86399). Days before
/// 1899-12-30 count backwards while the time still counts forwards, so the time is subtracted.
DATE DateFromDayAndSeconds(int64_t day_number, int64_t seconds);

}  // namespace date_internal
