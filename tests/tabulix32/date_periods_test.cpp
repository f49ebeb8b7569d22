// Date-period members of UtilitiesClass, called by name with by-reference arguments.
#include <gtest/gtest.h>

#include "platform/automation/date_time.h"
#include "tests/tabulix32/utilities_member_call.h"

namespace {

using namespace utilities_test;

constexpr int32_t kTypeMismatch = 13;
constexpr int32_t kInvalidUseOfNull = 94;
constexpr int32_t kOverflow = 6;

class DatePeriods : public UtilitiesCallTest {};

// --- Report types -----------------------------------------------------------------------------

TEST_F(DatePeriods, SuffixTestsCompareTheEndCaseSensitively) {
  EXPECT_TRUE(IsBoolean(Get(u"isMonthReport", {S(u"sales_month")}), true));
  EXPECT_TRUE(IsBoolean(Get(u"isMonthReport", {S(u"sales_MONTH")}), false));
  EXPECT_TRUE(IsBoolean(Get(u"isMonthReport", {S(u"sales_month_total")}), false));
  EXPECT_TRUE(IsBoolean(Get(u"isDayReport", {S(u"x_day")}), true));
  EXPECT_TRUE(IsBoolean(Get(u"isWeekReport", {S(u"x_week")}), true));
  EXPECT_TRUE(IsBoolean(Get(u"isQuarterReport", {S(u"x_quarter")}), true));
  EXPECT_TRUE(IsBoolean(Get(u"isYearReport", {S(u"_year")}), true));
  EXPECT_TRUE(IsBoolean(Get(u"isYearReport", {S(u"x_day")}), false));
}

TEST_F(DatePeriods, IsDateReportIsAnyOfTheFive) {
  for (std::u16string_view name : {u"a_day", u"a_week", u"a_month", u"a_quarter", u"a_year"}) {
    SCOPED_TRACE(Narrow(name));
    EXPECT_TRUE(IsBoolean(Get(u"isDateReport", {S(name)}), true));
  }
  EXPECT_TRUE(IsBoolean(Get(u"isDateReport", {S(u"sales")}), false));
  EXPECT_TRUE(IsBoolean(Get(u"isDateReport", {Variant::Null()}), false));
  EXPECT_TRUE(IsBoolean(Get(u"isDateReport", {I(5)}), false));
}

TEST_F(DatePeriods, GetDateReportNameRemovesTheSuffix) {
  EXPECT_EQ(Text(Get(u"getDateReportName", {S(u"sales_quarter")})), u"sales");
  EXPECT_EQ(Text(Get(u"getDateReportName", {S(u"sales_day")})), u"sales");
  EXPECT_EQ(Text(Get(u"getDateReportName", {S(u"sales")})), u"sales");
  EXPECT_EQ(Get(u"getDateReportName", {Variant::Null()}).Type(), VT_NULL);
}

TEST_F(DatePeriods, GetDateReportDescriptionNamesThePeriod) {
  EXPECT_EQ(Text(Get(u"getDateReportDescription", {S(u"x_week")})), u"Week");
  EXPECT_EQ(Text(Get(u"getDateReportDescription", {S(u"x_quarter")})), u"Quarter");
  EXPECT_EQ(Text(Get(u"getDateReportDescription", {S(u"x_year")})), u"Year");
  EXPECT_EQ(Text(Get(u"getDateReportDescription", {S(u"sales")})), u"");
}

// --- Day numbers and dates --------------------------------------------------------------------

TEST_F(DatePeriods, ZellerDateCountsDaysContinuously) {
  Variant first = Get(u"zellerDate", {DateOf(2011, 1, 1)});
  ASSERT_EQ(first.Type(), VT_I4);
  EXPECT_EQ(first.lVal, 734566);
  EXPECT_EQ(Get(u"zellerDate", {DateOf(2011, 3, 31)}).lVal, 734655);
  EXPECT_EQ(Get(u"zellerDate", {DateOf(2000, 3, 1)}).lVal,
            Get(u"zellerDate", {DateOf(2000, 2, 29)}).lVal + 1);
  EXPECT_EQ(Get(u"zellerDate", {S(u"2011-01-01")}).lVal, 734566);
}

TEST_F(DatePeriods, ZellerDateMultiplesOfSevenAreSaturdays) {
  DATE start = DateFromParts(1999, 12, 1).value();
  for (int offset = 0; offset < 800; ++offset) {
    DATE date = start + offset;
    int32_t number = Get(u"zellerDate", {Variant::FromDate(date)}).lVal;
    bool saturday = SplitDate(date).value().day_of_week == 7;
    ASSERT_EQ(number % 7 == 0, saturday) << "serial " << date;
    ASSERT_EQ(number - static_cast<int32_t>(date), 694022) << "serial " << date;
  }
}

TEST_F(DatePeriods, ZellerDateRejectsNullAndText) {
  EXPECT_EQ(FailureNumber(u"zellerDate", {Variant::Null()}), kInvalidUseOfNull);
  EXPECT_EQ(FailureNumber(u"zellerDate", {S(u"soon")}), kTypeMismatch);
}

TEST_F(DatePeriods, ConstructDateReadsTheNumbersInTheLocaleOrder) {
  EXPECT_TRUE(IsDay(Get(u"constructDate", {I(31), I(3), I(2011)}), 2011, 3, 31));
  EXPECT_TRUE(IsDay(Get(u"constructDate", {I(4), I(1), I(2011)}), 2011, 1, 4));
  EXPECT_TRUE(IsDay(Get(u"constructDate", {S(u"1"), D(4), I(11)}), 2011, 4, 1));
  ASSERT_TRUE(SetThreadLocale(kGerman));
  EXPECT_TRUE(IsDay(Get(u"constructDate", {I(4), I(1), I(2011)}), 2011, 1, 4));
  EXPECT_TRUE(IsDay(Get(u"constructDate", {I(31), I(12), D(2010)}), 2010, 12, 31));
}

TEST_F(DatePeriods, ConstructDateFailsForTextThatIsNoDate) {
  EXPECT_EQ(FailureNumber(u"constructDate", {I(32), I(1), I(2011)}), kTypeMismatch);
  EXPECT_EQ(FailureNumber(u"constructDate", {I(1), Variant::Null(), I(2011)}), kTypeMismatch);
}

// --- Weeks ------------------------------------------------------------------------------------

TEST_F(DatePeriods, GetWeekDatesWithoutOffsetStartsOnSaturday) {
  Arguments call{I(104950), Variant(), Variant(), B(false), I(0)};
  EXPECT_EQ(Get(u"getWeekDates", call).Type(), VT_EMPTY);
  EXPECT_TRUE(IsDay(call[1], 2011, 3, 26));
  EXPECT_TRUE(IsDay(call[2], 2011, 4, 1));
  EXPECT_EQ(SplitDate(call[1].date).value().day_of_week, 7);
}

TEST_F(DatePeriods, GetWeekDatesAppliesTheWeekStartDay) {
  Arguments call{S(u"104950"), Variant(), Variant(), B(true), I(2)};
  Get(u"getWeekDates", call);
  EXPECT_TRUE(IsDay(call[1], 2011, 3, 28));
  EXPECT_TRUE(IsDay(call[2], 2011, 4, 3));
  Arguments ignored{I(104950), Variant(), Variant(), B(false), I(2)};
  Get(u"getWeekDates", ignored);
  EXPECT_TRUE(IsDay(ignored[1], 2011, 3, 26));
  Arguments first_week{I(104938), Variant(), Variant(), Variant::Null(), I(2)};
  Get(u"getWeekDates", first_week);
  EXPECT_TRUE(IsDay(first_week[1], 2011, 1, 1));
}

TEST_F(DatePeriods, GetWeekDatesNeedsANumber) {
  EXPECT_EQ(FailureNumber(u"getWeekDates", {S(u"w14"), Variant(), Variant(), B(false), I(0)}),
            kTypeMismatch);
  EXPECT_EQ(FailureNumber(u"getWeekDates", {Variant::Null(), Variant(), Variant(), B(false),
                                            I(0)}),
            kInvalidUseOfNull);
  // Week 0 lies before year 100.
  EXPECT_EQ(FailureNumber(u"getWeekDates", {I(0), Variant(), Variant(), B(false), I(0)}),
            kOverflow);
}

// --- Quarters ---------------------------------------------------------------------------------

TEST_F(DatePeriods, GetQuarterDatesGivesTheCalendarQuarter) {
  Arguments call{S(u"8045"), Variant(), Variant(), B(false), I(3)};
  Get(u"getQuarterDates", call);
  EXPECT_TRUE(IsDay(call[1], 2011, 4, 1));
  EXPECT_TRUE(IsDay(call[2], 2011, 6, 30));
  ASSERT_EQ(call[0].Type(), VT_R8);  // the caller's l_val becomes a double
  EXPECT_EQ(call[0].dblVal, 8045.0);
}

TEST_F(DatePeriods, GetQuarterDatesShiftsByTheFiscalStart) {
  Arguments call{I(8043), Variant(), Variant(), B(true), I(3)};
  Get(u"getQuarterDates", call);
  EXPECT_TRUE(IsDay(call[1], 2011, 1, 1));
  EXPECT_TRUE(IsDay(call[2], 2011, 3, 31));
  Arguments spanning{I(8043), Variant(), Variant(), B(true), I(2)};
  Get(u"getQuarterDates", spanning);
  EXPECT_TRUE(IsDay(spanning[1], 2010, 12, 1));
  EXPECT_TRUE(IsDay(spanning[2], 2011, 2, 28));
}

TEST_F(DatePeriods, GetQuarterDatesWorksInAnotherLocale) {
  ASSERT_TRUE(SetThreadLocale(kGerman));
  Arguments call{I(8044), Variant(), Variant(), B(false), I(0)};
  Get(u"getQuarterDates", call);
  EXPECT_TRUE(IsDay(call[1], 2011, 1, 1));
  EXPECT_TRUE(IsDay(call[2], 2011, 3, 31));
}

// --- Bounding dates ---------------------------------------------------------------------------

// The arguments of getBoundingDate for a report type and identifier, the page's bounds empty.
Arguments BoundingCall(std::u16string_view type, Variant value, int32_t year_start_month = 0) {
  return Arguments{Variant(), Variant(), S(u""), S(u""), S(type), std::move(value), B(false),
                   I(0), I(year_start_month)};
}

TEST_F(DatePeriods, GetBoundingDateOfAMonthSetsBothPairs) {
  Arguments call = BoundingCall(u"month", S(u"key_24134"));
  EXPECT_EQ(Get(u"getBoundingDate", call).Type(), VT_EMPTY);
  for (size_t start : {0, 2}) {
    EXPECT_TRUE(IsDay(call[start], 2011, 3, 1));
    EXPECT_TRUE(IsDay(call[start + 1], 2011, 3, 31));
  }
  EXPECT_EQ(Text(call[5]), u"key_24134");  // the caller's identifier is left alone
  Arguments december = BoundingCall(u"month", I(24143));
  Get(u"getBoundingDate", december);
  EXPECT_TRUE(IsDay(december[0], 2011, 12, 1));
  EXPECT_TRUE(IsDay(december[3], 2011, 12, 31));
}

TEST_F(DatePeriods, GetBoundingDateOfADay) {
  Arguments call = BoundingCall(u"day", S(u"key_2011-03-31"));
  Get(u"getBoundingDate", call);
  EXPECT_TRUE(IsDay(call[0], 2011, 3, 31));
  EXPECT_TRUE(IsDay(call[1], 2011, 3, 31));
  ASSERT_TRUE(SetThreadLocale(kGerman));
  Arguments german = BoundingCall(u"day", S(u"key_31.03.2011"));
  Get(u"getBoundingDate", german);
  EXPECT_TRUE(IsDay(german[2], 2011, 3, 31));
}

TEST_F(DatePeriods, GetBoundingDateOfWeekQuarterAndYear) {
  Arguments week = BoundingCall(u"week", S(u"key_104950"));
  Get(u"getBoundingDate", week);
  EXPECT_TRUE(IsDay(week[2], 2011, 3, 26));
  EXPECT_TRUE(IsDay(week[3], 2011, 4, 1));
  Arguments quarter = BoundingCall(u"quarter", I(8045));
  Get(u"getBoundingDate", quarter);
  EXPECT_TRUE(IsDay(quarter[2], 2011, 4, 1));
  EXPECT_TRUE(IsDay(quarter[3], 2011, 6, 30));
  // The fiscal start applies to years even without applyOffset.
  Arguments year = BoundingCall(u"year", S(u"2011"), 3);
  Get(u"getBoundingDate", year);
  EXPECT_TRUE(IsDay(year[2], 2011, 4, 1));
  EXPECT_TRUE(IsDay(year[3], 2012, 3, 31));
}

TEST_F(DatePeriods, GetBoundingDateOfAnotherTypeKeepsThePageBounds) {
  Arguments call{Variant(), Variant(), S(u"2011-01-05"), S(u"2011-02-05"), S(u"region"),
                 I(7), B(false), I(0), I(0)};
  Get(u"getBoundingDate", call);
  EXPECT_EQ(Text(call[0]), u"2011-01-05");
  EXPECT_EQ(Text(call[1]), u"2011-02-05");
  EXPECT_EQ(Text(call[2]), u"2011-01-05");
}

TEST_F(DatePeriods, GetBoundingDateOfAFractionOfAMonthKeepsTheNewBounds) {
  Arguments call = BoundingCall(u"month", D(24134.5));
  call[0] = S(u"before");
  Get(u"getBoundingDate", call);
  EXPECT_EQ(Text(call[0]), u"before");
  EXPECT_EQ(Text(call[2]), u"before");  // the page's start differs, so it takes the new one
}

TEST_F(DatePeriods, GetBoundingDateReplacesANullPageBound) {
  Arguments call = BoundingCall(u"month", I(24134));
  call[2] = Variant::Null();
  Get(u"getBoundingDate", call);
  EXPECT_TRUE(IsDay(call[2], 2011, 3, 1));
}

TEST_F(DatePeriods, GetBoundingDateSetsThePageBoundsWhenTheNewOnesArePassedByValue) {
  Arguments call = BoundingCall(u"month", I(24134));
  ASSERT_TRUE(Call(u"getBoundingDate", call, {0, 1}).ok());
  EXPECT_EQ(call[0].Type(), VT_EMPTY);
  EXPECT_TRUE(IsDay(call[2], 2011, 3, 1));
  EXPECT_TRUE(IsDay(call[3], 2011, 3, 31));
}

TEST_F(DatePeriods, GetBoundingDateNeedsANumberForMonthsAndYears) {
  EXPECT_EQ(FailureNumber(u"getBoundingDate", BoundingCall(u"month", S(u"key_"))),
            kTypeMismatch);
  EXPECT_EQ(FailureNumber(u"getBoundingDate", BoundingCall(u"year", Variant::Null())),
            kInvalidUseOfNull);
}

// --- Labels -----------------------------------------------------------------------------------

TEST_F(DatePeriods, DisplayMonthLabels) {
  Arguments call{S(u"24134"), B(true)};
  EXPECT_EQ(Text(Get(u"displayMonth", call)), u"Mar 2011");
  ASSERT_EQ(call[0].Type(), VT_R8);
  EXPECT_EQ(Text(Get(u"displayMonth", {I(24134), B(false)})), u"Mar");
  EXPECT_EQ(Text(Get(u"displayMonth", {I(24143), I(1)})), u"Dec 2011");
  Arguments text{S(u"abc"), B(true)};
  EXPECT_EQ(Text(Get(u"displayMonth", text)), u"abc");
  EXPECT_EQ(Text(text[0]), u"abc");
  EXPECT_EQ(Get(u"displayMonth", {Variant::Null(), B(true)}).Type(), VT_NULL);
}

TEST_F(DatePeriods, DisplayMonthReadsNumbersInTheLocale) {
  ASSERT_TRUE(SetThreadLocale(kGerman));
  // 24134,5 is a number in German: a fraction of a month has no abbreviation.
  EXPECT_EQ(Text(Get(u"displayMonth", {S(u"24134,5"), B(true)})), u" 2011");
  EXPECT_EQ(Text(Get(u"displayMonth", {S(u"24134"), B(true)})), u"Mar 2011");
}

TEST_F(DatePeriods, DisplayQuarterLabels) {
  Arguments call{S(u"8045"), B(false), I(0), I(0)};
  EXPECT_EQ(Text(Get(u"displayQuarter", call)), u"Q2 2011");
  ASSERT_EQ(call[0].Type(), VT_R8);
  EXPECT_EQ(Text(Get(u"displayQuarter", {I(8045), B(false), I(0), I(1)})), u"Q2 2012");
  EXPECT_EQ(Text(Get(u"displayQuarter", {I(8045), B(false), I(0), S(u"1")})), u"Q2 2012");
  EXPECT_EQ(Text(Get(u"displayQuarter", {I(8043), B(true), I(2), I(0)})), u"Q4 2010/2011");
  EXPECT_EQ(Text(Get(u"displayQuarter", {I(8043), B(true), I(3), I(0)})), u"Q4 2010");
  EXPECT_EQ(Text(Get(u"displayQuarter", {S(u"Q2"), B(false), I(0), I(0)})), u"Q2");
}

TEST_F(DatePeriods, DisplayYearAddsOneForTheOffset) {
  Variant next = Get(u"displayYear", {I(2011), S(u"1")});
  Result<double> number = ToDouble(next);
  ASSERT_TRUE(number.ok());
  EXPECT_EQ(number.value(), 2012.0);
  EXPECT_EQ(Get(u"displayYear", {I(2011), I(0)}).lVal, 2011);
  EXPECT_EQ(Get(u"displayYear", {I(2011), S(u" 1")}).lVal, 2011);
  EXPECT_EQ(Text(Get(u"displayYear", {S(u"total"), I(1)})), u"total");
}

TEST_F(DatePeriods, DisplayWeekLabels) {
  Arguments call{S(u"104951"), B(false), I(0), I(0), I(0)};
  EXPECT_EQ(Text(Get(u"displayWeek", call)), u"Week 14, 2011");
  ASSERT_EQ(call[0].Type(), VT_R8);
  EXPECT_EQ(Text(Get(u"displayWeek", {I(104938), B(false), I(0), I(0), I(0)})),
            u"Week 1, 2011");
  EXPECT_EQ(Text(Get(u"displayWeek", {I(104951), B(false), I(0), I(0), I(1)})),
            u"Week 14, 2012");
  EXPECT_EQ(Text(Get(u"displayWeek", {S(u"w"), B(false), I(0), I(0), I(0)})), u"w");
}

TEST_F(DatePeriods, DisplayWeekCountsWithinTheFiscalYear) {
  // Fiscal years from April: the week of Saturday 2 April 2011 is the first of 2011, the week
  // before belongs to the fiscal year that began on 1 April 2010.
  EXPECT_EQ(Text(Get(u"displayWeek", {I(104951), B(false), I(0), I(3), I(0)})),
            u"Week 1, 2011");
  EXPECT_EQ(Text(Get(u"displayWeek", {I(104950), B(false), I(0), I(3), I(0)})),
            u"Week 52, 2010");
  EXPECT_EQ(Text(Get(u"displayWeek", {I(104950), B(false), I(0), I(3), I(1)})),
            u"Week 52, 2011");
}

TEST_F(DatePeriods, GetDescriptionLabelsByReportType) {
  EXPECT_EQ(Text(Get(u"getDescription", {S(u"sales_month"), S(u"24134"), I(0), I(0), I(0)})),
            u"Mar 2011");
  EXPECT_EQ(Text(Get(u"getDescription", {S(u"sales_quarter"), I(8045), I(0), I(0), I(0)})),
            u"Q2 2011");
  // Offsets always apply here: fiscal quarters from April.
  EXPECT_EQ(Text(Get(u"getDescription", {S(u"sales_quarter"), I(8043), I(0), I(3), I(0)})),
            u"Q4 2010");
  // Weeks from Monday 4 April 2011.
  EXPECT_EQ(Text(Get(u"getDescription", {S(u"sales_week"), D(104951.2), I(2), I(0), I(0)})),
            u"Week 14, 2011");
  EXPECT_EQ(Get(u"getDescription", {S(u"sales_year"), I(2011), I(0), I(0), I(1)}).lVal, 2012);
}

TEST_F(DatePeriods, GetDescriptionGivesOtherIdentifiersBack) {
  Variant day = Get(u"getDescription", {S(u"sales_day"), I(40633), I(0), I(0), I(0)});
  ASSERT_EQ(day.Type(), VT_I4);
  EXPECT_EQ(day.lVal, 40633);
  EXPECT_EQ(Text(Get(u"getDescription", {S(u"sales_month"), S(u"n/a"), I(0), I(0), I(0)})),
            u"n/a");
  EXPECT_EQ(Get(u"getDescription", {S(u"region"), D(1e12), I(0), I(0), I(0)}).dblVal, 1e12);
}

}  // namespace
