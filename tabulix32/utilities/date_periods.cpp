// Date-period members of UtilitiesClass: recognising date report types, turning period
// identifiers (a day, week, month, quarter or year number) into their first and last dates and
// into the labels shown in reports, with fiscal years starting in any month and weeks starting
// on any weekday.
//
// Day numbers: a continuous count of days (Zeller's form) in which 1 January 2011 is 734566
// and every multiple of 7 is a Saturday. Week w is the 7 days from day number 7 × w, month m
// is month (m mod 12) + 1 of year ⌊m / 12⌋, quarter q is quarter q mod 4 of fiscal year ⌊q / 4⌋.
#include "tabulix32/utilities/utilities_class.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/arithmetic.h"
#include "platform/automation/compare.h"
#include "platform/automation/conversion.h"
#include "platform/automation/date_time.h"
#include "platform/automation/locale.h"
#include "tabulix32/utilities/utilities_text_internal.h"

using namespace utilities_internal;

namespace {

enum class Period { Day, Week, Month, Quarter, Year };

struct PeriodSuffix {
  std::u16string_view suffix;       // at the end of a report type name
  std::u16string_view description;  // getDateReportDescription
};
// Indexed by Period.
constexpr PeriodSuffix kPeriodSuffixes[] = {
    {u"_day", u"Day"},
    {u"_week", u"Week"},
    {u"_month", u"Month"},
    {u"_quarter", u"Quarter"},
    {u"_year", u"Year"},
};

// The bare period names getBoundingDate takes.
constexpr std::u16string_view kDayName = u"day";
constexpr std::u16string_view kWeekName = u"week";
constexpr std::u16string_view kMonthName = u"month";
constexpr std::u16string_view kQuarterName = u"quarter";
constexpr std::u16string_view kYearName = u"year";
// getBoundingDate also takes identifiers written "key_<identifier>".
constexpr std::u16string_view kKeyPrefix = u"key_";

constexpr std::u16string_view kMonthAbbreviations[] = {
    u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
    u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec",
};
constexpr std::u16string_view kQuarterLabels[] = {u"Q1", u"Q2", u"Q3", u"Q4"};
constexpr std::u16string_view kLabelSeparator = u" ";
constexpr std::u16string_view kYearSpanSeparator = u"/";
constexpr std::u16string_view kWeekLabel = u"Week ";
constexpr std::u16string_view kWeekYearSeparator = u", ";
// year_offset equal to this shows the fiscal year as the year after its number.
constexpr std::u16string_view kNextYearOffset = u"1";

// constructDate writes its numbers with this separator, in the locale's order; the order is
// read from how the locale writes the day before kDayOrderProbe (31 December 2002).
constexpr std::u16string_view kDateSeparator = u"/";
constexpr std::u16string_view kDayOrderProbe = u"1/1/2003";
constexpr std::u16string_view kDayFirstMark = u"31";
// The first day of a fiscal year is read from yyyy-m-01.
constexpr std::u16string_view kIsoSeparator = u"-";
constexpr std::u16string_view kFirstDayOfMonth = u"-01";

constexpr int32_t kDaysPerWeek = 7;
constexpr int32_t kMonthsPerYear = 12;
constexpr int32_t kQuartersPerYear = 4;
constexpr int32_t kMonthsPerQuarter = 3;

// zellerDate: 365 × Y + ⌊Y / 4⌋ − ⌊Y / 100⌋ + ⌊Y / 400⌋ + ⌊30.6001 × M⌋ + D with March as month
// 4 and January and February as months 14 and 15 of the year before. Years of the date type
// (100-9999) keep every term positive, so integer division is the floor.
constexpr int32_t DayNumber(int32_t year, int32_t month, int32_t day) {
  int32_t shifted_month = (month + 9) % 12 + 4;
  int32_t shifted_year = year - 1 + (month + 9) / 12;
  return 365 * shifted_year + shifted_year / 4 - shifted_year / 100 + shifted_year / 400 +
         static_cast<int32_t>(30.6001 * shifted_month) + day;
}
static_assert(DayNumber(2011, 1, 1) == 734566);
static_assert(DayNumber(2011, 3, 31) == 734655);
static_assert(DayNumber(2000, 3, 1) == DayNumber(2000, 2, 29) + 1);

// Day numbers and date serials differ by the day number of serial 0 (30 December 1899), so
// the date of a day number does not depend on today.
constexpr int32_t kDayNumberOfDateZero = DayNumber(1899, 12, 30);

struct DateRange {
  DATE start;
  DATE end;
};

std::u16string IntegerText(int64_t value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// A whole number held in a double, as text ("2011"); -0 prints as 0.
Result<std::u16string> NumberText(double value) {
  return RequiredText(Variant::FromR8(value + 0.0));
}

bool IsWholeIndex(double value, size_t count) {
  return value >= 0 && value < static_cast<double>(count) && value == std::floor(value);
}

// The period whose suffix ends the report type name (case-sensitively); nothing for Null.
Result<std::optional<Period>> PeriodOfReportType(const VARIANT& report_type) {
  if (IsNullValue(report_type)) return std::optional<Period>();
  std::u16string name = TRY(RequiredText(report_type));
  for (size_t i = 0; i < std::size(kPeriodSuffixes); ++i) {
    if (name.ends_with(kPeriodSuffixes[i].suffix)) {
      return std::optional<Period>(static_cast<Period>(i));
    }
  }
  return std::optional<Period>();
}

Result<Variant> ReportHasPeriod(const VARIANT& report_type, Period period) {
  std::optional<Period> found = TRY(PeriodOfReportType(report_type));
  return Variant::FromBool(found == period);
}

// Whether year_offset asks for the year after the fiscal year number: the number 1 or the text
// "1", by the value type's comparison (Null is never equal).
Result<bool> ShowsNextYear(const VARIANT& year_offset) {
  Variant one = Variant::FromString(kNextYearOffset);
  return TRY(Compare(year_offset, one)) == Comparison::Equal;
}

// `date` plus a number of days given as any value; Null fails with invalid use of Null (94),
// a result outside the date range with overflow (6).
Result<DATE> AddDays(DATE date, const VARIANT& days) {
  Variant sum = TRY(Add(Variant::FromDate(date), days));
  return ToDate(sum);
}

Result<DATE> DayBefore(DATE date) {
  Variant day_before = TRY(Subtract(Variant::FromDate(date), Variant::FromI2(1)));
  return ToDate(day_before);
}

Result<DATE> DateOfDayNumber(double day_number) {
  double serial = day_number - kDayNumberOfDateZero;
  if (!IsValidDate(serial)) return ErrorNumber::Overflow;
  return serial;
}

// Whether the locale writes the day before the month in its short date.
Result<bool> LocaleWritesDayFirst() {
  const LocaleInfo& locale = CurrentLocale();
  DATE probe = TRY(ParseDate(kDayOrderProbe, locale));
  DATE day_before = TRY(DayBefore(probe));
  return DateToText(day_before, locale).starts_with(kDayFirstMark);
}

// constructDate: the three values written as text with "/" in the locale's order, read back as
// a date. Type mismatch (13) when the text is no date the platform reads (a Null part, day 32).
Result<DATE> ConstructDate(const VARIANT& day, const VARIANT& month, const VARIANT& year) {
  bool day_first = TRY(LocaleWritesDayFirst());
  std::u16string day_text = TRY(ConcatenatedText(day));
  std::u16string month_text = TRY(ConcatenatedText(month));
  std::u16string year_text = TRY(ConcatenatedText(year));
  std::u16string text = day_first ? day_text : month_text;
  text.append(kDateSeparator).append(day_first ? month_text : day_text);
  text.append(kDateSeparator).append(year_text);
  DATE date = TRY(ParseDate(text, CurrentLocale()));
  return std::trunc(date);  // the day without a time, also for dates before 1899-12-30
}

Result<DATE> ConstructDate(int32_t day, int32_t month, double year) {
  return ConstructDate(Variant::FromI4(day), Variant::FromI4(month), Variant::FromR8(year));
}

// getWeekDates steps 1-3: the first day of week `week`, moved by week_start_day days when
// apply_offset holds.
Result<DATE> WeekStart(const VARIANT& week, const VARIANT& apply_offset,
                       const VARIANT& week_start_day) {
  Variant days = TRY(Multiply(week, Variant::FromI2(kDaysPerWeek)));
  int32_t day_number = TRY(ToInt32(days));
  DATE start = TRY(DateOfDayNumber(day_number));
  if (!TRY(IsTrue(apply_offset))) return start;
  return AddDays(start, week_start_day);
}

Result<DateRange> WeekRange(const VARIANT& week, const VARIANT& apply_offset,
                            const VARIANT& week_start_day) {
  DATE start = TRY(WeekStart(week, apply_offset, week_start_day));
  DATE end = TRY(AddDays(start, Variant::FromI2(kDaysPerWeek - 1)));
  return DateRange{start, end};
}

// The months from January to the fiscal year's first month, when offsets apply.
Result<int32_t> FiscalMonthOffset(const VARIANT& apply_offset, const VARIANT& year_start_month) {
  if (!TRY(IsTrue(apply_offset))) return 0;
  return ToInt32(year_start_month);
}

// The first day of month `month` counted from January of `year` as 1; months past December
// fall in the next year. The month is reduced as Mod reduces it (rounded half to even).
Result<DATE> FirstOfCountedMonth(double month, double year) {
  int32_t months_after_january = TRY(DoubleToInt32(month - 1));
  int32_t calendar_month = months_after_january % kMonthsPerYear + 1;
  double carry = month > kMonthsPerYear ? 1 : 0;
  return ConstructDate(1, calendar_month, year + carry);
}

// getQuarterDates steps 3-6.
Result<DateRange> QuarterRange(double quarter, int32_t month_offset) {
  double year = std::floor(quarter / kQuartersPerYear);
  double index = quarter - kQuartersPerYear * year;
  double first_month = month_offset + 1 + kMonthsPerQuarter * index;
  double next_month = month_offset + 1 + kMonthsPerQuarter * (index + 1);
  DATE start = TRY(FirstOfCountedMonth(first_month, year));
  DATE after = TRY(FirstOfCountedMonth(next_month, year));
  DATE end = TRY(DayBefore(after));
  return DateRange{start, end};
}

// The bounds of month number `value`; nothing for a fraction of a month.
Result<std::optional<DateRange>> MonthRange(double value) {
  double year = std::floor(value / kMonthsPerYear);
  double month = value - kMonthsPerYear * year;
  if (month == kMonthsPerYear - 1) {
    DATE start = TRY(ConstructDate(1, 12, year));
    DATE end = TRY(ConstructDate(31, 12, year));
    return std::optional<DateRange>(DateRange{start, end});
  }
  if (!IsWholeIndex(month, kMonthsPerYear - 1)) return std::optional<DateRange>();
  int32_t calendar_month = static_cast<int32_t>(month) + 1;
  DATE start = TRY(ConstructDate(1, calendar_month, year));
  DATE after = TRY(ConstructDate(1, calendar_month + 1, year));
  DATE end = TRY(DayBefore(after));
  return std::optional<DateRange>(DateRange{start, end});
}

// The bounds of fiscal year `year`; the fiscal start month applies whether or not offsets do.
Result<DateRange> YearRange(double year, const VARIANT& year_start_month) {
  Variant first_month = TRY(Add(year_start_month, Variant::FromI2(1)));
  Variant day = Variant::FromI4(1);
  DATE start = TRY(ConstructDate(day, first_month, Variant::FromR8(year)));
  DATE after = TRY(ConstructDate(day, first_month, Variant::FromR8(year + 1)));
  DATE end = TRY(DayBefore(after));
  return DateRange{start, end};
}

// The first day of the fiscal year that begins in calendar year `year`.
Result<DATE> FiscalYearStart(int32_t year, std::u16string_view first_month_text) {
  std::u16string text = IntegerText(year);
  text.append(kIsoSeparator).append(first_month_text).append(kFirstDayOfMonth);
  return ParseDate(text, CurrentLocale());
}

// "Mar 2011", or "Mar" without the year; the abbreviation is empty for a fraction of a month.
Result<std::u16string> MonthLabel(double month_number, bool show_year) {
  double year = std::floor(month_number / kMonthsPerYear);
  double month = month_number - kMonthsPerYear * year;
  std::u16string label;
  if (IsWholeIndex(month, kMonthsPerYear)) label = kMonthAbbreviations[static_cast<size_t>(month)];
  if (!show_year) return label;
  label.append(kLabelSeparator).append(TRY(NumberText(year)));
  return label;
}

// "Q2 2011", "Q2 2012" with the next-year offset, "Q4 2010/2011" for a quarter spanning New
// Year.
Result<std::u16string> QuarterLabel(double quarter, const DateRange& range,
                                    const VARIANT& year_offset) {
  double year = std::floor(quarter / kQuartersPerYear);
  double index = quarter - kQuartersPerYear * year;
  std::u16string label;
  if (IsWholeIndex(index, kQuartersPerYear)) label = kQuarterLabels[static_cast<size_t>(index)];
  label.append(kLabelSeparator);
  if (TRY(ShowsNextYear(year_offset))) return label.append(TRY(NumberText(year + 1)));
  label.append(TRY(NumberText(year)));
  int32_t start_year = TRY(SplitDate(range.start)).year;
  int32_t end_year = TRY(SplitDate(range.end)).year;
  if (end_year > start_year) label.append(kYearSpanSeparator).append(IntegerText(end_year));
  return label;
}

// "Week 14, 2011": the week's number within the fiscal year its first day falls in.
Result<std::u16string> WeekLabel(double week, const VARIANT& apply_offset,
                                 const VARIANT& week_start_day, const VARIANT& year_start_month,
                                 const VARIANT& year_offset) {
  DATE start = TRY(WeekStart(Variant::FromR8(week), apply_offset, week_start_day));
  int32_t year = TRY(SplitDate(start)).year;
  Variant first_month = TRY(Add(year_start_month, Variant::FromI2(1)));
  std::u16string first_month_text = TRY(ConcatenatedText(first_month));
  DATE fiscal_start = TRY(FiscalYearStart(year, first_month_text));
  if (start < fiscal_start) {
    --year;
    fiscal_start = TRY(FiscalYearStart(year, first_month_text));
  }
  Variant days = TRY(Subtract(Variant::FromDate(start), Variant::FromDate(fiscal_start)));
  double number = std::floor(TRY(ToDouble(days)) / kDaysPerWeek) + 1;
  if (TRY(ShowsNextYear(year_offset))) ++year;
  std::u16string label(kWeekLabel);
  label.append(TRY(NumberText(number))).append(kWeekYearSeparator).append(IntegerText(year));
  return label;
}

// displayYear: the year, or the year after it with the next-year offset. A text that is no
// number comes back as it is, like the other labels' identifiers.
Result<Variant> YearLabel(const VARIANT& year, const VARIANT& year_offset) {
  Variant value = TRY(CopyOfValue(year));
  if (!TRY(ShowsNextYear(year_offset))) return value;
  if (value.Type() == VT_BSTR && !IsNumeric(value)) return value;
  return Add(value, Variant::FromI2(1));
}

Result<Variant> LabelResult(Result<std::u16string> label) {
  if (!label.ok()) return std::move(label).error();
  return TextResult(label.value());
}

// getBoundingDate's arguments, first first.
enum BoundingArgument : size_t {
  kNewStartDate,
  kNewEndDate,
  kStartDate,
  kEndDate,
  kReportType,
  kPeriodValue,
  kApplyOffset,
  kWeekStartDay,
  kYearStartMonth,
};

struct Bounds {
  Variant start;
  Variant end;
};

Bounds BoundsOf(const DateRange& range) {
  return {Variant::FromDate(range.start), Variant::FromDate(range.end)};
}

// The identifier without a leading "key_" (when something follows it).
Result<Variant> WithoutKeyPrefix(const VARIANT& identifier) {
  Variant value = TRY(CopyOfValue(identifier));
  if (value.IsNull()) return value;
  std::u16string text = TRY(RequiredText(value));
  if (text.size() <= kKeyPrefix.size() || !text.starts_with(kKeyPrefix)) return value;
  return Variant::FromString(std::u16string_view(text).substr(kKeyPrefix.size()));
}

// getBoundingDate step 2: the period's bounds, the page's startDate/endDate for any other
// report type, or nothing when a fraction of a month leaves the new bounds as they are.
Result<std::optional<Bounds>> PeriodBounds(const DispatchArguments& arguments,
                                           const Variant& value) {
  std::optional<std::u16string> type;
  if (!IsNullValue(arguments[kReportType])) type = TRY(RequiredText(arguments[kReportType]));
  if (type == kDayName) {
    DATE day = TRY(ToDate(value));
    return std::optional<Bounds>(BoundsOf({day, day}));
  }
  if (type == kWeekName) {
    DateRange range = TRY(WeekRange(value, arguments[kApplyOffset], arguments[kWeekStartDay]));
    return std::optional<Bounds>(BoundsOf(range));
  }
  if (type == kMonthName) {
    std::optional<DateRange> range = TRY(MonthRange(TRY(ToDouble(value))));
    if (!range) return std::optional<Bounds>();
    return std::optional<Bounds>(BoundsOf(*range));
  }
  if (type == kQuarterName) {
    int32_t offset = TRY(FiscalMonthOffset(arguments[kApplyOffset], arguments[kYearStartMonth]));
    DateRange range = TRY(QuarterRange(TRY(ToDouble(value)), offset));
    return std::optional<Bounds>(BoundsOf(range));
  }
  if (type == kYearName) {
    DateRange range = TRY(YearRange(TRY(ToDouble(value)), arguments[kYearStartMonth]));
    return std::optional<Bounds>(BoundsOf(range));
  }
  Bounds unchanged{TRY(CopyOfValue(arguments[kStartDate])), TRY(CopyOfValue(arguments[kEndDate]))};
  return std::optional<Bounds>(std::move(unchanged));
}

// Whether the page's bound must take the period's: when it has no length or differs. A Null
// bound has no length either, so that after the call both pairs hold the period's bounds.
Result<bool> BoundNeedsUpdate(const VARIANT& current, const VARIANT& bound) {
  VARIANT shallow = PeekValue(current);
  if (shallow.vt == VT_EMPTY || shallow.vt == VT_NULL) return true;
  if (shallow.vt == VT_BSTR && SysStringLen(shallow.bstrVal) == 0) return true;
  Comparison comparison = TRY(Compare(current, bound));
  return comparison != Comparison::Equal && comparison != Comparison::Null;
}

Result<void> UpdateBound(const DispatchArguments& arguments, size_t current,
                         const Variant& bound) {
  if (!TRY(BoundNeedsUpdate(arguments[current], bound))) return {};
  return arguments.Assign(current, bound);
}

}  // namespace

Result<Variant> UtilitiesClass::isDayReport(const DispatchArguments& arguments) {
  return ReportHasPeriod(arguments[0], Period::Day);
}

Result<Variant> UtilitiesClass::isWeekReport(const DispatchArguments& arguments) {
  return ReportHasPeriod(arguments[0], Period::Week);
}

Result<Variant> UtilitiesClass::isMonthReport(const DispatchArguments& arguments) {
  return ReportHasPeriod(arguments[0], Period::Month);
}

Result<Variant> UtilitiesClass::isQuarterReport(const DispatchArguments& arguments) {
  return ReportHasPeriod(arguments[0], Period::Quarter);
}

Result<Variant> UtilitiesClass::isYearReport(const DispatchArguments& arguments) {
  return ReportHasPeriod(arguments[0], Period::Year);
}

Result<Variant> UtilitiesClass::isDateReport(const DispatchArguments& arguments) {
  std::optional<Period> found = TRY(PeriodOfReportType(arguments[0]));
  return Variant::FromBool(found.has_value());
}

// getDateReportName(r): r without its period suffix; r itself when it has none.
Result<Variant> UtilitiesClass::getDateReportName(const DispatchArguments& arguments) {
  std::optional<Period> found = TRY(PeriodOfReportType(arguments[0]));
  if (!found) return CopyOfValue(arguments[0]);
  std::u16string name = TRY(RequiredText(arguments[0]));
  name.resize(name.size() - kPeriodSuffixes[static_cast<size_t>(*found)].suffix.size());
  return Variant::FromString(name);
}

Result<Variant> UtilitiesClass::getDateReportDescription(const DispatchArguments& arguments) {
  std::optional<Period> found = TRY(PeriodOfReportType(arguments[0]));
  if (!found) return Variant::FromString(u"");
  return Variant::FromString(kPeriodSuffixes[static_cast<size_t>(*found)].description);
}

// zellerDate(l_d): the day number of a date (a date value or text).
Result<Variant> UtilitiesClass::zellerDate(const DispatchArguments& arguments) {
  DATE date = TRY(ToDate(arguments[0]));
  DateParts parts = TRY(SplitDate(date));
  return Variant::FromI4(DayNumber(parts.year, parts.month, parts.day));
}

// constructDate(l_day, l_month2, l_year2)
Result<Variant> UtilitiesClass::constructDate(const DispatchArguments& arguments) {
  DATE date = TRY(ConstructDate(arguments[0], arguments[1], arguments[2]));
  return Variant::FromDate(date);
}

// getWeekDates(l_val, newStartDate, newEndDate, applyOffset, week_start_day)
Result<Variant> UtilitiesClass::getWeekDates(const DispatchArguments& arguments) {
  DateRange range = TRY(WeekRange(arguments[0], arguments[3], arguments[4]));
  TRY(arguments.Assign(1, Variant::FromDate(range.start)));
  TRY(arguments.Assign(2, Variant::FromDate(range.end)));
  return Variant();
}

// getQuarterDates(l_val, newStartDate, newEndDate, applyOffset, year_start_month); the
// caller's l_val becomes a double.
Result<Variant> UtilitiesClass::getQuarterDates(const DispatchArguments& arguments) {
  int32_t offset = TRY(FiscalMonthOffset(arguments[3], arguments[4]));
  double quarter = TRY(ToDouble(arguments[0]));
  TRY(arguments.Assign(0, Variant::FromR8(quarter)));
  DateRange range = TRY(QuarterRange(quarter, offset));
  TRY(arguments.Assign(1, Variant::FromDate(range.start)));
  TRY(arguments.Assign(2, Variant::FromDate(range.end)));
  return Variant();
}

// getBoundingDate(newStartDate, newEndDate, startDate, endDate, l_reporttype, l_value2,
// applyOffset, week_start_day, year_start_month): both pairs end up holding the bounds.
Result<Variant> UtilitiesClass::getBoundingDate(const DispatchArguments& arguments) {
  Variant value = TRY(WithoutKeyPrefix(arguments[kPeriodValue]));
  std::optional<Bounds> bounds = TRY(PeriodBounds(arguments, value));
  if (bounds) {
    TRY(arguments.Assign(kNewStartDate, bounds->start));
    TRY(arguments.Assign(kNewEndDate, bounds->end));
  } else {
    bounds = Bounds{TRY(CopyOfValue(arguments[kNewStartDate])),
                    TRY(CopyOfValue(arguments[kNewEndDate]))};
  }
  // The bounds are taken from here, not read back, so that they hold also when the new
  // bounds were passed by value.
  TRY(UpdateBound(arguments, kStartDate, bounds->start));
  TRY(UpdateBound(arguments, kEndDate, bounds->end));
  return Variant();
}

// displayMonth(monthNo, showYear); a numeric monthNo becomes a double in the caller's variable.
Result<Variant> UtilitiesClass::displayMonth(const DispatchArguments& arguments) {
  if (!IsNumeric(arguments[0])) return CopyOfValue(arguments[0]);
  double month = TRY(ToDouble(arguments[0]));
  TRY(arguments.Assign(0, Variant::FromR8(month)));
  bool show_year = TRY(IsTrue(arguments[1]));
  return LabelResult(MonthLabel(month, show_year));
}

// displayQuarter(quarterNo, applyOffset, year_start_month, year_offset)
Result<Variant> UtilitiesClass::displayQuarter(const DispatchArguments& arguments) {
  if (!IsNumeric(arguments[0])) return CopyOfValue(arguments[0]);
  int32_t offset = TRY(FiscalMonthOffset(arguments[1], arguments[2]));
  double quarter = TRY(ToDouble(arguments[0]));
  TRY(arguments.Assign(0, Variant::FromR8(quarter)));
  DateRange range = TRY(QuarterRange(quarter, offset));
  return LabelResult(QuarterLabel(quarter, range, arguments[3]));
}

// displayYear(l_year, year_offset)
Result<Variant> UtilitiesClass::displayYear(const DispatchArguments& arguments) {
  return YearLabel(arguments[0], arguments[1]);
}

// displayWeek(weekNo, applyOffset, week_start_day, year_start_month, year_offset)
Result<Variant> UtilitiesClass::displayWeek(const DispatchArguments& arguments) {
  if (!IsNumeric(arguments[0])) return CopyOfValue(arguments[0]);
  double week = TRY(ToDouble(arguments[0]));
  TRY(arguments.Assign(0, Variant::FromR8(week)));
  return LabelResult(
      WeekLabel(week, arguments[1], arguments[2], arguments[3], arguments[4]));
}

// getDescription(l_reporttype, l_description5, week_start_day, year_start_month, year_offset):
// the label of a period identifier, offsets applied; the identifier itself for day reports,
// other report types and identifiers that are no number.
Result<Variant> UtilitiesClass::getDescription(const DispatchArguments& arguments) {
  const VARIANT& identifier = arguments[1];
  if (!IsNumeric(identifier)) return CopyOfValue(identifier);
  std::optional<Period> period = TRY(PeriodOfReportType(arguments[0]));
  if (!period || *period == Period::Day) return CopyOfValue(identifier);
  // Rounded only for the periods that use it, so that a large identifier of another report
  // type comes back unchanged rather than overflowing.
  int32_t number = TRY(ToInt32(identifier));
  Variant apply_offset = Variant::FromBool(true);
  switch (*period) {
    case Period::Month:
      return LabelResult(MonthLabel(number, /*show_year=*/true));
    case Period::Quarter: {
      int32_t offset = TRY(FiscalMonthOffset(apply_offset, arguments[3]));
      DateRange range = TRY(QuarterRange(number, offset));
      return LabelResult(QuarterLabel(number, range, arguments[4]));
    }
    case Period::Week:
      return LabelResult(WeekLabel(number, apply_offset, arguments[2], arguments[3], arguments[4]));
    case Period::Year:
      return YearLabel(Variant::FromI4(number), arguments[4]);
    case Period::Day:
      break;
  }
  return CopyOfValue(identifier);
}
