#include "wendrel/common/http_date.h"

#include "platform/automation/date_time.h"

#include <array>
#include <algorithm>
#include <cstdio>

namespace {

constexpr std::array<std::string_view, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                   "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

std::string_view DayAbbreviation(int day_of_week) {
  if (day_of_week < 0 || day_of_week >= 7) return {};
  return kDays[static_cast<size_t>(day_of_week)];
}

std::string_view MonthAbbreviation(int month_index) {
  if (month_index < 0 || month_index >= 12) return {};
  return kMonths[static_cast<size_t>(month_index)];
}

UtcTime UtcTimeOf(std::time_t moment) {
  int64_t seconds = static_cast<int64_t>(moment);
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Civil date of a day count from 1970-01-01 (proleptic Gregorian).
  int64_t shifted = days + 719468;
  int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  int64_t day_of_era = shifted - era * 146097;
  int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  int64_t month_index = (5 * day_of_year + 2) / 153;
  UtcTime utc{};
  utc.day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
  utc.month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
  utc.year = year_of_era + era * 400 + (utc.month <= 2 ? 1 : 0);
  utc.hour = static_cast<int>(rest / 3600);
  utc.minute = static_cast<int>(rest % 3600 / 60);
  utc.second = static_cast<int>(rest % 60);
  int64_t weekday = (days + 4) % 7;  // 1970-01-01 was a Thursday
  utc.weekday = static_cast<int>(weekday < 0 ? weekday + 7 : weekday);
  return utc;
}

namespace {

void AppendTwoDigits(std::string& text, int value) {
  text.push_back(static_cast<char>('0' + value / 10 % 10));
  text.push_back(static_cast<char>('0' + value % 10));
}

// "Sun, 06-Nov-1994 08:49:37 GMT" with `separator` between day, month and year ('-' for the
// header date form, ' ' for Last-Modified).
void AppendDate(std::string& text, std::time_t moment, char separator) {
  UtcTime utc = UtcTimeOf(moment);
  text += DayAbbreviation(utc.weekday);
  text += ", ";
  AppendTwoDigits(text, utc.day);
  text.push_back(separator);
  text += MonthAbbreviation(utc.month - 1);
  text.push_back(separator);
  text += std::to_string(utc.year);
  text.push_back(' ');
  AppendTwoDigits(text, utc.hour);
  text.push_back(':');
  AppendTwoDigits(text, utc.minute);
  text.push_back(':');
  AppendTwoDigits(text, utc.second);
  text += " GMT";
}

}  // namespace

std::string FormatHttpDate(std::time_t moment) {
  thread_local std::time_t cached_moment = -1;
  thread_local std::string cached_text;
  if (moment == cached_moment && !cached_text.empty()) return cached_text;
  cached_text.clear();
  AppendDate(cached_text, moment, '-');
  cached_moment = moment;
  return cached_text;
}

void AppendHttpDateLine(std::string& headers, std::string_view label, std::time_t moment) {
  thread_local std::time_t cached_moment = -1;
  thread_local std::string cached_date;
  if (moment != cached_moment || cached_date.empty()) {
    cached_date.clear();
    AppendDate(cached_date, moment, '-');
    cached_moment = moment;
  }
  headers += label;
  headers += ' ';
  headers += cached_date;
  headers += "\r\n";
}

std::string HttpDateLine(std::string_view label, std::time_t moment) {
  std::string line;
  AppendHttpDateLine(line, label, moment);
  return line;
}

void AppendLastModifiedDate(std::string& headers, std::time_t moment) {
  thread_local std::time_t cached_moment = -1;
  thread_local std::string cached_date;
  if (moment != cached_moment || cached_date.empty()) {
    cached_date.clear();
    AppendDate(cached_date, moment, ' ');
    cached_moment = moment;
  }
  headers += cached_date;
}

namespace {

constexpr int64_t kFileTimeUnitsPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t year_of_era = year - era * 400;
  int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

}  // namespace

std::optional<int64_t> FileTimeFromUtc(int year, int month, int day, int hour, int minute,
                                       int second) {
  if (year < 1601 || year > 30827 || month < 1 || month > 12) return std::nullopt;
  if (day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return std::nullopt;
  }
  int64_t seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return (seconds + kSecondsFrom1601To1970) * kFileTimeUnitsPerSecond;
}

std::time_t TimeFromFileTime(int64_t file_time) {
  int64_t seconds = file_time / kFileTimeUnitsPerSecond;
  return static_cast<std::time_t>(seconds - kSecondsFrom1601To1970);
}

int64_t FileTimeFromTime(std::time_t moment) {
  return (static_cast<int64_t>(moment) + kSecondsFrom1601To1970) * kFileTimeUnitsPerSecond;
}

std::optional<std::time_t> MomentOfLocalDate(double ole_date) {
  Result<DateParts> parts = SplitDate(ole_date);
  if (!parts.ok()) return std::nullopt;
  std::tm local{};
  local.tm_year = parts.value().year - 1900;
  local.tm_mon = parts.value().month - 1;
  local.tm_mday = parts.value().day;
  local.tm_hour = parts.value().hour;
  local.tm_min = parts.value().minute;
  local.tm_sec = parts.value().second;
  local.tm_isdst = -1;
  std::time_t moment = std::mktime(&local);
  if (moment == static_cast<std::time_t>(-1)) return std::nullopt;
  return moment;
}
