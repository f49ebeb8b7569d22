// The language's run-time rules where they differ from the value layer's or were missing:
// comparisons of strings with numbers and Booleans, logical operators beside Empty, the
// conversions, Eval/Execute/GetRef of values that are no text, Err.Raise numbers and fields,
// statements that discard a conversion, bounds of objects, members of Nothing and With
// subjects, Property Let with objects, chained element assignment, RegExp by ProgID, the
// procedures Execute defines inside a procedure.
#include <gtest/gtest.h>

#include "tests/platform/vbscript/script_test_site.h"

namespace {

using vbscript_test::ExpectOutputs;
using vbscript_test::RunErrorNumber;

struct NumberCase {
  const char* script;
  int32_t number;
};

void ExpectErrorNumbers(std::initializer_list<NumberCase> cases) {
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(c.script);
    EXPECT_EQ(RunErrorNumber(c.script), c.number);
  }
}

TEST(RuntimeRules, AStringBesideANumberVariableComparesAsText) {
  ExpectOutputs({
      {"x = 10\nOut.Write (x < \"9\") & (x = \"10\") & (\"10\" = x) & (x > \"9\")", "TrueTrueTrueFalse"},
      {"Function Ten\n Ten = 10\nEnd Function\nOut.Write (Ten < \"9\") & ((5 + 5) < \"9\")", "TrueTrue"},
      // Beside a literal the string is read as a number.
      {"Out.Write (10 < \"9\") & (\"10\" = 10) & (\" 10 \" = 10.0) & (-1 < \"0\")", "FalseTrueTrueTrue"},
      {"Select Case \"10\"\nCase 10\n Out.Write \"literal\"\nEnd Select", "literal"},
      {"x = \"10\"\nn = 10\nSelect Case x\nCase n\n Out.Write \"number\"\nCase Else\n Out.Write \"text\"\nEnd Select",
       "number"},
  });
  ExpectErrorNumbers({{"x = (\"abc\" = 1)", 13}, {"x = (2.5 < \"z\")", 13}, {"If \"a\" > 1 Then x = 1", 13}});
}

TEST(RuntimeRules, AStringBesideABooleanComparesWithItsText) {
  ExpectOutputs({
      {"Out.Write (\"True\" = True) & (\"-1\" = True) & (False = \"False\") & (\"true\" = True)",
       "TrueFalseTrueFalse"},
  });
}

TEST(RuntimeRules, LogicalOperatorsBesideEmptyGiveLongs) {
  ExpectOutputs({
      {"Out.Write TypeName(Empty And 1) & TypeName(Empty Or True) & TypeName(1 Xor Empty)", "LongLongLong"},
      {"Out.Write TypeName(Empty Eqv 0) & TypeName(Empty Imp 0) & TypeName(Not Empty) & (Not Empty)",
       "LongLongLong-1"},
      {"Out.Write TypeName(1 And 1) & TypeName(True And True)", "IntegerBoolean"},
  });
}

TEST(RuntimeRules, Conversions) {
  ExpectOutputs({
      {"Out.Write CBool(\"#TRUE#\") & CBool(\"#false#\")", "TrueFalse"},
      {"If \"#TRUE#\" Then Out.Write \"yes\"", "yes"},
      {"Out.Write CByte(True) & \" \" & CByte(False) & \" \" & TypeName(CByte(True))", "255 0 Byte"},
      {"Out.Write CDbl(CDate(\"36892.5\")) & \" \" & TypeName(CDate(\"2\"))", "36892.5 Date"},
      {"Out.Write TypeName(AscB(\"A\")) & AscB(\"A\")", "Byte65"},
  });
  ExpectErrorNumbers({{"x = ChrB(256)", 6}, {"x = CDate(\"x1\")", 13}});
}

TEST(RuntimeRules, EvalExecuteAndGetRefOfValuesThatAreNoText) {
  ExpectOutputs({
      {"Out.Write Eval(5) & TypeName(Eval(Null)) & TypeName(Eval(Empty))", "5NullEmpty"},
      {"Sub T(e)\n Out.Write Eval(e)\nEnd Sub\nT \"Eval(6)\"", "6"},
  });
  ExpectErrorNumbers({{"Execute 5", 13}, {"ExecuteGlobal 1", 13}, {"Set r = GetRef(5)", 13}});
}

TEST(RuntimeRules, ErrRaiseNumbersAndFields) {
  ExpectOutputs("On Error Resume Next\n", {
      {"Err.Raise 5, \"Src\", \"Desc\", \"help.chm\", 42\n"
       "Out.Write Err.Number & Err.Source & Err.Description & Err.HelpFile & Err.HelpContext",
       "5SrcDeschelp.chm42"},
      // A host's exception brings its help file and context along.
      {"Out.Fail 1000\nOut.Write Err.Number & \"|\" & Err.Description & \"|\" & Err.HelpFile & \"|\" & Err.HelpContext",
       "1000|Host failure|host.chm|7"},
      {"Err.Raise &H800A000D\nOut.Write Err.Number & \" \" & Err.Description", "13 Type mismatch"},
      {"Err.Raise vbObjectError + 513\nOut.Write Err.Number", "-2147220991"},
      {"Err.Raise 70000\nOut.Write Err.Number", "5"},
      {"Err.Raise 65535\nOut.Write Err.Number", "65535"},
      {"Err.Raise &H8000\nOut.Write Err.Number", "-32768"},
      {"Err.Raise -&HFFF0\nOut.Write Err.Number", "16"},
      // A platform HRESULT with a known meaning is that error.
      {"Err.Raise &H8007000E\nOut.Write Err.Number & \"|\" & Err.Description & \"|\" & Err.Source",
       "7|Out of memory|Microsoft VBScript runtime error"},
      {"Err.Raise &H80004001\nOut.Write Err.Number", "445"},
      // What a Raise omits keeps what Err holds; a cleared Err gets the standard texts.
      {"Err.Raise 1, \"Src\", \"Desc\", \"help.chm\", 42\nErr.Raise 5\n"
       "Out.Write Err.Number & Err.Source & Err.Description & Err.HelpFile & Err.HelpContext",
       "5SrcDeschelp.chm42"},
      {"Err.Raise 1, \"Src\"\nErr.Raise 7\nOut.Write Err.Source & \"|\" & Err.Description", "Src|Unknown runtime error"},
      {"Err.Raise 1, \"Src\", \"Desc\", \"help.chm\", 42\nErr.Clear\nErr.Raise 5\n"
       "Out.Write Err.Source & \"|\" & Err.Description & \"|\" & Err.HelpFile & Err.HelpContext",
       "Microsoft VBScript runtime error|Invalid procedure call or argument|0"},
      // An error the engine meets replaces every field.
      {"Err.Raise 1, \"Src\", \"Desc\", \"help.chm\", 42\nx = 1 / 0\n"
       "Out.Write Err.Source & \"|\" & Err.Description & \"|\" & Err.HelpFile & Err.HelpContext",
       "Microsoft VBScript runtime error|Division by zero|0"},
  });
}

TEST(RuntimeRules, AConversionCalledAsAStatementIsAnError) {
  ExpectErrorNumbers({{"Call CInt(5)", 458}, {"CStr 1", 458}, {"Call CBool(1)", 458}, {"Call Len(\"a\")", 0},
                      // The argument is converted before the call is refused.
                      {"CStr(Null)", 94}, {"Call CLng(\"x\")", 13},
                      // Randomize is a statement: it has no value.
                      {"Randomize 5", 0}, {"Call Randomize(5)", 0}, {"x = Randomize(0)", 13}});
}

TEST(RuntimeRules, BoundsOfObjectsGoThroughTheDefaultMember) {
  ExpectOutputs({
      {"Class L\n Public Default Property Get Items\n  Items = Array(1, 2, 3)\n End Property\nEnd Class\n"
       "Set o = New L\nOut.Write LBound(o) & UBound(o)",
       "02"},
  });
  ExpectErrorNumbers({
      {"Set o = Nothing\nx = UBound(o)", 91},
      {"Class E\nEnd Class\nx = UBound(New E)", 438},
      {"x = UBound(Out)", 450},
  });
}

TEST(RuntimeRules, ObjectsWhereOneIsRequired) {
  ExpectErrorNumbers({
      {"x = Nothing.Foo", 424},
      {"With 5\nEnd With", 424},
      {"x = \"a\"\nWith x\nEnd With", 424},
      {"x = Out.Value(1)", 438},
  });
  ExpectOutputs({{"On Error Resume Next\nWith 5\n Out.Write \"inside\"\nEnd With\nOut.Write Err.Number", "inside424"}});
}

TEST(RuntimeRules, PropertyLetReceivesAnObjectAsItIs) {
  ExpectOutputs({
      {"Class Holder\n Public Kind\n Property Let Item(v)\n  Kind = IsObject(v)\n End Property\nEnd Class\n"
       "Set h = New Holder\nh.Item = Out\nOut.Write h.Kind",
       "True"},
      {"Class Box\n Public Value\nEnd Class\nSet b = New Box\nSet d = New Box\nd.Value = 7\n"
       "Class Wrap\n Public Default Property Get V\n  V = 9\n End Property\nEnd Class\n"
       "b.Value = New Wrap\nOut.Write b.Value",
       "9"},
  });
}

TEST(RuntimeRules, ChainedIndexesAssignIntoTheInnerArray) {
  ExpectOutputs({
      {"a = Array(Array(1, 2), 3)\na(0)(1) = 5\nOut.Write a(0)(1)", "5"},
      {"Dim m(1)\nm(0) = Array(0, 0)\nm(0)(0) = \"x\"\nOut.Write m(0)(0)", "x"},
      {"a = Array(Array(1))\nSet a(0)(0) = Out\nOut.Write IsObject(a(0)(0))", "True"},
  });
}

TEST(RuntimeRules, RegExpIsCreatedByItsProgId) {
  ExpectOutputs({
      {"Set re = CreateObject(\"VBScript.RegExp\")\nre.Pattern = \"b+\"\nOut.Write TypeName(re) & re.Test(\"abbc\")",
       "IRegExp2True"},
  });
}

TEST(RuntimeRules, ProceduresExecuteDefinesInsideAProcedureStayThere) {
  ExpectOutputs({
      {"Dim X\nX = \"global\"\nSub P\n Dim X\n X = \"local\"\n Execute \"Sub Q: Out.Write X: End Sub\"\n"
       " Out.Write Eval(\"X\") & \" \"\n Q\nEnd Sub\nP",
       "local global"},
      {"Sub P\n Execute \"Function Q: Q = 3: End Function\"\n Out.Write Q + Q()\nEnd Sub\nP", "6"},
  });
  EXPECT_EQ(RunErrorNumber("Sub P\n Execute \"Sub Q: End Sub\"\nEnd Sub\nP\nQ"), 13);
  ExpectOutputs({{"Execute \"Sub Q: Out.Write 1: End Sub\"\nSub P\n Q\nEnd Sub\nP", "1"}});
}

TEST(RuntimeRules, AGlobalArrayExistsOnceItsDimRan) {
  ExpectOutputs({
      {"Out.Write TypeName(a) & \"|\"\nDim a(2)\nOut.Write TypeName(a) & UBound(a)", "Empty|Variant()2"},
      {"Sub Show\n Out.Write IsArray(g)\nEnd Sub\nShow\nDim g(1)\nShow", "FalseTrue"},
  });
}

TEST(RuntimeRules, LaterTextsRedeclaringNames) {
  ExpectOutputs({
      {"Const C = 1\nExecuteGlobal \"Dim C: C = 5\"\nOut.Write C", "5"},
      {"Dim V\nOn Error Resume Next\nExecuteGlobal \"Const V = 2\"\nOut.Write Err.Number & \"|\" & IsEmpty(V)",
       "1041|True"},
      {"Dim a(2)\nOn Error Resume Next\nExecuteGlobal \"Dim a(3)\"\nOut.Write Err.Number & \" \" & UBound(a)", "13 2"},
      {"Sub P\n Dim L\n On Error Resume Next\n Execute \"Const L = 1\"\n Out.Write Err.Number\nEnd Sub\nP", "1041"},
      {"ExecuteGlobal \"Const K = 3\"\nOut.Write K", "3"},
  });
}

TEST(RuntimeRules, MessageBoxConstants) {
  ExpectOutputs({
      {"Option Explicit\nOut.Write vbMsgBoxHelpButton & \" \" & vbMsgBoxSetForeground & \" \" & vbMsgBoxRight & \" \" & "
       "vbMsgBoxRtlReading & \" \" & TypeName(vbMsgBoxRight)",
       "16384 65536 524288 1048576 Long"},
  });
}

}  // namespace
