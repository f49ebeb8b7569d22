#include "platform/automation/conversion.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/automation/locale.h"
#include "tests/support/fake_dispatch.h"

namespace {

// Runs each test in en-US whatever the machine's locale.
class Conversion : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SetThreadLocale(1033)); }
  void TearDown() override { SetThreadLocale(0); }
};

std::u16string TextOf(const Variant& value) {
  Result<Bstr> text = ToBstr(value);
  return text.ok() ? std::u16string(text.value().view()) : u"<error>";
}

}  // namespace

TEST_F(Conversion, NonNumericStringIsTypeMismatch) {
  for (const char16_t* text : {u"abc", u"", u"1.2.3", u"12abc"}) {
    SCOPED_TRACE(testing::Message() << std::string(text, text + std::char_traits<char16_t>::length(text)));
    Result<double> number = ToDouble(Variant::FromString(text));
    ASSERT_FALSE(number.ok());
    EXPECT_EQ(number.error().Number(), 13);
  }
}

TEST_F(Conversion, NullIsInvalidUseOfNullForNumbersAndText) {
  Variant null = Variant::Null();
  EXPECT_EQ(ToDouble(null).error().Number(), 94);
  EXPECT_EQ(ToInt32(null).error().Number(), 94);
  EXPECT_EQ(ToBstr(null).error().Number(), 94);
  EXPECT_EQ(ToBool(null).error().Number(), 94);
}

TEST_F(Conversion, EmptyIsZeroAndEmptyText) {
  EXPECT_EQ(ToDouble(Variant()).value(), 0.0);
  EXPECT_EQ(ToInt32(Variant()).value(), 0);
  EXPECT_EQ(TextOf(Variant()), u"");
  EXPECT_FALSE(ToBool(Variant()).value());
}

TEST_F(Conversion, IntegersRoundHalfToEven) {
  struct Case {
    double input;
    int32_t expected;
  } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
               {2.4999, 2}, {2.5001, 3}, {2147483647.4, 2147483647}, {-2147483648.5, -2147483648}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(ToInt32(Variant::FromR8(c.input)).value(), c.expected);
  }
}

TEST_F(Conversion, IntegerOverflowIsErrorSix) {
  EXPECT_EQ(ToInt32(Variant::FromR8(2147483647.5)).error().Number(), 6);
  EXPECT_EQ(ToInt32(Variant::FromR8(NAN)).error().Number(), 6);
  EXPECT_EQ(ToInt16(Variant::FromI4(32768)).error().Number(), 6);
  EXPECT_EQ(ToInt16(Variant::FromR8(-32768.5)).value(), -32768);
  EXPECT_EQ(ToByte(Variant::FromI4(-1)).error().Number(), 6);
  EXPECT_EQ(ToCurrency(Variant::FromR8(1e300)).error().Number(), 6);
}

TEST_F(Conversion, NumericStringsConvertInLocaleSyntax) {
  EXPECT_EQ(ToDouble(Variant::FromString(u" 1,234.5 ")).value(), 1234.5);
  EXPECT_EQ(ToInt32(Variant::FromString(u"&HFF")).value(), 255);
  ASSERT_TRUE(SetThreadLocale(1031));
  EXPECT_EQ(ToDouble(Variant::FromString(u"1.234,5")).value(), 1234.5);
}

TEST_F(Conversion, BooleansReadAndPrintAsWords) {
  EXPECT_EQ(TextOf(Variant::FromBool(true)), u"True");
  EXPECT_EQ(TextOf(Variant::FromBool(false)), u"False");
  EXPECT_TRUE(ToBool(Variant::FromString(u"true")).value());
  EXPECT_FALSE(ToBool(Variant::FromString(u" FALSE ")).value());
  EXPECT_TRUE(ToBool(Variant::FromString(u"-2")).value());
  EXPECT_EQ(ToBool(Variant::FromString(u"yes")).error().Number(), 13);
  EXPECT_EQ(ToDouble(Variant::FromBool(true)).value(), -1.0);
}

TEST_F(Conversion, NumbersPrintInDisplayForm) {
  EXPECT_EQ(TextOf(Variant::FromI2(-7)), u"-7");
  EXPECT_EQ(TextOf(Variant::FromByte(255)), u"255");
  EXPECT_EQ(TextOf(Variant::FromR8(1.5)), u"1.5");
  EXPECT_EQ(TextOf(Variant::FromR8(1e15)), u"1E+15");
  EXPECT_EQ(TextOf(Variant::FromCurrency(CY{15000})), u"1.5");
  ASSERT_TRUE(SetThreadLocale(1031));
  EXPECT_EQ(TextOf(Variant::FromR8(1.5)), u"1,5");
}

TEST_F(Conversion, DatesPrintDateOnlyOrTimeOnly) {
  EXPECT_EQ(TextOf(Variant::FromDate(36526.0)), u"1/1/2000");
  EXPECT_EQ(TextOf(Variant::FromDate(0.5)), u"12:00:00 PM");
  EXPECT_EQ(TextOf(Variant::FromDate(36526.75)), u"1/1/2000 6:00:00 PM");
}

TEST_F(Conversion, DatesFromNumbersAndStrings) {
  EXPECT_EQ(ToDate(Variant::FromI4(2)).value(), 2.0);
  EXPECT_EQ(ToDate(Variant::FromString(u"2000-01-01")).value(), 36526.0);
  EXPECT_EQ(ToDate(Variant::FromR8(3e6)).error().Number(), 6);
  EXPECT_EQ(ToDate(Variant::FromString(u"someday")).error().Number(), 13);
}

TEST_F(Conversion, ObjectsConvertThroughTheirDefaultMember) {
  FakeDispatch field(Variant::FromString(u"42"));
  Variant object = Variant::FromDispatch(&field);
  EXPECT_EQ(ToInt32(object).value(), 42);
  EXPECT_EQ(TextOf(object), u"42");
  EXPECT_EQ(field.calls(), 2);
}

TEST_F(Conversion, ObjectFailuresCarryTheirOwnError) {
  FakeDispatch failing(Variant::FromI4(0));
  failing.FailWith(DISP_E_EXCEPTION, 5);
  Result<double> number = ToDouble(Variant::FromDispatch(&failing));
  ASSERT_FALSE(number.ok());
  EXPECT_EQ(number.error().Number(), 5);
  EXPECT_EQ(number.error().Description(), u"custom failure");

  FakeDispatch without_default(Variant::FromI4(0));
  without_default.FailWith(DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(ToDouble(Variant::FromDispatch(&without_default)).error().Number(), 438);
  EXPECT_EQ(ToDouble(Variant::FromDispatch(nullptr)).error().Number(), 91);
}

TEST_F(Conversion, ChangeTypeProducesTheRequestedType) {
  struct Case {
    VARTYPE type;
  } cases[] = {{VT_I2}, {VT_I4}, {VT_R4}, {VT_R8}, {VT_CY}, {VT_BSTR}, {VT_BOOL}, {VT_UI1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Result<Variant> converted = ChangeType(Variant::FromString(u"12"), c.type);
    ASSERT_TRUE(converted.ok());
    EXPECT_EQ(converted.value().Type(), c.type);
  }
  EXPECT_EQ(ChangeType(Variant::FromI4(1), VT_DISPATCH).error().Number(), 424);
}

TEST_F(Conversion, AssignThroughReferenceConvertsToTheTargetType) {
  BSTR text = nullptr;
  VARIANT text_reference;
  VariantInit(&text_reference);
  text_reference.vt = VT_BYREF | VT_BSTR;
  text_reference.pbstrVal = &text;
  ASSERT_TRUE(AssignThroughReference(text_reference, Variant::FromI4(12)).ok());
  EXPECT_EQ(BstrView(text), u"12");
  SysFreeString(text);

  Variant slot = Variant::FromString(u"old");
  ASSERT_TRUE(AssignThroughReference(Variant::RefTo(&slot), Variant::FromR8(2.5)).ok());
  EXPECT_EQ(slot.Type(), VT_R8);

  int16_t small = 0;
  VARIANT small_reference;
  VariantInit(&small_reference);
  small_reference.vt = VT_BYREF | VT_I2;
  small_reference.piVal = &small;
  EXPECT_EQ(AssignThroughReference(small_reference, Variant::FromI4(40000)).error().Number(), 6);
  EXPECT_EQ(small, 0);
}

TEST_F(Conversion, IsNumericAndIsDateFollowTheParsers) {
  EXPECT_TRUE(IsNumeric(Variant()));
  EXPECT_TRUE(IsNumeric(Variant::FromString(u"$1,000.50")));
  EXPECT_TRUE(IsNumeric(Variant::FromString(u"(5)")));
  EXPECT_FALSE(IsNumeric(Variant::FromString(u"")));
  EXPECT_FALSE(IsNumeric(Variant::Null()));
  EXPECT_FALSE(IsNumeric(Variant::FromDate(1.0)));
  EXPECT_TRUE(IsDate(Variant::FromString(u"January 5, 2024")));
  EXPECT_TRUE(IsDate(Variant::FromDate(1.0)));
  EXPECT_FALSE(IsDate(Variant::FromString(u"5")));
  EXPECT_FALSE(IsDate(Variant::FromI4(5)));
}

TEST_F(Conversion, IsNumberTypeNamesTheTypesHoldingANumberByValue) {
  for (VARTYPE type : std::initializer_list<VARTYPE>{VT_I2, VT_I4, VT_R4, VT_R8, VT_CY, VT_DATE,
                                                     VT_BOOL, VT_UI1}) {
    EXPECT_TRUE(IsNumberType(type)) << type;
  }
  for (VARTYPE type : std::initializer_list<VARTYPE>{VT_EMPTY, VT_NULL, VT_BSTR, VT_DISPATCH,
                                                     VT_ERROR, VT_VARIANT, VT_BYREF | VT_I4,
                                                     VT_ARRAY | VT_I4}) {
    EXPECT_FALSE(IsNumberType(type)) << type;
  }
}
