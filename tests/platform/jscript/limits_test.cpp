// What one script may take: call depth, memory, nesting of its text; each limit is a script
// error, and the engine serves the next run as before.
#include <gtest/gtest.h>

#include <string>

#include "tests/platform/jscript/jscript_test_site.h"

namespace {

using jscript_test::ErrorCase;
using jscript_test::ExpectErrors;
using jscript_test::JScriptHarness;

std::string Nested(std::string_view open, std::string_view middle, std::string_view close, int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += open;
  text += middle;
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

TEST(JScriptLimits, EndlessRecursionIsOutOfStackSpace) {
  ExpectErrors({
      {"function f(n) {\n  return f(n + 1) + 1;\n}\nf(0);", 28, 1},
      {"function f() { return [1].map(f); }\nf();", 28, 0},
      {"var o = {toString: function () { return '' + this; }};\nvar s = '' + o;", 28, 0},
      // Calls in tail position keep their frames too: these would otherwise loop for ever.
      {"function g() {\n  return g();\n}\ng();", 28, 1},
      {"function C() {\n  return new C();\n}\nnew C();", 28, 1},
  });
}

TEST(JScriptLimits, AGigabyteAllocationIsOutOfMemoryAndTheEngineGoesOn) {
  ExpectErrors({
      {"var x = 1;\nvar b = new ArrayBuffer(1024 * 1024 * 1024);", 7, 1},
      {"var s = 'x'.repeat(1 << 30);", 7, 0},
      {"var s = 'x';\nfor (;;) s += s;", 7, 1},
  });
  JScriptHarness harness;
  harness.Run("Out.Write('still serving');");
  EXPECT_EQ(harness.output(), "still serving");
}

TEST(JScriptLimits, CaughtOutOfMemoryLeavesTheScriptRunning) {
  JScriptHarness harness;
  harness.Run("try { new ArrayBuffer(1 << 30); } catch (e) { Out.Write((e.number & 0xFFFF) + ' ' + e.description); }");
  EXPECT_EQ(harness.output(), "7 Out of memory");
}

TEST(JScriptLimits, DeeplyNestedTextIsAnErrorNotACrash) {
  for (const std::string& text : {Nested("(", "1", ")", 10000), Nested("[", "", "]", 10000),
                                  Nested("{", "", "}", 10000), Nested("f(", "", ")", 10000)}) {
    SCOPED_TRACE(text.substr(0, 10));
    JScriptHarness harness;
    EXPECT_EQ(harness.Run("var x = " + text + ";"), SCRIPT_E_REPORTED);
    ASSERT_EQ(harness.site().errors.size(), 1u);
  }
  JScriptHarness harness;
  harness.Run("try { JSON.parse('" + Nested("[", "", "]", 10000) + "'); } catch (e) { Out.Write('json'); }");
  EXPECT_EQ(harness.output(), "json");
}

}  // namespace
