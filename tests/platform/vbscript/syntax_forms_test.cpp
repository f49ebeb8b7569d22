// Forms of the language that real scripts use and the compiler must accept: block ends right
// after a statement, procedure bodies on their header's line, redefined and nested procedure
// declarations, literal forms, Property as a name, member chains continued on the next line.
#include <gtest/gtest.h>

#include "tests/platform/vbscript/script_test_site.h"

namespace {

using vbscript_test::ExpectOutputs;
using vbscript_test::RunErrorNumber;

TEST(SyntaxForms, BlockEndsMayFollowAStatementWithoutAColon) {
  ExpectOutputs({
      {"If True Then x = 1 End If\nOut.Write x", "1"},
      {"If False Then x = 1 Else x = 2 End If\nOut.Write x", "2"},
      {"If True Then\n x = 3 End If\nOut.Write x", "3"},
      {"Sub S\n Out.Write \"s\" End Sub\nS", "s"},
      {"Function F\n F = 4 End Function\nOut.Write F", "4"},
      {"Class C\n Public V End Class\nSet o = New C\no.V = 5\nOut.Write o.V", "5"},
      {"Class C\n Property Get P\n  P = 6 End Property\nEnd Class\nOut.Write (New C).P", "6"},
      {"With Out\n .Write 7 End With", "7"},
      {"Select Case 1\nCase 1\n Out.Write 8 End Select", "8"},
  });
}

TEST(SyntaxForms, AProcedureBodyMayStartOnItsHeaderLine) {
  ExpectOutputs({
      {"Sub S: Out.Write \"a\": End Sub\nS", "a"},
      {"Sub S Out.Write \"b\" End Sub\nS", "b"},
      {"Function F(x) F = x * 2 End Function\nOut.Write F(4)", "8"},
      {"Function F(x): F = x + 1: End Function: Out.Write F(1)", "2"},
  });
}

TEST(SyntaxForms, TheLastDefinitionOfAProcedureWins) {
  ExpectOutputs({
      {"Sub S\n Out.Write 1\nEnd Sub\nSub S\n Out.Write 2\nEnd Sub\nS", "2"},
      {"Function F\n F = 1\nEnd Function\nSub F\n Out.Write \"sub\"\nEnd Sub\nF", "sub"},
      {"Class C\n Function V\n  V = \"function\"\n End Function\n Property Get V\n  V = \"property\"\n End Property\n"
       "End Class\nOut.Write (New C).V",
       "property"},
  });
  EXPECT_EQ(RunErrorNumber("Dim S\nSub S\nEnd Sub"), 1041);
}

TEST(SyntaxForms, ProceduresDeclaredInsideBlocksAreHoisted) {
  ExpectOutputs({
      {"H\nIf False Then\n Sub H\n  Out.Write \"h\"\n End Sub\nEnd If", "h"},
      {"For i = 1 To 1\n Function G\n  G = 9\n End Function\nNext\nOut.Write G", "9"},
  });
  EXPECT_EQ(RunErrorNumber("Sub Outer\n If True Then\n  Sub Inner\n  End Sub\n End If\nEnd Sub"), 1002);
}

TEST(SyntaxForms, NumberLiterals) {
  ExpectOutputs({
      {"Out.Write &17 & \" \" & &O17 & \" \" & &H1F", "15 15 31"},
      {"Out.Write TypeName(&H7FFF) & \" \" & TypeName(&H8000) & \" \" & &H8000", "Integer Long -32768"},
      {"Out.Write TypeName(&HFF&) & \" \" & &HFFFF& & \" \" & TypeName(&HFFFFFFFF&) & \" \" & &HFFFFFFFF&",
       "Integer 65535 Integer -1"},
      {"Out.Write 1E-400 & \" \" & TypeName(1E-400)", "0 Double"},
      {"Sub Show(v)\n Out.Write v\nEnd Sub\nShow.5\nShow .25", "0.50.25"},
  });
}

TEST(SyntaxForms, AmpersandBeforeANameIsConcatenation) {
  ExpectOutputs({
      {"op = \"+\"\nh = \"-\"\nOut.Write \"a\"&op&\"b\"&h&\"c\"", "a+b-c"},
      {"hz = 2\nOut.Write 1&hz", "12"},
      {"oz = 3\nOut.Write \"x\"&oz&oz", "x33"},
  });
}

TEST(SyntaxForms, ReversedComparisonOperators) {
  ExpectOutputs({
      {"Out.Write (3 => 2) & (2 =< 1) & (1 >< 2) & (2 >< 2)", "TrueFalseTrueFalse"},
  });
}

TEST(SyntaxForms, PropertyIsAnOrdinaryNameOutsideDeclarations) {
  ExpectOutputs({
      {"Property = 5\nOut.Write Property", "5"},
      {"Sub S(Property)\n Out.Write Property\nEnd Sub\nS 6", "6"},
      {"Class C\n Public Property\n Property Get P\n  P = 7\n End Property\nEnd Class\nSet o = New C\n"
       "o.Property = 1\nOut.Write o.P & o.Property",
       "71"},
      {"Class C\n Property Get P\n  P = 8\n  Exit Property\n End Property\nEnd Class\nOut.Write (New C).P", "8"},
  });
}

TEST(SyntaxForms, AContinuedLineMayStartWithAMember) {
  ExpectOutputs({
      {"Set o = Out _\n  .Self\no _\n  .Write 1", "1"},
      {"x = Out _\n  .Self _\n  .Numbers(2)\nOut.Write x", "30"},
      {"With Out\n y = .Numbers(0) _\n   + .Numbers(1)\n .Write y\nEnd With", "30"},
  });
}

TEST(SyntaxForms, MemberOutsideWithFailsWhenItRuns) {
  EXPECT_EQ(RunErrorNumber("Out.Write 1\nx = .foo"), 505);
  ExpectOutputs({{"On Error Resume Next\nx = .foo\nOut.Write Err.Number", "505"},
                 {"If False Then x = .foo\nOut.Write \"compiled\"", "compiled"}});
}

TEST(SyntaxForms, ScriptLinesMayEndWithALoneCarriageReturn) {
  ExpectOutputs({
      {"Out.Write 1\rOut.Write 2\r\nx = 3\rOut.Write x\r", "123"},
      {"If True Then\r Out.Write \"a\"\rEnd If\r\nOut.Write \"b\"\r", "ab"},
  });
}

}  // namespace
