#include "platform/automation/arithmetic.h"

#include <gtest/gtest.h>

#include "platform/automation/compare.h"
#include "platform/automation/conversion.h"
#include "platform/automation/locale.h"
#include "tests/support/fake_dispatch.h"

namespace {

class Operators : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SetThreadLocale(1033)); }
  void TearDown() override { SetThreadLocale(0); }
};

Variant S(const char16_t* text) { return Variant::FromString(text); }
Variant I2(int16_t value) { return Variant::FromI2(value); }
Variant I4(int32_t value) { return Variant::FromI4(value); }
Variant R8(double value) { return Variant::FromR8(value); }
Variant B(bool value) { return Variant::FromBool(value); }
Variant U1(uint8_t value) { return Variant::FromByte(value); }

using Operator = Result<Variant> (*)(const VARIANT&, const VARIANT&);

struct TypedCase {
  const char* name;
  Operator apply;
  Variant left;
  Variant right;
  VARTYPE type;
  double value;
};

void ExpectTyped(const TypedCase& c) {
  SCOPED_TRACE(c.name);
  Result<Variant> result = c.apply(c.left, c.right);
  ASSERT_TRUE(result.ok()) << result.error().Number();
  EXPECT_EQ(result.value().Type(), c.type);
  EXPECT_EQ(ToDouble(result.value()).value(), c.value);
}

int ErrorOf(Result<Variant> result) { return result.ok() ? 0 : result.error().Number(); }

}  // namespace

TEST_F(Operators, AdditionWidensOnOverflow) {
  TypedCase cases[] = {
      {"byte+byte", Add, U1(200), U1(55), VT_UI1, 255},
      {"byte overflow to integer", Add, U1(200), U1(56), VT_I2, 256},
      {"integer", Add, I2(1), I2(2), VT_I2, 3},
      {"integer overflow to long", Add, I2(32767), I2(1), VT_I4, 32768},
      {"long overflow to double", Add, I4(2147483647), I4(1), VT_R8, 2147483648.0},
      {"boolean+boolean is integer", Add, B(true), B(true), VT_I2, -2},
      {"empty+empty is integer", Add, Variant(), Variant(), VT_I2, 0},
      {"empty takes the other type", Add, Variant(), I4(5), VT_I4, 5},
      {"string beside number is double", Add, S(u"1"), I2(2), VT_R8, 3},
      {"single+long is double", Add, Variant::FromR4(1.5f), I4(1), VT_R8, 2.5},
      {"single+integer stays single", Add, Variant::FromR4(1.5f), I2(1), VT_R4, 2.5},
      {"currency wins over double", Add, Variant::FromCurrency(CY{15000}), R8(1), VT_CY, 2.5},
      {"date plus days stays a date", Add, Variant::FromDate(36526.0), I2(1), VT_DATE, 36527},
  };
  for (const TypedCase& c : cases) ExpectTyped(c);
}

TEST_F(Operators, PlusConcatenatesTwoStringsOnly) {
  EXPECT_EQ(Add(S(u"1"), S(u"2")).value().StringView(), u"12");
  EXPECT_EQ(Add(S(u"ab"), Variant()).value().StringView(), u"ab");
  EXPECT_EQ(ErrorOf(Add(S(u"ab"), I4(1))), 13);
  EXPECT_TRUE(Add(S(u"ab"), Variant::Null()).value().IsNull());
}

TEST_F(Operators, SubtractAndMultiplyTypes) {
  TypedCase cases[] = {
      {"date minus date is double", Subtract, Variant::FromDate(10), Variant::FromDate(4), VT_R8, 6},
      {"date minus number is date", Subtract, Variant::FromDate(10), I2(4), VT_DATE, 6},
      {"integer product widens", Multiply, I2(300), I2(300), VT_I4, 90000},
      {"long product widens to double", Multiply, I4(100000), I4(100000), VT_R8, 1e10},
      {"strings multiply as numbers", Multiply, S(u"3"), S(u"4"), VT_R8, 12},
      {"currency product", Multiply, Variant::FromCurrency(CY{25000}), I2(2), VT_CY, 5},
      {"date times number is double", Multiply, Variant::FromDate(2), I2(3), VT_R8, 6},
      {"integer negative", Subtract, I2(-32768), I2(1), VT_I4, -32769},
  };
  for (const TypedCase& c : cases) ExpectTyped(c);
}

TEST_F(Operators, DivisionGivesDoubleAndReportsZeroDivisors) {
  TypedCase cases[] = {
      {"integers divide to double", Divide, I2(7), I2(2), VT_R8, 3.5},
      {"singles stay single", Divide, Variant::FromR4(1.0f), I2(4), VT_R4, 0.25},
      {"currency divides to double", Divide, Variant::FromCurrency(CY{10000}), I2(4), VT_R8, 0.25},
  };
  for (const TypedCase& c : cases) ExpectTyped(c);
  EXPECT_EQ(ErrorOf(Divide(I4(1), I4(0))), 11);
  EXPECT_EQ(ErrorOf(Divide(I4(0), I4(0))), 6);
  EXPECT_EQ(ErrorOf(Divide(Variant(), Variant())), 6);
  EXPECT_EQ(ErrorOf(Divide(R8(1e308), R8(1e-308))), 6);
}

TEST_F(Operators, IntegerDivisionAndModRoundOperandsToEven) {
  TypedCase cases[] = {
      {"7 \\ 2", IntegerDivide, I2(7), I2(2), VT_I2, 3},
      {"-7 \\ 2 truncates", IntegerDivide, I2(-7), I2(2), VT_I2, -3},
      {"2.5 \\ 1 rounds to even", IntegerDivide, R8(2.5), I2(1), VT_I4, 2},
      {"3.5 \\ 1 rounds to even", IntegerDivide, R8(3.5), I2(1), VT_I4, 4},
      {"bytes stay bytes", IntegerDivide, U1(200), U1(3), VT_UI1, 66},
      {"-32768 \\ -1 widens", IntegerDivide, I2(-32768), I2(-1), VT_I4, 32768},
      {"mod takes dividend sign", Modulo, I2(-7), I2(3), VT_I2, -1},
      {"5.5 mod 2 rounds first", Modulo, R8(5.5), I2(2), VT_I4, 0},
      {"string mod", Modulo, S(u"10"), I4(4), VT_I4, 2},
  };
  for (const TypedCase& c : cases) ExpectTyped(c);
  EXPECT_EQ(ErrorOf(IntegerDivide(I4(1), I4(0))), 11);
  EXPECT_EQ(ErrorOf(Modulo(I4(1), R8(0.4))), 11);  // 0.4 rounds to 0
  EXPECT_EQ(ErrorOf(IntegerDivide(I4(INT32_MIN), I4(-1))), 6);
  EXPECT_EQ(ErrorOf(IntegerDivide(R8(3e9), I4(1))), 6);
}

TEST_F(Operators, PowerIsAlwaysDouble) {
  ExpectTyped({"2^10", Power, I2(2), I2(10), VT_R8, 1024});
  ExpectTyped({"4^0.5", Power, I2(4), R8(0.5), VT_R8, 2});
  EXPECT_EQ(ErrorOf(Power(R8(-8), R8(1.0 / 3))), 5);
  EXPECT_EQ(ErrorOf(Power(R8(10), R8(400))), 6);
  EXPECT_EQ(ErrorOf(Power(I2(0), I2(-1))), 11);
}

TEST_F(Operators, NullPropagatesThroughArithmetic) {
  Operator operators[] = {Add, Subtract, Multiply, Divide, IntegerDivide, Modulo, Power};
  for (Operator apply : operators) {
    EXPECT_TRUE(apply(Variant::Null(), I4(1)).value().IsNull());
    EXPECT_TRUE(apply(I4(0), Variant::Null()).value().IsNull());  // even where 1/0 would fail
  }
  EXPECT_TRUE(Negate(Variant::Null()).value().IsNull());
}

TEST_F(Operators, ConcatenationTreatsNullAndEmptyAsEmptyText) {
  EXPECT_EQ(Concatenate(S(u"a"), Variant::Null()).value().StringView(), u"a");
  EXPECT_EQ(Concatenate(Variant(), I4(5)).value().StringView(), u"5");
  EXPECT_EQ(Concatenate(B(true), R8(1.5)).value().StringView(), u"True1.5");
  EXPECT_TRUE(Concatenate(Variant::Null(), Variant::Null()).value().IsNull());
  EXPECT_EQ(ErrorOf(Concatenate(Variant::FromError(E_FAIL), S(u"x"))), 13);
  // An object is its default value: a field that reads Null joins as "".
  FakeDispatch null_field(Variant::Null());
  FakeDispatch text_field(Variant::FromString(u"b"));
  EXPECT_EQ(Concatenate(Variant::FromDispatch(&null_field), S(u"a")).value().StringView(), u"a");
  EXPECT_EQ(Concatenate(S(u"a"), Variant::FromDispatch(&text_field)).value().StringView(), u"ab");
  EXPECT_TRUE(Concatenate(Variant::FromDispatch(&null_field), Variant::Null()).value().IsNull());
}

TEST_F(Operators, NegationKeepsTypesAndWidensAtTheEdge) {
  ExpectTyped({"-integer min widens", [](const VARIANT& v, const VARIANT&) { return Negate(v); },
               I2(-32768), Variant(), VT_I4, 32768});
  ExpectTyped({"-long min widens", [](const VARIANT& v, const VARIANT&) { return Negate(v); },
               I4(INT32_MIN), Variant(), VT_R8, 2147483648.0});
  ExpectTyped({"-True is 1", [](const VARIANT& v, const VARIANT&) { return Negate(v); }, B(true),
               Variant(), VT_I2, 1});
  ExpectTyped({"-string is double", [](const VARIANT& v, const VARIANT&) { return Negate(v); },
               S(u"2"), Variant(), VT_R8, -2});
  EXPECT_EQ(ErrorOf(Negate(Variant::FromCurrency(CY{INT64_MIN}))), 6);
}

TEST_F(Operators, NotIsBitwiseOnIntegers) {
  EXPECT_EQ(Not(B(true)).value().Type(), VT_BOOL);
  EXPECT_EQ(Not(B(true)).value().boolVal, 0);
  EXPECT_EQ(Not(I2(1)).value().iVal, -2);  // which counts as true
  EXPECT_EQ(Not(Variant()).value().iVal, -1);
  EXPECT_EQ(Not(U1(0)).value().bVal, 255);
  EXPECT_EQ(Not(R8(2.5)).value().lVal, -3);  // 2.5 rounds to 2
  EXPECT_TRUE(Not(Variant::Null()).value().IsNull());
}

TEST_F(Operators, LogicalOperatorsOnBooleansAndIntegers) {
  EXPECT_EQ(And(B(true), B(false)).value().Type(), VT_BOOL);
  EXPECT_EQ(And(I2(12), I2(10)).value().iVal, 8);
  EXPECT_EQ(Or(I2(12), I4(3)).value().lVal, 15);
  EXPECT_EQ(Xor(I2(12), I2(10)).value().iVal, 6);
  EXPECT_EQ(Eqv(B(true), B(true)).value().boolVal, -1);
  EXPECT_EQ(Imp(B(true), B(false)).value().boolVal, 0);
  EXPECT_EQ(And(S(u"True"), B(true)).value().Type(), VT_BOOL);
  EXPECT_EQ(ErrorOf(And(S(u"maybe"), B(true))), 13);
}

TEST_F(Operators, ThreeValuedLogicWithNull) {
  Variant null = Variant::Null();
  EXPECT_EQ(And(null, B(false)).value().boolVal, 0);
  EXPECT_TRUE(And(null, B(true)).value().IsNull());
  EXPECT_EQ(Or(null, B(true)).value().boolVal, -1);
  EXPECT_TRUE(Or(null, B(false)).value().IsNull());
  EXPECT_TRUE(Xor(null, B(true)).value().IsNull());
  EXPECT_TRUE(Eqv(B(false), null).value().IsNull());
  EXPECT_EQ(Imp(B(false), null).value().boolVal, -1);
  EXPECT_TRUE(Imp(B(true), null).value().IsNull());
  EXPECT_EQ(Imp(null, B(true)).value().boolVal, -1);
  EXPECT_TRUE(Imp(null, B(false)).value().IsNull());
}

TEST_F(Operators, ByReferenceOperandsAreRead) {
  Variant target = I4(20);
  Variant reference = Variant::RefTo(&target);
  EXPECT_EQ(Add(reference, I4(1)).value().lVal, 21);
  EXPECT_EQ(Compare(reference, I4(20)).value(), Comparison::Equal);
}
