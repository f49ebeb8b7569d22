// The language at run time: snippets run through the engine, compared by what they write to
// the test site's Out object.
#include <gtest/gtest.h>
#include <pthread.h>

#include "tests/platform/vbscript/script_test_site.h"

namespace {

using vbscript_test::ExpectOutputs;
using vbscript_test::ScriptHarness;


TEST(Operators, PrecedenceFollowsTheLanguage) {
  ExpectOutputs({
      {"Out.Write 1 + 2 * 3", "7"},
      {"Out.Write -2 ^ 2", "-4"},
      {"Out.Write 2 ^ -1", "0.5"},
      {"Out.Write 2 ^ 3 ^ 2", "64"},
      {"Out.Write 7 \\ 2 * 2", "1"},
      {"Out.Write 10 Mod 3 * 2", "4"},
      {"Out.Write 10 \\ 3 Mod 2", "1"},
      {"Out.Write 2 + 3 & 4", "54"},
      {"Out.Write 1 + 1 = 2", "True"},
      {"Out.Write Not 1 = 2", "True"},
      {"Out.Write 1 Or 2 And 3", "3"},
      {"Out.Write True Xor True Or True", "False"},
      {"Out.Write False Imp False Eqv True", "True"},
      {"Out.Write -3 * -2", "6"},
      {"Out.Write 5 - -3", "8"},
  });
}

TEST(Operators, ArithmeticTakesThePlatformTypes) {
  ExpectOutputs({
      {"x = 32767\nx = x + 1\nOut.Write TypeName(x) & \" \" & x", "Long 32768"},
      {"x = 2147483647\nx = x + 1\nOut.Write TypeName(x) & \" \" & x", "Double 2147483648"},
      {"Out.Write TypeName(200 * 200)", "Long"},
      {"Out.Write TypeName(1 + 1) & TypeName(1 / 1) & TypeName(1.5 + 1)", "IntegerDoubleDouble"},
      {"Out.Write 1 / 4 & \" \" & 7 \\ 2 & \" \" & -7 Mod 3", "0.25 3 -1"},
      {"x = Empty\nOut.Write x + 1 & TypeName(x + 1)", "1Integer"},
      {"Out.Write IsNull(Null + 1) & IsNull(Null & Null)", "TrueTrue"},
      {"Out.Write \"a\" & Null & \"b\"", "ab"},
      {"Out.Write \"1\" + \"2\" & \" \" & \"1\" + 2", "12 3"},
      {"Out.Write 3.5 + 1.25", "4.75"},
      {"x = CInt(-32768)\nOut.Write TypeName(x \\ -1) & (x \\ -1)", "Long32768"},
      {"Out.Write TypeName(7 \\ 2) & TypeName(70000 \\ 2) & TypeName(7 Mod 2) & TypeName(2.5 + 1)", "IntegerLongIntegerDouble"},
      {"x = 1.5\nOut.Write x + 1 & \" \" & 1 - x & \" \" & x * 2", "2.5 -0.5 3"},
  });
}

TEST(Operators, ComparisonsUseTheValueRules) {
  ExpectOutputs({
      {"Out.Write (1 < 2) & (2 <= 2) & (3 > 4) & (3 >= 4) & (1 <> 1)", "TrueTrueFalseFalseFalse"},
      {"Out.Write (\"a\" < \"b\") & (\"a\" = \"A\") & (\"B\" < \"a\")", "TrueFalseTrue"},
      {"Out.Write 5 = 5.0", "True"},
      {"Out.Write IsNull(1 = Null) & IsNull(Null <> Null)", "TrueTrue"},
      {"If Null Then Out.Write \"y\" Else Out.Write \"n\"", "n"},
      {"If Empty Then Out.Write \"y\" Else Out.Write \"n\"", "n"},
      {"Set a = Out\nSet b = Out\nOut.Write (a Is b) & (a Is Nothing) & (Nothing Is Nothing)", "TrueFalseTrue"},
  });
}

TEST(Operators, LogicalOperatorsOnNumbersAreBitwise) {
  ExpectOutputs({
      {"Out.Write (12 And 10) & \" \" & (12 Or 3) & \" \" & (12 Xor 10) & \" \" & Not 0", "8 15 6 -1"},
      {"Out.Write True And False", "False"},
      {"Out.Write IsNull(Null And True) & (Null And False)", "TrueFalse"},
  });
}

TEST(Literals, NumbersStringsDatesAndKeywords) {
  ExpectOutputs({
      {"Out.Write &HFF & \" \" & &HFFFF & \" \" & &HFFFF& & \" \" & &O10 & \" \" & &10", "255 -1 65535 8 8"},
      {"Out.Write #1/2/2003#", "1/2/2003"},
      {"Out.Write \"say \"\"hi\"\"\"", "say \"hi\""},
      {"Out.Write True & False & IsEmpty(Empty) & IsNull(Null)", "TrueFalseTrueTrue"},
      {"Out.Write 1.5E3 & \" \" & .5", "1500 0.5"},
      {"Out.Write TypeName(Nothing)", "Nothing"},
      {"Out.Write vbObjectError", "-2147221504"},
  });
}

TEST(Variables, ImplicitAndExplicitDeclaration) {
  ExpectOutputs({
      {"x = 5\nOut.Write x * 2", "10"},
      {"Dim a, b\na = 1: b = 2\nOut.Write a + b", "3"},
      {"Out.Write IsEmpty(neverSet)", "True"},
      {"Option Explicit\nDim x\nx = 3\nOut.Write x", "3"},
      {"Dim [my var]\n[my var] = 4\nOut.Write [my var]", "4"},
      {"X = 1\nx = x + 1\nOut.Write X", "2"},
      {"Const K = 10, S = \"s\"\nOut.Write K * 2 & S", "20s"},
      {"Const N = -5\nOut.Write N", "-5"},
  });
}

TEST(Variables, ProceduresSeeGlobalsAndKeepUndeclaredNamesLocal) {
  ExpectOutputs({
      {"x = 10\nSub S\n Out.Write x\n x = 20\nEnd Sub\nS\nOut.Write x", "1020"},
      {"Sub S\n y = 5\nEnd Sub\nS\nOut.Write IsEmpty(y)", "True"},
      {"Dim g\nSub S\n Dim g\n g = 1\nEnd Sub\ng = 2\nS\nOut.Write g", "2"},
      {"Sub S\n Const L = 3\n Out.Write L\nEnd Sub\nS", "3"},
      {"Function F\n F = later\nEnd Function\nlater = 7\nOut.Write F", "7"},
      {"Sub S\n Out.Write IsEmpty(y)\n y = 2\nEnd Sub\nS\nS\nExecuteGlobal \"Dim y : y = 7\"\nS\nOut.Write y",
       "TrueTrueFalse2"},
      {"Option Explicit\nReDim grown(2)\ngrown(2) = \"r\"\nOut.Write grown(2)", "r"},
      {"Option Explicit\nSub S\n ReDim inner(1)\n inner(1) = 4\n Out.Write inner(1)\nEnd Sub\nS", "4"},
  });
}

TEST(Variables, StringsGrowInPlaceAndStayIndependent) {
  ExpectOutputs({
      {"s = \"\"\nFor i = 1 To 3\n s = s & i & \",\"\nNext\nOut.Write s", "1,2,3,"},
      {"s = \"a\"\ns = s & s & s\nOut.Write s", "aaa"},
      {"x = \"abc\"\ny = x\ny = y & \"d\"\nOut.Write x & \" \" & y", "abc abcd"},
      {"s = 5\ns = s & \"x\"\nOut.Write s & TypeName(s)", "5xString"},
      {"s = Null\ns = s & Null\nOut.Write IsNull(s)", "True"},
      {"s = \"a\"\ns = s & Null & 1\nOut.Write s", "a1"},
      {"Sub S(t)\n t = t & \"!\"\nEnd Sub\nv = \"hi\"\nS v\nOut.Write v", "hi!"},
  });
}

TEST(Arrays, DimReDimEraseAndBounds) {
  ExpectOutputs({
      {"Dim a(2)\na(0) = 1: a(1) = 2: a(2) = 3\nOut.Write a(0) + a(1) + a(2) & UBound(a)", "62"},
      {"Dim m(1, 2)\nm(1, 2) = \"x\"\nOut.Write UBound(m, 1) & UBound(m, 2) & m(1, 2)", "12x"},
      {"Dim a()\nReDim a(3)\na(3) = \"x\"\nReDim Preserve a(5)\nOut.Write a(3) & UBound(a)", "x5"},
      {"ReDim q(2)\nq(2) = 1\nReDim q(1)\nOut.Write IsEmpty(q(1)) & UBound(q)", "True1"},
      {"ReDim m(1, 1)\nm(1, 1) = 7\nReDim Preserve m(1, 3)\nOut.Write m(1, 1) & UBound(m, 2)", "73"},
      {"ReDim a(-1)\nOut.Write UBound(a)", "-1"},
      {"Dim a(2)\na(1) = 5\nErase a\nOut.Write UBound(a) & IsEmpty(a(1))", "2True"},
      {"Dim a\na = Array(1, 2)\nb = a\nb(0) = 9\nOut.Write a(0) & b(0)", "19"},
      {"Function F()\n F = Array(5, 6)\nEnd Function\nOut.Write F()(1)", "6"},
      {"a = Array(Array(1, 2), Array(3, 4))\nOut.Write a(1)(0)", "3"},
      {"Dim a(1)\nSet a(0) = Out\na(0).Write \"in\"", "in"},
      {"Dim a(2)\nx = 1.6\na(x) = \"r\"\nOut.Write a(2)", "r"},
  });
}

TEST(Arrays, ForEachWalksInStorageOrder) {
  ExpectOutputs({
      {"For Each x In Array(1, 2, 3)\n Out.Write x\nNext", "123"},
      {"Dim a(1, 1)\na(0, 0) = 1: a(1, 0) = 2: a(0, 1) = 3: a(1, 1) = 4\nFor Each x In a\n Out.Write x\nNext", "1234"},
      {"Dim a(2)\nFor Each x In a\nNext\nErase a\nOut.Write \"ok\"", "ok"},
      {"a = Array(1, 2)\nFor Each x In a\n x = 0\nNext\nOut.Write a(0)", "1"},
      {"For Each x In Array()\n Out.Write \"never\"\nNext\nOut.Write \"done\"", "done"},
  });
}

TEST(ControlFlow, IfSelectAndLoops) {
  ExpectOutputs({
      {"If 1 = 1 Then\n Out.Write \"a\"\nElseIf 2 = 2 Then\n Out.Write \"b\"\nElse\n Out.Write \"c\"\nEnd If", "a"},
      {"x = 3\nIf x = 1 Then Out.Write \"1\" Else If x = 3 Then Out.Write \"3\" Else Out.Write \"?\"", "3"},
      {"If True Then Out.Write \"a\": Out.Write \"b\" Else Out.Write \"c\"", "ab"},
      {"If False Then Out.Write \"a\": Out.Write \"b\" Else Out.Write \"c\": Out.Write \"d\"", "cd"},
      {"Select Case 3\n Case 1, 2\n Out.Write \"a\"\n Case 3\n Out.Write \"b\"\n Case Else\n Out.Write \"c\"\nEnd Select", "b"},
      {"x = \"z\"\nSelect Case x\n Case \"a\": Out.Write 1\n Case Else: Out.Write 2\nEnd Select", "2"},
      {"Select Case 5\n Case 1\n Out.Write 1\nEnd Select\nOut.Write \"e\"", "e"},
      {"For i = 10 To 1 Step -3\n Out.Write i & \" \"\nNext", "10 7 4 1 "},
      {"For i = 1 To 0\n Out.Write \"never\"\nNext\nOut.Write i", "1"},
      {"For i = 1 To 3\nNext\nOut.Write i", "4"},
      {"n = 3\nFor i = 1 To n\n n = 10\nNext\nOut.Write i", "4"},
      {"For i = 1 To 2 Step 0.5\n Out.Write i & \" \"\nNext", "1 1.5 2 "},
      {"For i = 32766 To 32768\nNext\nOut.Write TypeName(i) & i", "Long32769"},
      {"i = 0\nDo\n i = i + 1\n If i = 5 Then Exit Do\nLoop\nOut.Write i", "5"},
      {"i = 0\nDo Until i >= 3\n i = i + 1\nLoop\nOut.Write i", "3"},
      {"i = 0\nDo\n i = i + 1\nLoop While i < 4\nOut.Write i", "4"},
      {"i = 9\nDo\n i = i + 1\nLoop Until True\nOut.Write i", "10"},
      {"i = 0\nWhile i < 4\n i = i + 1\nWend\nOut.Write i", "4"},
      {"For i = 1 To 3\n For j = 1 To 3\n If j = 2 Then Exit For\n Out.Write i & j & \" \"\n Next\nNext", "11 21 31 "},
      {"Do\n For Each x In Array(1, 2)\n Exit Do\n Next\nLoop\nOut.Write \"out\"", "out"},
      {"s = \"\"\nFor i = 1 To 3: s = s & i: Next: Out.Write s", "123"},
  });
}

TEST(Procedures, ArgumentsByReferenceAndByValue) {
  ExpectOutputs({
      {"Sub S(x)\n x = x + 1\nEnd Sub\ny = 1\nS y\nOut.Write y", "2"},
      {"Sub S(x)\n x = x + 1\nEnd Sub\ny = 1\nS (y)\nOut.Write y", "1"},
      {"Sub S(x)\n x = x + 1\nEnd Sub\ny = 1\nCall S(y)\nOut.Write y", "2"},
      {"Sub S(x)\n x = x + 1\nEnd Sub\ny = 1\nCall S((y))\nOut.Write y", "1"},
      {"Sub S(ByVal x)\n x = x + 1\nEnd Sub\ny = 1\nS y\nOut.Write y", "1"},
      {"Sub S(x)\n x = 9\nEnd Sub\nDim a(1)\nS a(1)\nOut.Write a(1)", "9"},
      {"Sub S(x)\n x = 9\nEnd Sub\nS 5\nOut.Write \"ok\"", "ok"},
      {"Sub S(v)\n v = 1\nEnd Sub\nReDim a(1)\nS a(0)\nReDim a(5)\nOut.Write UBound(a)", "5"},
      {"Sub S(v)\n v = v & \"!\"\nEnd Sub\nDim a(1)\na(1) = \"x\"\nS a(1)\nS a(1)\nOut.Write a(1)", "x!!"},
      {"Sub S(a, b)\n a = 1: b = 2\nEnd Sub\nDim m(1, 1)\nS m(0, 1), m(1, 0)\nOut.Write m(0, 1) & m(1, 0)", "12"},
      {"Sub S(ByVal a)\n a(0) = 9\nEnd Sub\nb = Array(1)\nS b\nOut.Write b(0)", "1"},
      {"Sub S(a)\n ReDim a(5)\nEnd Sub\nb = Array(1)\nS b\nOut.Write UBound(b)", "5"},
      {"Sub Inner(v)\n v = \"in\"\nEnd Sub\nSub Outer(v)\n Inner v\nEnd Sub\nx = \"\"\nOuter x\nOut.Write x", "in"},
      {"Function F(a)\n F = a * 3\nEnd Function\nOut.Write F(4) + F(F(1))", "21"},
      {"Function F\n F = 1\n Exit Function\n F = 2\nEnd Function\nOut.Write F", "1"},
      {"Function F()\nEnd Function\nOut.Write IsEmpty(F())", "True"},
      {"Sub S(a, b)\n Out.Write a & b\nEnd Sub\nS 1, 2\nCall S(3, 4)", "1234"},
      {"Function R(n)\n If n = 0 Then R = 0 Else R = 1 + R(n - 1)\nEnd Function\nOut.Write R(1000)", "1000"},
      {"Function Fib(n)\n If n < 2 Then Fib = n Else Fib = Fib(n - 1) + Fib(n - 2)\nEnd Function\nOut.Write Fib(15)", "610"},
      {"Sub S\n Out.Write \"called\"\nEnd Sub\nS", "called"},
      {"Sub S\n Exit Sub\n Out.Write \"no\"\nEnd Sub\nS\nOut.Write \"ok\"", "ok"},
      {"Out.Write Later(2)\nFunction Later(x)\n Later = x * 5\nEnd Function", "10"},
  });
}

TEST(Procedures, HostObjectsWriteBackThroughReferences) {
  ExpectOutputs({
      {"a = 1: b = 2\nOut.Swap a, b\nOut.Write a & b", "21"},
      {"Dim v(1)\nv(0) = \"x\": v(1) = \"y\"\nOut.Swap v(0), v(1)\nOut.Write v(0) & v(1)", "yx"},
      {"a = 1: b = 2\nOut.Swap (a), b\nOut.Write a & b", "11"},
  });
}

TEST(Objects, MembersDefaultsAndWith) {
  ExpectOutputs({
      {"Out.Value = 3\nOut.Write Out.Value + Out(4)", "11"},
      {"Out.Write Out.Item(5)", "10"},
      {"Set o = Out\nOut.Write o Is Out", "True"},
      {"With Out\n .Write \"w\"\n .Write 2\nEnd With", "w2"},
      {"With Out\n .Value = 5\n With .Self\n  .Write .Value\n End With\n .Write .Value\nEnd With", "55"},
      {"For Each x In Items\n Out.Write x\nNext", "1two3"},
      {"Set Out.Value = Items\nFor Each x In Out.Value\n Out.Write x\nNext", "1two3"},
      {"x = Out(2) * 10\nOut.Write x", "40"},
      {"Class Jar\n Public Store\n Sub Class_Initialize\n Set Store = New Box\n End Sub\nEnd Class\n"
       "Class Box\n Private v(3)\n Public Default Property Get Item(i)\n Item = v(i)\n End Property\n"
       " Public Property Let Item(i, x)\n v(i) = x\n End Property\nEnd Class\n"
       "Set j = New Jar\nFunction Pick()\n Set Pick = j.Store\nEnd Function\nPick()(2) = \"deep\"\nOut.Write j.Store(2)",
       "deep"},
      {"Out.Write(\"a\") & \"b\"", "ab"},
      {"Out.Write Out.Numbers(1) & Out.Self(3)", "206"},
  });
}

TEST(Objects, LetTakesTheDefaultValueAndSetTheObject) {
  ExpectOutputs({
      {"Set a = Out\nOut.Write IsObject(a)", "True"},
      {"Class C\n Public Default Property Get V\n V = 42\n End Property\nEnd Class\nSet o = New C\nx = o\nOut.Write x & TypeName(x)", "42Integer"},
  });
}

TEST(Evaluation, EvalExecuteAndExecuteGlobal) {
  ExpectOutputs({
      {"Out.Write Eval(\"1 + 2 = 3\")", "True"},
      {"x = 2\ny = 3\nOut.Write Eval(\"x = y\")", "False"},
      {"x = 1\nExecute \"x = x + 41\"\nOut.Write x", "42"},
      {"Sub S\n Dim x\n Execute \"x = 5\"\n Out.Write x\nEnd Sub\nS", "5"},
      {"Function F(a)\n Execute \"F = a * 2\"\nEnd Function\nOut.Write F(21)", "42"},
      {"Sub S\n Execute \"Dim t : t = 3\"\n Execute \"Out.Write t\"\nEnd Sub\nS", "3"},
      {"ExecuteGlobal \"Function H(x): H = x + 1: End Function\"\nOut.Write H(1)", "2"},
      {"Sub S\n ExecuteGlobal \"gv = 7\"\nEnd Sub\nS\nOut.Write gv", "7"},
      {"Sub S(p)\n Out.Write Eval(\"p * 3\")\nEnd Sub\nS 4", "12"},
      {"Execute \"For i = 1 To 3\" & vbCrLf & \"Out.Write i\" & vbCrLf & \"Next\"", "123"},
  });
}

TEST(Evaluation, ErrorsInsideExecutedTextArePlacedAtTheExecuteStatement) {
  ScriptHarness harness;
  harness.Run("x = 1\n  Execute \"y = 1\" & vbCrLf & \"z = 1 / 0\"");
  ASSERT_EQ(harness.site().errors.size(), 1u);
  EXPECT_EQ(harness.last_error().number(), 11);
  EXPECT_EQ(harness.last_error().line, 1u);
  EXPECT_EQ(harness.last_error().column, 2);
}

TEST(Evaluation, RegExpObjectsComeFromNew) {
  ExpectOutputs({
      {"Set r = New RegExp\nr.Pattern = \"b+\"\nOut.Write r.Test(\"abbc\") & TypeName(r)", "TrueIRegExp2"},
      // A script may declare its own RegExp class, but New RegExp still makes the built-in one.
      {"Class RegExp\n Public Pattern\nEnd Class\nSet r = New RegExp\nOut.Write TypeName(r)", "IRegExp2"},
      // A replacement that is no text is converted without the Boolean names.
      {"Set r = New RegExp\nr.Pattern = \"b\"\nOut.Write r.Replace(\"abc\", True) & r.Replace(\"abc\", 6)", "a-1ca6c"},
  });
}

TEST(Evaluation, GetRefCallsTheProcedure) {
  ExpectOutputs({
      {"Function F(a)\n F = a * 3\nEnd Function\nSet r = GetRef(\"F\")\nOut.Write r(4)", "12"},
      {"Sub Hello\n Out.Write \"hello\"\nEnd Sub\nSet r = GetRef(\"Hello\")\nr", "hello"},
      {"Function Twice(f, x)\n Twice = f(f(x))\nEnd Function\nFunction Inc(x)\n Inc = x + 1\nEnd Function\n"
       "Out.Write Twice(GetRef(\"Inc\"), 5)",
       "7"},
  });
}

TEST(Statements, LineStructure) {
  ExpectOutputs({
      {"a = 3 : b = 4\nOut.Write a & \" \" & _\n b", "3 4"},
      {"REM comment\nOut.Write 1 ' another", "1"},
      {"Out.Echo 1, \"a\"", "1 a\n"},
      {"Stop\nOut.Write \"after stop\"", "after stop"},
      {"Out.Write 1 : : Out.Write 2", "12"},
      {"Out.Write \"x\"\nOut.Stop\nOut.Write \"y\"", "x"},
      {"Sub S\n Out.Stop\nEnd Sub\nOn Error Resume Next\nS\nOut.Write \"not reached\"", ""},
  });
}

TEST(Limits, DeepRecursionIsOutOfStackSpace) {
  ScriptHarness harness;
  harness.Run("Function R(n)\n R = R(n + 1)\nEnd Function\nx = R(1)");
  ASSERT_EQ(harness.site().errors.size(), 1u);
  EXPECT_EQ(harness.last_error().number(), 28);
  EXPECT_EQ(harness.last_error().line, 1u);
}

TEST(Limits, RecursionThroughObjectsIsOutOfStackSpace) {
  const char* scripts[] = {
      "Function F(n)\n Set r = GetRef(\"F\")\n F = r(n + 1)\nEnd Function\nx = F(1)",
      "Class C\n Public Default Property Get V\n Set o = New C\n V = o + 1\n End Property\nEnd Class\n"
      "Set c1 = New C\nx = c1 + 1",
      "Sub S\n Execute \"S\"\nEnd Sub\nS",
      "Class C\n Sub Class_Initialize\n Set x = New C\n End Sub\nEnd Class\nSet y = New C",
  };
  for (const char* script : scripts) {
    SCOPED_TRACE(script);
    ScriptHarness harness;
    harness.Run(script);
    ASSERT_EQ(harness.site().errors.size(), 1u);
    EXPECT_EQ(harness.last_error().number(), 28);
  }
}

// Runs `work` on a thread with a stack of `bytes`.
void RunOnSmallStack(size_t bytes, void (*work)(void*), void* argument) {
  struct Call {
    void (*work)(void*);
    void* argument;
  } call{work, argument};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, bytes);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes,
                           [](void* raw) -> void* {
                             auto* c = static_cast<Call*>(raw);
                             c->work(c->argument);
                             return nullptr;
                           },
                           &call),
            0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

TEST(Limits, NestedRunsStopBeforeASmallStackRunsOut) {
  int32_t number = 0;
  RunOnSmallStack(
      1024 * 1024,
      [](void* result) {
        *static_cast<int32_t*>(result) = vbscript_test::RunErrorNumber(
            "Function F(n)\n Set r = GetRef(\"F\")\n F = r(n + 1)\nEnd Function\nx = F(1)");
      },
      &number);
  EXPECT_EQ(number, 28);
}

TEST(Limits, HugeArraysAreOutOfMemory) {
  ScriptHarness harness;
  harness.Run("ReDim a(2000000000)");
  EXPECT_EQ(harness.last_error().number(), 7);
  ScriptHarness second;
  second.Run("ReDim a(100000, 100000)");
  EXPECT_EQ(second.last_error().number(), 7);
}

TEST(Performance, AppendingIsLinear) {
  ScriptHarness harness;
  harness.Run("s = \"\"\nFor i = 1 To 200000\n s = s & \"piece\"\nNext\nOut.Write Len(s)");
  EXPECT_EQ(harness.output(), "1000000");
}

}  // namespace
