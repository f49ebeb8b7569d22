// Calls whose callee is an expression: empty parentheses call an object's default member
// (GetRef references among them), parenthesised values take members and arguments, and a
// statement's "f (x).y" passes "(x).y" to f.
#include <gtest/gtest.h>

#include "tests/platform/vbscript/script_test_site.h"

namespace {

using vbscript_test::ExpectOutputs;
using vbscript_test::RunErrorNumber;

constexpr const char* kProcedures =
    "Function Twice(x)\n Twice = x * 2\nEnd Function\n"
    "Sub Hello\n Out.Write \"hello\"\nEnd Sub\n"
    "Class Greeter\n"
    " Public Default Function Greet(n)\n  Greet = \"hi \" & n\n End Function\n"
    " Function Shout(n)\n  Shout = UCase(n)\n End Function\n"
    " Public Items\n"
    "End Class\n";

TEST(Calls, EmptyParenthesesCallAFunctionReference) {
  ExpectOutputs(kProcedures, {
      {"Call GetRef(\"Hello\")()", "hello"},
      {"Set f = GetRef(\"Hello\")\nf()", "hello"},
      {"Set f = GetRef(\"Hello\")\nCall f()", "hello"},
      {"Out.Write GetRef(\"Twice\")(21)", "42"},
      {"Set f = GetRef(\"Twice\")\nOut.Write f(4)", "8"},
      {"Set f = GetRef(\"Hello\")\nx = f()\nOut.Write \"|\" & IsEmpty(x)", "hello|True"},
      {"Out.Write (GetRef(\"Twice\"))(5)", "10"},
  });
}

TEST(Calls, ParenthesisedValuesTakeMembersAndArguments) {
  ExpectOutputs(kProcedures, {
      {"Out.Write (New Greeter).Shout(\"a\")", "A"},
      {"Out.Write (New Greeter)(\"b\")", "hi b"},
      {"x = (New Greeter).Shout(\"c\") & (New Greeter)(\"d\")\nOut.Write x", "Chi d"},
      {"Call (New Greeter).Shout(\"e\")\nOut.Write \"ok\"", "ok"},
      {"Out.Echo (1 + 2) * 3, (New Greeter).Shout(\"f\")", "9 F\n"},
      {"Set g = New Greeter\ng.Items = Array(5, 6)\nOut.Write (g).Items(1)", "6"},
  });
}

TEST(Calls, BracketsAroundANameThatArgumentsFollowOnlyGroupIt) {
  ExpectOutputs(std::string(kProcedures) + "Function SetFirst(a)\n a(0) = 2\n SetFirst = 1\nEnd Function\n", {
      {"x = Array(1)\ny = (SetFirst)(x)\nOut.Write y & x(0)", "12"},
      {"x = Array(1)\nCall (((SetFirst))) (x)\nOut.Write x(0)", "2"},
      // The argument's own brackets still pass a copy.
      {"x = Array(1)\nCall (((SetFirst))) ((x))\nOut.Write x(0)", "1"},
      {"x = Array(7, 8)\nOut.Write ((x))(1)", "8"},
      {"Set g = New Greeter\nOut.Write (g.Shout)(\"q\")", "Q"},
  });
}

TEST(Calls, DefaultPropertyWithEmptyParenthesesThenIndexed) {
  ExpectOutputs({
      {"Class Box\n Public Default Property Get Values\n  Values = Array(\"x\", \"y\")\n End Property\nEnd Class\n"
       "Set b = New Box\nOut.Write b()(1)",
       "y"},
      {"Dim a(2)\na(1) = 7\nb = a()\nOut.Write UBound(b) & b(1)", "27"},
  });
}

TEST(Calls, EmptyParenthesesOnAPlainValueAreATypeMismatch) {
  EXPECT_EQ(RunErrorNumber("x = 5\ny = x()"), 13);
  EXPECT_EQ(RunErrorNumber("y = NoSuchFunction()"), 13);
  EXPECT_EQ(RunErrorNumber("Set o = Nothing\ny = o()"), 91);
}

}  // namespace
