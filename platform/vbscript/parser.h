#pragma once
// The VBScript parser: tokens to a syntax tree, one function per grammar rule. Every syntax
// error passes one function that records the error number and the position of the offending
// token; the first error ends the parse.

#include <memory>
#include <string_view>

#include "platform/automation/result.h"
#include "platform/vbscript/ast.h"
#include "platform/vbscript/lexer.h"

namespace vbscript {

/// The deepest nesting of statements and expressions the parser accepts; deeper text is
/// OutOfStackSpace (28), as is text that would run the thread's stack low.
inline constexpr int kMaxNestingDepth = 1000;

/// A compile error: its number and where it was found.
struct CompileDiagnostic {
  ErrorNumber number = ErrorNumber::SyntaxError;
  SourcePosition position;
};

/// Records a compile error and returns it; the one way lexer, parser and compiler fail.
Error ReportCompileError(ErrorNumber number, SourcePosition position, CompileDiagnostic& diagnostic);

/// Parses a whole script. On failure `diagnostic` holds the error's number and position.
Result<std::unique_ptr<ParsedScript>> ParseScript(std::u16string_view text,
                                                  CompileDiagnostic& diagnostic);

/// Parses a text that must be one expression (Eval, SCRIPTTEXT_ISEXPRESSION) into
/// ParsedScript::expression.
Result<std::unique_ptr<ParsedScript>> ParseExpressionScript(std::u16string_view text,
                                                            CompileDiagnostic& diagnostic);

}  // namespace vbscript
