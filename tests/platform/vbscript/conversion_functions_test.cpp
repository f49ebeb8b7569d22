// The conversion functions: casts, Hex and Oct, Int, Fix and Round, and character codes.

#include <limits>

#include "tests/platform/vbscript/builtin_test_support.h"

namespace {

using namespace builtin_test;

class ConversionFunctions : public BuiltinTest {};

TEST_F(ConversionFunctions, CastsRoundHalfToEvenAndCheckRanges) {
  Expect({
      {u"CInt", {D(2.5)}, "Integer 2"},
      {u"CInt", {D(3.5)}, "Integer 4"},
      {u"CInt", {D(-2.5)}, "Integer -2"},
      {u"CInt", {L(32768)}, "Error 6"},
      {u"CLng", {S(u"12")}, "Long 12"},
      {u"CLng", {D(2147483647.5)}, "Error 6"},
      {u"CByte", {D(254.5)}, "Byte 254"},
      {u"CByte", {D(255.5)}, "Error 6"},
      {u"CByte", {I(-1)}, "Error 6"},
      {u"CDbl", {S(u"1.5")}, "Double 1.5"},
      {u"CSng", {D(1.5)}, "Single 1.5"},
      {u"CCur", {D(1.23456)}, "Currency 1.2346"},
      {u"CBool", {S(u"True")}, "Boolean True"},
      {u"CBool", {I(0)}, "Boolean False"},
      {u"CBool", {D(0.1)}, "Boolean True"},
      {u"CDate", {S(u"1/31/2024")}, "Date 1/31/2024"},
      {u"CStr", {D(1.5)}, "String \"1.5\""},
      {u"CStr", {B(true)}, "String \"True\""},
      {u"CStr", {Empty()}, "String \"\""},
      {u"CInt", {Empty()}, "Integer 0"},
  });
}

TEST_F(ConversionFunctions, CastsRefuseNullAndText) {
  Expect({
      {u"CStr", {Null()}, "Error 94"},
      {u"CInt", {Null()}, "Error 94"},
      {u"CDate", {Null()}, "Error 94"},
      {u"CInt", {S(u"abc")}, "Error 13"},
      {u"CBool", {S(u"maybe")}, "Error 13"},
      {u"CDate", {S(u"not a date")}, "Error 13"},
  });
}

TEST_F(ConversionFunctions, CastsReadReferences) {
  Variant target = S(u"42");
  Expect({{u"CLng", {Variant::RefTo(&target)}, "Long 42"}});
}

TEST_F(ConversionFunctions, HexAndOctUseTheTwosComplementOfTheArgumentsType) {
  Expect({
      {u"Hex", {L(255)}, "String \"FF\""},
      {u"Hex", {I(-1)}, "String \"FFFF\""},
      {u"Hex", {L(-1)}, "String \"FFFFFFFF\""},
      {u"Hex", {L(-32769)}, "String \"FFFF7FFF\""},
      {u"Hex", {B(true)}, "String \"FFFF\""},
      {u"Hex", {D(10.5)}, "String \"A\""},
      {u"Hex", {D(11.5)}, "String \"C\""},
      {u"Hex", {Empty()}, "String \"0\""},
      {u"Hex", {Null()}, "Null"},
      {u"Hex", {S(u"&H10")}, "String \"10\""},
      {u"Hex", {D(4294967296.0)}, "Error 6"},
      {u"Hex", {S(u"abc")}, "Error 13"},
      {u"Oct", {L(8)}, "String \"10\""},
      {u"Oct", {I(-1)}, "String \"177777\""},
      {u"Oct", {L(-1)}, "String \"37777777777\""},
      {u"Oct", {Null()}, "Null"},
  });
}

TEST_F(ConversionFunctions, IntRoundsDownAndFixTowardZeroKeepingTheType) {
  Expect({
      {u"Int", {D(-2.5)}, "Double -3"},
      {u"Fix", {D(-2.5)}, "Double -2"},
      {u"Int", {D(2.5)}, "Double 2"},
      {u"Fix", {D(2.99)}, "Double 2"},
      {u"Int", {F(-1.5f)}, "Single -2"},
      {u"Int", {Cur(-25000)}, "Currency -3"},
      {u"Fix", {Cur(-25000)}, "Currency -2"},
      {u"Int", {Cur(30000)}, "Currency 3"},
      {u"Int", {I(5)}, "Integer 5"},
      {u"Int", {L(70000)}, "Long 70000"},
      {u"Int", {B(true)}, "Integer -1"},
      {u"Int", {Empty()}, "Integer 0"},
      {u"Int", {S(u"2.7")}, "Double 2"},
      {u"Int", {Dt(45322.75)}, "Date 1/31/2024"},
      {u"Int", {Null()}, "Null"},
      {u"Fix", {Null()}, "Null"},
      {u"Int", {S(u"abc")}, "Error 13"},
  });
}

TEST_F(ConversionFunctions, IntOfTheMostNegativeCurrencyOverflows) {
  EXPECT_EQ(Text(u"Int", {Cur(std::numeric_limits<int64_t>::min())}), "Error 6");
  EXPECT_EQ(Text(u"Fix", {Cur(std::numeric_limits<int64_t>::min())}), "Currency -922337203685477");
}

TEST_F(ConversionFunctions, RoundIsHalfToEvenOnTheStoredBinaryValue) {
  Expect({
      {u"Round", {D(2.5)}, "Double 2"},
      {u"Round", {D(3.5)}, "Double 4"},
      {u"Round", {D(-2.5)}, "Double -2"},
      {u"Round", {D(3.14159), I(2)}, "Double 3.14"},
      {u"Round", {D(0.125), I(2)}, "Double 0.12"},
      {u"Round", {D(0.375), I(2)}, "Double 0.38"},
      {u"Round", {D(2.675), I(2)}, "Double 2.67"},  // 2.675 is stored as 2.67499999...
      {u"Round", {D(2.345), I(2)}, "Double 2.35"},  // but 2.345 as 2.34500000...02
      {u"Round", {D(1.005), I(2)}, "Double 1"},
      {u"Round", {D(-0.4)}, "Double 0"},
      {u"Round", {D(0.5)}, "Double 0"},
      {u"Round", {D(1e300), I(2)}, "Double 1E+300"},
      {u"Round", {D(0.1), L(5000)}, "Double 0.1"},
      {u"Round", {D(1.5), Missing()}, "Double 2"},
      {u"Round", {F(2.5f)}, "Single 2"},
      {u"Round", {S(u"2.5")}, "Double 2"},
      {u"Round", {I(7), I(2)}, "Integer 7"},
      {u"Round", {B(true)}, "Boolean True"},
      {u"Round", {Null()}, "Null"},
      {u"Round", {D(1.5), I(-1)}, "Error 5"},
      {u"Round", {D(1.5), Null()}, "Error 94"},
  });
}

TEST_F(ConversionFunctions, RoundOfCurrencyIsExact) {
  Expect({
      {u"Round", {Cur(25000)}, "Currency 2"},
      {u"Round", {Cur(35000)}, "Currency 4"},
      {u"Round", {Cur(-25000)}, "Currency -2"},
      {u"Round", {Cur(12345), I(3)}, "Currency 1.234"},
      {u"Round", {Cur(12355), I(3)}, "Currency 1.236"},
      {u"Round", {Cur(12345), I(4)}, "Currency 1.2345"},
      {u"Round", {Cur(std::numeric_limits<int64_t>::max())}, "Error 6"},
  });
}

TEST_F(ConversionFunctions, AscGivesTheAnsiCodeOfTheFirstCharacter) {
  Expect({
      {u"Asc", {S(u"A")}, "Integer 65"},
      {u"Asc", {S(u"abc")}, "Integer 97"},
      {u"Asc", {S(u"\u20AC")}, "Integer 128"},
      {u"Asc", {S(u"\u00E9")}, "Integer 233"},
      {u"Asc", {S(u"\u4E2D")}, "Integer 63"},
      {u"Asc", {L(65)}, "Integer 54"},
      {u"Asc", {S(u"")}, "Error 5"},
      {u"Asc", {Empty()}, "Error 5"},
      {u"Asc", {Null()}, "Error 94"},
      {u"AscW", {S(u"\u20AC")}, "Integer 8364"},
      {u"AscW", {S(u"\uFFFF")}, "Integer -1"},
      {u"AscW", {S(u"")}, "Error 5"},
      {u"AscB", {S(u"A")}, "Byte 65"},
      {u"AscB", {S(u"\u4142")}, "Byte 66"},
  });
}

TEST_F(ConversionFunctions, ChrReadsTheAnsiCodePageAndChrWTheCodeUnit) {
  Expect({
      {u"Chr", {I(65)}, "String \"A\""},
      {u"Chr", {I(128)}, "String \"\u20AC\""},
      {u"Chr", {I(233)}, "String \"\u00E9\""},
      {u"Chr", {D(65.4)}, "String \"A\""},
      {u"Chr", {I(256)}, "Error 5"},
      {u"Chr", {I(-1)}, "Error 5"},
      {u"Chr", {Null()}, "Error 94"},
      {u"ChrW", {I(8364)}, "String \"\u20AC\""},
      {u"ChrW", {L(65535)}, "String \"\uFFFF\""},
      {u"ChrW", {I(-1)}, "String \"\uFFFF\""},
      {u"ChrW", {L(65536)}, "Error 5"},
      {u"ChrW", {L(-32769)}, "Error 5"},
      {u"ChrB", {I(65)}, "String \"A\""},
      {u"ChrB", {I(256)}, "Error 6"},
  });
}

TEST_F(ConversionFunctions, ChrOfZeroIsANulCharacter) {
  Result<Variant> nul = Run(u"Chr", {I(0)});
  ASSERT_TRUE(nul.ok());
  EXPECT_EQ(nul.value().StringView(), std::u16string_view(u"\0", 1));
}

}  // namespace
