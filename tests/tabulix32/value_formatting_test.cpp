// The value-formatting members of UtilitiesClass, called by name with by-reference arguments
// as the render code and the pages call them; and the member table they are found through.
#include <set>
#include <string>

#include "platform/scriptruntime/dictionary.h"
#include "tests/tabulix32/utilities_member_call.h"

namespace {

using namespace utilities_test;

constexpr std::u16string_view kRedBelowThreshold = u"<span style=\"color:red;\">";
constexpr std::u16string_view kRedLinkBelowThreshold =
    u"<span style=\"color:red;\"onMouseOver=\"mOver(this,'red');\" onMouseOut=\"mOut(this,2);\" >";
constexpr std::u16string_view kSpanEnd = u"</span>";

std::u16string Red(std::u16string_view text) {
  return std::u16string(kRedBelowThreshold) + std::u16string(text) + std::u16string(kSpanEnd);
}
std::u16string RedLink(std::u16string_view text) {
  return std::u16string(kRedLinkBelowThreshold) + std::u16string(text) +
         std::u16string(kSpanEnd);
}

class ValueFormatting : public UtilitiesCallTest {
 protected:
  // myFormatNumber with the threshold shown, threshold 0 (Empty), colour red, two digits.
  std::u16string Number(Variant n, Variant d, Variant is_link = B(false),
                        Variant negative = S(u"")) {
    return Text(Get(u"myFormatNumber",
                    {B(true), n, d, Variant(), S(u"red"), I(2), is_link, negative}));
  }
  // myFormatPercent with threshold -1000 (never coloured), two digits unless given.
  std::u16string Percent(Variant n, Variant d, Variant formula, Variant digits = I(2),
                         Variant negative = S(u"")) {
    return Text(Get(u"myFormatPercent",
                    {n, d, I(-1000), S(u"red"), digits, B(false), negative, formula}));
  }
};

// --- fixZero, nullFix, nullFix2 ----------------------------------------------------------------

TEST_F(ValueFormatting, FixZeroTurnsNullEmptyAndEmptyTextIntoIntegerZero) {
  for (Variant value : {Variant::Null(), Variant(), S(u"")}) {
    Variant result = Get(u"fixZero", {value});
    EXPECT_EQ(result.Type(), VT_I2);
    EXPECT_EQ(result.iVal, 0);
  }
}

TEST_F(ValueFormatting, FixZeroGivesOtherValuesBack) {
  EXPECT_EQ(Text(Get(u"fixZero", {S(u"abc")})), u"abc");
  EXPECT_EQ(Text(Get(u"fixZero", {S(u" ")})), u" ");
  Variant number = Get(u"fixZero", {D(2.5)});
  ASSERT_EQ(number.Type(), VT_R8);
  EXPECT_EQ(number.dblVal, 2.5);
}

TEST_F(ValueFormatting, NullFixWritesNullAsMarker) {
  EXPECT_EQ(Text(Get(u"nullFix", {Variant::Null()})), u"<NULL>");
  EXPECT_EQ(Text(Get(u"nullFix", {S(u"x")})), u"x");
  EXPECT_TRUE(Get(u"nullFix", {Variant()}).IsEmpty());
}

TEST_F(ValueFormatting, NullFix2WritesNullAsEmptyText) {
  EXPECT_EQ(Text(Get(u"nullFix2", {Variant::Null()})), u"");
  EXPECT_EQ(Get(u"nullFix2", {I(7)}).lVal, 7);
}

// --- changeValueFormat ---------------------------------------------------------------------------

TEST_F(ValueFormatting, ChangeValueFormatMakesNumbersDoubles) {
  Variant from_text = Get(u"changeValueFormat", {S(u"12.5"), S(u"number"), I(2)});
  ASSERT_EQ(from_text.Type(), VT_R8);
  EXPECT_EQ(from_text.dblVal, 12.5);
  Variant null = Get(u"changeValueFormat", {Variant::Null(), S(u"x"), I(0)});
  ASSERT_EQ(null.Type(), VT_I2);
  EXPECT_EQ(null.iVal, 0);
  EXPECT_EQ(Text(Get(u"changeValueFormat", {S(u"abc"), S(u"number"), I(2)})), u"abc");
}

TEST_F(ValueFormatting, ChangeValueFormatReadsNumbersInTheLocale) {
  ASSERT_TRUE(SetThreadLocale(kGerman));
  Variant value = Get(u"changeValueFormat", {S(u"12,5"), Variant(), Variant()});
  ASSERT_EQ(value.Type(), VT_R8);
  EXPECT_EQ(value.dblVal, 12.5);
}

// --- myDivision ----------------------------------------------------------------------------------

TEST_F(ValueFormatting, DivisionByNearZeroGivesZero) {
  for (Variant d : {D(0.001), D(-0.001), D(0.0), Variant::Null(), Variant()}) {
    Variant result = Get(u"myDivision", {I(5), d});
    ASSERT_EQ(result.Type(), VT_R8);
    EXPECT_EQ(result.dblVal, 0.0);
  }
}

TEST_F(ValueFormatting, DivisionAboveTheLimitDivides) {
  Variant result = Get(u"myDivision", {I(5), D(0.0011)});
  ASSERT_EQ(result.Type(), VT_R8);
  EXPECT_DOUBLE_EQ(result.dblVal, 5 / 0.0011);
  EXPECT_EQ(Get(u"myDivision", {S(u"9"), S(u"-3")}).dblVal, -3.0);
  EXPECT_TRUE(Get(u"myDivision", {Variant::Null(), I(2)}).IsNull());
}

TEST_F(ValueFormatting, DivisionByNonNumericTextIsTypeMismatch) {
  EXPECT_EQ(FailureNumber(u"myDivision", {I(1), S(u"abc")}), 13);
}

// --- myFormatNumber ------------------------------------------------------------------------------

TEST_F(ValueFormatting, NumberOfNearZeroDenominatorIsTheZeroText) {
  EXPECT_EQ(Number(I(-7), D(0.0001)), u"0.00");
  EXPECT_EQ(Number(I(1), D(0.00011)), u"9,090.91");
}

TEST_F(ValueFormatting, NumberBelowThresholdIsColoured) {
  EXPECT_EQ(Number(I(-5), I(1)), Red(u"-5.00"));
  EXPECT_EQ(Number(I(-5), I(1), B(true)), RedLink(u"-5.00"));
  EXPECT_EQ(Number(I(5), I(1)), u"5.00");
  EXPECT_EQ(Number(I(0), I(1)), u"0.00");  // equal to the threshold: plain
}

TEST_F(ValueFormatting, NumberThresholdFollowsTheValueType) {
  // A Null threshold makes the test Null, which counts as false: coloured.
  EXPECT_EQ(Text(Get(u"myFormatNumber", {B(true), I(5), I(1), Variant::Null(), S(u"red"), I(0),
                                         B(false), S(u"")})),
            Red(u"5"));
  // A numeric text threshold compares as a number.
  EXPECT_EQ(Text(Get(u"myFormatNumber", {B(true), I(50), I(1), S(u"100"), S(u"red"), I(0),
                                         B(false), S(u"")})),
            Red(u"50"));
}

TEST_F(ValueFormatting, NumberWithoutShowThresholdIsNeverColoured) {
  for (Variant flag : {B(false), I(1), S(u"0")}) {
    EXPECT_EQ(Text(Get(u"myFormatNumber",
                       {flag, I(-5), I(1), Variant(), S(u"red"), I(1), B(false), S(u"")})),
              u"-5.0");
  }
}

TEST_F(ValueFormatting, NumberNegativeStyleYesUsesParentheses) {
  EXPECT_EQ(Text(Get(u"myFormatNumber", {B(false), D(-0.5), I(1), Variant(), S(u"red"), I(2),
                                         B(false), S(u"Yes")})),
            u"(0.50)");
  // The switch is case-sensitive.
  EXPECT_EQ(Text(Get(u"myFormatNumber", {B(false), D(-0.5), I(1), Variant(), S(u"red"), I(2),
                                         B(false), S(u"yes")})),
            u"-0.50");
}

TEST_F(ValueFormatting, NumberFollowsTheGermanLocale) {
  ASSERT_TRUE(SetThreadLocale(kGerman));
  EXPECT_EQ(Number(D(1234.5), I(1)), u"1.234,50");
  EXPECT_EQ(Number(D(-1234.5), I(1)), Red(u"-1.234,50"));
}

TEST_F(ValueFormatting, NumberConversionFailures) {
  Arguments null_denominator{B(true), I(1), Variant::Null(), Variant(), S(u"red"), I(2),
                             B(false), S(u"")};
  EXPECT_EQ(FailureNumber(u"myFormatNumber", null_denominator), 94);
  Arguments text_numerator{B(true), S(u"abc"), I(1), Variant(), S(u"red"), I(2), B(false),
                           S(u"")};
  EXPECT_EQ(FailureNumber(u"myFormatNumber", text_numerator), 13);
  Arguments text_denominator{B(true), I(1), S(u"x"), Variant(), S(u"red"), I(2), B(false),
                             S(u"")};
  EXPECT_EQ(FailureNumber(u"myFormatNumber", text_denominator), 13);
}

// --- myFormatPercent -----------------------------------------------------------------------------

TEST_F(ValueFormatting, PercentOfNearZeroDenominatorIsTheZeroText) {
  EXPECT_EQ(Percent(I(99), D(0.01), S(u"f")), u"0.00%");
  EXPECT_EQ(Percent(I(99), Variant::Null(), S(u"f")), u"0.00%");
  EXPECT_EQ(Percent(I(99), Variant(), S(u"f")), u"0.00%");
}

TEST_F(ValueFormatting, PercentWithoutDenominatorFormulaShowsWholePercents) {
  EXPECT_EQ(Percent(I(1), I(8), S(u"")), u"12%");
  EXPECT_EQ(Percent(I(1), I(8), S(u"   ")), u"12%");
  EXPECT_EQ(Percent(I(1), I(8), Variant()), u"12%");
  EXPECT_EQ(Percent(I(1), I(8), S(u"sales")), u"12.50%");
  EXPECT_EQ(Percent(I(1), I(8), Variant::Null()), u"12.50%");
  EXPECT_EQ(Percent(I(-1), I(8), S(u""), I(2), S(u"Yes")), u"(12)%");
  EXPECT_EQ(Percent(I(-1), I(8), S(u"")), u"-12%");
}

TEST_F(ValueFormatting, WholePercentRuleCutsTwoDecimals) {
  EXPECT_EQ(Percent(D(0.123), I(1), S(u""), I(1)), u"12%");
  EXPECT_EQ(Percent(D(0.12345), I(1), S(u""), I(3)), u"12.3%");
  EXPECT_EQ(Percent(D(0.12), I(1), S(u""), I(0)), u"12%");
}

TEST_F(ValueFormatting, WholePercentRuleKeepsIntegerDigits) {
  // Without decimals there is nothing to cut: 125% stays 125%, not 1%.
  EXPECT_EQ(Percent(D(1.25), I(1), S(u""), I(0)), u"125%");
  EXPECT_EQ(Percent(D(-0.05), I(1), S(u""), I(0), S(u"Yes")), u"(5%)");
  EXPECT_EQ(Percent(D(-0.12), I(1), S(u""), I(0)), u"-12%");
}

TEST_F(ValueFormatting, WholePercentRuleUsesTheLocaleDecimalSeparator) {
  ASSERT_TRUE(SetThreadLocale(kGerman));
  EXPECT_EQ(Percent(I(1), I(8), S(u"")), u"12%");
  EXPECT_EQ(Percent(I(1), I(8), S(u"f")), u"12,50%");
  EXPECT_EQ(Percent(D(12.345), I(1), S(u""), I(2)), u"1.234%");
}

TEST_F(ValueFormatting, PercentThresholdComparesHundredths) {
  auto coloured = [&](int n) {
    return Text(Get(u"myFormatPercent",
                    {I(n), I(4), I(50), S(u"red"), I(2), B(false), S(u""), S(u"f")}));
  };
  EXPECT_EQ(coloured(1), Red(u"25.00%"));
  EXPECT_EQ(coloured(3), u"75.00%");
  EXPECT_EQ(coloured(2), u"50.00%");
}

TEST_F(ValueFormatting, PercentOfNonNumericDenominatorIsTypeMismatch) {
  EXPECT_EQ(FailureNumber(u"myFormatPercent", {I(1), S(u"abc"), Variant(), S(u"red"), I(2),
                                               B(false), S(u""), S(u"")}),
            13);
}

// --- myFormatPercentNoColor ----------------------------------------------------------------------

TEST_F(ValueFormatting, PercentNoColorKeepsDecimalsAndNeverColours) {
  EXPECT_EQ(Text(Get(u"myFormatPercentNoColor", {I(-1), I(8), I(2), S(u"")})), u"-12.50%");
  EXPECT_EQ(Text(Get(u"myFormatPercentNoColor", {I(-1), I(8), I(2), S(u"Yes")})), u"(12.50%)");
}

TEST_F(ValueFormatting, PercentNoColorGivesZeroTextForMissingValues) {
  for (Variant n : {Variant(), S(u""), Variant::Null()}) {
    EXPECT_EQ(Text(Get(u"myFormatPercentNoColor", {n, I(8), I(2), S(u"")})), u"0.00%");
  }
  for (Variant d : {S(u"abc"), D(0.01), Variant::Null()}) {
    EXPECT_EQ(Text(Get(u"myFormatPercentNoColor", {I(1), d, I(1), S(u"")})), u"0.0%");
  }
}

// --- myFormatCurrency ----------------------------------------------------------------------------

class CurrencyFormatting : public ValueFormatting {
 protected:
  // Threshold -1,000,000, so nothing is coloured unless asked.
  Variant Currency(Arguments& arguments) { return Get(u"myFormatCurrency", arguments); }
  Arguments Amount(Variant n, Variant d, Variant symbol, Variant system_symbol,
                   Variant negative = S(u"")) {
    return Arguments{n, d, I(-1000000), S(u"red"), I(2), symbol, system_symbol, B(false),
                     negative};
  }
};

TEST_F(CurrencyFormatting, AmountInTheLocaleCurrencyForm) {
  Arguments plain = Amount(D(1234.5), I(1), S(u""), S(u"$"));
  EXPECT_EQ(Text(Currency(plain)), u"$1,234.50");
  Arguments negative = Amount(I(-5), I(1), S(u""), S(u"$"), S(u"Yes"));
  EXPECT_EQ(Text(Currency(negative)), u"($5.00)");
  Arguments near_zero = Amount(I(-5), D(0.01), S(u""), S(u"$"));
  EXPECT_EQ(Text(Currency(near_zero)), u"$0.00");
}

TEST_F(CurrencyFormatting, BelowThresholdIsColoured) {
  Arguments arguments{I(-5), I(1), Variant(), S(u"red"), I(2), S(u""), S(u"$"), B(true), S(u"")};
  EXPECT_EQ(Text(Currency(arguments)), RedLink(u"($5.00)"));
}

TEST_F(CurrencyFormatting, PageSymbolReplacesTheSystemSymbol) {
  Arguments arguments = Amount(D(1234.5), I(1), S(u"EUR "), S(u"$"));
  EXPECT_EQ(Text(Currency(arguments)), u"EUR 1,234.50");
  EXPECT_EQ(Text(arguments[5]), u"EUR ");
  Arguments blank = Amount(D(1234.5), I(1), S(u"  "), S(u"$"));
  EXPECT_EQ(Text(Currency(blank)), u"$1,234.50");
  Arguments no_system_symbol = Amount(D(1234.5), I(1), S(u"EUR"), S(u""));
  EXPECT_EQ(Text(Currency(no_system_symbol)), u"$1,234.50");
}

TEST_F(CurrencyFormatting, SymbolNoneRemovesTheSymbolAndClearsTheCallersVariable) {
  for (std::u16string_view none : {u"NONE", u"none", u"None"}) {
    Arguments arguments = Amount(D(-1234.5), I(1), S(none), S(u"$"), S(u"Yes"));
    EXPECT_EQ(Text(Currency(arguments)), u"(1,234.50)");
    EXPECT_EQ(arguments[5].Type(), VT_BSTR);
    EXPECT_EQ(Text(arguments[5]), u"");
  }
  // With spaces around it the symbol is no "none", and the caller's variable stays.
  Arguments spaced = Amount(I(1), I(1), S(u" none"), S(u"$"));
  EXPECT_EQ(Text(Currency(spaced)), u" none1.00");
  EXPECT_EQ(Text(spaced[5]), u" none");
}

TEST_F(CurrencyFormatting, SymbolNonePassedByValueIsNotWritten) {
  Arguments arguments = Amount(I(1), I(1), S(u"none"), S(u"$"));
  EXPECT_EQ(Text(Call(u"myFormatCurrency", arguments, {5}).value()), u"1.00");
  EXPECT_EQ(Text(arguments[5]), u"none");
}

TEST_F(CurrencyFormatting, EuroSignBecomesACharacterReference) {
  ASSERT_TRUE(SetThreadLocale(kGerman));
  Arguments plain = Amount(D(1234.5), I(1), S(u""), S(u"\u20AC"));
  EXPECT_EQ(Text(Currency(plain)), u"1.234,50 &#8364;");
  // The euro sign is gone before the symbol swap, so "€" as system symbol replaces nothing.
  Arguments euro = Amount(D(1234.5), I(1), S(u"EUR"), S(u"\u20AC"));
  EXPECT_EQ(Text(Currency(euro)), u"1.234,50 &#8364;");
  Arguments reference = Amount(D(1234.5), I(1), S(u"EUR"), S(u"&#8364;"));
  EXPECT_EQ(Text(Currency(reference)), u"1.234,50 EUR");
  Arguments zero = Amount(I(3), I(0), S(u"none"), S(u"&#8364;"));
  EXPECT_EQ(Text(Currency(zero)), u"0,00 ");
}

TEST_F(CurrencyFormatting, ConversionFailures) {
  Arguments text_denominator = Amount(I(1), S(u"abc"), S(u""), S(u"$"));
  EXPECT_EQ(FailureNumber(u"myFormatCurrency", text_denominator), 13);
  // The swap needs a system symbol: Null is no text. The caller's variable stays.
  Arguments null_system = Amount(I(1), I(1), S(u"none"), Variant::Null());
  EXPECT_EQ(FailureNumber(u"myFormatCurrency", null_system), 94);
  EXPECT_EQ(Text(null_system[5]), u"none");
}

// --- myFormatValue -------------------------------------------------------------------------------

class CellValueFormatting : public ValueFormatting {
 protected:
  void SetUp() override {
    ValueFormatting::SetUp();
    Put(u"sales|thresholdvalue", I(0));
    Put(u"sales|thresholdcolouring", S(u"red"));
    Put(u"sales|numdigits", I(2));
    Put(u"sales|detail_numdigits", S(u""));
    Put(u"sales|quantity_formula_dnm", S(u""));
  }
  void Put(std::u16string_view key, Variant item) {
    Arguments arguments{S(key), item};
    std::vector<VARIANT> passed(arguments.values.begin(), arguments.values.end());
    ASSERT_TRUE(CallMember(settings_.get(), u"Add", passed).ok());
  }
  int32_t SettingCount() {
    return CallMember(settings_.get(), u"Count").value().lVal;
  }
  bool HasSetting(std::u16string_view key) {
    Variant name = S(key);
    std::vector<VARIANT> passed{name};
    return CallMember(settings_.get(), u"Exists", passed).value().boolVal != 0;
  }
  // myFormatValue for the quantity "sales" (unless given), symbol "$", cell colour black.
  Arguments Cell(Variant n, Variant d, Variant format, bool has_denominator,
                 Variant font_color = S(u"#000000"), Variant report_type = S(u"sales_month")) {
    return Arguments{S(u"sales"), n, d, format, B(has_denominator),
                     Variant::FromDispatch(settings_.get()), S(u"EUR"), S(u"$"), font_color,
                     S(u""), report_type};
  }
  std::u16string CellText(Arguments&& arguments) {
    return Text(Get(u"myFormatValue", arguments));
  }

  ComPtr<Dictionary> settings_ = MakeObject<Dictionary>();
};

TEST_F(CellValueFormatting, WithDenominatorDispatchesOnTheFormat) {
  EXPECT_EQ(CellText(Cell(I(10), I(4), S(u"number"), true)), u"2.50");
  EXPECT_EQ(CellText(Cell(I(-10), I(4), S(u"number"), true)), Red(u"-2.50"));
  EXPECT_EQ(CellText(Cell(I(1), I(8), S(u"percent"), true)), u"12%");
  EXPECT_EQ(CellText(Cell(I(10), I(4), S(u"currency"), true)), u"EUR2.50");
  EXPECT_EQ(CellText(Cell(I(10), D(0.00001), S(u"number"), true)), u"0.00");
}

TEST_F(CellValueFormatting, WithoutDenominatorTheDenominatorIsIgnored) {
  EXPECT_EQ(CellText(Cell(D(0.25), S(u"abc"), S(u"percent"), false)), u"25%");
  EXPECT_EQ(CellText(Cell(I(7), Variant::Null(), S(u"currency"), false)), u"EUR7.00");
  // No near-zero rule for a plain number.
  EXPECT_EQ(CellText(Cell(D(0.00001), I(0), S(u"number"), false)), u"0.00");
  EXPECT_EQ(CellText(Cell(S(u"1234.5"), I(0), S(u"number"), false)), u"1,234.50");
  EXPECT_EQ(CellText(Cell(I(-3), I(0), S(u"number"), false)), Red(u"-3.00"));
}

TEST_F(CellValueFormatting, CellWithoutFontColourIsInsideALink) {
  EXPECT_EQ(CellText(Cell(I(-3), I(0), S(u"number"), false, S(u""))), RedLink(u"-3.00"));
  EXPECT_EQ(CellText(Cell(I(-3), I(1), S(u"number"), true, Variant())), RedLink(u"-3.00"));
  EXPECT_EQ(CellText(Cell(I(-3), I(1), S(u"number"), true, Variant::Null())), Red(u"-3.00"));
}

TEST_F(CellValueFormatting, MissingValuesCountAsZero) {
  EXPECT_EQ(CellText(Cell(Variant::Null(), I(1), S(u"number"), true)), u"0.00");
  EXPECT_EQ(CellText(Cell(S(u""), I(1), S(u"number"), false)), u"0.00");
}

TEST_F(CellValueFormatting, DateCells) {
  EXPECT_EQ(CellText(Cell(Variant(), I(1), S(u"date"), false)), u"&nbsp;");
  EXPECT_EQ(CellText(Cell(Variant::Null(), I(1), S(u"date"), false)), u"&nbsp;");
  Arguments day = Cell(DateOf(2011, 3, 31), I(1), S(u"date"), false);
  EXPECT_TRUE(IsDay(Get(u"myFormatValue", day), 2011, 3, 31));
  EXPECT_TRUE(Get(u"myFormatValue", Cell(DateOf(2011, 3, 31), I(1), S(u"date"), true)).IsEmpty());
}

TEST_F(CellValueFormatting, UnknownFormatGivesEmpty) {
  for (Variant format : {S(u"Number"), S(u"text"), Variant(), Variant::Null()}) {
    EXPECT_TRUE(Get(u"myFormatValue", Cell(I(1), I(1), format, true)).IsEmpty());
    EXPECT_TRUE(Get(u"myFormatValue", Cell(I(1), I(1), format, false)).IsEmpty());
  }
}

TEST_F(CellValueFormatting, DetailReportsUseTheDetailDigits) {
  EXPECT_EQ(CellText(Cell(I(10), I(3), S(u"number"), true, S(u"#000000"), S(u"detail"))), u"3");
  EXPECT_EQ(CellText(Cell(I(10), I(3), S(u"number"), true, S(u"#000000"), S(u"Detail"))),
            u"3.33");
}

TEST_F(CellValueFormatting, TrimmedCurrencySymbolIsPassedOnAndTheCallersStays) {
  Arguments arguments = Cell(I(5), I(1), S(u"currency"), true);
  arguments[6] = S(u" NONE ");
  EXPECT_EQ(Text(Get(u"myFormatValue", arguments)), u"5.00");
  EXPECT_EQ(Text(arguments[6]), u" NONE ");
}

TEST_F(CellValueFormatting, ReadsFourSettingsAndAddsAbsentKeys) {
  settings_ = MakeObject<Dictionary>();
  EXPECT_EQ(CellText(Cell(I(10), I(4), S(u"number"), true)), u"3");
  EXPECT_EQ(SettingCount(), 4);
  EXPECT_TRUE(HasSetting(u"sales|thresholdvalue"));
  EXPECT_TRUE(HasSetting(u"sales|thresholdcolouring"));
  EXPECT_TRUE(HasSetting(u"sales|numdigits"));
  EXPECT_TRUE(HasSetting(u"sales|quantity_formula_dnm"));
  EXPECT_FALSE(HasSetting(u"sales|detail_numdigits"));
}

TEST_F(CellValueFormatting, DigitsAreConvertedOnlyWhereShown) {
  Put(u"cost|numdigits", S(u"two"));
  Arguments date = Cell(Variant(), I(1), S(u"date"), false);
  date[0] = S(u"cost");
  EXPECT_EQ(Text(Get(u"myFormatValue", date)), u"&nbsp;");
  Arguments number = Cell(I(1), I(1), S(u"number"), true);
  number[0] = S(u"cost");
  EXPECT_EQ(FailureNumber(u"myFormatValue", number), 13);
}

TEST_F(CellValueFormatting, DetailReportReadsOnlyTheDetailDigits) {
  settings_ = MakeObject<Dictionary>();
  Get(u"myFormatValue", Cell(I(1), I(1), S(u"date"), false, S(u""), S(u"detail")));
  EXPECT_EQ(SettingCount(), 4);
  EXPECT_TRUE(HasSetting(u"sales|detail_numdigits"));
  EXPECT_FALSE(HasSetting(u"sales|numdigits"));
}

TEST_F(CellValueFormatting, FollowsTheGermanLocale) {
  ASSERT_TRUE(SetThreadLocale(kGerman));
  EXPECT_EQ(CellText(Cell(D(-1234.5), I(1), S(u"number"), true)), Red(u"-1.234,50"));
  EXPECT_EQ(CellText(Cell(I(1), I(8), S(u"percent"), true)), u"12%");
  EXPECT_EQ(CellText(Cell(D(0.125), I(8), S(u"percent"), false)), u"12%");
}

TEST_F(CellValueFormatting, Failures) {
  EXPECT_EQ(FailureNumber(u"myFormatValue", Cell(S(u"abc"), I(1), S(u"number"), true)), 13);
  EXPECT_EQ(FailureNumber(u"myFormatValue", Cell(S(u"2011-03-31"), I(1), S(u"date"), false)),
            13);
  EXPECT_EQ(FailureNumber(u"myFormatValue", Cell(I(1), S(u"abc"), S(u"number"), true)), 13);
  Arguments not_a_collection = Cell(I(1), I(1), S(u"number"), true);
  not_a_collection[5] = S(u"settings");
  EXPECT_EQ(FailureNumber(u"myFormatValue", not_a_collection), 424);
  // A plain number compares with its threshold as doubles: a Null threshold is no number.
  Put(u"cost|thresholdvalue", Variant::Null());
  Arguments null_threshold = Cell(I(1), I(1), S(u"number"), false);
  null_threshold[0] = S(u"cost");
  EXPECT_EQ(FailureNumber(u"myFormatValue", null_threshold), 94);
}

// --- getPreCellHtml, getPreTitleHtml ----------------------------------------------------------

TEST_F(ValueFormatting, CellStyle) {
  EXPECT_EQ(Text(Get(u"getPreCellHtml", {S(u"8"), S(u"Tahoma"), S(u"#000000")})),
            u" style=\"font-size:8pt;font-family:Tahoma;color:#000000;\" ");
  EXPECT_EQ(Text(Get(u"getPreCellHtml", {I(10), Variant::Null(), Variant()})),
            u" style=\"font-size:10pt;font-family:;color:;\" ");
}

TEST_F(ValueFormatting, TitleStyleHasNoBorderOnlyWhenHyperlinksAreEnabled) {
  EXPECT_EQ(Text(Get(u"getPreTitleHtml", {S(u"8"), S(u"Tahoma"), B(true)})),
            u" style=\"font-size:8pt;font-family:Tahoma;\" ");
  EXPECT_EQ(Text(Get(u"getPreTitleHtml", {S(u"8"), S(u"Tahoma"), I(-1)})),
            u" style=\"font-size:8pt;font-family:Tahoma;\" ");
  for (Variant flag : {B(false), I(1), Variant()}) {
    EXPECT_EQ(Text(Get(u"getPreTitleHtml", {S(u"8"), S(u"Tahoma"), flag})),
              u" style=\"font-size:8pt;font-family:Tahoma;border:0;\" ");
  }
}

// --- The member table ----------------------------------------------------------------------------

TEST(UtilitiesMemberTable, NamesAndDispatchIdentifiersAreUnique) {
  std::set<std::u16string> names;
  std::set<DISPID> ids;
  for (const DispatchMember<UtilitiesClass>& member : UtilitiesClass::Members()) {
    EXPECT_TRUE(names.insert(std::u16string(member.name)).second) << Narrow(member.name);
    EXPECT_TRUE(ids.insert(member.dispid).second) << Narrow(member.name);
  }
  EXPECT_EQ(names.size(), 42u);
}

TEST(UtilitiesMemberTable, EveryArgumentIsRequiredAndNamed) {
  for (const DispatchMember<UtilitiesClass>& member : UtilitiesClass::Members()) {
    SCOPED_TRACE(Narrow(member.name));
    size_t names = member.parameters.empty() ? 0 : 1;
    for (char16_t c : member.parameters) names += c == u',' ? 1 : 0;
    EXPECT_EQ(member.min_arguments, member.max_arguments);
    EXPECT_EQ(member.max_arguments, names);
  }
}

// Invokes a member with named arguments only, in the order given.
Result<Variant> CallNamed(IDispatch* object, std::vector<std::u16string> names,
                          std::vector<Variant> values) {
  std::vector<LPOLESTR> name_pointers;
  for (std::u16string& name : names) name_pointers.push_back(name.data());
  std::vector<DISPID> ids(names.size());
  HRESULT hr = object->GetIDsOfNames(GUID_NULL, name_pointers.data(),
                                     static_cast<UINT>(names.size()), 0, ids.data());
  if (FAILED(hr)) return Error::FromHresult(hr);
  // DISPPARAMS lists arguments last first; the named identifiers pair with them.
  std::vector<VARIANT> arguments(values.rbegin(), values.rend());
  std::vector<DISPID> named(ids.rbegin(), ids.rend() - 1);
  DISPPARAMS params{arguments.data(), named.data(), static_cast<UINT>(arguments.size()),
                    static_cast<UINT>(named.size())};
  Variant result;
  EXCEPINFO exception{};
  hr = object->Invoke(ids[0], GUID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception,
                      nullptr);
  if (FAILED(hr)) return ErrorFromInvoke(hr, exception);
  return result;
}

TEST_F(ValueFormatting, NamedArgumentsReachTheirParameters) {
  Result<Variant> style = CallNamed(
      utilities_.get(), {u"getPreCellHtml", u"DEFAULT_FONT_COLOR", u"default_font_size",
                         u"default_font_family"},
      {S(u"#FF0000"), S(u"9"), S(u"Arial")});
  ASSERT_TRUE(style.ok());
  EXPECT_EQ(Text(style.value()), u" style=\"font-size:9pt;font-family:Arial;color:#FF0000;\" ");
  Result<Variant> quotient = CallNamed(utilities_.get(), {u"myDivision", u"d", u"n"},
                                       {I(4), I(10)});
  ASSERT_TRUE(quotient.ok());
  EXPECT_EQ(quotient.value().dblVal, 2.5);
}

TEST_F(ValueFormatting, WrongArgumentCountIsRefused) {
  Arguments too_few{I(1)};
  Result<Variant> outcome = Call(u"myDivision", too_few);
  ASSERT_FALSE(outcome.ok());
  EXPECT_EQ(outcome.error().Number(), 450);
}

}  // namespace
