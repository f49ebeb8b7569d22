#pragma once
// OLE dates: days since 1899-12-30 with the time of day as the fraction. A negative date counts
// days backwards while its fraction still counts the time forwards (-1.25 is 1899-12-29 06:00).
// Valid from 100-01-01 to 9999-12-31 23:59:59.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation/locale.h"
#include "platform/automation/result.h"
#include "platform/automation/variant.h"

inline constexpr double kMinDate = -657434.0;          // 100-01-01 00:00:00
inline constexpr double kMaxDate = 2958465.9999999;    // 9999-12-31 23:59:59

/// The calendar fields of a date (proleptic Gregorian calendar), the time rounded to the
/// nearest second.
struct DateParts {
  int year;
  int month;        // 1-12
  int day;          // 1-31
  int hour;         // 0-23
  int minute;
  int second;
  int day_of_week;  // 1 Sunday ... 7 Saturday
  int day_of_year;  // 1-366
};

bool IsValidDate(double date);

/// The date of exact calendar fields. Fails with Overflow (6) outside years 100-9999 and with
/// InvalidProcedureCall (5) for a month, day or time field out of its range.
Result<DATE> DateFromParts(int year, int month, int day, int hour = 0, int minute = 0,
                           int second = 0);
/// The local calendar time of a moment (seconds since 1970, e.g. a file time) as a date, whole
/// seconds; Overflow (6) outside the valid range.
Result<DATE> LocalDateOfMoment(int64_t seconds_since_1970);
/// Calendar fields of a date; Overflow (6) for a date outside the valid range.
Result<DateParts> SplitDate(DATE date);

/// DateSerial: months and days outside their ranges carry into the neighbouring months and
/// years (month 13 is January of the next year, day 0 the last day of the previous month);
/// years 0-29 mean 2000-2029 and 30-99 mean 1930-1999. Overflow (6) when the result is out
/// of range.
Result<DATE> DateSerial(int year, int month, int day);
/// TimeSerial: hours, minutes and seconds carry (TimeSerial(0, 0, -1) is 23:59:59 of the day
/// before, i.e. -0.99998...). Overflow (6) when the result is out of range.
Result<DATE> TimeSerial(int hour, int minute, int second);

/// Parses a date and/or time text: the locale's short-date order with its separator or '/',
/// '-', '.'; ISO yyyy-mm-dd; month names and abbreviations in the locale and in English, in
/// any position ("January 5, 2024", "5 Jan 2024"); an optional day name; two-number dates
/// (month and day in the locale's order, the current year); times h:mm[:ss] with optional AM/PM
/// (the locale's designators or AM/PM/A/P). Two-digit years as DateSerial. Fails with
/// TypeMismatch (13) when the text is no date.
Result<DATE> ParseDate(std::u16string_view text, const LocaleInfo& locale);

/// The display form of a date (what CStr prints): the short date, then the long time; the date
/// only when the time is midnight, the time only when the date part is 0 (1899-12-30).
std::u16string DateToText(DATE date, const LocaleInfo& locale);

/// The named formats of FormatDateTime.
enum class NamedDateFormat : int32_t {
  GeneralDate = 0,  // as DateToText
  LongDate = 1,     // the locale's long date
  ShortDate = 2,    // the locale's short date
  LongTime = 3,     // the locale's long time
  ShortTime = 4,    // 24-hour "HH:mm"
};
/// FormatDateTime; InvalidProcedureCall (5) for a format outside 0-4, Overflow (6) for a date
/// out of range.
Result<std::u16string> FormatDateTimeText(DATE date, NamedDateFormat format,
                                          const LocaleInfo& locale);
/// Writes calendar fields through a picture ("dddd, MMMM d, yyyy", "h:mm:ss tt").
std::u16string FormatDatePicture(const DateParts& parts, std::u16string_view picture,
                                 const LocaleInfo& locale);
