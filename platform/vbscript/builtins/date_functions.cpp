// The date and time functions: the local clock (Date, Time, Now, Timer), calendar arithmetic
// (DateAdd, DateDiff, DatePart), construction (DateSerial, TimeSerial, DateValue, TimeValue),
// the fields of a date, and month and weekday names from the thread locale.
//
// Arithmetic works on a date's day number (whole days since 1899-12-30, negative before it)
// and its time of day in seconds, both taken from the value layer's calendar fields, so dates
// before 1899, whose stored fraction counts backwards, need no special case.

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/automation/conversion.h"
#include "platform/automation/date_time.h"
#include "platform/automation/locale.h"
#include "platform/automation/text_case.h"
#include "platform/vbscript/builtins/builtin_functions_internal.h"

namespace builtins {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kFirstDay = static_cast<int64_t>(kMinDate);  // 100-01-01
constexpr int64_t kLastDay = static_cast<int64_t>(kMaxDate);   // 9999-12-31

// ---- Day numbers ----

struct DayTime {
  int64_t day;      // whole days since 1899-12-30
  int64_t seconds;  // 0-86399
  DateParts parts;
};

int64_t FloorDivide(int64_t value, int64_t divisor) {
  int64_t quotient = value / divisor;
  return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

Result<DayTime> SplitDayTime(DATE date) {
  DateParts parts = TRY(SplitDate(date));
  DATE midnight = TRY(DateFromParts(parts.year, parts.month, parts.day));
  int64_t seconds = int64_t{parts.hour} * 3600 + parts.minute * 60 + parts.second;
  return DayTime{static_cast<int64_t>(midnight), seconds, parts};
}

// The date of a day number and a count of seconds that may run past either end of the day;
// InvalidProcedureCall (5) outside years 100-9999, as DateAdd reports it.
Result<DATE> JoinDayTime(int64_t day, int64_t seconds) {
  day += FloorDivide(seconds, kSecondsPerDay);
  seconds -= FloorDivide(seconds, kSecondsPerDay) * kSecondsPerDay;
  if (day < kFirstDay || day > kLastDay) return ErrorNumber::InvalidProcedureCall;
  DateParts civil = TRY(SplitDate(static_cast<DATE>(day)));
  return DateFromParts(civil.year, civil.month, civil.day, static_cast<int>(seconds / 3600),
                       static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

// 1 Sunday ... 7 Saturday; day 0 (1899-12-30) was a Saturday.
int WeekdayOf(int64_t day) { return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1; }

// Weekday counted from the chosen first day of the week (1 is that day).
int RelativeWeekday(int weekday, int first_day) { return (weekday - first_day + 7) % 7 + 1; }

// The day number of the first day of the week holding `day`.
int64_t WeekStart(int64_t day, int first_day) { return day - (RelativeWeekday(WeekdayOf(day), first_day) - 1); }

// ---- Arguments ----

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

struct IntervalName {
  std::u16string_view name;
  Interval interval;
};

constexpr IntervalName kIntervals[] = {
    {u"yyyy", Interval::Year}, {u"q", Interval::Quarter},    {u"m", Interval::Month},
    {u"y", Interval::DayOfYear}, {u"d", Interval::Day},      {u"w", Interval::Weekday},
    {u"ww", Interval::Week},   {u"h", Interval::Hour},       {u"n", Interval::Minute},
    {u"s", Interval::Second},
};

Result<Interval> ReadInterval(const VARIANT& argument) {
  TextArgument text = TRY(ReadNonNullText(argument));
  for (const IntervalName& entry : kIntervals) {
    if (EqualsIgnoringCase(entry.name, text.view)) return entry.interval;
  }
  return ErrorNumber::InvalidProcedureCall;
}

// firstdayofweek: 1 Sunday ... 7 Saturday, Sunday when omitted, 0 the locale's first day.
Result<int> ReadFirstDayOfWeek(const BuiltinCall& call, size_t index) {
  int32_t value = TRY(OptionalLong(call, index, 1));
  if (value < 0 || value > 7) return ErrorNumber::InvalidProcedureCall;
  if (value != 0) return value;
  // The locale numbers its first day from Monday (0) to Sunday (6).
  return (CurrentLocale().first_day_of_week + 1) % 7 + 1;
}

enum class FirstWeek { JanuaryFirst = 1, FirstFourDays = 2, FirstFullWeek = 3 };

// firstweekofyear: 1-3, January 1st when omitted; 0 (the system's choice) is January 1st too,
// the rule of the locales that set none.
Result<FirstWeek> ReadFirstWeekOfYear(const BuiltinCall& call, size_t index) {
  int32_t value = TRY(OptionalLong(call, index, 1));
  if (value < 0 || value > 3) return ErrorNumber::InvalidProcedureCall;
  return value == 0 ? FirstWeek::JanuaryFirst : static_cast<FirstWeek>(value);
}

// ---- Weeks of the year ----

// January 1st of a year; year 99 is reached only from early January of year 100.
int64_t JanuaryFirst(int year) {
  if (year < 100) return static_cast<int64_t>(kMinDate) - 365;
  return static_cast<int64_t>(DateFromParts(year, 1, 1).ValueOr(kMinDate));
}

int64_t FirstWeekStart(int year, int first_day, FirstWeek rule) {
  int64_t january_first = JanuaryFirst(year);
  int64_t start = WeekStart(january_first, first_day);
  int64_t days_before = january_first - start;  // days of that week in the old year
  if (rule == FirstWeek::FirstFourDays && days_before > 3) return start + 7;
  if (rule == FirstWeek::FirstFullWeek && days_before > 0) return start + 7;
  return start;
}

// Days before the year's first week belong to the last week of the year before. Days after
// the last full week stay in this year (week 53), as the platform counts them.
int WeekOfYear(const DayTime& date, int first_day, FirstWeek rule) {
  int64_t first_week = FirstWeekStart(date.parts.year, first_day, rule);
  if (date.day < first_week) first_week = FirstWeekStart(date.parts.year - 1, first_day, rule);
  return static_cast<int>((WeekStart(date.day, first_day) - first_week) / 7) + 1;
}

// ---- DateAdd ----

// The last day of the month that exists at or before `day` (January 31 + 1 month is
// February 28 or 29).
Result<DATE> ClampedDate(int year, int month, const DateParts& parts) {
  for (int day = parts.day; day > 28; --day) {
    Result<DATE> date = DateFromParts(year, month, day, parts.hour, parts.minute, parts.second);
    if (date.ok()) return date;
  }
  return DateFromParts(year, month, std::min(parts.day, 28), parts.hour, parts.minute, parts.second);
}

Result<DATE> AddMonths(const DayTime& date, int64_t months) {
  int64_t total = int64_t{date.parts.year} * 12 + (date.parts.month - 1) + months;
  int64_t year = FloorDivide(total, 12);
  if (year < 100 || year > 9999) return ErrorNumber::InvalidProcedureCall;
  return ClampedDate(static_cast<int>(year), static_cast<int>(total - year * 12) + 1, date.parts);
}

Result<DATE> AddInterval(const DayTime& date, Interval interval, int64_t number) {
  switch (interval) {
    case Interval::Year: return AddMonths(date, number * 12);
    case Interval::Quarter: return AddMonths(date, number * 3);
    case Interval::Month: return AddMonths(date, number);
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday: return JoinDayTime(date.day + number, date.seconds);
    case Interval::Week: return JoinDayTime(date.day + number * 7, date.seconds);
    case Interval::Hour: return JoinDayTime(date.day, date.seconds + number * 3600);
    case Interval::Minute: return JoinDayTime(date.day, date.seconds + number * 60);
    case Interval::Second: return JoinDayTime(date.day, date.seconds + number);
  }
  return ErrorNumber::InvalidProcedureCall;
}

// ---- DateDiff and DatePart ----

// Differences count boundaries crossed: DateDiff("d") counts midnights, "yyyy" New Years,
// "ww" first days of the week; "w" counts whole weeks of seven days.
int64_t Difference(const DayTime& from, const DayTime& to, Interval interval, int first_day) {
  const DateParts& a = from.parts;
  const DateParts& b = to.parts;
  switch (interval) {
    case Interval::Year: return b.year - a.year;
    case Interval::Quarter: return (b.year * 4 + (b.month - 1) / 3) - (a.year * 4 + (a.month - 1) / 3);
    case Interval::Month: return (b.year * 12 + b.month) - (a.year * 12 + a.month);
    case Interval::DayOfYear:
    case Interval::Day: return to.day - from.day;
    case Interval::Weekday: return (to.day - from.day) / 7;
    case Interval::Week: return (WeekStart(to.day, first_day) - WeekStart(from.day, first_day)) / 7;
    case Interval::Hour: return (to.day * 24 + b.hour) - (from.day * 24 + a.hour);
    case Interval::Minute: return (to.day * 1440 + to.seconds / 60) - (from.day * 1440 + from.seconds / 60);
    case Interval::Second: return (to.day * kSecondsPerDay + to.seconds) - (from.day * kSecondsPerDay + from.seconds);
  }
  return 0;
}

int PartOf(const DayTime& date, Interval interval, int first_day, FirstWeek rule) {
  const DateParts& parts = date.parts;
  switch (interval) {
    case Interval::Year: return parts.year;
    case Interval::Quarter: return (parts.month - 1) / 3 + 1;
    case Interval::Month: return parts.month;
    case Interval::DayOfYear: return parts.day_of_year;
    case Interval::Day: return parts.day;
    case Interval::Weekday: return RelativeWeekday(parts.day_of_week, first_day);
    case Interval::Week: return WeekOfYear(date, first_day, rule);
    case Interval::Hour: return parts.hour;
    case Interval::Minute: return parts.minute;
    case Interval::Second: return parts.second;
  }
  return 0;
}

// ---- Fields ----

// A date argument read for one of its fields; `is_null` when it is Null (the field is Null).
struct DateArgument {
  bool is_null = false;
  DayTime value{};
};

Result<DateArgument> ReadDate(const VARIANT& argument) {
  Variant holder;
  VARIANT value = TRY(ReadValue(argument, holder));
  if (value.vt == VT_NULL) return DateArgument{true, {}};
  DATE date = TRY(ToDate(value));
  return DateArgument{false, TRY(SplitDayTime(date))};
}

using DateField = int DateParts::*;

Result<Variant> FieldOf(const BuiltinCall& call, DateField field) {
  DateArgument date = TRY(ReadDate(call[0]));
  if (date.is_null) return Variant::Null();
  return Variant::FromI2(static_cast<int16_t>(date.value.parts.*field));
}

// ---- The clock ----

struct LocalClock {
  struct tm fields;
  long milliseconds;
};

LocalClock ReadLocalClock() {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  LocalClock clock{};
  localtime_r(&now.tv_sec, &clock.fields);
  clock.fields.tm_sec = std::min(clock.fields.tm_sec, 59);  // a leap second shows as :59
  clock.milliseconds = now.tv_nsec / 1000000;
  return clock;
}

}  // namespace

float SecondsSinceMidnight() {
  LocalClock clock = ReadLocalClock();
  long seconds = clock.fields.tm_hour * 3600L + clock.fields.tm_min * 60L + clock.fields.tm_sec;
  return static_cast<float>(static_cast<double>(seconds) + clock.milliseconds / 1000.0);
}

Result<Variant> Date(const BuiltinCall& call) {
  const struct tm& now = ReadLocalClock().fields;
  return Variant::FromDate(TRY(DateFromParts(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday)));
}

Result<Variant> Time(const BuiltinCall& call) {
  const struct tm& now = ReadLocalClock().fields;
  return Variant::FromDate(TRY(::TimeSerial(now.tm_hour, now.tm_min, now.tm_sec)));
}

Result<Variant> Now(const BuiltinCall& call) {
  const struct tm& now = ReadLocalClock().fields;
  return Variant::FromDate(TRY(DateFromParts(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday,
                                             now.tm_hour, now.tm_min, now.tm_sec)));
}

Result<Variant> Timer(const BuiltinCall& call) { return Variant::FromR4(SecondsSinceMidnight()); }

// The number is rounded to a whole count of intervals; Null dates give Null.
Result<Variant> DateAdd(const BuiltinCall& call) {
  Interval interval = TRY(ReadInterval(call[0]));
  int32_t number = TRY(ToInt32(call[1]));
  DateArgument date = TRY(ReadDate(call[2]));
  if (date.is_null) return Variant::Null();
  return Variant::FromDate(TRY(AddInterval(date.value, interval, number)));
}

Result<Variant> DateDiff(const BuiltinCall& call) {
  Interval interval = TRY(ReadInterval(call[0]));
  DateArgument from = TRY(ReadDate(call[1]));
  DateArgument to = TRY(ReadDate(call[2]));
  int first_day = TRY(ReadFirstDayOfWeek(call, 3));
  TRY(ReadFirstWeekOfYear(call, 4));
  if (from.is_null || to.is_null) return Variant::Null();
  int64_t difference = Difference(from.value, to.value, interval, first_day);
  if (difference < INT32_MIN || difference > INT32_MAX) return ErrorNumber::Overflow;
  return Variant::FromI4(static_cast<int32_t>(difference));
}

Result<Variant> DatePart(const BuiltinCall& call) {
  Interval interval = TRY(ReadInterval(call[0]));
  DateArgument date = TRY(ReadDate(call[1]));
  int first_day = TRY(ReadFirstDayOfWeek(call, 2));
  FirstWeek rule = TRY(ReadFirstWeekOfYear(call, 3));
  if (date.is_null) return Variant::Null();
  return Variant::FromI2(static_cast<int16_t>(PartOf(date.value, interval, first_day, rule)));
}

Result<Variant> DateSerial(const BuiltinCall& call) {
  int32_t year = TRY(ToInt32(call[0]));
  int32_t month = TRY(ToInt32(call[1]));
  int32_t day = TRY(ToInt32(call[2]));
  Result<DATE> date = ::DateSerial(year, month, day);
  // A date outside years 100..9999 is an invalid argument here, not an overflow.
  if (!date.ok() && date.error().Is(ErrorNumber::Overflow)) return ErrorNumber::InvalidProcedureCall;
  return Variant::FromDate(TRY(std::move(date)));
}

Result<Variant> TimeSerial(const BuiltinCall& call) {
  int32_t hour = TRY(ToInt32(call[0]));
  int32_t minute = TRY(ToInt32(call[1]));
  int32_t second = TRY(ToInt32(call[2]));
  return Variant::FromDate(TRY(::TimeSerial(hour, minute, second)));
}

Result<Variant> DateValue(const BuiltinCall& call) {
  DateArgument date = TRY(ReadDate(call[0]));
  if (date.is_null) return Variant::Null();
  return Variant::FromDate(static_cast<DATE>(date.value.day));
}

Result<Variant> TimeValue(const BuiltinCall& call) {
  DateArgument date = TRY(ReadDate(call[0]));
  if (date.is_null) return Variant::Null();
  return Variant::FromDate(static_cast<double>(date.value.seconds) / kSecondsPerDay);
}

Result<Variant> Day(const BuiltinCall& call) { return FieldOf(call, &DateParts::day); }
Result<Variant> Month(const BuiltinCall& call) { return FieldOf(call, &DateParts::month); }
Result<Variant> Year(const BuiltinCall& call) { return FieldOf(call, &DateParts::year); }
Result<Variant> Hour(const BuiltinCall& call) { return FieldOf(call, &DateParts::hour); }
Result<Variant> Minute(const BuiltinCall& call) { return FieldOf(call, &DateParts::minute); }
Result<Variant> Second(const BuiltinCall& call) { return FieldOf(call, &DateParts::second); }

Result<Variant> Weekday(const BuiltinCall& call) {
  DateArgument date = TRY(ReadDate(call[0]));
  int first_day = TRY(ReadFirstDayOfWeek(call, 1));
  if (date.is_null) return Variant::Null();
  return Variant::FromI2(static_cast<int16_t>(RelativeWeekday(date.value.parts.day_of_week, first_day)));
}

Result<Variant> MonthName(const BuiltinCall& call) {
  if (call.Has(1) && IsNullValue(call[1])) return ErrorNumber::InvalidUseOfNull;  // before the month is read
  int32_t month = TRY(ToInt32(call[0]));
  bool abbreviate = TRY(OptionalBool(call, 1, false));
  if (month < 1 || month > 12) return ErrorNumber::InvalidProcedureCall;
  const LocaleInfo& locale = CurrentLocale();
  return MakeString(abbreviate ? locale.abbreviated_month_names[month - 1] : locale.month_names[month - 1]);
}

// The weekday numbered from `firstdayofweek` (Sunday when omitted): WeekdayName(1, , vbMonday)
// is Monday.
Result<Variant> WeekdayName(const BuiltinCall& call) {
  int32_t weekday = TRY(ToInt32(call[0]));
  bool abbreviate = TRY(OptionalBool(call, 1, false));
  int first_day = TRY(ReadFirstDayOfWeek(call, 2));
  if (weekday < 1 || weekday > 7) return ErrorNumber::InvalidProcedureCall;
  const size_t index = static_cast<size_t>((weekday - 1 + first_day - 1) % 7);  // from Sunday
  const LocaleInfo& locale = CurrentLocale();
  return MakeString(abbreviate ? locale.abbreviated_day_names[index] : locale.day_names[index]);
}

// An object counts by its default value (IsDate(field) of a recordset).
Result<Variant> IsDate(const BuiltinCall& call) {
  Variant holder;
  Result<VARIANT> value = ReadValue(call[0], holder);
  return Variant::FromBool(value.ok() && ::IsDate(value.value()));
}

}  // namespace builtins
