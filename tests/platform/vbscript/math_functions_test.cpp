// The math functions: Abs and Sgn, the Double functions, RGB, and the random-number generator,
// whose sequence must match the platform's for the same seeds.

#include <limits>

#include "tests/platform/vbscript/builtin_test_support.h"

namespace {

using namespace builtin_test;

class MathFunctions : public BuiltinTest {};

TEST_F(MathFunctions, AbsKeepsTheTypeAndWidensAtTheEdge) {
  Expect({
      {u"Abs", {I(-5)}, "Integer 5"},
      {u"Abs", {I(-32768)}, "Long 32768"},
      {u"Abs", {L(-70000)}, "Long 70000"},
      {u"Abs", {L(std::numeric_limits<int32_t>::min())}, "Double 2147483648"},
      {u"Abs", {D(-2.5)}, "Double 2.5"},
      {u"Abs", {F(-1.5f)}, "Single 1.5"},
      {u"Abs", {Cur(-15000)}, "Currency 1.5"},
      {u"Abs", {B(true)}, "Integer 1"},
      {u"Abs", {Empty()}, "Integer 0"},
      {u"Abs", {S(u"-3")}, "Double 3"},
      {u"Abs", {Null()}, "Null"},
      {u"Abs", {S(u"x")}, "Error 13"},
      {u"Abs", {Cur(std::numeric_limits<int64_t>::min())}, "Error 6"},
  });
}

TEST_F(MathFunctions, SgnGivesTheSignAsAnInteger) {
  Expect({
      {u"Sgn", {D(-2.5)}, "Integer -1"},
      {u"Sgn", {I(0)}, "Integer 0"},
      {u"Sgn", {S(u"7")}, "Integer 1"},
      {u"Sgn", {Empty()}, "Integer 0"},
      {u"Sgn", {Null()}, "Error 94"},
  });
}

TEST_F(MathFunctions, DoubleFunctionsCheckTheirDomain) {
  Expect({
      {u"Sqr", {I(4)}, "Double 2"},
      {u"Sqr", {I(0)}, "Double 0"},
      {u"Sqr", {I(-1)}, "Error 5"},
      {u"Log", {I(1)}, "Double 0"},
      {u"Log", {I(0)}, "Error 5"},
      {u"Log", {I(-1)}, "Error 5"},
      {u"Exp", {I(0)}, "Double 1"},
      {u"Exp", {I(1000)}, "Error 6"},
      {u"Exp", {I(-1000)}, "Double 0"},
      {u"Atn", {I(1)}, "Double 0.785398163397448"},
      {u"Cos", {I(0)}, "Double 1"},
      {u"Sin", {I(0)}, "Double 0"},
      {u"Tan", {I(0)}, "Double 0"},
      {u"Sqr", {S(u"2.25")}, "Double 1.5"},
      {u"Sqr", {Null()}, "Error 94"},
      {u"Cos", {S(u"abc")}, "Error 13"},
  });
}

TEST_F(MathFunctions, RgbPacksRedLowestAndClampsAt255) {
  Expect({
      {u"RGB", {I(255), I(0), I(0)}, "Long 255"},
      {u"RGB", {I(0), I(0), I(255)}, "Long 16711680"},
      {u"RGB", {I(1), I(2), I(3)}, "Long 197121"},
      {u"RGB", {I(300), I(0), I(0)}, "Long 255"},
      {u"RGB", {I(-1), I(0), I(0)}, "Error 5"},
  });
}

TEST_F(MathFunctions, RndFollowsThePlatformSequenceFromTheInitialSeed) {
  Expect({
      {u"Rnd", {}, "Single 0.7055475"},
      {u"Rnd", {}, "Single 0.533424"},
      {u"Rnd", {I(1)}, "Single 0.5795186"},
      {u"Rnd", {I(0)}, "Single 0.5795186"},
  });
}

TEST_F(MathFunctions, RndOfANegativeNumberRestartsTheSequence) {
  Expect({
      {u"Rnd", {I(-1)}, "Single 0.224007"},
      {u"Rnd", {I(-1)}, "Single 0.224007"},
  });
  EXPECT_EQ(Text(u"Rnd", {D(-2)}), Text(u"Rnd", {D(-2)}));
  EXPECT_NE(Text(u"Rnd", {D(-1)}), Text(u"Rnd", {D(-2)}));
}

TEST_F(MathFunctions, RandomizeWithANumberGivesARepeatableSequence) {
  ASSERT_TRUE(Run(u"Rnd", {I(-1)}).ok());
  ASSERT_TRUE(Run(u"Randomize", {I(10)}).ok());
  std::string first = Text(u"Rnd");
  std::string second = Text(u"Rnd");
  EXPECT_EQ(first, "Single 0.1436949");
  ASSERT_TRUE(Run(u"Rnd", {I(-1)}).ok());
  ASSERT_TRUE(Run(u"Randomize", {D(10)}).ok());
  EXPECT_EQ(Text(u"Rnd"), first);
  EXPECT_EQ(Text(u"Rnd"), second);
}

TEST_F(MathFunctions, RandomizeOfZeroKeepsOnlyTheSeedsLowByte) {
  ASSERT_TRUE(Run(u"Randomize", {I(0)}).ok());  // the initial seed 0x50000 has a zero low byte
  EXPECT_EQ(Text(u"Rnd"), "Single 0.7641413");
}

TEST_F(MathFunctions, RandomValuesStayInTheUnitInterval) {
  ASSERT_TRUE(Run(u"Randomize").ok());
  for (int i = 0; i < 1000; ++i) {
    Result<Variant> value = Run(u"Rnd");
    ASSERT_TRUE(value.ok());
    ASSERT_EQ(value.value().vt, VT_R4);
    EXPECT_GE(value.value().fltVal, 0.0f);
    EXPECT_LT(value.value().fltVal, 1.0f);
  }
  EXPECT_EQ(Text(u"Randomize", {Null()}), "Error 94");
}

TEST_F(MathFunctions, EachEngineStateHasItsOwnSequence) {
  BuiltinState other;
  ASSERT_TRUE(Run(u"Rnd").ok());
  EXPECT_EQ(Describe(Call(other, u"Rnd", {})), "Single 0.7055475");
}

}  // namespace
