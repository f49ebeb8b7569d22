#include "platform/vbscript/parser.h"

#include <gtest/gtest.h>

#include "platform/vbscript/compiler.h"
#include "tests/platform/vbscript/script_test_site.h"

namespace vbscript {
namespace {

using vbscript_test::Widen;

struct CompileOutcome {
  bool ok;
  ErrorNumber number;
  uint32_t line;
  uint32_t column;
};

CompileOutcome CompileScript(std::string_view text) {
  std::u16string wide = Widen(text);
  CompileDiagnostic diagnostic;
  Result<std::shared_ptr<const CodeUnit>> unit = CompileText({wide, TextKind::Script}, diagnostic);
  if (unit.ok()) return {true, ErrorNumber::SyntaxError, 0, 0};
  return {false, diagnostic.number, diagnostic.position.line, diagnostic.position.column};
}

struct ErrorCase {
  const char* script;
  ErrorNumber number;
  uint32_t line;    // 1-based
  uint32_t column;  // 0-based
};

void ExpectErrors(std::initializer_list<ErrorCase> cases) {
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.script);
    CompileOutcome outcome = CompileScript(c.script);
    ASSERT_FALSE(outcome.ok);
    EXPECT_EQ(static_cast<int>(outcome.number), static_cast<int>(c.number));
    EXPECT_EQ(outcome.line, c.line);
    EXPECT_EQ(outcome.column, c.column);
  }
}

TEST(Parser, ValidStatementsCompile) {
  const char* scripts[] = {
      "x = 1",
      "Set x = Nothing",
      "Let x = 2",
      "Call f(1, 2)",
      "f 1, , 3",
      "f (1), 2",
      "f (1) + 2, 3",
      "obj.Method 1, 2",
      "a(1).b(2).c = 3",
      "If a Then b = 1 Else b = 2",
      "If a Then b = 1: c = 2 Else d = 3: e = 4",
      "If a Then\nb\nElseIf c Then\nd\nElse\ne\nEnd If",
      "Select Case x\nCase 1, 2\ny\nCase Else\nz\nEnd Select",
      "For i = 10 To 1 Step -2\nNext",
      "For Each x In y\nNext",
      "Do While a\nLoop",
      "Do\nLoop Until a",
      "While a\nWend",
      "Sub S(ByVal a, ByRef b, c())\nExit Sub\nEnd Sub",
      "Function F()\nF = 1\nExit Function\nEnd Function",
      "Class C\nPublic a, b(3)\nPrivate c\nDim d\nPublic Default Property Get P(i)\nEnd Property\n"
      "Property Let P(i, v)\nEnd Property\nPrivate Sub Class_Initialize()\nEnd Sub\nEnd Class",
      "With o\n.a = 1\n.b.c 2\nEnd With",
      "On Error Resume Next\nOn Error GoTo 0",
      "Option Explicit\nDim x",
      "Dim a(2, 3), b(), c",
      "ReDim Preserve a(n + 1, 2)",
      "Erase a, b",
      "Const A = 1, B = -2.5, C = \"s\", D = #1/1/2000#, E = Nothing",
      "Public x\nPrivate y\nPublic Const Z = 1",
      "x = -2 ^ -2 * Not y Or z Imp w Eqv v Xor u",
      "x = a Is Nothing And Not b Is c",
      "Stop",
      "x = .5 + 1.",
  };
  for (const char* script : scripts) {
    SCOPED_TRACE(script);
    EXPECT_TRUE(CompileScript(script).ok);
  }
}

TEST(Parser, SyntaxErrorsNameTheirTokenPosition) {
  ExpectErrors({
      {"x = ", ErrorNumber::SyntaxError, 1, 4},
      {"x = (1 + 2", ErrorNumber::ExpectedCloseParen, 1, 10},
      {"x = 1 2", ErrorNumber::ExpectedEndOfStatement, 1, 6},
      {"If x\nEnd If", ErrorNumber::ExpectedThen, 1, 4},
      {"If x Then\ny = 1", ErrorNumber::ExpectedEnd, 2, 5},
      {"For i = 1\nNext", ErrorNumber::ExpectedTo, 1, 9},
      {"For i = 1 To 2\nLoop", ErrorNumber::ExpectedNext, 2, 0},
      {"Do\nNext", ErrorNumber::ExpectedLoop, 2, 0},
      {"While x\nLoop", ErrorNumber::ExpectedWend, 2, 0},
      {"Sub S\nEnd Function", ErrorNumber::ExpectedSub, 2, 4},
      {"Function F\nEnd Sub", ErrorNumber::ExpectedFunction, 2, 4},
      {"Class\nEnd Class", ErrorNumber::ExpectedIdentifier, 1, 5},
      {"Dim 5", ErrorNumber::ExpectedIdentifier, 1, 4},
      {"Dim a(n)", ErrorNumber::ExpectedIntegerConstant, 1, 6},
      {"Set x 1", ErrorNumber::ExpectedEquals, 1, 6},
      {"Select x\nEnd Select", ErrorNumber::ExpectedCase, 1, 7},
      {"Do While\nLoop", ErrorNumber::SyntaxError, 1, 8},
      {"Do x\nLoop", ErrorNumber::ExpectedWhileUntilOrEnd, 1, 3},
      {"Next", ErrorNumber::UnexpectedNext, 1, 0},
      {"Loop", ErrorNumber::LoopWithoutDo, 1, 0},
      {"End If", ErrorNumber::ExpectedStatement, 1, 0},
      {"Const X = y", ErrorNumber::ExpectedLiteralConstant, 1, 10},
      {"With o\n.a = 1", ErrorNumber::ExpectedEnd, 2, 6},
      {"Property X\nEnd Property", ErrorNumber::ExpectedLetSetGet, 1, 9},
      {"Class C\nSub S\nEnd Sub\nEnd", ErrorNumber::ExpectedClass, 4, 3},
      {"Sub S\nSub T\nEnd Sub\nEnd Sub", ErrorNumber::SyntaxError, 2, 0},
  });
}

TEST(Parser, ALexicalFaultIsReportedWhereTheParseReachesIt) {
  ExpectErrors({
      {"x = \"abc", ErrorNumber::UnterminatedString, 1, 4},
      {"x = 1\ny = 2 ? 3", ErrorNumber::InvalidCharacter, 2, 6},
      // The syntax error comes first in the text, so it is the one reported.
      {"x = = 1\ny = \"open", ErrorNumber::SyntaxError, 1, 4},
  });
}

TEST(Parser, ParenthesesAroundSeveralSubArgumentsAreAnError) {
  ExpectErrors({
      {"f(1, 2)", ErrorNumber::CannotUseParensCallingSub, 1, 1},
      {"o.m(1, 2)", ErrorNumber::CannotUseParensCallingSub, 1, 3},
  });
  EXPECT_TRUE(CompileScript("f(1)").ok);
  EXPECT_TRUE(CompileScript("Call f(1, 2)").ok);
  EXPECT_TRUE(CompileScript("x = f(1, 2)").ok);
}

TEST(Parser, DeclarationErrors) {
  ExpectErrors({
      {"Dim a\nDim a", ErrorNumber::NameRedefined, 2, 4},
      {"Dim S\nSub S\nEnd Sub", ErrorNumber::NameRedefined, 2, 0},
      {"Sub S\nEnd Sub\nDim S", ErrorNumber::NameRedefined, 3, 4},
      {"Sub S(a, a)\nEnd Sub", ErrorNumber::NameRedefined, 1, 9},
      {"Sub S(a)\nDim a\nEnd Sub", ErrorNumber::NameRedefined, 2, 4},
      {"Class C\nPublic a\nSub a\nEnd Sub\nEnd Class", ErrorNumber::NameRedefined, 3, 0},
      {"Class C\nSub Class_Initialize(x)\nEnd Sub\nEnd Class", ErrorNumber::InitializeTerminateArguments, 2, 0},
      {"Class C\nProperty Let P\nEnd Property\nEnd Class", ErrorNumber::PropertySetLetNeedsArgument, 2, 0},
      {"Class C\nProperty Get P(a)\nEnd Property\nProperty Let P(v)\nEnd Property\nEnd Class",
       ErrorNumber::InconsistentPropertyArguments, 4, 0},
      {"Class C\nPublic Default Function A\nEnd Function\nPublic Default Function B\nEnd Function\nEnd Class",
       ErrorNumber::MultipleDefaults, 4, 15},
      {"Class C\nPrivate Default Function A\nEnd Function\nEnd Class", ErrorNumber::DefaultMustBePublic, 2, 8},
      {"Class C\nPublic Default Property Let A(v)\nEnd Property\nEnd Class", ErrorNumber::DefaultOnlyOnPropertyGet, 2, 15},
      {"Class C\nPublic Default x\nEnd Class", ErrorNumber::DefaultOnlyOnMembers, 2, 15},
      {"Public Default Sub S\nEnd Sub", ErrorNumber::MustBeInsideClass, 1, 7},
  });
}

TEST(Parser, ExitMustMatchItsBlock) {
  ExpectErrors({
      {"Exit For", ErrorNumber::InvalidExit, 1, 0},
      {"Do\nExit For\nLoop", ErrorNumber::InvalidExit, 2, 0},
      {"Sub S\nExit Function\nEnd Sub", ErrorNumber::InvalidExit, 2, 0},
      {"Function F\nExit Sub\nEnd Function", ErrorNumber::InvalidExit, 2, 0},
      {"While x\nExit Do\nWend", ErrorNumber::InvalidExit, 2, 0},
      {"Exit Sub", ErrorNumber::InvalidExit, 1, 0},
  });
  EXPECT_TRUE(CompileScript("Do\nFor i = 1 To 2\nExit Do\nNext\nLoop").ok);
  EXPECT_TRUE(CompileScript("Class C\nProperty Get P\nExit Property\nEnd Property\nEnd Class").ok);
}

TEST(Parser, MeNeedsItsContext) {
  ExpectErrors({
      {"Me = 1", ErrorNumber::InvalidUseOfMe, 1, 0},
  });
  // ".a" outside With is an error only when it runs (505).
  EXPECT_TRUE(CompileScript("x = .a").ok);
}

TEST(Parser, NestingPastTheLimitIsOutOfStackSpace) {
  std::string deep = "x = " + std::string(kMaxNestingDepth + 10, '(') + "1" + std::string(kMaxNestingDepth + 10, ')');
  CompileOutcome outcome = CompileScript(deep);
  ASSERT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.number, ErrorNumber::OutOfStackSpace);

  std::string ifs;
  for (int i = 0; i < kMaxNestingDepth + 10; ++i) ifs += "If x Then\n";
  outcome = CompileScript(ifs);
  ASSERT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.number, ErrorNumber::OutOfStackSpace);

  std::string negations = "x = " + std::string(100000, '-') + "1";
  outcome = CompileScript(negations);
  ASSERT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.number, ErrorNumber::OutOfStackSpace);
}

TEST(Parser, LongOperatorChainsNeedNoDeepStack) {
  std::string text = "x = 1";
  for (int i = 0; i < 200000; ++i) text += " & 1";
  EXPECT_TRUE(CompileScript(text).ok);
}

TEST(Parser, ExpressionTextsAreOneExpression) {
  CompileDiagnostic diagnostic;
  EXPECT_TRUE(CompileText({u"a = b", TextKind::Expression}, diagnostic).ok());
  EXPECT_FALSE(CompileText({u"a = b : c", TextKind::Expression}, diagnostic).ok());
  EXPECT_EQ(diagnostic.number, ErrorNumber::ExpectedEndOfStatement);
}

TEST(Compiler, GlobalDeclarationsAreCollectedForLinking) {
  CompileDiagnostic diagnostic;
  Result<std::shared_ptr<const CodeUnit>> unit =
      CompileText({u"Dim a\nConst B = 2\nSub C\nEnd Sub\nClass D\nEnd Class\nIf x Then\nDim e\nEnd If",
                   TextKind::Script},
                  diagnostic);
  ASSERT_TRUE(unit.ok());
  const CodeUnit& code = *unit.value();
  ASSERT_EQ(code.declarations.size(), 5u);
  EXPECT_EQ(code.declarations[0].kind, GlobalDeclaration::Kind::Variable);
  EXPECT_EQ(code.declarations[1].kind, GlobalDeclaration::Kind::Constant);
  EXPECT_EQ(code.declarations[2].kind, GlobalDeclaration::Kind::Procedure);
  EXPECT_EQ(code.declarations[3].kind, GlobalDeclaration::Kind::Class);
  EXPECT_EQ(code.global_names[code.declarations[4].name], u"e");
}

TEST(Compiler, StackDepthCoversEveryInstruction) {
  CompileDiagnostic diagnostic;
  Result<std::shared_ptr<const CodeUnit>> unit = CompileText(
      {u"Function F(a, b, c)\nF = a & (b & (c & (a & b)))\nEnd Function\nx = F(1, F(2, 3, 4), o.m(5, 6))",
       TextKind::Script},
      diagnostic);
  ASSERT_TRUE(unit.ok());
  const Procedure* procedures[] = {&unit.value()->global_code, unit.value()->procedures[0].get()};
  for (const Procedure* procedure : procedures) {
    int depth = 0;
    int deepest = 0;
    for (const Instruction& instruction : procedure->code) {
      StackEffect effect = EffectOf(instruction);
      depth += effect.pushes - effect.pops;
      deepest = std::max(deepest, depth);
      ASSERT_GE(depth, 0) << OpcodeName(instruction.op);
    }
    EXPECT_LE(static_cast<uint32_t>(deepest), procedure->max_stack);
  }
}

TEST(Compiler, SelfAppendBecomesAnInPlaceAppend) {
  CompileDiagnostic diagnostic;
  Result<std::shared_ptr<const CodeUnit>> unit =
      CompileText({u"s = s & \"a\" & b\nt = u & \"a\"", TextKind::Script}, diagnostic);
  ASSERT_TRUE(unit.ok());
  int appends = 0;
  for (const Instruction& instruction : unit.value()->global_code.code) {
    if (instruction.op == Opcode::AppendVar) ++appends;
  }
  EXPECT_EQ(appends, 1);
}

TEST(Compiler, OpcodeNamesFollowTheTable) {
  EXPECT_STREQ(OpcodeName(Opcode::PushConst), "PushConst");
  EXPECT_STREQ(OpcodeName(Opcode::Return), "Return");
  EXPECT_EQ(EffectOf({Opcode::CallMember, VariableMode::Local, 3}).pops, 4);
  EXPECT_EQ(EffectOf({Opcode::StoreMember, VariableMode::Local, 2}).pops, 4);
}

}  // namespace
}  // namespace vbscript
