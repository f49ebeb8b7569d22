#pragma once
// The date form of the server's headers and cookies: "Sun, 06-Nov-1994 08:49:37 GMT" (day
// name, day of month, month name and year joined with '-'), always in UTC.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

/// The calendar fields of a moment in UTC (no time-zone lookup, no lock).
struct UtcTime {
  int64_t year;
  int month;    // 1-12
  int day;      // 1-31
  int hour;
  int minute;
  int second;
  int weekday;  // 0 Sunday ... 6 Saturday
};
UtcTime UtcTimeOf(std::time_t moment);

/// The moment (seconds since 1970, UTC) in the header date form, without a line end. The
/// text of the last moment asked for is kept per thread (a server asks for the same second
/// many times).
std::string FormatHttpDate(std::time_t moment);
/// "label moment\r\n", e.g. "Date: Sun, 06-Nov-1994 08:49:37 GMT\r\n".
std::string HttpDateLine(std::string_view label, std::time_t moment);
/// The same appended to `headers` (the date of the last moment is kept per thread).
void AppendHttpDateLine(std::string& headers, std::string_view label, std::time_t moment);
/// "Sun, 06 Nov 1994 08:49:37 GMT": the moment with blanks between day, month and year, as
/// Last-Modified carries it (kept per thread for the last moment asked for).
void AppendLastModifiedDate(std::string& headers, std::time_t moment);

/// The English three-letter names the date form and the If-Modified-Since reader share:
/// day 0 is "Sun", month 0 is "Jan".
std::string_view DayAbbreviation(int day_of_week);
std::string_view MonthAbbreviation(int month_index);

/// 100-ns intervals from 1601-01-01 UTC to the given UTC calendar moment, or nothing when a
/// field is out of range (month 1-12, the month's days, hour 0-23, minute and second 0-59,
/// year 1601-30827).
std::optional<int64_t> FileTimeFromUtc(int year, int month, int day, int hour, int minute,
                                       int second);
/// Seconds since 1970 of a local calendar time given as an OLE date (cookie expiry, absolute
/// response expiry); nothing for a date outside the valid range or one mktime refuses.
std::optional<std::time_t> MomentOfLocalDate(double ole_date);

/// Seconds since 1970 of a file time (whole seconds, rounded down).
std::time_t TimeFromFileTime(int64_t file_time);
/// The file time of seconds since 1970.
int64_t FileTimeFromTime(std::time_t moment);
