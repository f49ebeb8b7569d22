// Numbers as text: parsing, the display form, and the number, percent and currency formatters.

#include "platform/automation/number_text.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "platform/automation/locale_internal.h"

namespace {

constexpr TriState kTrue = TriState::True;
constexpr TriState kFalse = TriState::False;
constexpr TriState kDefault = TriState::UseDefault;

const LocaleInfo& Locale(LCID lcid) {
  const LocaleInfo* locale = FindLocale(lcid);
  if (locale == nullptr) {
    ADD_FAILURE() << "locale " << lcid << " missing";
    return LocaleTable().front();
  }
  return *locale;
}

const LocaleInfo& EnUs() { return Locale(1033); }
const LocaleInfo& DeDe() { return Locale(1031); }
const LocaleInfo& FrFr() { return Locale(1036); }
const LocaleInfo& EnGb() { return Locale(2057); }

std::string Trace(std::u16string_view text) {
  return testing::PrintToString(std::u16string(text));
}

// ---------------------------------------------------------------------------------------------
// ParseNumber

struct ParseCase {
  std::u16string_view text;
  double expected;
};

template <size_t N>
void ExpectAllParse(const ParseCase (&cases)[N], const LocaleInfo& locale) {
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(Trace(c.text));
    const Result<double> result = ParseNumber(c.text, locale);
    ASSERT_TRUE(result.ok()) << "error " << result.error().Number();
    EXPECT_EQ(result.value(), c.expected);
  }
}

template <size_t N>
void ExpectAllFail(const std::u16string_view (&texts)[N], ErrorNumber expected,
                   const LocaleInfo& locale) {
  for (std::u16string_view text : texts) {
    SCOPED_TRACE(Trace(text));
    const Result<double> result = ParseNumber(text, locale);
    ASSERT_FALSE(result.ok()) << "parsed as " << result.value();
    EXPECT_EQ(result.error().Number(), static_cast<int32_t>(expected));
  }
}

TEST(ParseNumber, ReadsDecimalsWithBlanksAndSigns) {
  const ParseCase kCases[] = {
      {u"0", 0},          {u"42", 42},       {u"  42  ", 42},    {u"\t7\t", 7},
      {u"1.5", 1.5},      {u".5", 0.5},      {u"5.", 5},         {u"-3", -3},
      {u"+3", 3},         {u"3-", -3},       {u"3+", 3},         {u"- 3", -3},
      {u"007", 7},        {u"0.1", 0.1},     {u"-0.25", -0.25},  {u"3 -", -3},
      {u"0.30000000000000004", 0.30000000000000004},
      {u"123456789012345678901234567890", 123456789012345678901234567890.0},
  };
  ExpectAllParse(kCases, EnUs());
}

TEST(ParseNumber, ReadsParenthesesAsNegative) {
  const ParseCase kCases[] = {{u"(5)", -5}, {u"( 5 )", -5}, {u"(1,234.5)", -1234.5},
                              {u"($5.00)", -5}, {u"(5$)", -5}};
  ExpectAllParse(kCases, EnUs());
}

TEST(ParseNumber, AcceptsGroupSeparatorsAnywhereInTheIntegerPart) {
  const ParseCase kCases[] = {
      {u"1,234,567", 1234567}, {u"1,2,3", 123}, {u"12,34.5", 1234.5}, {u"1,", 1},
      {u"1,,0", 10},
  };
  ExpectAllParse(kCases, EnUs());
}

TEST(ParseNumber, AcceptsTheLocaleCurrencySymbolBeforeOrAfter) {
  const ParseCase kCases[] = {{u"$5", 5},           {u"5$", 5},   {u"-$1,234.50", -1234.5},
                              {u"$-1,234.50", -1234.5}, {u"$ 5", 5}, {u"5 $", 5}};
  ExpectAllParse(kCases, EnUs());
}

TEST(ParseNumber, ReadsExponents) {
  const ParseCase kCases[] = {
      {u"1E3", 1000},   {u"1e3", 1000},    {u"1.5e-2", 0.015}, {u"2D2", 200},
      {u"2d+2", 200},   {u"-1E3", -1000},  {u"1E+308", 1e308}, {u"1e-400", 0},
      {u"0e99999999999999999", 0},         {u"1,000e-3", 1},   {u".5E1", 5},
      {u"4.9406564584124654E-324", 4.9406564584124654E-324},
  };
  ExpectAllParse(kCases, EnUs());
}

TEST(ParseNumber, ReadsHexAndOctalAsSixteenThenThirtyTwoBitIntegers) {
  const ParseCase kCases[] = {
      {u"&H1F", 31},          {u"&hff", 255},           {u"&HFFFF", -1},
      {u"&H8000", -32768},    {u"&H7FFF", 32767},       {u"&H10000", 65536},
      {u"&HFFFFFFFF", -1},    {u"&H80000000", -2147483648.0}, {u"&H7FFFFFFF", 2147483647},
      {u"&O17", 15},          {u"&o177777", -1},        {u"&O200000", 65536},
      {u"&H00000000FF", 255}, {u" &H10 ", 16},          {u"&H0", 0},
  };
  ExpectAllParse(kCases, EnUs());
}

TEST(ParseNumber, RejectsMalformedTextWithTypeMismatch) {
  const std::u16string_view kTexts[] = {
      u"",      u" ",      u"\t",    u"-",     u"+",     u".",       u",",     u"abc",
      u"1.2.3", u"--1",    u"1e",    u"1e+",   u"&17",   u"&H",      u"&HG",   u"&O8",
      u"1 2",   u"(5",     u"5)",    u"(-5)",  u"-5-",   u"$$5",     u"1..2",  u"12abc",
      u",5",    u"e5",     u"&H-1",  u"-&H1",  u"1.5,3", u"1e5e5",   u"()",    u"$",
      u"5-$-",  u"\u20AC5", u"1\u00A0000", std::u16string_view(u"1\0" "2", 3),
      std::u16string_view(u"\0", 1), u"&HFFFFFFFFFFG", u"&O7777777777777778",
  };
  ExpectAllFail(kTexts, ErrorNumber::TypeMismatch, EnUs());
}

TEST(ParseNumber, ReportsOverflowBeyondTheDoubleRange) {
  const std::u16string hundreds_of_digits(400, u'9');
  const std::u16string_view kTexts[] = {
      u"1E309", u"-1e400", u"1.8e308", u"&H100000000", u"&HFFFFFFFFFFFFFFFFFFFFFFFF",
      u"&O40000000000", hundreds_of_digits,
  };
  ExpectAllFail(kTexts, ErrorNumber::Overflow, EnUs());
}

TEST(ParseNumber, UsesTheGermanSeparatorsAndSymbol) {
  const ParseCase kCases[] = {{u"1.234,5", 1234.5}, {u"1,5", 1.5},
                              {u"-5,00 \u20AC", -5}, {u"1.234,50 \u20AC", 1234.5},
                              {u"(5,5)", -5.5}};
  ExpectAllParse(kCases, DeDe());
  const std::u16string_view kFailures[] = {u"1,2,3", u"$5", u"1,5.3", u"5 $"};
  ExpectAllFail(kFailures, ErrorNumber::TypeMismatch, DeDe());
}

TEST(ParseNumber, AcceptsAPlainSpaceWhereTheLocaleGroupsWithANoBreakSpace) {
  const ParseCase kCases[] = {{u"1\u00A0234,5", 1234.5}, {u"1 234,5", 1234.5},
                              {u"1 234,50 \u20AC", 1234.5}, {u"-5 \u20AC", -5}};
  ExpectAllParse(kCases, FrFr());
  // Where the group separator is a comma a space still separates two numbers.
  const std::u16string_view kFailures[] = {u"1 234"};
  ExpectAllFail(kFailures, ErrorNumber::TypeMismatch, EnUs());
}

TEST(ParseNumber, ReadsTheCurrencyFormsOfOtherLocales) {
  const struct {
    LCID lcid;
    std::u16string_view text;
    double expected;
  } kCases[] = {
      {2055, u"SFr.-1'234.50", -1234.5}, {2055, u"SFr. 5", 5},
      {1049, u"-1,1р.", -1.1},           {1044, u"kr -5,00", -5},
      {1053, u"1.234,50 kr", 1234.5},    {1053, u"1 234,5", 1234.5},
      {1043, u"\u20AC -5,00", -5},       {2057, u"-\u00A35.00", -5},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(Trace(c.text));
    const Result<double> result = ParseNumber(c.text, Locale(c.lcid));
    ASSERT_TRUE(result.ok()) << "error " << result.error().Number();
    EXPECT_EQ(result.value(), c.expected);
  }
}

TEST(ParseNumber, NegativeZeroIsPlainZero) {
  for (std::u16string_view text : {u"-0", u"(0)", u"-0.000", u"-0e5"}) {
    SCOPED_TRACE(Trace(text));
    const Result<double> result = ParseNumber(text, EnUs());
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value(), 0);
    EXPECT_FALSE(std::signbit(result.value()));
  }
}

TEST(ParseNumber, LongTextsAreReadCompletely) {
  const std::u16string tiny = u"0." + std::u16string(100000, u'0') + u"1";
  ASSERT_TRUE(ParseNumber(tiny, EnUs()).ok());
  EXPECT_EQ(ParseNumber(tiny, EnUs()).value(), 0);

  const std::u16string small = u"0." + std::u16string(300, u'0') + u"1";
  ASSERT_TRUE(ParseNumber(small, EnUs()).ok());
  EXPECT_EQ(ParseNumber(small, EnUs()).value(), 1e-301);

  const std::u16string shifted = u"0." + std::u16string(100000, u'0') + u"1e100003";
  ASSERT_TRUE(ParseNumber(shifted, EnUs()).ok());
  EXPECT_EQ(ParseNumber(shifted, EnUs()).value(), 100);

  const std::u16string padded = std::u16string(100000, u'0') + u"12.5" +
                                std::u16string(100000, u'0');
  ASSERT_TRUE(ParseNumber(padded, EnUs()).ok());
  EXPECT_EQ(ParseNumber(padded, EnUs()).value(), 12.5);

  const std::u16string garbage = std::u16string(100000, u'1') + u"x";
  EXPECT_FALSE(ParseNumber(garbage, EnUs()).ok());
}

// ---------------------------------------------------------------------------------------------
// Display form

struct DisplayCase {
  double value;
  std::u16string_view expected;
};

TEST(DoubleToText, PrintsFifteenSignificantDigitsLikeTheG) {
  const DisplayCase kCases[] = {
      {0, u"0"},
      {-0.0, u"0"},
      {1, u"1"},
      {-1.5, u"-1.5"},
      {100, u"100"},
      {0.1, u"0.1"},
      {0.1 + 0.2, u"0.3"},
      {1.0 / 3, u"0.333333333333333"},
      {2.0 / 3, u"0.666666666666667"},
      {-123.456, u"-123.456"},
      {0.0001, u"0.0001"},
      {0.00012345, u"0.00012345"},
      {0.00001, u"1E-05"},
      {0.000012345, u"1.2345E-05"},
      {1e14, u"100000000000000"},
      {123456789012345, u"123456789012345"},
      {1e15, u"1E+15"},
      {999999999999999.9, u"1E+15"},
      {1234567890123456, u"1.23456789012346E+15"},
      {-1e100, u"-1E+100"},
      {1.7976931348623157e308, u"1.79769313486232E+308"},
      {4.9406564584124654e-324, u"4.94065645841247E-324"},
  };
  for (const DisplayCase& c : kCases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(DoubleToText(c.value, EnUs()), c.expected);
  }
}

// The C library's %.15G rounds the exact binary value to 15 digits too: over doubles of every
// kind (bit patterns across the whole range, integers near 2^53 whose 16th digit is a tie,
// fractions of small integers) the display form is the same text.
TEST(DoubleToText, AgreesWithTheCLibrarysFifteenDigitForm) {
  uint64_t state = 0x9E3779B97F4A7C15u;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  auto check = [](double value) {
    if (!std::isfinite(value)) return;
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.15G", value);
    std::string_view text(expected);
    if (text == "-0") text = "0";
    std::u16string wide(text.begin(), text.end());
    ASSERT_EQ(DoubleToText(value, EnUs()), wide) << text;
  };
  for (int i = 0; i < 200000; ++i) {
    uint64_t bits = next();
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    check(value);
    check(static_cast<double>(static_cast<int64_t>(next() % 9007199254740992u)));
    check(static_cast<double>(next() % 1000000) / static_cast<double>(1 + next() % 997));
    // Across 1e-8 to 1e15, evenly in the exponent, and exact ties at the 16th digit.
    check(std::pow(10.0, -8.0 + 23.0 * static_cast<double>(next() % 1000000) / 1e6));
    const double fifteen_digits = static_cast<double>(100000000000000u + next() % 900000000000000u);
    check(fifteen_digits + 0.5);
    check(fifteen_digits / 10 + 0.25);
    check(-(fifteen_digits / 1000 + 0.125));
  }
}

TEST(DoubleToText, UsesTheLocaleDecimalSeparator) {
  EXPECT_EQ(DoubleToText(1.5, DeDe()), u"1,5");
  EXPECT_EQ(DoubleToText(-1.5e-7, DeDe()), u"-1,5E-07");
  EXPECT_EQ(DoubleToText(1234567.25, FrFr()), u"1234567,25");
}

TEST(DoubleToText, SpellsNonFiniteValuesWithoutDigits) {
  EXPECT_EQ(DoubleToText(std::numeric_limits<double>::infinity(), EnUs()), u"Infinity");
  EXPECT_EQ(DoubleToText(-std::numeric_limits<double>::infinity(), EnUs()), u"-Infinity");
  EXPECT_EQ(DoubleToText(std::numeric_limits<double>::quiet_NaN(), EnUs()), u"NaN");
}

TEST(SingleToText, PrintsSevenSignificantDigits) {
  const struct {
    float value;
    std::u16string_view expected;
  } kCases[] = {
      {0.0f, u"0"},           {0.1f, u"0.1"},           {3.14159274f, u"3.141593"},
      {1234567.0f, u"1234567"}, {12345678.0f, u"1.234568E+07"}, {16777216.0f, u"1.677722E+07"},
      {1e-5f, u"1E-05"},      {0.0001f, u"0.0001"},     {-2.5f, u"-2.5"},
      {9999999.0f, u"9999999"}, {3.4028235e38f, u"3.402823E+38"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(SingleToText(c.value, EnUs()), c.expected);
  }
}

TEST(CurrencyToText, PrintsTheExactAmountWithoutTrailingZeros) {
  const struct {
    int64_t scaled;
    std::u16string_view expected;
  } kCases[] = {
      {0, u"0"},
      {15000, u"1.5"},
      {30000, u"3"},
      {-1, u"-0.0001"},
      {12345678, u"1234.5678"},
      {10000000, u"1000"},
      {std::numeric_limits<int64_t>::max(), u"922337203685477.5807"},
      {std::numeric_limits<int64_t>::min(), u"-922337203685477.5808"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.scaled);
    EXPECT_EQ(CurrencyToText(CY{c.scaled}, EnUs()), c.expected);
  }
  EXPECT_EQ(CurrencyToText(CY{15000}, DeDe()), u"1,5");
}

// ---------------------------------------------------------------------------------------------
// Formatters

// The formatted text, or "error N" so that a failure shows in the comparison.
std::u16string Text(const Result<std::u16string>& result) {
  if (result.ok()) return result.value();
  const std::string number = "error " + std::to_string(result.error().Number());
  return std::u16string(number.begin(), number.end());
}

struct FormatCase {
  double value;
  int digits;
  TriState leading_zero;
  TriState parentheses;
  TriState grouping;
  std::u16string_view expected;
};

using DoubleFormatter = Result<std::u16string> (*)(double, int, TriState, TriState, TriState,
                                                   const LocaleInfo&);
const DoubleFormatter kFormatNumber = FormatNumberText;
const DoubleFormatter kFormatPercent = FormatPercentText;
const DoubleFormatter kFormatCurrency = FormatCurrencyText;

template <size_t N>
void ExpectAllFormat(DoubleFormatter format, const FormatCase (&cases)[N],
                     const LocaleInfo& locale) {
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " with " << c.digits << " digits");
    EXPECT_EQ(Text(format(c.value, c.digits, c.leading_zero, c.parentheses, c.grouping, locale)),
              c.expected);
  }
}

// A copy of en-US with other negative patterns, for the pattern tables.
LocaleInfo EnUsWith(int negative_number, int negative_currency) {
  LocaleInfo locale = EnUs();
  locale.negative_number = negative_number;
  locale.negative_currency = negative_currency;
  return locale;
}

TEST(FormatNumber, GroupsAndPadsInEnglish) {
  const FormatCase kCases[] = {
      {1234.5, 2, kDefault, kDefault, kDefault, u"1,234.50"},
      {1234.5, -1, kDefault, kDefault, kDefault, u"1,234.50"},
      {1234567.891, 2, kDefault, kDefault, kFalse, u"1234567.89"},
      {1234567.891, 2, kDefault, kDefault, kTrue, u"1,234,567.89"},
      {0, 2, kDefault, kDefault, kDefault, u"0.00"},
      {1e20, 2, kDefault, kDefault, kDefault, u"100,000,000,000,000,000,000.00"},
      {0.1, 20, kDefault, kDefault, kDefault, u"0.10000000000000000000"},
      {1.0 / 3, 17, kDefault, kDefault, kDefault, u"0.33333333333333300"},
  };
  ExpectAllFormat(kFormatNumber, kCases, EnUs());
}

TEST(FormatNumber, RoundsHalfAwayFromZeroOnTheDecimalDigits) {
  const FormatCase kCases[] = {
      {1.005, 2, kDefault, kDefault, kDefault, u"1.01"},
      {0.125, 2, kDefault, kDefault, kDefault, u"0.13"},
      {2.5, 0, kDefault, kDefault, kDefault, u"3"},
      {-2.5, 0, kDefault, kDefault, kDefault, u"-3"},
      {1234.5, 0, kDefault, kDefault, kDefault, u"1,235"},
      {999.995, 2, kDefault, kDefault, kDefault, u"1,000.00"},
      {0.005, 2, kDefault, kDefault, kDefault, u"0.01"},
      {0.0049, 2, kDefault, kDefault, kDefault, u"0.00"},
  };
  ExpectAllFormat(kFormatNumber, kCases, EnUs());
}

TEST(FormatNumber, ValueRoundingToZeroShowsNoSign) {
  const FormatCase kCases[] = {
      {-0.001, 2, kDefault, kDefault, kDefault, u"0.00"},
      {-0.001, 2, kDefault, kTrue, kDefault, u"0.00"},
      {-0.4, 0, kDefault, kDefault, kDefault, u"0"},
      {-0.0, 2, kDefault, kDefault, kDefault, u"0.00"},
  };
  ExpectAllFormat(kFormatNumber, kCases, EnUs());
}

TEST(FormatNumber, LeadingZeroFollowsTheSwitchOrTheLocale) {
  const FormatCase kCases[] = {
      {0.5, 2, kFalse, kDefault, kDefault, u".50"},
      {0.5, 2, kTrue, kDefault, kDefault, u"0.50"},
      {0.5, 2, kDefault, kDefault, kDefault, u"0.50"},
      {-0.5, 2, kFalse, kDefault, kDefault, u"-.50"},
      {0.4, 0, kFalse, kDefault, kDefault, u"0"},
  };
  ExpectAllFormat(kFormatNumber, kCases, EnUs());
  LocaleInfo no_leading_zero = EnUs();
  no_leading_zero.leading_zero = false;
  const FormatCase kLocaleCases[] = {
      {0.5, 2, kDefault, kDefault, kDefault, u".50"},
      {0.5, 2, kTrue, kDefault, kDefault, u"0.50"},
  };
  ExpectAllFormat(kFormatNumber, kLocaleCases, no_leading_zero);
}

TEST(FormatNumber, NegativesFollowTheLocalePatternUnlessParenthesesAreSet) {
  const struct {
    int pattern;
    TriState parentheses;
    std::u16string_view expected;
  } kCases[] = {
      {0, kDefault, u"(1.10)"}, {1, kDefault, u"-1.10"}, {2, kDefault, u"- 1.10"},
      {3, kDefault, u"1.10-"},  {4, kDefault, u"1.10 -"}, {1, kTrue, u"(1.10)"},
      {3, kTrue, u"(1.10)"},    {0, kFalse, u"-1.10"},   {3, kFalse, u"1.10-"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(Text(FormatNumberText(-1.1, 2, kDefault, c.parentheses, kDefault,
                                    EnUsWith(c.pattern, 0))),
              c.expected);
  }
}

TEST(FormatNumber, GroupsByTheLocaleGroupSizes) {
  const struct {
    std::array<uint8_t, 4> sizes;
    uint8_t count;
    double value;
    std::u16string_view expected;
  } kCases[] = {
      {{3, 0, 0, 0}, 2, 1234567, u"1,234,567"},   {{3, 2, 0, 0}, 3, 1234567, u"12,34,567"},
      {{3, 2, 0, 0}, 3, 123, u"123"},             {{3, 0, 0, 0}, 1, 1234567, u"1234,567"},
      {{3, 2, 0, 0}, 2, 123456789, u"1234,56,789"}, {{0, 0, 0, 0}, 1, 1234567, u"1234567"},
      {{3, 0, 0, 0}, 0, 1234567, u"1234567"},     {{1, 0, 0, 0}, 2, 1234, u"1,2,3,4"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(Trace(c.expected));
    LocaleInfo locale = EnUs();
    locale.grouping = c.sizes;
    locale.grouping_count = c.count;
    EXPECT_EQ(Text(FormatNumberText(c.value, 0, kDefault, kDefault, kDefault, locale)),
              c.expected);
  }
}

TEST(FormatNumber, UsesTheLocaleSeparators) {
  const FormatCase kGerman[] = {
      {1234.5, 2, kDefault, kDefault, kDefault, u"1.234,50"},
      {-1234.5, 2, kDefault, kDefault, kDefault, u"-1.234,50"},
      {0.5, -1, kFalse, kDefault, kDefault, u",50"},
  };
  ExpectAllFormat(kFormatNumber, kGerman, DeDe());
  const FormatCase kFrench[] = {
      {1234567.5, 2, kDefault, kDefault, kDefault, u"1\u00A0234\u00A0567,50"},
  };
  ExpectAllFormat(kFormatNumber, kFrench, FrFr());
  const FormatCase kBritish[] = {
      {-1234.5, 2, kDefault, kTrue, kDefault, u"(1,234.50)"},
  };
  ExpectAllFormat(kFormatNumber, kBritish, EnGb());
}

TEST(FormatNumber, RejectsDigitCountsOutOfRange) {
  for (int digits : {-2, 256, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
    SCOPED_TRACE(digits);
    for (DoubleFormatter format : {kFormatNumber, kFormatPercent, kFormatCurrency}) {
      EXPECT_EQ(Text(format(1.5, digits, kDefault, kDefault, kDefault, EnUs())), u"error 5");
    }
  }
  EXPECT_EQ(Text(FormatNumberText(1.5, 255, kDefault, kDefault, kDefault, EnUs())).size(),
            2u + 255u);
}

TEST(FormatNumber, NonFiniteValuesOverflow) {
  for (double value : {std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN()}) {
    SCOPED_TRACE(value);
    for (DoubleFormatter format : {kFormatNumber, kFormatPercent, kFormatCurrency}) {
      EXPECT_EQ(Text(format(value, 2, kDefault, kDefault, kDefault, EnUs())), u"error 6");
    }
  }
}

TEST(FormatNumber, HugeAndTinyValuesStayBounded) {
  const std::u16string huge = Text(FormatNumberText(std::numeric_limits<double>::max(), 255,
                                                    kDefault, kDefault, kDefault, EnUs()));
  // 309 integer digits in 103 groups, the separator and 255 decimals.
  EXPECT_EQ(huge.size(), 309u + 102u + 1u + 255u);
  EXPECT_EQ(huge.substr(0, 24), u"179,769,313,486,232,000,");
  EXPECT_EQ(Text(FormatNumberText(1e-300, 255, kDefault, kDefault, kDefault, EnUs())),
            u"0." + std::u16string(255, u'0'));
}

TEST(FormatPercent, MultipliesByAHundredAndAppendsThePercentSign) {
  const FormatCase kCases[] = {
      {0.1234, 2, kDefault, kDefault, kDefault, u"12.34%"},
      {1.0 / 8, 2, kDefault, kDefault, kDefault, u"12.50%"},
      {0.125, 0, kDefault, kDefault, kDefault, u"13%"},
      {10, 2, kDefault, kDefault, kDefault, u"1,000.00%"},
      {10, 2, kDefault, kDefault, kFalse, u"1000.00%"},
      {0.0015, 1, kDefault, kDefault, kDefault, u"0.2%"},
      {0.001, 1, kFalse, kDefault, kDefault, u".1%"},
      {0, -1, kDefault, kDefault, kDefault, u"0.00%"},
      {-1e-9, 2, kDefault, kTrue, kDefault, u"0.00%"},
  };
  ExpectAllFormat(kFormatPercent, kCases, EnUs());
  const FormatCase kGerman[] = {{0.1234, 1, kDefault, kDefault, kDefault, u"12,3%"}};
  ExpectAllFormat(kFormatPercent, kGerman, DeDe());
}

TEST(FormatPercent, NegativePatternsEncloseThePercentSign) {
  const FormatCase kCases[] = {
      {-10, 2, kDefault, kTrue, kDefault, u"(1,000.00%)"},
      {-0.5, 0, kDefault, kDefault, kDefault, u"-50%"},
  };
  ExpectAllFormat(kFormatPercent, kCases, EnUs());
  const FormatCase kTrailing[] = {{-0.5, 0, kDefault, kDefault, kDefault, u"50%-"}};
  ExpectAllFormat(kFormatPercent, kTrailing, EnUsWith(3, 0));
}

TEST(FormatCurrency, PlacesTheSymbolInEnglish) {
  const FormatCase kCases[] = {
      {1234.5, 2, kDefault, kDefault, kDefault, u"$1,234.50"},
      {1234.5, -1, kDefault, kDefault, kFalse, u"$1234.50"},
      {-5, 2, kDefault, kTrue, kDefault, u"($5.00)"},
      {-5, 2, kDefault, kDefault, kDefault, u"($5.00)"},
      {-5, 2, kDefault, kFalse, kDefault, u"-$5.00"},
      {0.5, -1, kFalse, kDefault, kDefault, u"$.50"},
      {-0.001, 2, kDefault, kDefault, kDefault, u"$0.00"},
  };
  ExpectAllFormat(kFormatCurrency, kCases, EnUs());
}

TEST(FormatCurrency, PlacesTheSymbolInOtherLocales) {
  const struct {
    LCID lcid;
    double value;
    TriState parentheses;
    std::u16string_view expected;
  } kCases[] = {
      {1031, 1234.5, kDefault, u"1.234,50 \u20AC"},
      {1031, -5, kDefault, u"-5,00 \u20AC"},
      {1031, -5, kTrue, u"(5,00 \u20AC)"},
      {1036, 1234.5, kDefault, u"1\u00A0234,50 \u20AC"},
      {1036, -5, kDefault, u"-5,00 \u20AC"},
      {2057, 1234.5, kDefault, u"\u00A31,234.50"},
      {2057, -5, kDefault, u"-\u00A35.00"},
      {2057, -5, kTrue, u"(\u00A35.00)"},
      {1053, 1234567.5, kDefault, u"1.234.567,50 kr"},
      {1041, -1234.5, kDefault, u"-\u00A51,235"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(Trace(c.expected));
    EXPECT_EQ(Text(FormatCurrencyText(c.value, -1, kDefault, c.parentheses, kDefault,
                                      Locale(c.lcid))),
              c.expected);
  }
}

TEST(FormatCurrency, NegativeAmountsFollowTheSixteenPatterns) {
  const std::u16string_view kExpected[] = {
      u"($1.10)", u"-$1.10", u"$-1.10", u"$1.10-",  u"(1.10$)",  u"-1.10$",
      u"1.10-$",  u"1.10$-", u"-1.10 $", u"-$ 1.10", u"1.10 $-", u"$ 1.10-",
      u"$ -1.10", u"1.10- $", u"($ 1.10)", u"(1.10 $)"};
  for (int pattern = 0; pattern < 16; ++pattern) {
    SCOPED_TRACE(pattern);
    EXPECT_EQ(Text(FormatCurrencyText(-1.1, 2, kDefault, kDefault, kDefault,
                                      EnUsWith(1, pattern))),
              kExpected[pattern]);
  }
}

TEST(FormatCurrency, PositiveAmountsFollowTheFourPatterns) {
  const std::u16string_view kExpected[] = {u"$1.10", u"1.10$", u"$ 1.10", u"1.10 $"};
  for (int pattern = 0; pattern < 4; ++pattern) {
    SCOPED_TRACE(pattern);
    LocaleInfo locale = EnUs();
    locale.positive_currency = pattern;
    EXPECT_EQ(Text(FormatCurrencyText(1.1, 2, kDefault, kDefault, kDefault, locale)),
              kExpected[pattern]);
  }
}

TEST(FormatCurrency, RefusedParenthesesBecomeTheMinusPattern) {
  const struct {
    int pattern;
    std::u16string_view expected;
  } kCases[] = {{0, u"-$1.10"},  {4, u"-1.10$"},  {14, u"-$ 1.10"},
                {15, u"-1.10 $"}, {8, u"-1.10 $"}, {3, u"$1.10-"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(Text(FormatCurrencyText(-1.1, 2, kDefault, kFalse, kDefault,
                                      EnUsWith(1, c.pattern))),
              c.expected);
  }
}

TEST(FormatCurrencyAmount, UsesTheExactDecimalOfTheAmount) {
  const struct {
    int64_t scaled;
    int digits;
    std::u16string_view number;
    std::u16string_view currency;
  } kCases[] = {
      {12345678, 2, u"1,234.57", u"$1,234.57"},
      {-50000, 2, u"-5.00", u"($5.00)"},
      {-5, 2, u"0.00", u"$0.00"},
      {50, 2, u"0.01", u"$0.01"},
      {12345, 6, u"1.234500", u"$1.234500"},
      {std::numeric_limits<int64_t>::min(), 4, u"-922,337,203,685,477.5808",
       u"($922,337,203,685,477.5808)"},
      {std::numeric_limits<int64_t>::max(), 0, u"922,337,203,685,478",
       u"$922,337,203,685,478"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.scaled);
    EXPECT_EQ(Text(FormatNumberText(CY{c.scaled}, c.digits, kDefault, kDefault, kDefault,
                                    EnUs())),
              c.number);
    EXPECT_EQ(Text(FormatCurrencyText(CY{c.scaled}, c.digits, kDefault, kDefault, kDefault,
                                      EnUs())),
              c.currency);
  }
}

TEST(FormatCurrencyAmount, PercentAndDefaultsFollowTheLocale) {
  EXPECT_EQ(Text(FormatPercentText(CY{1234}, -1, kDefault, kDefault, kDefault, EnUs())),
            u"12.34%");
  EXPECT_EQ(Text(FormatCurrencyText(CY{12345000}, -1, kDefault, kDefault, kDefault,
                                    Locale(1041))),
            u"\u00A51,235");
  EXPECT_EQ(Text(FormatCurrencyText(CY{-12345000}, -1, kDefault, kDefault, kDefault, DeDe())),
            u"-1.234,50 \u20AC");
  EXPECT_EQ(Text(FormatNumberText(CY{1}, 256, kDefault, kDefault, kDefault, EnUs())),
            u"error 5");
}

}  // namespace
