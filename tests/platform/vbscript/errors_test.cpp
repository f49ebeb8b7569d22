// Run-time errors: what the site hears (number, text, source, place), On Error Resume Next,
// the Err object, and the numbers of the engine's own errors.
#include <gtest/gtest.h>

#include "tests/platform/vbscript/script_test_site.h"

namespace {

using vbscript_test::ExpectOutputs;
using vbscript_test::RunErrorNumber;
using vbscript_test::ScriptHarness;


TEST(RuntimeErrors, TheSiteHearsNumberTextSourceAndPlace) {
  ScriptHarness harness;
  HRESULT hr = harness.Run("x = 1\nIf x Then\n   y = x / 0\nEnd If");
  EXPECT_EQ(hr, SCRIPT_E_REPORTED);
  ASSERT_EQ(harness.site().errors.size(), 1u);
  const vbscript_test::ReportedErrorRecord& error = harness.last_error();
  EXPECT_EQ(error.scode, static_cast<HRESULT>(0x800A000B));
  EXPECT_EQ(error.description, "Division by zero");
  EXPECT_EQ(error.source, "Microsoft VBScript runtime error");
  EXPECT_EQ(error.line, 2u);
  EXPECT_EQ(error.column, 3);
  EXPECT_EQ(error.line_text, "   y = x / 0");
}

TEST(RuntimeErrors, ErrorsInsideProceduresNameTheirOwnLine) {
  ScriptHarness harness;
  harness.Run("Sub Inner\n Dim a(1)\n a(5) = 1\nEnd Sub\nSub Outer\n Inner\nEnd Sub\nOuter");
  ASSERT_EQ(harness.site().errors.size(), 1u);
  EXPECT_EQ(harness.last_error().number(), 9);
  EXPECT_EQ(harness.last_error().line, 2u);
}

TEST(RuntimeErrors, HostObjectErrorsKeepTheirSourceAndText) {
  ScriptHarness harness;
  harness.Run("Out.Fail 1234");
  ASSERT_EQ(harness.site().errors.size(), 1u);
  EXPECT_EQ(harness.last_error().number(), 1234);
  EXPECT_EQ(harness.last_error().description, "Host failure");
  EXPECT_EQ(harness.last_error().source, "TestHost");
}

TEST(RuntimeErrors, EngineErrorNumbers) {
  struct NumberCase {
    const char* script;
    int32_t number;
  };
  const NumberCase cases[] = {
      {"x = 1 / 0", 11},
      {"x = 0 / 0", 6},
      {"x = 1E308 + 1E308", 6},
      {"x = 1.5\ny = x * 1E308 * 10", 6},
      {"x = 7 \\ 0", 11},
      {"x = 7 Mod 0", 11},
      {"x = \"a\" * 2", 13},
      {"Dim a(1)\na(2) = 0", 9},
      {"Dim a(1)\nx = a(1, 1)", 9},
      {"x = 5\ny = x(1)", 13},
      {"Undefined 1", 13},
      {"Undefined", 13},
      {"Option Explicit\nx = 1", 500},
      {"Option Explicit\nSub S\n y = 1\nEnd Sub\nS", 500},
      {"Set x = 5", 424},
      {"Set x = Nothing\nx.Foo", 424},
      {"Set x = Nothing\nx.Foo = 1", 424},
      {"Set x = Nothing\nSet x.Child = Nothing", 424},
      {"Set x = Nothing\ny = x.Foo", 424},
      {"y = Nothing.Foo", 424},
      {"With Nothing\n .Foo = 1\nEnd With", 424},
      {"x = 5\nx.Foo", 424},
      {"Out.NoSuchMember", 438},
      {"Set o = Items\nx = o", 438},
      {"Set o = Out\nx = o", 450},
      {"x = Nothing", 91},
      {"Sub S(a)\nEnd Sub\nS 1, 2", 450},
      {"Function F(a)\nEnd Function\nx = F()", 450},
      {"For Each x In 5\nNext", 451},
      {"Const C = 1\nC = 2", 501},
      {"Set r = GetRef(\"Nothing_Here\")", 5},
      {"Dim a(1)\nReDim a(2)", 10},
      {"Dim a(1)\nReDim a(\"abc\")", 10},
      {"Dim a(1)\nReDim Preserve a(\"abc\")", 13},
      {"a = Array(1)\nReDim a(\"abc\")", 13},
      {"a = Array(1, 2)\nFor Each x In a\n ReDim a(5)\nNext", 10},
      {"Sub S(v)\n ReDim arr(9)\nEnd Sub\nReDim arr(2)\nS arr(1)", 10},
      {"x = Null\ny = x + \"\"\nz = CLng(x)", 94},
      // Inside Execute and Eval as anywhere: a missing value is the plain syntax error, a
      // missing keyword, name or bracket keeps its own text.
      {"Execute \"x = = 1\"", 1002},
      {"Execute \"x = \"", 1002},
      {"x = Eval(\"1 +\")", 1002},
      {"x = Eval(\"(1\")", 1006},
      {"Execute \"Const c = \"", 1002},
      {"Execute \"Const c = y\"", 1045},
      {"Execute \"Const c\"", 1011},
      {"Execute \"Const = 1\"", 1010},
      {"Execute \"If x Then\"", 1014},
      {"x = Me", 424},
      {"ReDim a(-2)", 9},
      {"x = Len(1, 2)", 450},
      {"s = \"0123456789abcdef\"\nDo\n s = s & s\nLoop", 14},
      {"s = \"0123456789abcdef\"\nDo\n t = s & s\n s = t\nLoop", 14},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(RunErrorNumber(c.script), c.number);
  }
}

TEST(RuntimeErrors, UndefinedNamesAreNamedInTheText) {
  ScriptHarness harness;
  harness.Run("Option Explicit\nDim a\nb = a");
  EXPECT_EQ(harness.last_error().description, "Variable is undefined: 'b'");
  ScriptHarness second;
  second.Run("NoSuchSub 1");
  EXPECT_EQ(second.last_error().description, "Type mismatch: 'NoSuchSub'");
}

TEST(OnError, ResumeNextContinuesWithTheNextStatement) {
  ExpectOutputs({
      {"On Error Resume Next\nx = 1 / 0\nOut.Write \"after \" & Err.Number & \" \" & Err.Description", "after 11 Division by zero"},
      {"On Error Resume Next\nx = 1\nx = 1 / 0\nOut.Write x", "1"},
      {"On Error Resume Next\nOut.Write 1: y = 1 / 0: Out.Write 2", "12"},
      {"On Error Resume Next\nIf 1 / 0 Then\n Out.Write \"then\"\nElse\n Out.Write \"else\"\nEnd If", "then"},
      {"On Error Resume Next\nErr.Raise 5\nOut.Write Err.Number\nErr.Clear\nOut.Write Err.Number", "50"},
      {"On Error Resume Next\nx = 1 / 0\nOn Error Resume Next\nOut.Write Err.Number", "0"},
      {"On Error Resume Next\nx = 1 / 0\nOn Error GoTo 0\nOut.Write Err.Number", "0"},
      {"On Error Resume Next\nx = 1 / 0\nOut.Write Err\nOut.Write \" \" & (Err = 11)", "11 True"},
      {"On Error Resume Next\nFor i = 1 To \"x\"\n Out.Write \"[\" & i & \"]\"\nNext\nOut.Write Err.Number", "[]92"},
  });
}

TEST(OnError, ProceduresWithoutHandlersPassErrorsToTheirCaller) {
  ExpectOutputs({
      {"Sub Inner\n Err.Raise 5\n Out.Write \"no\"\nEnd Sub\nOn Error Resume Next\nInner\nOut.Write Err.Number", "5"},
      {"Sub Inner\n x = 1 / 0\n Out.Write \"no\"\nEnd Sub\nSub Middle\n Inner\n Out.Write \"no\"\nEnd Sub\n"
       "On Error Resume Next\nMiddle\nOut.Write \"caught \" & Err.Number",
       "caught 11"},
      {"Function F\n F = 1\n x = 1 / 0\n F = 2\nEnd Function\nOn Error Resume Next\ny = F()\nOut.Write IsEmpty(y) & Err.Number", "True11"},
      {"Sub Handles\n On Error Resume Next\n x = 1 / 0\n Out.Write \"in \" & Err.Number\nEnd Sub\nHandles\nOut.Write \" out\"", "in 11 out"},
  });
}

TEST(OnError, HandlersDoNotOutliveTheirProcedure) {
  ScriptHarness harness;
  harness.Run("Sub Handles\n On Error Resume Next\nEnd Sub\nHandles\nx = 1 / 0\nOut.Write \"not reached\"");
  EXPECT_EQ(harness.output(), "");
  EXPECT_EQ(harness.last_error().number(), 11);
}

TEST(OnError, GoToZeroRestoresReporting) {
  ScriptHarness harness;
  harness.Run("On Error Resume Next\nx = 1 / 0\nOn Error GoTo 0\nOut.Write \"a\"\ny = 1 / 0\nOut.Write \"b\"");
  EXPECT_EQ(harness.output(), "a");
  EXPECT_EQ(harness.last_error().number(), 11);
  EXPECT_EQ(harness.last_error().line, 4u);
}

TEST(ErrObject, RaiseKeepsNumbersSourcesAndTexts) {
  ExpectOutputs({
      {"On Error Resume Next\nErr.Raise vbObjectError + 1, \"src\", \"desc\"\nOut.Write Err.Number & \"|\" & Err.Source & \"|\" & Err.Description",
       "-2147221503|src|desc"},
      {"On Error Resume Next\nErr.Raise 11\nOut.Write Err.Description & \"|\" & Err.Source", "Division by zero|Microsoft VBScript runtime error"},
      {"On Error Resume Next\nErr.Raise 31999\nOut.Write Err.Description", "Unknown runtime error"},
      {"On Error Resume Next\nErr.Raise 0\nOut.Write Err.Number", "5"},
      {"On Error Resume Next\nOut.Fail 77\nOut.Write Err.Number & \"|\" & Err.Source & \"|\" & Err.Description", "77|TestHost|Host failure"},
      {"Err.Number = 3\nErr.Description = \"d\"\nOut.Write Err.Number & Err.Description\nErr.Clear\nOut.Write Err.Number", "3d0"},
      {"Out.Write TypeName(Err)", "ErrObject"},
  });
}

TEST(ErrObject, UncaughtRaisesReachTheSiteWithTheirDetails) {
  ScriptHarness harness;
  harness.Run("Err.Raise vbObjectError + 513, \"MyApp\", \"It broke\"");
  ASSERT_EQ(harness.site().errors.size(), 1u);
  EXPECT_EQ(harness.last_error().scode, static_cast<HRESULT>(0x80040201));
  EXPECT_EQ(harness.last_error().source, "MyApp");
  EXPECT_EQ(harness.last_error().description, "It broke");
}

TEST(Stop, HostStopEndsTheScriptWithoutAnErrorEvenUnderResumeNext) {
  ScriptHarness harness;
  HRESULT hr = harness.Run("On Error Resume Next\nSub S\n Out.Write \"s\"\n Out.Stop\n Out.Write \"no\"\nEnd Sub\nS\nOut.Write \"no\"");
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(harness.output(), "s");
  EXPECT_TRUE(harness.site().errors.empty());
}

TEST(Stop, StopInsideAClassMethodCalledFromOutsideReachesTheCaller) {
  ScriptHarness harness;
  HRESULT hr = harness.Run(
      "Class C\n Public Default Function V\n Out.Stop\n End Function\nEnd Class\nSet o = New C\n"
      "On Error Resume Next\nx = o + 1\nOut.Write \"no\"");
  EXPECT_EQ(hr, S_OK);
  EXPECT_EQ(harness.output(), "");
  EXPECT_TRUE(harness.site().errors.empty());
}

}  // namespace
