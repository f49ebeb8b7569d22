// The interpreter's fast paths (in-place x = x + k, operators with an Integer literal operand,
// compare-and-branch, a(i) on local vectors, counted For loops, Join of strings) must give what
// the general rules give for every kind of value, not only for the Integers they are built for.
#include <gtest/gtest.h>

#include "tests/platform/vbscript/script_test_site.h"

namespace {

using vbscript_test::ExpectOutputs;
using vbscript_test::RunErrorNumber;

// Each case runs inside a procedure so that its names are locals.
TEST(FastPaths, SelfIncrementKeepsTheValueRules) {
  ExpectOutputs({
      {"Sub Run\n Dim x\n x = 32767\n x = x + 1\n Out.Write TypeName(x) & x\nEnd Sub\nRun", "Long32768"},
      {"Sub Run\n Dim x\n x = 2147483647\n x = x + 1\n Out.Write TypeName(x) & x\nEnd Sub\nRun", "Double2147483648"},
      {"Sub Run\n Dim x\n x = \"5\"\n x = x + 1\n Out.Write TypeName(x) & x\nEnd Sub\nRun", "Double6"},
      {"Sub Run\n Dim x\n x = x - 1\n Out.Write TypeName(x) & x\nEnd Sub\nRun", "Integer-1"},
      {"Sub Run\n Dim x\n x = 1.5\n x = x + 1\n Out.Write x\nEnd Sub\nRun", "2.5"},
      {"Sub Run\n Dim x\n x = Null\n x = x + 1\n Out.Write IsNull(x)\nEnd Sub\nRun", "True"},
      {"Sub Run\n Dim x\n x = #1/1/2000#\n x = x + 1\n Out.Write x\nEnd Sub\nRun", "1/2/2000"},
      {"Sub Bump(v)\n v = v + 2\nEnd Sub\nn = 1\nBump n\nOut.Write n", "3"},
  });
  EXPECT_EQ(RunErrorNumber("Sub Run\n Dim x\n x = \"a\"\n x = x + 1\nEnd Sub\nRun"), 13);
}

TEST(FastPaths, IntegerOperandsKeepTheValueRules) {
  ExpectOutputs({
      {"Sub Run\n Dim x\n x = 7\n Out.Write (x Mod 2) & (x \\ 2) & (x * 2) & (x - 2) & (x + 2)\nEnd Sub\nRun", "131459"},
      {"Sub Run\n Dim x\n x = 7.5\n Out.Write (x Mod 2) & \" \" & (x * 2)\nEnd Sub\nRun", "0 15"},
      {"Sub Run\n Dim x\n x = 30000\n Out.Write TypeName(x * 2) & (x * 2)\nEnd Sub\nRun", "Long60000"},
      {"Sub Run\n Dim x\n x = \"12\"\n Out.Write (x + 1) & (x = 12) & (x < 2)\nEnd Sub\nRun", "13TrueFalse"},
      {"Sub Run\n Dim x\n x = Null\n Out.Write IsNull(x + 1) & IsNull(x = 1)\nEnd Sub\nRun", "TrueTrue"},
      {"Sub Run\n Dim x\n x = Empty\n Out.Write (x = 0) & (x < 1) & TypeName(x + 1)\nEnd Sub\nRun", "TrueTrueInteger"},
      {"Sub Run\n Dim i, n\n For i = 1 To 10\n  If i Mod 3 = 0 Then n = n + 1\n Next\n Out.Write n\nEnd Sub\nRun", "3"},
      {"Sub Run\n Dim x\n x = 3\n If x >= 3 Then Out.Write \"a\"\n If x <> 3 Then Out.Write \"b\"\n"
       " If Not x > 3 Then Out.Write \"c\"\nEnd Sub\nRun",
       "ac"},
  });
  EXPECT_EQ(RunErrorNumber("Sub Run\n Dim x\n x = 1\n y = x Mod 0\nEnd Sub\nRun"), 11);
  EXPECT_EQ(RunErrorNumber("Sub Run\n Dim x\n x = \"a\"\n y = (x = 1)\nEnd Sub\nRun"), 13);
}

TEST(FastPaths, LocalVectorElements) {
  ExpectOutputs({
      {"Sub Run\n Dim a(2), i\n For i = 0 To 2\n  a(i) = \"p\" & i\n Next\n Out.Write a(0) & a(2) & Join(a, \"-\")\nEnd Sub\nRun",
       "p0p2p0-p1-p2"},
      {"Sub Run\n Dim a\n a = Array(1, \"x\", Null)\n a(1) = a(0) + 1\n Out.Write a(1) & TypeName(a(2))\nEnd Sub\nRun",
       "2Null"},
      {"Sub Fill(v)\n v(1) = \"byref\"\nEnd Sub\nDim g(2)\nFill g\nOut.Write g(1)", "byref"},
      {"Sub Run\n Dim a(1)\n Set a(0) = Out\n a(1) = a(0)(21)\n Out.Write IsObject(a(0)) & a(1)\nEnd Sub\nRun",
       "True42"},
      {"Sub Run\n Dim a(3)\n a(1.6) = \"r\"\n Out.Write a(2)\nEnd Sub\nRun", "r"},
  });
  EXPECT_EQ(RunErrorNumber("Sub Run\n Dim a(2)\n a(3) = 1\nEnd Sub\nRun"), 9);
  EXPECT_EQ(RunErrorNumber("Sub Run\n Dim a(2)\n x = a(-1)\nEnd Sub\nRun"), 9);
  EXPECT_EQ(RunErrorNumber("Sub Run\n Dim a\n a = 5\n a(0) = 1\nEnd Sub\nRun"), 13);
}

TEST(FastPaths, JoinOfMixedElements) {
  ExpectOutputs({
      {"Out.Write Join(Array(\"a\", \"b\", \"c\"))", "a b c"},
      {"Out.Write Join(Array(\"a\", 1, True), \"+\")", "a+1+True"},
      {"Out.Write Len(Join(Array()))", "0"},
      {"Out.Write Join(Array(\"\", \"\"), \"x\")", "x"},
  });
  EXPECT_EQ(RunErrorNumber("x = Join(Array(\"a\", Null))"), 94);
}

TEST(FastPaths, CountedLoops) {
  ExpectOutputs({
      {"Sub Run\n Dim i, n\n For i = 10 To 1 Step -3\n  n = n & i\n Next\n Out.Write n & \"|\" & i\nEnd Sub\nRun", "10741|-2"},
      {"Sub Run\n Dim i, n\n For i = 32760 To 32767 Step 7\n  n = n & i & \" \"\n Next\n Out.Write n & TypeName(i) & i\nEnd Sub\nRun",
       "32760 32767 Long32774"},
      {"Sub Run\n Dim i\n For i = 1 To 2\n  i = i + 0.5\n Next\n Out.Write i\nEnd Sub\nRun", "2.5"},
  });
}

}  // namespace
