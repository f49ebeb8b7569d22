#include "platform/automation/date_time.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <ctime>
#include <limits>
#include <string>

namespace {

constexpr LCID kEnglishUs = 1033;
constexpr LCID kEnglishUk = 2057;
constexpr LCID kGerman = 1031;
constexpr LCID kFrench = 1036;
constexpr LCID kItalian = 1040;  // '.' between the parts of a time
constexpr LCID kSwedish = 1053;  // year-first short date

const LocaleInfo& Locale(LCID lcid) {
  const LocaleInfo* locale = FindLocale(lcid);
  EXPECT_NE(locale, nullptr) << lcid;
  return locale != nullptr ? *locale : *FindLocale(kEnglishUs);
}

// Traces show UTF-16 texts with anything outside ASCII as '?'.
std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

DATE At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  Result<DATE> date = DateFromParts(year, month, day, hour, minute, second);
  EXPECT_TRUE(date.ok()) << year << "-" << month << "-" << day;
  return date.ok() ? date.value() : 0.0;
}

int CurrentYear() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

// --- Calendar ---------------------------------------------------------------------------------

TEST(DateCalendar, KnownDaysHaveThePlatformSerials) {
  struct Case { int year, month, day; double serial; };
  const Case cases[] = {
      {1899, 12, 30, 0},      {1899, 12, 31, 1},        {1900, 1, 1, 2},
      {1900, 3, 1, 61},       {1899, 12, 29, -1},       {2000, 1, 1, 36526},
      {2024, 1, 15, 45306},   {9999, 12, 31, 2958465},  {100, 1, 1, -657434},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
    EXPECT_EQ(At(c.year, c.month, c.day), c.serial);
  }
}

TEST(DateCalendar, FirstAndLastDayOfEveryYearRoundTrip) {
  for (int year = 100; year <= 9999; ++year) {
    DATE first = At(year, 1, 1);
    DATE last = At(year, 12, 31);
    Result<DateParts> first_parts = SplitDate(first);
    Result<DateParts> last_parts = SplitDate(last);
    ASSERT_TRUE(first_parts.ok() && last_parts.ok()) << year;
    ASSERT_EQ(first_parts.value().year, year);
    ASSERT_EQ(first_parts.value().day_of_year, 1) << year;
    ASSERT_EQ(last_parts.value().year, year);
    ASSERT_EQ(last_parts.value().month, 12);
    ASSERT_EQ(last_parts.value().day, 31);
    ASSERT_EQ(last - first + 1, last_parts.value().day_of_year) << year;
    if (year < 9999) {
      ASSERT_EQ(At(year + 1, 1, 1), last + 1) << year;
    }
  }
}

TEST(DateCalendar, EveryDayFollowsThePreviousOne) {
  Result<DateParts> previous = SplitDate(kMinDate);
  ASSERT_TRUE(previous.ok());
  for (int64_t day = -657433; day <= 2958465; ++day) {
    Result<DateParts> parts = SplitDate(static_cast<double>(day));
    ASSERT_TRUE(parts.ok()) << day;
    const DateParts& p = previous.value();
    const DateParts& n = parts.value();
    bool next_in_month = n.year == p.year && n.month == p.month && n.day == p.day + 1;
    bool next_month = n.day == 1 && p.day >= 28 &&
                      ((n.year == p.year && n.month == p.month + 1) ||
                       (n.year == p.year + 1 && n.month == 1 && p.month == 12));
    ASSERT_TRUE(next_in_month || next_month) << day;
    ASSERT_EQ(n.day_of_week, p.day_of_week % 7 + 1) << day;
    previous = parts;
  }
}

TEST(DateCalendar, LeapYearsFollowTheGregorianRule) {
  struct Case { int year; bool leap; };
  const Case cases[] = {{1900, false}, {2000, true}, {2024, true}, {2023, false},
                        {2100, false}, {400, true},  {100, false}, {9996, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.year);
    EXPECT_EQ(DateFromParts(c.year, 2, 29).ok(), c.leap);
  }
}

TEST(DateCalendar, DayOfWeekCountsFromSunday) {
  struct Case { DATE date; int day_of_week; };
  const Case cases[] = {{0, 7}, {1, 1}, {-1, 6}, {-1.25, 6}, {At(2024, 1, 15), 2},
                        {At(2000, 1, 1), 7}, {kMinDate, 6}, {kMaxDate, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date);
    EXPECT_EQ(SplitDate(c.date).value().day_of_week, c.day_of_week);
  }
}

// --- Splitting and composing times -----------------------------------------------------------

TEST(DateSplit, TimeIsTheFractionsMagnitudeRoundedToTheSecond) {
  struct Case { DATE date; int year, month, day, hour, minute, second; };
  const Case cases[] = {
      {-1.25, 1899, 12, 29, 6, 0, 0},   {-0.5, 1899, 12, 30, 12, 0, 0},
      {-1.0, 1899, 12, 29, 0, 0, 0},    {1.5, 1899, 12, 31, 12, 0, 0},
      {86399.6 / 86400, 1899, 12, 31, 0, 0, 0},  // 23:59:59.6 rounds into the next day
      {86399.4 / 86400, 1899, 12, 30, 23, 59, 59},
      {-(86399.6 / 86400) - 1, 1899, 12, 30, 0, 0, 0},
      {45306 + 49530.0 / 86400, 2024, 1, 15, 13, 45, 30},
      {kMaxDate, 9999, 12, 31, 23, 59, 59},  // the last day has no next day to round into
      {kMinDate, 100, 1, 1, 0, 0, 0},
      {-657434.75, 100, 1, 1, 18, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date);
    Result<DateParts> parts = SplitDate(c.date);
    ASSERT_TRUE(parts.ok());
    const DateParts& p = parts.value();
    EXPECT_EQ(p.year, c.year);
    EXPECT_EQ(p.month, c.month);
    EXPECT_EQ(p.day, c.day);
    EXPECT_EQ(p.hour, c.hour);
    EXPECT_EQ(p.minute, c.minute);
    EXPECT_EQ(p.second, c.second);
  }
}

TEST(DateSplit, DatesOutsideTheRangeOverflow) {
  const double cases[] = {kMinDate - 1, -657435.0, 2958466.0, 1e300, -1e300,
                          std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
  for (double date : cases) {
    SCOPED_TRACE(date);
    EXPECT_FALSE(IsValidDate(date));
    Result<DateParts> parts = SplitDate(date);
    ASSERT_FALSE(parts.ok());
    EXPECT_TRUE(parts.error().Is(ErrorNumber::Overflow));
  }
  EXPECT_TRUE(IsValidDate(kMinDate));
  EXPECT_TRUE(IsValidDate(kMaxDate));
  EXPECT_TRUE(IsValidDate(-657434.99));
}

TEST(DateFromParts, NegativeDatesSubtractTheTime) {
  EXPECT_EQ(At(1899, 12, 29, 6), -1.25);
  EXPECT_EQ(At(1899, 12, 30, 12), 0.5);
  EXPECT_DOUBLE_EQ(At(1800, 1, 1, 18), At(1800, 1, 1) - 0.75);
  DateParts parts = SplitDate(At(1800, 7, 4, 13, 5, 9)).value();
  EXPECT_EQ(parts.year * 10000 + parts.month * 100 + parts.day, 18000704);
  EXPECT_EQ(parts.hour * 10000 + parts.minute * 100 + parts.second, 130509);
}

TEST(DateFromParts, RejectsFieldsOutOfRange) {
  struct Case { int year, month, day, hour, minute, second; ErrorNumber error; };
  const Case cases[] = {
      {99, 1, 1, 0, 0, 0, ErrorNumber::Overflow},
      {10000, 1, 1, 0, 0, 0, ErrorNumber::Overflow},
      {2024, 13, 1, 0, 0, 0, ErrorNumber::InvalidProcedureCall},
      {2024, 0, 1, 0, 0, 0, ErrorNumber::InvalidProcedureCall},
      {2024, 1, 0, 0, 0, 0, ErrorNumber::InvalidProcedureCall},
      {2023, 2, 29, 0, 0, 0, ErrorNumber::InvalidProcedureCall},
      {2024, 4, 31, 0, 0, 0, ErrorNumber::InvalidProcedureCall},
      {2024, 1, 1, 24, 0, 0, ErrorNumber::InvalidProcedureCall},
      {2024, 1, 1, 0, 60, 0, ErrorNumber::InvalidProcedureCall},
      {2024, 1, 1, 0, 0, -1, ErrorNumber::InvalidProcedureCall},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day << " "
                                    << c.hour << ":" << c.minute << ":" << c.second);
    Result<DATE> date = DateFromParts(c.year, c.month, c.day, c.hour, c.minute, c.second);
    ASSERT_FALSE(date.ok());
    EXPECT_TRUE(date.error().Is(c.error));
  }
}

// --- DateSerial and TimeSerial ----------------------------------------------------------------

TEST(DateSerial, MonthsAndDaysCarryAndShortYearsAreWindowed) {
  struct Case { int year, month, day; int expected_year, expected_month, expected_day; };
  const Case cases[] = {
      {2024, 14, 1, 2025, 2, 1},   {2024, 3, 0, 2024, 2, 29},   {2023, 3, 0, 2023, 2, 28},
      {24, 1, 1, 2024, 1, 1},      {99, 1, 1, 1999, 1, 1},      {30, 1, 1, 1930, 1, 1},
      {29, 1, 1, 2029, 1, 1},      {0, 1, 1, 2000, 1, 1},       {100, 1, 1, 100, 1, 1},
      {2024, 0, 1, 2023, 12, 1},   {2024, -11, 1, 2023, 1, 1},  {2024, -12, 1, 2022, 12, 1},
      {2024, 1, -30, 2023, 12, 1}, {2024, 1, 366, 2024, 12, 31}, {2000, 120, 1, 2009, 12, 1},
      {99, 13, 1, 2000, 1, 1},     {10000, 1, 0, 9999, 12, 31},  {2024, 1, 1000000, 4761, 11, 27},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << ", " << c.month << ", " << c.day);
    Result<DATE> date = DateSerial(c.year, c.month, c.day);
    ASSERT_TRUE(date.ok());
    EXPECT_EQ(date.value(), At(c.expected_year, c.expected_month, c.expected_day));
  }
}

TEST(DateSerial, ResultsOutsideTheRangeOverflow) {
  struct Case { int year, month, day; };
  const Case cases[] = {{10000, 1, 1},         {9999, 12, 32},       {100, 1, 0},
                        {-1, 1, 1},            {2024, INT_MAX, 1},   {2024, INT_MIN, INT_MIN},
                        {INT_MAX, INT_MAX, INT_MAX}, {INT_MIN, INT_MIN, INT_MIN},
                        {2024, 1, INT_MAX}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << ", " << c.month << ", " << c.day);
    Result<DATE> date = DateSerial(c.year, c.month, c.day);
    ASSERT_FALSE(date.ok());
    EXPECT_TRUE(date.error().Is(ErrorNumber::Overflow));
  }
}

TEST(TimeSerial, FieldsCarryAndNegativeTimesWrapBeforeMidnight) {
  struct Case { int hour, minute, second; double expected; };
  const Case cases[] = {
      {0, 0, 0, 0.0},          {12, 0, 0, 0.5},          {24, 0, 0, 1.0},
      {23, 75, 0, 1 + 900.0 / 86400},                    {6, -15, 0, 20700.0 / 86400},
      {0, 0, -1, -86399.0 / 86400},                      {-1, 0, 0, -82800.0 / 86400},
      {0, 0, -86400, -1.0},    {0, 0, -86401, -1 - 86399.0 / 86400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.hour << ", " << c.minute << ", " << c.second);
    Result<DATE> time = TimeSerial(c.hour, c.minute, c.second);
    ASSERT_TRUE(time.ok());
    EXPECT_DOUBLE_EQ(time.value(), c.expected);
  }
}

TEST(TimeSerial, HugeArgumentsOverflow) {
  struct Case { int hour, minute, second; };
  const Case cases[] = {{INT_MAX, INT_MAX, INT_MAX}, {INT_MIN, INT_MIN, INT_MIN},
                        {71003184, 0, 0}, {-15778440, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.hour << ", " << c.minute << ", " << c.second);
    Result<DATE> time = TimeSerial(c.hour, c.minute, c.second);
    ASSERT_FALSE(time.ok());
    EXPECT_TRUE(time.error().Is(ErrorNumber::Overflow));
  }
  // Whole days count toward zero, so the first valid day keeps any negative remainder.
  EXPECT_EQ(TimeSerial(71003183, 0, 0).ValueOr(0), 2958465 + 23.0 / 24);
  EXPECT_EQ(TimeSerial(-15778416, 0, 0).ValueOr(0), kMinDate);
  EXPECT_EQ(TimeSerial(-15778439, 0, 0).ValueOr(0), kMinDate - 1.0 / 24);
}

// --- Parsing ----------------------------------------------------------------------------------

struct ParseCase {
  std::u16string_view text;
  int year, month, day, hour, minute, second;
};

void ExpectParses(LCID lcid, const ParseCase& c) {
  SCOPED_TRACE(testing::Message() << lcid << " \"" << Narrow(c.text) << "\"");
  Result<DATE> date = ParseDate(c.text, Locale(lcid));
  ASSERT_TRUE(date.ok());
  EXPECT_EQ(date.value(), At(c.year, c.month, c.day, c.hour, c.minute, c.second));
}

void ExpectRejects(LCID lcid, std::u16string_view text) {
  SCOPED_TRACE(testing::Message() << lcid << " \"" << Narrow(text) << "\"");
  Result<DATE> date = ParseDate(text, Locale(lcid));
  ASSERT_FALSE(date.ok());
  EXPECT_TRUE(date.error().Is(ErrorNumber::TypeMismatch));
}

TEST(ParseDate, ReadsNumericDatesInTheLocalesOrder) {
  const std::pair<LCID, ParseCase> cases[] = {
      {kEnglishUs, {u"1/15/2024", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"  1/15/2024  ", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"1-15-2024", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"2/29/2024", 2024, 2, 29, 0, 0, 0}},
      {kEnglishUk, {u"15/1/2024", 2024, 1, 15, 0, 0, 0}},
      {kGerman, {u"15.01.2024", 2024, 1, 15, 0, 0, 0}},
      {kSwedish, {u"2024-01-15", 2024, 1, 15, 0, 0, 0}},
      {kSwedish, {u"1/15/2024", 2024, 1, 15, 0, 0, 0}},
      // Year first when the first number can only be a year, in any locale.
      {kEnglishUs, {u"2024-01-15", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUk, {u"2024-01-15", 2024, 1, 15, 0, 0, 0}},
      {kGerman, {u"2024-01-15", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"2024/1/15", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"99/1/15", 1999, 1, 15, 0, 0, 0}},
      // A day and month impossible in the locale's order are swapped.
      {kEnglishUs, {u"13/1/2024", 2024, 1, 13, 0, 0, 0}},
      {kEnglishUk, {u"1/15/2024", 2024, 1, 15, 0, 0, 0}},
      // Two-digit years as DateSerial.
      {kEnglishUs, {u"1/15/24", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"1/15/29", 2029, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"1/15/30", 1930, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"1/15/99", 1999, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"1/15/00", 2000, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"1/2024", 2024, 1, 1, 0, 0, 0}},
  };
  for (const auto& [lcid, c] : cases) ExpectParses(lcid, c);
}

TEST(ParseDate, ReadsMonthNamesInEnglishAndTheLocale) {
  const std::pair<LCID, ParseCase> cases[] = {
      {kEnglishUs, {u"January 15, 2024", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"15 January 2024", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"Jan 15 2024", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"Jan. 15, 2024", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"15-Jan-2024", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"15-jan-24", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"DECEMBER 31 1999", 1999, 12, 31, 0, 0, 0}},
      {kEnglishUs, {u"2024 Jan 15", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"January 2024", 2024, 1, 1, 0, 0, 0}},
      {kEnglishUs, {u"Monday, January 15, 2024", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUs, {u"Mon Jan 15 2024", 2024, 1, 15, 0, 0, 0}},
      {kEnglishUk, {u"15 January 2024", 2024, 1, 15, 0, 0, 0}},
      {kGerman, {u"15. Januar 2024", 2024, 1, 15, 0, 0, 0}},
      {kGerman, {u"15. M\u00e4rz 2024", 2024, 3, 15, 0, 0, 0}},
      {kGerman, {u"15. M\u00c4RZ 2024", 2024, 3, 15, 0, 0, 0}},
      {kGerman, {u"15 Mrz 2024", 2024, 3, 15, 0, 0, 0}},
      {kGerman, {u"15 March 2024", 2024, 3, 15, 0, 0, 0}},
      {kGerman, {u"Montag, 15. Januar 2024", 2024, 1, 15, 0, 0, 0}},
      {kGerman, {u"15-Dez-2024", 2024, 12, 15, 0, 0, 0}},
      {kFrench, {u"15 f\u00e9vrier 2024", 2024, 2, 15, 0, 0, 0}},
      {kFrench, {u"15 F\u00c9VR. 2024", 2024, 2, 15, 0, 0, 0}},
      {kFrench, {u"lundi 15 janvier 2024", 2024, 1, 15, 0, 0, 0}},
  };
  for (const auto& [lcid, c] : cases) ExpectParses(lcid, c);
}

TEST(ParseDate, ReadsTimesAloneAndWithDates) {
  const std::pair<LCID, ParseCase> cases[] = {
      {kEnglishUs, {u"13:45", 1899, 12, 30, 13, 45, 0}},
      {kEnglishUs, {u"1:45 PM", 1899, 12, 30, 13, 45, 0}},
      {kEnglishUs, {u"1:45:30 pm", 1899, 12, 30, 13, 45, 30}},
      {kEnglishUs, {u"1 PM", 1899, 12, 30, 13, 0, 0}},
      {kEnglishUs, {u"1PM", 1899, 12, 30, 13, 0, 0}},
      {kEnglishUs, {u"12 AM", 1899, 12, 30, 0, 0, 0}},
      {kEnglishUs, {u"12:30 PM", 1899, 12, 30, 12, 30, 0}},
      {kEnglishUs, {u"12:30 AM", 1899, 12, 30, 0, 30, 0}},
      {kEnglishUs, {u"11:59:59 p", 1899, 12, 30, 23, 59, 59}},
      {kEnglishUs, {u"0:00", 1899, 12, 30, 0, 0, 0}},
      {kEnglishUs, {u"1/15/2024 1:45 PM", 2024, 1, 15, 13, 45, 0}},
      {kEnglishUs, {u"1:45 PM 1/15/2024", 2024, 1, 15, 13, 45, 0}},
      {kEnglishUs, {u"January 15, 2024 23:59:59", 2024, 1, 15, 23, 59, 59}},
      {kEnglishUs, {u"1/1/1800 6:00 AM", 1800, 1, 1, 6, 0, 0}},
      {kEnglishUk, {u"15/01/2024 13:45", 2024, 1, 15, 13, 45, 0}},
      {kGerman, {u"13:45 15.01.2024", 2024, 1, 15, 13, 45, 0}},
      {kGerman, {u"15.01.2024 1:45 PM", 2024, 1, 15, 13, 45, 0}},
      {kItalian, {u"15/01/2024 13.45.30", 2024, 1, 15, 13, 45, 30}},
      {kItalian, {u"13.45", 1899, 12, 30, 13, 45, 0}},
      {kItalian, {u"15.01.2024", 2024, 1, 15, 0, 0, 0}},  // no time, so a date
  };
  for (const auto& [lcid, c] : cases) ExpectParses(lcid, c);
}

TEST(ParseDate, MonthAndDayAloneMeanTheCurrentYear) {
  int year = CurrentYear();
  ExpectParses(kEnglishUs, {u"1/15", year, 1, 15, 0, 0, 0});
  ExpectParses(kEnglishUk, {u"15/1", year, 1, 15, 0, 0, 0});
  ExpectParses(kGerman, {u"3.4", year, 4, 3, 0, 0, 0});
  ExpectParses(kEnglishUs, {u"January 15", year, 1, 15, 0, 0, 0});
  ExpectParses(kFrench, {u"15 janv.", year, 1, 15, 0, 0, 0});  // an abbreviation's period
}

TEST(ParseDate, RejectsTextsThatAreNoDate) {
  const std::pair<LCID, std::u16string_view> cases[] = {
      {kEnglishUs, u""},                {kEnglishUs, u"   "},
      {kEnglishUs, u"abc"},             {kEnglishUs, u"13/45/2024"},
      {kEnglishUs, u"2/30/2024"},       {kEnglishUs, u"25:00"},
      {kEnglishUs, u"1:60"},            {kEnglishUs, u"1:00:60"},
      {kEnglishUs, u"5"},               {kEnglishUs, u"2024"},
      {kEnglishUs, u"1/15/2024 xyz"},   {kEnglishUs, u"1/15/2024 1:45 PM PM"},
      {kEnglishUs, u"/1/15/2024"},      {kEnglishUs, u"1//15/2024"},
      {kEnglishUs, u"1/15/2024/"},      {kEnglishUs, u"1/15/2024 PM"},
      {kEnglishUs, u"13 PM"},           {kEnglishUs, u"13:00 AM"},
      {kEnglishUs, u"1:2:3:4"},
      {kEnglishUs, u"1/2/3/4"},         {kEnglishUs, u"1/1/10000"},
      {kEnglishUs, u"Monday"},          {kEnglishUs, u"January"},
      {kEnglishUs, u"1#15#2024"},       {kEnglishUs, u"1234567890/1/1"},
      {kEnglishUs, u"2024-01-15T13:45"}, {kEnglishUs, u"Monday 13:45"},
      {kEnglishUs, u"January February 2024"}, {kEnglishUs, u"1/15:2024"},
      {kEnglishUs, u"1:45 1:45"},       {kEnglishUs, u"1/12/2024 2024"},
      {kEnglishUk, u"32/1/2024"},       {kGerman, u"15.01.2024."},
      {kGerman, u"30.02.2024"},         {kGerman, u"15.13.2024 25:00"},
  };
  for (const auto& [lcid, text] : cases) ExpectRejects(lcid, text);
}

TEST(ParseDate, LongTextsAreScannedNotTrusted) {
  std::u16string blanks(100000, u' ');
  ExpectParses(kEnglishUs, {blanks + u"1/15/2024" + blanks, 2024, 1, 15, 0, 0, 0});
  std::u16string many_numbers;
  for (int i = 0; i < 20000; ++i) many_numbers += u"1/";
  ExpectRejects(kEnglishUs, many_numbers + u"1");
  ExpectRejects(kEnglishUs, std::u16string(100000, u'9'));
  ExpectRejects(kEnglishUs, std::u16string(100000, u'x'));
}

// --- Display ----------------------------------------------------------------------------------

struct TextCase {
  LCID lcid;
  DATE date;
  std::u16string_view expected;
};

TEST(DateToText, ShowsDateTimeOrBothAsThePlatformDoes) {
  const TextCase cases[] = {
      {kEnglishUs, At(2024, 1, 15, 13, 45, 30), u"1/15/2024 1:45:30 PM"},
      {kEnglishUs, At(2024, 1, 15), u"1/15/2024"},
      {kEnglishUs, 0.0, u"12:00:00 AM"},
      {kEnglishUs, 0.5, u"12:00:00 PM"},
      {kEnglishUs, -0.5, u"12:00:00 PM"},
      {kEnglishUs, -1.25, u"12/29/1899 6:00:00 AM"},
      {kEnglishUs, 0.9999999, u"12/31/1899"},
      {kEnglishUs, -86399.0 / 86400, u"11:59:59 PM"},
      {kEnglishUs, kMinDate, u"1/1/100"},
      {kEnglishUs, kMaxDate, u"12/31/9999 11:59:59 PM"},
      {kEnglishUk, At(2024, 1, 5, 8, 4, 3), u"05/01/2024 08:04:03"},
      {kGerman, At(2024, 1, 15, 13, 45, 30), u"15.01.2024 13:45:30"},
      {kGerman, At(2024, 1, 15), u"15.01.2024"},
      {kGerman, 0.0, u"00:00:00"},
      {kItalian, At(2024, 1, 15, 9, 5, 0), u"15/01/2024 9.05.00"},
      {kEnglishUs, std::numeric_limits<double>::quiet_NaN(), u""},
      {kEnglishUs, kMaxDate + 1, u""},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lcid << " " << c.date);
    EXPECT_EQ(DateToText(c.date, Locale(c.lcid)), c.expected);
  }
}

TEST(DateToText, ParsingTheDisplayFormGivesTheDateBack) {
  const LCID locales[] = {kEnglishUs, kEnglishUk, kGerman, kFrench, kItalian, kSwedish};
  const DATE dates[] = {At(2024, 1, 15, 13, 45, 30), At(1999, 12, 31), At(1800, 2, 3, 4, 5, 6),
                        0.75, At(100, 1, 1, 12), At(9999, 12, 31, 23, 59, 59)};
  for (LCID lcid : locales) {
    for (DATE date : dates) {
      SCOPED_TRACE(testing::Message() << lcid << " " << date);
      Result<DATE> back = ParseDate(DateToText(date, Locale(lcid)), Locale(lcid));
      ASSERT_TRUE(back.ok());
      EXPECT_EQ(back.value(), date);
    }
  }
}

TEST(FormatDateTime, EachNamedFormatUsesItsPattern) {
  struct Case { LCID lcid; NamedDateFormat format; std::u16string_view expected; };
  const Case cases[] = {
      {kEnglishUs, NamedDateFormat::GeneralDate, u"1/15/2024 1:45:30 PM"},
      {kEnglishUs, NamedDateFormat::LongDate, u"Monday, January 15, 2024"},
      {kEnglishUs, NamedDateFormat::ShortDate, u"1/15/2024"},
      {kEnglishUs, NamedDateFormat::LongTime, u"1:45:30 PM"},
      {kEnglishUs, NamedDateFormat::ShortTime, u"13:45"},
      {kGerman, NamedDateFormat::LongDate, u"Montag, 15. Januar 2024"},
      {kGerman, NamedDateFormat::ShortDate, u"15.01.2024"},
      {kGerman, NamedDateFormat::LongTime, u"13:45:30"},
      {kEnglishUk, NamedDateFormat::LongDate, u"15 January 2024"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lcid << " " << static_cast<int>(c.format));
    Result<std::u16string> text =
        FormatDateTimeText(At(2024, 1, 15, 13, 45, 30), c.format, Locale(c.lcid));
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(text.value(), c.expected);
  }
}

TEST(FormatDateTime, RejectsUnknownFormatsAndInvalidDates) {
  struct Case { DATE date; int format; ErrorNumber error; };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {{0, 5, ErrorNumber::InvalidProcedureCall},
                        {0, -1, ErrorNumber::InvalidProcedureCall},
                        {nan, 9, ErrorNumber::InvalidProcedureCall},
                        {nan, 0, ErrorNumber::Overflow},
                        {kMaxDate + 1, 2, ErrorNumber::Overflow}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.date << " " << c.format);
    Result<std::u16string> text = FormatDateTimeText(
        c.date, static_cast<NamedDateFormat>(c.format), Locale(kEnglishUs));
    ASSERT_FALSE(text.ok());
    EXPECT_TRUE(text.error().Is(c.error));
  }
}

TEST(FormatDatePicture, EachPictureLetterWritesItsField) {
  // Friday 2024-01-05 08:04:03 and Sunday 2005-12-25 20:00:09.
  const DateParts morning = SplitDate(At(2024, 1, 5, 8, 4, 3)).value();
  const DateParts evening = SplitDate(At(2005, 12, 25, 20, 0, 9)).value();
  struct Case { const DateParts* parts; std::u16string_view picture, expected; };
  const Case cases[] = {
      {&morning, u"d", u"5"},        {&morning, u"dd", u"05"},      {&morning, u"ddd", u"Fri"},
      {&morning, u"dddd", u"Friday"}, {&morning, u"M", u"1"},       {&morning, u"MM", u"01"},
      {&morning, u"MMM", u"Jan"},    {&morning, u"MMMM", u"January"}, {&morning, u"y", u"24"},
      {&morning, u"yy", u"24"},      {&evening, u"y", u"5"},        {&evening, u"yy", u"05"},
      {&morning, u"yyyy", u"2024"},  {&morning, u"h", u"8"},        {&morning, u"hh", u"08"},
      {&evening, u"h", u"8"},        {&evening, u"H", u"20"},       {&morning, u"HH", u"08"},
      {&morning, u"m", u"4"},        {&morning, u"mm", u"04"},      {&morning, u"s", u"3"},
      {&morning, u"ss", u"03"},      {&morning, u"t", u"A"},        {&evening, u"tt", u"PM"},
      {&evening, u"dddd d MMMM", u"Sunday 25 December"},
      {&morning, u"yyyy-MM-dd'T'HH:mm:ss", u"2024-01-05T08:04:03"},
      {&morning, u"'day' d", u"day 5"},   {&morning, u"'It''s' d", u"It's 5"},
      {&morning, u"'open", u"open"},      {&morning, u"D/Y x", u"D/Y x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.picture));
    EXPECT_EQ(FormatDatePicture(*c.parts, c.picture, Locale(kEnglishUs)), c.expected);
  }
}

TEST(FormatDatePicture, MidnightAndNoonShowTwelveAndEmptyDesignatorsVanish) {
  DateParts midnight = SplitDate(0.0).value();
  DateParts noon = SplitDate(0.5).value();
  EXPECT_EQ(FormatDatePicture(midnight, u"h tt", Locale(kEnglishUs)), u"12 AM");
  EXPECT_EQ(FormatDatePicture(noon, u"h tt", Locale(kEnglishUs)), u"12 PM");
  EXPECT_EQ(FormatDatePicture(noon, u"HH:mm tt", Locale(kGerman)), u"12:00 ");
}

TEST(FormatDatePicture, FieldsOutOfRangeWriteNoName) {
  DateParts odd{2024, 13, 40, 30, 0, 0, 9, 400};
  EXPECT_EQ(FormatDatePicture(odd, u"MMMM|dddd|MMM|ddd|d", Locale(kEnglishUs)), u"||||40");
}

}  // namespace
