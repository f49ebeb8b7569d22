// The function table and the constants, the reading of omitted arguments, and the families
// that inspect values, build arrays, format numbers and dates, and name the engine and locale.

#include <limits>
#include <random>
#include <set>

#include "platform/automation/date_time.h"
#include "platform/automation/text_case.h"
#include "tests/platform/vbscript/builtin_test_support.h"

namespace {

using namespace builtin_test;

// ---- The tables ----

TEST(BuiltinTable, NamesAreUniqueIgnoringCaseAcrossFunctionsAndConstants) {
  std::set<std::u16string> names;
  for (const BuiltinEntry& entry : BuiltinFunctions()) {
    SCOPED_TRACE(Utf8(entry.name));
    EXPECT_TRUE(names.insert(ToUpper(entry.name)).second);
    EXPECT_NE(entry.function, nullptr);
    EXPECT_LE(entry.min_arguments, entry.max_arguments);
  }
  for (const BuiltinConstant& constant : BuiltinConstants()) {
    SCOPED_TRACE(Utf8(constant.name));
    EXPECT_TRUE(names.insert(ToUpper(constant.name)).second);
  }
}

TEST(BuiltinTable, LookupIgnoresCaseAndLeavesEngineFunctionsOut) {
  const BuiltinEntry* left = FindBuiltin(u"Left");
  ASSERT_NE(left, nullptr);
  EXPECT_EQ(FindBuiltin(u"LEFT"), left);
  EXPECT_EQ(FindBuiltin(u"left"), left);
  EXPECT_EQ(FindBuiltin(u"Lef"), nullptr);
  for (std::u16string_view engine : {u"Eval", u"Execute", u"ExecuteGlobal", u"GetRef", u"CreateObject", u"GetObject"}) {
    SCOPED_TRACE(Utf8(engine));
    EXPECT_EQ(FindBuiltin(engine), nullptr);
  }
  EXPECT_NE(FindBuiltinConstant(u"VBCRLF"), nullptr);
  EXPECT_EQ(FindBuiltinConstant(u"True"), nullptr);
  EXPECT_EQ(FindBuiltinConstant(u"Nothing"), nullptr);
}

TEST(BuiltinTable, TheLibraryIsComplete) {
  for (std::u16string_view name :
       {u"CBool", u"Hex", u"Round", u"AscW", u"ChrB", u"InStrRev", u"Filter", u"Escape", u"MidB",
        u"Randomize", u"Timer", u"DatePart", u"WeekdayName", u"FormatPercent", u"VarType", u"UBound",
        u"ScriptEngineBuildVersion", u"SetLocale", u"InputBox", u"RGB"}) {
    SCOPED_TRACE(Utf8(name));
    EXPECT_NE(FindBuiltin(name), nullptr);
  }
}

TEST(BuiltinConstants, ValuesAndTypes) {
  const std::vector<std::pair<std::u16string_view, std::string>> expected = {
      {u"vbCrLf", "String \"\r\n\""},      {u"vbNewLine", "String \"\r\n\""},
      {u"vbTab", "String \"\t\""},         {u"vbVerticalTab", "String \"\v\""},
      {u"vbFormFeed", "String \"\f\""},    {u"vbBack", "String \"\b\""},
      {u"vbTextCompare", "Integer 1"},     {u"vbSaturday", "Integer 7"},
      {u"vbFirstFourDays", "Integer 2"},   {u"vbShortTime", "Integer 4"},
      {u"vbUseDefault", "Integer -2"},     {u"vbTrue", "Integer -1"},
      {u"vbByte", "Integer 17"},           {u"vbArray", "Integer 8192"},
      {u"vbDefaultButton4", "Integer 768"}, {u"vbSystemModal", "Integer 4096"},
      {u"vbNo", "Integer 7"},              {u"vbObjectError", "Long -2147221504"},
      {u"vbRed", "Long 255"},              {u"vbBlue", "Long 16711680"},
      {u"vbWhite", "Long 16777215"},       {u"vbGreen", "Long 65280"},
      {u"vbBlack", "Long 0"},
  };
  for (const auto& [name, description] : expected) {
    SCOPED_TRACE(Utf8(name));
    const BuiltinConstant* constant = FindBuiltinConstant(name);
    ASSERT_NE(constant, nullptr);
    EXPECT_EQ(DescribeValue(constant->Value()), description);
  }
}

TEST(BuiltinConstants, NullCharAndNullString) {
  Variant nul = FindBuiltinConstant(u"vbNullChar")->Value();
  EXPECT_EQ(nul.StringView(), std::u16string_view(u"\0", 1));
  Variant null_string = FindBuiltinConstant(u"vbNullString")->Value();
  EXPECT_EQ(null_string.vt, VT_BSTR);
  EXPECT_EQ(null_string.bstrVal, nullptr);  // the null string, equal to ""
}

// ---- Omitted arguments ----

TEST(BuiltinCallArguments, HasTellsPresentFromAbsentAndMissing) {
  Variant missing = Missing();
  const std::vector<Variant> owned = {L(1), Missing(), Variant::RefTo(&missing), S(u"")};
  std::vector<VARIANT> arguments(owned.begin(), owned.end());
  BuiltinState state;
  BuiltinCall call{arguments, state};
  EXPECT_TRUE(call.Has(0));
  EXPECT_FALSE(call.Has(1));
  EXPECT_FALSE(call.Has(2));
  EXPECT_TRUE(call.Has(3));
  EXPECT_FALSE(call.Has(4));
}

// Every function, called with random mixes of awkward values (extremes, NaN, Null, Missing,
// arrays, objects, Nothing), must give a value or a clean error; the sanitizers catch the rest.
TEST(BuiltinCallArguments, EveryFunctionSurvivesHostileArguments) {
  ASSERT_TRUE(SetThreadLocale(1033));
  FakeDispatch object(S(u"12"));
  FakeDispatch failing(Empty());
  failing.FailWith(DISP_E_MEMBERNOTFOUND);
  Variant text = S(u"abc");
  SAFEARRAYBOUND bounds[2] = {{2, 1}, {2, 0}};
  const std::vector<Variant> pool = {
      Empty(), Null(), Missing(), I(-32768), I(0), I(1), I(7), L(-2147483647 - 1), L(2147483647),
      D(1e308), D(-1e308), D(0.5), D(std::numeric_limits<double>::quiet_NaN()),
      D(std::numeric_limits<double>::infinity()), F(-1.5f), Cur(std::numeric_limits<int64_t>::min()),
      Cur(std::numeric_limits<int64_t>::max()), Dt(kMinDate), Dt(kMaxDate), B(true), S(u""), S(u"abc"),
      S(u"yyyy"), S(u"ww"), S(u"1/31/2024"), S(u"%u12%zz"), S(std::u16string(1, char16_t{0xD800})), Variant::RefTo(&text),
      Variant::FromDispatch(&object), Variant::FromDispatch(&failing), Variant::FromDispatch(nullptr),
      Variant::FromArray(VT_VARIANT, SafeArrayCreateVector(VT_VARIANT, 0, 3)),
      Variant::FromArray(VT_VARIANT, SafeArrayCreate(VT_VARIANT, 2, bounds)),
      Variant::FromArray(VT_VARIANT, nullptr)};
  std::mt19937 random(2024);
  BuiltinState state;
  for (const BuiltinEntry& entry : BuiltinFunctions()) {
    SCOPED_TRACE(Utf8(entry.name));
    const size_t most = std::min<size_t>(entry.max_arguments, entry.min_arguments + 3);
    for (int round = 0; round < 300; ++round) {
      std::vector<Variant> arguments;
      const size_t count = entry.min_arguments + random() % (most - entry.min_arguments + 1);
      for (size_t i = 0; i < count; ++i) arguments.push_back(pool[random() % pool.size()]);
      Result<Variant> result = Call(state, entry.name, arguments);
      if (!result.ok()) {
        EXPECT_GT(result.error().Number(), 0);
      }
    }
  }
  SetThreadLocale(0);
}

class InspectionFunctions : public BuiltinTest {};

TEST_F(InspectionFunctions, TypeNamesOfEverySubtype) {
  Result<Variant> array = Run(u"Array", {I(1)});
  ASSERT_TRUE(array.ok());
  SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 1);
  Variant string_array = Variant::FromArray(VT_BSTR, strings);
  Expect({
      {u"TypeName", {Empty()}, "String \"Empty\""},
      {u"TypeName", {Null()}, "String \"Null\""},
      {u"TypeName", {I(1)}, "String \"Integer\""},
      {u"TypeName", {L(1)}, "String \"Long\""},
      {u"TypeName", {F(1)}, "String \"Single\""},
      {u"TypeName", {D(1)}, "String \"Double\""},
      {u"TypeName", {Cur(1)}, "String \"Currency\""},
      {u"TypeName", {Dt(1)}, "String \"Date\""},
      {u"TypeName", {S(u"")}, "String \"String\""},
      {u"TypeName", {B(true)}, "String \"Boolean\""},
      {u"TypeName", {Variant::FromByte(1)}, "String \"Byte\""},
      {u"TypeName", {Variant::FromError(DISP_E_TYPEMISMATCH)}, "String \"Error\""},
      {u"TypeName", {array.value()}, "String \"Variant()\""},
      {u"TypeName", {string_array}, "String \"String()\""},
      {u"TypeName", {Variant::FromDispatch(nullptr)}, "String \"Nothing\""},
  });
}

TEST_F(InspectionFunctions, TypeNameOfAnObjectIsItsClassNotItsValue) {
  NamedFakeDispatch dictionary(S(u"text"), u"Dictionary");
  FakeDispatch plain(S(u"text"));
  Expect({
      {u"TypeName", {Variant::FromDispatch(&dictionary)}, "String \"Dictionary\""},
      {u"TypeName", {Variant::FromDispatch(&plain)}, "String \"Object\""},
  });
  EXPECT_EQ(plain.calls(), 0);
}

TEST_F(InspectionFunctions, VarTypeGivesTheSubtypeCode) {
  Result<Variant> array = Run(u"Array");
  ASSERT_TRUE(array.ok());
  Variant text = S(u"x");
  Expect({
      {u"VarType", {Empty()}, "Integer 0"},
      {u"VarType", {Null()}, "Integer 1"},
      {u"VarType", {I(1)}, "Integer 2"},
      {u"VarType", {L(1)}, "Integer 3"},
      {u"VarType", {D(1)}, "Integer 5"},
      {u"VarType", {Cur(1)}, "Integer 6"},
      {u"VarType", {Dt(1)}, "Integer 7"},
      {u"VarType", {S(u"")}, "Integer 8"},
      {u"VarType", {B(false)}, "Integer 11"},
      {u"VarType", {Variant::FromByte(1)}, "Integer 17"},
      {u"VarType", {array.value()}, "Integer 8204"},
      {u"VarType", {Variant::RefTo(&text)}, "Integer 8"},
      {u"VarType", {Variant::FromDispatch(nullptr)}, "Integer 9"},
  });
}

TEST_F(InspectionFunctions, ObjectsCountByTheirDefaultValue) {
  FakeDispatch null_field(Null());
  FakeDispatch empty_field(Empty());
  FakeDispatch number_field(S(u"12"));
  FakeDispatch no_default(Empty());
  no_default.FailWith(DISP_E_MEMBERNOTFOUND);
  Expect({
      {u"VarType", {Variant::FromDispatch(&null_field)}, "Integer 1"},
      {u"IsNull", {Variant::FromDispatch(&null_field)}, "Boolean True"},
      {u"IsEmpty", {Variant::FromDispatch(&empty_field)}, "Boolean True"},
      {u"IsNumeric", {Variant::FromDispatch(&number_field)}, "Boolean True"},
      {u"VarType", {Variant::FromDispatch(&no_default)}, "Integer 9"},
      {u"IsNull", {Variant::FromDispatch(&no_default)}, "Boolean False"},
      {u"IsNumeric", {Variant::FromDispatch(&no_default)}, "Boolean False"},
      {u"IsObject", {Variant::FromDispatch(&null_field)}, "Boolean True"},
  });
}

TEST_F(InspectionFunctions, IsFunctions) {
  Result<Variant> array = Run(u"Array");
  ASSERT_TRUE(array.ok());
  Variant null_value = Null();
  Expect({
      {u"IsArray", {array.value()}, "Boolean True"},
      {u"IsArray", {S(u"a")}, "Boolean False"},
      {u"IsEmpty", {Empty()}, "Boolean True"},
      {u"IsEmpty", {Null()}, "Boolean False"},
      {u"IsEmpty", {S(u"")}, "Boolean False"},
      {u"IsNull", {Null()}, "Boolean True"},
      {u"IsNull", {Variant::RefTo(&null_value)}, "Boolean True"},
      {u"IsNull", {Empty()}, "Boolean False"},
      {u"IsNumeric", {S(u"12.5")}, "Boolean True"},
      {u"IsNumeric", {S(u" &HFF ")}, "Boolean True"},
      {u"IsNumeric", {S(u"abc")}, "Boolean False"},
      {u"IsNumeric", {Empty()}, "Boolean True"},
      {u"IsNumeric", {Null()}, "Boolean False"},
      {u"IsNumeric", {Dt(1)}, "Boolean False"},
      {u"IsObject", {Variant::FromDispatch(nullptr)}, "Boolean True"},
      {u"IsObject", {I(1)}, "Boolean False"},
  });
}

TEST_F(InspectionFunctions, ArrayCollectsItsArgumentsByValue) {
  Variant target = S(u"by reference");
  Expect({
      {u"Array", {I(1), S(u"a"), Null()}, "Variant(Integer 1, String \"a\", Null)"},
      {u"Array", {}, "Variant()"},
      {u"Array", {Variant::RefTo(&target)}, "Variant(String \"by reference\")"},
  });
  Result<Variant> array = Run(u"Array", {Variant::RefTo(&target)});
  ASSERT_TRUE(array.ok());
  target = S(u"changed");
  EXPECT_EQ(DescribeValue(array.value()), "Variant(String \"by reference\")");
}

TEST_F(InspectionFunctions, BoundsOfArraysAndTheirDimensions) {
  Result<Variant> pair = Run(u"Array", {I(1), I(2)});
  Result<Variant> none = Run(u"Array");
  ASSERT_TRUE(pair.ok() && none.ok());
  SAFEARRAYBOUND bounds[2] = {{3, 1}, {2, -5}};
  Variant matrix = Variant::FromArray(VT_VARIANT, SafeArrayCreate(VT_VARIANT, 2, bounds));
  Variant undimensioned = Variant::FromArray(VT_VARIANT, nullptr);
  Expect({
      {u"LBound", {pair.value()}, "Long 0"},
      {u"UBound", {pair.value()}, "Long 1"},
      {u"UBound", {none.value()}, "Long -1"},
      {u"LBound", {matrix}, "Long 1"},
      {u"UBound", {matrix, I(1)}, "Long 3"},
      {u"LBound", {matrix, I(2)}, "Long -5"},
      {u"UBound", {matrix, I(2)}, "Long -4"},
      {u"UBound", {matrix, I(3)}, "Error 9"},
      {u"UBound", {pair.value(), I(0)}, "Error 9"},
      {u"UBound", {undimensioned}, "Error 9"},
      {u"UBound", {S(u"x")}, "Error 13"},
      {u"LBound", {Null()}, "Error 13"},
  });
}

TEST_F(InspectionFunctions, EngineIdentity) {
  Expect({
      {u"ScriptEngine", {}, "String \"VBScript\""},
      {u"ScriptEngineMajorVersion", {}, "Integer 5"},
      {u"ScriptEngineMinorVersion", {}, "Integer 8"},
      {u"ScriptEngineBuildVersion", {}, "Long 16384"},
  });
}

TEST_F(InspectionFunctions, SetLocaleTakesIdsAndNamesAndReturnsThePrevious) {
  Expect({
      {u"GetLocale", {}, "Long 1033"},
      {u"SetLocale", {I(1031)}, "Long 1033"},
      {u"GetLocale", {}, "Long 1031"},
      {u"SetLocale", {S(u"en-gb")}, "Long 1031"},
      {u"SetLocale", {S(u"fr")}, "Long 2057"},
      {u"SetLocale", {S(u"1031")}, "Long 1036"},
      {u"GetLocale", {}, "Long 1031"},
      {u"SetLocale", {S(u"xx-yy")}, "Error 5"},
      {u"SetLocale", {S(u"de-XX")}, "Error 5"},
      {u"SetLocale", {L(12345)}, "Error 5"},
      {u"SetLocale", {S(u"")}, "Error 5"},
      {u"GetLocale", {}, "Long 1031"},
  });
}

TEST_F(InspectionFunctions, DialogsAreRefusedOnAServer) {
  Expect({
      {u"MsgBox", {S(u"hello")}, "Error 70"},
      {u"InputBox", {S(u"name?")}, "Error 70"},
      {u"MsgBox", {}, "Error 450"},
  });
}

// ---- Formatting ----

class FormatFunctions : public BuiltinTest {};

TEST_F(FormatFunctions, NumbersWithTheOptionalSwitches) {
  Expect({
      {u"FormatNumber", {D(1234.5)}, "String \"1,234.50\""},
      {u"FormatNumber", {D(1234.5), I(0)}, "String \"1,235\""},
      {u"FormatNumber", {D(0.5), I(2), I(0)}, "String \".50\""},
      {u"FormatNumber", {I(-5), I(2), I(-2), I(-1)}, "String \"(5.00)\""},
      {u"FormatNumber", {D(1234.5), I(2), I(-2), I(-2), I(0)}, "String \"1234.50\""},
      {u"FormatNumber", {D(1234.5), Missing(), Missing(), Missing(), I(0)}, "String \"1234.50\""},
      {u"FormatNumber", {S(u"1234.5"), I(1)}, "String \"1,234.5\""},
      {u"FormatCurrency", {D(1234.5)}, "String \"$1,234.50\""},
      {u"FormatCurrency", {I(-5), I(0)}, "String \"($5)\""},
      {u"FormatPercent", {D(0.25)}, "String \"25.00%\""},
      {u"FormatPercent", {D(0.125), I(1)}, "String \"12.5%\""},
  });
}

TEST_F(FormatFunctions, RefuseBadSwitchesNullAndText) {
  Expect({
      {u"FormatNumber", {I(1), I(2), I(5)}, "Error 5"},
      {u"FormatNumber", {I(1), I(-2)}, "Error 5"},
      {u"FormatNumber", {Null()}, "Error 13"},
      {u"FormatDateTime", {Null()}, "Error 13"},
      {u"FormatPercent", {D(0.1), I(0), Null()}, "Error 94"},
      {u"FormatNumber", {S(u"abc")}, "Error 13"},
      {u"FormatCurrency", {I(1), Null()}, "Error 94"},
  });
}

TEST_F(FormatFunctions, DatesInTheNamedFormats) {
  const Variant evening = S(u"1/31/2024 18:00");
  Expect({
      {u"FormatDateTime", {evening}, "String \"1/31/2024 6:00:00 PM\""},
      {u"FormatDateTime", {evening, I(1)}, "String \"Wednesday, January 31, 2024\""},
      {u"FormatDateTime", {evening, I(2)}, "String \"1/31/2024\""},
      {u"FormatDateTime", {evening, I(3)}, "String \"6:00:00 PM\""},
      {u"FormatDateTime", {evening, I(4)}, "String \"18:00\""},
      {u"FormatDateTime", {evening, I(5)}, "Error 5"},
      {u"FormatDateTime", {S(u"abc")}, "Error 13"},
  });
}

TEST_F(FormatFunctions, GermanSeparatorsAndNames) {
  UseLocale(1031);
  Expect({
      {u"FormatNumber", {D(1234.5)}, "String \"1.234,50\""},
      {u"FormatCurrency", {D(1234.5)}, "String \"1.234,50 \u20AC\""},
      {u"FormatDateTime", {Dt(45322.75), I(1)}, "String \"Mittwoch, 31. Januar 2024\""},
      {u"CDbl", {S(u"1,5")}, "Double 1,5"},
      {u"Len", {D(1.5)}, "Long 3"},
  });
}

}  // namespace
