// The date functions: the clock, DateAdd, DateDiff and DatePart with their week rules,
// construction from parts and text, the fields of a date, and locale names.

#include <cmath>

#include "tests/platform/vbscript/builtin_test_support.h"

namespace {

using namespace builtin_test;

class DateFunctions : public BuiltinTest {};

TEST_F(DateFunctions, DateSerialAndTimeSerialCarryOutOfRangeParts) {
  Expect({
      {u"DateSerial", {I(2024), I(2), I(30)}, "Date 3/1/2024"},
      {u"DateSerial", {I(2024), I(13), I(1)}, "Date 1/1/2025"},
      {u"DateSerial", {I(2024), I(3), I(0)}, "Date 2/29/2024"},
      {u"DateSerial", {I(24), I(1), I(1)}, "Date 1/1/2024"},
      {u"DateSerial", {I(99), I(1), I(1)}, "Date 1/1/1999"},
      {u"DateSerial", {D(2024.4), I(1), I(1)}, "Date 1/1/2024"},
      {u"DateSerial", {I(10000), I(1), I(1)}, "Error 5"},
      {u"DateSerial", {I(-10000), I(1), I(1)}, "Error 5"},
      {u"DateSerial", {Null(), I(1), I(1)}, "Error 94"},
      {u"TimeSerial", {I(13), I(30), I(0)}, "Date 1:30:00 PM"},
      {u"TimeSerial", {I(0), I(90), I(0)}, "Date 1:30:00 AM"},
      {u"TimeSerial", {I(0), I(0), Null()}, "Error 94"},
  });
}

TEST_F(DateFunctions, DateAddClampsMonthEnds) {
  Expect({
      {u"DateAdd", {S(u"m"), I(1), S(u"1/31/2024")}, "Date 2/29/2024"},
      {u"DateAdd", {S(u"m"), I(1), S(u"1/31/2023")}, "Date 2/28/2023"},
      {u"DateAdd", {S(u"m"), I(-1), S(u"3/31/2024")}, "Date 2/29/2024"},
      {u"DateAdd", {S(u"yyyy"), I(1), S(u"2/29/2024")}, "Date 2/28/2025"},
      {u"DateAdd", {S(u"q"), I(1), S(u"1/31/2024")}, "Date 4/30/2024"},
      {u"DateAdd", {S(u"M"), I(13), S(u"12/15/2023 10:30")}, "Date 1/15/2025 10:30:00 AM"},
  });
}

TEST_F(DateFunctions, DateAddCountsDaysWeeksAndTimeExactly) {
  Expect({
      {u"DateAdd", {S(u"d"), I(-1), S(u"1/1/2024")}, "Date 12/31/2023"},
      {u"DateAdd", {S(u"y"), I(1), S(u"12/31/2023")}, "Date 1/1/2024"},
      {u"DateAdd", {S(u"w"), I(1), S(u"1/5/2024")}, "Date 1/6/2024"},
      {u"DateAdd", {S(u"ww"), I(2), S(u"1/1/2024")}, "Date 1/15/2024"},
      {u"DateAdd", {S(u"h"), I(25), S(u"1/1/2024")}, "Date 1/2/2024 1:00:00 AM"},
      {u"DateAdd", {S(u"n"), I(-1), S(u"1/1/2024")}, "Date 12/31/2023 11:59:00 PM"},
      {u"DateAdd", {S(u"s"), L(86399), S(u"1/1/2024")}, "Date 1/1/2024 11:59:59 PM"},
      {u"DateAdd", {S(u"d"), D(1.5), S(u"1/1/2024")}, "Date 1/3/2024"},
      {u"DateAdd", {S(u"h"), I(1), S(u"12/29/1899 6:00")}, "Date 12/29/1899 7:00:00 AM"},
      {u"DateAdd", {S(u"h"), I(-7), S(u"12/30/1899 6:00")}, "Date 12/29/1899 11:00:00 PM"},
      {u"DateAdd", {S(u"h"), I(1), S(u"10:00")}, "Date 11:00:00 AM"},
  });
}

TEST_F(DateFunctions, DateAddRefusesBadIntervalsAndRangesAndPassesNullOn) {
  Expect({
      {u"DateAdd", {S(u"x"), I(1), S(u"1/1/2024")}, "Error 5"},
      {u"DateAdd", {S(u""), I(1), S(u"1/1/2024")}, "Error 5"},
      {u"DateAdd", {Null(), I(1), S(u"1/1/2024")}, "Error 94"},
      {u"DateAdd", {S(u"yyyy"), I(10000), S(u"1/1/2024")}, "Error 5"},
      {u"DateAdd", {S(u"d"), I(-1), S(u"1/1/100")}, "Error 5"},
      {u"DateAdd", {S(u"s"), L(2147483647), S(u"12/31/9999")}, "Error 5"},
      {u"DateAdd", {S(u"d"), I(1), S(u"abc")}, "Error 13"},
      {u"DateAdd", {S(u"d"), I(1), Null()}, "Null"},
  });
}

TEST_F(DateFunctions, DateDiffCountsBoundariesCrossed) {
  Expect({
      {u"DateDiff", {S(u"d"), S(u"1/1/2024 23:00"), S(u"1/2/2024 01:00")}, "Long 1"},
      {u"DateDiff", {S(u"d"), S(u"1/2/2024"), S(u"1/1/2024")}, "Long -1"},
      {u"DateDiff", {S(u"yyyy"), S(u"12/31/2023"), S(u"1/1/2024")}, "Long 1"},
      {u"DateDiff", {S(u"q"), S(u"3/31/2024"), S(u"4/1/2024")}, "Long 1"},
      {u"DateDiff", {S(u"m"), S(u"1/31/2024"), S(u"2/1/2024")}, "Long 1"},
      {u"DateDiff", {S(u"y"), S(u"1/1/2024"), S(u"3/1/2024")}, "Long 60"},
      {u"DateDiff", {S(u"h"), S(u"1/1/2024 10:59"), S(u"1/1/2024 11:00")}, "Long 1"},
      {u"DateDiff", {S(u"n"), S(u"1/1/2024 10:59:59"), S(u"1/1/2024 11:00:00")}, "Long 1"},
      {u"DateDiff", {S(u"s"), S(u"1/1/2024"), S(u"1/2/2024")}, "Long 86400"},
      {u"DateDiff", {S(u"h"), S(u"12/29/1899 23:00"), S(u"12/30/1899 1:00")}, "Long 2"},
  });
}

TEST_F(DateFunctions, DateDiffWeeksCountSevenDaysOrFirstDaysOfTheWeek) {
  Expect({
      {u"DateDiff", {S(u"w"), S(u"1/1/2024"), S(u"1/14/2024")}, "Long 1"},
      {u"DateDiff", {S(u"w"), S(u"1/1/2024"), S(u"1/15/2024")}, "Long 2"},
      {u"DateDiff", {S(u"w"), S(u"1/15/2024"), S(u"1/1/2024")}, "Long -2"},
      {u"DateDiff", {S(u"ww"), S(u"1/6/2024"), S(u"1/7/2024")}, "Long 1"},  // Saturday to Sunday
      {u"DateDiff", {S(u"ww"), S(u"1/7/2024"), S(u"1/13/2024")}, "Long 0"},
      {u"DateDiff", {S(u"ww"), S(u"1/7/2024"), S(u"1/8/2024"), I(2)}, "Long 1"},  // to a Monday
      {u"DateDiff", {S(u"ww"), S(u"1/8/2024"), S(u"1/7/2024"), I(2)}, "Long -1"},
  });
}

TEST_F(DateFunctions, DateDiffRefusesBadArgumentsAndOverflows) {
  Expect({
      {u"DateDiff", {S(u"s"), S(u"1/1/100"), S(u"12/31/9999")}, "Error 6"},
      {u"DateDiff", {S(u"d"), Null(), S(u"1/1/2024")}, "Null"},
      {u"DateDiff", {S(u"d"), S(u"1/1/2024"), Null()}, "Null"},
      {u"DateDiff", {S(u"d"), S(u"1/1/2024"), S(u"1/2/2024"), I(8)}, "Error 5"},
      {u"DateDiff", {S(u"d"), S(u"1/1/2024"), S(u"1/2/2024"), I(1), I(4)}, "Error 5"},
      {u"DateDiff", {S(u"z"), S(u"1/1/2024"), S(u"1/2/2024")}, "Error 5"},
  });
}

TEST_F(DateFunctions, DatePartReadsEachInterval) {
  const Variant leap_day = S(u"2/29/2024 13:45:30");  // a Thursday
  Expect({
      {u"DatePart", {S(u"yyyy"), leap_day}, "Integer 2024"},
      {u"DatePart", {S(u"q"), leap_day}, "Integer 1"},
      {u"DatePart", {S(u"m"), leap_day}, "Integer 2"},
      {u"DatePart", {S(u"y"), leap_day}, "Integer 60"},
      {u"DatePart", {S(u"d"), leap_day}, "Integer 29"},
      {u"DatePart", {S(u"w"), leap_day}, "Integer 5"},
      {u"DatePart", {S(u"w"), leap_day, I(2)}, "Integer 4"},
      {u"DatePart", {S(u"ww"), leap_day}, "Integer 9"},
      {u"DatePart", {S(u"h"), leap_day}, "Integer 13"},
      {u"DatePart", {S(u"n"), leap_day}, "Integer 45"},
      {u"DatePart", {S(u"s"), leap_day}, "Integer 30"},
      {u"DatePart", {S(u"d"), Null()}, "Null"},
      {u"DatePart", {S(u"d"), leap_day, I(-1)}, "Error 5"},
  });
}

TEST_F(DateFunctions, DatePartWeekFollowsTheFirstWeekRule) {
  Expect({
      // 2021-01-01 is a Friday: in the last week of 2020 under the four-day rule.
      {u"DatePart", {S(u"ww"), S(u"1/1/2021"), I(2), I(2)}, "Integer 53"},
      {u"DatePart", {S(u"ww"), S(u"1/4/2021"), I(2), I(2)}, "Integer 1"},
      {u"DatePart", {S(u"ww"), S(u"1/1/2021"), I(2), I(1)}, "Integer 1"},
      // The platform keeps late December in this year's count (53, not next year's 1).
      {u"DatePart", {S(u"ww"), S(u"12/29/2003"), I(2), I(2)}, "Integer 53"},
      // 2024-01-01 is a Monday; the first full Sunday week starts on the 7th.
      {u"DatePart", {S(u"ww"), S(u"1/1/2024"), I(1), I(3)}, "Integer 53"},
      {u"DatePart", {S(u"ww"), S(u"1/7/2024"), I(1), I(3)}, "Integer 1"},
      {u"DatePart", {S(u"ww"), S(u"1/2/100"), I(2), I(3)}, "Integer 52"},
  });
}

TEST_F(DateFunctions, FieldsOfADate) {
  const Variant moment = S(u"2/29/2024 13:45:30");
  Expect({
      {u"Year", {moment}, "Integer 2024"},
      {u"Month", {moment}, "Integer 2"},
      {u"Day", {moment}, "Integer 29"},
      {u"Hour", {moment}, "Integer 13"},
      {u"Minute", {moment}, "Integer 45"},
      {u"Second", {moment}, "Integer 30"},
      {u"Weekday", {moment}, "Integer 5"},
      {u"Weekday", {moment, I(2)}, "Integer 4"},
      {u"Weekday", {moment, I(5)}, "Integer 1"},
      {u"Hour", {D(0.75)}, "Integer 18"},
      {u"Year", {Empty()}, "Integer 1899"},
      {u"Year", {Null()}, "Null"},
      {u"Weekday", {Null()}, "Null"},
      {u"Day", {S(u"abc")}, "Error 13"},
      {u"Weekday", {moment, I(8)}, "Error 5"},
      {u"Year", {D(1e10)}, "Error 6"},
  });
}

TEST_F(DateFunctions, DateValueAndTimeValueKeepOneHalf) {
  Expect({
      {u"DateValue", {S(u"2/29/2024 13:45")}, "Date 2/29/2024"},
      {u"DateValue", {S(u"February 29, 2024")}, "Date 2/29/2024"},
      {u"DateValue", {Dt(-1.25)}, "Date 12/29/1899"},
      {u"TimeValue", {S(u"2/29/2024 13:45")}, "Date 1:45:00 PM"},
      {u"TimeValue", {S(u"15:34")}, "Date 3:34:00 PM"},
      {u"TimeValue", {Dt(-1.25)}, "Date 6:00:00 AM"},
      {u"DateValue", {Null()}, "Null"},
      {u"TimeValue", {Null()}, "Null"},
      {u"DateValue", {S(u"abc")}, "Error 13"},
  });
}

TEST_F(DateFunctions, MonthAndWeekdayNamesComeFromTheLocale) {
  Expect({
      {u"MonthName", {I(1)}, "String \"January\""},
      {u"MonthName", {I(12), B(true)}, "String \"Dec\""},
      {u"MonthName", {I(13)}, "Error 5"},
      {u"MonthName", {I(0)}, "Error 5"},
      {u"MonthName", {Null()}, "Error 94"},
      {u"MonthName", {S(u"a"), Null()}, "Error 94"},
      {u"WeekdayName", {I(1)}, "String \"Sunday\""},
      {u"WeekdayName", {I(1), B(true)}, "String \"Sun\""},
      {u"WeekdayName", {I(1), B(false), I(2)}, "String \"Monday\""},
      {u"WeekdayName", {I(7), Missing(), I(2)}, "String \"Sunday\""},
      {u"WeekdayName", {I(0)}, "Error 5"},
      {u"WeekdayName", {I(8)}, "Error 5"},
  });
  UseLocale(1031);
  Expect({
      {u"MonthName", {I(3)}, "String \"M\u00E4rz\""},
      {u"WeekdayName", {I(1)}, "String \"Sonntag\""},
      {u"WeekdayName", {I(1), B(false), I(0)}, "String \"Montag\""},  // the locale's first day
  });
}

TEST_F(DateFunctions, GermanDatesReadAndPrintInTheLocale) {
  UseLocale(1031);
  Expect({
      {u"DateValue", {S(u"29.02.2024 13:45")}, "Date 29.02.2024"},
      {u"DateAdd", {S(u"m"), I(1), S(u"31.01.2024")}, "Date 29.02.2024"},
      {u"Weekday", {S(u"29.02.2024"), I(0)}, "Integer 4"},
      {u"IsDate", {S(u"29.02.2024")}, "Boolean True"},
  });
}

TEST_F(DateFunctions, IsDateAcceptsDatesAndDateTexts) {
  Variant value = S(u"2/29/2024");
  FakeDispatch field(Dt(45351.0));
  Expect({
      {u"IsDate", {S(u"1/31/2024")}, "Boolean True"},
      {u"IsDate", {Dt(1.5)}, "Boolean True"},
      {u"IsDate", {Variant::RefTo(&value)}, "Boolean True"},
      {u"IsDate", {Variant::FromDispatch(&field)}, "Boolean True"},
      {u"IsDate", {S(u"2/30/2024")}, "Boolean False"},
      {u"IsDate", {S(u"abc")}, "Boolean False"},
      {u"IsDate", {I(5)}, "Boolean False"},
      {u"IsDate", {Null()}, "Boolean False"},
      {u"IsDate", {Empty()}, "Boolean False"},
  });
}

TEST_F(DateFunctions, TheClockGivesTodayAndTheTimeOfDay) {
  Result<Variant> now = Run(u"Now");
  Result<Variant> today = Run(u"Date");
  Result<Variant> time = Run(u"Time");
  Result<Variant> timer = Run(u"Timer");
  ASSERT_TRUE(now.ok() && today.ok() && time.ok() && timer.ok());
  EXPECT_EQ(now.value().vt, VT_DATE);
  EXPECT_EQ(today.value().vt, VT_DATE);
  EXPECT_EQ(time.value().vt, VT_DATE);
  EXPECT_EQ(timer.value().vt, VT_R4);
  EXPECT_EQ(today.value().date, std::floor(today.value().date));
  EXPECT_GT(today.value().date, 45000.0);  // after 2023
  EXPECT_GE(time.value().date, 0.0);
  EXPECT_LT(time.value().date, 1.0);
  EXPECT_GE(timer.value().fltVal, 0.0f);
  EXPECT_LT(timer.value().fltVal, 86400.0f);
  // Today and now agree unless the test straddles midnight.
  EXPECT_LE(std::fabs(now.value().date - today.value().date - time.value().date), 1.0);
}

}  // namespace
