#include "platform/automation/format.h"

#include <gtest/gtest.h>

#include "platform/automation/locale.h"

namespace {

class Formatters : public testing::Test {
 protected:
  void TearDown() override { SetThreadLocale(0); }
  void UseLocale(LCID lcid) { ASSERT_TRUE(SetThreadLocale(lcid)); }
};

std::u16string Text(Result<Bstr> result) {
  return result.ok() ? std::u16string(result.value().view()) : u"<error>";
}

}  // namespace

TEST_F(Formatters, EnglishUnitedStatesExamples) {
  UseLocale(1033);
  EXPECT_EQ(Text(FormatNumber(Variant::FromR8(1234.5), 2)), u"1,234.50");
  EXPECT_EQ(Text(FormatPercent(Variant::FromR8(0.1234), 2)), u"12.34%");
  EXPECT_EQ(Text(FormatCurrency(Variant::FromR8(1234.5), 2)), u"$1,234.50");
  EXPECT_EQ(Text(FormatCurrency(Variant::FromI4(-5), 2, TriState::True, TriState::True)), u"($5.00)");
  EXPECT_EQ(Text(FormatPercent(Variant::FromR8(0.125), 2)), u"12.50%");
}

TEST_F(Formatters, GermanUsesDecimalCommaAndEuroAfterTheAmount) {
  UseLocale(1031);
  EXPECT_EQ(Text(FormatNumber(Variant::FromR8(1234.5), 2)), u"1.234,50");
  EXPECT_EQ(Text(FormatCurrency(Variant::FromR8(1234.5), 2)), u"1.234,50 \u20AC");
  EXPECT_EQ(Text(FormatCurrency(Variant::FromI4(-5), 2, TriState::True)), u"-5,00 \u20AC");
}

TEST_F(Formatters, AcceptNumericStringsAndRefuseOtherText) {
  UseLocale(1033);
  EXPECT_EQ(Text(FormatNumber(Variant::FromString(u"1234.5"), 1)), u"1,234.5");
  EXPECT_EQ(FormatNumber(Variant::FromString(u"abc")).error().Number(), 13);
  EXPECT_EQ(FormatNumber(Variant::Null()).error().Number(), 94);
}

TEST_F(Formatters, CurrencyValuesAreFormattedExactly) {
  UseLocale(1033);
  CY amount{922337203685477LL * 10000 + 5807};  // the largest amount
  EXPECT_EQ(Text(FormatNumber(Variant::FromCurrency(amount), 4)), u"922,337,203,685,477.5807");
}

TEST_F(Formatters, NamedDateFormats) {
  UseLocale(1033);
  Variant date = Variant::FromDate(36526.75);  // 2000-01-01 18:00
  EXPECT_EQ(Text(FormatDateTime(date, NamedDateFormat::ShortDate)), u"1/1/2000");
  EXPECT_EQ(Text(FormatDateTime(date, NamedDateFormat::LongTime)), u"6:00:00 PM");
  EXPECT_EQ(Text(FormatDateTime(date, NamedDateFormat::ShortTime)), u"18:00");
  EXPECT_EQ(Text(FormatDateTime(date)), u"1/1/2000 6:00:00 PM");
  EXPECT_EQ(FormatDateTime(date, static_cast<NamedDateFormat>(7)).error().Number(), 5);
}
