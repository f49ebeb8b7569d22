#include "platform/automation/compare.h"

#include <gtest/gtest.h>

#include "platform/automation/locale.h"
#include "tests/support/fake_dispatch.h"

namespace {

class VariantCompare : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SetThreadLocale(1033)); }
  void TearDown() override { SetThreadLocale(0); }
};

Comparison Cmp(const Variant& a, const Variant& b, CompareMode mode = CompareMode::Binary) {
  Result<Comparison> result = Compare(a, b, mode);
  EXPECT_TRUE(result.ok());
  return result.ok() ? result.value() : Comparison::Null;
}

Variant S(const char16_t* text) { return Variant::FromString(text); }
Variant I(int32_t value) { return Variant::FromI4(value); }

}  // namespace

TEST_F(VariantCompare, StringsCompareByCodeUnit) {
  EXPECT_EQ(Cmp(S(u"B"), S(u"a")), Comparison::Less);  // 'B' (66) before 'a' (97)
  EXPECT_EQ(Cmp(S(u"abc"), S(u"abd")), Comparison::Less);
  EXPECT_EQ(Cmp(S(u"ab"), S(u"abc")), Comparison::Less);
  EXPECT_EQ(Cmp(S(u"x"), S(u"x")), Comparison::Equal);
  EXPECT_EQ(Cmp(S(u"10"), S(u"9")), Comparison::Less);  // two strings never compare as numbers
}

TEST_F(VariantCompare, TextModeIgnoresCase) {
  EXPECT_EQ(Cmp(S(u"ABC"), S(u"abc"), CompareMode::Text), Comparison::Equal);
  EXPECT_EQ(Cmp(S(u"B"), S(u"a"), CompareMode::Text), Comparison::Greater);
  EXPECT_EQ(Cmp(S(u"\u00C4RGER"), S(u"\u00e4rger"), CompareMode::Text), Comparison::Equal);
}

TEST_F(VariantCompare, NumberAndNumericStringCompareAsNumbers) {
  EXPECT_EQ(Cmp(I(10), S(u"9")), Comparison::Greater);
  EXPECT_EQ(Cmp(S(u"9"), I(10)), Comparison::Less);
  EXPECT_EQ(Cmp(Variant::FromR8(2.5), S(u" 2.5 ")), Comparison::Equal);
}

TEST_F(VariantCompare, NumberIsLessThanNonNumericString) {
  EXPECT_EQ(Cmp(I(1000000), S(u"abc")), Comparison::Less);
  EXPECT_EQ(Cmp(S(u"abc"), I(-5)), Comparison::Greater);
  EXPECT_EQ(Cmp(Variant::FromDate(36526.0), S(u"zzz")), Comparison::Less);
}

TEST_F(VariantCompare, EmptyIsZeroBesideNumbersAndEmptyTextBesideStrings) {
  EXPECT_EQ(Cmp(Variant(), I(0)), Comparison::Equal);
  EXPECT_EQ(Cmp(Variant(), I(-1)), Comparison::Greater);
  EXPECT_EQ(Cmp(Variant(), S(u"")), Comparison::Equal);
  EXPECT_EQ(Cmp(Variant(), S(u"0")), Comparison::Less);
  EXPECT_EQ(Cmp(S(u"a"), Variant()), Comparison::Greater);
  EXPECT_EQ(Cmp(Variant(), Variant()), Comparison::Equal);
}

TEST_F(VariantCompare, NullMakesTheComparisonNull) {
  EXPECT_EQ(Cmp(Variant::Null(), I(1)), Comparison::Null);
  EXPECT_EQ(Cmp(S(u"x"), Variant::Null()), Comparison::Null);
  EXPECT_EQ(Cmp(Variant::Null(), Variant::Null()), Comparison::Null);
}

TEST_F(VariantCompare, MixedNumberTypesCompareByValue) {
  EXPECT_EQ(Cmp(Variant::FromI2(1), Variant::FromR8(1.0)), Comparison::Equal);
  EXPECT_EQ(Cmp(Variant::FromBool(true), I(-1)), Comparison::Equal);
  EXPECT_EQ(Cmp(Variant::FromCurrency(CY{10001}), Variant::FromR8(1.0)), Comparison::Greater);
  EXPECT_EQ(Cmp(Variant::FromCurrency(CY{INT64_MAX}), Variant::FromCurrency(CY{INT64_MAX - 1})),
            Comparison::Greater);
}

TEST_F(VariantCompare, ASingleMeetsADoubleAtSinglePrecision) {
  EXPECT_EQ(Cmp(Variant::FromR4(0.1f), Variant::FromR8(0.1)), Comparison::Equal);
  EXPECT_EQ(Cmp(Variant::FromR8(1e-6), Variant::FromR4(1e-6f)), Comparison::Equal);
  EXPECT_EQ(Cmp(Variant::FromR4(0.1f), Variant::FromR8(0.2)), Comparison::Less);
  // Other partners of a Single keep full precision.
  EXPECT_EQ(Cmp(Variant::FromR4(16777217.0f), I(16777217)), Comparison::Less);
}

TEST_F(VariantCompare, ObjectsCompareByDefaultValueAndArraysAreRefused) {
  FakeDispatch field(Variant::FromI4(5));
  EXPECT_EQ(Cmp(Variant::FromDispatch(&field), I(4)), Comparison::Greater);
  Result<Comparison> error = Compare(Variant::FromError(E_FAIL), I(1));
  ASSERT_FALSE(error.ok());
  EXPECT_EQ(error.error().Number(), 13);
}
