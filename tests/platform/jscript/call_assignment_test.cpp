// The rewrite of assignments to calls and the scanner under it: what is rewritten, what is
// left alone (strings, comments, regular expressions, statement parentheses, comparisons), and
// that lines keep their numbers.
#include "platform/jscript/call_assignment.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/platform/jscript/jscript_test_site.h"

namespace {

using jscript::FreeNames;
using jscript::RewriteCallAssignments;
using jscript::ScanScript;
using jscript_test::Narrow;
using jscript_test::Widen;

std::string Rewrite(std::string_view text) {
  std::u16string wide = Widen(text);
  return Narrow(RewriteCallAssignments(wide, ScanScript(wide)));
}

struct RewriteCase {
  const char* input;
  const char* expected;
};

TEST(CallAssignment, AssignmentsToCallsBecomePuts) {
  RewriteCase cases[] = {
      {"Session(\"x\") = v;", "__jscriptPutDefault(Session, \"x\").value = v;"},
      {"Application(\"n\") += 1", "__jscriptPutDefault(Application, \"n\").value += 1"},
      {"d.Item(\"k\") = 5;", "__jscriptPutMember(d, \"Item\", \"k\").value = 5;"},
      {"a.b.c(1, 2) = 3", "__jscriptPutMember(a.b, \"c\", 1, 2).value = 3"},
      {"o[key](i) = v", "__jscriptPutMember(o, key, i).value = v"},
      {"f() = 1", "__jscriptPutDefault(f).value = 1"},
      {"o.m() = 1", "__jscriptPutMember(o, \"m\").value = 1"},
      {"Bag('n')++;", "__jscriptPutDefault(Bag, 'n').value++;"},
      {"get(1)(2) = 3", "__jscriptPutDefault(get(1), 2).value = 3"},
      {"(f)(x) = 1", "__jscriptPutDefault((f), x).value = 1"},
      {"f(g(1) = 2) = 3", "__jscriptPutDefault(f, __jscriptPutDefault(g, 1).value = 2).value = 3"},
      {"this.x(1) >>>= 2", "__jscriptPutMember(this, \"x\", 1).value >>>= 2"},
      {"Response.Cookies(\"a\")(\"b\") = \"c\";", "__jscriptPutDefault(Response.Cookies(\"a\"), \"b\").value = \"c\";"},
  };
  for (const RewriteCase& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(Rewrite(c.input), c.expected);
  }
}

TEST(CallAssignment, EverythingElseIsLeftAlone) {
  const char* texts[] = {
      "if (a) b = 1;",
      "while (x) y = 2;",
      "for (i = 0; i < 3; i++) f(i);",
      "var s = \"f(x) = 1\";",
      "var s = 'f(x) = 1';",
      "// f(x) = 1",
      "/* f(x) = 1 */ g();",
      "x = /f(x) = 1/.test(s);",
      "if (f(x) == 1 || f(y) === 2 || f(z) != 3) {}",
      "function f(a) { return a; }",
      "var g = function (a) { return a; };",
      "f(x)\n++y;",
      "x = a / f(b) / 2;",
      "catch (e) {}",
      "<!-- f(x) = 1\nx = 1;",
      "f(x) => 1",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Rewrite(text), text);
  }
}

TEST(CallAssignment, LinesKeepTheirNumbers) {
  std::string text = "Session(\"a\",\r\n  1) = 2;\rApplication(\"b\")\n  = 3;\r\nx = 1;";
  std::string rewritten = Rewrite(text);
  auto lines = [](const std::string& s) {
    return std::count(s.begin(), s.end(), '\r') + std::count(s.begin(), s.end(), '\n');
  };
  EXPECT_EQ(lines(rewritten), lines(text));
  EXPECT_NE(rewritten, text);
}

TEST(CallAssignment, UnterminatedTextEndsTheScanWithoutHarm) {
  for (const char* text : {"f(x) = 'open", "f(x) = /open", "/* open f(x) = 1", "f(x) = \"open\\"}) {
    SCOPED_TRACE(text);
    std::u16string wide = Widen(text);
    std::u16string rewritten = RewriteCallAssignments(wide, ScanScript(wide));
    EXPECT_NE(rewritten.find(u"open"), std::u16string::npos);
  }
}

TEST(CallAssignment, FreeNamesAreVariablesNotMembersOrReservedWords) {
  std::u16string text = Widen("var total = Write(x.y, total); if (typeof Later == 'function') this.z = Later;");
  std::vector<std::u16string> names = FreeNames(text, ScanScript(text), 100);
  std::vector<std::string> narrow;
  for (const std::u16string& name : names) narrow.push_back(Narrow(name));
  EXPECT_EQ(narrow, (std::vector<std::string>{"total", "Write", "x", "Later"}));
  EXPECT_EQ(FreeNames(text, ScanScript(text), 2).size(), 2u);
}

TEST(CallAssignment, ScriptsRunWithTheRewrite) {
  jscript_test::ExpectOutputs({
      {"var s = 'f(x) = 1'; Out.Write(s);", "f(x) = 1"},
      {"var r = /a(b) = c/; Out.Write(r.test('ab = c'));", "True"},
      {"function f() { return 2; } Out.Write(f() == 2 ? 'eq' : 'ne');", "eq"},
  });
}

}  // namespace
