// On Error Resume Next continues with the statement after the failing one, inside the same
// block: the last statement of a branch, a Case or a loop body does not fall into the next
// branch or leave the loop. A failing condition enters its block; so does a failing For or
// For Each header, once: its Next then fails (92, 451) and the loop is left.
#include <gtest/gtest.h>

#include "tests/platform/vbscript/script_test_site.h"

namespace {

using vbscript_test::ExpectOutputs;

TEST(ResumeNext, ContinuesAfterTheLastStatementOfABlock) {
  ExpectOutputs("On Error Resume Next\n", {
      {"If True Then\n x = 1 / 0\nElse\n Out.Write \"else \"\nEnd If\nOut.Write \"end\" & Err.Number", "end11"},
      {"If False Then\nElseIf True Then\n x = 1 / 0\nElse\n Out.Write \"else \"\nEnd If\nOut.Write \"end\"", "end"},
      {"Select Case 2\nCase 1\n Out.Write 1\nCase 2\n x = 1 / 0\nCase 3\n Out.Write 3\nCase Else\n Out.Write 4\n"
       "End Select\nOut.Write \"end\"",
       "end"},
      {"n = 0\nFor i = 1 To 3\n n = n + 1\n x = 1 / 0\nNext\nOut.Write n & i", "34"},
      {"n = 0\nFor Each v In Array(1, 2)\n n = n + v\n x = 1 / 0\nNext\nOut.Write n", "3"},
      {"n = 0\nDo While n < 3\n n = n + 1\n x = 1 / 0\nLoop\nOut.Write n", "3"},
      {"n = 0\nDo\n n = n + 1\n x = 1 / 0\nLoop Until n = 3\nOut.Write n", "3"},
      {"n = 0\nWhile n < 2\n n = n + 1\n x = 1 / 0\nWend\nOut.Write n", "2"},
      {"Sub S\n x = 1 / 0\nEnd Sub\nFor i = 1 To 2\n S\nNext\nOut.Write i", "3"},
  });
}

TEST(ResumeNext, AFailingConditionEntersItsBlock) {
  ExpectOutputs("On Error Resume Next\n", {
      {"If 1 / 0 Then\n Out.Write \"then\"\nElse\n Out.Write \"else\"\nEnd If", "then"},
      {"If False Then\nElseIf 1 / 0 Then\n Out.Write \"elseif\"\nElse\n Out.Write \"else\"\nEnd If", "elseif"},
      {"Select Case 2\nCase 1 / 0\n Out.Write \"failed case\"\nCase 2\n Out.Write \"two\"\nEnd Select", "failed case"},
      {"Select Case 2\nCase 1\n Out.Write \"one\"\nCase 5, 1 / 0\n Out.Write \"second\"\nEnd Select", "second"},
  });
}

TEST(ResumeNext, AFailingLoopHeaderRunsTheBodyOnceThenNextFails) {
  ExpectOutputs("On Error Resume Next\n", {
      {"i = 7\nFor i = 1 To 1 / 0\n Out.Write \"body\" & Err.Number & \" \"\nNext\nOut.Write Err.Number & \" \" & i",
       "body11 92 7"},
      {"i = 7\nFor i = 1 / 0 To 3\n Out.Write \"body\"\nNext\nOut.Write Err.Number & \" \" & i", "body92 7"},
      {"For i = 1 To 3 Step \"x\"\n Out.Write \"body\" & Err.Number\nNext\nOut.Write \" \" & Err.Number", "body13 92"},
      {"x = 2\nFor Each x In 5\n Out.Write \"body\" & x\nNext\nOut.Write \" \" & Err.Number", "body2 451"},
      {"Function Boom()\n Err.Raise 70\nEnd Function\nFor Each v In Boom()\n Out.Write Err.Number\nNext\n"
       "Out.Write \" \" & Err.Number",
       "70 451"},
      {"For Each v In Empty\n n = n + 1\nNext\nOut.Write n & \" \" & Err.Number", "1 451"},
      // The loop ran normally first: what its first run left behind must not be stepped again.
      {"For k = 1 To 2\n Err.Clear\n For j = 1 To 3 / (2 - k)\n  Out.Write \"[\" & j & \"]\"\n Next\n"
       "Out.Write Err.Number & \" \"\nNext",
       "[1][2][3]0 [4]92 "},
      {"Function Items(k)\n If k = 1 Then Items = Array(5)\nEnd Function\n"
       "For k = 1 To 2\n Err.Clear\n For Each v In Items(k)\n  Out.Write \"(\" & v & \")\"\n Next\n"
       "Out.Write Err.Number & \" \"\nNext",
       "(5)0 (5)451 "},
  });
}

}  // namespace
