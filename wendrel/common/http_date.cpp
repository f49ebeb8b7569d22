#include "wendrel/common/http_date.h"

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

std::string FormatHttpDate(std::time_t moment) {
  std::tm utc{};
  if (gmtime_r(&moment, &utc) == nullptr) return {};
  char text[64];
  int length = std::snprintf(text, sizeof text, "%.3s, %02i-%.3s-%i %02i:%02i:%02i GMT",
                             DayAbbreviation(utc.tm_wday).data(),
                             utc.tm_mday, MonthAbbreviation(utc.tm_mon).data(),
                             utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
  if (length < 0) return {};
  return std::string(text, static_cast<size_t>(std::min<int>(length, sizeof text - 1)));
}

std::string HttpDateLine(std::string_view label, std::time_t moment) {
  std::string line(label);
  line += ' ';
  line += FormatHttpDate(moment);
  line += "\r\n";
  return line;
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
