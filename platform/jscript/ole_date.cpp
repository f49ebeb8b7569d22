#include "platform/jscript/ole_date.h"

#include <cmath>
#include <cstdint>
#include <ctime>
#include <limits>

#include "platform/automation/date_time.h"

namespace jscript {
namespace {

constexpr double kMillisecondsPerDay = 86400000.0;

}  // namespace

double TimeValueFromOleDate(DATE date) {
  constexpr double kInvalid = std::numeric_limits<double>::quiet_NaN();
  if (!IsValidDate(date)) return kInvalid;
  // The whole part counts days (backwards when negative); the fraction is the time of day
  // forwards in either case.
  double day = std::trunc(date);
  auto milliseconds = static_cast<int64_t>(std::llround(std::fabs(date - day) * kMillisecondsPerDay));
  if (milliseconds >= static_cast<int64_t>(kMillisecondsPerDay)) {
    day += 1;
    milliseconds = 0;
  }
  Result<DateParts> parts = SplitDate(day);
  if (!parts.ok()) return kInvalid;
  std::tm local{};
  local.tm_year = parts.value().year - 1900;
  local.tm_mon = parts.value().month - 1;
  local.tm_mday = parts.value().day;
  local.tm_hour = static_cast<int>(milliseconds / 3600000);
  local.tm_min = static_cast<int>(milliseconds / 60000 % 60);
  local.tm_sec = static_cast<int>(milliseconds / 1000 % 60);
  local.tm_isdst = -1;
  std::time_t moment = std::mktime(&local);
  if (moment == static_cast<std::time_t>(-1) && local.tm_year != 69) return kInvalid;
  return static_cast<double>(moment) * 1000.0 + static_cast<double>(milliseconds % 1000);
}

Result<DATE> OleDateFromTimeValue(double time_value) {
  if (!std::isfinite(time_value)) return ErrorNumber::Overflow;
  double seconds = std::floor(time_value / 1000.0);
  double milliseconds = time_value - seconds * 1000.0;
  auto moment = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (localtime_r(&moment, &local) == nullptr) return ErrorNumber::Overflow;
  DATE day = TRY(DateFromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday));
  double time_of_day =
      ((local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec) * 1000.0 + milliseconds) / kMillisecondsPerDay;
  return day >= 0 ? day + time_of_day : day - time_of_day;
}

}  // namespace jscript
